#include "platform/win32/registry.h"

#include <cstring>
#include <pwd.h>
#include <string>
#include <unistd.h>

#include "platform/win32/text.h"

namespace {

// The one key that exists: the current user's Explorer key.
HKEY const kExplorerKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1001));
const char kExplorerPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";

std::string LoginName() {
  const char* user = getenv("USER");
  if (user && *user) return user;
  if (const passwd* pw = getpwuid(geteuid())) return pw->pw_name ? pw->pw_name : "";
  return "";
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, const char* subkey, DWORD, REGSAM, HKEY* result) {
  if (!result) return ERROR_FILE_NOT_FOUND;
  *result = nullptr;
  if (key != HKEY_CURRENT_USER || !subkey) return ERROR_FILE_NOT_FOUND;
  // Key names are matched without regard to case, as the registry does.
  if (strcasecmp(subkey, kExplorerPath) != 0) return ERROR_FILE_NOT_FOUND;
  *result = kExplorerKey;
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, const char* value, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  if (key != kExplorerKey || !value || strcasecmp(value, "Logon User Name") != 0) return ERROR_FILE_NOT_FOUND;
  std::string name = win32::Utf8ToCp932(LoginName());
  if (name.empty()) return ERROR_FILE_NOT_FOUND;
  DWORD need = static_cast<DWORD>(name.size() + 1);
  if (type) *type = REG_SZ;
  if (!size) return data ? ERROR_MORE_DATA : ERROR_SUCCESS;
  if (!data) {
    *size = need;
    return ERROR_SUCCESS;
  }
  if (*size < need) {
    *size = need;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, name.c_str(), need);
  *size = need;
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY) { return ERROR_SUCCESS; }
