// Converting 24-bit pictures to the 8- and 16-bit display formats with the 4 x 4
// ordered dither, once at load time.
#pragma once

#include <cstdint>

#include "platform/gdi/dib.h"
#include "platform/pixels.h"

namespace dx {

// The ordered-dither thresholds (the Bayer order times 16 plus 8), rows top to bottom.
inline constexpr uint8_t dither_threshold[4][4] = {
    {8, 136, 40, 168}, {200, 72, 232, 104}, {56, 184, 24, 152}, {248, 120, 216, 88}};

// A channel value c (0-255) reduced to n levels against threshold t: rounded up
// where the remainder of c * n / 255 exceeds the threshold.
constexpr int ditherlevel(int c, int n, int t) { return c * n / 255 + (t < c * n % 255 ? 1 : 0); }

enum class ditherformat { rgb565, rgb555, default_palette, palette };

// The palette index for a changed 8-bit palette (the dither cell's entry).
using ditherindexfn = uint8_t (*)(int x, int y, int r, int g, int b);

// Writes every pixel of `src` into `out` (of the same size). Black stays 0, the
// colour key; a non-black pixel that would come out 0 becomes 1 (32 at 8 bits).
// Rows are taken from the picture's top whatever the storage order.
void ditherdib(const gdi::Dib& src, const platform::PixelBuffer& out, ditherformat format,
               ditherindexfn index = nullptr);

}  // namespace dx
