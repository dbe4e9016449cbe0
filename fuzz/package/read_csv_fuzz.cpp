// The CSV and line readers over any bytes, read as a loose file.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/common/memfile.h"
#include "game/csvfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemFile file("csv", data, size);
  if (!file.ok()) return 0;
  const std::string name = file.name();
  char*** rows = ReadCsv(name.c_str());
  if (!rows) __builtin_trap();  // the file exists
  size_t stored = 0;
  for (char*** r = rows; *r; ++r)
    for (int32_t i = 0; i < 4096; ++i)
      if (const char* f = CsvColumn(*r, i)) stored += std::strlen(f);
  if (stored > size) __builtin_trap();  // every stored byte comes from the text
  FreeCsv(rows);

  // Lines through a small buffer: every byte but the LFs arrives, in order.
  PkgFile* f = PkgFileOpen(name.c_str(), "rb");
  if (!f) __builtin_trap();
  char buf[7];
  size_t counted = 0, lines = 0;
  for (int32_t n; (n = ReadPackLine(buf, sizeof buf, f)) >= 0; ++lines) {
    if (n > static_cast<int32_t>(sizeof buf) - 1 || std::strlen(buf) > static_cast<size_t>(n)) __builtin_trap();
    counted += static_cast<size_t>(n);
  }
  if (counted + lines < size || counted > size) __builtin_trap();
  PkgFileClose(f);
  return 0;
}
