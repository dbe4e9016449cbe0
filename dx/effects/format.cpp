#include "dx/effects/format.h"

#include <bit>

namespace dx::effects {

namespace {

// Shift = zero bits below the mask; loss = 8 minus the run of set bits from there.
void channel(uint32_t mask, uint32_t* shift, uint32_t* loss) {
  *shift = static_cast<uint32_t>(std::countr_zero(mask));
  *loss = 8 - static_cast<uint32_t>(std::countr_one(mask >> *shift));
}

}  // namespace

bool make_format(int bpp, uint32_t rmask, uint32_t gmask, uint32_t bmask, Format* out) {
  Format f;
  if (bpp == 8) {
    rmask = 0xE0, gmask = 0x1C, bmask = 0x03;
  } else if (bpp != 16 && bpp != 24 && bpp != 32) {
    return false;
  }
  if (rmask == 0 || gmask == 0 || bmask == 0) return false;
  channel(rmask, &f.rshift, &f.rloss);
  channel(gmask, &f.gshift, &f.gloss);
  channel(bmask, &f.bshift, &f.bloss);
  uint32_t low = (1u << f.rshift) | (1u << f.gshift) | (1u << f.bshift);
  if (bpp == 8) {
    rmask *= 0x01010101u, gmask *= 0x01010101u, bmask *= 0x01010101u;
    low *= 0x01010101u;
  } else if (bpp == 16) {
    rmask |= rmask << 16, gmask |= gmask << 16, bmask |= bmask << 16;
    low |= low << 16;
  }
  f.rmask = rmask, f.gmask = gmask, f.bmask = bmask;
  f.allmask = rmask | gmask | bmask;
  f.lowmask = low;
  f.nonlowmask = f.allmask & ~low;
  f.topmask = f.allmask & ~(f.nonlowmask >> 1);
  f.bytesperpixel = static_cast<uint32_t>(bpp / 8);
  *out = f;
  return true;
}

namespace {
Format made(int bpp, uint32_t r, uint32_t g, uint32_t b) {
  Format f;
  make_format(bpp, r, g, b, &f);
  return f;
}
}  // namespace

Format format8() { return made(8, 0, 0, 0); }
Format format565() { return made(16, 0xF800, 0x07E0, 0x001F); }
Format format555() { return made(16, 0x7C00, 0x03E0, 0x001F); }
Format format24() { return made(24, 0xFF0000, 0xFF00, 0xFF); }
Format format32() { return made(32, 0xFF0000, 0xFF00, 0xFF); }

}  // namespace dx::effects
