// The sound table, the music cross-fades and the sound commands.
#include "qv/qvsapi.h"
#include "qv/qvscommon.h"
#include "tests/game/macro/fixture.h"
#include "tests/sound/wave_builder.h"

namespace gameui_test {
namespace {

std::string U8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

class SoundTableTest : public GameUiTest {
 protected:
  void SetUp() override {
    GameUiTest::SetUp();
    ASSERT_EQ(QvxSoundStartDefault(nullptr), 0);
    const std::string wave = wavetest::PcmWave(wavetest::Pcm(44100, 16, 2), wavetest::Ramp(4410));
    for (const char* n : {"se0.wav", "se1.wav", "bgm2.wav", "bgm3.wav", "se5.wav", "move.wav"})
      TempDir::Write(std::string("data/sound/") + n, wave);
    dxtick(10);  // the fade clock's first reading
  }
  void TearDown() override {
    ClearSoundData();
    QvxSoundTerminate();
    GameUiTest::TearDown();
  }
  static void Cfg(const std::string& text) { TempDir::Write("data/sound/sound.cfg", text); }
  void Standard() {
    Cfg("# number file stream loop\n"
        "0 se0.wav 0 0\n"
        "1 se1.wav 0 0\r\n"
        "2 bgm2.wav 1 1\n"
        "3   bgm3.wav\t0 1\n"
        "5 se5.wav 0 0\n"
        "7 se1.wav 1\n"
        "eight se1.wav 0 0\n"
        "100 move.wav 0 0");
    ReadSoundData();
  }
  // One fade step, with time for it to count.
  void Step() {
    host_.advance_clock(1000);
    PlayMusic(-1);
  }
  static bool Playing(int slot) {
    DWORD status = 0;
    QvsGetState()->slots[slot].buffer->GetStatus(&status);
    return status & DSBSTATUS_PLAYING;
  }
  std::string Fatal() {
    EXPECT_THROW(ReadSoundData(), host::ProcessExit);
    return host_.message_boxes().empty() ? "" : host_.message_boxes().back().text;
  }
};

TEST_F(SoundTableTest, ReadsEntriesAndSkipsLinesThatDoNotParse) {
  Standard();
  EXPECT_STREQ(SoundTable[1].file, "data/sound/se1.wav");
  EXPECT_EQ(SoundTable[2].stream, 1);
  EXPECT_EQ(SoundTable[2].loop, 1);
  EXPECT_EQ(SoundTable[3].stream, 0);
  EXPECT_EQ(SoundTable[3].loop, 1);
  EXPECT_EQ(SoundTable[7].file, nullptr);
  EXPECT_STREQ(SoundTable[100].file, "data/sound/move.wav");
  EXPECT_EQ(FindSoundNo("data/sound/se5.wav"), 5);
  EXPECT_EQ(FindSoundNo("se5.wav"), 0);
  EXPECT_EQ(FindSoundNo(nullptr), 0);
  EXPECT_TRUE(host_.message_boxes().empty());
}

TEST_F(SoundTableTest, FaultsStopTheProgram) {
  EXPECT_NE(Fatal().find(U8(u8"音楽設定が読み込めません\n[data/sound/sound.cfg]")), std::string::npos);
  Cfg("1 se1.wav 0 0\n256 se1.wav 0 0\n");
  EXPECT_NE(Fatal().find(U8(u8"音楽設定の以下の部分に問題があります\n[data/sound/sound.cfg]\n256 se1.wav")),
            std::string::npos);
  ClearSoundData();
  QvxSoundUnloadAll();
  Cfg("-1 se1.wav 0 0\n");
  EXPECT_NE(Fatal().find(U8(u8"問題があります")), std::string::npos);
  Cfg("4 none.wav 0 0\n");
  EXPECT_NE(Fatal().find(U8(u8"音楽ナンバー[4]ファイル[data/sound/none.wav]が設定できませんでした")),
            std::string::npos);
  Cfg("255 se1.wav 0 0\n");  // the library has slots 0 to 254
  EXPECT_NE(Fatal().find(U8(u8"音楽ナンバー[255]ファイル[data/sound/se1.wav]が初期化できませんでした")),
            std::string::npos);
  EXPECT_NE(host_.message_boxes().back().text.find("game/sound:"), std::string::npos);
}

TEST_F(SoundTableTest, MusicFadesInAndOutInSteps) {
  Standard();
  PlayMusic(2);
  EXPECT_EQ(GetMusicNo(), 2);
  EXPECT_EQ(QvxSoundGetVolume(2), -2000);
  EXPECT_TRUE(Playing(2));
  std::vector<int32_t> in;
  for (int i = 0; i < 4; ++i) {
    Step();
    in.push_back(QvxSoundGetVolume(2));
  }
  EXPECT_EQ(in, (std::vector<int32_t>{-1200, -400, 0, 0}));
  PlayMusic(2);  // already playing: nothing
  EXPECT_EQ(GetPrevMusicNo(), 0);
  PlayMusic(3);
  EXPECT_EQ(GetPrevMusicNo(), 2);
  EXPECT_EQ(GetPrevMusicVolume(), 0);
  std::vector<int32_t> out;
  for (int i = 0; i < 2; ++i) {
    Step();
    out.push_back(QvxSoundGetVolume(2));
  }
  EXPECT_EQ(out, (std::vector<int32_t>{-800, -1600}));
  EXPECT_TRUE(Playing(2));
  Step();
  EXPECT_EQ(GetPrevMusicVolume(), -2000);
  EXPECT_FALSE(Playing(2));
  EXPECT_EQ(GetMusicVolume(), 0);
  EXPECT_EQ(QvxSoundGetVolume(3), 0);
}

TEST_F(SoundTableTest, ANewSwitchCutsOffTheFadingPiece) {
  Standard();
  PlayMusic(2);
  Step(), Step(), Step();
  PlayMusic(3);
  Step();
  EXPECT_TRUE(Playing(2));
  PlayMusic(5);
  EXPECT_FALSE(Playing(2));
  EXPECT_EQ(GetPrevMusicNo(), 3);
  PlayMusic(300);  // falls back to entry 0
  EXPECT_EQ(GetMusicNo(), 0);
  EXPECT_TRUE(Playing(0));
}

TEST_F(SoundTableTest, APieceThatIsBothCurrentAndFadingOutKeepsPlaying) {
  Standard();
  // From no music (number 0) to entry 0: one slot is current and previous.
  PlayMusic(300);
  EXPECT_EQ(QvxSoundGetVolume(0), -2000);
  for (int i = 0; i < 4; ++i) Step();
  EXPECT_TRUE(Playing(0));
  EXPECT_EQ(QvxSoundGetVolume(0), 0);
  // Back to a piece while it still fades out.
  PlayMusic(2);
  for (int i = 0; i < 3; ++i) Step();
  PlayMusic(3);
  Step();
  ChangeMusicFade(2);
  for (int i = 0; i < 3; ++i) Step();
  EXPECT_EQ(GetMusicNo(), 2);
  EXPECT_TRUE(Playing(2));
  EXPECT_EQ(QvxSoundGetVolume(2), 0);
}

TEST_F(SoundTableTest, ACrossFadeToNothingStopsTheOldMusic) {
  Cfg("2 bgm2.wav 0 1\n");
  ReadSoundData();
  ChangeMusicFade(2);
  EXPECT_TRUE(Playing(2));
  ChangeMusicFade(7);  // unset, and entry 0 too
  EXPECT_EQ(GetMusicNo(), 0);
  EXPECT_FALSE(Playing(2));
}

TEST_F(SoundTableTest, ACrossFadeToAnUnsetNumberLeavesTheMusicAsItIs) {
  Standard();
  // Nothing plays; the unset number falls back to entry 0, which is no switch.
  const uint64_t start = host_.now_us();
  ChangeMusicFade(9);
  EXPECT_EQ(host_.now_us(), start);  // no fade ran
  EXPECT_EQ(GetMusicNo(), 0);
  EXPECT_FALSE(Playing(0));
  // Entry 0 playing as the music goes on playing.
  PlayMusic(300);
  for (int i = 0; i < 4; ++i) Step();
  ASSERT_TRUE(Playing(0));
  ChangeMusicFade(9);
  EXPECT_TRUE(Playing(0));
  EXPECT_EQ(QvxSoundGetVolume(0), 0);
  EXPECT_EQ(GetMusicNo(), 0);
}

TEST_F(SoundTableTest, EffectsStopsAndVolumes) {
  Standard();
  PlayMusic(2);
  PlaySE(2);  // the current music is left alone
  EXPECT_EQ(QvxSoundGetVolume(2), -2000);
  PlaySE(9);  // unset: entry 0
  EXPECT_TRUE(Playing(0));
  StopSound(2);
  EXPECT_TRUE(Playing(2));
  StopSound(-4);
  EXPECT_FALSE(Playing(0));
  EXPECT_EQ(SetSoundVolume(5, -1), 2000);
  EXPECT_EQ(SetSoundVolume(5, 1500), 2000);
  EXPECT_EQ(QvxSoundGetVolume(5), -500);
  EXPECT_TRUE(Playing(5));
  EXPECT_EQ(SetSoundVolume(5, 0), 1500);
  EXPECT_FALSE(Playing(5));
  EXPECT_EQ(SetSoundVolume(9, 1000), 0);  // unset: nothing
  EXPECT_EQ(SetSoundVolume(400, -1), 2000);  // out of range: entry 0
}

TEST_F(SoundTableTest, CrossFadeRunsToItsEnd) {
  Standard();
  const uint64_t start = host_.now_us();
  ChangeMusicFade(3);
  EXPECT_EQ(GetMusicNo(), 3);
  EXPECT_EQ(QvxSoundGetVolume(3), 0);
  EXPECT_EQ(GetMusicVolume(), 0);
  EXPECT_TRUE(Playing(3));
  EXPECT_GE(host_.now_us() - start, 67u * 10000u);  // 67 waits of 10 ms
  ChangeMusicFade(2);
  EXPECT_FALSE(Playing(3));
  EXPECT_EQ(GetMusicNo(), 2);
  ClearSoundData();
  ChangeMusicFade(4);  // nothing set, not even entry 0
  EXPECT_EQ(GetMusicNo(), 0);
}

TEST_F(SoundTableTest, SoundCommands) {
  Standard();
  for (ScriptHandler h : {macro_sound, macro_sound_stop, macro_sound_volume, macro_music}) {
    Result r = Call(h);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.tag, "I");
  }
  EXPECT_EQ(Call(macro_sound, {"-1"}).text, "0");
  EXPECT_FALSE(Playing(0));
  EXPECT_EQ(Call(macro_sound, {"1"}).text, "0");
  EXPECT_TRUE(Playing(1));
  EXPECT_EQ(Call(macro_sound_stop, {"1"}).text, "0");
  EXPECT_FALSE(Playing(1));
  EXPECT_EQ(Call(macro_sound_volume).text, "0");
  EXPECT_EQ(Call(macro_sound_volume, {"5"}).text, "2000");
  EXPECT_EQ(Call(macro_sound_volume, {"5", "1500"}).text, "1500");
  EXPECT_EQ(Call(macro_sound_volume, {"5", "-1"}).text, "-1");
  EXPECT_EQ(Call(macro_sound_volume, {"5"}).text, "1500");
  EXPECT_EQ(Call(macro_music, {"3"}).text, "0");
  EXPECT_EQ(Call(macro_music).text, "3");
  EXPECT_EQ(Call(macro_music, {"-1"}).text, "3");
}

TEST_F(SoundTableTest, MenusPlayTheirSounds) {
  Standard();
  host_.key_press(host_.frames_presented() + 20, host::key::Down);
  host_.key_press(host_.frames_presented() + 40, host::key::Return);
  const char* texts[] = {"a", "b", nullptr};
  EXPECT_EQ(RunChoiceMenuV(0, 0, 0, 0, texts), 1);
  EXPECT_TRUE(Playing(100));
}

}  // namespace
}  // namespace gameui_test
