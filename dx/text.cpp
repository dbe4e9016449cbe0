#include "dx/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "dx/color.h"
#include "dx/shell.h"
#include "dx/target.h"
#include "platform/gdi/gdi.h"
#include "platform/win32/text.h"

namespace {
HFONT g_font = nullptr;
int g_font_height = 16;

// The extent of a string on the main window's context in the current font.
SIZE Measure(const char* narrow, const char16_t* wide) {
  SIZE size{0, 0};
  HWND window = dxgetwindow();
  HDC dc = GetDC(window);
  if (!dc) return size;
  HGDIOBJ old = g_font ? SelectObject(dc, g_font) : nullptr;
  if (narrow)
    GetTextExtentPoint32A(dc, narrow, static_cast<int>(std::strlen(narrow)), &size);
  else
    GetTextExtentPoint32W(dc, wide, static_cast<int>(win32::WideLength(wide)), &size);
  if (old) SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size;
}
}  // namespace

void dxsetfont(const char* face, int height, int width, BYTE bold, BYTE italic, BYTE antialias) {
  HFONT font = CreateFontA(height, width, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, 0, 0, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           antialias ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           face);
  if (!font) return;
  if (g_font) DeleteObject(g_font);
  g_font = font;
  HWND window = dxgetwindow();
  HDC dc = GetDC(window);
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, g_font);
  TEXTMETRICA tm;
  if (GetTextMetricsA(dc, &tm)) g_font_height = tm.tmHeight;
  SelectObject(dc, old);
  ReleaseDC(window, dc);
}

void dxreleasefont() {
  if (g_font) DeleteObject(g_font);
  g_font = nullptr;
}

int dxfontheight(int) { return g_font_height; }
int dxtextheight() { return g_font_height; }

int dxtextwidth(const char* text) { return text ? Measure(text, nullptr).cx : 0; }
int dxtextwidthw(const char16_t* text) { return text ? Measure(nullptr, text).cx : 0; }

namespace {

void Draw(int x, int y, const char* narrow, const char16_t* wide, uint32_t pixel) {
  HDC dc = dxgetdc();
  if (!dc) return;
  SetTextColor(dc, dxcolorref(pixel));
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = g_font ? SelectObject(dc, g_font) : nullptr;
  if (narrow)
    TextOutA(dc, x, y, narrow, static_cast<int>(std::strlen(narrow)));
  else
    TextOutW(dc, x, y, wide, static_cast<int>(win32::WideLength(wide)));
  if (old) SelectObject(dc, old);
  dxreleasedc(dc);
}

dx::bitmap* TextBitmap(const char* narrow, const char16_t* wide, uint32_t pixel) {
  SIZE size = Measure(narrow, wide);
  dx::bitmap* b = dxnewbitmap(size.cx, size.cy);
  HDC dc = dxgetbitmapdc(b, true);
  if (!dc) return b;
  HGDIOBJ old = g_font ? SelectObject(dc, g_font) : nullptr;
  SetTextColor(dc, dxcolorref(pixel));
  SetBkColor(dc, RGB(0, 0, 0));
  if (narrow)
    TextOutA(dc, 0, 0, narrow, static_cast<int>(std::strlen(narrow)));
  else
    TextOutW(dc, 0, 0, wide, static_cast<int>(win32::WideLength(wide)));
  if (old) SelectObject(dc, old);
  dxreleasebitmapdc(b, dc);
  return b;
}

}  // namespace

void dxtextout(int x, int y, const char* text, uint32_t pixel) {
  if (text) Draw(x, y, text, nullptr, pixel);
}

void dxtextoutw(int x, int y, const char16_t* text, uint32_t pixel) {
  if (text) Draw(x, y, nullptr, text, pixel);
}

void dxprintf(int x, int y, uint32_t pixel, const char* format, ...) {
  if (!format) return;
  char buffer[4096];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return;
  // Text cut at the buffer's end must not end in half a character.
  size_t len = std::strlen(buffer), keep = 0;
  while (keep < len) {
    size_t step = win32::IsLeadByte(static_cast<uint8_t>(buffer[keep])) ? 2 : 1;
    if (keep + step > len) break;
    keep += step;
  }
  buffer[keep] = '\0';
  dxtextout(x, y, buffer, pixel);
}

namespace {

// Wide printf into at most `limit` characters.
std::u16string FormatWide(const char16_t* f, va_list args, size_t limit) {
  std::u16string out;
  auto widen = [&out](const char* s) {
    for (; *s; ++s) out.push_back(static_cast<unsigned char>(*s));
  };
  while (*f && out.size() < limit) {
    if (*f != u'%') {
      out.push_back(*f++);
      continue;
    }
    const char16_t* start = f++;
    if (*f == u'%') {
      out.push_back(*f++);
      continue;
    }
    std::string spec = "%";
    bool left = false;
    while (*f == u'-' || *f == u'+' || *f == u' ' || *f == u'#' || *f == u'0') {
      left |= *f == u'-';
      spec.push_back(static_cast<char>(*f++));
    }
    int width = -1, precision = -1;
    if (*f == u'*') {
      width = va_arg(args, int);
      if (width < 0) left = true, width = -width;
      spec += std::to_string(width);
      ++f;
    } else {
      while (*f >= u'0' && *f <= u'9') {
        width = (width < 0 ? 0 : width) * 10 + (*f - u'0');
        if (width > 4096) width = 4096;
        spec.push_back(static_cast<char>(*f++));
      }
    }
    if (*f == u'.') {
      spec.push_back('.');
      ++f;
      precision = 0;
      if (*f == u'*') {
        precision = va_arg(args, int);
        spec += std::to_string(precision < 0 ? 0 : precision);
        ++f;
      } else {
        while (*f >= u'0' && *f <= u'9') {
          precision = precision * 10 + (*f - u'0');
          if (precision > 4096) precision = 4096;
          spec.push_back(static_cast<char>(*f++));
        }
      }
    }
    enum { kNone, kShort, kLong, kLongLong, kLongDouble } length = kNone;
    if (*f == u'h') {
      length = kShort, ++f;
      if (*f == u'h') ++f;
    } else if (*f == u'l') {
      length = kLong, ++f;
      if (*f == u'l') length = kLongLong, ++f;
    } else if (*f == u'w') {
      length = kLong, ++f;
    } else if (*f == u'L') {
      length = kLongDouble, ++f;
    } else if (f[0] == u'I' && f[1] == u'6' && f[2] == u'4') {
      length = kLongLong, f += 3;
    }
    char16_t conv = *f;
    if (!conv) {
      out.append(start, f);
      break;
    }
    ++f;
    std::u16string text;
    char buf[512];
    switch (conv) {
      case u's': case u'S': case u'c': case u'C': {
        bool narrow = (conv == u'S' || conv == u'C') ? length != kLong : length == kShort;
        if (conv == u's' || conv == u'S') {
          if (narrow) {
            const char* s = va_arg(args, const char*);
            text = win32::Cp932ToUtf16(s ? s : "(null)");
          } else {
            const char16_t* s = va_arg(args, const char16_t*);
            text = s ? std::u16string(s) : u"(null)";
          }
          if (precision >= 0 && text.size() > static_cast<size_t>(precision)) text.resize(static_cast<size_t>(precision));
        } else {
          int c = va_arg(args, int);
          if (narrow) {
            char one[2] = {static_cast<char>(c), 0};
            text = win32::Cp932ToUtf16(one);
          } else {
            text.push_back(static_cast<char16_t>(c));
          }
        }
        if (width > 0 && text.size() < static_cast<size_t>(width)) {
          std::u16string pad(static_cast<size_t>(width) - text.size(), u' ');
          text = left ? text + pad : pad + text;
        }
        out += text;
        continue;
      }
      case u'd': case u'i': case u'u': case u'x': case u'X': case u'o': {
        bool is_signed = conv == u'd' || conv == u'i';
        if (length == kLongLong) {
          spec += "ll";
          spec.push_back(static_cast<char>(conv));
          if (is_signed) std::snprintf(buf, sizeof buf, spec.c_str(), va_arg(args, long long));
          else std::snprintf(buf, sizeof buf, spec.c_str(), va_arg(args, unsigned long long));
        } else {
          // long is 32 bits on the original platform: %ld takes an int here too.
          if (length == kShort) spec += "h";
          spec.push_back(static_cast<char>(conv));
          if (is_signed) std::snprintf(buf, sizeof buf, spec.c_str(), va_arg(args, int));
          else std::snprintf(buf, sizeof buf, spec.c_str(), va_arg(args, unsigned));
        }
        break;
      }
      case u'f': case u'F': case u'e': case u'E': case u'g': case u'G': case u'a': case u'A':
        spec.push_back(static_cast<char>(conv));
        std::snprintf(buf, sizeof buf, spec.c_str(), length == kLongDouble ? static_cast<double>(va_arg(args, long double))
                                                                           : va_arg(args, double));
        break;
      case u'p':
        spec.push_back('p');
        std::snprintf(buf, sizeof buf, spec.c_str(), va_arg(args, void*));
        break;
      default:
        // An unknown conversion is shown as written.
        out.append(start, f);
        continue;
    }
    widen(buf);
  }
  if (out.size() > limit) out.resize(limit);
  return out;
}

}  // namespace

void dxprintfw(int x, int y, uint32_t pixel, const char16_t* format, ...) {
  if (!format) return;
  va_list args;
  va_start(args, format);
  std::u16string text = FormatWide(format, args, 4095);
  va_end(args);
  // A surrogate pair cut in half at the end is dropped.
  if (!text.empty() && text.back() >= 0xD800 && text.back() < 0xDC00) text.pop_back();
  dxtextoutw(x, y, text.c_str(), pixel);
}

dx::bitmap* dxtextbitmap(const char* text, uint32_t pixel) { return TextBitmap(text ? text : "", nullptr, pixel); }
dx::bitmap* dxtextbitmapw(const char16_t* text, uint32_t pixel) {
  return TextBitmap(nullptr, text ? text : u"", pixel);
}
