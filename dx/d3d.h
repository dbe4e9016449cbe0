// The 3-D device of the layer: the Direct3D objects on the back buffer, the
// default states, scenes, render states, material, texture, lights and fog, and
// the effect flags that tell the pixel effects whether they may draw through
// Direct3D.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d/d3d.h"

namespace dx {
struct bitmap;
}

extern IDirect3D2* dxd3d;
extern IDirect3DDevice2* dxd3ddevice;
extern IDirect3DViewport2* dxviewport;
extern IDirect3DMaterial2* dxmaterial;
extern bool dxhaldevice;
extern D3DDEVICEDESC dxdevicedesc;  // the description of the device kind taken
extern std::vector<IDirect3DLight*> dxlights;

// The effect flags, each 0 or 1, by number.
constexpr int kEffectCaps = 15;
enum dxeffect {
  DXFX_FILLALPHA = 0,     // translucent and half rectangle fills
  DXFX_FILLSTIPPLE = 1,   // dither-percentage rectangle fill
  DXFX_FILLMUL = 2,       // multiplying rectangle fill
  DXFX_FILLADD = 3,       // additive rectangle fill
  DXFX_FILLSUB = 4,       // subtractive rectangle fill
  DXFX_INVERT = 5,        // inverted rectangle
  DXFX_FILLDARKEN = 6,    // darkening rectangle fill
  DXFX_RESERVED = 7,      // never set
  DXFX_BLTADD = 8,        // additive blit
  DXFX_BLTADDPCT = 9,     // additive percentage blit
  DXFX_BLTSUB = 10,       // subtractive blit
  DXFX_BLTALPHA = 11,     // translucent and half blits
  DXFX_BLTSTIPPLE = 12,   // dither-percentage blit
  DXFX_BLTAFFINE = 13,    // affine and rotated blits
  DXFX_BLTDARKEN = 14,    // darkening blit
};
extern uint8_t dxeffectcaps[kEffectCaps];

// (Re)creates every Direct3D object on the back buffer; false on failure.
bool dxd3dinit();
void dxd3drelease();
// Clears the effect flags (the display does so whenever it is set up or restored).
void dxcleareffectcaps();

void dxbeginscene();
void dxendscene();
// Sets a state only when the device holds a different value.
void dxsetrenderstate(D3DRENDERSTATETYPE state, DWORD value);
void dxsetmaterial(const D3DMATERIAL* material, dx::bitmap* texture);
void dxsettexture(dx::bitmap* texture);
void dxsetambient(D3DCOLOR color);

HRESULT dxaddlight(int index, const D3DLIGHT2* light);
void dxremovelight(int index);
void dxremovealllights();
HRESULT dxadddirectionallight(int index, double r, double g, double b, const D3DVECTOR& direction);
HRESULT dxaddpointlight(int index, double r, double g, double b, const D3DVECTOR& position, double range);
HRESULT dxaddparallelpointlight(int index, double r, double g, double b, const D3DVECTOR& position, double range);
HRESULT dxaddspotlight(int index, double r, double g, double b, const D3DVECTOR& position,
                       const D3DVECTOR& direction, double cone, double range);

void dxsetfog(D3DCOLOR color, double start, double end, bool range);
void dxfogoff();
DWORD dxidentity(DWORD value);
