// The MIDI player on the virtual clock: what reaches the synthesizer and when,
// and what the synthesizer makes of it.
#include <algorithm>
#include <vector>

#include "../display/fixture.h"
#include "platform/winmm/mixer.h"
#include "smf.h"
#include "wave.h"

namespace {

class Midi : public DxTest {
 protected:
  void SetUp() override {
    DxTest::SetUp();
    Start();
    platform::midi_clear_log();
  }
  // Moves the clock by ms, a millisecond at a time, as a waiting program would.
  void Run(int ms) {
    for (int i = 0; i < ms; ++i) host_.advance_clock(1000);
  }
  uint64_t NowMs() { return host_.now_us() / 1000; }
  std::string File(const char* name, const std::vector<std::vector<SmfEvent>>& tracks) {
    return WriteTemp(name, SmfFile(tracks));
  }
  // Short messages with this status byte, in the order sent.
  static std::vector<platform::MidiMessage> Sent(int status) {
    std::vector<platform::MidiMessage> out;
    for (auto& m : platform::midi_log())
      if (m.message != 0xF0 && (m.message & 0xFF) == static_cast<DWORD>(status)) out.push_back(m);
    return out;
  }
  static int Note(const platform::MidiMessage& m) { return (m.message >> 8) & 0x7F; }
};

TEST_F(Midi, LeadingSilenceIsSkippedAndNotesFollowTheTempo) {
  // Two bars of silence, then a note each quarter; the tempo doubles at quarter 10.
  std::vector<SmfEvent> t = {NoteOn(3840, 0, 60), NoteOn(4320, 0, 61), Tempo(4800, 250000), NoteOn(5280, 0, 62)};
  std::string path = File("lead.mid", {t});
  dxplaymidi(path.c_str(), nullptr, 0, 1);
  EXPECT_TRUE(dxmidiplaying());
  EXPECT_EQ(dxgetmidilength(), 1100000u);
  const uint64_t start = NowMs();
  platform::midi_clear_log();
  Run(20);
  // The catch-up pass to the first note: nothing before it is a note.
  EXPECT_TRUE(Sent(0x90).empty());
  Run(20);
  ASSERT_EQ(Sent(0x90).size(), 1u);
  EXPECT_EQ(Note(Sent(0x90)[0]), 60);
  Run(1260);
  auto on = Sent(0x90);
  ASSERT_EQ(on.size(), 3u);
  // A quarter is 500 ms at 120 beats a minute, 250 ms after the tempo change at
  // 1040 ms, each sent by the first 20 ms pass past it.
  EXPECT_EQ(on[1].time_us / 1000 - start, 540u);
  EXPECT_EQ(on[2].time_us / 1000 - start, 1300u);
  Run(40);  // past the end without a loop: the player stops, the song stays
  EXPECT_FALSE(dxmidiplaying());
  EXPECT_EQ(dxgetmidilength(), 1100000u);
}

TEST_F(Midi, StartingMidSongSendsEverythingButNotes) {
  std::vector<SmfEvent> t = {Program(0, 1, 5),  Control(0, 1, 10, 30),   NoteOn(0, 1, 40),
                             NoteOn(480, 1, 41), Sysex(480, {0x43, 0x10, 0xF7}), Control(720, 1, 11, 90),
                             NoteOn(1440, 1, 42)};
  std::string path = File("mid.mid", {t});
  dxplaymidi(path.c_str(), nullptr, 100000 * 2 + 50000, 1);
  platform::midi_clear_log();
  Run(20);
  EXPECT_TRUE(Sent(0x91).empty());
  EXPECT_EQ(Sent(0xC1).size(), 1u);
  ASSERT_EQ(Sent(0xB1).size(), 2u);
  EXPECT_EQ(Sent(0xB1)[1].message, 0x5A0BB1u);
  bool sysex = false;
  for (auto& m : platform::midi_log())
    if (m.message == 0xF0) sysex = m.bytes == std::vector<uint8_t>{0xF0, 0x43, 0x10, 0xF7};
  EXPECT_TRUE(sysex);
  EXPECT_EQ(dxgetmidiposition(), 250000u);
  Run(400);
  ASSERT_EQ(Sent(0x91).size(), 1u);
  EXPECT_EQ(Note(Sent(0x91)[0]), 42);
  dxstopmidi();
  EXPECT_FALSE(dxmidiplaying());
  EXPECT_EQ(dxgetmidilength(), 0u);
}

TEST_F(Midi, AStallDoesNotAdvanceTheSong) {
  std::string path = File("stall.mid", {{NoteOn(0, 0, 60), NoteOff(48000, 0, 60)}});
  dxplaymidi(path.c_str(), nullptr, 0, 1);
  Run(100);
  uint32_t before = dxgetmidiposition();
  host_.advance_clock(500000);  // one pass sees 500 ms go by at once
  EXPECT_EQ(dxgetmidiposition(), before);
  Run(20);
  EXPECT_EQ(dxgetmidiposition(), before + 4000);  // 20 ms at 120 beats a minute
  dxsetmiditempo(50);
  Run(20);
  EXPECT_EQ(dxgetmidiposition(), before + 6000);
  dxpausemidi();
  EXPECT_TRUE(dxmidipaused());
  Run(100);
  EXPECT_EQ(dxgetmidiposition(), before + 6000);
  // The player still runs: it goes on, with a catch-up to where it was, during
  // the resume's 100 ms wait.
  dxresumemidi();
  EXPECT_TRUE(dxmidiplaying());
  EXPECT_FALSE(dxmidipaused());
  EXPECT_EQ(dxgetmidiposition(), before + 6000 + 4 * 2000);
}

TEST_F(Midi, TheIntroPlaysOnceAndTheLoopForever) {
  std::string intro = File("intro.mid", {{NoteOn(0, 0, 50), NoteOff(240, 0, 50)}});
  std::string loop = File("loop.mid", {{NoteOn(0, 0, 70), NoteOff(240, 0, 70)}});
  dxplaymidi(intro.c_str(), loop.c_str(), 0, 1);
  Run(2000);
  int intro_notes = 0, loop_notes = 0;
  for (auto& m : Sent(0x90)) (Note(m) == 50 ? intro_notes : loop_notes)++;
  EXPECT_EQ(intro_notes, 1);
  EXPECT_GE(loop_notes, 7);  // every 250 ms
  EXPECT_TRUE(dxmidiplaying());
}

TEST_F(Midi, TranspositionSparesTheDrums) {
  std::string path = File("tr.mid", {{NoteOn(0, 0, 60), NoteOn(0, 9, 60), NoteOn(0, 2, 120), NoteOff(480, 0, 60)}});
  dxplaymidi(path.c_str(), nullptr, 0, 1);
  dxsetmiditranspose(12);
  Run(600);
  ASSERT_EQ(Sent(0x90).size(), 1u);
  EXPECT_EQ(Note(Sent(0x90)[0]), 72);
  EXPECT_EQ(Note(Sent(0x99)[0]), 60);
  EXPECT_EQ(Note(Sent(0x92)[0]), 127);
  EXPECT_EQ(Note(Sent(0x80)[0]), 72);  // the note-off follows its note
}

TEST_F(Midi, VolumesScaleFromTheLoudestInTheSong) {
  std::string quiet = File("vol.mid", {{Control(0, 3, 7, 64), NoteOn(0, 3, 60), NoteOff(4800, 3, 60)}});
  dxplaymidi(quiet.c_str(), nullptr, 0, 1);
  Run(60);
  auto cc = Sent(0xB3);
  // 64 is the song's loudest: it plays as full volume.
  ASSERT_GE(cc.size(), 2u);
  EXPECT_EQ(cc[cc.size() - 2].message, 0x7F07B3u);
  EXPECT_EQ(cc.back().message, 0x7F27B3u);
  // Without volume controllers the loudest is 16383, and the channel plays at its scale.
  std::string plain = File("plain.mid", {{NoteOn(0, 4, 60), NoteOff(4800, 4, 60)}});
  dxplaymidi(plain.c_str(), nullptr, 0, 1);
  platform::midi_clear_log();
  dxsetmidichannelvolume(4, 32767);
  EXPECT_EQ(dxgetmidichannelvolume(4), 32767);
  cc = Sent(0xB4);
  ASSERT_EQ(cc.size(), 2u);
  EXPECT_EQ(cc[0].message, 0x3F07B4u);  // 8191 >> 7
  EXPECT_EQ(cc[1].message, 0x7F27B4u);  // 8191 & 127
  platform::midi_clear_log();
  dxsetmidivolume(0);
  EXPECT_EQ(Sent(0xB4)[0].message, 0x0007B4u);
}

TEST_F(Midi, TheSynthesizerSoundsNotesAtTheirVolume) {
  std::string path = File("syn.mid", {{NoteOn(0, 0, 69), NoteOff(480, 0, 69)}});
  dxplaymidi(path.c_str(), nullptr, 0, 1);
  Run(40);
  EXPECT_EQ(platform::midi_voices(), 1);
  auto peak = [&] {
    std::vector<int16_t> s = host_.pull_audio(2000);
    int p = 0;
    for (int16_t v : s) p = std::max(p, std::abs(static_cast<int>(v)));
    return p;
  };
  dxsetmidichannelvolume(0, 65535);  // sends the channel's volume: until then it is the default 100
  int loud = peak();
  EXPECT_NEAR(loud, 4000 * 100 / 127, 2);
  dxsetmidichannelvolume(0, 32767);
  EXPECT_NEAR(peak(), loud / 2, loud / 50);
  dxsetsynthvolume(0);  // the mixer's synthesizer line
  EXPECT_EQ(dxgetsynthvolume(), 0u);
  EXPECT_EQ(peak(), 0);
  dxsetsynthvolume(65535);
  Run(600);  // the note-off
  host_.pull_audio(2000);
  EXPECT_EQ(platform::midi_voices(), 0);
  EXPECT_EQ(peak(), 0);
}

TEST_F(Midi, FadeOutLowersTheVolumeThenStops) {
  std::string path = File("fade.mid", {{NoteOn(0, 0, 60), NoteOff(48000, 0, 60)}});
  dxplaymidi(path.c_str(), nullptr, 0, 1);
  Run(40);
  const uint64_t t0 = NowMs();
  platform::midi_clear_log();
  dxfadeoutmidi(200);
  EXPECT_GE(NowMs() - t0, 200u);
  std::vector<int> levels;
  for (auto& m : Sent(0xB0))
    if (((m.message >> 8) & 0x7F) == 7) levels.push_back((m.message >> 16) & 0x7F);
  EXPECT_EQ(levels, (std::vector<int>{95, 63, 31, 0}));
  EXPECT_FALSE(dxmidiplaying());
  EXPECT_EQ(dxgetmidivolume(), 65535);
}

TEST_F(Midi, DeactivationClosesTheDeviceAndResumesWhereItWas) {
  std::string path = File("act.mid", {{NoteOn(0, 0, 60), Program(480, 0, 7), NoteOn(1920, 0, 61)}});
  dxplaymidi(path.c_str(), nullptr, 0, 1);
  Run(600);
  dxclosemidi();
  const uint32_t at = dxgetmidiposition();
  EXPECT_EQ(dxmidiout, nullptr);
  EXPECT_FALSE(dxmidiplaying());
  Run(500);
  platform::midi_clear_log();
  dxresumemidi();
  Run(20);
  EXPECT_EQ(dxgetmidiposition(), at);  // the catch-up pass
  EXPECT_TRUE(Sent(0x90).empty());
  EXPECT_EQ(Sent(0xC0).size(), 1u);  // the program change before the position, again
  Run(1500);
  ASSERT_EQ(Sent(0x90).size(), 1u);
  EXPECT_EQ(Note(Sent(0x90)[0]), 61);
}

TEST_F(Midi, AMinimisedWindowGivesUpTheDeviceUntilRestored) {
  std::string path = File("min.mid", {{NoteOn(0, 0, 60), NoteOff(48000, 0, 60)}});
  dxplaymidi(path.c_str(), nullptr, 0, 1);
  Run(100);
  host::Event e;
  e.type = host::EventType::Minimized;
  host_.push(host_.frames_presented() + 1, e);
  e.type = host::EventType::Restored;
  host_.push(host_.frames_presented() + 2, e);
  dxupdate();  // the pump: minimised, the device closed, waiting, restored
  platform::midi_clear_log();
  dxupdate();
  EXPECT_NE(dxmidiout, nullptr);
  EXPECT_TRUE(dxmidiplaying());
  // Paused songs stay closed: nothing was playing to resume.
  dxpausemidi();
  e.type = host::EventType::Minimized;
  host_.push(host_.frames_presented() + 1, e);
  e.type = host::EventType::Restored;
  host_.push(host_.frames_presented() + 2, e);
  dxupdate();
  dxupdate();
  EXPECT_EQ(dxmidiout, nullptr);
  EXPECT_FALSE(dxmidiplaying());
}

TEST_F(Midi, BadFilesStopWithTheLoadMessage) {
  std::string bad = WriteTemp("bad.mid", std::string("MThd\0\0\0\x07", 8));
  EXPECT_THROW(dxplaymidi(bad.c_str(), nullptr, 0, 1), host::ProcessExit);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_NE(host_.message_boxes().back().text.find(U8("のロードに失敗しました。")), std::string::npos);
}

}  // namespace
