// The channel layout the pixel workers compute with: masks, shifts and losses of
// the display format, and the derived lane masks that let one 32-bit operation
// treat several channels (and at 8 and 16 bits several pixels) at once.
#pragma once

#include <cstdint>

namespace dx::effects {

struct Format {
  uint32_t rmask = 0, gmask = 0, bmask = 0;  // repeated per pixel of a word at 8 and 16 bits
  uint32_t rshift = 0, gshift = 0, bshift = 0;
  uint32_t rloss = 0, gloss = 0, bloss = 0;
  uint32_t allmask = 0, lowmask = 0, nonlowmask = 0, topmask = 0;
  uint32_t bytesperpixel = 0;
};

// The layout for a depth of 8 (the fixed 3-3-2 palette layout; the masks are
// ignored), 16, 24 or 32 bits with the given channel masks of one pixel. False
// for another depth or an empty channel mask.
bool make_format(int bpp, uint32_t rmask, uint32_t gmask, uint32_t bmask, Format* out);

// The layouts of the emulated display modes.
Format format8();
Format format565();
Format format555();
Format format24();
Format format32();

}  // namespace dx::effects
