// C runtime behaviour the game's data depends on.
//  - rand/srand are the classic generator (state * 214013 + 2531011, bits 16..30),
//    with RAND_MAX 32767; they replace the C library's for the whole program.
//  - MulDiv: a * b / c with a 64-bit product, rounded half away from zero;
//    -1 when c is 0 or the result does not fit in 32 bits.
#pragma once

#include <cstdlib>

#include "platform/win32/types.h"

#undef RAND_MAX
#define RAND_MAX 32767

extern "C" int rand(void) noexcept;
extern "C" void srand(unsigned int seed) noexcept;

int MulDiv(int a, int b, int c);
