// The software cursor: timed by its thread on the virtual clock and drawn by
// the pump, animated, cut to the client area, and drawn into each presented
// frame.
#include <climits>

#include "../display/fixture.h"

namespace {

class Cursor : public DxTest {
 protected:
  // A bitmap of `frames` frames of 8 x 8: frame f is colour(f, column).
  dx::bitmap* MakeFrames(int frames, uint32_t (*colour)(int frame, int column)) {
    dx::bitmap* b = dxnewbitmap(8 * frames, 8);
    DDSURFACEDESC* d = dxlockbitmap(b, nullptr, 0);
    EXPECT_NE(d, nullptr);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8 * frames; ++x)
        static_cast<uint32_t*>(d->lpSurface)[y * d->lPitch / 4 + x] = colour(x / 8, x % 8);
    dxunlockbitmap(b, d);
    return b;
  }
  void Mouse(int x, int y) {
    host::MouseState m;
    m.x = x, m.y = y, m.inside = x >= 0 && y >= 0;
    host_.set_mouse(m);
  }
  uint32_t Shown(int x, int y) { return host_.last_frame()->at(x, y); }
  // Lets the clock pass, then pumps: the cursor's thread has marked its passes
  // and the pump makes them.
  void Pass(uint64_t us) {
    host_.advance_clock(us);
    dxpump();
  }
  static uint32_t FrameColour(int frame, int) { return 0x100000u * (frame + 1) + 0x40; }
};

TEST_F(Cursor, SettingNoneWhileNoneIsSetChangesNothing) {
  Start(32);
  uint64_t presented = host_.frames_presented();
  dxsetswcursor(nullptr, 0, 0, 1, 200);
  host_.advance_clock(100000);
  EXPECT_EQ(host_.frames_presented(), presented);
  EXPECT_FALSE(dxswcursorset());
}

// The screen and the host belong to the thread that pumps: the cursor's own
// thread draws nothing, however long the clock runs, until the pump comes.
TEST_F(Cursor, ItsThreadLeavesTheDrawingToThePump) {
  Start(32);
  Mouse(100, 100);
  dx::bitmap* b = MakeFrames(1, FrameColour);
  dxsetswcursor(b, 0, 0, 1, 100);
  EXPECT_EQ(Shown(100, 100), FrameColour(0, 0));
  uint64_t presented = host_.frames_presented();
  Mouse(200, 50);
  host_.advance_clock(50000);
  EXPECT_EQ(host_.frames_presented(), presented);
  dxpump();
  EXPECT_EQ(Shown(200, 50), FrameColour(0, 0));
  EXPECT_EQ(Shown(100, 100), 0u);
  dxsetswcursor(nullptr, 0, 0, 1, 200);
  dxdeletebitmap(b);
}

TEST_F(Cursor, AnimationFollowsTheClockAndTheMouse) {
  Start(32);
  Mouse(100, 100);
  dx::bitmap* b = MakeFrames(4, FrameColour);
  dxsetswcursor(b, 2, 2, 4, 100);
  Pass(10000);  // the first pass finds the mouse
  EXPECT_EQ(Shown(98, 98), FrameColour(0, 0));
  EXPECT_EQ(Shown(105, 105), FrameColour(0, 0));
  EXPECT_EQ(Shown(106, 106), 0u);
  Pass(240000);  // 250 ms after setting: frame 2
  EXPECT_EQ(Shown(100, 100), FrameColour(2, 0));
  Pass(150000);  // 400 ms: frame 0 again
  EXPECT_EQ(Shown(100, 100), FrameColour(0, 0));
  Mouse(200, 50);
  Pass(10000);
  EXPECT_EQ(Shown(198, 48), FrameColour(0, 0));
  EXPECT_EQ(Shown(100, 100), 0u);  // erased where it was
  dxsetswcursor(nullptr, 0, 0, 1, 200);
  EXPECT_EQ(Shown(198, 48), 0u);
  uint64_t presented = host_.frames_presented();
  Pass(100000);  // the thread has ended: nothing more is drawn
  EXPECT_EQ(host_.frames_presented(), presented);
  dxdeletebitmap(b);
}

TEST_F(Cursor, OutsideTheClientAreaNothingIsDrawn) {
  Start(32);
  Mouse(-20, 10);
  dx::bitmap* b = MakeFrames(1, FrameColour);
  uint64_t presented = host_.frames_presented();
  dxsetswcursor(b, 0, 0, 1, 100);
  Pass(50000);
  EXPECT_EQ(host_.frames_presented(), presented);
  dxsetswcursor(nullptr, 0, 0, 1, 200);
  dxdeletebitmap(b);
}

TEST_F(Cursor, CutAtTheLeftEdgeShowsTheMatchingColumns) {
  Start(32);
  Mouse(1, 10);
  dx::bitmap* b = MakeFrames(1, [](int, int column) { return 0x010101u * (column + 1) * 16; });
  dxsetswcursor(b, 4, 0, 1, 100);  // the picture starts 3 columns left of the client area
  Pass(10000);
  EXPECT_EQ(Shown(0, 10), 0x010101u * 4 * 16);  // column 3
  EXPECT_EQ(Shown(4, 10), 0x010101u * 8 * 16);  // column 7
  EXPECT_EQ(Shown(5, 10), 0u);
  dxsetswcursor(nullptr, 0, 0, 1, 200);
  dxdeletebitmap(b);
}

// A hot spot at either end of int puts the picture off the client area.
TEST_F(Cursor, HotSpotsAtTheEndsOfIntDrawNothing) {
  Start(32);
  Mouse(600, 400);
  dx::bitmap* b = MakeFrames(1, FrameColour);
  for (int hot : {INT_MIN, INT_MAX}) {
    uint64_t presented = host_.frames_presented();
    dxsetswcursor(b, hot, hot, 1, 100);
    Pass(50000);
    EXPECT_EQ(host_.frames_presented(), presented) << hot;
    dxsetswcursor(nullptr, 0, 0, 1, 200);
  }
  dxdeletebitmap(b);
}

TEST_F(Cursor, PresentedFramesCarryTheCursorButTheBackBufferDoesNot) {
  Start(32);
  Mouse(50, 60);
  dx::bitmap* b = MakeFrames(1, FrameColour);
  dxsetswcursor(b, 0, 0, 1, 100);
  dxcls(dxrgb(0, 0, 255));
  dxupdate();
  EXPECT_EQ(Shown(50, 60), FrameColour(0, 0));
  EXPECT_EQ(Shown(49, 60), 0x0000FFu);
  EXPECT_EQ(Back(50, 60), dxrgb(0, 0, 255));
  // Moving the mouse between frames: the thread erases to the presented frame.
  Mouse(300, 300);
  Pass(10000);
  EXPECT_EQ(Shown(50, 60), 0x0000FFu);
  EXPECT_EQ(Shown(300, 300), FrameColour(0, 0));
  dxrelease();  // stops the cursor with the display
  EXPECT_FALSE(dxswcursorset());
  dxdeletebitmap(b);
}

}  // namespace
