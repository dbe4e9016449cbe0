#include "platform/win32/thread.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host/headless_host.h"
#include "platform/win32/handle.h"

namespace {

enum class RunState { Running, Sleeping, Blocked, Ended };

struct ThreadState {
  std::thread thread;
  RunState state = RunState::Running;
  uint64_t wake_us = 0;
  DWORD exit_code = STILL_ACTIVE;
  bool lockstep = false;  // sleeps on the headless host's virtual clock
};

// Guards every thread's state; signalled at every change of state.
std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<std::shared_ptr<ThreadState>> g_lockstep;

thread_local ThreadState* t_self = nullptr;

struct ThreadObject : win32::KernelObject {
  std::shared_ptr<ThreadState> st;
  ~ThreadObject() override {
    // Closing a handle never stops the thread; one that has ended is reaped.
    if (!st->thread.joinable()) return;
    bool ended;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      ended = st->state == RunState::Ended;
    }
    if (ended && st->thread.get_id() != std::this_thread::get_id())
      st->thread.join();
    else
      st->thread.detach();
  }
};

// Under g_mutex: a lockstep thread other than the caller is still running.
bool AnyRunning() {
  for (auto& t : g_lockstep)
    if (t.get() != t_self && t->state == RunState::Running) return true;
  return false;
}

// The virtual clock moved to `now`: lets every lockstep thread whose wake time has
// come run to its next sleep, earliest first, one at a time.
void OnClock(uint64_t now) {
  std::unique_lock<std::mutex> lock(g_mutex);
  for (;;) {
    g_changed.wait(lock, [] { return !AnyRunning(); });
    ThreadState* due = nullptr;
    for (auto& t : g_lockstep)
      if (t->state == RunState::Sleeping && t->wake_us <= now && (!due || t->wake_us < due->wake_us))
        due = t.get();
    if (!due) return;
    due->state = RunState::Running;
    g_changed.notify_all();
  }
}

ThreadState* Lookup(HANDLE h, std::shared_ptr<ThreadState>& keep) {
  auto* obj = win32::HandleAs<ThreadObject>(h);
  if (!obj) return nullptr;
  keep = obj->st;
  return keep.get();
}

}  // namespace

HANDLE CreateThread(SECURITY_ATTRIBUTES*, size_t, LPTHREAD_START_ROUTINE start, void* param, DWORD flags,
                    DWORD* id) {
  if (!start || flags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto st = std::make_shared<ThreadState>();
  st->lockstep = host::headless() != nullptr;
  if (st->lockstep) {
    host::add_clock_listener(OnClock);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lockstep.push_back(st);
  }
  st->thread = std::thread([st, start, param] {
    t_self = st.get();
    DWORD code = start(param);
    std::lock_guard<std::mutex> lock(g_mutex);
    st->exit_code = code;
    st->state = RunState::Ended;
    g_lockstep.erase(std::remove(g_lockstep.begin(), g_lockstep.end(), st), g_lockstep.end());
    g_changed.notify_all();
  });
  if (st->lockstep) {
    // The new thread runs up to its first sleep before the caller goes on.
    std::unique_lock<std::mutex> lock(g_mutex);
    g_changed.wait(lock, [&] { return st->state != RunState::Running; });
  }
  auto obj = std::make_unique<ThreadObject>();
  obj->st = st;
  static std::atomic<DWORD> next_id{1};
  if (id) *id = next_id++;
  return win32::RegisterHandle(std::move(obj));
}

DWORD WaitForSingleObject(HANDLE h, DWORD ms) {
  std::shared_ptr<ThreadState> keep;
  ThreadState* st = Lookup(h, keep);
  if (!st) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (st == t_self) return ms == INFINITE ? WAIT_FAILED : WAIT_TIMEOUT;
  host::HeadlessHost* hh = host::headless();
  if (st->lockstep && hh) {
    const uint64_t deadline = ms == INFINITE ? UINT64_MAX : hh->now_us() + uint64_t{ms} * 1000;
    std::unique_lock<std::mutex> lock(g_mutex);
    for (;;) {
      if (st->state == RunState::Ended) return WAIT_OBJECT_0;
      if (st->state == RunState::Sleeping) {
        // The waiter's time passes: on to the thread's wake time (or the time-out).
        uint64_t target = std::min(st->wake_us, deadline);
        lock.unlock();
        if (target > hh->now_us())
          hh->set_clock(target);
        else
          OnClock(hh->now_us());
        lock.lock();
        if (st->state != RunState::Ended && target == deadline && target < st->wake_us) return WAIT_TIMEOUT;
        continue;
      }
      g_changed.wait(lock);
    }
  }
  std::unique_lock<std::mutex> lock(g_mutex);
  auto ended = [&] { return st->state == RunState::Ended; };
  if (ms == INFINITE) {
    g_changed.wait(lock, ended);
    return WAIT_OBJECT_0;
  }
  return g_changed.wait_for(lock, std::chrono::milliseconds(ms), ended) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL GetExitCodeThread(HANDLE h, DWORD* code) {
  std::shared_ptr<ThreadState> keep;
  ThreadState* st = Lookup(h, keep);
  if (!st || !code) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  *code = st->exit_code;
  return TRUE;
}

namespace win32 {

bool WorkerSleep(DWORD ms) {
  if (!t_self || !t_self->lockstep) return false;
  host::HeadlessHost* hh = host::headless();
  if (!hh) return false;
  std::unique_lock<std::mutex> lock(g_mutex);
  // A sleep of 0 still yields a millisecond, so a polling loop cannot spin in place.
  t_self->wake_us = hh->now_us() + uint64_t{std::max<DWORD>(ms, 1)} * 1000;
  t_self->state = RunState::Sleeping;
  g_changed.notify_all();
  g_changed.wait(lock, [] { return t_self->state == RunState::Running; });
  return true;
}

}  // namespace win32

void InitializeCriticalSection(CRITICAL_SECTION* cs) { cs->impl = new std::recursive_mutex; }

void DeleteCriticalSection(CRITICAL_SECTION* cs) {
  delete static_cast<std::recursive_mutex*>(cs->impl);
  cs->impl = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* cs) {
  auto* m = static_cast<std::recursive_mutex*>(cs->impl);
  if (m->try_lock()) return;
  if (!t_self || !t_self->lockstep) {
    m->lock();
    return;
  }
  // A lockstep thread waiting for a lock counts as settled, so the clock's mover
  // (who may hold the lock) is not kept waiting for it.
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    t_self->state = RunState::Blocked;
    g_changed.notify_all();
  }
  m->lock();
  std::lock_guard<std::mutex> lock(g_mutex);
  t_self->state = RunState::Running;
}

void LeaveCriticalSection(CRITICAL_SECTION* cs) { static_cast<std::recursive_mutex*>(cs->impl)->unlock(); }
