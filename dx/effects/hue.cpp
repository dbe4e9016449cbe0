// Hue turn and mask blits. The hue works on a colour wheel of 1536 steps (six
// sectors of 256: red 0, yellow 256, green 512, cyan 768, blue 1024, magenta
// 1280); each pixel keeps its lightest and darkest channel and moves its hue.
#include <algorithm>
#include <iterator>

#include "dx/effects/hue.h"
#include "dx/effects/words.h"

namespace dx::effects {

namespace {

// Three periods of the channel ramp: rise 0-255, hold 255, fall, hold 0.
uint16_t g_ramp[3 * kHueSteps];
bool g_ramp_missing = true;

void build_ramp() {
  for (int i = 0; i < kHueSteps; ++i) {
    int v = i < 256 ? i : i < 768 ? 255 : i < 1024 ? 1023 - i : 0;
    g_ramp[i] = g_ramp[i + kHueSteps] = g_ramp[i + 2 * kHueSteps] = static_cast<uint16_t>(v);
  }
  g_ramp_missing = false;
}

// Results by source pixel value at 8 and 16 bits; 0 = not computed yet.
uint8_t g_cache8[256];
uint16_t g_cache16[65536];
int32_t g_cache8_offset = -1;
int32_t g_cache16_offset = -1;

// The channels r, g, b (all of one width) with the hue moved by offset steps.
inline void turn(uint32_t& r, uint32_t& g, uint32_t& b, int32_t offset) {
  const int32_t mx = static_cast<int32_t>(std::max({r, g, b}));
  const int32_t mn = static_cast<int32_t>(std::min({r, g, b}));
  const int32_t d = mx - mn;
  const int32_t p = hue_position(static_cast<int32_t>(r), static_cast<int32_t>(g), static_cast<int32_t>(b)) + offset;
  r = ((g_ramp[p + 512] * static_cast<uint32_t>(d)) >> 8) + static_cast<uint32_t>(mn);
  g = ((g_ramp[p] * static_cast<uint32_t>(d)) >> 8) + static_cast<uint32_t>(mn);
  b = ((g_ramp[p + 1024] * static_cast<uint32_t>(d)) >> 8) + static_cast<uint32_t>(mn);
}

template <int Bpp>
inline uint32_t hue_pixel(uint32_t s, const Format& f, int32_t offset) {
  uint32_t r, g, b;
  if constexpr (Bpp == 1) {
    r = s >> 5 & 7, g = s >> 2 & 7, b = s & 3;
    b = (b * 2) | (b >> 1);
    if (r == g && g == b) return s;
    turn(r, g, b, offset);
    return (r << 5) | (g << 2) | (b >> 1);
  } else if constexpr (Bpp == 2) {
    const uint32_t gshift = (f.gmask & 0x400u) ? 6 : 5;
    r = (s & f.rmask & 0xFFFFu) >> f.rshift, g = (s & f.gmask & 0xFFFFu) >> gshift, b = s & f.bmask & 0xFFFFu;
    if (r == g && g == b) return s;
    turn(r, g, b, offset);
    return (r << f.rshift) | (g << gshift) | b;
  } else {
    r = (s & f.rmask) >> f.rshift, g = (s & f.gmask) >> f.gshift, b = (s & f.bmask) >> f.bshift;
    if (r == g && g == b) return s;
    turn(r, g, b, offset);
    return (r << f.rshift) | (g << f.gshift) | (b << f.bshift);
  }
}

}  // namespace

int32_t hue_position(int32_t r, int32_t g, int32_t b) {
  const int32_t mx = std::max({r, g, b});
  const int32_t mn = std::min({r, g, b});
  const int32_t d = mx - mn;
  if (d == 0) return 0;
  if (mx == r) return g >= b ? (g - b) * 256 / d : kHueSteps - (b - g) * 256 / d;
  if (mx == g) return 512 + (b - r) * 256 / d;
  return 1024 + (r - g) * 256 / d;
}

int32_t normalize_hue_offset(int32_t offset) {
  if (offset < 0) return offset % kHueSteps + kHueSteps;
  if (offset >= kHueSteps) return offset % kHueSteps;
  return offset;
}

template <int Bpp>
void hue_rows(const Blit& b, const Format& f) {
  if (g_ramp_missing) build_ramp();
  const int32_t offset = normalize_hue_offset(static_cast<int32_t>(b.param));
  if constexpr (Bpp == 1) {
    if (g_cache8_offset != offset) std::fill(std::begin(g_cache8), std::end(g_cache8), 0), g_cache8_offset = offset;
  } else if constexpr (Bpp == 2) {
    if (g_cache16_offset != offset) std::fill(std::begin(g_cache16), std::end(g_cache16), 0), g_cache16_offset = offset;
  }
  uint8_t* d = b.dst;
  const uint8_t* s = b.src;
  for (int y = 0; y < b.h; ++y, d += b.dpitch, s += b.spitch) {
    for (int x = 0; x < b.w; ++x) {
      if constexpr (Bpp == 1) {
        uint32_t v = s[x];
        if (v == 0) continue;
        if (g_cache8[v] == 0) g_cache8[v] = static_cast<uint8_t>(hue_pixel<1>(v, f, offset));
        d[x] = g_cache8[v];
      } else if constexpr (Bpp == 2) {
        uint32_t v = load16(s + 2 * x);
        if (v == 0) continue;
        if (g_cache16[v] == 0) g_cache16[v] = static_cast<uint16_t>(hue_pixel<2>(v, f, offset));
        store16(d + 2 * x, g_cache16[v]);
      } else if constexpr (Bpp == 3) {
        uint32_t v = load24(s + 3 * x);
        if (v != 0) store24(d + 3 * x, hue_pixel<3>(v, f, offset));
      } else {
        uint32_t v = load32(s + 4 * x);
        if (v != 0) store32(d + 4 * x, hue_pixel<4>(v, f, offset));
      }
    }
  }
}

bool hue_cached(int bpp, uint32_t pixel, int32_t offset) {
  offset = normalize_hue_offset(offset);
  if (bpp == 8) return g_cache8_offset == offset && g_cache8[pixel & 0xFF] != 0;
  if (bpp == 16) return g_cache16_offset == offset && g_cache16[pixel & 0xFFFF] != 0;
  return false;
}

// Copies the source where both the source and the mask pixel are not 0.
template <int Bpp>
void masked_rows(const Blit& b, const Format&) {
  uint8_t* d = b.dst;
  const uint8_t* s = b.src;
  const uint8_t* m = b.mask;
  for (int y = 0; y < b.h; ++y, d += b.dpitch, s += b.spitch, m += b.mpitch) {
    int x = 0;
    if constexpr (Bpp == 1) {
      for (; x + 4 <= b.w; x += 4) {
        uint32_t sv = load32(s + x), mv = load32(m + x);
        if (sv == 0 || mv == 0) continue;
        uint32_t keep = zero_bytes(sv) | zero_bytes(mv);
        store32(d + x, (load32(d + x) & keep) | (sv & ~keep));
      }
      if (int n = b.w - x) {
        uint32_t sv = loadn(s + x, n), mv = loadn(m + x, n);
        if (sv != 0 && mv != 0) {
          uint32_t keep = zero_bytes(sv) | zero_bytes(mv);
          storen(d + x, (loadn(d + x, n) & keep) | (sv & ~keep), n);
        }
      }
    } else if constexpr (Bpp == 2) {
      for (; x < b.w; ++x) {
        uint32_t sv = load16(s + 2 * x);
        if (sv != 0 && load16(m + 2 * x) != 0) store16(d + 2 * x, sv);
      }
    } else if constexpr (Bpp == 3) {
      for (; x < b.w; ++x) {
        uint32_t sv = load24(s + 3 * x);
        if (sv != 0 && load24(m + 3 * x) != 0) store24(d + 3 * x, sv);
      }
    } else {
      for (; x < b.w; ++x) {
        uint32_t sv = load32(s + 4 * x);
        if (sv != 0 && load32(m + 4 * x) != 0) store32(d + 4 * x, sv);
      }
    }
  }
}

DX_EFFECTS_INSTANTIATE(hue_rows)
DX_EFFECTS_INSTANTIATE(masked_rows)

}  // namespace dx::effects
