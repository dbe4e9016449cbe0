// A description of pixels in memory, shared by the DirectDraw stand-in (which
// owns surfaces) and the GDI stand-in (which draws text and DIBs into them).
#pragma once

#include <cstdint>

namespace platform {

struct PixelFormat {
  int bpp = 32;  // 8 (palette indices), 16, 24 or 32
  uint32_t rmask = 0x00FF0000, gmask = 0x0000FF00, bmask = 0x000000FF;  // 0 at 8 bits
};

struct PixelBuffer {
  uint8_t* bits = nullptr;
  int width = 0, height = 0;
  int pitch = 0;  // bytes from one row to the next
  PixelFormat format;
  // 256 entries of 0x00RRGGBB at 8 bits (null elsewhere).
  const uint32_t* palette = nullptr;
};

}  // namespace platform
