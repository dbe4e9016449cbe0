// A description of pixels in memory, shared by the DirectDraw stand-in (which
// owns surfaces) and the GDI stand-in (which draws text and DIBs into them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Set on a function whose loops run over whole frames of pixels, such as the
// presentation of the screen, in builds traced for a coverage-guided fuzzer
// (clang's -fsanitize=fuzzer-no-link): there every comparison is reported to
// the fuzzer, which learns nothing from a frame's pixels but pays for each of
// them. Such a function is kept out of line, as a caller it was inlined into
// would trace its loops again. Nothing in other builds. Only for loops over
// pixels the program made itself, never for a reader of outside data.
#if defined(__has_feature)
#if __has_feature(coverage_sanitizer)
#define PIXELS_UNTRACED __attribute__((no_sanitize("coverage"), noinline))
#endif
#endif
#ifndef PIXELS_UNTRACED
#define PIXELS_UNTRACED
#endif

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

// The channel under `mask` scaled to 0-255 (0 without a mask).
inline uint32_t ChannelTo8(uint32_t pixel, uint32_t mask) {
  if (!mask) return 0;
  const int shift = __builtin_ctz(mask);
  return ((pixel & mask) >> shift) * 255 / (mask >> shift);
}

// The 0x00RRGGBB colour of a pixel of 16 bits or more in the format.
inline uint32_t PixelColour(uint32_t pixel, const PixelFormat& f) {
  return ChannelTo8(pixel, f.rmask) << 16 | ChannelTo8(pixel, f.gmask) << 8 | ChannelTo8(pixel, f.bmask);
}

// The colours of all 65,536 pixels of a 16-bit format, indexed by the pixel:
// made the first time the format is asked for, on any thread, and kept for
// the process (a present may come from an exit handler).
const uint32_t* Colours16(const PixelFormat& f);

// Every pixel of a rows × width area whose first pixel is at `first` set to
// v: the first row, then copies of it.
template <int B>
void FillArea(uint8_t* first, int pitch, int width, int rows, uint32_t v);

// The 0x00RRGGBB colour of an 8-bit value read as 3-3-2, what 8 bits show
// without a palette.
inline uint32_t Rgb332(uint32_t i) {
  return (((i >> 5) & 7) * 255 / 7) << 16 | (((i >> 2) & 7) * 255 / 7) << 8 | (i & 3) * 255 / 3;
}

// Whole pixels of B = 1 to 4 bytes, little-endian, at any alignment; a store
// writes only the pixel's own bytes.
template <int B>
inline uint32_t LoadPixel(const uint8_t* p) {
  static_assert(B >= 1 && B <= 4);
  if constexpr (B == 1) return p[0];
  if constexpr (B == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  if constexpr (B == 3) return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
  if constexpr (B == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

template <int B>
inline void StorePixel(uint8_t* p, uint32_t v) {
  static_assert(B >= 1 && B <= 4);
  if constexpr (B == 1) p[0] = static_cast<uint8_t>(v);
  if constexpr (B == 2) {
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
  }
  if constexpr (B == 3) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
  }
  if constexpr (B == 4) std::memcpy(p, &v, 4);
}

// The same with the size known only at run time (anything past 3 is 4 bytes).
inline uint32_t LoadPixel(const uint8_t* p, int bytes) {
  switch (bytes) {
    case 1: return LoadPixel<1>(p);
    case 2: return LoadPixel<2>(p);
    case 3: return LoadPixel<3>(p);
    default: return LoadPixel<4>(p);
  }
}

inline void StorePixel(uint8_t* p, int bytes, uint32_t v) {
  switch (bytes) {
    case 1: StorePixel<1>(p, v); break;
    case 2: StorePixel<2>(p, v); break;
    case 3: StorePixel<3>(p, v); break;
    default: StorePixel<4>(p, v); break;
  }
}

template <int B>
void FillArea(uint8_t* first, int pitch, int width, int rows, uint32_t v) {
  if (width <= 0 || rows <= 0) return;
  const size_t row_bytes = static_cast<size_t>(width) * B;
  for (uint8_t *p = first, *end = first + row_bytes; p != end; p += B) StorePixel<B>(p, v);
  for (int y = 1; y < rows; ++y) std::memcpy(first + static_cast<ptrdiff_t>(y) * pitch, first, row_bytes);
}

}  // namespace platform
