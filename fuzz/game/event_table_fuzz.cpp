// The event table over any bytes: rows are compiled against two script files,
// one good and one that does not compile; a bad row must stop the program
// through the fatal path, never crash.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "game/csvfile.h"
#include "game/event.h"
#include "game/script.h"
#include "platform/host/headless_host.h"

namespace {

void Write(const std::filesystem::path& p, const void* data, size_t size) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

const std::filesystem::path& Folder() {
  static const std::filesystem::path folder = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "event_fuzz_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    std::filesystem::path p = tmpl;
    Write(p / "data/event/a.txt", "RET = 1;", 8);
    Write(p / "data/event/bad.txt", "if (1 {", 7);
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return p;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static host::HeadlessHost h;
  h.set_catch_exits(true);
  h.set_quiet(true);
  h.set_frames_kept(0);
  host::set(&h);
  std::filesystem::current_path(Folder());
  Write(Folder() / "data/event/event.csv", data, size);
  char*** rows = ReadCsv("data/event/event.csv");
  if (!rows) __builtin_trap();
  try {
    CompileEventTable(rows, false);
    for (int n = 0; n < kEventCount; ++n)
      if (EventScripts[n]) eventExec(n);
  } catch (const host::ProcessExit&) {
  }
  FreeCsv(rows);
  FreeEventData();
  host::set(nullptr);
  return 0;
}
