// System settings the program reads: the keyboard's repeat delay and speed. The
// host does not report its own, so these are the system's defaults.
#pragma once

#include "platform/win32/types.h"

constexpr UINT SPI_GETKEYBOARDSPEED = 0x000A, SPI_GETKEYBOARDDELAY = 0x0016;

// The repeat speed (0 slowest, about 2.5 a second, to 31, about 30 a second) or
// the delay (0 to 3: 250 ms to 1 s) as a UINT at `value`; FALSE for anything else.
BOOL SystemParametersInfoA(UINT action, UINT param, void* value, UINT ini);
