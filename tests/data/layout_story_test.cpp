// The generator's check of the dungeon: the demo's floors can be played
// through, and floors whose story cannot be finished are refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/data/data_files.h"
#include "tools/datagen/mapgen.h"

namespace {

using datagen::DungeonLayout;
using datagen::LayoutProblem;

// The demo's floors with one cell changed (floor, x, y as in the map).
DungeonLayout With(DungeonLayout layout, int f, int x, int y, char c) {
  layout[f][24 - y][x] = c;
  return layout;
}

TEST(DemoLayout, TheDemosStoryCanBeWalkedThrough) { EXPECT_EQ(LayoutProblem(datagen::DemoLayout()), ""); }

TEST(DemoLayout, AStoryThatCannotBeFinishedIsRefused) {
  const DungeonLayout& demo = datagen::DemoLayout();
  // A crumbling floor on the way out of the arrival from floor 1 drops the hero
  // back down, and the fog maze is closed to the warp: the key's chest is out
  // of reach.
  EXPECT_NE(LayoutProblem(With(With(demo, 1, 23, 5, 'h'), 1, 2, 14, '#')).find("bronze key"), std::string::npos);
  // A tree in front of the axe's field: the axe that would cut it lies beyond.
  EXPECT_NE(LayoutProblem(With(demo, 0, 11, 19, 'T')).find("hand axe"), std::string::npos);
  // The guardian walled in.
  EXPECT_NE(LayoutProblem(With(demo, 2, 13, 21, '#')).find("guardian"), std::string::npos);
  // The shop that sells the lamp walled in.
  EXPECT_NE(LayoutProblem(With(With(demo, 0, 11, 15, '#'), 0, 11, 19, '#')).find("village shop"), std::string::npos);
}

TEST(DemoLayout, MisshapenFloorsAreRefused) {
  DungeonLayout short_row = datagen::DemoLayout();
  short_row[1][3].pop_back();
  EXPECT_NE(LayoutProblem(short_row).find("not 25 wide"), std::string::npos);
  EXPECT_NE(LayoutProblem(With(datagen::DemoLayout(), 0, 22, 2, '.')).find("stairs down without"), std::string::npos);
  // A cell in the rock that nothing leads to.
  EXPECT_EQ(LayoutProblem(With(datagen::DemoLayout(), 0, 23, 12, '.')), "cell 23,12 of floor 0 cannot be reached");
}

// The spirit stands where the check expects it, so it is never out of reach.
TEST(DemoLayout, TheSpiritStandsOnTheCellTheCheckWalksTo) {
  const std::string script = datacheck::ReadFile("data/event/walk_enter.txt");
  const size_t at = script.find("event_float(0, 116, ");
  ASSERT_NE(at, std::string::npos);
  int x = -1, y = -1, floor = -1;
  ASSERT_EQ(std::sscanf(script.c_str() + at, "event_float(0, 116, %*d, %*d, %d, %d, %d,", &x, &y, &floor), 3);
  const datagen::StoryCell spirit = datagen::SpiritCell();
  EXPECT_EQ(x, spirit.x);
  EXPECT_EQ(y, spirit.y);
  EXPECT_EQ(floor, spirit.floor);
}

}  // namespace
