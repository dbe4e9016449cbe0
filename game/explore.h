// The exploration loop: the hero walks the dungeon, arrival and key events run,
// the 3-D view is drawn every frame.
#pragma once

#include <cstdint>

// Key bits of GetKeyBits; menus combine them as up 0x11, right 0x22, down 0x44,
// left 0x88.
constexpr uint32_t KEY_PAD_UP = 0x1, KEY_PAD_RIGHT = 0x2, KEY_PAD_DOWN = 0x4, KEY_PAD_LEFT = 0x8;
constexpr uint32_t KEY_UP = 0x10, KEY_RIGHT = 0x20, KEY_DOWN = 0x40, KEY_LEFT = 0x80;
constexpr uint32_t KEY_ENTER = 0x100, KEY_ESC = 0x200, KEY_PAGEUP = 0x400, KEY_PAGEDOWN = 0x800;
constexpr uint32_t KEY_C = 0x1000, KEY_V = 0x2000, KEY_B = 0x4000;
constexpr uint32_t KEY_TAB = 0x10000, KEY_HOME = 0x20000, KEY_END = 0x40000, KEY_INSERT = 0x80000;

// Flag word bits of the exploration loop, which events set through RET.
constexpr uint32_t EXPLORE_BLOCK_MOVE = 0x1;
constexpr uint32_t EXPLORE_SKIP_CELL_EVENT = 0x2;
constexpr uint32_t EXPLORE_SKIP_EVENT8 = 0x4;
constexpr uint32_t EXPLORE_SKIP_EVENT9 = 0x8;
constexpr uint32_t EXPLORE_KEEP_DEADLINE = 0x10;
constexpr uint32_t EXPLORE_RUN_AGAIN = 0x80;  // a cell event's RET: run it again
constexpr uint32_t EXPLORE_IDLE = 0x10000;
constexpr uint32_t EXPLORE_LEAVE = 0x20000;

// The keys held or pressed this frame as bits, at most once per `delay`
// microseconds (0 in between, and when no key is down).
uint32_t GetKeyBits(uint32_t delay);
// Forgets the time of the last report, so that the next call reads the keys.
void ResetKeyBits();
// Returns when the hero's hit points fall below 1 or an event sets the leave bit.
void ExploreMainLoop();
