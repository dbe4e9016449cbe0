// Choice menus: up to 32 texts side by side or stacked in a window frame,
// chosen with the cursor keys and Enter, cancelled with Esc.
#pragma once

#include <cstdint>

#include "script/strlist.h"

constexpr int kMenuMaxItems = 32;

// `texts` is a list ended by an empty entry (null or ""). The chosen index,
// or -1 on Esc; Enter before any move returns `selection` unchanged. A null
// list returns -1 at once.
int32_t RunChoiceMenuH(int32_t x, int32_t y, int32_t selection, int32_t centred, const char* const* texts);
int32_t RunChoiceMenuV(int32_t x, int32_t y, int32_t selection, int32_t centred, const char* const* texts);

int macro_selectw(StrList** args, StrList** stack);
int macro_selecth(StrList** args, StrList** stack);

// Registers selecth and selectw.
void RegisterMenuMacros();
