// Placed objects: billboards in the dungeon, and objects whose event stands
// in for their cell's own.
#include <cmath>

#include "dx/dx.h"
#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/map.h"

namespace {

int macro_bill(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t index = 0, picture = 0, part = 0, x = 2, y = 22, n = 0, width = 2, height = 2, alpha = 255;
  arg.Int(index);
  arg.Int(picture);
  arg.Int(part);
  arg.Int(x);
  arg.Int(y);
  arg.Int(n);
  arg.Int(width);
  arg.Int(height);
  arg.Int(alpha);
  if (index < 0 || index >= kObjects) return MacroPushInt(stack, 1);
  ObjectRec& o = ObjectTable[index];
  if (picture < 1 || x < 0 || y < 0 || n < 0) {
    o.active = 0;
    return MacroPushInt(stack, 0);
  }
  o = ObjectRec{};
  o.X = x, o.Y = y, o.N = n;
  o.active = 1;
  o.picture = static_cast<uint32_t>(picture);
  o.part = static_cast<uint32_t>(part);
  o.event = 0;
  o.width = width, o.height = height;
  o.alpha = static_cast<uint32_t>(alpha);
  return MacroPushInt(stack, 0);
}

// A cell an object may be dropped on: no tree, no event of its own, no other
// object. A floor outside the dungeon has no such cell.
bool FreeCell(int x, int y, int n, int self) {
  if (n < 0 || n >= kFloors) return false;
  if (MapFlags[n][x][y] & MAPFLAG_TREE) return false;
  if (DungeonMap[n].cells[x][y].w[CELL_EVNT] != 0) return false;
  for (int i = 0; i < kObjects; ++i) {
    const ObjectRec& o = ObjectTable[i];
    if (i != self && o.active && o.X == x && o.Y == y && o.N == n) return false;
  }
  return true;
}

int macro_event_float(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t index = -1, event = -1, picture = -1, part = 0, alpha = 255;
  double x = -1, y = -1, n = -1, width = 2.0, height = 2.0;
  arg.Int(index);
  arg.Int(event);
  arg.Int(picture);
  arg.Int(part);
  arg.Double(x);
  arg.Double(y);
  arg.Double(n);
  arg.Double(width);
  arg.Double(height);
  arg.Int(alpha);
  if (index < 0 || index >= kObjects) return MacroPushInt(stack, 2);
  ObjectRec& o = ObjectTable[index];
  if (event < 0 || picture < 0) {
    o.active = 0;
    return MacroPushInt(stack, 0);
  }
  int32_t xi = ScriptDoubleToInt(x), yi = ScriptDoubleToInt(y), ni = ScriptDoubleToInt(n);
  bool draw_cell = xi < 0 && yi < 0, draw_floor = ni < 0;
  if (xi < 0 || yi < 0 || ni < 0) {
    // Only a cell drawn at random is tried; a drawn floor holds for later tries.
    bool found = false;
    for (int attempt = 0; attempt < 1000 && !found; ++attempt) {
      if (ni < 0) ni = dxrand(kFloors);
      if (xi >= 0 || yi >= 0) continue;
      xi = dxrand(kMapSize);
      yi = dxrand(kMapSize);
      if (FreeCell(xi, yi, ni, index)) {
        found = true;
        break;
      }
      xi = yi = -1;
    }
    if (!found) {
      o.active = 0;
      return MacroPushInt(stack, 1);
    }
    if (draw_cell) x = xi, y = yi;
    if (draw_floor) n = ni;
  }
  o = ObjectRec{};
  o.X = x, o.Y = y, o.N = n;
  o.active = 1;
  o.picture = static_cast<uint32_t>(picture);
  o.part = static_cast<uint32_t>(part);
  o.event = static_cast<uint32_t>(event);
  o.width = width, o.height = height;
  o.alpha = static_cast<uint32_t>(alpha);
  return MacroPushInt(stack, 0);
}

}  // namespace

void RegisterObjectMacros() {
  RegisterMacro("bill", macro_bill);
  RegisterMacro("event_float", macro_event_float);
}
