#include <gtest/gtest.h>

#include "game/map.h"
#include "game/position.h"
#include "script/strlist.h"
#include "tests/game/game_fixture.h"

namespace {

using gametest::GameTest;

class PositionTest : public GameTest {};

TEST_F(PositionTest, RoundingAndQuadrants) {
  EXPECT_EQ(GetPosX({2.5, 0, 0, 0, 0}), 3);
  EXPECT_EQ(GetPosX({2.49, 0, 0, 0, 0}), 2);
  EXPECT_EQ(GetPosX({-0.4, 0, 0, 0, 0}), 0);
  EXPECT_EQ(GetPosX({1e300, 0, 0, 0, 0}), INT32_MAX);  // far values saturate
  EXPECT_EQ(GetPosQuadrant({0, 0, 0, 315, 0}), 4);
  EXPECT_EQ(GetPosQuadrant({0, 0, 0, 314, 0}), 3);
  EXPECT_EQ(PositionDiff({1, 2, 3, 4, 5}, {1, 2, 3, 90, 5}), POS_DIFF_T);
  EXPECT_EQ(PositionDiff({1, 2, 3, 4, 5}, {0, 0, 0, 0, 0}), 0x1F);
}

TEST_F(PositionTest, SnapAndClamp) {
  auto snap = [](ViewPos v) {
    SnapPosition(v);
    return v;
  };
  EXPECT_EQ(snap({0, 0, 0, -90, 0}).T, 270);
  EXPECT_EQ(snap({0, 0, 0, 450, 0}).T, 90);
  EXPECT_EQ(snap({0, 0, 0, 359.9, 0}).T, 270);
  EXPECT_EQ(snap({0, 0, 0, 360, 0}).T, 0);
  EXPECT_EQ(snap({0, 0, 0, -1e12, 0}).T, 180);  // -2147483648 degrees, in range at once
  EXPECT_EQ(snap({0, 0, 0, 0, 360}).P, 360);
  EXPECT_EQ(snap({0, 0, 0, 0, 361}).P, 1);
  EXPECT_EQ(snap({0, 0, 0, 0, 720}).P, 360);
  EXPECT_EQ(snap({0, 0, 0, 0, -360}).P, 0);
  EXPECT_EQ(snap({0, 0, 0, 0, -1}).P, 359);
  ViewPos c{24.6, 30, 15.2, 0, 0};
  SetViewPosClamped(c);
  EXPECT_EQ(c.X, 24);
  EXPECT_EQ(c.Y, 24);
  EXPECT_EQ(c.N, 14);
  ViewPos low{-3, 2.2, 0, 0, 0};
  SetViewPosClamped(low);
  EXPECT_EQ(low.X, -2);  // no lower limit
}

TEST_F(PositionTest, WalkingAlongTheHeading) {
  ViewPos p{5, 5, 0, 90, 0}, old{};
  EXPECT_EQ(WalkForward(p, 1, &old), 1);
  EXPECT_NEAR(p.X, 5.9999997, 1e-6);
  EXPECT_NEAR(p.Y, 5.0008, 1e-4);
  EXPECT_EQ(GetPosX(p), 6);
  EXPECT_EQ(GetPosY(p), 5);
  EXPECT_EQ(old.X, 5);
  ViewPos q{5, 5, 0, 0, 0};
  EXPECT_EQ(WalkForward(q, 0.2, nullptr), 1);
  EXPECT_DOUBLE_EQ(q.Y, 5.2);
  // X and Y stay within the map.
  ViewPos edge{3, 0, 0, 180, 0};
  WalkForward(edge, 1, nullptr);
  EXPECT_EQ(edge.Y, 0);
  ViewPos corner{0, 24.5, 0, 0, 0};
  EXPECT_EQ(WalkForward(corner, 1, nullptr), 1);
  EXPECT_EQ(corner.Y, 24);
  ViewPos up{3, 3, 2, 0, 90};
  WalkForward(up, 1, nullptr);
  EXPECT_NEAR(up.N, 3, 1e-5);  // pitch moves between floors
}

TEST_F(PositionTest, OneCellMoves) {
  ViewPos p{5, 5, 0, 0, 0}, prev{};
  EXPECT_EQ(TryMoveStep(p, 1, &prev), 1);
  EXPECT_EQ(GetPosY(p), 6);
  EXPECT_EQ(prev.Y, 5);
  EXPECT_EQ(TryMoveStep(p, -1), 1);
  EXPECT_EQ(GetPosY(p), 5);
  MapFlags[0][5][6] = MAPFLAG_TREE;
  ViewPos before = p;
  EXPECT_EQ(TryMoveStep(p, 1), 0);
  EXPECT_EQ(PositionDiff(p, before), 0);
  ViewPos edge{24, 5, 0, 90, 0};
  EXPECT_EQ(TryMoveStep(edge, 1), 0);
  EXPECT_EQ(edge.X, 24);
  EXPECT_EQ(GetCellFlag({5, 6, 0, 0, 0}), MAPFLAG_TREE);
  EXPECT_EQ(GetCellFlag({5, 6, 15, 0, 0}), 0u);
  DungeonMap[0].cells[5][6].w[CELL_TREE] = 3;
  EXPECT_EQ(GetCellTree({5.2, 5.9, 0, 0, 0}), 3);
  EXPECT_EQ(GetCellTree({-1, 6, 0, 0, 0}), 0);
}

TEST_F(PositionTest, CellEventsAndPlacedObjects) {
  MapCell& cell = DungeonMap[2].cells[3][4];
  cell.w[CELL_EVNT] = 105;
  cell.w[CELL_PARA] = 7;
  ViewPos p{3, 4, 2, 330, 0};
  EXPECT_EQ(ScanEvent(p), 105);
  EXPECT_EQ(GetVarInt("PARAM"), 7);
  EXPECT_EQ(GetVarInt("X"), 3);
  EXPECT_EQ(GetVarInt("Y"), 4);
  EXPECT_EQ(GetVarInt("N"), 2);
  EXPECT_EQ(GetVarInt("T"), 4);
  // An active object with event 0 hides nothing; of two with events, the later wins.
  ObjectTable[1] = {3, 4, 2, 1, 1, 0, 0, 2, 2, 255, 0};
  EXPECT_EQ(ScanEvent(p), 105);
  ObjectTable[2] = {3, 4, 2, 1, 1, 0, 200, 2, 2, 255, 0};
  ObjectTable[9] = {3, 4, 2, 1, 1, 0, 201, 2, 2, 255, 0};
  ObjectTable[10] = {3, 4, 2, 0, 1, 0, 202, 2, 2, 255, 0};  // inactive
  ObjectTable[11] = {3, 4, 1, 1, 1, 0, 203, 2, 2, 255, 0};  // another floor
  EXPECT_EQ(ScanEvent(p), 201);
  EXPECT_EQ(GetVarInt("PARAM"), 0);
  // A place outside the dungeon has no event and reads nothing outside it.
  EXPECT_EQ(ScanEvent({-5, 40, 99, 0, 0}), 0);
  EXPECT_EQ(GetVarInt("X"), -4);
}

TEST_F(PositionTest, PushEventsOfTheFaces) {
  MapCell& cell = DungeonMap[0].cells[1][1];
  for (int f = 0; f < 4; ++f) {
    cell.face(f, FACE_PEVE) = 300 + f;
    cell.face(f, FACE_PARA) = f + 1;
  }
  ViewPos p{1, 1, 0, 0, 0};
  EXPECT_EQ(ScanPushEvent(p, -1), 302);
  EXPECT_EQ(GetVarInt("T"), 2);
  EXPECT_EQ(GetVarInt("PARAM"), 3);
  p.T = 90;
  EXPECT_EQ(ScanPushEvent(p, 1), 301);
  EXPECT_EQ(ScanPushEvent(p, -1), 303);
  EXPECT_EQ(ScanPushEvent(p, 0), 300);
  p.T = 320;  // quadrant 4 points north
  EXPECT_EQ(ScanPushEvent(p, 1), 300);
  EXPECT_EQ(ScanPushEvent({30, 1, 0, 0, 0}, 1), 0);
}

}  // namespace
