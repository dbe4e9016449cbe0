// Runs script texts through compile, run and free, capturing what they print.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "script/memory.h"
#include "script/script.h"

namespace script_test {

struct Outcome {
  int code = 0;
  std::string output;  // what writeln and the test prefix printed
  std::string error;   // ScriptErrorText of the code
  bool compiled = false;
};

inline void Capture(const char* text, size_t length, void* user) {
  static_cast<std::string*>(user)->append(text, length);
}

// "mes" as a prefix, printing its one argument as <text>, as the game's
// message command would show it.
inline int TestMes(StrList** args, StrList** stack) {
  std::string line = "<" + std::string(ScriptValueText(*args)) + ">\n";
  ScriptOutput(line.data(), line.size());
  return StrListPush(stack, "I", "0") ? 0 : SCRIPT_NOMEM;
}

class ScriptTest : public testing::Test {
 protected:
  void SetUp() override {
    ScriptClearFunctions();
    ResetVars();
    base_ = VMallocCount();
    ScriptInitFunctions();
    ScriptRegisterFunction(&MacroPrefixList, "mes", TestMes, nullptr);
    ScriptSetOutput(Capture, &captured_);
    ScriptSetLimits({2000000, SCRIPT_DEFAULT_MAX_DEPTH});
  }
  void TearDown() override {
    ResetVars();
    ScriptClearFunctions();
    EXPECT_EQ(VMallocCount(), base_) << "blocks left behind";
    ScriptSetOutput(nullptr, nullptr);
    ScriptSetLimits({0, SCRIPT_DEFAULT_MAX_DEPTH});
  }
  // Blocks held by global variables: the node, and a text that outgrew it.
  static int32_t VarBlocks() {
    int32_t n = 0;
    for (StrList* v = ScriptVars; v; v = v->next) n += 1 + (v->text && v->text != v->inlineText ? 1 : 0);
    return n;
  }
  static void ResetVars() {
    StrListFree(ScriptVars);
    ScriptVars = nullptr;
  }

  // Compiles, runs and frees; afterwards only global variables may remain.
  Outcome Run(const std::string& script) {
    Outcome result;
    captured_.clear();
    std::string text = script;
    ScriptNode* program = nullptr;
    ScriptError error;
    int32_t before = VMallocCount() - VarBlocks();
    result.code = ScriptCompile(text.data(), &program, &error);
    if (result.code == 0) {
      result.compiled = true;
      result.code = ScriptExec(program, nullptr, nullptr, nullptr, &error, 0, 0);
    }
    char message[4096];
    ScriptErrorText(result.code, &error, message, sizeof message);
    result.error = message;
    ScriptFreeProgram(program);
    EXPECT_EQ(VMallocCount() - VarBlocks(), before) << "blocks left behind by: " << script;
    result.output = captured_;
    return result;
  }

  std::string captured_;
  int32_t base_ = 0;
};

}  // namespace script_test
