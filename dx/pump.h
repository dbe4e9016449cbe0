// Per-frame services: the present-and-pump of a frame, the message pump, waits
// and frame pacing on a microsecond clock, the mouse, random numbers and a pool
// of lasting strings.
#pragma once

#include "platform/win32/types.h"

struct D3DVECTOR;

// After drawing a frame: present, pump, keyboard, mouse.
void dxupdate();
void dxpump();
void dxreadmouse();
void dxgetmouse(int* x, int* y, int* left, int* middle, int* right, int* wheel, int* x1, int* x2);
// Waits `ms` milliseconds, pumping; the next dxsync starts a new schedule.
void dxwait(int ms);
// True when `interval` microseconds have passed since the last true answer;
// a false answer has pumped once.
bool dxtick(int interval);
// Paces drawing at `fps` frames a second: false means skip this frame.
bool dxsync(int fps);
// Forgets dxsync's schedule (after a wait or a paint).
void dxresetsync();
// A microsecond count, wrapping at 2^32.
DWORD dxgettime();
// rand() % n; 0 for n below 1.
int dxrand(int n);
void dxblockquit();
void dxunblockquit();
void dxsetpaintrect(int x, int y, int w, int h);
// A key press hides the mouse cursor until the mouse moves again.
void dxresetcursor();
void dxtrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A lasting pointer to an equal text, valid until the program ends.
const char* dxinternstring(const char* s);
const char* dxinternstringw(const char16_t* s);
// Projects a point of the 3-D view through the device's view and projection
// to the 3-D viewport; false (and nothing written) when it lies behind the eye.
bool dxworldtoscreen(const D3DVECTOR& point, int* x, int* y);
