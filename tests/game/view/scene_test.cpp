// The 3-D scene build: which quads a small map gives, with which pictures,
// where, and how the animated words move.
#include "game/scene3d.h"

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "tests/game/view/fixture.h"

namespace gameview_test {
namespace {

class SceneBuild : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    // Culling projects into the 320 x 240 view.
    dxviewwidth = kViewWidth, dxviewheight = kViewHeight;
    for (int n : {5, 11, 30, 125, 135, 145, 200, 250, 251, 252, 255}) Texture(n, 0x100000u * (n % 16) + 0x3F3F3Fu);
  }
  void TearDown() override {
    while (DrawList) FreeDrawItem(DrawList);
    ViewTest::TearDown();
  }
  // The viewer in cell (x, y) of floor n, looking along the heading.
  static void Build(double x, double y, double n, double heading = 0) {
    BuildDungeonScene(static_cast<float>(2 * x + 1), static_cast<float>(2 * n + 1), static_cast<float>(2 * y + 1),
                      static_cast<float>(heading), 0);
  }
  static std::vector<DrawItem*> Items() {
    std::vector<DrawItem*> v;
    for (DrawItem* i = DrawList; i; i = i->next) v.push_back(i);
    return v;
  }
  static dx::bitmap* Picture(const DrawItem* i) {
    return i->mesh && !i->mesh->groups.empty() ? i->mesh->groups[0].texture : nullptr;
  }
  static MapCell& Cell(int x, int y, int f) { return DungeonMap[f].cells[x][y]; }
};

TEST_F(SceneBuild, TheWindowReachesTwelveCellsOnTheFirstFloorAndEightAbove) {
  Cell(12, 11, 0).face(FACE_NORTH, FACE_TEXTURE) = 5;
  Cell(12, 11, 1).face(FACE_NORTH, FACE_TEXTURE) = 5;
  Build(12, 0, 0);
  ASSERT_EQ(Items().size(), 1u);
  EXPECT_EQ(Picture(Items()[0]), WallTextureTable[5].picture);
  EXPECT_EQ(Items()[0]->visible, 1);
  EXPECT_FLOAT_EQ(Items()[0]->centre.z, 24.0f);
  Build(12, 0, 1);
  EXPECT_TRUE(Items().empty());
  // Within eight cells the upper floor shows it too.
  Build(12, 4, 1);
  EXPECT_EQ(Items().size(), 1u);
}

TEST_F(SceneBuild, BreakableWallsShowOnlyOnceTheCellBehindIsBrokenOrAtTheEdge) {
  Cell(12, 3, 0).face(FACE_NORTH, FACE_TEXTURE) = 145;
  Build(12, 0, 0);
  EXPECT_TRUE(Items().empty());
  MapFlags[0][12][4] |= MAPFLAG_WALL;
  Build(12, 0, 0);
  ASSERT_EQ(Items().size(), 1u);
  EXPECT_EQ(Picture(Items()[0]), WallTextureTable[145].picture);
  // The map's edge has no cell behind: always drawn.
  Cell(12, 24, 0).face(FACE_NORTH, FACE_TEXTURE) = 145;
  Build(12, 20, 0);
  EXPECT_EQ(Items().size(), 1u);
}

TEST_F(SceneBuild, UnbrokenFloorsAndCeilingsShowTheirOtherPicture) {
  Cell(12, 2, 0).face(FACE_DOWN, FACE_TEXTURE) = 125;
  Build(12, 0, 0);
  ASSERT_EQ(Items().size(), 1u);
  EXPECT_EQ(Picture(Items()[0]), WallTextureTable[135].picture);
  MapFlags[0][12][2] |= MAPFLAG_FLOOR;
  Build(12, 0, 0);
  ASSERT_EQ(Items().size(), 1u);
  EXPECT_EQ(Picture(Items()[0]), WallTextureTable[125].picture);
  // The map's word itself is left alone.
  EXPECT_EQ(Cell(12, 2, 0).face(FACE_DOWN, FACE_TEXTURE), 125);
}

TEST_F(SceneBuild, AFaceOfZerosAddsNothingAndAnUnknownNumberFallsBack) {
  Build(12, 12, 0);
  EXPECT_TRUE(Items().empty());
  Cell(12, 14, 0).face(FACE_NORTH, FACE_TEXTURE) = 300;  // beyond the table
  Cell(11, 14, 0).face(FACE_NORTH, FACE_TEXTURE) = 77;   // no file named
  Cell(13, 14, 0).face(FACE_NORTH, FACE_TEXTURE) = -4;   // outside the table: no picture
  Build(12, 12, 0);
  int fallback = 0;
  for (DrawItem* i : Items()) fallback += Picture(i) == WallTextureTable[255].picture;
  EXPECT_EQ(fallback, 2);
  EXPECT_EQ(Items().size(), 2u);  // the north wall needs a picture
}

TEST_F(SceneBuild, MarksOnAWallWithoutAPictureShowOnEverySide) {
  auto marks = [](int32_t* face) {
    face[FACE_TEXTURE] = 0;
    face[FACE_DOOR] = 200;
    face[FACE_FIRE] = 1;
    face[FACE_MESS] = 1;
  };
  auto doors = [] {
    int n = 0;
    for (DrawItem* i : Items()) n += Picture(i) == WallTextureTable[200].picture;
    return n;
  };
  marks(&Cell(12, 10, 0).face(FACE_SOUTH, FACE_TEXTURE));
  Build(12, 12, 0, 180);
  EXPECT_EQ(Items().size(), 4u);  // a quad without a picture, the door, the mark and the torch
  EXPECT_EQ(doors(), 1);
  Cell(12, 10, 0) = MapCell{};
  // The north wall adds no quad without a picture, but the same three marks.
  marks(&Cell(12, 14, 0).face(FACE_NORTH, FACE_TEXTURE));
  Build(12, 12, 0);
  EXPECT_EQ(Items().size(), 3u);
  EXPECT_EQ(doors(), 1);
  for (DrawItem* i : Items()) EXPECT_NE(Picture(i), nullptr);
}

TEST_F(SceneBuild, WarpsCycleTheirPicturesInTheMap) {
  Cell(12, 13, 0).w[CELL_WARP] = 1;
  for (int frame = 0; frame < 40; ++frame) {
    Build(12, 12, 0);
    const int32_t word = Cell(12, 13, 0).w[CELL_WARP];
    ASSERT_GE(word, 250);
    ASSERT_LE(word, 252);
    ASSERT_EQ(Items().size(), 1u);
    EXPECT_EQ(Picture(Items()[0]), WallTextureTable[word].picture);
    EXPECT_EQ(Items()[0]->transparency, 127);
    EXPECT_EQ(Items()[0]->additive, 1);
    host_.advance_clock(1000000 / 12);
    dxupdate();
  }
}

TEST_F(SceneBuild, TowersShrinkAndFadeWithDistance) {
  Cell(12, 12, 0).w[CELL_TOWER] = 200;
  Build(12, 12, 0);
  ASSERT_EQ(Items().size(), 1u);
  DrawItem* near = Items()[0];
  EXPECT_EQ(near->transparency, 0);
  EXPECT_NEAR(near->corners[2].y - near->corners[1].y, 8.0f, 1e-4);
  const float dx = near->corners[0].x - near->corners[1].x, dz = near->corners[0].z - near->corners[1].z;
  EXPECT_NEAR(dx * dx + dz * dz, 36.0f, 1e-3);
  // Five cells off: g = 10, alpha 10 * 260 / 15 = 173, 6.0 x 8.0 still; its foot sinks.
  Build(12, 7, 0);
  ASSERT_EQ(Items().size(), 1u);
  EXPECT_EQ(Items()[0]->transparency, 255 - 173);
  EXPECT_NEAR(Items()[0]->corners[0].y, -0.25f, 1e-4);
  // Fifteen cells off it is gone.
  Cell(12, 12, 0).w[CELL_TOWER] = 0;
  Cell(12, 24, 0).w[CELL_TOWER] = 200;
  Cell(24, 21, 0).w[CELL_TOWER] = 200;  // 12 + 12 = 24 cells off
  Build(12, 9, 0);
  EXPECT_TRUE(Items().empty());
}

TEST_F(SceneBuild, PlacedObjectsStandOnTheirFloorAndFaceTheViewer) {
  ObjectRec& o = ObjectTable[7];
  o.active = 1, o.picture = 200, o.X = 14, o.Y = 15, o.N = 2.0, o.width = 2, o.height = 2, o.alpha = 255;
  Build(12, 12, 2);
  ASSERT_EQ(Items().size(), 1u);
  DrawItem* item = Items()[0];
  EXPECT_EQ(item->transparency, 0);
  EXPECT_EQ(item->additive, 0);
  // Turned toward the viewer: the normal points back at it.
  const D3DVECTOR& c = item->centre;
  EXPECT_FLOAT_EQ(c.x, 29.0f);
  EXPECT_FLOAT_EQ(c.z, 31.0f);
  const float vx = 25.0f - c.x, vz = 24.8f - c.z;
  EXPECT_GT(vx * item->normal.x + vz * item->normal.z, 0.0f);
  EXPECT_NEAR(item->normal.x * vz - item->normal.z * vx, 0.0f, 1e-3);  // parallel
  o.N = 2.5;
  Build(12, 12, 2);
  EXPECT_TRUE(Items().empty());
  o.N = 2.0, o.alpha = 100;
  Build(12, 12, 2);
  ASSERT_EQ(Items().size(), 1u);
  EXPECT_EQ(Items()[0]->transparency, 155);
  EXPECT_EQ(Items()[0]->additive, 1);
}

TEST_F(SceneBuild, AnObjectOfNoFiniteSizeOrPlaceIsNotDrawn) {
  ObjectRec& o = ObjectTable[7];
  const double inf = std::numeric_limits<double>::infinity();
  o.active = 1, o.picture = 200, o.X = 12, o.Y = 14, o.N = 0, o.alpha = 255;
  for (auto [w, h, x] : {std::tuple{inf, -1e308, 12.0}, std::tuple{1e300, 2.0, 12.0},
                         std::tuple{2.0, std::nan(""), 12.0}, std::tuple{2.0, 2.0, -1e300}}) {
    o.width = w, o.height = h, o.X = x;
    Build(12, 12, 0);
    EXPECT_TRUE(Items().empty()) << w << " x " << h << " at " << x;
  }
  // As wide as a script can ask: drawn, its corners projected far off the screen.
  o.width = o.height = 2147483647.0, o.X = 12;
  Build(12, 12, 0);
  ASSERT_EQ(Items().size(), 1u);
  EXPECT_EQ(Items()[0]->visible, 1);
}

TEST_F(SceneBuild, StairsRiseTowardTheirTurnedSide) {
  Cell(12, 14, 0).w[CELL_STPU] = 1;
  Build(12, 12, 0);
  ASSERT_EQ(Items().size(), 1u);
  dx::mesh* m = Items()[0]->mesh;
  ASSERT_EQ(m->groups.size(), 17u);  // 8 profile columns, 4 risers, the back, 4 treads
  // The last quad is the top tread, 2 units up, on the west side at angle 0.
  const dx::meshgroup& top = m->groups.back();
  EXPECT_EQ(top.texture, WallTextureTable[30].picture);
  for (int v = 0; v < top.vertexcount; ++v) {
    EXPECT_NEAR(top.vertices[v].y, 2.0f, 1e-4);
    EXPECT_LE(top.vertices[v].x, 24.5f + 1e-4);
  }
  // Value 2 turns it by 90 degrees: the high end to the north.
  Cell(12, 14, 0).w[CELL_STPU] = 2;
  Build(12, 12, 0);
  const dx::meshgroup& turned = Items()[0]->mesh->groups.back();
  for (int v = 0; v < turned.vertexcount; ++v) EXPECT_GE(turned.vertices[v].z, 29.5f - 1e-3);
  // Stairs down stand on the floor below.
  Cell(12, 14, 0).w[CELL_STPU] = 0;
  Cell(12, 14, 1).w[CELL_STPD] = 1;
  Build(12, 12, 1);
  ASSERT_EQ(Items().size(), 1u);
  EXPECT_NEAR(Items()[0]->mesh->groups.back().vertices[0].y, 2.0f, 1e-4);
}

TEST_F(SceneBuild, AFloorBeyondTheDungeonStops) {
  EXPECT_THROW(Build(12, 12, 15), host::ProcessExit);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_NE(host_.message_boxes().back().text.find(U8("座標の階数が規定値を超えました[15]")), std::string::npos);
}

TEST_F(SceneBuild, AViewerFarOutsideTheMapSeesNothingAndReadsNothing) {
  Build(100, 100, 40);
  EXPECT_TRUE(Items().empty());
}

TEST_F(SceneBuild, ReleasedItemsAreReused) {
  Cell(12, 14, 0).face(FACE_NORTH, FACE_TEXTURE) = 5;
  auto free_count = [] {
    int n = 0;
    for (DrawItem* i = FreeDrawList; i; i = i->next) ++n;
    return n;
  };
  Build(12, 12, 0);
  DrawItem* first = DrawList;
  const int spare = free_count();
  Build(12, 12, 0);
  EXPECT_EQ(DrawList, first);
  EXPECT_EQ(free_count(), spare);
}

}  // namespace
}  // namespace gameview_test
