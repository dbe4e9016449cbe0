#include "dx/error.h"

#include <csignal>
#include <cstdarg>
#include <cstdio>

#include "dx/shell.h"
#include "platform/host/host.h"
#include "platform/win32/msgbox.h"

namespace dx {

bool dxexceptionmode = false;

std::string& dxlasterror() {
  static std::string text;
  return text;
}

dx_runtime_error::dx_runtime_error(const std::string& text) : std::runtime_error(text) { dxlasterror() = text; }
dx_runtime_error::dx_runtime_error(const dx_runtime_error& other) = default;
dx_runtime_error::~dx_runtime_error() { dxlasterror().clear(); }

}  // namespace dx

namespace {

constexpr size_t kTextSize = 1000;

[[noreturn]] void Stop(const char* text) {
  dxrelease();
  dxhidewindows();
  if (text) MessageBoxA(nullptr, text, dxgettitle(), MB_ICONHAND | MB_TASKMODAL | MB_SETFOREGROUND);
  // The abort handler must not run the stop a second time.
  std::signal(SIGABRT, SIG_DFL);
  host::get().exit_process(dx::kFatalExitCode, false);
  __builtin_unreachable();
}

}  // namespace

void dxerror(const char* format, ...) {
  char text[kTextSize];
  if (!format) {
    std::snprintf(text, sizeof(text), "%s", "Application Error.");
  } else {
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(text, sizeof(text), format, ap);
    va_end(ap);
  }
  if (dx::dxexceptionmode) throw dx::dx_runtime_error(text);
  Stop(text);
}

void dxassertfail(const char* expr, const char* file, int line) {
  dxerror("Assertion failed: \"%s\"\n\"%s\"  Line %d.", expr ? expr : "", file ? file : "", line);
}

void dxfatal(const char* format, ...) {
  if (!format) Stop(nullptr);
  char text[kTextSize];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof(text), format, ap);
  va_end(ap);
  Stop(text);
}
