// The display's pixel format in the form the pixel effects and dxrgb use:
// per-channel masks, shifts and losses, and masks that work on several channels
// (and at 8 and 16 bits on several pixels) with one 32-bit operation.
#pragma once

#include <cstdint>

namespace dx {

struct pixelformat {
  uint32_t rmask, gmask, bmask;
  uint32_t rshift, gshift, bshift;
  uint32_t rloss, gloss, bloss;
  uint32_t allmask, lowmask, nonlowmask, topmask;
  uint32_t bytesperpixel;
};

// The display's format, filled by dxinitblendmasks.
extern pixelformat dxpixelformat;

// The format of a depth with the given channel masks (ignored at 8 bits).
// False when a mask is empty.
bool makepixelformat(int bpp, uint32_t rmask, uint32_t gmask, uint32_t bmask, pixelformat* out);

}  // namespace dx

// Fills dx::dxpixelformat from the back buffer; stops the program on a format
// without a red, green or blue channel.
void dxinitblendmasks();
