#include "platform/win32/time.h"

#include "platform/host/host.h"
#include "platform/win32/thread.h"
#include "platform/winmm/time.h"

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (!count) return FALSE;
  count->QuadPart = static_cast<LONGLONG>(host::get().now_us());
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* freq) {
  if (!freq) return FALSE;
  freq->QuadPart = 1000000;
  return TRUE;
}

// A coarse tick, cheap enough to read between script steps.
DWORD GetTickCount() { return static_cast<DWORD>(host::get().coarse_now_us() / 1000); }

void Sleep(DWORD ms) {
  if (win32::WorkerSleep(ms)) return;
  host::get().sleep_us(static_cast<uint64_t>(ms) * 1000);
}
