// Fonts and text through FreeType. Every face is IPA Gothic, a monospaced
// Japanese gothic; glyphs are drawn into the context's buffer with a transparent
// or opaque background, cut to the context's clip rectangle.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/gdi/dc.h"
#include "platform/win32/text.h"

namespace {

// Where the fonts-ipafont-gothic package puts the face.
constexpr const char* kFacePaths[] = {
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
    "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf",
};
constexpr int kMaxFontSize = 1024;
constexpr size_t kMaxCachedGlyphs = 8192;

struct FaceHolder {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  bool tried = false;
};

// Never destroyed (nor the glyph cache): text may be drawn or fonts deleted by
// exit handlers after function-local statics are gone.
FT_Face Face() {
  static FaceHolder& holder = *new FaceHolder;
  if (!holder.tried) {
    holder.tried = true;
    if (FT_Init_FreeType(&holder.library) != 0) {
      holder.library = nullptr;
      return nullptr;
    }
    for (const char* path : kFacePaths) {
      if (FT_New_Face(holder.library, path, 0, &holder.face) == 0) break;
      holder.face = nullptr;
    }
  }
  return holder.face;
}

// What a font's glyphs depend on; equal keys draw identical glyphs.
struct FontKey {
  int cell = 16;       // cell height in pixels
  int em26 = 16 * 64;  // em height in 1/64 pixels
  int half = 8;        // advance of a half-width character
  int ascent = 14;
  bool bold = false, italic = false, antialias = false;
  auto tie() const { return std::tie(cell, em26, half, ascent, bold, italic, antialias); }
  bool operator<(const FontKey& o) const { return tie() < o.tie(); }
};

struct Font : HFONT__ {
  FontKey key;
  int weight = FW_NORMAL;
};

struct Glyph {
  int left = 0, top = 0;  // offset of the coverage box from the pen and the cell's top
  int w = 0, h = 0;
  std::vector<uint8_t> coverage;  // w * h, 0 to 255
};

std::map<std::tuple<FontKey, char32_t, bool>, Glyph>& GlyphCache() {
  static auto* cache = new std::map<std::tuple<FontKey, char32_t, bool>, Glyph>;
  return *cache;
}

// True when a smoothed glyph has a pixel at least half covered.
bool Solid(const FT_Bitmap& bm) {
  for (unsigned y = 0; y < bm.rows; ++y) {
    const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
    for (unsigned x = 0; x < bm.width; ++x)
      if (row[x] >= 128) return true;
  }
  return false;
}

Glyph Render(const FontKey& k, char32_t code, bool full) {
  Glyph g;
  FT_Face face = Face();
  if (!face || code == 0) return g;
  FT_UInt index = FT_Get_Char_Index(face, code);
  if (index == 0) return g;
  // The em is as wide as a full-width character, so that the face's half-width
  // glyphs (half an em) take exactly the font's width.
  if (FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(k.half) * 2 * 64, k.em26, 72, 72) != 0) return g;
  FT_Matrix shear{0x10000, k.italic ? 0x3800 : 0, 0, 0x10000};
  FT_Set_Transform(face, &shear, nullptr);
  auto render = [&](bool smooth) {
    FT_Int32 flags = FT_LOAD_NO_BITMAP | (smooth ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
    return FT_Load_Glyph(face, index, flags) == 0 &&
           FT_Render_Glyph(face->glyph, smooth ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) == 0;
  };
  bool ok = render(k.antialias);
  bool smooth = k.antialias;
  // Smoothing loses a glyph made only of strokes thinner than a pixel (the
  // underscore and the overline lie on the em's edge): it fades to nothing or
  // to a faint grey. The sharp rasteriser keeps such strokes a pixel wide.
  if (ok && smooth && !Solid(face->glyph->bitmap)) {
    ok = render(false);
    smooth = false;
  }
  FT_Set_Transform(face, nullptr, nullptr);
  if (!ok) return g;
  const FT_Bitmap& bm = face->glyph->bitmap;
  int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
  if (w <= 0 || h <= 0) return g;
  // A glyph that the face draws wider than its cell (a proportional one) is
  // centred in the cell.
  int advance = full ? 2 * k.half : k.half;
  int natural = static_cast<int>(face->glyph->advance.x >> 6);
  g.left = face->glyph->bitmap_left + (advance - natural) / 2;
  g.top = k.ascent - face->glyph->bitmap_top;
  // Rounding can push a bar on the em's edge a row past the cell; it belongs
  // on the cell's nearest row, not outside it.
  if (g.top >= k.cell) g.top = k.cell - h;
  if (g.top + h <= 0) g.top = 0;
  // Bold is the glyph drawn twice, one pixel apart.
  g.w = w + (k.bold ? 1 : 0);
  g.h = h;
  g.coverage.assign(static_cast<size_t>(g.w) * h, 0);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
    for (int x = 0; x < w; ++x) {
      uint8_t c = smooth ? row[x] : ((row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0);
      uint8_t& a = g.coverage[static_cast<size_t>(y) * g.w + x];
      a = std::max(a, c);
      if (k.bold) {
        uint8_t& b = g.coverage[static_cast<size_t>(y) * g.w + x + 1];
        b = std::max(b, c);
      }
    }
  }
  return g;
}

const Glyph& GetGlyph(const FontKey& k, char32_t code, bool full) {
  auto& cache = GlyphCache();
  auto key = std::make_tuple(k, code, full);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  if (cache.size() >= kMaxCachedGlyphs) cache.clear();
  return cache.emplace(key, Render(k, code, full)).first->second;
}

// One character of a string: its code point (0 for none) and its width class.
struct Char {
  char32_t code;
  bool full;
};

// Wide text keeps the widths that its CP932 form has: the Latin-1 signs that
// CP932 writes in two bytes (the degree, plus-minus, times and division signs,
// ...) are full width there, and their glyphs are a full em.
bool HalfWidth(char32_t c) {
  static const std::array<bool, 0x80> latin1_full = [] {
    std::array<bool, 0x80> t{};
    for (char16_t c = 0x80; c < 0x100; ++c) t[c - 0x80] = win32::Utf16ToCp932(std::u16string_view(&c, 1)).size() == 2;
    return t;
  }();
  if (c >= 0x80 && c < 0x100) return !latin1_full[c - 0x80];
  return c < 0x80 || (c >= 0xFF61 && c <= 0xFFDC) || (c >= 0xFFE8 && c <= 0xFFEE);
}

// Shift-JIS: a lead byte and its trail byte make a full-width character. A lead
// byte with nothing after it within the length (or a zero after it) stands alone
// as a blank half-width character, so that nothing past the text is read.
std::vector<Char> DecodeNarrow(const char* text, int length) {
  std::vector<Char> out;
  if (!text || length <= 0) return out;
  const auto* s = reinterpret_cast<const uint8_t*>(text);
  for (int i = 0; i < length; ++i) {
    uint8_t b = s[i];
    if (win32::IsLeadByte(b)) {
      if (i + 1 < length && s[i + 1] != 0) {
        std::u16string u = win32::Cp932ToUtf16(std::string_view(text + i, 2));
        out.push_back({u.size() == 1 ? u[0] : U'?', true});
        ++i;
      } else {
        out.push_back({0, false});
      }
      continue;
    }
    std::u16string u = win32::Cp932ToUtf16(std::string_view(text + i, 1));
    out.push_back({u.size() == 1 ? u[0] : U'?', false});
  }
  return out;
}

std::vector<Char> DecodeWide(const char16_t* text, int length) {
  std::vector<Char> out;
  if (!text || length <= 0) return out;
  for (int i = 0; i < length; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0;  // a lone surrogate has no glyph
    }
    out.push_back({c, !HalfWidth(c)});
  }
  return out;
}

Font* AsFont(HFONT f) { return static_cast<Font*>(f); }

int Advance(const FontKey& k, const Char& c) { return c.full ? 2 * k.half : k.half; }

uint32_t Blend(const platform::PixelBuffer& b, uint32_t under, uint32_t over, uint32_t over_pixel, int a) {
  if (a >= 255) return over_pixel;
  uint32_t u = gdi::PixelToRgb(b, under);
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    uint32_t cu = (u >> shift) & 0xFF, co = (over >> shift) & 0xFF;
    out |= ((cu * (255 - a) + co * a + 127) / 255) << shift;
  }
  return gdi::RgbToPixel(b, out);
}

void Draw(HDC__& dc, int x, int y, const std::vector<Char>& chars) {
  const platform::PixelBuffer& b = dc.buffer;
  if (!b.bits) return;
  const FontKey& k = AsFont(gdi::CurrentFont(dc))->key;
  RECT area = gdi::DrawArea(dc);
  if (area.left >= area.right || area.top >= area.bottom) return;
  uint32_t pixel = gdi::ColorToPixel(b, dc.text);
  uint32_t rgb = gdi::PixelToRgb(b, pixel);
  // Text may start anywhere in the 32-bit range: positions are worked out wide.
  int64_t pen = x;
  if (dc.bkmode == OPAQUE) {
    int64_t total = 0;
    for (const Char& c : chars) total += Advance(k, c);
    uint32_t bk = gdi::ColorToPixel(b, dc.bk);
    for (int64_t yy = std::max<int64_t>(y, area.top); yy < std::min<int64_t>(int64_t{y} + k.cell, area.bottom); ++yy)
      for (int64_t xx = std::max<int64_t>(x, area.left); xx < std::min<int64_t>(x + total, area.right); ++xx)
        gdi::WritePixel(b, static_cast<int>(xx), static_cast<int>(yy), bk);
  }
  for (const Char& c : chars) {
    // Pens only move right, and no glyph reaches this far left of its pen:
    // the rest of the text is past the area.
    if (pen >= area.right + 8 * int64_t{kMaxFontSize}) break;
    const Glyph& g = GetGlyph(k, c.code, c.full);
    for (int gy = 0; gy < g.h; ++gy) {
      const int64_t py = int64_t{y} + g.top + gy;
      if (py < area.top || py >= area.bottom) continue;
      for (int gx = 0; gx < g.w; ++gx) {
        const int64_t px = pen + g.left + gx;
        if (px < area.left || px >= area.right) continue;
        uint8_t a = g.coverage[static_cast<size_t>(gy) * g.w + gx];
        if (a == 0) continue;
        const int ix = static_cast<int>(px), iy = static_cast<int>(py);
        if (!k.antialias) {
          gdi::WritePixel(b, ix, iy, pixel);
        } else {
          gdi::WritePixel(b, ix, iy, Blend(b, gdi::ReadPixel(b, ix, iy), rgb, pixel, a));
        }
      }
    }
    pen += Advance(k, c);
  }
}

bool Extent(HDC dc, const std::vector<Char>& chars, SIZE* size) {
  if (!gdi::ValidDC(dc) || !size) return false;
  const FontKey& k = AsFont(gdi::CurrentFont(*dc))->key;
  int64_t w = 0;
  for (const Char& c : chars) w += Advance(k, c);
  size->cx = static_cast<LONG>(std::min<int64_t>(w, INT32_MAX));
  size->cy = k.cell;
  return true;
}

}  // namespace

namespace gdi {

HFONT CurrentFont(HDC__& dc) {
  if (dc.font) return dc.font;
  // The stock font: the game's own size, 16 high and 8 wide.
  static HFONT stock = [] {
    Font* f = new Font;
    f->key = FontKey{};
    return static_cast<HFONT>(f);
  }();
  return stock;
}

}  // namespace gdi

HFONT CreateFontA(int height, int width, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD, DWORD, DWORD,
                  DWORD quality, DWORD, const char*) {
  FT_Face face = Face();
  if (!face) return nullptr;
  if (height < -kMaxFontSize || height > kMaxFontSize || width < -kMaxFontSize || width > kMaxFontSize)
    return nullptr;
  // The cell is the face's ascender plus descender, as for the game's gothic
  // face, whose em fills the cell.
  int asc = face->ascender, desc = -face->descender;
  if (asc <= 0 || desc < 0) asc = face->units_per_EM, desc = 0;
  FontKey k;
  if (height == 0) height = 16;
  if (height > 0) {
    k.cell = height;
    k.em26 = static_cast<int>(std::lround(64.0 * height * face->units_per_EM / (asc + desc)));
  } else {
    k.em26 = -height * 64;
    k.cell = static_cast<int>(std::lround(static_cast<double>(-height) * (asc + desc) / face->units_per_EM));
  }
  k.cell = std::max(k.cell, 1);
  k.em26 = std::max(k.em26, 64);
  k.ascent = static_cast<int>(std::lround(static_cast<double>(k.cell) * asc / (asc + desc)));
  width = std::abs(width);
  k.half = width > 0 ? width : std::max(1, (k.em26 / 64 + 1) / 2);
  k.bold = weight >= 550;
  k.italic = italic != 0;
  k.antialias = quality == ANTIALIASED_QUALITY;
  Font* f = new Font;
  f->key = k;
  f->weight = weight == FW_DONTCARE ? FW_NORMAL : weight;
  gdi::RegisterObject(f);
  return f;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* tm) {
  if (!gdi::ValidDC(dc) || !tm) return FALSE;
  Font* f = AsFont(gdi::CurrentFont(*dc));
  const FontKey& k = f->key;
  *tm = {};
  tm->tmHeight = k.cell;
  tm->tmAscent = k.ascent;
  tm->tmDescent = k.cell - k.ascent;
  tm->tmInternalLeading = std::max(0, k.cell - (k.em26 + 32) / 64);
  tm->tmExternalLeading = 0;
  tm->tmAveCharWidth = k.half;
  tm->tmMaxCharWidth = 2 * k.half;
  tm->tmWeight = f->weight;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFC;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = k.italic ? 255 : 0;
  tm->tmPitchAndFamily = FF_MODERN;
  tm->tmCharSet = SHIFTJIS_CHARSET;
  return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int length) {
  if (!gdi::ValidDC(dc) || length < 0 || (length > 0 && !text)) return FALSE;
  Draw(*dc, x, y, DecodeNarrow(text, length));
  return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, const char16_t* text, int length) {
  if (!gdi::ValidDC(dc) || length < 0 || (length > 0 && !text)) return FALSE;
  Draw(*dc, x, y, DecodeWide(text, length));
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size) {
  if (length < 0) return FALSE;
  return Extent(dc, DecodeNarrow(text, length), size) ? TRUE : FALSE;
}

BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int length, SIZE* size) {
  if (length < 0) return FALSE;
  return Extent(dc, DecodeWide(text, length), size) ? TRUE : FALSE;
}
