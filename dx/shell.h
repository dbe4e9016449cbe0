// The application shell: the process's set-up and end, the main window and its
// procedure, and the release of everything the layer holds.
#pragma once

#include <deque>
#include <string>

#include "platform/win32/menu.h"
#include "platform/win32/types.h"
#include "platform/win32/window.h"

struct GUID;
struct IUnknown;
struct IDirectDraw;
struct IDirectInputW;

// The main window: the owner of every message box; null while none exists.
HWND dxgetwindow();
// The window title (CP932; "dx" when none was given) and its wide copy.
const char* dxgettitle();
const char16_t* dxgettitlew();

// Starts the layer in a window of its own: releases any earlier start, sets up,
// makes the window and the display. False when the display could not be made.
bool dxinit(const char* title, int width, int height, int depth, bool fullscreen);
// Starts it in a child window of `host` (0 sizes take the host's client size).
bool dxinitwindow(HWND host, int width, int height, int depth);
// Starts it without a window.
bool dxinitnowindow(int width, int height, int depth);
void dxsetup(const char* title, int width, int height, int depth, bool fullscreen);
// Whether the layer takes the process's abnormal ends: its first set-up puts
// its own abort signal and terminate handlers in place, and a stop puts the
// default abort back before it ends. The layer answers yes; a program whose
// driver reports those ends itself (every fuzz target) links a definition of
// its own that answers no.
bool dxownsfatalends();
void dxcreatewindow();
// Releases everything; safe to call again.
void dxrelease();
// Adds a function to the front of the release hooks (once).
void dxaddreleasehook(void (*hook)());
[[noreturn]] void dxexit(int code);

WNDPROC dxsetwndproc(WNDPROC proc);
void dxsetmessageproc(UINT message, WNDPROC proc);
// The function a menu command runs (null removes it).
void dxsetmenucommand(int id, void (*command)());
// The window's menu (null: none). An auto-hidden menu shows only while the
// pointer is within the bar's height of the top, and while it is open; a menu
// that always shows makes the window taller so the client area keeps its size.
void dxsetmenu(HMENU menu, bool autohide);
LRESULT dxwndproc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT dxwndprocdispatch(HWND w, UINT msg, WPARAM wp, LPARAM lp);
void dxsetcursor(HCURSOR cursor);
void dxsetsyscolors();
void dxrestoresyscolors();
void dxhidewindows();
// The process's handle to the mutex named "dxmutex", made on the first call (and
// released and closed at exit); true when it could not be made.
bool dxmutex();

// The executable's folder as the working directory: `path` cut after its last
// "\" (kept when it is the first, as in a drive root), without a trailing
// "\Release" or "\Debug" (any case).
std::string dxexefolder(const char* path);

// --- State shared by the layer's areas ---
extern HWND dxmainwindow;
extern HWND dxparentwindow;
extern HINSTANCE dxinstance;
extern bool dxownwindow;      // false after dxinitnowindow
extern bool dxquit;           // set by close and by the window's end
extern bool dxquitblocked;
extern bool dxexiting;
extern int dxexitcode;
extern HCURSOR dxcursor;      // the client area's cursor (null: none)
extern HMENU dxmenu;          // the menu set by dxsetmenu (null: none)
extern bool dxmenuautohide;
extern bool dxmenushown;      // attached to the window now
extern bool dxcursorshown;    // the mouse moved or clicked since the last key
extern LRESULT dxlasthittest;
extern int dxwheelaccum;
extern UINT dxmsgqueryautoplay;  // "QueryCancelAutoPlay"
extern UINT dxmsgmswheel;        // "MSWHEEL_ROLLMSG"
// Characters typed into the window, for text entry.
extern std::deque<uint8_t> dxcharqueue;
extern std::deque<char16_t> dxwcharqueue;
constexpr size_t kCharQueueLimit = 64;

// The entry points bound at start-up; null when the library is not available.
extern HRESULT (*dxDirectDrawCreate)(GUID*, IDirectDraw**, IUnknown*);
extern HRESULT (*dxDirectInputCreateW)(HINSTANCE, DWORD, IDirectInputW**, IUnknown*);
