// The demo's title event on the headless host with the game's own menu,
// drawing, message and sound commands: each choice of the title menu answers
// the title loop with its RET value (0 new game, 1 load, 2 settings, 3 end).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/macro/macro_draw.h"
#include "game/macro/macro_input.h"
#include "game/macro/macro_menu.h"
#include "game/macro/macro_mes.h"
#include "game/macro/macro_sound.h"
#include "game/explore.h"
#include "game/macro/macro_wait.h"
#include "game/picture.h"
#include "script/script.h"
#include "game/sound.h"
#include "qv/qvsapi.h"
#include "tests/common/game_display.h"
#include "tests/common/ui_macros.h"
#include "tests/data/data_files.h"

namespace {

class DemoTitle : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(testcommon::OpenGameDisplay(host_));
    here_ = std::make_unique<datacheck::InRoot>();
    ASSERT_EQ(QvxSoundStartDefault(nullptr), 0);
    ASSERT_NO_THROW(ReadSoundData());
    testcommon::RegisterUiMacros();
    ResetMesWindow();
    ResetKeyBits();
    // A script that never sees its key ends with an error instead of hanging.
    ScriptSetLimits({2000000, SCRIPT_DEFAULT_MAX_DEPTH});
    // The opening show ran on the first pass already.
    SetVarInt("OPENING_SEEN", 1);
  }
  void TearDown() override {
    ScriptSetLimits({0, SCRIPT_DEFAULT_MAX_DEPTH});
    ResetMesWindow();
    ClearSoundData();
    QvxSoundTerminate();
    here_.reset();
    ScriptClearFunctions();
    StrListFree(ScriptVars);
    ScriptVars = nullptr;
    testcommon::CloseGameDisplay();
  }
  // Runs an event script of the demo; its result code.
  int RunEvent(const std::string& file) {
    std::string text = datacheck::ReadFile("data/event/" + file);
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    ScriptNode* program = nullptr;
    ScriptError error;
    int rc = ScriptCompile(buffer.data(), &program, &error);
    if (rc == 0) {
      SetVarInt("RET", 0);
      rc = ScriptExec(program, nullptr, nullptr, nullptr, &error, 0, 0);
    }
    ScriptFreeProgram(program);
    return rc;
  }
  // Keys a quarter of a second apart from now, each held one frame.
  void Keys(const std::vector<int>& keys) {
    uint64_t frame = host_.frames_presented() + 20;
    for (int k : keys) {
      host_.key_press(frame, k);
      frame += 20;
    }
  }
  host::HeadlessHost host_;
  std::unique_ptr<datacheck::InRoot> here_;
};

TEST_F(DemoTitle, EachChoiceAnswersTheTitleLoop) {
  for (int choice = 0; choice < 4; ++choice) {
    SCOPED_TRACE(choice);
    std::vector<int> keys(choice, host::key::Down);
    keys.push_back(host::key::Return);
    Keys(keys);
    ASSERT_EQ(RunEvent("sys_title.txt"), 0);
    EXPECT_EQ(GetVarInt("RET"), choice);
    EXPECT_EQ(GetMusicNo(), 1);  // the title music plays
  }
}

TEST_F(DemoTitle, EscapeShowsTheTitleAgain) {
  Keys({host::key::Escape});
  ASSERT_EQ(RunEvent("sys_title.txt"), 0);
  // Neither new game, load, settings nor end: the loop runs the title again.
  EXPECT_EQ(GetVarInt("RET"), 7);
}

TEST_F(DemoTitle, NoticeBoxWaitsForAKey) {
  SetVarStr("NOTE", "\x83\x65\x83\x58\x83\x67");  // three katakana in CP932
  const uint64_t start = host_.frames_presented();
  Keys({host::key::Return});
  ASSERT_EQ(RunEvent("notice_box.txt"), 0);
  // It waited, presenting frames, until the key.
  EXPECT_GE(host_.frames_presented(), start + 20);
  EXPECT_LT(host_.frames_presented(), start + 200);
}

}  // namespace
