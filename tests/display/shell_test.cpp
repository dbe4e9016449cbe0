// Start, release, exit, the window procedure's close, and the fatal stop.
#include "fixture.h"
#include "platform/win32/mutex.h"

namespace {

int g_hook_calls[3];
std::string g_hook_order;
void HookA() { ++g_hook_calls[0], g_hook_order += 'a'; }
void HookB() { ++g_hook_calls[1], g_hook_order += 'b'; }

TEST_F(DxTest, InitOpensAWindowAndClearsTheScreen) {
  Start();
  ASSERT_NE(dxgetwindow(), nullptr);
  EXPECT_TRUE(host_.window_open());
  EXPECT_EQ(host_.title(), U8("テスト"));
  EXPECT_STREQ(dxgettitle(), "テスト");
  EXPECT_EQ(dxscreendepth, 32);
  EXPECT_EQ(dxbackdesc.dwWidth, 640u);
  EXPECT_EQ(dxtarget, dxbackbuffer);
  EXPECT_EQ(Back(10, 10), 0u);
  dxrelease();
  EXPECT_EQ(dxgetwindow(), nullptr);
  EXPECT_FALSE(host_.window_open());
  EXPECT_EQ(dxbackbuffer, nullptr);
  dxrelease();  // a second release finds nothing to do
  EXPECT_EQ(ddraw::LiveSurfaces(), 0);
}

TEST_F(DxTest, SecondInitReplacesTheFirstWindow) {
  Start();
  Start(16);
  EXPECT_NE(dxgetwindow(), nullptr);
  EXPECT_EQ(dxscreendepth, 16);
  EXPECT_TRUE(host_.window_open());
}

TEST_F(DxTest, DepthErrorsStopWithTheirTexts) {
  Start();  // the process's set-up reads the desktop depth once
  dxdesktopdepth = 15;
  EXPECT_THROW(dxinit("t", 640, 480, 0, false), host::ProcessExit);
  ASSERT_EQ(host_.message_boxes().size(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].text, U8("このカラーモードでは動作しません。"));
  dxdesktopdepth = 32;
  EXPECT_THROW(dxinit("t", 640, 480, 12, false), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text, U8("色数の設定が正しくありません。"));
}

TEST_F(DxTest, FullScreenRefusedLeavesInitFalse) {
  ddraw::RefuseFullScreen(true);
  EXPECT_FALSE(dxinit("t", 640, 480, 0, true));
  EXPECT_EQ(dxgetwindow(), nullptr);
}

TEST_F(DxTest, FullScreenSetsTheModeAndRestoresItWithTheWindow) {
  Start(16, true);
  EXPECT_EQ(win32::CurrentMode(), (win32::DisplayMode{640, 480, 16}));
  EXPECT_TRUE(host_.fullscreen());
  dxrelease();
  EXPECT_EQ(win32::CurrentMode(), win32::DesktopMode());
}

TEST_F(DxTest, ReleaseHooksRunFrontFirstWithoutDuplicates) {
  g_hook_order.clear();
  dxaddreleasehook(HookA);
  dxaddreleasehook(HookB);
  dxaddreleasehook(HookA);
  dxrelease();
  EXPECT_EQ(g_hook_order, "ba");
  dxrelease();
  EXPECT_EQ(g_hook_order, "baba");  // the hooks stay registered
}

TEST_F(DxTest, CloseEndsTheProgramAtTheNextPumpWithZero) {
  Start();
  PostMessageA(dxgetwindow(), WM_CLOSE, 0, 0);
  try {
    dxpump();
    FAIL() << "the pump came back";
  } catch (const host::ProcessExit& e) {
    EXPECT_EQ(e.code, 0);
    EXPECT_TRUE(e.handlers);
  }
}

TEST_F(DxTest, ErrorShowsApplicationErrorAndStopsWithNonZero) {
  Start();
  try {
    dxerror(nullptr);
    FAIL();
  } catch (const host::ProcessExit& e) {
    EXPECT_NE(e.code, 0);
    EXPECT_FALSE(e.handlers);
  }
  ASSERT_EQ(host_.message_boxes().size(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].text, "Application Error.");
  EXPECT_EQ(host_.message_boxes()[0].caption, U8("テスト"));
  EXPECT_EQ(host_.message_boxes()[0].icon, host::MessageIcon::Stop);
  // Everything was released and hidden before the box.
  EXPECT_EQ(dxgetwindow(), nullptr);
}

TEST_F(DxTest, FormattedTextIsShownUnchangedAndBounded) {
  EXPECT_THROW(dxerror("%s", "100% 完了 %d"), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text, U8("100% 完了 %d"));
  std::string longer(3000, 'x');
  EXPECT_THROW(dxerror("%s", longer.c_str()), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text.size(), 999u);
  EXPECT_THROW(dxassertfail("a == b", "dx\\x.cpp", 42), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text, "Assertion failed: \"a == b\"\n\"dx\\x.cpp\"  Line 42.");
}

TEST_F(DxTest, FatalWithoutTextShowsNothing) {
  EXPECT_THROW(dxfatal(nullptr), host::ProcessExit);
  EXPECT_TRUE(host_.message_boxes().empty());
}

TEST_F(DxTest, ExceptionModeThrowsAndKeepsTheLastText) {
  dx::dxexceptionmode = true;
  try {
    dxerror("bad %d", 7);
  } catch (const dx::dx_runtime_error& e) {
    EXPECT_STREQ(e.what(), "bad 7");
    EXPECT_EQ(dx::dxlasterror(), "bad 7");
  }
  EXPECT_TRUE(dx::dxlasterror().empty());
  EXPECT_THROW(dxexit(5), dx::dx_terminate_exception);
  dx::dxexceptionmode = false;
}

TEST(DxAbortTest, AbortEndsWithNonZeroWithoutTheStop) {
  // A fresh process, so that the set-up installs its handlers.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        host::HeadlessHost h;
        host::set(&h);
        h.set_quiet(true);
        dxsetup("t", 640, 480, 32, false);
        std::abort();
      },
      ::testing::ExitedWithCode(dx::kFatalExitCode), "");
}

TEST(DxFolderTest, WorkingDirectoryRule) {
  EXPECT_EQ(dxexefolder("C:\\game\\dungeon.exe"), "C:\\game");
  EXPECT_EQ(dxexefolder("C:\\game\\Release\\dungeon.exe"), "C:\\game");
  EXPECT_EQ(dxexefolder("C:\\game\\RELEASE\\dungeon.exe"), "C:\\game");
  EXPECT_EQ(dxexefolder("C:\\game\\debug\\dungeon.exe"), "C:\\game");
  EXPECT_EQ(dxexefolder("C:\\dungeon.exe"), "C:\\");
  EXPECT_EQ(dxexefolder("\\Release\\x.exe"), "\\Release");  // too short to cut
  EXPECT_EQ(dxexefolder("C:\\Releases\\x.exe"), "C:\\Releases");
  // A "\" that is the second byte of a double-byte character is no separator.
  EXPECT_EQ(dxexefolder("C:\\\x95\x5C\\x.exe"), "C:\\\x95\x5C");
}

}  // namespace

namespace {

TEST_F(DxTest, WideErrorsFormatTheirArguments) {
  EXPECT_THROW(dxerrorw(u"%s は %d 個 (%S) %5.1f%%", u"りんご", 3, "abc", 2.25), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text, U8("りんご は 3 個 (abc)   2.2%"));
  EXPECT_THROW(dxerrorw(nullptr), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text, "Application Error.");
  EXPECT_THROW(dxfatalw(u"%c%x", u'数', 255), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text, U8("数ff"));
  const size_t boxes = host_.message_boxes().size();
  EXPECT_THROW(dxfatalw(nullptr), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().size(), boxes);
}

}  // namespace

namespace {

TEST_F(DxTest, PaintPresentsAndRestartsTheSchedule) {
  Start();
  dxcls(dxrgb(9, 9, 9));
  const uint64_t before = host_.frames_presented();
  InvalidateRect(dxgetwindow(), nullptr, FALSE);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
  DispatchMessageA(&m);
  EXPECT_EQ(host_.frames_presented(), before + 1);
  EXPECT_EQ(host_.last_frame()->at(0, 0), 0x090909u);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(DxTest, StartsWithoutAWindowOrInsideAHost) {
  ASSERT_TRUE(dxinitnowindow(320, 240, 16));
  EXPECT_EQ(dxgetwindow(), nullptr);
  EXPECT_FALSE(dxownwindow);
  EXPECT_EQ(dxbackdesc.dwWidth, 320u);
  EXPECT_STREQ(dxgettitle(), "dx");
  dxrelease();
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "hostapp";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    registered = true;
  }
  HWND top = CreateWindowExA(0, "hostapp", "ホスト", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                             nullptr, nullptr);
  ASSERT_NE(top, nullptr);
  ASSERT_TRUE(dxinitwindow(top, 0, 0, 32));
  EXPECT_NE(dxgetwindow(), top);
  EXPECT_EQ(GetParent(dxgetwindow()), top);
  EXPECT_STREQ(dxgettitle(), "ホスト");
  EXPECT_EQ(dxbackdesc.dwWidth, 400u);
  EXPECT_EQ(dxbackdesc.dwHeight, 300u);
  dxcls(dxrgb(0, 0, 255));
  dxupdate();
  EXPECT_EQ(host_.last_frame()->at(10, 10), 0x0000FFu);
  dxrelease();
  DestroyWindow(top);
}

TEST_F(DxTest, CharactersAreQueuedForTextEntry) {
  Start();
  dxwcharqueue.clear();
  host_.text(0, U8("aあ"));
  dxupdate();
  ASSERT_EQ(dxwcharqueue.size(), 2u);
  EXPECT_EQ(dxwcharqueue[0], u'a');
  EXPECT_EQ(dxwcharqueue[1], u'あ');
  for (int i = 0; i < 100; ++i) SendMessageA(dxgetwindow(), WM_CHAR, 'x', 0);
  EXPECT_EQ(dxwcharqueue.size(), kCharQueueLimit);
}

TEST_F(DxTest, AutoPlayIsCancelledOnlyInFullScreen) {
  Start();
  EXPECT_EQ(SendMessageA(dxgetwindow(), RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0), 0);
  Start(32, true);
  EXPECT_EQ(SendMessageA(dxgetwindow(), RegisterWindowMessageA("QueryCancelAutoPlay"), 0, 0), 1);
}

TEST(DxMutex, MadeOncePerProcessAndHeldUntilExit) {
  EXPECT_FALSE(dxmutex());
  EXPECT_FALSE(dxmutex());  // the earlier call's mutex
  // The process holds the name: another open of it finds the mutex.
  HANDLE h = CreateMutexA(nullptr, FALSE, "dxmutex");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(h);
}

}  // namespace
