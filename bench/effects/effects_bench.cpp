// The pixel effects over a 640 x 480 screen at 16 and 32 bits. The translucent
// (30 %), keyed-copy and additive blits run beside SDL2's SDL_BlitSurface on
// the same pixels (surface alpha, colour key, additive blend mode), from an
// opaque source, a sprite (a shape in a transparent border) and a source with
// scattered transparent pixels; the ratio ours / SDL2 is printed for each, and
// the hue blit's time at 32 bits over its time at 16.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/common/ratios.h"
#include "dx/effects/format.h"
#include "dx/effects/workers.h"
#include "platform/ddraw/ddraw.h"
#include "platform/host/headless_host.h"

using namespace dx::effects;

namespace {

constexpr int kW = 640, kH = 480;

enum class Source { Opaque, Sprite, Scattered };
const char* const kSourceNames[] = {"Opaque", "Sprite", "Scattered"};

// Random pixels of a depth; 0 (the key) only where the source kind puts it.
std::vector<uint8_t> Picture(int bpp, Source kind, uint32_t seed) {
  std::mt19937 rng(seed);
  const int bytes = bpp / 8;
  const uint32_t mask = bpp == 16 ? 0xFFFFu : 0xFFFFFFu;
  std::vector<uint8_t> out(static_cast<size_t>(kW) * kH * bytes);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      bool clear = false;
      if (kind == Source::Sprite) {
        const double dx = (x - kW / 2) / (kW * 0.4), dy = (y - kH / 2) / (kH * 0.4);
        clear = dx * dx + dy * dy > 1;
      } else if (kind == Source::Scattered) {
        clear = rng() % 3 == 0;
      }
      uint32_t v = clear ? 0 : (rng() & mask) | 1;
      std::memcpy(&out[(static_cast<size_t>(y) * kW + x) * bytes], &v, static_cast<size_t>(bytes));
    }
  }
  return out;
}

Blit Rows(uint8_t* dst, const uint8_t* src, int bytes, uint32_t param) {
  Blit b;
  b.dst = dst, b.dpitch = kW * bytes;
  b.src = src, b.spitch = kW * bytes;
  b.w = kW, b.h = kH;
  b.param = param;
  return b;
}

// --- Ours ---

void OurRows(benchmark::State& state, Mode mode, uint32_t param, int bpp, Source kind) {
  const Format format = bpp == 16 ? format565() : format32();
  std::vector<uint8_t> target = Picture(bpp, Source::Opaque, 1), source = Picture(bpp, kind, 2);
  const Blit b = Rows(target.data(), source.data(), bpp / 8, param);
  const BlitFn fn = worker(mode, bpp);
  for (auto _ : state) {
    fn(b, format);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

// The keyed copy of the DirectDraw stand-in, as dxblt draws a bitmap.
void OurKeyedCopy(benchmark::State& state, int bpp, Source kind) {
  host::HeadlessHost h;
  host::set(&h);
  IDirectDraw* dd = nullptr;
  DirectDrawCreate(nullptr, &dd, nullptr);
  auto make = [&](const std::vector<uint8_t>& pixels) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = kW, d.dwHeight = kH;
    d.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
    ddraw::ToDdPixelFormat(ddraw::FormatOfDepth(bpp), &d.ddpfPixelFormat);
    IDirectDrawSurface* s = nullptr;
    dd->CreateSurface(&d, &s, nullptr);
    const platform::PixelBuffer pb = s->pixels();
    for (int y = 0; y < kH; ++y) std::memcpy(pb.bits + y * pb.pitch, &pixels[y * kW * (bpp / 8)], kW * (bpp / 8));
    return s;
  };
  IDirectDrawSurface* dst = make(Picture(bpp, Source::Opaque, 1));
  IDirectDrawSurface* src = make(Picture(bpp, kind, 2));
  DDCOLORKEY key{0, 0};
  src->SetColorKey(DDCKEY_SRCBLT, &key);
  for (auto _ : state) {
    benchmark::DoNotOptimize(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
  src->Release();
  dst->Release();
  dd->Release();
  host::set(nullptr);
}

// --- SDL2 ---

enum class SdlOp { Translucent30, KeyedCopy, Additive };

SDL_Surface* SdlPicture(int bpp, const std::vector<uint8_t>& pixels) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, bpp,
                                                  bpp == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888);
  for (int y = 0; y < kH; ++y)
    std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch, &pixels[y * kW * (bpp / 8)], kW * (bpp / 8));
  return s;
}

void SdlBlit(benchmark::State& state, SdlOp op, int bpp, Source kind) {
  SDL_Surface* dst = SdlPicture(bpp, Picture(bpp, Source::Opaque, 1));
  SDL_Surface* src = SdlPicture(bpp, Picture(bpp, kind, 2));
  // Our blits pass over pixels of value 0: SDL2's do with a colour key, which
  // an opaque source does not need.
  if (op == SdlOp::KeyedCopy || kind != Source::Opaque) SDL_SetColorKey(src, SDL_TRUE, 0);
  if (op == SdlOp::Translucent30) {
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(src, 77);  // 30 % of 255
  } else if (op == SdlOp::Additive) {
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_ADD);
  } else {
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
  }
  for (auto _ : state) {
    if (SDL_BlitSurface(src, nullptr, dst, nullptr) != 0) {
      state.SkipWithError(SDL_GetError());
      break;
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

// --- The other effects, ours only ---

void OtherRows(benchmark::State& state, Mode mode, int bpp, bool word) {
  const Format format = bpp == 16 ? format565() : format32();
  std::vector<uint8_t> target = Picture(bpp, Source::Opaque, 1), source = Picture(bpp, Source::Scattered, 2);
  Blit b = Rows(target.data(), mode < Mode::FillAlpha ? source.data() : nullptr, bpp / 8, 50);
  uint32_t pattern[4] = {0xFF00FF00, 0x00FF00FF, 0xFF00FF00, 0x00FF00FF};
  b.pattern = pattern;
  if (mode >= Mode::Silhouette) b.param = 0x4208u, b.param2 = 50;
  const BlitFn fn = word ? word_worker(mode, bpp) : worker(mode, bpp);
  for (auto _ : state) {
    fn(b, format);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

struct Named {
  Mode mode;
  const char* name;
};
const Named kRows[] = {{Mode::Alpha, "Alpha"},     {Mode::Add, "Add"},     {Mode::AddPct, "AddPct"},
                       {Mode::Sub, "Sub"},         {Mode::Half, "Half"},   {Mode::Darken, "Darken"},
                       {Mode::Grey, "Grey"},       {Mode::Hue, "Hue"},     {Mode::Mesh, "Mesh"},
                       {Mode::FillAlpha, "FillAlpha"}, {Mode::FillAdd, "FillAdd"}};


}  // namespace

int main(int argc, char** argv) {
  for (int bpp : {16, 32}) {
    const std::string depth = "/" + std::to_string(bpp);
    for (Source kind : {Source::Opaque, Source::Sprite, Source::Scattered}) {
      const std::string src = kSourceNames[static_cast<int>(kind)];
      benchmark::RegisterBenchmark(("Ours/Translucent30/" + src + depth).c_str(), OurRows, Mode::Alpha, 30u, bpp, kind);
      benchmark::RegisterBenchmark(("SDL2/Translucent30/" + src + depth).c_str(), SdlBlit, SdlOp::Translucent30, bpp,
                                   kind);
      benchmark::RegisterBenchmark(("Ours/KeyedCopy/" + src + depth).c_str(), OurKeyedCopy, bpp, kind);
      benchmark::RegisterBenchmark(("SDL2/KeyedCopy/" + src + depth).c_str(), SdlBlit, SdlOp::KeyedCopy, bpp, kind);
      benchmark::RegisterBenchmark(("Ours/Additive/" + src + depth).c_str(), OurRows, Mode::Add, 0u, bpp, kind);
      benchmark::RegisterBenchmark(("SDL2/Additive/" + src + depth).c_str(), SdlBlit, SdlOp::Additive, bpp, kind);
    }
    for (const Named& r : kRows) {
      benchmark::RegisterBenchmark(("Rows/" + std::string(r.name) + depth).c_str(), OtherRows, r.mode, bpp, false);
      if (word_worker(r.mode, bpp) != worker(r.mode, bpp))
        benchmark::RegisterBenchmark(("WordRows/" + std::string(r.name) + depth).c_str(), OtherRows, r.mode, bpp, true);
    }
  }
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter("SDL2", true);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios("ratio ours/SDL2 (aim: 1.0 or less; additive: stay ahead)", "  %-30s %6.2f\n");
  double h16 = reporter.time("Rows/Hue/16"), h32 = reporter.time("Rows/Hue/32");
  if (h16 > 0 && h32 > 0) std::printf("\nhue blit, 32 bits over 16 (aim: 2 or less) %6.2f\n", h32 / h16);
  benchmark::Shutdown();
  return 0;
}
