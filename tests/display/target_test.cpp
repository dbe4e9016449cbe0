// The clip rectangle, the target stack and the simple drawing operations.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "fixture.h"

namespace {

int CountSet(int w, int h) {
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) n += DxTest::Back(x, y) != 0;
  return n;
}

TEST_F(DxTest, SetClipIsCutToTheTarget) {
  Start();
  dxsetclip(-10, -10, 50, 50);
  EXPECT_EQ(dxcliprect.left, 0);
  EXPECT_EQ(dxcliprect.top, 0);
  EXPECT_EQ(dxcliprect.right, 40);
  EXPECT_EQ(dxcliprect.bottom, 40);
  dxsetclip(600, 0, 100, 100);
  EXPECT_EQ(dxcliprect.right, 640);
  EXPECT_EQ(dxcliprect.bottom, 100);
}

// Edges beyond the int range are held, not wrapped: a clip that ends left of
// or above the target is empty, and nothing is drawn through it.
TEST_F(DxTest, ClipEndingBeyondTheIntRangeStaysEmpty) {
  Start();
  dxsetclip(INT32_MIN, 20, -1, 40);
  EXPECT_EQ(dxcliprect.left, 0);
  EXPECT_EQ(dxcliprect.top, 20);
  EXPECT_LE(dxcliprect.right, dxcliprect.left);
  EXPECT_EQ(dxcliprect.bottom, 60);
  dxfillrect(0, 0, 640, 480, 5);
  EXPECT_EQ(CountSet(640, 480), 0);
  dxsetclip(INT32_MIN, INT32_MIN, -1, -1);
  EXPECT_LE(dxcliprect.right, dxcliprect.left);
  EXPECT_LE(dxcliprect.bottom, dxcliprect.top);
  dxfillrect(0, 0, 640, 480, 5);
  dxcls(5);
  dxsetpixel(0, 0, 5);
  dxline(INT32_MIN, 30, INT32_MAX, 30, 3);
  EXPECT_EQ(CountSet(640, 480), 0);
}

TEST_F(DxTest, ClipMovesTheSourceWithTheDestination) {
  Start();
  RECT d{-5, 0, 15, 10}, s{0, 0, 20, 10};
  EXPECT_TRUE(dxclip(&d, &s));
  EXPECT_EQ(d.left, 0);
  EXPECT_EQ(d.right, 15);
  EXPECT_EQ(s.left, 5);
  EXPECT_EQ(s.right, 20);
  RECT e{700, 0, 720, 10}, t{0, 0, 20, 10};
  EXPECT_FALSE(dxclip(&e, &t));
}

TEST_F(DxTest, ClearAndFramesStayInsideTheClip) {
  Start();
  dxsetclip(10, 10, 5, 5);
  dxcls(dxrgb(255, 255, 255));
  EXPECT_EQ(CountSet(640, 40), 25);
  dxresetclip();
  dxcls(0);
  dxrect(20, 20, 10, 10, dxrgb(255, 0, 0), 1);
  EXPECT_EQ(CountSet(640, 40), 36);
  EXPECT_NE(Back(20, 20), 0u);
  EXPECT_NE(Back(29, 29), 0u);
  EXPECT_EQ(Back(21, 21), 0u);
}

TEST_F(DxTest, LineIncludesBothEnds) {
  Start();
  dxline(0, 0, 5, 2, 7);
  const int want[][2] = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
  for (auto& p : want) EXPECT_EQ(Back(p[0], p[1]), 7u);
  EXPECT_EQ(CountSet(8, 4), 6);
  EXPECT_EQ(dxgetpixel(2, 1), 7u);
}

// Lines from far outside the target: every pixel the whole walk would set
// inside the clip rectangle, and no other. One across the int range draws its
// clipped row alone.
TEST_F(DxTest, LinesFromFarAwaySetTheirPixelsInsideTheClip) {
  Start();
  dxsetclip(8, 4, 600, 400);
  dxline(INT32_MIN, 5, INT32_MAX, 5, 7);
  for (int x = 0; x < 640; ++x) ASSERT_EQ(Back(x, 5), x >= 8 && x < 608 ? 7u : 0u) << x;
  EXPECT_EQ(CountSet(640, 480), 600);
  // The rule's walk from end to end, in wide numbers.
  auto walk = [](int64_t x0, int64_t y0, int64_t x1, int64_t y1, auto plot) {
    const int64_t dx = std::abs(x0 - x1), dy = std::abs(y0 - y1);
    if (dy < dx) {
      if (x1 < x0) std::swap(x0, x1), std::swap(y0, y1);
      for (int64_t x = x0, y = y0, err = dx / 2; x <= x1; ++x) {
        if (x > x0 && (err -= dy) < 0) err += dx, y += y1 > y0 ? 1 : -1;
        plot(x, y);
      }
    } else {
      if (y1 < y0) std::swap(x0, x1), std::swap(y0, y1);
      for (int64_t y = y0, x = x0, err = dy / 2; y <= y1; ++y) {
        if (y > y0 && (err -= dx) < 0) err += dy, x += x1 > x0 ? 1 : -1;
        plot(x, y);
      }
    }
  };
  const int lines[][4] = {{-100000, -33333, 100640, 33480}, {700, 900000, -30, -250000},
                          {-1000000, 200, 2000000, 201},   {5, 3, 600, 399},
                          {620, -7, 3, 470},               {400, 300, 400, 300}};
  for (const auto& l : lines) {
    dxresetclip();
    dxcls(0);
    dxsetclip(8, 4, 600, 400);
    dxline(l[0], l[1], l[2], l[3], 9);
    int want = 0;
    walk(l[0], l[1], l[2], l[3], [&](int64_t x, int64_t y) {
      if (x < 8 || x >= 608 || y < 4 || y >= 404) return;
      ++want;
      ASSERT_EQ(Back(static_cast<int>(x), static_cast<int>(y)), 9u) << l[0] << "," << l[1] << " at " << x << "," << y;
    });
    EXPECT_EQ(CountSet(640, 480), want) << l[0] << "," << l[1];
  }
}

TEST_F(DxTest, PixelsOutsideTheClipAreNotSet) {
  Start();
  dxsetclip(0, 0, 10, 10);
  dxsetpixel(10, 5, 9);
  dxsetpixel(-1, 5, 9);
  dxsetpixel(9, 9, 9);
  EXPECT_EQ(CountSet(640, 20), 1);
}

TEST_F(DxTest, PushAndPopRestoreTargetAndClip) {
  Start();
  dxsetclip(5, 6, 7, 8);
  IDirectDrawSurface* s = dxcreatesurface(32, 16, DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN);
  ASSERT_NE(s, nullptr);
  dxpushtargetsurface(s);
  EXPECT_EQ(dxtarget, s);
  EXPECT_EQ(dxcliprect.right, 32);
  EXPECT_EQ(dxcliprect.bottom, 16);
  dxcls(3);
  dxpoptarget(false);
  EXPECT_EQ(dxtarget, dxbackbuffer);
  EXPECT_EQ(dxcliprect.left, 5);
  EXPECT_EQ(dxcliprect.bottom, 14);
  platform::PixelBuffer pb = s->pixels();
  EXPECT_EQ(pb.bits[0], 3);
  s->Release();
  // A pop without a push leaves the target alone.
  dxpoptarget(true);
  EXPECT_EQ(dxtarget, dxbackbuffer);
  EXPECT_EQ(dxtargetdepth(), 0u);
}

TEST_F(DxTest, LockTargetGivesItsPixels) {
  Start(16);
  dxsetpixel(3, 4, 0x1234);
  RECT r{3, 4, 4, 5};
  DDSURFACEDESC* d = dxlocktarget(&r, DDLOCK_READONLY);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(*static_cast<uint16_t*>(d->lpSurface), 0x1234);
  dxunlocktarget(d);
  RECT bad{639, 0, 641, 1};
  EXPECT_EQ(dxlocktarget(&bad, 0), nullptr);
}

TEST_F(DxTest, DeviceContextOnTheTarget) {
  Start();
  HDC dc = dxgetdc();
  ASSERT_NE(dc, nullptr);
  dxreleasedc(dc);
  dxreleasedc(nullptr);
}

TEST_F(DxTest, UseVramKeepsTheFrameAndFallsBackToSystemMemory) {
  Start();
  dxcls(dxrgb(1, 2, 3));
  dxusevram(true);
  EXPECT_TRUE(dxvram);
  EXPECT_TRUE(dxbackbuffer->in_video_memory());
  EXPECT_EQ(dxtarget, dxbackbuffer);
  EXPECT_EQ(Back(100, 100), 0x010203u);
  dxusevram(false);
  EXPECT_FALSE(dxbackbuffer->in_video_memory());
  EXPECT_EQ(Back(100, 100), 0x010203u);
  ddraw::SetVideoMemory(1000);
  dxusevram(true);
  EXPECT_FALSE(dxvram);  // no video memory to be had
}

TEST_F(DxTest, UseVramOnlyTakesTheFlagAtTheDesktopDepth) {
  Start(16);
  dxusevram(true);
  EXPECT_FALSE(dxvram);
  EXPECT_FALSE(dxbackbuffer->in_video_memory());
}

TEST_F(DxTest, LostSurfacesAreRestoredByThePump) {
  Start();
  ddraw::LoseAllSurfaces();
  dxpump();
  EXPECT_EQ(dxprimary->IsLost(), DD_OK);
  EXPECT_EQ(dxbackbuffer->IsLost(), DD_OK);
}

TEST_F(DxTest, PrimaryRefusedForFiveSecondsStops) {
  Start();
  ddraw::LoseAllSurfaces();
  ddraw::RefusePrimary(true);
  EXPECT_THROW(dxpump(), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text, U8("DirectDraw の復帰に失敗しました。"));
  ddraw::RefusePrimary(false);
}

// Pixels of the last presented frame that are not `rgb`; -1 when it is not w x h.
int FrameDiffers(const host::HeadlessHost& h, int w, int h_, uint32_t rgb) {
  const host::Frame* f = h.last_frame();
  if (!f || f->w != w || f->h != h_) return -1;
  int n = 0;
  for (uint32_t p : f->pixels) n += p != rgb;
  return n;
}

TEST_F(DxTest, SwitchToFullScreenAndBack) {
  Start();
  dxddreinit(false);  // the current mode: nothing happens
  const uint64_t presented = host_.frames_presented();
  dxddreinit(true);
  EXPECT_TRUE(dxfullscreen);
  EXPECT_TRUE(host_.fullscreen());
  EXPECT_GT(host_.frames_presented(), presented);
  // The whole frame is the screen, not the part under the old window.
  dxcls(dxrgb(0, 0, 255));
  dxpresent();
  EXPECT_EQ(FrameDiffers(host_, 640, 480, 0x0000FF), 0);
  EXPECT_EQ(host_.window_width(), 640);
  EXPECT_EQ(host_.window_height(), 480);
  dxddreinit(false);
  EXPECT_FALSE(dxfullscreen);
  EXPECT_FALSE(host_.fullscreen());
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(dxgetwindow(), GWL_STYLE)), 0x96CA0000u);
  dxcls(dxrgb(0, 255, 0));
  dxpresent();
  EXPECT_EQ(FrameDiffers(host_, 640, 480, 0x00FF00), 0);
}

TEST_F(DxTest, RefusedFullScreenModeStaysAWindow) {
  Start();
  ddraw::RefuseFullScreen(true);
  dxddreinit(true);
  EXPECT_FALSE(dxfullscreen);
  dxcls(dxrgb(0, 0, 255));
  dxupdate();
  EXPECT_EQ(host_.last_frame()->at(5, 5), 0x0000FFu);
}

}  // namespace

namespace {

TEST_F(DxTest, BackBufferCascade) {
  // Full screen at the desktop depth with video memory: a back buffer attached to the primary.
  Start(32, true);
  dxusevram(true);
  EXPECT_EQ(dxbackdesc.ddsCaps.dwCaps & 0x46004u, 0x46004u);
  // Not enough video memory for it: an off-screen surface in system memory.
  ddraw::SetVideoMemory(0);
  dxusevram(true);
  EXPECT_EQ(dxbackdesc.ddsCaps.dwCaps & 0x42840u, 0x42840u);
  EXPECT_FALSE(dxvram);
  ddraw::SetVideoMemory(32u << 20);
  // A window with video memory: an off-screen video-memory surface, not an attached one.
  Start(32);
  dxusevram(true);
  EXPECT_EQ(dxbackdesc.ddsCaps.dwCaps & (DDSCAPS_BACKBUFFER | DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY),
            DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
  // A window at another depth takes the pixel format of that depth's first mode.
  Start(16);
  EXPECT_EQ(dxbackdesc.ddpfPixelFormat.dwRGBBitCount, 16u);
  EXPECT_EQ(dxbackdesc.ddpfPixelFormat.dwRBitMask, 0xF800u);
}

TEST_F(DxTest, RgbAt24Bits) {
  Start(24);
  EXPECT_EQ(dxrgb(255, 0, 0), 0xFF0000u);
  EXPECT_EQ(dxrgb(0, 0, 1), 1u);
  EXPECT_EQ(dxcolorref(0x102030), 0x302010u);
  dxcls(dxrgb(1, 2, 3));
  EXPECT_EQ(Back(639, 479), 0x010203u);
  EXPECT_EQ(dxgetpixel(639, 479), 0x010203u);
}

}  // namespace
