// Shapes in one pixel value: ellipses drawn by GDI into a scratch bitmap and
// laid on the target as a silhouette, and filled triangles rasterised as spans
// (or drawn by the 3-D device on the back buffer).
#include <algorithm>
#include <cstdint>

#include "dx/bitmap.h"
#include "dx/color.h"
#include "dx/d3d.h"
#include "dx/display.h"
#include "dx/effects.h"
#include "dx/effects/context.h"
#include "dx/effects/geometry.h"
#include "dx/pixelformat.h"
#include "dx/target.h"
#include "platform/gdi/gdi.h"

namespace {

void ellipse(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t pixel, bool filled) {
  if (w <= 0 || h <= 0) return;
  // The scratch bitmap holds only the part of the box inside the clip
  // rectangle, so a box far larger than the target costs no more memory than
  // the target. In 64 bits: the box may reach past the int range.
  const RECT& c = dxcliprect;
  const int64_t left = std::max<int64_t>(x, c.left), top = std::max<int64_t>(y, c.top);
  const int64_t right = std::min<int64_t>(int64_t{x} + w, c.right);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + h, c.bottom);
  if (left >= right || top >= bottom) return;
  dx::bitmap* b = dxnewbitmap(static_cast<int>(right - left), static_cast<int>(bottom - top));
  if (!b) return;
  if (HDC dc = dxgetbitmapdc(b, true)) {
    HGDIOBJ pen = SelectObject(dc, GetStockObject(filled ? NULL_PEN : WHITE_PEN));
    HGDIOBJ brush = SelectObject(dc, GetStockObject(filled ? WHITE_BRUSH : NULL_BRUSH));
    // The whole box relative to that part: its corners lie within -w..w, so in int.
    const int bl = static_cast<int>(x - left), bt = static_cast<int>(y - top);
    Ellipse(dc, bl, bt, static_cast<int>(bl + int64_t{w}), static_cast<int>(bt + int64_t{h}));
    SelectObject(dc, pen);
    SelectObject(dc, brush);
    dxreleasebitmapdc(b, dc);
    dxbltsilhouette(b, static_cast<int32_t>(left), static_cast<int32_t>(top), pixel);
  }
  dxdeletebitmap(b);
}

void spans(int bpp, uint8_t* bits, int32_t pitch, int32_t left, int32_t right, int32_t left_step, int32_t right_step,
           int32_t limit, int32_t rows, uint32_t pixel, uint32_t percent, bool additive) {
  if (!bits || rows <= 0) return;
  dx::effects::Spans s;
  s.dst = bits, s.pitch = pitch;
  s.left = left, s.right = right, s.left_step = left_step, s.right_step = right_step, s.limit = limit;
  s.rows = rows, s.pixel = pixel, s.percent = percent, s.additive = additive;
  dx::effects::spans_worker(bpp)(s, dx::dxpixelformat);
}

}  // namespace

void dxellipse(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t pixel) { ellipse(x, y, w, h, pixel, false); }

void dxfillellipse(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t pixel) { ellipse(x, y, w, h, pixel, true); }

void dxtriangle(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t pixel,
                uint32_t percent, bool additive) {
  if (dxd3ddevice && dx::effects::target_is_backbuffer() && dxscreendepth != 8) {
    dxtriangled3d(x0, y0, x1, y1, x2, y2, pixel, percent, additive);
    return;
  }
  dx::effects::triangle(dx::effects::current_target(), x0, y0, x1, y1, x2, y2, pixel, percent, additive);
}

void dxtrapezoid(int32_t top_left, int32_t top_right, int32_t bottom_left, int32_t bottom_right, int32_t top_y,
                 int32_t bottom_y, uint32_t pixel, uint32_t percent, bool additive) {
  dx::effects::trapezoid(dx::effects::current_target(), top_left, top_right, bottom_left, bottom_right, top_y,
                         bottom_y, pixel, percent, additive);
}

void dxtrianglespans8(uint8_t* bits, int32_t pitch, int32_t left, int32_t right, int32_t left_step,
                      int32_t right_step, int32_t limit, int32_t rows, uint32_t pixel, uint32_t percent, bool additive) {
  spans(8, bits, pitch, left, right, left_step, right_step, limit, rows, pixel, percent, additive);
}
void dxtrianglespans16(uint8_t* bits, int32_t pitch, int32_t left, int32_t right, int32_t left_step,
                       int32_t right_step, int32_t limit, int32_t rows, uint32_t pixel, uint32_t percent, bool additive) {
  spans(16, bits, pitch, left, right, left_step, right_step, limit, rows, pixel, percent, additive);
}
void dxtrianglespans24(uint8_t* bits, int32_t pitch, int32_t left, int32_t right, int32_t left_step,
                       int32_t right_step, int32_t limit, int32_t rows, uint32_t pixel, uint32_t percent, bool additive) {
  spans(24, bits, pitch, left, right, left_step, right_step, limit, rows, pixel, percent, additive);
}
void dxtrianglespans32(uint8_t* bits, int32_t pitch, int32_t left, int32_t right, int32_t left_step,
                       int32_t right_step, int32_t limit, int32_t rows, uint32_t pixel, uint32_t percent, bool additive) {
  spans(32, bits, pitch, left, right, left_step, right_step, limit, rows, pixel, percent, additive);
}

void dxtriangled3d(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t pixel,
                   uint32_t percent, bool additive) {
  if (!dxd3ddevice) return;
  const D3DCOLOR colour = dx::effects::vertex_colour(pixel, dx::effects::vertex_alpha(percent));
  // Corner 1 twice: the fan holds the triangle in both windings, so culling
  // leaves one of them whatever the corners' order.
  D3DTLVERTEX v[4] = {dx::effects::tlvertex(x0, y0, 0, 0), dx::effects::tlvertex(x1, y1, 0, 0),
                      dx::effects::tlvertex(x2, y2, 0, 0), dx::effects::tlvertex(x1, y1, 0, 0)};
  for (auto& p : v) p.color = colour;
  const bool full = percent >= 100;
  dx::effects::scene_begin();
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREHANDLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREMAPBLEND, D3DTBLEND_MODULATEALPHA);
  if (full && !additive) {
    dxsetrenderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    dxsetrenderstate(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    dxsetrenderstate(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO);
  } else {
    dxsetrenderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    dxsetrenderstate(D3DRENDERSTATE_SRCBLEND, full ? D3DBLEND_ONE : D3DBLEND_SRCALPHA);
    dxsetrenderstate(D3DRENDERSTATE_DESTBLEND, additive ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA);
  }
  dxd3ddevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_TLVERTEX, v, 4, 0);
  dx::effects::scene_end();
}
