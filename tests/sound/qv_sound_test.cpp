#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/host/headless_host.h"
#include "platform/win32/debug.h"
#include "qv/qvsapi.h"
#include "qv/qvscommon.h"
#include "qv/qvxalloc.h"
#include "tests/package/temp_dir.h"
#include "tests/sound/library_fixture.h"
#include "tests/sound/wave_builder.h"

namespace {

using namespace wavetest;

TEST_F(SoundLibrary, StaticSoundPlaysOnceAndStopsAtItsEnd) {
  TempDir::Write("se.wav", PcmWave(Pcm(44100, 16, 2), Ramp(1000)));
  ASSERT_EQ(QvxSoundLoad(3, "se.wav", 0), 1);
  EXPECT_EQ(QvxSoundLoad(3, "se.wav", 0), 0);  // the slot is taken
  EXPECT_EQ(QvxSoundGetLength(3), 22);          // 4,000 bytes at 176.4 a millisecond
  ASSERT_EQ(QvxSoundPlay(3, 0), 1);
  EXPECT_EQ(h_.pull_audio(1000), Ramp(1000));
  EXPECT_EQ(h_.pull_audio(2), (std::vector<int16_t>(4, 0)));
  EXPECT_FALSE(Playing(3));
  // Played again, it starts over.
  QvxSoundPlay(3, 0);
  EXPECT_EQ(h_.pull_audio(2), Ramp(2));
  QvxSoundUnload(3);
  EXPECT_EQ(QvxSoundPlay(3, 0), 0);
}

TEST_F(SoundLibrary, StaticPauseKeepsThePlaceAndStopRewinds) {
  TempDir::Write("se.wav", PcmWave(Pcm(44100, 16, 2), Ramp(2000)));
  ASSERT_EQ(QvxSoundLoad(0, "se.wav", 0), 1);
  QvxSoundPlay(0, 1);
  h_.pull_audio(441);
  EXPECT_EQ(QvxSoundGetPosition(0), 10);
  EXPECT_EQ(QvxSoundPause(0), 1);
  EXPECT_EQ(h_.pull_audio(1), (std::vector<int16_t>{0, 0}));
  EXPECT_EQ(QvxSoundGetPosition(0), 10);
  QvxSoundPlay(0, 1);
  EXPECT_EQ(Left(h_.pull_audio(2)), LeftOfRamp(2, 441));
  EXPECT_EQ(QvxSoundStop(0), 1);
  EXPECT_EQ(QvxSoundGetPosition(0), 0);
  // Looping wraps at the end of the sound.
  QvxSoundSetPosition(0, 11);  // 1,940.4 bytes: frame 485
  QvxSoundPlay(0, 1);
  h_.pull_audio(1515 - 2);
  EXPECT_EQ(Left(h_.pull_audio(4)), (std::vector<int16_t>{1999, 2000, 1, 2}));
}

TEST_F(SoundLibrary, PositionsFollowTheFrequency) {
  TempDir::Write("se.wav", PcmWave(Pcm(44100, 16, 2), Ramp(4410)));
  ASSERT_EQ(QvxSoundLoad(1, "se.wav", 0), 1);
  EXPECT_EQ(QvxSoundGetFrequency(1), 44100);
  EXPECT_EQ(QvxSoundSetPosition(1, 5), 1);  // 882 bytes; the buffer keeps whole frames: 880
  EXPECT_EQ(QvxSoundGetPosition(1), 4);     // 880 / 176.4, truncated
  EXPECT_EQ(QvxSoundSetFrequency(1, 22050), 1);
  EXPECT_EQ(QvxSoundGetFrequency(1), 22050);
  EXPECT_EQ(QvxSoundGetPosition(1), 9);  // the same offset at half the rate
  EXPECT_EQ(QvxSoundGetLength(1), 200);
}

TEST_F(SoundLibrary, VolumePanAndMasterVolume) {
  TempDir::Write("se.wav", PcmWave(Pcm(44100, 16, 1), {20000, 20000, 20000}));
  ASSERT_EQ(QvxSoundLoad(7, "se.wav", 0), 1);
  EXPECT_EQ(QvxSoundSetVolume(7, -1000), 1);
  EXPECT_EQ(QvxSoundSetPan(7, -3000), 1);
  EXPECT_EQ(QvxSoundGetVolume(7), -1000);
  EXPECT_EQ(QvxSoundGetPan(7), -3000);
  EXPECT_EQ(QvxSoundSetMasterVolume(-500), 1);
  EXPECT_EQ(QvxSoundGetMasterVolume(), -500);
  QvxSoundPlay(7, 0);
  auto out = h_.pull_audio(1);
  // Gains are 10^(hundredths / 2000): volume and master on both sides, the pan
  // lowers the side away from it.
  double both = std::pow(10.0, -1000 / 2000.0) * std::pow(10.0, -500 / 2000.0);
  EXPECT_EQ(out[0], std::lrint(20000 * both));
  EXPECT_EQ(out[1], std::lrint(20000 * both * std::pow(10.0, -3000 / 2000.0)));
  // A value the buffer refuses changes nothing, and the call still answers 1.
  EXPECT_EQ(QvxSoundSetVolume(7, 500), 1);
  EXPECT_EQ(QvxSoundGetVolume(7), -1000);
}

TEST_F(SoundLibrary, BadAndEmptySlotsGiveNeutralResults) {
  TempDir::Write("se.wav", PcmWave(Pcm(44100, 16, 2), Ramp(10)));
  for (int slot : {-1, 255, 100000, 4}) {  // 4 is in range but empty
    EXPECT_EQ(QvxSoundPlay(slot, 0), 0);
    EXPECT_EQ(QvxSoundPause(slot), 0);
    EXPECT_EQ(QvxSoundStop(slot), 0);
    EXPECT_EQ(QvxSoundGetPan(slot), INT32_MIN);
    EXPECT_EQ(QvxSoundSetPan(slot, 0), 0);
    EXPECT_EQ(QvxSoundGetFrequency(slot), 0);
    EXPECT_EQ(QvxSoundSetFrequency(slot, 22050), 0);
    EXPECT_EQ(QvxSoundGetVolume(slot), 1);
    EXPECT_EQ(QvxSoundSetVolume(slot, 0), 0);
    EXPECT_EQ(QvxSoundGetPosition(slot), 0);
    EXPECT_EQ(QvxSoundSetPosition(slot, 0), 0);
    EXPECT_EQ(QvxSoundGetLength(slot), 0);
    QvxSoundUnload(slot);
  }
  EXPECT_EQ(QvxSoundLoad(-1, "se.wav", 0), 0);
  EXPECT_EQ(QvxSoundLoad(255, "se.wav", 0), 0);
  EXPECT_EQ(QvxSoundLoad(4, "missing.wav", 0), 0);
  EXPECT_EQ(QvxSoundLoad(4, "se.wav", 49), 0);  // too short a stream buffer
  EXPECT_EQ(QvxSoundLoad(4, "se.wav", 1), 0);
  // A sound with no samples gets no buffer: the load fails and the slot stays free.
  TempDir::Write("empty.wav", PcmWave(Pcm(44100, 16, 2), {}));
  EXPECT_EQ(QvxSoundLoad(4, "empty.wav", 0), 0);
  EXPECT_EQ(QvsGetState()->slots[4].type, QVS_FREE);
  // Streamed slots have no position or length.
  ASSERT_EQ(QvxSoundLoad(4, "se.wav", 50), 1);
  EXPECT_EQ(QvxSoundGetPosition(4), 0);
  EXPECT_EQ(QvxSoundSetPosition(4, 10), 0);
  EXPECT_EQ(QvxSoundGetLength(4), 0);
  EXPECT_EQ(QvxSoundGetVolume(4), 0);  // but volume, pan and frequency work
  EXPECT_EQ(QvxSoundGetPan(4), 0);
}

TEST_F(SoundLibrary, GlobalFocusEmptiesEverySlot) {
  TempDir::Write("se.wav", PcmWave(Pcm(44100, 16, 2), Ramp(10)));
  ASSERT_EQ(QvxSoundLoad(0, "se.wav", 0), 1);
  ASSERT_EQ(QvxSoundLoad(1, "se.wav", 100), 1);
  EXPECT_EQ(QvxSoundSetGlobalFocus(0), 1);
  EXPECT_EQ(QvxSoundGetVolume(0), 1);
  EXPECT_EQ(QvxSoundGetVolume(1), 1);
  EXPECT_EQ(platform::dsound_buffer_count(), 0);
  // Without global focus a sound is silent while the window is in the background.
  ASSERT_EQ(QvxSoundLoad(0, "se.wav", 0), 1);
  host::Event lost;
  lost.type = host::EventType::FocusLost;
  h_.push(0, lost);
  host::Event e;
  h_.poll_event(e);
  QvxSoundPlay(0, 0);
  EXPECT_EQ(h_.pull_audio(2), (std::vector<int16_t>(4, 0)));
}

TEST_F(SoundLibrary, EntryPointTable) {
  QvxSoundApi api{};
  QvxSoundGetApi(&api);
  EXPECT_EQ(api.Version(), 368);
  EXPECT_EQ(api.Initialize, &QvxSoundInitialize);
  EXPECT_EQ(api.Load, &QvxSoundLoad);
  EXPECT_EQ(api.GetPan, &QvxSoundGetPan);
  EXPECT_EQ(api.GetMasterVolume, &QvxSoundGetMasterVolume);
  EXPECT_EQ(api.SetGlobalFocus, &QvxSoundSetGlobalFocus);
}

// --- Streams ---

TEST_F(SoundLibrary, StreamEndingInsideAHalfPlaysSilenceThenStops) {
  // 200 ms at 44,100 Hz stereo: 35,280 bytes, halves of 4,410 frames. The data ends
  // 1,590 frames into the second half.
  TempDir::Write("bgm.wav", PcmWave(Pcm(44100, 16, 2), Ramp(6000)));
  ASSERT_EQ(QvxSoundLoad(9, "bgm.wav", 200), 1);
  EXPECT_EQ(QvsGetState()->slots[9].buffer_bytes, 35280u);
  ASSERT_EQ(QvxSoundPlay(9, 0), 1);
  EXPECT_EQ(platform::timer_count(), 1);
  auto out = Left(Run(8820 + 441 * 3));
  std::vector<int16_t> expected = LeftOfRamp(6000);
  expected.resize(out.size(), 0);
  EXPECT_EQ(out, expected);
  EXPECT_FALSE(Playing(9));
  EXPECT_EQ(platform::timer_count(), 0);  // the refill stopped its own timer
  EXPECT_EQ(QvsGetState()->slots[9].timer, 0u);
  // Played again after it ended by itself, it starts from the beginning.
  QvxSoundPlay(9, 0);
  EXPECT_EQ(Left(Run(441)), LeftOfRamp(441));
}

TEST_F(SoundLibrary, OneShotPlayedAgainWhileRunningOutStartsOver) {
  // The data ends 1,590 frames into the second half; the refill after it lets the
  // buffer run out to frame 8,820 without its timer.
  TempDir::Write("se.wav", PcmWave(Pcm(44100, 16, 2), Ramp(6000)));
  ASSERT_EQ(QvxSoundLoad(4, "se.wav", 200), 1);
  QvxSoundPlay(4, 0);
  Run(441 * 12);
  ASSERT_TRUE(Playing(4));
  ASSERT_EQ(QvsGetState()->slots[4].timer, 0u);
  // Play now is a new start of the sound, not the rest of a spent buffer.
  QvxSoundPlay(4, 0);
  auto out = Left(Run(441 * 20 + 441 * 3));
  std::vector<int16_t> expected = LeftOfRamp(6000);
  expected.resize(out.size(), 0);
  EXPECT_EQ(out, expected);
  EXPECT_FALSE(Playing(4));
  // Paused while running out, it has finished all the same: play starts it over.
  QvxSoundPlay(4, 0);
  Run(441 * 12);
  QvxSoundPause(4);
  QvxSoundPlay(4, 0);
  EXPECT_EQ(Left(Run(441)), LeftOfRamp(441));
}

TEST_F(SoundLibrary, StreamPausedAfterWholeLapsResumesThere) {
  // 200 ms buffers are 8,820 frames: after two whole laps the play cursor is back at 0.
  TempDir::Write("bgm.wav", PcmWave(Pcm(44100, 16, 2), Ramp(40000)));
  ASSERT_EQ(QvxSoundLoad(2, "bgm.wav", 200), 1);
  QvxSoundPlay(2, 0);
  EXPECT_EQ(Left(Run(8820 * 2)), LeftOfRamp(8820 * 2));
  DWORD play = 1;
  QvsGetState()->slots[2].buffer->GetCurrentPosition(&play, nullptr);
  ASSERT_EQ(play, 0u);
  QvxSoundPause(2);
  QvxSoundPlay(2, 0);
  EXPECT_EQ(Left(Run(441 * 30)), LeftOfRamp(441 * 30, 8820 * 2));
}

TEST_F(SoundLibrary, EightBitStreamEndsInEightBitSilence) {
  // Unsigned 8-bit mono at 44,100 Hz: silence is 0x80, which mixes to 0.
  std::string data(3000, '\xA0');
  TempDir::Write("se8.wav", Riff(Fmt(Pcm(44100, 8, 1), 16) + Chunk("data", data)));
  ASSERT_EQ(QvxSoundLoad(0, "se8.wav", 100), 1);
  EXPECT_EQ(QvsGetState()->slots[0].pcm.wBitsPerSample, 8);
  QvxSoundPlay(0, 0);
  auto out = Left(Run(441 * 12));
  std::vector<int16_t> expected(3000, 0x20 * 256);
  expected.resize(out.size(), 0);
  EXPECT_EQ(out, expected);
}

TEST_F(SoundLibrary, LoopingStreamWrapsWithoutAGap) {
  TempDir::Write("bgm.wav", PcmWave(Pcm(44100, 16, 2), Ramp(5000)));
  ASSERT_EQ(QvxSoundLoad(0, "bgm.wav", 200), 1);
  QvxSoundPlay(0, 1);
  EXPECT_EQ(Left(Run(441 * 40)), LeftOfRamp(441 * 40, 0, 5000));
  // A sound shorter than a half is rewound once per refill, so a refill that meets
  // the end twice leaves the rest of its half silent.
  TempDir::Write("short.wav", PcmWave(Pcm(44100, 16, 2), Ramp(3000)));
  ASSERT_EQ(QvxSoundLoad(1, "short.wav", 200), 1);
  QvxSoundUnload(0);
  QvxSoundPlay(1, 1);
  auto out = Left(Run(441 * 40));  // through the fourth half
  std::vector<int16_t> expected = LeftOfRamp(12000, 0, 3000);  // halves 1 and 2, 180 of half 3
  expected.resize(13230, 0);                                   // then silence to its end
  auto again = LeftOfRamp(3000);                               // the next half starts over
  expected.insert(expected.end(), again.begin(), again.end());
  expected.resize(out.size(), 0);
  EXPECT_EQ(out, expected);
}

TEST_F(SoundLibrary, StreamPauseResumesAndStopStartsClean) {
  TempDir::Write("bgm.wav", PcmWave(Pcm(44100, 16, 2), Ramp(20000)));
  ASSERT_EQ(QvxSoundLoad(2, "bgm.wav", 200), 1);
  QvxSoundPlay(2, 0);
  Run(441 * 15);
  EXPECT_EQ(QvxSoundPause(2), 1);
  EXPECT_EQ(platform::timer_count(), 0);
  EXPECT_EQ(Run(441), (std::vector<int16_t>(882, 0)));
  QvxSoundPlay(2, 0);
  EXPECT_EQ(Left(Run(441 * 15)), LeftOfRamp(441 * 15, 441 * 15));
  // Stop rewinds the data and clears the buffer: play starts at the first sample,
  // with nothing of the earlier sound before it.
  EXPECT_EQ(QvxSoundStop(2), 1);
  QvxSoundPlay(2, 0);
  EXPECT_EQ(Left(Run(441 * 12)), LeftOfRamp(441 * 12));
  // Play while playing only changes the loop flag.
  QvxSoundPlay(2, 1);
  EXPECT_EQ(QvsGetState()->slots[2].loop, 1);
  EXPECT_EQ(Left(Run(441)), LeftOfRamp(441, 441 * 12));
}

TEST_F(SoundLibrary, CompressedStreamsDecodeThroughTheAcm) {
  // IMA ADPCM, mono at 22,050 Hz: the mixer doubles every sample, so the even output
  // frames are the decoded samples.
  IMAADPCMWAVEFORMAT ima{{WAVE_FORMAT_IMA_ADPCM, 1, 22050, 22050 * 8 / 9, 8, 4, 2}, 9};
  std::string block("\0\0\0\0\x07\xF8\0\0", 8);
  std::string data;
  for (int i = 0; i < 200; ++i) data += block;
  TempDir::Write("ima.wav", Riff(Fmt(ima) + Chunk("fact", "\0\0\0\0") + Chunk("data", data)));
  ASSERT_EQ(QvxSoundLoad(5, "ima.wav", 100), 1);
  EXPECT_EQ(QvsGetState()->slots[5].pcm.wBitsPerSample, 16);
  QvxSoundPlay(5, 1);
  auto left = Left(Run(36));
  std::vector<int16_t> even;
  for (size_t i = 0; i < left.size(); i += 2) even.push_back(left[i]);
  std::vector<int16_t> one = {0, 11, 13, 12, -11, -8, -5, -3, -1};
  std::vector<int16_t> expected = one;
  expected.insert(expected.end(), one.begin(), one.end());
  EXPECT_EQ(even, expected);
  QvxSoundUnload(5);

  // MP3 behind ID3 tags: silent frames play as silence and the stream ends by itself.
  std::string id3 = std::string("ID3\x03\0\0\0\0\0\x05", 10) + std::string(5, '\0');
  TempDir::Write("bgm.mp3", id3 + SilentMp3Frames(12) + "TAG" + std::string(125, ' '));
  ASSERT_EQ(QvxSoundLoad(6, "bgm.mp3", 200), 1);
  EXPECT_EQ(QvsGetState()->slots[6].pcm.nSamplesPerSec, 44100u);
  EXPECT_EQ(QvsGetState()->slots[6].pcm.nChannels, 2);
  QvxSoundPlay(6, 0);
  auto out = Run(44100);
  for (int16_t v : out) ASSERT_EQ(v, 0);
  EXPECT_FALSE(Playing(6));
  EXPECT_EQ(platform::timer_count(), 0);
  // A file that is neither is refused.
  TempDir::Write("text.wav", std::string(100, 'x'));
  EXPECT_EQ(QvxSoundLoad(7, "text.wav", 200), 0);
}

int32_t OverReporting(void*, int32_t* count, const WAVEFORMATEX*, QvSoundSlot*) {
  *count += 1;
  return 1;
}

TEST_F(SoundLibrary, ARenderThatOverrunsIsReportedAndSilenced) {
  TempDir::Write("bgm.wav", PcmWave(Pcm(44100, 16, 2), Ramp(20000)));
  ASSERT_EQ(QvxSoundLoad(0, "bgm.wav", 200), 1);
  QvsGetState()->slots[0].render = OverReporting;
  std::string debug;
  platform::set_debug_capture(&debug);
  QvxSoundPlay(0, 0);
  platform::set_debug_capture(nullptr);
  EXPECT_EQ(debug, "QVSound Report - ストリームレンダリング関数の動作が不正です。\n");
  EXPECT_EQ(h_.pull_audio(2), (std::vector<int16_t>(4, 0)));
}

// A host whose timers run on the timer thread, as under SDL, with a clock the test moves.
class ThreadHost : public host::HeadlessHost {
 public:
  bool headless() const override { return false; }
};

TEST(SoundThreads, StopAndUnloadNeverMeetARunningRefill) {
  ThreadHost h;
  host::set(&h);
  h.set_quiet(true);
  TempDir dir;
  TempDir::Write("bgm.wav", PcmWave(Pcm(44100, 16, 2), Ramp(30000)));
  ASSERT_EQ(QvxSoundStartDefault(nullptr), 0);
  // Each round lets a refill fall due on the timer thread and at once stops or
  // frees the stream under it; the refill must either finish first or not run.
  for (int round = 0; round < 24; ++round) {
    ASSERT_EQ(QvxSoundLoad(round % 3, "bgm.wav", 200), 1);
    QvxSoundPlay(round % 3, round & 1);
    h.pull_audio(441 * (round % 11));
    h.advance_clock(10000);
    if (round % 4 == 0) QvxSoundStop(round % 3);
    if (round % 4 == 1) QvxSoundPause(round % 3);
    QvxSoundUnload(round % 3);
  }
  EXPECT_EQ(platform::timer_count(), 0);
  QvxSoundTerminate();
  EXPECT_EQ(QvxAllocFirst(MEMTYPE_NORMAL), nullptr);
  host::set(nullptr);
}

// --- Start-up ---

class NoAudioHost : public host::HeadlessHost {
 public:
  bool open_audio(int, int, host::AudioCallback, void*) override { return false; }
};

class SoundStart : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&h_);
    h_.set_quiet(true);
  }
  void TearDown() override {
    platform::reset_libraries();
    EXPECT_EQ(QvsGetState()->device, nullptr);
    EXPECT_EQ(platform::library_load_count("ole32.dll"), 0);
    EXPECT_EQ(platform::library_load_count("winmm.dll"), 0);
    EXPECT_EQ(platform::library_load_count("msacm32.dll"), 0);
    EXPECT_EQ(platform::timer_period_requests(), 0);
    EXPECT_EQ(platform::dsound_device_count(), 0);
    host::set(nullptr);
  }
  // The one error box of a failed start.
  std::string Failure() {
    EXPECT_EQ(h_.message_boxes().size(), 1u);
    if (h_.message_boxes().empty()) return "";
    EXPECT_EQ(h_.message_boxes()[0].caption, "QVSound Error");
    return h_.message_boxes()[0].text;
  }
  host::HeadlessHost h_;
};

TEST_F(SoundStart, MissingLibraryOrFunction) {
  platform::set_library_available("winmm.dll", false);
  EXPECT_EQ(QvxSoundStartDefault(nullptr), -1);
  EXPECT_EQ(Failure(), "QVXAPI Initialize Failed");
  platform::reset_libraries();
  platform::set_proc_available("msacm32.dll", "acmStreamSize", false);
  EXPECT_EQ(QvxSoundInitialize(nullptr, 44100, 16, 2, 8), 0);
  EXPECT_EQ(h_.message_boxes().back().text, "QVXAPI Initialize Failed");
}

TEST_F(SoundStart, EachStepReportsItsFailure) {
  EXPECT_EQ(QvxSoundInitialize(nullptr, 44100, 12, 2, 8), 0);  // no such output format
  EXPECT_EQ(Failure(), "Create PrimaryBuffer Failed");
  EXPECT_EQ(QvxSoundInitialize(nullptr, 44100, 16, 2, -1), 0);
  EXPECT_EQ(h_.message_boxes().back().text, "Get StreamArrayMemory Failed");
  NoAudioHost quiet;
  quiet.set_quiet(true);
  host::set(&quiet);
  EXPECT_EQ(QvxSoundInitialize(nullptr, 44100, 16, 2, 8), 0);
  ASSERT_EQ(quiet.message_boxes().size(), 1u);
  EXPECT_EQ(quiet.message_boxes()[0].text, "CreateDirectSound Failed");
  host::set(&h_);
}

TEST_F(SoundStart, SecondStartReplacesTheFirstAndBindingsCount) {
  ASSERT_EQ(QvxSoundInitialize(nullptr, 22050, 8, 1, 4), 1);
  ASSERT_EQ(QvxSoundInitialize(nullptr, 44100, 16, 2, 8), 1);
  EXPECT_EQ(QvsGetState()->slot_count, 8u);
  EXPECT_EQ(platform::library_load_count("winmm.dll"), 1);
  EXPECT_EQ(platform::timer_period_requests(), 1);
  // Binding again only counts; the last release unbinds and ends the timer period.
  ASSERT_TRUE(QvxApiInitialize());
  EXPECT_EQ(platform::library_load_count("winmm.dll"), 1);
  QvxApiTerminate();
  EXPECT_NE(QvxWinmmTable(), nullptr);
  QvxSoundTerminate();
  EXPECT_EQ(QvxWinmmTable(), nullptr);
  EXPECT_EQ(h_.message_boxes().size(), 0u);
  EXPECT_EQ(QvxSoundGetMasterVolume(), 1);  // stopped: no primary buffer
  EXPECT_EQ(QvxSoundSetMasterVolume(0), 0);
  EXPECT_EQ(QvxSoundSetGlobalFocus(1), 0);
}

}  // namespace
