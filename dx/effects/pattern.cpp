// Screen-door blits and fills: a 4 x 4 pattern of 0xFF / 0x00 bytes decides which
// pixels are drawn. The pattern's row follows the rows still to draw (so its
// phase follows the rectangle's height) and its column the pixel's place from
// the clipped left edge.
#include "dx/effects/words.h"

namespace dx::effects {

namespace {

// Two pattern bytes as the 16-bit masks of a pixel pair.
inline uint32_t widen(uint32_t two_bytes) {
  return (two_bytes & 0xFFu) * 0x0101u | (two_bytes & 0xFF00u) * 0x00010100u;
}

}  // namespace

template <int Bpp>
void mesh_rows(const Blit& b, const Format&) {
  uint8_t* d = b.dst;
  const uint8_t* s = b.src;
  for (int y = 0; y < b.h; ++y, d += b.dpitch, s += b.spitch) {
    const uint32_t p = pattern_row(b.pattern, b.h - y);
    if (p == 0) continue;
    int x = 0;
    if constexpr (Bpp == 1) {
      for (; x + 4 <= b.w; x += 4) {
        uint32_t v = load32(s + x) & p;
        if (v == 0) continue;
        uint32_t m = zero_bytes(v);
        store32(d + x, (load32(d + x) & m) | (v & ~m));
      }
      if (int n = b.w - x) {
        uint32_t v = loadn(s + x, n) & p;
        if (v != 0) {
          uint32_t m = zero_bytes(v);
          storen(d + x, (loadn(d + x, n) & m) | (v & ~m), n);
        }
      }
    } else if constexpr (Bpp == 2) {
      const uint32_t masks[2] = {widen(p & 0xFFFFu), widen(p >> 16)};
      for (int pair = 0; x + 2 <= b.w; x += 2, ++pair) {
        uint32_t v = load32(s + 2 * x) & masks[pair & 1];
        if (v == 0) continue;
        if ((v & 0xFFFF0000u) == 0) {
          store16(d + 2 * x, v);
        } else if ((v & 0xFFFFu) == 0) {
          store16(d + 2 * x + 2, v >> 16);
        } else {
          store32(d + 2 * x, v);
        }
      }
      if (x < b.w) {
        uint32_t v = load16(s + 2 * x) & masks[(x >> 1) & 1];
        if (v != 0) store16(d + 2 * x, v);
      }
    } else {
      uint32_t rot = p;
      for (; x < b.w; ++x, rot = std::rotr(rot, 8)) {
        if ((rot & 0xFFu) == 0) continue;
        if constexpr (Bpp == 3) {
          uint32_t v = load24(s + 3 * x);
          if (v != 0) store24(d + 3 * x, v);
        } else {
          uint32_t v = load32(s + 4 * x);
          if (v != 0) store32(d + 4 * x, v);
        }
      }
    }
  }
}

template <int Bpp>
void fillmesh_rows(const Blit& b, const Format&) {
  const uint32_t fill = repeat<Bpp>(b.param);
  uint8_t* d = b.dst;
  for (int y = 0; y < b.h; ++y, d += b.dpitch) {
    const uint32_t p = pattern_row(b.pattern, b.h - y);
    if (p == 0) continue;
    int x = 0;
    if constexpr (Bpp == 1) {
      for (; x + 4 <= b.w; x += 4) store32(d + x, (fill & p) | (load32(d + x) & ~p));
      if (int n = b.w - x) storen(d + x, (fill & p) | (loadn(d + x, n) & ~p), n);
    } else if constexpr (Bpp == 2) {
      const uint32_t masks[2] = {widen(p & 0xFFFFu), widen(p >> 16)};
      for (int pair = 0; x + 2 <= b.w; x += 2, ++pair) {
        uint32_t m = masks[pair & 1];
        store32(d + 2 * x, (fill & m) | (load32(d + 2 * x) & ~m));
      }
      if (x < b.w) {
        uint32_t m = masks[(x >> 1) & 1];
        store16(d + 2 * x, (fill & m) | (load16(d + 2 * x) & ~m));
      }
    } else {
      uint32_t rot = p;
      for (; x < b.w; ++x, rot = std::rotr(rot, 8)) {
        if ((rot & 0xFFu) == 0) continue;
        if constexpr (Bpp == 3) {
          store24(d + 3 * x, fill);
        } else {
          store32(d + 4 * x, fill);
        }
      }
    }
  }
}

DX_EFFECTS_INSTANTIATE(mesh_rows)
DX_EFFECTS_INSTANTIATE(fillmesh_rows)

}  // namespace dx::effects
