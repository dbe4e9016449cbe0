// What the SDL2 host needs to know of an X server that SDL does not tell.
#pragma once

struct SDL_Window;

namespace host {

// False only for a window on an X server that runs no window manager, where
// nobody carries out a request to go full screen.
bool HasWindowManager(SDL_Window* window);

}  // namespace host
