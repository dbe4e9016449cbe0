// The program's entry after the platform's own: shows the window and keeps it
// responsive until it is closed. The game's start-up replaces this loop.
#include <vector>

#include "platform/host/host.h"
#include "platform/win32/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  host::Host& h = host::get();
  if (!h.open_window(win32::Cp932ToUtf8("ダンジョン"), 640, 480, false)) {
    MessageBoxA(nullptr, "ウィンドウを開けません。", "エラー", MB_OK | MB_ICONHAND);
    return 1;
  }
  std::vector<uint32_t> frame(640 * 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) frame[y * 640 + x] = static_cast<uint32_t>((x * 255 / 639) << 16 | (y * 255 / 479) << 8 | 0x40);
  for (;;) {
    host::Event e;
    while (h.poll_event(e))
      if (e.type == host::EventType::Close ||
          (e.type == host::EventType::KeyDown && e.scancode == host::key::Escape))
        return 0;
    h.present(frame.data(), 640, 480, 640 * 4);
    h.wait_vblank();
  }
}
