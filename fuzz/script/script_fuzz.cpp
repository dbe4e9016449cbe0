// Compiles and runs arbitrary script text within a step and depth budget, and
// checks that compile, run and free give back every block. Each text runs
// twice: alone, and with locals given at depths that its levels end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "script/memory.h"
#include "script/script.h"

namespace {

void Discard(const char*, size_t, void*) {}

int Note(StrList** args, StrList** stack) {
  return StrListPush(stack, "I", ScriptValueText(*args)) ? 0 : SCRIPT_NOMEM;
}

// Removes the global its argument names, as a built-in may while values of
// the running expression still name it.
int Drop(StrList** args, StrList** stack) {
  StrListRemove(&ScriptVars, ScriptValueText(*args));
  return StrListPush(stack, "I", "0") ? 0 : SCRIPT_NOMEM;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    ScriptInitFunctions();
    ScriptRegisterFunction(&MacroPrefixList, "mes", Note, nullptr);
    ScriptRegisterFunction(&MacroList, "drop", Drop, nullptr);
    ScriptSetOutput(Discard, nullptr);
    ScriptSetLimits({50000, 256});
    return true;
  }();
  (void)ready;
  int32_t base = VMallocCount();
  std::string text(reinterpret_cast<const char*>(data), size);
  ScriptNode* program = nullptr;
  ScriptError error;
  int rc = ScriptCompile(text.data(), &program, &error);
  if (rc == 0) {
    StrList* result = nullptr;
    rc = ScriptExec(program, nullptr, nullptr, &result, &error, 0, 0);
    StrListFree(result);
    result = nullptr;
    StrList* locals = nullptr;
    const char* names[] = {"x", "i", "a", "s"};
    for (int n = 0; n < 4; ++n) StrListPush(&locals, names[n], "5")->depth = n + 1;
    ScriptExec(program, &locals, nullptr, &result, &error, 0, 0);
    StrListFree(result);
    StrListFree(locals);
  }
  char message[512];
  ScriptErrorText(rc, &error, message, sizeof message);
  ScriptFreeProgram(program);
  StrListFree(ScriptVars);
  ScriptVars = nullptr;
  if (VMallocCount() != base) {
    std::fprintf(stderr, "script engine kept %d blocks\n", VMallocCount() - base);
    std::abort();
  }
  return 0;
}
