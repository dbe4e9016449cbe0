// The package reader over any bytes: the index either loads or is refused, and
// every entry it lists can be read, sought and mapped without leaving it.
#include <cstdint>
#include <cstdio>
#include <string>

#include "dx/package.h"
#include "fuzz/common/memfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemFile file("package", data, size);
  if (!file.ok()) return 0;
  const std::string name = file.name();
  if (PackageOpen(name.c_str()) == 0) {
    const PackageTable* t = PackageIndex();
    if (t->count != static_cast<int32_t>(t->entries.size())) __builtin_trap();
    int checked = 0;
    for (const PackageEntry& e : t->entries) {
      if (uint64_t{e.offset} + e.size > size) __builtin_trap();
      if (++checked > 64) break;
      PkgFile* f = PkgFileOpen(e.name.c_str(), "rb");
      if (!f) continue;
      char buf[256];
      int64_t total = 0;
      for (int32_t got; (got = PkgFileRead(f, buf, sizeof buf)) > 0;) total += got;
      const PackageEntry* first = nullptr;  // a repeated name reads its first entry
      for (const PackageEntry& o : t->entries)
        if (o.name == e.name) {
          first = &o;
          break;
        }
      if (total != first->size) __builtin_trap();
      PkgFileSeek(f, -3, 2);
      PkgFileSeek(f, 5, 1);
      if (PkgFileTell(f) < 0 || PkgFileTell(f) > PkgFileSize(f)) __builtin_trap();
      PkgFileClose(f);
      dx::file* x = dxfopen(e.name.c_str());
      if (x && dxfsize(x) != first->size) __builtin_trap();
      dxfclose(x);
    }
  }
  dxfcloseall();
  PackageOpen(nullptr);
  return 0;
}
