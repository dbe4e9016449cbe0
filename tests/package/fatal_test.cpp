#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "game/fatal.h"
#include "platform/host/headless_host.h"
#include "platform/win32/text.h"

namespace {

std::string Utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

class FatalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.set_catch_exits(true);
    host_.set_quiet(true);
    host::set(&host_);
  }
  void TearDown() override { host::set(nullptr); }
  host::HeadlessHost host_;
};

TEST_F(FatalTest, StopsWithCodeOneAfterTheBox) {
  int line = 0;
  try {
    line = __LINE__ + 1;
    GAME_FATAL("%sが読めません (%d)", "data/map/map.cfg", 3);
    FAIL() << "went on";
  } catch (const host::ProcessExit& e) {
    EXPECT_EQ(e.code, 1);
    EXPECT_TRUE(e.handlers);
  }
  ASSERT_EQ(host_.message_boxes().size(), 1u);
  const host::MessageBoxRecord& box = host_.message_boxes()[0];
  EXPECT_EQ(box.caption, Utf8(u8"エラー"));
  EXPECT_EQ(box.text, "tests/package/fatal_test:" + std::to_string(line) + ":data/map/map.cfg" +
                          Utf8(u8"が読めません (3)"));
  EXPECT_EQ(box.icon, host::MessageIcon::Stop);
  EXPECT_EQ(box.buttons, host::MessageButtons::Ok);
  EXPECT_EQ(win32::Cp932ToUtf8(ErrBuf), box.text);
}

TEST_F(FatalTest, TheTraceInMsgBufIsTheContext) {
  FormatMsg("eventExec(EventNumber%d)", 12);
  EXPECT_THROW(FatalError("/somewhere/game/opening.cpp", 40), host::ProcessExit);
  EXPECT_STREQ(ErrBuf, "/somewhere/game/opening:40:eventExec(EventNumber12)");
  // MsgBuf may take part in its own message.
  FormatMsg("%s; then %s", MsgBuf, "readIMG(a.png)");
  EXPECT_STREQ(MsgBuf, "eventExec(EventNumber12); then readIMG(a.png)");
}

TEST_F(FatalTest, LongMessagesAreCutOnACharacterBoundary) {
  std::string kana;
  for (int i = 0; i < 600; ++i) kana += "ア";  // 1,200 bytes of two-byte characters
  EXPECT_EQ(FormatMsg("%s", kana.c_str()), 1022);
  EXPECT_EQ(std::strlen(MsgBuf), 1022u);  // 1,023 would split a character
  EXPECT_EQ(std::string(MsgBuf), kana.substr(0, 1022));
  EXPECT_THROW(FatalError("x.cpp", 7), host::ProcessExit);
  size_t len = std::strlen(ErrBuf);
  EXPECT_EQ(len, 1022u);  // "x:7:" and 509 characters: a 1,023rd byte would split the next
  EXPECT_EQ(std::string(ErrBuf, 4), "x:7:");
  EXPECT_EQ(std::string(ErrBuf + 4), kana.substr(0, 1018));
  EXPECT_EQ(host_.message_boxes().back().text, win32::Cp932ToUtf8(ErrBuf));

  EXPECT_EQ(FormatMsg("%s!", std::string(2000, 'a').c_str()), 1023);
}

TEST_F(FatalTest, AWarningGoesOnAndEmptiesMsgBuf) {
  GAME_WARNING("パッケージを開けません");
  EXPECT_EQ(MsgBuf[0], '\0');
  ASSERT_EQ(host_.message_boxes().size(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].caption, Utf8(u8"警告"));
  EXPECT_EQ(host_.message_boxes()[0].text, Utf8(u8"パッケージを開けません"));
  EXPECT_EQ(host_.message_boxes()[0].icon, host::MessageIcon::Stop);
}

}  // namespace
