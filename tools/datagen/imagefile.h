// Picture files of the generated data: 8-bit RGB PNG (colour type 2), 24-bit
// BMP for the map chips, and baseline JPEG for the save-file covers.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/datagen/canvas.h"

namespace datagen {

std::vector<uint8_t> EncodePng(const Canvas& c);
std::vector<uint8_t> EncodeBmp(const Canvas& c);
// Baseline, 4:4:4 YCbCr; quality 1 to 100.
std::vector<uint8_t> EncodeJpeg(const Canvas& c, int quality);

}  // namespace datagen
