// What the SDL2 host needs to know of an X server that SDL does not tell.
#pragma once

struct SDL_Window;
struct SDL_SysWMmsg;

namespace host {

// False only for a window on an X server that runs no window manager, where
// nobody carries out a request to go full screen.
bool HasWindowManager(SDL_Window* window);

// The window manager's full-screen state of `window` as `message` (a window
// system event) tells it: 1 full screen, 0 not; -1 when it tells nothing of it.
int FullScreenStateIn(SDL_Window* window, const SDL_SysWMmsg* message);

// Asks the window manager to put `window` into or out of its full-screen state.
void AskFullScreen(SDL_Window* window, bool fullscreen);

// A write to the X connection after its server has gone raises SIGPIPE, whose
// default action ends the process before Xlib reports the lost connection.
// Ignored, the write fails and the report ends it as EndOnLostDisplay says.
// Called before the connection opens.
void IgnoreBrokenPipes();

// From now on a lost connection to the X server (the server ended, the user
// logged out) ends the process at once with status 1 and a line on standard
// error.
void EndOnLostDisplay();

}  // namespace host
