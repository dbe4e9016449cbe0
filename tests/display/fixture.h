// A started display layer on the headless host, released after each test.
#pragma once

#include <gtest/gtest.h>

#include "dx/dx.h"
#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/host/headless_host.h"
#include "platform/win32/display.h"
#include "platform/win32/text.h"

// A CP932 text as the host sees it.
inline std::string U8(const char* cp932) { return win32::Cp932ToUtf8(cp932); }

class DxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::set(&host_);
    host_.set_catch_exits(true);
    host_.set_quiet(true);
    win32::SetDesktopDepth(32);
    dxdesktopdepth = 32;
    ddraw::ResetForTests();
  }
  void TearDown() override {
    dxrelease();
    dxclearchars();  // the typed-character queues outlive a release
    soft3d::ResetForTests();  // depth buffers the 3-D stand-in still keeps
    host::set(nullptr);
  }
  // Starts the layer in a 640 x 480 window at `depth` (0: the desktop's).
  void Start(int depth = 0, bool full = false) { ASSERT_TRUE(dxinit("テスト", 640, 480, depth, full)); }

 public:
  // The pixel value at (x, y) of the back buffer.
  static uint32_t Back(int x, int y) {
    platform::PixelBuffer pb = dxbackbuffer->pixels();
    const uint8_t* p = pb.bits + y * pb.pitch + x * (pb.format.bpp / 8);
    uint32_t v = 0;
    for (int i = 0; i < pb.format.bpp / 8; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
  }

  host::HeadlessHost host_;
};
