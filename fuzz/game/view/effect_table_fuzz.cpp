// An effect table over any bytes: read from a file like the game's tables
// (short files leave zeros), then every frame warps a picture made from the
// same bytes, whole and halved. Offsets may point anywhere; nothing may be
// written outside the frame.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "game/dibpixels.h"
#include "game/effect.h"
#include "fuzz/common/scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFolder folder("effect_fuzz_");
  static std::unique_ptr<uint8_t[]> table(new uint8_t[kEffectTableBytes]);
  InstallFuzzHost();
  std::filesystem::current_path(folder.path());
  std::ofstream("effect.dat", std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  std::memset(table.get(), 0, kEffectTableBytes);
  LoadEffector(table.get(), "effect.dat");
  if (size && std::memcmp(table.get(), data, std::min(size, kEffectTableBytes)) != 0) __builtin_trap();

  DibImage in{}, out{};
  CreateDib24(&in, kEffectWidth, kEffectHeight);
  CreateDib24(&out, kEffectWidth, kEffectHeight);
  DibClear(in);
  for (size_t i = 0; i < size && i < DibStride(in) * kEffectHeight; ++i) in.bits[i] = data[i] | 1;
  for (int f = 0; f < kEffectFrames; ++f) {
    WarpFrame(table.get(), f, false, in, out);
    WarpFrame(table.get(), f, true, in, out);
  }
  std::free(in.bits);
  std::free(out.bits);
  host::set(nullptr);
  return 0;
}
