// Stock pens and brushes, and ellipses drawn with them.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gdi/dc.h"

namespace {

struct StockPen : HPEN__ {
  bool null = false;
  COLORREF color = 0;
};
struct StockBrush : HBRUSH__ {
  bool null = false;
  COLORREF color = 0;
};

HGDIOBJ* Stocks() {
  static HGDIOBJ* table = [] {
    static HGDIOBJ t[9];
    const COLORREF brushes[5] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64),
                                 RGB(0, 0, 0)};
    for (int i = 0; i <= NULL_BRUSH; ++i) {
      auto* b = new StockBrush;
      b->null = i == NULL_BRUSH;
      b->color = i < 5 ? brushes[i] : 0;
      t[i] = b;
    }
    for (int i = WHITE_PEN; i <= NULL_PEN; ++i) {
      auto* p = new StockPen;
      p->null = i == NULL_PEN;
      p->color = i == WHITE_PEN ? RGB(255, 255, 255) : 0;
      t[i] = p;
    }
    for (HGDIOBJ o : t) {
      o->stock = true;
      gdi::RegisterObject(o);
    }
    return t;
  }();
  return table;
}

}  // namespace

namespace gdi {
bool StockColor(HGDIOBJ obj, COLORREF* color) {
  if (auto* p = dynamic_cast<StockPen*>(obj)) {
    *color = p->color;
    return !p->null;
  }
  if (auto* b = dynamic_cast<StockBrush*>(obj)) {
    *color = b->color;
    return !b->null;
  }
  return false;
}
}  // namespace gdi

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index > NULL_PEN) return nullptr;
  return Stocks()[index];
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  if (!gdi::ValidDC(dc)) return FALSE;
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  const platform::PixelBuffer& b = dc->buffer;
  // The box's sides in 64 bits: corners at the two ends of the int range are
  // 2^32 apart.
  const int64_t w = int64_t{right} - left, h = int64_t{bottom} - top;
  if (!b.bits || w <= 0 || h <= 0) return TRUE;
  COLORREF pen_color = 0, brush_color = 0;
  bool pen = gdi::StockColor(dc->pen ? dc->pen : GetStockObject(BLACK_PEN), &pen_color);
  bool brush = gdi::StockColor(dc->brush ? dc->brush : GetStockObject(WHITE_BRUSH), &brush_color);
  // The shape: pixel centres inside the ellipse through the box's outer
  // pixels. Only the pixels of the drawing area are looked at, so a box of
  // any size costs what the area does.
  const double rx = static_cast<double>(w - 1) / 2.0, ry = static_cast<double>(h - 1) / 2.0;
  const double cx = left + rx, cy = top + ry;
  auto half_width = [&](int64_t py) {
    const double dy = ry > 0 ? (static_cast<double>(py) - cy) / (ry + 0.5) : 0;
    return dy * dy <= 1 ? (rx + 0.5) * std::sqrt(1 - dy * dy) : -1;
  };
  auto in = [&](int64_t px, int64_t py, double half) {
    return px >= left && py >= top && px < right && py < bottom && std::fabs(static_cast<double>(px) - cx) <= half;
  };
  uint32_t pen_px = gdi::ColorToPixel(b, pen_color), brush_px = gdi::ColorToPixel(b, brush_color);
  const RECT a = gdi::DrawArea(*dc);
  const int64_t x0 = std::max<int64_t>(left, a.left), x1 = std::min<int64_t>(right, a.right);
  const int64_t y0 = std::max<int64_t>(top, a.top), y1 = std::min<int64_t>(bottom, a.bottom);
  for (int64_t py = y0; py < y1; ++py) {
    const double above = half_width(py - 1), here = half_width(py), below = half_width(py + 1);
    for (int64_t px = x0; px < x1; ++px) {
      if (!in(px, py, here)) continue;
      bool edge = !in(px - 1, py, here) || !in(px + 1, py, here) || !in(px, py - 1, above) || !in(px, py + 1, below);
      if (edge && pen)
        gdi::WritePixel(b, static_cast<int>(px), static_cast<int>(py), pen_px);
      else if (brush)
        gdi::WritePixel(b, static_cast<int>(px), static_cast<int>(py), brush_px);
    }
  }
  return TRUE;
}
