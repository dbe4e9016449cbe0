// The rasteriser of the software Direct3D device: triangles, lines and points
// in screen space onto a pixel buffer of 8, 16, 24 or 32 bits with a 16- or
// 32-bit depth buffer. The device (device.cpp) transforms, lights and clips;
// this file fills pixels.
//
// Pixel rules, per colour channel c in 0..255 (a channel of n bits is widened
// as round(v * 255 / (2^n - 1)) and narrowed by dropping its low bits; an 8-bit
// target goes through its palette, and back by NearestIndex):
// - vertex colour: round to an integer (Gouraud: interpolated, then rounded);
// - texture: nearest texel; a texel whose whole value is 0 is not drawn while
//   the colour key is on; modulate = round(t * c / 255);
// - fog: F = round(255 * clamp((end - d) / (end - start), 0, 1)), with d the
//   device depth or the eye distance; c = round((c * F + fog * (255 - F)) / 255);
// - blend: out = min(255, round((s * S + d * D) / 255)), S and D the factors in
//   0..255; the target has no alpha of its own (destination alpha is 255).
#pragma once

#include <cstdint>

#include "platform/d3d/d3dtypes.h"
#include "platform/pixels.h"

namespace soft3d {

// The render states as the rasteriser reads them.
struct PixelState {
  bool zenable = true, zwrite = true;
  DWORD zfunc = D3DCMP_LESSEQUAL;
  bool gouraud = true;
  bool perspective = false;
  DWORD texblend = D3DTBLEND_MODULATEALPHA;
  DWORD address_u = D3DTADDRESS_WRAP, address_v = D3DTADDRESS_WRAP;
  D3DCOLOR border = 0;
  bool colorkey = true;
  bool blend = false;
  DWORD srcblend = D3DBLEND_ONE, destblend = D3DBLEND_ZERO;
  bool alphatest = false;
  DWORD alphafunc = D3DCMP_ALWAYS;
  int alpharef = 0;  // 0..255
  bool fog = false;
  bool fog_eye = false;  // fog by eye distance (1 / rhw), else by device depth
  float fogstart = 0, fogend = 1;
  D3DCOLOR fogcolor = 0;
  bool lastpixel = false;  // lines draw their last pixel
};

struct Target {
  platform::PixelBuffer color;
  platform::PixelBuffer depth;  // bits null: no depth buffer; bpp 16 or 32
  // The scissor: pixels with left <= x < right and top <= y < bottom (cut to
  // the buffer by the rasteriser).
  RECT clip{0, 0, 0, 0};
};

struct Texture {
  platform::PixelBuffer pixels;  // 8 bits: palette indices with pixels.palette
  uint32_t amask = 0;            // alpha bits of a 16/32-bit format, 0 when none
};

// A vertex on the screen: the pixel centre of (x, y) is at integer coordinates;
// colour channels 0..255; u, v in texture widths and heights.
struct ScreenVertex {
  float x, y, z, rhw;
  float r, g, b, a;
  float u, v;
};

// Fills the triangle's pixels by the top-left rule; both windings are drawn.
// With flat shading the colour of `flat` is used for the whole triangle.
void DrawTriangle(const Target& t, const PixelState& s, const Texture* tex, const ScreenVertex& a,
                  const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex& flat);
// A line from a to b stepping along its longer axis; b's own pixel only with
// s.lastpixel.
void DrawLine(const Target& t, const PixelState& s, const Texture* tex, const ScreenVertex& a,
              const ScreenVertex& b, const ScreenVertex& flat);
void DrawPoint(const Target& t, const PixelState& s, const Texture* tex, const ScreenVertex& p);

// Depth buffer values: 0.0 .. 1.0 scaled to the buffer's width.
uint32_t DepthValue(float z, int bits);
void ClearDepth(const platform::PixelBuffer& depth, const RECT& area, float z);

// The palette entry of a colour, the rule of every 8-bit write: a colour that
// an entry holds exactly takes the first such entry; any other is cut to 5 bits
// a channel (q = c >> 3) and takes the entry nearest (by the sum of squared
// channel differences, the lowest index on a tie) to the colour
// (q << 3 | q >> 2, ...) of that cell.
uint8_t NearestIndex(const uint32_t* palette, int r, int g, int b);

// Tests: true sends every span through the plain per-pixel path that the fast
// spans are checked against.
void UseReferenceSpans(bool on);

}  // namespace soft3d
