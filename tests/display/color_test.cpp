// Pixel formats, colour values per depth and the 8-bit palette.
#include <climits>
#include <cstring>

#include "fixture.h"

namespace {

TEST(PixelFormatTest, MasksOfTheUsualFormats) {
  dx::pixelformat f;
  ASSERT_TRUE(dx::makepixelformat(8, 0, 0, 0, &f));
  EXPECT_EQ(f.rmask, 0xE0E0E0E0u);
  EXPECT_EQ(f.gmask, 0x1C1C1C1Cu);
  EXPECT_EQ(f.bmask, 0x03030303u);
  EXPECT_EQ(f.allmask, 0xFFFFFFFFu);
  EXPECT_EQ(f.lowmask, 0x25252525u);
  EXPECT_EQ(f.nonlowmask, 0xDADADADAu);
  EXPECT_EQ(f.topmask, 0x92929292u);
  EXPECT_EQ(f.rloss, 5u);
  EXPECT_EQ(f.bloss, 6u);
  EXPECT_EQ(f.bytesperpixel, 1u);

  ASSERT_TRUE(dx::makepixelformat(16, 0xF800, 0x07E0, 0x001F, &f));
  EXPECT_EQ(f.rmask, 0xF800F800u);
  EXPECT_EQ(f.gmask, 0x07E007E0u);
  EXPECT_EQ(f.bmask, 0x001F001Fu);
  EXPECT_EQ(f.rshift, 11u);
  EXPECT_EQ(f.gshift, 5u);
  EXPECT_EQ(f.rloss, 3u);
  EXPECT_EQ(f.gloss, 2u);
  EXPECT_EQ(f.allmask, 0xFFFFFFFFu);
  EXPECT_EQ(f.lowmask, 0x08210821u);
  EXPECT_EQ(f.nonlowmask, 0xF7DEF7DEu);
  EXPECT_EQ(f.topmask, 0x84108410u);

  ASSERT_TRUE(dx::makepixelformat(16, 0x7C00, 0x03E0, 0x001F, &f));
  EXPECT_EQ(f.allmask, 0x7FFF7FFFu);
  EXPECT_EQ(f.lowmask, 0x04210421u);
  EXPECT_EQ(f.nonlowmask, 0x7BDE7BDEu);
  EXPECT_EQ(f.topmask, 0x42104210u);

  ASSERT_TRUE(dx::makepixelformat(32, 0xFF0000, 0xFF00, 0xFF, &f));
  EXPECT_EQ(f.rshift, 16u);
  EXPECT_EQ(f.rloss, 0u);
  EXPECT_EQ(f.allmask, 0x00FFFFFFu);
  EXPECT_EQ(f.lowmask, 0x00010101u);
  EXPECT_EQ(f.nonlowmask, 0x00FEFEFEu);
  EXPECT_EQ(f.topmask, 0x00808080u);
  EXPECT_EQ(f.bytesperpixel, 4u);

  EXPECT_FALSE(dx::makepixelformat(16, 0, 0x07E0, 0x1F, &f));
}

TEST_F(DxTest, DisplayFormatComesFromTheBackBuffer) {
  Start(16);
  EXPECT_EQ(dx::dxpixelformat.topmask, 0x84108410u);
  Start(24);
  EXPECT_EQ(dx::dxpixelformat.bytesperpixel, 3u);
  EXPECT_EQ(dx::dxpixelformat.allmask, 0x00FFFFFFu);
}

TEST_F(DxTest, RgbAt16And32Bits) {
  Start(16);
  EXPECT_EQ(dxrgb(0, 0, 0), 0u);
  EXPECT_EQ(dxrgb(1, 1, 1), 1u);  // every channel truncates to 0
  EXPECT_EQ(dxrgb(255, 0, 0), 0xF800u);
  EXPECT_EQ(dxrgb(255, 255, 255), 0xFFFFu);
  EXPECT_EQ(dxcolorref(0xF800), 0x0000FFu);
  EXPECT_EQ(dxcolorref(0x07E0), 0x00FF00u);
  EXPECT_EQ(dxpixelrgb(0x001F), 0xFF0000u);
  // Channels outside 0-255 are clamped, not wrapped into others.
  EXPECT_EQ(dxrgb(300, -20, 0), 0xF800u);
  EXPECT_EQ(dxrgb(-1, -1, -1), 0u);
  Start(32);
  EXPECT_EQ(dxrgb(255, 0, 0), 0xFF0000u);
  EXPECT_EQ(dxrgb(1, 2, 3), 0x010203u);
  EXPECT_EQ(dxrgbpacked(0x030201), 0x010203u);
  EXPECT_EQ(dxcolorref(0x123456), 0x563412u);
  EXPECT_EQ(dxrgb(256, 0, 0), 0xFF0000u);
}

TEST_F(DxTest, FiveFiveFiveColourReferences) {
  Start(16);
  dx::makepixelformat(16, 0x7C00, 0x03E0, 0x001F, &dx::dxpixelformat);
  EXPECT_EQ(dxrgb(255, 0, 0), 0x7C00u);
  EXPECT_EQ(dxcolorref(0x7FFF), 0xFFFFFFu);
}

TEST_F(DxTest, DefaultPaletteAt8Bits) {
  Start(8);
  EXPECT_EQ(dxrgb(10, 10, 10), 32u);
  EXPECT_EQ(dxrgb(255, 255, 255), 255u);
  EXPECT_EQ(dxrgb(0, 0, 0), 0u);
  EXPECT_EQ(dxpixelrgb(0xFF), 0xFFFFFFu);
  EXPECT_EQ(dxpixelrgb(0x20), 0x000024u);  // (36, 0, 0)
  EXPECT_EQ(dxcolorref(0x1FF), 0x010001FFu);
  // In a window, the two ends of the palette are marked for the system.
  EXPECT_EQ(dxpalette[0].peFlags, 0x40);
  EXPECT_EQ(dxpalette[1].peFlags, 0x41);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(dxpalette[i].peRed, (i / 32) * 255 / 7);
    EXPECT_EQ(dxpalette[i].peGreen, ((i / 4) % 8) * 255 / 7);
    EXPECT_EQ(dxpalette[i].peBlue, (i % 4) * 255 / 3);
  }
}

TEST_F(DxTest, ChangedPaletteSearchesEntriesOneTo255) {
  Start(8);
  for (int i = 0; i < 256; ++i) dxsetpalette(i, 200, 200, 200);
  dxsetpalette(0, 0, 0, 0);
  dxsetpalette(77, 5, 5, 5);
  EXPECT_EQ(dxrgb(1, 1, 1), 77u);
  EXPECT_EQ(dxcolorcachesize(), 1u);
  // A change empties the cache: the colour is searched again.
  dxsetpalette(78, 1, 1, 1);
  EXPECT_EQ(dxcolorcachesize(), 0u);
  EXPECT_EQ(dxrgb(1, 1, 1), 78u);
  // Ties go to the first entry.
  EXPECT_EQ(dxrgb(200, 200, 200), 1u);
  // An index out of range changes nothing.
  dxsetpalette(256, 9, 9, 9);
  dxsetpalette(-1, 9, 9, 9);
  EXPECT_EQ(dxcolorcachesize(), 2u);
  dxresetpalette(true);
  EXPECT_EQ(dxrgb(255, 255, 255), 255u);
  EXPECT_EQ(dxpalette[255].peRed, 255);
}

TEST_F(DxTest, NearestCacheEmptiesWhenFull) {
  Start(8);
  dxsetpalette(1, 1, 2, 3);
  for (int i = 0; i < 16384; ++i) dxrgb(i & 0xFF, i >> 8, 1);
  EXPECT_EQ(dxcolorcachesize(), 16384u);
  dxrgb(0, 200, 200);
  EXPECT_EQ(dxcolorcachesize(), 1u);
}

TEST_F(DxTest, DitherCellMixesEntries) {
  Start(8);
  // The default palette has no mid grey: a cell for it mixes darker and lighter entries.
  const dx::rgbentry& cell = dxdithercell(128, 128, 128);
  int lighter = 0;
  for (uint8_t i : cell.index) lighter += dxpalette[i].peRed > 128;
  EXPECT_GT(lighter, 0);
  EXPECT_LT(lighter, 16);
  EXPECT_EQ(dxditherindex(5, 6, 128, 128, 128), cell.index[2 * 4 + 1]);
  EXPECT_EQ(dxdithercachesize(), 1u);
}

TEST_F(DxTest, FarDitherChannelsGiveTheCellOfTheNearestInRange) {
  Start(8);
  const struct {
    int r, g, b, nr, ng, nb;
  } cases[] = {{-(1 << 30), 0, 0, 0, 0, 0},       {INT_MIN, INT_MAX, 7, 0, 255, 7},
               {300, 0, 0, 255, 0, 0},            {44, 0, 0, 44, 0, 0},
               {1 << 28, -(1 << 28), 90, 255, 0, 90}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.r);
    dx::rgbentry want{};
    dxbuilddithercell(&want, c.nr, c.ng, c.nb);
    dx::rgbentry far{};
    dxbuilddithercell(&far, c.r, c.g, c.b);
    EXPECT_EQ(std::memcmp(&far, &want, sizeof want), 0);
    // Through the cache too, where 300 and 44 once shared a key.
    EXPECT_EQ(std::memcmp(&dxdithercell(c.r, c.g, c.b), &want, sizeof want), 0);
    EXPECT_EQ(dxditherindex(1, 2, c.r, c.g, c.b), want.index[2 * 4 + 1]);
  }
}

TEST_F(DxTest, PaletteDoesNothingAbove8Bits) {
  Start(32);
  PALETTEENTRY before = dxpalette[5];
  dxsetpalette(5, 1, 2, 3);
  EXPECT_EQ(dxpalette[5].peRed, before.peRed);
}

TEST_F(DxTest, EightBitFramesShowThroughThePalette) {
  Start(8);
  dxsetpalette(9, 10, 20, 30);
  dxcls(9);
  dxupdate();
  ASSERT_NE(host_.last_frame(), nullptr);
  EXPECT_EQ(host_.last_frame()->at(1, 1), 0x0A141Eu);
}

}  // namespace

namespace {

TEST_F(DxTest, PaletteFromABitmapFile) {
  Start(8);
  const std::string dir = std::string(DOLVICAR_SOURCE_DIR) + "/fuzz/corpus/palette/";
  dxloadpalette((dir + "info.bmp").c_str());
  EXPECT_EQ(dxpalette[10].peRed, 10 / 2);
  EXPECT_EQ(dxpalette[10].peGreen, 245);
  EXPECT_EQ(dxpalette[10].peBlue, 10);
  EXPECT_FALSE(dxdefaultpaletteflag);
  dxloadpalette((dir + "core.bmp").c_str());
  EXPECT_EQ(dxpalette[10].peRed, 245);
  EXPECT_EQ(dxpalette[10].peBlue, 10);
  EXPECT_THROW(dxloadpalette((dir + "deep.bmp").c_str()), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text.rfind("Assertion failed: \"bi->bmiHeader.biBitCount == 8\"", 0), 0u);
}

TEST_F(DxTest, MissingPaletteFileStops) {
  Start(8);
  EXPECT_THROW(dxloadpalette("no such.bmp"), host::ProcessExit);
  EXPECT_EQ(host_.message_boxes().back().text, U8("ビットマップ \"no such.bmp\" のロードに失敗しました。"));
}

}  // namespace
