// Rectangle fills: one colour combined with every pixel of the rectangle. The
// colour's terms are worked out once per call, outside the rows.
#include "dx/effects/words.h"

namespace dx::effects {

namespace {

// (t * (1024 - a) + f * a) >> 10 for one 16-bit channel of both pixels at once:
// the channel's values sit at the bottom of each half, so products of up to
// 16 bits never meet.
struct Channel16 {
  uint32_t mask, shift, field, fill_term;
  Channel16(uint32_t m, uint32_t sh, uint32_t fill, uint32_t a)
      : mask(m), shift(sh), field(m >> sh), fill_term(((fill & m) >> sh) * a) {}
  uint32_t operator()(uint32_t t, uint32_t ia) const {
    return (((((t & mask) >> shift) * ia + fill_term) >> 10) & field) << shift;
  }
};

}  // namespace

template <int Bpp>
void fillalpha_rows(const Blit& b, const Format& f) {
  const uint32_t fill = repeat<Bpp>(b.param);
  if constexpr (Bpp == 1) {
    const Blend<1> blend(b.param2, f);
    fill_rows<1>(b, [&](uint32_t t) { return blend(t, fill); });
  } else if constexpr (Bpp == 2) {
    const uint32_t a = (b.param2 > 100 ? 100 : b.param2) * 1024 / 100, ia = 1024 - a;
    const Channel16 r(f.rmask, f.rshift, fill, a), g(f.gmask, f.gshift, fill, a), bl(f.bmask, f.bshift, fill, a);
    fill_rows<2>(b, [&](uint32_t t) { return r(t, ia) | g(t, ia) | bl(t, ia); });
  } else {
    const uint32_t a = weight256(b.param2), ia = 256 - a;
    const uint32_t rb = f.rmask | f.bmask, gm = f.gmask;
    const uint32_t frb = (fill & rb) * a, fg = (fill & gm) * a;
    fill_rows<Bpp>(b, [=](uint32_t t) {
      return ((((t & rb) * ia + frb) >> 8) & rb) | ((((t & gm) * ia + fg) >> 8) & gm);
    });
  }
}

// (t + f) / 2 rounded down at every depth.
template <int Bpp>
void fillhalf_rows(const Blit& b, const Format& f) {
  const uint32_t fill = repeat<Bpp>(b.param);
  const uint32_t fhalf = (fill & f.nonlowmask) >> 1, flow = fill & f.lowmask;
  fill_rows<Bpp>(b, [=, &f](uint32_t t) { return ((t & f.nonlowmask) >> 1) + fhalf + (t & flow); });
}

template <int Bpp>
void filladd_rows(const Blit& b, const Format& f) {
  const uint32_t fill = repeat<Bpp>(b.param);
  fill_rows<Bpp>(b, [=, &f](uint32_t t) { return add_sat<Bpp>(t, fill, f); });
}

template <int Bpp>
void fillsub_rows(const Blit& b, const Format& f) {
  const uint32_t fill = repeat<Bpp>(b.param);
  fill_rows<Bpp>(b, [=, &f](uint32_t t) {
    uint32_t ge = ge_mask<Bpp>(t, fill, f);
    return (t & ge) - (fill & ge);
  });
}

template <int Bpp>
void filldarken_rows(const Blit& b, const Format& f) {
  const uint32_t fill = repeat<Bpp>(b.param);
  fill_rows<Bpp>(b, [=, &f](uint32_t t) {
    uint32_t ge = ge_mask<Bpp>(t, fill, f);
    return (fill & ge) - (t & ge) + t;
  });
}

template <int Bpp>
void filllighten_rows(const Blit& b, const Format& f) {
  const uint32_t fill = repeat<Bpp>(b.param);
  fill_rows<Bpp>(b, [=, &f](uint32_t t) {
    uint32_t ge = ge_mask<Bpp>(t, fill, f);
    return (t & ge) - (fill & ge) + fill;
  });
}

// t * (f + 1) >> b per channel, b the channel's width: a white fill keeps the
// target, black clears it.
template <int Bpp>
void fillmul_rows(const Blit& b, const Format& f) {
  const uint32_t fill = repeat<Bpp>(b.param);
  if constexpr (Bpp == 1) {
    const uint32_t fr = (fill >> 5 & 7) + 1, fg = (fill >> 2 & 7) + 1, fb = (fill & 3) + 1;
    fill_rows<1>(b, [=](uint32_t t) {
      return (((((t & 0xE0E0E0E0u) >> 5) * fr) >> 3 & 0x07070707u) << 5) |
             (((((t & 0x1C1C1C1Cu) >> 2) * fg) >> 3 & 0x07070707u) << 2) |
             ((((t & 0x03030303u) * fb) >> 2) & 0x03030303u);
    });
  } else {
    // Channel widths of 8 bits or less: the product of a field by its factor
    // stays below the next field's start (16 bits apart at 16 bits per pixel).
    struct Mul {
      uint32_t mask, shift, bits, field, factor;
      Mul(uint32_t m, uint32_t sh, uint32_t loss, uint32_t fillv)
          : mask(m), shift(sh), bits(8 - loss), field(m >> sh), factor(((fillv & m) >> sh & ((1u << (8 - loss)) - 1)) + 1) {}
      uint32_t operator()(uint32_t t) const { return (((((t & mask) >> shift) * factor) >> bits) & field) << shift; }
    };
    const Mul r(f.rmask, f.rshift, f.rloss, fill), g(f.gmask, f.gshift, f.gloss, fill), bl(f.bmask, f.bshift, f.bloss, fill);
    fill_rows<Bpp>(b, [=](uint32_t t) { return r(t) | g(t) | bl(t); });
  }
}

DX_EFFECTS_INSTANTIATE(fillalpha_rows)
DX_EFFECTS_INSTANTIATE(fillhalf_rows)
DX_EFFECTS_INSTANTIATE(filladd_rows)
DX_EFFECTS_INSTANTIATE(fillsub_rows)
DX_EFFECTS_INSTANTIATE(filldarken_rows)
DX_EFFECTS_INSTANTIATE(filllighten_rows)
DX_EFFECTS_INSTANTIATE(fillmul_rows)

}  // namespace dx::effects
