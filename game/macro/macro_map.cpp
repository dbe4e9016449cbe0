// Map cell commands: the words of the dungeon's cells and faces, the cells'
// dynamic flags, and the search for a cell around the hero.
#include <algorithm>
#include <cstdlib>

#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/map.h"
#include "game/position.h"

namespace {

// The cell named by the next three arguments, or null when one is missing or
// outside the map.
MapCell* CellArg(MacroArgReader& arg, int32_t& x, int32_t& y, int32_t& floor) {
  x = y = floor = -1;
  arg.Int(x);
  arg.Int(y);
  arg.Int(floor);
  if (x < 0 || x >= kMapSize || y < 0 || y >= kMapSize || floor < 0 || floor >= kFloors) return nullptr;
  return &DungeonMap[floor].cells[x][y];
}

int CellWord(StrList** args, StrList** stack, int word) {
  MacroArgReader arg(args);
  int32_t x, y, floor;
  MapCell* cell = CellArg(arg, x, y, floor);
  if (!cell) return MacroPushInt(stack, 0);
  arg.Int(cell->w[word]);
  return MacroPushInt(stack, cell->w[word]);
}

int FaceWord(StrList** args, StrList** stack, int k) {
  MacroArgReader arg(args);
  int32_t x, y, floor, face = -1;
  MapCell* cell = CellArg(arg, x, y, floor);
  arg.Int(face);
  if (!cell || face < 0 || face > 5) return MacroPushInt(stack, 0);
  arg.Int(cell->face(face, k));
  return MacroPushInt(stack, cell->face(face, k));
}

#define CELL_COMMAND(name, word) \
  int macro_##name(StrList** args, StrList** stack) { return CellWord(args, stack, word); }
#define FACE_COMMAND(name, k) \
  int macro_##name(StrList** args, StrList** stack) { return FaceWord(args, stack, k); }

CELL_COMMAND(map_event, CELL_EVNT)
CELL_COMMAND(map_param, CELL_PARA)
CELL_COMMAND(map_step_up, CELL_STPU)
CELL_COMMAND(map_step_down, CELL_STPD)
CELL_COMMAND(map_fog, CELL_FOG)
CELL_COMMAND(map_water, CELL_WATR)
CELL_COMMAND(map_warp, CELL_WARP)
CELL_COMMAND(map_box, CELL_BOX)
CELL_COMMAND(map_tree, CELL_TREE)
CELL_COMMAND(map_tower, CELL_TOWER)
CELL_COMMAND(map_desert, CELL_DESERT)
CELL_COMMAND(map_kind, CELL_KIND)
CELL_COMMAND(map_bg, CELL_BG)
FACE_COMMAND(map_wall_img, FACE_TEXTURE)
FACE_COMMAND(map_wall_door, FACE_DOOR)
FACE_COMMAND(map_wall_fire, FACE_FIRE)
FACE_COMMAND(map_wall_message, FACE_MESS)
FACE_COMMAND(map_wall_push_event, FACE_PEVE)
FACE_COMMAND(map_wall_param, FACE_PARA)

int macro_map_flag(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t x, y, floor;
  if (!CellArg(arg, x, y, floor)) return MacroPushInt(stack, 0);
  uint32_t& word = MapFlags[floor][x][y];
  int32_t value;
  if (arg.Int(value)) word = static_cast<uint32_t>(value);
  return MacroPushInt(stack, static_cast<int32_t>(word));
}

struct ScanCriteria {
  int32_t kind, event, param, feature;
};

bool CellMeets(int x, int y, int floor, const ScanCriteria& c) {
  const MapCell& cell = DungeonMap[floor].cells[x][y];
  return (c.kind >= 0 && cell.w[CELL_KIND] == c.kind) || (c.event >= 0 && cell.w[CELL_EVNT] == c.event) ||
         (c.param >= 0 && cell.w[CELL_PARA] == c.param) ||
         (c.feature >= 0 && FindMapCells(x, y, floor, c.feature));
}

int macro_map_scan(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t d = 4;
  ScanCriteria c{-1, -1, -1, -1};
  arg.Int(d);
  arg.Int(c.kind);
  arg.Int(c.event);
  arg.Int(c.param);
  arg.Int(c.feature);
  int64_t hx = ScriptDoubleToInt(HeroPos.X), hy = ScriptDoubleToInt(HeroPos.Y);
  int32_t floor = ScriptDoubleToInt(HeroPos.N);
  // The border at distance d, its four sides in turn; the search of every
  // further round would cover the same cells, so one is enough.
  if (d <= 0 || floor < 0 || floor >= kFloors) return MacroPushInt(stack, -1);
  int rc = 0;
  auto hit = [&](int64_t x, int64_t y) {
    if (x < 0 || x >= kMapSize || y < 0 || y >= kMapSize) return false;
    if (!CellMeets(static_cast<int>(x), static_cast<int>(y), floor, c)) return false;
    SetVarInt("X", static_cast<int32_t>(x));
    SetVarInt("Y", static_cast<int32_t>(y));
    rc = MacroPushInt(stack, static_cast<int32_t>(std::llabs(y - hy) + std::llabs(x - hx)));
    return true;
  };
  // Each side is walked only where it crosses the map (in the same order):
  // a far distance would otherwise spend billions of steps outside it.
  const int64_t x0 = std::max<int64_t>(hx - d, 0), x1 = std::min<int64_t>(hx + d, kMapSize - 1);
  const int64_t y0 = std::max<int64_t>(hy - d, 0), y1 = std::min<int64_t>(hy + d, kMapSize - 1);
  for (int64_t x = x0; x <= x1; ++x)
    if (hit(x, hy - d)) return rc;
  for (int64_t y = y0; y <= y1; ++y)
    if (hit(hx + d, y)) return rc;
  for (int64_t x = x0; x <= x1; ++x)
    if (hit(x, hy + d)) return rc;
  for (int64_t y = y0; y <= y1; ++y)
    if (hit(hx - d, y)) return rc;
  return MacroPushInt(stack, -1);
}

}  // namespace

int FindMapCells(int x, int y, int floor, int feature) {
  if (x < 0 || x >= kMapSize || y < 0 || y >= kMapSize || floor < 0 || floor >= kFloors) return 0;
  const MapCell& cell = DungeonMap[floor].cells[x][y];
  if (feature >= 1 && feature <= 3) {
    int k = feature == 1 ? FACE_DOOR : feature == 2 ? FACE_FIRE : FACE_MESS;
    for (int face = 0; face < 4; ++face)
      if (cell.face(face, k)) return 1;
    return 0;
  }
  if (feature >= 4 && feature <= 12) {
    static const int kWords[] = {CELL_STPU, CELL_STPD, CELL_FOG,   CELL_WATR,  CELL_WARP,
                                 CELL_BOX,  CELL_TREE, CELL_TOWER, CELL_DESERT};
    return cell.w[kWords[feature - 4]] != 0;
  }
  return 0;
}

void RegisterMapMacros() {
  RegisterMacro("map_event", macro_map_event);
  RegisterMacro("map_param", macro_map_param);
  RegisterMacro("map_step_up", macro_map_step_up);
  RegisterMacro("map_step_down", macro_map_step_down);
  RegisterMacro("map_fog", macro_map_fog);
  RegisterMacro("map_water", macro_map_water);
  RegisterMacro("map_warp", macro_map_warp);
  RegisterMacro("map_box", macro_map_box);
  RegisterMacro("map_tree", macro_map_tree);
  RegisterMacro("map_tower", macro_map_tower);
  RegisterMacro("map_desert", macro_map_desert);
  RegisterMacro("map_kind", macro_map_kind);
  RegisterMacro("map_flag", macro_map_flag);
  RegisterMacro("map_bg", macro_map_bg);
  RegisterMacro("map_wall_img", macro_map_wall_img);
  RegisterMacro("map_wall_door", macro_map_wall_door);
  RegisterMacro("map_wall_fire", macro_map_wall_fire);
  RegisterMacro("map_wall_message", macro_map_wall_message);
  RegisterMacro("map_wall_push_event", macro_map_wall_push_event);
  RegisterMacro("map_wall_param", macro_map_wall_param);
  RegisterMacro("map_scan", macro_map_scan);
}
