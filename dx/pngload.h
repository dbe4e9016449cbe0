// PNG pictures: 8-bit RGB PNGs (colour type 2, bit depth 8) decoded with libpng,
// and DibImage, a plain 24-bit bottom-up picture that game code edits pixel by
// pixel before converting it to a bitmap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dx/bitmap.h"
#include "platform/gdi/gdi.h"

// Rows from top to bottom, each R, G, B per pixel; owned by the caller until
// PngFreeImage.
struct PngImage {
  int32_t width;
  int32_t height;
  uint8_t** rows;
};

// A 24-bit bottom-up DIB: the header, and pixels whose rows (the bottom one
// first) hold B, G, R and are padded to 4 bytes. The caller frees `bits`.
struct DibImage {
  BITMAPINFO info;
  uint8_t* bits;
};

// Reads up to n bytes into buf; the count read (0 at the end or on failure).
using PngReadFn = size_t (*)(void* user, void* buf, size_t n);

// Decodes a PNG from a stream: its first four bytes are the signature. Null for
// anything but a whole, valid 8-bit RGB PNG within the size bounds.
PngImage* PngDecode(PngReadFn read, void* user);
// The same from memory.
PngImage* PngDecodeMemory(const void* data, size_t size);

// A PNG by file name through the package reader (the package first, then the
// disk); null when it is missing or not a whole 8-bit RGB PNG. The file is
// closed exactly once whatever happens.
PngImage* PngLoadImage(const char* name);
// A new bitmap of the PNG, or null when it cannot be read or is not 8-bit RGB.
dx::bitmap* LoadPngBitmap(const char* name);
// A new bitmap converted through a temporary DibImage and dxloaddib.
dx::bitmap* PngImageToBitmap(const PngImage* image);
// Fills the header and the pixels; on failure only sets the pixel pointer to null.
void LoadPngDib(const char* name, DibImage* dib);

PngImage* PngNewImage(int width, int height);
void PngFreeImage(PngImage* image);
// 0xFFBBGGRR (red in the low byte); 0xFF000000 outside.
uint32_t GetPngPixel(const PngImage* image, int x, int y);
// Writes the three bytes in the order given; nothing outside.
void SetPngPixel(PngImage* image, int x, int y, uint8_t c0, uint8_t c1, uint8_t c2);
// Each byte becomes (old * (255 - a) + new * a) / 255; nothing outside.
void BlendPngPixel(PngImage* image, int x, int y, uint8_t c0, uint8_t c1, uint8_t c2, uint8_t a);

// Fills the header and allocates uninitialised pixels (null when the size is
// refused); returns the pixels.
uint8_t* CreateDib24(DibImage* dib, int width, int height);
// A new pixel block converted from the rows, and the header.
uint8_t* PngImageToDib(const PngImage* image, DibImage* dib);
// 0xFFRRGGBB at (x, y) counted from the top row; 0xFF000000 outside.
uint32_t GetDibPixel(const DibImage* dib, int x, int y);
// Writes B, G, R from a colour laid out as 0xFFRRGGBB in memory; nothing outside.
void SetDibPixel(DibImage* dib, int x, int y, const void* color);
