// The dungeon of the demo game: three floors drawn as character maps, turned
// into "data/map/map.cfg" (floor headers, then the non-zero words of every cell
// in the order the map reader visits them: Y outer, X inner).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace datagen {

// Each floor's rows of map characters, from north (y = 24) to south (y = 0).
using DungeonLayout = std::array<std::array<std::string, 25>, 3>;

struct StoryCell {
  int floor, x, y;
};
// Where the story's check expects the forest spirit that
// data/event/walk_enter.txt places.
StoryCell SpiritCell();

// The demo's own floors.
const DungeonLayout& DemoLayout();

// Empty when the floors are consistent and playable; else what is wrong: a
// row of the wrong width, stairs without a partner, a place of the story that
// cannot be reached in the story's order with what was found before it (the
// stairs, warps, doors and crumbling floors taken as their events treat them),
// or a cell that cannot be reached at all.
std::string LayoutProblem(const DungeonLayout& layout);

// The map file's text; throws std::runtime_error when the layouts are
// inconsistent or not playable (see LayoutProblem).
std::string MakeMapCfg();

}  // namespace datagen
