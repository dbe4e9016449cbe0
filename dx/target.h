// The render target all drawing goes to, its stack, the clip rectangle every
// blit is cut to, and the simple drawing operations.
#pragma once

#include <cstdint>

#include "platform/ddraw/ddraw.h"
#include "platform/win32/types.h"

namespace dx {

struct targetsave {
  IDirectDrawSurface* target;
  LONG left, top, right, bottom;
};

}  // namespace dx

// The current target (holds its own reference) and clip rectangle (right and
// bottom exclusive).
extern IDirectDrawSurface* dxtarget;
extern RECT dxcliprect;

// Pushes the target and clip; `surface` becomes the target (with a reference of
// its own) and the clip its whole area.
void dxpushtargetsurface(IDirectDrawSurface* surface);
// Releases the target and restores the pushed one with its clip; nothing when
// the stack is empty.
void dxpoptarget(bool refresh);
// Entries on the stack.
size_t dxtargetdepth();
void dxresetclip();
void dxsetclip(int x, int y, int width, int height);
// Trims dst to the clip rectangle, moving src's edges with it; true when a
// non-empty destination is left.
bool dxclip(RECT* dst, RECT* src);
// The same for a w x h destination at (x, y) and its source at (sx, sy), in
// 64-bit arithmetic: any 32-bit position and size clips as the rules say. A
// source edge moved past the 32-bit range is held at its end, which no surface
// reaches, so the blit fails as it would have.
bool dxclip(int64_t x, int64_t y, int64_t w, int64_t h, int64_t sx, int64_t sy, RECT* dst, RECT* src);
// A rectangle of any 32-bit position and size, its far edges held in the
// 32-bit range: for fills and tests against the clip, which such an edge
// lies outside of either way.
RECT dxrectat(int64_t x, int64_t y, int64_t w, int64_t h);
bool dxcliptest(RECT* r);
void dxcls(uint32_t value);
void dxrect(int x, int y, int w, int h, uint32_t value, int thickness);
void dxsetpixel(int x, int y, uint32_t value);
uint32_t dxgetpixel(int x, int y);
void dxline(int x0, int y0, int x1, int y1, uint32_t value);
HDC dxgetdc();
void dxreleasedc(HDC dc);
DDSURFACEDESC* dxlocktarget(RECT* rect, DWORD flags);
void dxunlocktarget(DDSURFACEDESC* desc);
