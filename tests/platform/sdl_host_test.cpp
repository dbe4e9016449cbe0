// The SDL2 host on SDL's dummy video and audio drivers: everything short of a
// real display works, so the host's own logic runs on any machine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/host/sdl_host.h"

namespace {

class SdlHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
};

TEST_F(SdlHostTest, OpensAWindowAndPresents) {
  auto h = host::MakeSdlHost();
  EXPECT_FALSE(h->headless());
  int w = 0, hh = 0;
  h->desktop_size(w, hh);
  EXPECT_GT(w, 0);
  EXPECT_GT(hh, 0);
  std::vector<uint32_t> icon(32 * 32, 0xFF2040A0);
  h->set_icon(icon.data(), 32, 32);  // kept for the window to come
  ASSERT_TRUE(h->open_window("dolvicar テスト", 640, 480, false));
  EXPECT_TRUE(h->window_open());
  h->set_icon(icon.data(), 32, 32);
  h->set_icon(nullptr, 0, 0);
  std::vector<uint32_t> frame(640 * 480, 0x00336699);
  h->present(frame.data(), 640, 480, 640 * 4);
  h->set_fullscreen(true);
  h->present(frame.data(), 640, 480, 640 * 4);
  h->set_fullscreen(false);
  host::Event e;
  while (h->poll_event(e)) {
  }
  h->start_text_input();
  h->set_text_input_rect(10, 10, 100, 20);
  h->stop_text_input();
  EXPECT_EQ(h->joystick_count(), 0);
  EXPECT_FALSE(h->joystick(0).present);
  h->close_window();
  EXPECT_FALSE(h->window_open());
}

TEST_F(SdlHostTest, ClockIsMonotonicAndVblankAdvancesIt) {
  auto h = host::MakeSdlHost();
  uint64_t a = h->now_us();
  h->wait_vblank();
  uint64_t b = h->now_us();
  // The wait ends in a later 60 Hz tick than the one it started in.
  EXPECT_GT(b * 60 / 1000000, a * 60 / 1000000);
}

TEST_F(SdlHostTest, AudioDeviceOpensAndCloses) {
  auto h = host::MakeSdlHost();
  auto cb = [](void*, int16_t* out, int frames) {
    for (int i = 0; i < frames * 2; ++i) out[i] = 0;
  };
  if (!h->open_audio(44100, 2, cb, nullptr)) GTEST_SKIP() << "no audio driver";
  h->lock_audio();
  h->unlock_audio();
  h->close_audio();
}

TEST_F(SdlHostTest, NoSoundOutputFallsBackToSilence) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  auto h = host::MakeSdlHost();
  auto cb = [](void*, int16_t* out, int frames) {
    for (int i = 0; i < frames * 2; ++i) out[i] = 0;
  };
  EXPECT_TRUE(h->open_audio(44100, 2, cb, nullptr));
  h->close_audio();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
