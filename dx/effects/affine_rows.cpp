// The affine map's workers and set-up.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "dx/effects/geometry.h"
#include "dx/effects/words.h"

namespace dx::effects {

namespace {

// One row of a parallelogram is one run: skip to the first pixel inside, draw
// while inside, and leave the rest of the row.
template <int Bpp>
void affine_rows(const Affine& a) {
  const uint32_t ulimit = static_cast<uint32_t>(a.sw) << 16, vlimit = static_cast<uint32_t>(a.sh) << 16;
  uint32_t ru = a.u, rv = a.v;
  uint8_t* d = a.dst;
  for (int y = 0; y < a.h; ++y, d += a.dpitch, ru += a.dudy, rv += a.dvdy) {
    uint32_t u = ru, v = rv;
    int x = 0;
    while (x < a.w && (u >= ulimit || v >= vlimit)) ++x, u += a.dudx, v += a.dvdx;
    for (; x < a.w && u < ulimit && v < vlimit; ++x, u += a.dudx, v += a.dvdx) {
      const uint8_t* s = a.src + static_cast<std::ptrdiff_t>(v >> 16) * a.spitch + (u >> 16) * Bpp;
      if constexpr (Bpp == 1) {
        if (*s) d[x] = *s;
      } else if constexpr (Bpp == 2) {
        if (uint32_t p = load16(s)) store16(d + 2 * x, p);
      } else if constexpr (Bpp == 3) {
        if (uint32_t p = load24(s)) store24(d + 3 * x, p);
      } else {
        if (uint32_t p = load32(s)) store32(d + 4 * x, p);
      }
    }
  }
}

}  // namespace

AffineFn affine_worker(int bpp) {
  switch (bpp) {
    case 8: return &affine_rows<1>;
    case 16: return &affine_rows<2>;
    case 24: return &affine_rows<3>;
    case 32: return &affine_rows<4>;
    default: return nullptr;
  }
}

bool affine_setup(int32_t width, int32_t height, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                  int32_t y2, int32_t screen_w, int32_t screen_h, AffineBox* out) {
  // Corner arithmetic in 64 bits: far-off corners must not wrap onto the screen.
  const int64_t x3 = int64_t{x1} - x0 + x2, y3 = int64_t{y1} - y0 + y2;
  int64_t left = std::min({int64_t{x0}, int64_t{x1}, int64_t{x2}, x3});
  int64_t right = std::max({int64_t{x0}, int64_t{x1}, int64_t{x2}, x3});
  int64_t top = std::min({int64_t{y0}, int64_t{y1}, int64_t{y2}, y3});
  int64_t bottom = std::max({int64_t{y0}, int64_t{y1}, int64_t{y2}, y3});
  left = std::max<int64_t>(left, 0), top = std::max<int64_t>(top, 0);
  right = std::min<int64_t>(right, screen_w), bottom = std::min<int64_t>(bottom, screen_h);
  if (left >= right || top >= bottom) return false;
  const int64_t ax = int64_t{x1} - x0, ay = int64_t{y1} - y0, bx = int64_t{x2} - x0, by = int64_t{y2} - y0;
  // The sides reach 2^32, so their products (and the sizes times them) take
  // 128 bits.
  const __int128 det = static_cast<__int128>(ax) * by - static_cast<__int128>(ay) * bx;
  // Collinear corners have no inverse: nothing to draw.
  if (det == 0) return false;
  // size * side * 65536 / det rounded half away from zero, as MulDiv rounds;
  // the step is kept modulo 2^32, as the workers step.
  auto muldiv = [det](int64_t size, int64_t side) -> uint32_t {
    const __int128 n = static_cast<__int128>(size) * side * 65536;
    const bool neg = (n < 0) != (det < 0);
    const __int128 an = n < 0 ? -n : n, ad = det < 0 ? -det : det;
    const __int128 q = (an + ad / 2) / ad;
    return static_cast<uint32_t>(static_cast<unsigned __int128>(neg ? -q : q));
  };
  AffineBox b;
  b.dudx = muldiv(width, by);
  b.dudy = 0u - muldiv(width, bx);
  b.dvdx = 0u - muldiv(height, ay);
  b.dvdy = muldiv(height, ax);
  const uint32_t lx = static_cast<uint32_t>(left - x0), ty = static_cast<uint32_t>(top - y0);
  b.u = b.dudx * lx + b.dudy * ty;
  b.v = b.dvdx * lx + b.dvdy * ty;
  b.left = static_cast<int32_t>(left), b.top = static_cast<int32_t>(top);
  b.right = static_cast<int32_t>(right), b.bottom = static_cast<int32_t>(bottom);
  *out = b;
  return true;
}

void rotate_corners(int32_t width, int32_t height, int32_t x, int32_t y, int32_t cx, int32_t cy, int32_t degrees,
                    int32_t zoom, int32_t out[6]) {
  const double rad = degrees * std::numbers::pi / 180.0;
  // The sine and cosine are cut to whole percents of the zoom first.
  const int64_t s = static_cast<int64_t>(std::trunc(std::sin(rad) * zoom)) * 65536 / 100;
  const int64_t c = static_cast<int64_t>(std::trunc(std::cos(rad) * zoom)) * 65536 / 100;
  // A far zoom takes the sums past 64 bits; corners beyond the 32-bit range
  // are held at its ends rather than wrapped back onto the screen.
  auto held = [](__int128 v) { return static_cast<int32_t>(std::clamp<__int128>(v, INT32_MIN, INT32_MAX)); };
  auto map = [&](int64_t dx, int64_t dy, int32_t* o) {
    o[0] = held(x + ((static_cast<__int128>(dx) * c + static_cast<__int128>(dy) * s) >> 16));
    o[1] = held(y + ((static_cast<__int128>(dy) * c - static_cast<__int128>(dx) * s) >> 16));
  };
  // Negated in 64 bits: a centre at INT32_MIN has no 32-bit negation.
  const int64_t ncx = -int64_t{cx}, ncy = -int64_t{cy};
  map(ncx, ncy, out);
  map(int64_t{width} + ncx, ncy, out + 2);
  map(ncx, int64_t{height} + ncy, out + 4);
}

}  // namespace dx::effects
