// Shared set-up of the game's tests: the headless host with exits caught, a
// fresh script registry with the game's built-ins, cleared game records, and
// helpers that run script text and make small data files.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/csvfile.h"
#include "game/event.h"
#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/map.h"
#include "script/script.h"
#include "script/strlist.h"
#include "platform/host/headless_host.h"
#include "platform/win32/display.h"
#include "tests/package/temp_dir.h"

namespace gametest {

inline std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

inline void ResetVars() {
  StrListFree(ScriptVars);
  ScriptVars = nullptr;
}

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.set_catch_exits(true);
    host_.set_quiet(true);
    host::set(&host_);
    ScriptClearFunctions();
    ResetVars();
    RegisterMacros();
    std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
    ClearMapData();
    FreeEventData();
    LastFailedEvent = 0;
  }
  void TearDown() override {
    FreeEventData();
    ClearMapData();
    ScriptClearFunctions();
    ResetVars();
    dxclearchars();  // the typed-character queues outlive a release
    host::set(nullptr);
  }

  // Runs script text; the text of its last value (a final ";" would end the
  // statement and drop it, so it is left out).
  std::string Eval(const std::string& script) {
    std::string text = script;
    while (!text.empty() && (text.back() == ';' || text.back() == ' ')) text.pop_back();
    ScriptNode* program = nullptr;
    ScriptError error;
    int rc = ScriptCompile(text.data(), &program, &error);
    EXPECT_EQ(rc, 0) << script;
    StrList* result = nullptr;
    if (rc == 0) rc = ScriptExec(program, nullptr, nullptr, &result, &error, 0, 0);
    EXPECT_EQ(rc, 0) << script;
    std::string out = result ? ScriptValueText(result) : "";
    std::string tag = result && result->name ? result->name : "";
    last_tag_ = tag;
    StrListFree(result);
    ScriptFreeProgram(program);
    return out;
  }
  int Int(const std::string& script) { return std::stoi(Eval(script)); }

  // Event scripts on disk and the table that lists them, compiled at once.
  void Events(const std::vector<std::pair<int, std::string>>& events) {
    std::string table;
    for (const auto& [n, script] : events) {
      std::string name = "e" + std::to_string(n) + ".txt";
      TempDir::Write("data/event/" + name, script);
      table += std::to_string(n) + "," + name + "\n";
    }
    TempDir::Write("data/event/event.csv", table);
    char*** rows = ReadCsv("data/event/event.csv");
    ASSERT_NE(rows, nullptr);
    CompileEventTable(rows, false);
    FreeCsv(rows);
  }

  size_t Boxes() const { return host_.message_boxes().size(); }

  // A 32-bit display for the tests that draw; call it under
  // ASSERT_NO_FATAL_FAILURE and dxrelease() it in TearDown. Its start moves to
  // the program's folder, so the test's own is entered again.
  void OpenDisplay() {
    win32::SetDesktopDepth(32);
    ASSERT_TRUE(dxinit("test", 640, 480, 32, false));
    std::filesystem::current_path(dir_.path());
  }

  TempDir dir_;  // the working directory of the test
  host::HeadlessHost host_;
  std::string last_tag_;
};

}  // namespace gametest
