// GDI on DirectDraw surfaces: one context at a time, DIBs drawn at every depth.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"
#include "platform/host/headless_host.h"
#include "tests/common/surfaces.h"

namespace {

class SurfaceDcTest : public testcommon::DirectDrawTest {};

TEST_F(SurfaceDcTest, OneContextAtATime) {
  IDirectDrawSurface* s = Make(8, 8, 32);
  HDC a = nullptr, b = nullptr;
  ASSERT_EQ(s->GetDC(&a), DD_OK);
  EXPECT_EQ(s->GetDC(&b), DDERR_DCALREADYCREATED);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(s->ReleaseDC(nullptr), DDERR_NODC);
  EXPECT_EQ(s->ReleaseDC(a), DD_OK);
  EXPECT_EQ(s->ReleaseDC(a), DDERR_NODC);
  s->lose();
  EXPECT_EQ(s->GetDC(&a), DDERR_SURFACELOST);
  s->Release();
}

TEST_F(SurfaceDcTest, DibsLandInTheSurfaceFormat) {
  // A 3 x 2 bottom-up 24-bit DIB: top row red, (1, 1, 1), black; bottom row white, grey, blue.
  BITMAPINFO bi{};
  bi.bmiHeader = {40, 3, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint8_t> bits = {255, 255, 255, 128, 128, 128, 255, 0, 0, 0, 0, 0,  // bottom row first
                               0, 0, 255, 1, 1, 1, 0, 0, 0, 0, 0, 0};
  struct Want {
    int bpp;
    uint32_t red, white, blue;
  };
  for (Want w : {Want{16, 0xF800, 0xFFFF, 0x001F}, Want{24, 0xFF0000, 0xFFFFFF, 0xFF},
                 Want{32, 0xFF0000, 0xFFFFFF, 0xFF}}) {
    IDirectDrawSurface* s = Make(4, 3, w.bpp);
    HDC dc = nullptr;
    ASSERT_EQ(s->GetDC(&dc), DD_OK);
    EXPECT_EQ(StretchDIBits(dc, 0, 0, 3, 2, 0, 0, 3, 2, bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(s->ReleaseDC(dc), DD_OK);
    EXPECT_EQ(At(s, 0, 0), w.red) << w.bpp;
    EXPECT_EQ(At(s, 2, 0), 0u);  // black is the colour key
    EXPECT_EQ(At(s, 0, 1), w.white);
    EXPECT_EQ(At(s, 2, 1), w.blue);
    EXPECT_EQ(At(s, 3, 0), 0u);  // outside the picture: untouched
    EXPECT_EQ(At(s, 0, 2), 0u);
    if (w.bpp == 32) {
      EXPECT_EQ(At(s, 1, 1) >> 24, 0u);  // the fourth byte stays 0
    }
    s->Release();
  }
  // 8 bits: the nearest entry of the surface's palette.
  IDirectDrawSurface* s = Make(4, 3, 8);
  HDC dc = nullptr;
  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  IntersectClipRect(dc, 0, 0, 2, 1);  // only the first two pixels of the top row
  StretchDIBits(dc, 0, 0, 3, 2, 0, 0, 3, 2, bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
  s->ReleaseDC(dc);
  platform::PixelBuffer pb = s->pixels();
  EXPECT_EQ(pb.palette[At(s, 0, 0)], 0xFF0000u);
  EXPECT_EQ(At(s, 0, 1), 0u);
  s->Release();
}

TEST_F(SurfaceDcTest, StretchDIBitsStretchesAndMirrors) {
  BITMAPINFO bi{};
  bi.bmiHeader = {40, 2, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // top-down, one row
  uint32_t px[2] = {0x112233, 0x445566};
  IDirectDrawSurface* s = Make(4, 2, 32);
  HDC dc = nullptr;
  ASSERT_EQ(s->GetDC(&dc), DD_OK);
  StretchDIBits(dc, 0, 0, 4, 2, 0, 0, 2, 1, px, &bi, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(At(s, 1, 1), 0x112233u);
  EXPECT_EQ(At(s, 2, 0), 0x445566u);
  StretchDIBits(dc, 3, 0, -4, 1, 0, 0, 2, 1, px, &bi, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(At(s, 0, 0), 0x445566u);
  EXPECT_EQ(At(s, 3, 0), 0x112233u);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, px, &bi, DIB_RGB_COLORS, 0x00550009), GDI_ERROR);
  bi.bmiHeader.biWidth = 0;
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, px, &bi, DIB_RGB_COLORS, SRCCOPY), GDI_ERROR);
  s->ReleaseDC(dc);
  s->Release();
}

// Stretches whose boxes reach the ends of the int range, drawn on a 160 x 120
// screen from an 8 x 8 DIB (top-down or bottom-up) or a 16 x 16 section.
class StretchEdgeTest : public SurfaceDcTest {
 protected:
  enum From { kTopDown, kBottomUp, kSection };
  struct Call {
    From from;
    int v[8];  // destination x, y, width, height; source x, y, width, height
  };
  static constexpr int kW = 160, kH = 120;

  void SetUp() override {
    SurfaceDcTest::SetUp();
    screen_ = Make(kW, kH, 32);
    ASSERT_EQ(screen_->GetDC(&dc_), DD_OK);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) top_down_[y * 8 + x] = bottom_up_[(7 - y) * 8 + x] = Colour(x, y);
    BITMAPINFO bi{};
    bi.bmiHeader = {40, 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    section_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section_, nullptr);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) static_cast<uint32_t*>(bits)[y * 16 + x] = Colour(x, y);
    mem_ = CreateCompatibleDC(dc_);
    SelectObject(mem_, section_);
  }
  void TearDown() override {
    DeleteDC(mem_);
    DeleteObject(section_);
    screen_->ReleaseDC(dc_);
    screen_->Release();
    SurfaceDcTest::TearDown();
  }
  // Pixel (x, y) of either picture, y counted from its top.
  static uint32_t Colour(int64_t x, int64_t y) { return static_cast<uint32_t>((x + 1) << 16 | (y + 1) << 8 | 0x33); }

  // Draws `c` on a cleared screen and returns what the call returned.
  int Draw(const Call& c) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) testcommon::SetSurfacePixel(screen_, x, y, 0);
    const int* v = c.v;
    if (c.from == kSection) return StretchBlt(dc_, v[0], v[1], v[2], v[3], mem_, v[4], v[5], v[6], v[7], SRCCOPY);
    BITMAPINFO bi{};
    bi.bmiHeader = {40, 8, c.from == kTopDown ? -8 : 8, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return StretchDIBits(dc_, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7],
                         c.from == kTopDown ? top_down_ : bottom_up_, &bi, DIB_RGB_COLORS, SRCCOPY);
  }

  // The source coordinate that destination coordinate d shows along one axis,
  // in 64 bits: nearest neighbour from the destination span onto the source
  // span, mirrored when their signs differ; -1 outside the destination span
  // or the picture. A bottom-up DIB's source span counts from its bottom.
  static int64_t SourceOf(int64_t d, int64_t pos, int64_t ext, int64_t spos, int64_t sext, int64_t size,
                          bool from_bottom) {
    const int64_t n = ext < 0 ? -ext : ext, sn = sext < 0 ? -sext : sext;
    const int64_t lo = ext < 0 ? pos + ext + 1 : pos;
    int64_t slo = sext < 0 ? spos + sext + 1 : spos;
    if (from_bottom) slo = size - slo - sn;
    if (d < lo || d >= lo + n) return -1;
    const int64_t k = (d - lo) * sn / n;
    const int64_t s = slo + ((ext < 0) != (sext < 0) ? sn - 1 - k : k);
    return s >= 0 && s < size ? s : -1;
  }

  // Compares the screen inside `area` with the reference and everything else
  // with the clear colour: the pixels that differ (the first one described
  // in `first`), and in `drawn` those the reference draws.
  int Mismatches(const Call& c, RECT area, int* drawn, std::string* first) const {
    const int64_t size = c.from == kSection ? 16 : 8;
    int bad = 0;
    *drawn = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const bool in = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
        const int64_t sx = SourceOf(x, c.v[0], c.v[2], c.v[4], c.v[6], size, false);
        const int64_t sy = SourceOf(y, c.v[1], c.v[3], c.v[5], c.v[7], size, c.from == kBottomUp);
        const uint32_t want = in && sx >= 0 && sy >= 0 ? Colour(sx, sy) : 0;
        *drawn += want != 0;
        const uint32_t got = At(screen_, x, y);
        if (got != want && bad++ == 0)
          *first = "at " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(got) + " for " +
                   std::to_string(want);
      }
    return bad;
  }

  IDirectDrawSurface* screen_ = nullptr;
  HDC dc_ = nullptr, mem_ = nullptr;
  HBITMAP section_ = nullptr;
  uint32_t top_down_[64], bottom_up_[64];
};

// Edges, sides and source rows at the ends of int are worked out in 64 bits:
// before, they overflowed (a box left of the screen could wrap onto it), and
// the walk stepped through every pixel of the box to skip those off screen,
// seconds for one row of INT_MAX.
TEST_F(StretchEdgeTest, BoxesAtTheEndsOfIntDrawTheirVisiblePart) {
  struct Case {
    Call call;
    int ret;    // StretchDIBits: the rows; StretchBlt: TRUE
    int drawn;  // pixels the reference draws
  } cases[] = {
      {{kTopDown, {INT_MIN, 0, -10, 10, 0, 0, 8, 8}}, 10, 0},
      {{kTopDown, {INT_MIN, 0, -INT_MAX, 10, 0, 0, 8, 8}}, 10, 0},  // wrapped to x = 2 before
      {{kTopDown, {0, INT_MIN, 8, -INT_MAX, 0, 0, 8, 8}}, INT_MAX, 0},
      {{kTopDown, {0, 0, 8, INT_MIN, 0, 0, 8, 8}}, INT_MAX, 8},  // 2^31 rows, one more than an int holds
      {{kTopDown, {INT_MAX - 5, 0, 100, 10, 0, 0, 8, 8}}, 10, 0},
      {{kTopDown, {0, INT_MAX - 5, 10, 100, 0, 0, 8, 8}}, 100, 0},
      {{kBottomUp, {0, 0, kW, kH, 0, INT_MIN, 8, 8}}, kH, 0},
      {{kBottomUp, {0, 0, kW, kH, 0, INT_MIN, 8, -8}}, kH, 0},
      {{kSection, {0, 0, kW, kH, 0, 0, INT_MIN, 16}}, TRUE, kH},  // only column 0 maps into the section
      {{kTopDown, {0, 0, INT_MAX, 100, 0, 0, 8, 8}}, 100, kW * 100},  // a minute's walk before
      {{kSection, {0, 0, INT_MAX, 100, 0, 0, 16, 16}}, TRUE, kW * 100},
      {{kBottomUp, {-1, 0, INT_MIN, kH, 0, 0, 8, 8}}, kH, 0},
  };
  for (const Case& t : cases) {
    const int* v = t.call.v;
    SCOPED_TRACE(testing::Message() << t.call.from << ": " << v[0] << "," << v[1] << " " << v[2] << "x" << v[3]
                                    << " from " << v[4] << "," << v[5] << " " << v[6] << "x" << v[7]);
    EXPECT_EQ(Draw(t.call), t.ret);
    int drawn = 0;
    std::string first;
    EXPECT_EQ(Mismatches(t.call, {0, 0, kW, kH}, &drawn, &first), 0) << first;
    EXPECT_EQ(drawn, t.drawn);
  }
}

// A box whose sides are 2^31 (or INT_MAX) pixels, seen through a clip: each
// pixel shows the source pixel that the 64-bit mapping names.
TEST_F(StretchEdgeTest, HugeBoxesMapEveryVisiblePixelIn64Bits) {
  const RECT clip{1, 2, 150, 110};
  IntersectClipRect(dc_, clip.left, clip.top, clip.right, clip.bottom);
  // From both ends of int, both axes mirrored twice: sides of 2^31 onto
  // 2^31 - 1 source pixels, so pixel k shows source pixel k - 1 (and 0 shows 0).
  const Call both_ends{kTopDown,
                       {INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MAX - 1, INT_MAX - 1, INT_MIN + 1, INT_MIN + 1}};
  const Call calls[] = {
      both_ends,
      {kBottomUp, {INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MAX - 1, 0, INT_MIN + 1, INT_MAX}},
      // Reaching the screen from near INT_MIN: what shows is the far end of
      // the box, where the products pass 2^62.
      {kTopDown,
       {100 - INT_MAX, 100 - INT_MAX, INT_MAX, INT_MAX, 100 - INT_MAX, 100 - INT_MAX, INT_MAX - 3, INT_MAX - 5}},
      {kBottomUp, {99, 100 - INT_MAX, -INT_MAX, INT_MAX, 0, 0, INT_MAX - 9, INT_MAX - 3}},
      {kSection, {99, 99, -INT_MAX, -INT_MAX, 0, 0, INT_MAX - 7, INT_MAX}},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(testing::Message() << c.from << ": " << c.v[0] << "," << c.v[1]);
    Draw(c);
    int drawn = 0;
    std::string first;
    EXPECT_EQ(Mismatches(c, clip, &drawn, &first), 0) << first;
    EXPECT_GT(drawn, 0);
  }
  Draw(both_ends);
  EXPECT_EQ(At(screen_, 0, 2), 0u);  // left of the clip
  EXPECT_EQ(At(screen_, 1, 2), Colour(0, 1));
  EXPECT_EQ(At(screen_, 2, 3), Colour(1, 2));
  EXPECT_EQ(At(screen_, 8, 8), Colour(7, 7));
  EXPECT_EQ(At(screen_, 9, 8), 0u);  // past the picture
}

}  // namespace
