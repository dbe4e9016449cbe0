// Typed text: the two character queues the window fills, read in either encoding,
// the input method in the main window with the composition drawn by the layer,
// and the one-line editors.
#pragma once

#include <cstdint>

#include "platform/win32/imm.h"
#include "platform/win32/types.h"

// The input context, made by the first dximeon and destroyed at release.
extern HIMC dximecontext;
// The input method's open status while text entry is off.
extern BYTE dximeopen;

// The next byte of typed text (CP932), 0 when none; wide characters waiting in
// the other queue are converted first.
char dxgetchar();
// The next wide character, 0 when none; bytes waiting are converted first.
char16_t dxgetwchar();
void dxclearchars();
void dximeon();
void dximeoff();
bool dximecomposing();
// Draws the composition at (x, y) of the render target and places the candidate
// list; nothing without a context or a composition.
void dxdrawime(int x, int y);
// Edits a line of at most size - 1 bytes at (x, y), `width` pixels wide: true
// when accepted (Enter, left button), false when cancelled (Escape, right
// button), which puts the initial text back.
bool dxinputline(int x, int y, int width, char* buffer, int size, const char* initial, uint32_t pixel);
bool dxinputlinew(int x, int y, int width, char16_t* buffer, int size, const char16_t* initial, uint32_t pixel);
