// The dungeon file: it has the shape the map reader walks (a header per floor,
// then the cells' lines in Y-then-X order with known keys), and every event,
// picture and map part it names exists.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/data/data_files.h"

namespace {

using namespace datacheck;

struct CellLine {
  int floor, x, y, face;
  std::string key;
  int value;
};

struct MapFile {
  int floors = 0;
  std::vector<CellLine> cells;
  std::vector<std::string> problems;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

MapFile ReadMap() {
  static const std::set<std::string> faceKeys = {"DOOR", "FIRE", "MESS", "PEVE", "PARA"};
  static const std::set<std::string> cellKeys = {"STPU", "STPD", "WATR", "WARP", "EVNT", "PARA", "FOG",
                                                 "BOX",  "DESERT", "TOWER", "TREE", "KIND", "FLAG", "BG"};
  MapFile m;
  std::istringstream in(ReadFile("data/map/map.cfg"));
  std::string line;
  int floor = -1;
  bool inCells = false;
  int lastOrder = -1;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line[0] == '\r') continue;
    if (line.size() > 1023) m.problems.push_back("line too long");
    int f, x, y, face;
    char key[64] = "", value[64] = "";
    int n = std::sscanf(line.c_str(), "%d %d %d %d %63s %63s", &f, &x, &y, &face, key, value);
    if (n < 5) {
      // A header line: floor, key, value.
      char hkey[64] = "";
      if (std::sscanf(line.c_str(), "%d %63s", &f, hkey) != 2) {
        m.problems.push_back("unreadable line: " + line);
        continue;
      }
      if (!inCells && f == floor) {
        if (std::string(hkey) == "MAP") inCells = true;
        continue;
      }
      // The next floor's header must follow in order.
      if (f != floor + 1) m.problems.push_back("floor out of order: " + line);
      floor = f;
      inCells = std::string(hkey) == "MAP";
      lastOrder = -1;
      m.floors = floor + 1;
      continue;
    }
    if (!inCells || f != floor) {
      m.problems.push_back("cell line outside its floor: " + line);
      continue;
    }
    if (x < 0 || x > 24 || y < 0 || y > 24 || face < 0 || face > 6) {
      m.problems.push_back("cell out of range: " + line);
      continue;
    }
    int order = y * 25 + x;
    if (order < lastOrder) m.problems.push_back("cell out of order: " + line);
    lastOrder = order;
    CellLine c{f, x, y, face, key, 0};
    if (IsDigit(key[0])) {
      c.key = "TEX";
      c.value = std::atoi(key);
    } else {
      if (n < 6) m.problems.push_back("key without a value: " + line);
      c.value = std::atoi(value);
      bool known = face < 6 ? faceKeys.count(key) > 0 : cellKeys.count(key) > 0;
      if (!known) m.problems.push_back("unknown key: " + line);
    }
    m.cells.push_back(c);
  }
  return m;
}

TEST(DemoMap, HasTheReadersShape) {
  MapFile m = ReadMap();
  for (auto& p : m.problems) ADD_FAILURE() << p;
  EXPECT_GE(m.floors, 3);
  EXPECT_LE(m.floors, 15);
  EXPECT_GT(m.cells.size(), 1000u);
}

TEST(DemoMap, NamesExistingEventsPicturesAndParts) {
  MapFile m = ReadMap();
  std::map<int, std::string> events;
  for (auto& row : Csv("data/event/event.csv"))
    if (row.size() >= 2) events[std::atoi(row[0].c_str())] = row[1];
  auto textures = NumberedTable("data/map/chip.cfg");
  auto parts = NumberedTable("data/map_chip/chip.cfg");
  for (const CellLine& c : m.cells) {
    SCOPED_TRACE(std::to_string(c.floor) + " " + std::to_string(c.x) + " " + std::to_string(c.y) + " " + c.key);
    if (c.key == "EVNT" || c.key == "PEVE") {
      EXPECT_TRUE(events.count(c.value));
    }
    if (c.key == "TEX" || c.key == "DOOR" || c.key == "BOX" || c.key == "TREE" || c.key == "TOWER" || c.key == "BG") {
      int t = c.value;
      // Breakable ceilings and floors show ten higher while they stand.
      if ((t >= 100 && t <= 109) || (t >= 120 && t <= 129)) {
        EXPECT_TRUE(textures.count(t + 10));
      }
      EXPECT_TRUE(textures.count(t));
    }
    if (c.key == "KIND") {
      EXPECT_TRUE(parts.count(c.value));
    }
  }
}

TEST(DemoMap, ReachesEveryKindOfCell) {
  MapFile m = ReadMap();
  std::set<std::string> keys;
  std::set<int> textures;
  for (const CellLine& c : m.cells) {
    keys.insert(c.key);
    if (c.key == "TEX") textures.insert(c.value);
  }
  for (const char* k : {"DOOR", "FIRE", "MESS", "PEVE", "PARA", "STPU", "STPD", "WATR", "WARP", "EVNT", "FOG", "BOX",
                        "DESERT", "TOWER", "TREE", "KIND", "FLAG", "BG"})
    EXPECT_TRUE(keys.count(k)) << k;
  // A breakable ceiling, floor and wall.
  EXPECT_TRUE(textures.count(105));
  EXPECT_TRUE(textures.count(125));
  EXPECT_TRUE(textures.count(145));
}

}  // namespace
