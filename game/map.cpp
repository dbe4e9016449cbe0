#include "game/map.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/csvfile.h"
#include "game/fatal.h"
#include "platform/win32/file.h"

MapFloor DungeonMap[kFloors];
dx::bitmap* MapPartTable[kChipCount];
WallTexture WallTextureTable[kChipCount];
int32_t PartIndexTable[kChipCount];

namespace {

char* CopyText(const char* s) {
  size_t n = std::strlen(s) + 1;
  char* copy = static_cast<char*>(std::malloc(n));
  if (copy) std::memcpy(copy, s, n);
  return copy;
}

// The map file's lines in order, with the line number of each. A line keeps
// its first 1,023 bytes; the rest of a longer one is dropped.
class MapLines {
 public:
  MapLines(const char* text, size_t len) : text_(text), len_(len) {}

  // The next line worth reading (not empty, not a comment); false at the end.
  bool Next() {
    while (pos_ < len_) {
      size_t start = pos_, end = start;
      while (end < len_ && text_[end] != '\n') ++end;
      pos_ = end < len_ ? end + 1 : end;
      ++number_;
      if (end < len_ && end > start && text_[end - 1] == '\r') --end;
      line_.assign(text_ + start, std::min(end - start, kMaxLine));
      if (line_.empty() || line_[0] == '#' || line_[0] == '\r') continue;
      return true;
    }
    return false;
  }
  const char* line() const { return line_.c_str(); }
  int number() const { return number_; }

 private:
  static constexpr size_t kMaxLine = 1023;
  const char* text_;
  size_t len_;
  size_t pos_ = 0;
  int number_ = 0;
  std::string line_;
};

struct KeyWord {
  const char* key;
  int32_t word;
};
constexpr KeyWord kFaceKeys[] = {
    {"DOOR", FACE_DOOR}, {"FIRE", FACE_FIRE}, {"MESS", FACE_MESS}, {"PEVE", FACE_PEVE}, {"PARA", FACE_PARA},
};
// In the order the writer puts them out.
constexpr KeyWord kCellKeys[] = {
    {"STPU", CELL_STPU}, {"STPD", CELL_STPD}, {"WATR", CELL_WATR},     {"WARP", CELL_WARP},
    {"EVNT", CELL_EVNT}, {"PARA", CELL_PARA}, {"FOG", CELL_FOG},       {"BOX", CELL_BOX},
    {"DESERT", CELL_DESERT}, {"TOWER", CELL_TOWER}, {"TREE", CELL_TREE}, {"KIND", CELL_KIND},
    {"FLAG", CELL_FLAG}, {"BG", CELL_BG},
};

const KeyWord* FindKey(const KeyWord* first, const KeyWord* last, const char* key) {
  for (const KeyWord* k = first; k != last; ++k)
    if (std::strcmp(k->key, key) == 0) return k;
  return nullptr;
}

void SetFloorText(char*& field, const char* value) {
  std::free(field);
  field = CopyText(value);
}

struct CellLine {
  int floor = -1, x = -1, y = -1, face = -1;
  char key[1024] = {}, value[1024] = {};
};

bool ParseCellLine(const char* line, CellLine& c) {
  c = CellLine{};
  char spare[1024];
  return std::sscanf(line, "%d %d %d %d %1023s %1023s %1023s", &c.floor, &c.x, &c.y, &c.face, c.key, c.value,
                     spare) >= 4;
}

void ApplyCellLine(MapCell& cell, const CellLine& c, const char* line) {
  if (c.face >= 0 && c.face < 6) {
    if (c.key[0] >= '0' && c.key[0] <= '9') {
      cell.face(c.face, FACE_TEXTURE) = std::atoi(c.key);
      return;
    }
    const KeyWord* k = FindKey(std::begin(kFaceKeys), std::end(kFaceKeys), c.key);
    if (!k) GAME_FATAL("MAPデータの以下の部分に問題があります \n%s", line);
    cell.face(c.face, k->word) = std::atoi(c.value);
    return;
  }
  // A negative face names no word of the cell.
  const KeyWord* k = c.face >= 6 ? FindKey(std::begin(kCellKeys), std::end(kCellKeys), c.key) : nullptr;
  if (!k) GAME_FATAL("MAPデータの以下の部分に問題があります\n%s", line);
  cell.w[k->word] = std::atoi(c.value);
}

}  // namespace

void ClearMapData() {
  for (MapFloor& floor : DungeonMap) {
    std::free(floor.ENV);
    std::free(floor.TIT);
  }
  std::memset(static_cast<void*>(DungeonMap), 0, sizeof DungeonMap);
}

void ParseMapData(const char* text, size_t len) {
  ClearMapData();
  MapLines lines(text, len);
  bool pending = false;  // the current line ended a cell and is read again
  for (int f = 0; f < kFloors; ++f) {
    MapFloor& floor = DungeonMap[f];
    for (;;) {
      if (!pending && !lines.Next()) return;
      pending = false;
      int number = -1;
      char key[1024] = {}, value[1024] = {}, spare[1024];
      std::sscanf(lines.line(), "%d %1023s %1023s %1023s", &number, key, value, spare);
      if (number != f)
        GAME_FATAL("MapReadError[%d] %d[%d/%d]\n%s", lines.number(), __LINE__, number, f, lines.line());
      if (std::strcmp(key, "MAP") == 0) break;
      if (std::strcmp(key, "ENV") == 0) SetFloorText(floor.ENV, value);
      else if (std::strcmp(key, "TIT") == 0) SetFloorText(floor.TIT, value);
      else if (std::strcmp(key, "TAL") == 0) floor.TAL = std::atoi(value);
    }
    for (int y = 0; y < kMapSize; ++y) {
      for (int x = 0; x < kMapSize; ++x) {
        for (;;) {
          if (!pending && !lines.Next()) return;
          CellLine c;
          if (!ParseCellLine(lines.line(), c) || c.floor != f || c.x != x || c.y != y) {
            pending = true;  // another cell's line: it begins the next cell
            break;
          }
          pending = false;
          ApplyCellLine(floor.cells[x][y], c, lines.line());
        }
      }
    }
  }
}

void ReadMapData(const char* name) {
  PkgFile* f = PkgFileOpen(name, "r");
  if (!f) {
    ClearMapData();
    return;
  }
  int32_t size = PkgFileSize(f);
  std::vector<char> text(size > 0 ? static_cast<size_t>(size) : 0);
  int32_t got = text.empty() ? 0 : PkgFileRead(f, text.data(), size);
  PkgFileClose(f);
  ParseMapData(text.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

bool WriteMapData(const char* name) {
  return win32::WriteFileSafely(name, [](std::FILE* out) {
    for (int f = 0; f < kFloors; ++f) {
      MapFloor& floor = DungeonMap[f];
      if (!floor.ENV) floor.ENV = CopyText("");
      if (!floor.TIT) floor.TIT = CopyText("");
      std::fprintf(out, "#MAP(%d)\n", f);
      std::fprintf(out, "%d %s %s\n", f, "ENV", floor.ENV ? floor.ENV : "");
      std::fprintf(out, "%d %s %s\n", f, "TIT", floor.TIT ? floor.TIT : "");
      std::fprintf(out, "%d %s %d\n", f, "TAL", floor.TAL);
      std::fprintf(out, "%d MAP\n", f);
      for (int y = 0; y < kMapSize; ++y) {
        for (int x = 0; x < kMapSize; ++x) {
          const MapCell& cell = floor.cells[x][y];
          for (int face = 0; face < 6; ++face) {
            std::fprintf(out, "%d %d %d %d %d\n", f, x, y, face, cell.face(face, FACE_TEXTURE));
            for (const KeyWord& k : kFaceKeys)
              if (cell.face(face, k.word))
                std::fprintf(out, "%d %d %d %d %s %d\n", f, x, y, face, k.key, cell.face(face, k.word));
          }
          for (const KeyWord& k : kCellKeys)
            if (cell.w[k.word]) std::fprintf(out, "%d %d %d %d %s %d\n", f, x, y, 6, k.key, cell.w[k.word]);
        }
      }
    }
    return std::ferror(out) == 0;
  });
}

namespace {

// Lines "n name" of a chip table; `take` gets each one.
template <typename Take>
void ReadChipTable(const char* path, const char* missing, Take take) {
  PkgFile* f = PkgFileOpen(path, "r");
  if (!f) GAME_FATAL(missing, path);
  char line[1024];
  while (ReadPackLine(line, sizeof line, f) >= 0) {
    if (line[0] == '#') continue;
    int n = 0;
    char name[1024];
    if (std::sscanf(line, "%d %1023s", &n, name) != 2) continue;
    take(n, name, line, f);
  }
  PkgFileClose(f);
}

}  // namespace

namespace {

// The layer deletes every bitmap when it is released: the tables let go of
// theirs first, so that a later start never deletes a new bitmap that has
// come to lie at an old one's address.
void ReleaseMapPictures() {
  for (dx::bitmap*& b : MapPartTable) {
    dxdeletebitmap(b);
    b = nullptr;
  }
  for (WallTexture& t : WallTextureTable) {
    dxdeletebitmap(t.picture);
    t.picture = nullptr;
  }
}

}  // namespace

void ReadMapChip() {
  dxaddreleasehook(ReleaseMapPictures);
  for (dx::bitmap*& b : MapPartTable) {
    dxdeletebitmap(b);
    b = nullptr;
  }
  const char* parts = "data/map_chip/chip.cfg";
  ReadChipTable(parts, "MAPチップ設定が読み込めません\n[%s]", [&](int n, const char* name, const char* line, PkgFile* f) {
    if (n < 0 || n >= kChipCount) {
      PkgFileClose(f);
      GAME_FATAL("MAPチップ設定の以下の部分に問題があります\n[%s]\n%s", parts, line);
    }
    std::string path = std::string("data/map_chip/") + name;
    // A later line for the same number replaces the earlier picture.
    dxdeletebitmap(MapPartTable[n]);
    MapPartTable[n] = dxloadbitmap(path.c_str());
    if (!MapPartTable[n]) {
      PkgFileClose(f);
      GAME_FATAL("MAPチップナンバー[%d]ファイル[%s]が読み込めませんでした", n, path.c_str());
    }
  });

  for (WallTexture& t : WallTextureTable) {
    std::free(t.path);
    dxdeletebitmap(t.picture);
    t = {nullptr, nullptr};
  }
  const char* walls = "data/map/chip.cfg";
  ReadChipTable(walls, "MAPイメージ設定が読み込めません\n[%s]", [&](int n, const char* name, const char* line, PkgFile* f) {
    if (n < 0 || n >= kChipCount) {
      PkgFileClose(f);
      GAME_FATAL("MAPイメージ設定の以下の部分に問題があります\n[%s]\n%s", walls, line);
    }
    std::string path = std::string("data/map/") + name;
    WallTexture& t = WallTextureTable[n];
    std::free(t.path);
    dxdeletebitmap(t.picture);
    t = {CopyText(path.c_str()), nullptr};
    if (!PkgFileExists(path.c_str())) {
      PkgFileClose(f);
      GAME_FATAL("MAPイメージナンバー[%d]ファイル[%s]が読み込めませんでした\n[%s]", n, path.c_str(), line);
    }
  });
}

int LoadMapImage(WallTexture* entry) {
  if (!entry || !entry->path || entry->picture) return 1;
  entry->picture = LoadPngBitmap(entry->path);
  if (!entry->picture) GAME_FATAL("イメージファイル[%s]が読み込めませんでした", entry->path);
  return 0;
}

void FreeMapImages() {
  for (int n = 1; n < kChipCount - 1; ++n) {
    dxdeletebitmap(WallTextureTable[n].picture);
    WallTextureTable[n].picture = nullptr;
  }
}

void ResetMapFlags() {
  for (int f = 0; f < kFloors; ++f)
    for (int x = 0; x < kMapSize; ++x)
      for (int y = 0; y < kMapSize; ++y) MapFlags[f][x][y] = static_cast<uint32_t>(DungeonMap[f].cells[x][y].w[CELL_FLAG]);
}
