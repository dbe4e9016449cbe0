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
  const int64_t wide_w = int64_t{right} - left, wide_h = int64_t{bottom} - top;
  if (!b.bits || wide_w <= 0 || wide_h <= 0) return TRUE;
  constexpr int64_t kMostPixels = int64_t{1} << 26;
  if (wide_w > kMostPixels || wide_h > kMostPixels || wide_w * wide_h > kMostPixels) return FALSE;
  const int w = static_cast<int>(wide_w), h = static_cast<int>(wide_h);
  COLORREF pen_color = 0, brush_color = 0;
  bool pen = gdi::StockColor(dc->pen ? dc->pen : GetStockObject(BLACK_PEN), &pen_color);
  bool brush = gdi::StockColor(dc->brush ? dc->brush : GetStockObject(WHITE_BRUSH), &brush_color);
  // The shape: pixel centres inside the ellipse through the box's outer pixels.
  double rx = (w - 1) / 2.0, ry = (h - 1) / 2.0, cx = left + rx, cy = top + ry;
  std::vector<uint8_t> inside(static_cast<size_t>(w) * h, 0);
  for (int y = 0; y < h; ++y) {
    double dy = ry > 0 ? (top + y - cy) / (ry + 0.5) : 0;
    double half = dy * dy <= 1 ? (rx + 0.5) * std::sqrt(1 - dy * dy) : -1;
    for (int x = 0; x < w; ++x)
      if (std::fabs(left + x - cx) <= half) inside[static_cast<size_t>(y) * w + x] = 1;
  }
  auto in = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && inside[static_cast<size_t>(y) * w + x]; };
  uint32_t pen_px = gdi::ColorToPixel(b, pen_color), brush_px = gdi::ColorToPixel(b, brush_color);
  RECT a = gdi::DrawArea(*dc);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (!in(x, y)) continue;
      int px = left + x, py = top + y;
      if (px < a.left || px >= a.right || py < a.top || py >= a.bottom) continue;
      bool edge = !in(x - 1, y) || !in(x + 1, y) || !in(x, y - 1) || !in(x, y + 1);
      if (edge && pen)
        gdi::WritePixel(b, px, py, pen_px);
      else if (brush)
        gdi::WritePixel(b, px, py, brush_px);
    }
  return TRUE;
}
