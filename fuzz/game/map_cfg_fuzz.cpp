// The map file over any bytes: it reads into the dungeon or stops the program
// through the fatal path; a written copy of what was read reads back the same.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "game/map.h"
#include "fuzz/common/scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFolder folder("map_fuzz_");
  InstallFuzzHost();
  std::filesystem::current_path(folder.path());
  bool read = false;
  try {
    ParseMapData(reinterpret_cast<const char*>(data), size);
    read = true;
  } catch (const host::ProcessExit&) {
  }
  if (read && WriteMapData("copy.cfg")) {
    static MapFloor first[kFloors];
    std::memcpy(static_cast<void*>(first), DungeonMap, sizeof first);
    ReadMapData("copy.cfg");
    for (int f = 0; f < kFloors; ++f)
      if (std::memcmp(first[f].cells, DungeonMap[f].cells, sizeof first[f].cells) != 0 || first[f].TAL != DungeonMap[f].TAL)
        __builtin_trap();
  }
  ClearMapData();
  host::set(nullptr);
  return 0;
}
