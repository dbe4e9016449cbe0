// What the drawing fuzz target's sources share: the reader of fuzzed numbers,
// the operation tables and the bitmaps every input draws with.
#pragma once

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "dx/dx.h"
#include "platform/host/headless_host.h"

namespace drawfuzz {

// The far edges of what the next call draws into, kept before each call:
// the drawing target's width and height, and the clip rectangle's right and
// bottom. Positions near them are where a bound one pixel out shows.
inline int32_t g_far_edges[4] = {};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool more() const { return p_ < end_; }
  uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
  // One tag byte: 0x00-0x3F small (-16..47), 0x40-0x5F an edge value,
  // 0x60-0x7F an edge value moved by a signed byte, 0x80-0x9F 16 bits,
  // 0xA0-0xDF a far edge of the next call's target or clip (g_far_edges)
  // moved by a step, 0xE0-0xFF 32 bits.
  int32_t i32() {
    // Small values have tags of their own; these are the screen's edges
    // (this one's and the game's), percentages, 16-bit and int limits.
    static constexpr int32_t kEdges[32] = {
        0,       1,           -1,          119,         120,         159,         160,     8,
        15,      16,          100,         255,         256,         320,         479,     480,
        639,     640,         1000,        65535,       65536,       1 << 20,     INT_MAX, INT_MIN,
        INT_MAX - 1, INT_MIN + 1, INT_MIN / 2, INT_MAX / 2, -640,       -480,        1536,    101};
    const uint8_t t = byte();
    if (t < 0x40) return t - 16;
    if (t < 0x60) return kEdges[t & 31];
    if (t < 0x80) return static_cast<int32_t>(static_cast<uint32_t>(kEdges[t & 31]) +
                                              static_cast<uint32_t>(static_cast<int8_t>(byte())));
    if (t >= 0xA0 && t < 0xE0) {
      // Just inside or just past the edge, by one pixel or a bitmap's side
      // (8 or 16): where a picture ends on the edge or one pixel beyond it.
      static constexpr int32_t kSteps[8] = {1, 0, -1, -2, -7, -8, -15, -16};
      return static_cast<int32_t>(static_cast<uint32_t>(g_far_edges[t & 3]) +
                                  static_cast<uint32_t>(kSteps[(t >> 2) & 7]));
    }
    uint32_t v = 0;
    const int n = t < 0xA0 ? 2 : 4;
    for (int i = 0; i < n; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
    return n == 2 ? static_cast<int16_t>(v) : static_cast<int32_t>(v);
  }
  uint32_t u32() { return static_cast<uint32_t>(i32()); }
  // Sizes of things the call makes (fonts, captured bitmaps): small either way.
  int32_t small() { return static_cast<int32_t>(static_cast<int64_t>(i32()) % 65); }
  // One tag byte: 0x00-0x3F quarters (-8..7.75, world units), 0x40-0x7F steps
  // of 4 from -32 (screen positions), 0x80-0x9F an edge value, 0xA0-0xFF the
  // four bytes of a float.
  float f32() {
    static constexpr float kEdges[32] = {0.0f,       -0.0f,     1.0f,      -1.0f,     0.5f,     0.999f,   1.001f,
                                         2.0f,       45.0f,     90.0f,     180.0f,    360.0f,   1000.0f,  1e6f,
                                         16777217.f, 2147483648.f, -2147483648.f, 1e10f, 1e30f, -1e30f, FLT_MAX,
                                         -FLT_MAX,   FLT_MIN,   1e-45f,    1e-30f,    INFINITY, -INFINITY, NAN,
                                         159.5f,     119.5f,    -0.5f,     65536.0f};
    const uint8_t t = byte();
    if (t < 0x40) return (t - 32) / 4.0f;
    if (t < 0x80) return (t - 0x40) * 4.0f - 32;
    if (t < 0xA0) return kEdges[t & 31];
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
  }
  // Doubles reach past the float range: the edge tags' 1e30 becomes 1e300.
  double f64() {
    const float f = f32();
    return std::isfinite(f) && std::fabs(f) == 1e30f ? std::copysign(1e300, f) : f;
  }
  D3DVECTOR vec() {
    D3DVECTOR v;
    v.x = f32(), v.y = f32(), v.z = f32();
    return v;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// Which calls must leave every pixel outside the clip rectangle as it was.
enum Clip : uint8_t {
  kNoDraw,       // draws nothing into the target (or changes it or the clip)
  kUnclipped,    // draws past the clip by design: plain blits, stretches, affine, the device
  kClipped,      // cut to the clip rectangle
  kClippedSoft,  // cut to it, except on the device's path, which ignores it
};

struct Op {
  const char* name;
  Clip clip;
  void (*run)(Reader&);
};

// The display the input asked for and the bitmaps drawn with: clear (0)
// pixels, a mask and a canvas to draw into.
constexpr int kBitmaps = 4;
extern dx::bitmap* g_bitmaps[kBitmaps];
extern host::HeadlessHost* g_host;
inline dx::bitmap* Bitmap(Reader& in) { return g_bitmaps[in.byte() % kBitmaps]; }
// Makes them anew (after a call made them share another bitmap's copies).
void NewBitmaps();
// The device draws into the back buffer while that is the render target.
inline bool DevicePath() { return dxd3ddevice && dxtarget && dxtarget == dxbackbuffer; }

// The calls of the other sources: device contexts, AVI, the input method, the
// line editors and the palette; and the 3-D scene.
std::span<const Op> MoreOps();
std::span<const Op> SceneOps();
// What they leave behind at the end of an input (a composition, an open AVI,
// meshes, lights, the palette) is undone here.
void EndMoreOps();
void EndSceneOps();

}  // namespace drawfuzz
