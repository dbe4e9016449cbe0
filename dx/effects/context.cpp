#include "dx/effects/context.h"

#include "dx/bitmap.h"
#include "dx/color.h"
#include "dx/d3d.h"
#include "dx/display.h"
#include "dx/pixelformat.h"
#include "dx/target.h"
#include "dx/texture.h"

namespace dx::effects {

Target current_target() {
  Target t;
  t.surface = dxtarget;
  t.clip = dxcliprect;
  // The workers walk pixels at the display's depth: a target of any other depth
  // gets no worker, so nothing is drawn past its rows.
  t.bpp = dxtarget && static_cast<int>(dxtarget->bpp()) != dxscreendepth ? 0 : dxscreendepth;
  t.format = dx::dxpixelformat;
  return t;
}

bool target_is_backbuffer() { return dxtarget && dxtarget == dxbackbuffer; }

bool d3d_allowed(int flag) {
  return flag >= 0 && flag < kEffectCaps && dxeffectcaps[flag] && dxd3ddevice && target_is_backbuffer();
}

DWORD alpha_texture_blend() {
  return (dxdevicedesc.dpcTriCaps.dwTextureBlendCaps & D3DPTBLENDCAPS_DECALALPHA) ? D3DTBLEND_DECALALPHA
                                                                                   : D3DTBLEND_MODULATEALPHA;
}

D3DCOLOR vertex_colour(uint32_t pixel, uint32_t alpha) {
  const uint32_t bgr = dxpixelrgb(pixel);
  return (alpha & 0xFF) << 24 | (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
}

void scene_begin() {
  dxd3ddevice->BeginScene();
  dxsetrenderstate(D3DRENDERSTATE_ZENABLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_ZWRITEENABLE, 0);
}

void scene_end() {
  if (dxddcaps.dwCaps2 & DDCAPS2_NO2DDURING3DSCENE) dxd3ddevice->EndScene();
}

D3DTLVERTEX tlvertex(double x, double y, double tu, double tv) {
  D3DTLVERTEX v{};
  v.sx = static_cast<D3DVALUE>(x), v.sy = static_cast<D3DVALUE>(y);
  v.sz = 0.5f, v.rhw = 0.5f;
  v.color = 0xFFFFFFFF, v.specular = 0;
  v.tu = static_cast<D3DVALUE>(tu), v.tv = static_cast<D3DVALUE>(tv);
  return v;
}

namespace {

void draw_passes(D3DTLVERTEX* v, D3DTEXTUREHANDLE texture, std::span<const Pass> passes) {
  scene_begin();
  for (const Pass& p : passes) {
    for (int i = 0; i < 4; ++i) v[i].color = p.colour;
    dxsetrenderstate(D3DRENDERSTATE_TEXTUREHANDLE, p.textured ? texture : 0);
    dxsetrenderstate(D3DRENDERSTATE_TEXTUREMAPBLEND, p.blend);
    dxsetrenderstate(D3DRENDERSTATE_ALPHABLENDENABLE, p.alphablend ? 1 : 0);
    dxsetrenderstate(D3DRENDERSTATE_SRCBLEND, p.src);
    dxsetrenderstate(D3DRENDERSTATE_DESTBLEND, p.dst);
    dxd3ddevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_TLVERTEX, v, 4, D3DDP_DONOTCLIP);
  }
  scene_end();
}

}  // namespace

bool d3d_blit(dx::bitmap* bmp, int32_t x, int32_t y, int flag, std::span<const Pass> passes) {
  if (!bmp || !d3d_allowed(flag)) return false;
  IDirect3DTexture2* texture = dxbitmaptexture(bmp);
  if (!texture) return false;
  RECT s{0, 0, bmp->width, bmp->height};
  auto cut = [](int64_t v) { return static_cast<LONG>(v > INT32_MAX ? INT32_MAX : v); };
  RECT d{x, y, cut(int64_t{x} + bmp->width), cut(int64_t{y} + bmp->height)};
  if (!dxclip(&d, &s)) return true;
  D3DTEXTUREHANDLE handle = 0;
  if (FAILED(texture->GetHandle(dxd3ddevice, &handle)) || handle == 0) return true;
  const double w = bmp->width, h = bmp->height;
  const double tu0 = s.left / w, tv0 = s.top / h, tu1 = s.right / w, tv1 = s.bottom / h;
  const double sw = s.right - s.left, sh = s.bottom - s.top;
  D3DTLVERTEX v[4] = {tlvertex(d.left, d.top, tu0, tv0), tlvertex(d.left + sw, d.top, tu1, tv0),
                      tlvertex(d.left + sw, d.top + sh, tu1, tv1), tlvertex(d.left, d.top + sh, tu0, tv1)};
  draw_passes(v, handle, passes);
  return true;
}

void d3d_fill(const RECT& r, std::span<const Pass> passes) {
  if (!dxd3ddevice) return;
  D3DTLVERTEX v[4] = {tlvertex(r.left, r.top, 0, 0), tlvertex(r.right, r.top, 0, 0), tlvertex(r.right, r.bottom, 0, 0),
                      tlvertex(r.left, r.bottom, 0, 0)};
  draw_passes(v, 0, passes);
}

}  // namespace dx::effects
