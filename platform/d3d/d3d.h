// The Direct3D immediate-mode stand-in: soft3d, a software device that renders
// into a DirectDraw surface (the back buffer) and the depth buffer attached to
// it. It transforms, lights, clips at the near and far planes, culls, and fills
// pixels by the rules of raster.h.
//
// By default it is a software (RGB) device only: creating the hardware (HAL)
// device fails and its description is empty, so the layer's effect flags stay
// 0. soft3d::SetHardware(true) makes it report a hardware device with blend
// capabilities as well, so that the Direct3D paths of the effects run.
//
// What the descriptions do not report is not done: specular highlights,
// dithering, stippled alpha, antialiasing, mip-maps, filtering other than
// nearest, fog other than linear table fog (range fog is taken as depth fog),
// and clearing the target through a viewport.
//
// Objects are reference counted (AddRef / Release) plain classes, not COM.
// "Querying" a DirectDraw object for IDirect3D2 and a texture surface for
// IDirect3DTexture2 are the functions Direct3DFromDirectDraw and
// Direct3DTextureOf.
#pragma once

#include <vector>

#include "platform/d3d/d3dtypes.h"
#include "platform/ddraw/ddraw.h"

struct IDirect3D2;
struct IDirect3DDevice2;
struct IDirect3DViewport2;
struct IDirect3DMaterial2;
struct IDirect3DLight;
struct IDirect3DTexture2;
using LPDIRECT3D2 = IDirect3D2*;
using LPDIRECT3DDEVICE2 = IDirect3DDevice2*;
using LPDIRECT3DVIEWPORT2 = IDirect3DViewport2*;
using LPDIRECT3DMATERIAL2 = IDirect3DMaterial2*;
using LPDIRECT3DLIGHT = IDirect3DLight*;
using LPDIRECT3DTEXTURE2 = IDirect3DTexture2*;
using LPD3DENUMTEXTUREFORMATSCALLBACK = HRESULT (*)(DDSURFACEDESC* format, void* context);


// Device kinds for CreateDevice.
extern const GUID IID_IDirect3DHALDevice;
extern const GUID IID_IDirect3DRGBDevice;

namespace soft3d {
class Device;
// A reference count for the Direct3D objects.
struct Object {
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  ULONG AddRef() { return ++refs_; }
  ULONG Release();

 protected:
  virtual ~Object() = default;

 private:
  ULONG refs_ = 1;
};
}  // namespace soft3d

struct IDirect3D2 : soft3d::Object {
  // A device of the kind `id` rendering into `target` (which needs
  // DDSCAPS_3DDEVICE) and into the depth buffer attached to it with
  // D3DAttachDepthBuffer, if any.
  HRESULT CreateDevice(REFCLSID id, IDirectDrawSurface* target, IDirect3DDevice2** out);
  HRESULT CreateViewport(IDirect3DViewport2** out, IUnknown* outer);
  HRESULT CreateMaterial(IDirect3DMaterial2** out, IUnknown* outer);
  HRESULT CreateLight(IDirect3DLight** out, IUnknown* outer);

 protected:
  ~IDirect3D2() override;
};

// One material; its handle names it in the MATERIAL light state.
struct IDirect3DMaterial2 : soft3d::Object {
  IDirect3DMaterial2();
  HRESULT SetMaterial(const D3DMATERIAL* m);
  HRESULT GetMaterial(D3DMATERIAL* m);
  HRESULT GetHandle(IDirect3DDevice2* device, D3DMATERIALHANDLE* out);
  const D3DMATERIAL& data() const { return data_; }

 protected:
  ~IDirect3DMaterial2() override;

 private:
  D3DMATERIAL data_{};
  D3DMATERIALHANDLE handle_;
};

struct IDirect3DLight : soft3d::Object {
  HRESULT SetLight(const D3DLIGHT2* l);
  HRESULT GetLight(D3DLIGHT2* l);
  const D3DLIGHT2& data() const { return data_; }

 private:
  friend struct IDirect3DViewport2;
  D3DLIGHT2 data_{};
  IDirect3DViewport2* viewport_ = nullptr;  // the one viewport it lights
};

struct IDirect3DViewport2 : soft3d::Object {
  HRESULT SetViewport2(const D3DVIEWPORT2* v);
  HRESULT GetViewport2(D3DVIEWPORT2* v);
  // D3DCLEAR_ZBUFFER: the depth buffer over the rectangles, to the far plane.
  // There is no background material, so D3DCLEAR_TARGET is refused.
  HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags);
  HRESULT AddLight(IDirect3DLight* light);
  HRESULT DeleteLight(IDirect3DLight* light);

  const D3DVIEWPORT2& data() const { return data_; }
  bool has_data() const { return set_; }
  const std::vector<IDirect3DLight*>& lights() const { return lights_; }

 protected:
  ~IDirect3DViewport2() override;

 private:
  friend struct IDirect3DDevice2;
  D3DVIEWPORT2 data_{};
  bool set_ = false;
  IDirect3DDevice2* device_ = nullptr;  // not owned
  std::vector<IDirect3DLight*> lights_;
};

// The Direct3D face of a texture surface (DDSCAPS_TEXTURE).
struct IDirect3DTexture2 : soft3d::Object {
  explicit IDirect3DTexture2(IDirectDrawSurface* s);
  // The handle by which `device` names this texture in TEXTUREHANDLE; it stays
  // valid while the surface lives.
  HRESULT GetHandle(IDirect3DDevice2* device, D3DTEXTUREHANDLE* out);
  // Copies the pixels of `src` (same size and depth).
  HRESULT Load(IDirect3DTexture2* src);
  IDirectDrawSurface* surface() const { return surface_; }

 protected:
  ~IDirect3DTexture2() override;

 private:
  IDirectDrawSurface* surface_;
};

struct IDirect3DDevice2 : soft3d::Object {
  HRESULT GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel);
  HRESULT EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK callback, void* context);
  HRESULT BeginScene();
  HRESULT EndScene();
  HRESULT AddViewport(IDirect3DViewport2* v);
  HRESULT DeleteViewport(IDirect3DViewport2* v);
  HRESULT SetCurrentViewport(IDirect3DViewport2* v);
  HRESULT GetCurrentViewport(IDirect3DViewport2** v);
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value);
  HRESULT SetLightState(D3DLIGHTSTATETYPE state, DWORD value);
  HRESULT GetLightState(D3DLIGHTSTATETYPE state, DWORD* value);
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* m);
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* m);
  // Inside a scene only. Vertices of the type given; indices must lie below
  // the vertex count (a call with one that does not draws nothing).
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vtype, const void* vertices, DWORD count,
                        DWORD flags);
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vtype, const void* vertices,
                               DWORD vcount, const WORD* indices, DWORD icount, DWORD flags);
  HRESULT GetRenderTarget(IDirectDrawSurface** out);

  // --- For tests ---
  bool hardware() const { return hal_; }
  bool in_scene() const { return in_scene_; }
  // Number of SetRenderState calls that reached the device.
  int render_state_sets() const { return state_sets_; }
  IDirectDrawSurface* depth_buffer() const { return zbuffer_; }

  IDirect3DDevice2(bool hal, IDirectDrawSurface* target, IDirectDrawSurface* zbuffer);

 protected:
  ~IDirect3DDevice2() override;

 private:
  friend struct IDirect3DTexture2;
  friend class soft3d::Device;
  bool hal_;
  IDirectDrawSurface* target_;
  IDirectDrawSurface* zbuffer_;
  bool in_scene_ = false;
  int state_sets_ = 0;
  DWORD render_[kD3DRenderStateCount] = {};
  DWORD light_[kD3DLightStateCount] = {};
  D3DMATRIX world_, view_, projection_;
  std::vector<IDirect3DViewport2*> viewports_;
  IDirect3DViewport2* current_ = nullptr;
  std::vector<IDirectDrawSurface*> textures_;  // by handle - 1, each with a reference
  void PruneTextures();
  IDirectDrawSurface* TextureOf(D3DTEXTUREHANDLE h) const;
};

// The Direct3D object of a DirectDraw object.
HRESULT Direct3DFromDirectDraw(IDirectDraw* dd, IDirect3D2** out);
// The texture interface of a texture surface; E_NOINTERFACE for other surfaces.
HRESULT Direct3DTextureOf(IDirectDrawSurface* s, IDirect3DTexture2** out);
// Attaches a depth buffer (DDSCAPS_ZBUFFER) to a render target, where the
// devices made on that target find it.
HRESULT D3DAttachDepthBuffer(IDirectDrawSurface* target, IDirectDrawSurface* zbuffer);

namespace soft3d {

// --- Settings for tests ---
// Report and create a hardware device with blend capabilities (off by default).
void SetHardware(bool on);
// Depths (DDBD_ bits) offered for depth buffers by the hardware and the
// emulation descriptions (defaults: none and DDBD_16 | DDBD_32).
void SetDepthBufferDepths(DWORD hal, DWORD hel);
// Report ZBUFFERLESSHSR: the device needs no depth buffer.
void SetNoDepthBufferNeeded(bool on);
// Refuse Direct3DFromDirectDraw.
void RefuseDirect3D(bool refuse);
// Let the next n device creations succeed, then refuse every one (-1: no limit).
void LimitDeviceCreations(int n);
// Number of devices alive (leak checks).
int LiveDevices();
// Every setting back to its default.
void ResetForTests();

}  // namespace soft3d
