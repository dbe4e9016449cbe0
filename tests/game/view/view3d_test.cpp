// A whole 3-D frame: the panorama behind the view, the overlays, the stretch
// to the screen and the debug line.
#include "game/view3d.h"

#include <filesystem>
#include <vector>

#include "game/position.h"
#include "game/scene3d.h"
#include "game/viewframe.h"
#include "tests/game/view/fixture.h"

namespace gameview_test {
namespace {

// Strip column x as a colour of its own.
uint32_t StripColour(int x) { return 0x010000u * (x / 256 + 1) + 0x100u * (x % 256) + 0x40u; }

class ViewFrame : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    ResetRenderState();  // as start-up leaves the device
  }
  void TearDown() override {
    while (DrawList) FreeDrawItem(DrawList);
    ViewTest::TearDown();
  }
  MapCell& cell_ = DungeonMap[0].cells[12][12];
};

TEST_F(ViewFrame, ThePanoramaWrapsAroundItsStrip) {
  const std::string strip = Png(720, 240, [](int x, int) { return StripColour(x); });
  TempDir::Write("data/map/bg.png", strip);
  WallTextureTable[40].path = strdup("data/map/bg.png");
  cell_.w[CELL_BG] = 40;
  DrawPanorama(12, 12, 0, 350.0f);
  EXPECT_EQ(Screen(0, 0), StripColour(700));
  EXPECT_EQ(Screen(19, 100), StripColour(719));
  EXPECT_EQ(Screen(20, 239), StripColour(0));
  EXPECT_EQ(Screen(319, 0), StripColour(299));
  EXPECT_EQ(Screen(320, 0), 0u);
  EXPECT_EQ(Screen(0, 240), 0u);
  DrawPanorama(12, 12, 0, -270.5f);  // 89 degrees
  EXPECT_EQ(Screen(0, 0), StripColour(178));
  EXPECT_EQ(Screen(319, 0), StripColour(497));
}

TEST_F(ViewFrame, BackgroundZeroIsNearBlackAndAnUnknownOneDrawsNothing) {
  dxfillrect(0, 0, 640, 480, dxrgb(9, 9, 9));
  cell_.w[CELL_BG] = 300;
  DrawPanorama(12, 12, 0, 0);
  EXPECT_EQ(Screen(5, 5), 0x090909u);
  cell_.w[CELL_BG] = 0;
  DrawPanorama(12, 12, 0, 0);
  EXPECT_EQ(Screen(5, 5), 0x010101u);
  EXPECT_EQ(Screen(639, 479), 0x010101u);
}

TEST_F(ViewFrame, WaterTintsAndThickFogCoversTheView) {
  ViewCapture = dxnewbitmap(320, 240);
  dxpushtarget(ViewCapture);
  dxcls(dxrgb(200, 0, 0));
  dxpoptarget(false);
  cell_.w[CELL_WATR] = 1;
  DrawViewOverlays(12, 12, 0);
  const uint32_t tinted = Pixel(ViewCapture, 100, 100);
  EXPECT_NEAR(static_cast<int>(tinted >> 16), 100, 4);
  EXPECT_NEAR(static_cast<int>(tinted & 0xFF), 127, 4);

  cell_.w[CELL_WATR] = 0;
  Texture(253, 0x00FF00, 640, 240);
  cell_.w[CELL_FOG] = 2;  // 0 percent
  DrawViewOverlays(12, 12, 0);
  EXPECT_EQ(Pixel(ViewCapture, 100, 100), tinted);
  cell_.w[CELL_FOG] = 255;  // 99 percent
  DrawViewOverlays(12, 12, 0);
  const uint32_t fogged = Pixel(ViewCapture, 100, 100);
  EXPECT_GE(fogged >> 8 & 0xFF, 0xF8u);
  EXPECT_LE(fogged >> 16, 2u);
  dxdeletebitmap(ViewCapture);
  ViewCapture = nullptr;
}

TEST_F(ViewFrame, AnEmptyCellFillsTheScreenAndDebugAddsItsLine) {
  HeroPos = ViewPos{12, 12, 0, 0, 0};
  Draw3D(HeroPos, 0);
  EXPECT_EQ(Screen(0, 0), 0x010101u);
  EXPECT_EQ(Screen(639, 479), 0x010101u);
  EXPECT_EQ(ViewCapture, nullptr);
  SetVarInt("DEBUG", 1);
  Draw3D(HeroPos, 0);
  int white = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 400; ++x) white += Screen(x, y) == 0xFFFFFFu;
  EXPECT_GT(white, 20);
  EXPECT_EQ(Screen(0, 100), 0x010101u);
}

TEST_F(ViewFrame, AWallAheadIsRenderedAndStretched) {
  Texture(5, 0xF0F0F0);
  DungeonMap[0].cells[12][13].face(FACE_NORTH, FACE_TEXTURE) = 5;
  HeroPos = ViewPos{12, 12, 0, 0, 0};
  Draw3D(HeroPos, 0);
  const uint32_t centre = Screen(320, 240);
  EXPECT_NE(centre, 0x010101u);
  EXPECT_NE(centre, 0u);
  // Every view pixel covers two by two screen pixels.
  EXPECT_EQ(Screen(320, 240), Screen(321, 241));
  EXPECT_EQ(dxviewwidth, kViewWidth);
}

TEST_F(ViewFrame, TheFirstFrameAfterStartUpIsTheSecondOne) {
  // A corridor with floor, ceiling and side walls all the way along, so that
  // the view is full to its edges.
  Texture(5, 0xF0F0F0);
  Texture(6, 0x3060C0);
  Texture(7, 0xC06030);
  for (int y = 8; y < 20; ++y)
    for (int x = 10; x < 15; ++x) {
      MapCell& c = DungeonMap[0].cells[x][y];
      c.face(FACE_DOWN, FACE_TEXTURE) = 6;
      c.face(FACE_UP, FACE_TEXTURE) = 7;
      if (x == 10) c.face(FACE_WEST, FACE_TEXTURE) = 5;
      if (x == 14) c.face(FACE_EAST, FACE_TEXTURE) = 5;
    }
  auto frame = [] {
    std::vector<uint32_t> px;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) px.push_back(Screen(x, y));
    return px;
  };
  ASSERT_EQ(dxviewwidth, 640);  // as start-up leaves it
  HeroPos = ViewPos{12, 10, 0, 0, 0};
  Draw3D(HeroPos, 0);
  const std::vector<uint32_t> first = frame();
  Draw3D(HeroPos, 0);
  const std::vector<uint32_t> second = frame();
  int differ = 0, background = 0;
  for (size_t i = 0; i < first.size(); ++i) {
    differ += first[i] != second[i];
    background += second[i] == 0x010101u;
  }
  EXPECT_EQ(differ, 0);
  EXPECT_LT(background, 640 * 480 / 10);  // the walls fill the view
}

TEST_F(ViewFrame, TheMapsPicturesAreLetGoWhenTheDisplayCloses) {
  TempDir::Write("data/map_chip/chip.cfg", "");
  TempDir::Write("data/map/chip.cfg", "5 t5.png\n");
  TempDir::Write("data/map/t5.png", SolidPng(8, 8, 0xF0F0F0));
  ReadMapChip();
  LoadMapImage(&WallTextureTable[5]);
  ASSERT_NE(WallTextureTable[5].picture, nullptr);
  testcommon::CloseGameDisplay();
  EXPECT_EQ(WallTextureTable[5].picture, nullptr);
  EXPECT_NE(WallTextureTable[5].path, nullptr);  // loaded again on demand
  ASSERT_NO_FATAL_FAILURE(testcommon::OpenGameDisplay(host_));
  ASSERT_TRUE(dxd3dinit());
  std::filesystem::current_path(dir_.path());
}

TEST_F(ViewFrame, ANewFloorReleasesTheWallPictures) {
  Texture(5, 0xF0F0F0);
  DungeonMap[0].cells[12][13].face(FACE_NORTH, FACE_TEXTURE) = 5;
  Draw3D(ViewPos{12, 12, 0, 0, 0}, 0);
  ASSERT_NE(WallTextureTable[5].picture, nullptr);
  Draw3D(ViewPos{12, 12, 1, 0, 0}, 0);
  EXPECT_EQ(WallTextureTable[5].picture, nullptr);
  Draw3D(ViewPos{12, 12, 0, 0, 0}, 0);
  ASSERT_NE(WallTextureTable[5].picture, nullptr);
  Draw3D(ViewPos{12, 12, 0, 180, 0}, 1);  // the release flag, the wall behind
  EXPECT_EQ(WallTextureTable[5].picture, nullptr);
}

}  // namespace
}  // namespace gameview_test
