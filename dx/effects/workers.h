// The pixel workers of the effects. Every blit and rectangle effect has one
// signature; the function is chosen from a table by mode and colour depth
// (source and target always share the display format). Each mode also has a
// plain reference that computes every pixel channel by channel from the effect's
// definition, at any depth: the fast workers must match it bit for bit.
#pragma once

#include <cstdint>

#include "dx/effects/format.h"

namespace dx::effects {

// One call's rows. dst/src point at the first pixel of the clipped rectangle; the
// pitches are in bytes. w and h are at least 1.
struct Blit {
  uint8_t* dst = nullptr;
  int32_t dpitch = 0;
  const uint8_t* src = nullptr;  // null for the rectangle fills
  int32_t spitch = 0;
  const uint8_t* mask = nullptr;  // the mask blit's mask pixels
  int32_t mpitch = 0;
  int w = 0, h = 0;
  uint32_t param = 0;   // percent, hue offset, or the colour of fills and silhouettes
  uint32_t param2 = 0;  // the percent of the silhouette and rectangle fills that have one
  const uint32_t* pattern = nullptr;  // four row words of the screen-door modes
};

using BlitFn = void (*)(const Blit&, const Format&);

enum class Mode : int {
  Add,              // min(t + s, max)
  AddPct,           // min(t + s * percent, max)            param = percent
  Sub,              // max(t - s, 0)
  Alpha,            // t + (s - t) * percent                param = percent
  Half,             // (t + s) / 2
  Mesh,             // s where the pattern lets it through  pattern
  Grey,             // grey of s
  Darken,           // min(t, s)
  Lighten,          // max(t, s)
  Hue,              // s with its hue turned               param = offset (signed)
  Masked,           // s where the mask pixel is not 0      mask
  Silhouette,       // colour                               param = colour
  SilhouetteAdd,    // min(t + colour, max)                 param = colour
  SilhouetteAlpha,  // t + (colour - t) * percent           param = colour, param2 = percent
  FillAlpha,        // param = colour, param2 = percent (no source, no key from here on)
  FillHalf,
  FillAdd,
  FillSub,
  FillMul,
  FillDarken,
  FillLighten,
  FillMesh,         // pattern
  Count
};
constexpr int kModeCount = static_cast<int>(Mode::Count);

// The fast worker of a mode at a depth of 8, 16, 24 or 32 bits; null at any
// other depth.
BlitFn worker(Mode mode, int bpp);
// The word-at-a-time worker of a mode: the same as worker() where no wider
// form exists, and what every wider form must equal bit for bit.
BlitFn word_worker(Mode mode, int bpp);
// The per-channel reference of a mode (any depth).
BlitFn reference(Mode mode);

// Per-depth workers, one template each, instantiated for 1 to 4 bytes a pixel.
// The table in table.cpp lists them.
template <int Bpp> void add_rows(const Blit&, const Format&);
template <int Bpp> void addpct_rows(const Blit&, const Format&);
template <int Bpp> void sub_rows(const Blit&, const Format&);
template <int Bpp> void alpha_rows(const Blit&, const Format&);
template <int Bpp> void half_rows(const Blit&, const Format&);
template <int Bpp> void mesh_rows(const Blit&, const Format&);
template <int Bpp> void grey_rows(const Blit&, const Format&);
template <int Bpp> void darken_rows(const Blit&, const Format&);
template <int Bpp> void lighten_rows(const Blit&, const Format&);
template <int Bpp> void hue_rows(const Blit&, const Format&);
template <int Bpp> void masked_rows(const Blit&, const Format&);
template <int Bpp> void silhouette_rows(const Blit&, const Format&);
template <int Bpp> void silhouetteadd_rows(const Blit&, const Format&);
template <int Bpp> void silhouettealpha_rows(const Blit&, const Format&);
template <int Bpp> void fillalpha_rows(const Blit&, const Format&);
template <int Bpp> void fillhalf_rows(const Blit&, const Format&);
template <int Bpp> void filladd_rows(const Blit&, const Format&);
template <int Bpp> void fillsub_rows(const Blit&, const Format&);
template <int Bpp> void fillmul_rows(const Blit&, const Format&);
template <int Bpp> void filldarken_rows(const Blit&, const Format&);
template <int Bpp> void filllighten_rows(const Blit&, const Format&);
template <int Bpp> void fillmesh_rows(const Blit&, const Format&);

// Sixteen bytes at a time (SSE2), at 2 and 4 bytes a pixel (wide_rows.cpp, hue.cpp).
template <int Bpp> void wide_add_rows(const Blit&, const Format&);
template <int Bpp> void wide_addpct_rows(const Blit&, const Format&);
template <int Bpp> void wide_sub_rows(const Blit&, const Format&);
template <int Bpp> void wide_alpha_rows(const Blit&, const Format&);
template <int Bpp> void wide_half_rows(const Blit&, const Format&);
void wide_hue_rows32(const Blit&, const Format&);

// Weights of a percentage (0 to 100): out of 32 at 8 and 16 bits, out of 256 at
// 24 and 32 bits. Larger percentages count as 100.
inline uint32_t weight32(uint32_t percent) { return (percent > 100 ? 100 : percent) * 33 / 101; }
inline uint32_t weight256(uint32_t percent) { return (percent > 100 ? 100 : percent) * 256 / 100; }

}  // namespace dx::effects
