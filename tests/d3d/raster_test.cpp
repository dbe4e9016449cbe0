// The software device's rasteriser against references computed per channel
// from the rules in raster.h, at every depth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "platform/d3d/raster.h"

namespace {

using soft3d::PixelState;
using soft3d::ScreenVertex;

struct Buffer {
  std::vector<uint8_t> mem;
  platform::PixelBuffer pb;
  Buffer(int w, int h, int bpp, const uint32_t* pal = nullptr) {
    pb.width = w, pb.height = h;
    pb.pitch = w * (bpp / 8) + 3;  // an odd pitch catches row arithmetic
    mem.assign(static_cast<size_t>(pb.pitch) * h, 0);
    pb.bits = mem.data();
    pb.format.bpp = bpp;
    if (bpp == 16) pb.format.rmask = 0xF800, pb.format.gmask = 0x07E0, pb.format.bmask = 0x001F;
    if (bpp == 8) pb.format.rmask = pb.format.gmask = pb.format.bmask = 0, pb.palette = pal;
  }
  Buffer(const Buffer& o) : mem(o.mem), pb(o.pb) { pb.bits = mem.data(); }
  Buffer& operator=(const Buffer&) = delete;
  uint32_t Get(int x, int y) const {
    const uint8_t* p = pb.bits + y * pb.pitch + x * (pb.format.bpp / 8);
    uint32_t v = 0;
    for (int i = 0; i < pb.format.bpp / 8; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
  }
  void Set(int x, int y, uint32_t v) {
    uint8_t* p = pb.bits + y * pb.pitch + x * (pb.format.bpp / 8);
    for (int i = 0; i < pb.format.bpp / 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
};

// A palette with every entry distinct: a 6x7x6 colour cube, then greys.
const uint32_t* TestPalette() {
  static uint32_t pal[256];
  static bool made = false;
  if (!made) {
    int i = 0;
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 7; ++g)
        for (int b = 0; b < 6; ++b) pal[i++] = (r * 51u << 16) | ((g * 42u) << 8) | (b * 51u);
    for (int k = 0; i < 256; ++i, ++k) pal[i] = 0x010101u * (3 + k * 5);
    made = true;
  }
  return pal;
}

// --- Reference pixel definitions ---
struct Rgb {
  int r, g, b;
};

int RefWiden(uint32_t v, int bits) { return static_cast<int>(std::lround(v * 255.0 / ((1 << bits) - 1))); }

Rgb RefRead(const Buffer& b, uint32_t px) {
  switch (b.pb.format.bpp) {
    case 8: {
      uint32_t c = b.pb.palette[px];
      return {static_cast<int>(c >> 16 & 255), static_cast<int>(c >> 8 & 255), static_cast<int>(c & 255)};
    }
    case 16: return {RefWiden(px >> 11 & 31, 5), RefWiden(px >> 5 & 63, 6), RefWiden(px & 31, 5)};
    default: return {static_cast<int>(px >> 16 & 255), static_cast<int>(px >> 8 & 255), static_cast<int>(px & 255)};
  }
}

uint32_t RefNearest(const uint32_t* pal, Rgb c) {
  for (uint32_t i = 0; i < 256; ++i)
    if (pal[i] == static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b)) return i;
  auto cell = [](int v) { int q = v / 8; return q * 8 + q / 4; };
  int r = cell(c.r), g = cell(c.g), b = cell(c.b);
  long best = -1;
  uint32_t bi = 0;
  for (uint32_t i = 0; i < 256; ++i) {
    long dr = static_cast<long>(pal[i] >> 16 & 255) - r, dg = static_cast<long>(pal[i] >> 8 & 255) - g,
         db = static_cast<long>(pal[i] & 255) - b;
    long d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < best) best = d, bi = i;
  }
  return bi;
}

uint32_t RefWrite(const Buffer& b, Rgb c) {
  switch (b.pb.format.bpp) {
    case 8: return RefNearest(b.pb.palette, c);
    case 16: return static_cast<uint32_t>((c.r * 32 / 256) << 11 | (c.g * 64 / 256) << 5 | (c.b * 32 / 256));
    default: return static_cast<uint32_t>(c.r << 16 | c.g << 8 | c.b);
  }
}

int Round255(double x) { return static_cast<int>(std::floor(x / 255.0 + 0.5)); }

ScreenVertex V(float x, float y, float z = 0.5f, float rhw = 1.0f, Rgb c = {255, 255, 255}, int a = 255,
               float u = 0, float v = 0) {
  return {x, y, z, rhw, static_cast<float>(c.r), static_cast<float>(c.g), static_cast<float>(c.b),
          static_cast<float>(a), u, v};
}

soft3d::Target TargetOf(Buffer& color, Buffer* depth = nullptr) {
  soft3d::Target t;
  t.color = color.pb;
  if (depth) t.depth = depth->pb;
  t.clip = {0, 0, color.pb.width, color.pb.height};
  return t;
}

// A pre-transformed rectangle as a fan of two triangles, as the effects draw it.
void Quad(const soft3d::Target& t, const PixelState& s, const soft3d::Texture* tex, float l, float tp, float r,
          float b, float z, float rhw, Rgb c, int a, float u0 = 0, float v0 = 0, float u1 = 0, float v1 = 0) {
  ScreenVertex p0 = V(l, tp, z, rhw, c, a, u0, v0), p1 = V(r, tp, z, rhw, c, a, u1, v0);
  ScreenVertex p2 = V(r, b, z, rhw, c, a, u1, v1), p3 = V(l, b, z, rhw, c, a, u0, v1);
  soft3d::DrawTriangle(t, s, tex, p0, p1, p2, p1);
  soft3d::DrawTriangle(t, s, tex, p0, p2, p3, p2);
}

PixelState Plain() {
  PixelState s;
  s.zenable = false;
  s.zwrite = false;
  s.gouraud = false;
  return s;
}

const int kDepths[] = {8, 16, 24, 32};

void Scramble(Buffer& b, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < b.pb.height; ++y)
    for (int x = 0; x < b.pb.width; ++x) {
      uint32_t v = rng();
      if (b.pb.format.bpp == 16) v &= 0xFFFF;
      if (b.pb.format.bpp == 8) v &= 0xFF;
      if (b.pb.format.bpp == 24) v &= 0xFFFFFF;
      if (b.pb.format.bpp == 32) v &= 0xFFFFFF;
      b.Set(x, y, v);
    }
}

TEST(Raster, RectangleCoversExactlyItsPixelsAtEveryDepth) {
  for (int bpp : kDepths) {
    Buffer b(40, 24, bpp, TestPalette());
    Scramble(b, 1);
    Buffer before = b;
    Quad(TargetOf(b), Plain(), nullptr, 10, 5, 30, 17, 0.5f, 1, {200, 100, 50}, 255);
    uint32_t want = RefWrite(b, {200, 100, 50});
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 40; ++x) {
        bool in = x >= 10 && x < 30 && y >= 5 && y < 17;
        ASSERT_EQ(b.Get(x, y), in ? want : before.Get(x, y)) << bpp << " bits at " << x << "," << y;
      }
  }
}

TEST(Raster, SharedEdgesAreDrawnOnceAndBothWindingsDraw) {
  // A polygon with fractional corners cut into a fan; drawn additively with 1,
  // so a pixel drawn twice would read 2.
  Buffer b(64, 64, 32);
  PixelState s = Plain();
  s.blend = true;
  s.srcblend = D3DBLEND_ONE;
  s.destblend = D3DBLEND_ONE;
  soft3d::Target t = TargetOf(b);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> jitter(-0.5f, 0.5f);
  const int n = 9;
  std::vector<ScreenVertex> ring;
  for (int i = 0; i < n; ++i) {
    double a = 2 * M_PI * i / n;
    ring.push_back(V(32 + 25 * std::cos(a) + jitter(rng), 32 + 25 * std::sin(a) + jitter(rng), 0.5f, 1, {1, 1, 1}));
  }
  ring.push_back(V(32.25f, 31.5f, 0.5f, 1, {1, 1, 1}));  // the centre: a fan about it
  int drawn = 0;
  for (int i = 0; i < n; ++i) {
    // Alternate windings: both must draw.
    if (i % 2) soft3d::DrawTriangle(t, s, nullptr, ring[n], ring[i], ring[(i + 1) % n], ring[n]);
    else soft3d::DrawTriangle(t, s, nullptr, ring[n], ring[(i + 1) % n], ring[i], ring[n]);
  }
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      uint32_t v = b.Get(x, y);
      ASSERT_TRUE(v == 0 || v == 0x010101) << x << "," << y << " " << v;
      drawn += v != 0;
    }
  EXPECT_NEAR(drawn, 0.5 * n * 25 * 25 * std::sin(2 * M_PI / n), 60);
  EXPECT_EQ(b.Get(32, 32), 0x010101u);
}

TEST(Raster, BlendFactorsAtEveryDepth) {
  struct Pair {
    DWORD src, dst;
  } pairs[] = {{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, {D3DBLEND_ONE, D3DBLEND_ONE},
               {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO},       {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO},
               {D3DBLEND_SRCALPHA, D3DBLEND_ONE},         {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},
               {D3DBLEND_INVSRCCOLOR, D3DBLEND_INVSRCALPHA}, {D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO}};
  const Rgb src = {230, 97, 14};
  const int alpha = 127;  // 50 percent as the effects give it
  auto factor = [&](DWORD f, int s, int d) {
    switch (f) {
      case D3DBLEND_ZERO: return 0;
      case D3DBLEND_ONE: return 255;
      case D3DBLEND_SRCCOLOR: return s;
      case D3DBLEND_INVSRCCOLOR: return 255 - s;
      case D3DBLEND_SRCALPHA: return alpha;
      case D3DBLEND_INVSRCALPHA: return 255 - alpha;
      case D3DBLEND_DESTCOLOR: return d;
      case D3DBLEND_INVDESTCOLOR: return 255 - d;
    }
    return -1;
  };
  for (int bpp : kDepths)
    for (const Pair& p : pairs) {
      Buffer b(16, 8, bpp, TestPalette());
      Scramble(b, bpp + p.src * 16 + p.dst);
      Buffer before = b;
      PixelState s = Plain();
      s.blend = true;
      s.srcblend = p.src;
      s.destblend = p.dst;
      Quad(TargetOf(b), s, nullptr, 0, 0, 16, 8, 0.5f, 1, src, alpha);
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
          Rgb d = RefRead(before, before.Get(x, y));
          auto mix = [&](int sc, int dc) {
            if (p.src == D3DBLEND_BOTHSRCALPHA) return std::min(255, Round255(sc * alpha + dc * (255 - alpha)));
            return std::min(255, Round255(static_cast<double>(sc) * factor(p.src, sc, dc) + dc * factor(p.dst, sc, dc)));
          };
          Rgb want = {mix(src.r, d.r), mix(src.g, d.g), mix(src.b, d.b)};
          ASSERT_EQ(b.Get(x, y), RefWrite(b, want)) << bpp << " bits, factors " << p.src << "/" << p.dst;
        }
    }
}

TEST(Raster, InvertedTargetIsExactAtEveryDepth) {
  // The subtractive effect's first and last passes: white times (1 - target).
  for (int bpp : {16, 24, 32}) {
    Buffer b(8, 4, bpp);
    Scramble(b, 3);
    Buffer before = b;
    PixelState s = Plain();
    s.blend = true;
    s.srcblend = D3DBLEND_INVDESTCOLOR;
    s.destblend = D3DBLEND_ZERO;
    Quad(TargetOf(b), s, nullptr, 0, 0, 8, 4, 0.5f, 1, {255, 255, 255}, 255);
    uint32_t all = bpp == 16 ? 0xFFFF : 0xFFFFFF;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(b.Get(x, y), ~before.Get(x, y) & all);
  }
}

struct Tex {
  Buffer buf;
  soft3d::Texture t;
  explicit Tex(int w, int h, int bpp, unsigned seed) : buf(w, h, bpp, TestPalette()) {
    Scramble(buf, seed);
    // A few holes of value 0: not drawn.
    buf.Set(1, 1, 0);
    buf.Set(3, 2, 0);
    t.pixels = buf.pb;
  }
};

TEST(Raster, TexturedCopyIsExactAndSkipsTexelZero) {
  for (int bpp : kDepths) {
    Tex tex(8, 6, bpp, 11);
    Buffer b(32, 20, bpp, TestPalette());
    Scramble(b, 12);
    Buffer before = b;
    PixelState s = Plain();
    s.texblend = D3DTBLEND_DECAL;
    // Source rectangle (1, 1)-(7, 5) to (20, 10), as the affine blit maps it.
    Quad(TargetOf(b), s, &tex.t, 20, 10, 26, 14, 0.5f, 0.5f, {255, 255, 255}, 255, 1 / 8.0f, 1 / 6.0f,
         7 / 8.0f, 5 / 6.0f);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 32; ++x) {
        uint32_t want = before.Get(x, y);
        if (x >= 20 && x < 26 && y >= 10 && y < 14) {
          uint32_t texel = tex.buf.Get(x - 19, y - 9);
          if (texel != 0) want = RefWrite(b, RefRead(tex.buf, texel));
        }
        ASSERT_EQ(b.Get(x, y), want) << bpp << " bits at " << x << "," << y;
      }
  }
}

TEST(Raster, ModulateAlphaAndDecalAlphaPerChannel) {
  Tex tex(4, 4, 32, 5);
  Buffer b(4, 4, 32);
  Scramble(b, 6);
  Buffer before = b;
  PixelState s = Plain();
  s.texblend = D3DTBLEND_MODULATEALPHA;
  s.blend = true;
  s.srcblend = D3DBLEND_SRCALPHA;
  s.destblend = D3DBLEND_INVSRCALPHA;
  const Rgb c = {255, 128, 7};
  const int a = 191;
  Quad(TargetOf(b), s, &tex.t, 0, 0, 4, 4, 0.5f, 1, c, a, 0, 0, 1, 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      uint32_t texel = tex.buf.Get(x, y);
      if (!texel) {
        ASSERT_EQ(b.Get(x, y), before.Get(x, y));
        continue;
      }
      Rgb t = RefRead(tex.buf, texel), d = RefRead(before, before.Get(x, y));
      auto ch = [&](int tc, int vc, int dc) {
        int m = Round255(tc * vc);
        return Round255(m * a + dc * (255 - a));
      };
      ASSERT_EQ(b.Get(x, y), RefWrite(b, {ch(t.r, c.r, d.r), ch(t.g, c.g, d.g), ch(t.b, c.b, d.b)}));
    }
  // Decal-alpha with a texture without alpha is the texel; the vertex alpha blends.
  Scramble(b, 6);
  s.texblend = D3DTBLEND_DECALALPHA;
  s.destblend = D3DBLEND_ONE;
  Quad(TargetOf(b), s, &tex.t, 0, 0, 4, 4, 0.5f, 1, c, a, 0, 0, 1, 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      uint32_t texel = tex.buf.Get(x, y);
      if (!texel) continue;
      Rgb t = RefRead(tex.buf, texel), d = RefRead(before, before.Get(x, y));
      auto ch = [&](int tc, int dc) { return std::min(255, Round255(tc * a + dc * 255)); };
      ASSERT_EQ(b.Get(x, y), RefWrite(b, {ch(t.r, d.r), ch(t.g, d.g), ch(t.b, d.b)}));
    }
}

TEST(Raster, DepthTestKeepsTheNearestWhateverTheOrder) {
  for (int zbits : {16, 32}) {
    Buffer c1(20, 10, 32), c2(20, 10, 32), z1(20, 10, zbits), z2(20, 10, zbits);
    soft3d::ClearDepth(z1.pb, {0, 0, 20, 10}, 1.0f);
    soft3d::ClearDepth(z2.pb, {0, 0, 20, 10}, 1.0f);
    PixelState s = Plain();
    s.zenable = true;
    s.zwrite = true;
    s.zfunc = D3DCMP_LESSEQUAL;
    soft3d::Target t1 = TargetOf(c1, &z1), t2 = TargetOf(c2, &z2);
    Quad(t1, s, nullptr, 0, 0, 12, 10, 0.8f, 1, {255, 0, 0}, 255);
    Quad(t1, s, nullptr, 8, 0, 20, 10, 0.3f, 1, {0, 0, 255}, 255);
    Quad(t2, s, nullptr, 8, 0, 20, 10, 0.3f, 1, {0, 0, 255}, 255);
    Quad(t2, s, nullptr, 0, 0, 12, 10, 0.8f, 1, {255, 0, 0}, 255);
    for (int x = 0; x < 20; ++x) {
      uint32_t want = x < 8 ? 0xFF0000u : 0x0000FFu;
      ASSERT_EQ(c1.Get(x, 4), want);
      ASSERT_EQ(c2.Get(x, 4), want);
    }
    EXPECT_EQ(z1.Get(3, 3), soft3d::DepthValue(0.8f, zbits));
    EXPECT_EQ(z1.Get(10, 3), soft3d::DepthValue(0.3f, zbits));
    // Equal depth passes less-or-equal; without depth writes a farther
    // surface draws but leaves the buffer as it was.
    Quad(t1, s, nullptr, 0, 0, 4, 10, 0.8f, 1, {0, 255, 0}, 255);
    EXPECT_EQ(c1.Get(1, 1), 0x00FF00u);
    s.zwrite = false;
    Quad(t1, s, nullptr, 10, 0, 12, 10, 0.2f, 1, {9, 9, 9}, 255);
    EXPECT_EQ(c1.Get(10, 1), 0x090909u);
    EXPECT_EQ(z1.Get(10, 1), soft3d::DepthValue(0.3f, zbits));
    s.zfunc = D3DCMP_LESS;
    s.zwrite = true;
    Quad(t1, s, nullptr, 0, 0, 20, 10, 0.3f, 1, {1, 2, 3}, 255);
    EXPECT_EQ(c1.Get(10, 1), 0x090909u);  // not less than 0.3
    EXPECT_EQ(c1.Get(2, 1), 0x010203u);   // less than 0.8
  }
}

// A depth clear sets every pixel of its area that lies in the buffer, on
// every row, and nothing else; an area beside the buffer sets nothing.
TEST(Raster, DepthClearCoversItsAreaInsideTheBuffer) {
  for (int zbits : {16, 32}) {
    Buffer z(20, 10, zbits);
    const uint32_t cleared = soft3d::DepthValue(0.25f, zbits);
    soft3d::ClearDepth(z.pb, {-3, 2, 7, 6}, 0.25f);
    soft3d::ClearDepth(z.pb, {14, 7, 25, 12}, 0.25f);
    soft3d::ClearDepth(z.pb, {20, 0, 30, 10}, 0.25f);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 20; ++x) {
        const bool in = (x < 7 && y >= 2 && y < 6) || (x >= 14 && y >= 7);
        ASSERT_EQ(z.Get(x, y), in ? cleared : 0u) << zbits << " bits, " << x << ", " << y;
      }
  }
}

TEST(Raster, LinearFogByDepthAndByEyeDistanceAtEveryDepth) {
  const Rgb c = {240, 30, 100}, fogc = {10, 200, 60};
  for (int bpp : kDepths) {
    for (bool eye : {false, true}) {
      Buffer b(8, 4, bpp, TestPalette());
      PixelState s = Plain();
      s.fog = true;
      s.fog_eye = eye;
      s.fogcolor = 0xFF000000u | fogc.r << 16 | fogc.g << 8 | fogc.b;
      // Device depth 0.4 between 0.2 and 0.9, or eye distance 5 between 2 and 12.
      s.fogstart = eye ? 2.0f : 0.2f;
      s.fogend = eye ? 12.0f : 0.9f;
      double f = eye ? (12.0 - 5.0) / 10.0 : (0.9 - 0.4) / 0.7;
      int F = static_cast<int>(std::floor(f * 255 + 0.5));
      Quad(TargetOf(b), s, nullptr, 0, 0, 8, 4, 0.4f, 0.2f, c, 255);
      auto ch = [&](int v, int fv) { return Round255(v * F + fv * (255 - F)); };
      ASSERT_EQ(b.Get(3, 2), RefWrite(b, {ch(c.r, fogc.r), ch(c.g, fogc.g), ch(c.b, fogc.b)}))
          << bpp << (eye ? " eye" : " depth");
    }
  }
  // Beyond the end: all fog; before the start: none.
  Buffer b(4, 4, 32);
  PixelState s = Plain();
  s.fog = true;
  s.fogcolor = 0x123456;
  s.fogstart = 0.2f;
  s.fogend = 0.4f;
  Quad(TargetOf(b), s, nullptr, 0, 0, 2, 4, 0.6f, 1, c, 255);
  Quad(TargetOf(b), s, nullptr, 2, 0, 4, 4, 0.1f, 1, c, 255);
  EXPECT_EQ(b.Get(0, 0), 0x123456u);
  EXPECT_EQ(b.Get(3, 0), RefWrite(b, c));
  // A range without end never fogs; one without start fogs everything.
  s.fogend = std::numeric_limits<float>::infinity();
  Quad(TargetOf(b), s, nullptr, 0, 0, 4, 4, 0.6f, 1, c, 255);
  EXPECT_EQ(b.Get(1, 1), RefWrite(b, c));
  s.fogstart = -s.fogend, s.fogend = 0.4f;
  Quad(TargetOf(b), s, nullptr, 0, 0, 4, 4, 0.1f, 1, c, 255);
  EXPECT_EQ(b.Get(1, 1), 0x123456u);
}

TEST(Raster, GouraudInterpolatesAcrossTheTriangle) {
  Buffer b(64, 8, 32);
  PixelState s = Plain();
  s.gouraud = true;
  ScreenVertex l0 = V(0, 0, 0.5f, 1, {0, 0, 0}), r0 = V(64, 0, 0.5f, 1, {255, 255, 255});
  ScreenVertex r1 = V(64, 8, 0.5f, 1, {255, 255, 255}), l1 = V(0, 8, 0.5f, 1, {0, 0, 0});
  soft3d::DrawTriangle(TargetOf(b), s, nullptr, l0, r0, r1, l0);
  soft3d::DrawTriangle(TargetOf(b), s, nullptr, l0, r1, l1, l0);
  for (int x = 0; x < 64; ++x) {
    int want = static_cast<int>(std::lround(x * 255.0 / 64));
    int got = static_cast<int>(b.Get(x, 4) & 0xFF);
    ASSERT_LE(std::abs(got - want), 1) << x;
  }
}

TEST(Raster, PerspectiveCorrectTexturing) {
  // A floor strip whose far end is 4 times as far away: halfway across the
  // screen is at 1/5 of the texture, not 1/2.
  Buffer b(100, 1, 32);
  std::vector<uint8_t> texmem(64 * 4);
  soft3d::Texture tex;
  tex.pixels.bits = texmem.data();
  tex.pixels.width = 64, tex.pixels.height = 1, tex.pixels.pitch = 256;
  for (int i = 0; i < 64; ++i) reinterpret_cast<uint32_t*>(texmem.data())[i] = 0x010000u * (i + 1);
  PixelState s = Plain();
  s.texblend = D3DTBLEND_DECAL;
  s.perspective = true;
  ScreenVertex a = V(0, -1, 0.5f, 1.0f, {255, 255, 255}, 255, 0, 0);
  ScreenVertex c = V(100, -1, 0.5f, 0.25f, {255, 255, 255}, 255, 1, 0);
  ScreenVertex d = V(0, 2, 0.5f, 1.0f, {255, 255, 255}, 255, 0, 0);
  ScreenVertex e = V(100, 2, 0.5f, 0.25f, {255, 255, 255}, 255, 1, 0);
  soft3d::DrawTriangle(TargetOf(b), s, &tex, a, c, e, a);
  soft3d::DrawTriangle(TargetOf(b), s, &tex, a, e, d, a);
  for (int x : {0, 25, 50, 75, 99}) {
    double t = x / 100.0;
    double u = (t * 0.25) / ((1 - t) * 1.0 + t * 0.25);
    uint32_t want = 0x010000u * (static_cast<int>(u * 64) + 1);
    EXPECT_EQ(b.Get(x, 0), want) << x;
  }
}

TEST(Raster, LinesDrawTheirLastPixelOnlyWhenAsked) {
  Buffer b(10, 10, 32);
  PixelState s = Plain();
  soft3d::DrawLine(TargetOf(b), s, nullptr, V(2, 3, 0.5f, 1, {0, 0, 9}), V(7, 3, 0.5f, 1, {0, 0, 9}),
                   V(2, 3, 0.5f, 1, {0, 0, 9}));
  for (int x = 0; x < 10; ++x) EXPECT_EQ(b.Get(x, 3), x >= 2 && x < 7 ? 9u : 0u) << x;
  s.lastpixel = true;
  soft3d::DrawLine(TargetOf(b), s, nullptr, V(1, 1, 0.5f, 1, {0, 0, 5}), V(4, 7, 0.5f, 1, {0, 0, 5}),
                   V(1, 1, 0.5f, 1, {0, 0, 5}));
  int count = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) count += b.Get(x, y) == 5;
  EXPECT_EQ(count, 7);  // one pixel a row from y 1 to 7
  EXPECT_EQ(b.Get(1, 1), 5u);
  EXPECT_EQ(b.Get(4, 7), 5u);
}

TEST(Raster, EightBitWritesTakeTheNearestPaletteEntry) {
  const uint32_t* pal = TestPalette();
  Buffer b(6, 1, 8, pal);
  // Exact entries (13 and 18 lie in one 5-bit cell), then colours between them.
  const Rgb cs[] = {{0, 0, 0}, {255, 255, 255}, {100, 100, 100}, {12, 200, 77}, {13, 13, 13}, {18, 18, 18}};
  for (int i = 0; i < 6; ++i) Quad(TargetOf(b), Plain(), nullptr, i, 0, i + 1, 1, 0.5f, 1, cs[i], 255);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b.Get(i, 0), RefNearest(pal, cs[i])) << i;
  EXPECT_EQ(pal[b.Get(4, 0)], 0x0D0D0Du);
  EXPECT_EQ(pal[b.Get(5, 0)], 0x121212u);
}

TEST(Raster, ClipRectangleAndBufferEdgesBoundEveryWrite) {
  Buffer b(10, 10, 16);
  soft3d::Target t = TargetOf(b);
  t.clip = {2, 3, 8, 6};
  Quad(t, Plain(), nullptr, -100, -100, 100, 100, 0.5f, 1, {255, 255, 255}, 255);
  int count = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) count += b.Get(x, y) != 0;
  EXPECT_EQ(count, 6 * 3);
  t.clip = {-5, -5, 50, 50};  // larger than the buffer: cut to it
  Quad(t, Plain(), nullptr, -1e7f, -1e7f, 1e7f, 1e7f, 0.5f, 1, {255, 255, 255}, 255);
  EXPECT_EQ(b.Get(9, 9), 0xFFFFu);
  // Not-a-number corners draw nothing.
  Buffer c(4, 4, 32);
  Quad(TargetOf(c), Plain(), nullptr, NAN, 0, 4, 4, 0.5f, 1, {255, 255, 255}, 255);
  EXPECT_EQ(c.Get(3, 3), 0u);
}

// Places far off the screen and slivers whose colour changes steeply convert
// to pixels without leaving the int range: what lies off the screen draws
// nothing, a sliver draws the colour at its pixel, and a depth that is no
// number is the nearest.
TEST(Raster, FarPlacesAndSteepSliversDrawWhatIsOnTheScreen) {
  Buffer b(40, 20, 32);
  const soft3d::Target t = TargetOf(b);
  PixelState s = Plain();
  for (float far : {1e20f, -1e20f, 3e9f, -3e9f}) {
    soft3d::DrawTriangle(t, s, nullptr, V(0, far, 0.5f), V(40, far, 0.5f), V(20, far * 2, 0.5f), V(0, far));
    soft3d::DrawPoint(t, s, nullptr, V(far, 5, 0.5f));
    soft3d::DrawPoint(t, s, nullptr, V(5, far, 0.5f));
    s.lastpixel = true;
    soft3d::DrawLine(t, s, nullptr, V(far, 5, 0.5f), V(far + far * 1e-6f, 6, 0.5f), V(far, 5, 0.5f));
    s.lastpixel = false;
  }
  EXPECT_EQ(std::count(b.mem.begin(), b.mem.end(), 0), static_cast<ptrdiff_t>(b.mem.size()));

  // A Gouraud sliver a hundred-thousandth of a pixel wide along column 3 draws
  // that edge's colour on the rows between its corners, the same by the fast
  // and the per-pixel spans.
  std::vector<uint8_t> texmem(4 * 4, 0xFF);
  soft3d::Texture tex;
  tex.pixels.bits = texmem.data();
  tex.pixels.width = 4, tex.pixels.height = 1, tex.pixels.pitch = 16;
  tex.pixels.format = b.pb.format;
  s.gouraud = true;
  const ScreenVertex top = V(3, 1, 0.5f, 1, {200, 100, 50}), tip = V(3.00001f, 10, 0.5f, 1, {0, 255, 0});
  const ScreenVertex bottom = V(3, 19, 0.5f, 1, {200, 100, 50});
  const soft3d::Texture* const textures[] = {nullptr, &tex};
  for (const soft3d::Texture* with : textures) {
    for (bool reference : {true, false}) {
      Buffer c(40, 20, 32);
      soft3d::UseReferenceSpans(reference);
      soft3d::DrawTriangle(TargetOf(c), s, with, top, tip, bottom, top);
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
          ASSERT_EQ(c.Get(x, y), x == 3 && y >= 2 && y < 19 ? 0xC86432u : 0u) << x << "," << y;
    }
  }
  soft3d::UseReferenceSpans(false);

  // Depths that are no number pass a "less or equal" test as the nearest.
  Buffer depth(40, 20, 16);
  std::fill(depth.mem.begin(), depth.mem.end(), 0);
  s = Plain();
  s.zenable = true;
  Quad(TargetOf(b, &depth), s, nullptr, 0, 0, 4, 4, NAN, 1, {1, 2, 3}, 255);
  EXPECT_EQ(b.Get(2, 2), 0x010203u);
}

// The fast spans against the per-pixel reference, bit for bit: random
// triangles (slivers, huge and off-screen ones, odd spans) over random targets
// and depth buffers, with every state the fast spans take (depth widths and
// writes, fog by depth and by eye distance, fog ranges of zero or not finite, perspective,
// blending, the colour key, textures with alpha, sizes that are not powers of
// two, every addressing mode) and some they leave alone.
TEST(Raster, FastSpansMatchTheReferenceBitForBit) {
  std::mt19937 rng(1313);
  auto uni = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
  struct Layout {
    int bpp;
    uint32_t r, g, b, a;
  } layouts[] = {{16, 0xF800, 0x07E0, 0x001F, 0}, {16, 0x7C00, 0x03E0, 0x001F, 0x8000},
                 {16, 0x0F00, 0x00F0, 0x000F, 0xF000}, {32, 0xFF0000, 0xFF00, 0xFF, 0},
                 {32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u}};
  for (int round = 0; round < 400; ++round) {
    const Layout& l = layouts[round % 5];
    const int w = 37 + round % 13, h = 23 + round % 7;
    Buffer color(w, h, l.bpp), depth(w, h, round % 3 == 2 ? 32 : 16);
    color.pb.format.rmask = l.r, color.pb.format.gmask = l.g, color.pb.format.bmask = l.b;
    for (auto& b : color.mem) b = static_cast<uint8_t>(rng());
    for (auto& b : depth.mem) b = static_cast<uint8_t>(rng() | 0x80);
    const int tw = round % 6 == 5 ? 3 + round % 7 : 1 << (1 + round % 5);
    const int th = round % 10 == 7 ? 5 + round % 3 : 1 << (round % 4);
    Buffer tex(tw, th, l.bpp);
    tex.pb.format = color.pb.format;
    for (int y = 0; y < th; ++y)
      for (int x = 0; x < tw; ++x) tex.Set(x, y, rng() % 6 == 0 ? 0 : rng());
    soft3d::Texture texture{tex.pb, l.a};
    soft3d::Target target{color.pb, depth.pb, {0, 0, w, h}};
    if (round % 11 == 0) target.depth.bits = nullptr;
    if (round % 7 == 0) target.clip = {3, 2, w - 4, h - 1};

    PixelState s;
    s.zenable = round % 13 != 0;
    s.zwrite = round % 5 != 1;
    s.gouraud = round % 4 != 3;
    s.perspective = round % 3 != 1;
    s.colorkey = round % 6 != 5;
    s.fog = round % 4 != 0;
    s.fog_eye = round % 8 == 3;
    s.fogstart = uni(0, 0.6f);
    s.fogend = round % 17 == 0 ? s.fogstart : s.fogstart + uni(0.05f, 1.5f);
    s.fogcolor = rng() & 0xFFFFFF;
    // Ranges that are not finite numbers.
    const float inf = std::numeric_limits<float>::infinity();
    if (round % 17 == 4) s.fogend = inf;
    if (round % 17 == 8) s.fogstart = -inf;
    if (round % 17 == 12) s.fogstart = -inf, s.fogend = inf;
    if (round % 17 == 15) s.fogend = std::numeric_limits<float>::quiet_NaN();
    s.blend = round % 9 == 4;
    s.srcblend = D3DBLEND_SRCALPHA, s.destblend = D3DBLEND_INVSRCALPHA;
    if (round % 19 == 0) s.zfunc = D3DCMP_LESS;
    if (round % 23 == 0) s.texblend = D3DTBLEND_MODULATE;
    const DWORD modes[] = {D3DTADDRESS_WRAP, D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP, D3DTADDRESS_MIRROR,
                           D3DTADDRESS_BORDER};
    s.address_u = modes[round % 5], s.address_v = modes[(round / 5) % 5];

    auto vertex = [&] {
      const bool far = rng() % 10 == 0;
      ScreenVertex v{uni(far ? -400.0f : -5.0f, far ? 400.0f : w + 5.0f), uni(far ? -300.0f : -5.0f, far ? 300.0f : h + 5.0f),
                     uni(-0.2f, 1.2f), uni(0.05f, 2.0f), uni(0, 300), uni(0, 300), uni(0, 300), uni(0, 300),
                     uni(-3, 3), uni(-3, 3)};
      return v;
    };
    Buffer want_color(color), want_depth(depth);
    soft3d::Target want{want_color.pb, want_depth.pb, target.clip};
    if (!target.depth.bits) want.depth.bits = nullptr;
    for (int tri = 0; tri < 6; ++tri) {
      ScreenVertex a = vertex(), b = vertex(), c = vertex();
      if (tri == 5) b.y = a.y + 0.01f, c.y = a.y - 0.01f;  // a sliver
      soft3d::UseReferenceSpans(true);
      soft3d::DrawTriangle(want, s, &texture, a, b, c, a);
      soft3d::UseReferenceSpans(false);
      soft3d::DrawTriangle(target, s, &texture, a, b, c, a);
    }
    ASSERT_EQ(color.mem, want_color.mem) << "round " << round;
    ASSERT_EQ(depth.mem, want_depth.mem) << "round " << round;
  }
}

}  // namespace
