// The DirectX layer's public interface: one include for the game.
#pragma once

#include "dx/package.h"
#include "dx/shell.h"
#include "dx/bitmap.h"
#include "dx/text.h"
