// Device-independent bitmaps: our own decoder of the layouts the layer meets
// (1, 4, 8, 16, 24 and 32 bits; bottom-up and top-down; BI_RGB and BI_BITFIELDS;
// the 12-byte core header and the 40-byte and longer info headers).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/gdi/gdi.h"

namespace gdi {

// Pictures larger than this on either side are refused, as are pictures of more
// than kMaxDibPixels pixels, so that sizes and allocations stay bounded.
constexpr int kMaxDibSide = 16384;
constexpr int64_t kMaxDibPixels = int64_t{1} << 26;

struct Dib {
  int width = 0, height = 0;  // height is positive; top_down says how rows are stored
  bool top_down = false;
  int bpp = 0;
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue at 16 and 32 bits
  const uint8_t* colors = nullptr;  // colour table entries (B, G, R[, 0])
  int color_count = 0;
  int color_size = 4;  // 3 after a core header
  size_t header_size = 0;  // header, masks and colour table: where packed bits begin
  size_t stride = 0;       // bytes per stored row (a multiple of 4)
  const uint8_t* bits = nullptr;

  // 0x00RRGGBB of the pixel at column x of row y counted from the picture's top.
  uint32_t Pixel(int x, int y) const;
  const uint8_t* Row(int y) const {
    return bits + stride * static_cast<size_t>(top_down ? y : height - 1 - y);
  }
};

// Reads and checks a header (with its masks and colour table) from `size` bytes.
// A packed DIB carries a full colour table of 2^bits entries for up to 8 bits;
// otherwise the table holds biClrUsed entries (2^bits when 0).
bool ParseDibHeader(const void* header, size_t size, bool full_color_table, Dib& out);
// Attaches the pixel bits, `size` bytes of which may be read; false when the
// rows need more.
bool AttachDibBits(Dib& dib, const void* bits, size_t size);

}  // namespace gdi
