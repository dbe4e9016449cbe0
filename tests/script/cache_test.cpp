// The engine keeps a number beside each value's text and remembers which
// variable a name found. These cases change a value or a list through every
// path that writes, between two reads of the same node in a loop, and check
// that the next read sees the change.
#include <gtest/gtest.h>

#include <string>

#include "tests/script/script_fixture.h"

namespace {

using script_test::Outcome;
using script_test::ScriptTest;

class Cache : public ScriptTest {
 protected:
  void Register(const char* name, ScriptHandler handler) {
    ScriptRegisterFunction(&MacroList, name, handler, nullptr);
  }
};

int Zero(StrList** stack) { return StrListPush(stack, "I", "0") ? 0 : SCRIPT_NOMEM; }

// A "V" value for a global, as the interpreter hands one to the value functions.
StrList* RefTo(StrList** chain, const char* name) {
  StrList* ref = StrListPush(chain, "V", nullptr);
  ref->ref = ScriptLookupVar(nullptr, name);
  return ref;
}

int SetStrHex(StrList**, StrList** stack) {
  SetVarStr("x", "0x10");
  return Zero(stack);
}
int SetIntSeven(StrList**, StrList** stack) {
  SetVarInt("x", 7);
  return Zero(stack);
}
int SetThroughNode(StrList**, StrList** stack) {
  StrListSet(StrListFind(ScriptVars, "x"), "0x");  // "0x" alone is no number
  return Zero(stack);
}
int AppendDigit(StrList**, StrList** stack) {
  StrListAppend(StrListFind(ScriptVars, "x"), "9");
  return Zero(stack);
}
int SetByName(StrList**, StrList** stack) {
  StrListSetByName(&ScriptVars, "x", "12abc");
  return Zero(stack);
}
int AssignVar(StrList**, StrList** stack) {
  ScriptAssignVar(nullptr, "x", "-3.75");
  return Zero(stack);
}
int ValueFunctions(StrList** args, StrList** stack) {
  StrList* chain = nullptr;
  StrList* ref = RefTo(&chain, "x");
  switch (ScriptValueInt(*args)) {
    case 0: ScriptSetInt(ref, 40); break;
    case 1: ScriptSetDouble(ref, 0.1234567); break;
    case 2: ScriptAppendText(ref, "9"); break;
    default: {
      StrList* source = StrListPush(&chain, "S", "010");  // octal
      ScriptCopyValue(ref, source);
      break;
    }
  }
  StrListFree(chain);
  return Zero(stack);
}
int RemoveX(StrList**, StrList** stack) {
  StrListRemove(&ScriptVars, "x");
  return Zero(stack);
}
int HideX(StrList**, StrList** stack) {
  StrListPush(&ScriptVars, "x", "100");  // found before the older x
  return Zero(stack);
}
int FreeAll(StrList**, StrList** stack) {
  StrListFree(ScriptVars);
  ScriptVars = nullptr;
  return Zero(stack);
}
int NestedRun(StrList**, StrList** stack) {
  std::string text = "x = x * 3;";
  ScriptNode* program = nullptr;
  if (ScriptCompile(text.data(), &program, nullptr) != 0) return 3;
  int rc = ScriptExec(program, nullptr, nullptr, nullptr, nullptr, 0, 0);
  ScriptFreeProgram(program);
  return rc ? rc : Zero(stack);
}

TEST_F(Cache, EveryAccessorThatWritesAVariableIsSeen) {
  const struct {
    const char* name;
    ScriptHandler handler;
    const char* seen;  // x + 1 after the handler, on each of two passes
  } cases[] = {
      {"setstr", SetStrHex, "[17.000000]\n"},
      {"setint", SetIntSeven, "[8.000000]\n"},
      {"setnode", SetThroughNode, "[1.000000]\n"},
      {"append", AppendDigit, nullptr},
      {"setbyname", SetByName, "[13.000000]\n"},
      {"assign", AssignVar, "[-2.750000]\n"},
      {"nested", NestedRun, nullptr},
  };
  for (const auto& c : cases) {
    Register(c.name, c.handler);
    // x is read as a number before and after the call, in the same nodes on each pass.
    std::string script = "for (i = 0; i < 2; i = i + 1) { x = i + 2; y = x * 1; " + std::string(c.name) +
                         "(); writeln(x + 1); }";
    Outcome o = Run(script);
    ASSERT_EQ(o.code, 0) << o.error;
    if (c.seen) {
      EXPECT_EQ(o.output, std::string(c.seen) + c.seen) << c.name;
    }
  }
  // Appending to "2.000000" gives "2.0000009"; the nested run triples x.
  EXPECT_EQ(Run("for (i = 0; i < 2; i = i + 1) { x = i + 2; y = x * 1; append(); writeln(x + 1, x); }").output,
            "[3.000001]\n[2.0000009]\n[4.000001]\n[3.0000009]\n");
  EXPECT_EQ(Run("for (i = 0; i < 2; i = i + 1) { x = i + 2; y = x * 1; nested(); writeln(x + 1); }").output,
            "[7.000000]\n[10.000000]\n");
}

TEST_F(Cache, ValueFunctionsOnAReferenceAreSeen) {
  Register("change", ValueFunctions);
  Outcome o = Run(
      "for (k = 0; k < 4; k = k + 1) { x = 2 * 3; y = x + 0; change(k); writeln(x, x + 1); }");
  ASSERT_EQ(o.code, 0) << o.error;
  EXPECT_EQ(o.output,
            "[40]\n[41.000000]\n"
            "[0.123457]\n[1.123457]\n"
            "[6.0000009]\n[7.000001]\n"
            "[010]\n[9.000000]\n");
}

TEST_F(Cache, NamesFindTheVariableThatHoldsNow) {
  Register("remove", RemoveX);
  Register("hide", HideX);
  Register("freeall", FreeAll);
  // A removed global comes back empty; a newer one of the same name wins.
  EXPECT_EQ(Run("for (i = 0; i < 2; i = i + 1) { x = 5; writeln(x + 1); remove(); writeln(x . \"|\"); }").output,
            "[6.000000]\n[|]\n[6.000000]\n[|]\n");
  EXPECT_EQ(Run("for (i = 0; i < 2; i = i + 1) { x = 5; writeln(x); hide(); writeln(x); x = 1; }").output,
            "[5]\n[100]\n[5]\n[100]\n");
  EXPECT_EQ(Run("x = 9; my (i); i = 0; while (i < 2) { writeln(x); freeall(); i = i + 1; x = 4; }").output,
            "[9]\n[4]\n");
}

TEST_F(Cache, AValueNamingAVariableThatABuiltInRemovesKeepsItsText) {
  Register("remove", RemoveX);
  Register("freeall", FreeAll);
  // The name was read before the call went: its value is the text the variable had then.
  Outcome o = Run("x = \"ab\"; writeln(x . remove()); writeln(x . \"|\"); x = 9; writeln(x + freeall(), x);");
  EXPECT_EQ(o.code, 0) << o.error;
  EXPECT_EQ(o.output, "[ab0]\n[|]\n[9.000000]\n[]\n");
}

TEST_F(Cache, RegisteringANameIsSeenByTheNextCall) {
  auto first = [](StrList**, StrList** stack) { return StrListPush(stack, "I", "1") ? 0 : SCRIPT_NOMEM; };
  auto second = [](StrList**, StrList** stack) { return StrListPush(stack, "I", "2") ? 0 : SCRIPT_NOMEM; };
  static ScriptHandler later = second;
  auto add = [](StrList**, StrList** stack) {
    ScriptRegisterFunction(&MacroList, "which", later, nullptr);
    return Zero(stack);
  };
  Register("which", first);
  Register("add", add);
  // Not through Run: the registration made by the run stays.
  std::string text = "for (i = 0; i < 2; i = i + 1) { writeln(which()); add(); }";
  ScriptNode* program = nullptr;
  ASSERT_EQ(ScriptCompile(text.data(), &program, nullptr), 0);
  captured_.clear();
  EXPECT_EQ(ScriptExec(program, nullptr, nullptr, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(captured_, "[1]\n[2]\n");
  ScriptFreeProgram(program);
}

TEST_F(Cache, ScriptWritesChangeTheNumber) {
  const struct {
    const char* script;
    const char* output;
  } cases[] = {
      // Joins, texts and "0x" alone after a number in the same variable.
      {"x = 1; for (i = 0; i < 3; i = i + 1) { x = x . \"0\"; writeln(x + 1); }",
       "[11.000000]\n[101.000000]\n[1001.000000]\n"},
      {"x = 5; y = x + 1; x = \"abc\"; writeln(x + 1); x = \"0x\"; writeln(x + 1); x = \"0x1F\"; writeln(x + 1);",
       "[1.000000]\n[1.000000]\n[32.000000]\n"},
      {"for (i = 0; i < 2; i = i + 1) { x = int(\"7x\") + i; writeln(x, x * 2); }",
       "[7.000000]\n[14.000000]\n[8.000000]\n[16.000000]\n"},
      // A number reads as its six-decimal text, not as the value that made it.
      {"x = 1 / 3; writeln(x, x * 3); y = 0.1234567 * 1; writeln(y * 1000000);",
       "[0.333333]\n[0.999999]\n[123457.000000]\n"},
      {"x = (0 - 1) * 0; writeln(x, x . \"\", x + 0, 0 - x);", "[-0.000000]\n[-0.000000]\n[0.000000]\n[0.000000]\n"},
      {"x = 2147483647 + 1; writeln(x, x % 7, x & 1, 0 - x - 1);",
       "[2147483648.000000]\n[1.000000]\n[1]\n[-2147483649.000000]\n"},
      {"x = 3 < 4; writeln(x . x, x + x, !x, ~x);", "[11]\n[2.000000]\n[0]\n[-2]\n"},
      {"x = 7; y = x; y = y + 1; writeln(x, y);", "[7]\n[8.000000]\n"},
  };
  for (const auto& c : cases) {
    Outcome o = Run(c.script);
    EXPECT_EQ(o.output, c.output) << c.script;
  }
}

TEST_F(Cache, LocalsAtEveryDepth) {
  const struct {
    const char* script;
    const char* output;
  } cases[] = {
      // A name read before "my" in a loop body is the global on every pass.
      {"x = \"g\"; for (i = 0; i < 2; i = i + 1) { writeln(x); my (x); x = i * 1; writeln(x); } writeln(x);",
       "[g]\n[0.000000]\n[g]\n[1.000000]\n[g]\n"},
      {"sub f(n) { my (t); t = n * 2; { my (t); t = 5; writeln(t + 1); } writeln(t + 1); return t; } "
       "for (i = 0; i < 2; i = i + 1) { writeln(f(i)); }",
       "[6.000000]\n[1.000000]\n[0.000000]\n[6.000000]\n[3.000000]\n[2.000000]\n"},
      // Each call level has its own v; the caller's survives the recursion.
      {"sub r(n) { my (v); v = n; if (n > 0) { r(n - 1); } writeln(v + 0); } r(2); r(1);",
       "[0.000000]\n[1.000000]\n[2.000000]\n[0.000000]\n[1.000000]\n"},
      {"sub fib(n) { if (n < 2) { return n; } return fib(n - 1) + fib(n - 2); } writeln(fib(10));",
       "[55.000000]\n"},
      // Arguments: a parameter changed in the sub leaves the caller's value alone.
      {"x = 1; sub g(a) { a = a + 1; return a; } for (i = 0; i < 2; i = i + 1) { writeln(g(x), g(x * 2)); } "
       "writeln(x);",
       "[2.000000]\n[3.000000]\n[2.000000]\n[3.000000]\n[1]\n"},
      {"sub h(a, a) { return a; } writeln(h(1, 2), h(3));", "[2]\n[]\n"},
      {"sub bump() { c = c + 1; } c = 0; for (i = 0; i < 3; i = i + 1) { bump(); writeln(c * 1); }",
       "[1.000000]\n[2.000000]\n[3.000000]\n"},
      {"sub s(p) { p = p . \"!\"; return p; } q = 4; writeln(s(q), s(q + 1), q);", "[4!]\n[5.000000!]\n[4]\n"},
  };
  for (const auto& c : cases) {
    Outcome o = Run(c.script);
    EXPECT_EQ(o.output, c.output) << c.script;
    EXPECT_EQ(o.code, 0) << c.script;
  }
}

TEST_F(Cache, GivenLocalsAreReadAfreshOnEachRun) {
  std::string text = "writeln(x + 1); x = x * 10;";
  ScriptNode* program = nullptr;
  ASSERT_EQ(ScriptCompile(text.data(), &program, nullptr), 0);
  StrList* locals = nullptr;
  StrListPush(&locals, "x", "1")->depth = -1;  // kept by runs at depth 0
  captured_.clear();
  ASSERT_EQ(ScriptExec(program, &locals, nullptr, nullptr, nullptr, 0, 0), 0);
  StrListSet(locals, "0x20");
  ASSERT_EQ(ScriptExec(program, &locals, nullptr, nullptr, nullptr, 0, 0), 0);
  StrListPush(&locals, "x", "5")->depth = -1;  // hides the first
  ASSERT_EQ(ScriptExec(program, &locals, nullptr, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(captured_, "[2.000000]\n[33.000000]\n[6.000000]\n");
  EXPECT_STREQ(locals->text, "50.000000");
  EXPECT_STREQ(locals->next->text, "320.000000");
  EXPECT_EQ(StrListFind(ScriptVars, "x"), nullptr);
  StrListFree(locals);
  ScriptFreeProgram(program);
}

// Runs the script at depth 0 with one given local a = "5" made at the given
// depth; returns what it printed.
std::string RunWithLocal(std::string& captured, const char* script, int32_t depth) {
  std::string text = script;
  ScriptNode* program = nullptr;
  EXPECT_EQ(ScriptCompile(text.data(), &program, nullptr), 0) << script;
  StrList* locals = nullptr;
  StrListPush(&locals, "a", "5")->depth = depth;
  captured.clear();
  EXPECT_EQ(ScriptExec(program, &locals, nullptr, nullptr, nullptr, 0, 0), 0) << script;
  StrListFree(locals);
  ScriptFreeProgram(program);
  return captured;
}

TEST_F(Cache, GivenLocalsEndWithTheFirstLevelOfTheirDepthThatEnds) {
  const struct {
    const char* script;
    int32_t depth;
    const char* output;
  } cases[] = {
      {"x = 1; writeln(a);", 1, "[]\n"},
      // In the argument level (depth 1) an operator group is a level at depth
      // 2, and a parenthesis in it one at depth 3, which ends before the name
      // after it is read.
      {"writeln(2 * 3, a);", 2, "[6.000000]\n[]\n"},
      {"writeln((1 + 2) + a);", 3, "[3.000000]\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(RunWithLocal(captured_, c.script, c.depth), c.output) << c.script;
}

TEST_F(Cache, AValueNamingAGivenLocalOutlivesIt) {
  // int's argument level (depth 3) ends the local while the join holds its name.
  EXPECT_EQ(RunWithLocal(captured_, "writeln(a . int(1)); writeln(a);", 3), "[51]\n[]\n");
}

std::string peeked;

TEST_F(Cache, OutsideReadersSeeWrittenTexts) {
  Register("peek", [](StrList** args, StrList** stack) {
    // Arguments and the values below on the stack both read as text.
    for (StrList* v = *args; v; v = v->next) peeked += std::string(v->text) + " ";
    for (StrList* v = *stack; v; v = v->next) peeked += std::string(v->text) + " ";
    peeked += StrListFind(ScriptVars, "x")->text;
    return Zero(stack);
  });
  peeked.clear();
  Outcome o = Run("x = 6 / 2; (1 + 1) peek(x * 2, 3 == 3);");
  EXPECT_EQ(o.code, 0) << o.error;
  EXPECT_EQ(peeked, "6.000000 1 2.000000 3.000000");
  EXPECT_STREQ(GetVarStr("x"), "3.000000");
  EXPECT_EQ(GetVarInt("x"), 3);
  // A result list leaves with its text written.
  std::string text = "x = 4; x * 2";
  ScriptNode* program = nullptr;
  ASSERT_EQ(ScriptCompile(text.data(), &program, nullptr), 0);
  StrList* result = nullptr;
  ASSERT_EQ(ScriptExec(program, nullptr, nullptr, &result, nullptr, 1, 0), 0);
  EXPECT_STREQ(result->text, "8.000000");
  StrListFree(result);
  ScriptFreeProgram(program);
}

}  // namespace
