// Every fast worker against the per-channel reference, bit for bit, at every
// depth and layout, over random pictures with transparent pixels, odd widths
// and the bytes around each row.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "dx/effects/format.h"
#include "dx/effects/hue.h"
#include "dx/effects/workers.h"

using namespace dx::effects;

namespace {

struct Depth {
  const char* name;
  int bpp;
  Format format;
};

std::vector<Depth> depths() {
  return {{"8", 8, format8()}, {"565", 16, format565()}, {"555", 16, format555()},
          {"24", 24, format24()}, {"32", 32, format32()}};
}

// Random pixels of a layout: a share of 0s (the key), of channel extremes and of
// arbitrary values. Bits outside the channels stay 0 at 16 bits (no drawing
// makes them) and take any value in the fourth byte at 32 bits.
uint32_t random_pixel(std::mt19937& rng, const Depth& d) {
  uint32_t r = rng();
  const uint32_t pixel = d.bpp == 32 ? 0xFFFFFFFFu : (1u << d.bpp) - 1;
  const uint32_t channels = d.format.allmask & pixel;
  switch (r % 8) {
    case 0:
    case 1: return 0;
    case 2: return channels;
    case 3: return rng() & channels & (r & 0x10000 ? d.format.topmask : ~d.format.topmask);
    default: return d.bpp == 32 ? rng() : rng() & channels;
  }
}

struct Picture {
  int w, h, bytes, pitch;
  std::vector<uint8_t> data;
  uint8_t* at(int x, int y) { return data.data() + y * pitch + x * bytes; }
};

// Rows padded by a few guard bytes so that writes past a row's end show.
Picture random_picture(std::mt19937& rng, const Depth& d, int w, int h) {
  Picture p{w, h, d.bpp / 8, w * (d.bpp / 8) + 5, {}};
  p.data.resize(static_cast<size_t>(p.pitch) * h + 3);
  for (auto& b : p.data) b = static_cast<uint8_t>(rng());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t v = random_pixel(rng, d);
      for (int i = 0; i < p.bytes; ++i) p.at(x, y)[i] = static_cast<uint8_t>(v >> (8 * i));
    }
  }
  return p;
}

struct Case {
  Mode mode;
  const char* name;
};

const Case kCases[] = {
    {Mode::Add, "Add"}, {Mode::AddPct, "AddPct"}, {Mode::Sub, "Sub"}, {Mode::Alpha, "Alpha"},
    {Mode::Half, "Half"}, {Mode::Mesh, "Mesh"}, {Mode::Grey, "Grey"}, {Mode::Darken, "Darken"},
    {Mode::Lighten, "Lighten"}, {Mode::Hue, "Hue"}, {Mode::Masked, "Masked"}, {Mode::Silhouette, "Silhouette"},
    {Mode::SilhouetteAdd, "SilhouetteAdd"}, {Mode::SilhouetteAlpha, "SilhouetteAlpha"},
    {Mode::FillAlpha, "FillAlpha"}, {Mode::FillHalf, "FillHalf"}, {Mode::FillAdd, "FillAdd"},
    {Mode::FillSub, "FillSub"}, {Mode::FillMul, "FillMul"}, {Mode::FillDarken, "FillDarken"},
    {Mode::FillLighten, "FillLighten"}, {Mode::FillMesh, "FillMesh"},
};
static_assert(std::size(kCases) == kModeCount);

bool is_fill(Mode m) { return static_cast<int>(m) >= static_cast<int>(Mode::FillAlpha); }

class WorkerMatchesReference : public ::testing::TestWithParam<Case> {};

TEST_P(WorkerMatchesReference, AtEveryDepth) {
  const Mode mode = GetParam().mode;
  std::mt19937 rng(static_cast<uint32_t>(mode) * 7919u + 1);
  const int32_t params[] = {0, 1, 10, 33, 48, 49, 50, 51, 52, 66, 99, 100, 150};
  const int32_t hue_offsets[] = {0, 1, 255, 256, 700, 1535, 1536, 3000, -1, -1536, -700};
  for (const Depth& d : depths()) {
    for (int round = 0; round < 60; ++round) {
      const int w = 1 + round % 11, h = 1 + (round / 3) % 6;
      Picture target = random_picture(rng, d, w, h);
      Picture source = random_picture(rng, d, w, h);
      Picture mask = random_picture(rng, d, w, h);
      uint32_t pattern[4];
      for (auto& row : pattern) {
        row = 0;
        for (int i = 0; i < 4; ++i) row |= (rng() & 1 ? 0xFFu : 0u) << (8 * i);
      }
      Blit b;
      b.w = w, b.h = h;
      b.spitch = source.pitch, b.mpitch = mask.pitch, b.dpitch = target.pitch;
      b.src = is_fill(mode) ? nullptr : source.data.data();
      b.mask = mask.data.data();
      b.pattern = pattern;
      b.param = static_cast<uint32_t>(params[round % std::size(params)]);
      if (mode == Mode::Hue) b.param = static_cast<uint32_t>(hue_offsets[round % std::size(hue_offsets)]);
      if (mode >= Mode::Silhouette) {
        b.param = random_pixel(rng, d);
        b.param2 = static_cast<uint32_t>(params[round % std::size(params)]);
      }
      Picture fast = target, ref = target;
      b.dst = fast.data.data();
      worker(mode, d.bpp)(b, d.format);
      b.dst = ref.data.data();
      reference(mode)(b, d.format);
      ASSERT_EQ(fast.data, ref.data) << GetParam().name << " at " << d.name << " bits, " << w << " x " << h
                                     << ", parameter " << b.param << "/" << b.param2;
      // Nothing outside the rectangle moved.
      for (int y = 0; y < h; ++y) {
        for (int i = w * target.bytes; i < target.pitch && y * target.pitch + i < int(target.data.size()); ++i) {
          ASSERT_EQ(fast.data[y * target.pitch + i], target.data[y * target.pitch + i]);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, WorkerMatchesReference, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorkerTable, CoversTheFourDepthsOnly) {
  for (const Case& c : kCases) {
    for (int bpp : {8, 16, 24, 32}) EXPECT_NE(worker(c.mode, bpp), nullptr);
    EXPECT_EQ(worker(c.mode, 15), nullptr);
    EXPECT_EQ(worker(c.mode, 0), nullptr);
  }
  EXPECT_EQ(worker(Mode::Count, 16), nullptr);
}

TEST(Format, LayoutsOfTheDisplayModes) {
  struct Want {
    Format f;
    uint32_t all, low, nonlow, top;
  } want[] = {{format8(), 0xFFFFFFFF, 0x25252525, 0xDADADADA, 0x92929292},
              {format565(), 0xFFFFFFFF, 0x08210821, 0xF7DEF7DE, 0x84108410},
              {format555(), 0x7FFF7FFF, 0x04210421, 0x7BDE7BDE, 0x42104210},
              {format24(), 0x00FFFFFF, 0x00010101, 0x00FEFEFE, 0x00808080},
              {format32(), 0x00FFFFFF, 0x00010101, 0x00FEFEFE, 0x00808080}};
  for (const Want& w : want) {
    EXPECT_EQ(w.f.allmask, w.all);
    EXPECT_EQ(w.f.lowmask, w.low);
    EXPECT_EQ(w.f.nonlowmask, w.nonlow);
    EXPECT_EQ(w.f.topmask, w.top);
  }
  Format f = format565();
  EXPECT_EQ(f.rmask, 0xF800F800u);
  EXPECT_EQ(f.gmask, 0x07E007E0u);
  EXPECT_EQ(f.bmask, 0x001F001Fu);
  EXPECT_EQ(f.rshift, 11u);
  EXPECT_EQ(f.gshift, 5u);
  EXPECT_EQ(f.rloss, 3u);
  EXPECT_EQ(f.gloss, 2u);
  EXPECT_EQ(f.bytesperpixel, 2u);
  f = format8();
  EXPECT_EQ(f.rshift, 5u);
  EXPECT_EQ(f.bloss, 6u);
}

// Every row done sixteen bytes at a time against the same row done a word at
// a time, bit for bit: any bits at all in target and source, transparent runs
// and single transparent pixels, widths round the vector's size, every byte
// alignment of both rows, and a source that overlaps the target.
TEST(WideRows, MatchTheWordRowsBitForBit) {
  std::mt19937 rng(4242);
  const int32_t params[] = {0, 1, 10, 30, 33, 50, 66, 99, 100, 150, 0x12345, -1, -700, 3000, 1535};
  int checked = 0;
  for (const Depth& d : depths()) {
    if (d.bpp != 16 && d.bpp != 32) continue;
    const int bytes = d.bpp / 8;
    for (const Case& c : kCases) {
      const BlitFn wide = worker(c.mode, d.bpp), word = word_worker(c.mode, d.bpp);
      if (wide == word) continue;
      ++checked;
      for (int round = 0; round < 150; ++round) {
        const int w = 1 + static_cast<int>(rng() % 70), h = 1 + static_cast<int>(rng() % 4);
        const int dalign = static_cast<int>(rng() % 16), salign = static_cast<int>(rng() % 16);
        const int dpitch = w * bytes + static_cast<int>(rng() % 20), spitch = w * bytes + static_cast<int>(rng() % 20);
        std::vector<uint8_t> target(static_cast<size_t>(dalign + dpitch * h + 16)), source(salign + spitch * h + 16);
        for (auto& b : target) b = static_cast<uint8_t>(rng());
        for (auto& b : source) b = static_cast<uint8_t>(rng());
        // Transparent pixels: scattered, in runs, or none.
        const unsigned share = rng() % 4;
        for (int y = 0; y < h; ++y) {
          bool run = false;
          for (int x = 0; x < w; ++x) {
            if (rng() % 9 == 0) run = !run;
            const bool clear = share == 1 ? rng() % 3 == 0 : share == 2 ? run : share == 3 && rng() % 2 == 0;
            if (!clear) continue;
            uint8_t* p = source.data() + salign + y * spitch + x * bytes;
            for (int i = 0; i < bytes; ++i) p[i] = 0;
            if (bytes == 4 && rng() % 2) p[3] = static_cast<uint8_t>(rng());  // only the fourth byte set
          }
        }
        Blit b;
        b.w = w, b.h = h, b.dpitch = dpitch, b.spitch = spitch;
        b.src = source.data() + salign;
        b.param = static_cast<uint32_t>(params[rng() % std::size(params)]);
        std::vector<uint8_t> fast = target, slow = target;
        b.dst = fast.data() + dalign;
        wide(b, d.format);
        b.dst = slow.data() + dalign;
        word(b, d.format);
        ASSERT_EQ(fast, slow) << c.name << " at " << d.name << ", " << w << " x " << h << ", parameter " << b.param;

        // The source a few bytes into the target's own rows.
        std::vector<uint8_t> self_fast = target, self_slow = target;
        const int shift = static_cast<int>(rng() % 9);
        b.dst = self_fast.data() + dalign, b.src = b.dst + shift, b.spitch = dpitch;
        wide(b, d.format);
        b.dst = self_slow.data() + dalign, b.src = b.dst + shift;
        word(b, d.format);
        ASSERT_EQ(self_fast, self_slow) << c.name << " over itself at " << d.name << ", " << w << " x " << h;
      }
    }
  }
  EXPECT_GE(checked, 12);
}

}  // namespace
