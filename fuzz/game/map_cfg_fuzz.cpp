// The map file over any bytes: it reads into the dungeon or stops the program
// through the fatal path; a written copy of what was read reads back the same.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "game/map.h"
#include "platform/host/headless_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static host::HeadlessHost h;
  static const std::filesystem::path folder = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "map_fuzz_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    std::atexit([] { std::filesystem::remove_all(folder); });
    return std::filesystem::path(tmpl);
  }();
  h.set_catch_exits(true);
  h.set_quiet(true);
  host::set(&h);
  std::filesystem::current_path(folder);
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
