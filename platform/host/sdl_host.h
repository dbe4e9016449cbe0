// The SDL2 host: a real window, keyboard, mouse, joysticks, text input with
// composition, the audio device and message boxes. Only this host includes SDL.
#pragma once

#include <memory>

#include "platform/host/host.h"

namespace host {

// Makes an SDL2 host (SDL itself is started on first use of each part).
std::unique_ptr<Host> MakeSdlHost();

}  // namespace host
