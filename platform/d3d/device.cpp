// The Direct3D objects of the software device: the Direct3D object, materials,
// lights, viewports, textures, and the device's states, scenes and
// capabilities. Drawing is in draw.cpp.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "platform/d3d/d3d.h"
#include "platform/d3d/raster.h"

const GUID IID_IDirect3DHALDevice = {0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
const GUID IID_IDirect3DRGBDevice = {0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};

namespace soft3d {
namespace {

struct Settings {
  bool hardware = false;
  DWORD hal_depths = 0;
  DWORD hel_depths = DDBD_16 | DDBD_32;
  bool no_zbuffer = false;
  bool refuse = false;
  int creations_left = -1;
};
Settings g_settings;
int g_live_devices = 0;

// Materials by handle. Handles are never reused, so a stale one finds nothing.
// Never destroyed: the layer's exit handler releases materials.
std::map<D3DMATERIALHANDLE, IDirect3DMaterial2*>& Materials() {
  static auto* m = new std::map<D3DMATERIALHANDLE, IDirect3DMaterial2*>;
  return *m;
}
D3DMATERIALHANDLE g_next_material = 1;

// True when the caller's reference is the only one left.
bool OnlyOwner(IDirectDrawSurface* s) {
  ULONG n = s->AddRef();
  s->Release();
  return n == 2;
}

D3DMATRIX Identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1;
  return m;
}

void FillPrimCaps(D3DPRIMCAPS& c, bool hardware) {
  c.dwSize = sizeof c;
  c.dwRasterCaps = D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGTABLE;
  if (g_settings.no_zbuffer) c.dwRasterCaps |= D3DPRASTERCAPS_ZBUFFERLESSHSR;
  c.dwZCmpCaps = D3DPCMPCAPS_ALL;
  c.dwAlphaCmpCaps = D3DPCMPCAPS_ALL;
  const DWORD blends = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR |
                       D3DPBLENDCAPS_INVSRCCOLOR | D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA |
                       D3DPBLENDCAPS_DESTALPHA | D3DPBLENDCAPS_INVDESTALPHA | D3DPBLENDCAPS_DESTCOLOR |
                       D3DPBLENDCAPS_INVDESTCOLOR | D3DPBLENDCAPS_SRCALPHASAT | D3DPBLENDCAPS_BOTHSRCALPHA |
                       D3DPBLENDCAPS_BOTHINVSRCALPHA;
  c.dwSrcBlendCaps = blends;
  c.dwDestBlendCaps = blends;
  // The software description leaves out flat alpha blending, so that the
  // layer keeps every pixel effect on its software path; the device blends
  // all the same.
  c.dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND |
                  D3DPSHADECAPS_FOGFLAT | D3DPSHADECAPS_FOGGOURAUD;
  if (hardware) c.dwShadeCaps |= D3DPSHADECAPS_ALPHAFLATBLEND;
  c.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_TRANSPARENCY |
                    D3DPTEXTURECAPS_BORDER;
  c.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST;
  c.dwTextureBlendCaps = D3DPTBLENDCAPS_DECAL | D3DPTBLENDCAPS_MODULATE | D3DPTBLENDCAPS_DECALALPHA |
                         D3DPTBLENDCAPS_MODULATEALPHA | D3DPTBLENDCAPS_COPY | D3DPTBLENDCAPS_ADD;
  c.dwTextureAddressCaps =
      D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER;
}

void FillDesc(D3DDEVICEDESC& d, bool hardware) {
  std::memset(&d, 0, sizeof d);
  d.dwSize = sizeof d;
  d.dwFlags = D3DDD_COLORMODEL | D3DDD_DEVCAPS | D3DDD_TRICAPS | D3DDD_DEVICERENDERBITDEPTH |
              D3DDD_DEVICEZBUFFERBITDEPTH;
  d.dcmColorModel = D3DCOLOR_RGB;
  d.dwDevCaps = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                D3DDEVCAPS_TEXTURESYSTEMMEMORY;
  if (hardware) d.dwDevCaps |= D3DDEVCAPS_TEXTUREVIDEOMEMORY;
  d.dtcTransformCaps = {sizeof(D3DTRANSFORMCAPS), D3DTRANSFORMCAPS_CLIP};
  d.bClipping = TRUE;
  d.dlcLightingCaps = {sizeof(D3DLIGHTINGCAPS),
                       D3DLIGHTCAPS_POINT | D3DLIGHTCAPS_SPOT | D3DLIGHTCAPS_DIRECTIONAL | D3DLIGHTCAPS_PARALLELPOINT,
                       D3DLIGHTINGMODEL_RGB, 0};
  FillPrimCaps(d.dpcLineCaps, hardware);
  FillPrimCaps(d.dpcTriCaps, hardware);
  d.dwDeviceRenderBitDepth = DDBD_8 | DDBD_16 | DDBD_24 | DDBD_32;
  d.dwDeviceZBufferBitDepth = hardware ? g_settings.hal_depths : g_settings.hel_depths;
  d.dwMaxVertexCount = 65535;
  d.dwMinTextureWidth = d.dwMinTextureHeight = 1;
}

}  // namespace

ULONG Object::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

void SetHardware(bool on) { g_settings.hardware = on; }
void SetDepthBufferDepths(DWORD hal, DWORD hel) {
  g_settings.hal_depths = hal;
  g_settings.hel_depths = hel;
}
void SetNoDepthBufferNeeded(bool on) { g_settings.no_zbuffer = on; }
void RefuseDirect3D(bool refuse) { g_settings.refuse = refuse; }
void LimitDeviceCreations(int n) { g_settings.creations_left = n; }
int LiveDevices() { return g_live_devices; }
void ResetForTests() { g_settings = Settings(); }

}  // namespace soft3d

// --- Direct3D object ---

HRESULT Direct3DFromDirectDraw(IDirectDraw* dd, IDirect3D2** out) {
  if (!out) return D3DERR_INVALIDPARAMS;
  *out = nullptr;
  if (!dd || soft3d::g_settings.refuse) return E_NOINTERFACE;
  *out = new IDirect3D2();
  return D3D_OK;
}

IDirect3D2::~IDirect3D2() = default;

HRESULT IDirect3D2::CreateDevice(REFCLSID id, IDirectDrawSurface* target, IDirect3DDevice2** out) {
  if (!out) return D3DERR_INVALIDPARAMS;
  *out = nullptr;
  bool hal = id == IID_IDirect3DHALDevice;
  if (!hal && !(id == IID_IDirect3DRGBDevice)) return D3DERR_INVALID_DEVICE;
  if (hal && !soft3d::g_settings.hardware) return D3DERR_INVALID_DEVICE;
  if (!target || !(target->caps() & DDSCAPS_3DDEVICE)) return D3DERR_INVALIDPARAMS;
  if (target->bpp() != 8 && target->bpp() != 16 && target->bpp() != 24 && target->bpp() != 32)
    return D3DERR_INVALIDPARAMS;
  if (soft3d::g_settings.creations_left == 0) return D3DERR_INVALID_DEVICE;
  if (soft3d::g_settings.creations_left > 0) --soft3d::g_settings.creations_left;
  // The depth buffer is whatever the target has attached; the device keeps its own reference.
  DDSCAPS zcaps{DDSCAPS_ZBUFFER};
  IDirectDrawSurface* z = nullptr;
  if (target->GetAttachedSurface(&zcaps, &z) != DD_OK) z = nullptr;
  *out = new IDirect3DDevice2(hal, target, z);
  if (z) z->Release();
  return D3D_OK;
}

HRESULT IDirect3D2::CreateViewport(IDirect3DViewport2** out, IUnknown*) {
  if (!out) return D3DERR_INVALIDPARAMS;
  *out = new IDirect3DViewport2();
  return D3D_OK;
}

HRESULT IDirect3D2::CreateMaterial(IDirect3DMaterial2** out, IUnknown*) {
  if (!out) return D3DERR_INVALIDPARAMS;
  *out = new IDirect3DMaterial2();
  return D3D_OK;
}

HRESULT IDirect3D2::CreateLight(IDirect3DLight** out, IUnknown*) {
  if (!out) return D3DERR_INVALIDPARAMS;
  *out = new IDirect3DLight();
  return D3D_OK;
}

HRESULT D3DAttachDepthBuffer(IDirectDrawSurface* target, IDirectDrawSurface* zbuffer) {
  if (!target || !zbuffer || !(zbuffer->caps() & DDSCAPS_ZBUFFER)) return DDERR_INVALIDPARAMS;
  if (zbuffer->bpp() != 16 && zbuffer->bpp() != 32) return DDERR_INVALIDPIXELFORMAT;
  if (zbuffer->width() < target->width() || zbuffer->height() < target->height()) return DDERR_INVALIDPARAMS;
  return target->AddAttachedSurface(zbuffer);
}

// --- Materials and lights ---

IDirect3DMaterial2::IDirect3DMaterial2() : handle_(soft3d::g_next_material++) {
  data_.dwSize = sizeof data_;
  soft3d::Materials()[handle_] = this;
}

IDirect3DMaterial2::~IDirect3DMaterial2() { soft3d::Materials().erase(handle_); }

HRESULT IDirect3DMaterial2::SetMaterial(const D3DMATERIAL* m) {
  if (!m || m->dwSize != sizeof(D3DMATERIAL)) return D3DERR_INVALIDPARAMS;
  data_ = *m;
  return D3D_OK;
}

HRESULT IDirect3DMaterial2::GetMaterial(D3DMATERIAL* m) {
  if (!m) return D3DERR_INVALIDPARAMS;
  *m = data_;
  return D3D_OK;
}

HRESULT IDirect3DMaterial2::GetHandle(IDirect3DDevice2* device, D3DMATERIALHANDLE* out) {
  if (!device || !out) return D3DERR_INVALIDPARAMS;
  *out = handle_;
  return D3D_OK;
}

namespace soft3d {
const D3DMATERIAL* MaterialOf(D3DMATERIALHANDLE h) {
  auto it = Materials().find(h);
  return it == Materials().end() ? nullptr : &it->second->data();
}
}  // namespace soft3d

HRESULT IDirect3DLight::SetLight(const D3DLIGHT2* l) {
  if (!l || l->dwSize != sizeof(D3DLIGHT2)) return D3DERR_INVALIDPARAMS;
  if (l->dltType < D3DLIGHT_POINT || l->dltType > D3DLIGHT_PARALLELPOINT) return D3DERR_INVALIDPARAMS;
  data_ = *l;
  return D3D_OK;
}

HRESULT IDirect3DLight::GetLight(D3DLIGHT2* l) {
  if (!l) return D3DERR_INVALIDPARAMS;
  *l = data_;
  return D3D_OK;
}

// --- Viewports ---

IDirect3DViewport2::~IDirect3DViewport2() {
  for (IDirect3DLight* l : lights_) {
    l->viewport_ = nullptr;
    l->Release();
  }
}

HRESULT IDirect3DViewport2::SetViewport2(const D3DVIEWPORT2* v) {
  if (!v || v->dwSize != sizeof(D3DVIEWPORT2)) return D3DERR_INVALIDPARAMS;
  if (!(v->dvClipWidth != 0) || !(v->dvClipHeight != 0)) return D3DERR_INVALIDPARAMS;
  data_ = *v;
  set_ = true;
  return D3D_OK;
}

HRESULT IDirect3DViewport2::GetViewport2(D3DVIEWPORT2* v) {
  if (!v) return D3DERR_INVALIDPARAMS;
  if (!set_) return D3DERR_VIEWPORTDATANOTSET;
  *v = data_;
  return D3D_OK;
}

HRESULT IDirect3DViewport2::Clear(DWORD count, D3DRECT* rects, DWORD flags) {
  if (!device_) return D3DERR_VIEWPORTHASNODEVICE;
  if ((flags & D3DCLEAR_TARGET) || !(flags & D3DCLEAR_ZBUFFER) || (count && !rects)) return D3DERR_INVALIDPARAMS;
  IDirectDrawSurface* z = device_->depth_buffer();
  if (!z) return D3D_OK;
  platform::PixelBuffer pb = z->pixels();
  for (DWORD i = 0; i < count; ++i)
    soft3d::ClearDepth(pb, {rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2}, 1.0f);
  return D3D_OK;
}

HRESULT IDirect3DViewport2::AddLight(IDirect3DLight* light) {
  if (!light) return D3DERR_INVALIDPARAMS;
  if (light->viewport_) return D3DERR_LIGHTHASVIEWPORT;
  light->AddRef();
  light->viewport_ = this;
  lights_.push_back(light);
  return D3D_OK;
}

HRESULT IDirect3DViewport2::DeleteLight(IDirect3DLight* light) {
  auto it = std::find(lights_.begin(), lights_.end(), light);
  if (!light || it == lights_.end()) return D3DERR_LIGHTNOTINTHISVIEWPORT;
  lights_.erase(it);
  light->viewport_ = nullptr;
  light->Release();
  return D3D_OK;
}

// --- Textures ---

HRESULT Direct3DTextureOf(IDirectDrawSurface* s, IDirect3DTexture2** out) {
  if (!out) return D3DERR_INVALIDPARAMS;
  *out = nullptr;
  if (!s || !(s->caps() & DDSCAPS_TEXTURE)) return E_NOINTERFACE;
  *out = new IDirect3DTexture2(s);
  return D3D_OK;
}

IDirect3DTexture2::IDirect3DTexture2(IDirectDrawSurface* s) : surface_(s) { surface_->AddRef(); }
IDirect3DTexture2::~IDirect3DTexture2() { surface_->Release(); }

HRESULT IDirect3DTexture2::GetHandle(IDirect3DDevice2* device, D3DTEXTUREHANDLE* out) {
  if (!device || !out) return D3DERR_INVALIDPARAMS;
  auto& t = device->textures_;
  auto it = std::find(t.begin(), t.end(), surface_);
  if (it == t.end()) {
    device->PruneTextures();
    it = std::find(t.begin(), t.end(), nullptr);  // a free handle
    surface_->AddRef();
    if (it == t.end()) it = t.insert(t.end(), surface_);
    else *it = surface_;
  }
  *out = static_cast<D3DTEXTUREHANDLE>(it - t.begin() + 1);
  return D3D_OK;
}

HRESULT IDirect3DTexture2::Load(IDirect3DTexture2* src) {
  if (!src) return D3DERR_INVALIDPARAMS;
  IDirectDrawSurface* s = src->surface_;
  if (s->width() != surface_->width() || s->height() != surface_->height() || s->bpp() != surface_->bpp())
    return D3DERR_TEXTURE_LOAD_FAILED;
  platform::PixelBuffer from = s->pixels(), to = surface_->pixels();
  const size_t row = static_cast<size_t>(from.width) * (from.format.bpp / 8);
  for (int y = 0; y < from.height; ++y)
    std::memcpy(to.bits + static_cast<ptrdiff_t>(y) * to.pitch, from.bits + static_cast<ptrdiff_t>(y) * from.pitch, row);
  IDirectDrawPalette* pal = nullptr;
  if (SUCCEEDED(s->GetPalette(&pal)) && pal) {
    surface_->SetPalette(pal);
    pal->Release();
  }
  DDCOLORKEY key;
  if (SUCCEEDED(s->GetColorKey(DDCKEY_SRCBLT, &key))) surface_->SetColorKey(DDCKEY_SRCBLT, &key);
  return D3D_OK;
}

// --- Device ---

IDirect3DDevice2::IDirect3DDevice2(bool hal, IDirectDrawSurface* target, IDirectDrawSurface* zbuffer)
    : hal_(hal), target_(target), zbuffer_(zbuffer) {
  target_->AddRef();
  if (zbuffer_) zbuffer_->AddRef();
  ++soft3d::g_live_devices;
  world_ = view_ = projection_ = soft3d::Identity();
  // The device's own defaults, before any caller sets a state.
  render_[D3DRENDERSTATE_TEXTUREADDRESS] = D3DTADDRESS_WRAP;
  render_[D3DRENDERSTATE_TEXTUREADDRESSU] = D3DTADDRESS_WRAP;
  render_[D3DRENDERSTATE_TEXTUREADDRESSV] = D3DTADDRESS_WRAP;
  render_[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = hal ? 1 : 0;
  render_[D3DRENDERSTATE_ZENABLE] = zbuffer_ ? 1 : 0;
  render_[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
  render_[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
  render_[D3DRENDERSTATE_ROP2] = 13;
  render_[D3DRENDERSTATE_PLANEMASK] = 0xFFFFFFFF;
  render_[D3DRENDERSTATE_ZWRITEENABLE] = 1;
  render_[D3DRENDERSTATE_LASTPIXEL] = 1;
  render_[D3DRENDERSTATE_TEXTUREMAG] = D3DFILTER_NEAREST;
  render_[D3DRENDERSTATE_TEXTUREMIN] = D3DFILTER_NEAREST;
  render_[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
  render_[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
  render_[D3DRENDERSTATE_TEXTUREMAPBLEND] = D3DTBLEND_MODULATE;
  render_[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
  render_[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
  render_[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
  render_[D3DRENDERSTATE_FOGTABLEEND] = D3DFloatBits(1.0f);
  render_[D3DRENDERSTATE_FOGTABLEDENSITY] = D3DFloatBits(1.0f);
  light_[D3DLIGHTSTATE_COLORMODEL] = D3DCOLOR_RGB;
  light_[D3DLIGHTSTATE_FOGEND] = D3DFloatBits(1.0f);
  light_[D3DLIGHTSTATE_FOGDENSITY] = D3DFloatBits(1.0f);
}

IDirect3DDevice2::~IDirect3DDevice2() {
  for (IDirect3DViewport2* v : viewports_) {
    v->device_ = nullptr;
    v->Release();
  }
  for (IDirectDrawSurface* t : textures_)
    if (t) t->Release();
  if (zbuffer_) zbuffer_->Release();
  target_->Release();
  --soft3d::g_live_devices;
}

void IDirect3DDevice2::PruneTextures() {
  const DWORD selected = render_[D3DRENDERSTATE_TEXTUREHANDLE];
  for (size_t i = 0; i < textures_.size(); ++i) {
    IDirectDrawSurface* t = textures_[i];
    if (t && i + 1 != selected && soft3d::OnlyOwner(t)) {
      t->Release();
      textures_[i] = nullptr;
    }
  }
}

IDirectDrawSurface* IDirect3DDevice2::TextureOf(D3DTEXTUREHANDLE h) const {
  if (h == 0 || h > textures_.size()) return nullptr;
  return textures_[h - 1];
}

HRESULT IDirect3DDevice2::GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) {
  if (!hal || !hel || hal->dwSize != sizeof(D3DDEVICEDESC) || hel->dwSize != sizeof(D3DDEVICEDESC))
    return D3DERR_INVALIDPARAMS;
  if (hal_) {
    soft3d::FillDesc(*hal, true);
  } else {
    std::memset(hal, 0, sizeof *hal);
    hal->dwSize = sizeof *hal;
  }
  soft3d::FillDesc(*hel, false);
  return D3D_OK;
}

HRESULT IDirect3DDevice2::EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK callback, void* context) {
  if (!callback) return D3DERR_INVALIDPARAMS;
  for (int bpp : {8, 16, 24, 32}) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_PIXELFORMAT;
    d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    ddraw::ToDdPixelFormat(ddraw::FormatOfDepth(bpp), &d.ddpfPixelFormat);
    if (callback(&d, context) == DDENUMRET_CANCEL) break;
  }
  return D3D_OK;
}

HRESULT IDirect3DDevice2::BeginScene() {
  if (in_scene_) return D3DERR_SCENE_IN_SCENE;
  if (target_->IsLost() != DD_OK) return DDERR_SURFACELOST;
  in_scene_ = true;
  PruneTextures();
  return D3D_OK;
}

HRESULT IDirect3DDevice2::EndScene() {
  if (!in_scene_) return D3DERR_SCENE_NOT_IN_SCENE;
  in_scene_ = false;
  return D3D_OK;
}

HRESULT IDirect3DDevice2::AddViewport(IDirect3DViewport2* v) {
  if (!v || v->device_) return D3DERR_INVALIDPARAMS;
  v->AddRef();
  v->device_ = this;
  viewports_.push_back(v);
  return D3D_OK;
}

HRESULT IDirect3DDevice2::DeleteViewport(IDirect3DViewport2* v) {
  auto it = std::find(viewports_.begin(), viewports_.end(), v);
  if (!v || it == viewports_.end()) return D3DERR_INVALIDPARAMS;
  viewports_.erase(it);
  if (current_ == v) current_ = nullptr;
  v->device_ = nullptr;
  v->Release();
  return D3D_OK;
}

HRESULT IDirect3DDevice2::SetCurrentViewport(IDirect3DViewport2* v) {
  if (!v || v->device_ != this) return D3DERR_INVALIDPARAMS;
  current_ = v;
  return D3D_OK;
}

HRESULT IDirect3DDevice2::GetCurrentViewport(IDirect3DViewport2** v) {
  if (!v) return D3DERR_INVALIDPARAMS;
  *v = current_;
  if (!current_) return D3DERR_INVALIDPARAMS;
  current_->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DDevice2::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state == 0 || state >= kD3DRenderStateCount || state == 42) return D3DERR_INVALIDPARAMS;
  ++state_sets_;
  render_[state] = value;
  if (state == D3DRENDERSTATE_TEXTUREADDRESS) {
    render_[D3DRENDERSTATE_TEXTUREADDRESSU] = value;
    render_[D3DRENDERSTATE_TEXTUREADDRESSV] = value;
  }
  return D3D_OK;
}

HRESULT IDirect3DDevice2::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (!value || state == 0 || state >= kD3DRenderStateCount || state == 42) return D3DERR_INVALIDPARAMS;
  *value = state == D3DRENDERSTATE_TEXTUREADDRESS ? render_[D3DRENDERSTATE_TEXTUREADDRESSU] : render_[state];
  return D3D_OK;
}

HRESULT IDirect3DDevice2::SetLightState(D3DLIGHTSTATETYPE state, DWORD value) {
  if (state == 0 || state >= kD3DLightStateCount) return D3DERR_INVALIDPARAMS;
  light_[state] = value;
  return D3D_OK;
}

HRESULT IDirect3DDevice2::GetLightState(D3DLIGHTSTATETYPE state, DWORD* value) {
  if (!value || state == 0 || state >= kD3DLightStateCount) return D3DERR_INVALIDPARAMS;
  *value = light_[state];
  return D3D_OK;
}

HRESULT IDirect3DDevice2::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* m) {
  if (!m) return D3DERR_INVALIDPARAMS;
  switch (state) {
    case D3DTRANSFORMSTATE_WORLD: world_ = *m; return D3D_OK;
    case D3DTRANSFORMSTATE_VIEW: view_ = *m; return D3D_OK;
    case D3DTRANSFORMSTATE_PROJECTION: projection_ = *m; return D3D_OK;
  }
  return D3DERR_INVALIDPARAMS;
}

HRESULT IDirect3DDevice2::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* m) {
  if (!m) return D3DERR_INVALIDPARAMS;
  switch (state) {
    case D3DTRANSFORMSTATE_WORLD: *m = world_; return D3D_OK;
    case D3DTRANSFORMSTATE_VIEW: *m = view_; return D3D_OK;
    case D3DTRANSFORMSTATE_PROJECTION: *m = projection_; return D3D_OK;
  }
  return D3DERR_INVALIDPARAMS;
}

HRESULT IDirect3DDevice2::GetRenderTarget(IDirectDrawSurface** out) {
  if (!out) return D3DERR_INVALIDPARAMS;
  target_->AddRef();
  *out = target_;
  return D3D_OK;
}
