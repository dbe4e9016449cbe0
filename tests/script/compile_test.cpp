// White-box tests of the compiler: the tree it builds, its line table and
// what it leaves behind.
#include <gtest/gtest.h>

#include <string>

#include "tests/script/script_fixture.h"

namespace {

using script_test::ScriptTest;

class Compiler : public ScriptTest {
 protected:
  void TearDown() override {
    ScriptFreeProgram(program_);
    program_ = nullptr;
    ScriptTest::TearDown();
  }

  int Compile(const std::string& script) {
    ScriptFreeProgram(program_);
    program_ = nullptr;
    text_ = script;
    return ScriptCompile(text_.data(), &program_, &error_);
  }

  // The tree as nested lists: a node with children is "(text children...)".
  static std::string Shape(const ScriptNode* first) {
    std::string out;
    for (const ScriptNode* node = first; node; node = node->next) {
      if (!out.empty()) out += ' ';
      if (node->children)
        out += "(" + std::string(node->text) + " " + Shape(node->children) + ")";
      else
        out += node->text;
    }
    return out;
  }

  std::string text_;
  ScriptNode* program_ = nullptr;
  ScriptError error_;
};

TEST_F(Compiler, RowsBindInTableOrder) {
  const struct {
    const char* script;
    const char* shape;
  } cases[] = {
      {"a - b + c", "(- a (+ b c +) -)"},
      {"2 * 8 / 2", "(* 2 (/ 8 2 /) *)"},
      {"1 + 2 * 3", "(+ 1 (* 2 3 *) +)"},
      {"a < b == c", "(== (< a b <) c ==)"},
      {"!a == b", "(! (== a b ==) !)"},
      {"a & b && c", "(& a (&& b c &&) &)"},
      {"a . b . c", "(. (. a b .) c .)"},
      {"x = y + 1", "(= (+ y 1 +) x =)"},
      {"a = b = c", "(= c (= b a =) =)"},
      {"f(1) + 2", "(+ (f (( 1)) 2 +)"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Compile(c.script), 0) << c.script;
    EXPECT_EQ(Shape(program_), c.shape) << c.script;
  }
}

// Every operator row binds before every later one, whatever their places:
// "x later y earlier z" groups the earlier row's operands first.
TEST_F(Compiler, EveryRowBindsBeforeTheNext) {
  const char* const binary[] = {"/",  "*",  "+",  "-", "<", "<=", ">", ">=", ".", "_eq_",
                                "_ne_", "%", "==", "!=", "&&", "||", "&", "|", "^"};
  const size_t count = sizeof binary / sizeof binary[0];
  for (size_t i = 0; i + 1 < count; ++i) {
    std::string earlier = binary[i], later = binary[i + 1];
    ASSERT_EQ(Compile("x " + later + " y " + earlier + " z"), 0) << earlier << " " << later;
    EXPECT_EQ(Shape(program_), "(" + later + " x (" + earlier + " y z " + earlier + ") " + later + ")");
    ASSERT_EQ(Compile("x " + earlier + " y " + later + " z"), 0);
    EXPECT_EQ(Shape(program_), "(" + later + " (" + earlier + " x y " + earlier + ") z " + later + ")");
  }
  // The unary rows sit between != and &&.
  for (const char* op : {"~", "!"}) {
    for (size_t i = 0; i < count; ++i) {
      std::string other = binary[i];
      ASSERT_EQ(Compile(std::string(op) + " x " + other + " y"), 0) << op << " " << other;
      if (i < 14)
        EXPECT_EQ(Shape(program_), std::string("(") + op + " (" + other + " x y " + other + ") " + op + ")");
      else
        EXPECT_EQ(Shape(program_), "(" + other + " (" + op + " x " + op + ") y " + other + ")");
    }
  }
  ASSERT_EQ(Compile("~ ! x"), SCRIPT_ERR_OPERAND);
  ASSERT_EQ(Compile("! ~ x"), 0);
  EXPECT_EQ(Shape(program_), "(! (~ x ~) !)");
  // "=" comes after every operator.
  ASSERT_EQ(Compile("x = y ^ z"), 0);
  EXPECT_EQ(Shape(program_), "(= (^ y z ^) x =)");
}

TEST_F(Compiler, DumpShowsLineKindColumnAndFlags) {
  ASSERT_EQ(Compile("x = a + 1; // note"), 0);
  captured_.clear();
  ScriptDumpTree(program_, 0);
  EXPECT_EQ(captured_,
            "0[=:0028:02:04:x = a + 1; ]\n"
            "  0[+:0000:06:05:x = a + 1; ]\n"
            "    0[a:0001:04:01:x = a + 1; ]\n"
            "    0[1:0040:08:01:x = a + 1; ]\n"
            "    0[+:0212:06:01:x = a + 1; ]\n"
            "  0[x:0001:00:01:x = a + 1; ]\n"
            "  0[=:0301:02:01:x = a + 1; ]\n"
            "0[;:ffff:09:00:x = a + 1; ]\n");
}

TEST_F(Compiler, TokensAndWords) {
  ASSERT_EQ(Compile("ifx<=myy;"), 0);
  EXPECT_EQ(Shape(program_), "(<= ifx myy <=) ;");
  EXPECT_EQ(program_->kind, NODE_FRAGMENT);
  EXPECT_EQ(program_->children->kind, NODE_WORD);
  EXPECT_EQ(program_->children->next->next->kind, TOK_LE);
  ASSERT_EQ(Compile("x=a_eq_b"), 0);
  EXPECT_EQ(Shape(program_), "(= (_eq_ a b _eq_) x =)");
}

TEST_F(Compiler, DigitsAroundADotAreOneFloatingConstant) {
  ASSERT_EQ(Compile("12.5"), 0);
  EXPECT_EQ(program_->kind, NODE_FLOAT);
  EXPECT_STREQ(program_->text, "12.5");
  EXPECT_EQ(program_->next, nullptr);
  ASSERT_EQ(Compile("12.x"), 0);
  EXPECT_EQ(Shape(program_), "(. 12 x .)");
  EXPECT_EQ(program_->children->kind, NODE_INT);
}

TEST_F(Compiler, PrefixLineKeepsEverythingAfterTheHash) {
  ASSERT_EQ(Compile("  #mes a \"b\" // c"), 0);
  EXPECT_EQ(program_->kind, NODE_PREFIX_LINE);
  EXPECT_STREQ(program_->text, "mes a \"b\" ");  // "//" is cut first
  EXPECT_EQ(program_->column, 3);
  EXPECT_EQ(program_->next, nullptr);
}

TEST_F(Compiler, LineTableHoldsLinesWithoutComments) {
  ASSERT_EQ(Compile("a = 1; // one\n\nb = \"x\ny\"; /* two */ c;\n/* three\nfour */ d;"), 0);
  char** lines = program_->lines;
  ASSERT_NE(lines, nullptr);
  EXPECT_STREQ(lines[0], "a = 1; ");
  EXPECT_STREQ(lines[1], "");
  EXPECT_STREQ(lines[2], "b = \"x\ny\"; ");
  EXPECT_STREQ(lines[3], " c;");  // the string that began on line 2 ends here
  EXPECT_STREQ(lines[4], "");
  EXPECT_STREQ(lines[5], " d;");
  EXPECT_EQ(lines[6], nullptr);
  // Positions after a string that runs over a line end count that line.
  const ScriptNode* last = program_;
  while (last->next) last = last->next;
  EXPECT_EQ(last->line, 5);
  EXPECT_EQ(last->column, 9);
}

TEST_F(Compiler, StatementForms) {
  ASSERT_EQ(Compile("if (a) { b; } else if (c) ;"), 0);
  EXPECT_EQ(program_->kind, NODE_IF);
  EXPECT_EQ(program_->next->kind, NODE_ELSE);
  EXPECT_EQ(program_->next->children->kind, NODE_IF);
  ASSERT_EQ(Compile("for (i = 0; i < 3; i = i + 1) { }"), 0);
  EXPECT_EQ(program_->kind, NODE_FOR);
  EXPECT_EQ(Shape(program_), "(for (( (= 0 i =)) (( (< i 3 <)) (( (= (+ i 1 +) i =)) {)");
  ASSERT_EQ(Compile("for (;;) ;"), 0);
  EXPECT_EQ(Shape(program_), "(for ( ( ( ;)");
  EXPECT_EQ(program_->children->next->next->next->kind, NODE_BLOCK);
  ASSERT_EQ(Compile("my (a, b); return a + 1; x;"), 0);
  EXPECT_EQ(Shape(program_), "(my a b) ; (return (+ a 1 +)) ; x ;");
  EXPECT_EQ(program_->children->kind, NODE_DECLARED);
}

TEST_F(Compiler, SubIsRegisteredWhileItsTreeLives) {
  ASSERT_EQ(Compile("sub twice(a, b) { a * 2 }"), 0);
  EXPECT_EQ(program_->kind, NODE_SUB);
  EXPECT_EQ(Shape(program_), "(twice a b (* a 2 *))");
  ASSERT_NE(MacroList, nullptr);
  EXPECT_STREQ(MacroList->name, "twice");
  EXPECT_EQ(MacroList->body, program_->children);
  ScriptFreeProgram(program_);
  program_ = nullptr;
  EXPECT_STREQ(MacroList->name, "double");  // the engine's own entries remain
}

TEST_F(Compiler, FailedCompileLeavesNothing) {
  int32_t before = VMallocCount();
  EXPECT_EQ(Compile("sub f() { } x = \"a\" . ;"), -3);
  EXPECT_EQ(program_, nullptr);
  EXPECT_STREQ(MacroList->name, "double");
  EXPECT_EQ(VMallocCount(), before);
  EXPECT_EQ(error_.line, 0);
  EXPECT_EQ(error_.column, 20);
  EXPECT_EQ(error_.lineText, "sub f() { } x = \"a\" . ;");
}

TEST_F(Compiler, EmptyScriptsCompileToNothing) {
  for (const char* text : {"", "   \n\t\r\n", "// only a note", "/* open"}) {
    EXPECT_EQ(Compile(text), 0) << text;
    EXPECT_EQ(program_, nullptr) << text;
  }
}

TEST_F(Compiler, NestingIsBounded) {
  std::string deep(SCRIPT_MAX_NESTING, '(');
  deep += "1";
  deep += std::string(SCRIPT_MAX_NESTING, ')');
  EXPECT_EQ(Compile(deep), 0);
  std::string deeper = "(" + deep + ")";
  EXPECT_EQ(Compile(deeper), SCRIPT_ERR_DEPTH);
  char message[256];
  ScriptErrorText(SCRIPT_ERR_DEPTH, &error_, message, sizeof message);
  EXPECT_EQ(std::string(message).substr(0, 30), "ERR(20) memory over; line[0]\n\t");
}

TEST_F(Compiler, LongOperatorChainsAreFreedWithoutRecursion) {
  std::string chain = "x = 1";
  for (int i = 0; i < 100000; ++i) chain += "+1";
  EXPECT_EQ(Compile(chain), 0);
}

TEST_F(Compiler, TreeIsUnchangedByRuns) {
  ASSERT_EQ(Compile("i = i + 1; writeln(i . \"x\");"), 0);
  std::string before = Shape(program_);
  captured_.clear();
  for (int n = 0; n < 3; ++n) EXPECT_EQ(ScriptExec(program_, nullptr, nullptr, nullptr, &error_, 0, 0), 0);
  EXPECT_EQ(captured_, "[1.000000x]\n[2.000000x]\n[3.000000x]\n");
  EXPECT_EQ(Shape(program_), before);
}

}  // namespace
