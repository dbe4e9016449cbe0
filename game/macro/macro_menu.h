// Choice menus: up to 32 texts side by side or stacked in a window frame,
// chosen with the cursor keys and Enter, cancelled with Esc.
#pragma once

#include <cstdint>
#include <vector>

#include "script/strlist.h"

constexpr int kMenuMaxItems = 32;

// Where a menu's parts go. An item's button is its slot; its text starts at
// text_left, or is centred in the slot.
struct ChoiceMenuItem {
  const char* text;
  int32_t width;  // of the text in the menu's font
  int32_t button_x, button_y, button_w;
  int32_t text_left, text_top;
  int32_t TextX(bool centred) const { return centred ? button_x + (button_w - width) / 2 : text_left; }
};
struct ChoiceMenuLayout {
  int32_t frame_w, frame_h, capture_w, capture_h;
  int32_t prev_keys, next_keys;  // key bits that move the selection
  std::vector<ChoiceMenuItem> items;
};
// The layouts of the side-by-side and the stacked menu at (x, y); they set
// the menu's font to measure the texts.
ChoiceMenuLayout LayoutChoiceMenuH(int32_t x, int32_t y, const char* const* texts);
ChoiceMenuLayout LayoutChoiceMenuV(int32_t x, int32_t y, const char* const* texts);

// `texts` is a list ended by an empty entry (null or ""). The chosen index,
// or -1 on Esc; Enter before any move returns `selection` unchanged. A null
// list returns -1 at once.
int32_t RunChoiceMenuH(int32_t x, int32_t y, int32_t selection, int32_t centred, const char* const* texts);
int32_t RunChoiceMenuV(int32_t x, int32_t y, int32_t selection, int32_t centred, const char* const* texts);

int macro_selectw(StrList** args, StrList** stack);
int macro_selecth(StrList** args, StrList** stack);

// Registers selecth and selectw.
void RegisterMenuMacros();
