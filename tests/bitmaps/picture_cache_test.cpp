// PNG pictures as bitmaps and the game's picture cache.
#include <string>

#include "dx/package.h"
#include "game/fatal.h"
#include "game/picture.h"
#include "tests/bitmaps/display_fixture.h"
#include "tests/bitmaps/png_writer.h"
#include "tests/package/temp_dir.h"

namespace {

class PictureCacheTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    std::filesystem::current_path(dir_.path());  // the start moves to the executable's folder
    for (char c = 'A'; c <= 'I'; ++c) TempDir::Write(std::string(1, c) + ".png", Png());
    TempDir::Write("a.png", Png());
  }
  void TearDown() override {
    FreeImageCache();
    DisplayTest::TearDown();
  }
  static std::string Png() {
    auto v = testpng::Pattern(33, 3);
    return std::string(v.begin(), v.end());
  }
  static std::string Order() {
    std::string s;
    for (const ImageCacheEntry& e : ImageCache) s += e.name ? e.name[0] : '-';
    return s;
  }
  TempDir dir_;
};

TEST_P(PictureCacheTest, PngBitmapsShowNoShear) {
  dx::bitmap* b = LoadPngBitmap("A.png");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(dxbitmapwidth(b), 33);
  // The pattern's red is x * 7 + y: at 24 and 32 bits every pixel comes back.
  if (depth() >= 24) {
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 33; ++x)
        EXPECT_EQ(Pixel(b, x, y) >> 16 & 0xFF, static_cast<uint32_t>(x * 7 + y) & 0xFF) << x << "," << y;
  }
  dxdeletebitmap(b);
  std::vector<uint8_t> grey(9, 7);
  auto g = testpng::Encode(3, 3, PNG_COLOR_TYPE_GRAY, 8, grey);
  TempDir::Write("grey.png", std::string(g.begin(), g.end()));
  EXPECT_EQ(LoadPngBitmap("grey.png"), nullptr);
  EXPECT_EQ(LoadPngBitmap("none.png"), nullptr);
}

TEST_P(PictureCacheTest, NewPicturesFillFromTheFrontAndHitsMoveForward) {
  dx::bitmap* a = readIMG("A.png");
  readIMG("B.png");
  readIMG("C.png");
  EXPECT_EQ(Order(), "ABC-----");
  EXPECT_STREQ(MsgBuf, "readIMG(C.png)");
  readIMG("B.png");
  EXPECT_EQ(Order(), "BAC-----");
  EXPECT_EQ(readIMG("A.png"), a);  // a hit loads nothing
  EXPECT_EQ(Order(), "ABC-----");
  readIMG("a.png");  // names are compared exactly
  EXPECT_EQ(Order(), "ABCa----");
}

TEST_P(PictureCacheTest, AFullCacheDropsTheLastEntry) {
  for (const char* n : {"A.png", "B.png", "C.png", "D.png", "E.png", "F.png", "G.png", "H.png"}) readIMG(n);
  EXPECT_EQ(Order(), "ABCDEFGH");
  dx::bitmap* h = ImageCache[7].picture;
  readIMG("I.png");
  EXPECT_EQ(Order(), "IABCDEFG");
  EXPECT_STREQ(MsgBuf, "readIMG(I.png)-End");
  // The dropped picture stays drawable until a frame has been shown.
  dxblt(h, 0, 0);
  EXPECT_NE(std::find(dxlivebitmaps().begin(), dxlivebitmaps().end(), h), dxlivebitmaps().end());
  dxpresent();
  readIMG("A.png");
  EXPECT_EQ(std::find(dxlivebitmaps().begin(), dxlivebitmaps().end(), h), dxlivebitmaps().end());
}

TEST_P(PictureCacheTest, TheLayersReleaseEmptiesTheCache) {
  readIMG("A.png");
  readIMG("B.png");
  dxrelease();
  EXPECT_EQ(Order(), "--------");
  ASSERT_TRUE(dxinit("test", 640, 480, depth(), false));
  EXPECT_NE(readIMG("A.png"), nullptr);
  EXPECT_EQ(Order(), "A-------");
}

TEST_P(PictureCacheTest, AMissingPictureStopsTheProgram) {
  EXPECT_THROW(readIMG("missing.png"), host::ProcessExit);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_NE(host_.message_boxes().back().text.find("missing.png"), std::string::npos);
  EXPECT_EQ(host_.message_boxes().back().caption, U8(u8"エラー"));
}

INSTANTIATE_TEST_SUITE_P(Depths, PictureCacheTest, ::testing::Values(16, 32));

}  // namespace
