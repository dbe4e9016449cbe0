// The remaining commands of the event scripts: the monster catalogue, the
// picture transition, a warning box, the 2-D part table, a pixelated
// rectangle, roots and powers, and a log command that does nothing.
#pragma once

#include "game/macro/macro.h"

// Registers the family into MacroList, in the order the command set lists it.
void RegisterMiscMacros();

int macro_warn(StrList** args, StrList** stack);
int macro_effect(StrList** args, StrList** stack);
int macro_catalog(StrList** args, StrList** stack);
int macro_map2dxchg(StrList** args, StrList** stack);
int macro_mosaic(StrList** args, StrList** stack);
int macro_sqrt(StrList** args, StrList** stack);
int macro_pow(StrList** args, StrList** stack);
int macro_log(StrList** args, StrList** stack);
