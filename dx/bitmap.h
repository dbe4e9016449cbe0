// Bitmaps: the layer's picture handle. A bitmap keeps up to three copies of its
// pixels, each made only when something needs it: a display surface (in video
// memory when the program asked for it), a system-memory surface (which the
// software effects lock and which survives mode switches) and a Direct3D texture.
// Whoever writes into one copy asks for it exclusively, which releases the others.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win32/types.h"

struct IDirectDrawSurface;
struct IDirect3DTexture2;
struct DDSURFACEDESC;

namespace dx {

struct bitmap {
  IDirectDrawSurface* surface = nullptr;     // display copy; may be the system-memory one
  IDirectDrawSurface* syssurface = nullptr;  // system-memory copy
  IDirect3DTexture2* texture = nullptr;
  int32_t width = 1;
  int32_t height = 1;
};

}  // namespace dx

// Every bitmap that exists, for shutdown, lost-surface recovery and mode switches.
const std::vector<dx::bitmap*>& dxlivebitmaps();

// A new bitmap without surfaces; sizes below 1 become 1.
dx::bitmap* dxnewbitmap(int width, int height);
// Releases the copies and frees the record; a pointer that is not a live bitmap
// (null included) is left alone.
void dxdeletebitmap(dx::bitmap* b);
int dxbitmapwidth(const dx::bitmap* b);
int dxbitmapheight(const dx::bitmap* b);

// The display copy, made on demand: in video memory while the display asks for
// it (falling back to the system-memory copy), else the system-memory copy.
IDirectDrawSurface* dxgetsurface(dx::bitmap* b, bool exclusive);
// The system-memory copy, made on demand; null when DirectDraw refuses it.
IDirectDrawSurface* dxgetsyssurface(dx::bitmap* b, bool exclusive);
// Whichever copy exists (display first), else the display copy made anew.
IDirectDrawSurface* dxbitmapsurface(dx::bitmap* b, bool exclusive);
// The Direct3D texture, made on first use by the texture maker; null when none
// can be made.
IDirect3DTexture2* dxgettexture(dx::bitmap* b);
// A GDI context on the system-memory copy, and its release.
HDC dxgetbitmapdc(dx::bitmap* b, bool exclusive);
void dxreleasebitmapdc(dx::bitmap* b, HDC dc);
// Locks the system-memory copy (exclusively unless read-only); the heap
// description is freed by dxunlockbitmap.
DDSURFACEDESC* dxlockbitmap(dx::bitmap* b, RECT* rect, DWORD flags);
void dxunlockbitmap(dx::bitmap* b, DDSURFACEDESC* desc);

// A new bitmap in the display format; at 8 and 16 bits with the ordered dither.
// Black pixels become 0, the colour key, and no other pixel does. A malformed
// DIB stops the program like a failed load.
dx::bitmap* dxloaddib(const BITMAPINFO* info, const void* bits);
// The same through GDI at every depth (nearest colours, no dither).
dx::bitmap* dxloaddibgdi(const BITMAPINFO* info, const void* bits);
// A .bmp by name: a resource, else a file (package, then disk). A name found
// nowhere, or a file that is not a whole, well-formed picture, stops the program.
dx::bitmap* dxloadbitmap(const char* name);
dx::bitmap* dxloadbitmapw(const char16_t* name);
dx::bitmap* dxloadbitmapgdi(const char* name);
// A .bmp file image or packed DIB of `size` bytes in memory.
dx::bitmap* dxloadbitmapmem(const void* data, size_t size);
// A copy of a GDI bitmap (a DIB section); null for a bad handle.
dx::bitmap* dxloadhbitmap(HBITMAP bitmap, HPALETTE palette);
// A new bitmap, mirrored as asked (an exact copy with both flags false).
dx::bitmap* dxmirrorbitmap(dx::bitmap* b, bool left_right, bool up_down);
// Makes the bitmap the render target (its copy to draw into taken exclusively);
// dxpoptarget goes back.
void dxpushtarget(dx::bitmap* b);
// The target gives up its copies and shares the source's, with its size.
void dxassignbitmap(dx::bitmap* target, dx::bitmap* source);
