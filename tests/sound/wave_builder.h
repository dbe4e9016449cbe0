// WAVE and MP3 files built byte by byte for the sound tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/winmm/mmtypes.h"

namespace wavetest {

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

inline std::string Riff(const std::string& chunks) {
  std::string s = "RIFF";
  Put32(s, static_cast<uint32_t>(chunks.size() + 4));
  return s + "WAVE" + chunks;
}

// A format record as stored: `bytes` of it (16 for the plain PCM record).
template <typename T>
std::string Fmt(const T& format, size_t bytes = sizeof(T)) {
  return Chunk("fmt ", std::string(reinterpret_cast<const char*>(&format), bytes));
}

inline WAVEFORMATEX Pcm(uint32_t rate, uint16_t bits, uint16_t channels) {
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

inline std::string Samples(const std::vector<int16_t>& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

// A complete PCM WAVE file.
inline std::string PcmWave(const WAVEFORMATEX& f, const std::vector<int16_t>& samples) {
  return Riff(Fmt(f, 16) + Chunk("data", Samples(samples)));
}

// Frames whose left sample counts up from `from` (to 30,000, then from 1 again) and whose right one is its negation.
inline std::vector<int16_t> Ramp(int frames, int from = 1) {
  std::vector<int16_t> s;
  for (int i = 0; i < frames; ++i) {
    int16_t v = static_cast<int16_t>((from + i - 1) % 30000 + 1);
    s.push_back(v);
    s.push_back(static_cast<int16_t>(-v));
  }
  return s;
}

// Silent MPEG-1 layer III frames at 44,100 Hz and 128 kbit/s (417 bytes each).
inline std::string SilentMp3Frames(int n, bool mono = false) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    std::string frame(417, '\0');
    frame[0] = '\xFF', frame[1] = '\xFB', frame[2] = '\x90', frame[3] = mono ? '\xC0' : '\0';
    out += frame;
  }
  return out;
}

}  // namespace wavetest
