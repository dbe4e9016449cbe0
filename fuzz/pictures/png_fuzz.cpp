// PNG decoding: any input gives an image or null, never a crash or a leak.
#include <cstdint>
#include <cstdlib>

#include "dx/pngload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PngImage* img = PngDecodeMemory(data, size);
  if (!img) return 0;
  DibImage dib;
  if (PngImageToDib(img, &dib)) {
    volatile uint32_t sink = GetDibPixel(&dib, dib.info.bmiHeader.biWidth - 1, 0);
    (void)sink;
    std::free(dib.bits);
  }
  PngFreeImage(img);
  return 0;
}
