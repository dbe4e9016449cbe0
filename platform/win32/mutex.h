// Mutexes. A named mutex is one object for every process of the user: its name
// is a lock file in the user's runtime folder (else the temporary folder), and
// the object lives as long as any process holds a handle to it.
#pragma once

#include <string>

#include "platform/win32/handle.h"
#include "platform/win32/types.h"

struct SECURITY_ATTRIBUTES;

constexpr DWORD ERROR_NOT_OWNER = 288;

// A handle to the mutex of that name (a new unnamed one for null). When the
// mutex already existed, in this process or another, the last error is
// ERROR_ALREADY_EXISTS and `initial_owner` is ignored; else it is NO_ERROR and
// the calling thread owns the new mutex when `initial_owner` is set. Null with
// the last error set when the name cannot be had.
HANDLE CreateMutexA(SECURITY_ATTRIBUTES* security, BOOL initial_owner, const char* name);
// Gives up one level of the calling thread's ownership; FALSE (ERROR_NOT_OWNER)
// when it does not own the mutex. Closing the last handle gives up the rest.
BOOL ReleaseMutex(HANDLE mutex);

namespace win32 {
// The lock file that stands for a mutex name.
std::string MutexPath(const char* name);
}  // namespace win32
