// AVI playback: frames chosen by the clock, drawn through GDI onto the render
// target, with the audio stream played from a buffer of its own.
#include <climits>

#include "../display/fixture.h"
#include "avi.h"
#include "platform/vfw/avifile.h"
#include "wave.h"

namespace {

class Avi : public DxTest {
 protected:
  void SetUp() override {
    DxTest::SetUp();
    Start(32);
  }
  // Frame i is red i * 10, green 200, blue 1.
  static avi::Video Counting(int frames) {
    avi::Video v;
    for (int i = 0; i < frames; ++i) v.frames.push_back(avi::SolidFrame(v.width, v.height, static_cast<uint8_t>(i * 10), 200, 1));
    return v;
  }
  static uint32_t FrameColour(int i) { return dxrgb(i * 10, 200, 1); }
  void Run(int ms) {
    for (int i = 0; i < ms; ++i) host_.advance_clock(1000);
  }
};

TEST_F(Avi, FramesFollowTheClock) {
  std::string path = WriteTemp("count.avi", avi::File(Counting(20)));
  ASSERT_TRUE(dxopenavi(path.c_str()));
  EXPECT_TRUE(dxaviopen());
  ASSERT_TRUE(dxdrawavi(10, 20, 0, 0));
  EXPECT_EQ(Back(10, 20), FrameColour(0));
  EXPECT_EQ(Back(41, 35), FrameColour(0));  // the frame's own size
  EXPECT_EQ(Back(42, 20), 0u);
  Run(1000);  // 15 frames a second: frame 15 one second after the first
  ASSERT_TRUE(dxdrawavi(10, 20, 0, 0));
  EXPECT_EQ(Back(10, 20), FrameColour(15));
  ASSERT_TRUE(dxdrawavi(10, 20, 0, 0));  // drawn again, the same frame
  EXPECT_EQ(Back(10, 20), FrameColour(15));
  Run(400);  // frames 16 to 20 skipped: 21 is past the end
  EXPECT_FALSE(dxdrawavi(10, 20, 0, 0));
  EXPECT_FALSE(dxaviopen());
  EXPECT_EQ(platform::avi_stream_count(), 0);
}

TEST_F(Avi, CentredAndStretched) {
  avi::Video v = Counting(2);
  v.width = 320;
  v.frames = {avi::SolidFrame(320, 16, 10, 20, 30)};
  ASSERT_TRUE(dxopenavi(WriteTemp("wide.avi", avi::File(v)).c_str()));
  ASSERT_TRUE(dxdrawavi(0x7FFFFFFF, 0x7FFFFFFF, 0, 0));
  EXPECT_EQ(Back(160, 232), dxrgb(10, 20, 30));
  EXPECT_EQ(Back(159, 232), 0u);
  EXPECT_EQ(Back(479, 247), dxrgb(10, 20, 30));
  EXPECT_EQ(Back(480, 247), 0u);
  dxcls(0);
  ASSERT_TRUE(dxdrawavi(0, 0, 640, 32));
  EXPECT_EQ(Back(639, 31), dxrgb(10, 20, 30));
  dxcloseavi();
}

// Places and sizes at the ends of int draw what reaches the screen: before,
// the stretch's edges and the centring overflowed.
TEST_F(Avi, PlacedAtTheEndsOfIntDrawsTheVisiblePart) {
  ASSERT_TRUE(dxopenavi(WriteTemp("edge.avi", avi::File(Counting(2))).c_str()));
  ASSERT_TRUE(dxdrawavi(INT_MAX - 5, 0, 100, 10));  // wholly right of the screen
  int set = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) set += Back(x, y) != 0;
  EXPECT_EQ(set, 0);
  ASSERT_TRUE(dxdrawavi(0x7FFFFFFF, 0, INT_MIN, 0));  // centred and mirrored, 2^31 wide
  for (int x = 0; x < 640; ++x) {
    EXPECT_EQ(Back(x, 15), FrameColour(0)) << x;
    EXPECT_EQ(Back(x, 16), 0u) << x;
  }
  dxcloseavi();
}

TEST_F(Avi, AudioStartsWithTheFirstFrameAndClosesWithTheVideo) {
  avi::Video v = Counting(4);
  v.audio = std::string(11025, '\xC0');
  std::string path = WriteTemp("sound.avi", avi::File(v));
  const int buffers = platform::dsound_buffer_count();
  ASSERT_TRUE(dxopenavi(path.c_str()));
  EXPECT_EQ(platform::dsound_buffer_count(), buffers + 1);
  std::vector<int16_t> quiet = host_.pull_audio(100);
  EXPECT_EQ(quiet[50], 0);  // not before the first frame
  ASSERT_TRUE(dxdrawavi(0, 0, 0, 0));
  std::vector<int16_t> loud = host_.pull_audio(100);
  EXPECT_EQ(loud[50], (0xC0 - 128) * 256);
  // Opening another closes this one, its audio included.
  ASSERT_TRUE(dxopenavi(WriteTemp("plain.avi", avi::File(Counting(2))).c_str()));
  EXPECT_EQ(platform::dsound_buffer_count(), buffers);
  EXPECT_EQ(platform::avi_stream_count(), 1);
  dxcloseavi();
}

TEST_F(Avi, WhatCannotBeShownIsRefused) {
  EXPECT_FALSE(dxopenavi("no-such.avi"));
  EXPECT_FALSE(dxopenavi(WriteTemp("riff.avi", "RIFF\x04\0\0\0WAVE").c_str()));
  avi::Video mjpg = Counting(2);
  mjpg.compression = 0x47504A4D;  // a codec we do not have
  EXPECT_FALSE(dxopenavi(WriteTemp("mjpg.avi", avi::File(mjpg)).c_str()));
  avi::Video still = Counting(2);
  still.rate = 0;  // no time in it
  EXPECT_FALSE(dxopenavi(WriteTemp("still.avi", avi::File(still)).c_str()));
  avi::Video shorter = Counting(2);
  shorter.frames[1].resize(10);  // a frame short of its pixels ends the video there
  ASSERT_TRUE(dxopenavi(WriteTemp("short.avi", avi::File(shorter)).c_str()));
  EXPECT_TRUE(dxdrawavi(0, 0, 0, 0));
  Run(100);
  EXPECT_FALSE(dxdrawavi(0, 0, 0, 0));
  EXPECT_EQ(platform::avi_stream_count(), 0);
  EXPECT_TRUE(host_.message_boxes().empty());
}

TEST_F(Avi, PlayingBlocksUntilTheEnd) {
  const uint64_t before = host_.now_us();
  dxplayavi(WriteTemp("play.avi", avi::File(Counting(15))).c_str(), 0, 0, 0, 0);
  EXPECT_FALSE(dxaviopen());
  EXPECT_GE(host_.now_us() - before, 1000000u);  // 15 frames at 15 a second
  EXPECT_EQ(host_.last_frame()->at(0, 0), 0x8C'C8'01u);  // frame 14 was the last shown
}

}  // namespace
