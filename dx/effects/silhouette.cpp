// Silhouettes: the bitmap's shape in one colour, solid, added or blended. The
// display stand-in's blits offer none of the raster operations that could draw
// a black or white silhouette without locking, so every silhouette is drawn by
// the workers.
#include "dx/effects.h"
#include "dx/effects/context.h"

using dx::effects::Blit;
using dx::effects::Mode;

namespace {

void silhouette(dx::bitmap* bmp, int32_t x, int32_t y, Mode mode, uint32_t colour, uint32_t percent) {
  if (!bmp) return;
  Blit b;
  b.param = colour, b.param2 = percent;
  dx::effects::blit(dx::effects::current_target(), dxgetsyssurface(bmp, false), x, y, mode, b);
}

}  // namespace

void dxbltsilhouette(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour) {
  silhouette(bmp, x, y, Mode::Silhouette, colour, 0);
}

void dxbltsilhouetteadd(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour) {
  silhouette(bmp, x, y, Mode::SilhouetteAdd, colour, 0);
}

void dxbltsilhouettealpha(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour, uint32_t percent) {
  silhouette(bmp, x, y, Mode::SilhouetteAlpha, colour, percent);
}
