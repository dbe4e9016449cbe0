// The demo game's data for tests and fuzz targets that play on it: linked into
// a folder of their own (the map's folder copied, since the map editor writes
// it back) and read as the game's start reads it from its package.
#pragma once

#include <cstring>
#include <filesystem>

#include "dx/dx.h"
#include "dx/package.h"
#include "game/catalog.h"
#include "game/enemy.h"
#include "game/event.h"
#include "game/item.h"
#include "game/map.h"
#include "game/sound.h"
#include "qv/qvsapi.h"

namespace testcommon {

inline void LinkDemoData(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const fs::path source = fs::path(DOLVICAR_SOURCE_DIR) / "data";
  fs::create_directories(folder / "data");
  for (const auto& entry : fs::directory_iterator(source)) {
    const fs::path to = folder / "data" / entry.path().filename();
    if (fs::exists(fs::symlink_status(to))) continue;
    if (entry.path().filename() == "map")
      fs::copy(entry.path(), to, fs::copy_options::recursive);
    else
      fs::create_directory_symlink(entry.path(), to);
  }
}

// Sound, events (and the set-up event 1), the 3-D device, the map, its parts,
// items, monsters, their groups and the catalogue, from the working folder.
// The display must be open; a fault stops the program as at the game's start.
// False when sound or the 3-D device cannot start.
inline bool ReadDemoData() {
  PackageOpen("");
  if (QvxSoundStartDefault(dxgetwindow()) != 0) return false;
  ReadSoundData();
  ReadEventData();
  eventExec(1);
  if (!dxd3dinit()) return false;
  ReadMapData("data/map/map.cfg");
  ReadMapChip();
  std::memset(PartIndexTable, 0, sizeof PartIndexTable);
  ReadItemData();
  ReadMonsterData();
  ReadMonsterGroups();
  ReadCatalog();
  return true;
}

}  // namespace testcommon
