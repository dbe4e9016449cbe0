// Text in the layer's one current font, drawn into the render target with a
// transparent background.
#pragma once

#include "platform/win32/types.h"

// Selects a new current font; keeps the old one when the font cannot be made.
void dxsetfont(const char* face, int height, int width, BYTE bold, BYTE italic, BYTE antialias);
// Deletes the current font (at shutdown); text is measured in the stock font after.
void dxreleasefont();
// The current font's height in pixels; the argument is ignored.
int dxfontheight(int unused = 0);
int dxtextheight();
// Widths in pixels in the current font.
int dxtextwidth(const char* text);
int dxtextwidthw(const char16_t* text);
