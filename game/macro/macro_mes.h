// The message window and the four background layers: event scenes are built
// from layers 0 to 2 (pictures captured from the screen), the window's
// translucent fill and layer 3, the window's own text surface.
#pragma once

#include <cstdint>

#include "dx/bitmap.h"
#include "script/strlist.h"

struct BgLayer {
  dx::bitmap* picture;  // owned by the layer; null for none
  int32_t x, y;
  int32_t enabled;
};
constexpr int kBgLayers = 4;
constexpr int kMesTextLayer = 3;
extern BgLayer BgLayers[kBgLayers];

struct MesWindowState {
  int32_t open;
  int32_t x, y, width, height;
  int32_t opacity;  // percent of the fill
  int32_t r, g, b;  // colour of the fill
  int32_t line_y;   // where the next message starts inside layer 3
};
extern MesWindowState MesWindow;

// The start-up state of the layers: no pictures, all enabled.
void InitBgLayers();
// Frees every layer's picture and puts the layers and the window back to their
// start-up state (a new game session in tests).
void ResetMesWindow();

// Stores the window's place and look, opens it and makes layer 3 a new text
// surface of its inner size, cleared to black.
void OpenMesWindow(int32_t x, int32_t y, int32_t width, int32_t height, int32_t opacity, int32_t r, int32_t g,
                   int32_t b);
// Layers 0 to 2, the window fill (when `fill`), then layer 3 with black clear.
void RedrawMesScene(bool fill);
// One key poll of the message waits: returns the keys read (Tab included); Tab
// first lets the player look at layer 0 alone until the next key.
int32_t CheckMesKeys();

int macro_mes_open(StrList** args, StrList** stack);
int macro_mes_close(StrList** args, StrList** stack);
int macro_mes_home(StrList** args, StrList** stack);
int macro_mes(StrList** args, StrList** stack);
int macro_mes_ref(StrList** args, StrList** stack);
int macro_mes_key(StrList** args, StrList** stack);
int macro_keywait(StrList** args, StrList** stack);
int macro_bg_enable(StrList** args, StrList** stack);
int macro_bg_memo(StrList** args, StrList** stack);
int macro_bg_open(StrList** args, StrList** stack);
int macro_bg_close(StrList** args, StrList** stack);
int macro_clear(StrList** args, StrList** stack);
int macro_bg_free(StrList** args, StrList** stack);
int macro_bg_draw(StrList** args, StrList** stack);
int macro_bg_swap(StrList** args, StrList** stack);
int macro_overwrite(StrList** args, StrList** stack);

// Registers the background-layer commands, overwrite, the message-window
// commands and "mes" (by name and as the prefix of "#mes" lines).
void RegisterMesMacros();
