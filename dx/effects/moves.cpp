// Blits that move pixels: the affine map (with its Direct3D path), the turn
// and zoom about a centre, and the wave and jitter that shift whole rows.
#include <ctime>
#include <vector>

#include "dx/blit.h"
#include "dx/d3d.h"
#include "dx/display.h"
#include "dx/effects.h"
#include "dx/effects/context.h"
#include "dx/effects/geometry.h"
#include "dx/pump.h"
#include "dx/texture.h"

namespace {

// Cuts a fan to lo <= coordinate <= hi along x (axis 0) or y (axis 1): a
// vertex is put in at every edge that crosses a limit, then the vertices
// beyond the limits go.
void clip_fan(std::vector<D3DTLVERTEX>& v, int axis, double hi) {
  auto c = [axis](const D3DTLVERTEX& p) { return static_cast<double>(axis == 0 ? p.sx : p.sy); };
  for (size_t i = 0; i < v.size(); ++i) {
    const D3DTLVERTEX a = v[i], b = v[(i + 1) % v.size()];
    const double ca = c(a), cb = c(b);
    double limit;
    if ((ca < 0 && cb > 0) || (ca > 0 && cb < 0)) {
      limit = 0;
    } else if ((ca < hi && cb > hi) || (ca > hi && cb < hi)) {
      limit = hi;
    } else {
      continue;
    }
    const double t = (limit - ca) / (cb - ca);
    D3DTLVERTEX m = a;
    m.sx = static_cast<D3DVALUE>(a.sx + (b.sx - a.sx) * t);
    m.sy = static_cast<D3DVALUE>(a.sy + (b.sy - a.sy) * t);
    m.tu = static_cast<D3DVALUE>(a.tu + (b.tu - a.tu) * t);
    m.tv = static_cast<D3DVALUE>(a.tv + (b.tv - a.tv) * t);
    if (axis == 0) m.sx = static_cast<D3DVALUE>(limit);
    else m.sy = static_cast<D3DVALUE>(limit);
    v.insert(v.begin() + static_cast<std::ptrdiff_t>(i) + 1, m);
  }
  std::erase_if(v, [&](const D3DTLVERTEX& p) { return c(p) < 0 || c(p) > hi; });
}

void affine_d3d(IDirect3DTexture2* texture, const int32_t c[6]) {
  const double x3 = static_cast<double>(c[2]) - c[0] + c[4], y3 = static_cast<double>(c[3]) - c[1] + c[5];
  std::vector<D3DTLVERTEX> v = {dx::effects::tlvertex(c[0], c[1], 0, 0), dx::effects::tlvertex(c[2], c[3], 1, 0),
                                dx::effects::tlvertex(x3, y3, 1, 1), dx::effects::tlvertex(c[4], c[5], 0, 1)};
  clip_fan(v, 0, dxscreenwidth);
  clip_fan(v, 1, dxscreenheight);
  if (v.size() <= 2) return;
  dx::effects::scene_begin();
  D3DTEXTUREHANDLE handle = 0;
  texture->GetHandle(dxd3ddevice, &handle);
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREHANDLE, handle);
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL);
  dxsetrenderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
  dxsetrenderstate(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO);
  dxd3ddevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_TLVERTEX, v.data(), static_cast<DWORD>(v.size()),
                             D3DDP_DONOTCLIP);
  dx::effects::scene_end();
}

}  // namespace

void dxbltaffine(dx::bitmap* bmp, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!bmp) return;
  const int32_t corners[6] = {x0, y0, x1, y1, x2, y2};
  if (dx::effects::d3d_allowed(DXFX_BLTAFFINE)) {
    if (IDirect3DTexture2* texture = dxbitmaptexture(bmp)) {
      affine_d3d(texture, corners);
      return;
    }
  }
  dx::effects::affine(dx::effects::current_target(), dxgetsyssurface(bmp, false), bmp->width, bmp->height, corners,
                      dxscreenwidth, dxscreenheight);
}

void dxbltrotate(dx::bitmap* bmp, int32_t x, int32_t y, int32_t cx, int32_t cy, int32_t degrees, int32_t zoom) {
  if (!bmp) return;
  int32_t c[6];
  dx::effects::rotate_corners(bmp->width, bmp->height, x, y, cx, cy, degrees, zoom, c);
  dxbltaffine(bmp, c[0], c[1], c[2], c[3], c[4], c[5]);
}

void dxbltwave(dx::bitmap* bmp, int32_t x, int32_t y, int32_t amplitude, int32_t period, int32_t phase) {
  if (!bmp) return;
  dx::effects::wave(dx::effects::current_target(), dxgetsurface(bmp, false), bmp->width, bmp->height, x, y,
                    amplitude, period, phase);
}

void dxbltjitter(dx::bitmap* bmp, int32_t x, int32_t y, int32_t amplitude) {
  if (!bmp) return;
  if (amplitude < 1) {
    dxblt(bmp, x, y);
    return;
  }
  const dx::effects::Jitter generator{dxgettime(), static_cast<uint32_t>(std::time(nullptr))};
  dx::effects::jitter(dx::effects::current_target(), dxgetsurface(bmp, false), bmp->width, bmp->height, x, y,
                      amplitude, generator);
}
