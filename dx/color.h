// Colours: RGB to pixel values of the display's format and back, and the 8-bit
// palette with its nearest-entry and dither-cell caches. Pixel value 0 is the
// colour key: only black gives it.
#pragma once

#include <cstdint>

#include "platform/win32/types.h"

namespace dx {

// Sixteen palette indices laid out as a 4 x 4 cell, row-major.
struct rgbentry {
  uint8_t index[16];
};

// The 4 x 4 ordered-dither matrix (Bayer order), rows top to bottom.
inline constexpr int dithermatrix[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

// Each cache holds at most this many colours; a miss on a full cache empties it.
constexpr size_t kColorCacheLimit = 16384;

}  // namespace dx

// Channels outside 0-255 are clamped.
uint32_t dxrgb(int r, int g, int b);
uint32_t dxrgbpacked(uint32_t bgr);
COLORREF dxcolorref(uint32_t value);
uint32_t dxpixelrgb(uint32_t value);
// An index outside 0-255 changes nothing.
void dxsetpalette(int index, int r, int g, int b);
void dxresetpalette(bool reload);
void dxloadpalette(const char* name);
uint8_t dxditherindex(int x, int y, int r, int g, int b);
const dx::rgbentry& dxdithercell(int r, int g, int b);
void dxbuilddithercell(dx::rgbentry* cell, int r, int g, int b);
// Empties both caches (a palette change, the release of the layer).
void dxclearcolorcaches();
// Entries in the caches (for tests of their bound).
size_t dxcolorcachesize();
size_t dxdithercachesize();
