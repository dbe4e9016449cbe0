#include "tools/datagen/canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace datagen {

namespace {

int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// One face for the whole run; the generator is a short-lived tool.
FT_Face Face() {
  static FT_Library library = nullptr;
  static FT_Face face = nullptr;
  static bool tried = false;
  if (tried) return face;
  tried = true;
  if (FT_Init_FreeType(&library) != 0) return nullptr;
  const char* paths[] = {
      "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
      "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf",
  };
  for (const char* p : paths) {
    if (FT_New_Face(library, p, 0, &face) == 0) return face;
  }
  std::fprintf(stderr, "datagen: no Japanese gothic font found; pictures get no text\n");
  face = nullptr;
  return nullptr;
}

std::vector<uint32_t> Decode(const std::string& s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    uint8_t c = static_cast<uint8_t>(s[i]);
    uint32_t cp;
    int n;
    if (c < 0x80) { cp = c; n = 1; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; n = 2; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; n = 3; }
    else { cp = c & 0x07; n = 4; }
    for (int k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += n;
  }
  return out;
}

}  // namespace

Rgb Mix(Rgb a, Rgb b, double t) {
  return {static_cast<int>(std::lround(a.r + (b.r - a.r) * t)), static_cast<int>(std::lround(a.g + (b.g - a.g) * t)),
          static_cast<int>(std::lround(a.b + (b.b - a.b) * t))};
}

Rgb Scale(Rgb c, double f) {
  return {Clamp255(static_cast<int>(c.r * f)), Clamp255(static_cast<int>(c.g * f)), Clamp255(static_cast<int>(c.b * f))};
}

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

uint32_t Random::Next() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return state_;
}

int Random::Range(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1)); }

double Random::Unit() { return (Next() & 0xFFFFFF) / static_cast<double>(0x1000000); }

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(width), height_(height), rgb_(static_cast<size_t>(width) * height * 3), clear_(static_cast<size_t>(width) * height, 0) {
  FillRect(0, 0, width, height, fill);
}

void Canvas::ClearTransparent() { std::fill(clear_.begin(), clear_.end(), 1); }

void Canvas::Plot(int x, int y, Rgb c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  size_t i = static_cast<size_t>(y) * width_ + x;
  rgb_[i * 3] = static_cast<uint8_t>(Clamp255(c.r));
  rgb_[i * 3 + 1] = static_cast<uint8_t>(Clamp255(c.g));
  rgb_[i * 3 + 2] = static_cast<uint8_t>(Clamp255(c.b));
  clear_[i] = 0;
}

void Canvas::Blend(int x, int y, Rgb c, double alpha) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  if (alpha <= 0) return;
  if (alpha >= 1 || Transparent(x, y)) {
    // Blending onto a transparent pixel keeps the colour's own strength only
    // where it is nearly opaque; fainter edges stay clear.
    if (alpha >= 0.5 || !Transparent(x, y)) Plot(x, y, c);
    return;
  }
  Plot(x, y, Mix(Get(x, y), c, alpha));
}

void Canvas::MakeTransparent(int x, int y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  clear_[static_cast<size_t>(y) * width_ + x] = 1;
}

Rgb Canvas::Get(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0};
  size_t i = (static_cast<size_t>(y) * width_ + x) * 3;
  return {rgb_[i], rgb_[i + 1], rgb_[i + 2]};
}

bool Canvas::Transparent(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return true;
  return clear_[static_cast<size_t>(y) * width_ + x] != 0;
}

void Canvas::FillRect(int x, int y, int w, int h, Rgb c) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) Plot(i, j, c);
}

void Canvas::BlendRect(int x, int y, int w, int h, Rgb c, double alpha) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) Blend(i, j, c, alpha);
}

void Canvas::Frame(int x, int y, int w, int h, Rgb c, int t) {
  FillRect(x, y, w, t, c);
  FillRect(x, y + h - t, w, t, c);
  FillRect(x, y, t, h, c);
  FillRect(x + w - t, y, t, h, c);
}

void Canvas::VerticalGradient(int x, int y, int w, int h, Rgb top, Rgb bottom) {
  for (int j = 0; j < h; ++j) {
    Rgb c = Mix(top, bottom, h > 1 ? j / static_cast<double>(h - 1) : 0.0);
    for (int i = 0; i < w; ++i) Plot(x + i, y + j, c);
  }
}

void Canvas::FillEllipse(double cx, double cy, double rx, double ry, Rgb c) { BlendEllipse(cx, cy, rx, ry, c, 1.0); }

void Canvas::BlendEllipse(double cx, double cy, double rx, double ry, Rgb c, double alpha) {
  if (rx <= 0 || ry <= 0) return;
  for (int y = static_cast<int>(cy - ry) - 1; y <= static_cast<int>(cy + ry) + 1; ++y) {
    for (int x = static_cast<int>(cx - rx) - 1; x <= static_cast<int>(cx + rx) + 1; ++x) {
      double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      double d = std::sqrt(dx * dx + dy * dy);
      // One pixel of soft edge.
      double edge = (1.0 - d) * std::min(rx, ry);
      if (edge <= -0.5) continue;
      double a = edge >= 0.5 ? 1.0 : edge + 0.5;
      Blend(x, y, c, a * alpha);
    }
  }
}

void Canvas::Line(double x0, double y0, double x1, double y1, Rgb c, double width) {
  double len = std::hypot(x1 - x0, y1 - y0);
  int steps = std::max(1, static_cast<int>(len * 2));
  for (int s = 0; s <= steps; ++s) {
    double t = s / static_cast<double>(steps);
    BlendEllipse(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2 + 0.25, width / 2 + 0.25, c, 1.0);
  }
}

void Canvas::FillPolygon(const std::vector<std::pair<double, double>>& pts, Rgb c) {
  if (pts.size() < 3) return;
  double minY = pts[0].second, maxY = pts[0].second;
  for (auto& p : pts) {
    minY = std::min(minY, p.second);
    maxY = std::max(maxY, p.second);
  }
  for (int y = static_cast<int>(std::floor(minY)); y <= static_cast<int>(std::ceil(maxY)); ++y) {
    double sy = y + 0.5;
    std::vector<double> xs;
    for (size_t i = 0; i < pts.size(); ++i) {
      auto a = pts[i], b = pts[(i + 1) % pts.size()];
      if ((a.second <= sy && b.second > sy) || (b.second <= sy && a.second > sy))
        xs.push_back(a.first + (sy - a.second) * (b.first - a.first) / (b.second - a.second));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t i = 0; i + 1 < xs.size(); i += 2)
      for (int x = static_cast<int>(std::lround(xs[i])); x < static_cast<int>(std::lround(xs[i + 1])); ++x) Plot(x, y, c);
  }
}

void Canvas::Grain(int amount, uint32_t seed) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      if (Transparent(x, y)) continue;
      int d = static_cast<int>(Hash(seed ^ static_cast<uint32_t>(y * 7919 + x)) % (2 * amount + 1)) - amount;
      Rgb c = Get(x, y);
      Plot(x, y, {c.r + d, c.g + d, c.b + d});
    }
}

int Canvas::Text(int x, int y, const std::string& utf8, int px, Rgb c) {
  FT_Face face = Face();
  if (!face) return 0;
  FT_Set_Pixel_Sizes(face, 0, px);
  int pen = x;
  int baseline = y + static_cast<int>(face->size->metrics.ascender >> 6);
  for (uint32_t cp : Decode(utf8)) {
    if (FT_Load_Char(face, cp, FT_LOAD_RENDER) != 0) continue;
    FT_GlyphSlot g = face->glyph;
    for (unsigned r = 0; r < g->bitmap.rows; ++r)
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        uint8_t a = g->bitmap.buffer[r * g->bitmap.pitch + col];
        if (a) Blend(pen + g->bitmap_left + static_cast<int>(col), baseline - g->bitmap_top + static_cast<int>(r), c, a / 255.0);
      }
    pen += static_cast<int>(g->advance.x >> 6);
  }
  return pen - x;
}

int Canvas::TextWidth(const std::string& utf8, int px) {
  FT_Face face = Face();
  if (!face) return 0;
  FT_Set_Pixel_Sizes(face, 0, px);
  int w = 0;
  for (uint32_t cp : Decode(utf8)) {
    if (FT_Load_Char(face, cp, FT_LOAD_DEFAULT) != 0) continue;
    w += static_cast<int>(face->glyph->advance.x >> 6);
  }
  return w;
}

void Canvas::OutlinedText(int cx, int y, const std::string& utf8, int px, Rgb c, Rgb outline) {
  int x = cx - TextWidth(utf8, px) / 2;
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      if (dx || dy) Text(x + dx, y + dy, utf8, px, outline);
  Text(x, y, utf8, px, c);
}

void Canvas::Paste(const Canvas& src, int x, int y, bool opaqueOnly) {
  for (int j = 0; j < src.height(); ++j)
    for (int i = 0; i < src.width(); ++i) {
      if (src.Transparent(i, j)) {
        if (!opaqueOnly) MakeTransparent(x + i, y + j);
        continue;
      }
      Plot(x + i, y + j, src.Get(i, j));
    }
}

Canvas Canvas::Scaled(int w, int h) const {
  Canvas out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int sx = x * width_ / w, sy = y * height_ / h;
      if (Transparent(sx, sy)) out.MakeTransparent(x, y);
      else out.Plot(x, y, Get(sx, sy));
    }
  return out;
}

std::vector<uint8_t> Canvas::FinalRgb() const {
  std::vector<uint8_t> out(rgb_);
  for (size_t i = 0; i < clear_.size(); ++i) {
    uint8_t* p = &out[i * 3];
    if (clear_[i]) {
      p[0] = p[1] = p[2] = 0;
    } else if (p[0] == 0 && p[1] == 0 && p[2] == 0) {
      p[0] = p[1] = p[2] = 1;
    }
  }
  return out;
}

}  // namespace datagen
