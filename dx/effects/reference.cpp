// The plain reference of every worker mode: one pixel at a time, each channel
// taken out of the pixel, combined by the effect's definition and put back.
// Slow on purpose; the fast workers are checked against it bit for bit.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <utility>

#include "dx/effects/geometry.h"
#include "dx/effects/hue.h"
#include "dx/effects/words.h"

namespace dx::effects {

namespace {

struct Layout {
  int bytes;
  uint32_t pixel_mask;  // every bit of one pixel
  uint32_t mask[3];     // red, green, blue of one pixel
  uint32_t shift[3];
  uint32_t bits[3];
  uint32_t outside;     // bits of the pixel in no channel
};

Layout layout_of(const Format& f) {
  Layout l{};
  l.bytes = static_cast<int>(f.bytesperpixel);
  l.pixel_mask = l.bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * l.bytes)) - 1;
  const uint32_t m[3] = {f.rmask, f.gmask, f.bmask};
  const uint32_t sh[3] = {f.rshift, f.gshift, f.bshift};
  uint32_t all = 0;
  for (int c = 0; c < 3; ++c) {
    l.mask[c] = m[c] & l.pixel_mask;
    l.shift[c] = sh[c];
    l.bits[c] = static_cast<uint32_t>(std::popcount(l.mask[c]));
    all |= l.mask[c];
  }
  l.outside = l.pixel_mask & ~all;
  return l;
}

uint32_t get(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}
void put(uint8_t* p, int bytes, uint32_t v) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

struct Pixel {
  int64_t c[3];
  uint32_t outside;
};

Pixel split(const Layout& l, uint32_t v) {
  Pixel p;
  for (int i = 0; i < 3; ++i) p.c[i] = (v & l.mask[i]) >> l.shift[i];
  p.outside = v & l.outside;
  return p;
}
uint32_t join(const Layout& l, const Pixel& p) {
  uint32_t v = p.outside & l.outside;
  for (int i = 0; i < 3; ++i) v |= (static_cast<uint32_t>(p.c[i]) << l.shift[i]) & l.mask[i];
  return v;
}

int64_t top(const Layout& l, int c) { return (int64_t{1} << l.bits[c]) - 1; }

// The percent weight of one channel: out of 32 at 8 and 16 bits, else 256.
int64_t blend_channel(const Layout& l, int64_t t, int64_t s, uint32_t percent) {
  if (l.bytes <= 2) {
    int64_t w = weight32(percent);
    return (t * (32 - w) + s * w) >> 5;
  }
  return t + floor_div((s - t) * weight256(percent), 256);
}

int64_t scale_channel(const Layout& l, int64_t s, uint32_t percent) {
  return l.bytes <= 2 ? s * weight32(percent) / 32 : s * weight256(percent) / 256;
}

// Which bits outside the channels a result keeps.
enum class Rest { Zero, Target, Source, Sum };

uint32_t rest(Rest r, const Layout& l, uint32_t t, uint32_t s) {
  switch (r) {
    case Rest::Zero: return 0;
    case Rest::Target: return t & l.outside;
    case Rest::Source: return s & l.outside;
    case Rest::Sum: return ((t & l.outside) + (s & l.outside)) & l.outside;  // a carry out of the top byte is lost
  }
  return 0;
}

// One pixel of a channel-wise mode.
template <class F>
uint32_t per_channel(const Layout& l, uint32_t t, uint32_t s, Rest r, F f) {
  Pixel pt = split(l, t), ps = split(l, s), out{};
  for (int c = 0; c < 3; ++c) out.c[c] = f(c, pt.c[c], ps.c[c]);
  out.outside = rest(r, l, t, s);
  return join(l, out);
}

uint32_t grey(const Layout& l, const Format& f, uint32_t s) {
  Pixel p = split(l, s), out{};
  if (l.bytes == 1) {
    int64_t g = (p.c[0] + 2 * p.c[1] + 2 * p.c[2] + 1) >> 2;
    out.c[0] = out.c[1] = g, out.c[2] = g >> 1;
  } else {
    const uint32_t loss[3] = {f.rloss, f.gloss, f.bloss};
    int64_t wide[3];
    for (int c = 0; c < 3; ++c) wide[c] = p.c[c] << loss[c];
    int64_t g = (wide[0] + 2 * wide[1] + wide[2] + (l.bytes == 2 ? 1 : 0)) >> 2;
    for (int c = 0; c < 3; ++c) out.c[c] = g >> loss[c];
  }
  return join(l, out);
}

// The hue ramp from its definition: rise, hold, fall, hold, 1536 steps a turn.
int64_t ramp(int64_t i) {
  i %= kHueSteps;
  return i < 256 ? i : i < 768 ? 255 : i < 1024 ? 1023 - i : 0;
}

uint32_t hue(const Layout& l, const Format& f, uint32_t s, int32_t offset) {
  int64_t c[3];
  // Every channel on one width: 3 bits at 8 bits (blue widened), 5 at 16 bits
  // (green dropping its lowest bit at 5-6-5), 8 at 24 and 32 bits.
  int64_t gdrop = 0;
  if (l.bytes == 1) {
    c[0] = s >> 5 & 7, c[1] = s >> 2 & 7, c[2] = ((s & 3) << 1) | ((s & 3) >> 1);
  } else {
    Pixel p = split(l, s);
    c[0] = p.c[0], c[1] = p.c[1], c[2] = p.c[2];
    if (l.bytes == 2 && l.bits[1] == 6) gdrop = 1, c[1] >>= 1;
  }
  int64_t mx = std::max({c[0], c[1], c[2]}), mn = std::min({c[0], c[1], c[2]}), d = mx - mn;
  if (d == 0) return s;
  int64_t p = hue_position(static_cast<int32_t>(c[0]), static_cast<int32_t>(c[1]), static_cast<int32_t>(c[2])) +
              normalize_hue_offset(offset);
  int64_t o[3] = {(ramp(p + 512) * d >> 8) + mn, (ramp(p) * d >> 8) + mn, (ramp(p + 1024) * d >> 8) + mn};
  if (l.bytes == 1) return static_cast<uint32_t>(o[0] << 5 | o[1] << 2 | o[2] >> 1);
  Pixel out{};
  out.c[0] = o[0], out.c[1] = o[1] << gdrop, out.c[2] = o[2];
  (void)f;
  return join(l, out);
}

// The pattern byte of a pixel: row by the rows still to draw, column by the
// pixel's place in its group of four.
bool pattern_on(const uint32_t* pattern, int h, int x, int y) {
  return ((pattern[3 - ((h - y) & 3)] >> (8 * (x & 3))) & 0xFF) != 0;
}

template <Mode M>
void reference_rows(const Blit& b, const Format& f) {
  const Layout l = layout_of(f);
  const uint32_t key = (l.bytes == 4 && (M == Mode::Silhouette || M == Mode::SilhouetteAdd)) ? 0x00FFFFFFu : 0xFFFFFFFFu;
  const uint32_t colour = b.param & l.pixel_mask;
  for (int y = 0; y < b.h; ++y) {
    for (int x = 0; x < b.w; ++x) {
      uint8_t* dp = b.dst + static_cast<std::ptrdiff_t>(y) * b.dpitch + x * l.bytes;
      const uint32_t t = get(dp, l.bytes);
      uint32_t s = colour;
      if (b.src) {
        s = get(b.src + static_cast<std::ptrdiff_t>(y) * b.spitch + x * l.bytes, l.bytes);
        if ((s & key) == 0) continue;
      }
      uint32_t out = t;
      switch (M) {
        case Mode::Add:
        case Mode::FillAdd:
          out = per_channel(l, t, s, Rest::Sum, [&](int c, int64_t a, int64_t v) { return std::min(a + v, top(l, c)); });
          break;
        case Mode::SilhouetteAdd:
          out = per_channel(l, t, colour, Rest::Sum,
                            [&](int c, int64_t a, int64_t v) { return std::min(a + v, top(l, c)); });
          break;
        case Mode::AddPct:
          out = per_channel(l, t, s, Rest::Target, [&](int c, int64_t a, int64_t v) {
            return std::min(a + scale_channel(l, v, b.param), top(l, c));
          });
          break;
        case Mode::Sub:
        case Mode::FillSub:
          out = per_channel(l, t, s, Rest::Zero, [](int, int64_t a, int64_t v) { return std::max<int64_t>(a - v, 0); });
          break;
        case Mode::Alpha:
          out = per_channel(l, t, s, Rest::Zero, [&](int, int64_t a, int64_t v) { return blend_channel(l, a, v, b.param); });
          break;
        case Mode::SilhouetteAlpha:
          out = per_channel(l, t, colour, Rest::Zero,
                            [&](int, int64_t a, int64_t v) { return blend_channel(l, a, v, b.param2); });
          break;
        case Mode::FillAlpha:
          out = per_channel(l, t, s, Rest::Zero, [&](int c, int64_t a, int64_t v) {
            if (l.bytes == 1) return blend_channel(l, a, v, b.param2);
            if (l.bytes == 2) {
              int64_t w = std::min<uint32_t>(b.param2, 100) * 1024 / 100;
              return (a * (1024 - w) + v * w) >> 10;
            }
            (void)c;
            int64_t w = weight256(b.param2);
            return (a * (256 - w) + v * w) >> 8;
          });
          break;
        case Mode::Half:
          out = per_channel(l, t, s, Rest::Zero,
                            [&](int, int64_t a, int64_t v) { return (a + v + (l.bytes == 1 ? 0 : 1)) >> 1; });
          break;
        case Mode::FillHalf:
          out = per_channel(l, t, s, Rest::Zero, [](int, int64_t a, int64_t v) { return (a + v) >> 1; });
          break;
        case Mode::Darken:
        case Mode::FillDarken:
          out = per_channel(l, t, s, Rest::Target, [](int, int64_t a, int64_t v) { return std::min(a, v); });
          break;
        case Mode::Lighten:
        case Mode::FillLighten:
          out = per_channel(l, t, s, Rest::Source, [](int, int64_t a, int64_t v) { return std::max(a, v); });
          break;
        case Mode::FillMul:
          out = per_channel(l, t, s, Rest::Zero, [&](int c, int64_t a, int64_t v) { return a * (v + 1) >> l.bits[c]; });
          break;
        case Mode::Grey:
          out = grey(l, f, s);
          break;
        case Mode::Hue:
          out = hue(l, f, s, static_cast<int32_t>(b.param));
          break;
        case Mode::Mesh:
        case Mode::FillMesh:
          if (pattern_on(b.pattern, b.h, x, y)) out = s;
          break;
        case Mode::Masked:
          if (get(b.mask + static_cast<std::ptrdiff_t>(y) * b.mpitch + x * l.bytes, l.bytes) != 0) out = s;
          break;
        case Mode::Silhouette:
          out = colour;
          break;
        case Mode::Count:
          break;
      }
      put(dp, l.bytes, out);
    }
  }
}

template <int... I>
constexpr auto make_references(std::integer_sequence<int, I...>) {
  return std::array<BlitFn, sizeof...(I)>{&reference_rows<static_cast<Mode>(I)>...};
}
constexpr auto kReferences = make_references(std::make_integer_sequence<int, kModeCount>{});

}  // namespace

// Span pixels channel by channel: set, added (the colour scaled by the weight
// unless it is full or half), averaged at exactly half weight, else blended.
void spans_reference(const Spans& s, const Format& f) {
  const Layout l = layout_of(f);
  const bool wide = l.bytes > 2;
  const int64_t full = wide ? 256 : 32;
  const int64_t w = wide ? weight256(s.percent) : weight32(s.percent);
  const uint32_t colour = s.pixel & l.pixel_mask;
  int32_t left = s.left, right = s.right;
  for (int y = 0; y < s.rows; ++y, left += s.left_step, right += s.right_step) {
    if (!(left < s.limit && right >= 1)) continue;
    const int from = std::max(left, 0) / 4096, to = std::min(right, s.limit) / 4096;
    for (int x = from; x < to; ++x) {
      uint8_t* p = s.dst + static_cast<std::ptrdiff_t>(y) * s.pitch + x * l.bytes;
      const uint32_t t = get(p, l.bytes);
      uint32_t out;
      if (s.additive) {
        out = per_channel(l, t, colour, Rest::Sum, [&](int c, int64_t a, int64_t v) {
          int64_t add = (w == full || w * 2 == full) ? v : v * w / full;
          return std::min(a + add, top(l, c));
        });
        // The scaled colour keeps no bits outside the channels.
        if (w != full && w * 2 != full) out = (out & ~l.outside) | (t & l.outside);
      } else if (w == full) {
        out = colour;
      } else if (w * 2 == full) {
        out = per_channel(l, t, colour, Rest::Zero,
                          [&](int, int64_t a, int64_t v) { return (a + v + (l.bytes == 1 ? 0 : 1)) >> 1; });
      } else {
        out = per_channel(l, t, colour, Rest::Zero, [&](int, int64_t a, int64_t v) {
          return blend_channel(l, a, v, s.percent);
        });
      }
      put(p, l.bytes, out);
    }
  }
}

BlitFn reference(Mode mode) {
  int i = static_cast<int>(mode);
  return i >= 0 && i < kModeCount ? kReferences[static_cast<size_t>(i)] : nullptr;
}

}  // namespace dx::effects
