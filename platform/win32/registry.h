// The registry holds one value here: "Logon User Name" under the current user's
// "Software\Microsoft\Windows\CurrentVersion\Explorer", which is the login name.
#pragma once

#include "platform/win32/types.h"

using LSTATUS = LONG;
using REGSAM = DWORD;
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002));
constexpr LSTATUS ERROR_SUCCESS = 0, ERROR_FILE_NOT_FOUND = 2, ERROR_MORE_DATA = 234;
constexpr REGSAM KEY_READ = 0x20019, KEY_QUERY_VALUE = 0x1;
constexpr DWORD REG_SZ = 1;

LSTATUS RegOpenKeyExA(HKEY key, const char* subkey, DWORD options, REGSAM sam, HKEY* result);
LSTATUS RegQueryValueExA(HKEY key, const char* value, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LSTATUS RegCloseKey(HKEY key);
