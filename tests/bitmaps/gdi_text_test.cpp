// Fonts and text of the GDI stand-in, drawn into plain pixel buffers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dx/text.h"
#include "platform/gdi/gdi.h"
#include "platform/win32/text.h"

namespace {

struct Canvas {
  std::vector<uint32_t> px;
  platform::PixelBuffer buf;
  HDC dc;
  std::vector<HFONT> fonts;
  void Use(HFONT f) {
    fonts.push_back(f);
    SelectObject(dc, f);
  }
  Canvas(int w, int h, uint32_t fill) : px(static_cast<size_t>(w) * h, fill) {
    buf.bits = reinterpret_cast<uint8_t*>(px.data());
    buf.width = w, buf.height = h, buf.pitch = w * 4;
    dc = gdi::CreateBufferDC(buf);
  }
  ~Canvas() {
    gdi::DeleteBufferDC(dc);
    for (HFONT f : fonts) DeleteObject(f);
  }
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * buf.width + x]; }
  int count(uint32_t v) const {
    int n = 0;
    for (uint32_t p : px) n += p == v;
    return n;
  }
};

HFONT Font(int h, int w, int weight = FW_NORMAL, DWORD quality = NONANTIALIASED_QUALITY) {
  return CreateFontA(h, w, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     quality, DEFAULT_PITCH, "ＭＳ ゴシック");
}

SIZE Extent(HDC dc, const char* s) {
  SIZE sz{-1, -1};
  EXPECT_TRUE(GetTextExtentPoint32A(dc, s, static_cast<int>(std::strlen(s)), &sz));
  return sz;
}

TEST(GdiFont, HalfAndFullWidthAdvances) {
  HDC dc = GetDC(nullptr);
  HFONT f = Font(16, 8);
  ASSERT_NE(f, nullptr);
  HGDIOBJ old = SelectObject(dc, f);
  EXPECT_EQ(Extent(dc, "").cx, 0);
  EXPECT_EQ(Extent(dc, "").cy, 16);
  EXPECT_EQ(Extent(dc, "A").cx, 8);
  EXPECT_EQ(Extent(dc, "あ").cx, 16);
  EXPECT_EQ(Extent(dc, "Aあｱ").cx, 8 + 16 + 8);  // half-width katakana is one byte, half width
  SIZE w{};
  ASSERT_TRUE(GetTextExtentPoint32W(dc, u"Aあｱ", 3, &w));
  EXPECT_EQ(w.cx, 32);
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmHeight, 16);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, 16);
  EXPECT_EQ(tm.tmAveCharWidth, 8);
  EXPECT_EQ(tm.tmWeight, FW_NORMAL);
  // Bold keeps the advances; a narrow font stretches nothing but the width.
  HFONT bold = Font(24, 5, FW_BOLD);
  SelectObject(dc, bold);
  EXPECT_EQ(Extent(dc, "AB").cx, 10);
  EXPECT_EQ(Extent(dc, "漢字").cx, 20);
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmHeight, 24);
  EXPECT_EQ(tm.tmWeight, FW_BOLD);
  SelectObject(dc, old);
  EXPECT_TRUE(DeleteObject(f));
  EXPECT_TRUE(DeleteObject(bold));
  EXPECT_FALSE(DeleteObject(f));  // already gone
  ReleaseDC(nullptr, dc);
}

TEST(GdiFont, TrailingLeadByteStaysInsideTheText) {
  HDC dc = GetDC(nullptr);
  HFONT font = Font(16, 8);
  SelectObject(dc, font);
  // A lead byte as the last byte: one blank half-width character, never paired
  // with the terminator or what lies beyond it.
  char text[4] = {'A', '\x82', '\0', '\xA0'};
  SIZE sz{};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, text, 2, &sz));
  EXPECT_EQ(sz.cx, 16);
  ASSERT_TRUE(GetTextExtentPoint32A(dc, text, 3, &sz));
  EXPECT_EQ(sz.cx, 24);  // the zero ends the pair: lead, then the zero itself
  Canvas c(40, 20, 0x123456);
  c.Use(Font(16, 8));
  SetBkMode(c.dc, TRANSPARENT);
  EXPECT_TRUE(TextOutA(c.dc, 0, 0, text + 1, 1));
  EXPECT_EQ(c.count(0x123456), 40 * 20);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
}

TEST(GdiText, DrawsInsideTheClipOnly) {
  Canvas c(64, 32, 0x00FFFFFF);
  c.Use(Font(16, 8));
  SetBkMode(c.dc, TRANSPARENT);
  SetTextColor(c.dc, RGB(0, 0, 0));
  ASSERT_TRUE(TextOutA(c.dc, 0, 0, "■■■■", 8));
  // Colour 0 writes the pixel value 0, which keyed blits treat as transparent.
  int drawn = c.count(0);
  EXPECT_GT(drawn, 4 * 100);
  for (int y = 16; y < 32; ++y)
    for (int x = 0; x < 64; ++x) EXPECT_EQ(c.at(x, y), 0x00FFFFFFu) << x << "," << y;

  Canvas d(64, 32, 0x00FFFFFF);
  d.Use(Font(16, 8));
  SetBkMode(d.dc, TRANSPARENT);
  SetTextColor(d.dc, RGB(255, 0, 0));
  IntersectClipRect(d.dc, 10, 4, 30, 12);
  ASSERT_TRUE(TextOutA(d.dc, 0, 0, "■■■■", 8));
  int inside = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      bool in = x >= 10 && x < 30 && y >= 4 && y < 12;
      if (!in) {
        EXPECT_EQ(d.at(x, y), 0x00FFFFFFu) << x << "," << y;
      }
      if (in && d.at(x, y) == 0x00FF0000u) ++inside;
    }
  EXPECT_GT(inside, 100);
  // Without the clip region the whole text shows again.
  SelectClipRgn(d.dc, nullptr);
  ASSERT_TRUE(TextOutA(d.dc, 0, 0, "■■■■", 8));
  EXPECT_EQ(d.count(0x00FF0000u), drawn);
}

TEST(GdiText, ColourIsThePixelValueAtEachDepth) {
  // 16 bits, 5-6-5: a COLORREF made from pixel 0xF81F draws exactly 0xF81F.
  std::vector<uint16_t> px(32 * 16, 0x1234);
  platform::PixelBuffer b;
  b.bits = reinterpret_cast<uint8_t*>(px.data());
  b.width = 32, b.height = 16, b.pitch = 64;
  b.format = {16, 0xF800, 0x07E0, 0x001F};
  HDC dc = gdi::CreateBufferDC(b);
  HFONT f = Font(16, 8);
  SelectObject(dc, f);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 0, 255));
  TextOutW(dc, 0, 0, u"■", 1);
  int magenta = 0, other = 0;
  for (uint16_t p : px) magenta += p == 0xF81F, other += p != 0xF81F && p != 0x1234;
  EXPECT_GT(magenta, 100);
  EXPECT_EQ(other, 0);
  gdi::DeleteBufferDC(dc);
  DeleteObject(f);
}

TEST(GdiText, AntialiasingBlendsWithTheBackground) {
  Canvas c(32, 16, 0);
  HFONT f = Font(16, 8, FW_NORMAL, ANTIALIASED_QUALITY);
  SelectObject(c.dc, f);
  SetBkMode(c.dc, TRANSPARENT);
  SetTextColor(c.dc, RGB(200, 100, 50));
  TextOutA(c.dc, 0, 0, "あ", 2);
  int partial = 0;
  for (uint32_t p : c.px) {
    uint32_t r = p >> 16 & 255, g = p >> 8 & 255;
    EXPECT_LE(r, 200u);
    EXPECT_LE(g, 100u);
    if (r > 0 && r < 200) ++partial;
    EXPECT_EQ(p >> 24, 0u);
  }
  EXPECT_GT(partial, 0);
  DeleteObject(f);
}

// Printable ASCII and the Japanese punctuation and signs of the game's texts.
std::u16string EveryCharacter() {
  std::u16string s;
  for (char16_t c = 0x21; c < 0x7F; ++c) s += c;
  return s + u"、。，．・：；？！゛゜´｀¨＾￣＿ヽヾゝゞ〃々〆〇ー―‐／＼～∥｜…‥‘’“”（）〔〕［］｛｝〈〉《》"
             u"「」『』【】＋－±×÷＝＜＞￥＄％＃＆＊＠§☆★○●◎◇◆□■△▲▽▼※→←↑↓";
}

// Every character leaves ink (a pixel at least half covered) inside its own cell
// in every font the game and the layer's own pictures draw with, from narrow
// and from wide text: a glyph that is lost, or lands outside its cell, leaves
// the cell empty.
TEST(GdiText, EveryCharacterLeavesInkInItsCell) {
  // Height, width, bold, smoothed.
  const int fonts[][4] = {{16, 8, 0, 0}, {16, 8, 0, 1},  {16, 8, 1, 1},  {12, 6, 1, 1}, {12, 8, 0, 1},
                          {24, 12, 1, 1}, {32, 16, 1, 1}, {30, 24, 1, 0}, {48, 28, 1, 0}};
  for (const auto& f : fonts) {
    for (char16_t ch : EveryCharacter()) {
      const std::string narrow = win32::Utf16ToCp932(std::u16string_view(&ch, 1));
      const int h = f[0], adv = narrow.size() == 2 ? 2 * f[1] : f[1];
      for (bool wide : {false, true}) {
        Canvas c(3 * adv, 3 * h, 0x00FFFFFF);
        c.Use(Font(h, f[1], f[2] ? FW_BOLD : FW_NORMAL, f[3] ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY));
        SetBkMode(c.dc, TRANSPARENT);
        SetTextColor(c.dc, RGB(0, 0, 0));
        if (wide) {
          TextOutW(c.dc, adv, h, &ch, 1);
        } else {
          TextOutA(c.dc, adv, h, narrow.data(), static_cast<int>(narrow.size()));
        }
        int ink = 0;
        for (int y = h; y < 2 * h; ++y)
          for (int x = adv; x < 2 * adv; ++x) ink += (c.at(x, y) & 0x808080) == 0;
        EXPECT_GT(ink, 0) << "U+" << std::hex << static_cast<int>(ch) << std::dec << " in font " << h << "x" << f[1]
                          << " bold " << f[2] << " smoothed " << f[3] << (wide ? " wide" : " narrow");
      }
    }
  }
}

// Wide text measures each character as its CP932 form does.
TEST(GdiText, WideAndNarrowTextHaveTheSameWidths) {
  HDC dc = GetDC(nullptr);
  HFONT f = Font(16, 8);
  HGDIOBJ old = SelectObject(dc, f);
  for (char16_t ch : EveryCharacter()) {
    const std::string narrow = win32::Utf16ToCp932(std::u16string_view(&ch, 1));
    SIZE w{};
    ASSERT_TRUE(GetTextExtentPoint32W(dc, &ch, 1, &w));
    EXPECT_EQ(w.cx, Extent(dc, narrow.c_str()).cx) << "U+" << std::hex << static_cast<int>(ch);
  }
  SelectObject(dc, old);
  DeleteObject(f);
  ReleaseDC(nullptr, dc);
}

TEST(GdiText, OpaqueBackgroundFillsTheCells) {
  Canvas c(40, 20, 0x00ABCDEF);
  c.Use(Font(16, 8));
  SetTextColor(c.dc, RGB(255, 255, 255));
  SetBkColor(c.dc, RGB(0, 0, 0));
  TextOutA(c.dc, 2, 1, "i ", 2);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      bool cell = x >= 2 && x < 18 && y >= 1 && y < 17;
      if (!cell) {
        EXPECT_EQ(c.at(x, y), 0x00ABCDEFu);
      } else {
        EXPECT_TRUE(c.at(x, y) == 0 || c.at(x, y) == 0x00FFFFFFu);
      }
    }
  EXPECT_GT(c.count(0), 200);
}

TEST(DxFont, SetFontKeepsTheOldOneOnFailure) {
  dxsetfont("ＭＳ ゴシック", 16, 8, 0, 0, 0);
  EXPECT_EQ(dxfontheight(0), 16);
  EXPECT_EQ(dxtextwidth(""), 0);
  EXPECT_EQ(dxtextwidth("A"), 8);
  EXPECT_EQ(dxtextwidth("あ"), 16);
  EXPECT_EQ(dxtextwidthw(u"あA"), 24);
  dxsetfont("ＭＳ ゴシック", 24, 12, 1, 0, 1);
  EXPECT_EQ(dxtextheight(), 24);
  EXPECT_EQ(dxtextwidth("AB"), 24);
  dxsetfont("ＭＳ ゴシック", 100000, 12, 0, 0, 0);  // cannot be made
  EXPECT_EQ(dxtextheight(), 24);
  EXPECT_EQ(dxtextwidth("AB"), 24);
  dxreleasefont();
}

}  // namespace

namespace {

TEST(GdiPalette, SelectedPaletteMatchesColoursAtEightBits) {
  std::vector<uint8_t> px(8 * 4, 0);
  uint32_t grey[256];
  for (int i = 0; i < 256; ++i) grey[i] = static_cast<uint32_t>(i) * 0x010101u;
  platform::PixelBuffer b;
  b.bits = px.data(), b.width = 8, b.height = 4, b.pitch = 8, b.format = {8, 0, 0, 0}, b.palette = grey;
  HDC dc = gdi::CreateBufferDC(b);
  struct {
    LOGPALETTE head;
    PALETTEENTRY more[3];
  } lp{};
  lp.head.palVersion = 0x300;
  lp.head.palNumEntries = 4;
  PALETTEENTRY cols[4] = {{0, 0, 0, 0}, {255, 0, 0, PC_RESERVED}, {0, 255, 0, 0}, {0, 0, 255, 0}};
  std::memcpy(lp.head.palPalEntry, cols, sizeof cols);
  HPALETTE pal = CreatePalette(&lp.head);
  ASSERT_NE(pal, nullptr);
  // Without a palette a red COLORREF finds the nearest grey; with one, its red entry.
  SetBkColor(dc, RGB(250, 10, 10));  // an opaque blank shows the background colour
  TextOutA(dc, 0, 0, " ", 1);
  EXPECT_NE(px[0], 1);
  EXPECT_EQ(SelectPalette(dc, pal, FALSE), nullptr);
  EXPECT_EQ(RealizePalette(dc), 4u);
  TextOutA(dc, 0, 0, " ", 1);
  EXPECT_EQ(px[0], 1);
  // Animating changes only reserved entries.
  PALETTEENTRY anim[2] = {{9, 9, 9, PC_RESERVED}, {8, 8, 8, 0}};
  EXPECT_TRUE(AnimatePalette(pal, 1, 2, anim));
  PALETTEENTRY out[4];
  EXPECT_EQ(GetPaletteEntries(pal, 0, 4, out), 4u);
  EXPECT_EQ(out[1].peRed, 9);
  EXPECT_EQ(out[2].peGreen, 255);
  EXPECT_EQ(SelectPalette(dc, nullptr, FALSE), pal);
  EXPECT_TRUE(DeleteObject(pal));
  HPALETTE half = CreateHalftonePalette(dc);
  PALETTEENTRY all[256];
  EXPECT_EQ(GetPaletteEntries(half, 0, 256, all), 256u);
  EXPECT_EQ(all[255].peRed, 255);
  EXPECT_EQ(GetPaletteEntries(half, 0, 0, nullptr), 256u);
  DeleteObject(half);
  gdi::DeleteBufferDC(dc);
}

}  // namespace

namespace {

TEST(GdiShapes, EllipsesWithStockPensAndBrushes) {
  Canvas c(12, 8, 0x123456);
  HGDIOBJ old_pen = SelectObject(c.dc, GetStockObject(WHITE_PEN));
  HGDIOBJ old_brush = SelectObject(c.dc, GetStockObject(NULL_BRUSH));
  EXPECT_EQ(old_pen, GetStockObject(BLACK_PEN));
  EXPECT_EQ(old_brush, GetStockObject(WHITE_BRUSH));
  ASSERT_TRUE(Ellipse(c.dc, 1, 1, 11, 7));
  EXPECT_EQ(c.at(6, 4), 0x123456u);      // inside the outline: untouched
  EXPECT_EQ(c.at(1, 1), 0x123456u);      // the box's corner lies outside
  EXPECT_EQ(c.at(0, 4), 0x123456u);      // outside the box
  EXPECT_EQ(c.at(11, 4), 0x123456u);     // the right edge is excluded
  EXPECT_EQ(c.at(1, 4), 0x00FFFFFFu);    // the outline touches the box's sides
  EXPECT_EQ(c.at(10, 4), 0x00FFFFFFu);
  EXPECT_EQ(c.at(6, 1), 0x00FFFFFFu);
  EXPECT_EQ(c.at(6, 6), 0x00FFFFFFu);
  for (int y = 0; y < 8; ++y)  // symmetric left to right
    for (int x = 1; x < 11; ++x) EXPECT_EQ(c.at(x, y), c.at(11 - x, y)) << x << "," << y;

  Canvas f(12, 8, 0x123456);
  SelectObject(f.dc, GetStockObject(NULL_PEN));
  SelectObject(f.dc, GetStockObject(WHITE_BRUSH));
  IntersectClipRect(f.dc, 0, 0, 6, 8);
  Ellipse(f.dc, 1, 1, 11, 7);
  EXPECT_EQ(f.at(5, 4), 0x00FFFFFFu);
  EXPECT_EQ(f.at(1, 4), 0x00FFFFFFu);
  EXPECT_EQ(f.at(6, 4), 0x123456u);  // clipped
  EXPECT_EQ(f.at(1, 1), 0x123456u);
  EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_PEN)));  // stock objects stay
  EXPECT_EQ(SelectObject(f.dc, GetStockObject(WHITE_PEN)), GetStockObject(NULL_PEN));
  EXPECT_EQ(GetStockObject(99), nullptr);
}

// Boxes whose sides span the int range are measured in 64 bits, and only
// what falls on the drawing area is drawn, however large the box: before, a
// box past 2^26 pixels was refused and drew nothing where it crossed the area.
TEST(GdiShapes, EllipsesAcrossTheIntRangeDrawTheirVisiblePart) {
  constexpr uint32_t kBack = 0x123456, kWhite = 0xFFFFFF;
  const int outline_then_filled[][2] = {{WHITE_PEN, NULL_BRUSH}, {NULL_PEN, WHITE_BRUSH}};
  for (const auto& [pen, brush] : outline_then_filled) {
    Canvas c(12, 8, kBack);
    SelectObject(c.dc, GetStockObject(pen));
    SelectObject(c.dc, GetStockObject(brush));
    // Wholly above or left of the area.
    EXPECT_TRUE(Ellipse(c.dc, 0, 0, INT32_MIN, 40));
    EXPECT_TRUE(Ellipse(c.dc, 0, 0, 40, INT32_MIN));
    EXPECT_EQ(c.count(kBack), 12 * 8);
    // Centred near the origin: the area lies deep inside, away from the edge.
    EXPECT_TRUE(Ellipse(c.dc, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN));
    EXPECT_EQ(c.count(pen == WHITE_PEN ? kBack : kWhite), 12 * 8) << pen;
    // As wide as the int range and 8 high: the top and bottom rows are its
    // edge, the rows between its inside.
    Canvas flat(12, 8, kBack);
    SelectObject(flat.dc, GetStockObject(pen));
    SelectObject(flat.dc, GetStockObject(brush));
    EXPECT_TRUE(Ellipse(flat.dc, INT32_MIN, 0, INT32_MAX, 8));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 12; ++x)
        EXPECT_EQ(flat.at(x, y), pen == WHITE_PEN && y > 0 && y < 7 ? kBack : kWhite) << x << "," << y;
  }
}

}  // namespace
