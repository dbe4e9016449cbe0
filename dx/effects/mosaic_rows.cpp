// The mosaic worker: the same at every depth, pixels of `bytes` bytes.
#include <cstring>

#include "dx/effects/geometry.h"

namespace dx::effects {

void mosaic_rows(uint8_t* p, int32_t pitch, int w, int h, int block, int first_copies, int bytes) {
  if (block <= 1 || w <= 0 || h <= 0) return;
  const size_t row_bytes = static_cast<size_t>(w) * static_cast<size_t>(bytes);
  int copies = first_copies;
  for (int y = 0; y < h;) {
    // Sampling row.
    uint8_t* row = p + static_cast<std::ptrdiff_t>(y) * pitch;
    int x = 0;
    for (; x + block <= w; x += block) {
      const uint8_t* last = row + (x + block - 1) * bytes;
      for (int i = x; i < x + block - 1; ++i) std::memmove(row + i * bytes, last, static_cast<size_t>(bytes));
    }
    for (int i = x + 1; i < w; ++i) std::memmove(row + i * bytes, row + x * bytes, static_cast<size_t>(bytes));
    ++y;
    // The band's copies, cut off at the last row.
    for (int k = 0; k < copies && y < h; ++k, ++y) std::memcpy(p + static_cast<std::ptrdiff_t>(y) * pitch, row, row_bytes);
    copies = block - 1;
  }
}

}  // namespace dx::effects
