// Copies of the render target: into a bitmap, or into a .bmp file.
#pragma once

#include "dx/bitmap.h"

// A new w x h bitmap holding that rectangle of the render target; what lies
// outside the clip rectangle stays 0. With `system_copy` the system-memory copy
// is made at once.
dx::bitmap* dxcapture(int x, int y, int w, int h, bool system_copy);
// Writes that rectangle of the render target as a .bmp file; true on success.
bool dxsavebmp(const char* name, int x, int y, int w, int h);
