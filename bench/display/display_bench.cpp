// The display's per-frame costs: a whole present, the memory switch the 3-D view
// makes twice a frame, and keyed blits between surfaces.
#include <benchmark/benchmark.h>

#include "dx/dx.h"
#include "platform/host/headless_host.h"
#include "platform/win32/display.h"

namespace {

// A 640 x 480 window of `depth` bits on a desktop of `desktop` bits.
struct Display {
  host::HeadlessHost h;
  explicit Display(int depth, int desktop = 32) {
    host::set(&h);
    h.set_quiet(true);
    h.set_frames_kept(0);
    win32::SetDesktopDepth(desktop);
    dxdesktopdepth = desktop;
    dxinit("bench", 640, 480, depth, false);
  }
  ~Display() {
    dxrelease();
    host::set(nullptr);
  }
};

// Screen depth, desktop depth: a screen of the desktop's depth is copied to it
// and shown from there; a shallower one is converted on its way to the window.
void BM_Present(benchmark::State& state) {
  Display d(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) dxpresent();
}
BENCHMARK(BM_Present)->Args({16, 32})->Args({24, 24})->Args({32, 32});

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
