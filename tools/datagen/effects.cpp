#include "tools/datagen/effects.h"

#include <cmath>

#include "tools/datagen/canvas.h"

namespace datagen {

namespace {

int16_t Clamp16(double v) {
  if (v > 32767) return 32767;
  if (v < -32768) return -32768;
  return static_cast<int16_t>(std::lround(v));
}

// Signed noise in -1..1 for a pixel and a salt.
double Noise(int x, int y, uint32_t salt) {
  return (Hash(static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^ salt) % 2001) / 1000.0 - 1.0;
}

void Offset(int n, int f, int x, int y, double& dx, double& dy) {
  // Spread: 1 at frame 19, small but not zero at frame 0.
  double s = (f + 1) / static_cast<double>(kEffectFrames);
  double cx = x - kEffectWidth / 2.0, cy = y - kEffectHeight / 2.0;
  double r = std::hypot(cx, cy), a = std::atan2(cy, cx);
  switch (n) {
    case 0:  // burst: pixels thrown outward from the middle
      dx = cx * 2.5 * s * s + Noise(x, y, 1) * 12 * s;
      dy = cy * 2.5 * s * s + Noise(x, y, 2) * 12 * s;
      break;
    case 1:  // horizontal waves that calm down
      dx = std::sin(y * 0.09 + f * 0.6) * 140 * s;
      dy = std::sin(x * 0.05 + f * 0.3) * 10 * s;
      break;
    case 2: {  // swirl about the middle, strongest near it
      double turn = s * 3.2 * (1.0 - std::min(r, 200.0) / 260.0);
      dx = std::cos(a + turn) * r - cx;
      dy = std::sin(a + turn) * r - cy;
      break;
    }
    case 3:  // rain: each column falls in from above at its own speed
      dx = 0;
      dy = -(static_cast<int>(Hash(static_cast<uint32_t>(x) * 2654435761U) % 200) + 40) * s * 1.4;
      break;
    case 4:  // sparks: wide random scatter (the game halves this table's offsets)
      dx = Noise(x, y, 3) * 640 * s;
      dy = Noise(x, y, 4) * 480 * s;
      break;
    default: {  // spiral gathering toward the middle
      double grow = 1.0 + 2.2 * s;
      double turn = s * 2.4;
      dx = std::cos(a + turn) * r * grow - cx;
      dy = std::sin(a + turn) * r * grow - cy;
      break;
    }
  }
}

}  // namespace

std::vector<uint8_t> MakeEffectTable(int n) {
  std::vector<uint8_t> out(kEffectBytes);
  for (int f = 0; f < kEffectFrames; ++f)
    for (int x = 0; x < kEffectWidth; ++x)
      for (int y = 0; y < kEffectHeight; ++y) {
        double dx = 0, dy = 0;
        Offset(n, f, x, y, dx, dy);
        int16_t ix = Clamp16(dx), iy = Clamp16(dy);
        uint8_t* p = &out[static_cast<size_t>(f) * 307200 + static_cast<size_t>(x) * 960 + static_cast<size_t>(y) * 4];
        p[0] = static_cast<uint8_t>(ix);
        p[1] = static_cast<uint8_t>(static_cast<uint16_t>(ix) >> 8);
        p[2] = static_cast<uint8_t>(iy);
        p[3] = static_cast<uint8_t>(static_cast<uint16_t>(iy) >> 8);
      }
  return out;
}

}  // namespace datagen
