// The worker table: one row per mode, one column per depth (8, 16, 24, 32 bits).
#include "dx/effects/workers.h"

namespace dx::effects {

namespace {

#define DX_EFFECTS_ROW(fn) {&fn<1>, &fn<2>, &fn<3>, &fn<4>}

// In the order of Mode.
constexpr BlitFn kWorkers[kModeCount][4] = {
    DX_EFFECTS_ROW(add_rows),
    DX_EFFECTS_ROW(addpct_rows),
    DX_EFFECTS_ROW(sub_rows),
    DX_EFFECTS_ROW(alpha_rows),
    DX_EFFECTS_ROW(half_rows),
    DX_EFFECTS_ROW(mesh_rows),
    DX_EFFECTS_ROW(grey_rows),
    DX_EFFECTS_ROW(darken_rows),
    DX_EFFECTS_ROW(lighten_rows),
    DX_EFFECTS_ROW(hue_rows),
    DX_EFFECTS_ROW(masked_rows),
    DX_EFFECTS_ROW(silhouette_rows),
    DX_EFFECTS_ROW(silhouetteadd_rows),
    DX_EFFECTS_ROW(silhouettealpha_rows),
    DX_EFFECTS_ROW(fillalpha_rows),
    DX_EFFECTS_ROW(fillhalf_rows),
    DX_EFFECTS_ROW(filladd_rows),
    DX_EFFECTS_ROW(fillsub_rows),
    DX_EFFECTS_ROW(fillmul_rows),
    DX_EFFECTS_ROW(filldarken_rows),
    DX_EFFECTS_ROW(filllighten_rows),
    DX_EFFECTS_ROW(fillmesh_rows),
};
static_assert(static_cast<int>(Mode::Hue) == 9 && static_cast<int>(Mode::FillAlpha) == 14 &&
                  static_cast<int>(Mode::FillMesh) == 21,
              "kWorkers rows follow the order of Mode");

// The sixteen-byte forms at 16 and 32 bits; null where only the word form is.
struct Wide {
  Mode mode;
  BlitFn at16, at32;
};
#define DX_EFFECTS_WIDE_ROW(mode, fn) {Mode::mode, &fn<2>, &fn<4>}
constexpr Wide kWide[] = {
    DX_EFFECTS_WIDE_ROW(Add, wide_add_rows),
    DX_EFFECTS_WIDE_ROW(AddPct, wide_addpct_rows),
    DX_EFFECTS_WIDE_ROW(Sub, wide_sub_rows),
    DX_EFFECTS_WIDE_ROW(Alpha, wide_alpha_rows),
    DX_EFFECTS_WIDE_ROW(Half, wide_half_rows),
    {Mode::Hue, nullptr, &wide_hue_rows32},
};

}  // namespace

BlitFn word_worker(Mode mode, int bpp) {
  int i = static_cast<int>(mode);
  if (i < 0 || i >= kModeCount) return nullptr;
  switch (bpp) {
    case 8: return kWorkers[i][0];
    case 16: return kWorkers[i][1];
    case 24: return kWorkers[i][2];
    case 32: return kWorkers[i][3];
    default: return nullptr;
  }
}

BlitFn worker(Mode mode, int bpp) {
  for (const Wide& w : kWide) {
    if (w.mode != mode) continue;
    if (bpp == 16 && w.at16) return w.at16;
    if (bpp == 32 && w.at32) return w.at32;
  }
  return word_worker(mode, bpp);
}

}  // namespace dx::effects
