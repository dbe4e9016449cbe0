#include "platform/d3d/raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include <emmintrin.h>

#include "platform/d3d/line_walk.h"

namespace soft3d {
namespace {

// --- Pixel formats ---

// How one channel sits in a pixel: the widening table holds the 8-bit value of
// every raw value.
struct Channel {
  int shift = 0, bits = 0;
  uint32_t mask = 0;
  uint8_t widen[256] = {};
};

void MakeChannel(Channel& c, uint32_t mask) {
  c.mask = mask;
  c.shift = mask ? __builtin_ctz(mask) : 0;
  int bits = mask ? __builtin_popcount(mask) : 0;
  if (bits > 8) {  // keep the top 8 bits of a wider channel
    c.shift += bits - 8;
    bits = 8;
  }
  c.bits = bits;
  // Widening rounds v * 255 / max, so that inverting a channel and narrowing
  // it back is exact.
  const int max = (1 << bits) - 1;
  for (int v = 0; v <= max && bits > 0; ++v) c.widen[v] = static_cast<uint8_t>((v * 255 + max / 2) / max);
}

struct Format {
  Channel r, g, b, a;
  const uint32_t* palette = nullptr;
};

// A frame draws hundreds of triangles in a handful of layouts: each layout's
// tables are made once and copied.
void MakeFormat(Format& f, const platform::PixelBuffer& p, uint32_t amask) {
  if (p.format.bpp == 8) {
    f.palette = p.palette;
    return;
  }
  struct Made {
    uint32_t r = 0, g = 0, b = 0, a = 0;
    Format format;
  };
  thread_local Made made[4];
  thread_local int count = 0, next = 0;
  for (int i = 0; i < count; ++i) {
    const Made& m = made[i];
    if (m.r == p.format.rmask && m.g == p.format.gmask && m.b == p.format.bmask && m.a == amask) {
      f = m.format;
      return;
    }
  }
  Made& m = made[next];
  next = (next + 1) % 4;
  count = std::max(count, next == 0 ? 4 : next);
  m.r = p.format.rmask, m.g = p.format.gmask, m.b = p.format.bmask, m.a = amask;
  m.format = Format{};
  MakeChannel(m.format.r, p.format.rmask);
  MakeChannel(m.format.g, p.format.gmask);
  MakeChannel(m.format.b, p.format.bmask);
  MakeChannel(m.format.a, amask);
  f = m.format;
}

// The 8-bit write rule: a colour that some entry holds exactly takes the first
// such entry; any other goes by cells of 5 bits a channel, each cell taking
// the entry nearest to its own colour (the lowest index on a tie).
struct InverseTable {
  uint32_t palette[256];
  // Cells are worked out on first use (0xFFFF until then): palettes may change
  // every frame while they fade.
  mutable uint16_t index[32768];
  // Exact colours: open addressing over 1024 slots, key 0x01RRGGBB (0 = empty).
  uint32_t keys[1024];
  uint8_t values[1024];

  static uint32_t Slot(uint32_t key) { return (key * 2654435761u) >> 22; }
  void AddExact(uint32_t rgb, uint8_t i) {
    const uint32_t key = 0x01000000u | rgb;
    for (uint32_t h = Slot(key);; h = (h + 1) & 1023) {
      if (keys[h] == key) return;  // an earlier entry has it
      if (keys[h] == 0) {
        keys[h] = key;
        values[h] = i;
        return;
      }
    }
  }
  uint8_t Cell(int r, int g, int b) const;
  uint8_t Lookup(int r, int g, int b) const {
    const uint32_t key = 0x01000000u | static_cast<uint32_t>(r << 16 | g << 8 | b);
    for (uint32_t h = Slot(key);; h = (h + 1) & 1023) {
      if (keys[h] == key) return values[h];
      if (keys[h] == 0) return Cell(r >> 3, g >> 3, b >> 3);
    }
  }
};

uint8_t Nearest(const uint32_t* pal, int r, int g, int b) {
  int best = 0;
  int bestd = 1 << 30;
  for (int i = 0; i < 256; ++i) {
    int dr = static_cast<int>((pal[i] >> 16) & 0xFF) - r;
    int dg = static_cast<int>((pal[i] >> 8) & 0xFF) - g;
    int db = static_cast<int>(pal[i] & 0xFF) - b;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestd) {
      bestd = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

uint8_t InverseTable::Cell(int r, int g, int b) const {
  uint16_t& i = index[(r << 10) | (g << 5) | b];
  if (i == 0xFFFF) i = Nearest(palette, (r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
  return static_cast<uint8_t>(i);
}

const InverseTable& InverseOf(const uint32_t* pal) {
  static auto& table = *new std::unique_ptr<InverseTable>;  // never destroyed, as the device's state
  if (table && std::memcmp(table->palette, pal, sizeof table->palette) == 0) return *table;
  if (!table) table = std::make_unique<InverseTable>();
  std::memcpy(table->palette, pal, sizeof table->palette);
  std::memset(table->index, 0xFF, sizeof table->index);
  std::memset(table->keys, 0, sizeof table->keys);
  for (int i = 0; i < 256; ++i) table->AddExact(pal[i] & 0xFFFFFF, static_cast<uint8_t>(i));
  return *table;
}

using platform::LoadPixel;
using platform::StorePixel;

struct Rgba {
  int r, g, b, a;
};

template <int B>
inline Rgba Widen(const Format& f, uint32_t v) {
  if constexpr (B == 1) {
    uint32_t c = f.palette ? f.palette[v] : 0;
    return {static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
            static_cast<int>(c & 0xFF), 255};
  } else {
    return {f.r.widen[(v & f.r.mask) >> f.r.shift & 0xFF], f.g.widen[(v & f.g.mask) >> f.g.shift & 0xFF],
            f.b.widen[(v & f.b.mask) >> f.b.shift & 0xFF],
            f.a.bits ? f.a.widen[(v & f.a.mask) >> f.a.shift & 0xFF] : 255};
  }
}

template <int B>
inline uint32_t Narrow(const Format& f, const InverseTable* inv, int r, int g, int b) {
  if constexpr (B == 1) {
    return inv->Lookup(r, g, b);
  } else {
    return (static_cast<uint32_t>(r >> (8 - f.r.bits)) << f.r.shift) |
           (static_cast<uint32_t>(g >> (8 - f.g.bits)) << f.g.shift) |
           (static_cast<uint32_t>(b >> (8 - f.b.bits)) << f.b.shift);
  }
}

inline int Div255(int x) { return (x + 127) / 255; }

inline bool Compare(DWORD func, uint32_t a, uint32_t b) {
  switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return a < b;
    case D3DCMP_EQUAL: return a == b;
    case D3DCMP_LESSEQUAL: return a <= b;
    case D3DCMP_GREATER: return a > b;
    case D3DCMP_NOTEQUAL: return a != b;
    case D3DCMP_GREATEREQUAL: return a >= b;
    default: return true;
  }
}

// A blend factor for one channel: s = source channel, d = target channel.
inline int Factor(DWORD f, int s, int d, int sa) {
  switch (f) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return s;
    case D3DBLEND_INVSRCCOLOR: return 255 - s;
    case D3DBLEND_SRCALPHA: return sa;
    case D3DBLEND_INVSRCALPHA: return 255 - sa;
    case D3DBLEND_DESTALPHA: return 255;
    case D3DBLEND_INVDESTALPHA: return 0;
    case D3DBLEND_DESTCOLOR: return d;
    case D3DBLEND_INVDESTCOLOR: return 255 - d;
    case D3DBLEND_SRCALPHASAT: return 0;  // min(source alpha, 1 - target alpha)
    default: return 255;
  }
}

inline int Wrap(int i, int n, DWORD mode, bool& border) {
  if (static_cast<unsigned>(i) < static_cast<unsigned>(n)) return i;
  switch (mode) {
    case D3DTADDRESS_CLAMP: return i < 0 ? 0 : n - 1;
    case D3DTADDRESS_MIRROR: {
      int p = i % (2 * n);
      if (p < 0) p += 2 * n;
      return p < n ? p : 2 * n - 1 - p;
    }
    case D3DTADDRESS_BORDER: border = true; return 0;
    default: {
      int p = i % n;
      return p < 0 ? p + n : p;
    }
  }
}

// Everything a span needs, prepared once per primitive. Linear quantities are
// planes: value(x, y) = v0 + dx * (x - x0) + dy * (y - y0).
struct Plane {
  double v0 = 0, dx = 0, dy = 0;
  double At(double x, double y, double x0, double y0) const { return v0 + dx * (x - x0) + dy * (y - y0); }
};

struct Setup {
  const Target* t;
  const PixelState* s;
  const Texture* tex;
  Format dst, texf;
  const InverseTable* inv = nullptr;
  int zbits = 0;
  double x0 = 0, y0 = 0;
  Plane z, rhw, r, g, b, a, u, v;  // u and v already multiplied by rhw when perspective
  bool flat = false;
  int fr = 0, fg = 0, fb = 0, fa = 0;
  float fogA = 0, fogB = 1;  // f = fogA * d + fogB
  // A range with no ramp in floats (empty, reversed, not finite): no fog up to
  // fogedge, full fog beyond.
  bool fogstep = false;
  float fogedge = 0;
  float ftw = 0, fth = 0;    // texture size
  int wrapmask_u = 0, wrapmask_v = 0;  // size - 1 for a power-of-two size, else 0
};

// The texel holding a coordinate (in texels); far-off or undefined places
// give texel 0 rather than an undefined conversion.
inline int TexelIndex(float f) {
  if (!(f > -1e8f && f < 1e8f)) return 0;
  int i = static_cast<int>(f);
  return i - (f < static_cast<float>(i));
}

// A depth held to 0..1; one that is not a number counts as 0.
inline float DepthClamp(float z) { return z > 0 ? (z < 1 ? z : 1.0f) : 0.0f; }

// The fog factor as a byte. A factor that is not a number (a distance that is
// none) is full fog, as the step gives it.
inline int FogByte(float ff) { return ff > 0 ? (ff < 1 ? static_cast<int>(ff * 255.0f + 0.5f) : 255) : 0; }

// Held in floating point first, so that any value (not a number: 0) converts.
inline int ToByte(double v) {
  v += 0.5;
  if (!(v >= 0)) return 0;
  return v < 256 ? static_cast<int>(v) : 255;
}

// A Gouraud channel at the start of a span in 16.16 fixed point, held to
// 0..255 (not a number: 0).
inline int32_t ColourStart(double v) {
  v = v >= 0 ? std::min(v, 255.0) : 0.0;
  return static_cast<int32_t>((v + 0.5) * 65536.0);
}

// A channel's step along a span of n pixels from c, held so that the n sums
// the span makes stay in 32 bits. Only a sliver's step can be that steep (its
// colour leaves 0..255 within a pixel, so its span is one pixel, drawn with c
// alone). Not a number steps by 0.
inline int32_t ColourStep(double d, int32_t c, int n) {
  const double step = d * 65536.0;
  if (!(step == step)) return 0;
  const double hi = std::min((double{INT32_MAX} - c) / n, double{INT32_MAX});
  const double lo = std::max((double{INT32_MIN} - c) / n, double{INT32_MIN});
  return static_cast<int32_t>(std::clamp(step, std::ceil(lo), std::floor(hi)));
}

// One pixel row from xl to xr inclusive, both inside the clip.
template <int DB, int TB>
void Span(const Setup& st, int y, int xl, int xr) {
  const PixelState& s = *st.s;
  const Target& t = *st.t;
  uint8_t* row = t.color.bits + static_cast<ptrdiff_t>(y) * t.color.pitch;
  uint8_t* zrow = st.zbits ? t.depth.bits + static_cast<ptrdiff_t>(y) * t.depth.pitch : nullptr;
  const double fx = xl, fy = y;
  float z = static_cast<float>(st.z.At(fx, fy, st.x0, st.y0));
  const float dz = static_cast<float>(st.z.dx);
  float rhw = static_cast<float>(st.rhw.At(fx, fy, st.x0, st.y0));
  const float drhw = static_cast<float>(st.rhw.dx);
  // Colours in 16.16 fixed point.
  int32_t cr, cg, cb, ca, dcr = 0, dcg = 0, dcb = 0, dca = 0;
  if (st.flat) {
    cr = st.fr << 16, cg = st.fg << 16, cb = st.fb << 16, ca = st.fa << 16;
  } else {
    const int n = xr - xl + 1;
    auto start = [&](const Plane& p, int32_t& c, int32_t& dc) {
      c = ColourStart(p.At(fx, fy, st.x0, st.y0));
      dc = ColourStep(p.dx, c, n);
    };
    start(st.r, cr, dcr), start(st.g, cg, dcg), start(st.b, cb, dcb), start(st.a, ca, dca);
  }
  float u = 0, v = 0, du = 0, dv = 0;
  int tw = 0, th = 0;
  if constexpr (TB != 0) {
    u = static_cast<float>(st.u.At(fx, fy, st.x0, st.y0));
    v = static_cast<float>(st.v.At(fx, fy, st.x0, st.y0));
    du = static_cast<float>(st.u.dx), dv = static_cast<float>(st.v.dx);
    tw = st.tex->pixels.width, th = st.tex->pixels.height;
  }
  const uint32_t zmax = st.zbits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  const double zscale = zmax;
  const bool zt = s.zenable && zrow;

  for (int x = xl; x <= xr;
       ++x, z += dz, rhw += drhw, cr += dcr, cg += dcg, cb += dcb, ca += dca, u += du, v += dv) {
    uint32_t zi = 0;
    if (zt) {
      float zc = DepthClamp(z);
      zi = static_cast<uint32_t>(zc * zscale + 0.5);
      uint32_t old = st.zbits == 16 ? LoadPixel<2>(zrow + 2 * x) : LoadPixel<4>(zrow + 4 * x);
      if (!Compare(s.zfunc, zi, old)) continue;
    }
    int r = std::clamp(cr >> 16, 0, 255), g = std::clamp(cg >> 16, 0, 255);
    int b = std::clamp(cb >> 16, 0, 255), a = std::clamp(ca >> 16, 0, 255);
    if constexpr (TB != 0) {
      float w = s.perspective ? 1.0f / rhw : 1.0f;
      // A small bias keeps texel edges that fall exactly on pixel centres on
      // the texel to the right (exact copies of pictures).
      int iu = TexelIndex(u * w * st.ftw + (1.0f / 1024));
      int iv = TexelIndex(v * w * st.fth + (1.0f / 1024));
      bool border = false;
      if (st.wrapmask_u && s.address_u == D3DTADDRESS_WRAP) iu &= st.wrapmask_u;
      else iu = Wrap(iu, tw, s.address_u, border);
      if (st.wrapmask_v && s.address_v == D3DTADDRESS_WRAP) iv &= st.wrapmask_v;
      else iv = Wrap(iv, th, s.address_v, border);
      Rgba tc;
      if (border) {
        tc = {static_cast<int>((s.border >> 16) & 0xFF), static_cast<int>((s.border >> 8) & 0xFF),
              static_cast<int>(s.border & 0xFF), static_cast<int>(s.border >> 24)};
      } else {
        const uint8_t* tp = st.tex->pixels.bits + static_cast<ptrdiff_t>(iv) * st.tex->pixels.pitch + iu * TB;
        uint32_t raw = LoadPixel<TB>(tp);
        if (raw == 0 && s.colorkey) continue;
        tc = Widen<TB>(st.texf, raw);
      }
      switch (s.texblend) {
        case D3DTBLEND_DECAL:
        case D3DTBLEND_COPY:
          r = tc.r, g = tc.g, b = tc.b, a = tc.a;
          break;
        case D3DTBLEND_DECALALPHA:
          r = Div255(tc.r * tc.a + r * (255 - tc.a));
          g = Div255(tc.g * tc.a + g * (255 - tc.a));
          b = Div255(tc.b * tc.a + b * (255 - tc.a));
          break;
        case D3DTBLEND_MODULATE:
          r = Div255(tc.r * r), g = Div255(tc.g * g), b = Div255(tc.b * b);
          if (st.texf.a.bits) a = tc.a;
          break;
        case D3DTBLEND_ADD:
          r = std::min(255, tc.r + r), g = std::min(255, tc.g + g), b = std::min(255, tc.b + b);
          break;
        default:  // modulate-alpha
          r = Div255(tc.r * r), g = Div255(tc.g * g), b = Div255(tc.b * b);
          a = Div255(tc.a * a);
          break;
      }
    }
    if (s.alphatest && !Compare(s.alphafunc, static_cast<uint32_t>(a), static_cast<uint32_t>(s.alpharef)))
      continue;
    if (s.fog) {
      float d = s.fog_eye ? 1.0f / rhw : z;
      const int f = st.fogstep ? (d <= st.fogedge ? 255 : 0) : FogByte(st.fogA * d + st.fogB);
      const int fr = (s.fogcolor >> 16) & 0xFF, fg = (s.fogcolor >> 8) & 0xFF, fb = s.fogcolor & 0xFF;
      r = Div255(r * f + fr * (255 - f));
      g = Div255(g * f + fg * (255 - f));
      b = Div255(b * f + fb * (255 - f));
    }
    uint8_t* p = row + x * DB;
    if (s.blend) {
      Rgba d = Widen<DB>(st.dst, LoadPixel<DB>(p));
      if (s.srcblend == D3DBLEND_BOTHSRCALPHA || s.srcblend == D3DBLEND_BOTHINVSRCALPHA) {
        int sf = s.srcblend == D3DBLEND_BOTHSRCALPHA ? a : 255 - a;
        r = std::min(255, Div255(r * sf + d.r * (255 - sf)));
        g = std::min(255, Div255(g * sf + d.g * (255 - sf)));
        b = std::min(255, Div255(b * sf + d.b * (255 - sf)));
      } else {
        r = std::min(255, Div255(r * Factor(s.srcblend, r, d.r, a) + d.r * Factor(s.destblend, r, d.r, a)));
        g = std::min(255, Div255(g * Factor(s.srcblend, g, d.g, a) + d.g * Factor(s.destblend, g, d.g, a)));
        b = std::min(255, Div255(b * Factor(s.srcblend, b, d.b, a) + d.b * Factor(s.destblend, b, d.b, a)));
      }
    }
    StorePixel<DB>(p, Narrow<DB>(st.dst, st.inv, r, g, b));
    if (zt && s.zwrite) {
      if (st.zbits == 16) StorePixel<2>(zrow + 2 * x, zi);
      else StorePixel<4>(zrow + 4 * x, zi);
    }
  }
}

using SpanFn = void (*)(const Setup&, int, int, int);

bool g_reference_spans = false;

template <int DB>
SpanFn PickTex(int tb) {
  switch (tb) {
    case 1: return Span<DB, 1>;
    case 2: return Span<DB, 2>;
    case 3: return Span<DB, 3>;
    case 4: return Span<DB, 4>;
    default: return Span<DB, 0>;
  }
}

SpanFn PickSpan(int db, int tb) {
  switch (db) {
    case 1: return PickTex<1>(tb);
    case 2: return PickTex<2>(tb);
    case 3: return PickTex<3>(tb);
    case 4: return PickTex<4>(tb);
    default: return nullptr;
  }
}

// The fast spans of the common textured case: the texture at the target's
// depth with any addressing but the border colour, modulate-alpha, no alpha test, and a depth
// test (if any) of "less or equal". The walker copies every state it reads out
// before the loop (row stores could alias them), takes the depth width and fog
// as template arguments, and computes each pixel as Span does, operation for
// operation, so that the two agree to the bit.
template <int DB, int ZB, bool Fog>
struct Walker {
  uint8_t* row;
  uint8_t* zrow;
  float z, dz, rhw, drhw, u, v, du, dv;
  int32_t cr, cg, cb, ca, dcr = 0, dcg = 0, dcb = 0, dca = 0;
  bool perspective, colorkey, zwrite, blend;
  float ftw, fth;
  int umask, vmask;  // -1: the index goes through Wrap
  int tw, th;
  DWORD address_u, address_v;
  const uint8_t* texels;
  ptrdiff_t tpitch;
  uint32_t trm, tgm, tbm, tam;
  int trs, tgs, tbs, tas;
  bool talpha;
  const uint8_t *wr, *wg, *wb, *wa;
  const Format* df;
  int nrl, ngl, nbl, nrs, ngs, nbs;
  bool fog_eye, fogstep;
  float fogedge, fogA, fogB;
  int fr, fg, fb;
  DWORD srcblend, destblend;

  Walker(const Setup& st, int y, int xl, int xr) {
    const PixelState& s = *st.s;
    const Target& t = *st.t;
    row = t.color.bits + static_cast<ptrdiff_t>(y) * t.color.pitch;
    zrow = ZB ? t.depth.bits + static_cast<ptrdiff_t>(y) * t.depth.pitch : nullptr;
    const double fx = xl, fy = y;
    z = static_cast<float>(st.z.At(fx, fy, st.x0, st.y0));
    dz = static_cast<float>(st.z.dx);
    rhw = static_cast<float>(st.rhw.At(fx, fy, st.x0, st.y0));
    drhw = static_cast<float>(st.rhw.dx);
    if (st.flat) {
      cr = st.fr << 16, cg = st.fg << 16, cb = st.fb << 16, ca = st.fa << 16;
    } else {
      const int n = xr - xl + 1;
      auto start = [&](const Plane& p, int32_t& c, int32_t& dc) {
        c = ColourStart(p.At(fx, fy, st.x0, st.y0));
        dc = ColourStep(p.dx, c, n);
      };
      start(st.r, cr, dcr), start(st.g, cg, dcg), start(st.b, cb, dcb), start(st.a, ca, dca);
    }
    u = static_cast<float>(st.u.At(fx, fy, st.x0, st.y0));
    v = static_cast<float>(st.v.At(fx, fy, st.x0, st.y0));
    du = static_cast<float>(st.u.dx), dv = static_cast<float>(st.v.dx);
    perspective = s.perspective, colorkey = s.colorkey, zwrite = s.zwrite, blend = s.blend;
    ftw = st.ftw, fth = st.fth;
    umask = st.wrapmask_u && s.address_u == D3DTADDRESS_WRAP ? st.wrapmask_u : -1;
    vmask = st.wrapmask_v && s.address_v == D3DTADDRESS_WRAP ? st.wrapmask_v : -1;
    tw = st.tex->pixels.width, th = st.tex->pixels.height;
    address_u = s.address_u, address_v = s.address_v;
    texels = st.tex->pixels.bits;
    tpitch = st.tex->pixels.pitch;
    const Format& tf = st.texf;
    trm = tf.r.mask, tgm = tf.g.mask, tbm = tf.b.mask, tam = tf.a.mask;
    trs = tf.r.shift, tgs = tf.g.shift, tbs = tf.b.shift, tas = tf.a.shift;
    talpha = tf.a.bits != 0;
    wr = tf.r.widen, wg = tf.g.widen, wb = tf.b.widen, wa = tf.a.widen;
    df = &st.dst;
    nrl = 8 - df->r.bits, ngl = 8 - df->g.bits, nbl = 8 - df->b.bits;
    nrs = df->r.shift, ngs = df->g.shift, nbs = df->b.shift;
    fog_eye = s.fog_eye, fogstep = st.fogstep;
    fogedge = st.fogedge, fogA = st.fogA, fogB = st.fogB;
    fr = (s.fogcolor >> 16) & 0xFF, fg = (s.fogcolor >> 8) & 0xFF, fb = s.fogcolor & 0xFF;
    srcblend = s.srcblend, destblend = s.destblend;
  }

  void Step() {
    z += dz, rhw += drhw, cr += dcr, cg += dcg, cb += dcb, ca += dca, u += du, v += dv;
  }

  // The texel of two indices, wrapped as Span wraps them (never to the border).
  uint32_t Texel(int iu, int iv) const {
    bool border = false;
    iu = umask >= 0 ? iu & umask : Wrap(iu, tw, address_u, border);
    iv = vmask >= 0 ? iv & vmask : Wrap(iv, th, address_v, border);
    return LoadPixel<DB>(texels + iv * tpitch + iu * DB);
  }

  // Pixel x from the walker's present values.
  void Pixel(int x) const {
    uint32_t zi = 0;
    if constexpr (ZB != 0) {
      constexpr double zscale = ZB == 16 ? 65535.0 : 4294967295.0;
      float zc = DepthClamp(z);
      zi = static_cast<uint32_t>(zc * zscale + 0.5);
      uint32_t old = LoadPixel<ZB / 8>(zrow + ZB / 8 * x);
      if (!(zi <= old)) return;
    }
    int r = std::clamp(cr >> 16, 0, 255), g = std::clamp(cg >> 16, 0, 255);
    int b = std::clamp(cb >> 16, 0, 255);
    const float w = perspective ? 1.0f / rhw : 1.0f;
    const uint32_t raw = Texel(TexelIndex(u * w * ftw + (1.0f / 1024)), TexelIndex(v * w * fth + (1.0f / 1024)));
    if (raw == 0 && colorkey) return;
    r = Div255(wr[(raw & trm) >> trs & 0xFF] * r);
    g = Div255(wg[(raw & tgm) >> tgs & 0xFF] * g);
    b = Div255(wb[(raw & tbm) >> tbs & 0xFF] * b);
    if constexpr (Fog) {
      float d = fog_eye ? 1.0f / rhw : z;
      const int f = fogstep ? (d <= fogedge ? 255 : 0) : FogByte(fogA * d + fogB);
      r = Div255(r * f + fr * (255 - f));
      g = Div255(g * f + fg * (255 - f));
      b = Div255(b * f + fb * (255 - f));
    }
    uint8_t* p = row + x * DB;
    if (blend) {
      const int ta = talpha ? wa[(raw & tam) >> tas & 0xFF] : 255;
      const int a = Div255(ta * std::clamp(ca >> 16, 0, 255));
      Rgba d = Widen<DB>(*df, LoadPixel<DB>(p));
      if (srcblend == D3DBLEND_BOTHSRCALPHA || srcblend == D3DBLEND_BOTHINVSRCALPHA) {
        int sf = srcblend == D3DBLEND_BOTHSRCALPHA ? a : 255 - a;
        r = std::min(255, Div255(r * sf + d.r * (255 - sf)));
        g = std::min(255, Div255(g * sf + d.g * (255 - sf)));
        b = std::min(255, Div255(b * sf + d.b * (255 - sf)));
      } else {
        r = std::min(255, Div255(r * Factor(srcblend, r, d.r, a) + d.r * Factor(destblend, r, d.r, a)));
        g = std::min(255, Div255(g * Factor(srcblend, g, d.g, a) + d.g * Factor(destblend, g, d.g, a)));
        b = std::min(255, Div255(b * Factor(srcblend, b, d.b, a) + d.b * Factor(destblend, b, d.b, a)));
      }
    }
    StorePixel<DB>(p, (static_cast<uint32_t>(r >> nrl) << nrs) | (static_cast<uint32_t>(g >> ngl) << ngs) |
                          (static_cast<uint32_t>(b >> nbl) << nbs));
    if constexpr (ZB != 0) {
      if (zwrite) StorePixel<ZB / 8>(zrow + ZB / 8 * x, zi);
    }
  }
};

template <int DB, int ZB, bool Fog>
void FastSpan(const Setup& st, int y, int xl, int xr) {
  Walker<DB, ZB, Fog> w(st, y, xl, xr);
  for (int x = xl; x <= xr; ++x, w.Step()) w.Pixel(x);
}

// Exact (x + 127) / 255 in 16-bit lanes, x + 127 below 65536.
inline __m128i Div255x8(__m128i x) {
  x = _mm_add_epi16(x, _mm_set1_epi16(127));
  return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<short>(0x8081))), 7);
}

// c < 0 ? 0 : (c > 1 ? 1 : c) lane by lane (a NaN stays).
inline __m128 Clamp01(__m128 c) {
  const __m128 gt = _mm_cmpgt_ps(c, _mm_set1_ps(1.0f));
  c = _mm_or_ps(_mm_and_ps(gt, _mm_set1_ps(1.0f)), _mm_andnot_ps(gt, c));
  return _mm_andnot_ps(_mm_cmplt_ps(c, _mm_setzero_ps()), c);
}

// TexelIndex of four coordinates.
inline __m128i TexelIndex4(__m128 f) {
  const __m128 inside = _mm_and_ps(_mm_cmpgt_ps(f, _mm_set1_ps(-1e8f)), _mm_cmplt_ps(f, _mm_set1_ps(1e8f)));
  __m128i i = _mm_cvttps_epi32(f);
  i = _mm_add_epi32(i, _mm_castps_si128(_mm_cmplt_ps(f, _mm_cvtepi32_ps(i))));
  return _mm_and_si128(i, _mm_castps_si128(inside));
}

// The low 16 bits of four 32-bit lanes, in the low half.
inline __m128i Low16(__m128i v) {
  v = _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
  return _mm_packs_epi32(v, v);
}

// The widening of a channel as (v * mul + add) >> 6, for the widths where that
// gives the table's values exactly; false for the others.
bool WidenByProduct(const Channel& c, int& mul, int& add) {
  switch (c.bits) {
    case 5: mul = 527, add = 23; return true;
    case 6: mul = 259, add = 33; return true;
    case 8: mul = 64, add = 0; return true;
    default: return false;
  }
}

// FastSpan four pixels at a time where nothing blends and the depth buffer,
// if any, is 16 bits. Depth, 1/w, u and v still advance by one sum a pixel, in
// the same order, as the lanes of one vector; the pixel arithmetic then runs
// in SSE2 lanes, each operation the one Pixel does. A group with a depth or
// fog distance that is not a number goes through Pixel.
template <int DB, int ZB, bool Fog>
void QuadSpan(const Setup& st, int y, int xl, int xr) {
  static_assert(ZB == 0 || ZB == 16);
  Walker<DB, ZB, Fog> w(st, y, xl, xr);
  int mr, ar, mg, ag, mb, ab;
  const bool arithmetic = WidenByProduct(st.texf.r, mr, ar) && WidenByProduct(st.texf.g, mg, ag) &&
                          WidenByProduct(st.texf.b, mb, ab);
  if (!arithmetic) {
    for (int x = xl; x <= xr; ++x, w.Step()) w.Pixel(x);
    return;
  }
  auto s16 = [](int v) { return static_cast<short>(v); };
  const __m128i mulrg = _mm_setr_epi16(s16(mr), s16(mr), s16(mr), s16(mr), s16(mg), s16(mg), s16(mg), s16(mg));
  const __m128i addrg = _mm_setr_epi16(s16(ar), s16(ar), s16(ar), s16(ar), s16(ag), s16(ag), s16(ag), s16(ag));
  const __m128i mulb = _mm_set1_epi16(s16(mb)), addb = _mm_set1_epi16(s16(ab));
  const __m128i trm = _mm_set1_epi32(static_cast<int>(w.trm)), tgm = _mm_set1_epi32(static_cast<int>(w.tgm));
  const __m128i tbm = _mm_set1_epi32(static_cast<int>(w.tbm)), byte = _mm_set1_epi32(0xFF);
  const __m128i trs = _mm_cvtsi32_si128(w.trs), tgs = _mm_cvtsi32_si128(w.tgs), tbs = _mm_cvtsi32_si128(w.tbs);
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 ftw = _mm_set1_ps(w.ftw), fth = _mm_set1_ps(w.fth), bias = _mm_set1_ps(1.0f / 1024);
  const __m128 fogA = _mm_set1_ps(w.fogA), fogB = _mm_set1_ps(w.fogB);
  const __m128i fogrg = _mm_setr_epi16(s16(w.fr), s16(w.fr), s16(w.fr), s16(w.fr), s16(w.fg), s16(w.fg), s16(w.fg),
                                       s16(w.fg));
  const __m128i fogbb = _mm_set1_epi16(s16(w.fb));
  const __m128i nrl = _mm_cvtsi32_si128(w.nrl), ngl = _mm_cvtsi32_si128(w.ngl), nbl = _mm_cvtsi32_si128(w.nbl);
  const __m128i nrs = _mm_cvtsi32_si128(w.nrs), ngs = _mm_cvtsi32_si128(w.ngs), nbs = _mm_cvtsi32_si128(w.nbs);
  const __m128i zero = _mm_setzero_si128();
  const bool perspective = w.perspective, colorkey = w.colorkey, zwrite = w.zwrite, fog_eye = w.fog_eye;
  uint8_t* const row = w.row;
  uint8_t* const zrow = w.zrow;
  // Colours step by whole integers: lane k holds c + k * dc, as the
  // pixel-by-pixel sums (which the held steps keep inside 32 bits).
  auto lanes = [](int32_t dc) {
    const uint32_t u = static_cast<uint32_t>(dc);
    return _mm_setr_epi32(0, static_cast<int32_t>(u), static_cast<int32_t>(2 * u), static_cast<int32_t>(3 * u));
  };
  const __m128i dcr = lanes(w.dcr), dcg = lanes(w.dcg), dcb = lanes(w.dcb);
  auto add4 = [](int32_t c, int32_t dc) {
    return static_cast<int32_t>(static_cast<uint32_t>(c) + 4 * static_cast<uint32_t>(dc));
  };
  __m128 q = _mm_setr_ps(w.z, w.rhw, w.u, w.v);
  const __m128 dq = _mm_setr_ps(w.dz, w.drhw, w.du, w.dv);
  int x = xl;
  for (; x + 3 <= xr; x += 4) {
    __m128 z = q, rhw = _mm_add_ps(z, dq), u = _mm_add_ps(rhw, dq), v = _mm_add_ps(u, dq);
    q = _mm_add_ps(v, dq);
    _MM_TRANSPOSE4_PS(z, rhw, u, v);
    const int32_t cr = w.cr, cg = w.cg, cb = w.cb, ca = w.ca;
    w.cr = add4(cr, w.dcr), w.cg = add4(cg, w.dcg), w.cb = add4(cb, w.dcb), w.ca = add4(ca, w.dca);
    __m128 d = z;
    if constexpr (Fog) {
      if (fog_eye) d = _mm_div_ps(one, rhw);
    }
    if (_mm_movemask_ps(_mm_or_ps(_mm_cmpunord_ps(z, z), _mm_cmpunord_ps(d, d)))) {
      alignas(16) float zs[4], rhws[4], us[4], vs[4];
      _mm_store_ps(zs, z), _mm_store_ps(rhws, rhw), _mm_store_ps(us, u), _mm_store_ps(vs, v);
      const Walker<DB, ZB, Fog> after = w;
      w.cr = cr, w.cg = cg, w.cb = cb, w.ca = ca;
      for (int k = 0; k < 4; ++k, w.cr += w.dcr, w.cg += w.dcg, w.cb += w.dcb, w.ca += w.dca) {
        w.z = zs[k], w.rhw = rhws[k], w.u = us[k], w.v = vs[k];
        w.Pixel(x + k);
      }
      w = after;
      continue;
    }
    __m128i keep = _mm_set1_epi32(-1), zi = zero, oldz = zero;
    if constexpr (ZB == 16) {
      const __m128 zc = Clamp01(z);
      const __m128d half = _mm_set1_pd(0.5), scale = _mm_set1_pd(65535.0);
      const __m128i lo = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(zc), scale), half));
      const __m128i hi = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(zc, zc)), scale), half));
      zi = _mm_unpacklo_epi64(lo, hi);
      oldz = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(zrow + 2 * x));
      keep = _mm_andnot_si128(_mm_cmpgt_epi32(zi, _mm_unpacklo_epi16(oldz, zero)), keep);
      if (_mm_movemask_epi8(keep) == 0) continue;
    }
    const __m128 wv = perspective ? _mm_div_ps(one, rhw) : one;
    const __m128i iu = TexelIndex4(_mm_add_ps(_mm_mul_ps(_mm_mul_ps(u, wv), ftw), bias));
    const __m128i iv = TexelIndex4(_mm_add_ps(_mm_mul_ps(_mm_mul_ps(v, wv), fth), bias));
    alignas(16) int32_t ius[4], ivs[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(ius), iu);
    _mm_store_si128(reinterpret_cast<__m128i*>(ivs), iv);
    auto texel = [&](int k) { return static_cast<int>(w.Texel(ius[k], ivs[k])); };
    const __m128i raw = _mm_setr_epi32(texel(0), texel(1), texel(2), texel(3));
    if (colorkey) keep = _mm_andnot_si128(_mm_cmpeq_epi32(raw, zero), keep);
    if (_mm_movemask_epi8(keep) == 0) continue;
    // Texel channels widened to 8 bits.
    const __m128i tr = _mm_and_si128(_mm_srl_epi32(_mm_and_si128(raw, trm), trs), byte);
    const __m128i tg = _mm_and_si128(_mm_srl_epi32(_mm_and_si128(raw, tgm), tgs), byte);
    const __m128i tb = _mm_and_si128(_mm_srl_epi32(_mm_and_si128(raw, tbm), tbs), byte);
    const __m128i trg = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_packs_epi32(tr, tg), mulrg), addrg), 6);
    const __m128i tbb = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_packs_epi32(tb, tb), mulb), addb), 6);
    // Vertex colours clamped to 0..255 by the saturating packs.
    const __m128i crv = _mm_add_epi32(_mm_set1_epi32(cr), dcr), cgv = _mm_add_epi32(_mm_set1_epi32(cg), dcg);
    const __m128i cbv = _mm_srai_epi32(_mm_add_epi32(_mm_set1_epi32(cb), dcb), 16);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(_mm_srai_epi32(crv, 16), _mm_srai_epi32(cgv, 16)),
                                           _mm_packs_epi32(cbv, cbv));
    __m128i rg = Div255x8(_mm_mullo_epi16(trg, _mm_unpacklo_epi8(bytes, zero)));
    __m128i bb = Div255x8(_mm_mullo_epi16(tbb, _mm_unpackhi_epi8(bytes, zero)));
    if constexpr (Fog) {
      const __m128 ff = Clamp01(_mm_add_ps(_mm_mul_ps(fogA, d), fogB));
      const __m128i f32 = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(ff, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
      const __m128i f = _mm_packs_epi32(f32, f32);
      const __m128i nf = _mm_sub_epi16(_mm_set1_epi16(255), f);
      rg = Div255x8(_mm_add_epi16(_mm_mullo_epi16(rg, f), _mm_mullo_epi16(fogrg, nf)));
      bb = Div255x8(_mm_add_epi16(_mm_mullo_epi16(bb, f), _mm_mullo_epi16(fogbb, nf)));
    }
    const __m128i r32 = _mm_unpacklo_epi16(rg, zero), g32 = _mm_unpackhi_epi16(rg, zero);
    const __m128i b32 = _mm_unpacklo_epi16(bb, zero);
    const __m128i pix = _mm_or_si128(_mm_or_si128(_mm_sll_epi32(_mm_srl_epi32(r32, nrl), nrs),
                                                  _mm_sll_epi32(_mm_srl_epi32(g32, ngl), ngs)),
                                     _mm_sll_epi32(_mm_srl_epi32(b32, nbl), nbs));
    uint8_t* p = row + DB * x;
    if constexpr (DB == 4) {
      const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_or_si128(_mm_and_si128(keep, pix), _mm_andnot_si128(keep, old)));
    } else {
      const __m128i keep16 = _mm_packs_epi32(keep, keep);
      const __m128i old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(p),
                       _mm_or_si128(_mm_and_si128(keep16, Low16(pix)), _mm_andnot_si128(keep16, old)));
    }
    if constexpr (ZB == 16) {
      if (zwrite) {
        const __m128i keep16 = _mm_packs_epi32(keep, keep);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(zrow + 2 * x),
                         _mm_or_si128(_mm_and_si128(keep16, Low16(zi)), _mm_andnot_si128(keep16, oldz)));
      }
    }
  }
  alignas(16) float left[4];
  _mm_store_ps(left, q);
  w.z = left[0], w.rhw = left[1], w.u = left[2], w.v = left[3];
  for (; x <= xr; ++x, w.Step()) w.Pixel(x);
}

template <int DB, int ZB>
SpanFn PickFog(bool fog, bool quad) {
  if constexpr (ZB != 32) {
    if (quad) return fog ? QuadSpan<DB, ZB, true> : QuadSpan<DB, ZB, false>;
  }
  return fog ? FastSpan<DB, ZB, true> : FastSpan<DB, ZB, false>;
}

template <int DB>
SpanFn PickDepth(int zb, bool fog, bool quad) {
  switch (zb) {
    case 16: return PickFog<DB, 16>(fog, quad);
    case 32: return PickFog<DB, 32>(fog, quad);
    default: return PickFog<DB, 0>(fog, quad);
  }
}

bool Overlap(const platform::PixelBuffer& a, const platform::PixelBuffer& b) {
  if (!a.bits || !b.bits) return false;
  const uint8_t* ae = a.bits + static_cast<ptrdiff_t>(a.pitch) * a.height;
  const uint8_t* be = b.bits + static_cast<ptrdiff_t>(b.pitch) * b.height;
  return a.bits < be && b.bits < ae;
}

// The fast span for a triangle's state, or null when only Span draws it.
SpanFn PickFastSpan(const Setup& st) {
  const PixelState& s = *st.s;
  const Target& t = *st.t;
  const int db = t.color.format.bpp / 8;
  if (!st.tex || st.tex->pixels.format.bpp / 8 != db || (db != 2 && db != 4)) return nullptr;
  if (s.texblend != D3DTBLEND_MODULATEALPHA || s.alphatest) return nullptr;
  if (s.address_u == D3DTADDRESS_BORDER || s.address_v == D3DTADDRESS_BORDER) return nullptr;
  const bool zt = s.zenable && st.zbits;
  if (zt && s.zfunc != D3DCMP_LESSEQUAL) return nullptr;
  const int zb = zt ? st.zbits : 0;
  // Four pixels at a time read the depth and texels of a group before writing
  // it: only for buffers that do not share memory, and without blending.
  const bool quad = !s.blend && !(s.fog && st.fogstep) && !Overlap(t.color, st.tex->pixels) &&
                    !(zb && (Overlap(t.color, t.depth) || Overlap(t.depth, st.tex->pixels)));
  return db == 2 ? PickDepth<2>(zb, s.fog, quad) : PickDepth<4>(zb, s.fog, quad);
}

// The clip rectangle cut to the buffer (and the depth buffer when there is one).
RECT Bounds(const Target& t) {
  RECT r = t.clip;
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  LONG w = t.color.width, h = t.color.height;
  if (t.depth.bits && t.depth.bits != t.color.bits) {
    w = std::min<LONG>(w, t.depth.width);
    h = std::min<LONG>(h, t.depth.height);
  }
  r.right = std::min<LONG>(r.right, w);
  r.bottom = std::min<LONG>(r.bottom, h);
  return r;
}

// Prepares what does not depend on the primitive's shape; false when nothing
// can be drawn.
bool Prepare(Setup& st, const Target& t, const PixelState& s, const Texture* tex) {
  st.t = &t;
  st.s = &s;
  int db = t.color.format.bpp / 8;
  if (!t.color.bits || db < 1 || db > 4) return false;
  if (db == 1 && !t.color.palette) return false;
  MakeFormat(st.dst, t.color, 0);
  if (db == 1) st.inv = &InverseOf(t.color.palette);
  st.tex = nullptr;
  if (tex && tex->pixels.bits && tex->pixels.width > 0 && tex->pixels.height > 0) {
    int tb = tex->pixels.format.bpp / 8;
    if (tb >= 1 && tb <= 4 && (tb != 1 || tex->pixels.palette)) {
      st.tex = tex;
      MakeFormat(st.texf, tex->pixels, tex->amask);
      const int tw = tex->pixels.width, th = tex->pixels.height;
      st.ftw = static_cast<float>(tw), st.fth = static_cast<float>(th);
      st.wrapmask_u = (tw & (tw - 1)) == 0 ? tw - 1 : 0;
      st.wrapmask_v = (th & (th - 1)) == 0 ? th - 1 : 0;
    }
  }
  st.zbits = 0;
  if (t.depth.bits && (t.depth.format.bpp == 16 || t.depth.format.bpp == 32)) st.zbits = t.depth.format.bpp;
  if (s.fog) {
    const float range = s.fogend - s.fogstart, a = -1.0f / range, b = s.fogend / range;
    st.fogstep = !(range > 0 && a != 0 && std::isfinite(range) && std::isfinite(a) && std::isfinite(b));
    st.fogedge = s.fogstart;
    if (!st.fogstep) {
      st.fogA = a;
      st.fogB = b;
    } else if (s.fogend == std::numeric_limits<float>::infinity() && !std::isnan(s.fogstart)) {
      // The ramp to an end at infinity never leaves "no fog".
      st.fogedge = s.fogend;
    }
  }
  return true;
}

void Flat(Setup& st, const ScreenVertex& f) {
  st.fr = ToByte(f.r), st.fg = ToByte(f.g), st.fb = ToByte(f.b), st.fa = ToByte(f.a);
}

}  // namespace

void UseReferenceSpans(bool on) { g_reference_spans = on; }

uint8_t NearestIndex(const uint32_t* palette, int r, int g, int b) {
  return InverseOf(palette).Lookup(r, g, b);
}

uint32_t DepthValue(float z, int bits) {
  float zc = DepthClamp(z);
  double scale = bits == 16 ? 65535.0 : 4294967295.0;
  return static_cast<uint32_t>(zc * scale + 0.5);
}

void ClearDepth(const platform::PixelBuffer& depth, const RECT& area, float z) {
  if (!depth.bits || (depth.format.bpp != 16 && depth.format.bpp != 32)) return;
  int l = std::max<LONG>(area.left, 0), t = std::max<LONG>(area.top, 0);
  int r = std::min<LONG>(area.right, depth.width), b = std::min<LONG>(area.bottom, depth.height);
  if (l >= r || t >= b) return;
  const uint32_t v = DepthValue(z, depth.format.bpp);
  const int bytes = depth.format.bpp / 8;
  uint8_t* first = depth.bits + static_cast<ptrdiff_t>(t) * depth.pitch + static_cast<ptrdiff_t>(l) * bytes;
  if (bytes == 2)
    platform::FillArea<2>(first, depth.pitch, r - l, b - t, v);
  else
    platform::FillArea<4>(first, depth.pitch, r - l, b - t, v);
}

void DrawTriangle(const Target& t, const PixelState& s, const Texture* tex, const ScreenVertex& a,
                  const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex& flat) {
  Setup st;
  if (!Prepare(st, t, s, tex)) return;
  RECT clip = Bounds(t);
  if (clip.left >= clip.right || clip.top >= clip.bottom) return;
  const ScreenVertex* v[3] = {&a, &b, &c};
  double area = (static_cast<double>(b.x) - a.x) * (static_cast<double>(c.y) - a.y) -
                (static_cast<double>(c.x) - a.x) * (static_cast<double>(b.y) - a.y);
  if (!(std::fabs(area) > 0)) return;  // degenerate (or not a number)
  if (area < 0) {
    std::swap(v[1], v[2]);
    area = -area;
  }
  for (const ScreenVertex* p : v)
    if (!std::isfinite(p->x) || !std::isfinite(p->y)) return;

  // Attribute planes.
  st.x0 = v[0]->x, st.y0 = v[0]->y;
  const double x1 = v[1]->x - st.x0, y1 = v[1]->y - st.y0, x2 = v[2]->x - st.x0, y2 = v[2]->y - st.y0;
  auto plane = [&](double f0, double f1, double f2) {
    Plane p;
    p.v0 = f0;
    p.dx = ((f1 - f0) * y2 - (f2 - f0) * y1) / area;
    p.dy = ((f2 - f0) * x1 - (f1 - f0) * x2) / area;
    return p;
  };
  st.z = plane(v[0]->z, v[1]->z, v[2]->z);
  st.rhw = plane(v[0]->rhw, v[1]->rhw, v[2]->rhw);
  st.flat = !s.gouraud;
  if (st.flat) {
    Flat(st, flat);
  } else {
    st.r = plane(v[0]->r, v[1]->r, v[2]->r);
    st.g = plane(v[0]->g, v[1]->g, v[2]->g);
    st.b = plane(v[0]->b, v[1]->b, v[2]->b);
    st.a = plane(v[0]->a, v[1]->a, v[2]->a);
  }
  if (st.tex) {
    if (s.perspective) {
      st.u = plane(v[0]->u * v[0]->rhw, v[1]->u * v[1]->rhw, v[2]->u * v[2]->rhw);
      st.v = plane(v[0]->v * v[0]->rhw, v[1]->v * v[1]->rhw, v[2]->v * v[2]->rhw);
    } else {
      st.u = plane(v[0]->u, v[1]->u, v[2]->u);
      st.v = plane(v[0]->v, v[1]->v, v[2]->v);
    }
  }
  SpanFn span = g_reference_spans ? nullptr : PickFastSpan(st);
  if (!span) span = PickSpan(t.color.format.bpp / 8, st.tex ? st.tex->pixels.format.bpp / 8 : 0);

  // Edges as E(x, y) = ea * x + eb * y + ec, >= 0 inside; an edge that is not
  // top or left excludes its own pixels so that shared edges are drawn once.
  struct Edge {
    double a, b, c;
    bool topleft;
  } e[3];
  for (int i = 0; i < 3; ++i) {
    const ScreenVertex* p = v[i];
    const ScreenVertex* q = v[(i + 1) % 3];
    e[i].a = static_cast<double>(p->y) - q->y;
    e[i].b = static_cast<double>(q->x) - p->x;
    e[i].c = -(e[i].a * p->x + e[i].b * p->y);
    e[i].topleft = e[i].a > 0 || (e[i].a == 0 && e[i].b > 0);
  }
  double ymin = std::min({a.y, b.y, c.y}), ymax = std::max({a.y, b.y, c.y});
  // Rows held near the int range on both sides: a triangle wholly above or
  // below the screen has far rows at either end.
  int ytop = std::max<int>(clip.top, static_cast<int>(std::ceil(std::clamp(ymin, -1e9, 1e9))));
  int ybot = std::min<int>(clip.bottom - 1, static_cast<int>(std::floor(std::clamp(ymax, -1e9, 1e9))));
  for (int y = ytop; y <= ybot; ++y) {
    double lo = clip.left, hi = clip.right - 1;
    bool empty = false;
    for (const Edge& ed : e) {
      double rest = ed.b * y + ed.c;  // E = a x + rest
      if (ed.a == 0) {
        if (rest < 0 || (rest == 0 && !ed.topleft)) empty = true;
        continue;
      }
      double xb = -rest / ed.a;
      if (ed.a > 0) {
        double xl = std::ceil(xb);
        if (xl == xb && !ed.topleft) xl += 1;
        lo = std::max(lo, xl);
      } else {
        double xr = std::floor(xb);
        if (xr == xb && !ed.topleft) xr -= 1;
        hi = std::min(hi, xr);
      }
    }
    if (empty || lo > hi) continue;
    span(st, y, static_cast<int>(lo), static_cast<int>(hi));
  }
}

namespace {

void Pixels(const Target& t, const PixelState& s, const Texture* tex, const ScreenVertex& a,
            const ScreenVertex& b, const ScreenVertex& flat, bool line) {
  Setup st;
  if (!Prepare(st, t, s, tex)) return;
  RECT clip = Bounds(t);
  if (clip.left >= clip.right || clip.top >= clip.bottom) return;
  if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return;
  const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
  const double len = std::max(std::fabs(dx), std::fabs(dy));
  // Past 2^53 pixels a double no longer counts steps one by one: such a line
  // is not drawn.
  constexpr double kLongest = 0x1p53;
  if (len > kLongest) return;
  const int64_t n = line ? static_cast<int64_t>(std::floor(len + 0.5)) : 0;
  const int64_t count = line ? n + (s.lastpixel ? 1 : 0) : 1;
  st.flat = !s.gouraud || !line;
  Flat(st, line ? flat : a);
  SpanFn span = PickSpan(t.color.format.bpp / 8, st.tex ? st.tex->pixels.format.bpp / 8 : 0);
  // The pixel i steps from a: a one-pixel span whose planes are constant there.
  auto pixel = [&](int64_t i, int x, int y) {
    const double k = n ? static_cast<double>(i) / static_cast<double>(n) : 0.0;
    st.x0 = x, st.y0 = y;
    auto at = [&](float f0, float f1, float rw0, float rw1, bool persp) {
      Plane p;
      p.v0 = persp ? (f0 * rw0) + k * (f1 * rw1 - f0 * rw0) : f0 + k * (f1 - f0);
      return p;
    };
    st.z = at(a.z, b.z, 1, 1, false);
    st.rhw = at(a.rhw, b.rhw, 1, 1, false);
    if (!st.flat) {
      st.r = at(a.r, b.r, 1, 1, false);
      st.g = at(a.g, b.g, 1, 1, false);
      st.b = at(a.b, b.b, 1, 1, false);
      st.a = at(a.a, b.a, 1, 1, false);
    }
    if (st.tex) {
      st.u = at(a.u, b.u, a.rhw, b.rhw, s.perspective);
      st.v = at(a.v, b.v, a.rhw, b.rhw, s.perspective);
    }
    span(st, y, x, x);
  };
  // A line of over a million pixels with whole-numbered ends (every float
  // from 2^23 up is one) is walked in 64 bits from where it enters the clip:
  // steps in doubles would move its pixels. Shorter ones keep their steps.
  constexpr double kWhole = 0x1p62;
  auto whole = [](float v) { return std::fabs(v) <= kWhole && std::floor(v) == v; };
  if (line && len > 1e6 && whole(a.x) && whole(a.y) && whole(b.x) && whole(b.y)) {
    platform::WalkDeviceLine(static_cast<int64_t>(a.x), static_cast<int64_t>(a.y), static_cast<int64_t>(b.x),
                             static_cast<int64_t>(b.y), s.lastpixel, clip.left, clip.top, clip.right, clip.bottom,
                             [&](int64_t x, int64_t y, int64_t i) {
                               pixel(i, static_cast<int>(x), static_cast<int>(y));
                             });
    return;
  }
  // Otherwise by the steps whose place along the longer axis can fall
  // inside the clip (widened by a pixel each side), two more each side for
  // the rounding of the division.
  int64_t first = 0, last = count - 1;
  if (n) {
    const bool xmajor = std::fabs(dy) <= std::fabs(dx);
    const double from = xmajor ? a.x : a.y, d = (xmajor ? dx : dy) / static_cast<double>(n);
    const double lo = xmajor ? clip.left : clip.top, hi = xmajor ? clip.right : clip.bottom;
    double i0 = (lo - 1 - from) / d, i1 = (hi + 1 - from) / d;
    if (i1 < i0) std::swap(i0, i1);
    first = std::max<int64_t>(first, static_cast<int64_t>(std::clamp(std::floor(i0) - 2, -1.0, kLongest)));
    last = std::min<int64_t>(last, static_cast<int64_t>(std::clamp(std::ceil(i1) + 2, -1.0, kLongest)));
  }
  for (int64_t i = first; i <= last; ++i) {
    const double k = n ? static_cast<double>(i) / static_cast<double>(n) : 0.0;
    // Tested against the clip before the conversion: a point far off the
    // screen has no int.
    const double fx = std::floor(a.x + k * dx + 0.5), fy = std::floor(a.y + k * dy + 0.5);
    if (!(fx >= clip.left && fx < clip.right && fy >= clip.top && fy < clip.bottom)) continue;
    pixel(i, static_cast<int>(fx), static_cast<int>(fy));
  }
}

}  // namespace

void DrawLine(const Target& t, const PixelState& s, const Texture* tex, const ScreenVertex& a,
              const ScreenVertex& b, const ScreenVertex& flat) {
  Pixels(t, s, tex, a, b, flat, true);
}

void DrawPoint(const Target& t, const PixelState& s, const Texture* tex, const ScreenVertex& p) {
  Pixels(t, s, tex, p, p, p, false);
}

}  // namespace soft3d
