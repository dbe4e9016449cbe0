#include "dx/error.h"

#include <csignal>
#include <cstdarg>
#include <cstdio>

#include "dx/shell.h"
#include "platform/host/host.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/text.h"

namespace dx {

bool dxexceptionmode = false;

// Never destroyed: the terminate handler reads it at any time.
std::string& dxlasterror() {
  static auto* text = new std::string;
  return *text;
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
  if (dxownsfatalends()) std::signal(SIGABRT, SIG_DFL);
  host::get().exit_process(dx::kFatalExitCode, false);
  __builtin_unreachable();
}

[[noreturn]] void StopWide(const std::u16string* text) {
  dxrelease();
  dxhidewindows();
  if (text) MessageBoxW(nullptr, text->c_str(), dxgettitlew(), MB_ICONHAND | MB_TASKMODAL | MB_SETFOREGROUND);
  if (dxownsfatalends()) std::signal(SIGABRT, SIG_DFL);
  host::get().exit_process(dx::kFatalExitCode, false);
  __builtin_unreachable();
}

}  // namespace

std::u16string dx::formatw(const char16_t* f, va_list ap) {
  std::u16string out;
  while (*f) {
    if (*f != u'%') {
      out += *f++;
      continue;
    }
    // One conversion: its flags, width, precision and size go to snprintf.
    std::string conversion = "%";
    ++f;
    while (*f && std::char_traits<char16_t>::find(u"-+ #0", 5, *f)) conversion += static_cast<char>(*f++);
    auto number = [&]() {
      if (*f == u'*') {
        conversion += std::to_string(va_arg(ap, int));
        ++f;
      }
      while (*f >= u'0' && *f <= u'9') conversion += static_cast<char>(*f++);
    };
    number();
    if (*f == u'.') {
      conversion += '.';
      ++f;
      number();
    }
    int longs = 0;
    bool shorts = false;
    while (*f == u'l' || *f == u'h' || *f == u'I' || *f == u'6' || *f == u'4' || *f == u'L') {
      if (*f == u'l') ++longs;
      if (*f == u'h') shorts = true;
      if (*f == u'I' && f[1] == u'6' && f[2] == u'4') longs = 2, f += 2;
      ++f;
    }
    const char16_t conv = *f ? *f++ : u'%';
    char buf[512];
    switch (conv) {
      case u'%': out += u'%'; continue;
      case u's':
      case u'S': {
        std::string text;
        if (conv == u's' && !shorts) {
          const char16_t* w = va_arg(ap, const char16_t*);
          text = w ? win32::Utf16ToCp932(w) : "(null)";
        } else {
          const char* n = va_arg(ap, const char*);
          text = n ? n : "(null)";
        }
        conversion += 's';
        std::string padded(static_cast<size_t>(std::snprintf(nullptr, 0, conversion.c_str(), text.c_str())), '\0');
        std::snprintf(padded.data(), padded.size() + 1, conversion.c_str(), text.c_str());
        out += win32::Cp932ToUtf16(padded);
        continue;
      }
      case u'c':
      case u'C': out += static_cast<char16_t>(va_arg(ap, int)); continue;
      case u'd':
      case u'i':
      case u'u':
      case u'x':
      case u'X':
      case u'o':
        conversion += longs >= 2 ? "ll" : "";
        conversion += static_cast<char>(conv);
        if (longs >= 2) {
          std::snprintf(buf, sizeof(buf), conversion.c_str(), va_arg(ap, long long));
        } else {
          std::snprintf(buf, sizeof(buf), conversion.c_str(), va_arg(ap, int));
        }
        break;
      case u'e':
      case u'E':
      case u'f':
      case u'g':
      case u'G':
      case u'a':
        conversion += static_cast<char>(conv);
        std::snprintf(buf, sizeof(buf), conversion.c_str(), va_arg(ap, double));
        break;
      case u'p':
        conversion += 'p';
        std::snprintf(buf, sizeof(buf), conversion.c_str(), va_arg(ap, void*));
        break;
      default:  // no conversion (and never %n): shown as written
        out += u'%';
        out += conv;
        continue;
    }
    for (const char* p = buf; *p; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
  }
  return out;
}

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

void dxerrorw(const char16_t* format, ...) {
  std::u16string text = u"Application Error.";
  if (format) {
    va_list ap;
    va_start(ap, format);
    text = dx::formatw(format, ap);
    va_end(ap);
  }
  // As narrow text of at most 999 bytes, never cutting a character.
  std::string narrow = win32::Utf16ToCp932(text);
  size_t n = 0;
  while (n < narrow.size()) {
    size_t step = win32::IsLeadByte(static_cast<uint8_t>(narrow[n])) ? 2 : 1;
    if (n + step > kTextSize - 1) break;
    n += step;
  }
  narrow.resize(n);
  if (dx::dxexceptionmode) throw dx::dx_runtime_error(narrow);
  Stop(narrow.c_str());
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

void dxfatalw(const char16_t* format, ...) {
  if (!format) StopWide(nullptr);
  va_list ap;
  va_start(ap, format);
  std::u16string text = dx::formatw(format, ap);
  va_end(ap);
  if (text.size() >= kTextSize) text.resize(kTextSize - 1);
  StopWide(&text);
}
