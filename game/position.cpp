#include "game/position.h"

#include <cmath>

#include "dx/dx.h"
#include "game/map.h"
#include "game/map2d.h"
#include "script/strlist.h"
#include "game/view3d.h"

dx::matrix WorldMatrix;
dx::bitmap* ViewCapture = nullptr;
dx::bitmap* Map2DSurface = nullptr;

void InitViewPos(ViewPos& pos, double x, double y, double n, double t, double p) { pos = {x, y, n, t, p}; }
void CopyViewPos(ViewPos& dest, const ViewPos& src) { dest = src; }
void CopyPosition(ViewPos& dest, const ViewPos& src) { dest = src; }

int PositionDiff(const ViewPos& a, const ViewPos& b) {
  int diff = 0;
  if (a.N != b.N) diff |= POS_DIFF_N;
  if (a.X != b.X) diff |= POS_DIFF_X;
  if (a.Y != b.Y) diff |= POS_DIFF_Y;
  if (a.T != b.T) diff |= POS_DIFF_T;
  if (a.P != b.P) diff |= POS_DIFF_P;
  return diff;
}

// Scripts can put any number into a position: far values saturate rather than
// overflow the conversion.
int32_t RoundPos(double v) { return ScriptDoubleToInt(v + 0.5); }
int32_t GetPosX(const ViewPos& pos) { return RoundPos(pos.X); }
int32_t GetPosY(const ViewPos& pos) { return RoundPos(pos.Y); }
int32_t GetPosFloor(const ViewPos& pos) { return RoundPos(pos.N); }
int32_t GetPosQuadrant(const ViewPos& pos) { return ScriptDoubleToInt((pos.T + 45) / 90); }

bool PosInMap(const ViewPos& pos) {
  int32_t x = GetPosX(pos), y = GetPosY(pos), n = GetPosFloor(pos);
  return x >= 0 && x < kMapSize && y >= 0 && y < kMapSize && n >= 0 && n < kFloors;
}

double WrapDegrees(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  // A remainder, not a loop: a far value would take ages, and one too large
  // for a step of 360 to change would never end.
  if (degrees > 360) {
    degrees = std::fmod(degrees, 360.0);
    if (degrees == 0) degrees = 360;
  } else if (degrees < 0) {
    degrees = std::fmod(degrees, 360.0) + 360;
    if (degrees >= 360) degrees -= 360;
  }
  return degrees;
}

void SnapPosition(ViewPos& pos) {
  pos.X = GetPosX(pos);
  pos.Y = GetPosY(pos);
  pos.N = GetPosFloor(pos);
  // The remainders give what stepping by 360 would, without a long loop for a
  // far value.
  int64_t p = ScriptDoubleToInt(pos.P);
  if (p > 360) p = (p - 1) % 360 + 1;
  if (p < 0) p = (p % 360 + 360) % 360;
  pos.P = static_cast<double>(p);
  int64_t t = ScriptDoubleToInt(pos.T);
  t = (t % 360 + 360) % 360;
  pos.T = static_cast<double>(t / 90 * 90);
}

void SetViewPosClamped(ViewPos& pos) {
  ViewPos v = pos;
  SnapPosition(v);
  if (v.X >= kMapSize) v.X = kMapSize - 1;
  if (v.Y >= kMapSize) v.Y = kMapSize - 1;
  if (v.N >= kFloors) v.N = kFloors - 1;
  pos = v;
}

int WalkForward(ViewPos& pos, double d, ViewPos* old) {
  ViewPos local;
  ViewPos& before = old ? *old : local;
  before = pos;
  double t = pos.T * 3.14 / 180, p = pos.P * 3.14 / 180;
  ViewPos moved = pos;
  moved.X += std::sin(t) * std::cos(p) * d;
  moved.Y += std::cos(t) * std::cos(p) * d;
  moved.N += std::sin(p) * d;
  if (moved.X < 0) moved.X = 0;
  if (moved.Y < 0) moved.Y = 0;
  if (moved.X >= kMapSize) moved.X = kMapSize - 1;
  if (moved.Y >= kMapSize) moved.Y = kMapSize - 1;
  if (moved.X != before.X || moved.Y != before.Y || moved.N != before.N) {
    pos = moved;
    return 1;
  }
  pos = before;
  return 0;
}

int TryMoveStep(ViewPos& pos, int d, ViewPos* prev) {
  ViewPos local;
  ViewPos& before = prev ? *prev : local;
  if (!WalkForward(pos, d, &before)) return 0;
  if (PosInMap(pos) && !(MapFlags[GetPosFloor(pos)][GetPosX(pos)][GetPosY(pos)] & MAPFLAG_TREE)) return 1;
  pos = before;
  return 0;
}

uint32_t GetCellFlag(const ViewPos& pos) {
  return PosInMap(pos) ? MapFlags[GetPosFloor(pos)][GetPosX(pos)][GetPosY(pos)] : 0;
}

int32_t GetCellTree(const ViewPos& pos) {
  return PosInMap(pos) ? DungeonMap[GetPosFloor(pos)].cells[GetPosX(pos)][GetPosY(pos)].w[CELL_TREE] : 0;
}

namespace {

void SetScanVars(int32_t param, int32_t event, int32_t x, int32_t y, int32_t n, int32_t t) {
  SetVarInt("PARAM", param);
  SetVarInt("EVENT", event);
  SetVarInt("X", x);
  SetVarInt("Y", y);
  SetVarInt("N", n);
  SetVarInt("T", t);
}

}  // namespace

int32_t ScanEvent(const ViewPos& pos) {
  int32_t x = GetPosX(pos), y = GetPosY(pos), n = GetPosFloor(pos);
  int32_t event = 0, param = 0;
  // A script may have put the hero outside the map: such a place has no event.
  if (PosInMap(pos)) {
    const MapCell& cell = DungeonMap[n].cells[x][y];
    event = cell.w[CELL_EVNT];
    param = cell.w[CELL_PARA];
  }
  for (const ObjectRec& o : ObjectTable) {
    if (o.active && o.event && o.N == n && o.X == x && o.Y == y) {
      event = static_cast<int32_t>(o.event);
      param = 0;
    }
  }
  SetScanVars(param, event, x, y, n, GetPosQuadrant(pos));
  return event;
}

int32_t ScanPushEvent(const ViewPos& pos, int direction) {
  int32_t x = GetPosX(pos), y = GetPosY(pos), n = GetPosFloor(pos);
  int32_t q = GetPosQuadrant(pos);
  int face = 0;
  if (direction >= 1) face = (q % 4 + 4) % 4;
  else if (direction < 0) face = ((q % 4 + 4) % 4 + 2) % 4;
  int32_t event = 0, param = 0;
  if (PosInMap(pos)) {
    const MapCell& cell = DungeonMap[n].cells[x][y];
    event = cell.face(face, FACE_PEVE);
    param = cell.face(face, FACE_PARA);
  }
  SetScanVars(param, event, x, y, n, face);
  return event;
}

namespace {
// The layer deletes every bitmap when it is released.
void ForgetMap2DSurface() { Map2DSurface = nullptr; }
}  // namespace

void InitMap2DSurface() {
  if (!Map2DSurface) {
    Map2DSurface = dxnewbitmap(352, 352);
    dxaddreleasehook(ForgetMap2DSurface);
  }
  ViewCapture = nullptr;
  ResetRenderState();
}

void ResetRenderState() {
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE);
  dxsetambient(0xFFB2B2B2);
  dxmatidentity(WorldMatrix);
}
