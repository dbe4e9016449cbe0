// Positions in the dungeon (ViewPos, in gamestate.h): copies, comparisons,
// rounding and clamping, walking along the heading, the one-cell move, the
// lookups of a position's cell, and the scans for the events a position meets.
#pragma once

#include <cstdint>

#include "game/gamestate.h"

// PositionDiff bits.
constexpr int POS_DIFF_N = 0x1;
constexpr int POS_DIFF_X = 0x2;
constexpr int POS_DIFF_Y = 0x4;
constexpr int POS_DIFF_T = 0x8;
constexpr int POS_DIFF_P = 0x10;

void InitViewPos(ViewPos& pos, double x, double y, double n, double t, double p);
void CopyViewPos(ViewPos& dest, const ViewPos& src);
void CopyPosition(ViewPos& dest, const ViewPos& src);
// The fields that differ, compared exactly.
int PositionDiff(const ViewPos& a, const ViewPos& b);

// A value rounded to its cell: + 0.5, truncated toward zero (saturating).
int32_t RoundPos(double v);
int32_t GetPosX(const ViewPos& pos);
int32_t GetPosY(const ViewPos& pos);
int32_t GetPosFloor(const ViewPos& pos);
// (T + 45) / 90 truncated: 0 to 4 for a heading in 0 to 360.
int32_t GetPosQuadrant(const ViewPos& pos);
// True when the rounded position names a cell of the dungeon.
bool PosInMap(const ViewPos& pos);

// Degrees into 0 to 360 as stepping by whole turns would leave them: above
// 360 comes down to (0, 360], below 0 up to [0, 360); in between stays. A
// value that is not finite gives 0.
double WrapDegrees(double degrees);

// X, Y and N rounded; P into 0 to 360 (360 stays); T into 0 to 359, then down
// to a multiple of 90.
void SnapPosition(ViewPos& pos);
// Snapped, then X and Y held at 24 and N at 14 at most.
void SetViewPosClamped(ViewPos& pos);

// Moves `pos` `d` cells along its heading and pitch (X and Y held within 0 to
// 24, N free), keeping the old position in `old` when given. 1 when X, Y or N
// changed; else `pos` is left as it was and the result is 0.
int WalkForward(ViewPos& pos, double d, ViewPos* old);
// One cell forward (d = 1) or back (-1) into a cell of the map whose tree bit
// is clear: 1 moved (`prev` holds the old position), else 0 with `pos` as it was.
int TryMoveStep(ViewPos& pos, int d, ViewPos* prev = nullptr);

// The cell's MapFlags word, or its TREE word; 0 outside the map.
uint32_t GetCellFlag(const ViewPos& pos);
int32_t GetCellTree(const ViewPos& pos);

// The event of the position's cell (a placed object's event on the cell
// overrides it); sets PARAM, EVENT, X, Y, N and T (the heading's quadrant).
int32_t ScanEvent(const ViewPos& pos);
// The push event of a wall of the position's cell: ahead for direction 1 or
// more, behind for a negative one, north for 0. Sets the same variables, T the face.
int32_t ScanPushEvent(const ViewPos& pos, int direction);

// The minimap's bitmap made once, the view capture let go, the device's states set.
void InitMap2DSurface();
// Texture perspective on, the ambient light, the world transform the identity.
void ResetRenderState();
