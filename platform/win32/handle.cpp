#include "platform/win32/handle.h"

#include <cerrno>
#include <map>
#include <mutex>

namespace {

// Handles may be closed on any thread (a thread's handle, a file of the sound
// stream), so the table has a lock.
std::mutex g_lock;
// Never destroyed: exit handlers close handles after static destructors ran.
std::map<HANDLE, std::unique_ptr<win32::KernelObject>>& Table() {
  static auto* table = new std::map<HANDLE, std::unique_ptr<win32::KernelObject>>;
  return *table;
}

thread_local DWORD t_last_error = NO_ERROR;

}  // namespace

DWORD GetLastError() { return t_last_error; }
void SetLastError(DWORD code) { t_last_error = code; }

BOOL CloseHandle(HANDLE h) {
  std::unique_ptr<win32::KernelObject> object;
  {
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = Table().find(h);
    if (it == Table().end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    object = std::move(it->second);
    Table().erase(it);
  }
  // Destroyed outside the lock: a thread object may wait in its destructor.
  object.reset();
  return TRUE;
}

namespace win32 {

HANDLE RegisterHandle(std::unique_ptr<KernelObject> object) {
  if (!object) return nullptr;
  HANDLE h = object.get();
  std::lock_guard<std::mutex> lock(g_lock);
  Table().emplace(h, std::move(object));
  return h;
}

KernelObject* LookupHandle(HANDLE h) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto it = Table().find(h);
  return it == Table().end() ? nullptr : it->second.get();
}

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case 0: return NO_ERROR;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_INVALID_NAME;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EBUSY: return ERROR_SHARING_VIOLATION;
    default: return ERROR_GEN_FAILURE;
  }
}

}  // namespace win32
