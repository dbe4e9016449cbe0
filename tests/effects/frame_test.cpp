// The software drivers on memory surfaces: clipping, locking and dispatch.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dx/display.h"
#include "dx/effects/context.h"
#include "dx/effects/format.h"
#include "dx/effects/frame.h"
#include "dx/target.h"
#include "platform/ddraw/ddraw.h"
#include "tests/common/surfaces.h"

using namespace dx::effects;

namespace {

class Surfaces : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(DirectDrawCreate(nullptr, &dd_, nullptr), DD_OK); }
  void TearDown() override {
    for (auto* s : made_) s->Release();
    dd_->Release();
  }

  IDirectDrawSurface* make(int w, int h, int bpp) {
    IDirectDrawSurface* s = testcommon::MakeSurface(dd_, w, h, bpp);
    made_.push_back(s);
    return s;
  }
  Target target(IDirectDrawSurface* s, RECT clip) {
    Target t;
    t.surface = s, t.clip = clip, t.bpp = s->bpp();
    t.format = t.bpp == 8 ? format8() : t.bpp == 16 ? format565() : t.bpp == 24 ? format24() : format32();
    return t;
  }
  static uint32_t get(IDirectDrawSurface* s, int x, int y) { return testcommon::SurfacePixel(s, x, y); }
  static void set(IDirectDrawSurface* s, int x, int y, uint32_t v) { testcommon::SetSurfacePixel(s, x, y, v); }
  // The picture's pixel (x, y) is 1 + x + 16 * y.
  IDirectDrawSurface* numbered(int w, int h, int bpp) {
    IDirectDrawSurface* s = make(w, h, bpp);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) set(s, x, y, static_cast<uint32_t>(1 + x + 16 * y));
    return s;
  }
  std::vector<uint32_t> all(IDirectDrawSurface* s) {
    std::vector<uint32_t> v;
    for (int y = 0; y < s->height(); ++y)
      for (int x = 0; x < s->width(); ++x) v.push_back(get(s, x, y));
    return v;
  }

  IDirectDraw* dd_ = nullptr;
  std::vector<IDirectDrawSurface*> made_;
};

TEST_F(Surfaces, BlitStartsAtTheInnerPixelWhenClippedAtTheTopLeft) {
  for (int bpp : {8, 16, 24, 32}) {
    IDirectDrawSurface* screen = make(20, 20, bpp);
    IDirectDrawSurface* pic = numbered(6, 5, bpp);
    Blit p;
    p.param = 100;
    blit(target(screen, RECT{4, 3, 20, 20}), pic, 2, 1, Mode::Alpha, p);
    EXPECT_EQ(get(screen, 3, 3), 0u);
    EXPECT_EQ(get(screen, 4, 3), static_cast<uint32_t>(1 + 2 + 16 * 2)) << bpp;
    EXPECT_EQ(get(screen, 7, 5), static_cast<uint32_t>(1 + 5 + 16 * 4));
    EXPECT_EQ(get(screen, 8, 5), 0u);
    EXPECT_EQ(get(screen, 7, 6), 0u);
  }
}

TEST_F(Surfaces, NothingOutsideTheClipAndNothingOnAFailedLock) {
  IDirectDrawSurface* screen = make(20, 20, 16);
  IDirectDrawSurface* pic = numbered(6, 5, 16);
  const std::vector<uint32_t> before = all(screen);
  blit(target(screen, RECT{10, 10, 20, 20}), pic, 2, 2, Mode::Add, Blit{});
  blit(target(screen, RECT{0, 0, 20, 20}), pic, 20, 0, Mode::Add, Blit{});
  blit(target(screen, RECT{0, 0, 20, 20}), pic, -6, 0, Mode::Add, Blit{});
  fill(target(screen, RECT{0, 0, 20, 20}), 5, 5, 0, 4, Mode::FillAdd, 0xFFFF, 0, nullptr);
  EXPECT_EQ(all(screen), before);
  // A picture of another depth is not mixed in.
  blit(target(screen, RECT{0, 0, 20, 20}), numbered(4, 4, 32), 0, 0, Mode::Add, Blit{});
  EXPECT_EQ(all(screen), before);
  pic->lose();
  blit(target(screen, RECT{0, 0, 20, 20}), pic, 0, 0, Mode::Add, Blit{});
  EXPECT_EQ(all(screen), before);
  // A clip rectangle larger than the target is cut to it.
  IDirectDrawSurface* pic2 = numbered(6, 5, 16);
  blit(target(screen, RECT{-50, -50, 500, 500}), pic2, 17, 18, Mode::Add, Blit{});
  EXPECT_EQ(get(screen, 19, 19), 1u + 2 + 16u);
}

TEST_F(Surfaces, ATargetOfAnotherDepthThanTheDisplayGetsNoWorker) {
  IDirectDrawSurface* s16 = make(4, 2, 16);
  IDirectDrawSurface* saved_target = dxtarget;
  const int saved_depth = dxscreendepth;
  dxtarget = s16;
  dxscreendepth = 32;
  Target t = current_target();
  EXPECT_EQ(t.bpp, 0);
  fill(t, 0, 0, 4, 2, Mode::FillAlpha, 0xFFFFFF, 50, nullptr);  // 32-bit rows would run past the surface
  for (uint32_t v : all(s16)) EXPECT_EQ(v, 0u);
  dxscreendepth = 16;
  EXPECT_EQ(current_target().bpp, 16);
  dxtarget = saved_target;
  dxscreendepth = saved_depth;
}

TEST_F(Surfaces, FillChangesOnlyTheInsideOfTheClip) {
  IDirectDrawSurface* screen = make(10, 10, 32);
  fill(target(screen, RECT{2, 2, 6, 6}), 0, 4, 10, 10, Mode::FillAdd, 0x00010203, 0, nullptr);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(get(screen, x, y), (x >= 2 && x < 6 && y >= 4 && y < 6) ? 0x00010203u : 0u) << x << "," << y;
  // Width 1 at 16 bits changes exactly one pixel a row.
  IDirectDrawSurface* s16 = make(5, 3, 16);
  fill(target(s16, RECT{0, 0, 5, 3}), 2, 0, 1, 3, Mode::FillAlpha, 0xFFFF, 100, nullptr);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(get(s16, x, y), x == 2 ? 0xFFFFu : 0u);
}

TEST_F(Surfaces, MaskedBlitDrawsWhereTheMaskIsSet) {
  IDirectDrawSurface* screen = make(12, 12, 16);
  IDirectDrawSurface* pic = numbered(4, 4, 16);
  IDirectDrawSurface* mask = make(4, 4, 16);
  set(mask, 0, 0, 1), set(mask, 1, 0, 0), set(mask, 3, 3, 7);
  // The mask sits one pixel right of and below the picture.
  blit_masked(target(screen, RECT{0, 0, 12, 12}), pic, 2, 2, mask, 3, 3);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      uint32_t want = 0;
      if (x == 3 && y == 3) want = 1 + 1 + 16 * 1;
      EXPECT_EQ(get(screen, x, y), want) << x << "," << y;
    }
  }
  // A mask wholly off the picture draws nothing.
  IDirectDrawSurface* screen2 = make(12, 12, 16);
  blit_masked(target(screen2, RECT{0, 0, 12, 12}), pic, 0, 0, mask, 6, 6);
  EXPECT_EQ(all(screen2), std::vector<uint32_t>(144, 0));
}

TEST_F(Surfaces, TriangleRowsAndCornerOrder) {
  IDirectDrawSurface* a = make(32, 32, 32);
  const Target ta = target(a, RECT{0, 0, 32, 32});
  triangle(ta, 10, 10, 20, 10, 15, 20, 0x00FFFFFF, 100, false);
  for (int y = 0; y < 32; ++y) {
    bool any = false;
    for (int x = 0; x < 32; ++x) any = any || get(a, x, y) != 0;
    EXPECT_EQ(any, y >= 10 && y < 20) << y;
  }
  const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  const int cx[3] = {3, 28, 12}, cy[3] = {5, 14, 30};
  std::vector<uint32_t> first;
  for (const auto& o : orders) {
    IDirectDrawSurface* s = make(32, 32, 16);
    triangle(target(s, RECT{0, 0, 32, 32}), cx[o[0]], cy[o[0]], cx[o[1]], cy[o[1]], cx[o[2]], cy[o[2]], 0xFFFF, 100,
             false);
    if (first.empty()) first = all(s);
    EXPECT_EQ(all(s), first);
  }
  IDirectDrawSurface* flat = make(32, 32, 16);
  triangle(target(flat, RECT{0, 0, 32, 32}), 1, 7, 20, 7, 30, 7, 0xFFFF, 100, false);
  EXPECT_EQ(all(flat), std::vector<uint32_t>(32 * 32, 0));
}

// 20.12 corners hold x to +-524287 pixels: a corner between that and the old
// clamp at 131071 keeps its own edge, and corners at the ends of the 32-bit
// range go through without a wrapped sum.
TEST_F(Surfaces, TriangleCornersFarOffKeepTheirEdges) {
  IDirectDrawSurface* s = make(64, 64, 32);
  const Target t = target(s, RECT{0, 0, 64, 64});
  // The right edge runs from (0, 0) to (300000, 100000): 3 pixels a row.
  triangle(t, 0, 0, 300000, 100000, 0, 100000, 0x00FFFFFF, 100, false);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(get(s, x, y) != 0, x < 3 * y) << x << "," << y;
  // Beyond what 20.12 holds the corner is pulled in to 524287.
  IDirectDrawSurface* a = make(64, 64, 32);
  IDirectDrawSurface* b = make(64, 64, 32);
  triangle(target(a, RECT{0, 0, 64, 64}), 0, 0, 2000000, 1000000, 0, 1000000, 0x00FFFFFF, 100, false);
  triangle(target(b, RECT{0, 0, 64, 64}), 0, 0, 524287, 1000000, 0, 1000000, 0x00FFFFFF, 100, false);
  EXPECT_EQ(all(a), all(b));
  // Rows far above and below the screen, edges far to both sides.
  IDirectDrawSurface* c = make(64, 64, 16);
  const Target tc = target(c, RECT{0, 0, 64, 64});
  triangle(tc, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MIN + 1, 0, INT32_MAX, 0xFFFF, 100, false);
  triangle(tc, -524288, -1, 524287, 0, 3, INT32_MAX, 0xFFFF, 50, true);
  EXPECT_EQ(get(c, 5, 5), 0xFFFFu);  // inside the first, whose long edges pass far outside the screen
  IDirectDrawSurface* d = make(64, 64, 16);
  triangle(target(d, RECT{0, 0, 64, 64}), 0, INT32_MAX - 1, 64, INT32_MAX, 0, INT32_MAX, 0xFFFF, 100, false);
  EXPECT_EQ(all(d), std::vector<uint32_t>(64 * 64, 0));
}

// Corners at the ends of the 32-bit range: the determinant and the steps take
// more than 64 bits. This parallelogram spreads the 5 x 4 picture over 2^32
// pixels, so every screen pixel shows the picture's first pixel.
TEST_F(Surfaces, AffineWithFarCornersMapsExactly) {
  IDirectDrawSurface* screen = make(16, 16, 32);
  IDirectDrawSurface* pic = numbered(5, 4, 32);
  const int32_t corners[6] = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX};
  affine(target(screen, RECT{0, 0, 16, 16}), pic, 5, 4, corners, 16, 16);
  EXPECT_EQ(all(screen), std::vector<uint32_t>(16 * 16, 1));
  // Far blits and fills are clipped away, not wrapped onto the screen.
  IDirectDrawSurface* s2 = make(16, 16, 32);
  const Target t2 = target(s2, RECT{0, 0, 16, 16});
  blit(t2, pic, INT32_MIN, INT32_MIN, Mode::Add, Blit{});
  blit(t2, pic, INT32_MAX - 2, 0, Mode::Add, Blit{});
  blit_masked(t2, pic, INT32_MIN, 0, pic, INT32_MAX, 0);
  fill(t2, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, Mode::FillAdd, 7, 100, nullptr);
  mosaic(t2, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, 4, 1);
  EXPECT_EQ(all(s2), std::vector<uint32_t>(16 * 16, 0));
}

TEST_F(Surfaces, AffineCopyAndMosaic) {
  IDirectDrawSurface* screen = make(24, 24, 24);
  IDirectDrawSurface* pic = numbered(5, 4, 24);
  const int32_t corners[6] = {10, 12, 15, 12, 10, 16};
  affine(target(screen, RECT{0, 0, 24, 24}), pic, 5, 4, corners, 24, 24);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      bool in = x >= 10 && x < 15 && y >= 12 && y < 16;
      EXPECT_EQ(get(screen, x, y), in ? static_cast<uint32_t>(1 + (x - 10) + 16 * (y - 12)) : 0u);
    }
  // Partly off the screen: drawn up to its edge.
  IDirectDrawSurface* s2 = make(24, 24, 24);
  const int32_t off[6] = {-2, -1, 3, -1, -2, 3};
  affine(target(s2, RECT{0, 0, 24, 24}), pic, 5, 4, off, 24, 24);
  EXPECT_EQ(get(s2, 0, 0), static_cast<uint32_t>(1 + 2 + 16));
  EXPECT_EQ(get(s2, 2, 2), static_cast<uint32_t>(1 + 4 + 16 * 3));
  EXPECT_EQ(get(s2, 3, 0), 0u);

  IDirectDrawSurface* m = numbered(10, 6, 16);
  const std::vector<uint32_t> before = all(m);
  mosaic(target(m, RECT{0, 0, 10, 6}), 0, 0, 10, 6, 1, 1);
  EXPECT_EQ(all(m), before);
  mosaic(target(m, RECT{0, 0, 10, 6}), 0, 0, 10, 6, 4, 3);
  EXPECT_EQ(get(m, 0, 0), 1u + 3);
  EXPECT_EQ(get(m, 9, 3), 1u + 8);
  EXPECT_EQ(get(m, 5, 5), 1u + 7 + 16 * 4);
}

TEST_F(Surfaces, WaveAndJitterMoveWholeRows) {
  IDirectDrawSurface* pic = numbered(4, 4, 32);
  DDCOLORKEY key{0, 0};
  pic->SetColorKey(DDCKEY_SRCBLT, &key);
  // Rows at x, x + 10, x, x - 10; the first row is above the clip but still
  // counts in the phase.
  IDirectDrawSurface* screen = make(40, 10, 32);
  wave(target(screen, RECT{0, 3, 40, 10}), pic, 4, 4, 15, 2, 10, 4, 0);
  EXPECT_EQ(get(screen, 15, 2), 0u);
  EXPECT_EQ(get(screen, 25, 3), 1u + 16);
  EXPECT_EQ(get(screen, 15, 4), 1u + 32);
  EXPECT_EQ(get(screen, 5, 5), 1u + 48);
  // A row half off the clip's left edge starts inside the picture.
  IDirectDrawSurface* s2 = make(40, 10, 32);
  wave(target(s2, RECT{0, 0, 40, 10}), pic, 4, 4, 2, 0, 0, 0, 0);
  EXPECT_EQ(get(s2, 2, 0), 1u);
  IDirectDrawSurface* s3 = make(40, 10, 32);
  wave(target(s3, RECT{0, 0, 40, 10}), pic, 4, 4, -2, 0, 0, 7, 0);
  EXPECT_EQ(get(s3, 0, 0), 3u);
  EXPECT_EQ(get(s3, 2, 0), 0u);
  // A period of 0 holds every row at the phase's angle.
  IDirectDrawSurface* s5 = make(40, 10, 32);
  wave(target(s5, RECT{0, 0, 40, 10}), pic, 4, 4, 15, 0, 10, 0, 90);
  for (int r = 0; r < 4; ++r) EXPECT_EQ(get(s5, 25, r), static_cast<uint32_t>(1 + 16 * r));
  // Amplitude 1: every row one pixel to the left.
  IDirectDrawSurface* s4 = make(40, 10, 32);
  jitter(target(s4, RECT{0, 0, 40, 10}), pic, 4, 4, 10, 1, 1, Jitter{12345, 678});
  for (int r = 0; r < 4; ++r) EXPECT_EQ(get(s4, 9, 1 + r), static_cast<uint32_t>(1 + 16 * r));
  Jitter j{99, 1700000000};
  for (int i = 0; i < 200; ++i) {
    int32_t left = j.next_left(100, 6);
    EXPECT_GE(left, 94);
    EXPECT_LE(left, 104);
  }
}

}  // namespace
