// The 2-D views of the map: the minimap around a point, the whole-floor map
// and the debug cell inspector.
#pragma once

namespace dx {
struct bitmap;
}

// The minimap's 352 x 352 bitmap, made once by InitMap2DSurface.
extern dx::bitmap* Map2DSurface;

// Weak while their definitions are not part of the game: callers test the
// address and skip the drawing. The file that defines them drops the attribute.
[[gnu::weak]] int DrawMiniMap(dx::bitmap* target, int x, int y, int floor, int heading);
[[gnu::weak]] int DrawFloorMap(int x, int y, int floor);
[[gnu::weak]] void DrawCellInfo(dx::bitmap* target, int x, int y, int floor, int heading);
