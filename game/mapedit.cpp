// The makers' map editor: every field of the hero's cell and of the wall ahead,
// edited in place, and the map saved over "data/map/map.cfg".
#include "game/mapedit.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "dx/dx.h"
#include "game/editor.h"
#include "game/explore.h"
#include "game/fatal.h"
#include "game/gamestate.h"
#include "game/main.h"
#include "game/win.h"
#include "game/map.h"
#include "platform/win32/file.h"
#include "platform/win32/msgbox.h"

int MapEditorRow = 0;

namespace {

constexpr uint32_t kKeyDelay = 200000;
constexpr uint32_t kUp = 0x11, kRight = 0x22, kDown = 0x44, kLeft = 0x88, kEnter = 0x100, kEsc = 0x200;
constexpr int kRows = 23;
constexpr int kCell = 24;

dx::bitmap* PartGrid = nullptr;
dx::bitmap* TextureGrid = nullptr;

// The layer deletes every bitmap at release; the grids are built again after.
void ForgetGrids() { PartGrid = TextureGrid = nullptr; }

dx::bitmap* TexturePicture(int n) {
  if (n < 0 || n >= kChipCount) return nullptr;
  if (!WallTextureTable[n].path) n = 255;
  LoadMapImage(&WallTextureTable[n]);
  return WallTextureTable[n].picture;
}

dx::bitmap* PartPicture(int n) {
  dx::bitmap* pic = n >= 0 && n < kChipCount ? MapPartTable[n] : nullptr;
  return pic ? pic : MapPartTable[255];
}

dx::bitmap* BuildGrid(dx::bitmap* (*picture)(int)) {
  dxaddreleasehook(ForgetGrids);
  dx::bitmap* grid = dxnewbitmap(16 * kCell, 16 * kCell);
  dxpushtarget(grid);
  dxcls(dxrgb(1, 1, 1));
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 16; ++c) {
      if (dx::bitmap* pic = picture(r * 16 + c))
        dxstretchblt(pic, c * kCell, r * kCell, kCell, kCell);
      else
        dxfillrect(c * kCell, r * kCell, kCell, kCell, 0);
    }
  dxpoptarget(false);
  return grid;
}

// The grid pickers' cursor: 16 x 16 cells, wrapping. True when a choice was
// made (Enter), false on Esc.
template <typename Draw>
bool PickFromGrid(int32_t start, int* chosen, Draw draw) {
  int row = 0, col = 0;
  if (start >= 0 && start < 256) row = start / 16, col = start % 16;
  for (;;) {
    const uint32_t keys = GetKeyBits(kKeyDelay);
    if (keys & kUp) row = (row + 15) % 16;
    if (keys & kDown) row = (row + 1) % 16;
    if (keys & kRight) col = (col + 1) % 16;
    if (keys & kLeft) col = (col + 15) % 16;
    if (keys & kEsc) return false;
    if (keys & kEnter) {
      *chosen = row * 16 + col;
      return true;
    }
    draw(row, col);
    dxupdate();
  }
}

std::string Bits(uint32_t word) {
  std::string s;
  for (int b = 0; b < 32; ++b) s += (word >> b & 1) ? '1' : '0';
  return s;
}

void SaveMap() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  char backup[64];
  std::snprintf(backup, sizeof backup, "data/map/map_%04d%02d%02d_%02d%02d%02d.cfg", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  // The old map is copied aside rather than moved, so that a map that cannot
  // be written leaves the old one in place; a missing old map is no error.
  std::string old;
  if (std::FILE* in = std::fopen("data/map/map.cfg", "rb")) {
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) old.append(buf, n);
    const bool read_whole = !std::ferror(in);
    std::fclose(in);
    if (read_whole) win32::WriteFileSafely(backup, old.data(), old.size());
  }
  if (WriteMapData("data/map/map.cfg"))
    MessageBoxA(dxgetwindow(), "セーブ完了しました", "インフォメーション", MB_ICONHAND);
  else
    MessageBoxA(dxgetwindow(), "セーブに失敗しました", "インフォメーション", MB_ICONHAND);
  MsgBuf[0] = 0;
}

}  // namespace

void PickMapChip(int x, int y, int32_t* value) {
  if (!PartGrid) PartGrid = BuildGrid(PartPicture);
  int chosen;
  if (PickFromGrid(*value, &chosen, [&](int row, int col) {
        dxblt(PartGrid, x, y);
        dxrect(x + col * kCell, y + row * kCell, kCell, kCell, dxrgb(255, 0, 0), 1);
      }))
    *value = chosen;
}

void PickTexture(int x, int y, int32_t* value) {
  if (!TextureGrid) TextureGrid = BuildGrid(TexturePicture);
  dxsetfont(GameFontFace, 16, 8, 0, 0, 1);
  int chosen;
  if (PickFromGrid(*value, &chosen, [&](int row, int col) {
        dxblt(TextureGrid, x, y);
        dxrect(x + col * kCell, y + row * kCell, kCell, kCell, dxrgb(255, 0, 0), 1);
        const int n = row * 16 + col;
        if (dx::bitmap* pic = TexturePicture(n))
          dxstretchblt(pic, x + 392, y, 200, 200);
        else
          dxfillrect(x + 392, y, 200, 200, dxrgb(1, 1, 1));
        dxprintf(x + 492, y + 100, dxrgb(255, 255, 255), "%d", n);
      }))
    *value = chosen;
}

void EditNumber(int x, int y, int32_t* value) {
  dxfillrect(x, y, 256, 40, dxrgb(0, 180, 128));
  char initial[16], text[16];
  std::snprintf(initial, sizeof initial, "%d", *value);
  if (dxinputline(x + 4, y + 4, 256, text, sizeof text, initial, dxrgb(255, 255, 255))) *value = std::atoi(text);
  dxsync(10);
}

void EditBits(int x, int y, int32_t* value) {
  dxfillrect(x, y, 256, 40, dxrgb(0, 180, 128));
  int bit = 0;
  for (;;) {
    const uint32_t keys = GetKeyBits(kKeyDelay);
    uint32_t word = static_cast<uint32_t>(*value);
    if (keys & kRight) bit = (bit + 1) % 32;
    if (keys & kLeft) bit = (bit + 31) % 32;
    if (keys & kUp) word |= 1u << bit;
    if (keys & kDown) word &= ~(1u << bit);
    *value = static_cast<int32_t>(word);
    if (keys & (kEnter | kEsc)) return;
    dxfillrect(x, y, 320, 40, dxrgb(0, 180, 128));
    for (int b = 0; b < 32; ++b)
      dxprintf(x + 10 * b + 4, y + 4, b == bit ? dxrgb(255, 0, 0) : dxrgb(255, 255, 255), "%c",
               (word >> b & 1) ? '1' : '0');
    dxupdate();
  }
}

void MapEditor(int x, int y, int cx, int cy, int floor, int heading) {
  // Only a cell of the dungeon can be edited.
  if (cx < 0 || cx >= kMapSize || cy < 0 || cy >= kMapSize || floor < 0 || floor >= kFloors) return;
  heading = (heading % 360 + 360) % 360;
  const int ahead = heading / 90;
  MapCell& cell = DungeonMap[floor].cells[cx][cy];
  int32_t* w = cell.w;
  uint32_t& flags = MapFlags[floor][cx][cy];
  const uint32_t white = dxrgb(255, 255, 255);
  for (;;) {
    const uint32_t keys = GetKeyBits(kKeyDelay);
    if (keys & kUp) MapEditorRow = MapEditorRow == 0 ? kRows - 1 : MapEditorRow - 1;
    if (keys & kDown) MapEditorRow = MapEditorRow == kRows - 1 ? 0 : MapEditorRow + 1;
    if (keys & kEsc) return;
    if (keys & kEnter) {
      const int ey = y + 16 * (MapEditorRow + 1);
      switch (MapEditorRow) {
        case 0: PickMapChip(x, y, &w[CELL_KIND]); break;
        case 1: PickTexture(x, y, &cell.face(FACE_UP, FACE_TEXTURE)); break;
        case 2: PickTexture(x, y, &cell.face(FACE_DOWN, FACE_TEXTURE)); break;
        case 3: PickTexture(x, y, &cell.face(ahead, FACE_TEXTURE)); break;
        case 4: EditNumber(x, ey, &cell.face(ahead, FACE_FIRE)); break;
        case 5: PickTexture(x, y, &cell.face(ahead, FACE_DOOR)); break;
        case 6: EditNumber(x, ey, &cell.face(ahead, FACE_MESS)); break;
        case 7: EditNumber(x, ey, &cell.face(ahead, FACE_PEVE)); break;
        case 8: EditNumber(x, ey, &cell.face(ahead, FACE_PARA)); break;
        case 9: EditNumber(x, ey, &w[CELL_EVNT]); break;
        case 10: EditNumber(x, ey, &w[CELL_PARA]); break;
        case 11: EditNumber(x, ey, &w[CELL_STPU]); break;
        case 12: EditNumber(x, ey, &w[CELL_STPD]); break;
        case 13: EditNumber(x, ey, &w[CELL_FOG]); break;
        case 14: EditNumber(x, ey, &w[CELL_WATR]); break;
        case 15: EditNumber(x, ey, &w[CELL_WARP]); break;
        case 16:
          PickTexture(x, y, &w[CELL_BOX]);
          w[CELL_FLAG] |= MAPFLAG_TREASURE;
          flags |= MAPFLAG_TREASURE;
          break;
        case 17: EditNumber(x, ey, &w[CELL_TREE]); break;
        case 18: EditNumber(x, ey, &w[CELL_TOWER]); break;
        case 19: EditNumber(x, ey, &w[CELL_DESERT]); break;
        case 20: EditNumber(x, ey, &w[CELL_BG]); break;
        case 21:
          EditBits(x, ey, &w[CELL_FLAG]);
          flags = static_cast<uint32_t>(w[CELL_FLAG]);
          break;
        default: SaveMap(); break;
      }
    }

    dxfillrect(x, y, 352, 412, dxrgb(0, 128, 160));
    dxsetfont(GameFontFace, 16, 8, 0, 0, 1);
    int ly = y;
    dxprintf(x, ly, white, "X=%d,Y=%d,階=%d 角度=%d", cx, cy, floor, heading);
    auto row = [&](int r, const char* format, int32_t value) {
      ly += 16;
      if (r == MapEditorRow) dxfillrect(x, ly, 352, 16, dxrgb(128, 0, 0));
      dxprintf(x, ly, white, format, value);
    };
    row(0, "2Dパーツ種類=%d", w[CELL_KIND]);
    row(1, "天井 番号=%d", cell.face(FACE_UP, FACE_TEXTURE));
    row(2, "床   番号=%d", cell.face(FACE_DOWN, FACE_TEXTURE));
    row(3, "前方壁 番号=%d", cell.face(ahead, FACE_TEXTURE));
    row(4, "前方壁火   =%d", cell.face(ahead, FACE_FIRE));
    row(5, "前方壁ドア=%d", cell.face(ahead, FACE_DOOR));
    row(6, "前方壁勵尚灼番号=%d", cell.face(ahead, FACE_MESS));
    row(7, "前方押し込み架渺%d", cell.face(ahead, FACE_PEVE));
    row(8, "前方架渺%d", cell.face(ahead, FACE_PARA));
    row(9, "イベント=%d", w[CELL_EVNT]);
    row(10, "イベント_パラメータ=%d", w[CELL_PARA]);
    row(11, "階段UP=%d", w[CELL_STPU]);
    row(12, "階段DOWN=%d", w[CELL_STPD]);
    row(13, "霧濃度=%d", w[CELL_FOG]);
    row(14, "水中=%d", w[CELL_WATR]);
    row(15, "ワープ=%d", w[CELL_WARP]);
    row(16, "宝箱=%d", w[CELL_BOX]);
    row(17, "森の木=%d", w[CELL_TREE]);
    row(18, "塔=%d", w[CELL_TOWER]);
    row(19, "砂漠=%d", w[CELL_DESERT]);
    row(20, "背景=%d", w[CELL_BG]);
    ly += 16;
    if (MapEditorRow == 21) dxfillrect(x, ly, 352, 32, dxrgb(128, 0, 0));
    dxprintf(x, ly, white, "フラグ(静)=%32s", Bits(static_cast<uint32_t>(w[CELL_FLAG])).c_str());
    ly += 16;
    dxprintf(x, ly, dxrgb(0, 0, 255), "フラグ(動)=%32s", Bits(flags).c_str());
    ly += 16;
    if (MapEditorRow == 22) dxfillrect(x, ly, 352, 16, dxrgb(128, 0, 0));
    dxprintf(x, ly, white, "セーブ");
    dxupdate();
  }
}
