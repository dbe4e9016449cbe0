#include "platform/host/sdl_x11.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace host {

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

}  // namespace host
