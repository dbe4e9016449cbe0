// The software cursor: an animated picture in place of the mouse pointer, drawn
// onto the screen and redrawn by every present. A thread of its own says every
// 10 ms when to look at the mouse and the clock again; the pump does it. The
// frames lie side by side in one bitmap.
#pragma once

#include "dx/bitmap.h"
#include "platform/win32/thread.h"

// Guards the cursor's state and every draw and erase of it, between its thread
// and the present.
extern CRITICAL_SECTION dxcursorlock;

// Sets the cursor (null: none). Frames and frame time below 1 count as 1.
void dxsetswcursor(dx::bitmap* bitmap, int hot_x, int hot_y, int frames, int frame_ms);
// Draws the cursor onto the primary surface when it is not there.
void dxdrawswcursor();
// Puts back what the cursor covered on the primary surface.
void dxeraseswcursor();
// The pump's part: when the thread has marked a pass due, redraws the cursor
// where the mouse has moved or when its frame has changed.
void dxswcursorpump();
// (Re)makes the cursor's two surfaces from its bitmap.
void dxmakecursorsurfaces();
// Draws the current frame into the back buffer under the mouse (for the present).
void dxdrawswcursorback();

// The present's two halves, with the lock held between them: before the copy
// (true: the cursor was drawn into the back buffer) and after it (the back
// buffer gets its pixels back, or the cursor goes onto the screen).
bool dxswcursorbeforepresent();
void dxswcursorafterpresent(bool drawn_back);
// A cursor is set.
bool dxswcursorset();
