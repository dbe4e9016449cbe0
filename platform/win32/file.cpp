#include "platform/win32/file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>

#include "platform/win32/text.h"

namespace {

constexpr uint64_t kViewAlignment = 65536;

class FileObject : public win32::KernelObject {
 public:
  explicit FileObject(int fd) : fd(fd) {}
  ~FileObject() override { ::close(fd); }
  const int fd;
};

// Holds its own descriptor, so it stays usable after the file's handle closes.
class MappingObject : public win32::KernelObject {
 public:
  MappingObject(int fd, uint64_t size) : fd(fd), size(size) {}
  ~MappingObject() override { ::close(fd); }
  const int fd;
  const uint64_t size;
};

std::mutex g_views_lock;
// Never destroyed: the layer's exit handler unmaps the package's view.
std::map<const void*, size_t>& Views() {
  static auto* views = new std::map<const void*, size_t>;
  return *views;
}

int FailErrno() {
  SetLastError(win32::ErrorFromErrno(errno));
  return -1;
}

HANDLE OpenHostFile(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  int oflags = O_CLOEXEC;
  bool reading = access & GENERIC_READ, writing = access & GENERIC_WRITE;
  oflags |= writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW: oflags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: oflags |= O_CREAT | O_TRUNC; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: oflags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
      if (!writing) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      oflags |= O_TRUNC;
      break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }
  int fd = ::open(path.c_str(), oflags, 0666);
  if (fd < 0) {
    FailErrno();
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (flags & FILE_FLAG_SEQUENTIAL_SCAN) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  if (flags & FILE_FLAG_RANDOM_ACCESS) ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
  SetLastError(NO_ERROR);
  return win32::RegisterHandle(std::make_unique<FileObject>(fd));
}

FileObject* FileOf(HANDLE h) {
  auto* f = win32::HandleAs<FileObject>(h);
  if (!f) SetLastError(ERROR_INVALID_HANDLE);
  return f;
}

std::string SlashPath(std::string utf8) {
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

}  // namespace

HANDLE CreateFileA(const char* name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags, HANDLE) {
  if (!name || !*name) {
    SetLastError(name ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return OpenHostFile(win32::HostPath(name), access, disposition, flags);
}

HANDLE CreateFileW(const char16_t* name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags, HANDLE) {
  if (!name || !*name) {
    SetLastError(name ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  return OpenHostFile(win32::HostPathW(name), access, disposition, flags);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped) {
  if (read) *read = 0;
  FileObject* f = FileOf(file);
  if (!f) return FALSE;
  if (overlapped || (!buffer && count)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD done = 0;
  while (done < count) {
    ssize_t n = ::read(f->fd, static_cast<char*>(buffer) + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (read) *read = done;
      FailErrno();
      return FALSE;
    }
    if (n == 0) break;  // the end of the file: success with a short count
    done += static_cast<DWORD>(n);
  }
  if (read) *read = done;
  SetLastError(NO_ERROR);
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* high, DWORD method) {
  FileObject* f = FileOf(file);
  if (!f) return INVALID_SET_FILE_POINTER;
  int64_t move = high ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*high)) << 32) |
                                             static_cast<uint32_t>(distance))
                      : static_cast<int64_t>(distance);
  int64_t base;
  switch (method) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = ::lseek(f->fd, 0, SEEK_CUR); break;
    case FILE_END: {
      struct stat st;
      base = ::fstat(f->fd, &st) == 0 ? st.st_size : -1;
      break;
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_SET_FILE_POINTER;
  }
  if (base < 0) {
    FailErrno();
    return INVALID_SET_FILE_POINTER;
  }
  // Overflow of base + move would need a file of 2^63 bytes: not a concern.
  int64_t target = base + move;
  if (target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (!high && target > 0xFFFFFFFE) {  // the result must fit the one word
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (::lseek(f->fd, target, SEEK_SET) < 0) {
    FailErrno();
    return INVALID_SET_FILE_POINTER;
  }
  if (high) *high = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
  SetLastError(NO_ERROR);
  return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
  FileObject* f = FileOf(file);
  if (!f) return INVALID_FILE_SIZE;
  struct stat st;
  if (::fstat(f->fd, &st) != 0) {
    FailErrno();
    return INVALID_FILE_SIZE;
  }
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (high) *high = static_cast<DWORD>(size >> 32);
  SetLastError(NO_ERROR);
  return static_cast<DWORD>(size);
}

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD size_high, DWORD size_low,
                          const char* name) {
  FileObject* f = FileOf(file);
  if (!f) return nullptr;
  if (protect != PAGE_READONLY || name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  struct stat st;
  if (::fstat(f->fd, &st) != 0) {
    FailErrno();
    return nullptr;
  }
  uint64_t file_size = static_cast<uint64_t>(st.st_size);
  uint64_t size = (static_cast<uint64_t>(size_high) << 32) | size_low;
  if (size == 0) size = file_size;
  if (size == 0) {
    SetLastError(ERROR_FILE_INVALID);
    return nullptr;
  }
  // A read-only mapping cannot grow the file.
  if (size > file_size) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  int fd = ::fcntl(f->fd, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    FailErrno();
    return nullptr;
  }
  SetLastError(NO_ERROR);
  return win32::RegisterHandle(std::make_unique<MappingObject>(fd, size));
}

void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low, size_t bytes) {
  auto* m = win32::HandleAs<MappingObject>(mapping);
  if (!m) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (access != FILE_MAP_READ) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  uint64_t offset = (static_cast<uint64_t>(offset_high) << 32) | offset_low;
  if (offset % kViewAlignment) {
    SetLastError(ERROR_MAPPED_ALIGNMENT);
    return nullptr;
  }
  if (offset >= m->size || bytes > m->size - offset) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (bytes == 0) bytes = static_cast<size_t>(m->size - offset);
  void* view = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, m->fd, static_cast<off_t>(offset));
  if (view == MAP_FAILED) {
    FailErrno();
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_views_lock);
  Views()[view] = bytes;
  SetLastError(NO_ERROR);
  return view;
}

BOOL UnmapViewOfFile(const void* base) {
  size_t bytes;
  {
    std::lock_guard<std::mutex> lock(g_views_lock);
    auto it = Views().find(base);
    if (it == Views().end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    bytes = it->second;
    Views().erase(it);
  }
  ::munmap(const_cast<void*>(base), bytes);
  return TRUE;
}

// No resource is ever found, so no HRSRC is ever handed out, and the calls that
// take one fail for anything they are given.
HRSRC FindResourceA(HMODULE, const char*, const char*) {
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HRSRC FindResourceW(HMODULE, const char16_t*, const char16_t*) {
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC) {
  SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC) {
  SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return 0;
}

void* LockResource(HGLOBAL loaded) { return loaded; }

namespace win32 {

std::string HostPath(const char* name) { return name ? SlashPath(Cp932ToUtf8(name)) : std::string(); }

std::string HostPathW(const char16_t* name) { return name ? SlashPath(Utf16ToUtf8(name)) : std::string(); }

std::FILE* fopen(const char* name, const char* mode) {
  if (!name || !mode) {
    errno = EINVAL;
    return nullptr;
  }
  std::FILE* f = std::fopen(HostPath(name).c_str(), mode);
  // As on the original system, a folder does not open as a file (the C
  // library here would open it and fail each read).
  struct stat st;
  if (f && ::fstat(::fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(f);
    errno = EISDIR;
    return nullptr;
  }
  return f;
}

bool WriteFileSafely(const char* name, const std::function<bool(std::FILE*)>& write) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  static std::atomic<unsigned> counter{0};
  std::string path = HostPath(name);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    FailErrno();
    return false;
  }
  std::FILE* out = ::fdopen(fd, "wb");
  if (!out) {
    FailErrno();
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  bool ok = write(out);
  if (!ok) SetLastError(ERROR_GEN_FAILURE);
  if (ok && (std::fflush(out) != 0 || std::ferror(out) || ::fsync(fd) != 0)) {
    FailErrno();
    ok = false;
  }
  if (std::fclose(out) != 0 && ok) {
    FailErrno();
    ok = false;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    FailErrno();
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder.
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  SetLastError(NO_ERROR);
  return true;
}

bool WriteFileSafely(const char* name, const void* data, size_t size) {
  return WriteFileSafely(name, [&](std::FILE* out) {
    return size == 0 || (data && std::fwrite(data, 1, size, out) == size);
  });
}

}  // namespace win32
