// Decoding pictures: DIB layouts, the ordered dither, and PNG files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dx/bmpfile.h"
#include "dx/dither.h"
#include "dx/pngload.h"
#include "platform/gdi/dib.h"
#include "png_writer.h"
#include "dx/package.h"
#include "tests/package/temp_dir.h"
#include "tools/mkpack/packwriter.h"
#include <filesystem>

namespace {

// A DIB file body: header, then `extra` (masks or colour table), then rows.
std::vector<uint8_t> MakeDib(int w, int h, int bpp, DWORD compression, const std::vector<uint8_t>& extra,
                             const std::vector<std::vector<uint8_t>>& rows_top_down, bool top_down,
                             DWORD clr_used = 0) {
  BITMAPINFOHEADER hd{};
  hd.biSize = 40;
  hd.biWidth = w;
  hd.biHeight = top_down ? -h : h;
  hd.biPlanes = 1;
  hd.biBitCount = static_cast<WORD>(bpp);
  hd.biCompression = compression;
  hd.biClrUsed = clr_used;
  std::vector<uint8_t> out(sizeof hd);
  std::memcpy(out.data(), &hd, sizeof hd);
  for (uint8_t b : extra) out.push_back(b);
  size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  for (int i = 0; i < h; ++i) {
    std::vector<uint8_t> row = rows_top_down[top_down ? i : h - 1 - i];
    row.resize(stride, 0xEE);  // fill bytes that must never be read as pixels
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

bool Parse(const std::vector<uint8_t>& f, gdi::Dib& d, bool full_table = false) {
  if (!gdi::ParseDibHeader(f.data(), f.size(), full_table, d)) return false;
  return gdi::AttachDibBits(d, f.data() + d.header_size, f.size() - d.header_size);
}

TEST(DibDecode, TwentyFourBitsBothOrdersAndPaddedRows) {
  // 3 pixels wide: 9 bytes of pixels and 3 fill bytes a row.
  std::vector<std::vector<uint8_t>> rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}};
  for (bool top_down : {false, true}) {
    auto f = MakeDib(3, 2, 24, BI_RGB, {}, rows, top_down);
    gdi::Dib d;
    ASSERT_TRUE(Parse(f, d));
    EXPECT_EQ(d.stride, 12u);
    EXPECT_EQ(d.Pixel(0, 0), 0x030201u);
    EXPECT_EQ(d.Pixel(2, 0), 0x090807u);
    EXPECT_EQ(d.Pixel(1, 1), 0x0F0E0Du);
  }
}

TEST(DibDecode, PaletteDepths) {
  std::vector<uint8_t> table;
  for (int i = 0; i < 16; ++i) table.insert(table.end(), {uint8_t(i), uint8_t(i * 2), uint8_t(i * 3), 0});
  // 1 bit: 0b10100000 -> indices 1,0,1
  auto f1 = MakeDib(3, 1, 1, BI_RGB, std::vector<uint8_t>(table.begin(), table.begin() + 8), {{0xA0}}, false);
  gdi::Dib d;
  ASSERT_TRUE(Parse(f1, d));
  EXPECT_EQ(d.Pixel(0, 0), 0x030201u);
  EXPECT_EQ(d.Pixel(1, 0), 0u);
  // 4 bits: 0x5F -> 5, 15
  auto f4 = MakeDib(2, 1, 4, BI_RGB, table, {{0x5F}}, true);
  ASSERT_TRUE(Parse(f4, d));
  EXPECT_EQ(d.Pixel(0, 0), 0x0F0A05u);
  EXPECT_EQ(d.Pixel(1, 0), 0x2D1E0Fu);
  // 8 bits with a short table: an index past the table reads black.
  auto f8 = MakeDib(2, 1, 8, BI_RGB, std::vector<uint8_t>(table.begin(), table.begin() + 8), {{1, 200}}, false, 2);
  ASSERT_TRUE(Parse(f8, d));
  EXPECT_EQ(d.Pixel(0, 0), 0x030201u);
  EXPECT_EQ(d.Pixel(1, 0), 0u);
  // biClrUsed beyond 2^bits is malformed.
  auto bad = MakeDib(2, 1, 4, BI_RGB, table, {{0}}, false, 17);
  EXPECT_FALSE(Parse(bad, d));
}

TEST(DibDecode, SixteenAndThirtyTwoBitsWithAndWithoutMasks) {
  gdi::Dib d;
  // 5-5-5 default: 0x7FFF white, 0x7C00 red.
  auto f = MakeDib(2, 1, 16, BI_RGB, {}, {{0xFF, 0x7F, 0x00, 0x7C}}, false);
  ASSERT_TRUE(Parse(f, d));
  EXPECT_EQ(d.Pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(d.Pixel(1, 0), 0xFF0000u);
  // 5-6-5 bit fields: 0x07E0 is full green.
  std::vector<uint8_t> m565 = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
  auto g = MakeDib(1, 1, 16, BI_BITFIELDS, m565, {{0xE0, 0x07}}, true);
  ASSERT_TRUE(Parse(g, d));
  EXPECT_EQ(d.Pixel(0, 0), 0x00FF00u);
  // 32 bits: B, G, R, X.
  auto h = MakeDib(1, 1, 32, BI_RGB, {}, {{0x11, 0x22, 0x33, 0x99}}, false);
  ASSERT_TRUE(Parse(h, d));
  EXPECT_EQ(d.Pixel(0, 0), 0x332211u);
  // A header longer than 40 bytes but too short for the masks it claims.
  auto odd = MakeDib(1, 1, 32, BI_BITFIELDS, {1, 2, 3, 4}, {{0, 0, 0, 0}}, false);
  uint32_t size44 = 44;
  std::memcpy(odd.data(), &size44, 4);
  odd.resize(44);
  EXPECT_FALSE(gdi::ParseDibHeader(odd.data(), odd.size(), false, d));
  // A mask with a hole is refused.
  std::vector<uint8_t> holes = {0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(Parse(MakeDib(1, 1, 32, BI_BITFIELDS, holes, {{0, 0, 0, 0}}, false), d));
}

TEST(DibDecode, CoreHeadersWithThreeByteColours) {
  // 12-byte header: width 3, height 1, 1 plane, 4 bits; a full table of 16 B, G, R entries.
  std::vector<uint8_t> f = {12, 0, 0, 0, 3, 0, 1, 0, 1, 0, 4, 0};
  for (int i = 0; i < 16; ++i) f.insert(f.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(3 * i)});
  f.insert(f.end(), {0x12, 0xF0, 0, 0});
  gdi::Dib d;
  ASSERT_TRUE(dxparsebmp(f.data(), f.size(), d));
  EXPECT_EQ(d.color_size, 3);
  EXPECT_EQ(d.Pixel(0, 0), 0x030201u);
  EXPECT_EQ(d.Pixel(1, 0), 0x060402u);
  EXPECT_EQ(d.Pixel(2, 0), 0x2D1E0Fu);
  f.resize(f.size() - 1);
  EXPECT_FALSE(dxparsebmp(f.data(), f.size(), d));
}

TEST(DibDecode, RefusesBadSizesAndShortData) {
  gdi::Dib d;
  std::vector<std::vector<uint8_t>> one = {{1, 2, 3}};
  auto f = MakeDib(1, 1, 24, BI_RGB, {}, one, false);
  auto set = [&](size_t off, int32_t v) { std::memcpy(f.data() + off, &v, 4); };
  set(4, 0);
  EXPECT_FALSE(Parse(f, d));  // width 0
  set(4, -3);
  EXPECT_FALSE(Parse(f, d));
  set(4, 1 << 30);
  EXPECT_FALSE(Parse(f, d));  // huge width
  set(4, 1);
  set(8, 0);
  EXPECT_FALSE(Parse(f, d));
  set(8, INT32_MIN);
  EXPECT_FALSE(Parse(f, d));
  set(8, 2);  // two rows claimed, one present
  EXPECT_FALSE(Parse(f, d));
  set(8, 1);
  ASSERT_TRUE(Parse(f, d));
  EXPECT_FALSE(gdi::ParseDibHeader(f.data(), 39, false, d));  // header cut short
  f[16] = 1;                                                  // RLE is not read
  EXPECT_FALSE(Parse(f, d));
}

std::vector<uint8_t> Seed(const std::string& name) {
  std::ifstream in(std::string(DOLVICAR_SOURCE_DIR) + "/fuzz/corpus/" + name, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(BmpFile, FileHeaderOffsetsAreChecked) {
  auto f = Seed("bmp/rgb24.bmp");
  ASSERT_GT(f.size(), 54u);
  gdi::Dib d;
  ASSERT_TRUE(dxparsebmp(f.data(), f.size(), d));
  EXPECT_EQ(d.width, 5);
  EXPECT_EQ(d.height, 3);
  auto set_offset = [&](uint32_t v) { std::memcpy(f.data() + 10, &v, 4); };
  set_offset(20);  // inside the header
  EXPECT_FALSE(dxparsebmp(f.data(), f.size(), d));
  set_offset(static_cast<uint32_t>(f.size()));
  EXPECT_FALSE(dxparsebmp(f.data(), f.size(), d));
  set_offset(0xFFFFFFF0u);
  EXPECT_FALSE(dxparsebmp(f.data(), f.size(), d));
  set_offset(54);
  EXPECT_FALSE(dxparsebmp(f.data(), f.size() - 1, d));  // the last row cut short
  // An 8-bit file whose colour table runs past the end.
  auto p = Seed("bmp/pal8.bmp");
  ASSERT_TRUE(dxparsebmp(p.data(), p.size(), d));
  EXPECT_EQ(d.color_count, 256);
  uint32_t first = d.Pixel(0, 0), last = d.Pixel(5, 1);
  EXPECT_FALSE(dxparsebmp(p.data(), 14 + 40 + 1000, d));
  // A packed DIB (no file header) with its full colour table.
  std::vector<uint8_t> packed(p.begin() + 14, p.end());
  ASSERT_TRUE(dxparsebmp(packed.data(), packed.size(), d));
  EXPECT_EQ(d.Pixel(0, 0), first);
  EXPECT_EQ(d.Pixel(5, 1), last);
  auto fields = Seed("bmp/bits565.bmp");
  EXPECT_TRUE(dxparsebmp(fields.data(), fields.size(), d));
  auto png = Seed("png/rgb8.png");
  PngImage* img = PngDecodeMemory(png.data(), png.size());
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->width, 7);
  PngFreeImage(img);
}

// Converts one flat colour to 16 bits 5-6-5 and returns the 4 x 4 block.
std::vector<uint16_t> Dither565(uint8_t r, uint8_t g, uint8_t b, bool top_down) {
  std::vector<std::vector<uint8_t>> rows(4);
  for (auto& row : rows)
    for (int x = 0; x < 4; ++x) row.insert(row.end(), {b, g, r});
  auto f = MakeDib(4, 4, 24, BI_RGB, {}, rows, top_down);
  gdi::Dib d;
  EXPECT_TRUE(Parse(f, d));
  std::vector<uint16_t> out(16);
  platform::PixelBuffer pb;
  pb.bits = reinterpret_cast<uint8_t*>(out.data());
  pb.width = 4, pb.height = 4, pb.pitch = 8;
  pb.format = {16, 0xF800, 0x07E0, 0x001F};
  dx::ditherdib(d, pb, dx::ditherformat::rgb565);
  return out;
}

TEST(Dither, WorkedExamples) {
  // Mid-grey rounds red and blue up where the threshold is below 143 (9 cells),
  // green where it is below 159 (10 cells).
  for (bool top_down : {false, true}) {
    auto grey = Dither565(128, 128, 128, top_down);
    int r16 = 0, g32 = 0, b16 = 0;
    for (int i = 0; i < 16; ++i) {
      int r = grey[i] >> 11, g = (grey[i] >> 5) & 63, b = grey[i] & 31;
      EXPECT_TRUE(r == 15 || r == 16);
      EXPECT_TRUE(g == 31 || g == 32);
      r16 += r == 16, g32 += g == 32, b16 += b == 16;
      int t = dx::dither_threshold[i / 4][i % 4];
      EXPECT_EQ(r == 16, t < 143) << i;  // the matrix row is the picture's row from the top
    }
    EXPECT_EQ(r16, 9);
    EXPECT_EQ(b16, 9);
    EXPECT_EQ(g32, 10);
    // (1, 1, 1) gives 1 at the 12 cells whose threshold is 63 or more.
    auto dark = Dither565(1, 1, 1, top_down);
    int ones = 0;
    for (uint16_t p : dark) {
      ones += p == 1;
      EXPECT_NE(p, 0);
    }
    EXPECT_EQ(ones, 12);
    for (uint16_t p : Dither565(0, 0, 0, top_down)) EXPECT_EQ(p, 0);
  }
}

TEST(Dither, EightBitsAndFiveFiveFive) {
  std::vector<std::vector<uint8_t>> rows = {{1, 1, 1, 255, 255, 255, 0, 0, 0, 0, 0, 255}};
  auto f = MakeDib(4, 1, 24, BI_RGB, {}, rows, false);
  gdi::Dib d;
  ASSERT_TRUE(Parse(f, d));
  uint8_t out8[4];
  platform::PixelBuffer pb;
  pb.bits = out8, pb.width = 4, pb.height = 1, pb.pitch = 4, pb.format = {8, 0, 0, 0};
  dx::ditherdib(d, pb, dx::ditherformat::default_palette);
  EXPECT_EQ(out8[0], 32);  // dark, not black
  EXPECT_EQ(out8[1], 255);
  EXPECT_EQ(out8[2], 0);
  EXPECT_EQ(out8[3], 7 << 5);
  uint16_t out16[4];
  pb.bits = reinterpret_cast<uint8_t*>(out16), pb.pitch = 8, pb.format = {16, 0x7C00, 0x03E0, 0x001F};
  dx::ditherdib(d, pb, dx::ditherformat::rgb555);
  EXPECT_EQ(out16[0], 0x0421);  // threshold 8 is below 31, the remainder of 1 * 31
  EXPECT_EQ(out16[1], 0x7FFF);
  EXPECT_EQ(out16[2], 0);
  EXPECT_EQ(out16[3], 0x7C00);
  // A changed palette asks for each cell's index; a 0 answer for a non-black pixel becomes 32.
  static std::vector<int> seen;
  seen.clear();
  pb.bits = out8, pb.pitch = 4, pb.format = {8, 0, 0, 0};
  dx::ditherdib(d, pb, dx::ditherformat::palette, [](int x, int, int r, int, int) -> uint8_t {
    seen.push_back(x);
    return r == 255 ? 7 : 0;
  });
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(out8[0], 32);
  EXPECT_EQ(out8[1], 7);
  EXPECT_EQ(out8[2], 0);
}

TEST(PngDecode, ReadsEightBitRgb) {
  for (bool interlaced : {false, true}) {
    auto file = testpng::Pattern(33, 5, interlaced);
    PngImage* img = PngDecodeMemory(file.data(), file.size());
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, 33);
    EXPECT_EQ(img->height, 5);
    EXPECT_EQ(GetPngPixel(img, 3, 2), 0xFF000000u | (3u ^ 2) << 16 | 10u << 8 | 23u);
    EXPECT_EQ(GetPngPixel(img, 33, 0), 0xFF000000u);
    // 33 pixels: rows 100 bytes apart, bottom-up, B, G, R.
    DibImage dib;
    ASSERT_NE(PngImageToDib(img, &dib), nullptr);
    EXPECT_EQ(dib.info.bmiHeader.biSizeImage, 500u);
    EXPECT_EQ(dib.info.bmiHeader.biHeight, 5);
    EXPECT_EQ(dib.info.bmiHeader.biBitCount, 24);
    const uint8_t* top_left = dib.bits + 100 * 4;  // the top row is stored last
    EXPECT_EQ(top_left[0], 0);
    EXPECT_EQ(top_left[2], 0);
    EXPECT_EQ(dib.bits[100 + 3 * 32 + 2], uint8_t(32 * 7 + 3));  // row 3 from the top, last pixel's red
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 33; ++x) {
        uint32_t p = GetPngPixel(img, x, y);
        uint32_t want = 0xFF000000u | (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF);
        EXPECT_EQ(GetDibPixel(&dib, x, y), want);
      }
    std::free(dib.bits);
    PngFreeImage(img);
  }
}

TEST(PngDecode, RefusesOtherKindsAndDamage) {
  std::vector<uint8_t> grey(4 * 4, 100), rgba(4 * 4 * 4, 100), rgb16(4 * 4 * 6, 100), pal(4 * 4, 1);
  EXPECT_EQ(PngDecodeMemory(testpng::Encode(4, 4, PNG_COLOR_TYPE_GRAY, 8, grey).data(), 100000), nullptr);
  auto a = testpng::Encode(4, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8, rgba);
  EXPECT_EQ(PngDecodeMemory(a.data(), a.size()), nullptr);
  auto b = testpng::Encode(4, 4, PNG_COLOR_TYPE_RGB, 16, rgb16);
  EXPECT_EQ(PngDecodeMemory(b.data(), b.size()), nullptr);
  auto c = testpng::Encode(4, 4, PNG_COLOR_TYPE_PALETTE, 8, pal);
  EXPECT_EQ(PngDecodeMemory(c.data(), c.size()), nullptr);
  auto good = testpng::Pattern(16, 16);
  // Cut inside the image data, or damaged: null, nothing leaked (the sanitizer build checks).
  for (size_t cut : {size_t{0}, size_t{3}, size_t{8}, size_t{40}, good.size() / 2, good.size() - 13})
    EXPECT_EQ(PngDecodeMemory(good.data(), cut), nullptr) << cut;
  auto bad = good;
  bad[1] = 'X';
  EXPECT_EQ(PngDecodeMemory(bad.data(), bad.size()), nullptr);
  bad = good;
  bad[bad.size() / 2] ^= 0x55;  // corrupt data or CRC
  PngImage* img = PngDecodeMemory(bad.data(), bad.size());
  EXPECT_EQ(img, nullptr);
  PngFreeImage(img);
}

TEST(PngDecode, AFileThatEndsAfterItsImageIsWhole) {
  for (bool interlaced : {false, true}) {
    auto whole = testpng::Pattern(12, 7, interlaced);
    // The last 12 bytes are the end chunk: without them the image is all there.
    std::vector<uint8_t> cut(whole.begin(), whole.end() - 12);
    PngImage* a = PngDecodeMemory(whole.data(), whole.size());
    PngImage* b = PngDecodeMemory(cut.data(), cut.size());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr) << interlaced;
    EXPECT_EQ(b->width, 12);
    EXPECT_EQ(b->height, 7);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 12; ++x) EXPECT_EQ(GetPngPixel(b, x, y), GetPngPixel(a, x, y));
    PngFreeImage(a);
    PngFreeImage(b);
    // One byte less, and the image data's check sum is cut: refused.
    EXPECT_EQ(PngDecodeMemory(cut.data(), cut.size() - 1), nullptr);
  }
}

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

TEST(PngLoad, ThroughThePackageAndTheDisk) {
  TempDir dir;
  auto good = testpng::Pattern(9, 4);
  std::vector<uint8_t> cut(good.begin(), good.end() - 30);
  // The truncated entry is followed by a whole PNG in the package file: a
  // reader that ran past the entry's end would find valid data there.
  std::vector<packwriter::Entry> entries = {{"data/a.png", good}, {"data/cut.png", cut}, {"data/z.png", good}};
  std::string error;
  ASSERT_TRUE(packwriter::Write(entries, "test.pak", error)) << error;
  ASSERT_EQ(PackageOpen("test.pak"), 0);
  TempDir::Write("disk.png", std::string(good.begin(), good.end()));
  int fds = OpenDescriptors();
  PngImage* a = PngLoadImage("data/a.png");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->width, 9);
  EXPECT_EQ(GetPngPixel(a, 8, 3), 0xFF000000u | (8u ^ 3) << 16 | 15u << 8 | 59u);
  PngFreeImage(a);
  PngImage* d = PngLoadImage("disk.png");
  ASSERT_NE(d, nullptr);
  PngFreeImage(d);
  EXPECT_EQ(PngLoadImage("data/cut.png"), nullptr);
  EXPECT_EQ(PngLoadImage("missing.png"), nullptr);
  EXPECT_EQ(OpenDescriptors(), fds);  // every stream closed

  DibImage dib;
  dib.info.bmiHeader.biWidth = 77;
  dib.bits = reinterpret_cast<uint8_t*>(&dib);
  LoadPngDib("missing.png", &dib);
  EXPECT_EQ(dib.bits, nullptr);
  EXPECT_EQ(dib.info.bmiHeader.biWidth, 77);  // the header is left as it was
  LoadPngDib("data/z.png", &dib);
  ASSERT_NE(dib.bits, nullptr);
  EXPECT_EQ(dib.info.bmiHeader.biWidth, 9);
  std::free(dib.bits);
  PackageOpen(nullptr);
}

TEST(PngPixels, BlendDividesBy255AndBoundsAreChecked) {
  PngImage* img = PngNewImage(2, 2);
  ASSERT_NE(img, nullptr);
  SetPngPixel(img, 1, 1, 10, 20, 30);
  EXPECT_EQ(GetPngPixel(img, 1, 1), 0xFF1E140Au);
  BlendPngPixel(img, 1, 1, 255, 255, 255, 255);  // full weight: the new colour
  EXPECT_EQ(GetPngPixel(img, 1, 1), 0xFFFFFFFFu);
  BlendPngPixel(img, 1, 1, 0, 0, 0, 0);  // no weight: unchanged
  EXPECT_EQ(GetPngPixel(img, 1, 1), 0xFFFFFFFFu);
  BlendPngPixel(img, 0, 0, 255, 51, 0, 51);  // 255 * 51 / 255 = 51, 51 * 51 / 255 = 10
  EXPECT_EQ(GetPngPixel(img, 0, 0), 0xFF000A33u);
  SetPngPixel(img, -1, 0, 1, 1, 1);
  BlendPngPixel(img, 2, 0, 1, 1, 1, 255);
  EXPECT_EQ(PngNewImage(0, 5), nullptr);
  EXPECT_EQ(PngNewImage(1 << 20, 1 << 20), nullptr);
  PngFreeImage(img);

  DibImage dib;
  ASSERT_NE(CreateDib24(&dib, 3, 2), nullptr);
  uint32_t colour = 0xFF102030;  // in memory: 30 20 10 FF
  SetDibPixel(&dib, 0, 0, &colour);
  EXPECT_EQ(GetDibPixel(&dib, 0, 0), 0xFF102030u);
  EXPECT_EQ(dib.bits[12], 0x30);  // the top row is the second stored row
  EXPECT_EQ(GetDibPixel(&dib, -1, 0), 0xFF000000u);
  EXPECT_EQ(GetDibPixel(&dib, 3, 0), 0xFF000000u);
  EXPECT_EQ(GetDibPixel(&dib, 0, 2), 0xFF000000u);
  SetDibPixel(&dib, 3, 0, &colour);
  std::free(dib.bits);
}

}  // namespace
