// The software side of the pixel-effect drivers, on explicit surfaces: where to
// draw (a target surface, its clip rectangle and the display's channel layout),
// locking, clipping and the choice of worker. The dx entry points feed these
// from the current render target.
#pragma once

#include <cstdint>

#include "dx/effects/format.h"
#include "dx/effects/workers.h"
#include "platform/ddraw/ddraw.h"

namespace dx::effects {

struct Target {
  IDirectDrawSurface* surface = nullptr;
  RECT clip{0, 0, 0, 0};  // right and bottom exclusive
  int bpp = 0;            // the display's depth
  Format format{};
};

// Trims dst to clip and moves src's edges by the same amounts; false when
// nothing is left.
bool clip_rects(RECT& dst, RECT& src, const RECT& clip);
// dst cut to clip; false when nothing is left.
bool clip_rect(RECT& dst, const RECT& clip);

// Draws the whole of source with its top-left corner at (x, y): the source is
// locked read-only, both rectangles clipped, the target locked on what is
// left, and the worker of the mode and depth runs. params carries the mode's
// parameters (pointers and sizes are filled here). Nothing is drawn on a
// failed lock, an empty clip, or a source of another depth.
void blit(const Target& t, IDirectDrawSurface* source, int32_t x, int32_t y, Mode mode, const Blit& params);

// Draws source at (x, y) only where mask, placed at (mask_x, mask_y), has
// pixels that are not 0.
void blit_masked(const Target& t, IDirectDrawSurface* source, int32_t x, int32_t y, IDirectDrawSurface* mask,
                 int32_t mask_x, int32_t mask_y);

// One of the rectangle fill modes over (x, y, x + w, y + h), clipped.
void fill(const Target& t, int32_t x, int32_t y, int32_t w, int32_t h, Mode mode, uint32_t colour,
          uint32_t percent, const uint32_t* pattern);

// Maps a width x height picture (the record's size; the locked surface's size
// bounds the reads) onto the parallelogram of three corners, cut to
// (0, 0, screen_w, screen_h).
void affine(const Target& t, IDirectDrawSurface* source, int32_t width, int32_t height, const int32_t corners[6],
            int32_t screen_w, int32_t screen_h);

// Draws a width x height picture (its display surface, keyed on 0) row by row
// with each row moved sideways: by amplitude x sin(row x 360 / period + phase)
// for the wave, by a random amount from the generator for the jitter. Rows
// above the clip still count in the wave's phase. A period of 0 holds every
// row at the phase's angle.
void wave(const Target& t, IDirectDrawSurface* source, int32_t width, int32_t height, int32_t x, int32_t y,
          int32_t amplitude, int32_t period, int32_t phase);
// The jitter's generator: seeded with the clock, stepped eight times a row.
struct Jitter {
  uint32_t state, increment;
  // The next row's left edge, between x - amplitude and x + amplitude - 2.
  int64_t next_left(int32_t x, int32_t amplitude);
};
void jitter(const Target& t, IDirectDrawSurface* source, int32_t width, int32_t height, int32_t x, int32_t y,
            int32_t amplitude, Jitter generator);

// Blocks of one colour over the rectangle cut to the clip; first_copies rows
// follow the first sampling row.
void mosaic(const Target& t, int32_t x, int32_t y, int32_t w, int32_t h, int32_t block, int first_copies);

// The rows top_y up to bottom_y between two edges in 20.12 fixed point, cut to
// the clip rectangle.
void trapezoid(const Target& t, int32_t top_left, int32_t top_right, int32_t bottom_left, int32_t bottom_right,
               int32_t top_y, int32_t bottom_y, uint32_t pixel, uint32_t percent, bool additive);
// A filled triangle by the software rasteriser (no Direct3D): the row of the
// lowest corner is not filled.
void triangle(const Target& t, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
              uint32_t pixel, uint32_t percent, bool additive);

}  // namespace dx::effects
