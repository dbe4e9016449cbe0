// Clocks on the host's time: virtual and instant under the headless host.
#pragma once

#include "platform/win32/types.h"

// Counts microseconds: the frequency is 1,000,000.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* freq);
// Milliseconds, a few milliseconds coarse.
DWORD GetTickCount();
void Sleep(DWORD ms);
