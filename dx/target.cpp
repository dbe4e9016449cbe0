#include "dx/target.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "dx/color.h"
#include "dx/d3d.h"
#include "dx/display.h"
#include "dx/pixelformat.h"
#include "platform/d3d/line_walk.h"
#include "platform/gdi/gdi.h"
#include "platform/pixels.h"
#include "platform/win32/time.h"

IDirectDrawSurface* dxtarget = nullptr;
RECT dxcliprect{0, 0, 640, 480};

namespace {

std::vector<dx::targetsave> g_stack;

HRESULT FillRect(RECT r, uint32_t value) {
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = value;
  return dxtarget->Blt(&r, nullptr, nullptr, DDBLT_WAIT | DDBLT_COLORFILL | DDBLT_ASYNC, &fx);
}

void FillClipped(RECT r, uint32_t value) {
  if (dxcliptest(&r)) FillRect(r, value);
}

}  // namespace

void dxpushtargetsurface(IDirectDrawSurface* surface) {
  if (!surface) return;
  g_stack.push_back({dxtarget, dxcliprect.left, dxcliprect.top, dxcliprect.right, dxcliprect.bottom});
  dxtarget = surface;
  dxtarget->AddRef();
  dxresetclip();
}

void dxpoptarget(bool refresh) {
  // A pop without its push would leave no target at all.
  if (g_stack.empty()) return;
  if (dxtarget) {
    if (refresh && dxhooks.refreshbitmapcopy) dxhooks.refreshbitmapcopy(dxtarget);
    dxtarget->Release();
  }
  const dx::targetsave& s = g_stack.back();
  dxtarget = s.target;
  dxcliprect = {s.left, s.top, s.right, s.bottom};
  g_stack.pop_back();
}

size_t dxtargetdepth() { return g_stack.size(); }

void dxresetclip() {
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  if (dxtarget && dxtarget->GetSurfaceDesc(&d) == DD_OK) {
    dxcliprect = {0, 0, static_cast<LONG>(d.dwWidth), static_cast<LONG>(d.dwHeight)};
  } else {
    dxcliprect = {0, 0, 0, 0};
  }
}

void dxsetclip(int x, int y, int width, int height) {
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  int64_t w = 0, h = 0;
  if (dxtarget && dxtarget->GetSurfaceDesc(&d) == DD_OK) w = d.dwWidth, h = d.dwHeight;
  // Right and bottom are held in 64 bits until they are cut to the target: one
  // below the int range is held at its end, not wrapped onto the screen, and
  // the clip stays empty.
  const int64_t right = std::min<int64_t>(int64_t{x} + width, w), bottom = std::min<int64_t>(int64_t{y} + height, h);
  dxcliprect = {std::max(x, 0), std::max(y, 0), static_cast<LONG>(std::max<int64_t>(right, INT32_MIN)),
                static_cast<LONG>(std::max<int64_t>(bottom, INT32_MIN))};
}

namespace {

LONG Held(int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Edges as wide numbers, so that moving one by another's distance cannot wrap.
struct WideRect {
  int64_t left, top, right, bottom;
};

bool ClipWide(WideRect& d, WideRect& s, RECT* dst, RECT* src) {
  const RECT& c = dxcliprect;
  if (d.right > c.right) s.right += c.right - d.right, d.right = c.right;
  if (d.bottom > c.bottom) s.bottom += c.bottom - d.bottom, d.bottom = c.bottom;
  if (d.left < c.left) s.left += c.left - d.left, d.left = c.left;
  if (d.top < c.top) s.top += c.top - d.top, d.top = c.top;
  *dst = {Held(d.left), Held(d.top), Held(d.right), Held(d.bottom)};
  *src = {Held(s.left), Held(s.top), Held(s.right), Held(s.bottom)};
  return d.left < d.right && d.top < d.bottom;
}

}  // namespace

bool dxclip(RECT* dst, RECT* src) {
  WideRect d{dst->left, dst->top, dst->right, dst->bottom}, s{src->left, src->top, src->right, src->bottom};
  return ClipWide(d, s, dst, src);
}

bool dxclip(int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx, int64_t sy, RECT* dst, RECT* src) {
  WideRect d{x, y, x + w, y + h}, s{sx, sy, sx + w, sy + h};
  return ClipWide(d, s, dst, src);
}

RECT dxrectat(int64_t x, int64_t y, int64_t w, int64_t h) { return RECT{Held(x), Held(y), Held(x + w), Held(y + h)}; }

bool dxcliptest(RECT* r) {
  RECT out{std::max(r->left, dxcliprect.left), std::max(r->top, dxcliprect.top),
           std::min(r->right, dxcliprect.right), std::min(r->bottom, dxcliprect.bottom)};
  if (out.left >= out.right || out.top >= out.bottom) {
    *r = {0, 0, 0, 0};
    return false;
  }
  *r = out;
  return true;
}

void dxcls(uint32_t value) {
  if (!dxtarget) return;
  if (dxcliprect.left >= dxcliprect.right || dxcliprect.top >= dxcliprect.bottom) return;
  if (FillRect(dxcliprect, value) != DD_OK) {
    dxtarget->Restore();
    FillRect(dxcliprect, value);
  }
}

void dxrect(int x, int y, int w, int h, uint32_t value, int t) {
  if (!dxtarget) return;
  const int64_t r = int64_t{x} + w, b = int64_t{y} + h;
  FillClipped(dxrectat(x, y, w, t), value);
  FillClipped(dxrectat(x, b - t, w, t), value);
  FillClipped(dxrectat(x, int64_t{y} + t, t, h - 2 * int64_t{t}), value);
  FillClipped(dxrectat(r - t, int64_t{y} + t, t, h - 2 * int64_t{t}), value);
}

void dxsetpixel(int x, int y, uint32_t value) {
  if (!dxtarget) return;
  if (x < dxcliprect.left || x >= dxcliprect.right || y < dxcliprect.top || y >= dxcliprect.bottom) return;
  FillRect({x, y, x + 1, y + 1}, value);
}

uint32_t dxgetpixel(int x, int y) {
  RECT r = dxrectat(x, y, 1, 1);
  DDSURFACEDESC* d = dxlocktarget(&r, DDLOCK_WAIT | DDLOCK_READONLY);
  if (!d) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(d->lpSurface);
  const int bytes = static_cast<int>(d->ddpfPixelFormat.dwRGBBitCount / 8);
  uint32_t v = platform::LoadPixel(p, bytes);
  if (bytes == 2) v &= dx::dxpixelformat.allmask;
  dxunlocktarget(d);
  return v;
}

void dxline(int x0, int y0, int x1, int y1, uint32_t value) {
  // The device draws into the back buffer, so it serves only while that is the target.
  if (dxd3ddevice && dxtarget && dxtarget == dxbackbuffer) {
    const COLORREF c = dxpixelrgb(value);
    const D3DCOLOR color = 0xFF000000u | static_cast<D3DCOLOR>(GetRValue(c)) << 16 |
                           static_cast<D3DCOLOR>(GetGValue(c)) << 8 | GetBValue(c);
    auto vertex = [color](int64_t x, int64_t y) {
      D3DTLVERTEX p{};
      p.sx = static_cast<D3DVALUE>(x), p.sy = static_cast<D3DVALUE>(y);
      p.sz = 0.5f, p.rhw = 0.5f, p.color = color;
      return p;
    };
    // A float holds every int up to 2^24 exactly. A line with an end beyond
    // that would reach the device moved, so its pixels inside the back buffer
    // are walked here, by the device's own rule, and drawn as points.
    constexpr int64_t kExact = int64_t{1} << 24;
    const bool exact = std::max({std::abs(int64_t{x0}), std::abs(int64_t{y0}), std::abs(int64_t{x1}),
                                 std::abs(int64_t{y1})}) <= kExact;
    std::vector<D3DTLVERTEX> v;
    if (exact) {
      v = {vertex(x0, y0), vertex(x1, y1)};
    } else {
      DDSURFACEDESC d{};
      d.dwSize = sizeof(d);
      DWORD last = 0;
      if (dxtarget->GetSurfaceDesc(&d) != DD_OK ||
          dxd3ddevice->GetRenderState(D3DRENDERSTATE_LASTPIXEL, &last) != D3D_OK)
        return;
      platform::WalkDeviceLine(x0, y0, x1, y1, last != 0, 0, 0, d.dwWidth, d.dwHeight,
                               [&](int64_t x, int64_t y, int64_t) { v.push_back(vertex(x, y)); });
      if (v.empty()) return;
    }
    dxd3ddevice->BeginScene();
    dxsetrenderstate(D3DRENDERSTATE_ZENABLE, 0);
    dxsetrenderstate(D3DRENDERSTATE_ZWRITEENABLE, 0);
    dxsetrenderstate(D3DRENDERSTATE_TEXTUREHANDLE, 0);
    dxsetrenderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
    dxsetrenderstate(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    dxsetrenderstate(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO);
    dxd3ddevice->DrawPrimitive(exact ? D3DPT_LINESTRIP : D3DPT_POINTLIST, D3DVT_TLVERTEX, v.data(),
                               static_cast<DWORD>(v.size()), 0);
    if (dxddcaps.dwCaps2 & DDCAPS2_NO2DDURING3DSCENE) dxd3ddevice->EndScene();
    return;
  }
  // Bresenham in 64 bits, entered where the line meets the clip rectangle:
  // a line across the whole int range draws its visible part at once.
  const int64_t dx = std::abs(int64_t{x0} - x1), dy = std::abs(int64_t{y0} - y1);
  if (dy < dx) {
    if (x1 < x0) std::swap(x0, x1), std::swap(y0, y1);
    platform::WalkLine(x0, y0, x1, y1 > y0 ? 1 : -1, dx, dy, dx / 2, dxcliprect.left, dxcliprect.right,
                       [value](int64_t x, int64_t y) { dxsetpixel(static_cast<int>(x), static_cast<int>(y), value); });
  } else {
    if (y1 < y0) std::swap(x0, x1), std::swap(y0, y1);
    platform::WalkLine(y0, x0, y1, x1 > x0 ? 1 : -1, dy, dx, dy / 2, dxcliprect.top, dxcliprect.bottom,
                       [value](int64_t y, int64_t x) { dxsetpixel(static_cast<int>(x), static_cast<int>(y), value); });
  }
}

HDC dxgetdc() {
  if (!dxtarget) return nullptr;
  if (dxd3ddevice) dxd3ddevice->EndScene();
  while (dxtarget->GetBltStatus(DDGBS_ISBLTDONE) == DDERR_WASSTILLDRAWING) Sleep(0);
  HDC dc = nullptr;
  if (dxtarget->GetDC(&dc) != DD_OK || !dc) return nullptr;
  SelectClipRgn(dc, nullptr);
  IntersectClipRect(dc, dxcliprect.left, dxcliprect.top, dxcliprect.right, dxcliprect.bottom);
  if (dxscreendepth == 8 && dxgdipalette) SelectPalette(dc, dxgdipalette, TRUE);
  return dc;
}

void dxreleasedc(HDC dc) {
  if (!dc || !dxtarget) return;
  SelectClipRgn(dc, nullptr);
  dxtarget->ReleaseDC(dc);
}

DDSURFACEDESC* dxlocktarget(RECT* rect, DWORD flags) {
  if (!dxtarget) return nullptr;
  auto* d = new DDSURFACEDESC{};
  d->dwSize = sizeof(DDSURFACEDESC);
  if (dxtarget->Lock(rect, d, flags | DDLOCK_WAIT, nullptr) != DD_OK) {
    delete d;
    return nullptr;
  }
  return d;
}

void dxunlocktarget(DDSURFACEDESC* desc) {
  if (!desc) return;
  if (dxtarget) dxtarget->Unlock(desc->lpSurface);
  delete desc;
}
