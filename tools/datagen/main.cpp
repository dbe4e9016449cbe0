// datagen FOLDER: writes the generated files of the demo game into FOLDER (the
// game's data folder): pictures, map chips, save covers, the map file, the
// screen-effect tables and the synthesised sounds. A file whose contents are
// already right is left alone, so repeated builds touch nothing.
// datagen --wave TUNE OUT.wav: one tune as plain PCM (the source of the
// committed MP3).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/datagen/effects.h"
#include "tools/datagen/mapgen.h"
#include "tools/datagen/pictures.h"
#include "tools/datagen/sounds.h"

namespace fs = std::filesystem;

namespace {

bool SameContents(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::error_code ec;
  if (!fs::exists(path, ec) || fs::file_size(path, ec) != bytes.size()) return false;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return old == bytes;
}

// Through a temporary file, so that a reader never sees half a file.
void Write(const fs::path& root, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::path path = root / name;
  if (SameContents(path, bytes)) return;
  fs::create_directories(path.parent_path());
  fs::path temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + temp.string());
  }
  fs::rename(temp, path);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 4 && std::strcmp(argv[1], "--wave") == 0) {
      std::vector<int16_t> samples = datagen::RenderTune(argv[2]);
      if (samples.empty()) throw std::runtime_error(std::string("no tune named ") + argv[2]);
      std::vector<uint8_t> wav = datagen::EncodeWavPcm(samples, datagen::kSampleRate);
      std::ofstream out(argv[3], std::ios::binary);
      out.write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
      return out ? 0 : 1;
    }
    if (argc != 2) {
      std::fprintf(stderr, "usage: %s DATA_FOLDER | --wave TUNE OUT.wav\n", argc > 0 ? argv[0] : "datagen");
      return 2;
    }
    fs::path root = argv[1];
    for (const auto& p : datagen::MakePictures()) Write(root, p.path, p.bytes);
    std::string map = datagen::MakeMapCfg();
    Write(root, "map/map.cfg", std::vector<uint8_t>(map.begin(), map.end()));
    for (const auto& s : datagen::MakeSounds()) Write(root, "sound/" + s.name, s.bytes);
    for (int n = 0; n < 6; ++n)
      Write(root, "system/effect" + std::to_string(n + 1) + ".dat", datagen::MakeEffectTable(n));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "datagen: %s\n", e.what());
    return 1;
  }
}
