// What the SDL2 host needs to know of an X server that SDL does not tell.
#pragma once

struct SDL_Window;

namespace host {

// False only for a window on an X server that runs no window manager, where
// nobody carries out a request to go full screen.
bool HasWindowManager(SDL_Window* window);

// From now on a lost connection to the X server (the server ended, the user
// logged out) ends the process at once with status 1 and a line on standard
// error.
void EndOnLostDisplay();

}  // namespace host
