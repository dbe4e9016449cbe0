// The drawing fuzz target's 3-D scene: meshes made from the input's vertices,
// indices and materials, drawn at once or through the draw queue, billboards,
// indexed primitives of every kind, lights, fog, materials, render states and
// the transforms, all with floats the input chooses (NaN, infinities and the
// float range's ends included). Without a device the calls must do nothing.
#include <vector>

#include "fuzz/draw/draw_fuzz.h"

namespace drawfuzz {
namespace {

constexpr size_t kMeshes = 4;
std::vector<dx::mesh*> g_meshes;
bool g_dirty = false;  // the device's states, lights or transforms were changed

dx::mesh* MeshOf(Reader& in) {
  const uint8_t i = in.byte();
  return g_meshes.empty() ? nullptr : g_meshes[i % g_meshes.size()];
}
dx::bitmap* TextureOf(Reader& in) {
  const uint8_t i = in.byte();
  return i & 4 ? nullptr : g_bitmaps[i % kBitmaps];
}
D3DCOLORVALUE Colour(Reader& in) {
  D3DCOLORVALUE c;
  c.r = in.f32(), c.g = in.f32(), c.b = in.f32(), c.a = in.f32();
  return c;
}
D3DMATERIAL Material(Reader& in) {
  D3DMATERIAL m{};
  m.dwSize = sizeof m;
  m.diffuse = Colour(in), m.ambient = Colour(in), m.specular = Colour(in), m.emissive = Colour(in);
  m.power = in.f32();
  m.dwRampSize = in.u32();
  return m;
}

// A matrix: the identity, sixteen floats, or one built by the matrix calls.
dx::matrix Matrix(Reader& in) {
  dx::matrix m;
  dxmatidentity(m);
  switch (in.byte() % 4) {
    case 0: break;
    case 1:
      for (float& f : m.m) f = in.f32();
      break;
    case 2: {
      dxmatsettranslation(m, in.vec());
      dxmatscale(m, in.vec());
      double yaw = in.f64(), pitch = in.f64();
      dxmatrotate(m, yaw, pitch, in.f64());
      break;
    }
    default: {
      dxmattranslate(m, in.vec());
      dxmatrotatex(m, in.f64());
      dxmatrotatey(m, in.f64());
      dxmatrotatez(m, in.f64());
      D3DVECTOR axis = in.vec();
      dxmatrotateaxis(m, axis, in.f64());
      D3DVECTOR target = in.vec();
      dxmatlookat(m, target, in.f64());
      dx::matrix inverse;
      dxmatinverse(inverse, m);
      dxmatmultiply(m, m, inverse);
      break;
    }
  }
  return m;
}

void Planar(D3DVERTEX** v, float* tu, float* tv) {
  *tu = (*v)->x;
  *tv = (*v)->y;
}

// A mesh of one or two groups, the normals given or computed.
void CreateMesh(Reader& in) {
  if (g_meshes.size() >= kMeshes) return;
  dx::mesh* mesh = dxcreatemesh();
  g_meshes.push_back(mesh);
  for (int groups = 1 + in.byte() % 2; groups > 0; --groups) {
    const uint8_t shape = in.byte();
    const int vertices = 1 + (shape & 0x7F) % 12;
    D3DVERTEX v[12];
    for (int i = 0; i < vertices; ++i) {
      v[i].x = in.f32(), v[i].y = in.f32(), v[i].z = in.f32();
      if (shape & 0x80)
        v[i].nx = in.f32(), v[i].ny = in.f32(), v[i].nz = in.f32();
      else
        v[i].nx = v[i].ny = v[i].nz = 0;  // computed from the triangles
      v[i].tu = in.f32(), v[i].tv = in.f32();
    }
    uint16_t indices[24];
    const int count = in.byte() % 25;
    for (int i = 0; i < count; ++i) indices[i] = static_cast<uint16_t>(in.byte() % vertices);
    const D3DMATERIAL m = Material(in);
    dxaddmeshgroup(mesh, v, vertices, indices, count, &m, TextureOf(in));
  }
  if (in.byte() & 1) dxsetmeshtexture(mesh, TextureOf(in), in.byte() & 1 ? Planar : nullptr);
  D3DVECTOR lo, hi;
  dxmeshbounds(mesh, &lo, &hi);
  volatile double r = dxmeshradius(mesh);
  (void)r;
}

template <void (*F)(const dx::matrix&, dx::mesh*, int, bool)>
void DrawMesh(Reader& in) {
  dx::mesh* mesh = MeshOf(in);
  const dx::matrix world = Matrix(in);
  int percent = in.i32();
  const bool additive = in.byte() & 1;
  if (mesh) F(world, mesh, percent, additive);
}
template <void (*F)(const dx::matrix&, dx::mesh*, uint32_t, int, bool)>
void DrawMeshColour(Reader& in) {
  dx::mesh* mesh = MeshOf(in);
  const dx::matrix world = Matrix(in);
  uint32_t colour = in.u32();
  int percent = in.i32();
  const bool additive = in.byte() & 1;
  if (mesh) F(world, mesh, colour, percent, additive);
}
template <void (*F)(const D3DVECTOR&, dx::bitmap*, const float[4], int, bool, double)>
void Billboard(Reader& in) {
  const D3DVECTOR at = in.vec();
  dx::bitmap* b = TextureOf(in);
  float rect[4];
  for (float& f : rect) f = in.f32();
  int percent = in.i32();
  const bool additive = in.byte() & 1;
  F(at, b, rect, percent, additive, in.f64());
}

// Vertices of the kind the input names, and indices mostly inside them.
void DrawIndexed(Reader& in) {
  const uint8_t kinds = in.byte();
  // Kinds 0 and past the last are refused.
  const auto type = static_cast<D3DPRIMITIVETYPE>(kinds % 8);
  const auto vtype = static_cast<D3DVERTEXTYPE>((kinds >> 3) % 5);
  const DWORD vcount = in.byte() % 17;
  union Vertex {
    D3DVERTEX v;
    D3DLVERTEX l;
    D3DTLVERTEX tl;
  } v[16];
  for (DWORD i = 0; i < vcount; ++i) {
    if (vtype != D3DVT_LVERTEX && vtype != D3DVT_TLVERTEX) {
      D3DVERTEX& p = v[i].v;
      p.x = in.f32(), p.y = in.f32(), p.z = in.f32(), p.nx = in.f32(), p.ny = in.f32(), p.nz = in.f32();
      p.tu = in.f32(), p.tv = in.f32();
    } else if (vtype == D3DVT_LVERTEX) {
      D3DLVERTEX& p = v[i].l;
      p.x = in.f32(), p.y = in.f32(), p.z = in.f32(), p.dwReserved = 0, p.color = in.u32(), p.specular = in.u32();
      p.tu = in.f32(), p.tv = in.f32();
    } else {
      D3DTLVERTEX& p = v[i].tl;
      p.sx = in.f32(), p.sy = in.f32(), p.sz = in.f32(), p.rhw = in.f32(), p.color = in.u32();
      p.specular = in.u32(), p.tu = in.f32(), p.tv = in.f32();
    }
  }
  WORD indices[24];
  const DWORD icount = in.byte() % 25;
  for (DWORD i = 0; i < icount; ++i) {
    const uint8_t b = in.byte();
    indices[i] = static_cast<WORD>(b < 0xF0 || !vcount ? b % (vcount ? vcount : 1) : in.u32());
  }
  dxsettexture(TextureOf(in));
  dxdrawindexed(type, vtype, v, vcount, indices, icount);
}

void BeginScene(Reader&) {
  if (dxd3ddevice) dxbeginscene(), g_dirty = true;
}
void EndScene(Reader&) { dxendscene(); }
void Flush(Reader&) { dxflushdraws(); }
void ClearDraws(Reader&) { dxcleardraws(); }

// Lights at a few indices: the layer makes every light up to the one named.
int LightIndex(Reader& in) { return static_cast<int>(in.i32() % 9); }
void DirectionalLight(Reader& in) {
  int i = LightIndex(in);
  double r = in.f64(), g = in.f64(), b = in.f64();
  dxadddirectionallight(i, r, g, b, in.vec());
  g_dirty = true;
}
template <HRESULT (*F)(int, double, double, double, const D3DVECTOR&, double)>
void PointLight(Reader& in) {
  int i = LightIndex(in);
  double r = in.f64(), g = in.f64(), b = in.f64();
  const D3DVECTOR at = in.vec();
  F(i, r, g, b, at, in.f64());
  g_dirty = true;
}
void SpotLight(Reader& in) {
  int i = LightIndex(in);
  double r = in.f64(), g = in.f64(), b = in.f64();
  const D3DVECTOR at = in.vec(), to = in.vec();
  double cone = in.f64();
  dxaddspotlight(i, r, g, b, at, to, cone, in.f64());
  g_dirty = true;
}
void Light(Reader& in) {
  int i = LightIndex(in);
  D3DLIGHT2 l{};
  l.dwSize = sizeof l;
  l.dltType = static_cast<D3DLIGHTTYPE>(in.byte() % 6);
  l.dcvColor = Colour(in);
  l.dvPosition = in.vec(), l.dvDirection = in.vec();
  l.dvRange = in.f32(), l.dvFalloff = in.f32();
  l.dvAttenuation0 = in.f32(), l.dvAttenuation1 = in.f32(), l.dvAttenuation2 = in.f32();
  l.dvTheta = in.f32(), l.dvPhi = in.f32();
  l.dwFlags = in.u32();
  dxaddlight(i, &l);
  g_dirty = true;
}
void RemoveLight(Reader& in) {
  dxremovelight(LightIndex(in));
  if (in.byte() & 1) dxremovealllights();
}

void Fog(Reader& in) {
  uint32_t colour = in.u32();
  double start = in.f64(), end = in.f64();
  dxsetfog(colour, start, end, in.byte() & 1);
  g_dirty = true;
}
void FogOff(Reader&) { dxfogoff(); }
void Ambient(Reader& in) {
  dxsetambient(in.u32());
  g_dirty = true;
}
void SetMaterial(Reader& in) {
  const D3DMATERIAL m = Material(in);
  dxsetmaterial(&m, TextureOf(in));
  g_dirty = true;
}
void RenderState(Reader& in) {
  const auto state = static_cast<D3DRENDERSTATETYPE>(1 + in.byte() % 48);
  dxsetrenderstate(state, in.byte() & 1 ? D3DFloatBits(in.f32()) : in.u32());
  g_dirty = true;
}

void Camera(Reader& in) {
  const D3DVECTOR eye = in.vec(), target = in.vec();
  dxsetcamera(eye, target, in.f64());
  g_dirty = true;
}
void View(Reader& in) {
  dxsetview(Matrix(in));
  g_dirty = true;
}
void Projection(Reader& in) {
  double nearz = in.f64(), farz = in.f64();
  dxsetprojection(nearz, farz, in.f64());
  g_dirty = true;
}
void World(Reader& in) {
  dxsetworld(Matrix(in));
  g_dirty = true;
}
void ProjectionMatrix(Reader& in) {
  dxsetprojectionmatrix(Matrix(in));
  g_dirty = true;
}

constexpr Op kOps[] = {
    {"dxbeginscene", kNoDraw, BeginScene},
    {"dxendscene", kUnclipped, EndScene},
    {"dxcreatemesh", kNoDraw, CreateMesh},
    {"dxdrawmesh", kUnclipped, DrawMesh<dxdrawmesh>},
    {"dxdrawmeshnow", kUnclipped, DrawMesh<dxdrawmeshnow>},
    {"dxdrawmeshcolor", kUnclipped, DrawMeshColour<dxdrawmeshcolor>},
    {"dxdrawmeshcolornow", kUnclipped, DrawMeshColour<dxdrawmeshcolornow>},
    {"dxdrawbillboard", kUnclipped, Billboard<dxdrawbillboard>},
    {"dxdrawbillboardnow", kUnclipped, Billboard<dxdrawbillboardnow>},
    {"dxdrawindexed", kUnclipped, DrawIndexed},
    {"dxflushdraws", kUnclipped, Flush},
    {"dxcleardraws", kNoDraw, ClearDraws},
    {"dxadddirectionallight", kNoDraw, DirectionalLight},
    {"dxaddpointlight", kNoDraw, PointLight<dxaddpointlight>},
    {"dxaddparallelpointlight", kNoDraw, PointLight<dxaddparallelpointlight>},
    {"dxaddspotlight", kNoDraw, SpotLight},
    {"dxaddlight", kNoDraw, Light},
    {"dxremovelight", kNoDraw, RemoveLight},
    {"dxsetfog", kNoDraw, Fog},
    {"dxfogoff", kNoDraw, FogOff},
    {"dxsetambient", kNoDraw, Ambient},
    {"dxsetmaterial", kNoDraw, SetMaterial},
    {"dxsetrenderstate", kNoDraw, RenderState},
    {"dxsetcamera", kNoDraw, Camera},
    {"dxsetview", kNoDraw, View},
    {"dxsetprojection", kNoDraw, Projection},
    {"dxsetworld", kNoDraw, World},
    {"dxsetprojectionmatrix", kNoDraw, ProjectionMatrix},
};

}  // namespace

std::span<const Op> SceneOps() { return kOps; }

void EndSceneOps() {
  dxcleardraws();
  for (dx::mesh* m : g_meshes) dxdeletemesh(m);
  g_meshes.clear();
  // The next input starts from the device's defaults: made again.
  if (g_dirty && dxd3ddevice) {
    dxremovealllights();
    if (!dxd3dinit()) __builtin_trap();
  }
  g_dirty = false;
}

}  // namespace drawfuzz
