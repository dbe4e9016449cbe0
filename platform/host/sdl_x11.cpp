#include "platform/host/sdl_x11.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>

namespace host {

namespace {

#if defined(SDL_VIDEO_DRIVER_X11)
// Xlib's own handler calls exit, whose handlers then tear down the window and
// the renderer over the dead connection: a crash in the GL driver or a wait
// for a reply that never comes. Nothing on the server is left to release, so
// the process ends here without them, the audio and timer threads with it.
// Every file the game writes goes to a temporary name renamed when whole, so
// an end in the middle of a save leaves the last whole one.
[[noreturn]] int DisplayLost(Display*) {
  std::fflush(stdout);
  static const char kLine[] = "dolvicar: the connection to the display was lost\n";
  ssize_t written = write(STDERR_FILENO, kLine, sizeof kLine - 1);
  (void)written;
  _exit(1);
}

// The window that `property` (of type WINDOW) on `w` names, else None.
Window NamedWindow(Display* d, Window w, Atom property) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Window named = None;
  if (XGetWindowProperty(d, w, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
          Success &&
      data && type == XA_WINDOW && format == 32 && count == 1)
    named = *reinterpret_cast<const Window*>(data);
  if (data) XFree(data);
  return named;
}

int IgnoreError(Display*, XErrorEvent*) { return 0; }
#endif

}  // namespace

bool HasWindowManager(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
  // A window manager that follows the desktop conventions names its check
  // window on the root window, and the check window names itself. One that
  // ended without clearing up (it crashed or was killed) leaves the root's
  // property behind, naming a window that is gone or, its number taken
  // again, some other client's.
  Display* d = info.info.x11.display;
  Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return false;
  Window named = NamedWindow(d, DefaultRootWindow(d), check);
  if (named == None) return false;
  // The named window may be gone: that error (the look then finds nothing)
  // is the answer, not a fault for SDL's handler, which ends the process.
  // Errors of earlier requests still go to it. A lost connection is no such
  // error and still ends the game through its own handler.
  XSync(d, False);
  XErrorHandler previous = XSetErrorHandler(IgnoreError);
  Window self = NamedWindow(d, named, check);
  XSync(d, False);
  XSetErrorHandler(previous);
  return self == named;
#else
  (void)window;
  return true;
#endif
}

int FullScreenStateIn(SDL_Window* window, const SDL_SysWMmsg* message) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (!window || !message || message->subsystem != SDL_SYSWM_X11) return -1;
  const XEvent& e = message->msg.x11.event;
  // A withdrawn window's state is taken away: that says nothing of full screen.
  if (e.type != PropertyNotify || e.xproperty.state != PropertyNewValue) return -1;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11 ||
      e.xproperty.window != info.info.x11.window)
    return -1;
  Display* d = info.info.x11.display;
  if (e.xproperty.atom != XInternAtom(d, "_NET_WM_STATE", False)) return -1;
  const Atom full = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  int state = 0;
  if (XGetWindowProperty(d, info.info.x11.window, e.xproperty.atom, 0, 64, False, XA_ATOM, &type, &format, &count,
                         &after, &data) == Success &&
      data && type == XA_ATOM && format == 32) {
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < count; ++i) state |= atoms[i] == full;
  }
  if (data) XFree(data);
  return state;
#else
  (void)window, (void)message;
  return -1;
#endif
}

void AskFullScreen(SDL_Window* window, bool fullscreen) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* d = info.info.x11.display;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = info.info.x11.window;
  e.xclient.message_type = XInternAtom(d, "_NET_WM_STATE", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = fullscreen ? 1 : 0;  // add, remove
  e.xclient.data.l[1] = static_cast<long>(XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False));
  e.xclient.data.l[3] = 1;  // asked by the application
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(d);
#else
  (void)window, (void)fullscreen;
#endif
}

void IgnoreBrokenPipes() {
#if defined(SDL_VIDEO_DRIVER_X11)
  // Process-wide and for good: any thread may write to the connection up to
  // the end. A handler someone installed on purpose is left in place.
  struct sigaction current {};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
      current.sa_handler == SIG_DFL)
    signal(SIGPIPE, SIG_IGN);
#endif
}

void EndOnLostDisplay() {
#if defined(SDL_VIDEO_DRIVER_X11)
  XSetIOErrorHandler(DisplayLost);
#endif
}

}  // namespace host
