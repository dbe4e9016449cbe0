// What the effect entry points take from the rest of the layer: the current
// render target with its clip rectangle and the display's format, and the
// Direct3D routines that draw an effect through the 3-D device.
#pragma once

#include <cstdint>
#include <span>

#include "dx/bitmap.h"
#include "dx/effects/frame.h"
#include "platform/d3d/d3d.h"

namespace dx::effects {

// The render target as it stands (surface null when there is none).
Target current_target();
// The Direct3D paths draw only on the back buffer, with a device.
bool target_is_backbuffer();
// Whether an effect flag of the 3-D device is set and the target allows it.
bool d3d_allowed(int flag);

// One Direct3D pass over the quad.
struct Pass {
  bool textured;      // the bitmap's texture, else handle 0 (the plain vertex colour)
  DWORD blend;        // texture blend
  bool alphablend;
  D3DBLEND src, dst;
  D3DCOLOR colour;    // vertex colour of the pass
};

// The blend of a textured translucent pass: DECALALPHA when the device has it.
DWORD alpha_texture_blend();
// A pixel value of the display as the vertex colour 0xAARRGGBB.
D3DCOLOR vertex_colour(uint32_t pixel, uint32_t alpha);
// Alpha of a percentage (0 to 100).
inline uint32_t vertex_alpha(uint32_t percent) { return (percent > 100 ? 100 : percent) * 255 / 100; }

// The bitmap effect through Direct3D when the flag allows it and the bitmap has
// a texture: the whole bitmap at (x, y), clipped, drawn by the passes. False
// when the software path must draw instead.
bool d3d_blit(dx::bitmap* bmp, int32_t x, int32_t y, int flag, std::span<const Pass> passes);
// The rectangle through Direct3D (already clipped), untextured passes.
void d3d_fill(const RECT& r, std::span<const Pass> passes);
// Opens the device's scene with depth test and writes off; the end closes it
// only when the driver cannot draw 2-D during a scene.
void scene_begin();
void scene_end();
// A pre-transformed vertex (z 0.5, rhw 0.5, white, no specular).
D3DTLVERTEX tlvertex(double x, double y, double tu, double tv);

}  // namespace dx::effects
