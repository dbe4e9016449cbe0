// .bmp files and packed DIBs: parsed, every pixel decoded and dithered to 16 bits
// and drawn through StretchDIBits at 32 bits.
#include <cstdint>
#include <vector>

#include "dx/bmpfile.h"
#include "dx/dither.h"
#include "platform/gdi/gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gdi::Dib dib;
  if (!dxparsebmp(data, size, dib)) return 0;
  if (static_cast<int64_t>(dib.width) * dib.height > (1 << 20)) return 0;  // keep runs quick
  std::vector<uint16_t> px(static_cast<size_t>(dib.width) * dib.height);
  platform::PixelBuffer b;
  b.bits = reinterpret_cast<uint8_t*>(px.data());
  b.width = dib.width, b.height = dib.height, b.pitch = dib.width * 2;
  b.format = {16, 0xF800, 0x07E0, 0x001F};
  dx::ditherdib(dib, b, dx::ditherformat::rgb565);

  std::vector<uint32_t> out(static_cast<size_t>(dib.width) * dib.height);
  platform::PixelBuffer o;
  o.bits = reinterpret_cast<uint8_t*>(out.data());
  o.width = dib.width, o.height = dib.height, o.pitch = dib.width * 4;
  HDC dc = gdi::CreateBufferDC(o);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(size >= 2 && data[0] == 'B' && data[1] == 'M' ? data + 14 : data);
  StretchDIBits(dc, 0, 0, dib.width, dib.height, 0, 0, dib.width, dib.height, dib.bits, info, DIB_RGB_COLORS,
                SRCCOPY);
  gdi::DeleteBufferDC(dc);
  return 0;
}
