// Surfaces of the DirectDraw stand-in for the suites that draw on them: one
// made in the layout of its depth, its pixels read and written in place, and a
// fixture holding the host and the DirectDraw object.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "platform/ddraw/ddraw.h"
#include "platform/host/headless_host.h"
#include "platform/pixels.h"

namespace testcommon {

// A w x h surface of bpp bits in the layout FormatOfDepth gives that depth.
inline IDirectDrawSurface* MakeSurface(IDirectDraw* dd, int w, int h, int bpp,
                                       DWORD caps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN) {
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  d.dwWidth = static_cast<DWORD>(w);
  d.dwHeight = static_cast<DWORD>(h);
  d.ddsCaps.dwCaps = caps;
  ddraw::ToDdPixelFormat(ddraw::FormatOfDepth(bpp), &d.ddpfPixelFormat);
  IDirectDrawSurface* s = nullptr;
  EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
  return s;
}

// The raw pixel value at (x, y), of as many bytes as the surface's depth has.
inline uint32_t SurfacePixel(IDirectDrawSurface* s, int x, int y) {
  const platform::PixelBuffer pb = s->pixels();
  const int bytes = pb.format.bpp / 8;
  return platform::LoadPixel(pb.bits + static_cast<ptrdiff_t>(y) * pb.pitch + static_cast<ptrdiff_t>(x) * bytes, bytes);
}
inline void SetSurfacePixel(IDirectDrawSurface* s, int x, int y, uint32_t v) {
  const platform::PixelBuffer pb = s->pixels();
  const int bytes = pb.format.bpp / 8;
  platform::StorePixel(pb.bits + static_cast<ptrdiff_t>(y) * pb.pitch + static_cast<ptrdiff_t>(x) * bytes, bytes, v);
}

// The headless host and a DirectDraw object; every surface must be released
// by the end of the test.
class DirectDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&host_);
    ddraw::ResetForTests();
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd_, nullptr), DD_OK);
  }
  void TearDown() override {
    dd_->Release();
    EXPECT_EQ(ddraw::LiveSurfaces(), 0);
    ddraw::ResetForTests();
    host::set(nullptr);
  }

  IDirectDrawSurface* Make(int w, int h, int bpp, DWORD caps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN) {
    return MakeSurface(dd_, w, h, bpp, caps);
  }
  static uint32_t At(IDirectDrawSurface* s, int x, int y) { return SurfacePixel(s, x, y); }

  host::HeadlessHost host_;
  IDirectDraw* dd_ = nullptr;
};

}  // namespace testcommon
