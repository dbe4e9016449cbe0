// Rectangle fills and bitmap blits on the render target, cut to the clip
// rectangle. Pixel value 0 is the colour key of every keyed blit.
#pragma once

#include <cstdint>

#include "dx/bitmap.h"

void dxfillrect(int x, int y, int w, int h, uint32_t pixel);
// An RGB colour, dithered with a 4 x 4 pattern at 8 and 16 bits.
void dxfillrectrgb(int x, int y, int w, int h, int r, int g, int b);
// Fills only where the target holds 0.
void dxfillrectkey(int x, int y, int w, int h, uint32_t pixel);
// Four row masks, a byte 0xFF for each cell of the dither table that a
// percentage (0 to 100) covers.
void dxdithermask(int percent, uint32_t masks[4]);

// The whole bitmap at (x, y): tried unclipped first, so a bitmap inside the
// target shows even outside the clip rectangle; trimmed to the clip on failure.
void dxblt(dx::bitmap* b, int x, int y);
void dxbltnokey(dx::bitmap* b, int x, int y);
// Part of the bitmap, trimmed to the clip rectangle.
void dxbltpart(dx::bitmap* b, int x, int y, int sx, int sy, int w, int h);
void dxbltpartnokey(dx::bitmap* b, int x, int y, int sx, int sy, int w, int h);
// Stretched to w x h; a refused blit is retried trimmed to the screen. Nothing
// is drawn for a width or height of 0 or less.
void dxstretchblt(dx::bitmap* b, int x, int y, int w, int h);
// Under the existing picture: only target pixels of 0 take the bitmap's.
void dxbltunder(dx::bitmap* b, int x, int y);
void dxbltmirror(dx::bitmap* b, int x, int y, bool left_right, bool up_down);
// Tiles (x, y, w, h) with the bitmap, unclipped.
void dxblttile(dx::bitmap* b, int x, int y, int w, int h);
// Inverts every channel bit; through Direct3D when its device may do it on the
// back buffer.
void dxinvertrect(int x, int y, int w, int h);
// The Direct3D path of dxinvertrect over a clipped rectangle.
void dxinvertrectd3d(int left, int top, int right, int bottom);

