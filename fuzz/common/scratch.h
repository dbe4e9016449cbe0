// What the fuzz targets that read files by name share: a folder of the run's
// own (removed when the run ends) and the headless host, catching the program's
// stops so that a refused input returns to the fuzzer.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "platform/host/headless_host.h"

// Ctrl-C (SIGINT) and a request to end (SIGTERM) end the process at once,
// through libFuzzer's handler (which calls _Exit) or the default action, and
// run no destructor: the scratch folders are removed first by a handler of
// their own, which allocates nothing and calls only what a signal handler
// may, then the handler that was there before runs as it would have.
namespace scratchstop {

struct Slot {
  std::atomic<bool> used{false};
  char path[PATH_MAX];
};
inline Slot g_slots[4];  // a process makes one or two
constexpr int kSignals[] = {SIGINT, SIGTERM};
inline struct sigaction g_before[std::size(kSignals)];

// Empties the folder open as `fd`, not following links; a pass that removes
// nothing ends it, as entries read while others go may be read again or not.
inline void Empty(int fd, int depth) {
  static char buffers[8][2048];  // one a level: a deeper folder stays
  if (depth >= 8) return;
  char* buffer = buffers[depth];
  for (bool removed = true; removed;) {
    removed = false;
    if (lseek(fd, 0, SEEK_SET) != 0) return;
    for (long n; (n = syscall(SYS_getdents64, fd, buffer, sizeof buffers[0])) > 0;) {
      for (long at = 0; at < n;) {
        const dirent64* entry = reinterpret_cast<const dirent64*>(buffer + at);
        at += entry->d_reclen;
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (unlinkat(fd, name, 0) == 0) {
          removed = true;
        } else if (errno == EISDIR) {
          const int sub = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
          if (sub < 0) continue;
          Empty(sub, depth + 1);
          close(sub);
          removed |= unlinkat(fd, name, AT_REMOVEDIR) == 0;
        }
      }
    }
  }
}

inline void Remove(const char* path) {
  const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  Empty(fd, 0);
  close(fd);
  rmdir(path);
}

inline void OnStop(int sig, siginfo_t* info, void* context) {
  const int saved = errno;
  for (Slot& s : g_slots)
    if (s.used.exchange(false)) Remove(s.path);
  errno = saved;
  size_t i = 0;
  while (kSignals[i] != sig) ++i;
  const struct sigaction& before = g_before[i];
  if (before.sa_flags & SA_SIGINFO) {
    before.sa_sigaction(sig, info, context);
  } else if (before.sa_handler != SIG_DFL) {
    before.sa_handler(sig);
  } else {
    // Ended by the signal, as the default would: it is blocked until this
    // handler returns.
    sigaction(sig, &before, nullptr);
    raise(sig);
  }
}

// Once a process, after libFuzzer set its handlers (the folders are made by
// the first input); a signal ignored stays ignored.
inline void Install() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction on {};
  on.sa_sigaction = OnStop;
  on.sa_flags = SA_SIGINFO;
  sigemptyset(&on.sa_mask);
  for (int sig : kSignals) sigaddset(&on.sa_mask, sig);
  for (size_t i = 0; i < std::size(kSignals); ++i)
    if (sigaction(kSignals[i], nullptr, &g_before[i]) == 0 && g_before[i].sa_handler != SIG_IGN)
      sigaction(kSignals[i], &on, nullptr);
}

inline Slot* Register(const std::string& path) {
  if (path.size() >= PATH_MAX) return nullptr;
  Install();
  for (Slot& s : g_slots) {
    if (s.used.load()) continue;
    std::memcpy(s.path, path.c_str(), path.size() + 1);
    s.used.store(true);
    return &s;
  }
  return nullptr;
}

}  // namespace scratchstop

class ScratchFolder {
 public:
  explicit ScratchFolder(const char* prefix) {
    // Absolute: the layer moves the working folder.
    std::string tmpl =
        std::filesystem::absolute(std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
    slot_ = scratchstop::Register(tmpl);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    // Only now: a stop while it goes removes the rest.
    if (slot_) slot_->used.store(false);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `name` (relative to the folder), making its folders.
  void Write(const std::string& name, const void* data, size_t size) const {
    std::filesystem::path p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

 private:
  std::filesystem::path path_;
  scratchstop::Slot* slot_ = nullptr;
};

// The run's headless host, installed as the current one.
inline host::HeadlessHost& InstallFuzzHost() {
  static host::HeadlessHost h;
  h.set_catch_exits(true);
  h.set_quiet(true);
  h.clear_message_boxes();  // each keeps a copy of the screen: a campaign would grow without end
  host::set(&h);
  return h;
}
