// The software pixel effects: blits that combine a bitmap with the render
// target, rectangle effects, silhouettes, shapes, the mosaic and screen fades.
// Drawing calls take pixel values of the display format (dxrgb) and report
// nothing: a failed lock or an empty clip draws nothing. Percentages are 0 to
// 100. Where the 3-D device offers the blend, the Direct3D path draws instead.
#pragma once

#include <cstdint>

#include "dx/bitmap.h"

// --- Blits of a bitmap with its top-left corner at (x, y); pixel 0 is clear ---
void dxbltadd(dx::bitmap* bmp, int32_t x, int32_t y);
void dxbltaddpct(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t percent);
void dxbltsub(dx::bitmap* bmp, int32_t x, int32_t y);
void dxbltalpha(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t percent);
void dxblthalf(dx::bitmap* bmp, int32_t x, int32_t y);
// pattern: four row words of 0xFF / 0x00 bytes, one byte per column of four.
void dxbltmesh(dx::bitmap* bmp, int32_t x, int32_t y, const uint32_t* pattern);
void dxbltmeshpct(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t percent);
void dxbltgray(dx::bitmap* bmp, int32_t x, int32_t y);
void dxbltdarken(dx::bitmap* bmp, int32_t x, int32_t y);
void dxbltlighten(dx::bitmap* bmp, int32_t x, int32_t y);
// offset: hue steps, 1536 a full turn.
void dxblthue(dx::bitmap* bmp, int32_t x, int32_t y, int32_t offset);
void dxbltmask(dx::bitmap* bmp, int32_t x, int32_t y, dx::bitmap* mask, int32_t mask_x, int32_t mask_y);

// --- Blits that move pixels ---
// Top-left to (x0, y0), top-right to (x1, y1), bottom-left to (x2, y2).
void dxbltaffine(dx::bitmap* bmp, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// (cx, cy) of the bitmap at (x, y) on the screen, turned counter-clockwise.
void dxbltrotate(dx::bitmap* bmp, int32_t x, int32_t y, int32_t cx, int32_t cy, int32_t degrees, int32_t zoom);
void dxbltwave(dx::bitmap* bmp, int32_t x, int32_t y, int32_t amplitude, int32_t period, int32_t phase);
void dxbltjitter(dx::bitmap* bmp, int32_t x, int32_t y, int32_t amplitude);

// --- Silhouettes: the bitmap's shape in one colour ---
// Whether the display driver performs a raster operation (its standard code,
// e.g. SRCINVERT) in its blits; never when the driver's capabilities are unknown.
bool dxropsupported(DWORD rop);
// Black and white silhouettes of a video-memory bitmap on a video-memory target
// are drawn by the driver's raster operations when it has them.
void dxbltsilhouette(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour);
void dxbltsilhouetteadd(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour);
void dxbltsilhouettealpha(dx::bitmap* bmp, int32_t x, int32_t y, uint32_t colour, uint32_t percent);

// --- Rectangle effects: one colour into (x, y, x + w, y + h), clipped ---
void dxfillrectalpha(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour, uint32_t percent);
void dxfillrecthalf(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
void dxfillrectadd(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
void dxfillrectsub(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
void dxfillrectmul(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
void dxfillrectdarken(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
void dxfillrectlighten(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
void dxfillrectmesh(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour, const uint32_t* pattern);
void dxfillrectmeshpct(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour, uint32_t percent);

// --- Shapes ---
void dxellipse(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t pixel);
void dxfillellipse(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t pixel);
void dxtriangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t pixel,
                uint32_t percent, bool additive);
// x values in 20.12 fixed point; rows top_y up to bottom_y.
void dxtrapezoid(int32_t top_left, int32_t top_right, int32_t bottom_left, int32_t bottom_right, int32_t top_y,
                 int32_t bottom_y, uint32_t pixel, uint32_t percent, bool additive);
// Span rows relative to the first pixel of a locked rectangle (x in 20.12).
void dxtrianglespans8(uint8_t* bits, int32_t pitch, int32_t left, int32_t right, int32_t left_step,
                      int32_t right_step, int32_t limit, int32_t rows, uint32_t pixel, uint32_t percent, bool additive);
void dxtrianglespans16(uint8_t* bits, int32_t pitch, int32_t left, int32_t right, int32_t left_step,
                       int32_t right_step, int32_t limit, int32_t rows, uint32_t pixel, uint32_t percent, bool additive);
void dxtrianglespans24(uint8_t* bits, int32_t pitch, int32_t left, int32_t right, int32_t left_step,
                       int32_t right_step, int32_t limit, int32_t rows, uint32_t pixel, uint32_t percent, bool additive);
void dxtrianglespans32(uint8_t* bits, int32_t pitch, int32_t left, int32_t right, int32_t left_step,
                       int32_t right_step, int32_t limit, int32_t rows, uint32_t pixel, uint32_t percent, bool additive);
void dxtriangled3d(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t pixel,
                   uint32_t percent, bool additive);

// --- Screen ---
// Blocks of block x block pixels over the rectangle; a block of 1 or less does nothing.
void dxmosaic(int32_t x, int32_t y, int32_t w, int32_t h, int32_t block);
// Fades the whole screen to (out) or from (in) a colour over duration ms,
// presenting every pass; returns when the fade is over.
void dxfadeout(uint32_t colour, uint32_t duration);
void dxfadein(uint32_t colour, uint32_t duration);

