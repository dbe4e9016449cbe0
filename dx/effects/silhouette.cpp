// Silhouettes: the bitmap's shape in one colour, solid, added or blended. A
// black or white silhouette can come from the source alone through standard
// raster operations, so between two video-memory surfaces the display driver
// draws it without either being locked; everything else is drawn by the workers.
#include <span>

#include "dx/color.h"
#include "dx/display.h"
#include "dx/effects.h"
#include "dx/effects/context.h"
#include "dx/target.h"

using dx::effects::Blit;
using dx::effects::Mode;

namespace {

void silhouette(dx::bitmap* bmp, int32_t x, int32_t y, Mode mode, uint32_t colour, uint32_t percent) {
  if (!bmp) return;
  Blit b;
  b.param = colour, b.param2 = percent;
  dx::effects::blit(dx::effects::current_target(), dxgetsyssurface(bmp, false), x, y, mode, b);
}

// The raster operations that make each colour from the source alone, tried in
// order: the first line the driver supports whole is used.
struct RopLine {
  bool keyed_copy_first;  // a keyed copy of the source comes before the operations
  DWORD ops[2];
};
constexpr RopLine kBlackLines[] = {{true, {SRCINVERT, 0}}, {false, {NOTSRCCOPY, SRCAND}}};
constexpr RopLine kWhiteLines[] = {
    {false, {MERGEPAINT, SRCPAINT}}, {false, {NOTSRCCOPY, SRCINVERT}}, {false, {NOTSRCCOPY, SRCPAINT}}};

bool in_video_memory(IDirectDrawSurface* s, DDSURFACEDESC* desc) {
  desc->dwSize = sizeof(*desc);
  return s->GetSurfaceDesc(desc) == DD_OK && (desc->ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY);
}

// The silhouette by raster operations; false when the software path must draw.
bool rop_silhouette(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour) {
  IDirectDrawSurface* target = dxtarget;
  if (!target) return false;
  const bool black = colour == 0;
  if (!black && colour != dxrgb(255, 255, 255)) return false;
  IDirectDrawSurface* source = dxgetsurface(bmp, false);
  DDSURFACEDESC sd{}, td{};
  if (!source || !in_video_memory(source, &sd) || !in_video_memory(target, &td)) return false;
  if (!black) {
    // The operations set every colour bit, which is white only where white has
    // them all: not under an 8-bit palette whose white is another entry.
    const DDPIXELFORMAT& pf = td.ddpfPixelFormat;
    const DWORD all = pf.dwRGBBitCount == 8 ? 0xFF : pf.dwRBitMask | pf.dwGBitMask | pf.dwBBitMask;
    if (colour != all) return false;
  }
  const RopLine* line = nullptr;
  for (const RopLine& l : black ? std::span<const RopLine>(kBlackLines) : std::span<const RopLine>(kWhiteLines)) {
    if (dxropsupported(l.ops[0]) && (!l.ops[1] || dxropsupported(l.ops[1]))) {
      line = &l;
      break;
    }
  }
  if (!line) return false;
  auto cut = [](int64_t v) { return static_cast<LONG>(v > INT32_MAX ? INT32_MAX : v); };
  RECT s{0, 0, bmp->width, bmp->height};
  RECT d{x, y, cut(int64_t{x} + bmp->width), cut(int64_t{y} + bmp->height)};
  if (!dxclip(&d, &s)) return true;
  if (line->keyed_copy_first)
    target->BltFast(static_cast<DWORD>(d.left), static_cast<DWORD>(d.top), source, &s,
                    DDBLTFAST_WAIT | DDBLTFAST_SRCCOLORKEY);
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  for (DWORD op : line->ops) {
    if (!op) break;
    fx.dwROP = op;
    target->Blt(&d, source, &s, DDBLT_WAIT | DDBLT_ROP | DDBLT_KEYSRC | DDBLT_ASYNC, &fx);
  }
  return true;
}

}  // namespace

bool dxropsupported(DWORD rop) {
  if (dxddcaps.dwSize == 0) return false;
  const DWORD b = rop >> 16 & 0xFF;
  return (dxddcaps.dwRops[b / 32] >> (b % 32) & 1) != 0;
}

void dxbltsilhouette(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour) {
  if (!bmp || rop_silhouette(bmp, x, y, colour)) return;
  silhouette(bmp, x, y, Mode::Silhouette, colour, 0);
}

void dxbltsilhouetteadd(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour) {
  silhouette(bmp, x, y, Mode::SilhouetteAdd, colour, 0);
}

void dxbltsilhouettealpha(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour, uint32_t percent) {
  silhouette(bmp, x, y, Mode::SilhouetteAlpha, colour, percent);
}
