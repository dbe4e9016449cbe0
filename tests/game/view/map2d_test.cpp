// The minimap, the floor map and the cell inspector.
#include "game/map2d.h"

#include "tests/game/view/fixture.h"

namespace gameview_test {
namespace {

constexpr uint32_t kOutside = 0x202040, kBackground = 0x000040;

class Map2D : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    target_ = dxnewbitmap(352, 352);
  }
  void TearDown() override {
    dxdeletebitmap(target_);
    ViewTest::TearDown();
  }
  // The colour of minimap cell (column c, row r from the top) at its inner point.
  uint32_t MiniCell(int c, int r) { return Pixel(target_, c * 32 + 10, r * 32 + 10); }
  dx::bitmap* target_ = nullptr;
};

TEST_F(Map2D, TheMinimapAtTheCornerShowsOutsideCellsLeftAndBelow) {
  HeroPos.X = 5;  // no arrow
  DrawMiniMap(target_, 0, 0, 0, 0);
  for (int i = 0; i <= 10; ++i) {
    EXPECT_EQ(MiniCell(i % 5, i), kOutside);       // the five left columns
    EXPECT_EQ(MiniCell(i, 6 + i % 5), kOutside);   // the five bottom rows
  }
  EXPECT_EQ(MiniCell(5, 5), kBackground);  // (0, 0): KIND 0 draws nothing
  EXPECT_EQ(MiniCell(10, 0), kBackground);
  EXPECT_EQ(Pixel(target_, 4 * 32 + 31, 10), kBackground);  // the gap between squares
}

TEST_F(Map2D, PartsTreasureTreesObjectsAndTheArrow) {
  MapPartTable[3] = Part(0x112233);
  MapPartTable[4] = Part(0x445566);
  MapPartTable[9] = Part(0x778899);
  MapPartTable[252] = Part(0x00AA00);
  DungeonMap[0].cells[12][13].w[CELL_KIND] = 3;   // north of the centre
  DungeonMap[0].cells[13][12].w[CELL_KIND] = 200;  // no picture, no fallback: red
  DungeonMap[0].cells[11][12].w[CELL_BOX] = 7;
  PartIndexTable[7] = 4;
  DungeonMap[0].cells[12][11].w[CELL_TREE] = 8;
  PartIndexTable[8] = 9;
  MapFlags[0][12][11] = MAPFLAG_TREE;
  ObjectRec& o = ObjectTable[3];
  o.active = 1, o.X = 14.7, o.Y = 15.2, o.N = 0, o.part = 4;
  HeroPos.X = 12, HeroPos.Y = 12, HeroPos.N = 0;
  DrawMiniMap(target_, 12, 12, 0, 90);
  EXPECT_EQ(MiniCell(5, 4), 0x112233u);
  EXPECT_EQ(MiniCell(6, 5), 0xFF0000u);
  EXPECT_EQ(MiniCell(4, 5), kBackground);  // treasure hidden without bit 0x10
  EXPECT_EQ(MiniCell(5, 6), 0x778899u);
  EXPECT_EQ(MiniCell(7, 2), 0x445566u);   // the object: column 14 - 7, row 7 - 15 + 10
  EXPECT_EQ(MiniCell(5, 5), 0x00AA00u);   // heading 90: part 252
  MapFlags[0][11][12] = MAPFLAG_TREASURE;
  MapPartTable[255] = Part(0xABCDEF);
  DrawMiniMap(target_, 12, 12, 0, 330);
  EXPECT_EQ(MiniCell(4, 5), 0x445566u);
  EXPECT_EQ(MiniCell(6, 5), 0xABCDEFu);  // the fallback part
  EXPECT_EQ(MiniCell(5, 5), 0xABCDEFu);  // heading 330: part 255
  // The hero elsewhere: no arrow.
  HeroPos.X = 3;
  DrawMiniMap(target_, 12, 12, 0, 330);
  EXPECT_EQ(MiniCell(5, 5), kBackground);
}

TEST_F(Map2D, TheFloorMapDrawsTheHeroFloorNorthUp) {
  MapPartTable[0] = Part(0x010203);
  MapPartTable[3] = Part(0x112233);
  HeroPos.N = 1.7;
  DungeonMap[1].cells[2][24].w[CELL_KIND] = 3;
  DungeonMap[1].cells[24][0].w[CELL_KIND] = 999;  // beyond the table, no fallback
  DrawFloorMap(100, 50, -1);
  EXPECT_EQ(Screen(100 + 32 + 7, 50 + 7), 0x112233u);  // map row 24 on top
  EXPECT_EQ(Screen(100 + 7, 50 + 7), 0x010203u);        // KIND 0 is entry 0
  EXPECT_EQ(Screen(100 + 384 + 7, 50 + 384 + 7), 0xFF0000u);
  EXPECT_EQ(Screen(100 + 15, 50 + 7), 0x010101u);       // the gap
  EXPECT_EQ(Screen(100 + 399, 50 + 399), 0x010101u);
  EXPECT_EQ(Screen(100 + 400, 50 + 10), 0u);
}

TEST_F(Map2D, TheInspectorShowsTheFacesAndTheDynamicFlags) {
  DungeonMap[14].cells[3][4].face(FACE_WEST, FACE_TEXTURE) = 5;
  Texture(5, 0x00C000);
  MapFlags[14][3][4] = 0x5;
  dx::bitmap* page = dxnewbitmap(400, 400);
  DrawCellInfo(page, 3, 4, 14, 0);
  const uint32_t box = 0x4040B4;
  for (auto [x, y] : {std::pair{80, 0}, {80, 32}, {160, 64}, {80, 96}, {80, 128}})
    EXPECT_EQ(Pixel(page, x + 126, y + 30), box) << x << "," << y;
  EXPECT_EQ(Pixel(page, 126, 64 + 30), 0x00C000u);  // west, with its picture
  int cyan = 0;
  for (int y = 324; y < 340; ++y)
    for (int x = 0; x < 400; ++x) cyan += Pixel(page, x, y) == 0x00FFFFu;
  EXPECT_GT(cyan, 0);
  // A cell outside the map shows its heading line only.
  DrawCellInfo(page, 30, 4, 14, 0);
  EXPECT_EQ(Pixel(page, 80 + 126, 30), 0x010101u);
  int lit = 0;
  for (int y = 180; y < 400; ++y)
    for (int x = 0; x < 400; ++x) lit += Pixel(page, x, y) != 0x010101u;
  EXPECT_EQ(lit, 0);
  dxdeletebitmap(page);
}

}  // namespace
}  // namespace gameview_test
