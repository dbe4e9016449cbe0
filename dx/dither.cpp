#include "dx/dither.h"

namespace dx {
namespace {

template <typename Pixel, typename Convert>
void Walk(const gdi::Dib& src, const platform::PixelBuffer& out, Pixel zero_substitute, Convert convert) {
  for (int y = 0; y < src.height; ++y) {
    auto* row = reinterpret_cast<Pixel*>(out.bits + static_cast<ptrdiff_t>(y) * out.pitch);
    const uint8_t* t = dither_threshold[y & 3];
    for (int x = 0; x < src.width; ++x) {
      uint32_t rgb = src.Pixel(x, y);
      if (rgb == 0) {
        row[x] = 0;
        continue;
      }
      int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
      Pixel p = convert(x, y, r, g, b, t[x & 3]);
      row[x] = p ? p : zero_substitute;
    }
  }
}

}  // namespace

void ditherdib(const gdi::Dib& src, const platform::PixelBuffer& out, ditherformat format, ditherindexfn index) {
  switch (format) {
    case ditherformat::rgb565:
      Walk<uint16_t>(src, out, 1, [](int, int, int r, int g, int b, int t) {
        return static_cast<uint16_t>(ditherlevel(r, 31, t) << 11 | ditherlevel(g, 63, t) << 5 |
                                     ditherlevel(b, 31, t));
      });
      break;
    case ditherformat::rgb555:
      Walk<uint16_t>(src, out, 1, [](int, int, int r, int g, int b, int t) {
        return static_cast<uint16_t>(ditherlevel(r, 31, t) << 10 | ditherlevel(g, 31, t) << 5 |
                                     ditherlevel(b, 31, t));
      });
      break;
    case ditherformat::default_palette:
      Walk<uint8_t>(src, out, 32, [](int, int, int r, int g, int b, int t) {
        return static_cast<uint8_t>(ditherlevel(r, 7, t) << 5 | ditherlevel(g, 7, t) << 2 | ditherlevel(b, 3, t));
      });
      break;
    case ditherformat::palette:
      Walk<uint8_t>(src, out, 32, [index](int x, int y, int r, int g, int b, int) {
        return static_cast<uint8_t>(index ? index(x, y, r, g, b) : 0);
      });
      break;
  }
}

}  // namespace dx
