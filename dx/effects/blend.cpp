// Keyed blends of a source onto the target: additive, additive by a percentage,
// subtractive, translucent, half, darken, lighten and grey.
#include "dx/effects/words.h"

namespace dx::effects {

template <int Bpp>
void add_rows(const Blit& b, const Format& f) {
  keyed_rows<Bpp>(b, AddOp<Bpp>{f});
}

template <int Bpp>
void addpct_rows(const Blit& b, const Format& f) {
  keyed_rows<Bpp>(b, AddPctOp<Bpp>{f, Scale<Bpp>(b.param, f)});
}

template <int Bpp>
void sub_rows(const Blit& b, const Format& f) {
  keyed_rows<Bpp>(b, SubOp<Bpp>{f});
}

template <int Bpp>
void alpha_rows(const Blit& b, const Format& f) {
  keyed_rows<Bpp>(b, Blend<Bpp>(b.param, f));
}

template <int Bpp>
void half_rows(const Blit& b, const Format& f) {
  keyed_rows<Bpp>(b, HalfOp<Bpp>{f});
}

template <int Bpp>
void darken_rows(const Blit& b, const Format& f) {
  keyed_rows<Bpp>(b, [&f](uint32_t t, uint32_t s) {
    uint32_t ge = ge_mask<Bpp>(t, s, f);
    return (s & ge) - (t & ge) + t;
  });
}

template <int Bpp>
void lighten_rows(const Blit& b, const Format& f) {
  keyed_rows<Bpp>(b, [&f](uint32_t t, uint32_t s) {
    uint32_t ge = ge_mask<Bpp>(t, s, f);
    return (t & ge) - (s & ge) + s;
  });
}

// Grey = (R + 2G + B) / 4 on 8-bit channel values; at 8 bits the 3-3-2 form
// (R + 2G + 2B + 1) / 4 with blue counted at its 2-bit scale.
template <int Bpp>
void grey_rows(const Blit& b, const Format& f) {
  if constexpr (Bpp == 1) {
    keyed_rows<1>(b, [](uint32_t, uint32_t s) {
      uint32_t g = ((((s & 0xE0E0E0E0u) >> 5) + ((s & 0x1C1C1C1Cu) >> 1) + ((s & 0x03030303u) * 2) + 0x01010101u) >> 2) &
                   0x07070707u;
      return (g << 5) | (g << 2) | ((g >> 1) & 0x03030303u);
    });
  } else if constexpr (Bpp == 2) {
    keyed_rows<2>(b, [&f](uint32_t, uint32_t s) {
      uint32_t r8 = (s & f.rmask) >> f.rshift << f.rloss;
      uint32_t g8 = (s & f.gmask) >> f.gshift << f.gloss;
      uint32_t b8 = (s & f.bmask) >> f.bshift << f.bloss;
      uint32_t g = ((r8 + 2 * g8 + b8 + 0x00010001u) >> 2) & 0x00FF00FFu;
      return ((g >> f.rloss << f.rshift) & f.rmask) | ((g >> f.gloss << f.gshift) & f.gmask) |
             ((g >> f.bloss << f.bshift) & f.bmask);
    });
  } else {
    keyed_rows<Bpp>(b, [&f](uint32_t, uint32_t s) {
      uint32_t g = (((s & f.rmask) >> f.rshift) + 2 * ((s & f.gmask) >> f.gshift) + ((s & f.bmask) >> f.bshift)) >> 2;
      return (g << f.rshift) | (g << f.gshift) | (g << f.bshift);
    });
  }
}

DX_EFFECTS_INSTANTIATE(add_rows)
DX_EFFECTS_INSTANTIATE(addpct_rows)
DX_EFFECTS_INSTANTIATE(sub_rows)
DX_EFFECTS_INSTANTIATE(alpha_rows)
DX_EFFECTS_INSTANTIATE(half_rows)
DX_EFFECTS_INSTANTIATE(darken_rows)
DX_EFFECTS_INSTANTIATE(lighten_rows)
DX_EFFECTS_INSTANTIATE(grey_rows)

}  // namespace dx::effects
