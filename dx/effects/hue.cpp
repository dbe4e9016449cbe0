// Hue turn and mask blits. The hue works on a colour wheel of 1536 steps (six
// sectors of 256: red 0, yellow 256, green 512, cyan 768, blue 1024, magenta
// 1280); each pixel keeps its lightest and darkest channel and moves its hue.
#include <algorithm>
#include <iterator>

#include "dx/effects/hue.h"
#include "dx/effects/lanes.h"
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

// The 32-bit hue turn eight pixels at a time, channels in 16-bit lanes: the
// same integers as hue_pixel<4>, with the ramp worked out rather than looked
// up and the position's division done in single precision, which is exact for
// these operands (a quotient short of an integer is at least 1/255 short,
// more than the rounding of a float near 256). Formats whose channels are not
// whole bytes, and a source sharing bytes with the target, take hue_rows.
void wide_hue_rows32(const Blit& b, const Format& f) {
  const bool bytes = f.rmask == 0xFFu << f.rshift && f.gmask == 0xFFu << f.gshift && f.bmask == 0xFFu << f.bshift;
  if (!bytes || lanes::overlap(b.dst, b.dpitch, b.src, b.spitch, b.h, b.w * 4)) return hue_rows<4>(b, f);
  const __m128i offset = _mm_set1_epi16(static_cast<short>(normalize_hue_offset(static_cast<int32_t>(b.param))));
  const __m128i zero = _mm_setzero_si128(), byte = _mm_set1_epi32(0xFF);
  const __m128i rs = _mm_cvtsi32_si128(static_cast<int>(f.rshift)), gs = _mm_cvtsi32_si128(static_cast<int>(f.gshift));
  const __m128i bs = _mm_cvtsi32_si128(static_cast<int>(f.bshift));
  const __m128i period = _mm_set1_epi16(1536), last = _mm_set1_epi16(1535), top = _mm_set1_epi16(255);
  const __m128i fall = _mm_set1_epi16(1023);
  auto channel = [&](__m128i lo, __m128i hi, __m128i shift) {
    return _mm_packs_epi32(_mm_and_si128(_mm_srl_epi32(lo, shift), byte), _mm_and_si128(_mm_srl_epi32(hi, shift), byte));
  };
  auto select = [](__m128i m, __m128i a, __m128i b) { return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b)); };
  // The ramp at wheel places below three periods.
  auto ramp = [&](__m128i i) {
    i = _mm_sub_epi16(i, _mm_and_si128(_mm_cmpgt_epi16(i, last), period));
    i = _mm_sub_epi16(i, _mm_and_si128(_mm_cmpgt_epi16(i, last), period));
    return _mm_max_epi16(_mm_min_epi16(_mm_min_epi16(i, top), _mm_sub_epi16(fall, i)), zero);
  };
  // q = n * 256 / d truncated, n and d sign- and zero-extended from four lanes.
  auto quotient = [](__m128i n, __m128i d) {
    const __m128 num = _mm_cvtepi32_ps(_mm_slli_epi32(n, 8)), den = _mm_cvtepi32_ps(d);
    return _mm_cvttps_epi32(_mm_div_ps(num, den));
  };
  uint8_t* d = b.dst;
  const uint8_t* s = b.src;
  for (int y = 0; y < b.h; ++y, d += b.dpitch, s += b.spitch) {
    int x = 0;
    for (; x + 8 <= b.w; x += 8) {
      const __m128i vlo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
      const __m128i vhi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x + 16));
      const __m128i clear_lo = _mm_cmpeq_epi32(vlo, zero), clear_hi = _mm_cmpeq_epi32(vhi, zero);
      if (_mm_movemask_epi8(_mm_and_si128(clear_lo, clear_hi)) == 0xFFFF) continue;
      const __m128i r = channel(vlo, vhi, rs), g = channel(vlo, vhi, gs), bl = channel(vlo, vhi, bs);
      const __m128i mx = _mm_max_epi16(r, _mm_max_epi16(g, bl)), mn = _mm_min_epi16(r, _mm_min_epi16(g, bl));
      const __m128i dd = _mm_sub_epi16(mx, mn);
      const __m128i is_r = _mm_cmpeq_epi16(mx, r);
      const __m128i is_g = _mm_andnot_si128(is_r, _mm_cmpeq_epi16(mx, g));
      const __m128i n = select(is_r, _mm_sub_epi16(g, bl), select(is_g, _mm_sub_epi16(bl, r), _mm_sub_epi16(r, g)));
      const __m128i base = select(is_r, _mm_and_si128(_mm_cmplt_epi16(n, zero), period),
                                  select(is_g, _mm_set1_epi16(512), _mm_set1_epi16(1024)));
      const __m128i q = _mm_packs_epi32(quotient(_mm_srai_epi32(_mm_unpacklo_epi16(n, n), 16), _mm_unpacklo_epi16(dd, zero)),
                                        quotient(_mm_srai_epi32(_mm_unpackhi_epi16(n, n), 16), _mm_unpackhi_epi16(dd, zero)));
      const __m128i p = _mm_add_epi16(_mm_add_epi16(base, q), offset);
      auto turned = [&](__m128i place) { return _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(ramp(place), dd), 8), mn); };
      const __m128i nr = turned(_mm_add_epi16(p, _mm_set1_epi16(512))), ng = turned(p);
      const __m128i nb = turned(_mm_add_epi16(p, _mm_set1_epi16(1024)));
      auto pixels = [&](__m128i cr, __m128i cg, __m128i cb) {
        return _mm_or_si128(_mm_or_si128(_mm_sll_epi32(cr, rs), _mm_sll_epi32(cg, gs)), _mm_sll_epi32(cb, bs));
      };
      const __m128i grey = _mm_and_si128(_mm_cmpeq_epi16(r, g), _mm_cmpeq_epi16(g, bl));
      auto write = [&](uint8_t* at, __m128i v, __m128i clear, __m128i turned_px, __m128i grey32) {
        const __m128i out = select(grey32, v, turned_px);
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), select(clear, t, out));
      };
      write(d + 4 * x, vlo, clear_lo,
            pixels(_mm_unpacklo_epi16(nr, zero), _mm_unpacklo_epi16(ng, zero), _mm_unpacklo_epi16(nb, zero)),
            _mm_unpacklo_epi16(grey, grey));
      write(d + 4 * x + 16, vhi, clear_hi,
            pixels(_mm_unpackhi_epi16(nr, zero), _mm_unpackhi_epi16(ng, zero), _mm_unpackhi_epi16(nb, zero)),
            _mm_unpackhi_epi16(grey, grey));
    }
    if (x < b.w) {
      Blit rest = b;
      rest.dst = d + 4 * x, rest.src = s + 4 * x, rest.w = b.w - x, rest.h = 1;
      hue_rows<4>(rest, f);
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
