// Effects on what the screen already shows: the mosaic, and the fades to and
// from a colour that drive the frame loop themselves.
#include <cstring>

#include "dx/bitmap.h"
#include "dx/blit.h"
#include "dx/capture.h"
#include "dx/color.h"
#include "dx/display.h"
#include "dx/effects.h"
#include "dx/effects/context.h"
#include "dx/pump.h"
#include "dx/target.h"
#include "platform/winmm/time.h"

namespace {

// At 8 bits the fades move the palette: on a full screen, or when the window
// shares no palette with an 8-bit desktop.
bool palette_fade() { return dxscreendepth == 8 && (dxfullscreen || dxdesktopdepth != 8); }

// Whole percents of the time passed, in 64 bits so long fades do not wrap.
int percent_of(DWORD part, uint32_t duration) {
  return static_cast<int>(uint64_t{part} * 100 / duration);
}

// Runs pass(p) with the percentage of each pass until duration ms have passed;
// the elapsed time is measured afresh each pass.
template <class Percent, class Pass>
void passes(uint32_t duration, Percent percent, Pass pass) {
  const DWORD t0 = timeGetTime();
  for (;;) {
    const DWORD e = timeGetTime() - t0;
    if (e >= duration) break;
    pass(percent(e));
    dxupdate();
  }
}

// The palette moved from its entries toward the colour, p percent of the way.
struct PaletteFade {
  PALETTEENTRY saved[256];
  bool was_default;
  int r, g, b;

  explicit PaletteFade(uint32_t colour) : was_default(dxdefaultpaletteflag) {
    std::memcpy(saved, dxpalette, sizeof saved);
    const uint32_t rgb = dxpixelrgb(colour);
    r = rgb & 0xFF, g = rgb >> 8 & 0xFF, b = rgb >> 16 & 0xFF;
  }
  void operator()(int p) const {
    for (int i = 0; i < 256; ++i) {
      dxsetpalette(i, (r * p + saved[i].peRed * (100 - p)) / 100, (g * p + saved[i].peGreen * (100 - p)) / 100,
                   (b * p + saved[i].peBlue * (100 - p)) / 100);
    }
  }
  void restore() const {
    if (was_default) {
      dxresetpalette(true);
    } else {
      for (int i = 0; i < 256; ++i) dxsetpalette(i, saved[i].peRed, saved[i].peGreen, saved[i].peBlue);
    }
  }
};

// The captured screen covered by the colour at p percent.
void cover(dx::bitmap* copy, uint32_t colour, int p) {
  dxbltnokey(copy, 0, 0);
  if (dxscreendepth == 8) {
    dxfillrectmeshpct(0, 0, dxscreenwidth, dxscreenheight, colour, static_cast<uint32_t>(p));
  } else {
    dxfillrectalpha(0, 0, dxscreenwidth, dxscreenheight, colour, static_cast<uint32_t>(p));
  }
}

}  // namespace

void dxmosaic(int32_t x, int32_t y, int32_t w, int32_t h, int32_t block) {
  if (block <= 1 || w <= 0 || h <= 0) return;
  RECT r{x, y, static_cast<LONG>(int64_t{x} + w > INT32_MAX ? INT32_MAX : x + w),
         static_cast<LONG>(int64_t{y} + h > INT32_MAX ? INT32_MAX : y + h)};
  if (!dxcliptest(&r)) return;
  // Every surface of the stand-in can be locked, video memory included, so the
  // block rule runs in software whatever the target.
  dx::effects::mosaic(dx::effects::current_target(), r.left, r.top, r.right - r.left, r.bottom - r.top, block,
                      dxrand(block - 1) + 1);
}

void dxfadeout(uint32_t colour, uint32_t duration) {
  if (palette_fade()) {
    const PaletteFade fade(colour);
    passes(duration, [&](DWORD e) { return percent_of(e, duration); }, fade);
    dxcls(colour);
    dxupdate();
    fade.restore();
    return;
  }
  dx::bitmap* copy = dxcapture(0, 0, dxscreenwidth, dxscreenheight, true);
  if (copy) passes(duration, [&](DWORD e) { return percent_of(e, duration); }, [&](int p) { cover(copy, colour, p); });
  dxcls(colour);
  if (copy) dxdeletebitmap(copy);
  dxupdate();
}

void dxfadein(uint32_t colour, uint32_t duration) {
  if (palette_fade()) {
    const PaletteFade fade(colour);
    passes(duration, [&](DWORD e) { return 100 - percent_of(e, duration); }, fade);
    fade.restore();
    dxupdate();
    return;
  }
  dx::bitmap* copy = dxcapture(0, 0, dxscreenwidth, dxscreenheight, true);
  if (!copy) return;
  passes(duration, [&](DWORD e) { return percent_of(duration - e, duration); }, [&](int p) { cover(copy, colour, p); });
  dxbltnokey(copy, 0, 0);
  dxdeletebitmap(copy);
  dxupdate();
}
