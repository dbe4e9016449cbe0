// Device contexts, the live set of GDI objects, selection and colours.
#include <algorithm>
#include <bit>
#include <unordered_set>

#include "platform/gdi/dc.h"
#include "platform/win32/display.h"

namespace {

// Both sets live as long as the process: objects may outlive static destructors.
std::unordered_set<HGDIOBJ>& Objects() {
  static auto* set = new std::unordered_set<HGDIOBJ>;
  return *set;
}
std::unordered_set<HDC>& Contexts() {
  static auto* set = new std::unordered_set<HDC>;
  return *set;
}

HDC NewDC(HDC__::Kind kind) {
  HDC dc = new HDC__;
  dc->kind = kind;
  Contexts().insert(dc);
  return dc;
}

void FreeDC(HDC dc) {
  Contexts().erase(dc);
  delete dc;
}

uint32_t Nearest(const uint32_t* palette, uint32_t rgb) {
  int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  uint32_t best = 0;
  int best_d = 1 << 30;
  for (int i = 0; i < 256; ++i) {
    int dr = static_cast<int>((palette[i] >> 16) & 0xFF) - r;
    int dg = static_cast<int>((palette[i] >> 8) & 0xFF) - g;
    int db = static_cast<int>(palette[i] & 0xFF) - b;
    int d = dr * dr + dg * dg + db * db;
    if (d < best_d) best_d = d, best = static_cast<uint32_t>(i);
  }
  return best;
}

}  // namespace

namespace gdi {

bool ValidDC(HDC dc) { return dc && Contexts().count(dc) != 0; }

void RegisterObject(HGDIOBJ obj) { Objects().insert(obj); }
bool ValidObject(HGDIOBJ obj) { return obj && Objects().count(obj) != 0; }

RECT DrawArea(const HDC__& dc) {
  RECT r{0, 0, dc.buffer.bits ? dc.buffer.width : 0, dc.buffer.bits ? dc.buffer.height : 0};
  if (dc.clipped) {
    r.left = std::max(r.left, dc.clip.left);
    r.top = std::max(r.top, dc.clip.top);
    r.right = std::min(r.right, dc.clip.right);
    r.bottom = std::min(r.bottom, dc.clip.bottom);
  }
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

Stretch NormaliseStretch(int x_dest, int y_dest, int dest_width, int dest_height, int x_src, int y_src,
                         int src_width, int src_height) {
  // The low edge of a span and its length, for either sign of its extent.
  auto low = [](int64_t pos, int64_t ext) { return ext < 0 ? pos + ext + 1 : pos; };
  auto length = [](int64_t ext) { return ext < 0 ? -ext : ext; };
  Stretch k;
  k.flip_x = (dest_width < 0) != (src_width < 0);
  k.flip_y = (dest_height < 0) != (src_height < 0);
  k.dl = low(x_dest, dest_width), k.dt = low(y_dest, dest_height);
  k.dw = length(dest_width), k.dh = length(dest_height);
  k.sl = low(x_src, src_width), k.st = low(y_src, src_height);
  k.sw = length(src_width), k.sh = length(src_height);
  return k;
}

Channel ChannelOf(uint32_t mask) {
  Channel c;
  c.mask = mask;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  c.max = mask >> c.shift;
  return c;
}

uint32_t RgbToPixel(const platform::PixelBuffer& b, uint32_t rgb) {
  uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, bl = rgb & 0xFF;
  if (b.format.bpp == 8) {
    if (b.palette) return Nearest(b.palette, rgb);
    return ((r * 7 + 127) / 255) << 5 | ((g * 7 + 127) / 255) << 2 | ((bl * 3 + 127) / 255);
  }
  uint32_t out = 0;
  const uint32_t values[3] = {r, g, bl};
  const uint32_t masks[3] = {b.format.rmask, b.format.gmask, b.format.bmask};
  for (int i = 0; i < 3; ++i) {
    Channel c = ChannelOf(masks[i]);
    if (!c.mask) continue;
    out |= ((values[i] * c.max + 127) / 255) << c.shift;
  }
  return out;
}

uint32_t PixelToRgb(const platform::PixelBuffer& b, uint32_t pixel) {
  if (b.format.bpp == 8) {
    pixel &= 0xFF;
    if (b.palette) return b.palette[pixel] & 0xFFFFFF;
    return platform::Rgb332(pixel);
  }
  return platform::PixelColour(pixel, b.format);
}

uint32_t ColorToPixel(const platform::PixelBuffer& b, COLORREF c) {
  if ((c >> 24) == 1 && b.format.bpp == 8) return c & 0xFF;
  uint32_t rgb = static_cast<uint32_t>(GetRValue(c)) << 16 | static_cast<uint32_t>(GetGValue(c)) << 8 |
                 GetBValue(c);
  return RgbToPixel(b, rgb);
}

HDC CreateBufferDC(const platform::PixelBuffer& buffer) {
  HDC dc = NewDC(HDC__::Kind::Buffer);
  dc->buffer = buffer;
  return dc;
}

void DeleteBufferDC(HDC dc) {
  if (ValidDC(dc) && dc->kind == HDC__::Kind::Buffer) FreeDC(dc);
}

const platform::PixelBuffer* DCBuffer(HDC dc) {
  if (!ValidDC(dc) || !dc->buffer.bits) return nullptr;
  return &dc->buffer;
}

}  // namespace gdi

BOOL DeleteObject(HGDIOBJ obj) {
  if (!gdi::ValidObject(obj)) return FALSE;
  if (obj->stock) return TRUE;
  // A context must not keep drawing with an object that is gone.
  for (HDC dc : Contexts()) {
    if (dc->font == obj) dc->font = nullptr;
    if (dc->bitmap == obj) dc->bitmap = nullptr, dc->buffer = {};
    if (dc->palette == obj) {
      dc->palette = nullptr;
      if (dc->buffer.format.bpp == 8) dc->buffer.palette = dc->own_palette;
    }
  }
  Objects().erase(obj);
  delete obj;
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
  if (!gdi::ValidDC(dc) || !gdi::ValidObject(obj)) return nullptr;
  if (auto* font = dynamic_cast<HFONT>(obj)) {
    HGDIOBJ old = gdi::CurrentFont(*dc);
    dc->font = font;
    return old;
  }
  if (auto* palette = dynamic_cast<HPALETTE>(obj)) return SelectPalette(dc, palette, FALSE);
  if (auto* pen = dynamic_cast<HPEN>(obj)) {
    HGDIOBJ old = dc->pen ? dc->pen : GetStockObject(BLACK_PEN);
    dc->pen = pen;
    return old;
  }
  if (auto* brush = dynamic_cast<HBRUSH>(obj)) {
    HGDIOBJ old = dc->brush ? dc->brush : GetStockObject(WHITE_BRUSH);
    dc->brush = brush;
    return old;
  }
  if (auto* bitmap = dynamic_cast<HBITMAP>(obj)) {
    if (dc->kind != HDC__::Kind::Memory) return nullptr;
    const platform::PixelBuffer* pixels = gdi::SectionBuffer(bitmap);
    if (!pixels) return nullptr;
    HGDIOBJ old = dc->bitmap;
    dc->bitmap = bitmap;
    dc->buffer = *pixels;
    if (dc->palette && dc->buffer.format.bpp == 8) {
      dc->own_palette = dc->buffer.palette;
      dc->buffer.palette = gdi::PaletteColors(dc->palette);
    }
    return old;
  }
  return nullptr;
}

HDC GetDC(HWND) { return NewDC(HDC__::Kind::Window); }

int ReleaseDC(HWND, HDC dc) {
  if (!gdi::ValidDC(dc) || dc->kind != HDC__::Kind::Window) return 0;
  FreeDC(dc);
  return 1;
}

HDC CreateCompatibleDC(HDC) { return NewDC(HDC__::Kind::Memory); }

BOOL DeleteDC(HDC dc) {
  if (!gdi::ValidDC(dc) || dc->kind != HDC__::Kind::Memory) return FALSE;
  FreeDC(dc);
  return TRUE;
}

int GetDeviceCaps(HDC dc, int index) {
  if (!gdi::ValidDC(dc)) return 0;
  const platform::PixelBuffer& b = dc->buffer;
  // A context without pixels stands for the 640 x 480 game screen of a 15-inch display.
  switch (index) {
    case HORZRES: return b.bits ? b.width : 640;
    case VERTRES: return b.bits ? b.height : 480;
    case HORZSIZE: return 320;
    case VERTSIZE: return 240;
    case BITSPIXEL: return b.bits ? b.format.bpp : win32::CurrentMode().bpp;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    default: return 0;
  }
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  if (!gdi::ValidDC(dc)) return CLR_INVALID;
  COLORREF old = dc->text;
  dc->text = color;
  return old;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  if (!gdi::ValidDC(dc)) return CLR_INVALID;
  COLORREF old = dc->bk;
  dc->bk = color;
  return old;
}

int SetBkMode(HDC dc, int mode) {
  if (!gdi::ValidDC(dc) || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->bkmode;
  dc->bkmode = mode;
  return old;
}

int SelectClipRgn(HDC dc, HRGN region) {
  if (!gdi::ValidDC(dc)) return ERROR;
  // Only "no region" is ever selected: it removes the clip rectangle.
  if (region) return ERROR;
  dc->clipped = false;
  return SIMPLEREGION;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  if (!gdi::ValidDC(dc)) return ERROR;
  if (!dc->clipped) {
    dc->clipped = true;
    dc->clip = {left, top, right, bottom};
  } else {
    dc->clip.left = std::max<LONG>(dc->clip.left, left);
    dc->clip.top = std::max<LONG>(dc->clip.top, top);
    dc->clip.right = std::min<LONG>(dc->clip.right, right);
    dc->clip.bottom = std::min<LONG>(dc->clip.bottom, bottom);
  }
  RECT a = gdi::DrawArea(*dc);
  return (a.left < a.right && a.top < a.bottom) ? SIMPLEREGION : NULLREGION;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
  if (!gdi::ValidDC(dc) || !rect) return FALSE;
  const platform::PixelBuffer& b = dc->buffer;
  if (!b.bits) return TRUE;
  RECT a = gdi::DrawArea(*dc);
  int l = std::max(a.left, rect->left), t = std::max(a.top, rect->top);
  int r = std::min(a.right, rect->right), bt = std::min(a.bottom, rect->bottom);
  uint32_t all = b.format.bpp == 8 ? 0xFF : (b.format.rmask | b.format.gmask | b.format.bmask);
  for (int y = t; y < bt; ++y)
    for (int x = l; x < r; ++x) gdi::WritePixel(b, x, y, gdi::ReadPixel(b, x, y) ^ all);
  return TRUE;
}

BOOL StretchBlt(HDC dest, int x_dest, int y_dest, int dest_width, int dest_height, HDC src, int x_src,
                int y_src, int src_width, int src_height, DWORD rop) {
  if (!gdi::ValidDC(dest) || !gdi::ValidDC(src) || rop != SRCCOPY) return FALSE;
  const platform::PixelBuffer& d = dest->buffer;
  const platform::PixelBuffer& s = src->buffer;
  if (!d.bits || !s.bits || dest_width == 0 || dest_height == 0) return TRUE;
  const gdi::Stretch k =
      gdi::NormaliseStretch(x_dest, y_dest, dest_width, dest_height, x_src, y_src, src_width, src_height);
  bool same = d.format.bpp == s.format.bpp && d.format.rmask == s.format.rmask &&
              d.format.gmask == s.format.gmask && d.format.bmask == s.format.bmask &&
              (d.format.bpp != 8 || d.palette == s.palette);
  gdi::WalkStretch(k, gdi::DrawArea(*dest), s.width, s.height, [&](int x, int y, int sx, int sy) {
    uint32_t v = gdi::ReadPixel(s, sx, sy);
    if (!same) v = gdi::RgbToPixel(d, gdi::PixelToRgb(s, v));
    gdi::WritePixel(d, x, y, v);
  });
  return TRUE;
}
