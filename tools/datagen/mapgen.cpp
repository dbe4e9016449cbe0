#include "tools/datagen/mapgen.h"

#include <array>
#include <cstdio>
#include <map>
#include <queue>
#include <set>
#include <stdexcept>

namespace datagen {

namespace {

constexpr int kFloors = 3;
constexpr int kSize = 25;

// Rows from north (y = 24) to south (y = 0).
//  # rock   . stone floor   , grass (open sky)   : sand (open sky)   ~ water
//  % fog    T tree   B chest   U stairs up   D stairs down   W warp
//  $ shop   G bank   I inn   K shrine (catalogue)   M notice stone   S start
//  X guardian   E altar   O tower   h crumbling floor
const char* const kLayout[kFloors][kSize] = {
    {
        "#########################",
        "#,,,,,T,,,,,,,,,,T,,,,,,#",
        "#,T,,,,,,,B,,,,,,,,,,T,,#",
        "#,,,,,,,,,,,,,,,,,,T,,,,#",
        "#,,,T,,,,,,,,,,,,,,,,,,,#",
        "###########.#############",
        "#.......#.....#.......###",
        "#.#####.#.$.G.#.#####.###",
        "#.#K..#.#.....#.#..I#.###",
        "#.#...#.###.###.#...#.###",
        "#.#...........M.....#.###",
        "#.#####.........#####.###",
        "#.......#..S..#.......###",
        "#####.###.....###.#######",
        "#B....#.........#.......#",
        "#.###.#.~~~~~~~.#.#####.#",
        "#.#...#.~~~~~~~.#.#...#.#",
        "#.#.###.~~~~~~~.#.#.#.#.#",
        "#.#.#...........#...#...#",
        "#.#.#.#########.#####.###",
        "#...#.#%%%%%%%#.......#.#",
        "###.#.#%#####%#######.#.#",
        "#...#...%%W%%%......#.U.#",
        "#.#######.###########...#",
        "#########################",
    },
    {
        "#########################",
        "#,,,,T,,,,,,,,,,,,T,,,,B#",
        "#,T,,,,,,T,,,,,T,,,,,T,,#",
        "#,,,T,,,,,,,T,,,,,,T,,,,#",
        "#,,,,,,T,,,,,,,,T,,,,,,,#",
        "#,T,,,,,,,,T,,,,,,,,T,,,#",
        "###########,#######T#####",
        "#%%%%%%%%%#,#~~~~~#,#...#",
        "#%#######%#M#~~~~~#,#.K.#",
        "#%#B....#%#,#~~~~~#,#...#",
        "#%%.###.#%#,,,,,,,,,##.##",
        "#%#.#W#.#%#########,...##",
        "#%#.....#%%%%%%%%%%%%..##",
        "#%#######.#########.#.###",
        "#%%%%%%%#.#.......#.#...#",
        "#########.#.#####.#.###.#",
        "#.........#.#...#.#...#.#",
        "#.#######.#.#.U.#.###.#.#",
        "#.#.....#...#...#..##...#",
        "#.#.###.#####.#####.###.#",
        "#...#h#.......#.........#",
        "#####.#########.#######.#",
        "#.....................D.#",
        "#.#######################",
        "#########################",
    },
    {
        "#########################",
        "#:::::::::::#E#:::::::::#",
        "#:::::::::::#X#:::::::::#",
        "#:::::::::::#:#:::::::::#",
        "#:::::::::::::::::::::::#",
        "#::::::::::#####::::::::#",
        "#::::::::::##O##::::::::#",
        "#::::::::::#####::::::B:#",
        "#:::::::::::::::::::::::#",
        "#:::::::::::::::::::::::#",
        "################:########",
        "#.........:#...#:M......#",
        "#.#######.:#.$.#:.#####.#",
        "#.#B....#.:#...#:.#...#.#",
        "#.#####.#.:##.##:.#.#.#.#",
        "#.......#.:::::::.#.#...#",
        "#######.#.#######.#.#####",
        "#.......#.#.#.D.#.#.....#",
        "#.#######.#.#.#.#.#####.#",
        "#.........#.......#.....#",
        "#.#######################",
        "#.#....................I#",
        "#...###################.#",
        "#######................W#",
        "#########################",
    },
};

// Cell words (the map file's keys).
enum Word { STPU, STPD, WATR, WARP, EVNT, PARA, FOG, BOX, DESERT, TOWER, TREE, KIND, FLAG, BG, kWords };
const char* const kWordKey[kWords] = {"STPU", "STPD", "WATR", "WARP", "EVNT", "PARA", "FOG",
                                      "BOX",  "DESERT", "TOWER", "TREE", "KIND", "FLAG", "BG"};

struct Face {
  int texture = 0, door = 0, fire = 0, mess = 0, peve = 0, para = 0;
};

struct Cell {
  Face face[6];  // north, east, south, west, up, down
  int word[kWords] = {};
};

using Floor = std::array<std::array<Cell, kSize>, kSize>;  // [x][y]

char At(const DungeonLayout& layout, int f, int x, int y) {
  if (f < 0 || f >= kFloors || x < 0 || y < 0 || x >= kSize || y >= kSize) return '#';
  const std::string& row = layout[f][kSize - 1 - y];
  return static_cast<size_t>(x) < row.size() ? row[x] : '#';
}

char At(int f, int x, int y) { return At(DemoLayout(), f, x, y); }

bool Open(char c) { return c != '#' && c != 'O'; }

// Neighbour of (x, y) through face 0 north (y + 1), 1 east, 2 south, 3 west.
const int kDx[4] = {0, 1, 0, -1};
const int kDy[4] = {1, 0, -1, 0};

// Events of the cells and walls (see data/event/event.csv).
enum Event {
  kEvStairsUp = 100, kEvStairsDown = 101, kEvChest = 102, kEvNotice = 103, kEvWarp = 104, kEvShop = 105,
  kEvBank = 106, kEvInn = 107, kEvGuardian = 110, kEvAltar = 111, kEvShrine = 112, kEvCrumble = 113,
  kEvSand = 114, kEvSpring = 115,
  kEvWall = 200, kEvDoor = 201, kEvLockedDoor = 202, kEvSign = 203, kEvRuneWall = 205,
};

// Map parts of the 2-D maps (data/map_chip/chip.cfg).
enum Part {
  kPartStone = 1, kPartGrass = 2, kPartWater = 3, kPartFog = 4, kPartSand = 5, kPartUp = 6, kPartDown = 7,
  kPartShop = 8, kPartBank = 9, kPartInn = 10, kPartWarp = 11, kPartShrine = 12, kPartNotice = 13,
  kPartGuardian = 14, kPartAltar = 15, kPartCrumble = 16, kPartRock = 17, kPartTower = 18,
};

// Wall pictures (data/map/chip.cfg).
const int kWallTexture[kFloors] = {1, 4, 3};
constexpr int kTexStone = 5, kTexGrass = 6, kTexSand = 7, kTexCeiling = 8, kTexWater = 9;
constexpr int kTexDoor = 20, kTexIronDoor = 21, kTexTree = 40, kTexChest = 41, kTexTower = 42;
constexpr int kTexSky = 60, kTexDusk = 61, kTexCeilingHole = 105, kTexFloorHole = 125, kTexRune = 145;
constexpr int kTexTorch = 240;

// What each chest holds (item numbers), by floor and position.
struct ChestItem {
  int f, x, y, item;
};
const ChestItem kChests[] = {
    {0, 10, 22, 1052}, {0, 1, 10, 1061}, {1, 23, 23, 1053}, {1, 3, 15, 1041},
    {2, 3, 11, 1054},  {2, 22, 17, 1042},
};

struct Special {
  int f, x, y, face;
  enum { Door, IronDoor, Sign, Torch, Rune } what;
  int para;
};
// Doors, signs, torches and the rune wall; a door or the rune wall is set on
// both sides of the wall it stands in.
const Special kSpecials[] = {
    {0, 11, 18, 0, Special::Door, 0},       {0, 5, 10, 3, Special::Door, 0},
    {0, 13, 12, 1, Special::Sign, 1},       {0, 9, 12, 3, Special::Torch, 0},
    {0, 1, 18, 3, Special::Torch, 0},       {0, 23, 3, 1, Special::Sign, 2},
    {1, 11, 18, 2, Special::Door, 0},       {1, 9, 12, 2, Special::IronDoor, 1053},
    {1, 12, 14, 0, Special::Sign, 3},       {1, 14, 8, 0, Special::Torch, 0},
    {1, 23, 17, 0, Special::Sign, 4},
    {2, 16, 13, 0, Special::Rune, 0},
    {2, 13, 22, 1, Special::Torch, 0},      {2, 13, 22, 3, Special::Torch, 0},
    {2, 13, 21, 3, Special::Sign, 5},       {2, 12, 13, 0, Special::Torch, 0},
    {2, 14, 13, 0, Special::Torch, 0},
};

int WarpTarget(int f, int x, int y) {
  // floor * 10000 + x * 100 + y of the arrival cell.
  if (f == 0 && x == 10 && y == 2) return 1 * 10000 + 3 * 100 + 14;  // into the fog maze of floor 1
  if (f == 1 && x == 5 && y == 13) return 0 * 10000 + 11 * 100 + 12;     // back to the start hall
  if (f == 2 && x == 23 && y == 1) return 0 * 10000 + 11 * 100 + 12;
  throw std::runtime_error("warp without a target");
}

// The ground of a cell: its own for plain ground, else grass or sand when a
// neighbour has it, else stone.
char Ground(int f, int x, int y) {
  char ch = At(f, x, y);
  if (ch == '.' || ch == ',' || ch == ':' || ch == '~' || ch == '%') return ch;
  for (int d = 0; d < 4; ++d) {
    char n = At(f, x + kDx[d], y + kDy[d]);
    if (n == ',' || n == ':') return n;
  }
  return '.';
}

// Stairs face away from the way in: 1 high end west, 2 north, 3 east, 4 south.
int StairTurn(int f, int x, int y) {
  if (Open(At(f, x, y - 1))) return 2;
  if (Open(At(f, x, y + 1))) return 4;
  if (Open(At(f, x - 1, y))) return 3;
  return 1;
}

void Build(int f, Floor& m) {
  for (int x = 0; x < kSize; ++x) {
    for (int y = 0; y < kSize; ++y) {
      Cell& c = m[x][y];
      char ch = At(f, x, y);
      if (!Open(ch)) {
        // Rock blocks moves by itself too, and placed objects never land in it.
        c.word[KIND] = kPartRock;
        c.word[FLAG] = 0x1;
        if (ch == 'O') {
          c.word[TOWER] = kTexTower;
          c.word[KIND] = kPartTower;
        }
        continue;
      }
      // Trees, chests and other marks stand on the ground around them.
      char ground = Ground(f, x, y);
      if (f == 2 && (ch == 'X' || ch == 'E')) ground = ':';
      bool sky = ground == ',' || ground == ':';
      int floorTex = ground == ',' ? kTexGrass : ground == ':' ? kTexSand : ch == '~' ? kTexWater : kTexStone;
      c.face[5].texture = floorTex;
      if (!sky) c.face[4].texture = kTexCeiling;
      if (ground == ',') c.word[BG] = kTexSky;
      if (ground == ':') c.word[BG] = kTexDusk;
      c.word[KIND] = ground == ',' ? kPartGrass : ground == ':' ? kPartSand : ch == '~' ? kPartWater
                                                : ch == '%' ? kPartFog : kPartStone;
      for (int d = 0; d < 4; ++d) {
        if (Open(At(f, x + kDx[d], y + kDy[d]))) continue;
        c.face[d].texture = kWallTexture[f];
        c.face[d].peve = kEvWall;
      }
      switch (ch) {
        case '~':
          c.word[WATR] = 1;
          c.word[EVNT] = kEvSpring;
          break;
        case '%':
          c.word[FOG] = 200;
          break;
        case ':':
          c.word[DESERT] = 1;
          c.word[EVNT] = kEvSand;
          break;
        case 'T':
          c.word[TREE] = kTexTree;
          c.word[FLAG] = 0x1;
          break;
        case 'B':
          c.word[BOX] = kTexChest;
          c.word[FLAG] = 0x10;
          c.word[EVNT] = kEvChest;
          for (const ChestItem& i : kChests)
            if (i.f == f && i.x == x && i.y == y) c.word[PARA] = i.item;
          if (!c.word[PARA]) throw std::runtime_error("chest without an item");
          break;
        case 'U':
          c.word[STPU] = StairTurn(f, x, y);
          c.word[EVNT] = kEvStairsUp;
          c.word[KIND] = kPartUp;
          c.face[4].texture = 0;
          break;
        case 'D':
          // The same staircase as the one below, seen from above.
          c.word[STPD] = StairTurn(f - 1, x, y);
          c.word[EVNT] = kEvStairsDown;
          c.word[KIND] = kPartDown;
          c.face[5].texture = 0;
          break;
        case 'W':
          c.word[WARP] = 1;
          c.word[EVNT] = kEvWarp;
          c.word[PARA] = WarpTarget(f, x, y);
          c.word[KIND] = kPartWarp;
          break;
        case '$':
          c.word[EVNT] = kEvShop;
          c.word[PARA] = f == 0 ? 1 : 2;
          c.word[KIND] = kPartShop;
          break;
        case 'G':
          c.word[EVNT] = kEvBank;
          c.word[KIND] = kPartBank;
          break;
        case 'I':
          c.word[EVNT] = kEvInn;
          c.word[KIND] = kPartInn;
          break;
        case 'K':
          c.word[EVNT] = kEvShrine;
          c.word[KIND] = kPartShrine;
          break;
        case 'M':
          c.word[EVNT] = kEvNotice;
          c.word[PARA] = f + 1;
          c.word[KIND] = kPartNotice;
          break;
        case 'X':
          c.word[EVNT] = kEvGuardian;
          c.word[PARA] = 2008;
          c.word[KIND] = kPartGuardian;
          break;
        case 'E':
          c.word[EVNT] = kEvAltar;
          c.word[KIND] = kPartAltar;
          break;
        case 'h':
          c.word[EVNT] = kEvCrumble;
          c.face[5].texture = kTexFloorHole;
          c.word[KIND] = kPartCrumble;
          break;
        default:
          break;
      }
    }
  }
}

void ApplySpecials(Floor (&map)[kFloors]) {
  for (const Special& s : kSpecials) {
    Cell& c = map[s.f][s.x][s.y];
    int nx = s.x + kDx[s.face], ny = s.y + kDy[s.face];
    int back = (s.face + 2) % 4;
    switch (s.what) {
      case Special::Door:
      case Special::IronDoor: {
        if (!Open(At(s.f, s.x, s.y)) || !Open(At(s.f, nx, ny))) throw std::runtime_error("door into rock");
        bool iron = s.what == Special::IronDoor;
        for (Cell* side : {&c, &map[s.f][nx][ny]}) {
          Face& face = side->face[side == &c ? s.face : back];
          face.texture = kWallTexture[s.f];
          face.door = iron ? kTexIronDoor : kTexDoor;
          face.peve = iron ? kEvLockedDoor : kEvDoor;
          face.para = s.para;
        }
        break;
      }
      case Special::Rune:
        for (Cell* side : {&c, &map[s.f][nx][ny]}) {
          Face& face = side->face[side == &c ? s.face : back];
          face.texture = kTexRune;
          face.peve = kEvRuneWall;
        }
        break;
      case Special::Sign:
        if (c.face[s.face].peve != kEvWall) throw std::runtime_error("sign not on a wall");
        c.face[s.face].mess = 1;
        c.face[s.face].peve = kEvSign;
        c.face[s.face].para = s.para;
        break;
      case Special::Torch:
        if (c.face[s.face].peve != kEvWall) throw std::runtime_error("torch not on a wall");
        c.face[s.face].fire = kTexTorch;
        break;
    }
  }
  // The crumbling floor of floor 1 lies over a ceiling that shows the crack from below.
  for (int x = 0; x < kSize; ++x)
    for (int y = 0; y < kSize; ++y)
      if (At(1, x, y) == 'h') {
        if (!Open(At(0, x, y))) throw std::runtime_error("crumbling floor over rock");
        map[0][x][y].face[4].texture = kTexCeilingHole;
      }
}

// Items the way depends on.
constexpr int kLamp = 1051, kAxe = 1052, kBronzeKey = 1053, kShard = 1064;

// Where data/event/walk_enter.txt places the forest spirit (event 116).
constexpr int kSpiritFloor = 1, kSpiritX = 6, kSpiritY = 21;

// The places of the story in the order a player meets them, and what each
// gives to take along.
struct StoryPlace {
  const char* what;
  int f, x, y;
  int gives;  // item number, 0 for none
};
const StoryPlace kStory[] = {
    {"the village shop (the lamp)", 0, 10, 17, kLamp},
    {"the chest of the hand axe", 0, 10, 22, kAxe},
    {"the chest of the bronze key", 1, 23, 23, kBronzeKey},
    {"the stairs up to floor 3", 1, 14, 7, 0},
    {"the guardian", 2, 13, 22, 0},
    {"the forest spirit", kSpiritFloor, kSpiritX, kSpiritY, kShard},
    {"the altar", 2, 13, 23, 0},
};

using Seen = std::array<std::array<std::array<bool, kSize>, kSize>, kFloors>;

// Whether the wall on face d of (f, x, y) lets a player with `items` through:
// an iron door wants its key, the rune wall the lamp.
bool Passable(int f, int x, int y, int d, const std::set<int>& items) {
  const int nx = x + kDx[d], ny = y + kDy[d];
  for (const Special& s : kSpecials) {
    if (s.f != f) continue;
    const bool here = s.x == x && s.y == y && s.face == d;
    const bool there = s.x == nx && s.y == ny && s.face == (d + 2) % 4;
    if (!here && !there) continue;
    if (s.what == Special::IronDoor && !items.count(s.para)) return false;
    if (s.what == Special::Rune && !items.count(kLamp)) return false;
  }
  return true;
}

// Every cell a player with `items` can stand on, starting at the start hall,
// as the events treat them: stairs and warps carry, a crumbling floor drops to
// the floor below and leads nowhere else, a tree wants the axe.
Seen Reachable(const DungeonLayout& layout, const std::set<int>& items) {
  Seen seen{};
  std::queue<std::array<int, 3>> todo;
  auto visit = [&](int f, int x, int y) {
    char ch = At(layout, f, x, y);
    if (!Open(ch) || seen[f][x][y]) return;
    if (ch == 'T' && !items.count(kAxe)) return;
    seen[f][x][y] = true;
    todo.push({f, x, y});
  };
  visit(0, 11, 12);
  while (!todo.empty()) {
    auto [f, x, y] = todo.front();
    todo.pop();
    char ch = At(layout, f, x, y);
    if (ch == 'h') {
      visit(f - 1, x, y);
      continue;
    }
    for (int d = 0; d < 4; ++d)
      if (Passable(f, x, y, d, items)) visit(f, x + kDx[d], y + kDy[d]);
    if (ch == 'U') visit(f + 1, x, y);
    if (ch == 'D') visit(f - 1, x, y);
    if (ch == 'W') {
      int t = WarpTarget(f, x, y);
      visit(t / 10000, t / 100 % 100, t % 100);
    }
  }
  return seen;
}

void Check() {
  std::string problem = LayoutProblem(DemoLayout());
  if (!problem.empty()) throw std::runtime_error(problem);
}

const char* const kEnv[kFloors] = {"cave", "forest", "desert"};
const char* const kTitle[kFloors] = {"LampHall", "MistWood", "StarSands"};

}  // namespace

StoryCell SpiritCell() { return {kSpiritFloor, kSpiritX, kSpiritY}; }

const DungeonLayout& DemoLayout() {
  static const DungeonLayout layout = [] {
    DungeonLayout l;
    for (int f = 0; f < kFloors; ++f)
      for (int r = 0; r < kSize; ++r) l[f][r] = kLayout[f][r];
    return l;
  }();
  return layout;
}

std::string LayoutProblem(const DungeonLayout& layout) {
  char msg[120];
  for (int f = 0; f < kFloors; ++f) {
    for (int r = 0; r < kSize; ++r)
      if (layout[f][r].size() != kSize) {
        std::snprintf(msg, sizeof msg, "floor %d row %d is not %d wide", f, r, kSize);
        return msg;
      }
    for (int x = 0; x < kSize; ++x)
      for (int y = 0; y < kSize; ++y) {
        if (At(layout, f, x, y) == 'U' && At(layout, f + 1, x, y) != 'D') return "stairs up without stairs down above";
        if (At(layout, f, x, y) == 'D' && At(layout, f - 1, x, y) != 'U') return "stairs down without stairs up below";
      }
  }
  // The story in order, with what has been taken along so far.
  std::set<int> items;
  for (const StoryPlace& p : kStory) {
    if (!Reachable(layout, items)[p.f][p.x][p.y]) {
      std::snprintf(msg, sizeof msg, "%s (cell %d,%d of floor %d) cannot be reached in the story's order", p.what,
                    p.x, p.y, p.f);
      return msg;
    }
    if (p.gives) items.insert(p.gives);
  }
  // With everything in hand, no cell is out of reach.
  const Seen seen = Reachable(layout, items);
  for (int f = 0; f < kFloors; ++f)
    for (int x = 0; x < kSize; ++x)
      for (int y = 0; y < kSize; ++y)
        if (Open(At(layout, f, x, y)) && !seen[f][x][y]) {
          std::snprintf(msg, sizeof msg, "cell %d,%d of floor %d cannot be reached", x, y, f);
          return msg;
        }
  return "";
}

std::string MakeMapCfg() {
  Check();
  static Floor map[kFloors];
  for (int f = 0; f < kFloors; ++f) Build(f, map[f]);
  ApplySpecials(map);
  std::string out;
  char line[128];
  auto add = [&](const char* fmt, auto... args) {
    std::snprintf(line, sizeof line, fmt, args...);
    out += line;
  };
  out += "# The dungeon of the demo game, made by tools/datagen from its floor maps.\n";
  for (int f = 0; f < kFloors; ++f) {
    add("#MAP(%d)\n", f);
    add("%d ENV %s\n", f, kEnv[f]);
    add("%d TIT %s\n", f, kTitle[f]);
    add("%d TAL %d\n", f, 0);
    add("%d MAP\n", f);
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        const Cell& c = map[f][x][y];
        for (int d = 0; d < 6; ++d) {
          const Face& fc = c.face[d];
          if (fc.texture) add("%d %d %d %d %d\n", f, x, y, d, fc.texture);
          const int vals[5] = {fc.door, fc.fire, fc.mess, fc.peve, fc.para};
          const char* keys[5] = {"DOOR", "FIRE", "MESS", "PEVE", "PARA"};
          for (int k = 0; k < 5; ++k)
            if (vals[k]) add("%d %d %d %d %s %d\n", f, x, y, d, keys[k], vals[k]);
        }
        for (int w = 0; w < kWords; ++w)
          if (c.word[w]) add("%d %d %d 6 %s %d\n", f, x, y, kWordKey[w], c.word[w]);
      }
  }
  return out;
}

}  // namespace datagen
