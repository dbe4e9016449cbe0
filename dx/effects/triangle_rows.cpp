// Triangle span workers: each row one span between two 20.12 fixed-point edges,
// the pixel set, blended or added with the word arithmetic of the blits.
#include <algorithm>

#include "dx/effects/geometry.h"
#include "dx/effects/words.h"

namespace dx::effects {

namespace {

struct SpanRange {
  int from, to;
};

// The pixels of one row, or an empty range.
inline SpanRange span_of(int32_t left, int32_t right, int32_t limit) {
  if (!(left < limit && right >= 1)) return {0, 0};
  return {std::max(left, 0) >> 12, std::min(right, limit) >> 12};
}

template <int Bpp, class F>
void span_rows(const Spans& s, F op) {
  int32_t left = s.left, right = s.right;
  uint8_t* row = s.dst;
  for (int y = 0; y < s.rows; ++y, row += s.pitch, left += s.left_step, right += s.right_step) {
    const SpanRange r = span_of(left, right, s.limit);
    if (r.from >= r.to) continue;
    Blit b;
    b.dst = row + r.from * Bpp, b.w = r.to - r.from, b.h = 1;
    fill_rows<Bpp>(b, op);
  }
}

template <int Bpp>
void spans(const Spans& s, const Format& f) {
  constexpr uint32_t full = Bpp <= 2 ? 32 : 256;
  const uint32_t w = Bpp <= 2 ? weight32(s.percent) : weight256(s.percent);
  const uint32_t colour = repeat<Bpp>(s.pixel);
  if (s.additive) {
    // Full and half weights add the colour as it is.
    const uint32_t c = (w == full || w == full / 2) ? colour : Scale<Bpp>(s.percent, f)(colour);
    span_rows<Bpp>(s, [c, &f](uint32_t t) { return add_sat<Bpp>(t, c, f); });
  } else if (w == full) {
    span_rows<Bpp>(s, [colour](uint32_t) { return colour; });
  } else if (w == full / 2) {
    span_rows<Bpp>(s, [colour, &f](uint32_t t) { return average<Bpp>(t, colour, f); });
  } else {
    const Blend<Bpp> blend(s.percent, f);
    span_rows<Bpp>(s, [colour, blend](uint32_t t) { return blend(t, colour); });
  }
}

}  // namespace

SpansFn spans_worker(int bpp) {
  switch (bpp) {
    case 8: return &spans<1>;
    case 16: return &spans<2>;
    case 24: return &spans<3>;
    case 32: return &spans<4>;
    default: return nullptr;
  }
}

}  // namespace dx::effects
