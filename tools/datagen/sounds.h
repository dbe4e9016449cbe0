// The synthesised sounds: short effects and looping tunes, rendered as 16-bit
// mono samples and stored as PCM or IMA-ADPCM WAVE files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

constexpr int kSampleRate = 22050;

struct SoundFile {
  std::string name;  // under data/sound/
  std::vector<uint8_t> bytes;
};

// Every generated sound file of the game.
std::vector<SoundFile> MakeSounds();

// A named tune as plain samples (the tool's "--wave" mode writes it as PCM, for
// encoding the committed MP3 once).
std::vector<int16_t> RenderTune(const std::string& name);

std::vector<uint8_t> EncodeWavPcm(const std::vector<int16_t>& samples, int rate);
std::vector<uint8_t> EncodeWavImaAdpcm(const std::vector<int16_t>& samples, int rate);

}  // namespace datagen
