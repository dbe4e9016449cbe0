// The sound library started on a headless host, with the mixed output pulled
// 10 ms at a time so that the refill timer runs between pulls.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/host/headless_host.h"
#include "platform/winmm/timer.h"
#include "qv/qvsapi.h"
#include "qv/qvscommon.h"
#include "qv/qvxalloc.h"
#include "tests/package/temp_dir.h"
#include "tests/sound/wave_builder.h"

namespace wavetest {

// Frames 0..n of the left channel of interleaved stereo output.
inline std::vector<int16_t> Left(const std::vector<int16_t>& out) {
  std::vector<int16_t> l;
  for (size_t i = 0; i < out.size(); i += 2) l.push_back(out[i]);
  return l;
}

inline std::vector<int16_t> LeftOfRamp(int frames, int first = 0, int length = 0) {
  std::vector<int16_t> r = Left(Ramp(length ? length : first + frames));
  std::vector<int16_t> out;
  for (int i = 0; i < frames; ++i) out.push_back(r[(first + i) % r.size()]);
  return out;
}

class SoundLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&h_);
    h_.set_quiet(true);
    ASSERT_EQ(QvxSoundStartDefault(nullptr), 0);
    ASSERT_TRUE(h_.audio_open());
  }
  void TearDown() override {
    QvxSoundTerminate();
    EXPECT_FALSE(h_.audio_open());
    EXPECT_EQ(platform::timer_count(), 0);
    EXPECT_EQ(platform::timer_period_requests(), 0);
    EXPECT_EQ(platform::dsound_buffer_count(), 0);
    EXPECT_EQ(QvxAllocFirst(MEMTYPE_NORMAL), nullptr);
    host::set(nullptr);
  }
  // Pulls mixed frames 10 ms at a time, moving the clock on after each pull as a
  // real device would, so the refill timer runs between them.
  std::vector<int16_t> Run(int frames) {
    std::vector<int16_t> out;
    while (frames > 0) {
      int n = std::min(frames, 441);
      auto part = h_.pull_audio(n);
      out.insert(out.end(), part.begin(), part.end());
      h_.advance_clock(10000);
      frames -= n;
    }
    return out;
  }
  bool Playing(int slot) {
    DWORD status = 0;
    QvsGetState()->slots[slot].buffer->GetStatus(&status);
    return status & DSBSTATUS_PLAYING;
  }
  host::HeadlessHost h_;
  TempDir dir_;
};

}  // namespace wavetest
