#include "platform/host/sdl_x11.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <unistd.h>

#include <cstdio>

namespace host {

namespace {

#if defined(SDL_VIDEO_DRIVER_X11)
// Xlib's own handler calls exit, whose handlers then tear down the window and
// the renderer over the dead connection: a crash in the GL driver or a wait
// for a reply that never comes. Nothing on the server is left to release, so
// the process ends here without them. This runs on the thread that talks to
// the server (the main thread); the game writes its files there too, each to
// a temporary name renamed when whole, so none is ever left half written.
[[noreturn]] int DisplayLost(Display*) {
  std::fflush(stdout);
  static const char kLine[] = "dolvicar: the connection to the display was lost\n";
  ssize_t written = write(STDERR_FILENO, kLine, sizeof kLine - 1);
  (void)written;
  _exit(1);
}
#endif

}  // namespace

bool HasWindowManager(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
  // A window manager that follows the desktop conventions names its check
  // window on the root window.
  Display* d = info.info.x11.display;
  Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool found = XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                                  &after, &data) == Success &&
               type == XA_WINDOW && count == 1;
  if (data) XFree(data);
  return found;
#else
  (void)window;
  return true;
#endif
}

void EndOnLostDisplay() {
#if defined(SDL_VIDEO_DRIVER_X11)
  XSetIOErrorHandler(DisplayLost);
#endif
}

}  // namespace host
