// The affine, mosaic and triangle-span workers.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "dx/effects/format.h"
#include "dx/effects/geometry.h"
#include "dx/effects/reference.h"

using namespace dx::effects;

namespace {

std::vector<uint8_t> noise(std::mt19937& rng, size_t n, bool with_zeros) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(with_zeros && rng() % 3 == 0 ? 0 : rng());
  return v;
}

TEST(Affine, SetUpAndWorkerMatchThePerPixelMapAtEveryDepth) {
  std::mt19937 rng(11);
  for (int bpp : {8, 16, 24, 32}) {
    const int bytes = bpp / 8;
    for (int round = 0; round < 200; ++round) {
      const int sw = 1 + static_cast<int>(rng() % 9), sh = 1 + static_cast<int>(rng() % 9);
      // Corners around a 24 x 24 screen, some off it.
      int32_t c[6];
      for (auto& v : c) v = static_cast<int32_t>(rng() % 40) - 8;
      std::vector<uint8_t> src = noise(rng, static_cast<size_t>(sw * sh * bytes), true);
      std::vector<uint8_t> screen = noise(rng, static_cast<size_t>(24 * 24 * bytes), false);
      std::vector<uint8_t> ref = screen;
      AffineBox box;
      if (affine_setup(sw, sh, c[0], c[1], c[2], c[3], c[4], c[5], 24, 24, &box)) {
        Affine a;
        a.dst = screen.data() + (box.top * 24 + box.left) * bytes, a.dpitch = 24 * bytes;
        a.src = src.data(), a.spitch = sw * bytes, a.sw = sw, a.sh = sh;
        a.w = box.right - box.left, a.h = box.bottom - box.top;
        a.u = box.u, a.v = box.v, a.dudx = box.dudx, a.dvdx = box.dvdx, a.dudy = box.dudy, a.dvdy = box.dvdy;
        affine_worker(bpp)(a);
      }
      AffineScene scene;
      scene.screen = ref.data(), scene.pitch = 24 * bytes, scene.screen_w = scene.screen_h = 24;
      scene.src = src.data(), scene.spitch = sw * bytes, scene.sw = sw, scene.sh = sh;
      scene.x0 = c[0], scene.y0 = c[1], scene.x1 = c[2], scene.y1 = c[3], scene.x2 = c[4], scene.y2 = c[5];
      affine_draw_reference(scene, bytes);
      ASSERT_EQ(screen, ref) << bpp << " bits, round " << round;
    }
  }
}

TEST(Affine, TheUnturnedParallelogramCopiesThePicture) {
  AffineBox box;
  ASSERT_TRUE(affine_setup(5, 3, 10, 20, 15, 20, 10, 23, 640, 480, &box));
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.top, 20);
  EXPECT_EQ(box.right, 15);
  EXPECT_EQ(box.bottom, 23);
  EXPECT_EQ(box.dudx, 65536u);
  EXPECT_EQ(box.dvdy, 65536u);
  EXPECT_EQ(box.dudy | box.dvdx | box.u | box.v, 0u);
  // Cut at the screen's left edge: the map starts inside the picture.
  ASSERT_TRUE(affine_setup(5, 3, -2, 0, 3, 0, -2, 3, 640, 480, &box));
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.u, 2u << 16);
  // Entirely off the screen, or collinear: nothing.
  EXPECT_FALSE(affine_setup(5, 3, 700, 0, 705, 0, 700, 3, 640, 480, &box));
  EXPECT_FALSE(affine_setup(5, 3, 0, 0, 5, 5, 10, 10, 640, 480, &box));
}

TEST(Rotate, CornersOfNoTurnAndOfAQuarterTurn) {
  int32_t c[6];
  rotate_corners(40, 30, 100, 100, 20, 15, 0, 100, c);
  EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{80, 85, 120, 85, 80, 115}));
  // A quarter turn counter-clockwise: the top edge runs upward on the left.
  rotate_corners(40, 30, 100, 100, 20, 15, 90, 100, c);
  EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{85, 120, 85, 80, 115, 120}));
  // Half size about the centre.
  rotate_corners(40, 30, 100, 100, 20, 16, 0, 50, c);
  EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{90, 92, 110, 92, 90, 107}));
}

// A centre at the low end of the int range puts the corners 2^31 pixels away:
// they are held at the range's end, not wrapped to the other side.
TEST(Rotate, CentresAtTheEndOfTheIntRangeDoNotWrap) {
  int32_t c[6];
  rotate_corners(50, 60, 10, 20, INT32_MIN, 40, 0, 100, c);
  EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{INT32_MAX, -20, INT32_MAX, -20, INT32_MAX, 40}));
  rotate_corners(50, 60, 10, 20, 30, INT32_MIN, 0, 100, c);
  EXPECT_EQ(std::vector<int32_t>(c, c + 6), (std::vector<int32_t>{-20, INT32_MAX, 30, INT32_MAX, -20, INT32_MAX}));
}

TEST(Mosaic, BlocksFromTheRightmostPixelAndBands) {
  for (int bytes : {1, 2, 3, 4}) {
    const int w = 10, h = 11, pitch = w * bytes + 3;
    std::vector<uint8_t> p(static_cast<size_t>(pitch * h));
    for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i * 7 + 1);
    const std::vector<uint8_t> before = p;
    mosaic_rows(p.data(), pitch, w, h, 4, 2, bytes);
    // Sampling rows 0 (band of 3 rows), 3 and 7 (bands of 4).
    const int sample_of[11] = {0, 0, 0, 3, 3, 3, 3, 7, 7, 7, 7};
    const int from_x[10] = {3, 3, 3, 3, 7, 7, 7, 7, 8, 8};
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        for (int i = 0; i < bytes; ++i) {
          ASSERT_EQ(p[static_cast<size_t>(y * pitch + x * bytes + i)],
                    before[static_cast<size_t>(sample_of[y] * pitch + from_x[x] * bytes + i)])
              << bytes << ": " << x << "," << y;
        }
      }
      for (int i = w * bytes; i < pitch; ++i) ASSERT_EQ(p[size_t(y * pitch + i)], before[size_t(y * pitch + i)]);
    }
  }
  std::vector<uint8_t> q = {1, 2, 3, 4};
  mosaic_rows(q.data(), 4, 4, 1, 1, 0, 1);
  EXPECT_EQ(q, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(Spans, WorkerMatchesTheReferenceAtEveryDepth) {
  std::mt19937 rng(5);
  const Format formats[] = {format8(), format565(), format555(), format24(), format32()};
  const uint32_t percents[] = {0, 10, 48, 49, 50, 52, 53, 100};
  for (const Format& f : formats) {
    const int bytes = static_cast<int>(f.bytesperpixel);
    for (int round = 0; round < 160; ++round) {
      const int w = 1 + static_cast<int>(rng() % 13), rows = 1 + static_cast<int>(rng() % 5);
      const int pitch = w * bytes + 2;
      std::vector<uint8_t> fast = noise(rng, static_cast<size_t>(pitch * rows), false);
      if (bytes == 2 && f.allmask != 0xFFFFFFFFu) {
        for (size_t i = 1; i < fast.size(); i += 2) fast[i] &= 0x7F;
      }
      std::vector<uint8_t> ref = fast;
      Spans s;
      s.pitch = pitch, s.rows = rows;
      s.limit = w * 4096;
      s.left = static_cast<int32_t>(rng() % (w * 8192)) - w * 4096;
      s.right = s.left + static_cast<int32_t>(rng() % (w * 8192));
      s.left_step = static_cast<int32_t>(rng() % 16384) - 8192;
      s.right_step = static_cast<int32_t>(rng() % 16384) - 8192;
      s.pixel = rng() & f.allmask;
      s.percent = percents[round % std::size(percents)];
      s.additive = round & 1;
      s.dst = fast.data();
      spans_worker(bytes * 8)(s, f);
      s.dst = ref.data();
      spans_reference(s, f);
      ASSERT_EQ(fast, ref) << bytes * 8 << " bits, round " << round;
    }
  }
}

}  // namespace
