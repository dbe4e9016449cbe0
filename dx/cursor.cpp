#include "dx/cursor.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "dx/blit.h"
#include "dx/capture.h"
#include "dx/display.h"
#include "dx/shell.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"
#include "platform/win32/handle.h"
#include "platform/win32/time.h"
#include "platform/win32/window.h"
#include "platform/winmm/time.h"

CRITICAL_SECTION dxcursorlock = [] {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  return cs;
}();

namespace {

dx::bitmap* g_bitmap = nullptr;
int g_hot_x = 0, g_hot_y = 0;
int g_frames = 1, g_frame_ms = 200;
DWORD g_start = 0;
int g_frame_w = 0, g_frame_h = 0;
IDirectDrawSurface* g_cursor_surface = nullptr;
IDirectDrawSurface* g_save_surface = nullptr;
bool g_drawn = false;
RECT g_saved_dst{}, g_saved_src{};
int g_last_frame = 0;
POINT g_mouse{-1, -1};
HANDLE g_thread = nullptr;
std::atomic<bool> g_stop{false};
std::atomic<bool> g_pass_due{false};

void ReleaseSurfaces() {
  if (g_cursor_surface) g_cursor_surface->Release();
  if (g_save_surface) g_save_surface->Release();
  g_cursor_surface = g_save_surface = nullptr;
}

int CurrentFrame() { return static_cast<int>((timeGetTime() - g_start) / g_frame_ms % g_frames); }

// The client area in screen coordinates, as wide and high as the screen, less
// the rows of the picture that a menu bar covers.
RECT ClientArea() {
  POINT origin{0, 0};
  if (dxmainwindow) ClientToScreen(dxmainwindow, &origin);
  RECT r{origin.x, origin.y, origin.x + dxscreenwidth, origin.y + dxscreenheight};
  r.bottom -= dxmenuoverlap();
  return r;
}

// Screen to back-buffer coordinates: the picture starts under a bar that covers it.
RECT ToBack(const RECT& screen) {
  const RECT area = ClientArea();
  const int top = area.top - dxmenuoverlap();
  return {screen.left - area.left, screen.top - top, screen.right - area.left, screen.bottom - top};
}

// The cursor's rectangle at the mouse, trimmed to the client area with the source
// trimmed alike; false when nothing is left or the mouse is outside.
bool CursorRects(POINT mouse, RECT* dst, RECT* src) {
  RECT area = ClientArea();
  if (mouse.x < area.left || mouse.x >= area.right || mouse.y < area.top || mouse.y >= area.bottom) return false;
  // In 64 bits: a hot spot anywhere in the int range puts the cursor off the area, not around it.
  const int64_t left = int64_t{mouse.x} - g_hot_x, top = int64_t{mouse.y} - g_hot_y;
  int64_t d[4] = {left, top, left + g_frame_w, top + g_frame_h};
  int64_t s[4] = {0, 0, g_frame_w, g_frame_h};
  if (d[0] < area.left) s[0] += area.left - d[0], d[0] = area.left;
  if (d[1] < area.top) s[1] += area.top - d[1], d[1] = area.top;
  if (d[2] > area.right) s[2] -= d[2] - area.right, d[2] = area.right;
  if (d[3] > area.bottom) s[3] -= d[3] - area.bottom, d[3] = area.bottom;
  if (d[2] <= d[0] || d[3] <= d[1]) return false;
  // What is left lies within the area and the frame.
  *dst = {static_cast<LONG>(d[0]), static_cast<LONG>(d[1]), static_cast<LONG>(d[2]), static_cast<LONG>(d[3])};
  *src = {static_cast<LONG>(s[0]), static_cast<LONG>(s[1]), static_cast<LONG>(s[2]), static_cast<LONG>(s[3])};
  return true;
}

IDirectDrawSurface* PlainSurface(int w, int h) {
  if (!dxdd) return nullptr;
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  d.dwWidth = static_cast<DWORD>(std::max(1, w));
  d.dwHeight = static_cast<DWORD>(std::max(1, h));
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface* s = nullptr;
  if (dxdd->CreateSurface(&d, &s, nullptr) != DD_OK) return nullptr;
  DDCOLORKEY key{0, 0};
  s->SetColorKey(DDCKEY_SRCBLT, &key);
  s->SetColorKey(DDCKEY_DESTBLT, &key);
  return s;
}

// The thread keeps the cursor's time only: every 10 ms it marks a pass due,
// and the pump makes it on the main thread, which alone may touch the screen,
// the window and the host.
DWORD CursorThread(void*) {
  while (!g_stop) {
    Sleep(10);
    if (g_stop) break;
    g_pass_due = true;
  }
  return 0;
}

void StopThread() {
  if (!g_thread) return;
  g_stop = true;
  WaitForSingleObject(g_thread, INFINITE);
  CloseHandle(g_thread);
  g_thread = nullptr;
  g_pass_due = false;
}

}  // namespace

bool dxswcursorset() { return g_bitmap != nullptr; }

void dxsetswcursor(dx::bitmap* bitmap, int hot_x, int hot_y, int frames, int frame_ms) {
  if (bitmap == g_bitmap) return;
  if (bitmap) dxsetcursor(nullptr);
  EnterCriticalSection(&dxcursorlock);
  dxeraseswcursor();
  ReleaseSurfaces();
  g_bitmap = bitmap;
  g_hot_x = hot_x;
  g_hot_y = hot_y;
  // Both are divisors of the frame computation.
  g_frames = std::max(1, frames);
  g_frame_ms = std::max(1, frame_ms);
  g_start = timeGetTime();
  // Drawn where the mouse is now, not where an earlier cursor last saw it.
  GetCursorPos(&g_mouse);
  if (bitmap) dxmakecursorsurfaces();
  dxdrawswcursor();
  LeaveCriticalSection(&dxcursorlock);
  if (!bitmap) {
    StopThread();
  } else if (!g_thread) {
    g_stop = false;
    g_thread = CreateThread(nullptr, 0, CursorThread, nullptr, 0, nullptr);
  }
}

void dxswcursorpump() {
  if (!g_pass_due.exchange(false) || !g_bitmap) return;
  POINT p{0, 0};
  GetCursorPos(&p);
  EnterCriticalSection(&dxcursorlock);
  if (p.x != g_mouse.x || p.y != g_mouse.y) {
    dxeraseswcursor();
    g_mouse = p;
    dxdrawswcursor();
  } else if (g_frames > 1 && CurrentFrame() != g_last_frame) {
    dxeraseswcursor();
    dxdrawswcursor();
  }
  LeaveCriticalSection(&dxcursorlock);
}

void dxmakecursorsurfaces() {
  ReleaseSurfaces();
  if (!g_bitmap) return;
  g_frame_w = std::max(1, g_bitmap->width / g_frames);
  g_frame_h = g_bitmap->height;
  g_cursor_surface = PlainSurface(g_bitmap->width, g_bitmap->height);
  if (!g_cursor_surface) return;
  HDC dst = nullptr;
  if (g_cursor_surface->GetDC(&dst) == DD_OK) {
    HDC src = dxgetbitmapdc(g_bitmap, false);
    if (src) {
      StretchBlt(dst, 0, 0, g_bitmap->width, g_bitmap->height, src, 0, 0, g_bitmap->width, g_bitmap->height,
                 SRCCOPY);
      dxreleasebitmapdc(g_bitmap, src);
    }
    g_cursor_surface->ReleaseDC(dst);
  }
  g_save_surface = PlainSurface(g_frame_w, g_frame_h);
}

void dxdrawswcursor() {
  if (g_drawn || !g_cursor_surface || !g_save_surface || !dxprimary) return;
  if (!dxmainwindow || GetForegroundWindow() != dxmainwindow) return;
  RECT dst, src;
  if (!CursorRects(g_mouse, &dst, &src)) return;
  g_last_frame = CurrentFrame();
  RECT shown = src;
  shown.left += g_last_frame * g_frame_w;
  shown.right += g_last_frame * g_frame_w;
  g_save_surface->BltFast(src.left, src.top, dxprimary, &dst, DDBLTFAST_WAIT);
  g_saved_dst = dst;
  g_saved_src = src;
  dxprimary->Blt(&dst, g_cursor_surface, &shown, DDBLT_WAIT | DDBLT_KEYSRC, nullptr);
  g_drawn = true;
}

void dxeraseswcursor() {
  if (!g_drawn || !g_save_surface || !dxprimary) return;
  dxprimary->Blt(&g_saved_dst, g_save_surface, &g_saved_src, DDBLT_WAIT, nullptr);
  g_drawn = false;
}

void dxdrawswcursorback() {
  if (!g_bitmap || !g_cursor_surface || !g_save_surface || !dxbackbuffer) return;
  if (!dxfullscreen && dxscreendepth != dxdesktopdepth) return;
  RECT dst, src;
  if (!CursorRects(g_mouse, &dst, &src)) return;
  RECT back = ToBack(dst);
  g_save_surface->Blt(&src, dxbackbuffer, &back, DDBLT_WAIT | DDBLT_ASYNC, nullptr);
  g_last_frame = CurrentFrame();
  RECT shown = src;
  shown.left += g_last_frame * g_frame_w;
  shown.right += g_last_frame * g_frame_w;
  dxbackbuffer->Blt(&back, g_cursor_surface, &shown, DDBLT_WAIT | DDBLT_KEYSRC | DDBLT_ASYNC, nullptr);
  g_saved_dst = dst;
  g_saved_src = src;
  g_drawn = true;
}

bool dxswcursorbeforepresent() {
  if (!g_bitmap) return false;
  EnterCriticalSection(&dxcursorlock);
  // The copy covers whatever the cursor had drawn on the screen.
  g_drawn = false;
  if ((dxfullscreen || dxscreendepth == dxdesktopdepth) && dxmainwindow &&
      GetForegroundWindow() == dxmainwindow) {
    GetCursorPos(&g_mouse);
    dxdrawswcursorback();
    return g_drawn;
  }
  return false;
}

void dxswcursorafterpresent(bool drawn_back) {
  if (drawn_back) {
    // The back buffer gets back what the cursor covered: the save surface holds it.
    RECT back = ToBack(g_saved_dst);
    dxbackbuffer->Blt(&back, g_save_surface, &g_saved_src, DDBLT_WAIT, nullptr);
    LeaveCriticalSection(&dxcursorlock);
    return;
  }
  if (!g_bitmap) return;
  GetCursorPos(&g_mouse);
  dxdrawswcursor();
  LeaveCriticalSection(&dxcursorlock);
}
