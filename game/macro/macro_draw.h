// Built-ins that draw: window frames, buttons, pictures, filled rectangles and
// text with inline mark-up, and the mark-up text drawer that the message
// window shares.
#pragma once

#include <cstdint>

#include "dx/bitmap.h"
#include "script/strlist.h"

// Where and how the next run of message text is drawn; it stays as the last
// text left it.
struct MesTextState {
  int32_t x, y;  // cursor, pixels
  uint8_t bold;
  int32_t r, g, b;
  int32_t font_height, font_width;
};
extern MesTextState MesText;

struct MarkupColor {
  int32_t r, g, b;
};
constexpr int kMarkupColors = 10;
// The colours "%c0" to "%c9" pick.
extern MarkupColor MarkupPalette[kMarkupColors];

// Back to the start-up text state and palette.
void ResetMesText();
// Selects the game font at the message text's size and weight.
void SelectMesFont();

// Draws text into the render target from the cursor, moved first to x and y
// where they are 0 or more. Mark-up: line feed, "\n" and "%n" start a new line
// at this call's left edge; "%B"/"%b" bold on and off; "%cN" palette colour N;
// "%hN"/"%wN" font height and width; "$NAME" the value of the global script
// variable with the longest name the text continues with.
void DrawMarkupText(const char* text, int x, int y);

// A picture at (x, y): whole, stretched (a size), or a part (a source), keyed
// or, with an alpha of 0 or more, translucent. Negative pairs mean "none".
void BlitPicture(dx::bitmap* picture, int x, int y, int sx, int sy, int w, int h, int alpha);

int macro_win(StrList** args, StrList** stack);
int macro_btn(StrList** args, StrList** stack);
int macro_blt(StrList** args, StrList** stack);
int macro_mon_pic(StrList** args, StrList** stack);
int macro_fill(StrList** args, StrList** stack);
int macro_key(StrList** args, StrList** stack);
int macro_txt(StrList** args, StrList** stack);
int macro_txtwidth(StrList** args, StrList** stack);

// Registers win, btn, blt, mon_pic, fill, key, txt and txtwidth.
void RegisterDrawMacros();
