#include "platform/winmm/timer.h"

#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "platform/host/headless_host.h"
#include "platform/host/host.h"

namespace {

constexpr UINT kPeriodMin = 1, kPeriodMax = 1000000;

struct Timer {
  uint64_t due_us;
  UINT period_ms;
  bool periodic;
  bool headless;  // fired by the virtual clock, not by the timer thread
  LPTIMECALLBACK proc;
  DWORD_PTR user;
};

struct State {
  std::mutex m;
  std::condition_variable cv;
  std::map<UINT, Timer> timers;
  UINT next_id = 1;
  std::map<UINT, std::thread::id> running;  // callbacks in progress, by timer
  std::map<UINT, int> periods;
  std::thread thread;
  bool stop = false;  // the process is ending: the thread is gone and not started again
};

// Never destroyed: the layer's exit handler kills the music's timers after the
// function-local statics made since start-up are gone.
State& S() {
  static auto* s = new State;
  return *s;
}

// The process is ending: no callback may run on into the exit, where the host
// and what the callbacks touch go away. Registered when the thread starts, after
// the host was made, so this runs before the host is deleted. Timers of a real
// host set from now on never fire.
void EndThread() {
  State& s = S();
  {
    std::lock_guard<std::mutex> lock(s.m);
    s.stop = true;
    s.cv.notify_all();
  }
  if (s.thread.get_id() == std::this_thread::get_id()) {
    s.thread.detach();  // a callback ended the process: it cannot wait for itself
  } else if (s.thread.joinable()) {
    s.thread.join();
  }
}

// Runs timer `id` with the lock held on entry and exit; the callback itself runs unlocked.
void Fire(State& s, std::unique_lock<std::mutex>& lk, UINT id, uint64_t now) {
  Timer t = s.timers.at(id);
  if (t.periodic) {
    // The virtual clock catches up tick by tick; the real one does not burst after a stall.
    uint64_t next = t.due_us + static_cast<uint64_t>(t.period_ms) * 1000;
    s.timers[id].due_us = (!t.headless && next < now) ? now : next;
  } else {
    s.timers.erase(id);
  }
  s.running[id] = std::this_thread::get_id();
  lk.unlock();
  t.proc(id, 0, t.user, 0, 0);
  lk.lock();
  s.running.erase(id);
  s.cv.notify_all();
}

// The earliest timer of the given kind that is not running, or 0.
UINT Earliest(State& s, bool headless) {
  UINT best = 0;
  uint64_t due = 0;
  for (auto& [id, t] : s.timers) {
    if (t.headless != headless || s.running.count(id)) continue;
    if (!best || t.due_us < due) best = id, due = t.due_us;
  }
  return best;
}

thread_local bool t_firing = false;

void OnVirtualClock(uint64_t) {
  State& s = S();
  s.cv.notify_all();  // a timer thread waiting on a moved clock looks again
  if (t_firing) return;  // a callback that sleeps moves the clock; the loop below catches up
  t_firing = true;
  std::unique_lock<std::mutex> lk(s.m);
  for (;;) {
    uint64_t now = host::get().now_us();
    UINT id = Earliest(s, true);
    if (!id || s.timers[id].due_us > now) break;
    Fire(s, lk, id, now);
  }
  t_firing = false;
}

void ThreadMain() {
  State& s = S();
  std::unique_lock<std::mutex> lk(s.m);
  while (!s.stop) {
    UINT id = Earliest(s, false);
    if (!id) {
      s.cv.wait(lk);
      continue;
    }
    uint64_t now = host::get().now_us();
    uint64_t due = s.timers[id].due_us;
    if (due > now) {
      s.cv.wait_for(lk, std::chrono::microseconds(due - now));
      continue;
    }
    Fire(s, lk, id, now);
  }
}

}  // namespace

MMRESULT timeSetEvent(UINT delay_ms, UINT, LPTIMECALLBACK proc, DWORD_PTR user, UINT flags) {
  if (!proc || delay_ms < kPeriodMin || delay_ms > kPeriodMax) return 0;
  host::Host& h = host::get();
  bool headless = h.headless();
  host::add_clock_listener(OnVirtualClock);
  State& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  if (!headless && !s.thread.joinable() && !s.stop) {
    s.thread = std::thread(ThreadMain);
    std::atexit(EndThread);
  }
  UINT id = s.next_id++;
  if (s.next_id == 0) s.next_id = 1;
  s.timers[id] = Timer{h.now_us() + static_cast<uint64_t>(delay_ms) * 1000, delay_ms,
                       (flags & TIME_PERIODIC) != 0, headless, proc, user};
  s.cv.notify_all();
  return id;
}

MMRESULT timeKillEvent(UINT id) {
  State& s = S();
  std::unique_lock<std::mutex> lk(s.m);
  auto it = s.timers.find(id);
  if (it == s.timers.end()) return MMSYSERR_INVALPARAM;
  s.timers.erase(it);
  // A callback running on another thread finishes before the timer is gone.
  s.cv.wait(lk, [&] {
    auto r = s.running.find(id);
    return r == s.running.end() || r->second == std::this_thread::get_id();
  });
  s.cv.notify_all();
  return TIMERR_NOERROR;
}

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size) {
  if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
  caps->wPeriodMin = kPeriodMin;
  caps->wPeriodMax = kPeriodMax;
  return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period_ms) {
  if (period_ms < kPeriodMin || period_ms > kPeriodMax) return TIMERR_NOCANDO;
  State& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  ++s.periods[period_ms];
  return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period_ms) {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  auto it = s.periods.find(period_ms);
  if (it == s.periods.end()) return TIMERR_NOCANDO;
  if (--it->second == 0) s.periods.erase(it);
  return TIMERR_NOERROR;
}

namespace platform {
int timer_count() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  return static_cast<int>(s.timers.size());
}
int timer_period_requests() {
  State& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  int n = 0;
  for (auto& [p, c] : s.periods) n += c;
  return n;
}
}  // namespace platform
