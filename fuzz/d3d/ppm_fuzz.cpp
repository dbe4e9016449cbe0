// Binary PPM headers and pixels: a DIB or a refusal, never a read past the end.
#include <cstdint>
#include <vector>

#include "dx/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BITMAPINFOHEADER header;
  std::vector<uint8_t> bits;
  if (dxparseppm(data, size, header, bits)) {
    volatile uint8_t sink = bits.empty() ? 0 : bits.back();
    (void)sink;
  }
  return 0;
}
