// WAVE files for the sound tests, written to a temporary folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

inline void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}
inline void Put16(std::string& s, uint16_t v) {
  s += static_cast<char>(v);
  s += static_cast<char>(v >> 8);
}

// A RIFF WAVE image: a 16-byte "fmt " chunk and a "data" chunk.
inline std::string WaveImage(uint16_t tag, int channels, int rate, int bits, const std::string& data) {
  std::string fmt;
  Put16(fmt, tag);
  Put16(fmt, static_cast<uint16_t>(channels));
  Put32(fmt, static_cast<uint32_t>(rate));
  const int align = channels * bits / 8;
  Put32(fmt, static_cast<uint32_t>(rate * align));
  Put16(fmt, static_cast<uint16_t>(align));
  Put16(fmt, static_cast<uint16_t>(bits));
  std::string s = "RIFF";
  Put32(s, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size()));
  s += "WAVE";
  s += "fmt ";
  Put32(s, static_cast<uint32_t>(fmt.size()));
  s += fmt;
  s += "data";
  Put32(s, static_cast<uint32_t>(data.size()));
  s += data;
  return s;
}

// 16-bit mono samples as bytes.
inline std::string Samples16(const std::vector<int16_t>& v) {
  std::string s;
  for (int16_t x : v) Put16(s, static_cast<uint16_t>(x));
  return s;
}

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
