// The WAVE readers over any bytes: as a resource in memory and as a file. A sound
// is either refused or read whole, its samples inside the input.
#include <cstdint>
#include <string>

#include "fuzz/common/memfile.h"
#include "qv/qvxalloc.h"
#include "qv/qvxwave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFF) return 0;
  if (QvWaveBlock* w = QvxWaveFromMemory(data, static_cast<uint32_t>(size))) {
    if (uint64_t{w->info.offset} + w->info.size > size) __builtin_trap();
    QvxWaveFree(w);
  }
  MemFile file("wave", data, size);
  if (!file.ok()) return 0;
  const std::string name = file.name();
  if (QvWaveBlock* w = QvxWaveFromFile(name.c_str())) {
    if (uint64_t{w->info.offset} + w->info.size > size || w->info.format.wFormatTag != WAVE_FORMAT_PCM)
      __builtin_trap();
    QvxWaveFree(w);
  }
  if (QvxAllocFirst(MEMTYPE_NORMAL)) __builtin_trap();  // everything allocated was freed
  return 0;
}
