// The MIDI file reader: any input gives a sorted song or the load error, never a
// crash or a read past the end.
#include <cstdint>

#include "dx/error.h"
#include "dx/midi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dx::dxexceptionmode = true;
  try {
    dx::parsemidi(data, size, "fuzz.mid");
    dx::parsemidi(data, size, "fuzz.mid");  // a second file goes after the first
  } catch (const dx::dx_runtime_error&) {
  }
  if (dxgetmidilength() > 0xFFFFFFFFu) __builtin_trap();
  dxstopmidi();
  return 0;
}
