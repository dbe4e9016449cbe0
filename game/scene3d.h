// The 3-D view's scene: every frame the cells around the viewer become a list
// of textured quads (walls, ceilings, floors, marks, torches, trees, treasure,
// warps, stairs, towers and placed objects), and the camera is set.
#pragma once

#include <cstdint>

#include "platform/d3d/d3dtypes.h"

namespace dx {
struct bitmap;
struct mesh;
}  // namespace dx

// The view the scene is culled against (the 3-D view's size in pixels).
constexpr int kViewWidth = 320;
constexpr int kViewHeight = 240;

struct DrawItem {
  DrawItem* next;
  DrawItem* prev;
  dx::mesh* mesh;  // owned
  D3DVECTOR corners[4];
  float screen[4][3];  // projected corners (x, y; the third is unused)
  D3DVECTOR centre;
  D3DVECTOR normal;
  float distance;  // |dx| + |dy| + |dz| from the viewpoint to the centre
  int32_t transparency;  // 255 - alpha; 0 opaque
  int32_t additive;
  int32_t visible;
};

// Live items, the newest first, and released ones kept for reuse.
extern DrawItem* DrawList;
extern DrawItem* FreeDrawList;

void BuildDungeonScene(float x, float height, float z, float heading, float pitch);

DrawItem* AllocDrawItem(const DrawItem* tmpl);
void FreeDrawItem(DrawItem* item);
// Sets item->visible; 0 when visible, 1 when not.
int TestItemVisible(DrawItem* item, const D3DVECTOR& v, const D3DVECTOR& ahead, float radius);
// Outcode of a projected point against the view (1 left, 2 right, 4 above,
// 8 below); 0 with (-1, -1) stored when it cannot be projected.
int ProjectOutcode(const D3DVECTOR& point, float screen[3]);
// Far-to-near order of two items by their distance from the scene's doubled
// viewing point: 0 equal, -1 when a is farther, 1 otherwise.
int CompareItemDistance(const void* a, const void* b);

// The picture of WallTextureTable entry n (256 and above as 255, an entry
// without a file as 255), loaded on demand; null for 0, a negative number or a
// picture without a surface.
dx::bitmap* MapTexture(int32_t n);
dx::bitmap* FaceTexture(const int32_t* face);

void AddNorthWall(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                  int32_t* face);
void AddEastWall(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                 int32_t* face);
void AddSouthWall(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                  int32_t* face);
void AddWestWall(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                 int32_t* face);
void AddCeilingFace(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                    int32_t* face);
void AddFloorFace(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                  int32_t* face);
void AddBillboard(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float width, float height,
                  float radius, int32_t picture, int alpha, int additive);
void AddFaceDecal(const D3DVECTOR& v, const D3DVECTOR& a, float px, float ph, float pz, float ox, float oy,
                  float angle, float radius, int32_t picture, int alpha, int additive);
void AddDoorDecal(const D3DVECTOR& v, const D3DVECTOR& a, float px, float ph, float pz, float angle, float radius,
                  const int32_t* face);
void AddMessageMark(const D3DVECTOR& v, const D3DVECTOR& a, float px, float ph, float pz, float angle,
                    float radius, const int32_t* face);
// Animates the face's FIRE word in place.
void AddTorch(const D3DVECTOR& v, const D3DVECTOR& a, float px, float ph, float pz, float radius, int32_t* face);
void AddStairs(float x, float h, float z, int32_t picture, float angle);

void SetVec3FromInts(D3DVECTOR& out, int x, int y, int z);
void SetVec3(D3DVECTOR& out, float x, float y, float z);
void SetVertexPosition(D3DVERTEX& vertex, const D3DVECTOR& p);
void SetVertexUV(D3DVERTEX& vertex, float u, float v);
void AddQuadToMesh(dx::mesh* mesh, const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& p2,
                   const D3DVECTOR& p3, dx::bitmap* picture, float umin, float vmin, float umax, float vmax);
void RotateAboutY(float angle, const D3DVECTOR& pivot, D3DVECTOR& point);
void TurnToViewer(const D3DVECTOR& v, const D3DVECTOR& pivot, D3DVECTOR& point);
void TriangleNormal(const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c, D3DVECTOR& out);
