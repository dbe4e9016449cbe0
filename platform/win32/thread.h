// Threads, waits and critical sections. Under a real host they are plain system
// threads. Under the headless host a thread made here sleeps on the virtual
// clock instead of moving it: `Sleep` blocks it until the main thread's clock
// passes its wake time, and whoever moves the clock waits until every thread it
// woke has run on to its next sleep (or blocks, or ends). So a worker's passes
// fall at exact virtual times and tests that move the clock see their effects.
#pragma once

#include "platform/win32/types.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(void* param);

struct SECURITY_ATTRIBUTES;

constexpr DWORD WAIT_OBJECT_0 = 0, WAIT_TIMEOUT = 0x102, WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 0x103;

// Starts `start(param)` on a new thread; its handle waits for its end. Flags other
// than 0 (suspended starts) are not supported: null.
HANDLE CreateThread(SECURITY_ATTRIBUTES* security, size_t stack, LPTHREAD_START_ROUTINE start, void* param,
                    DWORD flags, DWORD* id);
// Waits for a thread to end: WAIT_OBJECT_0 once it has, WAIT_TIMEOUT when it has not
// within `ms`, WAIT_FAILED for a handle that is not a thread. Under the headless host
// the wait moves the virtual clock to the thread's wake times (the waiter's time passes).
DWORD WaitForSingleObject(HANDLE h, DWORD ms);
BOOL GetExitCodeThread(HANDLE h, DWORD* code);

// A lock that the thread holding it may take again.
struct CRITICAL_SECTION {
  void* impl;
};
void InitializeCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);

namespace win32 {
// Sleep of a thread made by CreateThread under the headless host; false when the
// caller should sleep as usual (another thread, or a real host).
bool WorkerSleep(DWORD ms);
}  // namespace win32
