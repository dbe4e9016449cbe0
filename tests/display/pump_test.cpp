// Frame pacing, waits, the clock, the minimised window and random numbers.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "fixture.h"

#include "platform/win32/crt.h"
#include "platform/win32/debug.h"
#include "platform/win32/window.h"
#include "platform/winmm/time.h"

namespace {

constexpr uint64_t kSecond = 1000000;

// Runs frames for `us` of virtual time: each frame asks dxsync(fps) and, when
// told to draw, presents. Returns the number of true answers.
int Frames(host::HeadlessHost& h, int fps, uint64_t us) {
  const uint64_t end = h.now_us() + us;
  int drawn = 0;
  while (h.now_us() < end) {
    if (dxsync(fps)) {
      ++drawn;
      dxupdate();
    } else {
      h.advance_clock(1000);  // a frame's work that took a millisecond
    }
  }
  return drawn;
}

TEST_F(DxTest, SyncGivesThirtyFramesAVirtualSecond) {
  Start();
  Frames(host_, 30, kSecond / 2);  // settle
  EXPECT_EQ(Frames(host_, 30, kSecond), 30);
}

TEST_F(DxTest, SyncRestartsAfterAFrameWithoutPresent) {
  Start();
  EXPECT_TRUE(dxsync(30));
  dxupdate();
  EXPECT_TRUE(dxsync(30));  // told to draw, but nothing is presented
  host_.advance_clock(200000);
  // The schedule starts afresh instead of skipping frames to catch up.
  EXPECT_TRUE(dxsync(30));
  dxupdate();
  host_.advance_clock(10000);
  EXPECT_TRUE(dxsync(30));
}

TEST_F(DxTest, SyncSkipsWhenLateAndResynchronisesAfterAStall) {
  Start();
  EXPECT_TRUE(dxsync(30));
  dxupdate();
  host_.advance_clock(100000);  // three frames late, 100 ms after the present
  // Two frames are skipped to catch up; the schedule is kept.
  EXPECT_FALSE(dxsync(30));
  EXPECT_FALSE(dxsync(30));
  EXPECT_TRUE(dxsync(30));
  dxupdate();
  host_.advance_clock(2 * kSecond);
  EXPECT_TRUE(dxsync(30));  // more than 500 ms since a present: start again
  dxupdate();
  host_.advance_clock(1000);
  EXPECT_TRUE(dxsync(30));
}

TEST_F(DxTest, WaitPassesTheTimeAndPresentsNothing) {
  Start();
  const uint64_t before = host_.frames_presented();
  const DWORD t0 = timeGetTime();
  dxwait(250);
  EXPECT_GE(timeGetTime() - t0, 250u);
  EXPECT_LT(timeGetTime() - t0, 260u);
  EXPECT_EQ(host_.frames_presented(), before);
}

TEST_F(DxTest, TickCountsIntervalsAcrossTheClockWrap) {
  Start();
  dxtick(1);
  // Bring the microsecond count to just before 2^32.
  const DWORD now = dxgettime();
  host_.advance_clock(static_cast<uint64_t>(0xFFFFFF00u - now));
  EXPECT_TRUE(dxtick(1));
  host_.advance_clock(0x80);
  EXPECT_FALSE(dxtick(3000));  // each false answer rests a millisecond
  host_.advance_clock(0x200);  // past the wrap, 1,640 us after the last true answer
  EXPECT_FALSE(dxtick(3000));
  host_.advance_clock(400);
  EXPECT_TRUE(dxtick(3000));
}

TEST_F(DxTest, WaitingOnTickEnds) {
  Start();
  while (!dxtick(1)) {
  }
  const uint64_t t0 = host_.now_us();
  while (!dxtick(50000)) {
  }
  EXPECT_GT(host_.now_us() - t0, 50000u);
  EXPECT_LE(host_.now_us() - t0, 51000u);
}

TEST_F(DxTest, ClockCarriesTheRemainder) {
  const DWORD a = dxgettime();
  host_.advance_clock(1234567);
  EXPECT_EQ(dxgettime() - a, 1234567u);
}

TEST_F(DxTest, MinimisedWindowBlocksThePumpUntilRestored) {
  Start();
  host::Event e;
  e.type = host::EventType::Minimized;
  host_.push(0, e);
  e.type = host::EventType::Restored;
  host_.push(5, e);
  dxpump();
  EXPECT_FALSE(IsIconic(dxgetwindow()));
  EXPECT_TRUE(host_.script_done());
}

TEST_F(DxTest, APaintNobodyValidatesEndsThePumpsSlice) {
  Start();
  dxsetwndproc([](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    return m == WM_PAINT ? 0 : DefWindowProcA(w, m, wp, lp);
  });
  InvalidateRect(dxgetwindow(), nullptr, FALSE);
  const uint64_t before = host_.now_us();
  dxpump();  // used to offer the same paint for ever on a clock that stood still
  EXPECT_GE(host_.now_us() - before, 100000u);
  dxsetwndproc(nullptr);
}

TEST_F(DxTest, CloseWhileMinimisedEndsWithZero) {
  Start();
  host::Event e;
  e.type = host::EventType::Minimized;
  host_.push(0, e);
  host_.close(3);
  try {
    dxpump();
    FAIL();
  } catch (const host::ProcessExit& x) {
    EXPECT_EQ(x.code, 0);
  }
}

TEST_F(DxTest, FramesAreShownAtSixtyHertz) {
  Start();
  dxcls(dxrgb(255, 0, 0));
  const uint64_t t0 = host_.now_us();
  for (int i = 0; i < 60; ++i) dxupdate();
  EXPECT_GE(host_.now_us() - t0, 59 * kSecond / 60);
  EXPECT_LE(host_.now_us() - t0, kSecond);
  ASSERT_NE(host_.last_frame(), nullptr);
  EXPECT_EQ(host_.last_frame()->w, 640);
  EXPECT_EQ(host_.last_frame()->at(320, 240), 0xFF0000u);
}

TEST_F(DxTest, SixteenBitWindowOnADeeperDesktopShowsItsFrames) {
  Start(16);
  dxcls(dxrgb(0, 255, 0));
  dxupdate();
  ASSERT_NE(host_.last_frame(), nullptr);
  EXPECT_EQ(host_.last_frame()->at(0, 0), 0x00FF00u);
}

// A 16-bit screen shown as it is (full screen): each 5-6-5 channel scaled
// to 8 bits on its own, 31 and 63 to 255.
TEST_F(DxTest, SixteenBitFullScreenShowsEachChannelScaledToEightBits) {
  Start(16, true);
  const uint32_t raw[] = {0xF800, 0x07E0, 0x001F, 0x8410, 0x0841, 0x7BEF};
  const uint32_t rgb[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x838183, 0x080808, 0x7B7D7B};
  for (int i = 0; i < 6; ++i) dxsetpixel(i, 0, raw[i]);
  dxpresent();
  ASSERT_NE(host_.last_frame(), nullptr);
  ASSERT_EQ(host_.last_frame()->w, 640);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(host_.last_frame()->at(i, 0), rgb[i]) << i;
}

// A 24- or 32-bit window on a desktop of its depth, shown from the screen:
// bytes blue, green, red from the lowest, a fourth byte not shown.
TEST_F(DxTest, DeepWindowsOnTheirOwnDesktopsShowEachChannelAsItIs) {
  const uint32_t raw[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xABCDEF, 0xFF010203};
  const uint32_t rgb[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xABCDEF, 0x010203};
  for (int depth : {24, 32}) {
    win32::SetDesktopDepth(depth);
    dxdesktopdepth = depth;
    Start(depth);
    const uint32_t bits = depth == 24 ? 0xFFFFFF : 0xFFFFFFFF;
    // At the first row's start and the last row's end.
    for (int i = 0; i < 6; ++i) {
      dxsetpixel(i, 0, raw[i] & bits);
      dxsetpixel(639 - i, 479, raw[i] & bits);
    }
    dxpresent();
    const host::Frame* f = host_.last_frame();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->w, 640);
    ASSERT_EQ(f->h, 480);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(f->at(i, 0), rgb[i]) << depth << " bits, pixel " << i;
      EXPECT_EQ(f->at(639 - i, 479), rgb[i]) << depth << " bits, pixel " << i << " from the end";
    }
    dxrelease();
  }
  win32::SetDesktopDepth(32);
  dxdesktopdepth = 32;
}

// 16-bit pictures of two formats shown in one run, each by its own masks:
// 5-5-5 leaves the top bit out and gives green five bits.
TEST_F(DxTest, FiveSixFiveAndFiveFiveFivePicturesEachShowTheirOwnColours) {
  Start();
  struct Picture {
    uint32_t rmask, gmask, bmask;
    uint16_t raw[5];
    uint32_t rgb[5];
  };
  const Picture p565{0xF800, 0x07E0, 0x001F,
                     {0xF800, 0x07E0, 0x001F, 0x8410, 0xFFFF},
                     {0xFF0000, 0x00FF00, 0x0000FF, 0x838183, 0xFFFFFF}};
  const Picture p555{0x7C00, 0x03E0, 0x001F,
                     {0x7C00, 0x03E0, 0x001F, 0x4210, 0xFFFF},
                     {0xFF0000, 0x00FF00, 0x0000FF, 0x838383, 0xFFFFFF}};
  // The first again once the second has been shown.
  for (const Picture* p : {&p565, &p555, &p565}) {
    uint16_t bits[5];
    std::copy(p->raw, p->raw + 5, bits);
    platform::PixelBuffer pb;
    pb.bits = reinterpret_cast<uint8_t*>(bits);
    pb.width = 5, pb.height = 1, pb.pitch = sizeof(bits);
    pb.format = {16, p->rmask, p->gmask, p->bmask};
    const RECT r{0, 0, 5, 1};
    ASSERT_TRUE(win32::ShowInClient(dxgetwindow(), pb, r, &r));
    const host::Frame* f = host_.last_frame();
    ASSERT_NE(f, nullptr);
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(f->at(i, 0), p->rgb[i]) << (p == &p565 ? "5-6-5" : "5-5-5") << ", pixel " << i;
  }
}

TEST_F(DxTest, RandomNumbers) {
  srand(1);
  EXPECT_EQ(dxrand(0), 0);
  EXPECT_EQ(dxrand(-5), 0);
  for (int i = 0; i < 100; ++i) {
    int v = dxrand(6);
    EXPECT_GE(v, 0);
    EXPECT_LT(v, 6);
  }
}

TEST_F(DxTest, InternedStringsLast) {
  const char* a = dxinternstring("abc");
  std::string tmp = "abc";
  EXPECT_EQ(dxinternstring(tmp.c_str()), a);
  EXPECT_STREQ(dxinternstringw(u"xyz"), "xyz");
}

}  // namespace

namespace {

TEST(DxTraceTest, TraceGoesToTheDebuggerBounded) {
  std::string sink;
  platform::set_debug_capture(&sink);
  dxtrace("a%db", 5);
  std::string big(5000, 'y');
  dxtrace("%s", big.c_str());
  platform::set_debug_capture(nullptr);
  EXPECT_EQ(sink.substr(0, 3), "a5b");
  EXPECT_EQ(sink.size(), 3u + 4095u);
}

}  // namespace

#include "dx/d3d.h"

namespace {

TEST_F(DxTest, WorldToScreenProjectsThroughTheDevice) {
  Start();
  ASSERT_TRUE(dxd3dinit());
  D3DMATRIX id{};
  id._11 = id._22 = id._33 = id._44 = 1.0f;
  ASSERT_EQ(dxd3ddevice->SetTransform(D3DTRANSFORMSTATE_VIEW, &id), D3D_OK);
  ASSERT_EQ(dxd3ddevice->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &id), D3D_OK);
  int x = -1, y = -1;
  ASSERT_TRUE(dxworldtoscreen(D3DVECTOR{0.0f, 0.0f, 1.0f}, &x, &y));
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
  ASSERT_TRUE(dxworldtoscreen(D3DVECTOR{0.5f, 0.5f, 1.0f}, &x, &y));
  EXPECT_EQ(x, 440);  // the horizontal scale is half the height too
  EXPECT_EQ(y, 120);
  x = y = -7;
  EXPECT_FALSE(dxworldtoscreen(D3DVECTOR{0.0f, 0.0f, -1.0f}, &x, &y));
  EXPECT_EQ(x, -7);
  EXPECT_EQ(y, -7);
  // Far off the screen a point keeps its side; one with no place has none.
  ASSERT_TRUE(dxworldtoscreen(D3DVECTOR{1e30f, -1e30f, 1.0f}, &x, &y));
  EXPECT_EQ(x, INT_MAX);
  EXPECT_EQ(y, INT_MAX);
  ASSERT_TRUE(dxworldtoscreen(D3DVECTOR{-1e30f, 1e30f, 1.0f}, &x, &y));
  EXPECT_EQ(x, INT_MIN);
  EXPECT_EQ(y, INT_MIN);
  x = y = -7;
  EXPECT_FALSE(dxworldtoscreen(D3DVECTOR{std::numeric_limits<float>::infinity(), 0.0f, 1.0f}, &x, &y));
  EXPECT_EQ(x, -7);
}

// A paint rectangle's far edges are held in the 32-bit range.
TEST_F(DxTest, PaintRectangleAtTheEndOfTheRangeIsHeld) {
  Start();
  dxsetpaintrect(INT32_MAX - 5, INT32_MIN, 100, INT32_MAX);
  EXPECT_EQ(dxpaintrect.left, INT32_MAX - 5);
  EXPECT_EQ(dxpaintrect.right, INT32_MAX);
  EXPECT_EQ(dxpaintrect.top, INT32_MIN);
  EXPECT_EQ(dxpaintrect.bottom, -1);
  dxsetpaintrect(0, 0, 640, 480);
}

TEST_F(DxTest, LineThroughTheDevice) {
  Start();
  ASSERT_TRUE(dxd3dinit());
  dxline(10, 20, 30, 20, dxrgb(255, 0, 0));
  dxendopenscene();
  EXPECT_EQ(Back(20, 20), 0xFF0000u);
  EXPECT_EQ(Back(20, 21), 0u);
}

// Lines through the device from far outside the screen, with ends beyond
// what a float holds exactly or only longer than a million pixels: each sets
// exactly the pixels of its whole walk inside the back buffer. The walk, by
// the device's rule: along the longer axis, the other coordinate of the true
// line rounded to nearest with half-way points rounded up, both ends drawn
// (the device's last-pixel state starts on).
TEST_F(DxTest, FarLinesThroughTheDeviceSetTheirWalksPixels) {
  Start();
  ASSERT_TRUE(dxd3dinit());
  auto floor_div = [](__int128 n, __int128 d) { return n / d - (n % d != 0 && (n < 0) != (d < 0)); };
  auto walk = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    std::vector<bool> set(640 * 480);
    const bool xmajor = std::abs(y1 - y0) <= std::abs(x1 - x0);
    const int64_t a0 = xmajor ? x0 : y0, a1 = xmajor ? x1 : y1, b0 = xmajor ? y0 : x0, b1 = xmajor ? y1 : x1;
    for (int64_t a = 0; a < (xmajor ? 640 : 480); ++a) {
      if (a < std::min(a0, a1) || a > std::max(a0, a1)) continue;
      // b0 + (a - a0) * (b1 - b0) / (a1 - a0) + 1/2, rounded down.
      const __int128 num = static_cast<__int128>(a - a0) * (b1 - b0), den = a1 - a0;
      const int64_t b = a0 == a1 ? b0 : b0 + static_cast<int64_t>(floor_div(2 * num + den, 2 * den));
      if (b < 0 || b >= (xmajor ? 480 : 640)) continue;
      set[xmajor ? b * 640 + a : a * 640 + b] = true;
    }
    return set;
  };
  constexpr int64_t kHalf = int64_t{1} << 31, kQuarter = int64_t{1} << 30;
  const int64_t lines[][4] = {
      {INT32_MIN, 5, INT32_MAX, 5},
      {-kHalf, 100 - kQuarter, kHalf - 2, kQuarter + 99},  // a slope of 1/2: every other column half-way
      {300 - 1234567891, 240 - (kHalf - 241), 300 + 1234567891, 240 + (kHalf - 241)},  // steep
      {300 + 1234567891, 240 + (kHalf - 241), 300 - 1234567891, 240 - (kHalf - 241)},  // the same, reversed
      {320 - (kHalf - 400), 240 - (kHalf - 400), 320 + (kHalf - 400), 240 + (kHalf - 400)},  // diagonal
      {320 + (kHalf - 400), 240 - 987654321, 320 - (kHalf - 400), 240 + 987654321},  // falling
      {100, 100, INT32_MAX, INT32_MIN + 7},  // one end on the screen
      {-16000000, 17, 16000000, 300},        // floats hold these: the device walks it
      {100, -16777216, 500, 16777216},
  };
  const uint32_t red = dxrgb(255, 0, 0);
  for (const auto& l : lines) {
    dxcls(0);
    dxline(static_cast<int>(l[0]), static_cast<int>(l[1]), static_cast<int>(l[2]), static_cast<int>(l[3]), red);
    dxendopenscene();
    const std::vector<bool> want = walk(l[0], l[1], l[2], l[3]);
    int wanted = 0;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        wanted += want[y * 640 + x];
        ASSERT_EQ(Back(x, y), want[y * 640 + x] ? red : 0u) << l[0] << "," << l[1] << " at " << x << "," << y;
      }
    EXPECT_GT(wanted, 0) << l[0] << "," << l[1];
  }
}

}  // namespace
