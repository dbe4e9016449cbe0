#include "game/scene3d.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "dx/dx.h"
#include "game/fatal.h"
#include "game/gamestate.h"
#include "game/map.h"
#include "script/strlist.h"

DrawItem* DrawList = nullptr;
DrawItem* FreeDrawList = nullptr;

namespace {

// The scene's doubled viewing point, for CompareItemDistance.
D3DVECTOR SceneEye2{};

float Dot(const D3DVECTOR& a, const D3DVECTOR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
D3DVECTOR Sub(const D3DVECTOR& a, const D3DVECTOR& b) { return D3DVECTOR{a.x - b.x, a.y - b.y, a.z - b.z}; }

bool InMap(int x, int y) { return x >= 0 && x < kMapSize && y >= 0 && y < kMapSize; }

// Warps and torches step through their pictures at 12 frames a second; the
// frame is kept in the map word itself.
void Animate(int32_t& word, int32_t first, int32_t last) {
  if (word < first) word = first;
  if (dxsync(12)) ++word;
  if (word > last) word = first;
}

D3DMATERIAL QuadMaterial() {
  D3DMATERIAL m;
  std::memset(&m, 0, sizeof m);
  m.dwSize = sizeof m;
  m.diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
  m.ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  m.dwRampSize = 1;
  return m;
}

// Fills the normal and transparency of a quad item and adds it when visible.
void AddFacingQuad(const D3DVECTOR& v, const D3DVECTOR& a, DrawItem& item, dx::bitmap* picture, float radius,
                   int alpha, int additive) {
  // Wound like the walls (right-bottom, left-bottom, left-top), so the
  // triangle's normal is the side the quad is seen from, as the walls' are.
  TriangleNormal(item.corners[0], item.corners[1], item.corners[2], item.normal);
  item.transparency = 255 - alpha;
  item.additive = additive;
  if (TestItemVisible(&item, v, a, radius) != 0) return;
  DrawItem* it = AllocDrawItem(&item);
  AddQuadToMesh(it->mesh, item.corners[0], item.corners[1], item.corners[2], item.corners[3], picture, 0, 0, 1, 1);
}

enum WallKind { kNorth, kEast, kSouth, kWest, kCeiling, kFloor };

void AddFace(WallKind kind, const D3DVECTOR& v, const D3DVECTOR& a, float x0, float h0, float z0, float height,
             float radius, int32_t* face) {
  const float hh = h0 + height;
  DrawItem item;
  std::memset(&item, 0, sizeof item);
  D3DVECTOR* p = item.corners;
  D3DVECTOR mark{};
  float angle = 0;
  switch (kind) {
    case kNorth:
      SetVec3(p[0], x0 + 2, h0, z0 + 2), SetVec3(p[1], x0, h0, z0 + 2);
      SetVec3(p[2], x0, hh, z0 + 2), SetVec3(p[3], x0 + 2, hh, z0 + 2);
      SetVec3(item.centre, x0 + 1, h0 + 1, z0 + 2), SetVec3(item.normal, 0, 0, -1);
      break;
    case kEast:
      SetVec3(p[0], x0 + 2, h0, z0), SetVec3(p[1], x0 + 2, h0, z0 + 2);
      SetVec3(p[2], x0 + 2, hh, z0 + 2), SetVec3(p[3], x0 + 2, hh, z0);
      SetVec3(item.centre, x0 + 2, h0 + 1, z0 + 1), SetVec3(item.normal, -1, 0, 0);
      angle = 90;
      break;
    case kSouth:
      SetVec3(p[0], x0, h0, z0), SetVec3(p[1], x0 + 2, h0, z0);
      SetVec3(p[2], x0 + 2, hh, z0), SetVec3(p[3], x0, hh, z0);
      SetVec3(item.centre, x0 + 1, h0 + 1, z0), SetVec3(item.normal, 0, 0, 1);
      angle = 180;
      break;
    case kWest:
      SetVec3(p[0], x0, h0, z0 + 2), SetVec3(p[1], x0, h0, z0);
      SetVec3(p[2], x0, hh, z0), SetVec3(p[3], x0, hh, z0 + 2);
      SetVec3(item.centre, x0, h0 + 1, z0 + 1), SetVec3(item.normal, 1, 0, 0);
      angle = 270;
      break;
    case kCeiling:
      SetVec3(p[0], x0 + 2, hh, z0 + 2), SetVec3(p[1], x0, hh, z0 + 2);
      SetVec3(p[2], x0, hh, z0), SetVec3(p[3], x0 + 2, hh, z0);
      SetVec3(item.centre, x0 + 1, hh, z0 + 1), SetVec3(item.normal, 0, -1, 0);
      break;
    case kFloor:
      SetVec3(p[0], x0 + 2, h0, z0), SetVec3(p[1], x0, h0, z0);
      SetVec3(p[2], x0, h0, z0 + 2), SetVec3(p[3], x0 + 2, h0, z0 + 2);
      SetVec3(item.centre, x0 + 1, h0, z0 + 1), SetVec3(item.normal, 0, 1, 0);
      break;
  }
  if (TestItemVisible(&item, v, a, radius) != 0) return;
  if (face[FACE_TEXTURE] == 0 && face[FACE_DOOR] == 0 && face[FACE_FIRE] == 0 && face[FACE_MESS] == 0) return;
  dx::bitmap* picture = FaceTexture(face);
  // A north wall without a picture has no quad, but its marks still show.
  if (kind != kNorth || picture) {
    DrawItem* it = AllocDrawItem(&item);
    AddQuadToMesh(it->mesh, p[0], p[1], p[2], p[3], picture, 0, 0, 1, 1);
  }
  if (kind == kCeiling || kind == kFloor) return;

  // Door, message mark and torch stand just in front of the wall, the nearer
  // the wall the earlier drawn, so none hides behind another.
  auto at = [&](float depth) {
    switch (kind) {
      case kNorth: SetVec3(mark, x0 + 1, h0 + 1, z0 + depth); break;
      case kEast: SetVec3(mark, x0 + depth, h0 + 1, z0 + 1); break;
      case kSouth: SetVec3(mark, x0 + 1, h0 + 1, z0 + 2 - depth); break;
      default: SetVec3(mark, x0 + 2 - depth, h0 + 1, z0 + 1); break;
    }
  };
  at(1.99f);
  AddDoorDecal(v, a, mark.x, mark.y, mark.z, angle, radius, face);
  at(1.98f);
  AddMessageMark(v, a, mark.x, mark.y, mark.z, angle, radius, face);
  at(1.9f);
  AddTorch(v, a, mark.x, mark.y, mark.z, radius, face);
}

}  // namespace

void SetVec3FromInts(D3DVECTOR& out, int x, int y, int z) {
  out.x = static_cast<float>(x), out.y = static_cast<float>(y), out.z = static_cast<float>(z);
}

void SetVec3(D3DVECTOR& out, float x, float y, float z) { out.x = x, out.y = y, out.z = z; }

void SetVertexPosition(D3DVERTEX& vertex, const D3DVECTOR& p) {
  vertex.x = p.x, vertex.y = p.y, vertex.z = p.z;
  vertex.nx = vertex.ny = vertex.nz = 0;
}

void SetVertexUV(D3DVERTEX& vertex, float u, float v) { vertex.tu = u, vertex.tv = v; }

void AddQuadToMesh(dx::mesh* mesh, const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& p2,
                   const D3DVECTOR& p3, dx::bitmap* picture, float umin, float vmin, float umax, float vmax) {
  D3DVERTEX v[4];
  SetVertexPosition(v[0], p0), SetVertexUV(v[0], umax, vmax);
  SetVertexPosition(v[1], p1), SetVertexUV(v[1], umin, vmax);
  SetVertexPosition(v[2], p2), SetVertexUV(v[2], umin, vmin);
  SetVertexPosition(v[3], p3), SetVertexUV(v[3], umax, vmin);
  static const uint16_t kIndices[6] = {0, 1, 2, 0, 2, 3};
  const D3DMATERIAL material = QuadMaterial();
  dxaddmeshgroup(mesh, v, 4, kIndices, 6, &material, picture);
}

void RotateAboutY(float angle, const D3DVECTOR& pivot, D3DVECTOR& point) {
  const double a = angle * 3.1415 / 180.0;
  const double dx = point.x - pivot.x, dz = point.z - pivot.z;
  point.x = static_cast<float>(pivot.x + (std::cos(a) * dx + std::sin(a) * dz));
  point.z = static_cast<float>(pivot.z + (-std::sin(a) * dx + std::cos(a) * dz));
}

void TurnToViewer(const D3DVECTOR& v, const D3DVECTOR& pivot, D3DVECTOR& point) {
  const float dx = pivot.x - v.x, dz = pivot.z - v.z;
  const float len = std::sqrt(dx * dx + dz * dz);
  // A viewer straight above or below the pivot has no direction to face.
  if (len == 0) return;
  const float ox = point.x - pivot.x, oz = point.z - pivot.z;
  point.x = pivot.x + (dz * ox + dx * oz) / len;
  point.z = pivot.z + (-dx * ox + dz * oz) / len;
}

void TriangleNormal(const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c, D3DVECTOR& out) {
  const D3DVECTOR u = Sub(b, a), w = Sub(c, a);
  out.x = u.y * w.z - u.z * w.y;
  out.y = u.z * w.x - u.x * w.z;
  out.z = u.x * w.y - u.y * w.x;
}

DrawItem* AllocDrawItem(const DrawItem* tmpl) {
  DrawItem* item = FreeDrawList;
  if (item) {
    FreeDrawList = item->next;
    if (item->mesh) dxdeletemesh(item->mesh);
  } else {
    item = new DrawItem;
  }
  if (tmpl)
    *item = *tmpl;
  else
    std::memset(item, 0, sizeof *item);
  item->mesh = dxcreatemesh();
  item->prev = nullptr;
  item->next = DrawList;
  if (DrawList) DrawList->prev = item;
  DrawList = item;
  return item;
}

void FreeDrawItem(DrawItem* item) {
  if (!item) return;
  if (item->mesh) dxdeletemesh(item->mesh);
  item->mesh = nullptr;
  if (item->prev)
    item->prev->next = item->next;
  else if (DrawList == item)
    DrawList = item->next;
  if (item->next) item->next->prev = item->prev;
  item->prev = nullptr;
  item->next = FreeDrawList;
  FreeDrawList = item;
}

int ProjectOutcode(const D3DVECTOR& point, float screen[3]) {
  int x = 0, y = 0;
  if (!dxworldtoscreen(point, &x, &y)) {
    screen[0] = -1, screen[1] = -1;
    return 0;
  }
  screen[0] = static_cast<float>(x), screen[1] = static_cast<float>(y);
  int code = 0;
  if (x < 0) code |= 1;
  if (x > kViewWidth) code |= 2;
  if (y < 0) code |= 4;
  if (y > kViewHeight) code |= 8;
  return code;
}

int TestItemVisible(DrawItem* item, const D3DVECTOR& v, const D3DVECTOR& ahead, float radius) {
  item->visible = 0;
  const D3DVECTOR& c = item->centre;
  if (std::fabs(v.x - c.x) > radius || std::fabs(v.y - c.y) > 1.5f || std::fabs(v.z - c.z) > radius) return 1;
  item->distance = std::fabs(v.x - c.x) + std::fabs(v.y - c.y) + std::fabs(v.z - c.z);
  const D3DVECTOR look = Sub(ahead, v);
  bool in_front = false;
  for (const D3DVECTOR& p : item->corners)
    if (Dot(Sub(p, v), look) > 0) in_front = true;
  if (!in_front) return 1;
  if (Dot(Sub(v, c), item->normal) < 0) return 1;
  int codes[4];
  for (int i = 0; i < 4; ++i) codes[i] = ProjectOutcode(item->corners[i], item->screen[i]);
  const int h = codes[0] & 3, vert = codes[0] & 12;
  bool same_h = h != 0, same_v = vert != 0;
  for (int i = 1; i < 4; ++i) {
    if ((codes[i] & 3) != h) same_h = false;
    if ((codes[i] & 12) != vert) same_v = false;
  }
  if (same_h || same_v) return 1;
  item->visible = 1;
  return 0;
}

int CompareItemDistance(const void* a, const void* b) {
  const DrawItem* p = *static_cast<DrawItem* const*>(a);
  const DrawItem* q = *static_cast<DrawItem* const*>(b);
  auto dist = [](const DrawItem* it) {
    return std::fabs(it->centre.x - SceneEye2.x) + std::fabs(it->centre.y - SceneEye2.y) +
           std::fabs(it->centre.z - SceneEye2.z);
  };
  const float da = dist(p), db = dist(q);
  if (da == db) return 0;
  return da > db ? -1 : 1;
}

dx::bitmap* MapTexture(int32_t n) {
  if (n <= 0) return nullptr;
  if (n >= kChipCount) n = 255;
  if (!WallTextureTable[n].path) n = 255;
  LoadMapImage(&WallTextureTable[n]);
  return WallTextureTable[n].picture;
}

dx::bitmap* FaceTexture(const int32_t* face) { return MapTexture(face[FACE_TEXTURE]); }

void AddNorthWall(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                  int32_t* face) {
  AddFace(kNorth, v, a, x, h, z, height, radius, face);
}
void AddEastWall(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                 int32_t* face) {
  AddFace(kEast, v, a, x, h, z, height, radius, face);
}
void AddSouthWall(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                  int32_t* face) {
  AddFace(kSouth, v, a, x, h, z, height, radius, face);
}
void AddWestWall(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                 int32_t* face) {
  AddFace(kWest, v, a, x, h, z, height, radius, face);
}
void AddCeilingFace(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                    int32_t* face) {
  AddFace(kCeiling, v, a, x, h, z, height, radius, face);
}
void AddFloorFace(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float height, float radius,
                  int32_t* face) {
  AddFace(kFloor, v, a, x, h, z, height, radius, face);
}

void AddFaceDecal(const D3DVECTOR& v, const D3DVECTOR& a, float px, float ph, float pz, float ox, float oy,
                  float angle, float radius, int32_t picture, int alpha, int additive) {
  dx::bitmap* pic = MapTexture(picture);
  if (!pic) return;
  const float w = dxbitmapwidth(pic) / 100.0f, hgt = dxbitmapheight(pic) / 100.0f;
  DrawItem item;
  std::memset(&item, 0, sizeof item);
  const float bottom = ph + oy - 1;
  SetVec3(item.corners[0], px + ox + w / 2, bottom, pz);
  SetVec3(item.corners[1], px + ox - w / 2, bottom, pz);
  SetVec3(item.corners[2], px + ox - w / 2, bottom + hgt, pz);
  SetVec3(item.corners[3], px + ox + w / 2, bottom + hgt, pz);
  const D3DVECTOR pivot{px, ph, pz};
  for (D3DVECTOR& p : item.corners) RotateAboutY(angle, pivot, p);
  item.centre = pivot;
  AddFacingQuad(v, a, item, pic, radius, alpha, additive);
}

void AddDoorDecal(const D3DVECTOR& v, const D3DVECTOR& a, float px, float ph, float pz, float angle, float radius,
                  const int32_t* face) {
  if (face[FACE_DOOR] == 0) return;
  AddFaceDecal(v, a, px, ph, pz, 0, 0, angle, radius, face[FACE_DOOR], 255, 0);
}

void AddMessageMark(const D3DVECTOR& v, const D3DVECTOR& a, float px, float ph, float pz, float angle,
                    float radius, const int32_t* face) {
  if (face[FACE_MESS] == 0) return;
  AddFaceDecal(v, a, px, ph, pz, 0, 0, angle, radius, 254, 255, 0);
}

void AddTorch(const D3DVECTOR& v, const D3DVECTOR& a, float px, float ph, float pz, float radius, int32_t* face) {
  if (face[FACE_FIRE] == 0) return;
  Animate(face[FACE_FIRE], 240, 246);
  AddBillboard(v, a, px - 1, ph, pz - 1, 0.8f, 0.8f, radius, face[FACE_FIRE], 240, 1);
}

void AddBillboard(const D3DVECTOR& v, const D3DVECTOR& a, float x, float h, float z, float width, float height,
                  float radius, int32_t picture, int alpha, int additive) {
  dx::bitmap* pic = MapTexture(picture);
  if (!pic) return;
  const float xc = x + 1, zc = z + 1;
  DrawItem item;
  std::memset(&item, 0, sizeof item);
  SetVec3(item.corners[0], xc + width / 2, h, zc);
  SetVec3(item.corners[1], xc - width / 2, h, zc);
  SetVec3(item.corners[2], xc - width / 2, h + height, zc);
  SetVec3(item.corners[3], xc + width / 2, h + height, zc);
  SetVec3(item.centre, xc, h + 1, zc);
  for (D3DVECTOR& p : item.corners) TurnToViewer(v, item.centre, p);
  AddFacingQuad(v, a, item, pic, radius, alpha, additive);
}

namespace {

struct StairsQuad {
  dx::mesh* mesh;
  D3DVECTOR pivot;
  float angle;

  void Add(D3DVECTOR p0, D3DVECTOR p1, D3DVECTOR p2, D3DVECTOR p3, dx::bitmap* pic, float u0, float v0, float u1,
           float v1) const {
    RotateAboutY(angle, pivot, p0), RotateAboutY(angle, pivot, p1);
    RotateAboutY(angle, pivot, p2), RotateAboutY(angle, pivot, p3);
    AddQuadToMesh(mesh, p0, p1, p2, p3, pic, u0, v0, u1, v1);
  }
  void XY(float x, float y, float z, float w, float h, dx::bitmap* pic, float u0, float v0, float u1,
          float v1) const {
    Add({x + w, y, z}, {x, y, z}, {x, y + h, z}, {x + w, y + h, z}, pic, u0, v0, u1, v1);
  }
  void XYRev(float x, float y, float z, float w, float h, dx::bitmap* pic, float u0, float v0, float u1,
             float v1) const {
    Add({x, y, z}, {x + w, y, z}, {x + w, y + h, z}, {x, y + h, z}, pic, u0, v0, u1, v1);
  }
  void ZY(float x, float y, float z, float w, float h, dx::bitmap* pic, float u0, float v0, float u1,
          float v1) const {
    Add({x, y, z + w}, {x, y, z}, {x, y + h, z}, {x, y + h, z + w}, pic, u0, v0, u1, v1);
  }
  void ZYRev(float x, float y, float z, float w, float h, dx::bitmap* pic, float u0, float v0, float u1,
             float v1) const {
    Add({x, y, z}, {x, y, z + w}, {x, y + h, z + w}, {x, y + h, z}, pic, u0, v0, u1, v1);
  }
  void XZ(float x, float y, float z, float w, float h, dx::bitmap* pic, float u0, float v0, float u1,
          float v1) const {
    Add({x, y, z}, {x, y, z + h}, {x + w, y, z + h}, {x + w, y, z}, pic, u0, v0, u1, v1);
  }
};

void BuildStairsMesh(dx::mesh* mesh, float x, float h, float z, dx::bitmap* profile, dx::bitmap* step,
                     float angle) {
  const StairsQuad q{mesh, D3DVECTOR{x + 1, h + 1, z + 1}, angle};
  for (int k = 0; k < 4; ++k) {
    const float x0 = x + 0.5f * k, top = 2 - 0.5f * k;
    const float u0 = 0.25f * k, u1 = u0 + 0.25f, v0 = 0.25f * k;
    q.XY(x0, h, z, 0.5f, top, profile, u0, v0, u1, 1);
    q.XYRev(x0, h, z + 2, 0.5f, top, profile, u0, v0, u1, 1);
  }
  // Risers, the top one first, each on the next quarter band of the step picture.
  for (int j = 1; j <= 4; ++j) {
    const float band = 0.25f * (j - 1);
    q.ZY(x + 0.5f * j, h + 2 - 0.5f * j, z, 2, 0.5f, step, 0, band, 1, band + 0.25f);
  }
  q.ZYRev(x, h, z, 2, 2, profile, 0, 0, 1, 1);
  // Treads, the lowest first; the top one wears the profile picture.
  for (int k = 3; k >= 0; --k) {
    const float band = 0.25f * (3 - k);
    q.XZ(x + 0.5f * k, h + 2 - 0.5f * k, z, 0.5f, 2, k == 0 ? profile : step, 0, band, 1, band + 0.25f);
  }
}

}  // namespace

void AddStairs(float x, float h, float z, int32_t /*picture*/, float angle) {
  dx::bitmap* profile = MapTexture(30);
  dx::bitmap* step = MapTexture(11);
  if (!profile || !step) return;
  DrawItem* item = AllocDrawItem(nullptr);
  item->visible = 1;
  BuildStairsMesh(item->mesh, x, h, z, profile, step, angle);
}

void BuildDungeonScene(float x, float height, float z, float heading, float pitch) {
  const double t = heading * 3.14 / 180.0;
  const double p = pitch * 3.141516 / 180.0;
  const D3DVECTOR d{static_cast<float>(std::sin(t) * std::cos(p)), static_cast<float>(std::sin(p)),
                    static_cast<float>(std::cos(t) * std::cos(p))};
  const D3DVECTOR v{x - 0.2f * d.x, height - 0.2f * d.y, z - 0.2f * d.z};
  const D3DVECTOR ahead{x + 2 * d.x, height + 2 * d.y, z + 2 * d.z};
  const D3DVECTOR eye{x - 2 * d.x, height - 2 * d.y, z - 2 * d.z};
  const D3DVECTOR target{x - 4 * d.x, height + 2 * d.y, z + 2 * d.z};
  dxsetcamera(eye, target, 0);

  // Any number can stand in a position: converted with saturation, and the
  // columns held near the map (where no cell is anyway) so the loops cannot wrap.
  auto near_map = [](float v) { return std::clamp(ScriptDoubleToInt(v) / 2, -kMapSize - 16, 2 * kMapSize + 16); };
  const int cx = near_map(x), cn = ScriptDoubleToInt(height) / 2, cy = near_map(z);
  SceneEye2 = D3DVECTOR{2 * x, 2 * height, 2 * z};
  while (DrawList) FreeDrawItem(DrawList);

  const int r = cn == 0 ? 12 : 8;
  const float radius = 2.0f * r;
  const int f = cn;
  for (int y = cy - r; y <= cy + r; ++y) {
    for (int xx = cx - r; xx <= cx + r; ++xx) {
      if (!InMap(xx, y)) continue;
      if (f < 0 || f >= kFloors) GAME_FATAL("座標の階数が規定値を超えました[%d]", f);
      MapCell& cell = DungeonMap[f].cells[xx][y];
      const float x0 = 2.0f * xx, h0 = 2.0f * f, z0 = 2.0f * y;
      // A wall of 140 to 149 shows only at the map's edge or once the cell
      // behind it has its wall-broken bit.
      auto hidden = [&](int face, int nx, int ny) {
        const int32_t tex = cell.face(face, FACE_TEXTURE);
        return tex >= 140 && tex <= 149 && InMap(nx, ny) && !(MapFlags[f][nx][ny] & MAPFLAG_WALL);
      };
      if (!hidden(FACE_NORTH, xx, y + 1)) AddNorthWall(v, ahead, x0, h0, z0, 2, radius, &cell.face(FACE_NORTH, 0));
      if (!hidden(FACE_EAST, xx + 1, y)) AddEastWall(v, ahead, x0, h0, z0, 2, radius, &cell.face(FACE_EAST, 0));
      if (!hidden(FACE_SOUTH, xx, y - 1)) AddSouthWall(v, ahead, x0, h0, z0, 2, radius, &cell.face(FACE_SOUTH, 0));
      if (!hidden(FACE_WEST, xx - 1, y)) AddWestWall(v, ahead, x0, h0, z0, 2, radius, &cell.face(FACE_WEST, 0));

      int32_t up[6], down[6];
      std::memcpy(up, &cell.face(FACE_UP, 0), sizeof up);
      std::memcpy(down, &cell.face(FACE_DOWN, 0), sizeof down);
      if (up[0] >= 100 && up[0] <= 109 && f + 1 < kFloors && !(MapFlags[f + 1][xx][y] & MAPFLAG_FLOOR)) up[0] += 10;
      AddCeilingFace(v, ahead, x0, h0, z0, 2, radius, up);
      if (down[0] >= 120 && down[0] <= 129 && !(MapFlags[f][xx][y] & MAPFLAG_FLOOR)) down[0] += 10;
      AddFloorFace(v, ahead, x0, h0, z0, 2, radius, down);

      const uint32_t flags = MapFlags[f][xx][y];
      int32_t* w = cell.w;
      if (w[CELL_TREE] != 0 && (flags & MAPFLAG_TREE))
        AddBillboard(v, ahead, x0, h0, z0, 2.0f, 5.0f, radius, w[CELL_TREE], 255, 0);
      if (w[CELL_BOX] != 0 && (flags & MAPFLAG_TREASURE))
        AddBillboard(v, ahead, x0, h0, z0, 2.0f, 2.0f, radius, w[CELL_BOX], 255, 0);
      if (w[CELL_WARP] != 0) {
        Animate(w[CELL_WARP], 250, 252);
        AddBillboard(v, ahead, x0, h0, z0, 1.2f, 2.0f, radius, w[CELL_WARP], 128, 1);
      }
      if (w[CELL_STPU] != 0) AddStairs(x0, h0, z0, 11, (w[CELL_STPU] - 1) * 90.0f);
      if (w[CELL_STPD] != 0) AddStairs(x0, h0 - 2, z0, 34, (w[CELL_STPD] - 1) * 90.0f);
    }
  }
  // A viewer off every floor has no towers or objects to see (and no floor to
  // read them from).
  if (f < 0 || f >= kFloors) return;

  for (int y = 0; y < kMapSize; ++y) {
    for (int xx = 0; xx < kMapSize; ++xx) {
      const int32_t tower = DungeonMap[f].cells[xx][y].w[CELL_TOWER];
      if (tower == 0) continue;
      const int dist = std::abs(xx - cx) + std::abs(y - cy);
      const int g = 15 - dist;
      const int alpha = g < 0 ? 0 : g * 260 / 15;
      if (alpha <= 0) continue;
      const float w = std::fmin(g * 9 / 15.0f, 6.0f), h = std::fmin(g * 12 / 15.0f, 8.0f);
      AddBillboard(v, ahead, 2.0f * xx, 2.0f * f - dist * 0.05f, 2.0f * y, w, h, 200, tower, alpha > 255 ? 255 : alpha,
                   0);
    }
  }
  // A place or size that is no float (not finite, or past the float range) has nothing to draw.
  auto drawable = [](double v) { return std::fabs(v) <= std::numeric_limits<float>::max() / 2; };
  for (const ObjectRec& o : ObjectTable) {
    if (!o.active || o.N != static_cast<double>(f) || o.picture == 0) continue;
    if (!drawable(o.X) || !drawable(o.Y) || !drawable(o.width) || !drawable(o.height)) continue;
    const int32_t pic = o.picture > 255 ? 255 : static_cast<int32_t>(o.picture);
    const int alpha = static_cast<int>(o.alpha > 255 ? 255 : o.alpha);
    AddBillboard(v, ahead, static_cast<float>(2 * o.X), 2.0f * f, static_cast<float>(2 * o.Y),
                 static_cast<float>(o.width), static_cast<float>(o.height), radius, pic, alpha, alpha < 255);
  }
}
