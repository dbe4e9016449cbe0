// Raster operations of the DirectDraw stand-in's Blt and the capability table
// that lists them.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/host/headless_host.h"
#include "tests/common/surfaces.h"

namespace {

struct Layout {
  const char* name;
  int bpp;
  DWORD r, g, b;  // 0 for the 8-bit palette index
};
constexpr Layout kLayouts[] = {{"8", 8, 0, 0, 0},
                               {"565", 16, 0xF800, 0x07E0, 0x001F},
                               {"555", 16, 0x7C00, 0x03E0, 0x001F},
                               {"24", 24, 0xFF0000, 0xFF00, 0xFF},
                               {"32", 32, 0xFF0000, 0xFF00, 0xFF}};

using Op = std::function<uint32_t(uint32_t t, uint32_t s)>;
struct Rop {
  DWORD code;
  Op op;  // on one channel's bits
};
const Rop kRops[] = {{SRCINVERT, [](uint32_t t, uint32_t s) { return t ^ s; }},
                     {NOTSRCCOPY, [](uint32_t, uint32_t s) { return ~s; }},
                     {SRCAND, [](uint32_t t, uint32_t s) { return t & s; }},
                     {MERGEPAINT, [](uint32_t t, uint32_t s) { return t | ~s; }},
                     {SRCPAINT, [](uint32_t t, uint32_t s) { return t | s; }}};

// The expected pixel: the operation applied to each colour channel on its own
// (the palette index as a whole at 8 bits); nothing outside the channels.
uint32_t Expected(const Layout& l, const Op& op, uint32_t t, uint32_t s) {
  if (l.bpp == 8) return op(t, s) & 0xFF;
  uint32_t out = 0;
  for (DWORD mask : {l.r, l.g, l.b}) {
    const int shift = std::countr_zero(mask);
    const uint32_t top = mask >> shift;
    out |= (op((t & mask) >> shift, (s & mask) >> shift) & top) << shift;
  }
  return out;
}

// Surfaces in a layout of the table, one row each.
class DdrawRop : public testcommon::DirectDrawTest {
 protected:
  IDirectDrawSurface* Make(const Layout& l, int w) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = static_cast<DWORD>(w);
    d.dwHeight = 1;
    d.ddsCaps.dwCaps = DDSCAPS_VIDEOMEMORY | DDSCAPS_OFFSCREENPLAIN;
    d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    d.ddpfPixelFormat.dwFlags = l.bpp == 8 ? DDPF_RGB | DDPF_PALETTEINDEXED8 : DDPF_RGB;
    d.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(l.bpp);
    d.ddpfPixelFormat.dwRBitMask = l.r, d.ddpfPixelFormat.dwGBitMask = l.g, d.ddpfPixelFormat.dwBBitMask = l.b;
    IDirectDrawSurface* s = nullptr;
    EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
    return s;
  }
  static void Put(IDirectDrawSurface* s, const std::vector<uint32_t>& v) {
    platform::PixelBuffer pb = s->pixels();
    for (size_t i = 0; i < v.size(); ++i)
      std::memcpy(pb.bits + i * (pb.format.bpp / 8), &v[i], static_cast<size_t>(pb.format.bpp / 8));
  }
  static uint32_t At(IDirectDrawSurface* s, int x) {
    platform::PixelBuffer pb = s->pixels();
    uint32_t v = 0;
    std::memcpy(&v, pb.bits + x * (pb.format.bpp / 8), static_cast<size_t>(pb.format.bpp / 8));
    return v;
  }
};

TEST_F(DdrawRop, EachOperationAtEveryDepthSkipsKeyedSourcePixels) {
  for (const Layout& l : kLayouts) {
    const uint32_t depth_mask = l.bpp == 32 ? 0xFFFFFFFFu : (1u << l.bpp) - 1;
    // Source: a keyed pixel first, then values with mixed bits in every channel.
    const std::vector<uint32_t> src = {0, 0x5A5A5A5A & depth_mask, 0xFFFFFFFF & depth_mask,
                                       0x0F1E2D3C & depth_mask, 1};
    // Target: the unused bits set as well (the top byte at 32 bits, bit 15 at 5-5-5).
    const std::vector<uint32_t> dst = {0x33CC33CC & depth_mask, 0xA5C31807 & depth_mask, 0,
                                       0xFFFFFFFF & depth_mask, 0x12345678 & depth_mask};
    IDirectDrawSurface* s = Make(l, 5);
    IDirectDrawSurface* t = Make(l, 5);
    Put(s, src);
    DDCOLORKEY key{0, 0};
    ASSERT_EQ(s->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    for (const Rop& rop : kRops) {
      Put(t, dst);
      DDBLTFX fx{};
      fx.dwSize = sizeof(fx);
      fx.dwROP = rop.code;
      ASSERT_EQ(t->Blt(nullptr, s, nullptr, DDBLT_WAIT | DDBLT_ROP | DDBLT_KEYSRC, &fx), DD_OK);
      EXPECT_EQ(At(t, 0), dst[0]) << l.name << " " << std::hex << rop.code;
      for (int x = 1; x < 5; ++x)
        EXPECT_EQ(At(t, x), Expected(l, rop.op, dst[x], src[x])) << l.name << " " << std::hex << rop.code << " " << x;
      // Unkeyed, the first pixel takes part too.
      Put(t, dst);
      ASSERT_EQ(t->Blt(nullptr, s, nullptr, DDBLT_WAIT | DDBLT_ROP, &fx), DD_OK);
      EXPECT_EQ(At(t, 0), Expected(l, rop.op, dst[0], 0)) << l.name << " " << std::hex << rop.code;
    }
    s->Release();
    t->Release();
  }
}

TEST_F(DdrawRop, TheCapabilityTableListsExactlyWhatBltDoes) {
  for (DWORD size : {static_cast<DWORD>(sizeof(DDCAPS)), kDdcapsOldSize}) {
    DDCAPS caps{};
    caps.dwSize = size;
    ASSERT_EQ(dd_->GetCaps(&caps, nullptr), DD_OK);
    std::vector<int> listed;
    for (int b = 0; b < 256; ++b)
      if (caps.dwRops[b / 32] >> (b % 32) & 1) listed.push_back(b);
    // BLACKNESS, NOTSRCCOPY, DSTINVERT, SRCINVERT, SRCAND, MERGEPAINT, SRCCOPY, SRCPAINT, WHITENESS.
    EXPECT_EQ(listed, (std::vector<int>{0x00, 0x33, 0x55, 0x66, 0x88, 0xBB, 0xCC, 0xEE, 0xFF})) << size;
  }
  // Every operation byte the table leaves out is refused and draws nothing.
  IDirectDrawSurface* s = Make(kLayouts[4], 2);
  IDirectDrawSurface* t = Make(kLayouts[4], 2);
  Put(s, {7, 7});
  Put(t, {5, 5});
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwROP = 0x00440328;  // source AND NOT target
  EXPECT_EQ(t->Blt(nullptr, s, nullptr, DDBLT_ROP, &fx), DDERR_NORASTEROPHW);
  EXPECT_EQ(At(t, 0), 5u);
  s->Release();
  t->Release();
}

}  // namespace
