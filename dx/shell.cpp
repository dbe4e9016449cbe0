#include "dx/shell.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "dx/cursor.h"
#include "dx/display.h"
#include "dx/error.h"
#include "dx/input.h"
#include "dx/package.h"
#include "dx/pixelformat.h"
#include "dx/pump.h"
#include "dx/target.h"
#include "dx/text.h"
#include "platform/ddraw/ddraw.h"
#include "platform/dinput/dinput.h"
#include "platform/gdi/gdi.h"
#include "platform/host/host.h"
#include "platform/win32/crt.h"
#include "platform/win32/display.h"
#include "platform/win32/file.h"
#include "platform/win32/imm.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/mutex.h"
#include "platform/win32/process.h"
#include "platform/win32/text.h"
#include "platform/ole32/com.h"
#include "platform/win32/time.h"

HWND dxmainwindow = nullptr;
HWND dxparentwindow = nullptr;
HINSTANCE dxinstance = nullptr;
bool dxownwindow = true;
bool dxquit = false;
bool dxquitblocked = false;
bool dxexiting = false;
int dxexitcode = 0;
HCURSOR dxcursor = nullptr;
HMENU dxmenu = nullptr;
bool dxmenuautohide = false;
bool dxmenushown = false;
bool dxcursorshown = true;
LRESULT dxlasthittest = 0;
int dxwheelaccum = 0;
UINT dxmsgqueryautoplay = RegisterWindowMessageA("QueryCancelAutoPlay");
UINT dxmsgmswheel = RegisterWindowMessageA("MSWHEEL_ROLLMSG");
std::deque<uint8_t> dxcharqueue;
std::deque<char16_t> dxwcharqueue;
HRESULT (*dxDirectDrawCreate)(GUID*, IDirectDraw**, IUnknown*) = nullptr;
HRESULT (*dxDirectInputCreateW)(HINSTANCE, DWORD, IDirectInputW**, IUnknown*) = nullptr;

namespace {

bool g_setup_pending = true;
bool g_class_registered = false;
std::string g_title = "dx";
std::u16string g_title_w = u"dx";
std::vector<void (*)()> g_release_hooks;
std::map<UINT, WNDPROC> g_message_map;
std::map<int, void (*)()> g_command_map;
WNDPROC g_app_proc = nullptr;
int g_saved_sys_count = 0;
COLORREF g_saved_sys_colors[256];

bool EightBitWindowOnEightBitDesktop() {
  return dxscreendepth == 8 && dxdesktopdepth == 8 && !dxfullscreen && dxownwindow && dxmainwindow;
}

void ExitHandler() {
  // Whether other windows must redraw their colours is known only before the release.
  const bool repaint = EightBitWindowOnEightBitDesktop();
  dxrelease();
  CoUninitialize();
  Sleep(100);
  if (repaint) {
    InvalidateRect(nullptr, nullptr, TRUE);
    Sleep(100);
  }
}

// A signal handler may not release windows and surfaces safely: it only ends the
// process, with the default handler back in place.
void AbortHandler(int) {
  std::signal(SIGABRT, SIG_DFL);
  _exit(dx::kFatalExitCode);
}

void TerminateHandler() {
  dxrelease();
  if (!dx::dxlasterror().empty()) {
    dxhidewindows();
    MessageBoxA(nullptr, dx::dxlasterror().c_str(), dxgettitle(), MB_ICONHAND | MB_TASKMODAL);
    host::get().exit_process(dx::kFatalExitCode, false);
  }
  if (dxexiting) host::get().exit_process(dxexitcode, true);
  host::get().exit_process(dx::kFatalExitCode, false);
  __builtin_unreachable();
}

bool EndsWithNoCase(const std::string& s, const char* tail) {
  size_t n = std::char_traits<char>::length(tail);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char a = s[s.size() - n + i], b = tail[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

BOOL HideOne(HWND w, LPARAM) {
  ShowWindow(w, SW_HIDE);
  return TRUE;
}

}  // namespace

// Weak, so that a program's own definition takes its place at link time.
__attribute__((weak)) bool dxownsfatalends() { return true; }

HWND dxgetwindow() { return dxmainwindow; }
const char* dxgettitle() { return g_title.c_str(); }
const char16_t* dxgettitlew() { return g_title_w.c_str(); }

std::string dxexefolder(const char* path) {
  std::string p = path ? path : "";
  // The last "\" that is a separator, not the trail byte of a double-byte character.
  size_t last = std::string::npos, first = std::string::npos;
  for (size_t i = 0; i < p.size(); ++i) {
    if (win32::IsLeadByte(static_cast<uint8_t>(p[i])) && i + 1 < p.size()) {
      ++i;
      continue;
    }
    if (p[i] == '\\') {
      if (first == std::string::npos) first = i;
      last = i;
    }
  }
  if (last == std::string::npos) return p;
  p.resize(last == first ? last + 1 : last);
  if (p.size() >= 9 && EndsWithNoCase(p, "\\Release")) {
    p.resize(p.size() - 8);
  } else if (p.size() >= 7 && EndsWithNoCase(p, "\\Debug")) {
    p.resize(p.size() - 6);
  }
  return p;
}

void dxsetup(const char* title, int width, int height, int depth, bool fullscreen) {
  g_title = title ? title : "dx";
  g_title_w = win32::Cp932ToUtf16(g_title);
  if (g_title_w.size() > 256) g_title_w.resize(256);

  if (g_setup_pending) {
    g_setup_pending = false;
    std::atexit(ExitHandler);
    if (dxownsfatalends()) {
      std::signal(SIGABRT, AbortHandler);
      std::set_terminate(TerminateHandler);
    }
    char module[4000];
    GetModuleFileNameA(nullptr, module, sizeof(module));
    std::string folder = dxexefolder(module);
    if (!folder.empty() && chdir(win32::HostPath(folder.c_str()).c_str()) != 0) {
      // The folder stays as it was; files are then looked for where the program was started.
    }
    srand(static_cast<unsigned>(std::time(nullptr)));
    CoInitialize(nullptr);
    dxDirectDrawCreate = DirectDrawCreate;
    dxDirectInputCreateW = DirectInputCreateW;
    // The screen's depth now: the program may have switched the display before starting.
    dxdesktopdepth = win32::CurrentMode().bpp;
  }
  if (!dxDirectDrawCreate) dxerror("DirectDraw が使えません。");

  if (depth == 0) {
    depth = dxdesktopdepth;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32) dxerror("このカラーモードでは動作しません。");
  } else if (depth != 8 && depth != 16 && depth != 24 && depth != 32) {
    dxerror("色数の設定が正しくありません。");
  }

  dxscreenwidth = dxviewwidth = width;
  dxscreenheight = dxviewheight = height;
  dxscreendepth = depth;
  dxfullscreen = fullscreen;
  dxvram = false;
  dxcliprect = {0, 0, width, height};
  dxpaintrect = {0, 0, width, height};
  dxcleardeviceflags();
  dxquit = false;
  dxcursor = fullscreen ? nullptr : LoadCursorA(nullptr, IDC_ARROW);

  dxsetfont("ＭＳ ゴシック", 16, 8, 0, 0, 0);
}

void dxcreatewindow() {
  dxinstance = GetModuleHandleA(nullptr);
  HICON large = nullptr, small = nullptr;
  char module[4000];
  GetModuleFileNameA(nullptr, module, sizeof(module));
  ExtractIconExA(module, 0, &large, &small, 1);
  if (!large) large = LoadIconA(nullptr, IDI_APPLICATION);
  if (!small) small = LoadIconA(nullptr, IDI_APPLICATION);

  if (!g_class_registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = dxwndprocdispatch;
    wc.hInstance = dxinstance;
    wc.hIcon = large;
    wc.hIconSm = small;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = u"dx";
    if (!RegisterClassExW(&wc)) {
      WNDCLASSEXA wa{};
      wa.cbSize = sizeof(wa);
      wa.style = wc.style;
      wa.lpfnWndProc = dxwndprocdispatch;
      wa.hInstance = dxinstance;
      wa.hIcon = large;
      wa.hIconSm = small;
      wa.hbrBackground = wc.hbrBackground;
      wa.lpszClassName = "dx";
      if (!RegisterClassExA(&wa)) dxerror("ウィンドウを登録できません。");
    }
    // The class outlives its windows: a later start makes its window from it again.
    g_class_registered = true;
  }

  // A menu destroyed since it was set is forgotten.
  if (dxmenu && !IsMenu(dxmenu)) dxmenu = nullptr, dxmenuautohide = false;
  dxmenushown = dxmenu && !dxmenuautohide && !dxparentwindow;
  DWORD style, ex_style;
  RECT r;
  if (dxparentwindow) {
    style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ex_style = 0;
    r = {0, 0, dxscreenwidth, dxscreenheight};
  } else if (dxfullscreen) {
    style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_SYSMENU;
    ex_style = WS_EX_APPWINDOW | WS_EX_TOPMOST;
    r = {0, 0, dxscreenwidth, dxscreenheight};
  } else {
    style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    ex_style = WS_EX_APPWINDOW | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE;
    int sx = GetSystemMetrics(SM_CXSCREEN), sy = GetSystemMetrics(SM_CYSCREEN);
    r.left = (sx - dxscreenwidth) / 2;
    r.top = (sy - dxscreenheight) / 2;
    r.right = r.left + dxscreenwidth;
    r.bottom = r.top + dxscreenheight;
    AdjustWindowRectEx(&r, style, dxmenushown && dxscreenheight < sy, ex_style);
  }
  HWND w = CreateWindowExA(ex_style, "dx", g_title.c_str(), style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, dxparentwindow, dxmenushown ? dxmenu : nullptr, dxinstance, nullptr);
  if (!w) dxerror("ウィンドウを開けません。");
  if (!dxmainwindow) dxmainwindow = w;
  UpdateWindow(w);
}

bool dxinit(const char* title, int width, int height, int depth, bool fullscreen) {
  dxrelease();
  dxparentwindow = nullptr;
  dxownwindow = true;
  dxsetup(title, width, height, depth, fullscreen);
  dxcreatewindow();
  if (!dxddinit()) {
    dxrelease();
    return false;
  }
  dxinitinput();
  dxinitblendmasks();
  dxcls(0);
  return true;
}

bool dxinitwindow(HWND host_window, int width, int height, int depth) {
  dxrelease();
  dxparentwindow = host_window;
  dxownwindow = true;
  HWND top = host_window;
  while (GetParent(top)) top = GetParent(top);
  char title[1000];
  GetWindowTextA(top, title, sizeof(title));
  RECT c{0, 0, 0, 0};
  GetClientRect(host_window, &c);
  if (width == 0) width = c.right;
  if (height == 0) height = c.bottom;
  dxsetup(title, width, height, depth, false);
  dxcreatewindow();
  if (!dxddinit()) return false;
  dxinitinput();
  dxinitblendmasks();
  return true;
}

bool dxinitnowindow(int width, int height, int depth) {
  dxrelease();
  dxparentwindow = nullptr;
  dxownwindow = false;
  dxsetup(nullptr, width, height, depth, false);
  if (!dxddinit()) return false;
  dxinitblendmasks();
  return true;
}

void dxrelease() {
  dxendopenscene();
  for (void (*hook)() : std::vector<void (*)()>(g_release_hooks)) hook();
  dxreleaseinput();
  dxddterm();
  dxfcloseall();
  dxsystempaletteuse(SYSPAL_STATIC);
  dxrestoresyscolors();
  if (dxmainwindow) {
    HWND w = dxmainwindow;
    DestroyWindow(w);
    dxmainwindow = nullptr;
  }
  // An attached menu went with the window; a hidden one stays for the next.
  if (dxmenu && !IsMenu(dxmenu)) dxmenu = nullptr, dxmenuautohide = false;
  dxmenushown = false;
  dxreleasefont();
}

void dxaddreleasehook(void (*hook)()) {
  if (!hook || std::find(g_release_hooks.begin(), g_release_hooks.end(), hook) != g_release_hooks.end()) return;
  g_release_hooks.insert(g_release_hooks.begin(), hook);
}

void dxexit(int code) {
  dxrelease();
  dxexiting = true;
  dxexitcode = code;
  if (dx::dxexceptionmode) throw dx::dx_terminate_exception();
  host::get().exit_process(code, true);
  __builtin_unreachable();
}

WNDPROC dxsetwndproc(WNDPROC proc) {
  WNDPROC old = g_app_proc ? g_app_proc : dxwndproc;
  g_app_proc = proc;
  return old;
}

void dxsetmessageproc(UINT message, WNDPROC proc) {
  if (proc) {
    g_message_map[message] = proc;
  } else {
    g_message_map.erase(message);
  }
}

void dxsetmenucommand(int id, void (*command)()) {
  if (command) {
    g_command_map[id] = command;
  } else {
    g_command_map.erase(id);
  }
}

void dxsetmenu(HMENU menu, bool autohide) {
  // A shown menu destroyed since it was set left the window, which gave its
  // rows to the client area: the client is as it was without them.
  const int gone_bar =
      dxmenushown && !dxmenuautohide && dxmenu && !IsMenu(dxmenu) ? GetSystemMetrics(SM_CYMENU) : 0;
  dxmenu = menu;
  dxmenuautohide = menu && autohide;
  HWND w = dxmainwindow;
  if (!w || dxparentwindow) return;
  // The client rectangle as it is before the bar takes its rows.
  RECT c{0, 0, 0, 0};
  POINT o{0, 0};
  GetClientRect(w, &c);
  ClientToScreen(w, &o);
  c.bottom = std::max<LONG>(0, c.bottom - gone_bar);
  dxmenushown = menu && !autohide;
  SetMenu(w, dxmenushown ? menu : nullptr);
  // A full-screen window has no room to grow: its bar covers the picture's top.
  if (!dxfullscreen) {
    RECT r{o.x, o.y, o.x + c.right, o.y + c.bottom};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)), GetMenu(w) != nullptr,
                       static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE)));
    MoveWindow(w, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
  DrawMenuBar(w);
}

LRESULT dxwndprocdispatch(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (!dxmainwindow) dxmainwindow = w;
  auto it = g_message_map.find(msg);
  if (it != g_message_map.end()) return it->second(w, msg, wp, lp);
  if (g_app_proc) return g_app_proc(w, msg, wp, lp);
  return dxwndproc(w, msg, wp, lp);
}

LRESULT dxwndproc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  const bool unicode = IsWindowUnicode(w);
  auto fallback = [&](LPARAM l) { return unicode ? DefWindowProcW(w, msg, wp, l) : DefWindowProcA(w, msg, wp, l); };
  if (msg == dxmsgqueryautoplay && msg != 0) return dxfullscreen ? 1 : fallback(lp);
  if (msg == dxmsgmswheel && msg != 0) {
    dxwheelaccum += static_cast<int>(wp);
    return fallback(lp);
  }
  switch (msg) {
    case WM_NCDESTROY:
      if (w == dxmainwindow) {
        dxmainwindow = nullptr;
        dxquit = true;
        ChangeDisplaySettingsA(nullptr, 0);
      }
      return fallback(lp);
    case WM_CLOSE: dxquit = true; return 0;
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_SCREENSAVE) return 0;
      if (dxfullscreen && ((wp & 0xFFF0) == SC_MOVE || (wp & 0xFFF0) == SC_SIZE)) return 0;
      return fallback(lp);
    case WM_SETCURSOR:
      if (LOWORD(static_cast<uintptr_t>(lp)) == HTCLIENT) {
        if (GetForegroundWindow() == w) {
          SetCursor(dxcursorshown ? dxcursor : nullptr);
        } else {
          SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        }
        return 1;
      }
      return fallback(lp);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (!dxcursorshown) {
        dxcursorshown = true;
        SetCursor(dxcursor);
      }
      return fallback(lp);
    case WM_MOUSEMOVE:
      if (dxmenu && dxmenuautohide) {
        const int y = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp)));
        if (!dxmenushown && y >= 0 && y < GetSystemMetrics(SM_CYMENU)) {
          dxmenushown = true;
          SetMenu(w, dxmenu);
          DrawMenuBar(w);
        } else if (dxmenushown) {
          // The pointer is in the client area again: it left the bar.
          dxmenushown = false;
          SetMenu(w, nullptr);
        }
      }
      return fallback(lp);
    case WM_ENTERMENULOOP:
      if (dxmenu && dxmenuautohide && !dxmenushown) {
        dxmenushown = true;
        SetMenu(w, dxmenu);
      }
      return fallback(lp);
    case WM_EXITMENULOOP:
      if (dxmenu && dxmenuautohide && dxmenushown) {
        dxmenushown = false;
        SetMenu(w, nullptr);
        dxpresent();
      }
      return fallback(lp);
    case WM_NCHITTEST: dxlasthittest = fallback(lp); return dxlasthittest;
    case WM_MOUSEWHEEL:
      dxwheelaccum += static_cast<int16_t>(HIWORD(wp));
      return fallback(lp);
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
      ValidateRect(w, nullptr);
      if (!dxprimary || !dxbackbuffer) {
        win32::ClearClient(w);
      } else {
        dxpresent();
        dxresetsync();
      }
      return 0;
    case WM_COMMAND:
      if (lp == 0) {
        auto it = g_command_map.find(LOWORD(wp));
        if (it != g_command_map.end()) it->second();
      }
      return fallback(lp);
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        if (EightBitWindowOnEightBitDesktop()) dxsystempaletteuse(SYSPAL_STATIC);
        dxrestoresyscolors();
      } else {
        if (dxscreendepth == 8 && (dxfullscreen || (dxdesktopdepth == 8 && dxownwindow))) dxsetsyscolors();
        if (EightBitWindowOnEightBitDesktop()) dxsystempaletteuse(SYSPAL_NOSTATIC);
        dxpalettepending = true;
      }
      return fallback(lp);
    case WM_QUERYNEWPALETTE:
      dxrealizepalette();
      return 1;
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wp) != w) dxrealizepalette();
      return 0;
    case WM_IME_COMPOSITION: {
      // The result string is queued whole (past the 64-character limit) and the
      // message swallowed, so it does not come again as characters.
      HIMC himc = ImmGetContext(w);
      char16_t result[1000];
      LONG bytes = 0;
      if (himc && (lp & GCS_RESULTSTR)) bytes = ImmGetCompositionStringW(himc, GCS_RESULTSTR, result, sizeof(result));
      if (bytes <= 0) return fallback(lp);
      dxwcharqueue.insert(dxwcharqueue.end(), result, result + bytes / 2);
      return 0;
    }
    case WM_CHAR:
    case WM_IME_CHAR:
      if (msg == WM_IME_CHAR) {
        HIMC himc = ImmGetContext(w);
        if (himc && ImmGetCompositionStringW(himc, GCS_RESULTSTR, nullptr, 0) > 0) return 0;
      }
      if (unicode) {
        char16_t high = static_cast<char16_t>(wp >> 16);
        if (high && dxwcharqueue.size() < kCharQueueLimit) dxwcharqueue.push_back(high);
        if (dxwcharqueue.size() < kCharQueueLimit) dxwcharqueue.push_back(static_cast<char16_t>(wp));
      } else {
        uint8_t lead = static_cast<uint8_t>(wp >> 8), low = static_cast<uint8_t>(wp);
        if (lead && dxcharqueue.size() < kCharQueueLimit) dxcharqueue.push_back(lead);
        if (dxcharqueue.size() < kCharQueueLimit) dxcharqueue.push_back(low);
      }
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!dxkeyboard && wp < 256) {
        dxkeytable[wp] = 0x80;
        dxkeypressed[wp] = 0x80;
        dxkeypumped[wp] = 0x80;
        dxlastkey = static_cast<int>(dxvktodik(static_cast<unsigned>(wp)));
      }
      return fallback(lp);
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (!dxkeyboard && wp < 256) dxkeytable[wp] = 0;
      return fallback(lp);
    case WM_IME_SETCONTEXT:
      return fallback(static_cast<LPARAM>(static_cast<uint32_t>(lp) & 0x7FFFFFFFu));
    default: return fallback(lp);
  }
}

void dxsetcursor(HCURSOR cursor) {
  if (cursor) dxsetswcursor(nullptr, 0, 0, 1, 200);
  dxcursor = cursor;
  if (dxlasthittest == HTCLIENT && dxcursorshown) SetCursor(cursor);
}

void dxsetsyscolors() {
  if (g_saved_sys_count) return;
  int indices[256];
  COLORREF colors[256];
  for (int i = 0; i < 256; ++i) {
    indices[i] = i;
    g_saved_sys_colors[i] = GetSysColor(i);
    COLORREF c = g_saved_sys_colors[i];
    int brightness = 3 * GetRValue(c) + 6 * GetGValue(c) + GetBValue(c);
    colors[i] = brightness < 1280 ? RGB(0, 0, 0) : RGB(255, 255, 255);
  }
  g_saved_sys_count = 256;
  SetSysColors(256, indices, colors);
}

void dxrestoresyscolors() {
  if (!g_saved_sys_count) return;
  int indices[256];
  for (int i = 0; i < 256; ++i) indices[i] = i;
  SetSysColors(g_saved_sys_count, indices, g_saved_sys_colors);
  g_saved_sys_count = 0;
}

void dxhidewindows() { EnumThreadWindows(GetCurrentThreadId(), HideOne, 0); }

namespace {

HANDLE g_mutex = nullptr;
bool g_mutex_tried = false;

void MutexExitHandler() {
  if (!g_mutex) return;
  ReleaseMutex(g_mutex);
  CloseHandle(g_mutex);
  g_mutex = nullptr;
}

}  // namespace

bool dxmutex() {
  if (!g_mutex_tried) {
    g_mutex_tried = true;
    std::atexit(MutexExitHandler);
    g_mutex = CreateMutexA(nullptr, TRUE, "dxmutex");
  }
  return g_mutex == nullptr;
}
