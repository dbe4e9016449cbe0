// The demo game's sounds: the generator's IMA-ADPCM encoder against the
// decoder the game plays through, and the shipped files against the sound
// library's readers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/acm/acm.h"
#include "qv/qvxwave.h"
#include "tests/data/data_files.h"
#include "tools/datagen/sounds.h"

namespace {

using namespace datacheck;

// The samples of a whole WAVE file decoded to 16-bit PCM through the audio
// compression manager, as a stream entry is played.
std::vector<int16_t> Decode(const std::vector<uint8_t>& wav) {
  // "fmt " and "data" chunks of a file we wrote ourselves: walk them in order.
  const WAVEFORMATEX* fmt = nullptr;
  const uint8_t* data = nullptr;
  uint32_t dataSize = 0;
  for (size_t at = 12; at + 8 <= wav.size();) {
    uint32_t size;
    std::memcpy(&size, &wav[at + 4], 4);
    if (std::memcmp(&wav[at], "fmt ", 4) == 0) fmt = reinterpret_cast<const WAVEFORMATEX*>(&wav[at + 8]);
    if (std::memcmp(&wav[at], "data", 4) == 0) {
      data = &wav[at + 8];
      dataSize = size;
    }
    at += 8 + size + (size & 1);
  }
  if (!fmt || !data) return {};
  WAVEFORMATEX dst{};
  dst.wFormatTag = WAVE_FORMAT_PCM;
  dst.wBitsPerSample = 16;
  EXPECT_EQ(acmFormatSuggest(nullptr, fmt, &dst, sizeof dst, ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
            MMSYSERR_NOERROR);
  HACMSTREAM s = nullptr;
  EXPECT_EQ(acmStreamOpen(&s, nullptr, fmt, &dst, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  if (!s) return {};
  std::vector<uint8_t> in(data, data + dataSize), out(in.size() * 8 + 4096);
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = in.data();
  h.cbSrcLength = static_cast<DWORD>(in.size());
  h.pbDst = out.data();
  h.cbDstLength = static_cast<DWORD>(out.size());
  EXPECT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
  std::vector<int16_t> pcm(h.cbDstLengthUsed / 2);
  std::memcpy(pcm.data(), out.data(), pcm.size() * 2);
  acmStreamUnprepareHeader(s, &h, 0);
  acmStreamClose(s, 0);
  return pcm;
}

// Signal-to-noise ratio in decibels of `got` against `want`, over the shorter.
double Snr(const std::vector<int16_t>& want, const std::vector<int16_t>& got) {
  size_t n = std::min(want.size(), got.size());
  double signal = 0, noise = 0;
  for (size_t i = 0; i < n; ++i) {
    signal += double(want[i]) * want[i];
    double d = double(want[i]) - got[i];
    noise += d * d;
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

TEST(DemoSounds, AdpcmEncodingDecodesCloseToTheTune) {
  for (const char* tune : {"cave", "forest", "desert", "ending"}) {
    SCOPED_TRACE(tune);
    std::vector<int16_t> pcm = datagen::RenderTune(tune);
    ASSERT_FALSE(pcm.empty());
    std::vector<int16_t> back = Decode(datagen::EncodeWavImaAdpcm(pcm, datagen::kSampleRate));
    // Whole blocks of 505 samples: the last block is padded with silence.
    EXPECT_GE(back.size(), pcm.size());
    EXPECT_LT(back.size(), pcm.size() + 505);
    EXPECT_GT(Snr(pcm, back), 20.0);
  }
}

TEST(DemoSounds, PcmEncodingIsExact) {
  std::vector<int16_t> pcm = datagen::RenderTune("battle");
  EXPECT_EQ(Decode(datagen::EncodeWavPcm(pcm, datagen::kSampleRate)), pcm);
}

TEST(DemoSounds, ShippedFilesLoadAsTheTableSays) {
  InRoot here;
  for (const std::string& line : Lines("data/sound/sound.cfg")) {
    std::istringstream in(line);
    int n, stream, loop;
    std::string file;
    ASSERT_TRUE(in >> n >> file >> stream >> loop) << line;
    std::string path = "data/sound/" + file;
    SCOPED_TRACE(path);
    if (file.substr(file.size() - 4) == ".mp3") {
      EXPECT_EQ(stream, 1);  // compressed sound plays as a stream
      PkgFile* f = PkgFileOpen(path.c_str(), "rb");
      ASSERT_NE(f, nullptr);
      QvMp3Info info;
      EXPECT_EQ(QvxMp3ReadHeader(f, &info), 1);
      PkgFileClose(f);
      continue;
    }
    std::string bytes = ReadFile(path);
    std::vector<uint8_t> wav(bytes.begin(), bytes.end());
    if (stream == 0) {
      // Whole sounds are PCM, read into one buffer.
      QvWaveBlock* block = QvxWaveFromFile(path.c_str());
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(block->info.format.wBitsPerSample, 16);
      QvxWaveFree(block);
    }
    EXPECT_GT(Decode(wav).size(), 1000u);
  }
}

}  // namespace
