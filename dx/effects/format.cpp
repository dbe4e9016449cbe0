#include "dx/effects/format.h"

namespace dx::effects {

namespace {
Format made(int bpp, uint32_t r, uint32_t g, uint32_t b) {
  Format f{};
  dx::makepixelformat(bpp, r, g, b, &f);
  return f;
}
}  // namespace

Format format8() { return made(8, 0, 0, 0); }
Format format565() { return made(16, 0xF800, 0x07E0, 0x001F); }
Format format555() { return made(16, 0x7C00, 0x03E0, 0x001F); }
Format format24() { return made(24, 0xFF0000, 0xFF00, 0xFF); }
Format format32() { return made(32, 0xFF0000, 0xFF00, 0xFF); }

}  // namespace dx::effects
