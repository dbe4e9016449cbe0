// Worked values of the effects' definitions: these pin the reference itself.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dx/effects/format.h"
#include "dx/effects/hue.h"
#include "dx/effects/workers.h"

using namespace dx::effects;

namespace {

// One row of pixels of 1 to 4 bytes, stored little-endian.
struct Row {
  int bytes;
  std::vector<uint8_t> data;
  Row(int bytes_, std::vector<uint32_t> px) : bytes(bytes_), data(px.size() * static_cast<size_t>(bytes_)) {
    for (size_t i = 0; i < px.size(); ++i) set(static_cast<int>(i), px[i]);
  }
  void set(int x, uint32_t v) {
    for (int i = 0; i < bytes; ++i) data[static_cast<size_t>(x * bytes + i)] = static_cast<uint8_t>(v >> (8 * i));
  }
  uint32_t operator[](int x) const {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(data[static_cast<size_t>(x * bytes + i)]) << (8 * i);
    return v;
  }
  int width() const { return static_cast<int>(data.size()) / bytes; }
};

// Runs a mode's fast worker over one row (or h rows of the same pitch).
void run(Mode mode, const Format& f, Row& dst, const Row* src, uint32_t param = 0, uint32_t param2 = 0,
         const uint32_t* pattern = nullptr, int h = 1) {
  Blit b;
  b.w = dst.width() / h, b.h = h;
  b.dst = dst.data.data(), b.dpitch = b.w * dst.bytes;
  if (src) b.src = src->data.data(), b.spitch = b.dpitch;
  b.param = param, b.param2 = param2, b.pattern = pattern;
  worker(mode, static_cast<int>(f.bytesperpixel) * 8)(b, f);
}

TEST(Alpha, EndsOfThePercentage) {
  Row t32(4, {0x11223344, 0x00FF00FF}), s32(4, {0xAA102030, 0x00000000});
  Row r = t32;
  run(Mode::Alpha, format32(), r, &s32, 0);
  EXPECT_EQ(r[0], 0x00223344u);  // colour kept, fourth byte cleared
  EXPECT_EQ(r[1], 0x00FF00FFu);  // key
  r = t32;
  run(Mode::Alpha, format32(), r, &s32, 100);
  EXPECT_EQ(r[0], 0x00102030u);
  // Beyond 100 counts as 100.
  r = t32;
  run(Mode::Alpha, format32(), r, &s32, 250);
  EXPECT_EQ(r[0], 0x00102030u);

  Row t16(2, {0x1234, 0xFFFF}), s16(2, {0x8421, 0x0841});
  r = t16;
  run(Mode::Alpha, format565(), r, &s16, 100);
  EXPECT_EQ(r[0], 0x8421u);
  EXPECT_EQ(r[1], 0x0841u);
  // 50 percent is w = 16: (t + s) >> 1 per channel, rounding down.
  Row t(2, {(31u << 11) | (63u << 5) | 1u}), s(2, {(2u << 11) | (0u << 5) | 2u});
  run(Mode::Alpha, format565(), t, &s, 50);
  EXPECT_EQ(t[0], (16u << 11) | (31u << 5) | 1u);
}

TEST(Alpha, ASourceWithOnlyItsFourthByteIsDrawnAt32Bits) {
  Row t(4, {0x00123456}), s(4, {0xFF000000});
  run(Mode::Alpha, format32(), t, &s, 100);
  EXPECT_EQ(t[0], 0u);
  // The solid silhouette keys on the colour bytes alone.
  Row t2(4, {0x00123456});
  run(Mode::Silhouette, format32(), t2, &s, 0x00FFFFFF);
  EXPECT_EQ(t2[0], 0x00123456u);
}

TEST(AddPct, FullEqualsAddAndZeroKeepsTheTarget) {
  for (const Format& f : {format8(), format565(), format555(), format24(), format32()}) {
    const int bytes = static_cast<int>(f.bytesperpixel);
    const uint32_t mask = f.allmask & (bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1);
    Row t(bytes, {0x12345678u & mask, mask, 0x01010101u & mask, 0x00808080u & mask, 0x0F0Fu & mask});
    Row s(bytes, {0x9ABCDEF0u & mask, 0x11111111u & mask, mask, 0x00808080u & mask, 0x7070u & mask});
    Row a = t, b = t, z = t;
    run(Mode::AddPct, f, a, &s, 100);
    run(Mode::Add, f, b, &s);
    EXPECT_EQ(a.data, b.data) << f.bytesperpixel;
    run(Mode::AddPct, f, z, &s, 0);
    EXPECT_EQ(z.data, t.data) << f.bytesperpixel;
  }
  // At 32 bits, 50 percent adds half of each source channel.
  Row t(4, {0x00102030}), s(4, {0x00FF8040});
  run(Mode::AddPct, format32(), t, &s, 50);
  EXPECT_EQ(t[0], 0x008F6050u);
}

TEST(AddSub, WhiteSaturatesAndEqualSubtractsToBlack) {
  Row t(2, {0x1234, 0x8410, 0x0001}), s(2, {0xFFFF, 0xFFFF, 0});
  run(Mode::Add, format565(), t, &s);
  EXPECT_EQ(t[0], 0xFFFFu);
  EXPECT_EQ(t[1], 0xFFFFu);
  EXPECT_EQ(t[2], 0x0001u);
  Row u(3, {0x123456, 0xABCDEF}), v(3, {0x123456, 0xABCDEF});
  run(Mode::Sub, format24(), u, &v);
  EXPECT_EQ(u[0], 0u);
  EXPECT_EQ(u[1], 0u);
  // Channels clamp at 0 one by one.
  Row w(4, {0x00805020}), x(4, {0x00106030});
  run(Mode::Sub, format32(), w, &x);
  EXPECT_EQ(w[0], 0x00700000u);
}

TEST(Half, RoundsDownAt8BitsAndUpElsewhere) {
  Row t8(1, {0x01}), s8(1, {0x02});
  run(Mode::Half, format8(), t8, &s8);
  EXPECT_EQ(t8[0], 0x01u);
  Row t16(2, {0x0001}), s16(2, {0x0002});
  run(Mode::Half, format565(), t16, &s16);
  EXPECT_EQ(t16[0], 0x0002u);
  // The half fill rounds down everywhere: black onto white gives 127.
  Row w(4, {0x00FFFFFF});
  run(Mode::FillHalf, format32(), w, nullptr, 0x01000000);
  EXPECT_EQ(w[0], 0x007F7F7Fu);
}

TEST(Grey, WorkedValuesAtEachDepth) {
  Row t32(4, {0x11111111}), s32(4, {0x00FF0000});
  run(Mode::Grey, format32(), t32, &s32);
  EXPECT_EQ(t32[0], 0x003F3F3Fu);
  Row t16(2, {0}), s16(2, {0xF800});
  run(Mode::Grey, format565(), t16, &s16);
  EXPECT_EQ(t16[0], (7u << 11) | (15u << 5) | 7u);
  Row t8(1, {0}), s8(1, {0xE0});
  run(Mode::Grey, format8(), t8, &s8);
  EXPECT_EQ(t8[0], (2u << 5) | (2u << 2) | 1u);
}

TEST(DarkenLighten, WhiteAndEqualSourcesKeepTheTarget) {
  Row t(4, {0x00123456, 0x00ABCDEF}), white(4, {0x00FFFFFF, 0x00ABCDEF});
  Row d = t;
  run(Mode::Darken, format32(), d, &white);
  EXPECT_EQ(d.data, t.data);
  Row mixed(4, {0x00301070, 0x00FF0000});
  d = t;
  run(Mode::Darken, format32(), d, &mixed);
  EXPECT_EQ(d[0], 0x00121056u);
  Row l = t;
  run(Mode::Lighten, format32(), l, &mixed);
  EXPECT_EQ(l[0], 0x00303470u);
  EXPECT_EQ(l[1], 0x00FFCDEFu);
}

TEST(PairRule, OneTransparentPixelOfAPairLeavesItsTarget) {
  Row t(2, {0x1111, 0x2222, 0x3333, 0x4444}), s(2, {0, 0xFFFF, 0x8000, 0});
  run(Mode::Alpha, format565(), t, &s, 100);
  EXPECT_EQ(t[0], 0x1111u);
  EXPECT_EQ(t[1], 0xFFFFu);
  EXPECT_EQ(t[2], 0x8000u);
  EXPECT_EQ(t[3], 0x4444u);
  // The silhouettes give each pixel of a pair its own result.
  Row u(2, {0x0821, 0x0821}), shape(2, {0, 0x1234});
  run(Mode::SilhouetteAdd, format565(), u, &shape, 0x0821);
  EXPECT_EQ(u[0], 0x0821u);
  EXPECT_EQ(u[1], 0x1042u);
}

TEST(PartialWord, TheRowEndsExactlyAtTheBufferEnd) {
  // Width 5 at 8 bits: one word and one trailing pixel; the buffer ends right
  // after the row, so a word-sized access past it would leave the buffer.
  for (int w = 1; w <= 7; ++w) {
    std::vector<uint32_t> px(static_cast<size_t>(w), 0x25);
    Row t(1, px), s(1, std::vector<uint32_t>(static_cast<size_t>(w), 0x49));
    run(Mode::Add, format8(), t, &s);
    for (int x = 0; x < w; ++x) EXPECT_EQ(t[x], 0x6Eu);
    Row f(1, px);
    run(Mode::FillAlpha, format8(), f, nullptr, 0xFF, 100);
    for (int x = 0; x < w; ++x) EXPECT_EQ(f[x], 0xFFu);
  }
}

TEST(Mesh, PatternRowsFollowTheRowsLeft) {
  // Each row word lets a different column through; with 4 rows the rows use
  // pattern words 3, 0, 1, 2; with 1 row, word 2.
  const uint32_t pattern[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
  Row t(4, std::vector<uint32_t>(16, 0)), s(4, std::vector<uint32_t>(16, 7));
  run(Mode::Mesh, format32(), t, &s, 0, 0, pattern, 4);
  const int column_of_row[4] = {3, 0, 1, 2};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(t[y * 4 + x], x == column_of_row[y] ? 7u : 0u) << x << "," << y;
  }
  Row one(2, {0, 0, 0, 0, 0}), src(2, {5, 5, 5, 5, 5});
  run(Mode::Mesh, format565(), one, &src, 0, 0, pattern);
  EXPECT_EQ(one[2], 5u);
  EXPECT_EQ(one[0] + one[1] + one[3], 0u);
  const uint32_t all[4] = {~0u, ~0u, ~0u, ~0u}, none[4] = {0, 0, 0, 0};
  Row a(1, {1, 2, 3, 4, 5}), b2(1, {9, 0, 9, 0, 9});
  run(Mode::Mesh, format8(), a, &b2, 0, 0, all);
  EXPECT_EQ(a.data, (std::vector<uint8_t>{9, 2, 9, 4, 9}));
  run(Mode::Mesh, format8(), a, &b2, 0, 0, none);
  EXPECT_EQ(a.data, (std::vector<uint8_t>{9, 2, 9, 4, 9}));
}

TEST(Hue, FullTurnsAndGreysDrawTheSamePicture) {
  Row s(3, {0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0x3060C0});
  Row a(3, {1, 1, 1, 1, 1}), b = a, c = a;
  run(Mode::Hue, format24(), a, &s, 0);
  run(Mode::Hue, format24(), b, &s, 1536);
  run(Mode::Hue, format24(), c, &s, static_cast<uint32_t>(-1536));
  EXPECT_EQ(a.data, b.data);
  EXPECT_EQ(a.data, c.data);
  EXPECT_EQ(a[0], 0xFE0000u);
  EXPECT_EQ(a[1], 0x00FE00u);
  EXPECT_EQ(a[2], 0x0000FEu);  // blue stays blue
  EXPECT_EQ(a[3], 0x808080u);
  EXPECT_EQ(normalize_hue_offset(3000), 1464);
  EXPECT_EQ(normalize_hue_offset(-1), 1535);
  // A third of a turn takes red to green.
  Row g(3, {1});
  Row red(3, {0xFF0000});
  run(Mode::Hue, format24(), g, &red, 512);
  EXPECT_EQ(g[0], 0x00FE00u);
}

TEST(Hue, OffsetZeroGivesTheColourBack) {
  // Every hue sector, including red to yellow and cyan to blue.
  uint32_t seed = 1;
  for (int i = 0; i < 4000; ++i) {
    seed = seed * 1103515245u + 12345u;
    uint32_t px = (seed >> 8) & 0xFFFFFF;
    if (px == 0) continue;
    Row t(4, {0}), s(4, {px});
    run(Mode::Hue, format32(), t, &s, 0);
    for (int sh : {0, 8, 16}) {
      int want = static_cast<int>(px >> sh & 0xFF), got = static_cast<int>(t[0] >> sh & 0xFF);
      ASSERT_LE(std::abs(want - got), 2) << std::hex << px << " -> " << t[0];
    }
  }
}

TEST(Hue, TheCacheFollowsTheOffset) {
  Row s(2, {0xF800});
  Row t(2, {0});
  run(Mode::Hue, format565(), t, &s, 100);
  EXPECT_TRUE(hue_cached(16, 0xF800, 100));
  EXPECT_FALSE(hue_cached(16, 0xF800, 101));
  const uint32_t first = t[0];
  run(Mode::Hue, format565(), t, &s, 101);
  EXPECT_TRUE(hue_cached(16, 0xF800, 101));
  EXPECT_FALSE(hue_cached(16, 0xF800, 100));
  Row again(2, {0});
  run(Mode::Hue, format565(), again, &s, 100);
  EXPECT_EQ(again[0], first);
}

TEST(Fills, MultiplyAndDitherPattern) {
  Row t(2, {0x1234, 0xFFFF, 0x8410});
  Row white = t, black = t;
  run(Mode::FillMul, format565(), white, nullptr, 0xFFFF);
  EXPECT_EQ(white.data, t.data);
  run(Mode::FillMul, format565(), black, nullptr, 0);
  EXPECT_EQ(black[0] | black[1] | black[2], 0u);
  Row t555(2, {0x1234, 0x7FFF});
  Row w555 = t555;
  run(Mode::FillMul, format555(), w555, nullptr, 0x7FFF);
  EXPECT_EQ(w555.data, t555.data);
  // A checkerboard whose phase follows the height.
  const uint32_t checker[4] = {0xFF00FF00, 0x00FF00FF, 0xFF00FF00, 0x00FF00FF};
  Row r3(4, std::vector<uint32_t>(12, 0));
  run(Mode::FillMesh, format32(), r3, nullptr, 9, 0, checker, 3);
  EXPECT_EQ(r3[0], 0u);  // 3 rows left: word 0, columns 1 and 3
  EXPECT_EQ(r3[1], 9u);
  Row r2(4, std::vector<uint32_t>(8, 0));
  run(Mode::FillMesh, format32(), r2, nullptr, 9, 0, checker, 2);
  EXPECT_EQ(r2[0], 9u);  // 2 rows left: word 1, columns 0 and 2
  EXPECT_EQ(r2[1], 0u);
}

TEST(Fills, AlphaEndsAt16Bits) {
  Row t(2, {0x1234, 0xABCD, 0x0001});
  Row z = t, full = t;
  run(Mode::FillAlpha, format565(), z, nullptr, 0xF81F, 0);
  EXPECT_EQ(z.data, t.data);
  run(Mode::FillAlpha, format565(), full, nullptr, 0xF81F, 100);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(full[x], 0xF81Fu);
}

}  // namespace
