// The script built-ins of the screen, messages, input, sound and menus: the
// engine's own functions, then those families in the game's order.
#pragma once

#include "game/macro/macro_draw.h"
#include "game/macro/macro_input.h"
#include "game/macro/macro_menu.h"
#include "game/macro/macro_mes.h"
#include "game/macro/macro_sound.h"
#include "game/macro/macro_wait.h"
#include "script/script.h"

namespace testcommon {

inline void RegisterUiMacros() {
  ScriptClearFunctions();
  ScriptInitFunctions();
  RegisterDrawMacros();
  RegisterWaitMacros();
  RegisterMesMacros();
  RegisterInputMacros();
  RegisterSoundMacros();
  RegisterMenuMacros();
}

}  // namespace testcommon
