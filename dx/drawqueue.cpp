#include "dx/drawqueue.h"

#include <algorithm>
#include <cstring>

#include "dx/d3d.h"
#include "dx/mesh.h"

std::vector<dx::drawcmd*> dxdrawqueue;

namespace {

// View-space depth of a point: the z column of the current view transform.
double Depth(double x, double y, double z) {
  D3DMATRIX v;
  if (!dxd3ddevice || FAILED(dxd3ddevice->GetTransform(D3DTRANSFORMSTATE_VIEW, &v))) return 0;
  return static_cast<double>(v._13) * x + static_cast<double>(v._23) * y + static_cast<double>(v._33) * z +
         static_cast<double>(v._43);
}

dx::drawcmd* NewRecord(int kind) {
  auto* c = new dx::drawcmd;
  std::memset(c, 0, sizeof *c);
  c->kind = kind;
  dxdrawqueue.push_back(c);
  return c;
}

void BlendStates(bool full, bool additive) {
  if (full && !additive) {
    dxsetrenderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    dxsetrenderstate(D3DRENDERSTATE_ZWRITEENABLE, 1);
    dxsetrenderstate(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    dxsetrenderstate(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO);
    return;
  }
  // Blended surfaces test against the depth buffer but do not write it.
  dxsetrenderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  dxsetrenderstate(D3DRENDERSTATE_ZWRITEENABLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_SRCBLEND, full ? D3DBLEND_ONE : D3DBLEND_SRCALPHA);
  dxsetrenderstate(D3DRENDERSTATE_DESTBLEND, additive ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
}

void DrawGroup(const dx::meshgroup& g) {
  if (!dxd3ddevice || g.indexcount <= 0) return;
  dxd3ddevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DVT_VERTEX, g.vertices, static_cast<DWORD>(g.vertexcount),
                                    g.indices, static_cast<DWORD>(g.indexcount), 0);
}

}  // namespace

void dxdrawmesh(const dx::matrix& world, dx::mesh* mesh, int percent, bool additive) {
  if (!mesh) return;
  if (!mesh->translucent && percent == 100 && !additive) {
    dxdrawmeshnow(world, mesh, 100, false);
    return;
  }
  dx::drawcmd* c = NewRecord(0);
  c->depth = Depth(world[12], world[13], world[14]);
  c->world = world;
  c->meshp = mesh;
  c->percent = percent;
  c->additive = additive;
}

void dxdrawmeshcolor(const dx::matrix& world, dx::mesh* mesh, uint32_t color, int percent, bool additive) {
  if (!mesh) return;
  if (!mesh->translucent && percent == 100 && !additive) {
    dxdrawmeshcolornow(world, mesh, color, 100, false);
    return;
  }
  dx::drawcmd* c = NewRecord(1);
  c->depth = Depth(world[12], world[13], world[14]);
  c->world = world;
  c->meshp = mesh;
  c->color = color;
  c->percent = percent;
  c->additive = additive;
}

void dxdrawbillboard(const D3DVECTOR& position, dx::bitmap* bitmap, const float rect[4], int percent, bool additive,
                     double roll) {
  if (percent == 100 && !additive) {
    dxdrawbillboardnow(position, bitmap, rect, percent, additive, roll);
    return;
  }
  dx::drawcmd* c = NewRecord(2);
  c->depth = Depth(position.x, position.y, position.z);
  c->position[0] = position.x;
  c->position[1] = position.y;
  c->position[2] = position.z;
  c->bitmapp = bitmap;
  std::memcpy(c->rect, rect, sizeof c->rect);
  c->percent = percent;
  c->additive = additive;
  c->roll = roll;
}

void dxflushdraws() {
  std::sort(dxdrawqueue.begin(), dxdrawqueue.end(),
            [](const dx::drawcmd* a, const dx::drawcmd* b) { return a->depth > b->depth; });
  for (const dx::drawcmd* c : dxdrawqueue) {
    switch (c->kind) {
      case 0: dxdrawmeshnow(c->world, c->meshp, c->percent, c->additive); break;
      case 1: dxdrawmeshcolornow(c->world, c->meshp, c->color, c->percent, c->additive); break;
      case 2:
        dxdrawbillboardnow({c->position[0], c->position[1], c->position[2]}, c->bitmapp, c->rect, c->percent,
                           c->additive, c->roll);
        break;
    }
  }
  dxcleardraws();
}

void dxcleardraws() {
  for (dx::drawcmd* c : dxdrawqueue) delete c;
  dxdrawqueue.clear();
}

void dxdrawmeshnow(const dx::matrix& world, dx::mesh* mesh, int percent, bool additive) {
  dxsetworld(world);
  for (const dx::meshgroup& g : mesh->groups) {
    D3DMATERIAL m = g.material;
    m.diffuse.a = static_cast<float>(percent / 100.0 * g.material.diffuse.a);
    dxsetrenderstate(D3DRENDERSTATE_SHADEMODE, g.smooth ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
    BlendStates(m.diffuse.a == 1.0f, additive);
    dxsetmaterial(&m, g.texture);
    DrawGroup(g);
  }
}

void dxdrawmeshcolornow(const dx::matrix& world, dx::mesh* mesh, uint32_t color, int percent, bool additive) {
  D3DMATERIAL m{};
  m.dwSize = sizeof m;
  m.diffuse = {0, 0, 0, static_cast<float>(percent / 100.0)};
  m.emissive = {static_cast<float>(((color >> 16) & 0xFF) / 255.0), static_cast<float>(((color >> 8) & 0xFF) / 255.0),
                static_cast<float>((color & 0xFF) / 255.0), 0};
  m.dwRampSize = 16;
  dxsetmaterial(&m, nullptr);
  BlendStates(percent == 100, additive);
  dxsetrenderstate(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
  dxsetworld(world);
  for (const dx::meshgroup& g : mesh->groups) DrawGroup(g);
}

void dxdrawbillboardnow(const D3DVECTOR& position, dx::bitmap* bitmap, const float rect[4], int percent,
                        bool additive, double roll) {
  BlendStates(percent == 100, additive);
  dx::matrix world = dxcameramatrix;
  dxmatsettranslation(world, position);
  if (roll != 0) dxmatrotatez(world, roll);
  dxsetworld(world);
  dxsettexture(bitmap);
  // Vertex alpha stays within 0..255 whatever the percentage.
  const int alpha = static_cast<int>(std::clamp<int64_t>(int64_t{percent} * 255 / 100, 0, 255));
  const D3DCOLOR color = (static_cast<DWORD>(alpha) << 24) | 0xFFFFFF;
  // The quad faces the camera: it lies in the camera frame's x-y plane, the
  // rectangle's top upward (a quad in the x-z plane would be seen edge-on).
  const float l = rect[0], t = rect[1], r = rect[2], b = rect[3];
  const D3DLVERTEX v[4] = {{l, -t, 0, 0, color, 0, 0, 0},
                           {r, -t, 0, 0, color, 0, 1, 0},
                           {r, -b, 0, 0, color, 0, 1, 1},
                           {l, -b, 0, 0, color, 0, 0, 1}};
  if (dxd3ddevice) dxd3ddevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_LVERTEX, v, 4, 0);
}

HRESULT dxdrawindexed(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vtype, const void* vertices, DWORD vcount,
                      const WORD* indices, DWORD icount) {
  if (!dxd3ddevice) return D3DERR_INVALIDPARAMS;
  return dxd3ddevice->DrawIndexedPrimitive(type, vtype, vertices, vcount, indices, icount, 0);
}
