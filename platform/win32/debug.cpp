#include "platform/win32/debug.h"

#include <cstdio>
#include <mutex>

#include "platform/win32/text.h"

namespace {
std::mutex g_mutex;
std::string* g_capture = nullptr;
}  // namespace

void OutputDebugStringA(const char* text) {
  if (!text) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_capture) {
    g_capture->append(text);
    return;
  }
  std::fputs(win32::Cp932ToUtf8(text).c_str(), stderr);
}

namespace platform {
void set_debug_capture(std::string* sink) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_capture = sink;
}
}  // namespace platform
