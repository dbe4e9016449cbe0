// 8-bit palettes from .bmp files: a bad file stops with the designed box (caught
// here), a good one sets all 256 entries.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "dx/color.h"
#include "dx/display.h"
#include "platform/host/headless_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static host::HeadlessHost h;
  static const std::string name = "palette_fuzz_" + std::to_string(getpid()) + ".bmp";
  host::set(&h);
  h.set_catch_exits(true);
  h.set_quiet(true);
  h.clear_message_boxes();  // each keeps a copy of the screen: a campaign would grow without end
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  dxscreendepth = 8;
  try {
    dxloadpalette(name.c_str());
  } catch (const host::ProcessExit&) {
  }
  std::remove(name.c_str());
  return 0;
}
