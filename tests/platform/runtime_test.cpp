#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "platform/host/headless_host.h"
#include "platform/win32/win32.h"

namespace {

TEST(Rand, ClassicSequence) {
  srand(1);
  EXPECT_EQ(rand(), 41);
  EXPECT_EQ(rand(), 18467);
  EXPECT_EQ(rand(), 6334);
  EXPECT_EQ(rand(), 26500);
  srand(1);
  EXPECT_EQ(rand(), 41);  // reseeding restarts the sequence
  static_assert(RAND_MAX == 32767);
  srand(12345);
  for (int i = 0; i < 1000; ++i) {
    int r = rand();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, RAND_MAX);
  }
}

TEST(MulDiv, RoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDiv(10, 10, 3), 33);
  EXPECT_EQ(MulDiv(1, 1, 2), 1);     // 0.5 -> 1
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);   // -0.5 -> -1
  EXPECT_EQ(MulDiv(1, -1, -2), 1);
  EXPECT_EQ(MulDiv(5, 1, 4), 1);     // 1.25 -> 1
  EXPECT_EQ(MulDiv(3, 1, 2), 2);     // 1.5 -> 2
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
}

TEST(MulDiv, WideProductAndOverflow) {
  EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);  // the product needs 62 bits
  EXPECT_EQ(MulDiv(65536, 65536, 65536), 65536);
  EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);  // does not fit
  EXPECT_EQ(MulDiv(INT_MIN, 1, -1), -1);
  EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
  EXPECT_EQ(MulDiv(7, 3, 0), -1);
}

class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override { host::set(&h_); }
  void TearDown() override { host::set(nullptr); }
  host::HeadlessHost h_;
};

TEST_F(ClockTest, ClocksFollowTheHost) {
  h_.set_clock(5'000'000);
  EXPECT_EQ(timeGetTime(), 5000u);
  Sleep(250);
  EXPECT_EQ(timeGetTime(), 5250u);
  LARGE_INTEGER f, c;
  ASSERT_TRUE(QueryPerformanceFrequency(&f));
  ASSERT_TRUE(QueryPerformanceCounter(&c));
  EXPECT_EQ(f.QuadPart, 1'000'000);
  EXPECT_EQ(c.QuadPart, 5'250'000);
}

TEST_F(ClockTest, MillisecondClockWrapsAt32Bits) {
  h_.set_clock((uint64_t{1} << 32) * 1000 - 1000);
  EXPECT_EQ(timeGetTime(), 0xFFFFFFFFu);
  Sleep(2);
  EXPECT_EQ(timeGetTime(), 1u);
}

TEST_F(ClockTest, MessageBoxGoesThroughTheHost) {
  h_.set_quiet(true);
  h_.answer_next(host::MessageResult::No);
  EXPECT_EQ(MessageBoxA(nullptr, "色数を変更しますか？", "色数変更", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "エラー発生", "エラー", MB_ICONHAND), IDOK);
  ASSERT_EQ(h_.message_boxes().size(), 2u);
  const auto& q = h_.message_boxes()[0];
  EXPECT_EQ(q.caption, reinterpret_cast<const char*>(u8"色数変更"));
  EXPECT_EQ(q.buttons, host::MessageButtons::YesNo);
  EXPECT_EQ(q.icon, host::MessageIcon::Question);
  const auto& e = h_.message_boxes()[1];
  EXPECT_EQ(e.text, reinterpret_cast<const char*>(u8"エラー発生"));
  EXPECT_EQ(e.icon, host::MessageIcon::Stop);
  EXPECT_EQ(MessageBoxW(nullptr, u"ワイド", u"警告", MB_OK | MB_ICONWARNING), IDOK);
  EXPECT_EQ(h_.message_boxes()[2].caption, reinterpret_cast<const char*>(u8"警告"));
}

TEST(Registry, LogonUserNameIsTheLoginName) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", 0, KEY_READ,
                          &key),
            ERROR_SUCCESS);
  char name[256] = {};
  DWORD size = sizeof(name), type = 0;
  LSTATUS r = RegQueryValueExA(key, "Logon User Name", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  const char* user = getenv("USER");
  if (user && *user) {
    ASSERT_EQ(r, ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(name), win32::Utf8ToCp932(user));
    EXPECT_EQ(size, std::strlen(name) + 1);
    DWORD small = 1;
    EXPECT_EQ(RegQueryValueExA(key, "Logon User Name", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &small),
              ERROR_MORE_DATA);
  }
  EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  HKEY other = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Other", 0, KEY_READ, &other), ERROR_SUCCESS);
}

TEST(CommandLine, ArgumentsRoundTripThroughTheWideCommandLine) {
  // Arguments reach the process as UTF-8.
  std::string a0 = "/opt/game/dolvicar", a2 = "say \"hi\"";
  std::string a1 = reinterpret_cast<const char*>(u8"/home/me/セーブ データ");
  char* argv[] = {a0.data(), a1.data(), a2.data()};
  win32::SetProcessArgs(3, argv);
  int n = 0;
  char16_t** args = CommandLineToArgvW(GetCommandLineW(), &n);
  ASSERT_NE(args, nullptr);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(win32::Utf16ToUtf8(args[1]), a1);
  EXPECT_EQ(win32::Utf16ToUtf8(args[2]), a2);
  EXPECT_EQ(args[3], nullptr);
  LocalFree(args);
}

TEST(CommandLine, WindowsQuotingRules) {
  int n = 0;
  char16_t** args = CommandLineToArgvW(u"prog \"a b\" c\\\\\"d e\" f\\g \"\"", &n);
  ASSERT_EQ(n, 5);
  EXPECT_EQ(std::u16string(args[1]), u"a b");
  EXPECT_EQ(std::u16string(args[2]), u"c\\d e");
  EXPECT_EQ(std::u16string(args[3]), u"f\\g");
  EXPECT_EQ(std::u16string(args[4]), u"");
  LocalFree(args);
}

TEST(ModulePath, UsesBackslashesAndNamesThisProgram) {
  char path[4000];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
  ASSERT_GT(n, 0u);
  EXPECT_EQ(path[0], '\\');
  EXPECT_EQ(std::strchr(path, '/'), nullptr);
  EXPECT_NE(std::strstr(path, "platform_tests"), nullptr);
  char small[5];
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), 5u);  // cut short
  EXPECT_EQ(std::strlen(small), 4u);
}

}  // namespace
