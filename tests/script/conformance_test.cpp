// The language's rules as a table: script text, what it prints, its result
// code and the exact message for that code.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "tests/script/script_fixture.h"

namespace {

using script_test::Outcome;
using script_test::ScriptTest;

struct Case {
  const char* name;
  const char* script;
  const char* output;
  int code;
  const char* error;  // nullptr: "NO ERROR\n" when the code is 0, unchecked otherwise
};

const Case kCases[] = {
    // ---- binding: every row is a level of its own, walked left to right ----
    {"MinusBeforePlusMeansRightGrouping", "a=5; b=3; c=1; writeln(a-b+c);", "[1.000000]\n", 0, nullptr},
    {"TimesBeforePlus", "writeln(1+2*3, 2*3+1);", "[7.000000]\n[7.000000]\n", 0, nullptr},
    {"TimesBindsBeforeModulo", "writeln(7 % 4 * 2);", "[7.000000]\n", 0, nullptr},
    {"LessBeforeLessOrEqual", "writeln(3 <= 2 < 1);", "[0]\n", 0, nullptr},
    {"ComparisonBeforeJoin", "a = 1; writeln(a . 2 < 3);", "[11]\n", 0, nullptr},
    {"JoinBeforeTextEqual", "writeln(\"a\" . \"b\" _eq_ \"ab\");", "[1]\n", 0, nullptr},
    {"TextEqualBeforeModulo", "writeln(7 % 3 _eq_ 1);", "[0.000000]\n", 0, nullptr},
    {"ModuloBeforeEqual", "writeln(7 % 4 == 3);", "[1]\n", 0, nullptr},
    {"EqualBeforeNot", "a=2; b=1; writeln(!a == b);", "[1]\n", 0, nullptr},
    {"BitNotBeforeNot", "writeln(!~0, ~5);", "[0]\n[-6]\n", 0, nullptr},
    {"AndBeforeBitAnd", "writeln(1 & 2 && 3);", "[1]\n", 0, nullptr},
    {"OrBeforeBitAnd", "writeln(0 & 1 || 1);", "[0]\n", 0, nullptr},
    {"BitOrBeforeBitXor", "writeln(5 | 1 ^ 1);", "[4]\n", 0, nullptr},
    {"AndBeforeOr", "writeln(0 && 0 || 1, 1 || 0 && 0);", "[1]\n[1]\n", 0, nullptr},
    {"AssignmentLast", "a = 1; x = a . 2 < 3; writeln(x);", "[11]\n", 0, nullptr},
    {"DigitsAroundDotAreOneConstant", "writeln(1 . 2 < 3);", "[1]\n", 0, nullptr},
    {"ParenthesesGroup", "writeln((1+2)*3, 8/(4/2));", "[9.000000]\n[4.000000]\n", 0, nullptr},
    {"NoBlanksNeeded", "x=1;y=x+2;writeln(y<=3,y>=4,y!=3,y==3);", "[1]\n[0]\n[0]\n[1]\n", 0, nullptr},

    // ---- operands that are operators or keywords: -3 ----
    {"NegativeLiteralIsSyntaxError", "x = -5;", "", -3,
     "ERR(13) Syntax error next char; line[0]\n\t[x = -5;]\n\t ----^\n"},
    {"OperatorBeforeStatementEnd", "x = 1 + ;", "", -3,
     "ERR(13) Syntax error next char; line[0]\n\t[x = 1 + ;]\n\t ------^\n"},
    {"TwoOperatorsInARow", "x = 2 * + 1;", "", -3,
     "ERR(13) Syntax error next char; line[0]\n\t[x = 2 * + 1;]\n\t ------^\n"},
    {"UnaryOnOperator", "writeln(~!0);", "", -3,
     "ERR(13) Syntax error next char; line[0]\n\t[writeln(~!0);]\n\t --------^\n"},
    {"AssignmentOfNothing", "x = ;", "", -3,
     "ERR(13) Syntax error next char; line[0]\n\t[x = ;]\n\t --^\n"},
    {"KeywordAsOperand", "x = if (1) {}", "", -3,
     "ERR(13) Syntax error next char; line[0]\n\t[x = if (1) {}]\n\t --^\n"},
    {"KeywordAsLeftOperand", "return + 1;", "", -3,
     "ERR(13) Syntax error next char; line[0]\n\t[return + 1;]\n\t -------^\n"},
    {"ComparisonSplitByBlank", "writeln(1 < = 2);", "", -3,
     "ERR(13) Syntax error next char; line[0]\n\t[writeln(1 < = 2);]\n\t ----------^\n"},

    // ---- other syntax errors ----
    {"OperatorWithoutLeft", "+ 1;", "", -2, "ERR(12) Syntax error next char; line[0]\n\t[+ 1;]\n\t ^\n"},
    {"OperatorWithoutRight", "x = 1 +", "", -2,
     "ERR(12) Syntax error next char; line[0]\n\t[x = 1 +]\n\t ------^\n"},
    {"MyNeedsParentheses", "my x;", "", -2, "ERR(12) Syntax error next char; line[0]\n\t[my x;]\n\t ^\n"},
    {"MyOfConstant", "my (1);", "", -2, "ERR(12) Syntax error next char; line[0]\n\t[my (1);]\n\t ----^\n"},
    {"ForNeedsTwoSemicolons", "for (i = 0) {}", "", -2,
     "ERR(12) Syntax error next char; line[0]\n\t[for (i = 0) {}]\n\t ^\n"},
    {"SubNeedsName", "sub (a) {}", "", -2, "ERR(12) Syntax error next char; line[0]\n\t[sub (a) {}]\n\t ^\n"},
    {"IfWithoutGroup", "if x {}", "", -6, "ERR(16) UnknownError\nline[0]\n\t[if x {}]\n\t ^\n"},
    {"IfWithoutBlock", "if (x) y = 1;", "", -6, nullptr},
    {"WhileWithoutGroup", "while 1 { }", "", -6, "ERR(16) UnknownError\nline[0]\n\t[while 1 { }]\n\t ^\n"},
    {"ForWithoutBlock", "x = 1;\n  for (;;) x;", "", -6,
     "ERR(16) UnknownError\nline[1]\n\t[  for (;;) x;]\n\t --^\n"},
    {"ElseWithoutBlock", "if (1) {} else x;", "", -6, nullptr},
    {"ElseWithoutIf", "else { writeln(1); }", "", -7,
     "ERR(17) Syntax error next char; line[0]\n\t[else { writeln(1); }]\n\t ^\n"},
    {"ElseIfChainWithFinalElse", "if (0) {} else if (1) {} else {}", "", -7,
     "ERR(17) Syntax error next char; line[0]\n\t[if (0) {} else if (1) {} else {}]\n\t -------------------------^\n"},
    {"UnclosedBrace", "if (1) {\nwriteln(1);", "", -8,
     "ERR(18) Syntax error next char; line[0]\n\t[if (1) {]\n\t -------^\n"},
    {"UnclosedParenthesis", "writeln(1;", "", -8,
     "ERR(18) Syntax error next char; line[0]\n\t[writeln(1;]\n\t -------^\n"},
    {"HexWithoutDigits", "x = 0x;", "", -9, "ERR(19) wrong constant figure; line[0]\n\t[x = 0x;]\n\t ----^\n"},
    {"UnterminatedString", "a = 1;\nx = \"abc;\nb = 2;", "", -1,
     "ERR(11) EOF in string; line[2]\n\t[]\n\t ^\n"},
    {"ConstantOnTheLeft", "1 = 2;", "", -13,
     "ERR(23) Can't modify constant item ; line[0]\n\t[1 = 2;]\n\t --^\n"},
    {"AssignmentChainFailsWhenRun", "a = b = 3;", "", -13,
     "ERR(23) Can't modify constant item ; line[0]\n\t[a = b = 3;]\n\t ------^\n"},
    {"CallResultIsNotAVariable", "int(1) = 2;", "", -13, nullptr},
    {"NameFormsCannotRun", "writeln(1);\nx[1];", "[1]\n", -12,
     "ERR(22) can't understand command; line[1]\n\t[x[1];]\n\t ^\n"},
    {"UndefinedCall", "writeln(1);\n  nothing(2);", "[1]\n", -14,
     "ERR(24) undefined function call; line[1]\n\t[  nothing(2);]\n\t --^\n"},
    {"OperatorSeesOnlyItsOwnOperands", "5 writeln(1) + 1;", "[1]\n", -2,
     "ERR(12) Syntax error next char; line[0]\n\t[5 writeln(1) + 1;]\n\t -------------^\n"},
    {"UnmatchedClosingBracket", "x = 1; ) ;", "", -12, nullptr},

    // ---- number forms; constants push their source text ----
    {"ConstantsKeepTheirText", "writeln(0x1F, 010, 12.5, 0d12, 0f2, 12abc);",
     "[0x1F]\n[010]\n[12.5]\n[0d12]\n[0f2]\n[12abc]\n", 0, nullptr},
    {"ConstantsAsNumbers", "writeln(0x1F+0, 010+0, 08+0, 0d12+1, 0f2*2, 12.5+1, 12abc+0);",
     "[31.000000]\n[8.000000]\n[0.000000]\n[13.000000]\n[4.000000]\n[13.500000]\n[12.000000]\n", 0, nullptr},
    {"DotBetweenNumberAndNameJoins", "x = 7; writeln(12.x, 12 . 5);", "[127]\n[12.5]\n", 0, nullptr},
    {"OnlyIntegersJoinADot", "writeln(0f2.5);", "[0f25]\n", 0, nullptr},
    {"TextThatIsNoNumberIsZero", "writeln(\"abc\" + 1, undefined + 1, undefined);",
     "[1.000000]\n[1.000000]\n[]\n", 0, nullptr},
    {"ArithmeticGivesDoubleText", "writeln(7 / 2, 7 % 2, 1 + 1, 0 - 5, 2.5 * 2);",
     "[3.500000]\n[1.000000]\n[2.000000]\n[-5.000000]\n[5.000000]\n", 0, nullptr},
    {"DivisionByZeroGivesZero", "writeln(1 / 0, 5 % 0, (0 - 2147483647 - 1) % (0 - 1), 0 / 0);",
     "[0.000000]\n[0.000000]\n[0.000000]\n[0.000000]\n", 0, nullptr},
    {"ModuloTakesTheLeftSign", "writeln((0-7) % 3, 7 % (0-3), 7.9 % 2.9);",
     "[-1.000000]\n[1.000000]\n[1.000000]\n", 0, nullptr},
    {"BitwiseAndLogic", "writeln(6 & 3, 6 | 3, 6 ^ 3, 2 && 0, 0 || 3, ~0, !7, !0);",
     "[2]\n[7]\n[5]\n[0]\n[1]\n[-1]\n[0]\n[1]\n", 0, nullptr},
    // Operands that are calls or joins: no number known before they run.
    {"ComparisonsOfCallsAndJoins",
     "writeln(int(3) < 4, int(3) <= 2, int(5) > int(4), int(4) >= 5, int(2) == 2.0, int(2) != 2, (\"1\" . \"0\") > 9);",
     "[1]\n[0]\n[1]\n[0]\n[1]\n[0]\n[1]\n", 0, nullptr},
    {"BitsAndLogicOfCalls", "writeln(int(6) & 3, int(6) | 3, int(6) ^ 3, int(2) && 0, int(0) || 3);",
     "[2]\n[7]\n[5]\n[0]\n[1]\n", 0, nullptr},
    {"ArithmeticOfCalls", "writeln(int(7) / 2, int(1) / 0, int(7) % 2, (int(1) + 2) * 3);",
     "[3.500000]\n[0.000000]\n[1.000000]\n[9.000000]\n", 0, nullptr},
    {"ParenthesisGivesItsTopValue", "writeln((1, 2) + 1);", "[3.000000]\n", 0, nullptr},
    {"NotOfCalls", "writeln(!int(0), !int(3), ~int(5));", "[1]\n[0]\n[-6]\n", 0, nullptr},
    {"NotOfNoValue", "!writeln();", "", -2, "ERR(12) Syntax error next char; line[0]\n\t[!writeln();]\n\t ^\n"},
    {"GroupReadsAGroupAsItsText", "writeln((1 / 3) * 3, (2 / 3) + 0);", "[0.999999]\n[0.666667]\n", 0, nullptr},
    {"IntAndDoubleBuiltins", "writeln(int(\"12.7\"), int(\"0x10\"), double(\"2.5x\"), int(), double());",
     "[12]\n[0]\n[2.500000]\n", 0, nullptr},

    // ---- text comparison against numeric comparison ----
    {"TextEqualAgainstEqual",
     "writeln(10 == 10.0, \"10\" _eq_ \"10.0\", \"a\" _eq_ \"a\", \"a\" _ne_ \"b\", \"abc\" == \"xyz\", "
     "\"abc\" _eq_ \"xyz\");",
     "[1]\n[0]\n[1]\n[1]\n[1]\n[0]\n", 0, nullptr},

    // ---- assignment and variables ----
    {"AssignmentValueIsText", "writeln(x = 1 + 1); writeln(x);", "[2.000000]\n[2.000000]\n", 0, nullptr},
    {"NotToggles", "x = 0; x = !x; writeln(x); x = !x; writeln(x); !x; writeln(x);", "[1]\n[0]\n[0]\n", 0,
     nullptr},
    {"AssignmentOfNoValue", "x = writeln();", "", -2,
     "ERR(12) Syntax error next char; line[0]\n\t[x = writeln();]\n\t --^\n"},
    {"AssignmentChainOfNoValue", "a = b = writeln();", "", -2,
     "ERR(12) Syntax error next char; line[0]\n\t[a = b = writeln();]\n\t ------^\n"},
    {"SelfAssignment", "x = \"abc\"; x = x; writeln(x . x);", "[abcabc]\n", 0, nullptr},

    // ---- control flow ----
    {"IfElse", "if (1) { writeln(\"y\"); } else { writeln(\"n\"); } if (0) { writeln(\"y\"); } else { writeln(\"n\"); }",
     "[y]\n[n]\n", 0, nullptr},
    {"ElseIfChain", "x = 2; if (x == 1) { writeln(1); } else if (x == 2) { writeln(2); }", "[2]\n", 0, nullptr},
    {"IfWithEmptyBody", "if (1) ; writeln(\"after\");", "[after]\n", 0, nullptr},
    {"WhileWithNextAndLast",
     "i = 0; while (1) { i = i + 1; if (i == 2) { next; } if (i > 4) { last; } writeln(i); } writeln(\"done\");",
     "[1.000000]\n[3.000000]\n[4.000000]\n[done]\n", 0, nullptr},
    {"ForCounts", "for (i = 0; i < 3; i = i + 1) { writeln(i); }", "[0]\n[1.000000]\n[2.000000]\n", 0, nullptr},
    {"NextInForSkipsTheStep",
     "for (i = 0; i < 4; i = i + 1) { if (i == 1) { i = 3; next; } writeln(i); }", "[0]\n[3]\n", 0, nullptr},
    {"ForWithoutConditionRunsUntilLast", "n = 0; for (;;) { n = n + 1; if (n == 3) { last; } } writeln(n);",
     "[3.000000]\n", 0, nullptr},
    {"NestedLoopsLastEndsTheInner",
     "for (i = 0; i < 2; i = i + 1) { for (j = 0; j < 5; j = j + 1) { if (j == 2) { last; } writeln(i . j); } }",
     "[00]\n[01.000000]\n[1.0000000]\n[1.0000001.000000]\n", 0, nullptr},
    {"EndStopsTheScript", "writeln(1); end; writeln(2);", "[1]\n", 1, "ERR(01) exit normal end\n"},
    {"ReturnEndsTheScript", "writeln(1); return 5; writeln(2);", "[1]\n", 0, nullptr},
    {"ReturnInsideLoopEndsTheScript", "while (1) { return; } writeln(\"not reached\");", "", 0, nullptr},
    {"LastOutsideLoopEndsTheScript", "writeln(1); last; writeln(2);", "[1]\n", 0, nullptr},

    // ---- locals by depth ----
    {"MyShadowsUntilTheBlockEnds",
     "x = \"global\"; my (x); x = \"outer\"; { my (x); x = \"inner\"; writeln(x); } writeln(x);",
     "[inner]\n[outer]\n", 0, nullptr},
    {"LocalsEndWithTheirBlock", "{ my (t); t = 5; } writeln(t);", "[]\n", 0, nullptr},
    {"MyInLoopIsFreshEachPass", "for (i = 0; i < 2; i = i + 1) { my (v); writeln(v); v = 9; }", "[]\n[]\n", 0,
     nullptr},
    {"AssignmentWithoutLocalWritesTheGlobal", "{ g = 4; } writeln(g);", "[4]\n", 0, nullptr},

    // ---- subs ----
    {"SubParametersAndReturn", "sub add(a, b) { return a + b; } writeln(add(1, 2));", "[3.000000]\n", 0, nullptr},
    {"SubMissingArgumentIsEmpty", "sub f(a, b) { return a . \"|\" . b; } writeln(f(1));", "[1|]\n", 0, nullptr},
    {"SubLastValueIsItsResult", "sub g(a) { a . \"!\" } writeln(g(\"x\"));", "[x!]\n", 0, nullptr},
    {"SubEndingWithStatementGivesZero", "sub h() { 5; } writeln(h());", "[0]\n", 0, nullptr},
    {"EmptySub", "sub e() {} writeln(e());", "[0]\n", 0, nullptr},
    {"ReturnInsideLoopEndsTheSub",
     "sub f() { while (1) { return 5; } writeln(\"not reached\"); } writeln(f()); writeln(\"after\");",
     "[5]\n[after]\n", 0, nullptr},
    {"LastInSubDoesNotEndCallersLoop",
     "sub s() { last; } for (i = 0; i < 2; i = i + 1) { s(); writeln(i); }", "[0]\n[1.000000]\n", 0, nullptr},
    {"SubSeesOnlyItsOwnLocalsAndGlobals",
     "x = \"g\"; sub f() { return x; } { my (x); x = \"l\"; writeln(f()); }", "[g]\n", 0, nullptr},
    {"SubParametersAreLocal", "a = \"global\"; sub f(a) { a = a . \"!\"; return a; } writeln(f(1)); writeln(a);",
     "[1!]\n[global]\n", 0, nullptr},
    {"Recursion", "sub fact(n) { if (n <= 1) { return 1; } return n * fact(n - 1); } writeln(fact(5));",
     "[120.000000]\n", 0, nullptr},
    {"SubDefinedAfterUse", "writeln(later(2)); sub later(x) { return x * 2; }", "[4.000000]\n", 0, nullptr},
    {"EndInsideSubEndsEverything", "sub f() { end; } f(); writeln(\"no\");", "", 1, nullptr},
    {"SubWithBracketCannotRun", "sub f[](a) { }", "", -12, nullptr},

    // ---- prefix lines ----
    {"PrefixLineGoesToItsCommand", "#mes hello \"world\"\nwriteln(1);", "< hello \"world\">\n[1]\n", 0, nullptr},
    {"PrefixMatchesTheBeginning", "#message", "<sage>\n", 0, nullptr},
    {"UnregisteredPrefixIsANote", "# note: anything (here\nwriteln(1);", "[1]\n", 0, nullptr},
    {"HashEndsTheLine", "writeln(1); #mes x\nwriteln(2);", "[1]\n< x>\n[2]\n", 0, nullptr},

    // ---- comments ----
    {"LineComment", "writeln(1); // writeln(2);\nwriteln(3);", "[1]\n[3]\n", 0, nullptr},
    {"BlockCommentsOnOneLine", "writeln(1); /* a */ writeln(2); /* b */ writeln(3);", "[1]\n[2]\n[3]\n", 0,
     nullptr},
    {"BlockCommentOverLines", "writeln(1); /* a\nwriteln(2);\n#mes hidden\nb */ writeln(3);", "[1]\n[3]\n", 0,
     nullptr},
    {"BlockCommentToTheEnd", "writeln(1); /* a\nwriteln(2);", "[1]\n", 0, nullptr},
    {"CommentsIgnoreQuotes", "x = \"a//b\";", "", -1, "ERR(11) EOF in string; line[0]\n\t[x = \"a]\n\t ^\n"},
    {"HashInsideStringCuts", "writeln(\"#mes\");", "", -1, nullptr},
    {"HashAfterBlockCommentStartIsComment", "writeln(1); /* a #mes no\nwriteln(2); */ writeln(3);",
     "[1]\n[3]\n", 0, nullptr},
    {"LineCommentWinsOverBlock", "writeln(1); /* x // y */ writeln(2);\nwriteln(3); */ writeln(4);",
     "[1]\n[4]\n", 0, nullptr},

    // ---- strings ----
    {"StringKinds", "writeln(\"a b\", 'c d', `e`);", "[a b]\n[c d]\n[e]\n", 0, nullptr},
    {"BackslashKeepsTheNextByte", "writeln(\"a\\\"b\\\\c\\n\");", "[a\"b\\cn]\n", 0, nullptr},
    {"MultiLineString", "writeln(\"a\nb\");\nnothing();", "[a\nb]\n", -14,
     "ERR(24) undefined function call; line[2]\n\t[nothing();]\n\t ^\n"},
    {"ShiftJisTrailBackslash", "writeln(\"ソ表\");", "[ソ表]\n", 0, nullptr},
    {"LeadByteTakesTheNextByte", "writeln(\"\x81\"); writeln(2);", "", -1, nullptr},
    {"ShiftJisTrailQuote", "x = \"ソ\"; writeln(x . \"!\");", "[ソ!]\n", 0, nullptr},
    {"KeywordsNeedWordBoundaries", "ifx = 1; myvar = 2; end_ = 3; writeln(ifx, myvar, end_);",
     "[1]\n[2]\n[3]\n", 0, nullptr},
    {"TextOperatorsNeedNoBoundary", "a = 1; b = 1; writeln(a_eq_b);", "[1]\n", 0, nullptr},
};

class Conformance : public ScriptTest, public testing::WithParamInterface<Case> {};

TEST_P(Conformance, Runs) {
  const Case& c = GetParam();
  Outcome o = Run(c.script);
  EXPECT_EQ(o.output, c.output) << c.script;
  EXPECT_EQ(o.code, c.code) << c.script << "\n" << o.error;
  if (c.error) {
    EXPECT_EQ(o.error, c.error) << c.script;
  } else if (c.code == 0) {
    EXPECT_EQ(o.error, "NO ERROR\n") << c.script;
  }
}

INSTANTIATE_TEST_SUITE_P(Script, Conformance, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

using script_test::Outcome;
using script_test::ScriptTest;

using Limits = ScriptTest;

TEST_F(Limits, UnboundedRecursionEndsWithMemoryOver) {
  Outcome o = Run("sub r(n) { return r(n + 1); }\nr(0);");
  EXPECT_EQ(o.code, SCRIPT_ERR_DEPTH);
  EXPECT_EQ(o.error.substr(0, 21), "ERR(20) memory over; ");
  // The engine is whole afterwards.
  EXPECT_EQ(Run("writeln(1);").output, "[1]\n");
}

TEST_F(Limits, StepBudgetEndsARun) {
  ScriptSetLimits({1000, SCRIPT_DEFAULT_MAX_DEPTH});
  Outcome o = Run("while (1) { }");
  EXPECT_EQ(o.code, SCRIPT_ERR_STEPS);
  EXPECT_EQ(o.error.substr(0, 45), "ERR(21) UnknownError\nline[0]\n\t[while (1) { }]");
  o = Run("for (;;) ;");
  EXPECT_EQ(o.code, SCRIPT_ERR_STEPS);
  // Each run starts with the whole budget.
  o = Run("for (i = 0; i < 10; i = i + 1) { }");
  EXPECT_EQ(o.code, 0);
  EXPECT_GT(ScriptStepsUsed(), 100u);
  EXPECT_LE(ScriptStepsUsed(), 1000u);
}

// Every node evaluated is a step, and every group, parenthesis and argument
// list a level: a run that runs out stops at the node that would have gone
// over, inside an operator group as anywhere else.
TEST_F(Limits, RunsStopInsideOperatorGroupsWhereTheLimitIsReached) {
  const struct {
    const char* script;
    const char* steps;  // the node each budget from 1 stops at, until it suffices
    const char* levels;  // the same for each depth limit from 1
  } cases[] = {
      {"x = (1 + 2) * 3;", "* ( + 1 2 + 3 * x = ; ", "* ( + 1 "},
      {"writeln((1 + 2) * 3);", "* ( + 1 2 + 3 * ; ", "* ( + 1 "},
      {"x = int(1);", "int 1 x = ; ", "int 1 "},
  };
  for (const auto& c : cases) {
    for (int limitDepth = 0; limitDepth < 2; ++limitDepth) {
      std::string stops;
      for (int k = 1; k < 30; ++k) {
        if (limitDepth)
          ScriptSetLimits({0, k});
        else
          ScriptSetLimits({static_cast<uint64_t>(k), SCRIPT_DEFAULT_MAX_DEPTH});
        std::string text = c.script;
        ScriptNode* program = nullptr;
        ScriptError error;
        ASSERT_EQ(ScriptCompile(text.data(), &program, nullptr), 0);
        int rc = ScriptExec(program, nullptr, nullptr, nullptr, &error, 0, 0);
        ScriptFreeProgram(program);
        if (rc == 0) break;
        EXPECT_EQ(rc, limitDepth ? SCRIPT_ERR_DEPTH : SCRIPT_ERR_STEPS) << c.script << " " << k;
        stops += error.text + " ";
      }
      EXPECT_EQ(stops, limitDepth ? c.levels : c.steps) << c.script;
    }
  }
}

TEST_F(Limits, AStepHookLooksOutNowAndThenWithoutChangingTheRun) {
  const char* loop = "x = 0; for (i = 0; i < 5000; i = i + 1) { x = x + i % 7; } writeln(x);";
  const std::string plain = Run(loop).output;
  uint64_t calls = 0;
  ScriptSetStepHook(100, [](void* n) { ++*static_cast<uint64_t*>(n); }, &calls);
  struct Off {
    ~Off() { ScriptSetStepHook(0, nullptr, nullptr); }
  } off;
  Outcome o = Run(loop);
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.output, plain);
  // Once every 100 steps, though runs of numbers are counted in bulk.
  EXPECT_LE(calls, ScriptStepsUsed() / 100);
  EXPECT_GE(calls, ScriptStepsUsed() / 110);
  // The budget still ends a run, however the two fall.
  ScriptSetLimits({1050, SCRIPT_DEFAULT_MAX_DEPTH});
  calls = 0;
  EXPECT_EQ(Run("while (1) { }").code, SCRIPT_ERR_STEPS);
  EXPECT_EQ(calls, 10u);
}

TEST_F(Limits, ABuiltInsCallBringsTheStepHookNearer) {
  // Outside code may take long, so a loop of few steps that calls it still
  // looks out often: 1,000 calls at 64 steps each make at least 64 turns.
  uint64_t calls = 0;
  ScriptSetStepHook(1000, [](void* n) { ++*static_cast<uint64_t*>(n); }, &calls);
  struct Off {
    ~Off() { ScriptSetStepHook(0, nullptr, nullptr); }
  } off;
  EXPECT_EQ(Run("for (i = 0; i < 1000; i = i + 1) { int(i); }").code, 0);
  EXPECT_LT(ScriptStepsUsed(), 64000u);
  EXPECT_GE(calls, 64u);
}

TEST_F(Limits, LongTextsCostStepsUnderABudget) {
  // Without a budget, doubling reaches the largest text and fails as out of memory.
  ScriptSetLimits({0, SCRIPT_DEFAULT_MAX_DEPTH});
  Outcome o = Run("s = \"ab\"; while (1) { s = s . s; }");
  EXPECT_EQ(o.code, SCRIPT_NOMEM);
  EXPECT_EQ(o.error, "ERR(10) Memory Over\n");
  ScriptSetLimits({100000, SCRIPT_DEFAULT_MAX_DEPTH});
  // Copying a big text over and over uses the budget up quickly.
  o = Run("s = \"ab\"; for (i = 0; i < 20; i = i + 1) { s = s . s; } while (1) { t = s . \"x\"; }");
  EXPECT_EQ(o.code, SCRIPT_ERR_STEPS);
  EXPECT_LT(ScriptStepsUsed(), 110000u);
}

TEST_F(Limits, HugeAndNonFiniteNumbersPrintWhole) {
  Outcome o = Run("x = 1; for (i = 0; i < 308; i = i + 1) { x = x * 10; } writeln(x);");
  ASSERT_EQ(o.code, 0);
  ASSERT_GE(o.output.size(), 1 + 308 + 7 + 2);
  EXPECT_EQ(o.output.find_first_not_of("0123456789", 1), o.output.size() - 9) << o.output;
  EXPECT_EQ(o.output.substr(o.output.size() - 9), ".000000]\n");
  // A non-finite result prints as fixed text, which reads back as no number.
  o = Run("writeln(x * 10, x * 10 + 1, (0 - x) * 10, 0 - x * 10);");
  EXPECT_EQ(o.output, "[inf]\n[1.000000]\n[-inf]\n[0.000000]\n");
}

int Failing(StrList**, StrList**) { return -12; }
int FailingPositive(StrList**, StrList**) { return 3; }

TEST_F(Limits, HandlerErrorsStandAtTheCall) {
  ScriptRegisterFunction(&MacroList, "broken", Failing, nullptr);
  ScriptRegisterFunction(&MacroList, "odd", FailingPositive, nullptr);
  ScriptRegisterFunction(&MacroList, "hollow", nullptr, nullptr);
  Outcome o = Run("x = 1;\n  broken(1);");
  EXPECT_EQ(o.error, "ERR(22) can't understand command; line[1]\n\t[  broken(1);]\n\t --^\n");
  o = Run("odd();");
  EXPECT_EQ(o.code, 3);
  EXPECT_EQ(o.error, "ERR(03) UnknownError\n");
  o = Run("hollow();");
  EXPECT_EQ(o.code, SCRIPT_ERR_UNDEFINED);
}

int Leave(StrList**, StrList**) { throw 7; }

// A built-in may leave the run by an exception (the headless host ends the
// process so): the engine is whole for the next run.
TEST_F(Limits, ARunLeftByAnExceptionLeavesTheEngineWhole) {
  ScriptRegisterFunction(&MacroList, "leave", Leave, nullptr);
  ScriptSetLimits({60, SCRIPT_DEFAULT_MAX_DEPTH});  // room for one run, not two
  std::string text = "x = 1 + 1; for (i = 0; i < 3; i = i + 1) { } leave();";
  ScriptNode* program = nullptr;
  ASSERT_EQ(ScriptCompile(text.data(), &program, nullptr), 0);
  EXPECT_THROW(ScriptExec(program, nullptr, nullptr, nullptr, nullptr, 0, 0), int);
  ScriptFreeProgram(program);
  // The next run has the whole budget.
  Outcome o = Run("x = 1 + 1; for (i = 0; i < 3; i = i + 1) { }");
  EXPECT_EQ(o.code, 0) << o.error;
}

int Collect(StrList** args, StrList** stack) {
  std::string seen;
  for (StrList* a = *args; a; a = a->next) seen += std::string(a->name) + ":" + ScriptValueText(a) + " ";
  ScriptOutput(seen.data(), seen.size());
  return StrListPush(stack, "I", "7") ? 0 : SCRIPT_NOMEM;
}

// A variable argument is read when the argument list ends, after every
// argument has been evaluated.
TEST_F(Limits, HandlersGetValuesFirstArgumentFirst) {
  ScriptRegisterFunction(&MacroList, "collect", Collect, nullptr);
  Outcome o = Run("v = \"var\"; writeln(collect(1, 2.5, \"s\", 's', `b`, v, 1 + 1, v = 3));");
  EXPECT_EQ(o.output, "I:1 D:2.5 S:s s:s b:b S:3 D:2.000000 S:3 [7]\n");
  o = Run("collect();");
  EXPECT_EQ(o.output, "");
}

TEST_F(Limits, ResultListsTakeTheTopOrEveryValue) {
  std::string text = "x = 5; x; 1 + 1";
  ScriptNode* program = nullptr;
  ASSERT_EQ(ScriptCompile(text.data(), &program, nullptr), 0);
  StrList* result = nullptr;
  ASSERT_EQ(ScriptExec(program, nullptr, nullptr, &result, nullptr, 0, 0), 0);
  ASSERT_NE(result, nullptr);
  EXPECT_STREQ(result->name, "D");
  EXPECT_STREQ(result->text, "2.000000");
  EXPECT_EQ(result->next, nullptr);
  StrListFree(result);
  result = nullptr;
  ASSERT_EQ(ScriptExec(program, nullptr, nullptr, &result, nullptr, 1, 0), 0);
  EXPECT_STREQ(ScriptValueText(result), "2.000000");
  StrListFree(result);
  ScriptFreeProgram(program);
  text = "x = 5; x";
  ASSERT_EQ(ScriptCompile(text.data(), &program, nullptr), 0);
  result = nullptr;
  ASSERT_EQ(ScriptExec(program, nullptr, nullptr, &result, nullptr, 0, 0), 0);
  EXPECT_STREQ(result->name, "S");  // a variable leaves as a copy of its text
  EXPECT_STREQ(result->text, "5");
  StrListFree(result);
  ScriptFreeProgram(program);
}

TEST_F(Limits, ErrorTextsForEveryCode) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {0, "NO ERROR\n"},           {1, "ERR(01) exit normal end\n"}, {2, "ERR(02) CodingError\n"},
      {6, "ERR(06) CodingError\n"}, {10, "ERR(10) Memory Over\n"},     {256, "ERR(256) Break stop\n"},
      {7, "ERR(07) UnknownError\n"}, {-4, "ERR(14) Syntax error next char; line[3]\n\t[ab]\n\t -^\n"},
      {-10, "ERR(20) memory over; line[3]\n\t[ab]\n\t -^\n"},
      {-15, "ERR(25) UnknownError\nline[3]\n\t[ab]\n\t -^\n"},
  };
  ScriptError error;
  error.line = 3;
  error.column = 1;
  error.lineText = "ab";
  for (const auto& c : cases) {
    char out[256];
    ScriptErrorText(c.code, &error, out, sizeof out);
    EXPECT_EQ(std::string(out), c.text) << c.code;
  }
  char tiny[8];
  ScriptErrorText(-14, &error, tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "ERR(24)");
}

}  // namespace

namespace {

TEST(ScriptLog, StartsAFreshFileAndAddsLines) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("script_log_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::path old = fs::current_path();
  fs::current_path(dir);
  { std::ofstream("mist.log") << "old contents\n"; }
  EXPECT_EQ(ScriptWriteLog("first"), 0);
  EXPECT_EQ(ScriptWriteLog("second"), 0);
  std::ifstream in("mist.log");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "first\nsecond\n");
  fs::current_path(old);
  fs::remove_all(dir);
}

}  // namespace
