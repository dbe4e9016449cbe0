// Lines stepped in 64 bits and entered where they meet a clip, so that a line
// across the whole int range (or a float vertex's range) draws its visible
// part at once and exactly. The display layer's lines and the software
// device's share it.
#pragma once

#include <algorithm>
#include <cstdint>

namespace platform {

// The pixels of a Bresenham line along its major axis from a0 to a1 (a0 <= a1),
// the minor coordinate starting at b0 and moving by `step`, with da and db the
// two distances (0 <= db <= da): only those with lo <= a < hi are plotted.
// After k steps the minor coordinate has moved ceil((k * db - bias) / da)
// times (none before the first): bias da / 2 leaves a half-way point at the
// side of b0, (da - 1) / 2 takes it to the other side. The error and the
// minor coordinate at the first plotted pixel follow from how many times the
// error has wrapped by then.
template <class Plot>
void WalkLine(int64_t a0, int64_t b0, int64_t a1, int step, int64_t da, int64_t db, int64_t bias, int64_t lo,
              int64_t hi, Plot plot) {
  const int64_t first = std::max(a0, lo), last = std::min(a1, hi - 1);
  if (first > last) return;
  // After k steps the error is bias - k * db + m * da, in 0..da - 1.
  const __int128 behind = static_cast<__int128>(first - a0) * db - bias;
  const int64_t wraps = behind > 0 ? static_cast<int64_t>((behind + da - 1) / da) : 0;
  int64_t err = static_cast<int64_t>(wraps * static_cast<__int128>(da) - behind);
  int64_t b = b0 + step * wraps;
  plot(first, b);
  for (int64_t a = first + 1; a <= last; ++a) {
    err -= db;
    if (err < 0) err += da, b += step;
    plot(a, b);
  }
}

// The software device's line between whole-numbered ends, |coordinate| <=
// 2^62: from (x0, y0) towards (x1, y1) along the longer axis, the other
// coordinate rounded to nearest with half-way points rounded up; (x1, y1)
// itself only with `last`. Only pixels inside [left, right) x [top, bottom)
// are plotted, as plot(x, y, i) with i the pixel's number of steps from
// (x0, y0).
template <class Plot>
void WalkDeviceLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool last, int64_t left, int64_t top,
                    int64_t right, int64_t bottom, Plot plot) {
  const int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y1 - y0 : y0 - y1;
  const bool xmajor = dy <= dx;
  // Walked from the end with the lower major coordinate; the pixel at
  // (x1, y1) is cut off by narrowing the range when it is not drawn.
  const int64_t a_start = xmajor ? x0 : y0, a_end = xmajor ? x1 : y1;
  const int64_t b_start = xmajor ? y0 : x0, b_end = xmajor ? y1 : x1;
  int64_t lo = xmajor ? left : top, hi = xmajor ? right : bottom;
  const int64_t mlo = xmajor ? top : left, mhi = xmajor ? bottom : right;
  if (!last) {
    if (a_end == a_start) return;  // nothing but the end itself
    if (a_end > a_start) hi = std::min(hi, a_end);
    else lo = std::max(lo, a_end + 1);
  }
  const bool forward = a_start <= a_end;
  const int64_t a0 = forward ? a_start : a_end, a1 = forward ? a_end : a_start;
  const int64_t b0 = forward ? b_start : b_end, b1 = forward ? b_end : b_start;
  const int step = b1 > b0 ? 1 : -1;
  const int64_t da = xmajor ? dx : dy, db = xmajor ? dy : dx;
  // Half-way points go to the higher minor coordinate whichever way the
  // line is walked.
  const int64_t bias = step > 0 ? (da - 1) / 2 : da / 2;
  WalkLine(a0, b0, a1, step, da, db, bias, lo, hi, [&](int64_t a, int64_t b) {
    if (b < mlo || b >= mhi) return;
    const int64_t i = a > a_start ? a - a_start : a_start - a;
    if (xmajor) plot(a, b, i);
    else plot(b, a, i);
  });
}

}  // namespace platform
