// Window frames and buttons cut from the skin.
#include "game/win.h"
#include "tests/game/macro/fixture.h"

namespace gameui_test {
namespace {

using WindowFrames = GameUiTest;

TEST_F(WindowFrames, BordersAreCutToTheWidth) {
  DrawWindowFrame(10, 20, 100, 80, 100);
  // Top border: corner, one edge piece, a 4-pixel cut of the edge, the other corner.
  EXPECT_EQ(Screen(10, 20), Skin(0, 0));
  EXPECT_EQ(Screen(42, 25), Skin(32, 5));
  EXPECT_EQ(Screen(74, 20), Skin(32, 0));
  EXPECT_EQ(Screen(77, 20), Skin(35, 0));
  EXPECT_EQ(Screen(78, 20), Skin(64, 0));
  EXPECT_EQ(Screen(109, 38), Skin(95, 18));
  EXPECT_EQ(Screen(110, 20), 0u);
  // The body is white at 100 percent, the bottom border from the lower pieces.
  EXPECT_EQ(Screen(50, 39), 0xFFFFFFu);
  EXPECT_EQ(Screen(50, 80), 0xFFFFFFu);
  EXPECT_EQ(Screen(10, 81), Skin(0, 45));
  EXPECT_EQ(Screen(109, 99), Skin(95, 63));
  EXPECT_EQ(Screen(50, 100), 0u);
}

TEST_F(WindowFrames, SmallWindowsGrowTo64AndTheBodyBlends) {
  DrawWindowFrame(0, 0, 10, 10, 50);
  EXPECT_EQ(Screen(63, 0), Skin(95, 0));
  EXPECT_EQ(Screen(0, 45), Skin(0, 45));
  EXPECT_EQ(Screen(64, 0), 0u);
  EXPECT_EQ(Screen(0, 64), 0u);
  // Half white over black.
  uint32_t body = Screen(30, 30);
  EXPECT_EQ(body & 0xFF, body >> 16);
  EXPECT_GT(body & 0xFF, 0x70u);
  EXPECT_LT(body & 0xFF, 0x90u);
}

TEST_F(WindowFrames, ButtonsRoundUpToSixteen) {
  DrawWindowSel(0, 0, 40);
  EXPECT_EQ(Screen(0, 0), Skin(0, 80));
  EXPECT_EQ(Screen(16, 0), Skin(32, 80));
  EXPECT_EQ(Screen(32, 31), Skin(80, 111));
  EXPECT_EQ(Screen(47, 0), Skin(95, 80));
  EXPECT_EQ(Screen(48, 0), 0u);
  DrawWindowNormal(0, 100, 5);  // at least 32 wide
  EXPECT_EQ(Screen(0, 100), Skin(0, 112));
  EXPECT_EQ(Screen(16, 100), Skin(80, 112));
  EXPECT_EQ(Screen(32, 100), 0u);
}

TEST_F(WindowFrames, TextButtonsCentreOrSqueezeTheirCaption) {
  DrawTextButton(10, 10, 100, "OK", 0);
  EXPECT_EQ(Screen(10, 10), Skin(0, 80));
  EXPECT_GT(Count(10, 10, 100, 32, 0x000000), 0);  // the caption in black...
  EXPECT_EQ(Count(10, 10, 40, 32, 0x000000), 0);   // ...in the middle
  DrawTextButton(10, 100, 100, "OK", 1);
  EXPECT_EQ(Screen(10, 100), Skin(0, 112));
  // Too wide: drawn in (1, 1, 1) and stretched into the inner band.
  DrawTextButton(0, 200, 48, "ABCDEFGHIJ", 0);
  EXPECT_GT(Count(8, 208, 32, 16, 0x010101), 0);
  EXPECT_EQ(Count(0, 200, 48, 8, 0x010101), 0);
  EXPECT_EQ(Count(0, 200, 48, 32, 0x000000), 0);
}

TEST_F(WindowFrames, NineFramesShrinkAndFade) {
  std::vector<uint8_t> px;
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x) px.insert(px.end(), {uint8_t(40 + x / 32 * 10), uint8_t(40 + y / 32 * 10), 40});
  auto png = testpng::Encode(96, 96, PNG_COLOR_TYPE_RGB, 8, px);
  TempDir::Write("data/system/w1.png", std::string(png.begin(), png.end()));
  TempDir::Write("data/system/w2.png", std::string(png.begin(), png.end()));
  NinePieces pieces;
  LoadNinePieces(&pieces, "data/system/w1.png", 32, 32);
  dx::bitmap* frame = BuildNineFrame(&pieces, 100, 80);
  // Corners as they are, the centre stretched.
  EXPECT_EQ(Pixel(frame, 0, 0), 0x282828u);
  EXPECT_EQ(Pixel(frame, 99, 79), 0x3C3C28u);
  EXPECT_EQ(Pixel(frame, 50, 40), 0x323228u);
  dxdeletebitmap(frame);
  for (dx::bitmap* p : pieces.piece) dxdeletebitmap(p);
  NinePieces none;
  LoadNinePieces(&none, "data/system/none.png", 32, 32);
  for (dx::bitmap* p : none.piece) EXPECT_EQ(p, nullptr);

  NineFrameCache cache{};
  DrawNineFrameWindow(&cache, 100, 100, 100, 80, 50);  // fully shrunk: the inner frame alone, at 40 percent
  EXPECT_EQ(Screen(100, 100), 0u);
  EXPECT_NE(Screen(150, 140), 0u);
  EXPECT_EQ(Screen(124, 119), 0u);
  DrawNineFrameWindow(&cache, 300, 100, 100, 80, 0);
  EXPECT_NE(Screen(300, 100), 0u);
  FreeNineFrame(&cache);
  EXPECT_EQ(cache.outer, nullptr);
}

}  // namespace
}  // namespace gameui_test
