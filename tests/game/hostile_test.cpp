// Scripts and saves that a game author or a damaged file can feed the demo
// game: floors outside the dungeon, far headings and distances, extreme
// coordinates and saves with fields out of range must draw what the rules
// give, return, and load as something the game can go on with.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "dx/dx.h"
#include "game/gamestate.h"
#include "game/main.h"
#include "game/position.h"
#include "game/savefile.h"
#include "game/scene3d.h"
#include "game/sound.h"
#include "platform/win32/display.h"
#include "qv/qvsapi.h"
#include "tests/common/demo_game.h"
#include "tests/common/surfaces.h"
#include "tests/game/game_fixture.h"

namespace {

class HostileScript : public gametest::GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    testcommon::LinkDemoData(dir_.path());
    ASSERT_NO_FATAL_FAILURE(OpenDisplay());
    ASSERT_TRUE(testcommon::ReadDemoData()) << "the demo data did not load";
    std::snprintf(BaseDir, sizeof BaseDir, "%s", dir_.path().c_str());
    limits_ = ScriptGetLimits();
    ScriptSetLimits({200000, SCRIPT_DEFAULT_MAX_DEPTH});
    std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
    HeroPos = ViewPos{2, 22, 0, 0, 0};
    dxcls(0);
  }
  void TearDown() override {
    ScriptSetLimits(limits_);
    BaseDir[0] = '\0';
    dxrelease();
    QvxSoundTerminate();
    ClearSoundData();
    win32::SetDesktopDepth(32);
    GameTest::TearDown();
  }

  // The back buffer's pixel, without the unused top byte.
  static uint32_t Screen(int x, int y) { return testcommon::SurfacePixel(dxbackbuffer, x, y) & 0xFFFFFF; }
  // True when the whole floor map's area at (280, 10) is its background alone.
  static bool FloorMapEmpty() {
    for (int y = 10; y < 410; ++y)
      for (int x = 280; x < 640; ++x)
        if (Screen(x, y) != 0x010101) return false;
    return true;
  }

  ScriptLimits limits_{};
};

// A floor below the first or past the last has no cells: the floor map is its
// background alone. A release build read before DungeonMap (or crashed on the
// far one, whose conversion wrapped to the most negative floor).
TEST_F(HostileScript, FloorsOutsideTheDungeonShowNoCells) {
  Eval("setN(\"-3\"); draw2dall();");
  EXPECT_TRUE(FloorMapEmpty());
  dxcls(0);
  Eval("pos(1e300, 3, 3); draw2dall();");
  EXPECT_TRUE(FloorMapEmpty());
  dxcls(0);
  Eval("pos(\"-1e300\", 3, 3); draw2dall(); draw2d();");
  EXPECT_TRUE(Screen(300, 20) != 0);  // the minimap's "no cell" squares
  // Walking with the view pitched down goes below the first floor.
  Eval("pos(0, 3, 3, 0, 270); walk(2);");
  EXPECT_LT(HeroPos.N, 0);
  dxcls(0);
  Eval("draw2dall();");
  EXPECT_TRUE(FloorMapEmpty());
  Eval("draw2d(0, 0, 100, \"-1\", 2147483647, 2147483647, 2147483647);");
  // The map at a far place on the screen draws nothing and stops at once.
  dxcls(0);
  Eval("draw2dall(2147483647, 2147483647, 0); draw2dall(\"-2147483648\", \"-2147483648\", 0);");
  EXPECT_EQ(Screen(0, 0), 0u);
  EXPECT_EQ(Screen(639, 479), 0u);
}

// Headings far from 0 to 360 are reduced by a remainder: a large float that a
// step of 360 cannot change used to hold the panorama's loop for ever.
TEST_F(HostileScript, FarHeadingsDrawAndReturn) {
  EXPECT_EQ(Eval("pos(0, 1, 20); setT(100000000); draw3d(); 1"), "1");
  EXPECT_EQ(Eval("pos(0, 1, 20, \"-1e300\", 1e300); draw3d(); draw2d(); 2"), "2");
  EXPECT_EQ(Eval("pos(0, 1, 20, \"nan\", \"inf\"); draw3d(); draw2d(); 3"), "3");
  EXPECT_EQ(Eval("draw2d(280, 10, 60, 0, 1, 20, 2147483647); 4"), "4");
}

TEST(WrapDegrees, StepsOfWholeTurnsByRemainder) {
  EXPECT_EQ(WrapDegrees(45), 45);
  EXPECT_EQ(WrapDegrees(360), 360);  // stepping stops once not above 360
  EXPECT_EQ(WrapDegrees(720), 360);
  EXPECT_EQ(WrapDegrees(400), 40);
  EXPECT_EQ(WrapDegrees(-360), 0);
  EXPECT_EQ(WrapDegrees(-90), 270);
  EXPECT_EQ(WrapDegrees(9e9), 360);
  EXPECT_EQ(WrapDegrees(9e9 + 45), 45);
  const double far = WrapDegrees(-1e300);
  EXPECT_TRUE(far >= 0 && far < 360);
  EXPECT_EQ(WrapDegrees(NAN), 0);
  EXPECT_EQ(WrapDegrees(INFINITY), 0);
}

// A scan far past the map looks at the cells where its square crosses the map:
// the same result as walking every cell of the square.
TEST_F(HostileScript, ScansFarPastTheMapGiveTheNearResult) {
  EXPECT_EQ(Int("map_scan(2000000000, 9999)"), -1);
  EXPECT_EQ(Int("map_scan(\"-2147483648\", 1)"), -1);
  // The hero's own cell at distance 0 is not scanned; its kind is found one
  // step away only through a neighbour of the same kind.
  const int kind = Int("map_kind(2, 22, 0)");
  const int near = Int("map_scan(1, " + std::to_string(kind) + ")");
  const int far_x = Int("map_scan(100, " + std::to_string(kind) + ")");
  EXPECT_EQ(far_x, -1);  // every cell at distance 100 lies outside the map
  EXPECT_TRUE(near == -1 || near >= 1);
}

// Coordinates at the ends of the 32-bit range in the game's windows, menus,
// text and pictures: nothing on the screen changes, and every command returns
// (the waits are answered by Enter).
TEST_F(HostileScript, ExtremeCoordinatesDrawNothing) {
  for (uint64_t f = 1; f < 400; f += 2) host_.key_press(host_.frames_presented() + f, host::key::Return);
  const char* const kScripts[] = {
      "mes_open(2147483647, 2147483647, 2147483647, 2147483647); mes(\"abc\"); mes_close();",
      "mes_open(\"-2147483648\", \"-2147483648\", \"-2147483648\", \"-2147483648\"); mes(\"abc\"); mes_close();",
      "selecth(2147483647, 2147483647, 0, 0, \"a\", \"b\");",
      "selectw(\"-2147483648\", 2147483647, 0, 1, \"a\", \"b\");",
      "yesno(2147483647, 2147483647);",
      "txt(\"abc\", 2147483647, 2147483647); txt(\"def\");",
      "item_equip_window(2147483647, 2147483647);",
      "draw2d(2147483647, 2147483647);",
      "input(2147483647, 2147483647, \"-2147483648\", \"abc\");",
      "input(\"-2147483648\", 0, 2147483647, \"abc\");",
  };
  for (const char* script : kScripts) {
    dxcls(0);
    Eval(script);
    EXPECT_EQ(Screen(0, 0), 0u) << script;
    EXPECT_EQ(Screen(320, 240), 0u) << script;
    EXPECT_EQ(Screen(639, 479), 0u) << script;
  }
}

// A save is a block of the right size with a correct sum, whatever it holds.
// Loading keeps the player's data and mends only what no float can carry into
// the view: a name without its end, values that are no number (0) and values
// past the float range, infinities included (held at its end on their own
// side). Places off the map stay.
TEST_F(HostileScript, LoadedSavesMendOnlyWhatIsNoNumber) {
  constexpr double kFloatMax = std::numeric_limits<float>::max();
  GameState bad{};
  std::memset(bad.name, 'A', sizeof bad.name);
  bad.gold = 1234;
  bad.hero_pos = ViewPos{NAN, INFINITY, -INFINITY, NAN, INFINITY};
  bad.objects[0] = ObjectRec{1e308, NAN, -5, 1, 44, 3, 116, INFINITY, -1e308, 255, 0};
  bad.objects[1] = ObjectRec{2.5, 3, 1, 1, 44, 0, 0, NAN, 3e9, 200, 0};
  ASSERT_EQ(WriteSaveFile((dir_.path() / "bad").c_str(), "data/save_jpg/cover1.jpg", &bad, sizeof bad), SAVE_OK);
  EXPECT_EQ(Int("load(\"bad\")"), 0);
  EXPECT_EQ(Eval("hero_name()"), std::string(255, 'A'));
  EXPECT_EQ(GameStateBlock.gold, 1234);
  EXPECT_EQ(HeroPos.X, 0);
  EXPECT_EQ(HeroPos.Y, kFloatMax);
  EXPECT_EQ(HeroPos.N, -kFloatMax);
  EXPECT_EQ(HeroPos.T, 0);
  EXPECT_EQ(HeroPos.P, kFloatMax);
  const ObjectRec& far = ObjectTable[0];
  EXPECT_EQ(far.active, 1u);
  EXPECT_EQ(far.picture, 44u);
  EXPECT_EQ(far.event, 116u);
  EXPECT_EQ(far.X, kFloatMax);
  EXPECT_EQ(far.Y, 0);
  EXPECT_EQ(far.N, -5);
  EXPECT_EQ(far.width, kFloatMax);
  EXPECT_EQ(far.height, -kFloatMax);
  const ObjectRec& near = ObjectTable[1];
  EXPECT_EQ(near.X, 2.5);
  EXPECT_EQ(near.width, 0);
  EXPECT_EQ(near.height, 3e9);
  EXPECT_EQ(near.alpha, 200u);
  bad.hero_pos = ViewPos{1e300, -1e300, 77, 1e39, -2};
  ASSERT_EQ(WriteSaveFile((dir_.path() / "far").c_str(), "data/save_jpg/cover1.jpg", &bad, sizeof bad), SAVE_OK);
  EXPECT_EQ(Int("load(\"far\")"), 0);
  EXPECT_EQ(HeroPos.X, kFloatMax);
  EXPECT_EQ(HeroPos.Y, -kFloatMax);
  EXPECT_EQ(HeroPos.N, 77);
  EXPECT_EQ(HeroPos.T, kFloatMax);
  EXPECT_EQ(HeroPos.P, -2);
  EXPECT_EQ(Eval("draw2d(); pos(0, 23, 0, 90); draw3d(); pos(1, 2, 3, 0); draw3d(); 1"), "1");
}

// A save made by the game keeps everything as it was: objects a script put
// off the map or between cells, with sizes far beyond any picture, and a hero
// off the map. Before, a load moved the off-map object at X 30 onto cell 24 of
// the map's edge, where its event ran, and one at 24.6 onto cell 24 as well.
TEST_F(HostileScript, GameMadeSavesLoadAsTheyWere) {
  Eval("hero_name(\"Taro\"); hero_gold(77);"
       "event_float(5, 116, 10, 0, 30, 5, 0); event_float(6, 117, 10, 0, 24.6, 3, 1, 1e30, 0.5);"
       "event_float(7, 0, 10, 4, \"-0.5\", 40.25, 2, 1e20, \"3.4e38\"); bill(8, 44, 0, 3, 4, 20, 2, 2147483647, 9);"
       "pos(\"-1\", 30.5, \"-4\", 12345, 725);");
  ASSERT_EQ(ObjectTable[7].active, 1u);
  ASSERT_EQ(ObjectTable[7].X, -0.5);
  EXPECT_EQ(Int("pos(0, 24, 5, 0); scan_event()"), 0);
  EXPECT_EQ(Int("pos(1, 24, 3, 0); scan_event()"), 0);
  Eval("pos(\"-1\", 30.5, \"-4\", 12345, 725);");
  const GameState saved = GameStateBlock;
  EXPECT_EQ(Int("save(\"game\")"), 0);
  std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
  EXPECT_EQ(Int("load(\"game\")"), 0);
  EXPECT_EQ(std::memcmp(&GameStateBlock, &saved, sizeof saved), 0);
  for (int i = 5; i <= 8; ++i) {
    const ObjectRec &got = ObjectTable[i], &want = saved.objects[i];
    EXPECT_EQ(got.X, want.X) << i;
    EXPECT_EQ(got.Y, want.Y) << i;
    EXPECT_EQ(got.N, want.N) << i;
    EXPECT_EQ(got.width, want.width) << i;
    EXPECT_EQ(got.height, want.height) << i;
  }
  EXPECT_EQ(HeroPos.X, 30.5);
  EXPECT_EQ(HeroPos.N, -1);
  EXPECT_EQ(Int("pos(0, 24, 5, 0); scan_event()"), 0);
  EXPECT_EQ(Int("pos(1, 24, 3, 0); scan_event()"), 0);
}

// An object or a hero a script put infinitely far away stays out of reach
// after a save and a load. Before, a load moved an infinite place to 0, so
// the object at floor "1e999" came down onto floor 0 and its event ran there.
TEST_F(HostileScript, InfinitePlacesStayOutOfReachThroughALoad) {
  constexpr double kFloatMax = std::numeric_limits<float>::max();
  Eval("event_float(8, 116, 10, 3, 4, 4, \"1e999\", 2, 2, 255); event_float(9, 116, 10, 3, \"1e999\", 6, 0, 2, 2, 255);");
  ASSERT_EQ(ObjectTable[8].active, 1u);
  ASSERT_EQ(ObjectTable[9].active, 1u);
  auto scans = [this] { return Int("pos(0, 4, 4, 0); scan_event()") * 10000 + Int("pos(0, 0, 6, 0); scan_event()"); };
  const int before = scans();
  EXPECT_EQ(before, 0);
  Eval("pos(\"1e999\", \"-1e999\", 4, 0);");
  EXPECT_EQ(Int("save(\"far\")"), 0);
  std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
  EXPECT_EQ(Int("load(\"far\")"), 0);
  EXPECT_EQ(HeroPos.N, kFloatMax);
  EXPECT_EQ(HeroPos.X, -kFloatMax);
  EXPECT_EQ(ObjectTable[8].N, kFloatMax);
  EXPECT_EQ(ObjectTable[9].X, kFloatMax);
  EXPECT_EQ(scans(), before);
}

// Objects far taller or wider than the view, in front of the hero, draw
// without converting a far place on the screen out of the int range: the
// tallest a script's bill can make, seen over one step's frames; every size
// event_float can give from 1e10 to 1e20; and one loaded from a save.
TEST_F(HostileScript, HugeObjectsInFrontOfTheHeroDraw) {
  ASSERT_TRUE(dxd3dinit());
  ResetRenderState();  // as start-up leaves the device
  // A step north past the object's cell, in the frames of its movement.
  const char* const kSteps = "pos(0, 11, 12, 0); draw3d(); pos(0, 11, 12.25, 0); draw3d(); pos(0, 11, 12.5, 0);"
                             "draw3d(); pos(0, 11, 12.75, 0); draw3d(); pos(0, 11, 13, 0); draw3d(); 1";
  EXPECT_EQ(Eval(std::string("bill(5, 1, 0, 12, 12, 0, 2, 2147483647, 255);") + kSteps), "1");
  EXPECT_EQ(Eval("bill(5, 0); 1"), "1");
  for (int e = 10; e <= 20; ++e) {
    const std::string size = "1e" + std::to_string(e);
    EXPECT_EQ(Eval("event_float(6, 0, 1, 0, 12, 12, 0, 2, " + size + "); event_float(7, 0, 1, 0, 12, 13, 0, " + size +
                   ", " + size + "); " + kSteps),
              "1")
        << size;
  }
  GameState tall{};
  tall.hp = 10;
  tall.objects[0] = ObjectRec{12, 12, 0, 1, 1, 0, 0, 2, 1e30, 255, 0};
  ASSERT_EQ(WriteSaveFile((dir_.path() / "tall").c_str(), "data/save_jpg/cover1.jpg", &tall, sizeof tall), SAVE_OK);
  EXPECT_EQ(Int("load(\"tall\")"), 0);
  EXPECT_EQ(ObjectTable[0].height, 1e30);
  EXPECT_EQ(Eval(kSteps), "1");
  while (DrawList) FreeDrawItem(DrawList);  // its meshes go before the device
}

}  // namespace
