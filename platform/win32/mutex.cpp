#include "platform/win32/mutex.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Bytes of the lock file, each locked on its own through the open file
// description: every open handle of any process holds a read lock on kHandles
// (so a write lock is to be had only by the first), and the owner holds a write
// lock on kOwner.
constexpr off_t kHandles = 0, kOwner = 1;

bool LockByte(int fd, off_t at, short type, bool wait) {
  struct flock l {};
  l.l_type = type;
  l.l_whence = SEEK_SET;
  l.l_start = at;
  l.l_len = 1;
  while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &l) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// One mutex as this process sees it: every handle to the same name shares it,
// so ownership belongs to the thread whichever handle it used.
struct State {
  std::string name, path;
  int fd = -1;  // -1 for an unnamed mutex
  pid_t pid = ::getpid();  // a forked child shares the locks but leaves the file alone
  std::thread::id owner;
  int depth = 0;
  ~State() {
    if (fd < 0) return;
    // The last handle anywhere takes the lock file away: only then can the read
    // lock become a write lock. Openers that still reach the old file see it
    // gone once they hold their lock, and start again.
    if (pid == ::getpid() && LockByte(fd, kHandles, F_WRLCK, false)) ::unlink(path.c_str());
    ::close(fd);  // drops both locks
  }
};

bool SameFile(int fd, const std::string& path) {
  struct stat a {}, b {};
  return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::mutex g_lock;
// Never destroyed, as the handle table: an exit handler may close the last handle.
std::map<std::string, std::weak_ptr<State>>& Named() {
  static auto* named = new std::map<std::string, std::weak_ptr<State>>;
  return *named;
}

class Mutex : public win32::KernelObject {
 public:
  explicit Mutex(std::shared_ptr<State> s) : state(std::move(s)) {}
  ~Mutex() override {
    std::lock_guard<std::mutex> lock(g_lock);
    if (state.use_count() == 1 && !state->name.empty()) Named().erase(state->name);
    state.reset();
  }
  std::shared_ptr<State> state;
};

void Own(State& s) {
  s.owner = std::this_thread::get_id();
  ++s.depth;
}

bool SafeNameByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
         c == '.';
}

}  // namespace

namespace win32 {

std::string MutexPath(const char* name) {
  // The runtime folder is the user's own; the shared temporary folder gets the
  // user's number in the file name.
  std::string dir, prefix = "dolvicar-mutex-";
  struct stat st {};
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
    dir = runtime;
  } else {
    const char* tmp = std::getenv("TMPDIR");
    dir = tmp && *tmp ? tmp : "/tmp";
    prefix += std::to_string(::getuid()) + "-";
  }
  // Any byte of the name may appear; the others are written as %XX so that
  // no two names share a file.
  std::string file;
  static const char kHex[] = "0123456789ABCDEF";
  for (const char* p = name; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (SafeNameByte(c)) {
      file += static_cast<char>(c);
    } else {
      file += '%';
      file += kHex[c >> 4];
      file += kHex[c & 15];
    }
  }
  return dir + "/" + prefix + file + ".lock";
}

}  // namespace win32

HANDLE CreateMutexA(SECURITY_ATTRIBUTES*, BOOL initial_owner, const char* name) {
  std::lock_guard<std::mutex> lock(g_lock);
  if (!name) {
    auto s = std::make_shared<State>();
    if (initial_owner) Own(*s);
    SetLastError(NO_ERROR);
    return win32::RegisterHandle(std::make_unique<Mutex>(std::move(s)));
  }
  if (!*name) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  if (auto it = Named().find(name); it != Named().end()) {
    if (std::shared_ptr<State> s = it->second.lock()) {
      HANDLE h = win32::RegisterHandle(std::make_unique<Mutex>(std::move(s)));
      SetLastError(ERROR_ALREADY_EXISTS);
      return h;
    }
  }
  auto s = std::make_shared<State>();
  s->name = name;
  s->path = win32::MutexPath(name);
  bool created = false;
  for (int attempt = 0;; ++attempt) {
    // Another process kept taking the file away under us: give up rather than spin.
    if (attempt == 100) {
      SetLastError(ERROR_GEN_FAILURE);
      return nullptr;
    }
    const int fd = ::open(s->path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
      SetLastError(win32::ErrorFromErrno(errno));
      return nullptr;
    }
    // The first handle anywhere gets the write lock and turns it into a read
    // lock at once (the change is atomic); later ones wait out that moment.
    created = LockByte(fd, kHandles, F_WRLCK, false);
    if (created ? !LockByte(fd, kHandles, F_RDLCK, false) : !LockByte(fd, kHandles, F_RDLCK, true)) {
      SetLastError(win32::ErrorFromErrno(errno));
      ::close(fd);
      return nullptr;
    }
    if (SameFile(fd, s->path)) {
      s->fd = fd;
      break;
    }
    ::close(fd);
  }
  const int fd = s->fd;
  if (created && initial_owner) {
    // No other handle exists, so no other owner: the lock is free.
    if (!LockByte(fd, kOwner, F_WRLCK, true)) {
      SetLastError(win32::ErrorFromErrno(errno));
      return nullptr;
    }
    Own(*s);
  }
  Named()[name] = s;
  HANDLE h = win32::RegisterHandle(std::make_unique<Mutex>(std::move(s)));
  SetLastError(created ? NO_ERROR : ERROR_ALREADY_EXISTS);
  return h;
}

BOOL ReleaseMutex(HANDLE mutex) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto* m = win32::HandleAs<Mutex>(mutex);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  State& s = *m->state;
  if (s.depth == 0 || s.owner != std::this_thread::get_id()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  if (--s.depth == 0) {
    s.owner = std::thread::id();
    if (s.fd >= 0) LockByte(s.fd, kOwner, F_UNLCK, false);
  }
  return TRUE;
}
