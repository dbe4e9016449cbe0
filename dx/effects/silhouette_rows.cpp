// Silhouette workers: the source only gives the shape; the colour is the operand.
// At 32 bits the solid and additive silhouettes key on the low 24 bits.
#include "dx/effects/words.h"

namespace dx::effects {

template <int Bpp>
void silhouette_rows(const Blit& b, const Format&) {
  const uint32_t c = repeat<Bpp>(b.param);
  keyed_rows<Bpp, 0x00FFFFFFu>(b, [c](uint32_t, uint32_t) { return c; });
}

template <int Bpp>
void silhouetteadd_rows(const Blit& b, const Format& f) {
  const uint32_t c = repeat<Bpp>(b.param);
  keyed_rows<Bpp, 0x00FFFFFFu>(b, [c, &f](uint32_t t, uint32_t) { return add_sat<Bpp>(t, c, f); });
}

template <int Bpp>
void silhouettealpha_rows(const Blit& b, const Format& f) {
  const uint32_t c = repeat<Bpp>(b.param);
  const Blend<Bpp> blend(b.param2, f);
  keyed_rows<Bpp>(b, [c, blend](uint32_t t, uint32_t) { return blend(t, c); });
}

DX_EFFECTS_INSTANTIATE(silhouette_rows)
DX_EFFECTS_INSTANTIATE(silhouetteadd_rows)
DX_EFFECTS_INSTANTIATE(silhouettealpha_rows)

}  // namespace dx::effects
