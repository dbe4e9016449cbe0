// The layer's own WAVE loader over any bytes: a sound, null, or the load error
// for data the audio compression manager refuses; never a crash or a read past
// the end.
#include <cstdint>
#include <string>

#include "dx/error.h"
#include "dx/sound.h"
#include "fuzz/common/memfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dx::dxexceptionmode = true;
  MemFile file("wave", data, size);
  if (!file.ok()) return 0;
  const std::string name = file.name();
  try {
    if (dx::sound* s = dxloadwave(name.c_str())) {
      dxplaysound(s, 0, 0, 100);
      dxdeletesound(s);
    }
  } catch (const dx::dx_runtime_error&) {
  }
  return 0;
}
