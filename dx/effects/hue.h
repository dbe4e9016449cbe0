// The hue wheel shared by the hue blit and its reference.
#pragma once

#include <cstdint>

namespace dx::effects {

constexpr int32_t kHueSteps = 1536;

// The wheel position (0 to 1535) of a colour whose channels share one width;
// 0 for a grey colour.
int32_t hue_position(int32_t r, int32_t g, int32_t b);
// An offset brought into 0 to 1535.
int32_t normalize_hue_offset(int32_t offset);
// Whether the 8 or 16-bit hue worker holds the result of a pixel for an offset.
bool hue_cached(int bpp, uint32_t pixel, int32_t offset);

}  // namespace dx::effects
