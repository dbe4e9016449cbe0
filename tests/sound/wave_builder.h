// Sample ramps and MP3 frames for the sound tests; the WAVE pieces are shared
// with the other suites.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/riff.h"

namespace wavetest {

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
