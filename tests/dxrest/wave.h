// WAVE files for the sound tests, written to a temporary folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/common/riff.h"

using testriff::Put16;
using testriff::Put32;

// A RIFF WAVE image: a 16-byte "fmt " chunk and a "data" chunk.
inline std::string WaveImage(uint16_t tag, int channels, int rate, int bits, const std::string& data) {
  const int align = channels * bits / 8;
  const WAVEFORMATEX f{tag,
                       static_cast<WORD>(channels),
                       static_cast<DWORD>(rate),
                       static_cast<DWORD>(rate * align),
                       static_cast<WORD>(align),
                       static_cast<WORD>(bits),
                       0};
  return wavetest::Riff(wavetest::Fmt(f, 16) + wavetest::Chunk("data", data));
}

// 16-bit mono samples as bytes.
inline std::string Samples16(const std::vector<int16_t>& v) { return wavetest::Samples(v); }

// Writes the bytes to a file of that name in the test's temporary folder; its path.
inline std::string WriteTemp(const std::string& name, const std::string& bytes) {
  // A folder of this process's own: suites run side by side.
  struct Folder {
    std::string path = ::testing::TempDir() + "dxrest-" + std::to_string(getpid()) + "/";
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  };
  static const Folder folder;
  std::string path = folder.path + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}
