// Workers that move pixels instead of blending them: the affine map, the mosaic
// and the triangle spans, with the set-up arithmetic their drivers share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dx/effects/format.h"

namespace dx::effects {

// --- Affine map ---

// One affine draw: dst is the target's pixel at (left, top) of the bounding
// box, src the whole source surface of sw x sh pixels. u and v are 16.16
// positions in the source, advanced per pixel by du/dx, dv/dx and per row by
// du/dy, dv/dy (32-bit wrap-around).
struct Affine {
  uint8_t* dst = nullptr;
  int32_t dpitch = 0;
  const uint8_t* src = nullptr;
  int32_t spitch = 0;
  int32_t sw = 0, sh = 0;
  int w = 0, h = 0;
  uint32_t u = 0, v = 0;
  uint32_t dudx = 0, dvdx = 0, dudy = 0, dvdy = 0;
};

// The inverse map of the parallelogram whose corners (x0, y0), (x1, y1), (x2, y2)
// take the top-left, top-right and bottom-left corners of a width x height
// picture, over its bounding box cut to (0, 0, screen_w, screen_h). False when
// nothing is left or the corners are collinear.
struct AffineBox {
  int32_t left, top, right, bottom;
  uint32_t u, v, dudx, dvdx, dudy, dvdy;
};
bool affine_setup(int32_t width, int32_t height, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                  int32_t y2, int32_t screen_w, int32_t screen_h, AffineBox* out);

// The three corners (x0, y0, x1, y1, x2, y2) of a picture turned by degrees and
// zoomed by percent about (cx, cy) inside it, that point placed at (x, y).
void rotate_corners(int32_t width, int32_t height, int32_t x, int32_t y, int32_t cx, int32_t cy, int32_t degrees,
                    int32_t zoom, int32_t out[6]);

using AffineFn = void (*)(const Affine&);
AffineFn affine_worker(int bpp);

// --- Mosaic ---

// Blocks of one colour over w x h pixels at p: each sampling row is cut into
// blocks of `block` pixels from the left, every pixel taking its block's last
// pixel (a short last part takes its first); the next rows copy the sampling
// row, `first_copies` times for the first band and block - 1 times later.
void mosaic_rows(uint8_t* p, int32_t pitch, int w, int h, int block, int first_copies, int bytes);

// --- Triangle spans ---

// Rows of spans between two edges in 20.12 fixed point relative to the first
// pixel of the locked rectangle; each span covers floor(max(left, 0) / 4096) up
// to floor(min(right, limit) / 4096), exclusive, when left < limit and right >= 1.
// The pixel is set, blended by percent, or added (additive).
struct Spans {
  uint8_t* dst = nullptr;
  int32_t pitch = 0;
  int32_t left = 0, right = 0, left_step = 0, right_step = 0, limit = 0;
  int rows = 0;
  uint32_t pixel = 0, percent = 0;
  bool additive = false;
};
using SpansFn = void (*)(const Spans&, const Format&);
SpansFn spans_worker(int bpp);
void spans_reference(const Spans& s, const Format& f);

}  // namespace dx::effects
