// Bitmaps at every depth: their copies, loading with the dither, captures and mirrors.
#include "platform/d3d/d3d.h"
#include "tests/bitmaps/display_fixture.h"

namespace {

using BitmapTest = DisplayTest;

TEST_P(BitmapTest, CopiesAreMadeOnDemandAndReleasedOnWrite) {
  dx::bitmap* b = dxnewbitmap(0, -5);
  EXPECT_EQ(dxbitmapwidth(b), 1);
  EXPECT_EQ(dxbitmapheight(b), 1);
  dxdeletebitmap(b);
  dxdeletebitmap(b);  // no longer live: nothing happens
  dxdeletebitmap(nullptr);

  // Without video memory the display slot stays empty.
  dxusevram(false);
  b = Numbered(4, 3);
  EXPECT_EQ(dxgetsurface(b, false), b->syssurface);
  EXPECT_EQ(b->surface, nullptr);
  dxdeletebitmap(b);

  // With video memory the display copy is filled from the system-memory copy;
  // an exclusive request releases the other copy.
  dxusevram(true);
  if (!dxvram) GTEST_SKIP() << "no video memory at this depth";
  b = Numbered(4, 3);
  IDirectDrawSurface* d = dxgetsurface(b, false);
  ASSERT_NE(d, nullptr);
  EXPECT_NE(d, b->syssurface);
  EXPECT_TRUE(d->in_video_memory());
  EXPECT_EQ(At(d, 3, 2), NumberAt(depth(), 3, 2));
  dxgetsurface(b, true);
  EXPECT_EQ(b->syssurface, nullptr);
  IDirectDrawSurface* s = dxgetsyssurface(b, false);  // made again from the display copy
  EXPECT_EQ(At(s, 2, 1), NumberAt(depth(), 2, 1));
  dxgetsyssurface(b, true);
  EXPECT_EQ(b->surface, nullptr);
  dxdeletebitmap(b);

  // Video memory used up: both slots hold the one system-memory surface.
  ddraw::SetVideoMemory(0);
  b = dxnewbitmap(8, 8);
  d = dxgetsurface(b, false);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(b->surface, b->syssurface);
  dxdeletebitmap(b);
  EXPECT_EQ(dxlivebitmaps().size(), 0u);

  // The bitmap lets go of its texture when another copy is written (the
  // texture maker, which holds the reference, then makes it again).
  b = Numbered(4, 4);
  auto* texture = new IDirect3DTexture2(dxgetsyssurface(b, false));
  b->texture = texture;
  dxgetsyssurface(b, false);
  EXPECT_EQ(b->texture, texture);
  dxgetsyssurface(b, true);
  EXPECT_EQ(b->texture, nullptr);
  texture->Release();
  dxdeletebitmap(b);
}

TEST_P(BitmapTest, PixelsSurviveALossOfEverySurface) {
  auto same = [&](IDirectDrawSurface* s) {
    int wrong = 0;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) wrong += At(s, x, y) != NumberAt(depth(), x, y);
    return wrong;
  };
  auto lose = [] {
    ddraw::LoseAllSurfaces();
    dxpump();  // finds the back buffer lost and restores everything
  };
  // Only the system-memory copy.
  dxusevram(false);
  dx::bitmap* b = Numbered(4, 3);
  lose();
  ASSERT_NE(b->syssurface, nullptr);
  EXPECT_EQ(b->syssurface->IsLost(), DD_OK);
  EXPECT_EQ(same(dxgetsurface(b, false)), 0);
  dxbltnokey(b, 10, 20);
  EXPECT_EQ(Screen(13, 22), NumberAt(depth(), 3, 2));
  dxdeletebitmap(b);

  // A display copy in video memory is made again from the system-memory copy.
  dxusevram(true);
  ASSERT_TRUE(dxvram);
  b = Numbered(4, 3);
  ASSERT_TRUE(dxgetsurface(b, false)->in_video_memory());
  lose();
  IDirectDrawSurface* d = dxgetsurface(b, false);
  EXPECT_EQ(d->IsLost(), DD_OK);
  EXPECT_TRUE(d->in_video_memory());
  EXPECT_EQ(same(d), 0);
  EXPECT_EQ(same(b->syssurface), 0);
  dxdeletebitmap(b);

  // Video memory used up: one surface in both slots.
  ddraw::SetVideoMemory(0);
  b = Numbered(4, 3);
  ASSERT_NE(dxgetsurface(b, false), nullptr);
  ASSERT_EQ(b->surface, b->syssurface);
  lose();
  EXPECT_EQ(b->surface, b->syssurface);
  EXPECT_EQ(same(dxgetsurface(b, false)), 0);
  dxdeletebitmap(b);
}

TEST_P(BitmapTest, LoadingKeepsBlackAsTheKeyAndDarkAsNotKey) {
  auto f = [](int x, int y) -> uint32_t {
    if (y == 0) return x == 0 ? 0x000000 : 0x010101;
    return 0xFF0000;
  };
  for (bool top_down : {false, true}) {
    dx::bitmap* b = Load(Dib(4, 4, f, top_down));
    ASSERT_EQ(dxbitmapwidth(b), 4);
    EXPECT_EQ(Pixel(b, 0, 0), 0u);
    int ones = 0;
    for (int x = 1; x < 4; ++x) {
      uint32_t p = Pixel(b, x, 0);
      EXPECT_NE(p, 0u) << x;
      ones += p == 1;
      if (depth() == 8) {
        EXPECT_EQ(p, 32u);
      }
      if (depth() >= 24) {
        EXPECT_EQ(p, 0x010101u);
      }
    }
    // Row 0 of the picture uses thresholds 8 136 40 168: at 5-6-5 every
    // channel of (1, 1, 1) rounds to 0 where the threshold is 63 or more.
    if (depth() == 16) {
      EXPECT_EQ(ones, 2);
    }
    uint32_t red = depth() == 8 ? 0xE0u : depth() == 16 ? 0xF800u : 0xFF0000u;
    EXPECT_EQ(Pixel(b, 2, 3), red);
    dxdeletebitmap(b);
  }
}

TEST_P(BitmapTest, PaddedSurfaceRowsChangeNothing) {
  auto f = [](int x, int y) -> uint32_t { return static_cast<uint32_t>(0x102030 + x * 0x0A0000 + y * 0x000A00); };
  dx::bitmap* plain = Load(Dib(7, 5, f));
  ddraw::SetPitchPadding(12);
  dx::bitmap* padded = Load(Dib(7, 5, f, true));
  ASSERT_NE(padded->syssurface->pixels().pitch, plain->syssurface->pixels().pitch);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(Pixel(padded, x, y), Pixel(plain, x, y)) << x << "," << y;
  dxdeletebitmap(plain);
  dxdeletebitmap(padded);
}

TEST_P(BitmapTest, PalettedAndBitFieldPicturesLoadLikeTrueColour) {
  // An 8-bit picture: index 1 is pure green, 0 black.
  std::vector<uint8_t> dib(40 + 256 * 4 + 4, 0);
  BITMAPINFOHEADER hd{40, 2, 1, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
  std::memcpy(dib.data(), &hd, 40);
  dib[40 + 4 + 1] = 255;
  dib[40 + 1024] = 1;  // pixel 0 is index 1, pixel 1 index 0
  dx::bitmap* b = dxloaddib(reinterpret_cast<BITMAPINFO*>(dib.data()), dib.data() + 40 + 1024);
  uint32_t green = depth() == 8 ? 0x1Cu : depth() == 16 ? 0x07E0u : 0x00FF00u;
  EXPECT_EQ(Pixel(b, 0, 0), green);
  EXPECT_EQ(Pixel(b, 1, 0), 0u);
  dxdeletebitmap(b);
}

TEST_P(BitmapTest, BadPicturesStopTheProgramWithTheLoadMessage) {
  auto dib = Dib(2, 2, [](int, int) { return 0x123456u; });
  int32_t zero = 0;
  std::memcpy(dib.data() + 4, &zero, 4);  // width 0
  EXPECT_THROW(Load(dib), host::ProcessExit);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_NE(host_.message_boxes().back().text.find(U8(u8"ビットマップのロードに失敗しました。")), std::string::npos);
}

TEST_P(BitmapTest, CaptureLeavesClippedAreasZero) {
  dx::bitmap* pic = Numbered(20, 20);
  dxbltnokey(pic, 0, 0);
  dxsetclip(0, 0, 10, 20);
  dx::bitmap* cap = dxcapture(5, 0, 10, 10, true);
  ASSERT_NE(cap->syssurface, nullptr);
  for (int x = 0; x < 10; ++x) {
    uint32_t want = x < 5 ? NumberAt(depth(), 5 + x, 3) : 0;
    EXPECT_EQ(At(cap->syssurface, x, 3), want) << x;
  }
  dxresetclip();
  dxdeletebitmap(cap);
  dxdeletebitmap(pic);
}

TEST_P(BitmapTest, MirrorsAndCopies) {
  dx::bitmap* pic = Numbered(5, 3);
  dx::bitmap* same = dxmirrorbitmap(pic, false, false);
  dx::bitmap* lr = dxmirrorbitmap(pic, true, false);
  dx::bitmap* ud = dxmirrorbitmap(pic, false, true);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(Pixel(same, x, y), NumberAt(depth(), x, y));
      EXPECT_EQ(Pixel(lr, x, y), NumberAt(depth(), 4 - x, y));
      EXPECT_EQ(Pixel(ud, x, y), NumberAt(depth(), x, 2 - y));
    }
  dx::bitmap* shared = dxnewbitmap(1, 1);
  dxassignbitmap(shared, lr);
  EXPECT_EQ(dxbitmapwidth(shared), 5);
  dxdeletebitmap(lr);  // the shared copies live on
  EXPECT_EQ(Pixel(shared, 0, 0), NumberAt(depth(), 4, 0));
  for (dx::bitmap* b : {pic, same, ud, shared}) dxdeletebitmap(b);
}

TEST_P(BitmapTest, SavedScreenReadsBackAsTheSamePicture) {
  dx::bitmap* pic = Load(Dib(3, 2, [](int x, int y) { return x == 0 && y == 0 ? 0u : 0x80FF40u; }));
  dxbltnokey(pic, 1, 1);
  char name[] = "/tmp/dolvicar_savebmpXXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_TRUE(dxsavebmp(name, 1, 1, 3, 2));
  dx::bitmap* back = dxloadbitmap(name);
  EXPECT_EQ(Pixel(back, 0, 0), 0u);
  EXPECT_EQ(Pixel(back, 2, 1), Pixel(pic, 2, 1));
  EXPECT_EQ(Pixel(back, 1, 0), Pixel(pic, 1, 0));
  std::remove(name);
  EXPECT_FALSE(dxsavebmp("/nonexistent-folder/x.bmp", 0, 0, 2, 2));
  dxdeletebitmap(back);
  dxdeletebitmap(pic);
}

ALL_DEPTHS(BitmapTest);

}  // namespace
