// A small RGB drawing surface for the picture generator, with a transparency
// mask: masked pixels are written as pure black (the game's colour key) and
// every drawn pixel as at least (1, 1, 1), so that nothing drawn turns
// transparent by accident.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

struct Rgb {
  int r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t);
Rgb Scale(Rgb c, double f);

class Canvas {
 public:
  Canvas(int width, int height, Rgb fill = {1, 1, 1});

  int width() const { return width_; }
  int height() const { return height_; }

  // Every pixel transparent; drawing makes pixels opaque again.
  void ClearTransparent();
  void Plot(int x, int y, Rgb c);
  void Blend(int x, int y, Rgb c, double alpha);
  void MakeTransparent(int x, int y);
  Rgb Get(int x, int y) const;
  bool Transparent(int x, int y) const;

  void FillRect(int x, int y, int w, int h, Rgb c);
  void BlendRect(int x, int y, int w, int h, Rgb c, double alpha);
  void Frame(int x, int y, int w, int h, Rgb c, int thickness = 1);
  void VerticalGradient(int x, int y, int w, int h, Rgb top, Rgb bottom);
  void FillEllipse(double cx, double cy, double rx, double ry, Rgb c);
  void BlendEllipse(double cx, double cy, double rx, double ry, Rgb c, double alpha);
  void Line(double x0, double y0, double x1, double y1, Rgb c, double width = 1.0);
  void FillPolygon(const std::vector<std::pair<double, double>>& points, Rgb c);
  // Darkens or lightens each pixel by a deterministic grain of up to +-amount.
  void Grain(int amount, uint32_t seed);
  // Text in the Japanese gothic face; (x, y) is the top-left of the line box.
  // Returns the advance width in pixels (0 when no font is found).
  int Text(int x, int y, const std::string& utf8, int pixelHeight, Rgb c);
  int TextWidth(const std::string& utf8, int pixelHeight);
  // Text centred on x with a one-pixel dark outline.
  void OutlinedText(int cx, int y, const std::string& utf8, int pixelHeight, Rgb c, Rgb outline);
  // Copies another canvas in, keeping its transparency unless `opaqueOnly`.
  void Paste(const Canvas& src, int x, int y, bool opaqueOnly = true);
  // Nearest-neighbour scaled copy.
  Canvas Scaled(int width, int height) const;

  // The pixels as written: R, G, B rows from the top.
  std::vector<uint8_t> FinalRgb() const;

 private:
  int width_, height_;
  std::vector<uint8_t> rgb_;
  std::vector<uint8_t> clear_;
};

// A repeatable pseudo-random generator (no dependency on the C library's rand).
// Draw each number into a variable of its own before a call that uses several:
// compilers work out a call's arguments in different orders.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
  uint32_t Next();
  int Range(int lo, int hi);  // lo..hi inclusive
  double Unit();              // 0..1
 private:
  uint32_t state_;
};

uint32_t Hash(uint32_t x);

}  // namespace datagen
