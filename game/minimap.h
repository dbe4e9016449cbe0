// The cell inspector's box for one face of a cell (the 2-D views themselves
// are declared in map2d.h).
#pragma once

// A 127 x 31 box at (sx, sy) on the render target: the face's picture, its
// name, texture, torch, door, message and push event.
void DrawCellFaceInfo(int sx, int sy, int x, int y, int floor, int face);
