// Every picture of the demo game, drawn from code: PNG pictures, the map chips
// (BMP) and the JPEG covers of the save files and the settings file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

struct PictureFile {
  std::string path;  // under data/
  std::vector<uint8_t> bytes;
};

std::vector<PictureFile> MakePictures();

}  // namespace datagen
