// Inside the GDI stand-in: the device context record and pixel access shared by
// its text, DIB and drawing code.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/gdi/gdi.h"
#include "platform/pixels.h"

struct HDC__ {
  enum class Kind { Window, Memory, Buffer };
  Kind kind = Kind::Window;
  platform::PixelBuffer buffer;  // bits null: nothing to draw into
  bool clipped = false;          // clip holds a rectangle besides the buffer's bounds
  RECT clip{0, 0, 0, 0};
  HFONT font = nullptr;          // null: the stock font
  COLORREF text = 0;
  COLORREF bk = 0xFFFFFF;
  int bkmode = OPAQUE;
  HBITMAP bitmap = nullptr;      // the DIB section of a memory context
  HPALETTE palette = nullptr;    // selected palette (null: the buffer's own)
  HPEN pen = nullptr;            // null: the stock black pen
  HBRUSH brush = nullptr;        // null: the stock white brush
  const uint32_t* own_palette = nullptr;  // the buffer's palette before one was selected
};

namespace gdi {

// True when dc is a live context.
bool ValidDC(HDC dc);
// Objects made by the stand-in enter the live set, so that DeleteObject and
// SelectObject can refuse handles that are not (or no longer) objects.
void RegisterObject(HGDIOBJ obj);
bool ValidObject(HGDIOBJ obj);

// The area drawing may touch: the buffer's bounds cut by the clip rectangle.
RECT DrawArea(const HDC__& dc);
// A stretched copy's rectangles with positive extents, in 64 bits: an edge
// plus a side can pass either end of int, and a side of INT_MIN is 2^31. A
// negative extent on one side mirrors that axis, folded into the source walk.
struct Stretch {
  int64_t dl, dt, dw, dh;  // destination
  int64_t sl, st, sw, sh;  // source
  bool flip_x, flip_y;
};
Stretch NormaliseStretch(int x_dest, int y_dest, int dest_width, int dest_height, int x_src, int y_src,
                         int src_width, int src_height);
// Visits every destination pixel inside `area` whose source pixel lies within
// the source's width x height: fn(x, y, sx, sy). Only the destination's rows
// and columns inside `area` are walked, so a box of any size costs what its
// visible part does.
template <typename Fn>
void WalkStretch(const Stretch& k, const RECT& area, int width, int height, Fn fn) {
  const int64_t i0 = std::max<int64_t>(0, area.left - k.dl), i1 = std::min<int64_t>(k.dw, area.right - k.dl);
  const int64_t j0 = std::max<int64_t>(0, area.top - k.dt), j1 = std::min<int64_t>(k.dh, area.bottom - k.dt);
  for (int64_t j = j0; j < j1; ++j) {
    const int64_t sj = j * k.sh / k.dh;
    const int64_t sy = k.st + (k.flip_y ? k.sh - 1 - sj : sj);
    if (sy < 0 || sy >= height) continue;
    for (int64_t i = i0; i < i1; ++i) {
      const int64_t si = i * k.sw / k.dw;
      const int64_t sx = k.sl + (k.flip_x ? k.sw - 1 - si : si);
      if (sx < 0 || sx >= width) continue;
      fn(static_cast<int>(k.dl + i), static_cast<int>(k.dt + j), static_cast<int>(sx), static_cast<int>(sy));
    }
  }
}

// The font drawing uses: the selected one or the stock font.
HFONT CurrentFont(HDC__& dc);

// A stock pen's or brush's colour; false for the null ones.
bool StockColor(HGDIOBJ obj, COLORREF* color);

// 0x00RRGGBB colours of a palette object (256 entries, unused ones black).
const uint32_t* PaletteColors(HPALETTE palette);

// Channel helpers for buffers of 16, 24 and 32 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
};
Channel ChannelOf(uint32_t mask);

// 0x00RRGGBB to a pixel value of the format and back; at 8 bits through the
// palette (the nearest entry) or, without one, the 3-3-2 layout.
uint32_t RgbToPixel(const platform::PixelBuffer& b, uint32_t rgb);
uint32_t PixelToRgb(const platform::PixelBuffer& b, uint32_t pixel);
// A COLORREF (RGB or PALETTEINDEX) to a pixel value of the buffer.
uint32_t ColorToPixel(const platform::PixelBuffer& b, COLORREF c);

inline uint8_t* PixelAt(const platform::PixelBuffer& b, int x, int y) {
  return b.bits + static_cast<ptrdiff_t>(y) * b.pitch + static_cast<ptrdiff_t>(x) * (b.format.bpp / 8);
}
inline uint32_t ReadPixel(const platform::PixelBuffer& b, int x, int y) {
  return platform::LoadPixel(PixelAt(b, x, y), b.format.bpp / 8);
}
inline void WritePixel(const platform::PixelBuffer& b, int x, int y, uint32_t v) {
  platform::StorePixel(PixelAt(b, x, y), b.format.bpp / 8, v);
}

}  // namespace gdi
