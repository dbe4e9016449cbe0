#include "tools/datagen/pictures.h"

#include <cmath>
#include <functional>

#include "tools/datagen/canvas.h"
#include "tools/datagen/imagefile.h"

namespace datagen {

namespace {

using Points = std::vector<std::pair<double, double>>;

const Rgb kBlack{1, 1, 1};
const Rgb kWhite{255, 255, 255};
const Rgb kGold{250, 210, 110};
const Rgb kLamp{255, 190, 80};

// ---- textures of the 3-D view ----

Canvas Blocks(Rgb base, Rgb mortar, int rows, int cols, uint32_t seed, bool offset) {
  Canvas c(128, 128, mortar);
  Random r(seed);
  int bh = 128 / rows, bw = 128 / cols;
  for (int j = 0; j < rows; ++j) {
    int shift = offset && (j % 2) ? bw / 2 : 0;
    for (int i = -1; i <= cols; ++i) {
      int x = i * bw + shift;
      Rgb tone = Scale(base, 0.8 + 0.35 * r.Unit());
      c.FillRect(x + 2, j * bh + 2, bw - 3, bh - 3, tone);
      c.FillRect(x + 2, j * bh + 2, bw - 3, 2, Scale(tone, 1.2));
      c.FillRect(x + 2, j * bh + bh - 3, bw - 3, 2, Scale(tone, 0.7));
    }
  }
  c.Grain(10, seed);
  return c;
}

Canvas StoneWall() { return Blocks({120, 118, 124}, {50, 48, 54}, 4, 2, 11, true); }
Canvas BrickWall() { return Blocks({150, 80, 60}, {70, 60, 55}, 8, 4, 12, true); }
Canvas SandWall() { return Blocks({196, 160, 104}, {120, 92, 60}, 3, 2, 13, true); }

Canvas MossWall() {
  Canvas c = Blocks({90, 110, 86}, {40, 52, 40}, 4, 3, 14, true);
  Random r(99);
  for (int i = 0; i < 60; ++i) {
    const int ry = r.Range(2, 6), rx = r.Range(3, 10), y = r.Range(0, 127), x = r.Range(0, 127);
    c.BlendEllipse(x, y, rx, ry, {60, 140, 50}, 0.6);
  }
  return c;
}

Canvas FloorTiles(Rgb a, Rgb b, uint32_t seed) {
  Canvas c(128, 128, a);
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) {
      c.FillRect(i * 32 + 1, j * 32 + 1, 30, 30, (i + j) % 2 ? a : b);
    }
  c.Grain(8, seed);
  return c;
}

Canvas Grass() {
  Canvas c(128, 128, {60, 120, 50});
  Random r(21);
  for (int i = 0; i < 500; ++i) {
    int x = r.Range(0, 127), y = r.Range(0, 127);
    const double shade = 0.7 + 0.5 * r.Unit();
    const int up = r.Range(3, 7), across = r.Range(-2, 2);
    c.Line(x, y, x + across, y - up, Scale({90, 170, 70}, shade));
  }
  return c;
}

Canvas Sand() {
  Canvas c(128, 128, {210, 180, 120});
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      double w = std::sin((x + 8 * std::sin(y * 0.1)) * 0.2) * 12;
      c.Plot(x, y, {210 + static_cast<int>(w), 178 + static_cast<int>(w), 118 + static_cast<int>(w)});
    }
  c.Grain(6, 22);
  return c;
}

Canvas Water() {
  Canvas c(128, 128, {30, 70, 150});
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      double w = std::sin(x * 0.15 + std::sin(y * 0.2) * 2) + std::sin(y * 0.23);
      c.Plot(x, y, {30 + static_cast<int>(w * 12), 80 + static_cast<int>(w * 20), 160 + static_cast<int>(w * 25)});
    }
  return c;
}

Canvas Ceiling() { return Blocks({84, 80, 76}, {40, 38, 36}, 2, 2, 15, false); }

Canvas CeilingCrack() {
  Canvas c = Ceiling();
  c.Line(20, 30, 60, 70, {30, 28, 26}, 3);
  c.Line(60, 70, 110, 60, {30, 28, 26}, 2);
  c.Line(60, 70, 70, 115, {30, 28, 26}, 2);
  return c;
}

Canvas CeilingHole() {
  Canvas c = Ceiling();
  c.FillEllipse(64, 64, 46, 40, {40, 34, 30});
  c.FillEllipse(64, 64, 36, 30, {250, 240, 200});
  return c;
}

Canvas FloorCrack() {
  Canvas c = FloorTiles({110, 106, 100}, {96, 92, 88}, 23);
  c.Line(10, 64, 60, 50, {40, 36, 32}, 3);
  c.Line(60, 50, 120, 80, {40, 36, 32}, 2);
  c.Line(60, 50, 50, 10, {40, 36, 32}, 2);
  return c;
}

Canvas FloorHole() {
  Canvas c = FloorTiles({110, 106, 100}, {96, 92, 88}, 24);
  c.FillEllipse(64, 64, 52, 48, {60, 50, 44});
  c.FillEllipse(64, 64, 44, 40, {8, 6, 6});
  return c;
}

Canvas RuneWall() {
  Canvas c = SandWall();
  for (int i = 0; i < 3; ++i) {
    double cx = 24 + i * 40;
    c.BlendEllipse(cx, 64, 14, 14, {120, 220, 255}, 0.5);
    c.Line(cx - 8, 52, cx + 8, 76, {180, 240, 255}, 2);
    c.Line(cx + 8, 52, cx - 8, 76, {180, 240, 255}, 2);
  }
  return c;
}

Canvas StairStep() { return Blocks({150, 140, 128}, {70, 64, 60}, 4, 1, 16, false); }

Canvas StairSide() {
  Canvas c(128, 128, {100, 94, 88});
  c.Grain(12, 17);
  c.Frame(0, 0, 128, 128, {60, 56, 52}, 3);
  return c;
}

Canvas Door(bool iron) {
  Canvas c(120, 180);
  c.ClearTransparent();
  Rgb wood = iron ? Rgb{110, 116, 130} : Rgb{130, 84, 46};
  Points arch;
  for (int i = 0; i <= 16; ++i) {
    double a = M_PI * i / 16;
    arch.push_back({60 - std::cos(a) * 52, 56 - std::sin(a) * 50});
  }
  arch.push_back({112, 180});
  arch.push_back({8, 180});
  c.FillPolygon(arch, Scale(wood, 0.6));
  Points inner;
  for (int i = 0; i <= 16; ++i) {
    double a = M_PI * i / 16;
    inner.push_back({60 - std::cos(a) * 44, 58 - std::sin(a) * 42});
  }
  inner.push_back({104, 180});
  inner.push_back({16, 180});
  c.FillPolygon(inner, wood);
  for (int x = 30; x < 100; x += 18) c.Line(x, 20, x, 178, Scale(wood, 0.7), 2);
  Rgb metal = iron ? Rgb{200, 200, 210} : Rgb{60, 56, 50};
  c.FillRect(16, 60, 88, 6, metal);
  c.FillRect(16, 130, 88, 6, metal);
  c.FillEllipse(88, 100, 6, 6, iron ? kGold : Rgb{200, 180, 90});
  if (iron) c.FillRect(84, 104, 8, 14, {30, 30, 34});
  return c;
}

Canvas Tree() {
  Canvas c(128, 256);
  c.ClearTransparent();
  c.FillRect(54, 150, 20, 106, {90, 60, 36});
  c.Line(64, 190, 30, 150, {90, 60, 36}, 6);
  c.Line(64, 180, 100, 140, {90, 60, 36}, 6);
  Random r(31);
  for (int i = 0; i < 40; ++i) {
    const double shade = 0.7 + 0.5 * r.Unit();
    const int ry = r.Range(12, 22), rx = r.Range(14, 26), y = 100 + r.Range(-70, 50), x = 64 + r.Range(-44, 44);
    c.FillEllipse(x, y, rx, ry, Scale({50, 120, 50}, shade));
  }
  return c;
}

Canvas Chest() {
  Canvas c(96, 80);
  c.ClearTransparent();
  c.FillRect(10, 34, 76, 44, {140, 90, 40});
  c.FillEllipse(48, 34, 38, 18, {160, 104, 48});
  c.FillRect(10, 34, 76, 4, {110, 70, 30});
  c.FillRect(10, 44, 76, 6, kGold);
  c.FillRect(42, 40, 12, 16, kGold);
  c.FillRect(46, 46, 4, 6, {40, 30, 10});
  c.Frame(10, 34, 76, 44, {90, 56, 24}, 2);
  return c;
}

Canvas Tower() {
  Canvas c(128, 192);
  c.ClearTransparent();
  c.FillPolygon({{40, 192}, {88, 192}, {78, 40}, {50, 40}}, {120, 110, 140});
  c.FillPolygon({{44, 40}, {84, 40}, {64, 4}}, {90, 80, 120});
  for (int y = 60; y < 190; y += 30) c.FillRect(58, y, 12, 14, {255, 220, 120});
  c.BlendEllipse(64, 22, 10, 10, {255, 240, 160}, 0.9);
  return c;
}

Canvas Spirit() {
  Canvas c(64, 96);
  c.ClearTransparent();
  for (int i = 12; i >= 1; --i) c.BlendEllipse(32, 40, i * 2.4, i * 3.4, Mix({120, 200, 255}, {255, 255, 255}, 1 - i / 12.0), 1.0);
  c.FillEllipse(26, 34, 3, 4, {40, 60, 120});
  c.FillEllipse(38, 34, 3, 4, {40, 60, 120});
  return c;
}

Canvas Statue() {
  Canvas c(80, 160);
  c.ClearTransparent();
  c.FillRect(10, 130, 60, 30, {140, 140, 150});
  c.FillRect(28, 60, 24, 72, {170, 170, 180});
  c.FillEllipse(40, 46, 16, 18, {180, 180, 190});
  c.FillEllipse(40, 20, 8, 8, kLamp);
  return c;
}

// A 720-pixel panorama that wraps: 2 pixels per degree of heading.
Canvas Panorama(Rgb top, Rgb horizon, Rgb ground, bool dunes, uint32_t seed) {
  Canvas c(720, 240);
  c.VerticalGradient(0, 0, 720, 150, top, horizon);
  c.VerticalGradient(0, 150, 720, 90, Scale(ground, 0.9), Scale(ground, 0.5));
  Random r(seed);
  for (int i = 0; i < 90; ++i) {
    const int y = r.Range(0, 100), x = r.Range(0, 719);
    c.Plot(x, y, {255, 255, 230});
  }
  for (int x = 0; x < 720; ++x) {
    double a = x / 720.0 * 2 * M_PI;
    double h = dunes ? 18 * std::sin(a * 3) + 10 * std::sin(a * 7 + 1) : 24 * std::sin(a * 4) + 12 * std::sin(a * 9 + 2);
    int top = 140 - static_cast<int>(std::fabs(h));
    for (int y = top; y < 152; ++y) c.Plot(x, y, dunes ? Rgb{170, 110, 70} : Rgb{40, 70, 50});
  }
  return c;
}

Canvas Fog() {
  Canvas c(640, 240, {180, 180, 190});
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 640; ++x) {
      // Periodic in 320 so that the sliding window never shows a seam.
      double a = x / 320.0 * 2 * M_PI;
      double v = std::sin(a * 2 + y * 0.03) * 0.5 + std::sin(a * 5 - y * 0.05) * 0.3 + std::sin(y * 0.11) * 0.2;
      int g = 170 + static_cast<int>(v * 40);
      c.Plot(x, y, {g, g, g + 8});
    }
  return c;
}

Canvas Torch(int frame) {
  Canvas c(32, 32);
  c.ClearTransparent();
  double sway = std::sin(frame * 2 * M_PI / 7) * 2;
  c.FillRect(14, 20, 4, 12, {100, 70, 40});
  c.FillEllipse(16 + sway * 0.5, 16, 7, 9, {255, 120, 30});
  c.FillEllipse(16 + sway, 14, 4, 6, {255, 220, 120});
  return c;
}

Canvas WarpFrame(int frame) {
  Canvas c(64, 64);
  c.ClearTransparent();
  for (int i = 0; i < 3; ++i) {
    double a0 = frame * 2.1 + i * 2.09;
    for (double t = 0; t < 1; t += 0.01) {
      double a = a0 + t * 5, r = 6 + t * 24;
      c.FillEllipse(32 + std::cos(a) * r, 32 + std::sin(a) * r, 2.2, 2.2, Mix({160, 120, 255}, {255, 255, 255}, 1 - t));
    }
  }
  return c;
}

Canvas Sign() {
  Canvas c(80, 120);
  c.ClearTransparent();
  c.FillRect(36, 60, 8, 60, {100, 70, 40});
  c.FillRect(6, 10, 68, 50, {170, 130, 80});
  c.Frame(6, 10, 68, 50, {100, 70, 40}, 3);
  for (int i = 0; i < 3; ++i) c.FillRect(16, 22 + i * 12, 48, 3, {90, 60, 30});
  return c;
}

Canvas Missing() {
  Canvas c(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) c.Plot(x, y, ((x / 8 + y / 8) % 2) ? Rgb{255, 0, 255} : Rgb{40, 40, 40});
  return c;
}

// ---- map chips (32 x 32) ----

Canvas Chip(Rgb base, std::function<void(Canvas&)> mark) {
  Canvas c(32, 32, base);
  c.Frame(0, 0, 32, 32, Scale(base, 0.7));
  if (mark) mark(c);
  return c;
}

Canvas ChipGlyph(Rgb base, Rgb ink, const char* glyph) {
  return Chip(base, [=](Canvas& c) { c.Text(16 - c.TextWidth(glyph, 20) / 2, 5, glyph, 20, ink); });
}

Canvas Arrow(int dir) {
  Canvas c(32, 32);
  c.ClearTransparent();
  Points p = {{16, 3}, {28, 26}, {16, 20}, {4, 26}};
  for (auto& [x, y] : p) {
    double dx = x - 16, dy = y - 16;
    for (int i = 0; i < dir; ++i) {
      double t = dx;
      dx = -dy;
      dy = t;
    }
    x = 16 + dx;
    y = 16 + dy;
  }
  c.FillPolygon(p, {255, 60, 40});
  return c;
}

// ---- monsters ----

struct Eyes {
  double x, y, r;
};

void DrawEyes(Canvas& c, const std::vector<Eyes>& eyes, Rgb white, Rgb pupil) {
  for (auto& e : eyes) {
    c.FillEllipse(e.x, e.y, e.r, e.r * 1.1, white);
    c.FillEllipse(e.x + e.r * 0.2, e.y + e.r * 0.15, e.r * 0.45, e.r * 0.55, pupil);
  }
}

Canvas Monster(int number, int variant) {
  Canvas c(320, 240);
  c.ClearTransparent();
  switch (number) {
    case 2001: {  // lamp slime
      Rgb body = variant ? Rgb{230, 120, 200} : Rgb{120, 200, 110};
      c.FillEllipse(160, 170, 110, 62, Scale(body, 0.7));
      c.FillEllipse(160, 160, 100, 60, body);
      c.BlendEllipse(130, 135, 30, 14, kWhite, 0.5);
      c.FillRect(150, 70, 20, 40, {90, 80, 70});
      c.FillEllipse(160, 80, 16, 20, kLamp);
      c.FillEllipse(160, 78, 8, 12, {255, 250, 200});
      DrawEyes(c, {{130, 160, 12}, {190, 160, 12}}, kWhite, {30, 30, 30});
      break;
    }
    case 2002: {  // cave bat
      Rgb wing = {90, 70, 110};
      c.FillPolygon({{160, 120}, {20, 60}, {50, 110}, {30, 150}, {90, 140}, {150, 150}}, wing);
      c.FillPolygon({{160, 120}, {300, 60}, {270, 110}, {290, 150}, {230, 140}, {170, 150}}, wing);
      c.FillEllipse(160, 130, 34, 40, {70, 50, 80});
      c.FillPolygon({{136, 100}, {142, 70}, {152, 96}}, {70, 50, 80});
      c.FillPolygon({{184, 100}, {178, 70}, {168, 96}}, {70, 50, 80});
      DrawEyes(c, {{148, 122, 7}, {172, 122, 7}}, {255, 230, 80}, {120, 20, 20});
      c.FillPolygon({{152, 146}, {156, 156}, {160, 146}}, kWhite);
      c.FillPolygon({{160, 146}, {164, 156}, {168, 146}}, kWhite);
      break;
    }
    case 2003: {  // pebble golem
      Rgb rock = {140, 130, 120};
      c.FillEllipse(160, 200, 70, 30, Scale(rock, 0.8));
      c.FillEllipse(160, 140, 64, 58, rock);
      c.FillEllipse(160, 70, 40, 34, Scale(rock, 1.1));
      c.FillEllipse(84, 140, 28, 40, Scale(rock, 0.9));
      c.FillEllipse(236, 140, 28, 40, Scale(rock, 0.9));
      c.FillEllipse(160, 140, 14, 14, {120, 220, 255});
      DrawEyes(c, {{146, 66, 6}, {174, 66, 6}}, {120, 220, 255}, {20, 60, 90});
      break;
    }
    case 2004: {  // mushroom soldier
      c.FillRect(140, 120, 40, 90, {235, 225, 200});
      c.FillEllipse(160, 110, 90, 50, {200, 60, 50});
      for (int i = 0; i < 6; ++i) c.FillEllipse(100 + i * 24, 95 + (i % 2) * 14, 9, 7, kWhite);
      c.Line(210, 60, 210, 220, {120, 90, 60}, 4);
      c.FillPolygon({{200, 64}, {210, 36}, {220, 64}}, {200, 200, 210});
      DrawEyes(c, {{150, 150, 6}, {172, 150, 6}}, kWhite, {20, 20, 20});
      break;
    }
    case 2005: {  // sand lizard
      Rgb skin = {200, 160, 90};
      c.FillEllipse(170, 150, 90, 40, skin);
      c.FillEllipse(70, 130, 44, 30, skin);
      c.FillPolygon({{250, 150}, {316, 190}, {250, 170}}, Scale(skin, 0.85));
      for (int i = 0; i < 4; ++i) c.FillRect(110 + i * 40, 180, 14, 34, Scale(skin, 0.8));
      for (int i = 0; i < 6; ++i) c.FillPolygon({{120.0 + i * 22, 114}, {131.0 + i * 22, 96}, {142.0 + i * 22, 114}}, {160, 90, 50});
      DrawEyes(c, {{60, 120, 8}}, {255, 240, 120}, {20, 20, 20});
      break;
    }
    case 2006: {  // mist ghost
      for (int i = 14; i >= 1; --i)
        c.BlendEllipse(160, 110, i * 7.0, i * 8.0, Mix({150, 160, 200}, {240, 240, 255}, 1 - i / 14.0), 1.0);
      for (int i = 0; i < 5; ++i) c.FillEllipse(100 + i * 30, 200 + (i % 2) * 10, 16, 20, {190, 195, 230});
      DrawEyes(c, {{136, 100, 12}, {184, 100, 12}}, {40, 40, 80}, {200, 220, 255});
      c.FillEllipse(160, 140, 14, 10, {40, 40, 80});
      break;
    }
    case 2007: {  // gem beetle
      c.FillEllipse(160, 150, 100, 64, {40, 60, 120});
      c.FillPolygon({{160, 90}, {110, 150}, {160, 210}, {210, 150}}, {80, 200, 230});
      c.FillPolygon({{160, 90}, {160, 210}, {210, 150}}, {50, 150, 200});
      for (int i = 0; i < 3; ++i) {
        c.Line(80, 140 + i * 22, 40, 120 + i * 34, {30, 40, 80}, 4);
        c.Line(240, 140 + i * 22, 280, 120 + i * 34, {30, 40, 80}, 4);
      }
      c.FillEllipse(160, 80, 30, 20, {30, 40, 90});
      DrawEyes(c, {{148, 76, 5}, {172, 76, 5}}, {255, 120, 120}, {60, 0, 0});
      break;
    }
    default: {  // the lamp-eater, guardian of the altar
      Rgb shade = variant ? Rgb{90, 20, 30} : Rgb{40, 30, 70};
      c.FillEllipse(160, 140, 140, 96, Scale(shade, 0.8));
      c.FillEllipse(160, 130, 120, 86, shade);
      Random r(2008 + variant);
      for (int i = 0; i < 9; ++i)
        DrawEyes(c, {{60.0 + r.Range(0, 200), 80.0 + r.Range(0, 90), 6.0 + r.Range(0, 8)}}, {255, 220, 120}, {120, 20, 10});
      c.FillPolygon({{100, 180}, {220, 180}, {200, 200}, {120, 200}}, {20, 10, 20});
      for (int i = 0; i < 7; ++i) c.FillPolygon({{110.0 + i * 16, 180}, {118.0 + i * 16, 194}, {126.0 + i * 16, 180}}, kWhite);
      c.FillRect(230, 40, 12, 40, {90, 80, 70});
      c.FillEllipse(236, 50, 14, 18, kLamp);
      break;
    }
  }
  return c;
}

// ---- items (32 x 32) ----

Canvas ItemIcon(int item) {
  Canvas c(32, 32, {30, 26, 40});
  c.Frame(0, 0, 32, 32, {70, 60, 90});
  Rgb steel = {200, 205, 215}, wood = {150, 100, 50};
  switch (item) {
    case 1001: c.Line(6, 26, 26, 6, wood, 4); c.Line(8, 20, 14, 26, {90, 60, 30}, 3); break;
    case 1002: c.Line(6, 26, 26, 6, steel, 4); c.Line(8, 18, 16, 26, kGold, 3); c.FillEllipse(25, 7, 3, 3, kLamp); break;
    case 1003: c.Line(4, 28, 26, 6, wood, 3); c.FillPolygon({{22, 4}, {30, 2}, {28, 10}}, {180, 220, 255}); break;
    case 1011: c.FillEllipse(16, 18, 12, 10, {140, 100, 60}); c.FillRect(4, 18, 24, 8, {140, 100, 60}); break;
    case 1012: c.FillEllipse(16, 18, 12, 11, steel); c.FillRect(4, 18, 24, 8, steel); c.FillRect(14, 6, 4, 14, kGold); break;
    case 1021: c.FillPolygon({{8, 6}, {24, 6}, {28, 28}, {4, 28}}, {90, 70, 120}); break;
    case 1022:
      c.FillPolygon({{8, 6}, {24, 6}, {28, 28}, {4, 28}}, steel);
      for (int y = 8; y < 28; y += 4) c.Line(6, y, 26, y, {140, 140, 150});
      break;
    case 1031: c.FillEllipse(16, 16, 12, 13, wood); c.FillEllipse(16, 16, 4, 4, {90, 60, 30}); break;
    case 1032: c.FillPolygon({{5, 5}, {27, 5}, {27, 16}, {16, 29}, {5, 16}}, {190, 120, 70}); c.Line(16, 6, 16, 26, kGold, 2); break;
    case 1041: c.FillEllipse(16, 18, 9, 11, {120, 200, 140}); c.Line(16, 4, 16, 8, kGold, 2); break;
    case 1042: c.FillEllipse(16, 18, 10, 10, kGold); c.FillEllipse(16, 18, 6, 6, {30, 26, 40}); c.FillEllipse(16, 8, 5, 5, {140, 255, 200}); break;
    case 1051: c.FillRect(10, 10, 12, 16, {100, 90, 80}); c.FillEllipse(16, 18, 5, 6, kLamp); c.Line(12, 6, 20, 6, {100, 90, 80}, 2); break;
    case 1052: c.Line(8, 28, 22, 8, wood, 3); c.FillPolygon({{18, 4}, {28, 8}, {24, 16}}, steel); break;
    case 1053: c.FillEllipse(10, 12, 6, 6, {200, 140, 60}); c.Line(14, 14, 28, 26, {200, 140, 60}, 3); c.Line(24, 22, 20, 26, {200, 140, 60}, 2); break;
    case 1054: c.FillPolygon({{4, 10}, {28, 6}, {26, 24}, {6, 28}}, {230, 220, 180}); c.Line(6, 14, 26, 12, {180, 120, 80}, 2); break;
    case 1061: c.FillEllipse(12, 18, 6, 10, {80, 180, 70}); c.FillEllipse(20, 16, 6, 10, {100, 200, 90}); c.Line(16, 28, 16, 20, {60, 120, 50}, 2); break;
    case 1062: c.FillEllipse(16, 18, 8, 11, {160, 120, 220}); c.Line(16, 28, 16, 22, {60, 120, 50}, 2); break;
    case 1063: c.FillEllipse(16, 16, 5, 12, kWhite); c.Line(16, 6, 16, 28, {200, 200, 220}); break;
    default: c.FillPolygon({{16, 3}, {26, 16}, {16, 29}, {6, 16}}, {255, 220, 120}); c.BlendEllipse(16, 16, 5, 5, kWhite, 0.8); break;
  }
  return c;
}

// ---- screens ----

Canvas NightSky(uint32_t seed, Rgb top, Rgb bottom) {
  Canvas c(640, 480);
  c.VerticalGradient(0, 0, 640, 480, top, bottom);
  Random r(seed);
  for (int i = 0; i < 160; ++i) {
    int x = r.Range(0, 639), y = r.Range(0, 330);
    c.Blend(x, y, {255, 255, 230}, 0.4 + 0.6 * r.Unit());
  }
  return c;
}

Canvas Loading() {
  Canvas c = NightSky(5, {10, 14, 40}, {40, 30, 60});
  c.OutlinedText(320, 90, "灯の迷宮", 48, kGold, {40, 20, 10});
  c.OutlinedText(320, 300, "データを読み込んでいます", 20, kWhite, {20, 20, 40});
  return c;
}

Canvas Title() {
  Canvas c = NightSky(7, {6, 8, 30}, {60, 40, 70});
  // Hills and the tower of lamps.
  for (int x = 0; x < 640; ++x) {
    int h = 380 + static_cast<int>(20 * std::sin(x * 0.012) + 10 * std::sin(x * 0.05));
    c.FillRect(x, h, 1, 480 - h, {24, 20, 36});
  }
  c.FillPolygon({{420, 390}, {470, 390}, {460, 170}, {430, 170}}, {36, 30, 52});
  c.FillPolygon({{424, 170}, {466, 170}, {445, 120}}, {30, 26, 46});
  for (int y = 190; y < 380; y += 36) {
    c.BlendEllipse(445, y, 14, 14, kLamp, 0.35);
    c.FillRect(440, y - 6, 10, 12, {255, 220, 130});
  }
  c.BlendEllipse(445, 135, 30, 30, {255, 230, 150}, 0.4);
  c.OutlinedText(320, 60, "灯の迷宮", 72, kGold, {50, 24, 10});
  c.OutlinedText(320, 146, "Labyrinth of Lamplight", 22, {230, 220, 255}, {20, 10, 40});
  return c;
}

Canvas Logo() {
  Canvas c(640, 480, {20, 18, 28});
  c.BlendEllipse(320, 200, 60, 60, kLamp, 0.3);
  c.FillRect(310, 170, 20, 50, {255, 220, 130});
  c.FillRect(300, 160, 40, 8, {120, 100, 80});
  c.FillRect(300, 222, 40, 8, {120, 100, 80});
  c.OutlinedText(320, 290, "灯火工房", 36, kWhite, {40, 30, 20});
  c.OutlinedText(320, 340, "このゲームは見本として作られたオリジナル作品です", 16, {200, 200, 210}, {20, 18, 28});
  return c;
}

Canvas HitAnyKey() {
  Canvas c(280, 40);
  c.ClearTransparent();
  c.OutlinedText(140, 6, "キーを押してください", 24, kWhite, {40, 40, 80});
  return c;
}

Canvas WindowSkin() {
  Canvas c(128, 240);
  c.ClearTransparent();
  Rgb edge = {70, 50, 90}, light = {200, 170, 240}, trim = kGold;
  // Borders: top pieces at y 0, bottom pieces at y 45, 96 wide, 19 high. The
  // top one is a plain band between its corner ornaments, for the labels
  // windows write at 16, 2 ("Page[1/2]").
  c.FillRect(0, 0, 96, 19, edge);
  c.FillRect(1, 1, 94, 17, {236, 228, 248});
  c.FillRect(0, 18, 96, 1, trim);
  c.FillEllipse(6, 9, 4, 4, trim);
  c.FillEllipse(90, 9, 4, 4, trim);
  c.FillRect(0, 45, 96, 19, edge);
  c.FillRect(0, 47, 96, 3, trim);
  c.FillRect(0, 52, 96, 2, light);
  c.FillEllipse(6, 54, 5, 5, trim);
  c.FillEllipse(90, 54, 5, 5, trim);
  // Buttons: selected at y 80, normal at y 112; ends 16 wide at x 0 and 80, middle at 32.
  for (int k = 0; k < 2; ++k) {
    int y0 = 80 + 32 * k;
    Rgb top = k ? Rgb{170, 170, 200} : Rgb{255, 200, 110};
    Rgb bottom = k ? Rgb{110, 110, 150} : Rgb{220, 120, 40};
    for (int x0 : {0, 32, 80}) {
      c.VerticalGradient(x0, y0 + 2, 16, 28, top, bottom);
      c.FillRect(x0, y0 + 2, 16, 2, kWhite);
      c.FillRect(x0, y0 + 28, 16, 2, Scale(bottom, 0.6));
    }
    c.FillRect(0, y0 + 2, 2, 28, Scale(bottom, 0.6));
    c.FillRect(94, y0 + 2, 2, 28, Scale(bottom, 0.6));
  }
  // Key-wait mark, four frames at (32f, 176).
  for (int f = 0; f < 4; ++f) {
    double dy = f * 2;
    c.FillPolygon({{32.0 * f + 8, 182 + dy}, {32.0 * f + 24, 182 + dy}, {32.0 * f + 16, 196 + dy}}, kGold);
    c.FillPolygon({{32.0 * f + 11, 184 + dy}, {32.0 * f + 21, 184 + dy}, {32.0 * f + 16, 192 + dy}}, {255, 250, 200});
  }
  // Catalogue page marks at (0, 208) and (16, 208).
  c.FillRect(1, 209, 14, 14, {255, 200, 80});
  c.FillRect(17, 209, 14, 14, {90, 90, 140});
  // Sold-out cover at (32, 208).
  c.Line(36, 212, 60, 236, {255, 40, 40}, 4);
  c.Line(60, 212, 36, 236, {255, 40, 40}, 4);
  return c;
}

Canvas Unseen() {
  Canvas c(118, 80, {40, 40, 60});
  c.Grain(6, 3);
  c.OutlinedText(59, 20, "？", 40, {150, 150, 180}, {20, 20, 30});
  return c;
}

Canvas CatalogWait() {
  Canvas c(640, 480);
  c.ClearTransparent();
  c.FillRect(340, 120, 253, 96, {40, 30, 70});
  c.Frame(340, 120, 253, 96, kGold, 3);
  c.Text(356, 134, "図鑑を作成中…", 20, kWhite);
  c.FillRect(354, 165, 225, 37, {20, 16, 30});
  for (int y = 167; y < 200; ++y)
    for (int x = 356; x < 577; ++x) c.MakeTransparent(x, y);
  return c;
}

Canvas EndBackground(int n) {
  const Rgb tops[6] = {{10, 10, 40}, {250, 150, 90}, {20, 60, 40}, {200, 130, 70}, {30, 20, 50}, {120, 170, 230}};
  const Rgb bottoms[6] = {{60, 30, 80}, {80, 60, 140}, {90, 140, 80}, {90, 40, 30}, {200, 120, 60}, {240, 240, 255}};
  Canvas c = NightSky(100 + n, tops[n], bottoms[n]);
  Random r(200 + n);
  for (int i = 0; i < 12; ++i) {
    const int ry = r.Range(20, 50), rx = r.Range(40, 120), y = r.Range(300, 479), x = r.Range(0, 639);
    c.BlendEllipse(x, y, rx, ry, Scale(bottoms[n], 0.6), 0.5);
  }
  if (n == 4)
    for (int i = 0; i < 20; ++i) {
      const int y = r.Range(0, 479), x = r.Range(0, 639);
      c.BlendEllipse(x, y, 8, 10, kLamp, 0.7);
    }
  return c;
}

Canvas Credit(bool last) {
  Canvas c = NightSky(last ? 301 : 302, {10, 10, 30}, {50, 30, 60});
  if (last) {
    c.OutlinedText(320, 120, "灯の迷宮", 64, kGold, {50, 24, 10});
    c.OutlinedText(320, 230, "制作　灯火工房", 28, kWhite, {20, 20, 40});
    c.OutlinedText(320, 280, "絵・音・迷宮　すべてプログラムで生成しました", 18, {220, 220, 230}, {20, 20, 40});
    c.OutlinedText(320, 400, "何かキーを押してください", 18, {200, 200, 220}, {20, 20, 40});
  } else {
    c.OutlinedText(320, 180, "そして灯はふたたび", 36, kWhite, {20, 20, 40});
    c.OutlinedText(320, 240, "迷宮の奥をてらしはじめた", 36, kWhite, {20, 20, 40});
    c.OutlinedText(320, 400, "何かキーを押してください", 18, {200, 200, 220}, {20, 20, 40});
  }
  return c;
}

Canvas Grad() {
  Canvas c(640, 480);
  for (int y = 0; y < 480; ++y) {
    double t = y < 120 ? 1 - y / 120.0 : y > 360 ? (y - 360) / 120.0 : 0;
    int v = 1 + static_cast<int>(t * 254);
    c.FillRect(0, y, 640, 1, {v, v, v});
  }
  return c;
}

Canvas Scene(const char* name) {
  std::string n = name;
  if (n == "shop") {
    Canvas c(640, 480, {80, 56, 40});
    c.VerticalGradient(0, 0, 640, 300, {110, 80, 56}, {70, 50, 36});
    for (int i = 0; i < 4; ++i) c.FillRect(40, 60 + i * 56, 560, 8, {140, 100, 60});
    Random r(41);
    for (int i = 0; i < 40; ++i) {
      const double shade = 0.5 + r.Unit();
      c.FillRect(50 + r.Range(0, 520), 30 + (i % 4) * 56, 14, 28, Scale({200, 120, 80}, shade));
    }
    c.FillRect(0, 300, 640, 180, {120, 84, 50});
    c.FillRect(0, 300, 640, 10, {150, 110, 70});
    return c;
  }
  if (n == "bank") {
    Canvas c(640, 480);
    c.VerticalGradient(0, 0, 640, 480, {60, 70, 90}, {30, 34, 50});
    for (int x = 60; x < 640; x += 130) c.FillRect(x, 40, 40, 300, {150, 150, 160});
    c.FillRect(0, 340, 640, 140, {90, 80, 70});
    c.FillEllipse(560, 390, 40, 30, kGold);
    return c;
  }
  if (n == "inn") {
    Canvas c(640, 480);
    c.VerticalGradient(0, 0, 640, 480, {90, 60, 40}, {40, 26, 20});
    c.BlendEllipse(320, 200, 180, 140, kLamp, 0.25);
    c.FillRect(280, 160, 80, 90, {60, 40, 30});
    c.FillEllipse(320, 180, 26, 30, {255, 140, 40});
    c.FillEllipse(320, 186, 14, 18, {255, 230, 140});
    return c;
  }
  if (n == "shrine") {
    Canvas c = NightSky(51, {20, 30, 60}, {60, 80, 110});
    c.FillRect(200, 120, 240, 300, {200, 200, 210});
    c.FillRect(180, 100, 280, 24, {170, 170, 180});
    c.BlendEllipse(320, 260, 70, 70, {150, 220, 255}, 0.5);
    return c;
  }
  if (n == "altar") {
    Canvas c = NightSky(52, {20, 10, 40}, {120, 70, 60});
    c.FillPolygon({{220, 420}, {420, 420}, {380, 300}, {260, 300}}, {120, 100, 130});
    c.BlendEllipse(320, 250, 80, 80, {255, 230, 150}, 0.6);
    c.FillEllipse(320, 260, 20, 26, {255, 250, 220});
    return c;
  }
  if (n == "battle") {
    Canvas c(640, 480);
    c.VerticalGradient(0, 0, 640, 480, {30, 26, 40}, {70, 56, 60});
    Random r(53);
    for (int i = 0; i < 30; ++i) {
      const int ry = r.Range(10, 30), rx = r.Range(30, 90), y = r.Range(340, 479), x = r.Range(0, 639);
      c.BlendEllipse(x, y, rx, ry, {50, 40, 50}, 0.7);
    }
    return c;
  }
  if (n == "gameover") {
    Canvas c(640, 480);
    c.VerticalGradient(0, 0, 640, 480, {40, 0, 10}, {5, 2, 4});
    c.OutlinedText(320, 190, "灯は消えた…", 48, {230, 200, 200}, {30, 0, 0});
    return c;
  }
  // camp: the menu backdrop
  Canvas c(640, 480);
  c.VerticalGradient(0, 0, 640, 480, {24, 30, 50}, {10, 12, 20});
  return c;
}

Canvas Cover(int n) {
  Canvas c(160, 120);
  const Rgb tops[3] = {{20, 30, 80}, {80, 30, 40}, {30, 70, 40}};
  c.VerticalGradient(0, 0, 160, 120, tops[n], {250, 200, 120});
  c.FillRect(74, 40, 12, 50, {60, 40, 30});
  c.FillEllipse(80, 52, 10, 12, kLamp);
  c.Text(8, 96, "灯の迷宮", 16, kWhite);
  return c;
}

void Png(std::vector<PictureFile>& out, const std::string& path, const Canvas& c) { out.push_back({path, EncodePng(c)}); }

}  // namespace

std::vector<PictureFile> MakePictures() {
  std::vector<PictureFile> out;
  // System screens.
  Png(out, "system/loading.png", Loading());
  Png(out, "system/title.png", Title());
  Png(out, "system/logo.png", Logo());
  Png(out, "system/hitanykey.png", HitAnyKey());
  Png(out, "system/win.png", WindowSkin());
  Png(out, "system/np.png", Unseen());
  Png(out, "system/catalog_wait.png", CatalogWait());
  for (int i = 0; i < 6; ++i) Png(out, "system/end" + std::to_string(i + 1) + ".png", EndBackground(i));
  Png(out, "system/credit.png", Credit(true));
  Png(out, "system/credit2.png", Credit(false));
  Png(out, "system/grad.png", Grad());
  out.push_back({"system/setup.jpg", EncodeJpeg(Cover(0), 85)});
  for (int i = 0; i < 3; ++i) out.push_back({"save_jpg/cover" + std::to_string(i + 1) + ".jpg", EncodeJpeg(Cover(i), 85)});
  for (const char* s : {"shop", "bank", "inn", "shrine", "altar", "battle", "gameover", "camp"})
    Png(out, std::string("bg/") + s + ".png", Scene(s));

  // Textures of the 3-D view (numbers in data/map/chip.cfg).
  Png(out, "map/wall_stone.png", StoneWall());
  Png(out, "map/wall_brick.png", BrickWall());
  Png(out, "map/wall_sand.png", SandWall());
  Png(out, "map/wall_moss.png", MossWall());
  Png(out, "map/floor_stone.png", FloorTiles({110, 106, 100}, {96, 92, 88}, 25));
  Png(out, "map/floor_grass.png", Grass());
  Png(out, "map/floor_sand.png", Sand());
  Png(out, "map/ceiling.png", Ceiling());
  Png(out, "map/water.png", Water());
  Png(out, "map/stair_step.png", StairStep());
  Png(out, "map/stair_side.png", StairSide());
  Png(out, "map/door_wood.png", Door(false));
  Png(out, "map/door_iron.png", Door(true));
  Png(out, "map/tree.png", Tree());
  Png(out, "map/chest.png", Chest());
  Png(out, "map/tower.png", Tower());
  Png(out, "map/spirit.png", Spirit());
  Png(out, "map/statue.png", Statue());
  Png(out, "map/pano_sky.png", Panorama({20, 40, 110}, {150, 170, 220}, {60, 110, 60}, false, 61));
  Png(out, "map/pano_dusk.png", Panorama({40, 20, 60}, {250, 150, 90}, {200, 150, 90}, true, 62));
  Png(out, "map/ceiling_hole.png", CeilingHole());
  Png(out, "map/ceiling_crack.png", CeilingCrack());
  Png(out, "map/floor_hole.png", FloorHole());
  Png(out, "map/floor_crack.png", FloorCrack());
  Png(out, "map/wall_rune.png", RuneWall());
  for (int i = 0; i < 7; ++i) Png(out, "map/torch" + std::to_string(i) + ".png", Torch(i));
  for (int i = 0; i < 3; ++i) Png(out, "map/warp" + std::to_string(i) + ".png", WarpFrame(i));
  Png(out, "map/fog.png", Fog());
  Png(out, "map/sign.png", Sign());
  Png(out, "map/missing.png", Missing());

  // Map parts of the 2-D maps (data/map_chip/chip.cfg).
  auto bmp = [&](const std::string& name, const Canvas& c) { out.push_back({"map_chip/" + name + ".bmp", EncodeBmp(c)}); };
  bmp("stone", Chip({120, 116, 110}, nullptr));
  bmp("grass", Chip({70, 140, 60}, nullptr));
  bmp("water", Chip({40, 90, 180}, nullptr));
  bmp("fog", Chip({170, 170, 180}, nullptr));
  bmp("sand", Chip({220, 190, 120}, nullptr));
  bmp("up", ChipGlyph({120, 116, 110}, {255, 255, 255}, "上"));
  bmp("down", ChipGlyph({120, 116, 110}, {255, 255, 255}, "下"));
  bmp("shop", ChipGlyph({150, 100, 60}, {255, 240, 200}, "店"));
  bmp("bank", ChipGlyph({90, 90, 130}, {255, 240, 200}, "預"));
  bmp("inn", ChipGlyph({140, 80, 60}, {255, 240, 200}, "宿"));
  bmp("warp", ChipGlyph({120, 80, 200}, {255, 255, 255}, "◎"));
  bmp("shrine", ChipGlyph({200, 200, 220}, {40, 40, 120}, "祠"));
  bmp("notice", ChipGlyph({120, 116, 110}, {255, 255, 160}, "碑"));
  bmp("guardian", ChipGlyph({120, 30, 40}, {255, 255, 255}, "守"));
  bmp("altar", ChipGlyph({230, 200, 120}, {120, 40, 20}, "灯"));
  bmp("crumble", Chip({120, 116, 110}, [](Canvas& c) { c.Line(4, 16, 28, 12, {50, 40, 30}, 2); c.Line(16, 14, 12, 28, {50, 40, 30}, 2); }));
  bmp("rock", Chip({40, 36, 44}, nullptr));
  bmp("tower", ChipGlyph({40, 36, 44}, {255, 220, 120}, "塔"));
  bmp("chest", Chip({120, 116, 110}, [](Canvas& c) { c.FillRect(6, 10, 20, 14, {160, 100, 40}); c.FillRect(6, 15, 20, 3, kGold); }));
  bmp("tree", Chip({70, 140, 60}, [](Canvas& c) { c.FillEllipse(16, 13, 10, 9, {30, 90, 30}); c.FillRect(14, 20, 4, 9, {90, 60, 30}); }));
  bmp("spirit", Chip({120, 116, 110}, [](Canvas& c) { c.FillEllipse(16, 16, 8, 10, {170, 230, 255}); }));
  bmp("arrow_n", Arrow(0));
  bmp("arrow_e", Arrow(1));
  bmp("arrow_s", Arrow(2));
  bmp("arrow_w", Arrow(3));
  bmp("unknown", ChipGlyph({255, 0, 255}, {255, 255, 255}, "？"));

  // Monsters: full pictures, and the catalogue's small ones under the same names.
  struct MonPic {
    int number, variant;
    const char* name;
  };
  const MonPic mons[] = {{2001, 0, "slime"},  {2001, 1, "slime_rose"}, {2002, 0, "bat"},   {2003, 0, "golem"},
                         {2004, 0, "mushroom"}, {2005, 0, "lizard"},   {2006, 0, "ghost"}, {2007, 0, "beetle"},
                         {2008, 0, "lampeater"}, {2008, 1, "lampeater_red"}};
  for (const MonPic& m : mons) {
    Canvas pic = Monster(m.number, m.variant);
    Png(out, std::string("mon/") + m.name + ".png", pic);
    Canvas small(118, 80, {24, 22, 34});
    small.Paste(pic.Scaled(106, 80), 6, 0);
    Png(out, std::string("mon_small/") + m.name + ".png", small);
  }

  // Items.
  const int items[] = {1001, 1002, 1003, 1011, 1012, 1021, 1022, 1031, 1032, 1041, 1042,
                       1051, 1052, 1053, 1054, 1061, 1062, 1063, 1064};
  for (int i : items) Png(out, "item/i" + std::to_string(i) + ".png", ItemIcon(i));
  return out;
}

}  // namespace datagen
