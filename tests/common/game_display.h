// The ground the game-level suites stand on: the headless host installed with
// exits caught and message boxes kept quiet, and a 32-bit 640 x 480 display.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "dx/dx.h"
#include "game/picture.h"
#include "platform/ddraw/ddraw.h"
#include "platform/host/headless_host.h"
#include "platform/win32/display.h"
#include "tests/package/temp_dir.h"

namespace testcommon {

// Installs h and opens the display; call it under ASSERT_NO_FATAL_FAILURE.
inline void OpenGameDisplay(host::HeadlessHost& h) {
  host::set(&h);
  h.set_catch_exits(true);
  h.set_quiet(true);
  ddraw::ResetForTests();
  win32::SetDesktopDepth(32);
  ASSERT_TRUE(dxinit("test", 640, 480, 32, false));
}

// Drops the cached pictures, closes the display, empties the typed-character
// queues (they outlive a release) and removes the host.
inline void CloseGameDisplay() {
  FreeImageCache();
  dxrelease();
  dxclearchars();
  ddraw::ResetForTests();
  host::set(nullptr);
}

// The display with a fresh working folder: the display's start moves to the
// program's folder, so the test's own is entered after it.
class GameDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(OpenGameDisplay(host_));
    std::filesystem::current_path(dir_.path());
  }
  void TearDown() override { CloseGameDisplay(); }

  host::HeadlessHost host_;
  TempDir dir_;
};

}  // namespace testcommon
