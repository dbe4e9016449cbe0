// Unrecoverable errors of the layer: one stop box over nothing, then the end.
#pragma once

#include <cstdarg>
#include <stdexcept>
#include <string>

namespace dx {

// Thrown by dxerror in exception mode; its text is also the last error text
// until it is destroyed.
class dx_runtime_error : public std::runtime_error {
 public:
  explicit dx_runtime_error(const std::string& text);
  dx_runtime_error(const dx_runtime_error& other);
  ~dx_runtime_error() override;
};

// Thrown by dxexit in exception mode.
class dx_terminate_exception {};

// The exception switch (off: errors stop the program with a box).
extern bool dxexceptionmode;
// The text of the live dx_runtime_error (empty when none).
std::string& dxlasterror();

// The exit code of a fatal stop.
constexpr int kFatalExitCode = 3;

}  // namespace dx

// Formats the text (null: "Application Error.") and stops the program with it.
[[noreturn]] void dxerror(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same with a wide format (UTF-16; %s takes a wide text, %S a narrow one).
[[noreturn]] void dxerrorw(const char16_t* format, ...);
[[noreturn]] void dxassertfail(const char* expr, const char* file, int line);
// Releases everything, hides the windows, shows the text (when given) in a stop
// box titled with the window title, and ends the process at once with
// dx::kFatalExitCode.
[[noreturn]] void dxfatal(const char* format, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void dxfatalw(const char16_t* format, ...);

namespace dx {
// A wide printf format applied to its arguments, for the wide error entries.
std::u16string formatw(const char16_t* format, va_list ap);
}  // namespace dx

#define DXASSERT(e) ((e) ? static_cast<void>(0) : dxassertfail(#e, __FILE__, __LINE__))
