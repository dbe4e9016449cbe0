// Writes small PNGs in memory for the loader's tests and seeds.
#pragma once

#include <png.h>

#include <cstdint>
#include <vector>

namespace testpng {

inline void Append(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
inline void Flush(png_structp) {}

// pixels: rows top to bottom, `channels` samples of `depth` bits each, packed
// as libpng expects (16-bit samples big-endian).
inline std::vector<uint8_t> Encode(int w, int h, int color_type, int depth, const std::vector<uint8_t>& pixels,
                                   bool interlaced = false) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, Append, Flush);
  png_set_IHDR(png, info, w, h, depth, color_type, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (color_type == PNG_COLOR_TYPE_PALETTE) {
    png_color pal[2] = {{0, 0, 0}, {255, 255, 255}};
    png_set_PLTE(png, info, pal, 2);
  }
  png_write_info(png, info);
  size_t rowbytes = png_get_rowbytes(png, info);
  std::vector<png_bytep> rows;
  for (int y = 0; y < h; ++y) rows.push_back(const_cast<uint8_t*>(pixels.data()) + rowbytes * y);
  if (interlaced) png_set_interlace_handling(png);
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// An 8-bit RGB PNG whose pixel (x, y) is (x * 7 + y, y * 5, x ^ y) modulo 256.
inline std::vector<uint8_t> Pattern(int w, int h, bool interlaced = false) {
  std::vector<uint8_t> px;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      px.push_back(static_cast<uint8_t>(x * 7 + y));
      px.push_back(static_cast<uint8_t>(y * 5));
      px.push_back(static_cast<uint8_t>(x ^ y));
    }
  return Encode(w, h, PNG_COLOR_TYPE_RGB, 8, px, interlaced);
}

}  // namespace testpng
