// The rectangle effects: one colour blended into a rectangle of the render
// target, by Direct3D when the device offers the family's blend on the back
// buffer, else by the worker of the display's depth.
#include <array>

#include "dx/blit.h"
#include "dx/d3d.h"
#include "dx/effects.h"
#include "dx/effects/context.h"
#include "dx/target.h"

using dx::effects::Mode;
using dx::effects::Pass;

namespace {

constexpr D3DCOLOR kWhite = 0xFFFFFFFF;

// The rectangle cut to the clip; false when nothing is left.
bool clipped(int32_t x, int32_t y, int32_t w, int32_t h, RECT* r) {
  if (w <= 0 || h <= 0) return false;
  *r = RECT{x, y, static_cast<LONG>(int64_t{x} + w > INT32_MAX ? INT32_MAX : x + w),
            static_cast<LONG>(int64_t{y} + h > INT32_MAX ? INT32_MAX : y + h)};
  return dxcliptest(r);
}

// Direct3D when the flag allows it; true when it drew.
bool d3d(const RECT& r, int flag, std::span<const Pass> passes) {
  if (!dx::effects::d3d_allowed(flag)) return false;
  dx::effects::d3d_fill(r, passes);
  return true;
}

void software(const RECT& r, Mode mode, uint32_t colour, uint32_t percent = 0, const uint32_t* pattern = nullptr) {
  dx::effects::fill(dx::effects::current_target(), r.left, r.top, r.right - r.left, r.bottom - r.top, mode, colour,
                    percent, pattern);
}

Pass flat(DWORD blend, D3DBLEND src, D3DBLEND dst, D3DCOLOR colour) { return {false, blend, true, src, dst, colour}; }

void alpha_fill(const RECT& r, uint32_t colour, uint32_t percent, Mode mode) {
  const Pass pass = flat(D3DTBLEND_MODULATEALPHA, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
                         dx::effects::vertex_colour(colour, dx::effects::vertex_alpha(percent)));
  if (d3d(r, DXFX_FILLALPHA, std::span(&pass, 1))) return;
  software(r, mode, colour, percent);
}

}  // namespace

void dxfillrectalpha(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour, uint32_t percent) {
  RECT r;
  if (clipped(x, y, w, h, &r)) alpha_fill(r, colour, percent, Mode::FillAlpha);
}

void dxfillrecthalf(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  RECT r;
  if (clipped(x, y, w, h, &r)) alpha_fill(r, colour, 50, Mode::FillHalf);
}

void dxfillrectadd(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  RECT r;
  if (!clipped(x, y, w, h, &r)) return;
  const Pass pass =
      flat(D3DTBLEND_DECALALPHA, D3DBLEND_ONE, D3DBLEND_ONE, dx::effects::vertex_colour(colour, 0xFF));
  if (d3d(r, DXFX_FILLADD, std::span(&pass, 1))) return;
  software(r, Mode::FillAdd, colour);
}

void dxfillrectsub(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  RECT r;
  if (!clipped(x, y, w, h, &r)) return;
  const std::array<Pass, 3> passes{{
      flat(D3DTBLEND_DECALALPHA, D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, kWhite),
      flat(D3DTBLEND_DECALALPHA, D3DBLEND_ONE, D3DBLEND_ONE, dx::effects::vertex_colour(colour, 0xFF)),
      flat(D3DTBLEND_DECALALPHA, D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, kWhite),
  }};
  if (d3d(r, DXFX_FILLSUB, passes)) return;
  software(r, Mode::FillSub, colour);
}

void dxfillrectmul(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  RECT r;
  if (!clipped(x, y, w, h, &r)) return;
  const Pass pass =
      flat(D3DTBLEND_DECALALPHA, D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, dx::effects::vertex_colour(colour, 0xFF));
  if (d3d(r, DXFX_FILLMUL, std::span(&pass, 1))) return;
  software(r, Mode::FillMul, colour);
}

// The device's darkening passes end in the per-channel maximum; darkening keeps
// to the software path, which gives the minimum.
void dxfillrectdarken(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  RECT r;
  if (clipped(x, y, w, h, &r)) software(r, Mode::FillDarken, colour);
}

void dxfillrectlighten(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  RECT r;
  if (clipped(x, y, w, h, &r)) software(r, Mode::FillLighten, colour);
}

void dxfillrectmesh(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour, const uint32_t* pattern) {
  RECT r;
  if (pattern && clipped(x, y, w, h, &r)) software(r, Mode::FillMesh, colour, 0, pattern);
}

void dxfillrectmeshpct(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour, uint32_t percent) {
  RECT r;
  if (!clipped(x, y, w, h, &r)) return;
  const Pass pass = flat(D3DTBLEND_MODULATEALPHA, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
                         dx::effects::vertex_colour(colour, dx::effects::vertex_alpha(percent)));
  if (d3d(r, DXFX_FILLSTIPPLE, std::span(&pass, 1))) return;
  uint32_t pattern[4];
  dxdithermask(static_cast<int>(percent > 100 ? 100 : percent), pattern);
  software(r, Mode::FillMesh, colour, 0, pattern);
}
