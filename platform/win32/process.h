// The process: its command line, its own file name, and its end.
#pragma once

#include "platform/win32/types.h"

namespace win32 {
// Called once by the entry point with the process's arguments (UTF-8 on Linux).
void SetProcessArgs(int argc, char** argv);
// The executable's path in the platform's form: CP932, "\" separators.
const char* ModulePath();
// For tests that run the program from a folder of their own: `path` (UTF-8)
// stands for the executable from now on; null brings back the real one.
void SetModulePath(const char* path);
}  // namespace win32

// The executable's path (CP932, "\" separators); the length copied, or `size`
// when cut short (the copy is then terminated).
DWORD GetModuleFileNameA(HMODULE module, char* out, DWORD size);
HMODULE GetModuleHandleA(const char* name);
// The whole command line as UTF-16, arguments quoted where they hold blanks.
const char16_t* GetCommandLineW();
// Splits a command line; the array stays valid until LocalFree.
char16_t** CommandLineToArgvW(const char16_t* cmdline, int* argc);
void* LocalFree(void* mem);
// Ends the process at once: no exit handlers.
[[noreturn]] void ExitProcess(UINT code);
[[noreturn]] void TerminateProcess(UINT code);
