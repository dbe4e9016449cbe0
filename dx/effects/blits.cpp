// The bitmap effects: Direct3D when the device offers the family's blend on
// the back buffer, else the bitmap's system-memory copy through the worker of
// the display's depth.
#include <array>

#include "dx/blit.h"
#include "dx/d3d.h"
#include "dx/effects.h"
#include "dx/effects/context.h"

using dx::effects::Blit;
using dx::effects::Mode;
using dx::effects::Pass;

namespace {

void software(dx::bitmap* bmp, int32_t x, int32_t y, Mode mode, const Blit& params = Blit{}) {
  if (!bmp) return;
  dx::effects::blit(dx::effects::current_target(), dxgetsyssurface(bmp, false), x, y, mode, params);
}

Blit with_param(uint32_t param) {
  Blit b;
  b.param = param;
  return b;
}

Pass translucent(uint32_t percent) {
  return {true, dx::effects::alpha_texture_blend(), true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
          0x00FFFFFFu | dx::effects::vertex_alpha(percent) << 24};
}

}  // namespace

void dxbltadd(dx::bitmap* bmp, int32_t x, int32_t y) {
  const Pass pass{true, D3DTBLEND_DECAL, true, D3DBLEND_ONE, D3DBLEND_ONE, 0xFFFFFFFF};
  if (dx::effects::d3d_blit(bmp, x, y, DXFX_BLTADD, std::span(&pass, 1))) return;
  software(bmp, x, y, Mode::Add);
}

void dxbltaddpct(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t percent) {
  const Pass pass{true, dx::effects::alpha_texture_blend(), true, D3DBLEND_SRCALPHA, D3DBLEND_ONE,
                  0x00FFFFFFu | dx::effects::vertex_alpha(percent) << 24};
  if (dx::effects::d3d_blit(bmp, x, y, DXFX_BLTADDPCT, std::span(&pass, 1))) return;
  software(bmp, x, y, Mode::AddPct, with_param(percent));
}

void dxbltsub(dx::bitmap* bmp, int32_t x, int32_t y) {
  // 1 - target; + source; 1 - result: the target less the source, down to 0.
  const std::array<Pass, 3> passes{{
      {false, D3DTBLEND_DECAL, true, D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, 0xFFFFFFFF},
      {true, D3DTBLEND_DECAL, true, D3DBLEND_ONE, D3DBLEND_ONE, 0xFFFFFFFF},
      {false, D3DTBLEND_DECAL, true, D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, 0xFFFFFFFF},
  }};
  if (dx::effects::d3d_blit(bmp, x, y, DXFX_BLTSUB, passes)) return;
  software(bmp, x, y, Mode::Sub);
}

void dxbltalpha(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t percent) {
  const Pass pass = translucent(percent);
  if (dx::effects::d3d_blit(bmp, x, y, DXFX_BLTALPHA, std::span(&pass, 1))) return;
  software(bmp, x, y, Mode::Alpha, with_param(percent));
}

void dxblthalf(dx::bitmap* bmp, int32_t x, int32_t y) {
  const Pass pass = translucent(50);
  if (dx::effects::d3d_blit(bmp, x, y, DXFX_BLTALPHA, std::span(&pass, 1))) return;
  software(bmp, x, y, Mode::Half);
}

void dxbltmesh(dx::bitmap* bmp, int32_t x, int32_t y, const uint32_t* pattern) {
  if (!pattern) return;
  Blit b;
  b.pattern = pattern;
  software(bmp, x, y, Mode::Mesh, b);
}

void dxbltmeshpct(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t percent) {
  const Pass pass{true, D3DTBLEND_MODULATEALPHA, true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
                  0x00FFFFFFu | dx::effects::vertex_alpha(percent) << 24};
  if (dx::effects::d3d_blit(bmp, x, y, DXFX_BLTSTIPPLE, std::span(&pass, 1))) return;
  uint32_t pattern[4];
  dxdithermask(static_cast<int>(percent > 100 ? 100 : percent), pattern);
  dxbltmesh(bmp, x, y, pattern);
}

void dxbltgray(dx::bitmap* bmp, int32_t x, int32_t y) { software(bmp, x, y, Mode::Grey); }

// The device's passes for darkening end in the per-channel maximum, not the
// minimum the effect means; darkening keeps to the software path.
void dxbltdarken(dx::bitmap* bmp, int32_t x, int32_t y) { software(bmp, x, y, Mode::Darken); }

void dxbltlighten(dx::bitmap* bmp, int32_t x, int32_t y) { software(bmp, x, y, Mode::Lighten); }

void dxblthue(dx::bitmap* bmp, int32_t x, int32_t y, int32_t offset) {
  software(bmp, x, y, Mode::Hue, with_param(static_cast<uint32_t>(offset)));
}

void dxbltmask(dx::bitmap* bmp, int32_t x, int32_t y, dx::bitmap* mask, int32_t mask_x, int32_t mask_y) {
  if (!bmp || !mask) return;
  dx::effects::blit_masked(dx::effects::current_target(), dxgetsyssurface(bmp, false), x, y,
                           dxgetsyssurface(mask, false), mask_x, mask_y);
}
