// The 3-D view of the dungeon: one frame for a position, rendered at 320 x 240
// and stretched over the screen.
#pragma once

#include "dx/matrix.h"
#include "game/gamestate.h"

namespace dx {
struct bitmap;
}

// The view's world transform, reset to the identity whenever the device's
// states are set again.
extern dx::matrix WorldMatrix;
// The captured view while the overlays are drawn (within one frame only).
extern dx::bitmap* ViewCapture;

// One frame of the view for a position; a non-zero `release` lets the wall
// pictures go first (they load again on demand).
void Draw3D(const ViewPos& pos, int release);
