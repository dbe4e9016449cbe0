// The map editor's pickers (MapEditor itself is declared in editor.h). Each
// edits one integer in place and returns on Enter or Esc.
#pragma once

#include <cstdint>

// The editor's cursor row, 0 to 22, kept between calls.
extern int MapEditorRow;

// The 16 x 16 grid of map parts at (x, y); Esc leaves the value.
void PickMapChip(int x, int y, int32_t* value);
// The grid of wall textures with a large preview of the entry under the cursor.
void PickTexture(int x, int y, int32_t* value);
// A one-line number entry; a cancelled entry leaves the value.
void EditNumber(int x, int y, int32_t* value);
// The value's 32 bits, set (up) and cleared (down) at once.
void EditBits(int x, int y, int32_t* value);
