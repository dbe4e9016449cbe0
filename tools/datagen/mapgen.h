// The dungeon of the demo game: three floors drawn as character maps, turned
// into "data/map/map.cfg" (floor headers, then the non-zero words of every cell
// in the order the map reader visits them: Y outer, X inner).
#pragma once

#include <string>
#include <vector>

namespace datagen {

// The map file's text; throws std::runtime_error when the layouts are
// inconsistent (a row of the wrong width, stairs without a partner, a cell that
// cannot be reached).
std::string MakeMapCfg();

}  // namespace datagen
