#include "dx/color.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "dx/display.h"
#include "dx/error.h"
#include "dx/package.h"
#include "dx/pixelformat.h"
#include "platform/win32/file.h"

namespace {

std::unordered_map<uint32_t, uint8_t> g_nearest;
std::unordered_map<uint32_t, dx::rgbentry> g_cells;

int Clamp(int c) { return std::clamp(c, 0, 255); }

uint32_t Packed(int r, int g, int b) {
  return static_cast<uint32_t>(r & 0xFF) | static_cast<uint32_t>(g & 0xFF) << 8 | static_cast<uint32_t>(b & 0xFF) << 16;
}

uint8_t Nearest(int r, int g, int b) {
  const uint32_t key = Packed(r, g, b);
  auto it = g_nearest.find(key);
  if (it != g_nearest.end()) return it->second;
  if (g_nearest.size() >= dx::kColorCacheLimit) g_nearest.clear();
  int best = 1;
  int64_t best_d = INT64_MAX;
  for (int i = 1; i < 256; ++i) {
    const PALETTEENTRY& e = dxpalette[i];
    int64_t dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
    int64_t d = dr * dr + dg * dg + db * db;
    if (d < best_d) best_d = d, best = i;
  }
  g_nearest.emplace(key, static_cast<uint8_t>(best));
  return static_cast<uint8_t>(best);
}

uint32_t Expand(uint32_t c, int bits) { return bits == 5 ? (c << 3) | (c >> 2) : (c << 2) | (c >> 4); }

}  // namespace

uint32_t dxrgb(int r, int g, int b) {
  r = Clamp(r), g = Clamp(g), b = Clamp(b);
  if (r == 0 && g == 0 && b == 0) return 0;
  const dx::pixelformat& f = dx::dxpixelformat;
  uint32_t v;
  switch (dxscreendepth) {
    case 8:
      if (dxdefaultpaletteflag) {
        v = static_cast<uint32_t>((r & 0xE0) | ((g >> 5) << 2) | (b >> 6));
        return v ? v : 32;
      }
      return Nearest(r, g, b);
    case 16:
      v = (static_cast<uint32_t>(r) >> f.rloss) << f.rshift | (static_cast<uint32_t>(g) >> f.gloss) << f.gshift |
          (static_cast<uint32_t>(b) >> f.bloss) << f.bshift;
      break;
    default:
      v = static_cast<uint32_t>(r) << f.rshift | static_cast<uint32_t>(g) << f.gshift |
          static_cast<uint32_t>(b) << f.bshift;
      break;
  }
  return v ? v : 1;
}

uint32_t dxrgbpacked(uint32_t bgr) { return dxrgb(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

uint32_t dxpixelrgb(uint32_t v) {
  const dx::pixelformat& f = dx::dxpixelformat;
  switch (dxscreendepth) {
    case 8: {
      const PALETTEENTRY& e = dxpalette[v & 0xFF];
      return RGB(e.peRed, e.peGreen, e.peBlue);
    }
    case 16:
      if (f.rshift == 11)
        return RGB(static_cast<BYTE>(Expand((v >> 11) & 31, 5)), static_cast<BYTE>(Expand((v >> 5) & 63, 6)),
                   static_cast<BYTE>(Expand(v & 31, 5)));
      return RGB(static_cast<BYTE>(Expand((v >> 10) & 31, 5)), static_cast<BYTE>(Expand((v >> 5) & 31, 5)),
                 static_cast<BYTE>(Expand(v & 31, 5)));
    default:
      return RGB(static_cast<BYTE>(v >> f.rshift), static_cast<BYTE>(v >> f.gshift), static_cast<BYTE>(v >> f.bshift));
  }
}

COLORREF dxcolorref(uint32_t v) {
  if (dxscreendepth == 8) return 0x01000000u | (v & 0xFFFF);
  return dxpixelrgb(v);
}

void dxsetpalette(int index, int r, int g, int b) {
  if (dxscreendepth != 8 || index < 0 || index > 255) return;
  if (!dxfullscreen && dxdesktopdepth == 8 && (index == 0 || index == 255)) return;
  PALETTEENTRY& e = dxpalette[index];
  e.peRed = static_cast<BYTE>(Clamp(r));
  e.peGreen = static_cast<BYTE>(Clamp(g));
  e.peBlue = static_cast<BYTE>(Clamp(b));
  dxpalettebgr[index] = {e.peBlue, e.peGreen, e.peRed, 0};
  if (dxgdipalette) AnimatePalette(dxgdipalette, static_cast<UINT>(index), 1, &e);
  dxdefaultpaletteflag = false;
  dxpalettepending = true;
  dxclearcolorcaches();
}

void dxresetpalette(bool reload) {
  if (reload)
    for (int i = 0; i < 256; ++i)
      dxsetpalette(i, dxdefaultpalette[i].peRed, dxdefaultpalette[i].peGreen, dxdefaultpalette[i].peBlue);
  dxdefaultpaletteflag = true;
  dxpalettepending = true;
  dxclearcolorcaches();
}

void dxloadpalette(const char* name) {
  if (dxscreendepth != 8 || !name) return;
  const uint8_t* data = nullptr;
  size_t size = 0;
  dx::file* f = nullptr;
  HRSRC res = FindResourceA(nullptr, name, MAKEINTRESOURCEA(2));
  if (res) {
    data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, res)));
    size = SizeofResource(nullptr, res);
  }
  if (!data) {
    f = dxfopen(name);
    if (!f) dxerror("ビットマップ \"%s\" のロードに失敗しました。", name);
    if (dxfsize(f) >= 14) {
      data = static_cast<const uint8_t*>(dxfdata(f)) + 14;
      size = dxfsize(f) - 14;
    } else {
      size = 0;
    }
  }
  // The header and a table of 256 colours must lie inside the data.
  DWORD header_size = 0;
  if (size >= 4) std::memcpy(&header_size, data, 4);
  int bit_count = 0;
  if (header_size == 12 && size >= sizeof(BITMAPCOREHEADER)) {
    BITMAPCOREHEADER c{};
    std::memcpy(&c, data, sizeof(c));
    bit_count = c.bcBitCount;
  } else if (header_size >= sizeof(BITMAPINFOHEADER) && size >= header_size) {
    BITMAPINFOHEADER h{};
    std::memcpy(&h, data, sizeof(h));
    bit_count = h.biBitCount;
  }
  if (bit_count != 8) {
    if (f) dxfclose(f);
    dxassertfail("bi->bmiHeader.biBitCount == 8", __FILE__, __LINE__);
  }
  const size_t entry = header_size == 12 ? 3 : 4;
  if (size - header_size < 256 * entry) {
    if (f) dxfclose(f);
    dxerror("ビットマップ \"%s\" のロードに失敗しました。", name);
  }
  const uint8_t* table = data + header_size;
  for (int i = 0; i < 256; ++i) {
    const uint8_t* q = table + i * entry;
    dxsetpalette(i, q[2], q[1], q[0]);
  }
  if (f) dxfclose(f);
}

void dxbuilddithercell(dx::rgbentry* cell, int r, int g, int b) {
  struct Candidate {
    uint8_t index;
    int64_t distance;
  } c[16];
  // A channel past the ends stands for the nearest one in range, as in dxrgb;
  // the errors carried below then stay small.
  r = Clamp(r), g = Clamp(g), b = Clamp(b);
  int er = 0, eg = 0, eb = 0;
  for (int k = 0; k < 16; ++k) {
    const int tr = er + r, tg = eg + g, tb = eb + b;
    const uint8_t i = static_cast<uint8_t>(dxrgb(Clamp(tr), Clamp(tg), Clamp(tb)));
    const PALETTEENTRY& e = dxpalette[i];
    const int64_t dr = e.peRed - r, dg = e.peGreen - g, db = e.peBlue - b;
    c[k] = {i, dr * dr + dg * dg + db * db};
    er = tr - e.peRed, eg = tg - e.peGreen, eb = tb - e.peBlue;
  }
  std::stable_sort(c, c + 16, [](const Candidate& a, const Candidate& b) {
    return a.distance != b.distance ? a.distance > b.distance : a.index > b.index;
  });
  for (int e = 0; e < 16; ++e) cell->index[e] = c[dx::dithermatrix[e]].index;
}

const dx::rgbentry& dxdithercell(int r, int g, int b) {
  // Held first, so that 300 does not share the cache key of 44.
  r = Clamp(r), g = Clamp(g), b = Clamp(b);
  const uint32_t key = Packed(r, g, b);
  auto it = g_cells.find(key);
  if (it != g_cells.end()) return it->second;
  if (g_cells.size() >= dx::kColorCacheLimit) g_cells.clear();
  dx::rgbentry cell{};
  dxbuilddithercell(&cell, r, g, b);
  return g_cells.emplace(key, cell).first->second;
}

uint8_t dxditherindex(int x, int y, int r, int g, int b) {
  return dxdithercell(r, g, b).index[(y & 3) * 4 + (x & 3)];
}

void dxclearcolorcaches() {
  g_nearest.clear();
  g_cells.clear();
}

size_t dxcolorcachesize() { return g_nearest.size(); }
size_t dxdithercachesize() { return g_cells.size(); }
