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
#include "script/script.h"
#include "fuzz/common/scratch.h"

namespace {

// The folder, with the two scripts the fuzzed tables may name.
const ScratchFolder& Folder() {
  static const ScratchFolder folder("event_fuzz_");
  static const bool seeded = [] {
    folder.Write("data/event/a.txt", "RET = 1;", 8);
    folder.Write("data/event/bad.txt", "if (1 {", 7);
    return true;
  }();
  (void)seeded;
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InstallFuzzHost().set_frames_kept(0);
  std::filesystem::current_path(Folder().path());
  Folder().Write("data/event/event.csv", data, size);
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
