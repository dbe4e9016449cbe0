// Frames, waits, settings, fades, time and random numbers.
#include <cstdlib>
#include <ctime>

#include "game/event.h"
#include "game/gamestate.h"
#include "tests/game/macro/fixture.h"

namespace gameui_test {
namespace {

using Waits = GameUiTest;

TEST_F(Waits, EveryCommandPushesOneResultOnItsDefaults) {
  for (ScriptHandler h : {macro_ref, macro_wait, macro_fps, macro_tick, macro_textcolor, macro_movemotion,
                          macro_rnd, macro_timesec, macro_timemin, macro_timehour, macro_timeday, macro_timemon,
                          macro_timeyear}) {
    Result r = Call(h);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.tag, "I");
  }
  EXPECT_EQ(Call(macro_ref).text, "");
  EXPECT_EQ(Call(macro_fps).text, "1");
  EXPECT_EQ(Call(macro_fps, {"0"}).text, "1");
}

TEST_F(Waits, SleepPresentsFramesUntilItsEnd) {
  uint64_t frames = host_.frames_presented();
  Call(macro_sleep, {"0"});
  Call(macro_sleep, {"-5"});
  EXPECT_EQ(host_.frames_presented(), frames);
  const DWORD start = dxgettime();
  Call(macro_sleep);
  EXPECT_GE(dxgettime() - start, 100000u);
  EXPECT_LT(dxgettime() - start, 100000u + 17000u);
  EXPECT_GE(host_.frames_presented(), frames + 6);
  // An end past the 32-bit wrap is never reached: no wait.
  host_.set_clock(uint64_t{0xFFFF0000});
  frames = host_.frames_presented();
  Call(macro_sleep, {"1000"});
  EXPECT_EQ(host_.frames_presented(), frames);
}

TEST_F(Waits, TickIsTheSignedMicrosecondCount) {
  host_.set_clock(uint64_t{3000000000});
  EXPECT_EQ(Call(macro_tick).text, std::to_string(static_cast<int32_t>(dxgettime())));
  EXPECT_EQ(Call(macro_tick).text[0], '-');
}

TEST_F(Waits, TextColourSetsThePaletteOnly) {
  Call(macro_textcolor, {"10", "255", "0", "0"});
  Call(macro_textcolor, {"-1", "255", "0", "0"});
  EXPECT_EQ(MarkupPalette[9].r, 0);
  Call(macro_textcolor, {"3", "10", "20", "30"});
  EXPECT_EQ(MarkupPalette[3].g, 20);
  EXPECT_EQ(MesText.r, 1);
  DrawMarkupText("%c3", 0, 0);
  EXPECT_EQ(MesText.b, 30);
}

TEST_F(Waits, SettingsGoToTheRecordAndTheVariables) {
  SetupRecord = {};
  SetupRecord.move_motion = 1;
  Call(macro_movemotion);
  EXPECT_EQ(SetupRecord.move_motion, 1);
  EXPECT_EQ(GetVarInt("MOVE_MOTION"), 1);
  Call(macro_movemotion, {"0"});
  EXPECT_EQ(GetVarInt("MOVE_MOTION"), 0);
  Call(macro_videomode, {"2"});
  EXPECT_EQ(SetupRecord.video_mode, 2);
  EXPECT_EQ(GetVarInt("VIDEO_MODE"), 2);
  EXPECT_TRUE(dxvram);
  Call(macro_videomode, {"0"});
  EXPECT_FALSE(dxvram);
  Call(macro_fullscreen);
  EXPECT_EQ(GetVarInt("FULL_SCREEN"), 0);
  EXPECT_FALSE(host_.fullscreen());
  SetupRecord = {};
}

TEST_F(Waits, EvalRunsAnEventNested) {
  std::string text = "EVALED = EVALED + 1; RET = 5;";
  ScriptNode* program = nullptr;
  ScriptError error;
  ASSERT_EQ(ScriptCompile(text.data(), &program, &error), 0);
  EventScripts[7] = program;
  EXPECT_EQ(RunScript("a = eval(7); b = eval(0); eval(); EVALED = EVALED + 10;"), 0);
  EXPECT_EQ(GetVarInt("EVALED"), 11);
  EXPECT_STREQ(GetVarStr("a"), "");
  EventScripts[7] = nullptr;
  ScriptFreeProgram(program);
}

TEST_F(Waits, FadesTakeElevenFrames) {
  host_.set_frames_kept(20);
  Call(macro_clear, {"200", "100", "50"});
  uint64_t base = host_.frames_presented();
  Call(macro_fadeout, {"400", "0", "0", "0"});
  ASSERT_EQ(host_.frames_presented(), base + 11);
  const auto& f = host_.frames();
  EXPECT_EQ(f[f.size() - 11].at(5, 5), 0xC86432u);  // 0 percent: the picture as it was
  EXPECT_EQ(f.back().at(5, 5), 0u);
  Call(macro_fill, {"0", "0", "255", "0", "0", "64", "64"});
  base = host_.frames_presented();
  Call(macro_fadein, {"400", "255", "255", "255"});
  ASSERT_EQ(host_.frames_presented(), base + 11);
  EXPECT_EQ(f[f.size() - 11].at(5, 5), 0xFFFFFFu);  // 0 percent of the picture over the colour
  EXPECT_EQ(f.back().at(5, 5), 0x0000FFu);
  EXPECT_EQ(f.back().at(100, 100), 0xFFFFFFu);  // black is clear in the last frame
}

TEST_F(Waits, RandomNumbersAndTheClock) {
  srand(7);
  EXPECT_EQ(Call(macro_rnd, {"1"}).text, "0");
  EXPECT_EQ(Call(macro_rnd, {"-5"}).text, "0");
  for (int i = 0; i < 50; ++i) {
    int v = std::atoi(Call(macro_rnd).text.c_str());
    EXPECT_GE(v, 0);
    EXPECT_LT(v, 1000);
  }
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  EXPECT_EQ(Call(macro_timeyear).text, std::to_string(t.tm_year + 1900));
  int mon = std::atoi(Call(macro_timemon).text.c_str());
  EXPECT_GE(mon, 1);
  EXPECT_LE(mon, 12);
  Result name = Call(macro_sysname);
  EXPECT_EQ(name.tag, "S");
  if (const char* user = std::getenv("USER"); user && *user) {
    EXPECT_EQ(name.text, user);
  }
}

}  // namespace
}  // namespace gameui_test
