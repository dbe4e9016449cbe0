// The parts of a 3-D view frame (Draw3D itself is declared in view3d.h).
#pragma once

// The fog picture's horizontal offset, kept between frames.
extern int FogPhase;

// The Direct3D viewport at w x h; the projection used for culling stays at the
// 3-D view's size.
void SetViewport3D(int width, int height);
// The cell's background strip for the heading, or a near-black clear.
void DrawPanorama(int x, int y, int floor, float heading);
// Water, fog and desert of the cell over ViewCapture.
void DrawViewOverlays(int x, int y, int floor);
