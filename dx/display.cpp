#include "dx/display.h"

#include <cstring>
#include <vector>

#include "dx/color.h"
#include "dx/cursor.h"
#include "dx/d3d.h"
#include "dx/error.h"
#include "dx/pump.h"
#include "dx/shell.h"
#include "dx/target.h"
#include "platform/pixels.h"
#include "platform/win32/display.h"
#include "platform/win32/window.h"
#include "platform/winmm/time.h"

IDirectDraw* dxdd = nullptr;
DDCAPS dxddcaps{};
IDirectDrawSurface* dxprimary = nullptr;
IDirectDrawClipper* dxclipper = nullptr;
IDirectDrawSurface* dxbackbuffer = nullptr;
DDSURFACEDESC dxbackdesc{};
IDirectDrawSurface* dxzbuffer = nullptr;
int dxscreenwidth = 640, dxscreenheight = 480, dxscreendepth = 32;
int dxviewwidth = 640, dxviewheight = 480;
int dxdesktopdepth = 32;
bool dxfullscreen = false;
bool dxvram = false;
DWORD dxeffectflags = 0;
PALETTEENTRY dxpalette[256];
RGBQUAD dxpalettebgr[256];
PALETTEENTRY dxdefaultpalette[256];
IDirectDrawPalette* dxddpalette = nullptr;
HPALETTE dxgdipalette = nullptr;
HPALETTE dxhalftonepalette = nullptr;
bool dxdefaultpaletteflag = true;
bool dxpalettepending = false;
RECT dxpaintrect{0, 0, 640, 480};
DWORD dxlastpresent = 0;
DWORD dxpresentcount = 0;
dxdisplayhooks dxhooks;

namespace {

constexpr const char* kInitFailed = "DirectDraw の初期化に失敗しました。";
constexpr const char* kRestoreFailed = "DirectDraw の復帰に失敗しました。";
constexpr const char* kReinitFailed = "DirectDraw の再初期化に失敗しました。";

constexpr DWORD kAttachedSets[] = {0x46004, 0x6004, 0x44004, 0x4004};
constexpr DWORD kVideoSets[] = {0x46040, 0x6040, 0x44040, 0x4040};
constexpr DWORD kSystemSets[] = {0x42840, 0x2840, 0x40840, 0x840};

template <class T>
void ReleaseAndNull(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

bool TryCreate(DDSURFACEDESC desc, DWORD caps) {
  desc.ddsCaps.dwCaps = caps;
  IDirectDrawSurface* s = nullptr;
  if (dxdd->CreateSurface(&desc, &s, nullptr) != DD_OK) return false;
  dxbackbuffer = s;
  return true;
}

// The creation cascade of the back buffer; `desc` holds caps, size and,
// when asked for, the pixel format.
bool CreateBackBuffer(DDSURFACEDESC desc) {
  desc.dwSize = sizeof(desc);
  desc.dwFlags |= DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = static_cast<DWORD>(dxscreenwidth);
  desc.dwHeight = static_cast<DWORD>(dxscreenheight);
  if (dxvram && dxfullscreen && dxscreendepth == dxdesktopdepth) {
    for (DWORD caps : kAttachedSets) {
      if (TryCreate(desc, caps)) {
        dxprimary->AddAttachedSurface(dxbackbuffer);
        break;
      }
    }
  } else if (!dxfullscreen && dxscreendepth != dxdesktopdepth && !(desc.dwFlags & DDSD_PIXELFORMAT)) {
    DDPIXELFORMAT pf{};
    dxdd->EnumDisplayModes(0, nullptr, &pf, dxenummodecallback);
    if (pf.dwSize) {
      desc.ddpfPixelFormat = pf;
      desc.dwFlags |= DDSD_PIXELFORMAT;
    }
  }
  if (!dxbackbuffer && dxvram)
    for (DWORD caps : kVideoSets)
      if (TryCreate(desc, caps)) break;
  if (!dxbackbuffer) {
    dxvram = false;
    for (DWORD caps : kSystemSets)
      if (TryCreate(desc, caps)) break;
  }
  if (!dxbackbuffer) return false;
  dxbackdesc = DDSURFACEDESC{};
  dxbackdesc.dwSize = sizeof(dxbackdesc);
  dxbackbuffer->GetSurfaceDesc(&dxbackdesc);
  return true;
}

void SetBackKeys() {
  DDCOLORKEY key{0, 0};
  dxbackbuffer->SetColorKey(DDCKEY_SRCBLT, &key);
  dxbackbuffer->SetColorKey(DDCKEY_DESTBLT, &key);
}

HRESULT CreatePrimary() {
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS;
  d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE;
  HRESULT hr = dxdd->CreateSurface(&d, &dxprimary, nullptr);
  if (hr != DD_OK) {
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    hr = dxdd->CreateSurface(&d, &dxprimary, nullptr);
  }
  return hr;
}

void DetachBackBuffer() {
  if (dxprimary && dxbackbuffer) dxprimary->DeleteAttachedSurface(0, dxbackbuffer);
}

void DefaultPalette() {
  for (int i = 0; i < 256; ++i) {
    PALETTEENTRY& e = dxpalette[i];
    const uint32_t rgb = platform::Rgb332(static_cast<uint32_t>(i));
    e.peRed = static_cast<BYTE>(rgb >> 16);
    e.peGreen = static_cast<BYTE>(rgb >> 8);
    e.peBlue = static_cast<BYTE>(rgb);
    e.peFlags = (!dxfullscreen && (i == 0 || i == 255)) ? 0x40 : 0x41;
    dxpalettebgr[i] = {e.peBlue, e.peGreen, e.peRed, 0};
    dxdefaultpalette[i] = e;
  }
  dxdefaultpaletteflag = true;
  dxpalettepending = true;
}

void SetPaletteOnSurfaces() {
  if (!dxddpalette) return;
  if (dxprimary && (dxfullscreen || dxownwindow)) dxprimary->SetPalette(dxddpalette);
  if (dxbackbuffer) dxbackbuffer->SetPalette(dxddpalette);
}

void EightBitSystemColours() {
  if (dxscreendepth == 8 && (dxfullscreen || (dxdesktopdepth == 8 && dxownwindow))) dxsetsyscolors();
}

RECT ClientOnScreen() {
  RECT c{0, 0, 0, 0};
  HWND w = dxmainwindow;
  if (!w || !GetClientRect(w, &c)) return c;
  POINT o{0, 0};
  ClientToScreen(w, &o);
  return {o.x, o.y, o.x + c.right, o.y + c.bottom};
}

}  // namespace

HRESULT dxenummodecallback(DDSURFACEDESC* mode, void* format) {
  if (mode && format && mode->ddpfPixelFormat.dwRGBBitCount == static_cast<DWORD>(dxscreendepth)) {
    std::memcpy(format, &mode->ddpfPixelFormat, sizeof(DDPIXELFORMAT));
    return DDENUMRET_CANCEL;
  }
  return DDENUMRET_OK;
}

bool dxddinit() {
  if (!dxDirectDrawCreate || dxDirectDrawCreate(nullptr, &dxdd, nullptr) != DD_OK) {
    dxdd = nullptr;
    dxerror("%s", kInitFailed);
  }
  std::memset(&dxddcaps, 0, sizeof(dxddcaps));
  dxddcaps.dwSize = sizeof(DDCAPS);
  if (dxdd->GetCaps(&dxddcaps, nullptr) != DD_OK) {
    std::memset(&dxddcaps, 0, sizeof(dxddcaps));
    dxddcaps.dwSize = kDdcapsOldSize;
    if (dxdd->GetCaps(&dxddcaps, nullptr) != DD_OK) std::memset(&dxddcaps, 0, sizeof(dxddcaps));
  }
  if (dxfullscreen) {
    if (dxdd->SetCooperativeLevel(dxmainwindow, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK ||
        dxdd->SetDisplayMode(static_cast<DWORD>(dxscreenwidth), static_cast<DWORD>(dxscreenheight),
                             static_cast<DWORD>(dxscreendepth)) != DD_OK)
      return false;
  } else if (dxdd->SetCooperativeLevel(dxmainwindow, DDSCL_NORMAL) != DD_OK) {
    return false;
  }
  if (CreatePrimary() != DD_OK) dxerror("%s", kInitFailed);
  if (dxdd->CreateClipper(0, &dxclipper, nullptr) != DD_OK) dxerror("%s", kInitFailed);
  dxclipper->SetHWnd(0, dxmainwindow);
  dxprimary->SetClipper(dxclipper);

  DDSURFACEDESC d{};
  if (!CreateBackBuffer(d)) dxerror("%s", kInitFailed);
  SetBackKeys();
  dxtarget = dxbackbuffer;
  dxtarget->AddRef();
  dxresetclip();

  EightBitSystemColours();
  if (dxscreendepth == 8 && dxdesktopdepth == 8 && !dxfullscreen && dxownwindow) dxsystempaletteuse(SYSPAL_NOSTATIC);
  DefaultPalette();
  if (dxscreendepth == 8) {
    std::vector<uint8_t> block(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 256;
    std::memcpy(lp->palPalEntry, dxpalette, sizeof(dxpalette));
    dxgdipalette = CreatePalette(lp);
    if (dxdd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, dxpalette, &dxddpalette, nullptr) != DD_OK)
      dxddpalette = nullptr;
    SetPaletteOnSurfaces();
  }
  HDC dc = GetDC(dxmainwindow);
  dxhalftonepalette = CreateHalftonePalette(dc);
  ReleaseDC(dxmainwindow, dc);
  dxclearcolorcaches();
  return true;
}

void dxddterm() {
  while (dxtargetdepth() > 0) dxpoptarget(false);
  dxsetswcursor(nullptr, 0, 0, 1, 200);
  if (dxhooks.deleteallbitmaps) dxhooks.deleteallbitmaps();
  DetachBackBuffer();
  ReleaseAndNull(dxclipper);
  ReleaseAndNull(dxddpalette);
  ReleaseAndNull(dxtarget);
  ReleaseAndNull(dxbackbuffer);
  ReleaseAndNull(dxzbuffer);
  ReleaseAndNull(dxprimary);
  if (dxdd) {
    dxdd->FlipToGDISurface();
    dxdd->RestoreDisplayMode();
    ReleaseAndNull(dxdd);
  }
  if (dxgdipalette) DeleteObject(dxgdipalette);
  if (dxhalftonepalette) DeleteObject(dxhalftonepalette);
  dxgdipalette = dxhalftonepalette = nullptr;
}

IDirectDrawSurface* dxcreatesurface(int width, int height, DWORD caps) {
  if (!dxdd) return nullptr;
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  d.dwWidth = static_cast<DWORD>(width);
  d.dwHeight = static_cast<DWORD>(height);
  d.ddsCaps.dwCaps = caps;
  d.ddpfPixelFormat = dxbackdesc.ddpfPixelFormat;
  IDirectDrawSurface* s = nullptr;
  if (dxdd->CreateSurface(&d, &s, nullptr) != DD_OK) return nullptr;
  if (dxddpalette) s->SetPalette(dxddpalette);
  DDCOLORKEY key{0, 0};
  s->SetColorKey(DDCKEY_SRCBLT, &key);
  s->SetColorKey(DDCKEY_DESTBLT, &key);
  return s;
}

void dxddrestore() {
  if (!dxdd) return;
  if (dxhooks.releasedevice) dxhooks.releasedevice();
  dxcleareffectcaps();
  ReleaseAndNull(dxzbuffer);

  // The frame drawn so far survives the rebuild: the 3-D view switches memory
  // in the middle of a frame.
  std::vector<uint8_t> keep;
  int keep_pitch = 0;
  if (dxbackbuffer) {
    platform::PixelBuffer pb = dxbackbuffer->pixels();
    keep_pitch = pb.width * (pb.format.bpp / 8);
    keep.resize(static_cast<size_t>(keep_pitch) * pb.height);
    for (int y = 0; y < pb.height; ++y)
      std::memcpy(keep.data() + static_cast<size_t>(y) * keep_pitch, pb.bits + static_cast<ptrdiff_t>(y) * pb.pitch,
                  static_cast<size_t>(keep_pitch));
  }
  if (dxtarget == dxbackbuffer) ReleaseAndNull(dxtarget);
  DetachBackBuffer();
  ReleaseAndNull(dxbackbuffer);

  DDSURFACEDESC d{};
  d.dwFlags = DDSD_PIXELFORMAT;
  d.ddpfPixelFormat = dxbackdesc.ddpfPixelFormat;
  const DWORD kept_caps = dxbackdesc.ddsCaps.dwCaps;
  if (!CreateBackBuffer(d)) dxerror("%s", kRestoreFailed);
  if ((kept_caps & DDSCAPS_BACKBUFFER) && !(dxbackdesc.ddsCaps.dwCaps & DDSCAPS_BACKBUFFER) && dxprimary)
    dxprimary->AddAttachedSurface(dxbackbuffer);
  SetBackKeys();
  platform::PixelBuffer pb = dxbackbuffer->pixels();
  if (!keep.empty() && pb.width * (pb.format.bpp / 8) == keep_pitch &&
      keep.size() == static_cast<size_t>(keep_pitch) * pb.height)
    for (int y = 0; y < pb.height; ++y)
      std::memcpy(pb.bits + static_cast<ptrdiff_t>(y) * pb.pitch, keep.data() + static_cast<size_t>(y) * keep_pitch,
                  static_cast<size_t>(keep_pitch));

  if (dxddpalette) {
    if (dxpalettepending) dxddpalette->SetEntries(0, 0, 256, dxpalette);
    dxbackbuffer->SetPalette(dxddpalette);
  }
  if (!dxtarget) {
    dxtarget = dxbackbuffer;
    dxtarget->AddRef();
  }
  if (dxhooks.rebuilddevice) dxhooks.rebuilddevice();
}

void dxrestorelost() {
  if (!dxdd) return;
  if (dxprimary && dxprimary->IsLost() != DD_OK && dxprimary->Restore() != DD_OK) {
    DetachBackBuffer();
    ReleaseAndNull(dxprimary);
  }
  if (!dxprimary) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE;
    const DWORD first = timeGetTime();
    while (dxdd->CreateSurface(&d, &dxprimary, nullptr) != DD_OK) {
      dxprimary = nullptr;
      if (timeGetTime() - first >= 5000) dxerror("%s", kRestoreFailed);
      dxwait(100);
    }
    if (dxclipper) dxprimary->SetClipper(dxclipper);
    if ((dxbackdesc.ddsCaps.dwCaps & DDSCAPS_BACKBUFFER) && dxbackbuffer) dxprimary->AddAttachedSurface(dxbackbuffer);
    dxpalettepending = true;
  }
  if (dxbackbuffer && dxbackbuffer->IsLost() != DD_OK) dxbackbuffer->Restore();
  if (dxzbuffer && dxzbuffer->IsLost() != DD_OK) dxzbuffer->Restore();
  if (dxhooks.releaselostbitmaps) dxhooks.releaselostbitmaps();
  if (dxswcursorset()) dxmakecursorsurfaces();
}

void dxdropbitmapsurfaces() {
  if (dxhooks.dropbitmapsurfaces) dxhooks.dropbitmapsurfaces();
}

void dxddreinit(bool fullscreen) {
  if (fullscreen == dxfullscreen || !dxdd) return;
  dxfullscreen = fullscreen;
  if (!fullscreen && dxdesktopdepth != dxscreendepth) dxvram = false;
  dxsystempaletteuse(SYSPAL_STATIC);
  dxrestoresyscolors();
  HWND w = dxmainwindow;
  if (!fullscreen) {
    dxdd->FlipToGDISurface();
    dxdd->RestoreDisplayMode();
    if (dxdd->SetCooperativeLevel(w, DDSCL_NORMAL) != DD_OK &&
        dxdd->SetCooperativeLevel(nullptr, DDSCL_NORMAL) != DD_OK) {
      dxdd->SetDisplayMode(static_cast<DWORD>(dxscreenwidth), static_cast<DWORD>(dxscreenheight),
                           static_cast<DWORD>(dxscreendepth));
      dxfullscreen = true;
      return;
    }
    dxsetcursor(LoadCursorA(nullptr, IDC_ARROW));
    const DWORD style = 0x96CA0000, ex_style = 0x40300;
    SetWindowLongA(w, GWL_STYLE, static_cast<LONG>(style));
    SetWindowLongA(w, GWL_EXSTYLE, static_cast<LONG>(ex_style));
    int sx = GetSystemMetrics(SM_CXSCREEN), sy = GetSystemMetrics(SM_CYSCREEN);
    RECT r{(sx - dxscreenwidth) / 2, (sy - dxscreenheight) / 2, 0, 0};
    r.right = r.left + dxscreenwidth;
    r.bottom = r.top + dxscreenheight;
    AdjustWindowRectEx(&r, style, GetMenu(w) != nullptr && sy > dxscreenheight, ex_style);
    MoveWindow(w, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  } else {
    if (dxdd->SetCooperativeLevel(w, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK &&
        dxdd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK) {
      dxfullscreen = false;
      return;
    }
    SetWindowLongA(w, GWL_STYLE, static_cast<LONG>(0x96080000));
    SetWindowLongA(w, GWL_EXSTYLE, static_cast<LONG>(WS_EX_TOPMOST));
    if (dxdd->SetDisplayMode(static_cast<DWORD>(dxscreenwidth), static_cast<DWORD>(dxscreenheight),
                             static_cast<DWORD>(dxscreendepth)) != DD_OK) {
      SetWindowLongA(w, GWL_STYLE, static_cast<LONG>(0x92CA0000));
      SetWindowLongA(w, GWL_EXSTYLE, static_cast<LONG>(0x40300));
      // Back to the window the display still is.
      dxdd->SetCooperativeLevel(w, DDSCL_NORMAL);
      dxfullscreen = false;
      return;
    }
    dxsetcursor(nullptr);
  }
  DetachBackBuffer();
  ReleaseAndNull(dxprimary);
  if (CreatePrimary() != DD_OK) dxerror("%s", kReinitFailed);
  if (dxclipper) dxprimary->SetClipper(dxclipper);
  if (dxddpalette && (dxfullscreen || dxownwindow)) dxprimary->SetPalette(dxddpalette);
  dxddrestore();
  dxdropbitmapsurfaces();
  EightBitSystemColours();
  if (dxscreendepth == 8 && dxdesktopdepth == 8 && !dxfullscreen && dxownwindow) {
    dxsystempaletteuse(SYSPAL_NOSTATIC);
    dxrealizepalette();
  }
  dxpalettepending = true;
  dxpresent();
}

void dxusevram(bool on) {
  if (dxscreendepth == dxdesktopdepth || dxfullscreen) dxvram = on;
  dxddrestore();
}

void dxpresent() {
  if (!dxprimary || !dxbackbuffer) return;
  if (dxprimary->GetBltStatus(DDGBS_CANBLT) == DDERR_SURFACELOST) dxprimary->Restore();
  if (dxbackbuffer->GetBltStatus(DDGBS_CANBLT) == DDERR_SURFACELOST) dxbackbuffer->Restore();
  if (dxpalettepending) {
    dxpalettepending = false;
    if (dxddpalette) {
      dxddpalette->SetEntries(0, 0, 256, dxpalette);
      SetPaletteOnSurfaces();
    }
  }
  if (dxd3ddevice) dxd3ddevice->EndScene();  // an open scene ends with the frame
  dxdd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
  const bool cursor_in_frame = dxswcursorbeforepresent();
  bool shown = false;
  if (dxfullscreen) {
    shown = dxprimary->Blt(nullptr, dxbackbuffer, &dxpaintrect, DDBLT_WAIT | DDBLT_ASYNC, nullptr) == DD_OK;
  } else if (dxscreendepth == dxdesktopdepth && (dxdesktopdepth != 8 || dxownwindow)) {
    RECT dst = ClientOnScreen();
    dst.top -= dxmenuoverlap();
    if (dst.right > dst.left && dst.bottom > dst.top)
      shown = dxprimary->Blt(&dst, dxbackbuffer, &dxpaintrect, DDBLT_WAIT | DDBLT_ASYNC, nullptr) == DD_OK;
  }
  if (!shown && dxmainwindow) {
    // The copy through the window's device context, converting the depth.
    RECT c{0, 0, 0, 0};
    GetClientRect(dxmainwindow, &c);
    c.top -= dxmenuoverlap();
    win32::ShowInClient(dxmainwindow, dxbackbuffer->pixels(), dxpaintrect, &c);
  }
  dxswcursorafterpresent(cursor_in_frame);
  dxlastpresent = timeGetTime();
  ++dxpresentcount;
}

int dxmenuoverlap() {
  if (!dxmainwindow || !GetMenu(dxmainwindow)) return 0;
  RECT c{0, 0, 0, 0};
  GetClientRect(dxmainwindow, &c);
  return c.bottom < dxscreenheight ? GetSystemMetrics(SM_CYMENU) : 0;
}

void dxrealizepalette() {
  HPALETTE p = (dxscreendepth == 8 && dxgdipalette) ? dxgdipalette : dxhalftonepalette;
  if (!p || !dxmainwindow) return;
  HDC dc = GetDC(dxmainwindow);
  SelectPalette(dc, p, FALSE);
  RealizePalette(dc);
  ReleaseDC(dxmainwindow, dc);
}

void dxsystempaletteuse(UINT use) {
  if (!dxmainwindow) return;
  HDC dc = GetDC(dxmainwindow);
  SetSystemPaletteUse(dc, use);
  ReleaseDC(dxmainwindow, dc);
}

void dxpaint(HDC dc, int x, int y) {
  if (!dxbackbuffer || !dc) return;
  if (dxpalettepending) {
    dxpalettepending = false;
    if (dxddpalette) {
      dxddpalette->SetEntries(0, 0, 256, dxpalette);
      SetPaletteOnSurfaces();
    }
  }
  if (dxd3ddevice) dxd3ddevice->EndScene();
  if (dxdd) dxdd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
  if (dxhalftonepalette) {
    SelectPalette(dc, dxhalftonepalette, FALSE);
    RealizePalette(dc);
  }
  HDC src = nullptr;
  if (dxbackbuffer->GetDC(&src) == DD_OK) {
    StretchBlt(dc, x, y, dxscreenwidth, dxscreenheight, src, dxpaintrect.left, dxpaintrect.top,
               dxpaintrect.right - dxpaintrect.left, dxpaintrect.bottom - dxpaintrect.top, SRCCOPY);
    dxbackbuffer->ReleaseDC(src);
  }
  dxlastpresent = timeGetTime();
  ++dxpresentcount;
}

void dxendopenscene() {
  if (dxd3ddevice) dxd3ddevice->EndScene();
}

void dxcleardeviceflags() { dxcleareffectcaps(); }
