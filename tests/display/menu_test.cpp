// Window menus: the bar the window draws above its client area, the menu loop
// by mouse and keyboard, the commands it sends, and the auto-hidden menu.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/display/fixture.h"

namespace {

constexpr uint32_t kFace = 0xD4D0C8, kBlue = 0x0000FF;
constexpr int kBar = 20;

std::vector<int> g_commands;
std::vector<UINT> g_loop_messages;

void Open() { g_commands.push_back(101); }
void Quit() { g_commands.push_back(102); }
void Full() { g_commands.push_back(201); }

LRESULT LoopRecorder(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  g_loop_messages.push_back(msg);
  return dxwndproc(w, msg, wp, lp);
}

class MenuTest : public DxTest {
 protected:
  void SetUp() override {
    DxTest::SetUp();
    g_commands.clear();
    g_loop_messages.clear();
    bar_ = CreateMenu();
    file_ = CreatePopupMenu();
    view_ = CreatePopupMenu();
    AppendMenuA(file_, MF_STRING, 101, "開く(&O)\tCtrl+O");
    AppendMenuA(file_, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file_, MF_STRING, 102, "終了(&X)");
    AppendMenuA(view_, MF_STRING | MF_CHECKED, 201, "全画面(&F)");
    AppendMenuA(view_, MF_STRING | MF_GRAYED, 202, "灰色(&G)");
    AppendMenuA(bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(file_), "ファイル(&F)");
    AppendMenuA(bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(view_), "表示(&V)");
    dxsetmenucommand(101, Open);
    dxsetmenucommand(102, Quit);
    dxsetmenucommand(201, Full);
    dxsetmessageproc(WM_ENTERMENULOOP, LoopRecorder);
    dxsetmessageproc(WM_EXITMENULOOP, LoopRecorder);
  }
  void TearDown() override {
    dxsetmenu(nullptr, false);
    DxTest::TearDown();
    DestroyMenu(bar_);  // still here when no window took it
    for (int id : {101, 102, 201}) dxsetmenucommand(id, nullptr);
    dxsetmessageproc(WM_ENTERMENULOOP, nullptr);
    dxsetmessageproc(WM_EXITMENULOOP, nullptr);
  }

  // Starts with a blue picture shown.
  void StartBlue() {
    Start();
    dxcls(dxrgb(0, 0, 255));
    dxpresent();
  }

  static POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  RECT BarItem(int i) {
    RECT r{};
    EXPECT_TRUE(win32::MenuBarItemRect(bar_, i, 640, &r));
    return r;
  }
  RECT PopupItem(int bar_index, int i, int height = 480 + kBar) {
    RECT r{};
    EXPECT_TRUE(win32::MenuPopupItemRect(bar_, bar_index, i, 640, height, &r));
    return r;
  }

  // Scripted mouse input in the host window's coordinates, due now.
  void Mouse(host::EventType type, POINT p) {
    host::Event e;
    e.type = type;
    e.x = p.x, e.y = p.y;
    e.button = host::kButtonLeft;
    host_.push(host_.frames_presented(), e);
  }
  void Click(POINT p) {
    Mouse(host::EventType::MouseMove, p);
    Mouse(host::EventType::MouseDown, p);
    Mouse(host::EventType::MouseUp, p);
  }
  void Key(int scancode) {
    host_.key_down(host_.frames_presented(), scancode);
    host_.key_up(host_.frames_presented(), scancode);
  }
  void AltKey(char letter) {
    host_.key_down(host_.frames_presented(), host::key::LAlt);
    Key(host::key::A + (letter - 'A'));
    host_.key_up(host_.frames_presented(), host::key::LAlt);
  }

  static int ClientHeight() {
    RECT c{};
    GetClientRect(dxmainwindow, &c);
    return c.bottom;
  }

  HMENU bar_ = nullptr, file_ = nullptr, view_ = nullptr;
};

TEST_F(MenuTest, MenuObjectsHoldTheirItemsAndGoTogether) {
  EXPECT_EQ(GetMenuItemCount(bar_), 2);
  EXPECT_EQ(GetMenuItemCount(file_), 3);
  EXPECT_FALSE(AppendMenuA(file_, MF_POPUP, reinterpret_cast<UINT_PTR>(file_), "自分"));
  EXPECT_FALSE(AppendMenuA(nullptr, MF_STRING, 1, "x"));
  EXPECT_FALSE(AppendMenuA(file_, MF_POPUP, 12345, "x"));
  HMENU other = CreateMenu();
  HMENU sub = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuA(other, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "sub"));
  EXPECT_TRUE(DestroyMenu(other));
  EXPECT_FALSE(IsMenu(other));
  EXPECT_FALSE(IsMenu(sub));  // a menu's pop-ups go with it
  EXPECT_FALSE(DestroyMenu(other));
  EXPECT_EQ(GetMenuItemCount(other), -1);
}

TEST_F(MenuTest, TheBarIsDrawnAboveTheClientAreaWhichKeepsItsSize) {
  StartBlue();
  EXPECT_EQ(host_.window_height(), 480);
  dxsetmenu(bar_, false);
  EXPECT_EQ(GetMenu(dxmainwindow), bar_);
  EXPECT_EQ(ClientHeight(), 480);
  EXPECT_EQ(host_.window_width(), 640);
  EXPECT_EQ(host_.window_height(), 480 + kBar);
  RECT w{};
  GetWindowRect(dxmainwindow, &w);
  RECT frame{0, 0, 640, 480};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dxmainwindow, GWL_STYLE)), TRUE,
                     static_cast<DWORD>(GetWindowLongA(dxmainwindow, GWL_EXSTYLE)));
  EXPECT_EQ(w.bottom - w.top, frame.bottom - frame.top);

  dxpresent();
  const host::Frame* f = host_.last_frame();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->w, 640);
  ASSERT_EQ(f->h, 480 + kBar);
  // The bar in the face colour with the item texts dark on it; the whole
  // picture below it, not stretched.
  EXPECT_EQ(f->at(630, 10), kFace);
  for (int i = 0; i < 2; ++i) {
    RECT r = BarItem(i);
    int dark = 0;
    for (int y = 0; y < kBar; ++y)
      for (int x = r.left; x < r.right; ++x) dark += f->at(x, y) == 0;
    EXPECT_GT(dark, 20) << "item " << i;
  }
  EXPECT_EQ(f->at(0, kBar), kBlue);
  EXPECT_EQ(f->at(639, 479 + kBar), kBlue);

  // Taken away, the window is its old size again.
  dxsetmenu(nullptr, false);
  EXPECT_EQ(GetMenu(dxmainwindow), nullptr);
  EXPECT_EQ(ClientHeight(), 480);
  EXPECT_EQ(host_.window_height(), 480);
}

TEST_F(MenuTest, AClickOnAPopUpItemRunsItsCommand) {
  StartBlue();
  dxsetmenu(bar_, false);
  dxpresent();
  const RECT item = PopupItem(0, 0);
  Click(Centre(BarItem(0)));
  Click(Centre(item));
  dxpump();
  EXPECT_EQ(g_commands, std::vector<int>{101});
  EXPECT_EQ(g_loop_messages, (std::vector<UINT>{WM_ENTERMENULOOP, WM_EXITMENULOOP}));

  // While it was open, a frame showed the pop-up over the picture with the
  // pointed item marked; the last shows the picture again.
  bool popup_seen = false;
  for (const host::Frame& f : host_.frames())
    if (f.h == 480 + kBar && f.at(item.left - 3, item.top - 3) == 0xFFFFFF && f.at(item.left + 2, Centre(item).y) == 0x0A246A)
      popup_seen = true;
  EXPECT_TRUE(popup_seen);
  EXPECT_EQ(host_.last_frame()->at(Centre(item).x, Centre(item).y), kBlue);
}

TEST_F(MenuTest, SeparatorsGreyItemsAndClicksOutsideChooseNothing) {
  StartBlue();
  dxsetmenu(bar_, false);
  dxpresent();
  Click(Centre(BarItem(0)));
  Click(Centre(PopupItem(0, 1)));  // the separator: the menu stays open
  Click(Centre(BarItem(1)));       // another bar item opens its own pop-up
  Click(Centre(PopupItem(1, 1)));  // grey
  Click({600, 400});               // outside: the menu closes
  dxpump();
  EXPECT_TRUE(g_commands.empty());
  EXPECT_EQ(g_loop_messages, (std::vector<UINT>{WM_ENTERMENULOOP, WM_EXITMENULOOP}));
  EXPECT_EQ(host_.last_frame()->at(Centre(PopupItem(1, 1)).x, Centre(PopupItem(1, 1)).y), kBlue);
}

TEST_F(MenuTest, AltOrF10AndTheArrowKeysWorkTheMenuAndEscapeClosesIt) {
  StartBlue();
  dxsetmenu(bar_, false);
  dxpresent();
  // Alt alone, then down into "ファイル", past the separator to "終了".
  Key(host::key::LAlt);
  Key(host::key::Down);
  Key(host::key::Down);
  Key(host::key::Return);
  dxpump();
  EXPECT_EQ(g_commands, std::vector<int>{102});

  // F10, right to "表示", down opens it on its first item.
  g_commands.clear();
  Key(host::key::F1 + 9);
  Key(host::key::Right);
  Key(host::key::Down);
  Key(host::key::Return);
  dxpump();
  EXPECT_EQ(g_commands, std::vector<int>{201});

  // Escape closes the pop-up, then the menu; nothing is chosen.
  g_commands.clear();
  g_loop_messages.clear();
  Key(host::key::F1 + 9);
  Key(host::key::Down);
  Key(host::key::Escape);
  Key(host::key::Escape);
  dxpump();
  EXPECT_TRUE(g_commands.empty());
  EXPECT_EQ(g_loop_messages, (std::vector<UINT>{WM_ENTERMENULOOP, WM_EXITMENULOOP}));

  // F10 or Alt again closes the menu, and letting it go does not open it anew.
  g_loop_messages.clear();
  Key(host::key::F1 + 9);
  Key(host::key::F1 + 9);
  Key(host::key::LAlt);
  Key(host::key::LAlt);
  dxpump();
  EXPECT_EQ(g_loop_messages,
            (std::vector<UINT>{WM_ENTERMENULOOP, WM_EXITMENULOOP, WM_ENTERMENULOOP, WM_EXITMENULOOP}));

  // Alt with a marked letter opens that item's pop-up; its letters pick.
  AltKey('F');
  Key(host::key::A + ('O' - 'A'));
  dxpump();
  EXPECT_EQ(g_commands, std::vector<int>{101});
}

TEST_F(MenuTest, AnAutoHiddenMenuShowsWhileThePointerIsNearTheTop) {
  StartBlue();
  // A picture with a marked top row, to see that it keeps its place.
  dxcls(dxrgb(0, 0, 255));
  RECT top{0, 0, 640, 1};
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 0;
  ASSERT_EQ(dxbackbuffer->Blt(&top, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  dxsetmenu(bar_, true);
  EXPECT_EQ(GetMenu(dxmainwindow), nullptr);
  EXPECT_EQ(ClientHeight(), 480);
  EXPECT_EQ(host_.window_height(), 480);

  Mouse(host::EventType::MouseMove, {300, 200});
  dxpump();
  EXPECT_EQ(GetMenu(dxmainwindow), nullptr);
  Mouse(host::EventType::MouseMove, {300, 10});
  dxpump();
  ASSERT_EQ(GetMenu(dxmainwindow), bar_);
  // The window keeps its size: the bar covers the top of the picture.
  EXPECT_EQ(host_.window_height(), 480);
  EXPECT_EQ(ClientHeight(), 480 - kBar);
  dxpresent();
  const host::Frame* f = host_.last_frame();
  ASSERT_EQ(f->h, 480);
  EXPECT_EQ(f->at(630, 10), kFace);
  EXPECT_EQ(f->at(0, kBar), kBlue);
  EXPECT_EQ(f->at(0, 479), kBlue);
  // Moving in the bar keeps it; leaving it hides it and the top shows again.
  Mouse(host::EventType::MouseMove, {320, 5});
  dxpump();
  EXPECT_EQ(GetMenu(dxmainwindow), bar_);
  Mouse(host::EventType::MouseMove, {300, 100});
  dxpump();
  EXPECT_EQ(GetMenu(dxmainwindow), nullptr);
  EXPECT_EQ(ClientHeight(), 480);
  EXPECT_EQ(host_.last_frame()->at(630, 10), kBlue);
  EXPECT_EQ(host_.last_frame()->at(630, 0), 0u);

  // Shown again and used: the command runs and the bar is gone after.
  Mouse(host::EventType::MouseMove, {10, 3});
  dxpump();
  ASSERT_EQ(GetMenu(dxmainwindow), bar_);
  Click(Centre(BarItem(0)));
  Click(Centre(PopupItem(0, 2, 480)));
  dxpump();
  EXPECT_EQ(g_commands, std::vector<int>{102});
  EXPECT_EQ(GetMenu(dxmainwindow), nullptr);
  EXPECT_FALSE(dxmenushown);
  EXPECT_EQ(host_.last_frame()->at(630, 10), kBlue);
}

TEST_F(MenuTest, TheKeysOpenAnAutoHiddenMenuAsTheyOpenAShownOne) {
  StartBlue();
  dxsetmenu(bar_, true);
  Key(host::key::LAlt);
  Key(host::key::Down);
  Key(host::key::Down);
  Key(host::key::Return);
  dxpump();
  AltKey('F');
  Key(host::key::A + ('O' - 'A'));
  dxpump();
  EXPECT_EQ(g_commands, (std::vector<int>{102, 101}));
  // Hidden again after each.
  EXPECT_EQ(GetMenu(dxmainwindow), nullptr);
  EXPECT_EQ(ClientHeight(), 480);
}

TEST_F(MenuTest, APopUpTallerThanTheWindowShowsEveryItemAndItsOpeningClickChoosesNothing) {
  StartBlue();
  HMENU tall = CreatePopupMenu();
  // Its first item opens, its last quits, the others have no command.
  for (int i = 0; i < 60; ++i)
    AppendMenuA(tall, MF_STRING, i == 0 ? 101 : i == 59 ? 102 : 500 + i, ("項目" + std::to_string(i)).c_str());
  ASSERT_TRUE(AppendMenuA(bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(tall), "長い(&L)"));
  dxsetmenu(bar_, false);
  dxpresent();
  for (int i = 0; i < 60; ++i) {
    const RECT r = PopupItem(2, i);  // in the picture, below the bar
    EXPECT_TRUE(r.left >= 0 && r.top >= kBar && r.right <= 640 && r.bottom <= 480 + kBar) << i;
  }
  // The release of the click that opens it chooses nothing; the last item is
  // seen and chosen.
  Click(Centre(BarItem(2)));
  Click(Centre(PopupItem(2, 59)));
  dxpump();
  EXPECT_EQ(g_commands, std::vector<int>{102});

  // A cascade with no room on the right comes back over its own item: the
  // release of the press that opened it chooses nothing there either.
  g_commands.clear();
  HMENU wide = CreatePopupMenu(), sub = CreatePopupMenu();
  AppendMenuA(sub, MF_STRING, 201, "下");
  AppendMenuA(wide, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), std::string(70, 'w').c_str());
  AppendMenuA(bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(wide), "幅(&W)");
  const RECT parent = PopupItem(3, 0);
  const POINT under{parent.right - 20, Centre(parent).y};
  Click(Centre(BarItem(3)));
  Mouse(host::EventType::MouseDown, under);
  Mouse(host::EventType::MouseUp, under);
  Key(host::key::Escape);
  Key(host::key::Escape);
  Key(host::key::Escape);
  dxpump();
  EXPECT_TRUE(g_commands.empty());
}

TEST_F(MenuTest, BarItemsThatDoNotFitAreNeitherShownNorReached) {
  StartBlue();
  HMENU first = CreatePopupMenu(), wide = CreatePopupMenu(), narrow = CreatePopupMenu();
  AppendMenuA(first, MF_STRING, 101, "開く");
  AppendMenuA(wide, MF_STRING, 301, "w");
  AppendMenuA(narrow, MF_STRING, 401, "n");
  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(first), "ファイル(&F)");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(wide), (std::string(80, 'W') + "(&W)").c_str());
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(narrow), "&N");
  dxsetmenu(bar, false);
  RECT r{};
  EXPECT_FALSE(win32::MenuBarItemRect(bar, 1, 640, &r));
  EXPECT_FALSE(win32::MenuBarItemRect(bar, 2, 640, &r));  // not shown out of its order
  // Right from the first item comes round to it again; the letter of an item
  // not shown opens nothing.
  Key(host::key::F1 + 9);
  Key(host::key::Right);
  Key(host::key::Down);
  Key(host::key::Return);
  AltKey('N');
  Key(host::key::Return);
  dxpump();
  EXPECT_EQ(g_commands, std::vector<int>{101});
  dxsetmenu(nullptr, false);
  DestroyMenu(bar);
}

TEST_F(MenuTest, DestroyingTheShownMenuTakesItFromTheWindowWhichGetsItsSizeBack) {
  StartBlue();
  dxsetmenu(bar_, false);
  ASSERT_EQ(host_.window_height(), 480 + kBar);
  ASSERT_TRUE(DestroyMenu(bar_));
  EXPECT_EQ(GetMenu(dxmainwindow), nullptr);
  dxpump();
  EXPECT_EQ(ClientHeight(), 480);
  EXPECT_EQ(host_.window_height(), 480);
  dxcls(dxrgb(0, 0, 255));
  dxpresent();
  EXPECT_EQ(host_.last_frame()->h, 480);
  dxsetmenu(nullptr, false);
  EXPECT_EQ(ClientHeight(), 480);
}

TEST_F(MenuTest, AMenuSetBeforeTheWindowAndTheWindowSwitchCountTheBar) {
  dxsetmenu(bar_, false);
  StartBlue();
  EXPECT_EQ(GetMenu(dxmainwindow), bar_);
  EXPECT_EQ(ClientHeight(), 480);
  EXPECT_EQ(host_.window_height(), 480 + kBar);
  dxddreinit(true);
  // Full screen: the bar covers the top of the screen, the picture keeps its
  // place and size under it.
  dxcls(dxrgb(0, 0, 255));
  dxpresent();
  const host::Frame* full = host_.last_frame();
  ASSERT_EQ(full->w, 640);
  ASSERT_EQ(full->h, 480);
  EXPECT_EQ(full->at(630, 10), kFace);
  int other = 0;
  for (int y = kBar; y < 480; ++y)
    for (int x = 0; x < 640; ++x) other += full->at(x, y) != kBlue;
  EXPECT_EQ(other, 0);
  dxddreinit(false);
  EXPECT_EQ(ClientHeight(), 480);
  RECT w{};
  GetWindowRect(dxmainwindow, &w);
  RECT frame{0, 0, 640, 480};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dxmainwindow, GWL_STYLE)), TRUE,
                     static_cast<DWORD>(GetWindowLongA(dxmainwindow, GWL_EXSTYLE)));
  EXPECT_EQ(w.bottom - w.top, frame.bottom - frame.top);
  dxpresent();
  EXPECT_EQ(host_.last_frame()->h, 480 + kBar);
  EXPECT_EQ(host_.last_frame()->at(0, kBar), kBlue);

  // On a desktop no taller than the picture the window cannot grow: the bar
  // covers the picture's top and the picture keeps its size.
  host_.set_desktop_size(640, 480);
  win32::SetDesktopDepth(32);
  dxddreinit(true);
  dxddreinit(false);
  EXPECT_EQ(ClientHeight(), 480 - kBar);
  dxpresent();
  EXPECT_EQ(host_.last_frame()->h, 480);
  EXPECT_EQ(host_.last_frame()->at(630, 10), kFace);
  EXPECT_EQ(host_.last_frame()->at(0, 479), kBlue);
}

TEST_F(MenuTest, TheMouseReadsThePictureWhereABarCoversItsTop) {
  dxsetmenu(bar_, false);
  StartBlue();
  dxddreinit(true);
  int x = -1, y = -1;
  Mouse(host::EventType::MouseMove, {100, 50});
  dxupdate();
  dxgetmouse(&x, &y, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  dxddreinit(false);

  // A shown auto-hidden bar covers the picture's top in a window alike.
  dxsetmenu(bar_, true);
  Mouse(host::EventType::MouseMove, {300, 10});
  dxupdate();
  ASSERT_EQ(ClientHeight(), 480 - kBar);
  dxgetmouse(&x, &y, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(x, 300);
  EXPECT_EQ(y, 10);
}

}  // namespace
