// Text in the layer's one current font, drawn into the render target with a
// transparent background.
#pragma once

#include <cstdint>

#include "dx/bitmap.h"
#include "platform/win32/types.h"

// Selects a new current font; keeps the old one when the font cannot be made.
void dxsetfont(const char* face, int height, int width, BYTE bold, BYTE italic, BYTE antialias);
// Deletes the current font (at shutdown); text is measured in the stock font after.
void dxreleasefont();
// The current font's height in pixels; the argument is ignored.
int dxfontheight(int unused = 0);
int dxtextheight();
// Draws text with its top-left corner at (x, y) in a pixel value of the display
// format, cut to the clip rectangle; the background stays untouched.
void dxtextout(int x, int y, const char* text, uint32_t pixel);
void dxtextoutw(int x, int y, const char16_t* text, uint32_t pixel);
// Formats (at most 4095 bytes; the rest is cut at a character boundary), then
// dxtextout.
void dxprintf(int x, int y, uint32_t pixel, const char* format, ...) __attribute__((format(printf, 4, 5)));
// The same for wide text (at most 4095 characters). As in wide printf, %s and
// %c take wide text and %S, %C and %hs narrow (CP932) text.
void dxprintfw(int x, int y, uint32_t pixel, const char16_t* format, ...);
// A new bitmap exactly the text's extent: the text in the colour on 0.
dx::bitmap* dxtextbitmap(const char* text, uint32_t pixel);
dx::bitmap* dxtextbitmapw(const char16_t* text, uint32_t pixel);
// Widths in pixels in the current font.
int dxtextwidth(const char* text);
int dxtextwidthw(const char16_t* text);
