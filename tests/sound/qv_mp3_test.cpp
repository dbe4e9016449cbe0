// Streaming real MP3 files (encoded at build time by mp3gen) through the sound
// library: every buffer size, once and looping, must give exactly what the
// decoder library makes of the whole file at once.
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/sound/library_fixture.h"

namespace {

using namespace wavetest;

const char* const kFiles[] = {"cbr128_44100.mp3",   "vbr_44100.mp3",   "abr112_48000.mp3",
                              "vbr_32000_mono.mp3", "cbr64_32000.mp3", "tagged_vbr_48000.mp3"};

std::string Generated(const std::string& name) { return TempDir::Read(std::string(DOLVICAR_MP3_DIR "/") + name); }

struct Decoded {
  long rate = 0;
  int channels = 0;
  std::vector<int16_t> stereo;  // interleaved; a mono file's samples doubled, as the mixer plays them
};

// The whole file through the decoder library in one go, with the settings of
// the stream's decoder (its own channel count, no gapless trimming).
Decoded WholeFile(const std::string& path) {
  Decoded d;
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  if (!h) return d;
  int enc = 0;
  if (mpg123_param(h, MPG123_FLAGS, MPG123_QUIET, 0) == MPG123_OK && mpg123_open(h, path.c_str()) == MPG123_OK &&
      mpg123_getformat(h, &d.rate, &d.channels, &enc) == MPG123_OK) {
    mpg123_format_none(h);
    mpg123_format(h, d.rate, d.channels, MPG123_ENC_SIGNED_16);
    unsigned char buf[16384];
    size_t done = 0;
    int r;
    do {
      r = mpg123_read(h, buf, sizeof buf, &done);
      const int16_t* s = reinterpret_cast<const int16_t*>(buf);
      for (size_t i = 0; i < done / 2; ++i) {
        d.stereo.push_back(s[i]);
        if (d.channels == 1) d.stereo.push_back(s[i]);
      }
    } while (r == MPG123_OK || r == MPG123_NEW_FORMAT);
    mpg123_close(h);
  }
  mpg123_delete(h);
  return d;
}

double Rms(const std::vector<int16_t>& s) {
  double sum = 0;
  for (int16_t v : s) sum += static_cast<double>(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / static_cast<double>(s.size()));
}

// The first index at which two sample runs differ, for a readable failure.
size_t FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

using Mp3Stream = SoundLibrary;

TEST_F(Mp3Stream, EveryFileStreamsWholeOnceAndLooping) {
  for (const char* name : kFiles) {
    SCOPED_TRACE(name);
    TempDir::Write(name, Generated(name));
    Decoded ref = WholeFile(dir_.path() / name);
    ASSERT_GT(ref.stereo.size(), 2u * ref.rate * 5 / 2);  // about three seconds
    EXPECT_GT(Rms(ref.stereo), 1000.0);                   // and audible
    const int frames = static_cast<int>(ref.stereo.size() / 2);
    for (int ms : {50, 70, 500}) {
      SCOPED_TRACE(ms);
      for (int loop : {0, 1}) {
        ASSERT_EQ(QvxSoundLoad(0, name, ms), 1);
        EXPECT_EQ(QvsGetState()->slots[0].pcm.nSamplesPerSec, static_cast<DWORD>(ref.rate));
        EXPECT_EQ(QvsGetState()->slots[0].pcm.nChannels, ref.channels);
        // At the output's own rate the mixer plays the buffer sample for sample.
        QvxSoundSetFrequency(0, 44100);
        QvxSoundPlay(0, loop);
        std::vector<int16_t> expected = ref.stereo;
        if (loop) {
          expected.insert(expected.end(), ref.stereo.begin(), ref.stereo.end());
          expected.insert(expected.end(), ref.stereo.begin(), ref.stereo.begin() + ref.stereo.size() / 2);
        }
        // A one-shot ends in silence and stops within two buffers after its data.
        const int drain = loop ? 0 : static_cast<int>(2 * ref.rate * ms / 1000 + 441);
        std::vector<int16_t> out = Run(static_cast<int>(expected.size() / 2) + drain);
        expected.resize(out.size(), 0);
        EXPECT_EQ(FirstDifference(out, expected), out.size()) << "loop " << loop << ", of " << frames << " frames";
        EXPECT_EQ(Playing(0), loop == 1);
        QvxSoundUnload(0);
      }
    }
  }
}

// Standard error redirected to a file while it lives.
class StderrCapture {
 public:
  StderrCapture() : file_(std::tmpfile()) {
    std::fflush(stderr);
    saved_ = dup(2);
    dup2(fileno(file_), 2);
  }
  ~StderrCapture() {
    Restore();
    std::fclose(file_);
  }
  std::string Text() {
    Restore();
    std::string s;
    std::rewind(file_);
    for (int c; (c = std::fgetc(file_)) != EOF;) s += static_cast<char>(c);
    return s;
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    saved_ = -1;
  }
  std::FILE* file_;
  int saved_ = -1;
};

TEST_F(Mp3Stream, DamagedFilesPlayWhatTheyCanWithoutAWord) {
  std::string good = Generated("vbr_44100.mp3");
  // Garbage in the middle of frames, frames cut short, and a tail of noise.
  std::string damaged = good;
  for (size_t i = 3000; i < damaged.size(); i += 2500)
    for (size_t k = 0; k < 40 && i + k < damaged.size(); ++k) damaged[i + k] = static_cast<char>(i * 7 + k * 13);
  std::string cut = good.substr(0, 9000) + good.substr(9400, 9000) + good.substr(30000);
  std::string noise(5000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  TempDir::Write("damaged.mp3", damaged);
  TempDir::Write("cut.mp3", cut);
  TempDir::Write("noise.mp3", good.substr(0, 4000) + noise);
  StderrCapture err;
  for (const char* name : {"damaged.mp3", "cut.mp3", "noise.mp3"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(QvxSoundLoad(0, name, 60), 1);
    QvxSoundPlay(0, 0);
    Run(44100 * 9 / 2);
    EXPECT_FALSE(Playing(0));  // it came to its end
    QvxSoundUnload(0);
  }
  EXPECT_EQ(err.Text(), "");
}

// The first frame at or after `at` of the 128 kbit/s, 44.1 kHz file, whose
// frames are 417 bytes and one more when padded.
size_t FrameAtOrAfter(const std::string& cbr128, size_t at) {
  size_t p = 0;
  while (p < at && p + 4 <= cbr128.size()) p += 417 + ((static_cast<unsigned char>(cbr128[p + 2]) >> 1) & 1);
  return p;
}

// Seeded bytes that are no sound, though they hold false frame headers.
std::string Garbage(size_t n) {
  std::string g(n, '\0');
  uint32_t x = 12345;
  for (char& c : g) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
  return g;
}

std::vector<int16_t> WithoutSilence(const std::vector<int16_t>& s) {
  std::vector<int16_t> out;
  for (int16_t v : s)
    if (v) out.push_back(v);
  return out;
}

TEST_F(Mp3Stream, DamageTheDecoderGivesUpOnEndsTheStreamAsItEndsTheWholeFile) {
  std::string good = Generated("cbr128_44100.mp3");
  TempDir::Write("good.mp3", good);
  TempDir::Write("garbage.mp3", good.substr(0, 20000) + Garbage(300 * 1024) + good.substr(20000));
  Decoded whole = WholeFile(dir_.path() / "good.mp3");
  Decoded ref = WholeFile(dir_.path() / "garbage.mp3");
  ASSERT_GT(ref.stereo.size(), 0u);
  ASSERT_LT(ref.stereo.size(), whole.stereo.size() / 2);  // it stops at the garbage
  ASSERT_EQ(QvxSoundLoad(0, "garbage.mp3", 100), 1);
  QvxSoundSetFrequency(0, 44100);
  QvxSoundPlay(0, 0);
  std::vector<int16_t> out = Run(static_cast<int>(ref.stereo.size() / 2) + 44100);
  std::vector<int16_t> expected = ref.stereo;
  expected.resize(out.size(), 0);
  EXPECT_EQ(FirstDifference(out, expected), out.size());
  EXPECT_FALSE(Playing(0));
  QvxSoundUnload(0);
}

TEST_F(Mp3Stream, ARefillReadsABoundedRunOfBytesThatAreNotSound) {
  std::string good = Generated("cbr128_44100.mp3");
  const size_t cut = FrameAtOrAfter(good, 20000);
  ASSERT_EQ(good.substr(cut, 2), good.substr(0, 2));
  // Zeros the decoder gives up on, and a tag inside the data that it skips to
  // play on: both far longer than one refill may read.
  const size_t n = 300 * 1024;
  std::string tag = std::string("ID3\x03\0\0", 6);
  for (int shift : {21, 14, 7, 0}) tag += static_cast<char>((n >> shift) & 0x7F);
  TempDir::Write("zeros.mp3", good.substr(0, 20000) + std::string(n, '\0') + good.substr(20000));
  TempDir::Write("tag.mp3", good.substr(0, cut) + tag + std::string(n, '\0') + good.substr(cut));
  for (const char* name : {"zeros.mp3", "tag.mp3"}) {
    SCOPED_TRACE(name);
    Decoded ref = WholeFile(dir_.path() / name);
    ASSERT_GT(ref.stereo.size(), 0u);
    ASSERT_EQ(QvxSoundLoad(0, name, 100), 1);
    QvxSoundSetFrequency(0, 44100);
    PkgFile* file = QvsGetState()->slots[0].decoder->file;
    int32_t most = PkgFileTell(file);  // the first refill, made by the play itself
    QvxSoundPlay(0, 0);
    most = PkgFileTell(file) - most;
    std::vector<int16_t> out;
    for (int step = 0; step < 600 && Playing(0); ++step) {
      int32_t before = PkgFileTell(file);
      std::vector<int16_t> part = Run(441);
      most = std::max(most, PkgFileTell(file) - before);
      out.insert(out.end(), part.begin(), part.end());
    }
    EXPECT_LT(most, 128 * 1024);
    EXPECT_FALSE(Playing(0));
    // What the whole file plays, though a tag may leave silence where it was read.
    EXPECT_EQ(WithoutSilence(out), WithoutSilence(ref.stereo));
    QvxSoundUnload(0);
  }
}

}  // namespace
