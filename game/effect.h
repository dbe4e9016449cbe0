// Screen transitions: a full-screen picture warped in over the screen (or out
// again) through one of six precomputed displacement tables, and a zoom.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dx/pngload.h"

// One table: 20 frames of 320 columns of 240 {dx, dy} pairs, signed 16-bit
// little-endian, at frame * 307200 + x * 960 + y * 4.
constexpr int kEffectFrames = 20;
constexpr int kEffectWidth = 320;
constexpr int kEffectHeight = 240;
constexpr size_t kEffectFrameBytes = size_t{kEffectWidth} * kEffectHeight * 4;
constexpr size_t kEffectTableBytes = kEffectFrameBytes * kEffectFrames;
static_assert(kEffectTableBytes == 6144000);
constexpr int kEffectTables = 6;

// Table n's bytes once loaded, else null.
const uint8_t* EffectTable(int n);
// 0 when table n is (now) loaded; -1 for n outside 0 to 5.
int LoadEffectTable(int n);
// Forgets every loaded table; each is read again at its next use.
void FreeEffectTables();
// Reads the file whole into the buffer (kEffectTableBytes; a short file leaves
// the rest as it was); a file that cannot be opened stops the program.
void LoadEffector(uint8_t* buffer, const char* name);
// The offset by which the table moves pixel (x, y) in frame f.
void EffectOffset(const uint8_t* table, int frame, int x, int y, int* dx, int* dy);
// Warps a 320 x 240 image through frame f of the table into `out` (cleared to
// black first): every pixel that is not black moves by its offset (halved when
// `half`); what lands outside is dropped, the last write wins.
void WarpFrame(const uint8_t* table, int frame, bool half, const DibImage& in, DibImage& out);

void PlayEffect(const char* picture, int n, int flag);
void ZoomTransition(int kind, int flag);
