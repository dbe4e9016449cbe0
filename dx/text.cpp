#include "dx/text.h"

#include <cstring>

#include "dx/shell.h"
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
