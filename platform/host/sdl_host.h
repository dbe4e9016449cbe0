// The SDL2 host: a real window, keyboard, mouse, joysticks, text input with
// composition, the audio device and message boxes. Only this host includes SDL.
#pragma once

#include <memory>

#include "platform/host/host.h"

namespace host {

// Makes an SDL2 host (SDL itself is started on first use of each part).
std::unique_ptr<Host> MakeSdlHost();

// The rectangle last given to SDL for the candidate list, in window
// coordinates; for tests (SDL has no way to read it back).
void SdlTextInputRect(int& x, int& y, int& w, int& h);

}  // namespace host
