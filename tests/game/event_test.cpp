#include <gtest/gtest.h>

#include "dx/dx.h"
#include "game/csvfile.h"
#include "game/event.h"
#include "game/fatal.h"
#include "script/strlist.h"
#include "platform/win32/display.h"
#include "tests/bitmaps/png_writer.h"
#include "tests/game/game_fixture.h"

namespace {

using gametest::GameTest;
using gametest::U8;

class EventTest : public GameTest {};

TEST_F(EventTest, EventsRunByNumberWithTheirRet) {
  Events({{1, "RET = 5;"}, {2, "x = 40; RET = x + 2;"}, {1023, "RET = flag(0) + 1;"}});
  eventExec(1);
  EXPECT_EQ(GetVarInt("RET"), 5);
  eventExec(2);
  EXPECT_EQ(GetVarInt("RET"), 42);
  eventExec(1023);
  EXPECT_EQ(GetVarInt("RET"), 1);
  EXPECT_EQ(Boxes(), 0u);
  EXPECT_STREQ(MsgBuf, "eventExec(EventNumber1023)");
}

TEST_F(EventTest, RetStartsAtZeroAndEventsCanRunEvents) {
  // A nested event's RET is what the outer caller sees unless the outer script sets it later.
  Events({{1, "RET = 9;"}, {2, "RET = 3; scan_event(0, 0, 0, 0); "}, {3, "y = 1;"}});
  SetVarInt("RET", 77);
  eventExec(3);
  EXPECT_EQ(GetVarInt("RET"), 0);
}

TEST_F(EventTest, AFailingEventWarnsOnceUntilAnotherSucceeds) {
  Events({{5, "nosuchcommand(1);"}, {6, "RET = 1;"}});
  eventExec(5);
  ASSERT_EQ(Boxes(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].caption, U8(u8"警告"));
  EXPECT_EQ(host_.message_boxes()[0].text.rfind(U8(u8"イベントナンバー[5]に文法的誤りを発見\n"), 0), 0u);
  EXPECT_EQ(LastFailedEvent, 5);
  EXPECT_EQ(MsgBuf[0], '\0');
  eventExec(5);  // still the last failure: nothing runs, nothing shows
  EXPECT_EQ(Boxes(), 1u);
  eventExec(6);
  EXPECT_EQ(LastFailedEvent, 0);
  eventExec(5);
  EXPECT_EQ(Boxes(), 2u);
}

TEST_F(EventTest, UndefinedNumbersWarnOnceAndZeroRunsNothing) {
  Events({{6, "RET = 1;"}});
  eventExec(0);
  EXPECT_EQ(Boxes(), 0u);
  eventExec(7);
  eventExec(7);
  ASSERT_EQ(Boxes(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].text, U8(u8"未定義のイベントナンバー[7]を実行しようとしました\n"));
  // After a failure, event 0 is just another undefined number.
  eventExec(0);
  EXPECT_EQ(Boxes(), 2u);
  eventExec(-1);
  eventExec(1024);
  EXPECT_EQ(Boxes(), 4u);
  EXPECT_EQ(GetVarInt("RET"), 0);
}

TEST_F(EventTest, AnEventThatRunsItselfStopsAtTheNestingLimitWithItsOwnWarning) {
  Events({{200, "n = n + 1; eval(200);"}, {201, "RET = 4;"}});
  SetVarInt("n", 0);
  eventExec(200);
  EXPECT_EQ(GetVarInt("n"), kMaxEventNesting);
  ASSERT_EQ(Boxes(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].caption, U8(u8"警告"));
  EXPECT_EQ(host_.message_boxes()[0].text,
            U8(u8"イベントの入れ子が深すぎます(100段まで)\nイベントナンバー[200]は実行しませんでした"));
  // The game goes on: the same event may run again, and others do.
  EXPECT_EQ(LastFailedEvent, 0);
  eventExec(201);
  EXPECT_EQ(GetVarInt("RET"), 4);
  eventExec(200);
  EXPECT_EQ(GetVarInt("n"), 2 * kMaxEventNesting);
  EXPECT_EQ(Boxes(), 2u);
}

TEST_F(EventTest, ARunawayNestIsLeftWholeAndEndsEvenWhenItBranches) {
  // Each level runs itself twice: without leaving the nest at its first
  // refusal this would run 2^100 events.
  Events({{300, "m = m + 1; eval(300); eval(300); after = after + 1;"}});
  SetVarInt("m", 0);
  SetVarInt("after", 0);
  eventExec(300);
  EXPECT_EQ(GetVarInt("m"), kMaxEventNesting);
  EXPECT_EQ(GetVarInt("after"), kMaxEventNesting);  // each level still finishes its own script
  EXPECT_EQ(Boxes(), 1u);
}

TEST_F(EventTest, ScriptDepthAtTheBottomOfAFullNestStillEndsInTheScriptsOwnError) {
  // The deepest event recurses as far as the script engine lets it: both
  // limits together stay inside the stack.
  Events({{400, "k = k + 1; if (k < 100) { eval(400); } else { sub f(x) { f(x + 1); } f(0); }"}});
  SetVarInt("k", 0);
  eventExec(400);
  EXPECT_EQ(GetVarInt("k"), kMaxEventNesting);
  ASSERT_EQ(Boxes(), 1u);
  EXPECT_NE(host_.message_boxes()[0].text.find("memory over"), std::string::npos);
}

TEST_F(EventTest, ALaterRowReplacesTheScriptAndCommentsAreSkipped) {
  TempDir::Write("data/event/a.txt", "RET = 1;");
  TempDir::Write("data/event/b.txt", "RET = 2;");
  TempDir::Write("data/event/event.csv", "8,a.txt\n\"#8\",missing.txt\n8,b.txt\n");
  char*** rows = ReadCsv("data/event/event.csv");
  CompileEventTable(rows, false);
  FreeCsv(rows);
  eventExec(8);
  EXPECT_EQ(GetVarInt("RET"), 2);
}

// Each bad table stops the program with its own message.
struct BadTable {
  const char* table;
  const char8_t* message;
};

class EventTableFaults : public GameTest, public ::testing::WithParamInterface<BadTable> {};

TEST_P(EventTableFaults, StopWithTheirMessage) {
  TempDir::Write("data/event/ok.txt", "RET = 1;");
  TempDir::Write("data/event/bad.txt", "if (1 { RET = 1; }");
  TempDir::Write("data/event/event.csv", GetParam().table);
  char*** rows = ReadCsv("data/event/event.csv");
  ASSERT_NE(rows, nullptr);
  try {
    CompileEventTable(rows, false);
    ADD_FAILURE() << "went on";
  } catch (const host::ProcessExit& e) {
    EXPECT_EQ(e.code, 1);
  }
  FreeCsv(rows);
  ASSERT_EQ(Boxes(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].caption, U8(u8"エラー"));
  EXPECT_NE(host_.message_boxes()[0].text.find(U8(GetParam().message)), std::string::npos)
      << host_.message_boxes()[0].text;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, EventTableFaults,
    ::testing::Values(BadTable{"x1,ok.txt\n", u8"[data/event/event.csv]でエラー発生\n>x1"},
                      BadTable{"1024,ok.txt\n", u8"(イベントナンバーが大きすぎる)\n>1024"},
                      BadTable{"-3,ok.txt\n", u8"(イベントナンバーが負の数)\n>-3"},
                      BadTable{"4,none.txt\n", u8"[data/event/none.txt]の読み取りに失敗(ファイルが無い？)"},
                      BadTable{"4,bad.txt\n", u8"イベント記述に文法的誤りを発見[data/event/bad.txt]\n"}));

// The whole reader, with its progress screen on a display.
class ReadEventDataTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(OpenDisplay());
  }
  void TearDown() override {
    dxrelease();
    GameTest::TearDown();
  }
  static void WriteLoadingPicture() {
    std::vector<uint8_t> pixels(640 * 480 * 3, 10);
    TempDir::Write("data/system/loading.png",
                   [&] { auto b = testpng::Encode(640, 480, 2, 8, pixels); return std::string(b.begin(), b.end()); }());
  }
};

TEST_F(ReadEventDataTest, OneRowShowsAFullBarAndEveryRowIsAFrame) {
  WriteLoadingPicture();
  TempDir::Write("data/event/a.txt", "RET = 4;");
  TempDir::Write("data/event/event.csv", "3,a.txt\n");
  uint64_t before = host_.frames_presented();
  ReadEventData();
  EXPECT_EQ(host_.frames_presented(), before + 1);
  const host::Frame* f = host_.last_frame();
  ASSERT_NE(f, nullptr);
  // The red bar reaches the right end of the white one.
  uint32_t end = f->at(518, 222), outside = f->at(525, 222);
  EXPECT_GT((end >> 16) & 0xFF, (end >> 8) & 0xFF);
  EXPECT_EQ(outside, 0x0A0A0Au);
  eventExec(3);
  EXPECT_EQ(GetVarInt("RET"), 4);

  TempDir::Write("data/event/event.csv", "3,a.txt\n4,a.txt\n");
  before = host_.frames_presented();
  ReadEventData();
  EXPECT_EQ(host_.frames_presented(), before + 2);
}

// A built-in that sends the window's close on its first call.
bool g_close_sent = false;
int CloseOnce(StrList**, StrList** stack) {
  if (!g_close_sent) host::headless()->close(host::headless()->frames_presented());
  g_close_sent = true;
  return MacroPushInt(stack, 0);
}

// The headless clock stands still while a script runs: a close sent during a
// loop that never waits is still looked for, and ends the game.
TEST_F(ReadEventDataTest, ACloseDuringALoopThatNeverWaitsEndsTheGameOnAStillClock) {
  WriteLoadingPicture();
  // No statement end in the loop, so the caught exit leaves no value of a
  // half-run statement behind.
  TempDir::Write("data/event/a.txt", "while (1) { close_once() }");
  TempDir::Write("data/event/event.csv", "3,a.txt\n");
  g_close_sent = false;
  ScriptRegisterFunction(&MacroList, "close_once", CloseOnce, nullptr);
  ReadEventData();
  // A budget of four times the steps the look needs ends a loop that missed it.
  const ScriptLimits limits = ScriptGetLimits();
  struct Restore {
    ScriptLimits limits;
    ~Restore() { ScriptSetLimits(limits); }
  } restore{limits};
  ScriptSetLimits({uint64_t{1} << 20, SCRIPT_DEFAULT_MAX_DEPTH});
  const uint64_t before = host_.now_us();
  int code = -1;
  try {
    eventExec(3);
  } catch (const host::ProcessExit& e) {
    code = e.code;
  }
  EXPECT_TRUE(g_close_sent);
  EXPECT_EQ(code, 0) << "the loop ran on to its budget";
  EXPECT_EQ(host_.now_us(), before);
}

TEST_F(ReadEventDataTest, MissingTableOrPictureStops) {
  EXPECT_THROW(ReadEventData(), host::ProcessExit);
  EXPECT_NE(host_.message_boxes().back().text.find(U8(u8"[data/system/loading.png]エラー:PNGファイル読み込みに失敗")),
            std::string::npos);
  WriteLoadingPicture();
  EXPECT_THROW(ReadEventData(), host::ProcessExit);
  EXPECT_NE(host_.message_boxes().back().text.find(U8(u8"[data/event/event.csv]はありません")), std::string::npos);
}

}  // namespace
