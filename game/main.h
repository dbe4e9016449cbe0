// game/: the dungeon game, one source file per area: start-up and the title
// loop (main), exploration (explore), events (event), the map and its cells,
// positions and movement, items and monsters, saved games, the 3-D view and
// the minimap, windows, pictures, sounds, transitions, the map editor and the
// set pieces (title demo, ending, credits). Its script built-ins live in
// game/macro (macro.h); it runs its events on the script engine (script/) and
// draws and sounds through dx/ and qv/.
//
// This header: the program's start-up and its outermost flow, the title loop,
// which hands the player to the title event and to the exploration loop.
#pragma once

#include <cstddef>
#include <string>

constexpr size_t kBaseDirSize = 1024;
// Where saves and "setup.jpg" go: the first command-line argument, else empty
// (the working directory).
extern char BaseDir[kBaseDirSize];
// The window's title.
extern const char GameTitle[];

// BaseDir + "\" + name (the "\" only when BaseDir is not empty), cut to 1,023 bytes.
std::string BaseDirPath(const char* name);

// Checks the display, starts the platform layer, the package, the sound
// library, the events, the settings, Direct3D and the data tables; stops the
// program on any failure.
void InitGame();
// Deletes the settings file, so that the next start takes the defaults.
void DeleteSetupFile();
// One pass of the title loop: the title event, then what its RET chose.
void TitlePass();
// The title loop; it leaves only through the program's end.
[[noreturn]] void TitleLoop();
