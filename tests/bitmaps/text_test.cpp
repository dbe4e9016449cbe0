// Text on the render target at every depth.
#include <string>

#include "tests/bitmaps/display_fixture.h"

namespace {

using TextTest = DisplayTest;

int Count(int x0, int y0, int x1, int y1, uint32_t v) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += DisplayTest::Screen(x, y) == v;
  return n;
}

TEST_P(TextTest, DrawsInThePixelValueInsideTheClip) {
  dxsetfont("ＭＳ ゴシック", 16, 8, 0, 0, 0);
  EXPECT_EQ(dxtextwidth(""), 0);
  EXPECT_EQ(dxtextwidth("A"), 8);
  EXPECT_EQ(dxtextwidth("あ"), 16);
  EXPECT_EQ(dxfontheight(0), 16);
  uint32_t colour = dxrgb(255, 255, 0);
  dxsetclip(0, 0, 20, 480);
  dxtextout(0, 0, "■■", colour);
  EXPECT_GT(Count(0, 0, 20, 16, colour), 100);
  EXPECT_EQ(Count(20, 0, 40, 16, colour), 0);  // cut at the clip rectangle
  EXPECT_EQ(Count(0, 16, 40, 40, colour), 0);
  // Colour 0 writes 0 over what was there.
  dxresetclip();
  dxfillrect(0, 20, 40, 20, colour);
  dxtextoutw(0, 20, u"■", 0);
  EXPECT_GT(Count(0, 20, 16, 36, 0), 100);
  EXPECT_EQ(Count(16, 20, 40, 40, 0), 0);
}

TEST_P(TextTest, FormattedTextIsBounded) {
  std::string longer(5000, 'x');
  dxprintf(0, 0, dxrgb(255, 255, 255), "%s", longer.c_str());  // cut to 4095 bytes, drawn clipped
  dxprintf(0, 0, dxrgb(255, 255, 255), "%d%s", 12, "あ");
  dxprintfw(0, 20, dxrgb(255, 255, 255), u"%s=%d %S", u"あ", -5, "b");
  EXPECT_GT(Count(0, 20, 640, 36, dxrgb(255, 255, 255)), 50);
  dx::bitmap* b = dxtextbitmap("AB", dxrgb(255, 255, 255));
  EXPECT_EQ(dxbitmapwidth(b), 16);
  EXPECT_EQ(dxbitmapheight(b), 16);
  dxfillrect(100, 100, 16, 16, dxrgb(0, 0, 255));
  dxblt(b, 100, 100);  // the background is 0: the blue shows through
  EXPECT_GT(Count(100, 100, 116, 116, dxrgb(0, 0, 255)), 100);
  EXPECT_GT(Count(100, 100, 116, 116, dxrgb(255, 255, 255)), 10);
  dxdeletebitmap(b);
}

ALL_DEPTHS(TextTest);

}  // namespace
