// A 32-bit display with its 3-D device on the headless host, a fresh working
// folder, and small pictures written into it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/effect.h"
#include "game/fatal.h"
#include "game/gamestate.h"
#include "game/map.h"
#include "game/picture.h"
#include "script/strlist.h"
#include "platform/ddraw/ddraw.h"
#include "platform/win32/text.h"
#include "tests/bitmaps/png_writer.h"
#include "tests/common/game_display.h"
#include "tests/common/surfaces.h"

namespace gameview_test {

// Message boxes are recorded in UTF-8; the program's literals are CP932.
inline std::string U8(const char* cp932) { return win32::Cp932ToUtf8(cp932); }

// A w x h PNG whose pixel (x, y) is fn(x, y) as 0xRRGGBB.
template <typename Fn>
std::string Png(int w, int h, Fn fn) {
  std::vector<uint8_t> px;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = fn(x, y);
      px.insert(px.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    }
  auto v = testpng::Encode(w, h, PNG_COLOR_TYPE_RGB, 8, px);
  return std::string(v.begin(), v.end());
}
inline std::string SolidPng(int w, int h, uint32_t rgb) {
  return Png(w, h, [rgb](int, int) { return rgb; });
}

class ViewTest : public testcommon::GameDisplayTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(GameDisplayTest::SetUp());
    ASSERT_TRUE(dxd3dinit());
    ClearMapData();
    std::memset(&GameStateBlock, 0, sizeof GameStateBlock);
    std::memset(&SetupRecord, 0, sizeof SetupRecord);
    for (auto& e : WallTextureTable) e = {};
    for (auto& p : MapPartTable) p = nullptr;
    for (auto& p : PartIndexTable) p = 0;
    dxcls(0);
  }
  void TearDown() override {
    FreeMapImages();
    for (auto& e : WallTextureTable) {
      dxdeletebitmap(e.picture);
      std::free(e.path);
      e = {};
    }
    for (auto& p : MapPartTable) {
      dxdeletebitmap(p);
      p = nullptr;
    }
    ClearMapData();
    FreeEffectTables();  // kept for the run by the game, read from each test's own files
    StrListFree(ScriptVars);
    ScriptVars = nullptr;
    GameDisplayTest::TearDown();
  }

  // A wall texture entry with a solid picture of its own.
  void Texture(int n, uint32_t rgb, int w = 8, int h = 8) {
    const std::string name = "data/map/t" + std::to_string(n) + ".png";
    TempDir::Write(name, SolidPng(w, h, rgb));
    std::free(WallTextureTable[n].path);
    WallTextureTable[n].path = strdup(name.c_str());
  }
  // A map part: a solid bitmap of 32 x 32.
  static dx::bitmap* Part(uint32_t rgb) {
    dx::bitmap* b = dxnewbitmap(32, 32);
    dxpushtarget(b);
    dxcls(dxrgb(rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255));
    dxpoptarget(false);
    return b;
  }

  // The display is 32-bit: the colour without the unused top byte.
  static uint32_t At(IDirectDrawSurface* s, int x, int y) { return testcommon::SurfacePixel(s, x, y) & 0xFFFFFF; }
  static uint32_t Screen(int x, int y) { return At(dxbackbuffer, x, y); }
  static uint32_t Pixel(dx::bitmap* b, int x, int y) { return At(dxbitmapsurface(b, false), x, y); }
};

}  // namespace gameview_test
