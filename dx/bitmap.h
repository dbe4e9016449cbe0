// Bitmaps: the layer's picture handle. A bitmap keeps up to three copies of its
// pixels, each made only when something needs it: a display surface (in video
// memory when the program asked for it), a system-memory surface (which the
// software effects lock and which survives mode switches) and a Direct3D texture.
// Whoever writes into one copy asks for it exclusively, which releases the others.
#pragma once

#include <cstdint>

struct IDirectDrawSurface;
struct IDirect3DTexture2;

namespace dx {

struct bitmap {
  IDirectDrawSurface* surface = nullptr;     // display copy; may be the system-memory one
  IDirectDrawSurface* syssurface = nullptr;  // system-memory copy
  IDirect3DTexture2* texture = nullptr;
  int32_t width = 1;
  int32_t height = 1;
};

}  // namespace dx
