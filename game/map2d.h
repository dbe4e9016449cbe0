// The 2-D views of the map: the minimap around a point, the whole-floor map
// and the debug cell inspector.
#pragma once

namespace dx {
struct bitmap;
}

// The minimap's 352 x 352 bitmap, made once by InitMap2DSurface.
extern dx::bitmap* Map2DSurface;

// 11 x 11 cells of 32 pixels around (x, y), north up, into the target.
int DrawMiniMap(dx::bitmap* target, int x, int y, int floor, int heading);
// The whole floor at 16 pixels a cell at (x, y) of the screen; a negative floor
// is the hero's.
int DrawFloorMap(int x, int y, int floor);
// Every value of one cell, and its six faces, on the target.
void DrawCellInfo(dx::bitmap* target, int x, int y, int floor, int heading);
