// The display's per-frame costs: a whole present, the memory switch the 3-D view
// makes twice a frame, and keyed blits between surfaces.
#include <benchmark/benchmark.h>

#include "dx/dx.h"
#include "platform/host/headless_host.h"

namespace {

struct Display {
  host::HeadlessHost h;
  explicit Display(int depth) {
    host::set(&h);
    h.set_quiet(true);
    h.set_frames_kept(0);
    dxinit("bench", 640, 480, depth, false);
  }
  ~Display() {
    dxrelease();
    host::set(nullptr);
  }
};

void BM_Present(benchmark::State& state) {
  Display d(static_cast<int>(state.range(0)));
  for (auto _ : state) dxpresent();
}
BENCHMARK(BM_Present)->Arg(16)->Arg(32);

void BM_UseVramTwice(benchmark::State& state) {
  Display d(32);
  for (auto _ : state) {
    dxusevram(false);
    dxusevram(true);
  }
}
BENCHMARK(BM_UseVramTwice);

void BM_KeyedBlt(benchmark::State& state) {
  Display d(static_cast<int>(state.range(0)));
  IDirectDrawSurface* s = dxcreatesurface(256, 256, DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN);
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 5;
  RECT half{0, 0, 128, 256};
  s->Blt(&half, nullptr, nullptr, DDBLT_COLORFILL, &fx);
  for (auto _ : state) {
    benchmark::DoNotOptimize(dxbackbuffer->BltFast(100, 100, s, nullptr, DDBLTFAST_SRCCOLORKEY));
  }
  s->Release();
  state.SetItemsProcessed(state.iterations() * 256 * 256);
}
BENCHMARK(BM_KeyedBlt)->Arg(16)->Arg(32);

}  // namespace
