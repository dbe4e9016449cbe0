// Screen transitions: the warp tables, their loading, and whole transitions
// on the display.
#include "game/effect.h"

#include <cstdlib>

#include "game/dibpixels.h"
#include "tests/game/view/fixture.h"

namespace gameview_test {
namespace {

// A table whose every entry is fn(frame, x, y) -> {dx, dy}.
template <typename Fn>
std::string Table(Fn fn) {
  std::string t(kEffectTableBytes, '\0');
  for (int f = 0; f < kEffectFrames; ++f)
    for (int x = 0; x < kEffectWidth; ++x)
      for (int y = 0; y < kEffectHeight; ++y) {
        auto [dx, dy] = fn(f, x, y);
        char* e = &t[static_cast<size_t>(f) * kEffectFrameBytes + static_cast<size_t>(x) * 960 + y * 4];
        e[0] = char(dx & 255), e[1] = char(dx >> 8 & 255), e[2] = char(dy & 255), e[3] = char(dy >> 8 & 255);
      }
  return t;
}

struct Image {
  DibImage d{};
  Image(int w, int h) {
    CreateDib24(&d, w, h);
    DibClear(d);
  }
  ~Image() { std::free(d.bits); }
  void Set(int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    uint8_t* p = DibAt(d, x, y);
    p[0] = b, p[1] = g, p[2] = r;
  }
  uint32_t Get(int x, int y) const {
    const uint8_t* p = DibAt(d, x, y);
    return uint32_t(p[2]) << 16 | p[1] << 8 | p[0];
  }
};

TEST(EffectWarp, PixelsMoveByTheirOffsetAndBlackOnesStay) {
  std::string table = Table([](int f, int x, int y) -> std::pair<int, int> {
    if (f == 3 && x == 10 && y == 20) return {5, -7};
    if (f == 3 && x == 0 && y == 0) return {-1, 0};  // off the left edge
    if (f == 3 && x == 319 && y == 239) return {-3, 1};
    return {0, 0};
  });
  const auto* t = reinterpret_cast<const uint8_t*>(table.data());
  Image in(320, 240), out(320, 240);
  in.Set(10, 20, 1, 2, 3);
  in.Set(0, 0, 9, 9, 9);
  in.Set(50, 60, 4, 5, 6);
  in.Set(319, 239, 7, 7, 7);
  WarpFrame(t, 3, false, in.d, out.d);
  EXPECT_EQ(out.Get(15, 13), 0x030201u);
  EXPECT_EQ(out.Get(10, 20), 0u);
  EXPECT_EQ(out.Get(50, 60), 0x060504u);  // offset (0, 0): in place
  EXPECT_EQ(out.Get(0, 0), 0u);           // dropped
  EXPECT_EQ(out.Get(316, 239), 0u);       // pushed below the bottom: dropped
  // The fifth table moves half as far, rounding toward zero.
  WarpFrame(t, 3, true, in.d, out.d);
  EXPECT_EQ(out.Get(12, 17), 0x030201u);
  EXPECT_EQ(out.Get(0, 0), 0x090909u);     // -1 / 2 is 0
  EXPECT_EQ(out.Get(318, 239), 0x070707u);  // (-3, 1) / 2 is (-1, 0)
}

TEST(EffectWarp, TheLastWriteWins) {
  std::string table = Table([](int, int x, int y) -> std::pair<int, int> {
    return x == 1 && y == 0 ? std::pair{-1, 0} : std::pair{0, 0};
  });
  Image in(320, 240), out(320, 240);
  in.Set(0, 0, 1, 1, 1);
  in.Set(1, 0, 2, 2, 2);
  WarpFrame(reinterpret_cast<const uint8_t*>(table.data()), 0, false, in.d, out.d);
  EXPECT_EQ(out.Get(0, 0), 0x020202u);
  EXPECT_EQ(out.Get(1, 0), 0u);
}

using EffectTables = ViewTest;

TEST_F(EffectTables, LoadOnceShortFilesZeroTheRestMissingFilesStop) {
  EXPECT_EQ(LoadEffectTable(-1), -1);
  EXPECT_EQ(LoadEffectTable(6), -1);
  TempDir::Write("data/system/effect2.dat", std::string("\x05\x00\xFE\xFF", 4));
  ASSERT_EQ(LoadEffectTable(1), 0);
  int dx, dy;
  EffectOffset(EffectTable(1), 0, 0, 0, &dx, &dy);
  EXPECT_EQ(dx, 5);
  EXPECT_EQ(dy, -2);
  EffectOffset(EffectTable(1), 19, 319, 239, &dx, &dy);
  EXPECT_EQ(dx, 0);
  // Loaded once: a changed file is not read again.
  TempDir::Write("data/system/effect2.dat", std::string(8, '\x01'));
  EXPECT_EQ(LoadEffectTable(1), 0);
  EffectOffset(EffectTable(1), 0, 0, 0, &dx, &dy);
  EXPECT_EQ(dx, 5);

  EXPECT_THROW(LoadEffectTable(3), host::ProcessExit);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_NE(host_.message_boxes().back().text.find(U8("[data/system/effect4.dat]:エラー:エフェクターのロードに失敗しました")),
            std::string::npos);
  EXPECT_EQ(EffectTable(3), nullptr);
}

using Transitions = ViewTest;

TEST_F(Transitions, NumbersWithoutATableDoNothing) {
  dxfillrect(0, 0, 640, 480, dxrgb(10, 20, 30));
  const uint64_t presented = host_.frames_presented();
  for (int n : {-1, 6, 9, 11, 15}) PlayEffect("data/none.png", n, 1);
  EXPECT_EQ(host_.frames_presented(), presented);
  EXPECT_EQ(Screen(100, 100), 0x0A141Eu);
}

TEST_F(Transitions, ThePictureFormsOutOfTheWarpOverTheOldScreen) {
  // Table 0 moves everything 4 half-pixels right in every frame.
  TempDir::Write("data/system/effect1.dat", Table([](int, int, int) { return std::pair{4, 0}; }));
  // The picture: its left half black (transparent), the right half red.
  TempDir::Write("data/pic.png", Png(640, 480, [](int x, int) { return x < 320 ? 0u : 0xFF0000u; }));
  dxfillrect(0, 0, 640, 480, dxrgb(0, 0, 200));
  host_.set_frames_kept(64);
  const uint64_t before = host_.frames_presented();
  PlayEffect("data/pic.png", 0, 1);
  EXPECT_GE(host_.frames_presented() - before, 21u);
  // Sharp at the end: red on the right, the old screen through the black.
  EXPECT_EQ(Screen(400, 100), 0xFF0000u);
  EXPECT_EQ(Screen(639, 479), 0xFF0000u);
  EXPECT_EQ(Screen(100, 100), 0x0000C8u);
  EXPECT_EQ(Screen(319, 100), 0x0000C8u);
}

TEST_F(Transitions, WithTheFlagClearThePictureDissolves) {
  TempDir::Write("data/system/effect3.dat", std::string(kEffectTableBytes, '\0'));
  TempDir::Write("data/pic.png", SolidPng(640, 480, 0x00FF00));
  dxfillrect(0, 0, 640, 480, dxrgb(0, 0, 200));
  PlayEffect("data/pic.png", 2, 0);
  // The last frame is frame 19 of the warp at 5 percent over the old screen.
  const uint32_t c = Screen(320, 240);
  EXPECT_GT(c & 0xFF, 0xB0u);
  EXPECT_LT(c >> 8 & 0xFF, 0x20u);
  EXPECT_GT(c >> 8 & 0xFF, 0u);
}

TEST_F(Transitions, VideoMemoryIsLeftForTheTransitionAndTakenBackAfter) {
  TempDir::Write("data/system/effect2.dat", std::string(kEffectTableBytes, '\0'));
  TempDir::Write("data/pic.png", Png(640, 480, [](int x, int) { return x < 320 ? 0u : 0xFF0000u; }));
  SetupRecord.video_mode = 1;
  dxusevram(true);
  const bool vram = dxvram;
  dxfillrect(0, 0, 640, 480, dxrgb(0, 0, 200));
  PlayEffect("data/pic.png", 1, 1);
  EXPECT_EQ(dxvram, vram);
  EXPECT_EQ(Screen(400, 100), 0xFF0000u);
  EXPECT_EQ(Screen(100, 100), 0x0000C8u);  // the old screen survived the move
}

TEST_F(Transitions, AMissingPictureStops) {
  TempDir::Write("data/system/effect6.dat", std::string(16, '\0'));
  EXPECT_THROW(PlayEffect("data/nothing.png", 5, 1), host::ProcessExit);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_NE(host_.message_boxes().back().text.find(U8("[data/nothing.png]:エラー:PNGのロードに失敗")), std::string::npos);
}

TEST_F(Transitions, TheZoomSwellsAndDarkens) {
  dxfillrect(0, 0, 640, 480, dxrgb(200, 200, 200));
  dxfillrect(0, 0, 20, 480, dxrgb(0, 200, 0));
  const uint64_t before = host_.frames_presented();
  PlayEffect("unused", 10, 1);
  EXPECT_EQ(host_.frames_presented() - before, 80u);
  // The last step is nearly dark and the green edge has swollen off the screen.
  const uint32_t c = Screen(10, 240);
  EXPECT_LT(c >> 16 & 0xFF, 0x10u);
  EXPECT_LT(c >> 8 & 0xFF, 0x10u);
}

}  // namespace
}  // namespace gameview_test
