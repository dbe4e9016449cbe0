// Meshes and billboards drawn within a scene. Opaque meshes go to the device at
// once; whatever blends (a translucent material, an opacity below 100 percent,
// additive drawing) waits in the queue and is drawn at the end of the scene,
// farthest first, over what lies behind it.
#pragma once

#include <cstdint>
#include <vector>

#include "dx/matrix.h"
#include "platform/d3d/d3dtypes.h"

namespace dx {
struct bitmap;
struct mesh;

// One queued draw. Kinds: 0 mesh, 1 tinted mesh, 2 billboard.
struct drawcmd {
  double depth;  // view-space z of the object's origin when queued: the sort key
  matrix world;
  int32_t kind;
  mesh* meshp;  // not owned
  int32_t percent;
  bool additive;
  uint32_t color;  // 0xRRGGBB
  bitmap* bitmapp;  // not owned
  double roll;
  float position[3];
  float rect[4];  // left, top, right, bottom
};

}  // namespace dx

extern std::vector<dx::drawcmd*> dxdrawqueue;

void dxdrawmesh(const dx::matrix& world, dx::mesh* mesh, int percent, bool additive);
void dxdrawmeshcolor(const dx::matrix& world, dx::mesh* mesh, uint32_t color, int percent, bool additive);
void dxdrawbillboard(const D3DVECTOR& position, dx::bitmap* bitmap, const float rect[4], int percent, bool additive,
                     double roll);
void dxflushdraws();
void dxcleardraws();

void dxdrawmeshnow(const dx::matrix& world, dx::mesh* mesh, int percent, bool additive);
void dxdrawmeshcolornow(const dx::matrix& world, dx::mesh* mesh, uint32_t color, int percent, bool additive);
void dxdrawbillboardnow(const D3DVECTOR& position, dx::bitmap* bitmap, const float rect[4], int percent,
                        bool additive, double roll);
HRESULT dxdrawindexed(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vtype, const void* vertices, DWORD vcount,
                      const WORD* indices, DWORD icount);
