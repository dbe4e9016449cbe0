#include "dx/effects/frame.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "dx/effects/geometry.h"

namespace dx::effects {

namespace {

// A surface locked for the length of one worker call.
class Locked {
 public:
  Locked(IDirectDrawSurface* s, RECT* area, DWORD flags) : surface_(s) {
    desc_.dwSize = sizeof(desc_);
    if (s && s->Lock(area, &desc_, flags, nullptr) == DD_OK) bits_ = static_cast<uint8_t*>(desc_.lpSurface);
  }
  ~Locked() {
    if (bits_) surface_->Unlock(bits_);
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

  explicit operator bool() const { return bits_ != nullptr; }
  uint8_t* bits() const { return bits_; }
  int32_t pitch() const { return desc_.lPitch; }
  int32_t width() const { return static_cast<int32_t>(desc_.dwWidth); }
  int32_t height() const { return static_cast<int32_t>(desc_.dwHeight); }
  int bpp() const { return static_cast<int>(desc_.ddpfPixelFormat.dwRGBBitCount); }

 private:
  IDirectDrawSurface* surface_;
  DDSURFACEDESC desc_{};
  uint8_t* bits_ = nullptr;
};

// The clip rectangle kept inside the target surface, so that the target's lock
// never asks for pixels it does not have.
RECT target_clip(const Target& t) {
  RECT c = t.clip;
  c.left = std::max<LONG>(c.left, 0), c.top = std::max<LONG>(c.top, 0);
  c.right = std::min<LONG>(c.right, t.surface->width()), c.bottom = std::min<LONG>(c.bottom, t.surface->height());
  return c;
}

RECT rect_at(int32_t x, int32_t y, int64_t w, int64_t h) {
  // Rectangles reaching past the 32-bit range are cut at its end.
  auto cut = [](int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  return RECT{x, y, cut(int64_t{x} + w), cut(int64_t{y} + h)};
}

}  // namespace

bool clip_rects(RECT& dst, RECT& src, const RECT& clip) {
  // Wide: an edge may lie anywhere in the 32-bit range, and the distance it
  // moves may not fit. What is left when something is drawn fits again.
  int64_t dl = dst.left, dt = dst.top, dr = dst.right, db = dst.bottom;
  int64_t sl = src.left, st = src.top, sr = src.right, sb = src.bottom;
  if (dl < clip.left) sl += clip.left - dl, dl = clip.left;
  if (dt < clip.top) st += clip.top - dt, dt = clip.top;
  if (dr > clip.right) sr -= dr - clip.right, dr = clip.right;
  if (db > clip.bottom) sb -= db - clip.bottom, db = clip.bottom;
  auto held = [](int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  dst = {held(dl), held(dt), held(dr), held(db)};
  src = {held(sl), held(st), held(sr), held(sb)};
  return dl < dr && dt < db;
}

bool clip_rect(RECT& dst, const RECT& clip) {
  dst.left = std::max(dst.left, clip.left), dst.top = std::max(dst.top, clip.top);
  dst.right = std::min(dst.right, clip.right), dst.bottom = std::min(dst.bottom, clip.bottom);
  return dst.left < dst.right && dst.top < dst.bottom;
}

void blit(const Target& t, IDirectDrawSurface* source, int32_t x, int32_t y, Mode mode, const Blit& params) {
  const BlitFn fn = worker(mode, t.bpp);
  if (!t.surface || !source || !fn) return;
  Locked src(source, nullptr, DDLOCK_WAIT | DDLOCK_READONLY);
  if (!src || src.bpp() != t.bpp) return;
  RECT s{0, 0, src.width(), src.height()};
  RECT d = rect_at(x, y, src.width(), src.height());
  if (!clip_rects(d, s, target_clip(t))) return;
  Locked dst(t.surface, &d, DDLOCK_WAIT);
  if (!dst) return;
  Blit b = params;
  b.src = src.bits() + static_cast<std::ptrdiff_t>(s.top) * src.pitch() + s.left * (t.bpp / 8);
  b.spitch = src.pitch();
  b.dst = dst.bits(), b.dpitch = dst.pitch();
  b.w = d.right - d.left, b.h = d.bottom - d.top;
  fn(b, t.format);
}

void blit_masked(const Target& t, IDirectDrawSurface* source, int32_t x, int32_t y, IDirectDrawSurface* mask,
                 int32_t mask_x, int32_t mask_y) {
  const BlitFn fn = worker(Mode::Masked, t.bpp);
  if (!t.surface || !source || !mask || !fn) return;
  Locked src(source, nullptr, DDLOCK_WAIT | DDLOCK_READONLY);
  if (!src || src.bpp() != t.bpp) return;
  RECT s{0, 0, src.width(), src.height()};
  RECT d = rect_at(x, y, src.width(), src.height());
  if (!clip_rects(d, s, target_clip(t))) return;
  Locked m(mask, nullptr, DDLOCK_WAIT | DDLOCK_READONLY);
  if (!m || m.bpp() != t.bpp) return;
  if (!clip_rects(d, s, rect_at(mask_x, mask_y, m.width(), m.height()))) return;
  Locked dst(t.surface, &d, DDLOCK_WAIT);
  if (!dst) return;
  const int bytes = t.bpp / 8;
  Blit b;
  b.src = src.bits() + static_cast<std::ptrdiff_t>(s.top) * src.pitch() + s.left * bytes;
  b.spitch = src.pitch();
  b.mask = m.bits() + static_cast<std::ptrdiff_t>(d.top - mask_y) * m.pitch() + (d.left - mask_x) * bytes;
  b.mpitch = m.pitch();
  b.dst = dst.bits(), b.dpitch = dst.pitch();
  b.w = d.right - d.left, b.h = d.bottom - d.top;
  fn(b, t.format);
}

void fill(const Target& t, int32_t x, int32_t y, int32_t w, int32_t h, Mode mode, uint32_t colour,
          uint32_t percent, const uint32_t* pattern) {
  const BlitFn fn = worker(mode, t.bpp);
  if (!t.surface || !fn) return;
  RECT d = rect_at(x, y, w, h);
  if (!clip_rect(d, target_clip(t))) return;
  Locked dst(t.surface, &d, DDLOCK_WAIT);
  if (!dst) return;
  Blit b;
  b.dst = dst.bits(), b.dpitch = dst.pitch();
  b.w = d.right - d.left, b.h = d.bottom - d.top;
  b.param = colour, b.param2 = percent, b.pattern = pattern;
  fn(b, t.format);
}

void affine(const Target& t, IDirectDrawSurface* source, int32_t width, int32_t height, const int32_t c[6],
            int32_t screen_w, int32_t screen_h) {
  const AffineFn fn = affine_worker(t.bpp);
  if (!t.surface || !source || !fn) return;
  AffineBox box;
  if (!affine_setup(width, height, c[0], c[1], c[2], c[3], c[4], c[5], screen_w, screen_h, &box)) return;
  // The screen's size bounds the box; the target surface bounds the lock.
  RECT d{box.left, box.top, box.right, box.bottom};
  const RECT whole{0, 0, t.surface->width(), t.surface->height()};
  const RECT before = d;
  if (!clip_rect(d, whole)) return;
  Locked src(source, nullptr, DDLOCK_WAIT | DDLOCK_READONLY);
  if (!src || src.bpp() != t.bpp) return;
  Locked dst(t.surface, &d, DDLOCK_WAIT);
  if (!dst) return;
  Affine a;
  a.dst = dst.bits(), a.dpitch = dst.pitch();
  a.src = src.bits(), a.spitch = src.pitch();
  a.sw = std::min(width, src.width()), a.sh = std::min(height, src.height());
  a.w = d.right - d.left, a.h = d.bottom - d.top;
  a.dudx = box.dudx, a.dvdx = box.dvdx, a.dudy = box.dudy, a.dvdy = box.dvdy;
  const uint32_t lx = static_cast<uint32_t>(d.left - before.left), ty = static_cast<uint32_t>(d.top - before.top);
  a.u = box.u + a.dudx * lx + a.dudy * ty;
  a.v = box.v + a.dvdx * lx + a.dvdy * ty;
  fn(a);
}

namespace {

// The rows of a picture from its first visible row, each placed by left_of(r).
template <class LeftOf>
void shifted_rows(const Target& t, IDirectDrawSurface* source, int32_t width, int32_t height, int32_t y,
                  LeftOf left_of) {
  if (!t.surface || !source || width <= 0 || height <= 0) return;
  const RECT clip = target_clip(t);
  int64_t r = 0, row = y;
  if (row < clip.top) r = clip.top - row, row = clip.top;
  const int64_t last = std::min<int64_t>(int64_t{y} + height - 1, int64_t{clip.bottom} - 1);
  for (; row <= last; ++row, ++r) {
    int64_t left = left_of(static_cast<int32_t>(r));
    int64_t sleft = 0, sright = width;
    if (left < clip.left) sleft = clip.left - left, left = clip.left;
    if (left + (sright - sleft) > clip.right) sright -= left + (sright - sleft) - clip.right;
    if (sleft >= sright) continue;
    RECT s{static_cast<LONG>(sleft), static_cast<LONG>(r), static_cast<LONG>(sright), static_cast<LONG>(r + 1)};
    t.surface->BltFast(static_cast<DWORD>(left), static_cast<DWORD>(row), source, &s,
                       DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT);
  }
}

}  // namespace

void wave(const Target& t, IDirectDrawSurface* source, int32_t width, int32_t height, int32_t x, int32_t y,
          int32_t amplitude, int32_t period, int32_t phase) {
  shifted_rows(t, source, width, height, y, [=](int32_t r) {
    const int64_t angle = (period != 0 ? int64_t{r} * 360 / period : 0) + phase;
    return static_cast<int64_t>(std::trunc(x + amplitude * std::sin(static_cast<double>(angle) * std::numbers::pi / 180.0)));
  });
}

int64_t Jitter::next_left(int32_t x, int32_t amplitude) {
  uint64_t sum = 0;
  for (int i = 0; i < 8; ++i) {
    state = (state ^ (state >> 1)) + increment;
    sum += state % static_cast<uint32_t>(amplitude);
  }
  return int64_t{x} - amplitude + static_cast<int64_t>(sum / 4);
}

void jitter(const Target& t, IDirectDrawSurface* source, int32_t width, int32_t height, int32_t x, int32_t y,
            int32_t amplitude, Jitter generator) {
  if (amplitude < 1) return;
  shifted_rows(t, source, width, height, y, [&](int32_t) { return generator.next_left(x, amplitude); });
}

void mosaic(const Target& t, int32_t x, int32_t y, int32_t w, int32_t h, int32_t block, int first_copies) {
  if (block <= 1 || !t.surface || t.bpp % 8 != 0 || t.bpp < 8 || t.bpp > 32) return;
  RECT d = rect_at(x, y, w, h);
  if (!clip_rect(d, target_clip(t))) return;
  Locked dst(t.surface, &d, DDLOCK_WAIT);
  if (!dst) return;
  mosaic_rows(dst.bits(), dst.pitch(), d.right - d.left, d.bottom - d.top, block, first_copies, t.bpp / 8);
}

void trapezoid(const Target& t, int32_t top_left, int32_t top_right, int32_t bottom_left, int32_t bottom_right,
               int32_t top_y, int32_t bottom_y, uint32_t pixel, uint32_t percent, bool additive) {
  const SpansFn fn = spans_worker(t.bpp);
  if (!t.surface || !fn || top_y >= bottom_y) return;
  const RECT clip = target_clip(t);
  // Rows wholly above or below the clip draw nothing; checked first, the skip
  // below is always shorter than the height, so its product stays in range.
  if (bottom_y <= clip.top || top_y >= clip.bottom) return;
  const int64_t h = int64_t{bottom_y} - top_y;
  const int64_t left_step = (int64_t{bottom_left} - top_left) / h, right_step = (int64_t{bottom_right} - top_right) / h;
  int64_t left = top_left, right = top_right, y0 = top_y, y1 = bottom_y;
  if (y0 < clip.top) {
    left += left_step * (clip.top - y0), right += right_step * (clip.top - y0);
    y0 = clip.top;
  }
  if (clip.bottom <= y1) y1 = clip.bottom;
  const int64_t lbound = std::max<int64_t>(std::min(top_left, bottom_left), int64_t{clip.left} * 4096);
  const int64_t rbound = std::min<int64_t>(std::max(top_right, bottom_right), int64_t{clip.right} * 4096);
  if (!(lbound < rbound) || y0 >= y1) return;
  const int64_t lpx = lbound >> 12, rpx = rbound >> 12;
  if (lpx >= rpx) return;
  RECT d{static_cast<LONG>(lpx), static_cast<LONG>(y0), static_cast<LONG>(rpx), static_cast<LONG>(y1)};
  Locked dst(t.surface, &d, DDLOCK_WAIT);
  if (!dst) return;
  Spans s;
  s.dst = dst.bits(), s.pitch = dst.pitch();
  s.limit = static_cast<int32_t>((rpx - lpx) * 4096);
  s.pixel = pixel, s.percent = percent, s.additive = additive;
  // Relative to the locked rectangle's left edge, fraction included.
  const int64_t l0 = left - lbound, r0 = right - lbound;
  const int rows = static_cast<int>(y1 - y0);
  // The worker steps its edges in 32 bits, one step past the last row too.
  auto fits = [rows](int64_t start, int64_t step) {
    auto in = [](int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; };
    return in(step) && in(start) && in(start + step * rows);
  };
  if (fits(l0, left_step) && fits(r0, right_step)) {
    s.left = static_cast<int32_t>(l0), s.right = static_cast<int32_t>(r0);
    s.left_step = static_cast<int32_t>(left_step), s.right_step = static_cast<int32_t>(right_step);
    s.rows = rows;
    fn(s, t.format);
    return;
  }
  // Edges too far out for that go row by row, each held just outside the
  // row's ends, where the worker draws the same span.
  s.left_step = s.right_step = 0, s.rows = 1;
  for (int r = 0; r < rows; ++r, s.dst += s.pitch) {
    s.left = static_cast<int32_t>(std::clamp<int64_t>(l0 + left_step * r, -1, s.limit));
    s.right = static_cast<int32_t>(std::clamp<int64_t>(r0 + right_step * r, 0, int64_t{s.limit} + 1));
    fn(s, t.format);
  }
}

void triangle(const Target& t, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
              uint32_t pixel, uint32_t percent, bool additive) {
  // Corners are 20.12 fixed point in 32 bits: only x beyond what that holds
  // is pulled in. The rows are exact over the whole 32-bit range.
  auto fx = [](int32_t x) { return std::clamp(x, -(1 << 19), (1 << 19) - 1) * 4096; };
  int32_t px[3] = {fx(x0), fx(x1), fx(x2)}, py[3] = {y0, y1, y2};
  auto order = [&](int a, int b) {
    if (py[a] > py[b]) std::swap(px[a], px[b]), std::swap(py[a], py[b]);
  };
  order(0, 1), order(0, 2), order(1, 2);
  if (py[0] == py[1]) {
    if (px[0] > px[1]) std::swap(px[0], px[1]);
    trapezoid(t, px[0], px[1], px[2], px[2], py[0], py[2], pixel, percent, additive);
  } else if (py[1] == py[2]) {
    if (px[1] > px[2]) std::swap(px[1], px[2]);
    trapezoid(t, px[0], px[0], px[1], px[2], py[0], py[2], pixel, percent, additive);
  } else {
    // Where the long edge crosses the middle corner's row, rounded half away
    // from zero as MulDiv rounds; both differences may reach 2^32, so the
    // product takes 128 bits. It lies between the long edge's ends.
    const __int128 n = static_cast<__int128>(int64_t{px[2]} - px[0]) * (int64_t{py[1]} - py[0]);
    const int64_t dy = int64_t{py[2]} - py[0];
    const __int128 q = (n < 0 ? -((-n + dy / 2) / dy) : (n + dy / 2) / dy);
    int32_t xm = static_cast<int32_t>(std::clamp<__int128>(q + px[0], INT32_MIN, INT32_MAX));
    int32_t xa = px[1];
    if (xa > xm) std::swap(xa, xm);
    trapezoid(t, px[0], px[0], xa, xm, py[0], py[1], pixel, percent, additive);
    trapezoid(t, xa, xm, px[2], px[2], py[1], py[2], pixel, percent, additive);
  }
}

}  // namespace dx::effects
