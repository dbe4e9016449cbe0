// Device contexts on DirectDraw surfaces: a context over the surface's pixels,
// one at a time, handed back with ReleaseDC.
#include "platform/ddraw/ddraw.h"
#include "platform/gdi/gdi.h"

HRESULT IDirectDrawSurface::GetDC(HDC* out) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (IsLost() != DD_OK) return DDERR_SURFACELOST;
  if (dc()) return DDERR_DCALREADYCREATED;
  HDC dc = gdi::CreateBufferDC(pixels());
  if (!dc) return DDERR_CANTCREATEDC;
  set_dc(dc);
  *out = dc;
  return DD_OK;
}

HRESULT IDirectDrawSurface::ReleaseDC(HDC handed) {
  if (!handed || handed != dc()) return DDERR_NODC;
  gdi::DeleteBufferDC(handed);
  set_dc(nullptr);
  // What GDI drew shows when this is the screen.
  RECT all{0, 0, width(), height()};
  changed(&all);
  return DD_OK;
}
