// The program's start-up and its outermost flow: the title loop, which hands
// the player to the title event and to the exploration loop.
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
