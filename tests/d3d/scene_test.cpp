// The layer's 3-D device on a started display: set-up, effect flags, depth
// buffers, states, fog, lights, scenes and the depth-sorted draw queue.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "dx/dx.h"
#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/host/headless_host.h"
#include "platform/win32/display.h"

namespace {

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&host_);
    host_.set_catch_exits(true);
    ddraw::ResetForTests();
    soft3d::ResetForTests();
  }
  void TearDown() override {
    dx::dxexceptionmode = false;
    dxrelease();
    EXPECT_EQ(dxd3ddevice, nullptr);
    EXPECT_EQ(soft3d::LiveDevices(), 0);
    soft3d::ResetForTests();
    EXPECT_EQ(ddraw::LiveSurfaces(), 0);
    ddraw::ResetForTests();
    win32::SetDesktopDepth(32);
    host::set(nullptr);
  }
  void Start(int depth = 32) {
    win32::SetDesktopDepth(depth);
    ASSERT_TRUE(dxinit("t", 640, 480, depth, false));
    ASSERT_TRUE(dxd3dinit());
  }
  static uint32_t Back(int x, int y) {
    platform::PixelBuffer pb = dxbackbuffer->pixels();
    uint32_t v = 0;
    std::memcpy(&v, pb.bits + y * pb.pitch + x * (pb.format.bpp / 8), static_cast<size_t>(pb.format.bpp / 8));
    return v;
  }
  static int Flags() {
    int n = 0;
    for (int i = 0; i < kEffectCaps; ++i) n |= dxeffectcaps[i] << i;
    return n;
  }

  host::HeadlessHost host_;
};

TEST_F(SceneTest, SoftwareDeviceDefaults) {
  Start(32);
  EXPECT_FALSE(dxhaldevice);
  EXPECT_EQ(Flags(), 0);  // every effect keeps its software path
  EXPECT_EQ(dxeffectflags, 0u);
  D3DMATRIX p, v;
  dxd3ddevice->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &p);
  EXPECT_NEAR(p._11, 0.92388, 1e-5);
  EXPECT_NEAR(p._22, 0.92388, 1e-5);
  EXPECT_NEAR(p._34, 0.38268, 1e-5);
  EXPECT_NEAR(p._33, 0.38268 / 0.999, 1e-5);
  EXPECT_FLOAT_EQ(p._43, -p._33);
  EXPECT_EQ(p._44, 0);
  dxd3ddevice->GetTransform(D3DTRANSFORMSTATE_VIEW, &v);
  EXPECT_FLOAT_EQ(v._43, 20);  // the eye at z -20
  D3DVIEWPORT2 vp;
  ASSERT_EQ(dxviewport->GetViewport2(&vp), D3D_OK);
  EXPECT_FLOAT_EQ(vp.dvClipX, -640.0f / 480);
  EXPECT_FLOAT_EQ(vp.dvClipWidth, 2 * 640.0f / 480);
  ASSERT_NE(dxzbuffer, nullptr);
  EXPECT_EQ(dxzbuffer->bpp(), 16);  // 16 and 32 offered: 16
  EXPECT_NE(dxzbuffer->caps() & DDSCAPS_SYSTEMMEMORY, 0u);
  EXPECT_EQ(dxd3ddevice->depth_buffer(), dxzbuffer);
  DWORD state = 0;
  dxd3ddevice->GetRenderState(D3DRENDERSTATE_BORDERCOLOR, &state);
  EXPECT_EQ(state, 0xFFFFFFu);
  dxd3ddevice->GetRenderState(D3DRENDERSTATE_TEXTUREMIN, &state);
  EXPECT_EQ(state, static_cast<DWORD>(D3DFILTER_NEAREST));
}

TEST_F(SceneTest, HardwareDeviceEffectFlags) {
  soft3d::SetHardware(true);
  soft3d::SetDepthBufferDepths(DDBD_32 | DDBD_24, DDBD_16);
  Start(16);
  EXPECT_TRUE(dxhaldevice);
  // All but 1 and 12 (no stippled alpha) and 7 (never).
  EXPECT_EQ(Flags(), 0x7FFF & ~(1 << 1 | 1 << 7 | 1 << 12));
  EXPECT_EQ(dxeffectflags, static_cast<DWORD>(Flags()));
  EXPECT_EQ(dxzbuffer->bpp(), 32);
  EXPECT_EQ(dxzbuffer->caps() & DDSCAPS_SYSTEMMEMORY, 0u);
  // A driver that forbids 2-D inside a scene: no flags, and the scene ends itself.
  dxddcaps.dwCaps2 |= DDCAPS2_NO2DDURING3DSCENE;
  ASSERT_TRUE(dxd3dinit());
  EXPECT_EQ(Flags(), 0);
  dxbeginscene();
  EXPECT_TRUE(dxd3ddevice->in_scene());
  dxendscene();
  EXPECT_FALSE(dxd3ddevice->in_scene());
  dxddcaps.dwCaps2 &= ~DDCAPS2_NO2DDURING3DSCENE;
  dxbeginscene();
  dxendscene();
  EXPECT_TRUE(dxd3ddevice->in_scene());  // left open for 2-D drawing
}

TEST_F(SceneTest, EightBitDisplayGetsNoFlagsAndNoDepthBufferWhenNotNeeded) {
  soft3d::SetHardware(true);
  Start(8);
  EXPECT_NE(Flags(), 0);
  soft3d::SetHardware(false);
  soft3d::SetNoDepthBufferNeeded(true);
  ASSERT_TRUE(dxd3dinit());
  EXPECT_EQ(Flags(), 0);
  EXPECT_EQ(dxzbuffer, nullptr);
}

TEST_F(SceneTest, FailuresLeaveNoDirect3D) {
  win32::SetDesktopDepth(32);
  ASSERT_TRUE(dxinit("t", 640, 480, 32, false));
  soft3d::RefuseDirect3D(true);
  EXPECT_FALSE(dxd3dinit());
  EXPECT_EQ(dxd3d, nullptr);
  soft3d::RefuseDirect3D(false);
  soft3d::LimitDeviceCreations(1);  // the first device only
  EXPECT_FALSE(dxd3dinit());
  EXPECT_EQ(dxd3d, nullptr);
  EXPECT_EQ(dxd3ddevice, nullptr);
  EXPECT_EQ(Flags(), 0);
  soft3d::LimitDeviceCreations(-1);
  EXPECT_TRUE(dxd3dinit());
  // Made again over a live device: one device, one depth buffer.
  EXPECT_TRUE(dxd3dinit());
  EXPECT_EQ(soft3d::LiveDevices(), 1);
  dxd3drelease();
  dx::dxexceptionmode = true;
  try {
    dxbeginscene();
    FAIL();
  } catch (const dx::dx_runtime_error& e) {
    EXPECT_STREQ(e.what(), "Direct3D の初期化に失敗しました。");
  }
}

TEST_F(SceneTest, ADisplayStartedAgainWithoutDirect3DGetsNoDeviceOnARestore) {
  Start();
  dxrelease();
  ASSERT_TRUE(dxinit("t", 640, 480, 32, false));
  dxusevram(true);
  EXPECT_EQ(dxd3ddevice, nullptr);
  EXPECT_EQ(dxd3d, nullptr);
}

TEST_F(SceneTest, RenderStatesAreSetOnlyWhenTheyChange) {
  Start();
  const int before = dxd3ddevice->render_state_sets();
  dxsetrenderstate(D3DRENDERSTATE_ZENABLE, 1);
  EXPECT_EQ(dxd3ddevice->render_state_sets(), before);
  dxsetrenderstate(D3DRENDERSTATE_ZENABLE, 0);
  EXPECT_EQ(dxd3ddevice->render_state_sets(), before + 1);
  EXPECT_EQ(dxidentity(0x3F800000), 0x3F800000u);
}

TEST_F(SceneTest, FogBecomesTableRelativeInSystemMemory) {
  Start();
  auto get = [](D3DRENDERSTATETYPE s) {
    DWORD v = 0;
    dxd3ddevice->GetRenderState(s, &v);
    return D3DBitsFloat(v);
  };
  dxvram = false;
  dxsetfog(0x123456, 0.6, 3.0, false);
  EXPECT_FLOAT_EQ(get(D3DRENDERSTATE_FOGTABLESTART), 0.3f);
  EXPECT_FLOAT_EQ(get(D3DRENDERSTATE_FOGTABLEEND), 1.0f);
  EXPECT_FLOAT_EQ(get(D3DRENDERSTATE_FOGTABLEDENSITY), static_cast<float>(1 / 1.5));
  dxsetfog(0x123456, 0.8, 0.2, true);
  EXPECT_FLOAT_EQ(get(D3DRENDERSTATE_FOGTABLESTART), 0.4f);
  EXPECT_FLOAT_EQ(get(D3DRENDERSTATE_FOGTABLEEND), 0.4f);
  DWORD on = 0;
  dxd3ddevice->GetRenderState(D3DRENDERSTATE_RANGEFOGENABLE, &on);
  EXPECT_EQ(on, 1u);
  dxvram = true;
  dxsetfog(0x123456, 6, 30, false);
  EXPECT_FLOAT_EQ(get(D3DRENDERSTATE_FOGTABLESTART), 6.0f);
  EXPECT_FLOAT_EQ(get(D3DRENDERSTATE_FOGTABLEEND), 30.0f);
  dxvram = false;
  dxfogoff();
  dxd3ddevice->GetRenderState(D3DRENDERSTATE_FOGENABLE, &on);
  EXPECT_EQ(on, 0u);
}

TEST_F(SceneTest, LightsByIndex) {
  Start();
  ASSERT_EQ(dxaddpointlight(3, 1, 0.5, 0.25, {1, 2, 3}, 10), D3D_OK);
  ASSERT_EQ(dxlights.size(), 4u);
  EXPECT_EQ(dxlights[0]->data().dwSize, 0u);  // made, never loaded
  const D3DLIGHT2& l = dxlights[3]->data();
  EXPECT_EQ(l.dltType, D3DLIGHT_POINT);
  EXPECT_FLOAT_EQ(l.dcvColor.g, 0.5f);
  EXPECT_FLOAT_EQ(l.dvRange, 10);
  EXPECT_FLOAT_EQ(l.dvAttenuation0, 1);
  EXPECT_EQ(dxviewport->lights().size(), 1u);
  ASSERT_EQ(dxadddirectionallight(3, 1, 1, 1, {0, -1, 0}), D3D_OK);  // reloaded, still one
  EXPECT_EQ(dxviewport->lights().size(), 1u);
  EXPECT_FLOAT_EQ(dxlights[3]->data().dvRange, std::sqrt(FLT_MAX));
  dxremovelight(9);  // beyond the vector: nothing
  dxremovelight(3);
  EXPECT_EQ(dxviewport->lights().size(), 0u);
  EXPECT_EQ(dxaddlight(-1, &l), D3DERR_INVALIDPARAMS);
  dxremovealllights();
  EXPECT_TRUE(dxlights.empty());
}

// A square mesh of side 2s centred on the origin, facing the default camera.
dx::mesh* Square(float s, float alpha, D3DCOLORVALUE emissive) {
  D3DVERTEX v[4] = {{-s, s, 0, 0, 0, -1, 0, 0}, {s, s, 0, 0, 0, -1, 1, 0}, {s, -s, 0, 0, 0, -1, 1, 1},
                    {-s, -s, 0, 0, 0, -1, 0, 1}};
  const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
  D3DMATERIAL m{};
  m.dwSize = sizeof m;
  m.diffuse = {0, 0, 0, alpha};
  m.emissive = emissive;
  dx::mesh* mesh = dxcreatemesh();
  dxaddmeshgroup(mesh, v, 4, idx, 6, &m, nullptr);
  return mesh;
}

dx::matrix At(float z) {
  dx::matrix w;
  dxmatidentity(w);
  dxmatsettranslation(w, {0, 0, z});
  return w;
}

TEST_F(SceneTest, BlendedMeshesAreDrawnFarthestFirst) {
  Start();
  dxbeginscene();
  // View depths 5, 20 and 10 (the eye is at -20): red nearest, blue farthest.
  dx::mesh* red = Square(3, 0.5f, {1, 0, 0, 0});
  dx::mesh* green = Square(3, 0.5f, {0, 1, 0, 0});
  dx::mesh* blue = Square(3, 0.5f, {0, 0, 1, 0});
  EXPECT_TRUE(red->translucent);
  dxdrawmesh(At(-15), red, 100, false);
  dxdrawmesh(At(0), blue, 100, false);
  dxdrawmesh(At(-10), green, 100, false);
  ASSERT_EQ(dxdrawqueue.size(), 3u);
  EXPECT_DOUBLE_EQ(dxdrawqueue[0]->depth, 5);
  EXPECT_DOUBLE_EQ(dxdrawqueue[1]->depth, 20);
  dxendscene();
  EXPECT_TRUE(dxdrawqueue.empty());
  // Over black, far to near: blue halves twice more than green, green once more than red.
  uint32_t c = Back(320, 240);
  int r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
  EXPECT_EQ(r, 128);
  EXPECT_EQ(g, 64);
  EXPECT_EQ(b, 32);
}

TEST_F(SceneTest, WhatIsQueuedAndWhatIsDrawnAtOnce) {
  Start();
  dxbeginscene();
  dx::mesh* grey = Square(3, 1.0f, {0.5f, 0.5f, 0.5f, 0});
  dxdrawmesh(At(0), grey, 100, false);  // opaque: at once
  EXPECT_TRUE(dxdrawqueue.empty());
  EXPECT_EQ(Back(320, 240), 0x808080u);
  dxdrawmesh(At(-1), grey, 99, false);
  dxdrawmesh(At(-2), grey, 100, true);
  EXPECT_EQ(dxdrawqueue.size(), 2u);
  EXPECT_EQ(Back(320, 240), 0x808080u);
  // A new scene drops what the last one left.
  dxbeginscene();
  EXPECT_TRUE(dxdrawqueue.empty());
  dxendscene();
  EXPECT_EQ(Back(320, 240), 0x808080u);
  // Additive at 100 percent: one plus one, without writing depth.
  dxbeginscene();
  dxdrawmesh(At(-2), grey, 100, true);
  dxendscene();
  EXPECT_EQ(Back(320, 240), 0xFFFFFFu);
  // 99 percent: source alpha 0.99 over what is there.
  dx::mesh* black = Square(3, 1.0f, {0, 0, 0, 0});
  dxbeginscene();
  dxdrawmesh(At(0), black, 100, false);
  dxdrawmesh(At(-1), grey, 99, false);
  dxendscene();
  // alpha round(0.99 * 255) = 252; 128 * 252 / 255 = 126.5 -> 126 (the colour rounds first).
  EXPECT_EQ(Back(320, 240), 0x7E7E7Eu);
  // Tinted: emissive (1.0, 0.50196, 0) from 0xFF8000.
  dxbeginscene();
  dxdrawmeshcolor(At(0), black, 0xFF8000, 100, false);
  dxendscene();
  EXPECT_EQ(Back(320, 240), 0xFF8000u);
}

TEST_F(SceneTest, TexturedMeshAndBillboard) {
  Start();
  dx::bitmap* b = dxnewbitmap(4, 4);
  IDirectDrawSurface* s = dxbitmapsurface(b, true);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x40C0FF;
  s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  dx::mesh* m = Square(3, 1.0f, {1, 1, 1, 0});
  dxsetmeshtexture(m, b, nullptr);
  dxbeginscene();
  dxdrawmesh(At(0), m, 100, false);
  dxendscene();
  EXPECT_EQ(Back(320, 240), 0x40C0FFu);  // modulated by white
  ASSERT_NE(b->texture, nullptr);
  // A billboard at 50 percent facing the camera: vertex alpha 127 over black.
  const float rect[4] = {-2, -2, 2, 2};
  dx::mesh* black = Square(5, 1.0f, {0, 0, 0, 0});
  dxbeginscene();
  dxdrawmesh(At(0), black, 100, false);
  dxdrawbillboard({0, 0, -1}, b, rect, 50, false, 0);
  EXPECT_EQ(dxdrawqueue.size(), 1u);
  dxendscene();
  EXPECT_TRUE(dxdrawqueue.empty());
  // 0x40C0FF times alpha 127.
  auto half = [](int c) { return (c * 127 + 127) / 255; };
  EXPECT_EQ(Back(320, 240), static_cast<uint32_t>(half(0x40) << 16 | half(0xC0) << 8 | half(0xFF)));
  // Rolled by 90 degrees it covers the same square.
  dxbeginscene();
  dxdrawmesh(At(0), black, 100, false);
  dxdrawbillboard({0, 0, -1}, b, rect, 100, false, 90);
  dxendscene();
  EXPECT_EQ(Back(320, 240), 0x40C0FFu);
  dxdeletebitmap(b);
}

TEST_F(SceneTest, BillboardPercentagesPastTheRangeAreHeldToIt) {
  Start();
  dx::bitmap* b = dxnewbitmap(4, 4);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x40C0FF;
  dxbitmapsurface(b, true)->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  dx::mesh* black = Square(5, 1.0f, {0, 0, 0, 0});
  const float rect[4] = {-2, -2, 2, 2};
  // Percent times 255 passes the int range: still opaque, and clear below 0.
  for (auto [percent, seen] : {std::pair{10000000, 0x40C0FFu}, {INT_MAX, 0x40C0FFu}, {INT_MIN, 0u}}) {
    dxbeginscene();
    dxdrawmesh(At(0), black, 100, false);
    dxdrawbillboard({0, 0, -1}, b, rect, percent, false, 0);
    dxendscene();
    EXPECT_EQ(Back(320, 240), seen) << percent;
  }
  dxdeletebitmap(b);
}

TEST_F(SceneTest, GameFrameAtTheViewSize) {
  Start();
  dxsetambient(0xFFB2B2B2);
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1);
  D3DVIEWPORT2 vp;
  dxviewport->GetViewport2(&vp);
  vp.dwWidth = 320;
  vp.dwHeight = 240;
  dxviewport->SetViewport2(&vp);
  dxbeginscene();
  D3DVERTEX v[4] = {{-50, 50, 0, 0, 0, -1, 0, 0}, {50, 50, 0, 0, 0, -1, 1, 0}, {50, -50, 0, 0, 0, -1, 1, 1},
                    {-50, -50, 0, 0, 0, -1, 0, 1}};
  const uint16_t idx[6] = {0, 1, 2, 0, 2, 3};
  D3DMATERIAL mat{};
  mat.dwSize = sizeof mat;
  mat.diffuse = mat.ambient = {1, 1, 1, 1};
  dx::mesh* wall = dxcreatemesh();
  dxaddmeshgroup(wall, v, 4, idx, 6, &mat, nullptr);
  dxdrawmesh(At(0), wall, 100, false);
  dxendscene();
  EXPECT_EQ(Back(160, 120), 0xB2B2B2u);  // ambient times the material's ambient
  EXPECT_EQ(Back(319, 239), 0xB2B2B2u);
  EXPECT_EQ(Back(320, 120), 0u);  // outside the 320 x 240 view
  EXPECT_EQ(Back(160, 240), 0u);
}

TEST_F(SceneTest, TextureSizesAndFormats) {
  Start(16);
  D3DDEVICEDESC keep = dxdevicedesc;
  dxdevicedesc.dpcTriCaps.dwTextureCaps = D3DPTEXTURECAPS_POW2;
  int w = 100, h = 60;
  dxtexturesize(w, h);
  EXPECT_EQ(w, 128);
  EXPECT_EQ(h, 64);
  dxdevicedesc.dpcTriCaps.dwTextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
  w = 100, h = 60;
  dxtexturesize(w, h);
  EXPECT_EQ(w, 128);
  EXPECT_EQ(h, 128);
  dxdevicedesc.dwMaxTextureWidth = 64;
  w = 100, h = 60;
  dxtexturesize(w, h);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 128);
  dxdevicedesc = keep;
  dxdevicedesc.dwMinTextureWidth = 8;
  dxdevicedesc.dwMinTextureHeight = 16;
  w = 4, h = 4;
  dxtexturesize(w, h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 16);
  dxdevicedesc = keep;

  // 565, 1555 with alpha, 8888: the display's depth, then without alpha.
  DDPIXELFORMAT best{};
  auto offer = [&](DWORD bits, DWORD flags, DWORD r, DWORD g, DWORD b, DWORD a) {
    DDSURFACEDESC d{};
    d.ddpfPixelFormat = {sizeof(DDPIXELFORMAT), flags, 0, bits, r, g, b, a};
    dxenumtextureformat(&d, &best);
  };
  offer(32, DDPF_RGB | DDPF_ALPHAPIXELS, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  offer(16, DDPF_RGB | DDPF_ALPHAPIXELS, 0x7C00, 0x3E0, 0x1F, 0x8000);
  offer(16, DDPF_RGB, 0xF800, 0x7E0, 0x1F, 0);
  EXPECT_EQ(best.dwRGBBitCount, 16u);
  EXPECT_EQ(best.dwRBitMask, 0xF800u);
  // A palette format counts only with a palette on the display.
  best = {};
  offer(8, DDPF_RGB | DDPF_PALETTEINDEXED8, 0, 0, 0, 0);
  EXPECT_EQ(best.dwSize, 0u);
}

// A bitmap that takes another's copies shares its texture with a reference of
// its own: before, it kept only the pointer, which the other's deletion and the
// pruning of textures, or the device's release, left dangling.
TEST_F(SceneTest, ABitmapThatTakesAnothersCopiesSharesItsTexture) {
  Start();
  dx::bitmap* source = dxnewbitmap(8, 8);
  dx::bitmap* copy = dxnewbitmap(4, 4);
  IDirect3DTexture2* tex = dxgettexture(source);
  ASSERT_NE(tex, nullptr);
  dxassignbitmap(copy, source);
  EXPECT_EQ(dxgettexture(copy), tex);
  dxdeletebitmap(source);
  // Enough textures made and let go for the deleted bitmaps' to be pruned.
  for (int i = 0; i < 70; ++i) {
    dx::bitmap* b = dxnewbitmap(2, 2);
    dxgettexture(b);
    dxdeletebitmap(b);
  }
  EXPECT_EQ(dxgettexture(copy), tex);
  EXPECT_NE(tex->surface(), nullptr);
  dxd3drelease();
  EXPECT_EQ(copy->texture, nullptr);
  dxdeletebitmap(copy);
}

TEST_F(SceneTest, KeyToAlphaAndTheTextureCache) {
  Start();
  uint8_t px[2 * 5] = {0, 0, 1, 0, 0, 0, 0, 0, 0x10, 0};  // 16-bit: 0, 1, 0 | 0, 0x10
  dxkeytoalpha16(px, 6, 3, 1, 0x8000);
  uint16_t v[3];
  std::memcpy(v, px, 6);
  EXPECT_EQ(v[0], 0u);
  EXPECT_EQ(v[1], 0x8001u);
  EXPECT_EQ(v[2], 0u);
  uint8_t p24[6] = {0, 0, 0, 5, 0, 0};
  dxkeytoalpha24(p24, 6, 2, 1, 0xF00000);
  EXPECT_EQ(p24[2], 0);
  EXPECT_EQ(p24[5], 0xF0);

  static int loads = 0;
  loads = 0;
  dxaddtextureloader([](const char* name) -> dx::bitmap* {
    ++loads;
    return std::strcmp(name, "wall.ppm") == 0 ? dxnewbitmap(2, 2) : nullptr;
  });
  dx::bitmap* a = dxloadtexture("wall.ppm");
  dx::bitmap* b = dxloadtexture("wall.ppm");
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(dxloadtexture("none.ppm"), nullptr);
  EXPECT_EQ(dxloadtexture("none.ppm"), nullptr);
  EXPECT_EQ(loads, 3);  // a miss is not cached
  dxtextureloaders.clear();
}

TEST(Ppm, WorkedExampleAndBadHeaders) {
  const char data[] = "P6\n2 1\n255\n\xFF\x00\x00\x00\xFF\x00";
  BITMAPINFOHEADER h;
  std::vector<uint8_t> bits;
  ASSERT_TRUE(dxparseppm(data, sizeof data - 1, h, bits));
  EXPECT_EQ(h.biWidth, 2);
  EXPECT_EQ(h.biHeight, 1);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biSize, 40u);
  ASSERT_EQ(bits.size(), 8u);
  const uint8_t want[6] = {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00};
  EXPECT_EQ(std::memcmp(bits.data(), want, 6), 0);
  // Rows go bottom-up.
  const char two[] = "P6\n1 2\n255\n\x01\x02\x03\x04\x05\x06";
  ASSERT_TRUE(dxparseppm(two, sizeof two - 1, h, bits));
  EXPECT_EQ(bits[0], 6);
  EXPECT_EQ(bits[4 + 2], 1);
  // Short pixel data, a missing size, another magic: refused, nothing read past the end.
  EXPECT_FALSE(dxparseppm(data, sizeof data - 2, h, bits));
  EXPECT_FALSE(dxparseppm("P6\nx 1\n255\n", 11, h, bits));
  EXPECT_FALSE(dxparseppm("P5\n1 1\n255\nabc", 14, h, bits));
  EXPECT_FALSE(dxparseppm("P6\n0 1\n255\n", 11, h, bits));
  EXPECT_FALSE(dxparseppm("P6\n1 1\n65535\n\1\2\3\4\5\6", 18, h, bits));
  // A header with extra white space before the maximum reads the same pixels.
  const char spaced[] = "P6\n2 1 \r\n255\n\xFF\x00\x00\x00\xFF\x00";
  ASSERT_TRUE(dxparseppm(spaced, sizeof spaced - 1, h, bits));
  EXPECT_EQ(std::memcmp(bits.data(), want, 6), 0);
}

}  // namespace

namespace {

class DepthScene : public SceneTest, public ::testing::WithParamInterface<int> {};

TEST_P(DepthScene, TexturedMeshKeepsItsTexels) {
  Start(GetParam());
  dx::bitmap* b = dxnewbitmap(8, 8);
  IDirectDrawSurface* s = dxbitmapsurface(b, true);
  const uint32_t value = dxrgb(40, 200, 120);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = value;
  s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  RECT hole = {0, 0, 4, 8};  // the left half is the colour key: not drawn
  fx.dwFillColor = 0;
  s->Blt(&hole, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  dx::mesh* m = Square(3, 1.0f, {1, 1, 1, 0});
  dxsetmeshtexture(m, b, nullptr);
  DDBLTFX back{};
  back.dwSize = sizeof back;
  back.dwFillColor = dxrgb(255, 0, 0);
  dxbackbuffer->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &back);
  dxbeginscene();
  dxdrawmesh(At(0), m, 100, false);
  dxendscene();
  const uint32_t got = Back(340, 240), left = Back(300, 240);
  if (GetParam() == 8) {
    // Through the palette and back to its nearest entry.
    const uint32_t a = dxpixelrgb(got), w = dxpixelrgb(value);
    for (int shift : {0, 8, 16}) EXPECT_NEAR(static_cast<int>(a >> shift & 255), static_cast<int>(w >> shift & 255), 8);
  } else {
    EXPECT_EQ(got, value);
  }
  EXPECT_EQ(left, back.dwFillColor);
  dxdeletebitmap(b);
}

INSTANTIATE_TEST_SUITE_P(Depths, DepthScene, ::testing::Values(8, 16, 24, 32));

}  // namespace

namespace {

TEST_F(SceneTest, TextureSurfacesFromSourcesOfEveryKind) {
  Start();
  // A source that already is a texture serves as it is on the software device.
  DDSURFACEDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  d.dwWidth = d.dwHeight = 4;
  d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
  d.ddpfPixelFormat = dxbackdesc.ddpfPixelFormat;
  IDirectDrawSurface* tex = nullptr;
  ASSERT_EQ(dxdd->CreateSurface(&d, &tex, nullptr), DD_OK);
  IDirectDrawSurface* same = dxcreatetexture(tex, false);
  EXPECT_EQ(same, tex);
  same->Release();
  tex->Release();
  // Too wide for the device, without stretching: none; with it: fitted.
  IDirectDrawSurface* wide = dxcreatesurface(100, 10, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
  dxdevicedesc.dwMaxTextureWidth = 64;
  EXPECT_EQ(dxcreatetexture(wide, false), nullptr);
  IDirectDrawSurface* fitted = dxcreatetexture(wide, true);
  ASSERT_NE(fitted, nullptr);
  EXPECT_EQ(fitted->width(), 64);
  EXPECT_EQ(fitted->height(), 10);
  EXPECT_NE(fitted->caps() & DDSCAPS_TEXTURE, 0u);
  fitted->Release();
  wide->Release();
}

}  // namespace

namespace {

TEST_F(SceneTest, HardwareCopiesSystemMemoryTexturesToVideoMemory) {
  soft3d::SetHardware(true);
  Start();
  DDSURFACEDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  d.dwWidth = d.dwHeight = 4;
  d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
  d.ddpfPixelFormat = dxbackdesc.ddpfPixelFormat;
  IDirectDrawSurface* tex = nullptr;
  ASSERT_EQ(dxdd->CreateSurface(&d, &tex, nullptr), DD_OK);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x123456;
  tex->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  IDirectDrawSurface* copy = dxcreatetexture(tex, true);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, tex);
  EXPECT_TRUE(copy->in_video_memory());
  platform::PixelBuffer pb = copy->pixels();
  uint32_t v;
  std::memcpy(&v, pb.bits + pb.pitch + 4, 4);
  EXPECT_EQ(v & 0xFFFFFF, 0x123456u);
  copy->Release();
  tex->Release();
}

}  // namespace

namespace {

TEST_F(SceneTest, PpmFilesLoadAsBitmapsOrStop) {
  Start();
  const std::string good = ::testing::TempDir() + "d3d_two.ppm", bad = ::testing::TempDir() + "d3d_bad.ppm";
  const char data[] = "P6\n2 1\n255\n\xFF\x00\x00\x00\xFF\x00";
  FILE* f = std::fopen(good.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(data, 1, sizeof data - 1, f);
  std::fclose(f);
  f = std::fopen(bad.c_str(), "wb");
  std::fputs("P3\n2 1\n255\n", f);
  std::fclose(f);
  dx::bitmap* b = dxloadppm(good.c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(dxbitmapwidth(b), 2);
  IDirectDrawSurface* s = dxbitmapsurface(b, false);
  platform::PixelBuffer pb = s->pixels();
  uint32_t px[2];
  std::memcpy(px, pb.bits, 8);
  EXPECT_EQ(px[0] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(px[1] & 0xFFFFFF, 0x00FF00u);
  dxdeletebitmap(b);
  // Through the loader: "P6" and a line feed pick the PPM reader.
  dx::bitmap* c = dxloadtexture(good.c_str());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(dxloadtexture(good.c_str()), c);
  dx::dxexceptionmode = true;
  for (const std::string& name : {bad, ::testing::TempDir() + "d3d_none.ppm"}) {
    try {
      dxloadppm(name.c_str());
      FAIL() << name;
    } catch (const dx::dx_runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "ビットマップ \"" + name + "\" のロードに失敗しました。");
    }
  }
  std::remove(good.c_str());
  std::remove(bad.c_str());
}

}  // namespace
