// Libraries bound by name at run time. There is no DLL loading: each library name
// stands for a table of our own functions, and a test can make a library or one
// of its functions unavailable, so that callers' failure paths really run.
#pragma once

#include "platform/win32/types.h"

using FARPROC = void (*)();

// The library's handle (the same one each time), or null when it is unavailable.
HMODULE LoadLibraryA(const char* name);
BOOL FreeLibrary(HMODULE module);
// The function, or null when the library lacks it or it is made unavailable.
FARPROC GetProcAddress(HMODULE module, const char* name);

namespace platform {
void set_library_available(const char* library, bool available);
void set_proc_available(const char* library, const char* proc, bool available);
void reset_libraries();  // everything available again
// Loads not yet matched by FreeLibrary.
int library_load_count(const char* library);
}  // namespace platform
