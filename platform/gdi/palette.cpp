// GDI palettes: entries kept as given and as 0x00RRGGBB for colour matching.
#include <algorithm>
#include <cstring>

#include "platform/gdi/dc.h"

namespace {

struct Palette : HPALETTE__ {
  UINT count = 0;
  PALETTEENTRY entries[256] = {};
  uint32_t rgb[256] = {};
  void Sync(UINT i) {
    rgb[i] = static_cast<uint32_t>(entries[i].peRed) << 16 | static_cast<uint32_t>(entries[i].peGreen) << 8 |
             entries[i].peBlue;
  }
};

Palette* AsPalette(HPALETTE p) {
  if (!gdi::ValidObject(p)) return nullptr;
  return dynamic_cast<Palette*>(static_cast<HGDIOBJ>(p));
}

UINT g_system_palette_use = SYSPAL_STATIC;

}  // namespace

namespace gdi {
const uint32_t* PaletteColors(HPALETTE palette) {
  Palette* p = AsPalette(palette);
  return p ? p->rgb : nullptr;
}
}  // namespace gdi

HPALETTE CreatePalette(const LOGPALETTE* lp) {
  if (!lp || lp->palNumEntries == 0 || lp->palNumEntries > 256) return nullptr;
  auto* p = new Palette;
  p->count = lp->palNumEntries;
  std::memcpy(p->entries, lp->palPalEntry, sizeof(PALETTEENTRY) * p->count);
  for (UINT i = 0; i < p->count; ++i) p->Sync(i);
  gdi::RegisterObject(p);
  return p;
}

HPALETTE CreateHalftonePalette(HDC) {
  static const uint8_t kStatic[20][3] = {
      {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
      {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
      {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
      {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
  auto* p = new Palette;
  p->count = 256;
  auto set = [p](int i, int r, int g, int b) {
    p->entries[i] = {static_cast<BYTE>(r), static_cast<BYTE>(g), static_cast<BYTE>(b), 0};
    p->Sync(static_cast<UINT>(i));
  };
  for (int i = 0; i < 10; ++i) set(i, kStatic[i][0], kStatic[i][1], kStatic[i][2]);
  for (int i = 0; i < 10; ++i) set(246 + i, kStatic[10 + i][0], kStatic[10 + i][1], kStatic[10 + i][2]);
  int k = 10;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) set(k++, r * 51, g * 51, b * 51);
  // The 20 entries left over between the cube and the top statics are greys.
  for (int i = 0; k < 246; ++i) set(k++, 8 + i * 12, 8 + i * 12, 8 + i * 12);
  gdi::RegisterObject(p);
  return p;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* out) {
  Palette* p = AsPalette(palette);
  if (!p) return 0;
  if (!out) return p->count;
  if (start >= p->count) return 0;
  count = std::min(count, p->count - start);
  std::memcpy(out, p->entries + start, sizeof(PALETTEENTRY) * count);
  return count;
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* in) {
  Palette* p = AsPalette(palette);
  if (!p || !in || start >= p->count) return 0;
  count = std::min(count, p->count - start);
  for (UINT i = 0; i < count; ++i) {
    p->entries[start + i] = in[i];
    p->Sync(start + i);
  }
  return count;
}

BOOL AnimatePalette(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* in) {
  Palette* p = AsPalette(palette);
  if (!p || !in || start >= p->count) return FALSE;
  count = std::min(count, p->count - start);
  for (UINT i = 0; i < count; ++i) {
    if (!(p->entries[start + i].peFlags & PC_RESERVED)) continue;
    p->entries[start + i] = in[i];
    p->Sync(start + i);
  }
  return TRUE;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
  if (!gdi::ValidDC(dc) || (palette && !AsPalette(palette))) return nullptr;
  HPALETTE old = dc->palette;
  if (!dc->palette) dc->own_palette = dc->buffer.palette;
  dc->palette = palette;
  // No palette (the "previous" one of a fresh context) goes back to the buffer's own.
  if (!palette) {
    if (dc->buffer.format.bpp == 8) dc->buffer.palette = dc->own_palette;
    return old;
  }
  // At 8 bits RGB colours now match against the selected palette.
  if (dc->buffer.format.bpp == 8) dc->buffer.palette = gdi::PaletteColors(palette);
  return old;
}

UINT RealizePalette(HDC dc) {
  if (!gdi::ValidDC(dc)) return static_cast<UINT>(GDI_ERROR);
  Palette* p = AsPalette(dc->palette);
  return p ? p->count : 0;
}

UINT SetSystemPaletteUse(HDC dc, UINT use) {
  if (!gdi::ValidDC(dc) || (use != SYSPAL_STATIC && use != SYSPAL_NOSTATIC)) return SYSPAL_ERROR;
  UINT old = g_system_palette_use;
  g_system_palette_use = use;
  return old;
}

UINT GetSystemPaletteUse(HDC dc) { return gdi::ValidDC(dc) ? g_system_palette_use : SYSPAL_ERROR; }
