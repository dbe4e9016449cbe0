#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "platform/host/headless_host.h"
#include "platform/winmm/timer.h"

namespace {

struct Log {
  std::vector<std::pair<UINT, uint64_t>> calls;  // timer id, clock at the call
};

void Record(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  reinterpret_cast<Log*>(user)->calls.push_back({id, host::get().now_us()});
}

class VirtualTimers : public ::testing::Test {
 protected:
  void SetUp() override { host::set(&h_); }
  void TearDown() override {
    EXPECT_EQ(platform::timer_count(), 0);
    host::set(nullptr);
  }
  host::HeadlessHost h_;
};

TEST_F(VirtualTimers, PeriodicAndOneShotFireAsTheClockPassesThem) {
  Log log;
  UINT periodic = timeSetEvent(10, 0, Record, reinterpret_cast<DWORD_PTR>(&log), TIME_PERIODIC);
  UINT once = timeSetEvent(25, 0, Record, reinterpret_cast<DWORD_PTR>(&log), TIME_ONESHOT);
  ASSERT_NE(periodic, 0u);
  ASSERT_NE(once, 0u);
  h_.advance_clock(9999);
  EXPECT_TRUE(log.calls.empty());
  h_.advance_clock(1);
  ASSERT_EQ(log.calls.size(), 1u);
  // A jump fires every tick it passes, in order of due time.
  h_.advance_clock(30000);
  std::vector<UINT> ids;
  for (auto& c : log.calls) ids.push_back(c.first);
  EXPECT_EQ(ids, (std::vector<UINT>{periodic, periodic, once, periodic, periodic}));
  EXPECT_EQ(platform::timer_count(), 1);  // the one-shot is gone
  h_.wait_vblank();  // frame waits move the clock too
  EXPECT_EQ(log.calls.size(), 6u);
  EXPECT_EQ(timeKillEvent(periodic), TIMERR_NOERROR);
  EXPECT_EQ(timeKillEvent(periodic), MMSYSERR_INVALPARAM);
  h_.advance_clock(100000);
  EXPECT_EQ(log.calls.size(), 6u);
}

struct SelfKill {
  UINT id = 0;
  int calls = 0;
};

void KillSelf(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* s = reinterpret_cast<SelfKill*>(user);
  ++s->calls;
  EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);  // returns at once from inside
}

TEST_F(VirtualTimers, CallbackMayKillItsOwnTimer) {
  SelfKill s;
  s.id = timeSetEvent(5, 0, KillSelf, reinterpret_cast<DWORD_PTR>(&s), TIME_PERIODIC);
  h_.advance_clock(50000);
  EXPECT_EQ(s.calls, 1);
}

TEST_F(VirtualTimers, RefusesBadRequests) {
  EXPECT_EQ(timeSetEvent(0, 0, Record, 0, TIME_PERIODIC), 0u);
  EXPECT_EQ(timeSetEvent(10, 0, nullptr, 0, TIME_PERIODIC), 0u);
  TIMECAPS caps{};
  EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps), TIMERR_NOERROR);
  EXPECT_EQ(caps.wPeriodMin, 1u);
  EXPECT_EQ(timeGetDevCaps(&caps, 4), TIMERR_NOCANDO);
  EXPECT_EQ(timeEndPeriod(1), TIMERR_NOCANDO);  // no matching request
  EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(platform::timer_period_requests(), 2);
  EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
  EXPECT_EQ(timeEndPeriod(1), TIMERR_NOCANDO);
  EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
}

// A host that is not headless, so timers run on the timer thread, with a clock the
// test moves.
class ThreadHost : public host::HeadlessHost {
 public:
  bool headless() const override { return false; }
};

struct Blocking {
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> go{release.get_future().share()};
  std::atomic<bool> finished{false};
  std::atomic<int> calls{0};
};

void Block(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* b = reinterpret_cast<Blocking*>(user);
  if (b->calls++ == 0) {
    b->entered.set_value();
    b->go.wait();
  }
  b->finished = true;
}

TEST(ThreadTimers, KillWaitsForARunningCallback) {
  ThreadHost h;
  host::set(&h);
  Blocking b;
  UINT id = timeSetEvent(1, 0, Block, reinterpret_cast<DWORD_PTR>(&b), TIME_PERIODIC);
  h.advance_clock(1000);
  b.entered.get_future().wait();  // the callback is running on the timer thread
  std::atomic<bool> killed{false};
  std::thread killer([&] {
    timeKillEvent(id);
    killed = true;
    EXPECT_TRUE(b.finished.load());  // the kill returned only after the callback ended
  });
  b.release.set_value();
  killer.join();
  EXPECT_TRUE(killed.load());
  EXPECT_EQ(platform::timer_count(), 0);
  host::set(nullptr);
}

}  // namespace
