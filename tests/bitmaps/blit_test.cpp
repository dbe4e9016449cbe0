// Fills and blits on the back buffer at every depth.
#include <climits>
#include <cstdint>

#include "dx/d3d.h"
#include "dx/dither.h"
#include "tests/bitmaps/display_fixture.h"

namespace {

using BlitTest = DisplayTest;

TEST_P(BlitTest, FillsStayInsideTheClip) {
  dxsetclip(10, 10, 20, 20);
  dxfillrect(0, 0, 5, 5, 7);  // wholly outside
  dxfillrect(25, 25, 10, 10, 7);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) EXPECT_EQ(Screen(x, y), (x >= 25 && x < 30 && y >= 25 && y < 30) ? 7u : 0u);
  dxresetclip();
}

TEST_P(BlitTest, WholeBlitsTryUnclippedFirst) {
  dx::bitmap* b = Numbered(100, 100);
  // Inside the target: drawn whole even outside the clip rectangle.
  dxsetclip(50, 50, 150, 150);
  dxblt(b, 10, 10);
  EXPECT_EQ(Screen(10, 10), NumberAt(depth(), 0, 0));
  EXPECT_EQ(Screen(109, 109), NumberAt(depth(), 99, 99));
  dxresetclip();
  dxfillrect(0, 0, 640, 480, 0);
  // Reaching past the right edge: trimmed to the clip rectangle.
  dxsetclip(600, 0, 100, 100);
  dxblt(b, 630, 0);
  EXPECT_EQ(Screen(630, 5), NumberAt(depth(), 0, 5));
  EXPECT_EQ(Screen(639, 5), NumberAt(depth(), 9, 5));
  dxresetclip();
  dxblt(b, -30, 470);
  EXPECT_EQ(Screen(0, 470), NumberAt(depth(), 30, 0));
  EXPECT_EQ(Screen(69, 479), NumberAt(depth(), 99, 9));
  dxdeletebitmap(b);
}

TEST_P(BlitTest, KeyedAndUnkeyedParts) {
  dx::bitmap* b = Load(Dib(4, 1, [](int x, int) { return x == 1 ? 0u : 0xFFFFFFu; }));
  dxfillrect(0, 0, 10, 10, 3);
  dxbltpart(b, 2, 2, 0, 0, 4, 1);
  EXPECT_EQ(Screen(3, 2), 3u);  // the key lets the target show
  EXPECT_NE(Screen(2, 2), 3u);
  dxbltpartnokey(b, 2, 3, 0, 0, 4, 1);
  EXPECT_EQ(Screen(3, 3), 0u);
  dxsetclip(0, 0, 640, 480);
  dxbltpart(b, -2, 5, 0, 0, 4, 1);  // the left two columns are cut off
  EXPECT_EQ(Screen(0, 5), Pixel(b, 2, 0));
  dxdeletebitmap(b);
}

TEST_P(BlitTest, StretchRetryIsTrimmedToTheScreen) {
  dx::bitmap* b = Numbered(100, 100);
  dxstretchblt(b, -50, 0, 200, 100);
  // Source columns 25 to 99 on destination columns 0 to 149.
  EXPECT_EQ(Screen(0, 0), NumberAt(depth(), 25, 0));
  EXPECT_EQ(Screen(149, 99), NumberAt(depth(), 99, 99));
  EXPECT_EQ(Screen(150, 0), 0u);
  dxfillrect(0, 0, 640, 480, 0);
  dxstretchblt(b, 10, 10, 0, 50);  // nothing, and no division by the width
  dxstretchblt(b, 10, 10, 50, -1);
  dxstretchblt(b, 600, 400, 100, 100);
  EXPECT_EQ(Screen(600, 400), NumberAt(depth(), 0, 0));
  for (int x = 0; x < 600; ++x) EXPECT_EQ(Screen(x, 10), 0u);
  dxdeletebitmap(b);
}

TEST_P(BlitTest, TilesCoverTheAreaWithTopLeftPieces) {
  dx::bitmap* b = Numbered(32, 32);
  dxblttile(b, 0, 0, 80, 40);
  EXPECT_EQ(Screen(31, 0), NumberAt(depth(), 31, 0));
  EXPECT_EQ(Screen(32, 0), NumberAt(depth(), 0, 0));
  EXPECT_EQ(Screen(79, 31), NumberAt(depth(), 15, 31));
  EXPECT_EQ(Screen(79, 39), NumberAt(depth(), 15, 7));
  EXPECT_EQ(Screen(80, 0), 0u);
  EXPECT_EQ(Screen(0, 40), 0u);
  dxblttile(b, 0, 100, 0, 0);  // empty: returns at once
  dxdeletebitmap(b);
}

// Tiles from far places: the pieces that lie wholly on the target are drawn
// where the bands and columns from the start put them, and a start near the
// end of the int range draws nothing.
TEST_P(BlitTest, TilesFromFarPlacesDrawThePiecesOnTheTarget) {
  dx::bitmap* b = Numbered(32, 32);
  // Columns at -8 + 32k: from 24 to 631; bands at -16 (off the target) and at 16, 16 high.
  dxblttile(b, -8 - 32 * 100000, -16, 8000000, 48);
  EXPECT_EQ(Screen(24, 16), NumberAt(depth(), 0, 0));
  EXPECT_EQ(Screen(631, 31), NumberAt(depth(), 31, 15));
  EXPECT_EQ(Screen(100, 20), NumberAt(depth(), 12, 4));
  EXPECT_EQ(Screen(23, 16), 0u);
  EXPECT_EQ(Screen(632, 16), 0u);
  EXPECT_EQ(Screen(24, 15), 0u);
  EXPECT_EQ(Screen(24, 32), 0u);
  dxfillrect(0, 0, 640, 480, 0);
  dxblttile(b, INT32_MAX - 40, INT32_MAX - 40, 100, 100);
  dxblttile(b, INT32_MAX - 40, 0, 100, 100);
  for (int y = 0; y < 480; y += 7)
    for (int x = 0; x < 640; x += 7) ASSERT_EQ(Screen(x, y), 0u) << x << "," << y;
  dxdeletebitmap(b);
}

TEST_P(BlitTest, UnderOnlyTouchesZero) {
  dxfillrect(0, 0, 4, 1, 5);
  dxfillrect(2, 0, 2, 1, 0);
  dx::bitmap* b = Numbered(4, 1);
  dxbltunder(b, 0, 0);
  EXPECT_EQ(Screen(0, 0), 5u);
  EXPECT_EQ(Screen(2, 0), NumberAt(depth(), 2, 0));
  dxdeletebitmap(b);
}

TEST_P(BlitTest, KeyedFillOnlyChangesZeroPixels) {
  dxfillrect(0, 0, 4, 1, 0);
  dxfillrect(1, 0, 1, 1, 5);
  dxfillrectkey(0, 0, 3, 1, 9);
  EXPECT_EQ(Screen(0, 0), 9u);
  EXPECT_EQ(Screen(1, 0), 5u);  // kept: not the key
  EXPECT_EQ(Screen(2, 0), 9u);
  EXPECT_EQ(Screen(3, 0), 0u);  // outside the rectangle
}

TEST_P(BlitTest, MirroredBlitTrimsTheOppositeSide) {
  dx::bitmap* b = Numbered(10, 2);
  dxsetclip(0, 0, 5, 480);
  dxbltmirror(b, 0, 0, true, false);
  // The mirrored picture's left five columns are source columns 9 down to 5.
  for (int x = 0; x < 5; ++x) EXPECT_EQ(Screen(x, 1), NumberAt(depth(), 9 - x, 1)) << x;
  EXPECT_EQ(Screen(5, 0), 0u);
  dxresetclip();
  dxdeletebitmap(b);
}

TEST_P(BlitTest, InvertFlipsEveryChannelBit) {
  dxfillrect(0, 0, 2, 1, 0);
  dxinvertrect(0, 0, 1, 1);
  uint32_t all = depth() == 8 ? 0xFF : depth() == 16 ? 0xFFFF : 0xFFFFFF;
  EXPECT_EQ(Screen(0, 0) & all, all);
  EXPECT_EQ(Screen(1, 0), 0u);
}

TEST_P(BlitTest, InvertThroughDirect3DOnTheBackBufferOnly) {
  if (depth() == 8) GTEST_SKIP() << "no Direct3D effects at 8 bits";
  soft3d::SetHardware(true);
  ASSERT_TRUE(dxd3dinit());
  ASSERT_TRUE(dxeffectcaps[DXFX_INVERT]);
  uint32_t grey = dxrgb(0x30, 0x60, 0x90), inverted = dxrgb(0xCF, 0x9F, 0x6F);
  dxfillrect(0, 0, 4, 4, grey);
  dxsetclip(0, 0, 2, 4);
  dxinvertrect(0, 0, 4, 4);
  dxendscene();
  EXPECT_EQ(Screen(1, 1), inverted);
  EXPECT_EQ(Screen(2, 1), grey);  // outside the clip
  // On a bitmap target the blit inverts.
  dx::bitmap* b = dxnewbitmap(2, 2);
  dxpushtarget(b);
  dxfillrect(0, 0, 2, 2, grey);
  dxinvertrect(0, 0, 1, 1);
  dxpoptarget(true);
  uint32_t all = depth() == 16 ? 0xFFFF : 0xFFFFFF;
  EXPECT_EQ(Pixel(b, 0, 0) & all, grey ^ all);
  EXPECT_EQ(Pixel(b, 1, 0), grey);
  dxdeletebitmap(b);
  dxresetclip();
  dxrelease();  // the device goes with the layer
  soft3d::ResetForTests();
}

TEST_P(BlitTest, RgbFillPatterns) {
  dxfillrectrgb(0, 0, 4, 4, 255, 255, 255);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      uint32_t want = depth() == 8 ? 0xFF : 0xFFFFFF;  // no threshold exceeds 248 at 8 bits
      if (depth() == 16) {
        // Red and blue: level 30, fraction 225; green: level 62, fraction 193. The
        // pattern's rows count from the rectangle's bottom.
        int t = dx::dither_threshold[3 - ((4 - y) & 3)][x];
        want = static_cast<uint32_t>((30 + (225 >= t)) << 11 | (62 + (193 >= t)) << 5 | (30 + (225 >= t)));
      }
      EXPECT_EQ(Screen(x, y), want) << x << "," << y;
    }
}

// Positions and sizes at the ends of the 32-bit range: what the clip rules
// give (here nothing at all, or exactly the part on the screen), with no
// wrapped sum (the sanitizer build checks the arithmetic itself).
TEST_P(BlitTest, FarPositionsAndSizesClipAsTheRulesSay) {
  constexpr int kMax = INT32_MAX, kMin = INT32_MIN;
  dx::bitmap* b = Numbered(100, 100);
  auto blank = [] {
    for (int y = 0; y < 480; y += 7)
      for (int x = 0; x < 640; x += 7)
        if (Screen(x, y) != 0) return false;
    return Screen(639, 479) == 0 && Screen(0, 0) == 0;
  };
  dxfillrect(kMax, kMax, kMax, kMax, 5);
  dxfillrect(kMin, kMin, kMax, kMax, 5);  // ends at -1
  dxfillrect(kMax - 10, 0, 100, 100, 5);
  dxblt(b, kMax, kMax);
  dxblt(b, kMin, kMin);
  dxblt(b, kMax - 50, 0);
  dxbltpart(b, kMin, 0, kMax, 0, kMax, 100);
  dxbltpart(b, 0, 0, kMin, kMin, kMax, kMax);  // the source part starts far outside the picture
  dxbltpart(b, 0, 0, kMax - 10, 0, 50, 50);
  dxbltnokey(b, kMax - 1, kMin + 1);
  dxbltunder(b, kMin, kMax);
  dxbltmirror(b, kMin, kMin, true, true);
  dxbltmirror(b, kMax - 5, 0, true, false);
  dxstretchblt(b, kMin, kMin, kMax, kMax);
  dxinvertrect(kMax, kMax, kMax, kMax);
  dxrect(kMax - 3, kMin, kMax, kMax, 5, 2);
  dxsetclip(kMax, kMax, kMax, kMax);
  dxfillrect(0, 0, 640, 480, 5);
  dxresetclip();
  dxsetfont("", 16, 8, 0, 0, 0);
  dxtextout(kMax - 3, 10, "abc", 5);
  dxtextout(kMin, kMax - 3, "abc", 5);
  EXPECT_EQ(dxgetpixel(kMax, kMax), 0u);
  dx::bitmap* far = dxcapture(kMax - 4, kMin, 8, 8, false);
  EXPECT_EQ(Pixel(far, 0, 0), 0u);
  dxdeletebitmap(far);
  EXPECT_TRUE(blank());
  // A part that starts far left of the screen but reaches onto it: exactly
  // the columns on the screen are drawn, from the source columns they face.
  dxbltpartnokey(b, -2000000000, 0, -1999999990, 0, 2000000050, 1);
  EXPECT_EQ(Screen(0, 0), NumberAt(depth(), 10, 0));
  EXPECT_EQ(Screen(49, 0), NumberAt(depth(), 59, 0));
  EXPECT_EQ(Screen(50, 0), 0u);
  dxdeletebitmap(b);
}

TEST(DitherMask, Thresholds) {
  uint32_t m[4];
  dxdithermask(25, m);
  EXPECT_EQ(m[0], 0u);
  EXPECT_EQ(m[1], 0x00FF00FFu);  // 200 and 232
  EXPECT_EQ(m[2], 0u);
  EXPECT_EQ(m[3], 0x00FF00FFu);  // 248 and 216
  dxdithermask(0, m);
  EXPECT_EQ(m[0] | m[1] | m[2] | m[3], 0u);
  dxdithermask(100, m);
  EXPECT_EQ(m[0] & m[1] & m[2] & m[3], 0xFFFFFFFFu);
  dxdithermask(50, m);
  int set = 0;
  for (uint32_t v : m)
    for (int i = 0; i < 4; ++i) set += ((v >> (8 * i)) & 0xFF) == 0xFF;
  EXPECT_EQ(set, 8);
}

TEST(DitherMask, PercentagesPastTheEndsCoverAllOrNothing) {
  uint32_t m[4];
  for (int percent : {101, INT_MAX}) {
    dxdithermask(percent, m);
    EXPECT_EQ(m[0] & m[1] & m[2] & m[3], 0xFFFFFFFFu) << percent;
  }
  for (int percent : {-1, INT_MIN}) {
    dxdithermask(percent, m);
    EXPECT_EQ(m[0] | m[1] | m[2] | m[3], 0u) << percent;
  }
}

ALL_DEPTHS(BlitTest);

}  // namespace
