// The 2-D views of the dungeon: the minimap, the whole-floor map and the
// debug cell inspector.
#include <string>

#include "dx/dx.h"
#include "game/gamestate.h"
#include "game/main.h"
#include "game/win.h"
#include "game/map.h"
#include "game/map2d.h"
#include "game/minimap.h"
#include "script/strlist.h"

namespace {

bool CellInMap(int64_t x, int64_t y, int floor) {
  return x >= 0 && x < kMapSize && y >= 0 && y < kMapSize && floor >= 0 && floor < kFloors;
}

// A map part, else the fallback part, else a red square.
void DrawPartOrFallback(int part, int px, int py, bool keyed) {
  dx::bitmap* pic = part >= 0 && part < kChipCount ? MapPartTable[part] : nullptr;
  if (!pic) pic = MapPartTable[255];
  if (!pic) {
    dxfillrect(px, py, 31, 31, dxrgb(255, 0, 0));
    return;
  }
  if (keyed)
    dxblt(pic, px, py);
  else
    dxbltnokey(pic, px, py);
}

// A treasure or tree number drawn through PartIndexTable.
void DrawIndexedPart(int32_t number, int px, int py) {
  if (number < 1 || number > 255) return;
  const int32_t part = PartIndexTable[number];
  if (part < 1 || part > 255 || !MapPartTable[part]) return;
  dxblt(MapPartTable[part], px, py);
}

std::string BitPairs(uint32_t word) {
  std::string s;
  for (int b = 0; b < 32; ++b) s += (word >> b & 1) ? "1 " : "0 ";
  return s;
}

}  // namespace

int DrawMiniMap(dx::bitmap* target, int x, int y, int floor, int heading) {
  dxpushtarget(target);
  dxcls(dxrgb(0, 0, 64));
  // Scripts may name any cell: the arithmetic is wide enough for the far ones.
  for (int r = 0; r <= 10; ++r) {
    const int64_t my = int64_t{y} + r - 5;
    const int py = (10 - r) * 32;
    for (int c = 0; c <= 10; ++c) {
      const int64_t mx = int64_t{x} + c - 5;
      const int px = c * 32;
      if (!CellInMap(mx, my, floor)) {
        dxfillrect(px, py, 31, 31, dxrgb(32, 32, 64));
        continue;
      }
      const int32_t* w = DungeonMap[floor].cells[mx][my].w;
      if (w[CELL_KIND] >= 1 && w[CELL_KIND] <= 255) DrawPartOrFallback(w[CELL_KIND], px, py, false);
      const uint32_t flags = MapFlags[floor][mx][my];
      if (flags & MAPFLAG_TREASURE) DrawIndexedPart(w[CELL_BOX], px, py);
      if (flags & MAPFLAG_TREE) DrawIndexedPart(w[CELL_TREE], px, py);
    }
  }
  for (const ObjectRec& o : ObjectTable) {
    if (!o.active || o.N != static_cast<double>(floor) || o.part < 1 || o.part > 255) continue;
    const int64_t ox = int64_t{ScriptDoubleToInt(o.X)} - x + 5, oy = int64_t{y} - 5 - ScriptDoubleToInt(o.Y) + 10;
    if (ox < 0 || ox > 24 || oy < 0 || oy > 24 || !MapPartTable[o.part]) continue;
    dxblt(MapPartTable[o.part], static_cast<int>(32 * ox), static_cast<int>(32 * oy));
  }
  if (ScriptDoubleToInt(HeroPos.N) == floor && ScriptDoubleToInt(HeroPos.X) == x &&
      ScriptDoubleToInt(HeroPos.Y) == y) {
    heading = (heading % 360 + 360) % 360;
    DrawPartOrFallback((heading + 45) / 90 + 251, 160, 160, true);
  }
  dxpoptarget(false);
  return 0;
}

int DrawFloorMap(int sx, int sy, int floor) {
  if (floor < 0) floor = ScriptDoubleToInt(HeroPos.N);
  dxfillrect(sx, sy, 400, 400, dxrgb(1, 1, 1));
  // A floor outside the dungeon has no cells to show.
  if (floor < 0 || floor >= kFloors) return 0;
  // A map that starts past the end of the coordinate range lies off every surface.
  if (sx > INT32_MAX - 400 || sy > INT32_MAX - 400) return 0;
  for (int r = 0; r < kMapSize; ++r) {
    for (int c = 0; c < kMapSize; ++c) {
      const int32_t kind = DungeonMap[floor].cells[c][24 - r].w[CELL_KIND];
      dx::bitmap* pic = kind >= 0 && kind < kChipCount ? MapPartTable[kind] : nullptr;
      if (!pic) pic = MapPartTable[255];
      if (pic)
        dxstretchblt(pic, sx + 16 * c, sy + 16 * r, 15, 15);
      else
        dxfillrect(sx + 16 * c, sy + 16 * r, 15, 15, dxrgb(255, 0, 0));
    }
  }
  return 0;
}

void DrawCellFaceInfo(int sx, int sy, int x, int y, int floor, int face) {
  static const char* const kNames[6] = {"北", "東", "南", "西", "上", "下"};
  dxfillrect(sx, sy, 127, 31, dxrgb(64, 64, 180));
  int32_t words[6] = {};
  if (face >= 0 && face < 6 && CellInMap(x, y, floor))
    for (int k = 0; k < 6; ++k) words[k] = DungeonMap[floor].cells[x][y].face(face, k);
  if (words[FACE_TEXTURE] > 0) {
    int n = words[FACE_TEXTURE] > 255 ? 255 : words[FACE_TEXTURE];
    if (!WallTextureTable[n].path) n = 255;
    LoadMapImage(&WallTextureTable[n]);
    if (dx::bitmap* pic = WallTextureTable[n].picture) dxstretchblt(pic, sx, sy, 127, 31);
  }
  const uint32_t white = dxrgb(255, 255, 255);
  dxprintf(sx, sy, white, "%s[%d]火(%d)扉(%d)", face >= 0 && face < 6 ? kNames[face] : "謎", words[FACE_TEXTURE],
           words[FACE_FIRE], words[FACE_DOOR]);
  dxprintf(sx, sy + 16, white, "メ(%d)押(%d)引(%d)", words[FACE_MESS], words[FACE_PEVE], words[FACE_PARA]);
}

void DrawCellInfo(dx::bitmap* target, int x, int y, int floor, int heading) {
  dxsetfont(GameFontFace, 16, 8, 0, 0, 1);
  dxpushtarget(target);
  dxcls(dxrgb(1, 1, 1));
  const uint32_t white = dxrgb(255, 255, 255);
  int ly = 164;
  dxprintf(0, ly, white, "X=%d,Y=%d,階=%d 角度=%d", x, y, floor, heading);
  // A cell outside the map has nothing more to show.
  if (CellInMap(x, y, floor)) {
    const int32_t* w = DungeonMap[floor].cells[x][y].w;
    auto line = [&](const char* left, int32_t a, const char* right = nullptr, int32_t b = 0) {
      ly += 16;
      dxprintf(0, ly, white, left, a);
      if (right) dxprintf(160, ly, white, right, b);
    };
    line("2Dパーツ種類=%d", w[CELL_KIND]);
    line("イベント=%d", w[CELL_EVNT]);
    line("イベント_パラメータ=%d", w[CELL_PARA]);
    line("階段UP=%d", w[CELL_STPU], "階段DOWN=%d", w[CELL_STPD]);
    line("霧濃度=%d", w[CELL_FOG], "水中=%d", w[CELL_WATR]);
    line("ワープ=%d", w[CELL_WARP], "宝箱=%d", w[CELL_BOX]);
    line("森の木=%d", w[CELL_TREE], "塔=%d", w[CELL_TOWER]);
    line("砂漠=%d", w[CELL_DESERT], "背景=%d", w[CELL_BG]);
    ly += 16;
    dxprintf(0, ly, white, "フラグ(静)=%s", BitPairs(static_cast<uint32_t>(w[CELL_FLAG])).c_str());
    ly += 16;
    dxprintf(0, ly, dxrgb(0, 255, 255), "フラグ(動)=%s", BitPairs(MapFlags[floor][x][y]).c_str());
    ly += 16;
    dxprintf(0, ly, white, "           通森床壁宝");
    ly += 16;
    dxprintf(0, ly, white, "           行壊壊壊箱");
    DrawCellFaceInfo(80, 0, x, y, floor, FACE_NORTH);
    DrawCellFaceInfo(80, 32, x, y, floor, FACE_UP);
    DrawCellFaceInfo(0, 64, x, y, floor, FACE_WEST);
    DrawCellFaceInfo(160, 64, x, y, floor, FACE_EAST);
    DrawCellFaceInfo(80, 96, x, y, floor, FACE_DOWN);
    DrawCellFaceInfo(80, 128, x, y, floor, FACE_SOUTH);
  }
  dxpoptarget(false);
}
