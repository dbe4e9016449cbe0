#include "dx/bmpfile.h"

#include <cstring>

bool dxparsebmp(const void* data, size_t size, gdi::Dib& out) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (!p || size < 4) return false;
  if (size >= 14 && p[0] == 'B' && p[1] == 'M') {
    // A file: the header follows the 14-byte file header; the bits are where its
    // offset says, which must lie after the header and its colour table.
    BITMAPFILEHEADER fh;
    std::memcpy(&fh, p, sizeof fh);
    if (!gdi::ParseDibHeader(p + 14, size - 14, false, out)) return false;
    size_t offset = fh.bfOffBits;
    if (offset < 14 + out.header_size || offset >= size) return false;
    return gdi::AttachDibBits(out, p + offset, size - offset);
  }
  // A packed DIB carries a full colour table up to 8 bits.
  if (!gdi::ParseDibHeader(p, size, true, out)) return false;
  return gdi::AttachDibBits(out, p + out.header_size, size - out.header_size);
}
