// RIFF files built byte by byte for the tests: little-endian fields, chunks
// padded to even length, and the WAVE form with its format record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/winmm/mmtypes.h"

namespace testriff {

inline void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
inline void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline std::string Chunk(const char* code, const std::string& body) {
  std::string s(code, 4);
  Put32(s, static_cast<uint32_t>(body.size()));
  s += body;
  if (body.size() & 1) s.push_back('\0');
  return s;
}

// The outer "RIFF" chunk of a form (`type` is "WAVE", "AVI " ...).
inline std::string Form(const char* type, const std::string& chunks) {
  std::string s = "RIFF";
  Put32(s, static_cast<uint32_t>(chunks.size() + 4));
  return s + std::string(type, 4) + chunks;
}

}  // namespace testriff

namespace wavetest {

using testriff::Chunk;
using testriff::Put16;
using testriff::Put32;

inline std::string Riff(const std::string& chunks) { return testriff::Form("WAVE", chunks); }

// A format record as stored: `bytes` of it (16 for the plain PCM record).
template <typename T>
std::string Fmt(const T& format, size_t bytes = sizeof(T)) {
  return Chunk("fmt ", std::string(reinterpret_cast<const char*>(&format), bytes));
}

inline WAVEFORMATEX Pcm(uint32_t rate, uint16_t bits, uint16_t channels) {
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// 16-bit samples as stored.
inline std::string Samples(const std::vector<int16_t>& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

// A complete PCM WAVE file.
inline std::string PcmWave(const WAVEFORMATEX& f, const std::vector<int16_t>& samples) {
  return Riff(Fmt(f, 16) + Chunk("data", Samples(samples)));
}

}  // namespace wavetest
