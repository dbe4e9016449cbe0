#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/text.h"

namespace {

// "ソ表" in CP932: both second bytes are 0x5C, the byte of "\".
const char kSoHyo[] = "ソ表";

TEST(Cp932, LiteralsAreShiftJis) {
  ASSERT_EQ(std::strlen(kSoHyo), 4u);
  EXPECT_EQ(static_cast<uint8_t>(kSoHyo[0]), 0x83);
  EXPECT_EQ(static_cast<uint8_t>(kSoHyo[1]), 0x5C);
  EXPECT_EQ(static_cast<uint8_t>(kSoHyo[2]), 0x95);
  EXPECT_EQ(static_cast<uint8_t>(kSoHyo[3]), 0x5C);
}

TEST(Cp932, TrailBytesThatLookLikeAscii) {
  // 0x5C and 0x7C trail bytes stay inside their characters.
  EXPECT_EQ(win32::Cp932ToUtf16(kSoHyo), u"ソ表");
  const char pipe_trail[] = {static_cast<char>(0x83), 0x7C, 0};  // ポ
  EXPECT_EQ(win32::Cp932ToUtf16(pipe_trail), u"ポ");
  EXPECT_EQ(win32::Utf16ToCp932(u"ソ表ポ"), std::string(kSoHyo) + pipe_trail);
  // A lone backslash and tilde are themselves, not yen and overline.
  EXPECT_EQ(win32::Cp932ToUtf16("a\\b~"), u"a\\b~");
}

TEST(Cp932, RoundTripsThroughUtf8AndUtf16) {
  const std::string texts[] = {"", "ABC", "エラー", "ディスプレイの色数が16bit(HiColor)以上",
                               "半角ｶﾀｶﾅと全角", "①②Ⅰ"};
  for (const std::string& t : texts) {
    EXPECT_EQ(win32::Utf16ToCp932(win32::Cp932ToUtf16(t)), t);
    EXPECT_EQ(win32::Utf8ToCp932(win32::Cp932ToUtf8(t)), t);
    EXPECT_EQ(win32::Utf16ToUtf8(win32::Cp932ToUtf16(t)), win32::Cp932ToUtf8(t));
  }
  EXPECT_EQ(win32::Cp932ToUtf8("エラー"), reinterpret_cast<const char*>(u8"エラー"));
}

TEST(Cp932, LoneLeadByteAtTheEndIsNotSplitOrOverread) {
  // The string_view ends on a lead byte; the byte after it must not be read.
  const char buf[] = {'A', static_cast<char>(0x83), 0x5C};
  EXPECT_EQ(win32::Cp932ToUtf16(std::string_view(buf, 2)), u"A?");
  EXPECT_EQ(win32::Cp932ToUtf8(std::string_view(buf, 2)), "A?");
  // An undecodable pair becomes one "?" and decoding goes on.
  const char bad[] = {static_cast<char>(0x85), 0x40, 'Z', 0};
  std::u16string r = win32::Cp932ToUtf16(bad);
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r.back(), u'Z');
}

TEST(Cp932, LeadByteRanges) {
  EXPECT_FALSE(win32::IsLeadByte(0x80));
  EXPECT_TRUE(win32::IsLeadByte(0x81));
  EXPECT_TRUE(win32::IsLeadByte(0x9F));
  EXPECT_FALSE(win32::IsLeadByte(0xA0));
  EXPECT_FALSE(win32::IsLeadByte(0xDF));  // half-width katakana are single bytes
  EXPECT_TRUE(win32::IsLeadByte(0xE0));
  EXPECT_TRUE(win32::IsLeadByte(0xFC));
  EXPECT_FALSE(win32::IsLeadByte(0xFD));
}

TEST(Cp932, WindowsStyleConversionCalls) {
  char16_t w[8];
  // -1 counts the terminator; a size of 0 asks for the length.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "表A", -1, nullptr, 0), 3);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "表A", -1, w, 8), 3);
  EXPECT_EQ(std::u16string(w), u"表A");
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "表A", -1, w, 2), 0);  // does not fit
  char m[8];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"表A", -1, m, 8, nullptr, nullptr), 4);
  EXPECT_STREQ(m, "表A");
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"表", 1, nullptr, 0, nullptr, nullptr), 3);
}

}  // namespace
