// Threads on the headless host's virtual clock: a worker's sleeps fall at exact
// virtual times, and waiting for it lets the waiter's time pass.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/host/headless_host.h"
#include "platform/win32/handle.h"
#include "platform/win32/thread.h"
#include "platform/win32/time.h"

namespace {

std::atomic<bool> g_stop{false};
std::vector<uint64_t> g_wakes;
CRITICAL_SECTION g_lock;

DWORD Ticker(void*) {
  while (!g_stop) {
    Sleep(20);
    EnterCriticalSection(&g_lock);
    g_wakes.push_back(host::get().now_us());
    LeaveCriticalSection(&g_lock);
  }
  return 7;
}

TEST(Threads, WorkersSleepOnTheVirtualClock) {
  host::HeadlessHost h;
  host::set(&h);
  InitializeCriticalSection(&g_lock);
  g_stop = false;
  g_wakes.clear();
  HANDLE t = CreateThread(nullptr, 0, Ticker, nullptr, 0, nullptr);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(g_wakes.empty());  // asleep until the clock moves
  for (int i = 0; i < 100; ++i) h.advance_clock(1000);
  EXPECT_EQ(g_wakes, (std::vector<uint64_t>{20000, 40000, 60000, 80000, 100000}));
  h.advance_clock(70000);  // one jump: one pass, then the next sleep from there
  EXPECT_EQ(g_wakes.back(), 170000u);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(t, 5), WAIT_TIMEOUT);  // the waiter's 5 ms pass
  EXPECT_EQ(h.now_us(), 175000u);
  // A lock held by the clock's mover: the worker waits for it without holding the clock up.
  EnterCriticalSection(&g_lock);
  const size_t before = g_wakes.size();
  h.advance_clock(20000);
  EXPECT_EQ(g_wakes.size(), before);
  LeaveCriticalSection(&g_lock);
  g_stop = true;
  EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(CloseHandle(t));
  EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_FAILED);
  DeleteCriticalSection(&g_lock);
  host::set(nullptr);
}

}  // namespace
