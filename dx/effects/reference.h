// References the tests and benchmarks hold the fast pixel workers to, beside
// reference(mode) (workers.h) and spans_reference (geometry.h): plain
// per-pixel code that works everything out from the effect's definition.
#pragma once

#include <cstdint>

namespace dx::effects {

// One affine draw as the driver sees it: the whole target and the whole
// picture, and the three corners the picture's top-left, top-right and
// bottom-left corners go to.
struct AffineScene {
  uint8_t* screen = nullptr;
  int32_t pitch = 0;
  int32_t screen_w = 0, screen_h = 0;
  const uint8_t* src = nullptr;
  int32_t spitch = 0;
  int32_t sw = 0, sh = 0;
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Draws the picture onto the parallelogram pixel by pixel, each screen pixel's
// picture position worked out afresh from the corners; nothing when the
// corners are collinear or the parallelogram misses the screen.
void affine_draw_reference(const AffineScene& a, int bytes);

}  // namespace dx::effects
