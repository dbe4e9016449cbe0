#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "dx/dx.h"
#include "game/explore.h"
#include "game/position.h"
#include "platform/win32/display.h"
#include "tests/game/game_fixture.h"

namespace {

using gametest::GameTest;
namespace key = host::key;

// The loop on a display, with events that log their numbers into LOG.
class ExploreTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(OpenDisplay());
    ASSERT_TRUE(dxd3dinit());  // the loop draws the 3-D view every frame
    host_.set_frames_kept(2);
    ResetKeyBits();
    GameStateBlock.hp = 10;
    HeroPos = {5, 5, 0, 0, 0};
    SetVarStr("LOG", "");
    SetVarInt("MOVE_MOTION", 1);
  }
  void TearDown() override {
    dxrelease();
    GameTest::TearDown();
  }
  static std::string Log(int n, const std::string& more = "") {
    return "LOG = LOG . \"" + std::to_string(n) + ",\"; " + more;
  }
  // Runs the loop; a window closed at `frame` ends a run that would not return.
  bool Run(uint64_t frame = 2000) {
    host_.close(frame);
    try {
      ExploreMainLoop();
      return true;
    } catch (const host::ProcessExit&) {
      return false;
    }
  }
  std::string LogText() { return GetVarStr("LOG"); }
};

TEST_F(ExploreTest, ArrivalEventsThenAStepOntoACellEvent) {
  DungeonMap[0].cells[5][6].w[CELL_EVNT] = 20;
  Events({{8, Log(8)}, {9, Log(9)}, {20, Log(20, "RET = 131072;")}});
  host_.key_press(3, key::Up);
  ASSERT_TRUE(Run());
  EXPECT_EQ(LogText(), "8,9,8,20,");
  EXPECT_EQ(HeroPos.Y, 6);
  EXPECT_EQ(GetVarInt("PX"), 5);
  EXPECT_EQ(GetVarInt("PY"), 5);
  EXPECT_EQ(GetVarInt("EVENT"), 20);
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(ExploreTest, TheFirstPassRemembersNothing) {
  Events({{8, "RET = 131072;"}});
  ASSERT_TRUE(Run());
  EXPECT_EQ(GetVarInt("PX"), -1);
  EXPECT_EQ(GetVarInt("PN"), -1);
  EXPECT_EQ(GetVarInt("PT"), 0);
}

TEST_F(ExploreTest, APushEventWithRetOneBlocksTheMove) {
  DungeonMap[0].cells[5][5].face(FACE_NORTH, FACE_PEVE) = 30;
  Events({{30, Log(30, "RET = 1;")}, {11, Log(11, "RET = 131072;")}});
  host_.key_press(3, key::Up);
  host_.key_press(40, key::Escape);
  ASSERT_TRUE(Run());
  EXPECT_EQ(LogText(), "30,11,");
  EXPECT_EQ(HeroPos.Y, 5);
}

TEST_F(ExploreTest, APushEventsBitFourSkipsTheNextEventEight) {
  DungeonMap[0].cells[5][5].face(FACE_NORTH, FACE_PEVE) = 30;
  Events({{8, Log(8)}, {9, Log(9, "if (PY == 5) { RET = 131072; }")}, {30, Log(30, "RET = 4;")}});
  host_.key_press(3, key::Up);
  ASSERT_TRUE(Run());
  EXPECT_EQ(LogText(), "8,9,30,9,");
  EXPECT_EQ(HeroPos.Y, 6);
}

TEST_F(ExploreTest, ACellEventAskingToRunAgainRunsTenTimes) {
  DungeonMap[0].cells[5][5].w[CELL_EVNT] = 21;
  Events({{21, Log(21, "RET = 128 + 131072;")}, {9, Log(9, "RET = 131072;")}});
  ASSERT_TRUE(Run());
  EXPECT_EQ(LogText(), "21,21,21,21,21,21,21,21,21,21,9,");
}

TEST_F(ExploreTest, TreesBlockAndRunEventSeven) {
  DungeonMap[0].cells[5][6].w[CELL_TREE] = 1;
  MapFlags[0][5][6] = MAPFLAG_TREE;
  Events({{7, Log(7, "TX = x; TY = y;")}, {10, Log(10, "RET = 131072;")}});
  host_.key_press(3, key::Up);
  host_.key_press(40, key::Return);
  ASSERT_TRUE(Run());
  EXPECT_EQ(LogText(), "7,10,");
  EXPECT_EQ(GetVarInt("TX"), 5);
  EXPECT_EQ(GetVarInt("TY"), 6);
  EXPECT_EQ(HeroPos.Y, 5);
}

TEST_F(ExploreTest, TurnsWrapAtThreeHundredSixty) {
  HeroPos.T = 270;
  Events({{10, "RET = 131072;"}});
  host_.key_press(3, key::Right);
  host_.key_press(30, key::Return);
  ASSERT_TRUE(Run(200));
  // 360 lasts until the next frame snaps it to 0: both face north.
  EXPECT_EQ(HeroPos.T, 0);
  EXPECT_EQ(GetVarInt("PT"), 3);  // a turn alone leaves the remembered position at the arrival
  // Each key comes after the 200 ms repeat delay of the one before.
  host_.key_press(host_.frames_presented() + 20, key::Right);
  host_.key_press(host_.frames_presented() + 40, key::Left);
  host_.key_press(host_.frames_presented() + 80, key::Left);
  host_.key_press(host_.frames_presented() + 120, key::Return);
  ASSERT_TRUE(Run(host_.frames_presented() + 400));
  EXPECT_EQ(HeroPos.T, 270);
}

host::HeadlessHost* g_host = nullptr;
int FrameCount(StrList**, StrList** stack) {
  return MacroPushInt(stack, static_cast<int32_t>(g_host->frames_presented()));
}

TEST_F(ExploreTest, MovesAnimateInFiveFramesUnlessMoveMotion) {
  g_host = &host_;
  RegisterMacro("frame", FrameCount);
  // Event 9 notes the frame of each arrival; the second one ends the loop.
  Events({{9, "F = frame(); if (PY == 5) { RET = 131072; }"}});
  auto step_frames = [&](int motion) {
    SetVarInt("MOVE_MOTION", motion);
    uint64_t key_frame = host_.frames_presented() + 20;
    host_.key_press(key_frame, key::Up);
    EXPECT_TRUE(Run(key_frame + 500));
    return GetVarInt("F") - static_cast<int32_t>(key_frame);
  };
  int still = step_frames(1);
  EXPECT_EQ(HeroPos.Y, 6);
  HeroPos.Y = 5;
  int animated = step_frames(0);
  EXPECT_EQ(HeroPos.Y, 6);
  EXPECT_EQ(animated - still, 5);
}

TEST_F(ExploreTest, IdleRunsEventThirteenEveryFrame) {
  Events({{13, "IDLE = IDLE + 1; if (IDLE == 3) { hero_hp(0); }"}, {50, Log(50)}});
  ASSERT_TRUE(Run());
  EXPECT_EQ(GetVarInt("IDLE"), 3);
  EXPECT_EQ(LogText(), "50,");
  // About two seconds of frames at 60 a second went by first.
  EXPECT_GE(host_.frames_presented(), 118u);
  EXPECT_LE(host_.frames_presented(), 125u);
}

TEST_F(ExploreTest, TheInspectorWalksThroughTreesWithoutEvents) {
  SetVarInt("DEBUG", 1);
  MapFlags[0][5][6] = MAPFLAG_TREE;
  DungeonMap[0].cells[5][6].w[CELL_EVNT] = 20;
  DungeonMap[0].cells[5][5].face(FACE_NORTH, FACE_PEVE) = 30;
  Events({{20, Log(20)}, {30, Log(30, "RET = 1;")}, {8, Log(8)}, {11, "RET = 131072;"}});
  host_.key_press(3, key::End);
  host_.key_press(30, key::Up);
  host_.key_press(60, key::Escape);
  ASSERT_TRUE(Run());
  EXPECT_EQ(LogText(), "8,");
  EXPECT_EQ(HeroPos.Y, 6);
}

TEST_F(ExploreTest, KeyBitsRepeatOnlyAfterTheDelay) {
  host_.key_down(0, key::Up);
  dxupdate();
  EXPECT_EQ(GetKeyBits(200000), KEY_UP);
  dxupdate();
  EXPECT_EQ(GetKeyBits(200000), 0u);  // 1/60 s later: held back
  for (int i = 0; i < 12; ++i) dxupdate();
  EXPECT_EQ(GetKeyBits(200000), KEY_UP);
  host_.key_up(host_.frames_presented(), key::Up);
  host_.key_down(host_.frames_presented(), key::Return);
  for (int i = 0; i < 13; ++i) dxupdate();
  EXPECT_EQ(GetKeyBits(200000), KEY_ENTER);
}

}  // namespace
