// Files, read-only file mappings and resources, and the mapping of the
// program's file names to the disk.
//
// Names inside the program are CP932 with "\" or "/" separators (wide names
// UTF-16). On disk a name is UTF-8, every "\" becomes "/", and letter case is
// kept: names are matched case-sensitively, as the package matches them.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "platform/win32/handle.h"
#include "platform/win32/types.h"

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

constexpr DWORD GENERIC_READ = 0x80000000, GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1, FILE_SHARE_WRITE = 0x2, FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1, CREATE_ALWAYS = 2, OPEN_EXISTING = 3, OPEN_ALWAYS = 4,
                TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1, FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000, FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
constexpr DWORD FILE_BEGIN = 0, FILE_CURRENT = 1, FILE_END = 2;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF, INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD FILE_MAP_READ = 0x4;

// Opening: the access bits choose reading and/or writing, the disposition as
// on Windows; share modes have no effect here. A folder cannot be opened.
HANDLE CreateFileA(const char* name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE template_file);
HANDLE CreateFileW(const char16_t* name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE template_file);
// Synchronous reads only: `overlapped` must be null.
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, LPOVERLAPPED overlapped);
// The new position's low word (high word through `high` when given);
// INVALID_SET_FILE_POINTER with the last error set on failure.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* high, DWORD method);
// The size's low word (high word through `high` when given); INVALID_FILE_SIZE
// with the last error set on failure. The last error is NO_ERROR on success.
DWORD GetFileSize(HANDLE file, DWORD* high);

// Read-only mappings of a whole file or its start: only PAGE_READONLY and
// FILE_MAP_READ, no names. Sizes 0 and 0 take the file's size; an empty file
// cannot be mapped (ERROR_FILE_INVALID). A view's offset is a multiple of 64 KiB.
// A view outlives the handles it was made from, until UnmapViewOfFile.
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD size_high,
                          DWORD size_low, const char* name);
void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low, size_t bytes);
BOOL UnmapViewOfFile(const void* base);

// Resources of the executable. The program carries none that these calls can
// reach (no WAVE, MIDI or data resources), so every lookup finds nothing; its
// one icon is had through LoadIconA and ExtractIconExA (platform/win32/icon.h).
struct HRSRC__;
using HRSRC = HRSRC__*;
using HGLOBAL = void*;
inline char* MAKEINTRESOURCEA(uintptr_t id) { return reinterpret_cast<char*>(id & 0xFFFF); }
inline char16_t* MAKEINTRESOURCEW(uintptr_t id) { return reinterpret_cast<char16_t*>(id & 0xFFFF); }
inline bool IS_INTRESOURCE(const void* p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }
inline const char* const RT_RCDATA = MAKEINTRESOURCEA(10);
inline const char16_t* const RT_RCDATAW = MAKEINTRESOURCEW(10);

HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
HRSRC FindResourceW(HMODULE module, const char16_t* name, const char16_t* type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
DWORD SizeofResource(HMODULE module, HRSRC resource);
void* LockResource(HGLOBAL loaded);

namespace win32 {

// A program file name (CP932) as the name on disk (UTF-8, "/" separators).
// The conversion comes first, so a "\" trail byte of a Shift-JIS character is
// never taken for a separator.
std::string HostPath(const char* name);
std::string HostPathW(const char16_t* name);

// The C library's fopen on a program file name.
std::FILE* fopen(const char* name, const char* mode);

// Writes a whole file so that it is either fully replaced or left as it was:
// the bytes go to a temporary file beside it, which is flushed to the disk and
// then renamed over the name. `write` returns false to abandon the write (the
// old file stays); so does any failure. False with the last error set on failure.
bool WriteFileSafely(const char* name, const std::function<bool(std::FILE*)>& write);
bool WriteFileSafely(const char* name, const void* data, size_t size);

}  // namespace win32
