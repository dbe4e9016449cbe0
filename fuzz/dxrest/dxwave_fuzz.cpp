// The layer's own WAVE loader over any bytes: a sound, null, or the load error
// for data the audio compression manager refuses; never a crash or a read past
// the end.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "dx/error.h"
#include "dx/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dx::dxexceptionmode = true;
  int fd = memfd_create("wave", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size && write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  std::string name = "/proc/self/fd/" + std::to_string(fd);
  try {
    if (dx::sound* s = dxloadwave(name.c_str())) {
      dxplaysound(s, 0, 0, 100);
      dxdeletesound(s);
    }
  } catch (const dx::dx_runtime_error&) {
  }
  close(fd);
  return 0;
}
