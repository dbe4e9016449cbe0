// Window frames and buttons, drawn from pieces of the skin "data/system/win.png",
// and a resizable nine-piece frame style from "data/system/w1.png" and "w2.png".
#pragma once

#include "dx/bitmap.h"

#include <cstdint>

// A place on the screen worked out wide (a script may give any position and
// size), held in the 32-bit range: anything drawn past its ends lies off every
// surface either way.
int HeldPlace(int64_t v);
// A position for something of the game's own size (a window, a menu, a
// button), all far smaller than 2^30 pixels: placed beyond that it lies off
// every surface wherever it is, so it is held there, drawing the same
// (nothing) while the sums of its layout stay in range.
int NearScreen(int v);

// The face every game text is drawn in.
extern const char GameFontFace[];

// The skin picture all windows and buttons are cut from.
extern const char kWindowSkin[];

// A window: a border of pieces at the top and bottom and a white body,
// `percent` translucent. Sizes below 64 become 64.
void DrawWindowFrame(int x, int y, int width, int height, int percent);
// One-line button frames, selected and normal; widths below 32 become 32 and a
// width that is not a multiple of 16 is rounded up to one.
void DrawWindowSel(int x, int y, int width);
void DrawWindowNormal(int x, int y, int width);
// A button with its caption centred; `normal` 0 draws the selected look. A
// caption too wide for the button is squeezed into its inner band.
void DrawTextButton(int x, int y, int width, const char* caption, int normal);

// Nine pieces in rows: top-left, top, top-right, left, centre, right,
// bottom-left, bottom, bottom-right.
struct NinePieces {
  dx::bitmap* piece[9];
};
// A frame built once at a size and kept by its caller between draws.
struct NineFrameCache {
  dx::bitmap* outer;
  dx::bitmap* inner;
};

// Cuts a picture file into nine pieces of the given size; all stay null when
// the file cannot be loaded.
void LoadNinePieces(NinePieces* pieces, const char* file, int piece_width, int piece_height);
// A new width x height frame from the pieces (corners as they are, edges and
// centre stretched); the caller owns it.
dx::bitmap* BuildNineFrame(const NinePieces* pieces, int width, int height);
// Draws the cached frame, built on first use; `shrink` percent (0 to 50)
// shrinks and fades it, for opening and closing animations.
void DrawNineFrameWindow(NineFrameCache* cache, int x, int y, int width, int height, int shrink);
void FreeNineFrame(NineFrameCache* cache);
