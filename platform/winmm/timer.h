// Multimedia timers: periodic and one-shot callbacks on the host's clock. Under a
// real host they run on a timer thread; under the headless host they run on the
// thread that moves the virtual clock past their due time, so tests stay
// deterministic. Killing a timer waits for a callback of it that is running on
// another thread; from inside its own callback it returns at once.
#pragma once

#include "platform/win32/types.h"
#include "platform/winmm/mmtypes.h"

using LPTIMECALLBACK = void (*)(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);

constexpr UINT TIME_ONESHOT = 0x0;
constexpr UINT TIME_PERIODIC = 0x1;
constexpr UINT TIME_CALLBACK_FUNCTION = 0x0;

constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT TIMERR_NOCANDO = 97;

struct TIMECAPS {
  UINT wPeriodMin;
  UINT wPeriodMax;
};

// A new timer's id (never 0), or 0 when the delay is outside the device's periods
// or there is no callback.
MMRESULT timeSetEvent(UINT delay_ms, UINT resolution_ms, LPTIMECALLBACK proc, DWORD_PTR user, UINT flags);
MMRESULT timeKillEvent(UINT id);
MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size);
// Requests and ends a minimum timer resolution; ends pair with requests of the same period.
MMRESULT timeBeginPeriod(UINT period_ms);
MMRESULT timeEndPeriod(UINT period_ms);

namespace platform {
// Timers alive, and resolution requests not yet ended; for tests.
int timer_count();
int timer_period_requests();
}  // namespace platform
