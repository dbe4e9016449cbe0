// Text drawing, picture decoding and the load-time dither.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "dx/dither.h"
#include "dx/pngload.h"
#include "platform/gdi/gdi.h"
#include "tests/bitmaps/png_writer.h"

namespace {

// A line of the message window: mixed half- and full-width text, cached glyphs.
void BM_TextLine(benchmark::State& state) {
  std::vector<uint32_t> px(640 * 32, 0);
  platform::PixelBuffer b;
  b.bits = reinterpret_cast<uint8_t*>(px.data());
  b.width = 640, b.height = 32, b.pitch = 640 * 4;
  HDC dc = gdi::CreateBufferDC(b);
  HFONT f = CreateFontA(16, 8, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                        state.range(0) ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY, 0, "ＭＳ ゴシック");
  SelectObject(dc, f);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  const char* line = "ダンジョンの奥で宝箱を見つけた！ HP 120/120 MP 45/60";
  for (auto _ : state) TextOutA(dc, 0, 0, line, static_cast<int>(std::strlen(line)));
  gdi::DeleteBufferDC(dc);
  DeleteObject(f);
}
BENCHMARK(BM_TextLine)->Arg(0)->Arg(1);

void BM_DecodePng(benchmark::State& state) {
  auto file = testpng::Pattern(640, 480);
  for (auto _ : state) {
    PngImage* img = PngDecodeMemory(file.data(), file.size());
    benchmark::DoNotOptimize(img);
    PngFreeImage(img);
  }
}
BENCHMARK(BM_DecodePng);

// A full screen picture converted to 5-6-5 with the ordered dither.
void BM_Dither565(benchmark::State& state) {
  auto file = testpng::Pattern(640, 480);
  PngImage* img = PngDecodeMemory(file.data(), file.size());
  DibImage dib;
  PngImageToDib(img, &dib);
  gdi::Dib d;
  gdi::ParseDibHeader(&dib.info, sizeof dib.info, false, d);
  gdi::AttachDibBits(d, dib.bits, dib.info.bmiHeader.biSizeImage);
  std::vector<uint16_t> out(640 * 480);
  platform::PixelBuffer pb;
  pb.bits = reinterpret_cast<uint8_t*>(out.data());
  pb.width = 640, pb.height = 480, pb.pitch = 1280, pb.format = {16, 0xF800, 0x07E0, 0x001F};
  for (auto _ : state) dx::ditherdib(d, pb, dx::ditherformat::rgb565);
  std::free(dib.bits);
  PngFreeImage(img);
}
BENCHMARK(BM_Dither565);

}  // namespace
