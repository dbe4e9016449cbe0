// Textures: the Direct3D texture surface made from a bitmap's surface (format
// chosen from those the device offers, size fitted to its limits, the colour
// key turned into alpha where the format has alpha), and textures loaded by
// file name (.bmp and binary PPM) for the .x loader, kept in a cache.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/d3d/d3d.h"
#include "platform/gdi/gdi.h"

namespace dx {
struct bitmap;
}

using dxtextureloader = dx::bitmap* (*)(const char* name);

extern DDPIXELFORMAT dxtextureformat;
extern IDirect3DDevice2* dxtextureformatdevice;
extern std::map<std::string, dx::bitmap*> dxtexturecache;
extern std::vector<dxtextureloader> dxtextureloaders;

// The enumeration callback: keeps in `best` (a DDPIXELFORMAT) the format to use.
HRESULT dxenumtextureformat(DDSURFACEDESC* format, void* best);
void dxtexturesize(int& width, int& height);
// A texture surface for a source surface (with one more reference when the
// source can serve as it is); null when none can be made.
IDirectDrawSurface* dxcreatetexture(IDirectDrawSurface* source, bool stretch);
void dxkeytoalpha(IDirectDrawSurface* texture);
void dxkeytoalpha8(uint8_t* pixels, int pitch, int width, int height, uint32_t alphamask);
void dxkeytoalpha16(uint8_t* pixels, int pitch, int width, int height, uint32_t alphamask);
void dxkeytoalpha24(uint8_t* pixels, int pitch, int width, int height, uint32_t alphamask);
void dxkeytoalpha32(uint8_t* pixels, int pitch, int width, int height, uint32_t alphamask);

// The Direct3D texture of a bitmap, made on first use from its surface and
// again whenever the bitmap has let go of it; null when none can be made.
IDirect3DTexture2* dxbitmaptexture(dx::bitmap* b);
// Makes `b` share `tex` (another bitmap's texture, or null) with a reference
// of its own, so that it outlives the other bitmap and its textures.
void dxsharebitmaptexture(dx::bitmap* b, IDirect3DTexture2* tex);
// Releases every texture made for bitmaps.
void dxreleasebitmaptextures();

dx::bitmap* dxloadtexture(const char* name);
void dxaddtextureloader(dxtextureloader hook);
// Deletes every cached texture bitmap and empties the cache.
void dxreleasetexturecache();

// A binary PPM ("P6", a line feed, width, height, a maximum of at most 255,
// each followed by white space; no comments) as a 24-bit bottom-up DIB with
// rows of a multiple of 4 bytes; false when the data is not one.
bool dxparseppm(const void* data, size_t size, BITMAPINFOHEADER& header, std::vector<uint8_t>& bits);
// Loads a PPM file as a bitmap; a failure stops the program.
dx::bitmap* dxloadppm(const char* name);
