#include "dx/bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "dx/bmpfile.h"
#include "dx/color.h"
#include "dx/display.h"
#include "dx/dither.h"
#include "dx/error.h"
#include "dx/package.h"
#include "dx/target.h"
#include "dx/texture.h"
#include "platform/d3d/d3d.h"
#include "platform/gdi/dib.h"
#include "platform/win32/text.h"

namespace {

constexpr const char* kLoadFailed = "ビットマップのロードに失敗しました。";
constexpr const char* kNamedLoadFailed = "ビットマップ \"%s\" のロードに失敗しました。";
// The layouts a DIB header may have are checked before anything is drawn; a
// header that came without a length is trusted this far.
constexpr size_t kTrusted = size_t{1} << 40;

std::vector<dx::bitmap*> g_live;

void Drop(IDirectDrawSurface*& s) {
  if (s) s->Release();
  s = nullptr;
}

// The texture maker keeps the reference of every texture it made for a bitmap;
// the bitmap only points at it, and letting go of the pointer is what tells
// the maker to make it again.
void DropTexture(dx::bitmap* b) { b->texture = nullptr; }


void Fill0(IDirectDrawSurface* s) {
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0;
  s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

// A pending palette reaches the DirectDraw palette before pixels are matched to it.
void WritePendingPalette() {
  if (dxpalettepending && dxddpalette) dxddpalette->SetEntries(0, 0, 256, dxpalette);
}

// --- Display hooks: mode switches, restores and shutdown walk the live set ---

void DropAllDisplaySurfaces() {
  for (dx::bitmap* b : g_live) {
    // Keep the pixels: make the system-memory copy first when only the display one exists.
    if (b->surface && !b->syssurface) dxgetsyssurface(b, false);
    Drop(b->surface);
    DropTexture(b);
  }
}

void DeleteAllBitmaps() {
  while (!g_live.empty()) dxdeletebitmap(g_live.back());
}

// System memory keeps its pixels through a loss: that copy is restored in
// place and is what a lost display copy or texture is made again from. A
// display copy with no system-memory copy behind it is restored in place too,
// as it is the only one.
void ReleaseLost() {
  for (dx::bitmap* b : g_live) {
    if (b->syssurface && b->syssurface->IsLost() != DD_OK) b->syssurface->Restore();
    if (b->surface && b->surface->IsLost() != DD_OK) {
      if (b->syssurface && b->surface != b->syssurface)
        Drop(b->surface);
      else
        b->surface->Restore();
    }
    if (b->texture && b->texture->surface() && b->texture->surface()->IsLost() != DD_OK) DropTexture(b);
  }
}

// After drawing into a bitmap's display surface as the target, the software
// effects must see the drawing in the system-memory copy.
void RefreshCopy(IDirectDrawSurface* surface) {
  for (dx::bitmap* b : g_live)
    if (b->surface == surface && b->syssurface != surface) {
      dxgetsyssurface(b, false);
      return;
    }
}

void InstallHooks() {
  dxhooks.refreshbitmapcopy = RefreshCopy;
  dxhooks.dropbitmapsurfaces = DropAllDisplaySurfaces;
  dxhooks.deleteallbitmaps = DeleteAllBitmaps;
  dxhooks.releaselostbitmaps = ReleaseLost;
}

// Converts a validated 24-bit DIB into the locked 8- or 16-bit surface.
void Dither(dx::bitmap* b, IDirectDrawSurface* s, const gdi::Dib& src, HBITMAP section) {
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  if (s->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr) != DD_OK) {
    if (section) DeleteObject(section);
    dxdeletebitmap(b);
    dxerror("%s", kLoadFailed);
  }
  platform::PixelBuffer out = s->pixels();
  out.bits = static_cast<uint8_t*>(desc.lpSurface);
  out.pitch = static_cast<int>(desc.lPitch);
  dx::ditherformat format;
  if (out.format.bpp == 8) {
    format = dxdefaultpaletteflag ? dx::ditherformat::default_palette : dx::ditherformat::palette;
  } else if (std::countr_zero(out.format.rmask) == 11) {
    format = dx::ditherformat::rgb565;
  } else if (std::countr_zero(out.format.rmask) == 10) {
    format = dx::ditherformat::rgb555;
  } else {
    s->Unlock(desc.lpSurface);
    if (section) DeleteObject(section);
    dxerror("internal error in dxloaddib");
  }
  dx::ditherdib(src, out, format, [](int x, int y, int r, int g, int bl) -> uint8_t {
    return static_cast<uint8_t>(dxditherindex(x, y, r, g, bl));
  });
  s->Unlock(desc.lpSurface);
}

// Draws a DIB with GDI into a new bitmap's system-memory surface.
dx::bitmap* LoadThroughGdi(const BITMAPINFO* info, const void* bits, const gdi::Dib& dib, bool select_palette,
                           const char* name) {
  dx::bitmap* b = dxnewbitmap(dib.width, dib.height);
  HDC dc = nullptr;
  IDirectDrawSurface* s = dxgetsyssurface(b, true);
  if (!s || s->GetDC(&dc) != DD_OK) {
    dxdeletebitmap(b);
    if (name) dxerror(kNamedLoadFailed, name);
    dxerror("%s", kLoadFailed);
  }
  if (select_palette && dxgdipalette) SelectPalette(dc, dxgdipalette, FALSE);
  int rows = StretchDIBits(dc, 0, 0, dib.width, dib.height, 0, 0, dib.width, dib.height, bits, info,
                           DIB_RGB_COLORS, SRCCOPY);
  s->ReleaseDC(dc);
  if (rows == GDI_ERROR) {
    dxdeletebitmap(b);
    if (name) dxerror(kNamedLoadFailed, name);
    dxerror("%s", kLoadFailed);
  }
  return b;
}

// A .bmp image in memory (a file or a packed DIB), checked whole before use.
dx::bitmap* LoadImage(const void* data, size_t size, const char* name, bool gdi_path) {
  gdi::Dib dib;
  if (!dxparsebmp(data, size, dib)) {
    if (name) dxerror(kNamedLoadFailed, name);
    dxerror("%s", kLoadFailed);
  }
  const auto* p = static_cast<const uint8_t*>(data);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(p[0] == 'B' && p[1] == 'M' ? p + 14 : p);
  if (gdi_path) {
    WritePendingPalette();
    return LoadThroughGdi(info, dib.bits, dib, true, name);
  }
  return dxloaddib(info, dib.bits);
}

}  // namespace

const std::vector<dx::bitmap*>& dxlivebitmaps() { return g_live; }

dx::bitmap* dxnewbitmap(int width, int height) {
  if (!dxhooks.deleteallbitmaps) InstallHooks();
  auto* b = new dx::bitmap;
  b->width = std::max(width, 1);
  b->height = std::max(height, 1);
  g_live.push_back(b);
  return b;
}

void dxdeletebitmap(dx::bitmap* b) {
  auto it = std::find(g_live.begin(), g_live.end(), b);
  if (!b || it == g_live.end()) return;
  g_live.erase(it);
  DropTexture(b);
  Drop(b->syssurface);
  Drop(b->surface);
  delete b;
}

int dxbitmapwidth(const dx::bitmap* b) { return b ? b->width : 0; }
int dxbitmapheight(const dx::bitmap* b) { return b ? b->height : 0; }

IDirectDrawSurface* dxgetsurface(dx::bitmap* b, bool exclusive) {
  if (!b) return nullptr;
  IDirectDrawSurface* s = b->surface;
  if (!s) {
    if (!dxvram) return dxgetsyssurface(b, exclusive);
    s = dxcreatesurface(b->width, b->height, DDSCAPS_VIDEOMEMORY | DDSCAPS_OFFSCREENPLAIN);
    if (!s) {
      // No video memory: the system-memory copy serves as the display copy too.
      s = dxgetsyssurface(b, false);
      if (!s) return nullptr;
      s->AddRef();
    } else if (b->syssurface) {
      s->Blt(nullptr, b->syssurface, nullptr, DDBLT_WAIT | DDBLT_ASYNC, nullptr);
    } else {
      Fill0(s);
    }
    b->surface = s;
  }
  if (exclusive) {
    if (b->syssurface && b->syssurface != s) Drop(b->syssurface);
    DropTexture(b);
  }
  return s;
}

IDirectDrawSurface* dxgetsyssurface(dx::bitmap* b, bool exclusive) {
  if (!b) return nullptr;
  IDirectDrawSurface* s = b->syssurface;
  if (!s) {
    s = dxcreatesurface(b->width, b->height, DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN);
    if (!s) return nullptr;
    if (b->surface)
      s->Blt(nullptr, b->surface, nullptr, DDBLT_WAIT | DDBLT_ASYNC, nullptr);
    else
      Fill0(s);
    b->syssurface = s;
  }
  if (exclusive) {
    if (b->surface && b->surface != s) Drop(b->surface);
    DropTexture(b);
  }
  return s;
}

IDirectDrawSurface* dxbitmapsurface(dx::bitmap* b, bool exclusive) {
  if (!b) return nullptr;
  // Whoever writes asks exclusively, which releases the copies that would go stale.
  if (b->surface) return exclusive ? dxgetsurface(b, true) : b->surface;
  if (b->syssurface) return exclusive ? dxgetsyssurface(b, true) : b->syssurface;
  return dxgetsurface(b, exclusive);
}

IDirect3DTexture2* dxgettexture(dx::bitmap* b) { return dxbitmaptexture(b); }

HDC dxgetbitmapdc(dx::bitmap* b, bool exclusive) {
  IDirectDrawSurface* s = dxgetsyssurface(b, exclusive);
  HDC dc = nullptr;
  if (!s || s->GetDC(&dc) != DD_OK) return nullptr;
  if (dxgdipalette) SelectPalette(dc, dxgdipalette, FALSE);
  return dc;
}

void dxreleasebitmapdc(dx::bitmap* b, HDC dc) {
  if (b && b->syssurface && dc) b->syssurface->ReleaseDC(dc);
}

DDSURFACEDESC* dxlockbitmap(dx::bitmap* b, RECT* rect, DWORD flags) {
  IDirectDrawSurface* s = dxgetsyssurface(b, (flags & DDLOCK_READONLY) == 0);
  if (!s) return nullptr;
  auto* desc = new DDSURFACEDESC{};
  desc->dwSize = sizeof(DDSURFACEDESC);
  if (s->Lock(rect, desc, flags | DDLOCK_WAIT, nullptr) != DD_OK) {
    delete desc;
    return nullptr;
  }
  return desc;
}

void dxunlockbitmap(dx::bitmap* b, DDSURFACEDESC* desc) {
  if (!desc) return;
  if (b && b->syssurface) b->syssurface->Unlock(desc->lpSurface);
  delete desc;
}

dx::bitmap* dxloaddib(const BITMAPINFO* info, const void* bits) {
  WritePendingPalette();
  gdi::Dib dib;
  if (!gdi::ParseDibHeader(info, kTrusted, false, dib) || !gdi::AttachDibBits(dib, bits, kTrusted))
    dxerror("%s", kLoadFailed);
  if (dxscreendepth == 24 || dxscreendepth == 32) return LoadThroughGdi(info, bits, dib, false, nullptr);

  // 8 and 16 bits: other layouts are first drawn into a 24-bit DIB section.
  HBITMAP section = nullptr;
  gdi::Dib src = dib;
  if (dib.bpp != 24) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), dib.width, dib.height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* section_bits = nullptr;
    HDC mem = CreateCompatibleDC(nullptr);
    section = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &section_bits, nullptr, 0);
    int rows = GDI_ERROR;
    if (section) {
      SelectObject(mem, section);
      rows = StretchDIBits(mem, 0, 0, dib.width, dib.height, 0, 0, dib.width, dib.height, bits, info,
                           DIB_RGB_COLORS, SRCCOPY);
    }
    DeleteDC(mem);
    if (rows == GDI_ERROR || !gdi::ParseDibHeader(&bi, sizeof bi, false, src) ||
        !gdi::AttachDibBits(src, section_bits, kTrusted)) {
      if (section) DeleteObject(section);
      dxerror("%s", kLoadFailed);
    }
  }
  dx::bitmap* b = dxnewbitmap(dib.width, dib.height);
  IDirectDrawSurface* s = dxgetsyssurface(b, true);
  if (!s) {
    if (section) DeleteObject(section);
    dxdeletebitmap(b);
    dxerror("%s", kLoadFailed);
  }
  Dither(b, s, src, section);
  if (section) DeleteObject(section);
  return b;
}

dx::bitmap* dxloaddibgdi(const BITMAPINFO* info, const void* bits) {
  WritePendingPalette();
  gdi::Dib dib;
  if (!gdi::ParseDibHeader(info, kTrusted, false, dib) || !gdi::AttachDibBits(dib, bits, kTrusted))
    dxerror("%s", kLoadFailed);
  return LoadThroughGdi(info, bits, dib, true, nullptr);
}

dx::bitmap* dxloadbitmap(const char* name) {
  dx::file* f = dxfopenres(nullptr, name, MAKEINTRESOURCEA(2));
  if (!f) f = dxfopen(name);
  if (!f) dxerror(kNamedLoadFailed, name ? name : "");
  dx::bitmap* b = LoadImage(dxfdata(f), dxfsize(f), name ? name : "", false);
  dxfclose(f);
  return b;
}

dx::bitmap* dxloadbitmapw(const char16_t* name) {
  dx::file* f = dxfopenresw(nullptr, name, MAKEINTRESOURCEW(2));
  if (!f) f = dxfopenw(name);
  std::string narrow = name ? win32::Utf16ToCp932(name) : std::string();
  if (!f) dxerror(kNamedLoadFailed, narrow.c_str());
  dx::bitmap* b = LoadImage(dxfdata(f), dxfsize(f), narrow.c_str(), false);
  dxfclose(f);
  return b;
}

dx::bitmap* dxloadbitmapgdi(const char* name) {
  dx::file* f = dxfopenres(nullptr, name, MAKEINTRESOURCEA(2));
  if (!f) f = dxfopen(name);
  if (!f) dxerror(kNamedLoadFailed, name ? name : "");
  dx::bitmap* b = LoadImage(dxfdata(f), dxfsize(f), name ? name : "", true);
  dxfclose(f);
  return b;
}

dx::bitmap* dxloadbitmapmem(const void* data, size_t size) { return LoadImage(data, size, nullptr, false); }

dx::bitmap* dxloadhbitmap(HBITMAP bitmap, HPALETTE palette) {
  const platform::PixelBuffer* pixels = gdi::SectionBuffer(bitmap);
  if (!pixels) return nullptr;
  dx::bitmap* b = dxnewbitmap(pixels->width, pixels->height);
  HDC dc = dxgetbitmapdc(b, true);
  if (!dc) return b;
  HDC src = CreateCompatibleDC(dc);
  SelectObject(src, bitmap);
  if (palette) SelectPalette(dc, palette, FALSE);
  StretchBlt(dc, 0, 0, b->width, b->height, src, 0, 0, b->width, b->height, SRCCOPY);
  DeleteDC(src);
  dxreleasebitmapdc(b, dc);
  return b;
}

dx::bitmap* dxmirrorbitmap(dx::bitmap* src, bool left_right, bool up_down) {
  if (!src) return nullptr;
  dx::bitmap* b = dxnewbitmap(src->width, src->height);
  IDirectDrawSurface* d = dxgetsyssurface(b, true);
  IDirectDrawSurface* s = dxbitmapsurface(src, false);
  if (!d || !s) return b;
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwDDFX = (left_right ? DDBLTFX_MIRRORLEFTRIGHT : 0) | (up_down ? DDBLTFX_MIRRORUPDOWN : 0);
  if (d->Blt(nullptr, s, nullptr, DDBLT_DDFX | DDBLT_WAIT | DDBLT_ASYNC, &fx) == DD_OK) return b;
  // The driver refused: GDI mirrors by negative extents.
  HDC dd = nullptr, sd = nullptr;
  if (d->GetDC(&dd) != DD_OK) return b;
  if (s->GetDC(&sd) == DD_OK) {
    int w = b->width, h = b->height;
    StretchBlt(dd, left_right ? w - 1 : 0, up_down ? h - 1 : 0, left_right ? -w : w, up_down ? -h : h, sd, 0,
               0, w, h, SRCCOPY);
    s->ReleaseDC(sd);
  }
  d->ReleaseDC(dd);
  return b;
}

void dxpushtarget(dx::bitmap* b) {
  if (!b) return;
  // The other copies go stale once drawn over.
  IDirectDrawSurface* s = (b->surface && !b->syssurface) ? dxgetsurface(b, true) : dxgetsyssurface(b, true);
  if (s) dxpushtargetsurface(s);
}

void dxassignbitmap(dx::bitmap* target, dx::bitmap* source) {
  if (!target || !source || target == source) return;
  Drop(target->syssurface);
  Drop(target->surface);
  target->surface = source->surface;
  target->syssurface = source->syssurface;
  dxsharebitmaptexture(target, source->texture);
  if (target->surface) target->surface->AddRef();
  if (target->syssurface) target->syssurface->AddRef();
  target->width = source->width;
  target->height = source->height;
}
