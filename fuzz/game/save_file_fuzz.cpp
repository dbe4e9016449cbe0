// Save files over any bytes: each reads to a result code, and what reads
// whole writes back behind its own picture to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/common/memfile.h"
#include "game/savefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemFile file("save", data, size);
  if (!file.ok()) return 0;
  const std::string name = file.name();
  uint8_t* out = nullptr;
  uint32_t length = 0;
  int rc = ReadSaveFile(name.c_str(), &out, &length);
  if (rc != 0 && out) __builtin_trap();
  if (rc == 0) {
    if (!out || length > size || out[length] != 0) __builtin_trap();
    std::free(out);
  }
  return 0;
}
