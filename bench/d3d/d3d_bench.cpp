// The software device's rasteriser on a frame of the 3-D view: 320 x 240 of
// textured, fogged, depth-tested walls, floor and ceiling, at each depth; at
// 16 and 32 bits also through the per-pixel reference spans, and the time of a
// frame against its aim of 0.83 ms (a twentieth of a 60 Hz period).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/d3d/raster.h"

namespace {

struct Frame {
  std::vector<uint8_t> color, depth, texels;
  soft3d::Target target;
  soft3d::Texture texture;
  uint32_t palette[256];
  explicit Frame(int bpp) {
    const int w = 320, h = 240, b = bpp / 8;
    color.assign(static_cast<size_t>(w) * h * b, 0);
    depth.assign(static_cast<size_t>(w) * h * 2, 0);
    texels.assign(64 * 64 * b, 0);
    for (int i = 0; i < 256; ++i) palette[i] = static_cast<uint32_t>(i) * 0x010101u;
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint8_t>(i * 37 + 11);
    auto buffer = [&](platform::PixelBuffer& p, uint8_t* bits, int pw, int ph, int pbpp) {
      p.bits = bits;
      p.width = pw, p.height = ph;
      p.pitch = pw * (pbpp / 8);
      p.format.bpp = pbpp;
      if (pbpp == 16) p.format.rmask = 0xF800, p.format.gmask = 0x07E0, p.format.bmask = 0x001F;
      if (pbpp == 8) p.palette = palette;
    };
    buffer(target.color, color.data(), w, h, bpp);
    buffer(target.depth, depth.data(), w, h, 16);
    buffer(texture.pixels, texels.data(), 64, 64, bpp);
    target.clip = {0, 0, w, h};
  }
};

soft3d::ScreenVertex V(float x, float y, float z, float rhw, float u, float v) {
  return {x, y, z, rhw, 200, 200, 200, 255, u, v};
}

void ViewFrame(benchmark::State& state, bool reference) {
  soft3d::UseReferenceSpans(reference);
  Frame f(static_cast<int>(state.range(0)));
  soft3d::PixelState s;
  s.perspective = true;
  s.fog = true;
  s.fogstart = 0.5f;
  s.fogend = 1.0f;
  s.fogcolor = 0x202020;
  for (auto _ : state) {
    soft3d::ClearDepth(f.target.depth, {0, 0, 320, 240}, 1.0f);
    // A corridor: floor, ceiling, two receding walls and a far wall, each a
    // pair of triangles, with overlap for the depth test.
    const float n = 1.0f, r = 0.1f;
    const soft3d::ScreenVertex quads[5][4] = {
        {V(0, 240, 0.1f, n, 0, 0), V(320, 240, 0.1f, n, 4, 0), V(200, 150, 0.9f, r, 4, 8), V(120, 150, 0.9f, r, 0, 8)},
        {V(0, 0, 0.1f, n, 0, 0), V(320, 0, 0.1f, n, 4, 0), V(200, 90, 0.9f, r, 4, 8), V(120, 90, 0.9f, r, 0, 8)},
        {V(0, 0, 0.1f, n, 0, 0), V(120, 90, 0.9f, r, 8, 0), V(120, 150, 0.9f, r, 8, 1), V(0, 240, 0.1f, n, 0, 1)},
        {V(320, 0, 0.1f, n, 0, 0), V(200, 90, 0.9f, r, 8, 0), V(200, 150, 0.9f, r, 8, 1), V(320, 240, 0.1f, n, 0, 1)},
        {V(110, 80, 0.92f, r, 0, 0), V(210, 80, 0.92f, r, 1, 0), V(210, 160, 0.92f, r, 1, 1), V(110, 160, 0.92f, r, 0, 1)},
    };
    for (const auto& q : quads) {
      soft3d::DrawTriangle(f.target, s, &f.texture, q[0], q[1], q[2], q[0]);
      soft3d::DrawTriangle(f.target, s, &f.texture, q[0], q[2], q[3], q[0]);
    }
    benchmark::DoNotOptimize(f.color.data());
  }
  state.SetItemsProcessed(state.iterations() * 320 * 240);
  soft3d::UseReferenceSpans(false);
}
void BM_ViewFrame(benchmark::State& state) { ViewFrame(state, false); }
void BM_ViewFrameReference(benchmark::State& state) { ViewFrame(state, true); }
BENCHMARK(BM_ViewFrame)->Arg(8)->Arg(16)->Arg(24)->Arg(32);
BENCHMARK(BM_ViewFrameReference)->Arg(16)->Arg(32);

class FrameReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration)
        ns_[run.benchmark_name()] = run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintSummary() const {
    std::printf("\nms per frame (aim: 0.83 or less), and the reference spans' time over it\n");
    for (const char* depth : {"16", "32"}) {
      auto fast = ns_.find(std::string("BM_ViewFrame/") + depth);
      auto ref = ns_.find(std::string("BM_ViewFrameReference/") + depth);
      if (fast == ns_.end() || ref == ns_.end() || fast->second <= 0) continue;
      std::printf("  %s bits %8.2f ms %8.1fx\n", depth, fast->second / 1e6, ref->second / fast->second);
    }
  }

 private:
  std::map<std::string, double> ns_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  FrameReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintSummary();
  benchmark::Shutdown();
  return 0;
}
