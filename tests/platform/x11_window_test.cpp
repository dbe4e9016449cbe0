// The SDL2 host on a real X server (CTest runs this under xvfb-run): what the
// screen shows, read back from the server, with and without a window manager.
// A virtual X server has no Japanese core fonts, so a message box that reads
// right here is drawn by the game's own font.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <vector>

#include "dx/dx.h"
#include "platform/ddraw/ddraw.h"
#include "platform/host/sdl_host.h"
#include "platform/win32/menu.h"
#include "platform/win32/msgbox_view.h"
#include "platform/win32/window.h"

// After our headers: Xlib defines None and other short names as macros.
#include <SDL.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr uint32_t kRed = 0xFF0000;

// How long a test waits for the server to show what it wants. A loaded machine
// may take seconds; a test that passes stops waiting as soon as it sees it.
constexpr Uint64 kPatienceMs = 20000;

struct Screen {
  int w = 0, h = 0;
  std::vector<uint32_t> px;  // 0x00RRGGBB
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};

// The whole screen as the X server holds it.
Screen Grab() {
  Screen s;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return s;
  Window root = DefaultRootWindow(d);
  XWindowAttributes a;
  XGetWindowAttributes(d, root, &a);
  XImage* img = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (img) {
    s.w = a.width;
    s.h = a.height;
    s.px.resize(static_cast<size_t>(s.w) * s.h);
    for (int y = 0; y < s.h; ++y)
      for (int x = 0; x < s.w; ++x) s.px[static_cast<size_t>(y) * s.w + x] = XGetPixel(img, x, y) & 0xFFFFFF;
    XDestroyImage(img);
  }
  XCloseDisplay(d);
  return s;
}

// The bounding box of the red frame, and whether the frame is whole: red all
// the way round its edge.
struct Frame {
  int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
  bool whole = false;
};

Frame FindFrame(const Screen& s) {
  Frame f{s.w, s.h, -1, -1, false};
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x)
      if (s.at(x, y) == kRed) {
        f.x0 = std::min(f.x0, x), f.y0 = std::min(f.y0, y);
        f.x1 = std::max(f.x1, x), f.y1 = std::max(f.y1, y);
      }
  if (f.x1 < 0) return f;
  f.whole = true;
  for (int x = f.x0; x <= f.x1; ++x) f.whole &= s.at(x, f.y0) == kRed && s.at(x, f.y1) == kRed;
  for (int y = f.y0; y <= f.y1; ++y) f.whole &= s.at(f.x0, y) == kRed && s.at(f.x1, y) == kRed;
  return f;
}

// Whether a window manager is at work: a window mapped now gets reparented
// into its frame within a few seconds. (Announcing itself comes earlier in its
// start, before it handles the windows that map.)
bool WindowManagerManages() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 16, 16, 0, 0, 0);
  XSelectInput(d, probe, StructureNotifyMask);
  XMapWindow(d, probe);
  XFlush(d);
  bool framed = false;
  for (Uint64 end = SDL_GetTicks64() + kPatienceMs; !framed && SDL_GetTicks64() < end;) {
    XEvent e;
    while (!framed && XCheckTypedWindowEvent(d, probe, ReparentNotify, &e))
      framed = e.xreparent.parent != DefaultRootWindow(d);
    if (!framed) SDL_Delay(10);
  }
  XDestroyWindow(d, probe);
  XCloseDisplay(d);
  return framed;
}

// The window manager's full-screen key, as a user or `wmctrl -b toggle,fullscreen`
// uses it on this process's window.
class FullScreenKey {
 public:
  FullScreenKey() : d_(XOpenDisplay(nullptr)) {
    if (!d_) return;
    state_ = XInternAtom(d_, "_NET_WM_STATE", False);
    full_ = XInternAtom(d_, "_NET_WM_STATE_FULLSCREEN", False);
    Find(DefaultRootWindow(d_), XInternAtom(d_, "_NET_WM_PID", False));
  }
  ~FullScreenKey() {
    if (d_) XCloseDisplay(d_);
  }
  bool ok() const { return window_ != 0; }

  // The window's full-screen state as the window manager keeps it.
  bool Full() {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    bool full = false;
    if (XGetWindowProperty(d_, window_, state_, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) ==
            Success &&
        data)
      for (unsigned long i = 0; i < count; ++i) full |= reinterpret_cast<Atom*>(data)[i] == full_;
    if (data) XFree(data);
    return full;
  }

  // Asks for the state and waits (the host not pumping meanwhile) until the
  // window manager has carried it out.
  bool Press(bool full) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window_;
    e.xclient.message_type = state_;
    e.xclient.format = 32;
    e.xclient.data.l[0] = full ? 1 : 0;
    e.xclient.data.l[1] = static_cast<long>(full_);
    e.xclient.data.l[3] = 2;  // from the user
    XSendEvent(d_, DefaultRootWindow(d_), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(d_);
    for (Uint64 end = SDL_GetTicks64() + kPatienceMs; SDL_GetTicks64() < end; SDL_Delay(20))
      if (Full() == full) return true;
    return false;
  }

 private:
  void Find(Window w, Atom pid) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d_, w, pid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data && count == 1 && *reinterpret_cast<long*>(data) == getpid())
      window_ = w;
    if (data) XFree(data);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (window_ || !XQueryTree(d_, w, &root, &parent, &children, &n)) return;
    for (unsigned i = 0; i < n && !window_; ++i) Find(children[i], pid);
    if (children) XFree(children);
  }

  Display* d_;
  Atom state_ = 0, full_ = 0;
  Window window_ = 0;
};

// What a window manager that ended without clearing up (it crashed or was
// killed) leaves on the root window: its check naming a window that is gone,
// or a window that another client now has under the same number.
class StaleWindowManagerCheck {
 public:
  explicit StaleWindowManagerCheck(bool gone) : d_(XOpenDisplay(nullptr)) {
    if (!d_) return;
    check_ = XInternAtom(d_, "_NET_SUPPORTING_WM_CHECK", False);
    Window named = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, 0, 0);
    if (gone) XDestroyWindow(d_, named);
    XChangeProperty(d_, DefaultRootWindow(d_), check_, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&named), 1);
    XSync(d_, False);
  }
  ~StaleWindowManagerCheck() {
    if (!d_) return;
    XDeleteProperty(d_, DefaultRootWindow(d_), check_);
    XCloseDisplay(d_);
  }
  bool ok() const { return d_ != nullptr; }

 private:
  Display* d_;
  Atom check_ = 0;
};

class X11WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "no X server (CTest runs this under xvfb-run)";
    unsetenv("SDL_VIDEODRIVER");
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    host_ = host::MakeSdlHost();
    // A picture with a red edge two pixels wide.
    frame_.assign(640 * 480, 0x3060A0);
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        if (x < 2 || y < 2 || x >= 638 || y >= 478) frame_[static_cast<size_t>(y) * 640 + x] = kRed;
  }
  void TearDown() override {
    host_.reset();
    if (wm_ > 0) {
      kill(wm_, SIGTERM);
      waitpid(wm_, nullptr, 0);
    }
  }

  // Presents and pumps (or has `show` do both) until the screen shows what
  // `ok` wants (X is asynchronous); false when it never does.
  bool ShowUntil(const std::function<bool(const Frame&)>& ok, Frame* seen,
                 const std::function<void()>& show = nullptr) {
    Uint64 end = SDL_GetTicks64() + kPatienceMs;
    do {
      if (show) {
        show();
      } else {
        host::Event e;
        while (host_->poll_event(e)) {
        }
        host_->present(frame_.data(), 640, 480, 640 * 4);
      }
      *seen = FindFrame(Grab());
      if (ok(*seen)) return true;
      SDL_Delay(20);
    } while (SDL_GetTicks64() < end);
    return false;
  }

  void StartWindowManager() {
    wm_ = fork();
    if (wm_ == 0) {
      execlp("openbox", "openbox", static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  // Full screen fills the screen with the whole picture; back in the window
  // the picture is whole at 640 x 480 again.
  void CheckFullScreenAndBack() {
    ASSERT_TRUE(host_->open_window("window test", 640, 480, false));
    Frame f;
    auto windowed = [](const Frame& f) { return f.whole && f.x1 - f.x0 == 639 && f.y1 - f.y0 == 479; };
    EXPECT_TRUE(ShowUntil(windowed, &f)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
    host_->set_fullscreen(true);
    Screen s = Grab();
    auto full = [&](const Frame& f) { return f.whole && f.x1 - f.x0 + 1 == s.w && f.y1 - f.y0 + 1 == s.h; };
    EXPECT_TRUE(ShowUntil(full, &f)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
    host_->set_fullscreen(false);
    EXPECT_TRUE(ShowUntil(windowed, &f)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
  }

  // The same through the display layer, switched while it runs: the window
  // first shown at the middle of the screen must not cut the full-screen picture.
  void CheckDisplaySwitch() {
    host::set(host_.get());
    ASSERT_TRUE(dxinit("switch test", 640, 480, 32, false));
    auto show = [this] {
      platform::PixelBuffer pb = dxbackbuffer->pixels();
      for (int y = 0; y < 480; ++y)
        std::memcpy(pb.bits + static_cast<ptrdiff_t>(y) * pb.pitch, frame_.data() + static_cast<size_t>(y) * 640,
                    640 * 4);
      dxpresent();
      dxpump();
    };
    Frame f;
    auto windowed = [](const Frame& f) { return f.whole && f.x1 - f.x0 == 639 && f.y1 - f.y0 == 479; };
    EXPECT_TRUE(ShowUntil(windowed, &f, show)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
    dxddreinit(true);
    Screen s = Grab();
    auto full = [&](const Frame& f) { return f.whole && f.x0 == 0 && f.y0 == 0 && f.x1 + 1 == s.w && f.y1 + 1 == s.h; };
    EXPECT_TRUE(ShowUntil(full, &f, show)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
    dxddreinit(false);
    EXPECT_TRUE(ShowUntil(windowed, &f, show)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
    dxrelease();
    host::set(nullptr);
  }

  std::unique_ptr<host::Host> host_;
  std::vector<uint32_t> frame_;
  pid_t wm_ = 0;
};


TEST_F(X11WindowTest, FullScreenAndBackKeepThePictureWholeOnABareServer) { CheckFullScreenAndBack(); }

// Nobody carries out a request to go full screen there: the host must go full
// screen by itself, as on a bare server.
TEST_F(X11WindowTest, FullScreenAndBackKeepThePictureWholeUnderTheCheckOfAGoneWindowManager) {
  for (bool gone : {true, false}) {
    SCOPED_TRACE(gone ? "the check names a window that is gone" : "the check names a window without it");
    host_.reset();
    host_ = host::MakeSdlHost();
    StaleWindowManagerCheck stale(gone);
    ASSERT_TRUE(stale.ok());
    CheckFullScreenAndBack();
  }
}

TEST_F(X11WindowTest, FullScreenAndBackKeepThePictureWholeUnderAWindowManager) {
  StartWindowManager();
  if (!WindowManagerManages()) GTEST_SKIP() << "openbox did not start";
  CheckFullScreenAndBack();
}

TEST_F(X11WindowTest, TheDisplaySwitchedWhileRunningFillsTheScreenOnABareServer) { CheckDisplaySwitch(); }

TEST_F(X11WindowTest, TheDisplaySwitchedWhileRunningFillsTheScreenUnderAWindowManager) {
  StartWindowManager();
  if (!WindowManagerManages()) GTEST_SKIP() << "openbox did not start";
  CheckDisplaySwitch();
}

// Full screen is the game's setting: the window manager's full-screen key
// changes neither the window nor the full screen that the game chose.
TEST_F(X11WindowTest, TheWindowManagersFullScreenKeyLeavesTheScreenAsTheGameSetIt) {
  StartWindowManager();
  if (!WindowManagerManages()) GTEST_SKIP() << "openbox did not start";
  ASSERT_TRUE(host_->open_window("window test", 640, 480, false));
  FullScreenKey key;
  ASSERT_TRUE(key.ok());
  Screen s = Grab();
  Frame f;
  auto windowed = [&](const Frame& f) { return f.whole && f.x1 - f.x0 == 639 && f.y1 - f.y0 == 479 && !key.Full(); };
  auto full = [&](const Frame& f) {
    return f.whole && f.x0 == 0 && f.y0 == 0 && f.x1 + 1 == s.w && f.y1 + 1 == s.h && key.Full();
  };
  ASSERT_TRUE(ShowUntil(windowed, &f));
  ASSERT_TRUE(key.Press(true));
  EXPECT_TRUE(ShowUntil(windowed, &f)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
  host_->set_fullscreen(true);
  ASSERT_TRUE(ShowUntil(full, &f)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
  ASSERT_TRUE(key.Press(false));
  EXPECT_TRUE(ShowUntil(full, &f)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
}

// A software cursor on the SDL host: its thread runs on the real clock while
// the frames go on, and the picture follows the pointer.
TEST_F(X11WindowTest, ASoftwareCursorFollowsThePointer) {
  host::set(host_.get());
  ASSERT_TRUE(dxinit("cursor test", 640, 480, 32, false));
  dx::bitmap* b = dxnewbitmap(16, 16);
  DDSURFACEDESC* d = dxlockbitmap(b, nullptr, 0);
  ASSERT_NE(d, nullptr);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) static_cast<uint32_t*>(d->lpSurface)[y * d->lPitch / 4 + x] = kRed;
  dxunlockbitmap(b, d);
  dxsetswcursor(b, 0, 0, 1, 100);
  auto show = [] {
    dxcls(0);
    dxpresent();
    dxpump();
  };
  // The window sits in the middle of the screen; both points are inside it.
  for (SDL_Point at : {SDL_Point{512, 384}, SDL_Point{600, 420}}) {
    SDL_WarpMouseGlobal(at.x, at.y);
    auto there = [&](const Frame& f) {
      return f.whole && f.x0 == at.x && f.y0 == at.y && f.x1 == at.x + 15 && f.y1 == at.y + 15;
    };
    Frame f;
    EXPECT_TRUE(ShowUntil(there, &f, show)) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;
  }
  dxsetswcursor(nullptr, 0, 0, 1, 200);
  dxdeletebitmap(b);
  dxrelease();
  host::set(nullptr);
}

// What the screen should show at a place while the box is up.
struct BoxWatch {
  std::vector<uint32_t> box;
  int w = 0, h = 0, x = 0, y = 0;
  Screen shot;
  int differ = -1;  // pixels of the box that the screen showed otherwise
};

int Differ(const BoxWatch& b) {
  if (b.shot.w < b.x + b.w || b.shot.h < b.y + b.h) return b.w * b.h;
  int n = 0;
  for (int y = 0; y < b.h; ++y)
    for (int x = 0; x < b.w; ++x) n += b.shot.at(b.x + x, b.y + y) != b.box[static_cast<size_t>(y) * b.w + x];
  return n;
}

// Reads the screen until the box shows there (the server may take a while on a
// busy machine), then answers it with Enter.
Uint32 GrabAndAnswer(Uint32, void* data) {
  auto* b = static_cast<BoxWatch*>(data);
  for (Uint64 end = SDL_GetTicks64() + kPatienceMs; SDL_GetTicks64() < end; SDL_Delay(25)) {
    b->shot = Grab();
    b->differ = Differ(*b);
    if (b->differ == 0) break;
  }
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = SDL_SCANCODE_RETURN;
  SDL_PushEvent(&e);
  return 0;
}

void SavePpm(const Screen& shot, const char* name) {
  std::ofstream ppm(name, std::ios::binary);
  ppm << "P6\n" << shot.w << " " << shot.h << "\n255\n";
  for (uint32_t p : shot.px) ppm.put(static_cast<char>(p >> 16)).put(static_cast<char>(p >> 8)).put(static_cast<char>(p));
}

TEST_F(X11WindowTest, AMessageBoxOnScreenIsExactlyTheGameFontsPicture) {
  ASSERT_TRUE(host_->open_window("box test", 640, 480, false));
  Frame f;
  ASSERT_TRUE(ShowUntil([](const Frame& f) { return f.whole && f.x1 - f.x0 == 639 && f.y1 - f.y0 == 479; }, &f));
  win32::MessageBoxView view(reinterpret_cast<const char*>(u8"色数変更"),
                             reinterpret_cast<const char*>(u8"ディスプレイの色数を一時的に16bit(HiColor)にしますか？\n"
                                                           u8"色数を落とした方が描画速度が上がります"),
                             host::MessageButtons::YesNo, host::MessageIcon::Question, 0);
  // The box sits in the middle of the window's picture, pixel for pixel.
  BoxWatch watch;
  watch.w = view.width();
  watch.h = view.height();
  watch.box.assign(view.pixels(), view.pixels() + static_cast<size_t>(watch.w) * watch.h);
  watch.x = f.x0 + (640 - watch.w) / 2;
  watch.y = f.y0 + (480 - watch.h) / 2;
  SDL_AddTimer(1, GrabAndAnswer, &watch);
  EXPECT_EQ(host_->message_box("c", "t", host::MessageButtons::YesNo, host::MessageIcon::Question, 0, &view),
            host::MessageResult::Yes);
  EXPECT_EQ(watch.differ, 0);
  // Kept beside the test for a person to look at (as a PPM picture).
  SavePpm(watch.shot, "x11_message_box.ppm");
}

LRESULT PlainWindow(HWND w, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, msg, wp, lp); }


TEST_F(X11WindowTest, AWindowMenuBarShowsItsJapaneseItemsAboveThePicture) {
  host::set(host_.get());
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PlainWindow;
    wc.lpszClassName = "menu test";
    ASSERT_NE(RegisterClassExA(&wc), 0);
    registered = true;
  }
  HMENU bar = CreateMenu(), file = CreatePopupMenu(), view = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, 1, "開く(&O)");
  AppendMenuA(view, MF_STRING, 2, "全画面(&F)");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "ファイル(&F)");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "表示(&V)");
  const DWORD style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
  RECT r{100, 100, 740, 580};
  AdjustWindowRectEx(&r, style, TRUE, 0);
  HWND w = CreateWindowExA(0, "menu test", "menu", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           nullptr, bar, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  RECT c{};
  GetClientRect(w, &c);
  EXPECT_EQ(c.right, 640);
  EXPECT_EQ(c.bottom, 480);

  // The window's area: the bar's rows, then the red-edged picture as its client area.
  const int bar_h = win32::kMenuBarHeight;
  std::vector<uint32_t> area(static_cast<size_t>(640) * (480 + bar_h), 0);
  std::copy(frame_.begin(), frame_.end(), area.begin() + 640 * bar_h);
  std::vector<uint32_t> expected(static_cast<size_t>(640) * bar_h, 0);
  win32::PaintMenu(bar, expected.data(), 640, bar_h);

  Frame f;
  Screen shot;
  Uint64 end = SDL_GetTicks64() + kPatienceMs;
  bool whole = false;
  do {
    host::Event e;
    while (host_->poll_event(e)) {
    }
    win32::ShowArea(w, area.data(), 640, 480 + bar_h);
    shot = Grab();
    f = FindFrame(shot);
    whole = f.whole && f.x1 - f.x0 == 639 && f.y1 - f.y0 == 479 && f.y0 >= bar_h;
    if (whole) {
      int differ = 0;
      for (int y = 0; y < bar_h; ++y)
        for (int x = 0; x < 640; ++x) differ += shot.at(f.x0 + x, f.y0 - bar_h + y) != expected[y * 640 + x];
      if (differ == 0) break;
    }
    SDL_Delay(20);
  } while (SDL_GetTicks64() < end);
  ASSERT_TRUE(whole) << f.x0 << "," << f.y0 << " " << f.x1 << "," << f.y1;

  // The bar above the picture is the window's own, pixel for pixel, and each
  // item's Japanese text is there in dark strokes on the face colour.
  int differ = 0;
  for (int y = 0; y < bar_h; ++y)
    for (int x = 0; x < 640; ++x) differ += shot.at(f.x0 + x, f.y0 - bar_h + y) != expected[y * 640 + x];
  EXPECT_EQ(differ, 0);
  for (int i = 0; i < 2; ++i) {
    RECT item{};
    ASSERT_TRUE(win32::MenuBarItemRect(bar, i, 640, &item));
    EXPECT_GT(item.right - item.left, 40);  // four and two full-width characters and the mark
    int dark = 0;
    for (int y = 0; y < bar_h; ++y)
      for (int x = item.left; x < item.right; ++x) dark += shot.at(f.x0 + x, f.y0 - bar_h + y) == 0;
    EXPECT_GT(dark, 40) << "item " << i;
  }
  EXPECT_EQ(shot.at(f.x0 + 630, f.y0 - bar_h + 10), 0xD4D0C8u);
  SavePpm(shot, "x11_menu_bar.ppm");
  DestroyWindow(w);
  host::set(nullptr);
}

}  // namespace
