#include "dx/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "dx/color.h"
#include "dx/error.h"
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

void dxprintfw(int x, int y, uint32_t pixel, const char16_t* format, ...) {
  if (!format) return;
  va_list args;
  va_start(args, format);
  std::u16string text = dx::formatw(format, args);
  va_end(args);
  if (text.size() > 4095) text.resize(4095);
  // A surrogate pair cut in half at the end is dropped.
  if (!text.empty() && text.back() >= 0xD800 && text.back() < 0xDC00) text.pop_back();
  dxtextoutw(x, y, text.c_str(), pixel);
}

dx::bitmap* dxtextbitmap(const char* text, uint32_t pixel) { return TextBitmap(text ? text : "", nullptr, pixel); }
dx::bitmap* dxtextbitmapw(const char16_t* text, uint32_t pixel) {
  return TextBitmap(nullptr, text ? text : u"", pixel);
}
