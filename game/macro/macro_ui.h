// What the screen, sound and input families share beyond the argument reader
// and result pushes of macro.h: the key bits their menus and windows combine,
// and the held-key mask at the built-ins' repeat delay.
#pragma once

#include <cstdint>

#include "game/macro/macro.h"

// The key-repeat delay every waiting built-in reads keys with, in microseconds.
constexpr int kMacroKeyDelay = 200000;

// Key bits as menus and windows combine them.
constexpr int32_t kKeyUp = 0x11;
constexpr int32_t kKeyRight = 0x22;
constexpr int32_t kKeyDown = 0x44;
constexpr int32_t kKeyLeft = 0x88;
constexpr int32_t kKeyDecide = 0x100;
constexpr int32_t kKeyCancel = 0x200;
constexpr int32_t kKeyPeek = 0x10000;  // Tab

// The held-key mask (GetKeyBits) with the built-ins' repeat delay.
int32_t MacroKeyBits();
