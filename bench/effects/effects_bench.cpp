// The main blits and fills over a 640 x 480 screen at 16 and 32 bits, fast
// worker against the per-channel reference.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "dx/effects/format.h"
#include "dx/effects/workers.h"

using namespace dx::effects;

namespace {

constexpr int kW = 640, kH = 480;

struct Screen {
  Format format;
  int bytes;
  std::vector<uint8_t> target, source;
  uint32_t pattern[4] = {0xFF00FF00, 0x00FF00FF, 0xFF00FF00, 0x00FF00FF};

  explicit Screen(int bpp) : format(bpp == 16 ? format565() : format32()), bytes(bpp / 8) {
    std::mt19937 rng(7);
    target.resize(static_cast<size_t>(kW * kH * bytes));
    source.resize(target.size());
    for (auto& b : target) b = static_cast<uint8_t>(rng());
    for (auto& b : source) b = static_cast<uint8_t>(rng());
  }
  Blit blit(Mode mode) {
    Blit b;
    b.dst = target.data(), b.dpitch = kW * bytes;
    if (mode < Mode::FillAlpha) b.src = source.data(), b.spitch = kW * bytes;
    b.w = kW, b.h = kH;
    b.param = mode >= Mode::Silhouette ? 0x4208u : 50u;
    b.param2 = 50;
    b.pattern = pattern;
    return b;
  }
};

void run(benchmark::State& state, Mode mode, int bpp, bool fast) {
  Screen screen(bpp);
  const Blit b = screen.blit(mode);
  const BlitFn fn = fast ? worker(mode, bpp) : reference(mode);
  for (auto _ : state) {
    fn(b, screen.format);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

#define DX_BENCH(mode)                                                       \
  BENCHMARK_CAPTURE(run, mode##_16, Mode::mode, 16, true);                  \
  BENCHMARK_CAPTURE(run, mode##_32, Mode::mode, 32, true);

DX_BENCH(Alpha)
DX_BENCH(Add)
DX_BENCH(AddPct)
DX_BENCH(Sub)
DX_BENCH(Half)
DX_BENCH(Darken)
DX_BENCH(Grey)
DX_BENCH(Hue)
DX_BENCH(Mesh)
DX_BENCH(FillAlpha)
DX_BENCH(FillAdd)
BENCHMARK_CAPTURE(run, Alpha_16_reference, Mode::Alpha, 16, false);
BENCHMARK_CAPTURE(run, Alpha_32_reference, Mode::Alpha, 32, false);

}  // namespace
