// The software Direct3D device on DirectDraw surfaces: kinds and descriptions,
// transforms through the viewport, culling, near-plane clipping, lighting,
// depth buffers, texture handles and fog by memory kind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/d3d/d3d.h"
#include "platform/host/headless_host.h"
#include "tests/common/surfaces.h"

namespace {

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&host_);
    ddraw::ResetForTests();
    soft3d::ResetForTests();
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd_, nullptr), DD_OK);
    ASSERT_EQ(Direct3DFromDirectDraw(dd_, &d3d_), D3D_OK);
  }
  void TearDown() override {
    if (vp_) vp_->Release();
    if (dev_) dev_->Release();
    if (zb_) zb_->Release();
    if (bb_) bb_->Release();
    d3d_->Release();
    dd_->Release();
    soft3d::ResetForTests();
    EXPECT_EQ(soft3d::LiveDevices(), 0);
    EXPECT_EQ(ddraw::LiveSurfaces(), 0);
    ddraw::ResetForTests();
    host::set(nullptr);
  }

  IDirectDrawSurface* Make(int w, int h, int bpp, DWORD caps) { return testcommon::MakeSurface(dd_, w, h, bpp, caps); }
  IDirectDrawSurface* MakeZ(int w, int h, int bits) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = static_cast<DWORD>(h);
    d.dwZBufferBitDepth = static_cast<DWORD>(bits);
    d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface* s = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
    return s;
  }

  // A 32-bit back buffer of w x h with a 16-bit depth buffer, a device on it
  // and a viewport whose clip space is -1..1 on both axes.
  void MakeDevice(int w = 64, int h = 64, DWORD memory = DDSCAPS_SYSTEMMEMORY) {
    bb_ = Make(w, h, 32, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | memory);
    zb_ = MakeZ(w, h, 16);
    ASSERT_EQ(D3DAttachDepthBuffer(bb_, zb_), DD_OK);
    ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DRGBDevice, bb_, &dev_), D3D_OK);
    ASSERT_EQ(d3d_->CreateViewport(&vp_, nullptr), D3D_OK);
    ASSERT_EQ(dev_->AddViewport(vp_), D3D_OK);
    D3DVIEWPORT2 v{};
    v.dwSize = sizeof v;
    v.dwWidth = static_cast<DWORD>(w);
    v.dwHeight = static_cast<DWORD>(h);
    v.dvClipX = -1;
    v.dvClipY = 1;
    v.dvClipWidth = 2;
    v.dvClipHeight = 2;
    v.dvMinZ = 0;
    v.dvMaxZ = 1;
    ASSERT_EQ(vp_->SetViewport2(&v), D3D_OK);
    ASSERT_EQ(dev_->SetCurrentViewport(vp_), D3D_OK);
    D3DRECT all = {0, 0, w, h};
    ASSERT_EQ(vp_->Clear(1, &all, D3DCLEAR_ZBUFFER), D3D_OK);
    dev_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(dev_->BeginScene(), D3D_OK);
  }

  uint32_t At(int x, int y) {
    platform::PixelBuffer pb = bb_->pixels();
    uint32_t v;
    std::memcpy(&v, pb.bits + y * pb.pitch + x * 4, 4);
    return v & 0xFFFFFF;
  }
  int Count(uint32_t value) {
    int n = 0;
    for (int y = 0; y < bb_->height(); ++y)
      for (int x = 0; x < bb_->width(); ++x) n += At(x, y) == value;
    return n;
  }

  // A square in the plane z of clip space (projection identity), side 2s.
  HRESULT Square(float s, float z, D3DCOLOR c, bool clockwise = true) {
    D3DLVERTEX v[4] = {{-s, s, z, 0, c, 0, 0, 0}, {s, s, z, 0, c, 0, 1, 0}, {s, -s, z, 0, c, 0, 1, 1},
                       {-s, -s, z, 0, c, 0, 0, 1}};
    if (!clockwise) std::swap(v[1], v[3]);
    return dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_LVERTEX, v, 4, 0);
  }

  host::HeadlessHost host_;
  IDirectDraw* dd_ = nullptr;
  IDirect3D2* d3d_ = nullptr;
  IDirectDrawSurface* bb_ = nullptr;
  IDirectDrawSurface* zb_ = nullptr;
  IDirect3DDevice2* dev_ = nullptr;
  IDirect3DViewport2* vp_ = nullptr;
};

TEST_F(DeviceTest, SoftwareByDefaultHardwareWhenAsked) {
  IDirectDrawSurface* bb = Make(8, 8, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
  IDirect3DDevice2* dev = nullptr;
  EXPECT_NE(d3d_->CreateDevice(IID_IDirect3DHALDevice, bb, &dev), D3D_OK);
  ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DRGBDevice, bb, &dev), D3D_OK);
  D3DDEVICEDESC hal{}, hel{};
  hal.dwSize = hel.dwSize = sizeof(D3DDEVICEDESC);
  ASSERT_EQ(dev->GetCaps(&hal, &hel), D3D_OK);
  EXPECT_EQ(hal.dcmColorModel, 0u);
  EXPECT_EQ(hel.dcmColorModel, static_cast<DWORD>(D3DCOLOR_RGB));
  EXPECT_EQ(hel.dpcTriCaps.dwShadeCaps & D3DPSHADECAPS_ALPHAFLATBLEND, 0u);
  EXPECT_EQ(hel.dwDeviceZBufferBitDepth, DDBD_16 | DDBD_32);
  dev->Release();

  soft3d::SetHardware(true);
  ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DHALDevice, bb, &dev), D3D_OK);
  ASSERT_EQ(dev->GetCaps(&hal, &hel), D3D_OK);
  EXPECT_EQ(hal.dcmColorModel, static_cast<DWORD>(D3DCOLOR_RGB));
  EXPECT_NE(hal.dpcTriCaps.dwShadeCaps & D3DPSHADECAPS_ALPHAFLATBLEND, 0u);
  EXPECT_NE(hal.dpcTriCaps.dwSrcBlendCaps & D3DPBLENDCAPS_INVDESTCOLOR, 0u);
  EXPECT_NE(hal.dpcTriCaps.dwTextureBlendCaps & D3DPTBLENDCAPS_MODULATE, 0u);
  dev->Release();

  // A surface without the 3-D capability takes no device.
  IDirectDrawSurface* plain = Make(8, 8, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
  EXPECT_NE(d3d_->CreateDevice(IID_IDirect3DRGBDevice, plain, &dev), D3D_OK);
  plain->Release();
  bb->Release();
}

TEST_F(DeviceTest, ViewportMapsClipSpaceAndScissors) {
  MakeDevice();
  ASSERT_EQ(Square(0.5f, 0.5f, 0xFF112233), D3D_OK);
  // -0.5..0.5 of -1..1 on 64 pixels: 16..47.
  EXPECT_EQ(Count(0x112233), 32 * 32);
  EXPECT_EQ(At(16, 16), 0x112233u);
  EXPECT_EQ(At(47, 47), 0x112233u);
  EXPECT_EQ(At(15, 16), 0u);
  EXPECT_EQ(At(48, 47), 0u);
  // A square larger than the clip space is cut at the viewport's rectangle.
  D3DVIEWPORT2 v;
  ASSERT_EQ(vp_->GetViewport2(&v), D3D_OK);
  v.dwX = 8, v.dwY = 4, v.dwWidth = 20, v.dwHeight = 10;
  ASSERT_EQ(vp_->SetViewport2(&v), D3D_OK);
  ASSERT_EQ(Square(5, 0.25f, 0xFF445566), D3D_OK);
  EXPECT_EQ(Count(0x445566), 20 * 10);
  EXPECT_EQ(At(8, 4), 0x445566u);
  EXPECT_EQ(At(27, 13), 0x445566u);
}

TEST_F(DeviceTest, CullingByWindingOnTheScreen) {
  MakeDevice();
  dev_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
  Square(0.5f, 0.5f, 0xFF0000FF, true);
  EXPECT_EQ(Count(0x0000FF), 32 * 32);  // clockwise on the screen: drawn
  Square(0.5f, 0.4f, 0xFF00FF00, false);
  EXPECT_EQ(Count(0x00FF00), 0);  // counter-clockwise: culled
  dev_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
  Square(0.5f, 0.3f, 0xFF00FF00, false);
  EXPECT_EQ(Count(0x00FF00), 32 * 32);
  Square(0.25f, 0.2f, 0xFFFF0000, true);
  EXPECT_EQ(Count(0xFF0000), 0);
}

TEST_F(DeviceTest, NearPlaneClippingDrawsOnlyWhatIsInFront) {
  MakeDevice();
  // A perspective projection (w = eye z, depth 0 at z = 1): a floor strip
  // running from behind the eye to far away.
  D3DMATRIX p{};
  p._11 = p._22 = 1;
  p._33 = 1;
  p._34 = 1;
  p._43 = -1;
  dev_->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &p);
  const D3DCOLOR c = 0xFF808080;
  D3DLVERTEX v[4] = {{-1, -1, -5, 0, c, 0, 0, 0}, {-1, -1, 50, 0, c, 0, 0, 0}, {1, -1, 50, 0, c, 0, 0, 0},
                     {1, -1, -5, 0, c, 0, 0, 0}};
  ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_LVERTEX, v, 4, 0), D3D_OK);
  // In front: the floor from z = 1 (the bottom edge) to z = 50 (just below the middle).
  EXPECT_EQ(At(32, 63), 0x808080u);
  EXPECT_EQ(At(32, 33), 0x808080u);
  EXPECT_EQ(At(32, 30), 0u);
  int drawn = Count(0x808080);
  EXPECT_GT(drawn, 300);
  EXPECT_LT(drawn, 64 * 32);
  // Entirely behind the eye: nothing.
  D3DLVERTEX behind[3] = {{-1, -1, -5, 0, 0xFFFFFFFF, 0, 0, 0}, {1, -1, -5, 0, 0xFFFFFFFF, 0, 0, 0},
                          {0, 1, -3, 0, 0xFFFFFFFF, 0, 0, 0}};
  ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_LVERTEX, behind, 3, 0), D3D_OK);
  EXPECT_EQ(Count(0xFFFFFF), 0);
}

TEST_F(DeviceTest, LightingEmissiveAmbientAndADirectionalLight) {
  MakeDevice();
  IDirect3DMaterial2* mat = nullptr;
  ASSERT_EQ(d3d_->CreateMaterial(&mat, nullptr), D3D_OK);
  D3DMATERIAL m{};
  m.dwSize = sizeof m;
  m.diffuse = {0.5f, 0.5f, 0.5f, 1};
  m.ambient = {1, 0.5f, 0, 1};
  m.emissive = {0.25f, 0, 0, 0};
  ASSERT_EQ(mat->SetMaterial(&m), D3D_OK);
  D3DMATERIALHANDLE h = 0;
  ASSERT_EQ(mat->GetHandle(dev_, &h), D3D_OK);
  dev_->SetLightState(D3DLIGHTSTATE_MATERIAL, h);
  dev_->SetLightState(D3DLIGHTSTATE_AMBIENT, 0xFF808080);
  dev_->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
  auto quad = [&](float z) {
    D3DVERTEX v[4] = {{-1, 1, z, 0, 0, -1, 0, 0}, {1, 1, z, 0, 0, -1, 0, 0}, {1, -1, z, 0, 0, -1, 0, 0},
                      {-1, -1, z, 0, 0, -1, 0, 0}};
    return dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_VERTEX, v, 4, 0);
  };
  ASSERT_EQ(quad(0.9f), D3D_OK);
  // r = 0.25 + 0.50196 * 1, g = 0.50196 * 0.5, b = 0.
  auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::min(v, 1.0) * 255)); };
  const double a = 128 / 255.0;
  EXPECT_EQ(At(32, 32), byte(0.25 + a) << 16 | byte(a * 0.5) << 8);
  // A white light shining along +z onto a face whose normal is -z: + 0.5 diffuse.
  IDirect3DLight* light = nullptr;
  ASSERT_EQ(d3d_->CreateLight(&light, nullptr), D3D_OK);
  D3DLIGHT2 l{};
  l.dwSize = sizeof l;
  l.dltType = D3DLIGHT_DIRECTIONAL;
  l.dcvColor = {1, 1, 1, 1};
  l.dvDirection = {0, 0, 1};
  l.dwFlags = D3DLIGHT_ACTIVE;
  ASSERT_EQ(light->SetLight(&l), D3D_OK);
  ASSERT_EQ(vp_->AddLight(light), D3D_OK);
  EXPECT_EQ(vp_->AddLight(light), D3DERR_LIGHTHASVIEWPORT);
  ASSERT_EQ(quad(0.8f), D3D_OK);
  EXPECT_EQ(At(32, 32), byte(0.25 + a + 0.5) << 16 | byte(a * 0.5 + 0.5) << 8 | byte(0.5));
  ASSERT_EQ(vp_->DeleteLight(light), D3D_OK);
  light->Release();
  mat->Release();
}

TEST_F(DeviceTest, VertexAlphaIsHeldToTheUnitRange) {
  MakeDevice();
  IDirect3DMaterial2* mat = nullptr;
  d3d_->CreateMaterial(&mat, nullptr);
  D3DMATERIAL m{};
  m.dwSize = sizeof m;
  m.emissive = {1, 1, 1, 0};
  m.diffuse = {0, 0, 0, 3.0f};  // beyond 1: opaque, not wrapped
  mat->SetMaterial(&m);
  D3DMATERIALHANDLE h;
  mat->GetHandle(dev_, &h);
  dev_->SetLightState(D3DLIGHTSTATE_MATERIAL, h);
  dev_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  dev_->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
  dev_->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
  D3DVERTEX v[3] = {{-1, 1, 0.5f, 0, 0, -1, 0, 0}, {1, 1, 0.5f, 0, 0, -1, 0, 0}, {-1, -1, 0.5f, 0, 0, -1, 0, 0}};
  dev_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_VERTEX, v, 3, 0);
  EXPECT_EQ(At(2, 2), 0xFFFFFFu);
  m.diffuse.a = -2.0f;  // below 0: invisible
  m.emissive = {0, 1, 0, 0};
  mat->SetMaterial(&m);
  dev_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_VERTEX, v, 3, 0);
  EXPECT_EQ(At(2, 2), 0xFFFFFFu);
  mat->Release();
}

TEST_F(DeviceTest, DepthBufferClearedThroughTheViewport) {
  MakeDevice();
  dev_->SetRenderState(D3DRENDERSTATE_ZENABLE, 1);
  Square(0.5f, 0.3f, 0xFF0000FF);
  Square(0.75f, 0.6f, 0xFF00FF00);  // behind the first
  EXPECT_EQ(At(32, 32), 0x0000FFu);
  EXPECT_EQ(At(10, 10), 0x00FF00u);
  D3DRECT all = {0, 0, 64, 64};
  ASSERT_EQ(vp_->Clear(1, &all, D3DCLEAR_ZBUFFER), D3D_OK);
  EXPECT_EQ(vp_->Clear(1, &all, D3DCLEAR_TARGET), D3DERR_INVALIDPARAMS);
  Square(0.75f, 0.6f, 0xFF00FF00);
  EXPECT_EQ(At(32, 32), 0x00FF00u);
}

TEST_F(DeviceTest, CallsOutsideAScene) {
  MakeDevice();
  ASSERT_EQ(dev_->EndScene(), D3D_OK);
  EXPECT_EQ(Square(0.5f, 0.5f, 0xFFFFFFFF), D3DERR_SCENE_NOT_IN_SCENE);
  EXPECT_EQ(Count(0xFFFFFF), 0);
  EXPECT_EQ(dev_->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
  ASSERT_EQ(dev_->BeginScene(), D3D_OK);
  EXPECT_EQ(dev_->BeginScene(), D3DERR_SCENE_IN_SCENE);
}

TEST_F(DeviceTest, IndicesBeyondTheVerticesDrawNothing) {
  MakeDevice();
  D3DLVERTEX v[3] = {{-1, 1, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0}, {1, 1, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                     {-1, -1, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0}};
  const WORD bad[6] = {0, 1, 2, 0, 2, 3};
  EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DVT_LVERTEX, v, 3, bad, 6, 0), D3DERR_INVALIDPARAMS);
  EXPECT_EQ(Count(0xFFFFFF), 0);
  EXPECT_EQ(dev_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DVT_LVERTEX, v, 3, bad, 3, 0), D3D_OK);
  EXPECT_GT(Count(0xFFFFFF), 0);
}

TEST_F(DeviceTest, TextureHandlesLiveWhileTheirSurfaces) {
  MakeDevice();
  IDirectDrawSurface* plain = Make(4, 4, 32, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
  IDirect3DTexture2* t = nullptr;
  EXPECT_EQ(Direct3DTextureOf(plain, &t), E_NOINTERFACE);
  plain->Release();
  IDirectDrawSurface* ts = Make(4, 4, 32, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
  // Texel (1, 1) is 0: not drawn.
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0xABCDEF;
  ts->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  RECT hole = {1, 1, 2, 2};
  fx.dwFillColor = 0;
  ts->Blt(&hole, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  ASSERT_EQ(Direct3DTextureOf(ts, &t), D3D_OK);
  D3DTEXTUREHANDLE h1 = 0, h2 = 0;
  ASSERT_EQ(t->GetHandle(dev_, &h1), D3D_OK);
  ASSERT_EQ(t->GetHandle(dev_, &h2), D3D_OK);
  EXPECT_NE(h1, 0u);
  EXPECT_EQ(h1, h2);
  dev_->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, h1);
  dev_->SetRenderState(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_DECAL);
  dev_->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
  D3DTLVERTEX v[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0, 0}, {4, 0, 0.5f, 1, 0xFFFFFFFF, 0, 1, 0},
                      {4, 4, 0.5f, 1, 0xFFFFFFFF, 0, 1, 1}, {0, 4, 0.5f, 1, 0xFFFFFFFF, 0, 0, 1}};
  ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_TLVERTEX, v, 4, D3DDP_DONOTCLIP), D3D_OK);
  EXPECT_EQ(Count(0xABCDEF), 15);
  EXPECT_EQ(At(1, 1), 0u);
  // Released by everyone else, the surface goes once no longer selected.
  t->Release();
  ts->Release();
  dev_->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
  dev_->EndScene();
  dev_->BeginScene();
  dev_->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, h1);  // stale: draws untextured
  ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_TLVERTEX, v, 4, D3DDP_DONOTCLIP), D3D_OK);
  EXPECT_EQ(At(1, 1), 0xFFFFFFu);
}

TEST_F(DeviceTest, FogRunsOnEyeDistanceInVideoMemory) {
  MakeDevice(16, 16, DDSCAPS_VIDEOMEMORY);
  dev_->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
  dev_->SetRenderState(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_LINEAR);
  dev_->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0xFF0000);
  dev_->SetRenderState(D3DRENDERSTATE_FOGTABLESTART, D3DFloatBits(10.0f));
  dev_->SetRenderState(D3DRENDERSTATE_FOGTABLEEND, D3DFloatBits(30.0f));
  // rhw 1/20: halfway between start and end; device depth 0.1 plays no part.
  D3DTLVERTEX v[4] = {{0, 0, 0.1f, 0.05f, 0xFF0000FF, 0, 0, 0}, {16, 0, 0.1f, 0.05f, 0xFF0000FF, 0, 0, 0},
                      {16, 16, 0.1f, 0.05f, 0xFF0000FF, 0, 0, 0}, {0, 16, 0.1f, 0.05f, 0xFF0000FF, 0, 0, 0}};
  ASSERT_EQ(dev_->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_TLVERTEX, v, 4, 0), D3D_OK);
  // F = round(0.5 * 255) = 128: red = round(127 * 255 / 255), blue = round(128 * 255 / 255).
  EXPECT_EQ(At(5, 5), 0x7F0080u);
}

TEST_F(DeviceTest, StatesTransformsAndDepthBufferQueries) {
  MakeDevice();
  DWORD v = 0;
  EXPECT_EQ(dev_->SetRenderState(D3DRENDERSTATE_TEXTUREADDRESS, D3DTADDRESS_CLAMP), D3D_OK);
  dev_->GetRenderState(D3DRENDERSTATE_TEXTUREADDRESSV, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_CLAMP));
  EXPECT_EQ(dev_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(200), 1), D3DERR_INVALIDPARAMS);
  D3DMATRIX m{};
  m._11 = 2;
  ASSERT_EQ(dev_->SetTransform(D3DTRANSFORMSTATE_VIEW, &m), D3D_OK);
  D3DMATRIX back{};
  ASSERT_EQ(dev_->GetTransform(D3DTRANSFORMSTATE_VIEW, &back), D3D_OK);
  EXPECT_EQ(back._11, 2.0f);
  EXPECT_EQ(dev_->depth_buffer(), zb_);
}

}  // namespace

namespace {

TEST_F(DeviceTest, PointAndSpotLightsFallOffAndEnd) {
  MakeDevice();
  IDirect3DMaterial2* mat = nullptr;
  d3d_->CreateMaterial(&mat, nullptr);
  D3DMATERIAL m{};
  m.dwSize = sizeof m;
  m.diffuse = {1, 1, 1, 1};
  mat->SetMaterial(&m);
  D3DMATERIALHANDLE h;
  mat->GetHandle(dev_, &h);
  dev_->SetLightState(D3DLIGHTSTATE_MATERIAL, h);
  dev_->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
  IDirect3DLight* light = nullptr;
  d3d_->CreateLight(&light, nullptr);
  vp_->AddLight(light);
  // One vertex at the origin facing -z decides the flat colour.
  auto draw = [&]() {
    D3DRECT all = {0, 0, 64, 64};
    vp_->Clear(1, &all, D3DCLEAR_ZBUFFER);
    D3DVERTEX v[3] = {{0, 0, 0, 0, 0, -1, 0, 0}, {1, 1, 0, 0, 0, -1, 0, 0}, {1, -1, 0, 0, 0, -1, 0, 0}};
    dev_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DVT_VERTEX, v, 3, 0);
    return At(40, 32) & 0xFF;
  };
  D3DLIGHT2 l{};
  l.dwSize = sizeof l;
  l.dltType = D3DLIGHT_POINT;
  l.dcvColor = {1, 1, 1, 1};
  l.dvPosition = {0, 0, -4};
  l.dvRange = 10;
  l.dvAttenuation0 = 1;
  l.dvAttenuation1 = 0.25f;  // 1 / (1 + 0.25 * 4) = 0.5
  l.dwFlags = D3DLIGHT_ACTIVE;
  light->SetLight(&l);
  EXPECT_EQ(draw(), 128u);
  l.dvRange = 3.5f;  // out of reach
  light->SetLight(&l);
  EXPECT_EQ(draw(), 0u);
  l.dwFlags = 0;  // switched off
  l.dvRange = 10;
  light->SetLight(&l);
  EXPECT_EQ(draw(), 0u);
  // A spot aimed at the vertex with a narrow cone, then aimed away.
  l.dwFlags = D3DLIGHT_ACTIVE;
  l.dltType = D3DLIGHT_SPOT;
  l.dvAttenuation1 = 0;
  l.dvDirection = {0, 0, 1};
  l.dvTheta = l.dvPhi = 0.2f;
  light->SetLight(&l);
  EXPECT_EQ(draw(), 255u);
  l.dvDirection = {1, 0, 1};
  light->SetLight(&l);
  EXPECT_EQ(draw(), 0u);
  vp_->DeleteLight(light);
  light->Release();
  mat->Release();
}

}  // namespace
