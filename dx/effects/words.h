// Word arithmetic shared by the fast workers: loads and stores that touch only
// the bytes of the row, the zero-byte mask, the lane-wise blends, and the row
// walkers that feed them four 8-bit, two 16-bit or one 24/32-bit pixel a word.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "dx/effects/format.h"
#include "dx/effects/workers.h"
#include "platform/pixels.h"

namespace dx::effects {

static_assert(std::endian::native == std::endian::little,
              "the byte of lowest address is the first pixel of a word");

inline uint32_t load32(const uint8_t* p) { return platform::LoadPixel<4>(p); }
inline void store32(uint8_t* p, uint32_t v) { platform::StorePixel<4>(p, v); }
inline uint32_t load16(const uint8_t* p) { return platform::LoadPixel<2>(p); }
inline void store16(uint8_t* p, uint32_t v) { platform::StorePixel<2>(p, v); }
inline uint32_t load24(const uint8_t* p) { return platform::LoadPixel<3>(p); }
inline void store24(uint8_t* p, uint32_t v) { platform::StorePixel<3>(p, v); }
// The first n (1 to 3) bytes of a row's last partial word; the bytes past the
// row's end are neither read nor written (the row may end the surface).
inline uint32_t loadn(const uint8_t* p, int n) {
  uint32_t v = 0;
  std::memcpy(&v, p, static_cast<size_t>(n));
  return v;
}
inline void storen(uint8_t* p, uint32_t v, int n) { std::memcpy(p, &v, static_cast<size_t>(n)); }

// 0xFF in every byte of s that is 0, 0x00 elsewhere.
inline uint32_t zero_bytes(uint32_t s) {
  uint32_t t = ~s;
  uint32_t z = (((t & ~0x01010101u) >> 1) + (t & 0x01010101u)) & 0x80808080u;
  return z * 2 - (z >> 7);
}

// The lowest bit of every channel whose top bit is set in c.
template <int Bpp>
inline uint32_t low_of_top(uint32_t c, const Format& f) {
  if constexpr (Bpp == 1) {
    (void)f;
    return ((c >> 1) | (c >> 2)) & 0x25252525u;
  } else if constexpr (Bpp == 2) {
    return ((c >> 4) | (c >> 5)) & f.lowmask;
  } else {
    (void)f;
    return c >> 7;
  }
}

// Per channel min(t + s, channel maximum). Bits outside the channels add.
template <int Bpp>
inline uint32_t add_sat(uint32_t t, uint32_t s, const Format& f) {
  uint32_t c = (((t & f.nonlowmask) >> 1) + ((s & f.nonlowmask) >> 1) + (t & s & f.lowmask)) & f.topmask;
  uint32_t full = c * 2 - low_of_top<Bpp>(c, f);
  return (t | full) + (s & ~full);
}

// Full mask of the channels where t >= s.
template <int Bpp>
inline uint32_t ge_mask(uint32_t t, uint32_t s, const Format& f) {
  uint32_t g = (((t >> 1) | f.topmask) - ((s & f.nonlowmask) >> 1) - ((t ^ s) & s & f.lowmask)) & f.topmask;
  return g * 2 - low_of_top<Bpp>(g, f);
}

// Per channel average: rounding down at 8 bits, up at the other depths.
template <int Bpp>
inline uint32_t average(uint32_t t, uint32_t s, const Format& f) {
  uint32_t low = Bpp == 1 ? (t & s & f.lowmask) : ((t | s) & f.lowmask);
  return ((t & f.nonlowmask) >> 1) + ((s & f.nonlowmask) >> 1) + low;
}

// The 16-bit lane split: A holds the lower pixel's red and blue with the upper
// pixel's green, B the rest, so that products by up to 32 do not collide.
inline uint32_t split_a(const Format& f) { return ((f.rmask | f.bmask) & 0xFFFFu) | (f.gmask & 0xFFFF0000u); }
inline uint32_t split_b(const Format& f) { return (f.gmask & 0xFFFFu) | ((f.rmask | f.bmask) & 0xFFFF0000u); }

// Per channel (t * (32 - w) + s * w) >> 5 at 8 or 16 bits; at 24 and 32 bits
// floor(t + (s - t) * a / 256) with a the 256-weight.
template <int Bpp>
struct Blend {
  uint32_t w, iw, a, b;  // weights; a, b are the 16-bit split masks or the 24/32-bit channel groups

  Blend(uint32_t percent, const Format& f) {
    if constexpr (Bpp <= 2) {
      w = weight32(percent), iw = 32 - w;
      a = split_a(f), b = split_b(f);
    } else {
      w = weight256(percent), iw = 0;
      a = f.rmask | f.bmask, b = f.gmask;
    }
  }
  uint32_t operator()(uint32_t t, uint32_t s) const {
    if constexpr (Bpp == 1) {
      uint32_t r = (((t & 0xE0E0E0E0u) >> 5) * iw + ((s & 0xE0E0E0E0u) >> 5) * w) & 0xE0E0E0E0u;
      uint32_t g = ((((t & 0x1C1C1C1Cu) >> 2) * iw + ((s & 0x1C1C1C1Cu) >> 2) * w) >> 3) & 0x1C1C1C1Cu;
      uint32_t bl = (((t & 0x03030303u) * iw + (s & 0x03030303u) * w) >> 5) & 0x03030303u;
      return r | g | bl;
    } else if constexpr (Bpp == 2) {
      uint32_t pa = (((t & a) * iw + (s & a) * w) >> 5) & a;
      uint32_t pb = (((t & b) >> 5) * iw + ((s & b) >> 5) * w) & b;
      return pa | pb;
    } else {
      uint32_t ta = t & a, tb = t & b;
      uint32_t ra = ((((s & a) - ta) * w) >> 8) + ta;
      uint32_t rb = ((((s & b) - tb) * w) >> 8) + tb;
      return (ra & a) | (rb & b);
    }
  }
};

// Per channel floor(s * weight / full), the weight as for Blend.
template <int Bpp>
struct Scale {
  uint32_t w, a, b;

  Scale(uint32_t percent, const Format& f) {
    if constexpr (Bpp <= 2) {
      w = weight32(percent), a = split_a(f), b = split_b(f);
    } else {
      w = weight256(percent), a = f.rmask | f.bmask, b = f.gmask;
    }
  }
  uint32_t operator()(uint32_t s) const {
    if constexpr (Bpp == 1) {
      return ((((s & 0xE0E0E0E0u) >> 5) * w) & 0xE0E0E0E0u) |
             (((((s & 0x1C1C1C1Cu) >> 2) * w) >> 3) & 0x1C1C1C1Cu) |
             ((((s & 0x03030303u) * w) >> 5) & 0x03030303u);
    } else if constexpr (Bpp == 2) {
      return ((((s & a) * w) >> 5) & a) | ((((s & b) >> 5) * w) & b);
    } else {
      return ((((s & a) * w) & (a << 8)) | (((s & b) * w) & (b << 8))) >> 8;
    }
  }
};

// The word forms of the keyed blends that have a sixteen-byte form as well.
template <int Bpp>
struct AddOp {
  const Format& f;
  uint32_t operator()(uint32_t t, uint32_t s) const { return add_sat<Bpp>(t, s, f); }
};
template <int Bpp>
struct AddPctOp {
  const Format& f;
  Scale<Bpp> scale;
  uint32_t operator()(uint32_t t, uint32_t s) const { return add_sat<Bpp>(t, scale(s), f); }
};
template <int Bpp>
struct SubOp {
  const Format& f;
  uint32_t operator()(uint32_t t, uint32_t s) const {
    uint32_t ge = ge_mask<Bpp>(t, s, f);
    return (t & ge) - (s & ge);
  }
};
template <int Bpp>
struct HalfOp {
  const Format& f;
  uint32_t operator()(uint32_t t, uint32_t s) const { return average<Bpp>(t, s, f); }
};

// Walks the rows of a keyed blit: the target takes f(t, s) where the source
// pixel is not 0 and keeps its value elsewhere. At 8 bits four pixels a word
// (transparent bytes kept through the zero-byte mask), at 16 bits two (the
// pair written by halves when one source pixel is 0), at 24 bits the pixel's
// three bytes, at 32 bits the word; key is the part of a 32-bit source pixel
// that decides transparency.
template <int Bpp, uint32_t Key = 0xFFFFFFFFu, class F>
inline void keyed_rows(const Blit& b, F f) {
  uint8_t* d = b.dst;
  const uint8_t* s = b.src;
  for (int y = 0; y < b.h; ++y, d += b.dpitch, s += b.spitch) {
    int x = 0;
    if constexpr (Bpp == 1) {
      for (; x + 4 <= b.w; x += 4) {
        uint32_t sv = load32(s + x);
        if (sv == 0) continue;
        uint32_t tv = load32(d + x);
        uint32_t m = zero_bytes(sv);
        store32(d + x, (tv & m) | (f(tv, sv) & ~m));
      }
      if (int n = b.w - x) {
        uint32_t sv = loadn(s + x, n);
        if (sv != 0) {
          uint32_t tv = loadn(d + x, n);
          uint32_t m = zero_bytes(sv);
          storen(d + x, (tv & m) | (f(tv, sv) & ~m), n);
        }
      }
    } else if constexpr (Bpp == 2) {
      for (; x + 2 <= b.w; x += 2) {
        uint32_t sv = load32(s + 2 * x);
        if (sv == 0) continue;
        uint32_t r = f(load32(d + 2 * x), sv);
        if ((sv & 0xFFFF0000u) == 0) {
          store16(d + 2 * x, r);
        } else if ((sv & 0xFFFFu) == 0) {
          store16(d + 2 * x + 2, r >> 16);
        } else {
          store32(d + 2 * x, r);
        }
      }
      if (x < b.w) {
        uint32_t sv = load16(s + 2 * x);
        if (sv != 0) store16(d + 2 * x, f(load16(d + 2 * x), sv));
      }
    } else if constexpr (Bpp == 3) {
      for (; x < b.w; ++x) {
        uint32_t sv = load24(s + 3 * x);
        if (sv == 0) continue;
        store24(d + 3 * x, f(load24(d + 3 * x), sv));
      }
    } else {
      for (; x < b.w; ++x) {
        uint32_t sv = load32(s + 4 * x);
        if ((sv & Key) == 0) continue;
        store32(d + 4 * x, f(load32(d + 4 * x), sv));
      }
    }
  }
}

// Walks the rows of a rectangle fill: every pixel takes f(t). At 8 bits the
// width mod 4 trailing pixels form one partial word, at 16 bits an odd last
// pixel goes alone in the lower half.
template <int Bpp, class F>
inline void fill_rows(const Blit& b, F f) {
  uint8_t* d = b.dst;
  for (int y = 0; y < b.h; ++y, d += b.dpitch) {
    int x = 0;
    if constexpr (Bpp == 1) {
      for (; x + 4 <= b.w; x += 4) store32(d + x, f(load32(d + x)));
      if (int n = b.w - x) storen(d + x, f(loadn(d + x, n)), n);
    } else if constexpr (Bpp == 2) {
      for (; x + 2 <= b.w; x += 2) store32(d + 2 * x, f(load32(d + 2 * x)));
      if (x < b.w) store16(d + 2 * x, f(load16(d + 2 * x)));
    } else if constexpr (Bpp == 3) {
      for (; x < b.w; ++x) store24(d + 3 * x, f(load24(d + 3 * x)));
    } else {
      for (; x < b.w; ++x) store32(d + 4 * x, f(load32(d + 4 * x)));
    }
  }
}

// A pixel value repeated over the pixels of a word (4 at 8 bits, 2 at 16).
template <int Bpp>
inline uint32_t repeat(uint32_t pixel) {
  if constexpr (Bpp == 1) return (pixel & 0xFFu) * 0x01010101u;
  if constexpr (Bpp == 2) return (pixel & 0xFFFFu) * 0x00010001u;
  if constexpr (Bpp == 3) return pixel & 0xFFFFFFu;
  return pixel;
}

// Instances of a per-depth worker for 1 to 4 bytes a pixel.
#define DX_EFFECTS_INSTANTIATE(fn)                \
  template void fn<1>(const Blit&, const Format&); \
  template void fn<2>(const Blit&, const Format&); \
  template void fn<3>(const Blit&, const Format&); \
  template void fn<4>(const Blit&, const Format&);

// Pattern word of a row that has `left` rows still to draw, counting itself.
inline uint32_t pattern_row(const uint32_t* pattern, int left) { return pattern[3 - (left & 3)]; }

}  // namespace dx::effects
