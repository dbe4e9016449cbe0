#include "dx/pixelformat.h"

#include "dx/display.h"
#include "dx/error.h"

namespace dx {

pixelformat dxpixelformat{};

namespace {

void Channel(uint32_t mask, uint32_t* shift, uint32_t* loss) {
  uint32_t s = 0;
  while (!((mask >> s) & 1)) ++s;
  uint32_t n = 0;
  while (s + n < 32 && ((mask >> (s + n)) & 1)) ++n;
  *shift = s;
  *loss = 8 - n;
}

}  // namespace

bool makepixelformat(int bpp, uint32_t rmask, uint32_t gmask, uint32_t bmask, pixelformat* out) {
  pixelformat f{};
  if (bpp == 8) {
    f.rmask = 0xE0E0E0E0, f.gmask = 0x1C1C1C1C, f.bmask = 0x03030303;
    f.rshift = 5, f.gshift = 2, f.bshift = 0;
    f.rloss = 5, f.gloss = 5, f.bloss = 6;
  } else {
    if (!rmask || !gmask || !bmask) return false;
    f.rmask = rmask, f.gmask = gmask, f.bmask = bmask;
    Channel(rmask, &f.rshift, &f.rloss);
    Channel(gmask, &f.gshift, &f.gloss);
    Channel(bmask, &f.bshift, &f.bloss);
    if (bpp == 16) f.rmask |= f.rmask << 16, f.gmask |= f.gmask << 16, f.bmask |= f.bmask << 16;
  }
  f.allmask = f.rmask | f.gmask | f.bmask;
  f.lowmask = 1u << f.rshift | 1u << f.gshift | 1u << f.bshift;
  if (bpp == 8) f.lowmask *= 0x01010101u;
  if (bpp == 16) f.lowmask |= f.lowmask << 16;
  f.nonlowmask = f.allmask & ~f.lowmask;
  f.topmask = f.allmask & ~(f.nonlowmask >> 1);
  f.bytesperpixel = static_cast<uint32_t>(bpp / 8);
  *out = f;
  return true;
}

}  // namespace dx

void dxinitblendmasks() {
  DDPIXELFORMAT pf{};
  pf.dwSize = sizeof(pf);
  if (dxscreendepth != 8 && dxbackbuffer) dxbackbuffer->GetPixelFormat(&pf);
  if (!dx::makepixelformat(dxscreendepth, pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask, &dx::dxpixelformat))
    dxerror("このカラーモードでは動作しません。");
}
