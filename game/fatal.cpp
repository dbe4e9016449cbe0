#include "game/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "platform/host/host.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/text.h"

char MsgBuf[kMsgBufSize];
char ErrBuf[kMsgBufSize];

namespace {

// Formats in full, then keeps the longest start that fits `size` - 1 bytes
// without splitting a Shift-JIS character (a message may hold a long name).
int FormatInto(char* out, size_t size, const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  int need = std::vsnprintf(nullptr, 0, format, args);
  std::vector<char> full(need > 0 ? static_cast<size_t>(need) + 1 : 1, '\0');
  if (need > 0) std::vsnprintf(full.data(), full.size(), format, again);
  va_end(again);
  size_t len = need > 0 ? static_cast<size_t>(need) : 0, keep = 0;
  while (keep < len) {
    size_t step = win32::IsLeadByte(static_cast<uint8_t>(full[keep])) && keep + 1 < len ? 2 : 1;
    if (keep + step > size - 1) break;
    keep += step;
  }
  std::memcpy(out, full.data(), keep);
  out[keep] = '\0';
  return static_cast<int>(keep);
}

int Format(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int Format(char* out, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatInto(out, size, format, args);
  va_end(args);
  return n;
}

// The source tree's root, known from this file's own path.
std::string SourceName(const char* source) {
  static const std::string root = [] {
    std::string self = __FILE__;
    size_t at = self.rfind("game/fatal.cpp");
    return at == std::string::npos ? std::string() : self.substr(0, at);
  }();
  std::string s = source ? source : "";
  if (!root.empty() && s.compare(0, root.size(), root) == 0) s.erase(0, root.size());
  size_t dot = s.rfind('.');
  if (dot != std::string::npos && s.find('/', dot) == std::string::npos) s.erase(dot);
  return s;
}

}  // namespace

int FormatMsg(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatInto(MsgBuf, sizeof MsgBuf, format, args);  // formats into a copy first
  va_end(args);
  return n;
}

void FatalError(const char* source, int line) {
  Format(ErrBuf, sizeof ErrBuf, "%s:%d:%s", SourceName(source).c_str(), line, MsgBuf);
  MessageBoxA(dxgetwindow(), ErrBuf, "エラー", MB_ICONHAND);
  host::get().exit_process(1, true);
  __builtin_unreachable();
}

void ShowWarning() {
  MessageBoxA(dxgetwindow(), MsgBuf, "警告", MB_ICONHAND);
  MsgBuf[0] = '\0';
}
