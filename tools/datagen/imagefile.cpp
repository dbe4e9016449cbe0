#include "tools/datagen/imagefile.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "tools/datagen/bytes.h"

namespace datagen {

namespace {

void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

void PngFlush(png_structp) {}

void PutBE16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x >> 8));
  v.push_back(static_cast<uint8_t>(x));
}

}  // namespace

std::vector<uint8_t> EncodePng(const Canvas& c) {
  std::vector<uint8_t> out;
  std::vector<uint8_t> rgb = c.FinalRgb();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) throw std::runtime_error("libpng write structures");
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng write failed");
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  png_set_IHDR(png, info, c.width(), c.height(), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  for (int y = 0; y < c.height(); ++y) png_write_row(png, &rgb[static_cast<size_t>(y) * c.width() * 3]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> EncodeBmp(const Canvas& c) {
  std::vector<uint8_t> rgb = c.FinalRgb();
  uint32_t stride = (static_cast<uint32_t>(c.width()) * 3 + 3) & ~3u;
  uint32_t bits = stride * c.height();
  std::vector<uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  Put32(v, 54 + bits);
  Put32(v, 0);
  Put32(v, 54);
  Put32(v, 40);
  Put32(v, c.width());
  Put32(v, c.height());
  Put16(v, 1);
  Put16(v, 24);
  Put32(v, 0);
  Put32(v, bits);
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, 0);
  Put32(v, 0);
  // Bottom-up rows of B, G, R.
  for (int y = c.height() - 1; y >= 0; --y) {
    size_t row = v.size();
    for (int x = 0; x < c.width(); ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * c.width() + x) * 3];
      v.push_back(p[2]);
      v.push_back(p[1]);
      v.push_back(p[0]);
    }
    while (v.size() - row < stride) v.push_back(0);
  }
  return v;
}

namespace {

// Bit writer of the entropy-coded segment, with the 0xFF byte stuffing.
struct BitWriter {
  std::vector<uint8_t>& out;
  uint32_t acc = 0;
  int n = 0;
  void Put(uint32_t code, int len) {
    for (int i = len - 1; i >= 0; --i) {
      acc = (acc << 1) | ((code >> i) & 1);
      if (++n == 8) {
        out.push_back(static_cast<uint8_t>(acc));
        if ((acc & 0xFF) == 0xFF) out.push_back(0);
        acc = 0;
        n = 0;
      }
    }
  }
  void Flush() {
    while (n != 0) Put(1, 1);
  }
};

int Category(int v) {
  v = std::abs(v);
  int s = 0;
  while (v) {
    ++s;
    v >>= 1;
  }
  return s;
}

uint32_t ValueBits(int v, int s) { return v >= 0 ? static_cast<uint32_t>(v) : static_cast<uint32_t>(v + (1 << s) - 1); }

}  // namespace

std::vector<uint8_t> EncodeJpeg(const Canvas& c, int quality) {
  static const int kLuma[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
  // Natural index of each zigzag position.
  int zigzag[64];
  {
    int k = 0;
    for (int s = 0; s < 15; ++s) {
      int lo = s < 8 ? 0 : s - 7, hi = s < 8 ? s : 7;
      if (s % 2 == 1)
        for (int r = lo; r <= hi; ++r) zigzag[k++] = r * 8 + (s - r);
      else
        for (int r = hi; r >= lo; --r) zigzag[k++] = r * 8 + (s - r);
    }
  }
  quality = quality < 1 ? 1 : quality > 100 ? 100 : quality;
  int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
  int q[64];
  for (int i = 0; i < 64; ++i) {
    int v = (kLuma[i] * scale + 50) / 100;
    q[i] = v < 1 ? 1 : v > 255 ? 255 : v;
  }
  // Our own Huffman tables: 12 DC categories of 4 bits, 162 AC symbols of 8.
  std::vector<uint8_t> acSymbols = {0x00, 0xF0};
  for (int r = 0; r < 16; ++r)
    for (int s = 1; s <= 10; ++s) acSymbols.push_back(static_cast<uint8_t>(r << 4 | s));
  uint32_t acCode[256] = {};
  for (size_t i = 0; i < acSymbols.size(); ++i) acCode[acSymbols[i]] = static_cast<uint32_t>(i);

  std::vector<uint8_t> v = {0xFF, 0xD8};
  // JFIF header.
  v.insert(v.end(), {0xFF, 0xE0});
  PutBE16(v, 16);
  v.insert(v.end(), {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
  v.insert(v.end(), {0xFF, 0xDB});
  PutBE16(v, 67);
  v.push_back(0);
  for (int k = 0; k < 64; ++k) v.push_back(static_cast<uint8_t>(q[zigzag[k]]));
  v.insert(v.end(), {0xFF, 0xC0});
  PutBE16(v, 17);
  v.push_back(8);
  PutBE16(v, c.height());
  PutBE16(v, c.width());
  v.push_back(3);
  for (uint8_t id = 1; id <= 3; ++id) v.insert(v.end(), {id, 0x11, 0});
  v.insert(v.end(), {0xFF, 0xC4});
  PutBE16(v, 2 + 17 + 12);
  v.push_back(0x00);
  for (int i = 1; i <= 16; ++i) v.push_back(i == 4 ? 12 : 0);
  for (uint8_t s = 0; s < 12; ++s) v.push_back(s);
  v.insert(v.end(), {0xFF, 0xC4});
  PutBE16(v, static_cast<uint32_t>(2 + 17 + acSymbols.size()));
  v.push_back(0x10);
  for (int i = 1; i <= 16; ++i) v.push_back(i == 8 ? static_cast<uint8_t>(acSymbols.size()) : 0);
  v.insert(v.end(), acSymbols.begin(), acSymbols.end());
  v.insert(v.end(), {0xFF, 0xDA});
  PutBE16(v, 12);
  v.push_back(3);
  for (uint8_t id = 1; id <= 3; ++id) v.insert(v.end(), {id, 0x00});
  v.insert(v.end(), {0, 63, 0});

  BitWriter bw{v};
  int prev[3] = {0, 0, 0};
  std::vector<uint8_t> rgb = c.FinalRgb();
  double cosTable[8][8];
  for (int x = 0; x < 8; ++x)
    for (int u = 0; u < 8; ++u) cosTable[x][u] = std::cos((2 * x + 1) * u * M_PI / 16);
  for (int by = 0; by < c.height(); by += 8) {
    for (int bx = 0; bx < c.width(); bx += 8) {
      double block[3][64];
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
          int sx = std::min(bx + x, c.width() - 1), sy = std::min(by + y, c.height() - 1);
          const uint8_t* p = &rgb[(static_cast<size_t>(sy) * c.width() + sx) * 3];
          double r = p[0], g = p[1], b = p[2];
          block[0][y * 8 + x] = 0.299 * r + 0.587 * g + 0.114 * b - 128;
          block[1][y * 8 + x] = -0.168736 * r - 0.331264 * g + 0.5 * b;
          block[2][y * 8 + x] = 0.5 * r - 0.418688 * g - 0.081312 * b;
        }
      for (int comp = 0; comp < 3; ++comp) {
        int coef[64];
        for (int v2 = 0; v2 < 8; ++v2)
          for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int y = 0; y < 8; ++y)
              for (int x = 0; x < 8; ++x) sum += block[comp][y * 8 + x] * cosTable[x][u] * cosTable[y][v2];
            double cu = u ? 1.0 : M_SQRT1_2, cv = v2 ? 1.0 : M_SQRT1_2;
            coef[v2 * 8 + u] = static_cast<int>(std::lround(0.25 * cu * cv * sum / q[v2 * 8 + u]));
          }
        int diff = coef[0] - prev[comp];
        prev[comp] = coef[0];
        int s = Category(diff);
        bw.Put(static_cast<uint32_t>(s), 4);
        if (s) bw.Put(ValueBits(diff, s), s);
        int run = 0;
        for (int k = 1; k < 64; ++k) {
          int a = coef[zigzag[k]];
          if (a == 0) {
            ++run;
            continue;
          }
          while (run > 15) {
            bw.Put(acCode[0xF0], 8);
            run -= 16;
          }
          int sa = Category(a);
          if (sa > 10) {  // cannot happen with 8-bit samples; keep the stream valid anyway
            a = a > 0 ? 1023 : -1023;
            sa = 10;
          }
          bw.Put(acCode[run << 4 | sa], 8);
          bw.Put(ValueBits(a, sa), sa);
          run = 0;
        }
        if (run > 0) bw.Put(acCode[0x00], 8);
      }
    }
  }
  bw.Flush();
  v.insert(v.end(), {0xFF, 0xD9});
  return v;
}

}  // namespace datagen
