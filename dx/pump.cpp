#include "dx/pump.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <set>
#include <string>

#include "dx/cursor.h"
#include "dx/d3d.h"
#include "dx/display.h"
#include "dx/error.h"
#include "dx/input.h"
#include "dx/midi.h"
#include "dx/shell.h"
#include "dx/target.h"
#include "platform/win32/crt.h"
#include "platform/win32/debug.h"
#include "platform/win32/text.h"
#include "platform/win32/time.h"
#include "platform/win32/window.h"
#include "platform/winmm/time.h"

namespace {

// dxsync's schedule: the time of the next frame (0: not running) and the
// present count the next call expects.
DWORD g_sync_next = 0;
DWORD g_sync_expected = 0xFFFFFFFF;

DWORD g_tick_last = 0;
std::time_t g_tick_second = 0;

// The clock: whole microseconds carried out of the counter's ticks.
struct Clock {
  bool has_counter = false;
  int64_t frequency = 0;
  int64_t base = 0;
  DWORD count = 0;
  DWORD last_ms = 0;
  Clock() {
    LARGE_INTEGER f, c;
    if (QueryPerformanceFrequency(&f) && f.QuadPart > 0 && QueryPerformanceCounter(&c)) {
      has_counter = true;
      frequency = f.QuadPart;
      base = c.QuadPart;
    } else {
      last_ms = timeGetTime();
    }
  }
};
Clock& TheClock() {
  static Clock clock;
  return clock;
}
[[maybe_unused]] const bool g_clock_probed = (TheClock(), true);  // probed at program load

int g_mouse_x = 0, g_mouse_y = 0, g_mouse_wheel = 0;
bool g_buttons[5] = {};
constexpr int kButtonVk[5] = {VK_LBUTTON, VK_MBUTTON, VK_RBUTTON, VK_XBUTTON1, VK_XBUTTON2};

std::set<std::string>* g_pool = nullptr;
void DestroyPool() {
  delete g_pool;
  g_pool = nullptr;
}

}  // namespace

void dxupdate() {
  dxpresent();
  dxpump();
  dxreadkeyboard();
  dxreadmouse();
}

void dxpump() {
  bool resume_midi = false;
  for (;;) {
    const DWORD deadline = timeGetTime() + 100;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        dxquit = true;
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      if (static_cast<int32_t>(timeGetTime() - deadline) > 0) break;
    }
    if (dxquit) break;
    HWND w = dxmainwindow;
    if (w && (IsIconic(w) || !IsWindowEnabled(w))) {
      // A minimised program gives up the MIDI device; the song goes on after.
      if (dxmidiout) {
        if (dxmidiplaying() && !dxmidipaused()) resume_midi = true;
        dxclosemidi();
      }
      WaitMessage();
      continue;
    }
    break;
  }
  if (dxquit && !dxquitblocked) dxexit(0);
  // The menu that the window showed was destroyed: the window goes back to
  // its size without it.
  if (dxmenushown && dxmenu && !IsMenu(dxmenu)) dxsetmenu(nullptr, false);
  if (resume_midi) dxresumemidi();
  dxswcursorpump();
  Sleep(0);
  IDirectDrawSurface* surfaces[] = {dxprimary, dxbackbuffer, dxzbuffer};
  bool lost = false;
  for (IDirectDrawSurface* s : surfaces) {
    if (s && s->GetBltStatus(DDGBS_CANBLT) == DDERR_SURFACELOST) {
      lost = true;
      break;
    }
  }
  if (!lost) return;
  if (dxzbuffer) dxzbuffer->Restore();
  if (dxbackbuffer && dxbackbuffer->Restore() != DD_OK) dxddrestore();
  if (dxprimary) dxprimary->Restore();
  dxrestorelost();
}

void dxreadmouse() {
  if (!dxmainwindow || GetForegroundWindow() != dxmainwindow) {
    for (bool& b : g_buttons) b = false;
    g_mouse_wheel = 0;
    dxwheelaccum = 0;
    return;
  }
  POINT p{0, 0};
  GetCursorPos(&p);
  ScreenToClient(dxmainwindow, &p);
  // The picture's coordinates: where a menu bar covers its top, the client
  // area begins that many rows down the picture.
  const int covered = dxmenuoverlap();
  p.y += covered;
  if (!dxcursorshown && (p.x != g_mouse_x || p.y != g_mouse_y)) dxcursorshown = true;
  g_mouse_x = p.x;
  g_mouse_y = p.y;
  if (p.x >= 0 && p.x < dxscreenwidth && p.y >= covered && p.y < dxscreenheight) {
    for (int i = 0; i < 5; ++i) g_buttons[i] = (GetAsyncKeyState(kButtonVk[i]) & 0x8000) != 0;
    g_mouse_wheel = dxwheelaccum;
    dxwheelaccum = 0;
    if (dxlasthittest == HTCLIENT) SetCursor(dxcursorshown ? dxcursor : nullptr);
  } else {
    // A drag that leaves the window keeps its button until the release.
    for (int i = 0; i < 5; ++i)
      if (g_buttons[i]) g_buttons[i] = (GetAsyncKeyState(kButtonVk[i]) & 0x8000) != 0;
    g_mouse_wheel = 0;
    dxwheelaccum = 0;
  }
}

void dxgetmouse(int* x, int* y, int* left, int* middle, int* right, int* wheel, int* x1, int* x2) {
  if (x) *x = g_mouse_x;
  if (y) *y = g_mouse_y;
  if (left) *left = g_buttons[0];
  if (middle) *middle = g_buttons[1];
  if (right) *right = g_buttons[2];
  if (wheel) *wheel = g_mouse_wheel;
  if (x1) *x1 = g_buttons[3];
  if (x2) *x2 = g_buttons[4];
}

void dxwait(int ms) {
  const DWORD end = timeGetTime() + static_cast<DWORD>(ms);
  for (;;) {
    dxpump();
    dxreadkeyboard();
    dxreadmouse();
    if (static_cast<int32_t>(end - timeGetTime()) <= 0 || dxquit) break;
    Sleep(1);  // the rest of the wait needs no processor
  }
  dxresetsync();
}

bool dxtick(int interval) {
  const DWORD now = dxgettime();
  if (interval == 0) {
    g_tick_last = now;
    dxpump();
    return true;
  }
  if (g_tick_second == 0) {
    g_tick_last = now;
    g_tick_second = std::time(nullptr);
  }
  if (interval < 1) interval = 1;
  // Differences on the wrapping clock, so 2^32 microseconds never stall it.
  const int64_t since = static_cast<int32_t>(now - g_tick_last);
  if (since > interval || since < -static_cast<int64_t>(interval)) {
    g_tick_last = now;
    g_tick_second = std::time(nullptr);
    return true;
  }
  dxpump();
  // Callers wait by asking again: a millisecond's rest keeps that from spinning,
  // and lets a virtual clock move on.
  Sleep(1);
  return false;
}

void dxresetsync() { g_sync_next = 0; }

bool dxsync(int fps) {
  if (fps == 0) return true;
  const DWORD now = dxgettime();
  if (g_sync_next == 0 || dxpresentcount != g_sync_expected) {
    g_sync_expected = dxpresentcount + 1;
    g_sync_next = now ? now : 1;
    return true;
  }
  ++g_sync_expected;
  const int32_t frame = 1000000 / fps;
  g_sync_next += static_cast<DWORD>(frame);
  const int32_t diff = static_cast<int32_t>(now - g_sync_next);
  if (diff < -frame) {
    g_sync_next = now;
    return true;
  }
  if (diff < 0) {
    for (int32_t left; (left = static_cast<int32_t>(g_sync_next - dxgettime())) > 0;) {
      dxpump();
      Sleep(static_cast<DWORD>((left + 999) / 1000));
    }
    return true;
  }
  if (diff <= frame) return true;
  if (timeGetTime() - dxlastpresent > 500) {
    g_sync_next = now;
    return true;
  }
  dxpump();
  g_sync_expected = dxpresentcount;
  return false;
}

DWORD dxgettime() {
  Clock& c = TheClock();
  if (c.has_counter) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int64_t ticks = now.QuadPart - c.base;
    const int64_t us = ticks * 1000000 / c.frequency;
    c.base += us * c.frequency / 1000000;
    c.count += static_cast<DWORD>(us);
  } else {
    const DWORD ms = timeGetTime();
    c.count += (ms - c.last_ms) * 1000;
    c.last_ms = ms;
  }
  return c.count;
}

int dxrand(int n) { return n < 1 ? 0 : rand() % n; }

void dxblockquit() { dxquitblocked = true; }

void dxunblockquit() {
  dxquitblocked = false;
  if (dxquit) dxpump();
}

// The far edges are held in the 32-bit range, which no back buffer reaches.
void dxsetpaintrect(int x, int y, int w, int h) { dxpaintrect = dxrectat(x, y, w, h); }

void dxresetcursor() {
  if (!dxcursorshown) return;
  dxcursorshown = false;
  SetCursor(dxfullscreen ? nullptr : LoadCursorA(nullptr, IDC_ARROW));
}

void dxtrace(const char* format, ...) {
  char text[4096];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof(text), format ? format : "", ap);
  va_end(ap);
  OutputDebugStringA(text);
}

const char* dxinternstring(const char* s) {
  if (!s) dxassertfail("s != 0", __FILE__, __LINE__);
  if (!g_pool) {
    g_pool = new std::set<std::string>();
    std::atexit(DestroyPool);
  }
  return g_pool->insert(s).first->c_str();
}

const char* dxinternstringw(const char16_t* s) {
  if (!s) dxassertfail("s != 0", __FILE__, __LINE__);
  std::string narrow = win32::Utf16ToCp932(s);
  if (narrow.size() >= 1000) narrow.resize(999);
  return dxinternstring(narrow.c_str());
}

bool dxworldtoscreen(const D3DVECTOR& point, int* x, int* y) {
  if (!dxd3ddevice) return false;
  D3DMATRIX view, proj;
  if (FAILED(dxd3ddevice->GetTransform(D3DTRANSFORMSTATE_VIEW, &view)) ||
      FAILED(dxd3ddevice->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &proj)))
    return false;
  auto times = [](const float in[4], const D3DMATRIX& m, float out[4]) {
    const float* r = &m._11;
    for (int c = 0; c < 4; ++c) out[c] = in[0] * r[c] + in[1] * r[4 + c] + in[2] * r[8 + c] + in[3] * r[12 + c];
  };
  const float p[4] = {point.x, point.y, point.z, 1.0f};
  float e[4];
  times(p, view, e);
  if (e[3] < 0.01f) return false;
  const float q[4] = {e[0] / e[3], e[1] / e[3], e[2] / e[3], 1.0f};
  float c[4];
  times(q, proj, c);
  if (c[3] < 0.01f || c[2] < 0.01f) return false;
  const float sx = c[0] / c[3], sy = c[1] / c[3];
  const float h = static_cast<float>(dxviewheight), v = static_cast<float>(dxviewwidth);
  const float fy = (sy - 1.0f) * h / -2.0f, fx = sx * h / 2.0f + v / 2.0f;
  // A point that has no place on the screen plane has no screen position; one
  // far off it is held to the ends of int, still on its own side.
  if (!std::isfinite(fx) || !std::isfinite(fy)) return false;
  auto whole = [](float f) { return static_cast<int>(std::clamp<double>(f, INT_MIN, INT_MAX)); };
  if (y) *y = whole(fy);
  if (x) *x = whole(fx);
  return true;
}
