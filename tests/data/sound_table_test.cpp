// The demo game's sound table loaded by the game's own reader into the sound
// library on the headless host, and every entry heard through the mixer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "game/sound.h"
#include "platform/host/headless_host.h"
#include "qv/qvsapi.h"
#include "tests/data/data_files.h"

namespace {

class DemoSoundTable : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&host_);
    host_.set_quiet(true);
    host_.set_catch_exits(true);
    ASSERT_EQ(QvxSoundStartDefault(nullptr), 0);
  }
  void TearDown() override {
    ClearSoundData();
    QvxSoundTerminate();
    host::set(nullptr);
  }
  // The loudest sample of `frames` mixed frames, pulled 10 ms at a time so
  // that the stream refill timer runs between pulls.
  int Loudest(int frames) {
    int peak = 0;
    while (frames > 0) {
      int n = std::min(frames, 441);
      for (int16_t v : host_.pull_audio(n)) peak = std::max(peak, std::abs(int(v)));
      host_.advance_clock(10000);
      frames -= n;
    }
    return peak;
  }
  host::HeadlessHost host_;
  datacheck::InRoot here_;
};

TEST_F(DemoSoundTable, EveryEntryLoadsAndSounds) {
  ASSERT_NO_THROW(ReadSoundData());
  int entries = 0;
  for (int n = 0; n < kSoundEntries; ++n) {
    if (!SoundTable[n].file) continue;
    SCOPED_TRACE(SoundTable[n].file);
    ++entries;
    ASSERT_EQ(QvxSoundPlay(n, 0), 1);
    // A quarter of a second is enough for every effect's first notes and for a
    // stream's first refills.
    EXPECT_GT(Loudest(11025), 200);
    QvxSoundStop(n);
  }
  EXPECT_GE(entries, 20);
  // Monsters name their cries by file; the table finds them.
  EXPECT_GT(FindSoundNo("data/sound/se_cry1.wav"), 0);
  EXPECT_GT(FindSoundNo("data/sound/se_cry2.wav"), 0);
}

}  // namespace
