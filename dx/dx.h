// The DirectX layer's public interface: one include for the game.
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
