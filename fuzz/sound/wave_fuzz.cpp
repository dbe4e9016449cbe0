// The WAVE readers over any bytes: as a resource in memory and as a file. A sound
// is either refused or read whole, its samples inside the input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "qv/qvxalloc.h"
#include "qv/qvxwave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFFFFF) return 0;
  if (QvWaveBlock* w = QvxWaveFromMemory(data, static_cast<uint32_t>(size))) {
    if (uint64_t{w->info.offset} + w->info.size > size) __builtin_trap();
    QvxWaveFree(w);
  }
  int fd = memfd_create("wave", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  std::string name = "/proc/self/fd/" + std::to_string(fd);
  if (QvWaveBlock* w = QvxWaveFromFile(name.c_str())) {
    if (uint64_t{w->info.offset} + w->info.size > size || w->info.format.wFormatTag != WAVE_FORMAT_PCM)
      __builtin_trap();
    QvxWaveFree(w);
  }
  close(fd);
  if (QvxAllocFirst(MEMTYPE_NORMAL)) __builtin_trap();  // everything allocated was freed
  return 0;
}
