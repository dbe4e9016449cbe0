// The keyed blends sixteen bytes at a time at 16 and 32 bits: additive,
// additive by a percentage, subtractive, translucent and half. Each lane does
// what the word rows of blend.cpp do to one word, which the tests hold them to.
#include "dx/effects/lanes.h"

namespace dx::effects {

using lanes::V;

template <int Bpp>
void wide_add_rows(const Blit& b, const Format& f) {
  const lanes::Masks m(f);
  lanes::keyed_rows<Bpp>(b, [&m](V t, V s) { return lanes::add_sat<Bpp>(t, s, m); }, AddOp<Bpp>{f});
}

template <int Bpp>
void wide_addpct_rows(const Blit& b, const Format& f) {
  const lanes::Masks m(f);
  const Scale<Bpp> scale(b.param, f);
  const lanes::Scale<Bpp> wide(scale);
  lanes::keyed_rows<Bpp>(b, [&m, &wide](V t, V s) { return lanes::add_sat<Bpp>(t, wide(s), m); },
                         AddPctOp<Bpp>{f, scale});
}

template <int Bpp>
void wide_sub_rows(const Blit& b, const Format& f) {
  const lanes::Masks m(f);
  lanes::keyed_rows<Bpp>(
      b,
      [&m](V t, V s) {
        V ge = lanes::ge_mask<Bpp>(t, s, m);
        return (t & ge) - (s & ge);
      },
      SubOp<Bpp>{f});
}

template <int Bpp>
void wide_alpha_rows(const Blit& b, const Format& f) {
  const Blend<Bpp> blend(b.param, f);
  const lanes::Blend<Bpp> wide(blend);
  lanes::keyed_rows<Bpp>(b, wide, blend);
}

template <int Bpp>
void wide_half_rows(const Blit& b, const Format& f) {
  const lanes::Masks m(f);
  lanes::keyed_rows<Bpp>(b, [&m](V t, V s) { return lanes::average(t, s, m); }, HalfOp<Bpp>{f});
}

#define DX_EFFECTS_WIDE(fn)                        \
  template void fn<2>(const Blit&, const Format&); \
  template void fn<4>(const Blit&, const Format&);

DX_EFFECTS_WIDE(wide_add_rows)
DX_EFFECTS_WIDE(wide_addpct_rows)
DX_EFFECTS_WIDE(wide_sub_rows)
DX_EFFECTS_WIDE(wide_alpha_rows)
DX_EFFECTS_WIDE(wide_half_rows)

}  // namespace dx::effects
