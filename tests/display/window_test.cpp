// Windows, the message queue and display settings of the Win32 stand-in.
#include <gtest/gtest.h>

#include <vector>

#include "platform/host/headless_host.h"
#include "platform/win32/display.h"
#include "platform/win32/window.h"

namespace {

std::vector<UINT> g_seen;
LRESULT Recorder(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  g_seen.push_back(msg);
  return DefWindowProcA(w, msg, wp, lp);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&host_);
    host_.set_quiet(true);
    win32::SetDesktopDepth(32);
    g_seen.clear();
    static bool registered = false;
    if (!registered) {
      WNDCLASSEXA wc{};
      wc.cbSize = sizeof(wc);
      wc.lpfnWndProc = Recorder;
      wc.lpszClassName = "rec";
      ASSERT_NE(RegisterClassExA(&wc), 0);
      registered = true;
    }
  }
  void TearDown() override {
    if (IsWindow(w_)) DestroyWindow(w_);
    host::set(nullptr);
  }
  HWND Open(DWORD style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU) {
    RECT r{100, 50, 740, 530};
    AdjustWindowRectEx(&r, style, FALSE, WS_EX_CLIENTEDGE);
    w_ = CreateWindowExA(WS_EX_CLIENTEDGE, "rec", "w", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         nullptr, nullptr, nullptr, nullptr);
    return w_;
  }
  int Pump() {
    int n = 0;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&m);
      ++n;
    }
    return n;
  }

  host::HeadlessHost host_;
  HWND w_ = nullptr;
};

TEST_F(WindowTest, TheFirstVisibleWindowIsTheHostsAtItsClientSize) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_TRUE(host_.window_open());
  EXPECT_EQ(win32::HostWindow(), w_);
  RECT c;
  ASSERT_TRUE(GetClientRect(w_, &c));
  EXPECT_EQ(c.right, 640);
  EXPECT_EQ(c.bottom, 480);
  POINT p{0, 0};
  ClientToScreen(w_, &p);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 50);
  EXPECT_EQ(g_seen[0], WM_NCCREATE);
  DestroyWindow(w_);
  EXPECT_FALSE(host_.window_open());
  EXPECT_EQ(g_seen.back(), WM_NCDESTROY);
}

TEST_F(WindowTest, HostEventsBecomeMessages) {
  Open();
  Pump();
  g_seen.clear();
  host_.key_down(0, host::key::Return);
  host_.text(0, "a");
  host::Event e;
  e.type = host::EventType::MouseWheel;
  e.wheel = -1;
  host_.push(0, e);
  host_.close(0);
  MSG m;
  std::vector<MSG> got;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) got.push_back(m);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].message, WM_KEYDOWN);
  EXPECT_EQ(got[0].wParam, static_cast<WPARAM>(VK_RETURN));
  EXPECT_EQ(got[1].message, WM_CHAR);
  EXPECT_EQ(got[1].wParam, static_cast<WPARAM>('a'));
  EXPECT_EQ(got[2].message, WM_MOUSEWHEEL);
  EXPECT_EQ(static_cast<int16_t>(HIWORD(got[2].wParam)), -120);
  EXPECT_EQ(got[3].message, WM_CLOSE);
  // The default procedure's close destroys the window.
  DispatchMessageA(&got[3]);
  EXPECT_FALSE(IsWindow(w_));
}

TEST_F(WindowTest, TranslatedEnterAndEscapeTypeTheirControlCharacters) {
  Open();
  Pump();
  host_.key_press(0, host::key::Return);
  host_.key_press(0, host::key::Escape);
  host_.key_press(0, host::key::Up);
  std::vector<WPARAM> chars;
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    if (m.message == WM_CHAR) chars.push_back(m.wParam);
  }
  // An arrow types nothing; a key's release types nothing.
  EXPECT_EQ(chars, (std::vector<WPARAM>{'\r', 0x1B}));
}

TEST_F(WindowTest, PaintComesWhenTheQueueIsEmptyAndStaysUntilValidated) {
  Open();
  PostMessageA(w_, WM_USER, 0, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_ACTIVATE);
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE) && m.message != WM_PAINT) {
  }
  EXPECT_EQ(m.message, WM_PAINT);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_PAINT);
  ValidateRect(w_, nullptr);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, QuitAndRegisteredMessages) {
  UINT a = RegisterWindowMessageA("QueryCancelAutoPlay");
  EXPECT_GE(a, 0xC000u);
  EXPECT_EQ(RegisterWindowMessageA("QueryCancelAutoPlay"), a);
  EXPECT_NE(RegisterWindowMessageA("other"), a);
  PostQuitMessage(3);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
}

TEST_F(WindowTest, MinimiseAndRestore) {
  Open();
  host::Event e;
  e.type = host::EventType::Minimized;
  host_.push(0, e);
  Pump();
  EXPECT_TRUE(IsIconic(w_));
  e.type = host::EventType::Restored;
  host_.push(2, e);
  WaitMessage();  // moves the script on to the restore
  Pump();
  EXPECT_FALSE(IsIconic(w_));
}

TEST_F(WindowTest, DisplaySettingsLastOnlyAsLongAsTheWindow) {
  Open();
  DEVMODEA m{};
  m.dmSize = sizeof(m);
  int count = 0;
  while (EnumDisplaySettingsA(nullptr, static_cast<DWORD>(count), &m)) ++count;
  EXPECT_EQ(count, 8);
  m.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
  m.dmBitsPerPel = 16, m.dmPelsWidth = 640, m.dmPelsHeight = 480;
  EXPECT_EQ(ChangeDisplaySettingsA(&m, CDS_UPDATEREGISTRY), DISP_CHANGE_BADFLAGS);
  EXPECT_EQ(ChangeDisplaySettingsA(&m, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
  ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &m));
  EXPECT_EQ(m.dmBitsPerPel, 16u);
  m.dmPelsWidth = 800;
  EXPECT_EQ(ChangeDisplaySettingsA(&m, 0), DISP_CHANGE_BADMODE);
  DestroyWindow(w_);
  EXPECT_EQ(win32::CurrentMode(), win32::DesktopMode());
  EXPECT_EQ(win32::CurrentMode().bpp, 32);
}

TEST_F(WindowTest, HiddenWindowsAndKeys) {
  Open();
  host_.key_down(0, host::key::LShift);
  Pump();
  EXPECT_TRUE(GetAsyncKeyState(VK_SHIFT) & 0x8000);
  EXPECT_TRUE(GetAsyncKeyState(VK_LSHIFT) & 0x8000);
  host::Event e;
  e.type = host::EventType::FocusLost;
  host_.push(0, e);
  Pump();
  EXPECT_FALSE(GetAsyncKeyState(VK_SHIFT) & 0x8000);
  ShowWindow(w_, SW_HIDE);
  EXPECT_FALSE(host_.shown());
  EXPECT_FALSE(IsWindowVisible(w_));
}

}  // namespace
