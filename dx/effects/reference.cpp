// The plain reference of every worker mode: one pixel at a time, each channel
// taken out of the pixel, combined by the effect's definition and put back.
// Slow on purpose; the fast workers are checked against it bit for bit, so it
// works out everything it needs itself (weights, hue positions, the affine
// map) and calls none of the fast paths' helpers: a fault there cannot hide in
// both.
#include "dx/effects/reference.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <utility>

#include "dx/effects/geometry.h"
#include "dx/effects/workers.h"

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

// A percentage as a weight: out of 32 at 8 and 16 bits (percent x 33 / 101, so
// that 100 is 32 and 50 is 16), out of 256 at 24 and 32 bits (percent x 256 /
// 100). Above 100 counts as 100.
int64_t percent_weight(const Layout& l, uint32_t percent) {
  const int64_t p = std::min<int64_t>(percent, 100);
  return l.bytes <= 2 ? p * 33 / 101 : p * 256 / 100;
}
int64_t full_weight(const Layout& l) { return l.bytes <= 2 ? 32 : 256; }

// t + (s - t) x weight, rounded down: out of 32 as two products, out of 256 as
// one signed step.
int64_t blend_channel(const Layout& l, int64_t t, int64_t s, uint32_t percent) {
  const int64_t w = percent_weight(l, percent);
  if (l.bytes <= 2) return (t * (32 - w) + s * w) >> 5;
  return t + floor_div((s - t) * w, 256);
}

int64_t scale_channel(const Layout& l, int64_t s, uint32_t percent) {
  return s * percent_weight(l, percent) / full_weight(l);
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

// The colour wheel: 1536 steps a turn, six sectors of 256 between red (0),
// yellow, green (512), cyan, blue (1024) and magenta.
constexpr int64_t kTurn = 1536;

int64_t on_wheel(int64_t i) { return (i % kTurn + kTurn) % kTurn; }

// A channel's level along the wheel, out of 255: rise, hold, fall, hold.
int64_t ramp(int64_t i) {
  i = on_wheel(i);
  return i < 256 ? i : i < 768 ? 255 : i < 1024 ? 1023 - i : 0;
}

// Where on the wheel a colour of channels c (one width) lies: at the primary of
// its strongest channel, moved toward the primary of its middle channel by
// the middle channel's share of the span, in whole steps cut toward the
// primary. Two equal strongest channels land on the secondary between them
// whichever is taken.
int64_t wheel_position(const int64_t c[3]) {
  static constexpr int64_t kPrimary[3] = {0, 512, 1024};
  int strongest = 0, weakest = 0;
  for (int i = 1; i < 3; ++i) {
    if (c[i] > c[strongest]) strongest = i;
    if (c[i] < c[weakest]) weakest = i;
  }
  const int middle = 3 - strongest - weakest;
  const int64_t span = c[strongest] - c[weakest];
  const int64_t steps = (c[middle] - c[weakest]) * 256 / span;
  // Red, green, blue in wheel order: the next channel lies a third of a turn on.
  const bool ahead = middle == (strongest + 1) % 3;
  return on_wheel(kPrimary[strongest] + (ahead ? steps : -steps));
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
  const int64_t p = wheel_position(c) + offset;
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
            int64_t w = percent_weight(l, b.param2);
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
  const int64_t full = full_weight(l);
  const int64_t w = percent_weight(l, s.percent);
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

namespace {

// a x b x 65536 / c rounded to the nearest, halves away from zero, taken
// modulo 2^32; c is not 0.
uint32_t mul_div(__int128 a, __int128 b, __int128 c) {
  const __int128 n = a * b * 65536;
  const bool negative = (n < 0) != (c < 0);
  const __int128 num = n < 0 ? -n : n, den = c < 0 ? -c : c;
  const __int128 q = (2 * num + den) / (2 * den);
  return static_cast<uint32_t>(static_cast<unsigned __int128>(negative ? -q : q));
}

}  // namespace

// The inverse of the corner map in 16.16 steps: a screen pixel (X, Y) reads
// the picture at u = du/dx (X - x0) + du/dy (Y - y0), v likewise, with 32-bit
// wrap-around; a position off the picture (a negative one wraps high) draws
// nothing, nor does a source pixel whose bytes are all 0.
void affine_draw_reference(const AffineScene& a, int bytes) {
  const int64_t x0 = a.x0, y0 = a.y0;
  const int64_t ax = int64_t{a.x1} - x0, ay = int64_t{a.y1} - y0;
  const int64_t bx = int64_t{a.x2} - x0, by = int64_t{a.y2} - y0;
  // Sides reach 2^32, so their products take 128 bits.
  const __int128 det = static_cast<__int128>(ax) * by - static_cast<__int128>(ay) * bx;
  if (det == 0) return;
  // The fourth corner is the third moved as the second is from the first.
  const int64_t xs[4] = {x0, int64_t{a.x1}, int64_t{a.x2}, int64_t{a.x1} + bx};
  const int64_t ys[4] = {y0, int64_t{a.y1}, int64_t{a.y2}, int64_t{a.y1} + by};
  const int64_t left = std::max<int64_t>(*std::min_element(xs, xs + 4), 0);
  const int64_t right = std::min<int64_t>(*std::max_element(xs, xs + 4), a.screen_w);
  const int64_t top = std::max<int64_t>(*std::min_element(ys, ys + 4), 0);
  const int64_t bottom = std::min<int64_t>(*std::max_element(ys, ys + 4), a.screen_h);
  const uint32_t dudx = mul_div(a.sw, by, det);
  const uint32_t dudy = mul_div(a.sw, -bx, det);
  const uint32_t dvdx = mul_div(a.sh, -ay, det);
  const uint32_t dvdy = mul_div(a.sh, ax, det);
  const uint64_t ulimit = uint64_t{static_cast<uint32_t>(a.sw)} << 16;
  const uint64_t vlimit = uint64_t{static_cast<uint32_t>(a.sh)} << 16;
  for (int64_t y = top; y < bottom; ++y) {
    for (int64_t x = left; x < right; ++x) {
      const uint32_t dx = static_cast<uint32_t>(x - x0), dy = static_cast<uint32_t>(y - y0);
      const uint32_t u = dudx * dx + dudy * dy, v = dvdx * dx + dvdy * dy;
      if (u >= ulimit || v >= vlimit) continue;
      const uint8_t* s = a.src + static_cast<std::ptrdiff_t>(v >> 16) * a.spitch +
                         static_cast<std::ptrdiff_t>(u >> 16) * bytes;
      if (std::all_of(s, s + bytes, [](uint8_t byte) { return byte == 0; })) continue;
      uint8_t* d = a.screen + static_cast<std::ptrdiff_t>(y) * a.pitch + static_cast<std::ptrdiff_t>(x) * bytes;
      std::copy(s, s + bytes, d);
    }
  }
}

BlitFn reference(Mode mode) {
  int i = static_cast<int>(mode);
  return i >= 0 && i < kModeCount ? kReferences[static_cast<size_t>(i)] : nullptr;
}

}  // namespace dx::effects
