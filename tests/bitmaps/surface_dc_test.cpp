// GDI on DirectDraw surfaces: one context at a time, DIBs drawn at every depth.
#include <gtest/gtest.h>

#include <cstring>
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

}  // namespace
