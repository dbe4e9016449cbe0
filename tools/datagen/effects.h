// The six screen-effect tables: 20 frames of 320 x 240 offsets {dx, dy}
// (signed 16-bit little-endian), columns of 240 entries, frame 19 the most
// scattered and frame 0 the last before the plain picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace datagen {

constexpr int kEffectFrames = 20;
constexpr int kEffectWidth = 320;
constexpr int kEffectHeight = 240;
constexpr size_t kEffectBytes = static_cast<size_t>(kEffectFrames) * kEffectWidth * kEffectHeight * 4;

// Table n (0 to 5), the contents of "effect<n+1>.dat".
std::vector<uint8_t> MakeEffectTable(int n);

}  // namespace datagen
