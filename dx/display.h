// The screen: the DirectDraw object, the primary surface with its clipper, the
// back buffer that everything draws into, the 8-bit palette, window and full
// screen, video or system memory, lost surfaces, and the present of a frame.
#pragma once

#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"
#include "platform/win32/types.h"

extern IDirectDraw* dxdd;
extern DDCAPS dxddcaps;  // dwSize 364, 316, or 0 when neither was accepted
extern IDirectDrawSurface* dxprimary;
extern IDirectDrawClipper* dxclipper;
extern IDirectDrawSurface* dxbackbuffer;
extern DDSURFACEDESC dxbackdesc;     // read back after the back buffer was made
extern IDirectDrawSurface* dxzbuffer;  // made by the 3-D device; restored here
extern int dxscreenwidth, dxscreenheight, dxscreendepth;
extern int dxviewwidth, dxviewheight;  // the 3-D viewport
extern int dxdesktopdepth;
extern bool dxfullscreen;
extern bool dxvram;  // surfaces in video memory; cleared when none can be had
extern DWORD dxeffectflags;  // derived from the 3-D device; 0 without one
extern PALETTEENTRY dxpalette[256];
extern RGBQUAD dxpalettebgr[256];
extern PALETTEENTRY dxdefaultpalette[256];
extern IDirectDrawPalette* dxddpalette;
extern HPALETTE dxgdipalette;       // 8 bits only
extern HPALETTE dxhalftonepalette;  // every depth
extern bool dxdefaultpaletteflag;
extern bool dxpalettepending;
extern RECT dxpaintrect;  // the part of the back buffer a present shows
extern DWORD dxlastpresent;  // timeGetTime of the last present
extern DWORD dxpresentcount;

// The parts other areas play in display changes; null while those areas have
// nothing to do. Bitmaps: drop every display surface and texture (keeping the
// system-memory copy), delete every bitmap, release lost surfaces. 3-D: release
// the device before the back buffer is rebuilt, and make it again after.
struct dxdisplayhooks {
  void (*dropbitmapsurfaces)() = nullptr;
  void (*deleteallbitmaps)() = nullptr;
  void (*releaselostbitmaps)() = nullptr;
  void (*releasedevice)() = nullptr;
  void (*rebuilddevice)() = nullptr;
  // A pop with refresh: the bitmap whose display surface this is (if any) makes
  // its system-memory copy again from it.
  void (*refreshbitmapcopy)(IDirectDrawSurface* surface) = nullptr;
};
extern dxdisplayhooks dxhooks;

// Makes everything; errors stop the program. False when the cooperative level
// or the display mode was refused (no surfaces then).
bool dxddinit();
void dxddterm();
// An off-screen surface in the back buffer's format with the palette and colour
// keys 0; null when refused.
IDirectDrawSurface* dxcreatesurface(int width, int height, DWORD caps);
void dxddrestore();
void dxrestorelost();
void dxdropbitmapsurfaces();
void dxddreinit(bool fullscreen);
void dxusevram(bool on);
void dxpresent();
// The rows of the picture that lie under the window's menu bar: the bar's height
// when it took them from a client area that the window did not grow for (an
// auto-hidden bar, no room on the desktop, or full screen), else 0. The picture keeps its
// place and size; the bar covers its top.
int dxmenuoverlap();
HRESULT dxenummodecallback(DDSURFACEDESC* mode, void* format);
// Ends a Direct3D scene left open (2-D drawing may follow a scene until the present).
void dxendopenscene();
// Clears the effect flags derived from the 3-D device.
void dxcleardeviceflags();
// Selects and realises the layer's palette in the main window's device context:
// the 8-bit palette when the display has one, else the halftone palette.
void dxrealizepalette();
// SYSPAL_STATIC or SYSPAL_NOSTATIC on the main window's device context.
void dxsystempaletteuse(UINT use);
// Shows the back buffer in a device context of the host's own (for hosts that
// paint themselves).
void dxpaint(HDC dc, int x, int y);
