// Windows, window classes and the message queue. The first visible top-level
// window is the host's window: its client area is what the host shows, and the
// host's events arrive as that window's messages (close, activation and focus,
// minimise and restore, paint, keys and characters, mouse and wheel). All
// windows belong to the one thread that pumps messages.
#pragma once

#include "platform/pixels.h"
#include "platform/win32/types.h"

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);

struct WNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
  HICON hIconSm;
};

struct WNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char16_t* lpszMenuName;
  const char16_t* lpszClassName;
  HICON hIconSm;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

// --- Messages ---
constexpr UINT WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005,
               WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A,
               WM_SETTEXT = 0x000C, WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_QUIT = 0x0012,
               WM_ERASEBKGND = 0x0014, WM_SHOWWINDOW = 0x0018, WM_ACTIVATEAPP = 0x001C, WM_SETCURSOR = 0x0020,
               WM_NCCREATE = 0x0081, WM_NCDESTROY = 0x0082, WM_NCHITTEST = 0x0084, WM_NCMOUSEMOVE = 0x00A0,
               WM_NCLBUTTONDOWN = 0x00A1, WM_NCLBUTTONUP = 0x00A2, WM_NCRBUTTONDOWN = 0x00A4,
               WM_NCRBUTTONUP = 0x00A5, WM_NCMBUTTONDOWN = 0x00A7, WM_NCMBUTTONUP = 0x00A8, WM_KEYDOWN = 0x0100,
               WM_KEYUP = 0x0101, WM_CHAR = 0x0102, WM_SYSKEYDOWN = 0x0104, WM_SYSKEYUP = 0x0105,
               WM_SYSCHAR = 0x0106, WM_IME_STARTCOMPOSITION = 0x010D, WM_IME_ENDCOMPOSITION = 0x010E,
               WM_IME_COMPOSITION = 0x010F, WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112, WM_MOUSEMOVE = 0x0200,
               WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203,
               WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_MBUTTONDOWN = 0x0207, WM_MBUTTONUP = 0x0208,
               WM_MOUSEWHEEL = 0x020A, WM_XBUTTONDOWN = 0x020B, WM_XBUTTONUP = 0x020C,
               WM_ENTERMENULOOP = 0x0211, WM_EXITMENULOOP = 0x0212, WM_IME_SETCONTEXT = 0x0281,
               WM_IME_NOTIFY = 0x0282, WM_IME_CHAR = 0x0286, WM_QUERYNEWPALETTE = 0x030F,
               WM_PALETTECHANGED = 0x0311, WM_USER = 0x0400;
constexpr WPARAM SC_SIZE = 0xF000, SC_MOVE = 0xF010, SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030,
                 SC_MOUSEMENU = 0xF090, SC_KEYMENU = 0xF100, SC_CLOSE = 0xF060, SC_RESTORE = 0xF120,
                 SC_SCREENSAVE = 0xF140;
constexpr WPARAM WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2;
constexpr WPARAM SIZE_RESTORED = 0, SIZE_MINIMIZED = 1;
constexpr LRESULT HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2, HTMENU = 5;
constexpr WPARAM MK_LBUTTON = 0x1, MK_RBUTTON = 0x2, MK_SHIFT = 0x4, MK_CONTROL = 0x8, MK_MBUTTON = 0x10,
                 MK_XBUTTON1 = 0x20, MK_XBUTTON2 = 0x40;
constexpr WORD XBUTTON1 = 1, XBUTTON2 = 2;
constexpr int WHEEL_DELTA = 120;
constexpr UINT PM_NOREMOVE = 0, PM_REMOVE = 1;

// --- Styles ---
constexpr DWORD WS_OVERLAPPED = 0x00000000, WS_POPUP = 0x80000000, WS_CHILD = 0x40000000,
                WS_MINIMIZE = 0x20000000, WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000,
                WS_CLIPSIBLINGS = 0x04000000, WS_CLIPCHILDREN = 0x02000000, WS_CAPTION = 0x00C00000,
                WS_BORDER = 0x00800000, WS_DLGFRAME = 0x00400000, WS_SYSMENU = 0x00080000,
                WS_THICKFRAME = 0x00040000, WS_MINIMIZEBOX = 0x00020000, WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_EX_TOPMOST = 0x8, WS_EX_WINDOWEDGE = 0x100, WS_EX_CLIENTEDGE = 0x200,
                WS_EX_APPWINDOW = 0x40000;
constexpr UINT CS_VREDRAW = 0x1, CS_HREDRAW = 0x2, CS_DBLCLKS = 0x8, CS_OWNDC = 0x20;
constexpr int GWL_STYLE = -16, GWL_EXSTYLE = -20;
constexpr int GCL_HICON = -14, GCL_HICONSM = -34;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

// --- ShowWindow, SetWindowPos ---
constexpr int SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3, SW_SHOW = 5,
              SW_MINIMIZE = 6, SW_SHOWNA = 8, SW_RESTORE = 9;
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<intptr_t>(-2));
constexpr UINT SWP_NOSIZE = 0x1, SWP_NOMOVE = 0x2, SWP_NOZORDER = 0x4, SWP_NOACTIVATE = 0x10,
               SWP_SHOWWINDOW = 0x40;

// --- System metrics, cursors, icons, virtual keys ---
constexpr int SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CYCAPTION = 4, SM_CXBORDER = 5, SM_CYBORDER = 6,
              SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CYMENU = 15, SM_CXEDGE = 45, SM_CYEDGE = 46;
inline const char* const IDC_ARROW = reinterpret_cast<const char*>(static_cast<uintptr_t>(32512));
inline const char* const IDI_APPLICATION = reinterpret_cast<const char*>(static_cast<uintptr_t>(32512));
constexpr int VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_MBUTTON = 0x04, VK_XBUTTON1 = 0x05, VK_XBUTTON2 = 0x06,
              VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
              VK_MENU = 0x12, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
              VK_DOWN = 0x28, VK_F1 = 0x70, VK_F4 = 0x73, VK_F10 = 0x79, VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1,
              VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3, VK_LMENU = 0xA4, VK_RMENU = 0xA5;
// Entries of the system colour table (indices 0 to 255 are kept).
constexpr int COLOR_WINDOW = 5, COLOR_WINDOWTEXT = 8, COLOR_BTNFACE = 15;

ATOM RegisterClassExA(const WNDCLASSEXA* wc);
ATOM RegisterClassExW(const WNDCLASSEXW* wc);
BOOL UnregisterClassA(const char* name, HINSTANCE instance);
HWND CreateWindowExA(DWORD ex_style, const char* class_name, const char* title, DWORD style, int x, int y,
                     int w, int h, HWND parent, HMENU menu, HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND w);
BOOL IsWindow(HWND w);
BOOL IsWindowUnicode(HWND w);
LRESULT DefWindowProcA(HWND w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT DefWindowProcW(HWND w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT CallWindowProcA(WNDPROC proc, HWND w, UINT msg, WPARAM wp, LPARAM lp);

BOOL ShowWindow(HWND w, int cmd);
BOOL UpdateWindow(HWND w);
BOOL IsIconic(HWND w);
BOOL IsWindowVisible(HWND w);
BOOL IsWindowEnabled(HWND w);
BOOL EnableWindow(HWND w, BOOL enable);
HWND GetParent(HWND w);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND w);
HWND GetFocus();
int GetWindowTextA(HWND w, char* out, int size);
BOOL SetWindowTextA(HWND w, const char* text);
LONG GetWindowLongA(HWND w, int index);
LONG SetWindowLongA(HWND w, int index, LONG value);
// A class value of the window's class: GCL_HICON and GCL_HICONSM only. Values
// are pointer-sized here, so that a handle fits; the old value, 0 on failure.
DWORD_PTR SetClassLongA(HWND w, int index, LONG_PTR value);
BOOL GetClientRect(HWND w, RECT* r);
BOOL GetWindowRect(HWND w, RECT* r);
BOOL ClientToScreen(HWND w, POINT* p);
BOOL ScreenToClient(HWND w, POINT* p);
BOOL MoveWindow(HWND w, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND w, HWND after, int x, int y, int width, int height, UINT flags);
BOOL AdjustWindowRectEx(RECT* r, DWORD style, BOOL menu, DWORD ex_style);
int GetSystemMetrics(int index);
BOOL InvalidateRect(HWND w, const RECT* r, BOOL erase);
BOOL ValidateRect(HWND w, const RECT* r);
BOOL EnumThreadWindows(DWORD thread, WNDENUMPROC proc, LPARAM param);
DWORD GetCurrentThreadId();
// A window of its own (not a child) shows its menu as a bar above the client
// area: the window keeps its rectangle and the client area gives up the bar's
// height (SM_CYMENU), as AdjustWindowRectEx counts it. The menu goes with the
// window when it is destroyed. Menus themselves: platform/win32/menu.h.
BOOL SetMenu(HWND w, HMENU menu);
HMENU GetMenu(HWND w);
// Shows the bar again as the menu now stands.
BOOL DrawMenuBar(HWND w);

// Messages.
BOOL PeekMessageA(MSG* msg, HWND w, UINT min, UINT max, UINT remove);
BOOL GetMessageA(MSG* msg, HWND w, UINT min, UINT max);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT SendMessageA(HWND w, UINT msg, WPARAM wp, LPARAM lp);
void PostQuitMessage(int code);
BOOL WaitMessage();
UINT RegisterWindowMessageA(const char* name);

// Cursor, keys, icons, system colours.
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HCURSOR SetCursor(HCURSOR cursor);
int ShowCursor(BOOL show);
BOOL GetCursorPos(POINT* p);
SHORT GetAsyncKeyState(int vk);
SHORT GetKeyState(int vk);
HICON LoadIconA(HINSTANCE instance, const char* name);
UINT ExtractIconExA(const char* file, int index, HICON* large, HICON* small, UINT count);
DWORD GetSysColor(int index);
BOOL SetSysColors(int count, const int* indices, const COLORREF* colors);

namespace host {
struct Event;
}

namespace win32 {

// Sees every host event before it becomes a message (DirectInput reads keys this way).
using HostEventListener = void (*)(const host::Event&);
void AddHostEventListener(HostEventListener l);
// Sees committed text before it becomes WM_CHAR messages; true claims it (the
// input method manager delivers its results itself).
using HostTextFilter = bool (*)(HWND w, const host::Event&);
void SetHostTextFilter(HostTextFilter f);
// The window the host shows (null when none is open).
HWND HostWindow();
// Host scancode (USB HID usage) to virtual-key code; 0 for keys without one.
int ScancodeToVk(int scancode);
// Shows black in the window's client area (a window with nothing to paint yet).
void ClearClient(HWND w);
// Shows the `src` part of the pixels (any depth; 8 bits through their palette)
// stretched over the whole client area, as a copy to the window's device context
// would, or over `dst` in client coordinates (its top may lie under the menu
// bar); false when the window is not the host's or a rectangle is empty.
bool ShowInClient(HWND w, const platform::PixelBuffer& pixels, const RECT& src, const RECT* dst = nullptr);
// The part of a window that the host shows, in screen coordinates: the client
// area and the menu bar above it. False for a window that is not the host's.
bool WindowArea(HWND w, RECT* r);
// Shows a picture of the window's area (w x h pixels of 0x00RRGGBB, the rows of
// the menu bar included): the window draws its bar and open menu over it. The
// picture is kept, so the bar can be drawn again without a new one.
void ShowArea(HWND w, const uint32_t* pixels, int width, int height);
// Shows the kept picture again with the bar and menu as they are now.
void RepaintWindow(HWND w);

}  // namespace win32
