// The dungeon: 15 floors of 25 x 25 cells read from "data/map/map.cfg", the
// cells' dynamic flags (saved with the game, in gamestate.h), and the two
// picture tables of the map: the 2-D map parts and the 3-D view's textures.
#pragma once

#include <cstdint>

#include "game/gamestate.h"

namespace dx {
struct bitmap;
}

// Words of a cell's face f start at 6 * f.
enum MapFace : int32_t { FACE_NORTH = 0, FACE_EAST, FACE_SOUTH, FACE_WEST, FACE_UP, FACE_DOWN };
enum MapFaceWord : int32_t { FACE_TEXTURE = 0, FACE_DOOR, FACE_FIRE, FACE_MESS, FACE_PEVE, FACE_PARA };
enum MapCellWord : int32_t {
  CELL_EVNT = 36, CELL_PARA, CELL_STPU, CELL_STPD, CELL_FOG, CELL_WATR, CELL_WARP, CELL_BOX,
  CELL_TREE, CELL_TOWER, CELL_DESERT, CELL_KIND, CELL_FLAG, CELL_BG, CELL_SPARE,
};

struct MapCell {
  int32_t w[51];
  int32_t& face(int f, int k) { return w[6 * f + k]; }
  int32_t face(int f, int k) const { return w[6 * f + k]; }
};
static_assert(sizeof(MapCell) == 51 * 4);

struct MapFloor {
  MapCell cells[kMapSize][kMapSize];  // [X][Y]
  int32_t unused1[3];
  int32_t TAL;
  int32_t unused2;
  char* ENV;  // own heap copy, or none
  char* TIT;
};

extern MapFloor DungeonMap[kFloors];

// A cell's MapFlags bits.
constexpr uint32_t MAPFLAG_TREE = 0x1;      // a tree stands here and blocks moves
constexpr uint32_t MAPFLAG_FOREST = 0x2;
constexpr uint32_t MAPFLAG_FLOOR = 0x4;
constexpr uint32_t MAPFLAG_WALL = 0x8;
constexpr uint32_t MAPFLAG_TREASURE = 0x10;

struct WallTexture {
  char* path;  // own heap copy, or none
  dx::bitmap* picture;
};

constexpr int kChipCount = 256;
extern dx::bitmap* MapPartTable[kChipCount];
extern WallTexture WallTextureTable[kChipCount];
extern int32_t PartIndexTable[kChipCount];

// Reads a map file into DungeonMap (cleared first); a missing file leaves the
// map empty; a bad line stops the program.
void ReadMapData(const char* name);
// The same from text in memory (`len` bytes).
void ParseMapData(const char* text, size_t len);
// Writes DungeonMap in the map file's form, through a temporary file that
// replaces `name` only when it was written whole; false when it could not be.
bool WriteMapData(const char* name);
// Empties DungeonMap, freeing its texts.
void ClearMapData();

void ReadMapChip();
// 0 after loading the entry's picture; 1 when it was loaded or has no path.
int LoadMapImage(WallTexture* entry);
void FreeMapImages();
void ResetMapFlags();
// 1 when the cell has the feature: 1 a door, 2 a fire, 3 a message on a side
// wall; 4 to 12 stairs up, stairs down, fog, water, warp, treasure, tree,
// tower, desert. 0 otherwise, and outside the map.
int FindMapCells(int x, int y, int floor, int feature);
