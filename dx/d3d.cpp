#include "dx/d3d.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "dx/bitmap.h"
#include "dx/color.h"
#include "dx/display.h"
#include "dx/drawqueue.h"
#include "dx/error.h"
#include "dx/matrix.h"
#include "dx/mesh.h"
#include "dx/shell.h"
#include "dx/texture.h"

IDirect3D2* dxd3d = nullptr;
IDirect3DDevice2* dxd3ddevice = nullptr;
IDirect3DViewport2* dxviewport = nullptr;
IDirect3DMaterial2* dxmaterial = nullptr;
bool dxhaldevice = false;
D3DDEVICEDESC dxdevicedesc{};
std::vector<IDirect3DLight*> dxlights;
uint8_t dxeffectcaps[kEffectCaps] = {};

namespace {

template <class T>
void ReleaseAndNull(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

void SetDefaultStates() {
  dxd3ddevice->SetLightState(D3DLIGHTSTATE_MATERIAL, 0);
  dxd3ddevice->SetLightState(D3DLIGHTSTATE_COLORMODEL, D3DCOLOR_RGB);
  const struct {
    D3DRENDERSTATETYPE state;
    DWORD value;
  } states[] = {
      {D3DRENDERSTATE_TEXTUREHANDLE, 0},
      {D3DRENDERSTATE_ANTIALIAS, D3DANTIALIAS_NONE},
      {D3DRENDERSTATE_TEXTUREADDRESS, D3DTADDRESS_WRAP},
      {D3DRENDERSTATE_TEXTUREPERSPECTIVE, dxhaldevice ? 1u : 0u},
      {D3DRENDERSTATE_WRAPU, 0},
      {D3DRENDERSTATE_WRAPV, 0},
      {D3DRENDERSTATE_ZENABLE, 1},
      {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID},
      {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
      {D3DRENDERSTATE_MONOENABLE, 0},
      {D3DRENDERSTATE_ROP2, 13},
      {D3DRENDERSTATE_PLANEMASK, 0xFFFFFFFF},
      {D3DRENDERSTATE_ZWRITEENABLE, 1},
      {D3DRENDERSTATE_ALPHATESTENABLE, 0},
      {D3DRENDERSTATE_LASTPIXEL, 0},
      {D3DRENDERSTATE_TEXTUREMAG, D3DFILTER_NEAREST},
      {D3DRENDERSTATE_TEXTUREMIN, dxhaldevice ? D3DFILTER_LINEAR : D3DFILTER_NEAREST},
      {D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},
      {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO},
      {D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_MODULATEALPHA},
      {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
      {D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL},
      {D3DRENDERSTATE_ALPHAREF, 0x8000},
      {D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATEREQUAL},
      {D3DRENDERSTATE_DITHERENABLE, 1},
      {D3DRENDERSTATE_ALPHABLENDENABLE, 0},
      {D3DRENDERSTATE_FOGENABLE, 0},
      {D3DRENDERSTATE_ZVISIBLE, 0},
      {D3DRENDERSTATE_SUBPIXEL, 0},
      {D3DRENDERSTATE_SUBPIXELX, 0},
      {D3DRENDERSTATE_STIPPLEDALPHA, 0},
      {D3DRENDERSTATE_FOGCOLOR, 0},
      {D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_LINEAR},
      {D3DRENDERSTATE_FOGTABLESTART, D3DFloatBits(0.5f)},
      {D3DRENDERSTATE_FOGTABLEEND, D3DFloatBits(1.0f)},
      {D3DRENDERSTATE_FOGTABLEDENSITY, D3DFloatBits(1.0f)},
      {D3DRENDERSTATE_STIPPLEENABLE, 0},
      {D3DRENDERSTATE_EDGEANTIALIAS, 0},
      {D3DRENDERSTATE_COLORKEYENABLE, 1},
      {D3DRENDERSTATE_SPECULARENABLE, 0},
      {D3DRENDERSTATE_ALPHABLENDENABLE, 0},
      {D3DRENDERSTATE_BORDERCOLOR, dxrgb(255, 255, 255)},
      {D3DRENDERSTATE_TEXTUREADDRESSU, D3DTADDRESS_WRAP},
      {D3DRENDERSTATE_TEXTUREADDRESSV, D3DTADDRESS_WRAP},
      {D3DRENDERSTATE_MIPMAPLODBIAS, D3DFloatBits(0.0f)},
      {D3DRENDERSTATE_ZBIAS, 0},
      {D3DRENDERSTATE_RANGEFOGENABLE, 0},
  };
  for (const auto& s : states) dxd3ddevice->SetRenderState(s.state, s.value);
}

void SetEffect(int flag, bool on) {
  dxeffectcaps[flag] = on ? 1 : 0;
  if (on) dxeffectflags |= 1u << flag;
  else dxeffectflags &= ~(1u << flag);
}

void ComputeEffectCaps() {
  dxcleareffectcaps();
  if (dxddcaps.dwCaps2 & DDCAPS2_NO2DDURING3DSCENE) return;
  if (!dxhaldevice && dxscreendepth == 8) return;
  const D3DPRIMCAPS& c = dxdevicedesc.dpcTriCaps;
  const bool flatblend =
      (c.dwShadeCaps & D3DPSHADECAPS_COLORFLATRGB) && (c.dwShadeCaps & D3DPSHADECAPS_ALPHAFLATBLEND);
  auto blends = [&](DWORD src, DWORD dst) { return (c.dwSrcBlendCaps & src) && (c.dwDestBlendCaps & dst); };
  SetEffect(DXFX_FILLALPHA, flatblend && blends(D3DPBLENDCAPS_SRCALPHA, D3DPBLENDCAPS_INVSRCALPHA));
  SetEffect(DXFX_FILLMUL, flatblend && blends(D3DPBLENDCAPS_DESTCOLOR, D3DPBLENDCAPS_ZERO));
  if (!dxhaldevice) return;  // the software device offers those two fills only
  SetEffect(DXFX_FILLSTIPPLE, (c.dwShadeCaps & D3DPSHADECAPS_COLORFLATRGB) &&
                                  (c.dwShadeCaps & D3DPSHADECAPS_ALPHAFLATSTIPPLED) &&
                                  blends(D3DPBLENDCAPS_SRCALPHA, D3DPBLENDCAPS_INVSRCALPHA));
  SetEffect(DXFX_FILLADD, flatblend && blends(D3DPBLENDCAPS_ONE, D3DPBLENDCAPS_ONE));
  SetEffect(DXFX_INVERT, flatblend && blends(D3DPBLENDCAPS_INVDESTCOLOR, D3DPBLENDCAPS_ZERO));
  SetEffect(DXFX_FILLSUB, dxeffectcaps[DXFX_FILLADD] && dxeffectcaps[DXFX_INVERT]);
  SetEffect(DXFX_FILLDARKEN, dxeffectcaps[DXFX_FILLADD] && dxeffectcaps[DXFX_FILLSUB]);
  const bool textured = (c.dwTextureCaps & D3DPTEXTURECAPS_TRANSPARENCY) &&
                        (c.dwTextureBlendCaps & D3DPTBLENDCAPS_MODULATE);
  SetEffect(DXFX_BLTADD, textured && dxeffectcaps[DXFX_FILLADD]);
  SetEffect(DXFX_BLTSUB, textured && dxeffectcaps[DXFX_FILLSUB]);
  SetEffect(DXFX_BLTALPHA, textured && dxeffectcaps[DXFX_FILLALPHA]);
  // After flag 11, which it depends on.
  SetEffect(DXFX_BLTADDPCT, dxeffectcaps[DXFX_BLTADD] && dxeffectcaps[DXFX_BLTALPHA]);
  SetEffect(DXFX_BLTSTIPPLE, textured && dxeffectcaps[DXFX_FILLSTIPPLE]);
  SetEffect(DXFX_BLTAFFINE, textured);
  SetEffect(DXFX_BLTDARKEN, dxeffectcaps[DXFX_BLTADD] && dxeffectcaps[DXFX_BLTSUB]);
}

// Releases the device and its viewport (before the display rebuilds the back
// buffer); the display then calls dxd3dinit again.
// A device that is gone may be followed by one at the same address: the
// texture format is chosen again for whatever device comes next.
void DropDevice() {
  ReleaseAndNull(dxd3ddevice);
  dxtextureformatdevice = nullptr;
}

void ReleaseDevice() {
  dxcleardraws();
  if (dxd3ddevice) dxd3ddevice->EndScene();
  ReleaseAndNull(dxviewport);
  DropDevice();
  dxhaldevice = false;
  dxcleareffectcaps();
}

void RebuildDevice() { dxd3dinit(); }

// The texture handle of a bitmap (0 without one or without a texture).
D3DTEXTUREHANDLE TextureHandle(dx::bitmap* b) {
  if (!b || !dxd3ddevice) return 0;
  IDirect3DTexture2* t = dxbitmaptexture(b);
  D3DTEXTUREHANDLE h = 0;
  if (t && FAILED(t->GetHandle(dxd3ddevice, &h))) h = 0;
  return h;
}

}  // namespace

void dxcleareffectcaps() {
  std::memset(dxeffectcaps, 0, sizeof dxeffectcaps);
  dxeffectflags = 0;
}

bool dxd3dinit() {
  dxhooks.releasedevice = ReleaseDevice;
  dxhooks.rebuilddevice = RebuildDevice;
  dxaddreleasehook(dxd3drelease);
  if (dxd3ddevice) {
    ReleaseAndNull(dxviewport);
    dxd3ddevice->EndScene();
    DropDevice();
    ReleaseAndNull(dxd3d);
    dxhaldevice = false;
    dxcleareffectcaps();
  }
  if (dxzbuffer) {
    // Detached first, so that the new depth buffer can take its place.
    if (dxbackbuffer) dxbackbuffer->DeleteAttachedSurface(0, dxzbuffer);
    ReleaseAndNull(dxzbuffer);
  }
  if (!dxd3d && FAILED(Direct3DFromDirectDraw(dxdd, &dxd3d))) {
    dxd3d = nullptr;
    return false;
  }
  const GUID* kind = &IID_IDirect3DHALDevice;
  IDirect3DDevice2* first = nullptr;
  if (FAILED(dxd3d->CreateDevice(*kind, dxbackbuffer, &first))) {
    kind = &IID_IDirect3DRGBDevice;
    if (FAILED(dxd3d->CreateDevice(*kind, dxbackbuffer, &first))) {
      ReleaseAndNull(dxd3d);
      return false;
    }
  }
  D3DDEVICEDESC hal{}, hel{};
  hal.dwSize = hel.dwSize = sizeof(D3DDEVICEDESC);
  first->GetCaps(&hal, &hel);
  dxhaldevice = hal.dcmColorModel != 0;
  dxdevicedesc = dxhaldevice ? hal : hel;
  first->Release();

  if (!(dxdevicedesc.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_ZBUFFERLESSHSR)) {
    DWORD depths = hal.dwDeviceZBufferBitDepth;
    DDSURFACEDESC zd{};
    zd.dwSize = sizeof zd;
    zd.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH;
    zd.dwWidth = static_cast<DWORD>(dxbackbuffer->width());
    zd.dwHeight = static_cast<DWORD>(dxbackbuffer->height());
    zd.ddsCaps.dwCaps = DDSCAPS_ZBUFFER;
    if (!depths) {
      depths = hel.dwDeviceZBufferBitDepth;
      zd.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    }
    zd.dwZBufferBitDepth = (depths & DDBD_16) ? 16 : (depths & DDBD_32) ? 32 : (depths & DDBD_24) ? 24
                                                 : (depths & DDBD_8)    ? 8
                                                                        : 0;
    if (FAILED(dxdd->CreateSurface(&zd, &dxzbuffer, nullptr))) {
      dxzbuffer = nullptr;
      ReleaseAndNull(dxd3d);
      return false;
    }
    D3DAttachDepthBuffer(dxbackbuffer, dxzbuffer);
  }
  if (FAILED(dxd3d->CreateDevice(*kind, dxbackbuffer, &dxd3ddevice))) {
    DropDevice();
    ReleaseAndNull(dxd3d);
    return false;
  }
  if (!dxviewport) dxd3d->CreateViewport(&dxviewport, nullptr);
  const double w = dxscreenwidth, h = dxscreenheight;
  D3DVIEWPORT2 vp{};
  vp.dwSize = sizeof vp;
  vp.dwX = vp.dwY = 0;
  vp.dwWidth = static_cast<DWORD>(dxscreenwidth);
  vp.dwHeight = static_cast<DWORD>(dxscreenheight);
  vp.dvClipX = static_cast<float>(-w / h);
  vp.dvClipY = 1.0f;
  vp.dvClipWidth = static_cast<float>(2 * w / h);
  vp.dvClipHeight = 2.0f;
  vp.dvMinZ = 0.0f;
  vp.dvMaxZ = 1.0f;
  dxd3ddevice->AddViewport(dxviewport);
  dxviewport->SetViewport2(&vp);
  dxd3ddevice->SetCurrentViewport(dxviewport);

  SetDefaultStates();
  // One material for every group drawn; a new Direct3D object gets a new one.
  ReleaseAndNull(dxmaterial);
  dxd3d->CreateMaterial(&dxmaterial, nullptr);
  dxsetprojection(1.0, 1000.0, 45.0);
  dxsetcamera({0, 0, -20}, {0, 0, 0}, 0);
  ComputeEffectCaps();
  return true;
}

void dxd3drelease() {
  dxcleardraws();
  if (dxd3ddevice) {
    dxd3ddevice->EndScene();
    dxd3ddevice->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
    dxd3ddevice->SetLightState(D3DLIGHTSTATE_MATERIAL, 0);
  }
  for (IDirect3DLight* l : dxlights) {
    if (dxviewport) dxviewport->DeleteLight(l);
    l->Release();
  }
  dxlights.clear();
  dxdeleteallmeshes();
  dxreleasetexturecache();
  dxreleasebitmaptextures();
  ReleaseAndNull(dxmaterial);
  ReleaseAndNull(dxviewport);
  DropDevice();
  ReleaseAndNull(dxd3d);
  dxcleareffectcaps();
  dxhaldevice = false;
  // Released for good: a later display that never asks for Direct3D must not
  // get a device back on its next restore.
  dxhooks.releasedevice = nullptr;
  dxhooks.rebuilddevice = nullptr;
}

void dxbeginscene() {
  if (!dxd3ddevice) dxerror("Direct3D の初期化に失敗しました。");
  dxd3ddevice->BeginScene();
  if (dxviewport) {
    D3DRECT all = {0, 0, dxscreenwidth, dxscreenheight};
    dxviewport->Clear(1, &all, D3DCLEAR_ZBUFFER);
  }
  dxcleardraws();
  dx::matrix identity;
  dxmatidentity(identity);
  dxsetworld(identity);
  dxd3ddevice->SetLightState(D3DLIGHTSTATE_MATERIAL, 0);
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREHANDLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_ZENABLE, 1);
  dxsetrenderstate(D3DRENDERSTATE_ROP2, 13);
  dxsetrenderstate(D3DRENDERSTATE_PLANEMASK, 0xFFFFFFFF);
  dxsetrenderstate(D3DRENDERSTATE_ZWRITEENABLE, 1);
  dxsetrenderstate(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
  dxsetrenderstate(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO);
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_MODULATEALPHA);
  dxsetrenderstate(D3DRENDERSTATE_ZVISIBLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
}

void dxendscene() {
  dxflushdraws();
  // Otherwise the scene stays open for 2-D drawing; the present ends it.
  if (dxd3ddevice && (dxddcaps.dwCaps2 & DDCAPS2_NO2DDURING3DSCENE)) dxd3ddevice->EndScene();
}

void dxsetrenderstate(D3DRENDERSTATETYPE state, DWORD value) {
  if (!dxd3ddevice) return;
  DWORD now = 0;
  if (SUCCEEDED(dxd3ddevice->GetRenderState(state, &now)) && now == value) return;
  dxd3ddevice->SetRenderState(state, value);
}

void dxsetmaterial(const D3DMATERIAL* material, dx::bitmap* texture) {
  D3DMATERIAL m = *material;
  m.dwSize = sizeof m;
  m.hTexture = TextureHandle(texture);
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREHANDLE, m.hTexture);
  if (dxmaterial && dxd3ddevice) {
    dxmaterial->SetMaterial(&m);
    D3DMATERIALHANDLE h = 0;
    dxmaterial->GetHandle(dxd3ddevice, &h);
    dxd3ddevice->SetLightState(D3DLIGHTSTATE_MATERIAL, h);
  }
}

void dxsettexture(dx::bitmap* texture) { dxsetrenderstate(D3DRENDERSTATE_TEXTUREHANDLE, TextureHandle(texture)); }

void dxsetambient(D3DCOLOR color) {
  if (dxd3ddevice) dxd3ddevice->SetLightState(D3DLIGHTSTATE_AMBIENT, color);
}

HRESULT dxaddlight(int index, const D3DLIGHT2* light) {
  if (index < 0 || !light || !dxd3d || !dxviewport) return D3DERR_INVALIDPARAMS;
  while (dxlights.size() <= static_cast<size_t>(index)) {
    IDirect3DLight* l = nullptr;
    HRESULT hr = dxd3d->CreateLight(&l, nullptr);
    if (FAILED(hr)) return hr;
    dxlights.push_back(l);
  }
  IDirect3DLight* l = dxlights[static_cast<size_t>(index)];
  l->SetLight(light);
  dxviewport->DeleteLight(l);
  return dxviewport->AddLight(l);
}

void dxremovelight(int index) {
  if (index < 0 || static_cast<size_t>(index) >= dxlights.size() || !dxviewport) return;
  dxviewport->DeleteLight(dxlights[static_cast<size_t>(index)]);
}

void dxremovealllights() {
  for (IDirect3DLight* l : dxlights) {
    if (dxviewport) dxviewport->DeleteLight(l);
    l->Release();
  }
  dxlights.clear();
}

namespace {

D3DLIGHT2 LightRecord(D3DLIGHTTYPE type, double r, double g, double b) {
  D3DLIGHT2 l{};
  l.dwSize = sizeof l;
  l.dwFlags = D3DLIGHT_ACTIVE;
  l.dltType = type;
  l.dcvColor = {static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 1.0f};
  l.dvFalloff = 0;
  l.dvAttenuation0 = 1.0f;
  l.dvDirection = {0, 0, 1};
  return l;
}

}  // namespace

HRESULT dxadddirectionallight(int index, double r, double g, double b, const D3DVECTOR& direction) {
  D3DLIGHT2 l = LightRecord(D3DLIGHT_DIRECTIONAL, r, g, b);
  l.dvDirection = direction;
  l.dvRange = std::sqrt(FLT_MAX);
  return dxaddlight(index, &l);
}

HRESULT dxaddpointlight(int index, double r, double g, double b, const D3DVECTOR& position, double range) {
  D3DLIGHT2 l = LightRecord(D3DLIGHT_POINT, r, g, b);
  l.dvPosition = position;
  l.dvRange = static_cast<float>(range);
  return dxaddlight(index, &l);
}

HRESULT dxaddparallelpointlight(int index, double r, double g, double b, const D3DVECTOR& position, double range) {
  D3DLIGHT2 l = LightRecord(D3DLIGHT_PARALLELPOINT, r, g, b);
  l.dvPosition = position;
  l.dvRange = static_cast<float>(range);
  return dxaddlight(index, &l);
}

HRESULT dxaddspotlight(int index, double r, double g, double b, const D3DVECTOR& position,
                       const D3DVECTOR& direction, double cone, double range) {
  D3DLIGHT2 l = LightRecord(D3DLIGHT_SPOT, r, g, b);
  l.dvPosition = position;
  l.dvDirection = direction;
  l.dvRange = static_cast<float>(range);
  l.dvTheta = l.dvPhi = static_cast<float>(cone);
  return dxaddlight(index, &l);
}

void dxsetfog(D3DCOLOR color, double start, double end, bool range) {
  double density = 1.0;
  if (!dxvram) {
    // Device depth runs 0 to 1: the eye distances are made table-relative.
    start /= 2;
    end /= 2;
    start = start < 0 ? 0 : (start > 1 ? 1 : start);
    if (end < 0) end = 0;
    if (end > 1) {
      density = 1 / end;
      end = 1;
    }
    if (end < start) end = start;
  }
  dxsetrenderstate(D3DRENDERSTATE_FOGENABLE, 1);
  dxsetrenderstate(D3DRENDERSTATE_FOGCOLOR, color);
  dxsetrenderstate(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_LINEAR);
  dxsetrenderstate(D3DRENDERSTATE_FOGTABLESTART, D3DFloatBits(static_cast<float>(start)));
  dxsetrenderstate(D3DRENDERSTATE_FOGTABLEEND, D3DFloatBits(static_cast<float>(end)));
  dxsetrenderstate(D3DRENDERSTATE_FOGTABLEDENSITY, D3DFloatBits(static_cast<float>(density)));
  dxsetrenderstate(D3DRENDERSTATE_RANGEFOGENABLE, range ? 1 : 0);
}

void dxfogoff() {
  dxsetrenderstate(D3DRENDERSTATE_FOGENABLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_NONE);
}

DWORD dxidentity(DWORD value) { return value; }
