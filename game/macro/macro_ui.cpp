// Key reading for the built-in families.
#include "game/macro/macro_ui.h"

#include "game/explore.h"

int32_t MacroKeyBits() { return static_cast<int32_t>(GetKeyBits(kMacroKeyDelay)); }
