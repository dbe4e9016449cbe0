#include "script/strlist.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "script/memory.h"

namespace {

class StrListTest : public testing::Test {
 protected:
  void SetUp() override {
    StrListFree(ScriptVars);
    ScriptVars = nullptr;
    base_ = VMallocCount();
  }
  void TearDown() override {
    StrListFree(ScriptVars);
    ScriptVars = nullptr;
    EXPECT_EQ(VMallocCount(), base_);
  }
  int32_t base_ = 0;
};

TEST_F(StrListTest, PushPopFindNthAndRemove) {
  StrList* list = nullptr;
  StrList* a = StrListPush(&list, "a", "1");
  StrListPush(&list, "b", nullptr);
  StrList* c = StrListPush(&list, nullptr, "3");
  EXPECT_STREQ(c->name, "");
  EXPECT_EQ(StrListFind(list, "a"), a);
  EXPECT_EQ(StrListFind(list, nullptr), c);
  EXPECT_EQ(StrListNth(list, 2), a);
  EXPECT_EQ(StrListNth(list, 3), nullptr);
  EXPECT_EQ(StrListNth(nullptr, 0), nullptr);
  StrList* b = StrListFind(list, "b");
  EXPECT_EQ(b->text, nullptr);
  EXPECT_EQ(b->capacity, 0);
  StrListRemove(&list, "b");
  EXPECT_EQ(StrListFind(list, "b"), nullptr);
  StrListRemove(&list, "none");
  StrList* top = StrListPop(&list);
  EXPECT_EQ(top, c);
  EXPECT_EQ(top->next, nullptr);
  StrListFree(top);
  StrListFree(list);
  StrList* none = nullptr;
  EXPECT_EQ(StrListPop(&none), nullptr);
}

TEST_F(StrListTest, CapacityGrowsInSteps) {
  StrList* list = nullptr;
  StrList* node = StrListPush(&list, "S", "");
  EXPECT_EQ(node->capacity, 256);
  std::string text(255, 'x');
  ASSERT_EQ(StrListSet(node, text.c_str()), 0);
  char* before = node->text;
  EXPECT_EQ(node->capacity, 256);
  EXPECT_EQ(node->text, before);
  ASSERT_EQ(StrListAppend(node, "y"), 0);
  EXPECT_EQ(node->capacity, 512);
  EXPECT_EQ(std::string(node->text), text + "y");
  EXPECT_EQ(StrListAppend(node, nullptr), -1);
  EXPECT_EQ(StrListSet(node, nullptr), -1);
  StrList* empty = StrListPush(&list, "S", nullptr);
  ASSERT_EQ(StrListAppend(empty, "abc"), 0);
  EXPECT_STREQ(empty->text, "abc");
  EXPECT_EQ(empty->capacity, 256);
  StrListFree(list);
}

TEST_F(StrListTest, SetByNamePushesNewNamesAtTheHead) {
  StrList* list = nullptr;
  StrListSetByName(&list, "x", "1");
  StrList* y = StrListSetByName(&list, "y", "2");
  EXPECT_EQ(list, y);
  StrList* x = StrListSetByName(&list, "x", nullptr);
  EXPECT_STREQ(x->text, "1");  // no value: unchanged
  StrListSetByName(&list, "x", "3");
  EXPECT_STREQ(x->text, "3");
  StrListFree(list);
}

struct NumberCase {
  const char* text;
  int result;
  int32_t i;
  double d;
};

TEST_F(StrListTest, ParseNumberForms) {
  const NumberCase cases[] = {
      {"0d12", 64, 12, 12.0},      {"0d", 64, 0, 0.0},          {"0f2.5", 65, 2, 2.5},
      {"0f-7.9", 65, -7, -7.9},    {"-3.75", 65, -3, -3.75},    {".5", 65, 0, 0.5},
      {"12.", 65, 12, 12.0},       {"1.5e3", 65, 1500, 1500.0}, {"0x1F", 64, 31, 31.0},
      {"0x1fz", 64, 31, 31.0},     {"010", 64, 8, 8.0},         {"08", 64, 0, 0.0},
      {"12abc", 64, 12, 12.0},     {"-12", 64, -12, -12.0},     {"-0", 64, 0, 0.0},
      {"99999999999", 64, INT32_MAX, INT32_MAX},                {"-99999999999", 64, INT32_MIN, INT32_MIN},
      {"1e99.5", 65, INT32_MAX, 1e99},                          {"0x1.8p3", 65, 0, 0.0},
  };
  for (const NumberCase& c : cases) {
    int32_t i = -777;
    double d = -777;
    EXPECT_EQ(ScriptParseNumber(c.text, &i, &d), c.result) << c.text;
    EXPECT_EQ(i, c.i) << c.text;
    EXPECT_DOUBLE_EQ(d, c.d) << c.text;
  }
  const char* notNumbers[] = {"", "x1", "-", "abc", "+5", " 5", "-x"};
  for (const char* t : notNumbers) EXPECT_EQ(ScriptParseNumber(t, nullptr, nullptr), 1) << t;
  const char* empty[] = {"0x", "0xg", "-.", ".", "..5", "-.x"};
  for (const char* t : empty) EXPECT_EQ(ScriptParseNumber(t, nullptr, nullptr), -1) << t;
}

TEST_F(StrListTest, DecimalTextReadsAsTheCLibraryReadsIt) {
  const char* texts[] = {"7.000000",   "-0.500",      "0.1",     "123456789.123456", "99999999999999.9",
                         "1.00000001", "0.000000",    "-0.0",    "3.14159265358979", "12345678901234567.5",
                         "1.5e300",    "2.5E-3x",     "1e400.",  "0.30000000000000004"};
  for (const char* t : texts) {
    double ours = 0;
    ASSERT_EQ(ScriptParseNumber(t, nullptr, &ours), 65) << t;
    EXPECT_EQ(ours, std::strtod(t, nullptr)) << t;
    EXPECT_EQ(std::signbit(ours), std::signbit(std::strtod(t, nullptr))) << t;
  }
}

TEST_F(StrListTest, StrToIntIsBaseZeroAndSaturates) {
  EXPECT_EQ(StrToInt("0x1F"), 31);
  EXPECT_EQ(StrToInt("0X1f"), 31);
  EXPECT_EQ(StrToInt("010"), 8);
  EXPECT_EQ(StrToInt("  -42xyz"), -42);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("12.9"), 12);
  EXPECT_EQ(StrToInt("abc"), 0);
  EXPECT_EQ(StrToInt("0x"), 0);
  EXPECT_EQ(StrToInt("2147483647"), INT32_MAX);
  EXPECT_EQ(StrToInt("2147483648"), INT32_MAX);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt("-2147483649"), INT32_MIN);
  EXPECT_EQ(StrToInt("0xFFFFFFFF"), INT32_MAX);
  const char* end = nullptr;
  const char* text = "0xq";
  ScriptStrtol(text, &end, 0);
  EXPECT_EQ(end, text);  // "0x" without a digit converts nothing
}

TEST_F(StrListTest, FormatDoubleMatchesPrintfAndStaysBounded) {
  const double values[] = {0.0, -0.0, 2.0, 2.5, -3.75, 0.1, 1.0 / 3.0, 1e15, 123456.0000005, 0.0000005,
                           0.0000015, -1e-7, 4503599627.370496, 1e300, -1.7976931348623157e308};
  for (double v : values) {
    char ours[SCRIPT_NUMBER_TEXT], theirs[400];
    ScriptFormatDouble(v, ours);
    std::snprintf(theirs, sizeof theirs, "%f", v);
    EXPECT_STREQ(ours, theirs) << v;
  }
  char out[SCRIPT_NUMBER_TEXT];
  ScriptFormatDouble(INFINITY, out);
  EXPECT_STREQ(out, "inf");
  ScriptFormatDouble(-INFINITY, out);
  EXPECT_STREQ(out, "-inf");
  ScriptFormatDouble(-NAN, out);
  EXPECT_STREQ(out, "nan");
  EXPECT_EQ(ScriptDoubleToInt(NAN), 0);
  EXPECT_EQ(ScriptDoubleToInt(1e20), INT32_MAX);
  EXPECT_EQ(ScriptDoubleToInt(-1e20), INT32_MIN);
  EXPECT_EQ(ScriptDoubleToInt(-2.9), -2);
}

TEST_F(StrListTest, VariableAccessors) {
  SetVarStr("HEX", "0x1F");
  SetVarStr("OCT", "010");
  SetVarStr("FRAC", "12.9");
  SetVarStr("WORD", "abc");
  EXPECT_EQ(GetVarInt("HEX"), 31);
  EXPECT_EQ(GetVarInt("OCT"), 8);
  EXPECT_EQ(GetVarInt("FRAC"), 12);
  EXPECT_EQ(GetVarInt("WORD"), 0);
  EXPECT_EQ(GetVarInt("NEVER"), 0);
  EXPECT_STREQ(GetVarStr("NEVER"), "");
  EXPECT_EQ(StrListFind(ScriptVars, "NEVER"), nullptr);
  StrList* n = SetVarInt("N", -5);
  EXPECT_STREQ(n->text, "-5");
  char* buffer = n->text;
  EXPECT_EQ(SetVarInt("N", 123456), n);
  EXPECT_EQ(n->text, buffer);
  EXPECT_STREQ(GetVarStr("N"), "123456");
}

TEST_F(StrListTest, ValueOperationsFollowReferences) {
  StrList* stack = nullptr;
  StrList* var = SetVarStr("V1", "7.9");
  StrList* ref = StrListPush(&stack, "V", nullptr);
  ref->ref = var;
  EXPECT_EQ(ScriptValueInt(ref), 7);
  EXPECT_DOUBLE_EQ(ScriptValueDouble(ref), 7.9);
  EXPECT_STREQ(ScriptValueText(ref), "7.9");
  ScriptSetInt(ref, 42);
  EXPECT_STREQ(var->text, "42");
  EXPECT_STREQ(ref->name, "V");
  ScriptAppendText(ref, "x");
  EXPECT_STREQ(var->text, "42x");
  StrList* value = StrListPush(&stack, "s", "abc");
  ScriptSetDouble(value, 2.5);
  EXPECT_STREQ(value->name, "D");
  EXPECT_STREQ(value->text, "2.500000");
  ScriptAppendText(value, "!");
  EXPECT_STREQ(value->name, "S");
  ScriptCopyValue(ref, value);
  EXPECT_STREQ(var->text, "2.500000!");
  EXPECT_EQ(ScriptValueInt(nullptr), -1);
  EXPECT_EQ(ScriptValueDouble(nullptr), -1.0);
  EXPECT_STREQ(ScriptValueText(nullptr), "");
  EXPECT_EQ(ScriptSetInt(nullptr, 1), -1);
  EXPECT_EQ(ScriptCopyValue(nullptr, value), -1);
  StrListFree(stack);
}

TEST_F(StrListTest, LookupAndAssignPreferLocals) {
  StrList* locals = nullptr;
  StrListPush(&locals, "x", "local");
  SetVarStr("x", "global");
  EXPECT_STREQ(ScriptLookupVar(locals, "x")->text, "local");
  EXPECT_STREQ(ScriptLookupVar(nullptr, "x")->text, "global");
  StrList* fresh = ScriptLookupVar(locals, "fresh");
  EXPECT_EQ(StrListFind(ScriptVars, "fresh"), fresh);
  EXPECT_STREQ(fresh->text, "");
  EXPECT_EQ(ScriptAssignVar(locals, "x", "1"), 0);
  EXPECT_STREQ(locals->text, "1");
  EXPECT_STREQ(GetVarStr("x"), "global");
  EXPECT_EQ(ScriptAssignVar(locals, "y", "2"), 0);
  EXPECT_STREQ(GetVarStr("y"), "2");
  StrListFree(locals);
}

}  // namespace
