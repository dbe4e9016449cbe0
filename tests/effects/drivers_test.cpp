// The effect entry points on a started display: the render target, its clip,
// the display's depth and format, and the Direct3D paths of a hardware device.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dx/dx.h"
#include "dx/effects/hue.h"
#include "platform/d3d/d3d.h"
#include "platform/winmm/time.h"
#include "tests/bitmaps/display_fixture.h"

namespace {

class Effects : public DisplayTest {
 protected:
  void TearDown() override {
    dxrelease();
    soft3d::ResetForTests();
    DisplayTest::TearDown();
  }
  static std::vector<uint32_t> Area(int x, int y, int w, int h) {
    std::vector<uint32_t> v;
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) v.push_back(Screen(i, j));
    return v;
  }
  // Fills the whole screen with one value.
  static void Clear(uint32_t v) { dxcls(v); }
};

TEST_P(Effects, TranslucentBlitAtTheEndsOfThePercentage) {
  dx::bitmap* b = Numbered(8, 5);
  const uint32_t back = dxrgb(40, 80, 120);
  Clear(back);
  dxbltalpha(b, 10, 20, 100);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Screen(10 + x, 20 + y), NumberAt(depth(), x, y)) << x << "," << y;
  EXPECT_EQ(Screen(9, 20), back);
  EXPECT_EQ(Screen(18, 20), back);
  dxbltalpha(b, 100, 100, 0);
  EXPECT_EQ(Area(100, 100, 8, 5), std::vector<uint32_t>(40, back));
  dxdeletebitmap(b);
}

TEST_P(Effects, TheClipRectangleCutsEveryFamily) {
  dx::bitmap* b = Numbered(8, 8);
  Clear(0);
  dxsetclip(10, 10, 4, 4);
  dxbltadd(b, 8, 9);  // starts two columns and one row into the bitmap
  dxbltsub(b, 100, 100);
  dxbltgray(b, 0, 0);  // entirely outside
  dxfillrectadd(0, 0, 640, 12, dxrgb(255, 255, 255));
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool in = x >= 10 && x < 14 && y >= 10 && y < 14;
      uint32_t want = 0;
      if (in) want = y < 12 ? dxrgb(255, 255, 255) : NumberAt(depth(), x - 8, y - 9);
      ASSERT_EQ(Screen(x, y), want) << x << "," << y;
    }
  dxresetclip();
  dxdeletebitmap(b);
}

TEST_P(Effects, ScreenDoorByPercentage) {
  dx::bitmap* b = Numbered(8, 8);
  for (uint32_t pct : {0u, 50u, 100u}) {
    Clear(0);
    dxbltmeshpct(b, 0, 0, pct);
    int drawn = 0;
    for (uint32_t v : Area(0, 0, 8, 8)) drawn += v != 0;
    EXPECT_EQ(drawn, static_cast<int>(64 * pct / 100)) << pct;
  }
  Clear(dxrgb(255, 255, 255));
  dxfillrectmeshpct(0, 0, 4, 4, 0x0, 0);
  EXPECT_EQ(Area(0, 0, 4, 4), std::vector<uint32_t>(16, dxrgb(255, 255, 255)));
  dxdeletebitmap(b);
}

TEST_P(Effects, HueMaskAndRotationDrawThroughTheTarget) {
  dx::bitmap* b = Numbered(6, 6);
  Clear(0);
  dxblthue(b, 0, 0, 0);
  dxblthue(b, 10, 0, 1536);
  EXPECT_EQ(Area(0, 0, 6, 6), Area(10, 0, 6, 6));
  // Grey pixels keep their value through any turn.
  dx::bitmap* grey = dxnewbitmap(1, 1);
  const uint32_t g = depth() == 8 ? 0x49u : dxrgb(96, 96, 96);  // 3-3-2 grey at 8 bits
  std::memcpy(dxgetsyssurface(grey, true)->pixels().bits, &g, static_cast<size_t>(depth() / 8));
  dxblthue(grey, 30, 30, 700);
  EXPECT_EQ(Screen(30, 30), g);
  // The mask passes only its own non-zero pixels.
  dx::bitmap* mask = dxnewbitmap(2, 2);
  IDirectDrawSurface* ms = dxgetsyssurface(mask, true);
  std::memset(ms->pixels().bits, 0, static_cast<size_t>(ms->pixels().pitch) * 2);
  ms->pixels().bits[0] = 1;
  Clear(0);
  dxbltmask(b, 50, 50, mask, 52, 52);
  EXPECT_EQ(Screen(52, 52), NumberAt(depth(), 2, 2));
  EXPECT_EQ(Screen(53, 52), 0u);
  EXPECT_EQ(Screen(50, 50), 0u);
  // No turn, full size: the plain picture about its centre.
  Clear(0);
  dxbltrotate(b, 100, 100, 3, 3, 0, 100);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(Screen(97 + x, 97 + y), NumberAt(depth(), x, y));
  dxdeletebitmap(b);
  dxdeletebitmap(grey);
  dxdeletebitmap(mask);
}

TEST_P(Effects, SilhouettesEllipsesAndTriangles) {
  dx::bitmap* b = Numbered(4, 4);
  const uint32_t white = dxrgb(255, 255, 255);
  Clear(dxrgb(0, 0, 255));
  dxbltsilhouette(b, 0, 0, white);
  EXPECT_EQ(Area(0, 0, 4, 4), std::vector<uint32_t>(16, white));
  dxbltsilhouetteadd(b, 10, 0, 0);
  EXPECT_EQ(Area(10, 0, 4, 4), std::vector<uint32_t>(16, dxrgb(0, 0, 255)));
  Clear(0);
  dxfillellipse(20, 20, 21, 11, white);
  EXPECT_EQ(Screen(30, 25), white);
  EXPECT_EQ(Screen(20, 20), 0u);  // the corner of the box is outside the ellipse
  EXPECT_EQ(Screen(41, 25), 0u);
  Clear(0);
  dxellipse(20, 20, 21, 11, white);
  EXPECT_EQ(Screen(30, 25), 0u);  // inside the outline
  int outline = 0;
  for (uint32_t v : Area(20, 20, 21, 11)) outline += v == white;
  EXPECT_GT(outline, 0);
  Clear(0);
  dxtriangle(10, 10, 20, 10, 15, 20, white, 100, false);
  for (int y = 8; y < 22; ++y) {
    int n = 0;
    for (uint32_t v : Area(0, y, 40, 1)) n += v != 0;
    EXPECT_EQ(n > 0, y >= 10 && y < 20) << y;
  }
  dxdeletebitmap(b);
}

// An ellipse is drawn only where it meets the clip, whatever the size of its box.
TEST_P(Effects, EllipsesLargerThanAnySurfaceDrawTheirVisiblePart) {
  const uint32_t white = dxrgb(255, 255, 255);
  Clear(0);
  dxfillellipse(10, 10, 61, 41, white);
  const std::vector<uint32_t> whole = Area(0, 0, 80, 60);
  Clear(0);
  dxsetclip(30, 20, 50, 40);
  dxfillellipse(10, 10, 61, 41, white);
  dxresetclip();
  const std::vector<uint32_t> cut = Area(0, 0, 80, 60);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x)
      ASSERT_EQ(cut[y * 80 + x], x >= 30 && y >= 20 ? whole[y * 80 + x] : 0u) << x << "," << y;
  // 20001 pixels wide, centred on column 0: its middle rows cross the screen.
  Clear(0);
  dxfillellipse(-10000, 0, 20001, 101, white);
  EXPECT_EQ(Screen(0, 50), white);
  EXPECT_EQ(Screen(639, 50), white);
  EXPECT_EQ(Screen(320, 101), 0u);
  Clear(0);
  dxellipse(-10000, 0, 20001, 101, white);
  EXPECT_EQ(Screen(320, 0), white);
  EXPECT_EQ(Screen(320, 50), 0u);
}

TEST_P(Effects, MosaicAndFadesOfNoLength) {
  dx::bitmap* b = Numbered(16, 16);
  Clear(0);
  dxbltnokey(b, 0, 0);
  const std::vector<uint32_t> before = Area(0, 0, 16, 16);
  dxmosaic(0, 0, 16, 16, 1);
  EXPECT_EQ(Area(0, 0, 16, 16), before);
  dxmosaic(0, 0, 10, 16, 4);
  EXPECT_EQ(Screen(0, 0), NumberAt(depth(), 3, 0));
  EXPECT_EQ(Screen(9, 0), NumberAt(depth(), 8, 0));
  EXPECT_EQ(Screen(10, 0), NumberAt(depth(), 10, 0));  // outside the rectangle
  // A fade of no length does no pass.
  Clear(0);
  dxbltnokey(b, 0, 0);
  const std::vector<uint32_t> picture = Area(0, 0, 16, 16);
  if (depth() != 8) {
    dxfadein(dxrgb(255, 255, 255), 0);
    EXPECT_EQ(Area(0, 0, 16, 16), picture);
  }
  dxfadeout(dxrgb(255, 0, 0), 0);
  EXPECT_EQ(Area(0, 0, 16, 16), std::vector<uint32_t>(256, dxrgb(255, 0, 0)));
  dxdeletebitmap(b);
}

TEST_P(Effects, FadesRunOnTheClockAndEndOnTheColour) {
  Clear(dxrgb(0, 128, 255));
  PALETTEENTRY before[256];
  std::memcpy(before, dxpalette, sizeof before);
  const DWORD start = timeGetTime();
  dxfadeout(dxrgb(255, 255, 255), 100);
  EXPECT_GE(timeGetTime() - start, 100u);
  EXPECT_EQ(Screen(5, 5), dxrgb(255, 255, 255));
  EXPECT_EQ(std::memcmp(before, dxpalette, sizeof before), 0);
  // Some frame on the way showed neither end.
  bool between = false;
  for (const host::Frame& f : host_.frames()) {
    const uint32_t v = f.at(5, 5);
    between = between || (v != 0x000080FF && v != 0x00FFFFFF && (v & 0xFF) > 0x40);
  }
  EXPECT_TRUE(between);
  dxfadein(dxrgb(255, 255, 255), 50);
  EXPECT_EQ(Screen(5, 5), dxrgb(255, 255, 255));
}

// An 8-bit window on a deeper desktop fades through its palette, and gets the
// palette back at the end.
TEST(PaletteFade, MovesThePaletteAndPutsItBack) {
  host::HeadlessHost h;
  host::set(&h);
  h.set_catch_exits(true);
  ddraw::ResetForTests();
  win32::SetDesktopDepth(32);
  ASSERT_TRUE(dxinit("t", 640, 480, 8, false));
  ASSERT_EQ(dxscreendepth, 8);
  dxcls(dxrgb(0, 0, 255));
  PALETTEENTRY before[256];
  std::memcpy(before, dxpalette, sizeof before);
  dxfadeout(dxrgb(255, 255, 255), 100);
  bool between = false;
  for (const host::Frame& f : h.frames()) {
    const uint32_t v = f.at(5, 5);
    between = between || (v >> 16 > 0x20 && v >> 16 < 0xE0);
  }
  EXPECT_TRUE(between);
  EXPECT_EQ(DisplayTest::Screen(5, 5), dxrgb(255, 255, 255));
  EXPECT_EQ(std::memcmp(before, dxpalette, sizeof before), 0);
  dxcls(dxrgb(0, 0, 255));
  dxfadein(dxrgb(255, 0, 0), 100);
  EXPECT_EQ(std::memcmp(before, dxpalette, sizeof before), 0);
  EXPECT_EQ(h.last_frame()->at(5, 5), 0x000000FFu);
  dxrelease();
  ddraw::ResetForTests();
  host::set(nullptr);
}

ALL_DEPTHS(Effects);

// With a hardware device the blits draw through Direct3D on the back buffer,
// and through the workers on any other target.
class HardwareEffects : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&host_);
    host_.set_catch_exits(true);
    ddraw::ResetForTests();
    soft3d::ResetForTests();
    soft3d::SetHardware(true);
    win32::SetDesktopDepth(32);
    ASSERT_TRUE(dxinit("t", 640, 480, 32, false));
    ASSERT_TRUE(dxd3dinit());
  }
  void TearDown() override {
    dxrelease();
    soft3d::ResetForTests();
    ddraw::ResetForTests();
    host::set(nullptr);
  }
  host::HeadlessHost host_;
};

TEST_F(HardwareEffects, BlitsOnTheBackBufferAgreeWithTheWorkers) {
  ASSERT_TRUE(dxeffectcaps[DXFX_BLTADD]);
  ASSERT_TRUE(dxeffectcaps[DXFX_BLTALPHA]);
  dx::bitmap* b = DisplayTest::Numbered(8, 8);
  const uint32_t back = dxrgb(20, 40, 60);
  dxcls(back);
  dxbltalpha(b, 0, 0, 100);
  dxbltadd(b, 20, 0);
  dxbltsub(b, 40, 0);
  // The same effects drawn by the workers into a bitmap target.
  dx::bitmap* target = dxnewbitmap(64, 8);
  dxpushtargetsurface(dxgetsyssurface(target, true));
  dxcls(back);
  dxbltalpha(b, 0, 0, 100);
  dxbltadd(b, 20, 0);
  dxbltsub(b, 40, 0);
  dxpoptarget(false);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 56; ++x)
      ASSERT_EQ(DisplayTest::Screen(x, y), DisplayTest::At(dxgetsyssurface(target, false), x, y)) << x << "," << y;
  dxdeletebitmap(target);
  dxdeletebitmap(b);
}

TEST_F(HardwareEffects, TrianglesThroughTheDeviceIgnoreTheClip) {
  dxcls(0);
  dxsetclip(0, 0, 15, 480);
  dxtriangle(10, 10, 20, 10, 15, 20, dxrgb(255, 255, 255), 100, false);
  EXPECT_EQ(DisplayTest::Screen(15, 12), dxrgb(255, 255, 255));
  EXPECT_EQ(DisplayTest::Screen(17, 12), dxrgb(255, 255, 255));
  EXPECT_EQ(DisplayTest::Screen(15, 25), 0u);
  // Reversed corners draw the same triangle.
  dxcls(0);
  dxtriangle(15, 20, 20, 10, 10, 10, dxrgb(255, 255, 255), 100, false);
  EXPECT_EQ(DisplayTest::Screen(17, 12), dxrgb(255, 255, 255));
  dxresetclip();
}

TEST_F(HardwareEffects, DarkeningKeepsToTheMinimum) {
  ASSERT_TRUE(dxeffectcaps[DXFX_BLTDARKEN]);
  ASSERT_TRUE(dxeffectcaps[DXFX_FILLDARKEN]);
  dx::bitmap* b = dxnewbitmap(1, 1);
  const uint32_t s = dxrgb(200, 10, 100);
  std::memcpy(dxgetsyssurface(b, true)->pixels().bits, &s, 4);
  dxcls(dxrgb(50, 150, 100));
  dxbltdarken(b, 0, 0);
  EXPECT_EQ(DisplayTest::Screen(0, 0), dxrgb(50, 10, 100));
  dxfillrectdarken(1, 0, 1, 1, dxrgb(10, 200, 60));
  EXPECT_EQ(DisplayTest::Screen(1, 0), dxrgb(10, 150, 60));
  dxdeletebitmap(b);
}

TEST_F(HardwareEffects, AffineAndFillsThroughTheDevice) {
  dx::bitmap* b = DisplayTest::Numbered(8, 4);
  dxcls(0);
  dxbltaffine(b, 10, 20, 18, 20, 10, 24);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(DisplayTest::Screen(10 + x, 20 + y), DisplayTest::NumberAt(32, x, y));
  EXPECT_EQ(DisplayTest::Screen(18, 20), 0u);
  // Partly off the screen.
  dxbltaffine(b, -4, 0, 4, 0, -4, 4);
  EXPECT_EQ(DisplayTest::Screen(0, 0), DisplayTest::NumberAt(32, 4, 0));
  dxcls(dxrgb(100, 100, 100));
  dxsetclip(0, 0, 10, 10);
  dxfillrectadd(5, 5, 10, 10, dxrgb(10, 20, 30));
  EXPECT_EQ(DisplayTest::Screen(6, 6), dxrgb(110, 120, 130));
  EXPECT_EQ(DisplayTest::Screen(11, 6), dxrgb(100, 100, 100));
  dxfillrectsub(0, 0, 3, 3, dxrgb(50, 150, 10));
  EXPECT_EQ(DisplayTest::Screen(1, 1), dxrgb(50, 0, 90));
  dxresetclip();
  dxdeletebitmap(b);
}

}  // namespace
