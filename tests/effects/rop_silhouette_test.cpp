// Black and white silhouettes drawn by the display driver's raster operations
// when the bitmap and the target are both in video memory.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dx/dx.h"
#include "platform/d3d/d3d.h"
#include "tests/bitmaps/display_fixture.h"

namespace {

constexpr int kW = 7, kH = 5;

class RopSilhouette : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    if (HasFatalFailure()) return;
    // The desktop's depth is read once a process; surfaces go to video memory
    // only when the display matches it.
    dxdesktopdepth = dxscreendepth;
    dxusevram(true);
    ASSERT_TRUE(dxbackbuffer->in_video_memory());
    ASSERT_EQ(dxtarget, dxbackbuffer);
    caps_ = dxddcaps;
  }
  void TearDown() override {
    dxddcaps = caps_;
    dxrelease();
    soft3d::ResetForTests();  // the depth buffer of the video-memory back buffer
    DisplayTest::TearDown();
  }

  // A shape with key pixels scattered through it.
  static dx::bitmap* Shape() {
    dx::bitmap* b = Numbered(kW, kH);
    platform::PixelBuffer pb = dxgetsyssurface(b, true)->pixels();
    const int bytes = pb.format.bpp / 8;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if ((x + 2 * y) % 3 == 0) std::memset(pb.bits + y * pb.pitch + x * bytes, 0, static_cast<size_t>(bytes));
    return b;
  }
  // A background of varied non-zero values over the area at (x, y).
  void Background(int x0, int y0) {
    platform::PixelBuffer pb = dxbackbuffer->pixels();
    const int bytes = pb.format.bpp / 8;
    for (int y = 0; y < kH + 2; ++y)
      for (int x = 0; x < kW + 2; ++x) {
        uint32_t v = 0x9E3779B9u * static_cast<uint32_t>(x * 31 + y * 7 + 1);
        v = (v ^ (v >> 13)) | 1;
        if (depth() == 32) v &= 0x00FFFFFF;
        std::memcpy(pb.bits + (y0 + y - 1) * pb.pitch + (x0 + x - 1) * bytes, &v, static_cast<size_t>(bytes));
      }
  }
  static std::vector<uint32_t> Area(int x0, int y0) {
    std::vector<uint32_t> v;
    for (int y = -1; y < kH + 1; ++y)
      for (int x = -1; x < kW + 1; ++x) v.push_back(Screen(x0 + x, y0 + y));
    return v;
  }
  // The silhouette over the background at (x, y), by whichever path applies.
  std::vector<uint32_t> Draw(dx::bitmap* b, int x, int y, uint32_t colour) {
    Background(x, y);
    dxbltsilhouette(b, x, y, colour);
    return Area(x, y);
  }
  // Only these raster operations are offered by the driver.
  static void Offer(std::initializer_list<DWORD> rops) {
    std::memset(dxddcaps.dwRops, 0, sizeof(dxddcaps.dwRops));
    for (DWORD rop : rops) {
      const DWORD b = rop >> 16 & 0xFF;
      dxddcaps.dwRops[b / 32] |= 1u << (b % 32);
    }
  }

  DDCAPS caps_{};
};

TEST_P(RopSilhouette, SupportFollowsTheDriversTable) {
  for (DWORD rop : {SRCCOPY, SRCINVERT, NOTSRCCOPY, SRCAND, MERGEPAINT, SRCPAINT, DSTINVERT})
    EXPECT_TRUE(dxropsupported(rop)) << std::hex << rop;
  EXPECT_FALSE(dxropsupported(0x00440328));
  Offer({SRCAND});
  EXPECT_TRUE(dxropsupported(SRCAND));
  EXPECT_FALSE(dxropsupported(SRCINVERT));
  // Capabilities the driver never gave answer nothing as supported.
  dxddcaps = caps_;
  dxddcaps.dwSize = 0;
  EXPECT_FALSE(dxropsupported(SRCCOPY));
}

TEST_P(RopSilhouette, EveryLineOfOperationsGivesTheSoftwarePicture) {
  dx::bitmap* b = Shape();
  ASSERT_TRUE(dxgetsurface(b, false)->in_video_memory());
  const uint32_t white = dxrgb(255, 255, 255);
  struct Case {
    uint32_t colour;
    std::initializer_list<DWORD> offered;
  };
  const Case cases[] = {{0, {SRCINVERT}},
                        {0, {NOTSRCCOPY, SRCAND}},
                        {white, {MERGEPAINT, SRCPAINT}},
                        {white, {NOTSRCCOPY, SRCINVERT}},
                        {white, {NOTSRCCOPY, SRCPAINT}}};
  int n = 0;
  for (const Case& c : cases) {
    dxddcaps = caps_;
    dxddcaps.dwSize = 0;  // nothing offered: the workers draw
    const std::vector<uint32_t> software = Draw(b, 100, 100, c.colour);
    dxddcaps = caps_;
    Offer(c.offered);
    EXPECT_EQ(Draw(b, 10, 10, c.colour), software) << "line " << n;
    ++n;
  }
  // The software picture is the shape in the colour over the untouched background.
  dxddcaps = caps_;
  dxddcaps.dwSize = 0;
  const std::vector<uint32_t> drawn = Draw(b, 200, 10, white);
  Background(300, 10);
  const std::vector<uint32_t> back = Area(300, 10);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const size_t i = static_cast<size_t>(y + 1) * (kW + 2) + static_cast<size_t>(x + 1);
      EXPECT_EQ(drawn[i], (x + 2 * y) % 3 == 0 ? back[i] : white) << x << "," << y;
    }
  dxdeletebitmap(b);
}

TEST_P(RopSilhouette, OnlyBlackAndWhiteOnVideoMemoryTakeTheRasterPath) {
  dx::bitmap* b = Shape();
  // The driver's path reads the video-memory copy, the workers the system
  // copy: a pixel cleared in the video copy alone shows which path drew.
  IDirectDrawSurface* vram = dxgetsurface(b, false);
  ASSERT_TRUE(vram->in_video_memory());
  platform::PixelBuffer pb = vram->pixels();
  std::memset(pb.bits + pb.pitch + 2 * (pb.format.bpp / 8), 0, static_cast<size_t>(pb.format.bpp / 8));
  const uint32_t white = dxrgb(255, 255, 255);
  auto drew_probe = [&](uint32_t colour) {
    Background(50, 50);
    const uint32_t before = Screen(52, 51);
    dxbltsilhouette(b, 50, 50, colour);
    return Screen(52, 51) != before;
  };
  EXPECT_FALSE(drew_probe(0));
  EXPECT_FALSE(drew_probe(white));
  EXPECT_TRUE(drew_probe(dxrgb(255, 0, 0)));
  // Without a usable line the workers draw.
  Offer({NOTSRCCOPY});
  EXPECT_TRUE(drew_probe(0));
  EXPECT_TRUE(drew_probe(white));
  dxddcaps = caps_;
  dxdeletebitmap(b);
  // A bitmap made while surfaces go to system memory takes the workers' path.
  dxusevram(false);
  dx::bitmap* sys = Shape();
  ASSERT_FALSE(dxgetsurface(sys, false)->in_video_memory());
  Background(50, 50);
  dxbltsilhouette(sys, 50, 50, 0);
  EXPECT_EQ(Screen(51, 50), 0u);
  dxdeletebitmap(sys);
}

TEST_P(RopSilhouette, TheClipCutsTheRasterPathToo) {
  dx::bitmap* b = Shape();
  const uint32_t white = dxrgb(255, 255, 255);
  Background(20, 20);
  const std::vector<uint32_t> before = Area(20, 20);
  dxsetclip(22, 21, 3, 2);
  dxbltsilhouette(b, 20, 20, white);
  dxresetclip();
  const std::vector<uint32_t> after = Area(20, 20);
  for (int y = -1; y < kH + 1; ++y)
    for (int x = -1; x < kW + 1; ++x) {
      const size_t i = static_cast<size_t>(y + 1) * (kW + 2) + static_cast<size_t>(x + 1);
      const bool in = x >= 2 && x < 5 && y >= 1 && y < 3 && (x + 2 * y) % 3 != 0;
      EXPECT_EQ(after[i], in ? white : before[i]) << x << "," << y;
    }
  dxdeletebitmap(b);
}

TEST_P(RopSilhouette, WhiteThatIsNotEveryBitIsDrawnByTheWorkers) {
  if (depth() != 8) GTEST_SKIP() << "only a palette can put white elsewhere";
  // A palette whose white is entry 7: the operations could only give entry 255.
  dxsetpalette(255, 10, 20, 30);
  dxsetpalette(7, 255, 255, 255);
  const uint32_t white = dxrgb(255, 255, 255);
  ASSERT_EQ(white, 7u);
  dx::bitmap* b = Shape();
  ASSERT_TRUE(dxgetsurface(b, false)->in_video_memory());
  Background(20, 20);
  dxbltsilhouette(b, 20, 20, white);
  EXPECT_EQ(Screen(21, 20), 7u);
  dxdeletebitmap(b);
}

ALL_DEPTHS(RopSilhouette);

}  // namespace
