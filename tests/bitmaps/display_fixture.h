// A display of a given depth on the headless host, for tests that draw.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "dx/display.h"
#include "dx/target.h"
#include "platform/ddraw/ddraw.h"
#include "platform/host/headless_host.h"
#include "platform/win32/display.h"
#include "tests/common/surfaces.h"

// Message boxes are recorded in UTF-8, while narrow literals are CP932.
inline std::string U8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

class DisplayTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    host::set(&host_);
    host_.set_catch_exits(true);
    ddraw::ResetForTests();
    win32::SetDesktopDepth(GetParam());
    ASSERT_TRUE(dxinit("test", 640, 480, GetParam(), false));
    // The layer reads the desktop's depth once a process; each test has its own.
    dxdesktopdepth = GetParam();
    ASSERT_EQ(dxscreendepth, GetParam());
  }
  void TearDown() override {
    dxrelease();
    EXPECT_EQ(ddraw::LiveSurfaces(), 0);
    ddraw::ResetForTests();
    win32::SetDesktopDepth(32);
    host::set(nullptr);
  }

  int depth() const { return GetParam(); }

 public:
  static uint32_t At(IDirectDrawSurface* s, int x, int y) { return testcommon::SurfacePixel(s, x, y); }
  static uint32_t Screen(int x, int y) { return At(dxbackbuffer, x, y); }
  static uint32_t Pixel(dx::bitmap* b, int x, int y) { return At(dxbitmapsurface(b, false), x, y); }

  // A 24-bit bottom-up DIB of w x h whose pixels come from f(x, y) as 0xRRGGBB.
  template <typename F>
  static std::vector<uint8_t> Dib(int w, int h, F f, bool top_down = false) {
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> out(sizeof(BITMAPINFOHEADER) + stride * h, 0);
    BITMAPINFOHEADER hd{40, w, top_down ? -h : h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(out.data(), &hd, sizeof hd);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t c = f(x, y);
        uint8_t* p = out.data() + sizeof hd + stride * (top_down ? y : h - 1 - y) + 3 * x;
        p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = (c >> 16) & 0xFF;
      }
    return out;
  }
  static dx::bitmap* Load(const std::vector<uint8_t>& dib) {
    return dxloaddib(reinterpret_cast<const BITMAPINFO*>(dib.data()), dib.data() + sizeof(BITMAPINFOHEADER));
  }
  // A bitmap whose every pixel is distinct and not 0: x + 1 + 64 * y in the
  // display's own values (filled through a lock).
  static dx::bitmap* Numbered(int w, int h) {
    dx::bitmap* b = dxnewbitmap(w, h);
    IDirectDrawSurface* s = dxgetsyssurface(b, true);
    platform::PixelBuffer pb = s->pixels();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t v = static_cast<uint32_t>((x + 1 + 64 * y) % (pb.format.bpp == 8 ? 255 : 65535) + 1);
        std::memcpy(pb.bits + static_cast<ptrdiff_t>(y) * pb.pitch + x * (pb.format.bpp / 8), &v,
                    static_cast<size_t>(pb.format.bpp / 8));
      }
    return b;
  }
  static uint32_t NumberAt(int bpp, int x, int y) {
    return static_cast<uint32_t>((x + 1 + 64 * y) % (bpp == 8 ? 255 : 65535) + 1);
  }

 protected:
  host::HeadlessHost host_;
};

#define ALL_DEPTHS(suite) INSTANTIATE_TEST_SUITE_P(Depths, suite, ::testing::Values(8, 16, 24, 32))
