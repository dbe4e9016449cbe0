// The layer's own sounds through the DirectSound mixer, pulled from the headless
// audio device.
#include <vector>

#include "../display/fixture.h"
#include "platform/win32/module.h"
#include "wave.h"

namespace {

class Sounds : public DxTest {
 protected:
  void TearDown() override {
    platform::reset_libraries();
    DxTest::TearDown();
  }
  // Left channel of the next n mixed frames.
  std::vector<int> Pull(int n) {
    std::vector<int16_t> raw = host_.pull_audio(n);
    std::vector<int> left;
    for (int i = 0; i < n; ++i) left.push_back(raw[2 * i]);
    return left;
  }
  static int Crossings(const std::vector<int>& v) {
    int n = 0;
    for (size_t i = 1; i < v.size(); ++i) n += (v[i - 1] < 0) != (v[i] < 0);
    return n;
  }
};

TEST_F(Sounds, SixteenCopiesOverlapAndTheSeventeenthIsDropped) {
  Start();
  std::string path = WriteTemp("dc.wav", WaveImage(1, 1, 44100, 16, Samples16(std::vector<int16_t>(4410, 1000))));
  dx::sound* s = dxloadwave(path.c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(host_.audio_open());
  EXPECT_FALSE(dxsoundplaying());
  dxplaysound(s, 0, 0, 100);
  EXPECT_TRUE(dxsoundplaying());
  EXPECT_EQ(Pull(10)[5], 1000);
  for (int i = 1; i < 17; ++i) dxplaysound(s, 0, 0, 100);
  EXPECT_EQ(platform::dsound_buffer_count(), 17);  // its own buffer and 16 duplicates
  std::vector<int> mix = Pull(10);
  EXPECT_EQ(mix[5], 16000);
  Pull(4410);  // every copy reaches its end
  EXPECT_FALSE(dxsoundplaying());
  dxplaysound(s, 0, 0, 100);  // a stopped duplicate is used again
  EXPECT_EQ(platform::dsound_buffer_count(), 17);
  EXPECT_EQ(Pull(10)[5], 1000);
  dxstopsound(s);
  EXPECT_FALSE(dxsoundplaying());
  EXPECT_EQ(platform::dsound_buffer_count(), 1);
}

TEST_F(Sounds, HalfTheRateIsAnOctaveLower) {
  Start();
  std::vector<int16_t> square;
  for (int i = 0; i < 44100; ++i) square.push_back((i / 50) % 2 ? -8000 : 8000);  // 441 Hz
  dx::sound* s = dxloadwave(WriteTemp("sq.wav", WaveImage(1, 1, 44100, 16, Samples16(square))).c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->frequency, 44100u);
  dxplaysound(s, 0, 0, 100);
  int full = Crossings(Pull(4410));
  dxstopsound(s);
  dxplaysound(s, 0, 0, 50);
  int half = Crossings(Pull(4410));
  EXPECT_NEAR(full, 88, 1);
  EXPECT_NEAR(half, 44, 1);
  // Looping plays on past the end, from the own buffer; volume is in hundredths of a dB.
  dxstopsound(s);
  dxloopsound(s, -600, 0, 200);
  Pull(30000);
  EXPECT_TRUE(dxsoundplaying());
  std::vector<int> quiet = Pull(100);
  EXPECT_LE(*std::max_element(quiet.begin(), quiet.end()), 8000 / 2 + 100);
  dxstopallsounds();
  EXPECT_FALSE(dxsoundplaying());
}

TEST_F(Sounds, CompressedDataIsConvertedToSixteenBits) {
  Start();
  std::string ulaw(800, '\x80');  // µ-law 0x80: the loudest positive value
  dx::sound* s = dxloadwave(WriteTemp("mu.wav", WaveImage(7, 1, 8000, 8, ulaw)).c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->pcm.size(), 1600u);
  dxplaysound(s, 0, 0, 100);
  EXPECT_GT(Pull(10)[5], 30000);
}

TEST_F(Sounds, AdpcmGetsItsWholeFormatRecord) {
  Start();
  // IMA ADPCM needs the samples per block that follow the first 16 bytes.
  std::string fmt;
  Put16(fmt, 0x11);
  Put16(fmt, 1);
  Put32(fmt, 8000);
  Put32(fmt, 4055);
  Put16(fmt, 256);
  Put16(fmt, 4);
  Put16(fmt, 2);
  Put16(fmt, 505);
  std::string data(512, '\0');  // two blocks
  const std::string s = wavetest::Riff(wavetest::Chunk("fmt ", fmt) + wavetest::Chunk("data", data));
  dx::sound* snd = dxloadwave(WriteTemp("ima.wav", s).c_str());
  ASSERT_NE(snd, nullptr);
  EXPECT_EQ(snd->pcm.size(), 2u * 505 * 2);
  EXPECT_TRUE(host_.message_boxes().empty());
}

TEST_F(Sounds, DataThatIsNoWaveGivesNullAndAMissingNameStops) {
  Start();
  EXPECT_EQ(dxloadwave(WriteTemp("x.wav", "RIFX....WAVE").c_str()), nullptr);
  std::string no_data = WaveImage(1, 1, 8000, 8, "abc").substr(0, 36);
  EXPECT_EQ(dxloadwave(WriteTemp("y.wav", no_data).c_str()), nullptr);
  std::string short_fmt = "RIFF" + std::string("\x14\0\0\0", 4) + "WAVEfmt " + std::string("\x04\0\0\0", 4) + "abcd";
  EXPECT_EQ(dxloadwave(WriteTemp("z.wav", short_fmt).c_str()), nullptr);
  // A data chunk longer than the file plays what there is.
  std::string cut = WaveImage(1, 1, 8000, 8, std::string(100, '\x90'));
  dx::sound* s = dxloadwave(WriteTemp("cut.wav", cut.substr(0, cut.size() - 40)).c_str());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->pcm.size(), 60u);
  dxdeletesound(s);
  dxdeletesound(s);  // no longer in the set: nothing
  EXPECT_THROW(dxloadwave("nothing-here.wav"), host::ProcessExit);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_NE(host_.message_boxes().back().text.find(U8("サウンド \"nothing-here.wav\" のロードに失敗しました。")),
            std::string::npos);
}

TEST_F(Sounds, WithoutTheLibraryThereIsNoSoundAndNoMessage) {
  Start();
  platform::set_library_available("dsound.dll", false);
  EXPECT_FALSE(dxinitsound());
  EXPECT_EQ(dxloadwave("nothing-here.wav"), nullptr);
  EXPECT_TRUE(host_.message_boxes().empty());
  EXPECT_FALSE(host_.audio_open());
}

}  // namespace
