#include "platform/win32/window.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "platform/host/host.h"
#include "platform/win32/display.h"
#include "platform/win32/file.h"
#include "platform/pixels.h"
#include "platform/win32/icon.h"
#include "platform/win32/menu.h"
#include "platform/win32/process.h"
#include "platform/win32/text.h"
#include "platform/winmm/time.h"

namespace {

struct WindowClass {
  UINT style = 0;
  WNDPROC proc = nullptr;
  bool unicode = false;
  HICON icon = nullptr, icon_small = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
};

struct Window {
  std::string class_name;
  WindowClass cls;
  std::string title;  // CP932
  DWORD style = 0, ex_style = 0;
  RECT rect{0, 0, 0, 0};  // on the screen (a child's: in its parent's client area)
  HWND parent = nullptr;
  HMENU menu = nullptr;
  bool visible = false, enabled = true, iconic = false;
  bool needs_paint = false;
  bool paint_offered = false;  // a paint was handed out and nobody validated it since
  bool destroying = false;
};

// Frame metrics of the emulated desktop.
constexpr int kCaption = 22, kDlgFrame = 3, kEdge = 2, kBorder = 1, kMenu = win32::kMenuBarHeight;

std::map<std::string, WindowClass> g_classes;
std::vector<std::unique_ptr<Window>> g_windows;
HWND g_host_window = nullptr;
std::deque<MSG> g_queue;
bool g_quit_posted = false;
int g_quit_code = 0;
std::vector<std::string> g_registered;
uint8_t g_keys[256];  // 0x80 while held, by virtual key
DWORD g_sys_colors[256];
bool g_sys_colors_made = false;
HCURSOR g_cursor = nullptr;
int g_cursor_count = 0;
HWND g_focus = nullptr;
// The host window's size as last given to the host.
int g_host_w = 0, g_host_h = 0;
// The last picture of the host window's area, without its menu bar drawn.
std::vector<uint32_t> g_area;
int g_area_w = 0, g_area_h = 0;
// The window's area when it was shown (in full screen the picture is the screen's).
int g_area_was_w = 0, g_area_was_h = 0;
// Alt went down and nothing else since: letting it go opens the menu.
bool g_alt_alone = false, g_alt_menu = false;

HCURSOR ArrowCursor() {
  static char arrow;
  return reinterpret_cast<HCURSOR>(&arrow);
}

Window* Find(HWND w) {
  for (auto& p : g_windows)
    if (reinterpret_cast<HWND>(p.get()) == w) return p.get();
  return nullptr;
}

std::string Key(std::string_view name) { return std::string(name); }

void FrameSize(DWORD style, DWORD ex_style, bool menu, RECT& f) {
  f = {0, 0, 0, 0};
  if (style & WS_CHILD) return;
  if ((style & WS_CAPTION) == WS_CAPTION) f.top += kCaption;
  int frame = (style & (WS_DLGFRAME | WS_THICKFRAME)) ? kDlgFrame : (style & WS_BORDER) ? kBorder : 0;
  f.left += frame, f.right += frame, f.top += frame, f.bottom += frame;
  if (ex_style & WS_EX_CLIENTEDGE) f.left += kEdge, f.right += kEdge, f.top += kEdge, f.bottom += kEdge;
  if (menu) f.top += kMenu;
}

// A menu bar shows on a window of its own that holds a live menu.
bool HasBar(const Window& w) { return !(w.style & WS_CHILD) && IsMenu(w.menu); }

RECT ClientOnScreen(const Window& w) {
  RECT f;
  FrameSize(w.style, w.ex_style, HasBar(w), f);
  RECT r{w.rect.left + f.left, w.rect.top + f.top, w.rect.right - f.right, w.rect.bottom - f.bottom};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  if (w.parent) {
    if (Window* p = Find(w.parent)) {
      RECT pc = ClientOnScreen(*p);
      r.left += pc.left, r.right += pc.left, r.top += pc.top, r.bottom += pc.top;
    }
  }
  return r;
}

// What the host shows of a window: its client area and the bar above it.
RECT AreaOnScreen(const Window& w) {
  RECT r = ClientOnScreen(w);
  if (HasBar(w)) r.top -= kMenu;
  return r;
}

// The host window follows the size of the area: a bar attached to a window that
// grew for it makes the host window taller.
void SyncHostSize() {
  Window* win = Find(g_host_window);
  if (!win || !host::get().window_open()) return;
  RECT a = AreaOnScreen(*win);
  const int w = std::max<LONG>(1, a.right - a.left), h = std::max<LONG>(1, a.bottom - a.top);
  if (w == g_host_w && h == g_host_h) return;
  g_host_w = w, g_host_h = h;
  host::get().resize_window(w, h);
}

LRESULT Call(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  Window* win = Find(w);
  if (!win || !win->cls.proc) return 0;
  return win->cls.proc(w, msg, wp, lp);
}

void Post(HWND w, UINT msg, WPARAM wp, LPARAM lp, bool next = false) {
  MSG m{};
  m.hwnd = w;
  m.message = msg;
  m.wParam = wp;
  m.lParam = lp;
  m.time = timeGetTime();
  POINT p{0, 0};
  GetCursorPos(&p);
  m.pt = p;
  if (next)
    g_queue.push_front(m);
  else
    g_queue.push_back(m);
}

LPARAM MouseLParam(int x, int y) {
  return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(static_cast<int16_t>(x)), static_cast<WORD>(static_cast<int16_t>(y))));
}

WPARAM MouseKeys() {
  host::MouseState m = host::get().mouse();
  WPARAM k = 0;
  if (m.buttons & 1) k |= MK_LBUTTON;
  if (m.buttons & 2) k |= MK_MBUTTON;
  if (m.buttons & 4) k |= MK_RBUTTON;
  if (m.buttons & 8) k |= MK_XBUTTON1;
  if (m.buttons & 16) k |= MK_XBUTTON2;
  if (g_keys[VK_SHIFT] & 0x80) k |= MK_SHIFT;
  if (g_keys[VK_CONTROL] & 0x80) k |= MK_CONTROL;
  return k;
}

void SetKey(int vk, bool down) {
  if (vk <= 0 || vk > 255) return;
  g_keys[vk] = down ? 0x80 : 0;
  // The generic Shift, Control and Alt follow either hand's key.
  auto pair = [](int a, int b) { return ((g_keys[a] | g_keys[b]) & 0x80) ? 0x80 : 0; };
  g_keys[VK_SHIFT] = static_cast<uint8_t>(pair(VK_LSHIFT, VK_RSHIFT));
  g_keys[VK_CONTROL] = static_cast<uint8_t>(pair(VK_LCONTROL, VK_RCONTROL));
  g_keys[VK_MENU] = static_cast<uint8_t>(pair(VK_LMENU, VK_RMENU));
}

// The scancode in bits 16-23 of a key message's lParam: the host's usage code
// stands in, so a key is recognisable again from its message.
LPARAM KeyLParam(int scancode, bool up, bool repeat) {
  uint32_t lp = 1u | (static_cast<uint32_t>(scancode & 0xFF) << 16);
  if (repeat || up) lp |= 1u << 30;
  if (up) lp |= 1u << 31;
  return static_cast<LPARAM>(static_cast<int32_t>(lp));
}

void PostText(HWND w, const std::string& utf8) {
  Window* win = Find(w);
  if (!win) return;
  if (win->cls.unicode) {
    for (char16_t c : win32::Utf8ToUtf16(utf8)) Post(w, WM_CHAR, c, 1);
  } else {
    std::string s = win32::Utf8ToCp932(utf8);
    for (char c : s) Post(w, WM_CHAR, static_cast<uint8_t>(c), 1);
  }
}

std::vector<win32::HostEventListener> g_listeners;
win32::HostTextFilter g_text_filter = nullptr;

// Turns one host event into the messages of the host's window.
void Translate(const host::Event& e) {
  for (auto l : g_listeners) l(e);
  HWND w = g_host_window;
  Window* win = Find(w);
  if (!win) return;
  switch (e.type) {
    case host::EventType::Close: Post(w, WM_CLOSE, 0, 0); break;
    case host::EventType::FocusGained:
      g_focus = w;
      Post(w, WM_ACTIVATEAPP, TRUE, 0);
      Post(w, WM_ACTIVATE, WA_ACTIVE, 0);
      Post(w, WM_SETFOCUS, 0, 0);
      break;
    case host::EventType::FocusLost:
      g_focus = nullptr;
      std::memset(g_keys, 0, sizeof(g_keys));
      Post(w, WM_ACTIVATE, WA_INACTIVE, 0);
      Post(w, WM_ACTIVATEAPP, FALSE, 0);
      Post(w, WM_KILLFOCUS, 0, 0);
      break;
    case host::EventType::Minimized:
      win->iconic = true;
      Post(w, WM_SIZE, SIZE_MINIMIZED, 0);
      break;
    case host::EventType::Restored: {
      win->iconic = false;
      RECT c = ClientOnScreen(*win);
      Post(w, WM_SIZE, SIZE_RESTORED, MouseLParam(c.right - c.left, c.bottom - c.top));
      win->needs_paint = true;
      break;
    }
    case host::EventType::Exposed: win->needs_paint = true; break;
    case host::EventType::KeyDown:
    case host::EventType::KeyUp: {
      const bool down = e.type == host::EventType::KeyDown;
      int vk = win32::ScancodeToVk(e.scancode);
      if (!vk) break;
      SetKey(vk, down);
      const bool is_alt = vk == VK_LMENU || vk == VK_RMENU;
      // Alt pressed and let go alone, and F10, open the window's menu.
      if (down && !e.repeat) g_alt_alone = is_alt && !win32::MenuLoopWindow();
      if (!down && is_alt) g_alt_menu = g_alt_alone, g_alt_alone = false;
      const bool alt = ((g_keys[VK_MENU] & 0x80) != 0 && !is_alt) || vk == VK_F10;
      UINT msg = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
      if (vk == VK_LMENU || vk == VK_RMENU) msg = down ? WM_SYSKEYDOWN : WM_SYSKEYUP;
      // Messages name the generic Shift, Control and Alt, as Windows does.
      int msg_vk = vk;
      if (vk == VK_LSHIFT || vk == VK_RSHIFT) msg_vk = VK_SHIFT;
      if (vk == VK_LCONTROL || vk == VK_RCONTROL) msg_vk = VK_CONTROL;
      if (vk == VK_LMENU || vk == VK_RMENU) msg_vk = VK_MENU;
      Post(w, msg, static_cast<WPARAM>(msg_vk), KeyLParam(e.scancode, !down, e.repeat));
      break;
    }
    case host::EventType::Text:
      if (!g_text_filter || !g_text_filter(w, e)) PostText(w, e.text);
      break;
    case host::EventType::MouseMove:
    case host::EventType::MouseDown:
    case host::EventType::MouseUp: {
      // Host coordinates are the area's: the bar's rows are the menu's, the
      // rest the client area's.
      const bool bar = HasBar(*win) && e.y < kMenu;
      const int bar_h = HasBar(*win) ? kMenu : 0;
      RECT a = AreaOnScreen(*win);
      if (e.type != host::EventType::MouseMove) g_alt_alone = false;
      if (e.type == host::EventType::MouseMove) {
        if (bar)
          Post(w, WM_NCMOUSEMOVE, static_cast<WPARAM>(HTMENU), MouseLParam(a.left + e.x, a.top + e.y));
        else
          Post(w, WM_MOUSEMOVE, MouseKeys(), MouseLParam(e.x, e.y - bar_h));
        break;
      }
      const bool down = e.type == host::EventType::MouseDown;
      UINT msg = 0;
      WPARAM extra = 0;
      switch (e.button) {
        case host::kButtonLeft:
          msg = bar ? (down ? WM_NCLBUTTONDOWN : WM_NCLBUTTONUP) : (down ? WM_LBUTTONDOWN : WM_LBUTTONUP);
          break;
        case host::kButtonRight:
          msg = bar ? (down ? WM_NCRBUTTONDOWN : WM_NCRBUTTONUP) : (down ? WM_RBUTTONDOWN : WM_RBUTTONUP);
          break;
        case host::kButtonMiddle:
          msg = bar ? (down ? WM_NCMBUTTONDOWN : WM_NCMBUTTONUP) : (down ? WM_MBUTTONDOWN : WM_MBUTTONUP);
          break;
        case host::kButtonX1: msg = down ? WM_XBUTTONDOWN : WM_XBUTTONUP, extra = XBUTTON1 << 16; break;
        case host::kButtonX2: msg = down ? WM_XBUTTONDOWN : WM_XBUTTONUP, extra = XBUTTON2 << 16; break;
        default: break;
      }
      if (!msg) break;
      if (msg >= WM_NCMOUSEMOVE && msg <= WM_NCMBUTTONUP)
        Post(w, msg, static_cast<WPARAM>(HTMENU), MouseLParam(a.left + e.x, a.top + e.y));
      else if (!bar)
        Post(w, msg, MouseKeys() | extra, MouseLParam(e.x, e.y - bar_h));
      break;
    }
    case host::EventType::MouseWheel: {
      host::MouseState m = host::get().mouse();
      RECT c = AreaOnScreen(*win);
      int delta = e.wheel * WHEEL_DELTA;
      Post(w, WM_MOUSEWHEEL, MouseKeys() | (static_cast<WPARAM>(static_cast<uint16_t>(delta)) << 16),
           MouseLParam(c.left + m.x, c.top + m.y));
      break;
    }
    default: break;
  }
}

void PollHost() {
  host::Event e;
  while (host::get().poll_event(e)) Translate(e);
}

bool Matches(const MSG& m, HWND w, UINT min, UINT max) {
  if (w && m.hwnd != w) return false;
  if (min == 0 && max == 0) return true;
  return m.message >= min && m.message <= max;
}

// The host shows the class's icon (the large one, else the small one); a stock
// icon leaves the host's own.
void ShowClassIcon(const WindowClass& cls) {
  const win32::IconImage* img = win32::IconPicture(cls.icon);
  if (!img) img = win32::IconPicture(cls.icon_small);
  if (img) host::get().set_icon(img->argb.data(), img->width, img->height);
}

void OpenHostWindow(HWND hw, Window& w) {
  if (g_host_window || (w.style & WS_CHILD)) return;
  RECT c = AreaOnScreen(w);
  const int width = std::max<LONG>(1, c.right - c.left), height = std::max<LONG>(1, c.bottom - c.top);
  if (host::get().open_window(win32::Cp932ToUtf8(w.title), width, height, false)) {
    g_host_window = hw;
    g_host_w = width, g_host_h = height;
    g_area.clear();
    g_area_w = g_area_h = 0;
    ShowClassIcon(w.cls);
    if (host::get().focused()) g_focus = hw;
    // Typed characters reach the window as WM_CHAR only while the host reports text.
    host::get().start_text_input();
  }
}

}  // namespace

// --- Classes and windows ---

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  std::string name = wc->lpszClassName;
  if (g_classes.count(name)) return 0;
  g_classes[name] = {wc->style, wc->lpfnWndProc, false, wc->hIcon, wc->hIconSm, wc->hCursor, wc->hbrBackground};
  return static_cast<ATOM>(0xC000 + g_classes.size());
}

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  std::string name = win32::Utf16ToCp932(wc->lpszClassName);
  if (g_classes.count(name)) return 0;
  g_classes[name] = {wc->style, wc->lpfnWndProc, true, wc->hIcon, wc->hIconSm, wc->hCursor, wc->hbrBackground};
  return static_cast<ATOM>(0xC000 + g_classes.size());
}

BOOL UnregisterClassA(const char* name, HINSTANCE) {
  if (!name) return FALSE;
  for (auto& w : g_windows)
    if (w->class_name == name) return FALSE;
  return g_classes.erase(name) ? TRUE : FALSE;
}

HWND CreateWindowExA(DWORD ex_style, const char* class_name, const char* title, DWORD style, int x, int y,
                     int w, int h, HWND parent, HMENU menu, HINSTANCE, void*) {
  if (!class_name) return nullptr;
  auto it = g_classes.find(Key(class_name));
  if (it == g_classes.end()) return nullptr;
  if ((style & WS_CHILD) && !Find(parent)) return nullptr;
  if (menu && !(style & WS_CHILD) && !IsMenu(menu)) return nullptr;
  auto win = std::make_unique<Window>();
  win->class_name = class_name;
  win->cls = it->second;
  win->title = title ? title : "";
  win->style = style;
  win->ex_style = ex_style;
  if (x == CW_USEDEFAULT) x = 0, y = 0;
  if (w == CW_USEDEFAULT) w = 640, h = 480;
  win->rect = {x, y, x + w, y + h};
  win->parent = parent;
  win->menu = (style & WS_CHILD) ? nullptr : menu;
  HWND hw = reinterpret_cast<HWND>(win.get());
  Window* raw = win.get();
  g_windows.push_back(std::move(win));
  if (!Call(hw, WM_NCCREATE, 0, 0) || Call(hw, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(hw);
    return nullptr;
  }
  raw = Find(hw);
  if (!raw) return nullptr;
  if (style & WS_VISIBLE) {
    raw->visible = true;
    raw->needs_paint = true;
    bool wanted = !g_host_window && !(style & WS_CHILD);
    OpenHostWindow(hw, *raw);
    if (hw == g_host_window) {
      Post(hw, WM_ACTIVATE, WA_ACTIVE, 0);
      Post(hw, WM_SETFOCUS, 0, 0);
    } else if (wanted) {
      // No window can be shown (no display): the window is not made.
      DestroyWindow(hw);
      return nullptr;
    }
  }
  return hw;
}

BOOL DestroyWindow(HWND w) {
  Window* win = Find(w);
  if (!win || win->destroying) return FALSE;
  win->destroying = true;
  // Children go first, as on Windows.
  std::vector<HWND> children;
  for (auto& p : g_windows)
    if (p->parent == w) children.push_back(reinterpret_cast<HWND>(p.get()));
  for (HWND c : children) DestroyWindow(c);
  Call(w, WM_DESTROY, 0, 0);
  Call(w, WM_NCDESTROY, 0, 0);
  if (HMENU menu = win->menu; !(win->style & WS_CHILD) && menu) {
    win->menu = nullptr;
    DestroyMenu(menu);
  }
  if (w == g_host_window) {
    host::get().close_window();
    g_host_window = nullptr;
    // Display changes last only as long as the window.
    win32::RestoreDesktopMode();
  }
  if (g_focus == w) g_focus = nullptr;
  std::erase_if(g_queue, [w](const MSG& m) { return m.hwnd == w; });
  std::erase_if(g_windows, [w](const std::unique_ptr<Window>& p) { return reinterpret_cast<HWND>(p.get()) == w; });
  return TRUE;
}

BOOL IsWindow(HWND w) { return Find(w) != nullptr; }

BOOL IsWindowUnicode(HWND w) {
  Window* win = Find(w);
  return win && win->cls.unicode;
}

LRESULT DefWindowProcA(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  Window* win = Find(w);
  if (!win) return 0;
  switch (msg) {
    case WM_NCCREATE: return TRUE;
    case WM_CLOSE: DestroyWindow(w); return 0;
    case WM_PAINT: ValidateRect(w, nullptr); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_NCHITTEST: {
      POINT p{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))),
              static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp)))};
      RECT c = ClientOnScreen(*win);
      if (p.x >= c.left && p.x < c.right && p.y >= c.top && p.y < c.bottom) return HTCLIENT;
      if (HasBar(*win) && p.x >= c.left && p.x < c.right && p.y >= c.top - kMenu && p.y < c.top) return HTMENU;
      if (p.x >= win->rect.left && p.x < win->rect.right && p.y >= win->rect.top && p.y < win->rect.bottom)
        return HTCAPTION;
      return HTNOWHERE;
    }
    case WM_SETCURSOR:
      if (LOWORD(static_cast<uintptr_t>(lp)) == HTCLIENT && win->cls.cursor) SetCursor(win->cls.cursor);
      return FALSE;
    case WM_SYSCOMMAND:
      switch (wp & 0xFFF0) {
        case SC_CLOSE: PostMessageA(w, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(w, SW_MINIMIZE); break;
        case SC_RESTORE: ShowWindow(w, SW_RESTORE); break;
        case SC_MOUSEMENU: {
          POINT p{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))),
                  static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp)))};
          win32::MenuLoop(w, true, p, 0);
          break;
        }
        case SC_KEYMENU: win32::MenuLoop(w, false, POINT{0, 0}, static_cast<int>(lp)); break;
        default: break;
      }
      return 0;
    case WM_NCLBUTTONDOWN:
      if (wp == static_cast<WPARAM>(HTMENU)) SendMessageA(w, WM_SYSCOMMAND, SC_MOUSEMENU | HTMENU, lp);
      return 0;
    case WM_SYSKEYDOWN:
      if (wp == static_cast<WPARAM>(VK_F4)) PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSKEYUP: {
      const bool alone = wp == static_cast<WPARAM>(VK_MENU) && g_alt_menu;
      if (wp == static_cast<WPARAM>(VK_MENU)) g_alt_menu = false;
      if (win32::TakeClosingKey(static_cast<int>(wp))) return 0;
      // Without a menu too: the window may bring one when the menu loop starts.
      if (alone || wp == static_cast<WPARAM>(VK_F10)) SendMessageA(w, WM_SYSCOMMAND, SC_KEYMENU, 0);
      return 0;
    }
    case WM_SYSCHAR:
      SendMessageA(w, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wp));
      return 0;
    case WM_SETTEXT:
      SetWindowTextA(w, reinterpret_cast<const char*>(lp));
      return TRUE;
    default: return 0;
  }
}

LRESULT DefWindowProcW(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SETTEXT && lp) {
    std::string t = win32::Utf16ToCp932(reinterpret_cast<const char16_t*>(lp));
    return DefWindowProcA(w, msg, wp, reinterpret_cast<LPARAM>(t.c_str()));
  }
  return DefWindowProcA(w, msg, wp, lp);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  return proc ? proc(w, msg, wp, lp) : 0;
}

BOOL ShowWindow(HWND w, int cmd) {
  Window* win = Find(w);
  if (!win) return FALSE;
  BOOL was = win->visible;
  switch (cmd) {
    case SW_HIDE:
      win->visible = false;
      if (w == g_host_window) host::get().show_window(false);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      win->visible = true;
      if (!win->iconic) {
        win->iconic = true;
        Post(w, WM_SIZE, SIZE_MINIMIZED, 0);
      }
      break;
    default:
      win->visible = true;
      if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) win->iconic = false;
      win->needs_paint = true;
      if (!g_host_window) OpenHostWindow(w, *win);
      if (w == g_host_window) host::get().show_window(true);
      break;
  }
  win->style = win->visible ? (win->style | WS_VISIBLE) : (win->style & ~WS_VISIBLE);
  return was;
}

BOOL UpdateWindow(HWND w) {
  Window* win = Find(w);
  if (!win) return FALSE;
  if (win->needs_paint && win->visible) Call(w, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL IsIconic(HWND w) {
  Window* win = Find(w);
  return win && win->iconic;
}

BOOL IsWindowVisible(HWND w) {
  Window* win = Find(w);
  return win && win->visible;
}

BOOL IsWindowEnabled(HWND w) {
  Window* win = Find(w);
  return win && win->enabled;
}

BOOL EnableWindow(HWND w, BOOL enable) {
  Window* win = Find(w);
  if (!win) return FALSE;
  BOOL was_disabled = !win->enabled;
  win->enabled = enable != FALSE;
  return was_disabled;
}

HWND GetParent(HWND w) {
  Window* win = Find(w);
  return win ? win->parent : nullptr;
}

HWND GetForegroundWindow() {
  if (!g_host_window || !host::get().focused()) return nullptr;
  return g_host_window;
}

BOOL SetForegroundWindow(HWND w) { return Find(w) != nullptr; }

HWND GetFocus() { return host::get().focused() ? g_focus : nullptr; }

int GetWindowTextA(HWND w, char* out, int size) {
  Window* win = Find(w);
  if (!out || size <= 0) return 0;
  out[0] = '\0';
  if (!win) return 0;
  size_t n = std::min(win->title.size(), static_cast<size_t>(size - 1));
  // Never cut a double-byte character in two.
  size_t i = 0;
  while (i < n) {
    size_t step = win32::IsLeadByte(static_cast<uint8_t>(win->title[i])) ? 2 : 1;
    if (i + step > n) break;
    i += step;
  }
  std::memcpy(out, win->title.data(), i);
  out[i] = '\0';
  return static_cast<int>(i);
}

BOOL SetWindowTextA(HWND w, const char* text) {
  Window* win = Find(w);
  if (!win) return FALSE;
  win->title = text ? text : "";
  if (w == g_host_window) host::get().set_title(win32::Cp932ToUtf8(win->title));
  return TRUE;
}

LONG GetWindowLongA(HWND w, int index) {
  Window* win = Find(w);
  if (!win) return 0;
  if (index == GWL_STYLE) return static_cast<LONG>(win->style);
  if (index == GWL_EXSTYLE) return static_cast<LONG>(win->ex_style);
  return 0;
}

LONG SetWindowLongA(HWND w, int index, LONG value) {
  Window* win = Find(w);
  if (!win) return 0;
  LONG old = GetWindowLongA(w, index);
  if (index == GWL_STYLE) {
    win->style = static_cast<DWORD>(value);
    win->visible = (win->style & WS_VISIBLE) != 0;
  } else if (index == GWL_EXSTYLE) {
    win->ex_style = static_cast<DWORD>(value);
  }
  if (w == g_host_window) SyncHostSize();
  return old;
}

DWORD_PTR SetClassLongA(HWND w, int index, LONG_PTR value) {
  Window* win = Find(w);
  if (!win || (index != GCL_HICON && index != GCL_HICONSM)) return 0;
  auto it = g_classes.find(win->class_name);
  if (it == g_classes.end()) return 0;
  HICON& slot = index == GCL_HICON ? it->second.icon : it->second.icon_small;
  const auto old = reinterpret_cast<DWORD_PTR>(slot);
  slot = reinterpret_cast<HICON>(value);
  // Every window of the class has it at once; the host shows it for its own.
  for (auto& other : g_windows)
    if (other->class_name == win->class_name) {
      other->cls = it->second;
      if (reinterpret_cast<HWND>(other.get()) == g_host_window) ShowClassIcon(other->cls);
    }
  return old;
}

BOOL GetClientRect(HWND w, RECT* r) {
  Window* win = Find(w);
  if (!win || !r) return FALSE;
  RECT c = ClientOnScreen(*win);
  *r = {0, 0, c.right - c.left, c.bottom - c.top};
  return TRUE;
}

BOOL GetWindowRect(HWND w, RECT* r) {
  Window* win = Find(w);
  if (!win || !r) return FALSE;
  *r = win->rect;
  return TRUE;
}

BOOL ClientToScreen(HWND w, POINT* p) {
  Window* win = Find(w);
  if (!win || !p) return FALSE;
  RECT c = ClientOnScreen(*win);
  p->x += c.left;
  p->y += c.top;
  return TRUE;
}

BOOL ScreenToClient(HWND w, POINT* p) {
  Window* win = Find(w);
  if (!win || !p) return FALSE;
  RECT c = ClientOnScreen(*win);
  p->x -= c.left;
  p->y -= c.top;
  return TRUE;
}

BOOL MoveWindow(HWND w, int x, int y, int width, int height, BOOL repaint) {
  Window* win = Find(w);
  if (!win) return FALSE;
  win->rect = {x, y, x + width, y + height};
  if (repaint) win->needs_paint = true;
  if (w == g_host_window) SyncHostSize();
  return TRUE;
}

BOOL SetWindowPos(HWND w, HWND, int x, int y, int width, int height, UINT flags) {
  Window* win = Find(w);
  if (!win) return FALSE;
  RECT r = win->rect;
  if (!(flags & SWP_NOMOVE)) {
    LONG dx = x - r.left, dy = y - r.top;
    r.left += dx, r.right += dx, r.top += dy, r.bottom += dy;
  }
  if (!(flags & SWP_NOSIZE)) r.right = r.left + width, r.bottom = r.top + height;
  win->rect = r;
  if (w == g_host_window) SyncHostSize();
  if (flags & SWP_SHOWWINDOW) ShowWindow(w, SW_SHOW);
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* r, DWORD style, BOOL menu, DWORD ex_style) {
  if (!r) return FALSE;
  RECT f;
  FrameSize(style, ex_style, menu != FALSE, f);
  r->left -= f.left, r->top -= f.top, r->right += f.right, r->bottom += f.bottom;
  return TRUE;
}

int GetSystemMetrics(int index) {
  win32::DisplayMode m = win32::CurrentMode();
  switch (index) {
    case SM_CXSCREEN: return m.width;
    case SM_CYSCREEN: return m.height;
    case SM_CYCAPTION: return kCaption;
    case SM_CXBORDER:
    case SM_CYBORDER: return kBorder;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return kDlgFrame;
    case SM_CXEDGE:
    case SM_CYEDGE: return kEdge;
    case SM_CYMENU: return kMenu;
    default: return 0;
  }
}

BOOL InvalidateRect(HWND w, const RECT*, BOOL) {
  if (!w) {
    for (auto& p : g_windows) p->needs_paint = true;
    return TRUE;
  }
  Window* win = Find(w);
  if (!win) return FALSE;
  win->needs_paint = true;
  return TRUE;
}

BOOL ValidateRect(HWND w, const RECT*) {
  Window* win = Find(w);
  if (!win) return FALSE;
  win->needs_paint = false;
  win->paint_offered = false;
  return TRUE;
}

BOOL EnumThreadWindows(DWORD, WNDENUMPROC proc, LPARAM param) {
  if (!proc) return FALSE;
  std::vector<HWND> all;
  for (auto& p : g_windows)
    if (!p->parent) all.push_back(reinterpret_cast<HWND>(p.get()));
  for (HWND w : all)
    if (Find(w) && !proc(w, param)) break;
  return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

BOOL SetMenu(HWND w, HMENU menu) {
  Window* win = Find(w);
  if (!win || (win->style & WS_CHILD) || (menu && !IsMenu(menu))) return FALSE;
  // The window keeps its rectangle: the client area gives the bar its rows.
  win->menu = menu;
  if (w == g_host_window) {
    SyncHostSize();
    win32::RepaintWindow(w);
  }
  return TRUE;
}

HMENU GetMenu(HWND w) {
  Window* win = Find(w);
  return win ? win->menu : nullptr;
}

BOOL DrawMenuBar(HWND w) {
  if (!Find(w)) return FALSE;
  if (w == g_host_window) win32::RepaintWindow(w);
  return TRUE;
}

// --- Messages ---

BOOL PeekMessageA(MSG* msg, HWND w, UINT min, UINT max, UINT remove) {
  if (!msg) return FALSE;
  PollHost();
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    if (!Matches(*it, w, min, max)) continue;
    *msg = *it;
    if (remove & PM_REMOVE) g_queue.erase(it);
    return TRUE;
  }
  if (g_quit_posted && (!w) && (min == 0 || (WM_QUIT >= min && WM_QUIT <= max))) {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(g_quit_code);
    if (remove & PM_REMOVE) g_quit_posted = false;
    return TRUE;
  }
  // Paint comes when nothing else is waiting, and stays until validated.
  if (min == 0 || (WM_PAINT >= min && WM_PAINT <= max)) {
    for (auto& p : g_windows) {
      HWND hw = reinterpret_cast<HWND>(p.get());
      if (p->needs_paint && p->visible && !p->iconic && (!w || w == hw)) {
        // A window that never validates gets its paint again at every look, and
        // on a desktop each round takes time. The virtual clock stands still
        // otherwise, so a loop that waits for a deadline would never end.
        if (p->paint_offered && host::get().headless()) host::get().sleep_us(1000);
        p->paint_offered = true;
        *msg = MSG{};
        msg->hwnd = hw;
        msg->message = WM_PAINT;
        msg->time = timeGetTime();
        return TRUE;
      }
    }
  }
  return FALSE;
}

BOOL GetMessageA(MSG* msg, HWND w, UINT min, UINT max) {
  while (!PeekMessageA(msg, w, min, max, PM_REMOVE)) WaitMessage();
  return msg->message != WM_QUIT;
}

BOOL TranslateMessage(const MSG* msg) {
  // Printable characters come from the host's text events, already in the
  // queue; the keys that type a control character give it here, as text
  // events carry none (Enter and Escape pass a "press any key" wait).
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  const WPARAM vk = msg->wParam;
  if (msg->message == WM_KEYDOWN && (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE))
    Post(msg->hwnd, WM_CHAR, vk, msg->lParam);
  // Alt with a letter or digit: the character that picks a menu item, next in
  // the queue so that it acts before the keys that follow.
  if (msg->message == WM_SYSKEYDOWN && ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')))
    Post(msg->hwnd, WM_SYSCHAR, vk >= 'A' && vk <= 'Z' ? vk - 'A' + 'a' : vk, msg->lParam, true);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !msg->hwnd) return 0;
  Window* win = Find(msg->hwnd);
  if (!win) return 0;
  // Before a mouse message the window is asked where the pointer is and which
  // cursor to show, as Windows does.
  const bool nc = msg->message >= WM_NCMOUSEMOVE && msg->message <= WM_NCMBUTTONUP;
  if ((msg->message >= WM_MOUSEMOVE && msg->message <= WM_XBUTTONUP && msg->message != WM_MOUSEWHEEL) || nc) {
    POINT p{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(msg->lParam))),
            static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(msg->lParam)))};
    if (!nc) ClientToScreen(msg->hwnd, &p);
    LRESULT hit = Call(msg->hwnd, WM_NCHITTEST, 0, MouseLParam(p.x, p.y));
    if (!Find(msg->hwnd)) return 0;
    Call(msg->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg->hwnd),
         static_cast<LPARAM>(MAKELONG(static_cast<WORD>(hit), static_cast<WORD>(msg->message))));
    if (!Find(msg->hwnd)) return 0;
  }
  return Call(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (w && !Find(w)) return FALSE;
  Post(w, msg, wp, lp);
  return TRUE;
}

LRESULT SendMessageA(HWND w, UINT msg, WPARAM wp, LPARAM lp) { return Call(w, msg, wp, lp); }

void PostQuitMessage(int code) {
  g_quit_posted = true;
  g_quit_code = code;
}

BOOL WaitMessage() {
  PollHost();
  if (!g_queue.empty() || g_quit_posted) return TRUE;
  for (auto& p : g_windows)
    if (p->needs_paint && p->visible && !p->iconic) return TRUE;
  host::Event e;
  host::get().wait_event(e);
  Translate(e);
  return TRUE;
}

UINT RegisterWindowMessageA(const char* name) {
  if (!name || !*name) return 0;
  for (size_t i = 0; i < g_registered.size(); ++i)
    if (g_registered[i] == name) return static_cast<UINT>(0xC000 + i);
  g_registered.emplace_back(name);
  return static_cast<UINT>(0xC000 + g_registered.size() - 1);
}

// --- Cursor, keys, icons, system colours ---

HCURSOR LoadCursorA(HINSTANCE, const char* name) { return name == IDC_ARROW ? ArrowCursor() : nullptr; }

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = g_cursor;
  g_cursor = cursor;
  host::get().show_cursor(cursor != nullptr && g_cursor_count >= 0);
  return old;
}

int ShowCursor(BOOL show) {
  g_cursor_count += show ? 1 : -1;
  host::get().show_cursor(g_cursor != nullptr && g_cursor_count >= 0);
  return g_cursor_count;
}

BOOL GetCursorPos(POINT* p) {
  if (!p) return FALSE;
  host::MouseState m = host::get().mouse();
  p->x = m.x, p->y = m.y;
  if (Window* win = Find(g_host_window)) {
    RECT c = AreaOnScreen(*win);
    p->x += c.left, p->y += c.top;
  }
  return TRUE;
}

SHORT GetAsyncKeyState(int vk) {
  if (vk < 0 || vk > 255) return 0;
  uint32_t b = host::get().mouse().buttons;
  bool down;
  switch (vk) {
    case VK_LBUTTON: down = b & 1; break;
    case VK_MBUTTON: down = b & 2; break;
    case VK_RBUTTON: down = b & 4; break;
    case VK_XBUTTON1: down = b & 8; break;
    case VK_XBUTTON2: down = b & 16; break;
    default: down = (g_keys[vk] & 0x80) != 0; break;
  }
  return down ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetKeyState(int vk) { return GetAsyncKeyState(vk); }

HICON LoadIconA(HINSTANCE instance, const char* name) {
  if (name == IDI_APPLICATION) return win32::StockApplicationIcon();
  // The program's own icons come from its module; other files are not read.
  if (!instance || instance != GetModuleHandleA(nullptr) || !IS_INTRESOURCE(name)) return nullptr;
  return win32::ProgramIcon(static_cast<int>(reinterpret_cast<uintptr_t>(name)), false);
}

UINT ExtractIconExA(const char* file, int index, HICON* large, HICON* small, UINT count) {
  if (large) *large = nullptr;
  if (small) *small = nullptr;
  // Only the executable's own icons can be had (it has one); other files are not read.
  if (!file || win32::HostPath(file) != win32::HostPath(win32::ModulePath())) return 0;
  if (index == -1 && !large && !small) return 1;
  if (index != 0 || count == 0) return 0;
  if (large) *large = win32::ProgramIcon(win32::kProgramIconId, false);
  if (small) *small = win32::ProgramIcon(win32::kProgramIconId, true);
  return 1;
}

DWORD GetSysColor(int index) {
  if (!g_sys_colors_made) {
    for (DWORD& c : g_sys_colors) c = RGB(192, 192, 192);
    g_sys_colors[COLOR_WINDOW] = RGB(255, 255, 255);
    g_sys_colors[COLOR_WINDOWTEXT] = RGB(0, 0, 0);
    g_sys_colors_made = true;
  }
  return index >= 0 && index < 256 ? g_sys_colors[index] : 0;
}

BOOL SetSysColors(int count, const int* indices, const COLORREF* colors) {
  if (count < 0 || (count && (!indices || !colors))) return FALSE;
  GetSysColor(0);
  for (int i = 0; i < count; ++i)
    if (indices[i] >= 0 && indices[i] < 256) g_sys_colors[indices[i]] = colors[i];
  return TRUE;
}

namespace win32 {

HWND HostWindow() { return g_host_window; }

void AddHostEventListener(HostEventListener l) {
  if (l && std::find(g_listeners.begin(), g_listeners.end(), l) == g_listeners.end()) g_listeners.push_back(l);
}

void SetHostTextFilter(HostTextFilter f) { g_text_filter = f; }

int ScancodeToVk(int sc) {
  using namespace host::key;
  if (sc >= A && sc <= Z) return 'A' + (sc - A);
  if (sc >= N1 && sc <= N1 + 8) return '1' + (sc - N1);
  if (sc == N0) return '0';
  if (sc >= F1 && sc <= F12) return VK_F1 + (sc - F1);
  switch (sc) {
    case Return: return VK_RETURN;
    case Escape: return VK_ESCAPE;
    case Backspace: return VK_BACK;
    case Tab: return VK_TAB;
    case Space: return VK_SPACE;
    case 45: return 0xBD;  // - =
    case 46: return 0xDE;  // ^ ~
    case 47: return 0xC0;  // @ `
    case 48: return 0xDB;  // [ {
    case 49: return 0xDC;  // backslash
    case 50: return 0xDD;  // ] }
    case 51: return 0xBB;  // ; +
    case 52: return 0xBA;  // : *
    case 53: return 0xF3;  // half-width / full-width
    case 54: return 0xBC;  // , <
    case 55: return 0xBE;  // . >
    case 56: return 0xBF;  // / ?
    case 57: return 0x14;  // caps lock
    case 70: return 0x2C;  // print screen
    case 71: return 0x91;  // scroll lock
    case 72: return 0x13;  // pause
    case Insert: return 0x2D;
    case Home: return 0x24;
    case PageUp: return 0x21;
    case Delete: return 0x2E;
    case End: return 0x23;
    case PageDown: return 0x22;
    case Right: return VK_RIGHT;
    case Left: return VK_LEFT;
    case Down: return VK_DOWN;
    case Up: return VK_UP;
    case 83: return 0x90;  // num lock
    case 84: return 0x6F;  // keypad /
    case 85: return 0x6A;  // keypad *
    case 86: return 0x6D;  // keypad -
    case 87: return 0x6B;  // keypad +
    case KpEnter: return VK_RETURN;
    case 89: case 90: case 91: case 92: case 93: case 94: case 95: case 96: case 97:
      return 0x61 + (sc - 89);  // keypad 1-9
    case 98: return 0x60;      // keypad 0
    case 99: return 0x6E;      // keypad .
    case 101: return 0x5D;     // application
    case 135: return 0xE2;     // backslash and underscore
    case 136: return 0x15;     // kana
    case 137: return 0xDC;     // yen
    case 138: return 0x1C;     // convert
    case 139: return 0x1D;     // no convert
    case LCtrl: return VK_LCONTROL;
    case LShift: return VK_LSHIFT;
    case LAlt: return VK_LMENU;
    case 227: return 0x5B;     // left GUI
    case RCtrl: return VK_RCONTROL;
    case RShift: return VK_RSHIFT;
    case RAlt: return VK_RMENU;
    case 231: return 0x5C;     // right GUI
    default: return 0;
  }
}

// The colours of the pixels of `s` stretched onto `d` (in the coordinates of
// an area aw × ah), written into out for its part `in` (which lies in d and in
// the area); the rest of out is black.
PIXELS_UNTRACED static void StretchColours(const platform::PixelBuffer& pb, const RECT& s, const RECT& d,
                                           const RECT& in, int aw, int ah, uint32_t* out) {
  std::fill(out, out + static_cast<size_t>(aw) * ah, 0u);
  const int dw = d.right - d.left, dh = d.bottom - d.top;
  const int sw = s.right - s.left, sh = s.bottom - s.top;
  const int bytes = pb.format.bpp / 8;
  // 16-bit pixels go through a table; others by their masks.
  const uint32_t* const table16 = bytes == 2 ? platform::Colours16(pb.format) : nullptr;
  const bool plain32 = pb.format.rmask == 0xFF0000 && pb.format.gmask == 0xFF00 && pb.format.bmask == 0xFF;
  const int x0 = in.left, x1 = in.right, y0 = in.top, y1 = in.bottom;
  std::vector<int> xs(static_cast<size_t>(x1 - x0));
  for (int x = x0; x < x1; ++x)
    xs[static_cast<size_t>(x - x0)] = (s.left + static_cast<int>(static_cast<int64_t>(x - d.left) * sw / dw)) * bytes;
  for (int y = y0; y < y1; ++y) {
    int sy = s.top + static_cast<int>(static_cast<int64_t>(y - d.top) * sh / dh);
    const uint8_t* row = pb.bits + static_cast<ptrdiff_t>(sy) * pb.pitch;
    uint32_t* o = out + static_cast<size_t>(y) * aw + x0;
    const int n = x1 - x0;
    switch (bytes) {
      case 1:
        for (int x = 0; x < n; ++x) o[x] = pb.palette ? pb.palette[row[xs[x]]] & 0xFFFFFF : 0;
        break;
      case 2:
        for (int x = 0; x < n; ++x) o[x] = table16[static_cast<uint32_t>(row[xs[x]] | row[xs[x] + 1] << 8)];
        break;
      default:
        for (int x = 0; x < n; ++x) {
          const uint8_t* p = row + xs[x];
          const uint32_t v = platform::LoadPixel(p, bytes);
          o[x] = plain32 ? v & 0xFFFFFF : platform::PixelColour(v, pb.format);
        }
        break;
    }
  }
}

bool ShowInClient(HWND w, const platform::PixelBuffer& pb, const RECT& src, const RECT* dst) {
  Window* win = Find(w);
  if (!win || w != g_host_window || !host::get().window_open() || !pb.bits) return false;
  RECT s = src;
  s.left = std::max<LONG>(s.left, 0), s.top = std::max<LONG>(s.top, 0);
  s.right = std::min<LONG>(s.right, pb.width), s.bottom = std::min<LONG>(s.bottom, pb.height);
  const RECT a = AreaOnScreen(*win), c = ClientOnScreen(*win);
  const int aw = a.right - a.left, ah = a.bottom - a.top;
  // The destination in the area's coordinates: the client area below the bar.
  RECT d = dst ? *dst : RECT{0, 0, c.right - c.left, c.bottom - c.top};
  const int top = c.top - a.top;
  d.top += top, d.bottom += top;
  const int dw = d.right - d.left, dh = d.bottom - d.top;
  const int sw = s.right - s.left, sh = s.bottom - s.top;
  if (aw <= 0 || ah <= 0 || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return false;
  // Only the columns and rows of the destination that lie in the area.
  const int x0 = std::max<int>(0, d.left), x1 = std::min<int>(aw, d.right);
  const int y0 = std::max<int>(0, d.top), y1 = std::min<int>(ah, d.bottom);
  if (x0 >= x1 || y0 >= y1) return false;
  // Never destroyed: a present may come from an exit handler.
  static auto& out = *new std::vector<uint32_t>;
  out.resize(static_cast<size_t>(aw) * ah);
  StretchColours(pb, s, d, RECT{x0, y0, x1, y1}, aw, ah, out.data());
  ShowArea(w, out.data(), aw, ah);
  return true;
}

void ClearClient(HWND w) {
  Window* win = Find(w);
  if (!win || w != g_host_window || !host::get().window_open()) return;
  RECT a = AreaOnScreen(*win);
  int aw = a.right - a.left, ah = a.bottom - a.top;
  if (aw <= 0 || ah <= 0) return;
  std::vector<uint32_t> black(static_cast<size_t>(aw) * ah, 0);
  ShowArea(w, black.data(), aw, ah);
}

bool WindowArea(HWND w, RECT* r) {
  Window* win = Find(w);
  if (!win || w != g_host_window || !r) return false;
  *r = AreaOnScreen(*win);
  return true;
}

void ShowArea(HWND w, const uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return;
  Window* win = Find(w);
  if (!win || w != g_host_window) {
    host::get().present(pixels, width, height, width * 4);
    return;
  }
  g_area.assign(pixels, pixels + static_cast<size_t>(width) * height);
  g_area_w = width, g_area_h = height;
  RECT a = AreaOnScreen(*win);
  g_area_was_w = a.right - a.left, g_area_was_h = a.bottom - a.top;
  RepaintWindow(w);
}

void RepaintWindow(HWND w) {
  Window* win = Find(w);
  if (!win || w != g_host_window || !host::get().window_open()) return;
  RECT a = AreaOnScreen(*win);
  int aw = a.right - a.left, ah = a.bottom - a.top;
  if (g_area_h > 0 && aw == g_area_was_w && ah == g_area_was_h) aw = g_area_w, ah = g_area_h;
  if (aw <= 0 || ah <= 0) return;
  // Never destroyed, as above.
  static auto& out = *new std::vector<uint32_t>;
  if (g_area_w == aw && g_area_h == ah) {
    out = g_area;
  } else {
    // The area changed since the last picture (a bar came or went): the client
    // part of that picture keeps its place under the bar.
    out.assign(static_cast<size_t>(aw) * ah, 0);
    const int shift = (g_area_h > 0 ? ah - g_area_h : 0);
    for (int y = 0; y < ah; ++y) {
      const int sy = y - shift;
      if (sy < 0 || sy >= g_area_h) continue;
      const int n = std::min(aw, g_area_w);
      std::copy_n(g_area.begin() + static_cast<ptrdiff_t>(sy) * g_area_w, n, out.begin() + static_cast<ptrdiff_t>(y) * aw);
    }
  }
  if (HasBar(*win)) win32::PaintMenu(win->menu, out.data(), aw, ah);
  host::get().present(out.data(), aw, ah, aw * 4);
}

}  // namespace win32
