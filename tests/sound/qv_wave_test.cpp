#include <gtest/gtest.h>

#include <cstring>

#include "qv/qvxalloc.h"
#include "qv/qvxwave.h"
#include "tests/package/temp_dir.h"
#include "tests/sound/wave_builder.h"

namespace {

using namespace wavetest;

class WaveFiles : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(QvxAllocFirst(MEMTYPE_NORMAL), nullptr); }  // nothing leaks
  TempDir dir_;
};

TEST_F(WaveFiles, ReadsAPcmFileWhole) {
  WAVEFORMATEX f = Pcm(22050, 16, 2);
  TempDir::Write("a.wav", Riff(Chunk("LIST", "abc") + Fmt(f, 16) + Chunk("data", Samples({1, -2, 3, -4}))));
  QvWaveBlock* w = QvxWaveFromFile("a.wav");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->info.size, 8u);
  EXPECT_EQ(w->info.offset, 12u + 12 + 24 + 8);  // after the odd LIST chunk's pad byte
  EXPECT_EQ(w->info.format.nSamplesPerSec, 22050u);
  EXPECT_EQ(w->info.format.cbSize, 0);
  int16_t s[4];
  std::memcpy(s, w->data, 8);
  EXPECT_EQ(s[3], -4);
  QvxWaveFree(w);
}

TEST_F(WaveFiles, RefusesWhatIsNotWholePcm) {
  WAVEFORMATEX f = Pcm(22050, 16, 1);
  std::string good = Riff(Fmt(f, 16) + Chunk("data", Samples({1, 2, 3})));
  // Truncated inside the samples: the short read refuses it.
  TempDir::Write("cut.wav", good.substr(0, good.size() - 1));
  EXPECT_EQ(QvxWaveFromFile("cut.wav"), nullptr);
  // A size word far beyond the file is refused before anything is allocated for it.
  std::string huge = good;
  huge[good.size() - 10] = '\xFF', huge[good.size() - 9] = '\xFF', huge[good.size() - 8] = '\xFF';
  TempDir::Write("huge.wav", huge);
  EXPECT_EQ(QvxWaveFromFile("huge.wav"), nullptr);
  TempDir::Write("riff.wav", "RIFX" + good.substr(4));
  EXPECT_EQ(QvxWaveFromFile("riff.wav"), nullptr);
  TempDir::Write("nodata.wav", Riff(Fmt(f, 16)) + std::string(32, 'x'));
  EXPECT_EQ(QvxWaveFromFile("nodata.wav"), nullptr);
  WAVEFORMATEX alaw{WAVE_FORMAT_ALAW, 1, 8000, 8000, 1, 8, 0};
  TempDir::Write("alaw.wav", Riff(Fmt(alaw) + Chunk("data", "abcd")));
  EXPECT_EQ(QvxWaveFromFile("alaw.wav"), nullptr);  // static sounds are PCM only
  TempDir::Write("short.wav", Riff(Chunk("fmt ", std::string(14, '\1')) + Chunk("data", "ab")));
  EXPECT_EQ(QvxWaveFromFile("short.wav"), nullptr);
  EXPECT_EQ(QvxWaveFromFile("missing.wav"), nullptr);
}

TEST_F(WaveFiles, FirstCodeAnywhereWinsEvenAcrossReadBlocks) {
  WAVEFORMATEX f = Pcm(8000, 16, 1);
  // "data" inside an earlier chunk cuts the sound there: its next word is the size.
  std::string junk = std::string("xxdata") + std::string("\x02\0\0\0", 4) + "\x11\x22" + "yy";
  TempDir::Write("inner.wav", Riff(Fmt(f, 16) + Chunk("junk", junk) + Chunk("data", Samples({5, 6}))));
  QvWaveBlock* w = QvxWaveFromFile("inner.wav");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->info.size, 2u);
  EXPECT_EQ(w->data[0], 0x11);
  QvxWaveFree(w);
  // A chunk code that straddles the 16,384-byte read blocks is still found.
  std::string pad(16384 - 12 - 24 - 8 - 2, 'p');
  std::string file = Riff(Fmt(f, 16) + Chunk("pad ", pad) + Chunk("data", Samples({7, 8})));
  ASSERT_EQ(file.find("data"), 16382u);
  TempDir::Write("straddle.wav", file);
  w = QvxWaveFromFile("straddle.wav");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->info.size, 4u);
  QvxWaveFree(w);
}

TEST_F(WaveFiles, FormatChunkKeepsItsExtraBytesAndNeverReadsPastThem) {
  WAVEFORMATEX f = Pcm(8000, 16, 1);
  TempDir::Write("pcm16.wav", Riff(Fmt(f, 16) + Chunk("data", "ab")));
  PkgFile* file = PkgFileOpen("pcm16.wav", "rb");
  ASSERT_NE(file, nullptr);
  WAVEFORMATEX* got = QvxReadFmtChunk(file);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->cbSize, 0);  // the 16-byte record has no extra-size field: none is read
  EXPECT_GE(QvxAllocFirst(MEMTYPE_NORMAL)->size, sizeof(WAVEFORMATEX));
  QVX_FREE(got);
  PkgFileClose(file);
  // An extra size beyond the chunk is damage.
  IMAADPCMWAVEFORMAT ima{{WAVE_FORMAT_IMA_ADPCM, 1, 8000, 4055, 256, 4, 8}, 505};
  TempDir::Write("ima.wav", Riff(Fmt(ima) + Chunk("data", "ab")));
  file = PkgFileOpen("ima.wav", "rb");
  EXPECT_EQ(QvxReadFmtChunk(file), nullptr);
  PkgFileClose(file);
}

TEST_F(WaveFiles, ResourceBytesAreParsedInPlace) {
  WAVEFORMATEX f = Pcm(11025, 8, 1);
  std::string bytes = Riff(Fmt(f, 18) + Chunk("data", "\x80\x90\xA0"));
  QvWaveBlock* w = QvxWaveFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->info.size, 3u);
  EXPECT_EQ(w->info.offset, 12u + 26 + 8);
  EXPECT_EQ(w->data[2], 0xA0);
  QvxWaveFree(w);
  // A size word that runs past the resource is refused rather than read beyond it.
  std::string cut = bytes.substr(0, bytes.size() - 2);
  EXPECT_EQ(QvxWaveFromMemory(cut.data(), static_cast<uint32_t>(cut.size())), nullptr);
  EXPECT_EQ(QvxWaveFromMemory(bytes.data(), 19), nullptr);
  EXPECT_EQ(QvxWaveFromResource(nullptr, "none"), nullptr);  // the program has no WAVE resources
}

TEST_F(WaveFiles, Mp3HeaderAndTags) {
  // ID3v2 with a synchsafe size of 0x81 (bytes 00 00 01 01), frames, then an ID3v1 tag.
  std::string id3 = std::string("ID3\x03\0\0\0\0\x01\x01", 10) + std::string(129, 't');
  std::string tag1 = "TAG" + std::string(125, '1');
  std::string frames = SilentMp3Frames(3, true);
  TempDir::Write("song.mp3", id3 + frames + tag1);
  PkgFile* f = PkgFileOpen("song.mp3", "rb");
  QvMp3Info info;
  ASSERT_EQ(QvxMp3ReadHeader(f, &info), 1);
  EXPECT_EQ(info.offset, 10u + 129);
  EXPECT_EQ(info.length, frames.size());
  EXPECT_EQ(info.id3v1_size, 128u);
  EXPECT_EQ(info.format.wfx.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
  EXPECT_EQ(info.format.wfx.nChannels, 1);
  EXPECT_EQ(info.format.wfx.nSamplesPerSec, 44100u);
  EXPECT_EQ(info.format.wfx.nAvgBytesPerSec, 16000u);
  EXPECT_EQ(info.format.wfx.cbSize, 12);
  EXPECT_EQ(info.format.nBlockSize, 417);  // 128 * 144000 / 44100
  EXPECT_EQ(info.format.nCodecDelay, 1393);
  PkgFileClose(f);

  auto header_of = [](uint8_t b1, uint8_t b2) {
    std::string s = SilentMp3Frames(1);
    s[1] = static_cast<char>(b1), s[2] = static_cast<char>(b2);
    TempDir::Write("x.mp3", s);
    PkgFile* f = PkgFileOpen("x.mp3", "rb");
    QvMp3Info i;
    int32_t ok = QvxMp3ReadHeader(f, &i);
    PkgFileClose(f);
    return ok ? static_cast<int>(i.format.wfx.nAvgBytesPerSec) : -1;
  };
  EXPECT_EQ(header_of(0xFD, 0x90), 160000 / 8);  // layer II, index 9
  EXPECT_EQ(header_of(0xFF, 0x90), 288000 / 8);  // layer I, index 9
  EXPECT_EQ(header_of(0xF3, 0x90), -1);          // MPEG-2
  EXPECT_EQ(header_of(0xF9, 0x90), -1);          // reserved layer
  EXPECT_EQ(header_of(0xFB, 0x9C), -1);          // reserved sample rate
  EXPECT_EQ(header_of(0xFB, 0xF0), 0);           // the "bad" bitrate index reads as 0
  // The frame must begin right after the tag.
  TempDir::Write("gap.mp3", id3 + "x" + frames);
  f = PkgFileOpen("gap.mp3", "rb");
  EXPECT_EQ(QvxMp3ReadHeader(f, nullptr), 0);
  PkgFileClose(f);
  // A tag larger than the file.
  TempDir::Write("big.mp3", std::string("ID3\x03\0\0\x7F\x7F\x7F\x7F", 10) + frames);
  f = PkgFileOpen("big.mp3", "rb");
  EXPECT_EQ(QvxMp3ReadHeader(f, nullptr), 0);
  PkgFileClose(f);
}

TEST(WaveHeader, MadeForAFormat) {
  WAVEFORMATEX f = Pcm(44100, 16, 2);
  uint32_t size = 0;
  uint8_t* h = QvxMakeWaveHeader(&f, &size);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(size, 46u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(h), 4), "RIFF");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(h) + 38, 4), "data");
  EXPECT_EQ(h[16], 18);
  QVX_FREE(h);
}

}  // namespace
