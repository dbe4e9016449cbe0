// The demo game started by the game itself on the headless host from the
// package tools/play.sh would make, for the tests that play it; the test's
// parameter is the desktop's depth.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/event.h"
#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/main.h"
#include "game/sound.h"
#include "platform/win32/display.h"
#include "platform/win32/file.h"
#include "platform/win32/process.h"
#include "qv/qvsapi.h"
#include "script/script.h"
#include "tests/data/data_files.h"
#include "tests/game/game_fixture.h"
#include "tools/mkpack/packwriter.h"

namespace demoplay {

namespace key = host::key;

// A built-in as the game registered it, before a test puts its own in front.
inline ScriptHandler BuiltIn(const char* name) {
  for (MacroEntry* e = MacroList; e; e = e->next)
    if (std::strcmp(e->name, name) == 0) return e->handler;
  return nullptr;
}

// The game's own rolls, which a fight keeps; outside one every roll comes up
// 0, so that the sand storm's one step in four is each one.
inline ScriptHandler g_game_roll = nullptr;
inline int RollZeroOutsideFights(StrList** args, StrList** stack) {
  return GetVarInt("INBATTLE") == 1 ? g_game_roll(args, stack) : MacroPushInt(stack, 0);
}
// Puts it in front of the game's "rnd" (the fixture clears the registry).
inline bool RollsComeUpZero() {
  g_game_roll = BuiltIn("rnd");
  if (!g_game_roll) return false;
  ScriptRegisterFunction(&MacroList, "rnd", RollZeroOutsideFights, nullptr);
  return true;
}

class DemoPlay : public gametest::GameTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    // The package lies beside the program: the program stands in the test's
    // own folder, so the tests that ctest runs side by side each have theirs.
    win32::SetModulePath((dir_.path() / "dolvicar").string().c_str());
    char* argv[] = {const_cast<char*>("dolvicar")};
    win32::SetProcessArgs(1, argv);
    BaseDir[0] = '\0';
    // A deeper desktop is offered 16 bits at start-up: declined, the game
    // draws at the desktop's own depth.
    win32::SetDesktopDepth(GetParam());
    // The layer reads the desktop's depth at its first start in a process.
    dxdesktopdepth = GetParam();
    if (GetParam() > 16) host_.answer_next(host::MessageResult::No);
    host_.set_frames_kept(2);
    std::vector<packwriter::Entry> entries;
    std::string error;
    ASSERT_TRUE(packwriter::Collect(datacheck::Root() / "data", entries, error)) << error;
    pak_ = win32::HostPath(PackageFileName().c_str());
    ASSERT_TRUE(packwriter::Write(entries, pak_, error)) << error;
  }
  void TearDown() override {
    dxrelease();
    QvxSoundTerminate();
    ClearSoundData();
    PackageOpen("");
    std::error_code ec;
    if (!pak_.empty()) std::filesystem::remove(pak_, ec);
    win32::RestoreDesktopMode();
    win32::SetDesktopDepth(32);
    std::filesystem::current_path(dir_.path());
    win32::SetModulePath(nullptr);
    BaseDir[0] = '\0';  // a test that saved named its own folder
    g_game_roll = nullptr;
    GameTest::TearDown();
  }
  // Start-up; false when it stopped the program.
  bool Start() {
    try {
      InitGame();
      // Start-up seeds the rolls from the time of day; a fixed seed makes
      // every run meet the same monsters and the same blows.
      srand(5);
      EXPECT_EQ(dxscreendepth, GetParam());
      return true;
    } catch (const host::ProcessExit&) {
      return false;
    }
  }
  // The game started again as a new program would start: only the files on
  // disk are left. False when it stopped the program.
  bool Restart() {
    host_.clear_script();  // the input the run before had not taken
    dxrelease();
    QvxSoundTerminate();
    ClearSoundData();
    PackageOpen("");
    win32::RestoreDesktopMode();
    FreeEventData();
    ClearMapData();
    ScriptClearFunctions();
    gametest::ResetVars();
    dxclearchars();
    SetupRecord = {};
    if (GetParam() > 16) host_.answer_next(host::MessageResult::No);  // the depth offer again
    return Start();
  }
  // Presses keys a second apart from now.
  void Keys(const std::vector<int>& keys) {
    uint64_t frame = host_.frames_presented() + 60;
    for (int k : keys) {
      host_.key_press(frame, k);
      frame += 60;
    }
    // A run that never comes back ends with the window.
    host_.close(frame + 3000);
  }
  // Whether the last frame presented shows anything but black.
  bool LastFrameLit() const {
    const host::Frame* f = host_.last_frame();
    if (!f) return false;
    for (uint32_t px : f->pixels)
      if ((px & 0xFFFFFF) != 0) return true;
    return false;
  }
  // A new game started as the title starts it, standing in the dungeon.
  void NewGame() {
    ASSERT_NO_THROW(eventExec(5));
    ASSERT_NO_THROW(eventExec(51));
  }
  // Every message box but the depth offer of start-up: none is expected.
  std::string BoxTexts() const {
    std::string out;
    for (const auto& box : host_.message_boxes())
      if (box.caption != reinterpret_cast<const char*>(u8"色数変更")) out += box.caption + ": " + box.text + "\n";
    return out;
  }
  std::string pak_;
};

}  // namespace demoplay
