// The word arithmetic of words.h on the four 32-bit lanes of an SSE2 register:
// each lane computes exactly what the word code computes on one word (one
// 32-bit pixel or a pair of 16-bit pixels), operation for operation, so that
// a row done sixteen bytes at a time equals the row done a word at a time.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "dx/effects/words.h"

namespace dx::effects::lanes {

// Four 32-bit lanes, with the word operators.
struct V {
  __m128i v;
};
inline V splat(uint32_t v) { return {_mm_set1_epi32(static_cast<int>(v))}; }
inline V load(const uint8_t* p) { return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))}; }
inline void store(uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v.v); }
inline V operator&(V a, V b) { return {_mm_and_si128(a.v, b.v)}; }
inline V operator|(V a, V b) { return {_mm_or_si128(a.v, b.v)}; }
inline V operator^(V a, V b) { return {_mm_xor_si128(a.v, b.v)}; }
inline V operator+(V a, V b) { return {_mm_add_epi32(a.v, b.v)}; }
inline V operator-(V a, V b) { return {_mm_sub_epi32(a.v, b.v)}; }
inline V andnot(V a, V b) { return {_mm_andnot_si128(a.v, b.v)}; }  // ~a & b
template <int N> inline V shr(V a) { return {_mm_srli_epi32(a.v, N)}; }
template <int N> inline V shl(V a) { return {_mm_slli_epi32(a.v, N)}; }

// x * m modulo 2^32 in each lane, for m below 65536 (held in every 16-bit
// half of m16): the low half's product plus the carry part moved up.
inline V mul(V x, V m16) { return V{_mm_mullo_epi16(x.v, m16.v)} + shl<16>(V{_mm_mulhi_epu16(x.v, m16.v)}); }
inline V factor(uint32_t m) { return {_mm_set1_epi16(static_cast<short>(m))}; }

// The format's multi-channel masks in every lane.
struct Masks {
  V low, nonlow, top;
  explicit Masks(const Format& f) : low(splat(f.lowmask)), nonlow(splat(f.nonlowmask)), top(splat(f.topmask)) {}
};

template <int Bpp>
inline V low_of_top(V c, const Masks& m) {
  static_assert(Bpp == 2 || Bpp == 4);
  if constexpr (Bpp == 2) return (shr<4>(c) | shr<5>(c)) & m.low;
  else return shr<7>(c);
}

template <int Bpp>
inline V add_sat(V t, V s, const Masks& m) {
  V c = (shr<1>(t & m.nonlow) + shr<1>(s & m.nonlow) + (t & s & m.low)) & m.top;
  V full = shl<1>(c) - low_of_top<Bpp>(c, m);
  return (t | full) + andnot(full, s);
}

template <int Bpp>
inline V ge_mask(V t, V s, const Masks& m) {
  V g = ((shr<1>(t) | m.top) - shr<1>(s & m.nonlow) - ((t ^ s) & s & m.low)) & m.top;
  return shl<1>(g) - low_of_top<Bpp>(g, m);
}

// Rounding up at 16 and 32 bits.
inline V average(V t, V s, const Masks& m) {
  return shr<1>(t & m.nonlow) + shr<1>(s & m.nonlow) + ((t | s) & m.low);
}

template <int Bpp>
struct Blend {
  V w, iw, a, b;
  explicit Blend(const effects::Blend<Bpp>& word)
      : w(factor(word.w)), iw(factor(word.iw)), a(splat(word.a)), b(splat(word.b)) {}
  V operator()(V t, V s) const {
    if constexpr (Bpp == 2) {
      V pa = shr<5>(mul(t & a, iw) + mul(s & a, w)) & a;
      V pb = (mul(shr<5>(t & b), iw) + mul(shr<5>(s & b), w)) & b;
      return pa | pb;
    } else {
      V ta = t & a, tb = t & b;
      V ra = shr<8>(mul((s & a) - ta, w)) + ta;
      V rb = shr<8>(mul((s & b) - tb, w)) + tb;
      return (ra & a) | (rb & b);
    }
  }
};

template <int Bpp>
struct Scale {
  V w, a, b, a8, b8;
  explicit Scale(const effects::Scale<Bpp>& word)
      : w(factor(word.w)), a(splat(word.a)), b(splat(word.b)), a8(splat(word.a << 8)), b8(splat(word.b << 8)) {}
  V operator()(V s) const {
    if constexpr (Bpp == 2) return (shr<5>(mul(s & a, w)) & a) | (mul(shr<5>(s & b), w) & b);
    else return shr<8>((mul(s & a, w) & a8) | (mul(s & b, w) & b8));
  }
};

// Whether two rectangles of rows share any byte: a row done sixteen bytes at a
// time reads ahead of its writes, which only the word walk may do then.
inline bool overlap(const uint8_t* a, int32_t apitch, const uint8_t* b, int32_t bpitch, int h, int row_bytes) {
  const uint8_t* a0 = a + (apitch < 0 ? static_cast<ptrdiff_t>(apitch) * (h - 1) : 0);
  const uint8_t* a1 = a + (apitch < 0 ? 0 : static_cast<ptrdiff_t>(apitch) * (h - 1)) + row_bytes;
  const uint8_t* b0 = b + (bpitch < 0 ? static_cast<ptrdiff_t>(bpitch) * (h - 1) : 0);
  const uint8_t* b1 = b + (bpitch < 0 ? 0 : static_cast<ptrdiff_t>(bpitch) * (h - 1)) + row_bytes;
  return a0 < b1 && b0 < a1;
}

// keyed_rows sixteen bytes at a time: the target takes fv(t, s) where the
// source pixel (its Key part at 32 bits) is not 0 and keeps its value
// elsewhere; fs, the word form of fv, does what is left of each row, from a
// pixel where the word walk would also be at the start of a pair.
template <int Bpp, uint32_t Key = 0xFFFFFFFFu, class FV, class FS>
inline void keyed_rows(const Blit& b, FV fv, FS fs) {
  static_assert(Bpp == 2 || Bpp == 4);
  if (overlap(b.dst, b.dpitch, b.src, b.spitch, b.h, b.w * Bpp)) return effects::keyed_rows<Bpp, Key>(b, fs);
  constexpr int n = 16 / Bpp;
  const V key = splat(Key);
  const __m128i zero = _mm_setzero_si128();
  uint8_t* d = b.dst;
  const uint8_t* s = b.src;
  for (int y = 0; y < b.h; ++y, d += b.dpitch, s += b.spitch) {
    int x = 0;
    for (; x + n <= b.w; x += n) {
      const V sv = load(s + Bpp * x);
      const V clear{Bpp == 2 ? _mm_cmpeq_epi16(sv.v, zero) : _mm_cmpeq_epi32((sv & key).v, zero)};
      if (_mm_movemask_epi8(clear.v) == 0xFFFF) continue;
      const V tv = load(d + Bpp * x);
      store(d + Bpp * x, (tv & clear) | andnot(clear, fv(tv, sv)));
    }
    if (x < b.w) {
      Blit rest = b;
      rest.dst = d + Bpp * x, rest.src = s + Bpp * x, rest.w = b.w - x, rest.h = 1;
      effects::keyed_rows<Bpp, Key>(rest, fs);
    }
  }
}

// fill_rows sixteen bytes at a time, the word form for the rest of each row.
template <int Bpp, class FV, class FS>
inline void fill_rows(const Blit& b, FV fv, FS fs) {
  static_assert(Bpp == 2 || Bpp == 4);
  constexpr int n = 16 / Bpp;
  uint8_t* d = b.dst;
  for (int y = 0; y < b.h; ++y, d += b.dpitch) {
    int x = 0;
    for (; x + n <= b.w; x += n) store(d + Bpp * x, fv(load(d + Bpp * x)));
    if (x < b.w) {
      Blit rest = b;
      rest.dst = d + Bpp * x, rest.w = b.w - x, rest.h = 1;
      effects::fill_rows<Bpp>(rest, fs);
    }
  }
}

}  // namespace dx::effects::lanes
