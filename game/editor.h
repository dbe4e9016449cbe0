// The debug map editor.
#pragma once

// The panel at (x, y) for the cell and the wall ahead of the heading; returns on Esc.
void MapEditor(int x, int y, int cellx, int celly, int floor, int heading);
