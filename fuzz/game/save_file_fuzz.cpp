// Save files over any bytes: each reads to a result code, and what reads
// whole writes back behind its own picture to the same bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "game/savefile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = memfd_create("save", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  std::string name = "/proc/self/fd/" + std::to_string(fd);
  uint8_t* out = nullptr;
  uint32_t length = 0;
  int rc = ReadSaveFile(name.c_str(), &out, &length);
  if (rc != 0 && out) __builtin_trap();
  if (rc == 0) {
    if (!out || length > size || out[length] != 0) __builtin_trap();
    std::free(out);
  }
  close(fd);
  return 0;
}
