// Kernel objects behind HANDLE values, CloseHandle for all of them, and the
// thread's last error. Each area that hands out handles (files, file mappings,
// threads, ...) derives its object from win32::KernelObject and registers it;
// CloseHandle then works on every kind.
#pragma once

#include <memory>

#include "platform/win32/registry.h"  // ERROR_SUCCESS, ERROR_FILE_NOT_FOUND
#include "platform/win32/types.h"

constexpr DWORD NO_ERROR = 0;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3, ERROR_TOO_MANY_OPEN_FILES = 4, ERROR_ACCESS_DENIED = 5,
                ERROR_INVALID_HANDLE = 6, ERROR_NOT_ENOUGH_MEMORY = 8, ERROR_WRITE_PROTECT = 19,
                ERROR_GEN_FAILURE = 31, ERROR_SHARING_VIOLATION = 32, ERROR_HANDLE_EOF = 38,
                ERROR_NOT_SUPPORTED = 50, ERROR_FILE_EXISTS = 80, ERROR_INVALID_PARAMETER = 87,
                ERROR_DISK_FULL = 112, ERROR_INVALID_NAME = 123, ERROR_NEGATIVE_SEEK = 131,
                ERROR_ALREADY_EXISTS = 183, ERROR_FILE_INVALID = 1006, ERROR_MAPPED_ALIGNMENT = 1132,
                ERROR_RESOURCE_DATA_NOT_FOUND = 1812, ERROR_RESOURCE_TYPE_NOT_FOUND = 1813,
                ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

DWORD GetLastError();
void SetLastError(DWORD code);

// Closes any registered handle; FALSE (ERROR_INVALID_HANDLE) for anything else.
BOOL CloseHandle(HANDLE h);

namespace win32 {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Takes ownership of the object; its HANDLE is valid until CloseHandle.
HANDLE RegisterHandle(std::unique_ptr<KernelObject> object);

// The object behind a live handle when it is of type T, else null.
KernelObject* LookupHandle(HANDLE h);
template <class T>
T* HandleAs(HANDLE h) {
  return dynamic_cast<T*>(LookupHandle(h));
}

// The last error for a failed C library call (errno).
DWORD ErrorFromErrno(int err);

}  // namespace win32
