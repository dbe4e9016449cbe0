// The program's entry after the platform's own: opens the display through the
// DirectX layer and shows a filled frame, paced by the display, until the
// window is closed (the pump then ends the program). The game's start-up
// replaces this loop.
#include "dx/dx.h"
#include "platform/win32/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!dxinit("ダンジョン", 640, 480, 0, false)) {
    MessageBoxA(dxgetwindow(), "画面を初期化できません。", "エラー", MB_OK | MB_ICONHAND);
    return 1;
  }
  for (int frame = 0;; ++frame) {
    // Bands of colour that drift by a pixel a frame, so pacing shows.
    for (int y = 0; y < dxscreenheight; y += 16) {
      int band = (y / 16 + frame / 4) % 16;
      dxsetclip(0, y, dxscreenwidth, 16);
      dxcls(dxrgb(band * 16, 64 + band * 8, 255 - band * 16));
    }
    dxresetclip();
    dxrect(8, 8, dxscreenwidth - 16, dxscreenheight - 16, dxrgb(255, 255, 255), 2);
    dxupdate();
  }
}
