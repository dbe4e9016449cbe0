// dx/: the DirectX layer the game draws, reads input and plays music through:
// the shell and its window, the display and its surfaces, bitmaps and
// packages, text, blits, Direct3D, input, sound, MIDI, AVI and the message
// pump, one source file per area, over the platform layer only. dx/effects
// holds the software pixel effects (effects.h): the fast workers per colour
// depth and the plain per-pixel reference the tests hold them to.
//
// This header is the layer's public interface: one include for the game.
#pragma once

#include "dx/package.h"
#include "dx/shell.h"
#include "dx/bitmap.h"
#include "dx/text.h"
#include "dx/error.h"
#include "dx/pump.h"
#include "dx/display.h"
#include "dx/color.h"
#include "dx/pixelformat.h"
#include "dx/input.h"
#include "dx/target.h"
#include "dx/blit.h"
#include "dx/capture.h"
#include "dx/pngload.h"
#include "dx/d3d.h"
#include "dx/drawqueue.h"
#include "dx/matrix.h"
#include "dx/mesh.h"
#include "dx/texture.h"
#include "dx/textentry.h"
#include "dx/cursor.h"
#include "dx/sound.h"
#include "dx/midi.h"
#include "dx/avi.h"
#include "dx/effects.h"
