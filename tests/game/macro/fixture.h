// A 32-bit display on the headless host with the game's built-ins registered,
// a skin picture whose every pixel tells where it was taken from, and calls of
// single handlers that check their one result.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/explore.h"
#include "game/fatal.h"
#include "game/macro/macro_draw.h"
#include "game/macro/macro_input.h"
#include "game/macro/macro_menu.h"
#include "game/macro/macro_mes.h"
#include "game/macro/macro_sound.h"
#include "game/macro/macro_ui.h"
#include "game/macro/macro_wait.h"
#include "game/picture.h"
#include "script/script.h"
#include "game/sound.h"
#include "platform/ddraw/ddraw.h"
#include "tests/bitmaps/png_writer.h"
#include "tests/common/game_display.h"
#include "tests/common/surfaces.h"
#include "tests/common/ui_macros.h"

namespace gameui_test {

// The skin is 128 x 224; its pixel (x, y) is (x + 1, y + 1, 77), never black.
constexpr int kSkinW = 128, kSkinH = 224;

inline std::string SkinPng() {
  std::vector<uint8_t> px;
  for (int y = 0; y < kSkinH; ++y)
    for (int x = 0; x < kSkinW; ++x) px.insert(px.end(), {uint8_t(x + 1), uint8_t(y + 1), 77});
  auto v = testpng::Encode(kSkinW, kSkinH, PNG_COLOR_TYPE_RGB, 8, px);
  return std::string(v.begin(), v.end());
}

struct Result {
  int rc = 0;
  int count = 0;  // values pushed
  std::string tag, text;
};

class GameUiTest : public testcommon::GameDisplayTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(GameDisplayTest::SetUp());
    TempDir::Write("data/system/win.png", SkinPng());
    testcommon::RegisterUiMacros();
    ResetMesText();
    ResetMesWindow();
    ResetKeyBits();
    dxcls(0);
  }
  void TearDown() override {
    ResetMesWindow();
    ClearSoundData();
    ScriptClearFunctions();
    StrListFree(ScriptVars);
    ScriptVars = nullptr;
    GameDisplayTest::TearDown();
  }

  // Calls a handler with text arguments, first to last.
  static Result Call(ScriptHandler handler, std::initializer_list<const char*> args = {}) {
    // Freed on the way out, also when the handler stops the program.
    struct Lists {
      StrList* chain = nullptr;
      StrList* stack = nullptr;
      ~Lists() {
        StrListFree(chain);
        StrListFree(stack);
      }
    } l;
    std::vector<const char*> v(args);
    for (auto it = v.rbegin(); it != v.rend(); ++it) StrListPush(&l.chain, "S", *it);
    Result r;
    r.rc = handler(&l.chain, &l.stack);
    for (StrList* s = l.stack; s; s = s->next) ++r.count;
    if (l.stack) {
      r.tag = l.stack->name ? l.stack->name : "";
      r.text = l.stack->text ? l.stack->text : "";
    }
    return r;
  }

  // Compiles and runs a script; the run's result code.
  static int RunScript(const std::string& script) {
    std::string text = script;
    ScriptNode* program = nullptr;
    ScriptError error;
    int rc = ScriptCompile(text.data(), &program, &error);
    if (rc == 0) rc = ScriptExec(program, nullptr, nullptr, nullptr, &error, 0, 0);
    ScriptFreeProgram(program);
    return rc;
  }

  static uint32_t Screen(int x, int y) { return At(dxbackbuffer, x, y); }
  static uint32_t Pixel(dx::bitmap* b, int x, int y) { return At(dxbitmapsurface(b, false), x, y); }
  // The display is 32-bit: the colour without the unused top byte.
  static uint32_t At(IDirectDrawSurface* s, int x, int y) { return testcommon::SurfacePixel(s, x, y) & 0xFFFFFF; }
  // The skin pixel a screen pixel was copied from.
  static uint32_t Skin(int sx, int sy) {
    return static_cast<uint32_t>((sx + 1) << 16 | (sy + 1) << 8 | 77);
  }
  // Counts pixels of exactly `rgb` in a rectangle of the back buffer.
  static int Count(int x, int y, int w, int h, uint32_t rgb) {
    int n = 0;
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) n += Screen(i, j) == rgb;
    return n;
  }
  // Presses a key at the frame given: down then, up at the next frame.
  void Press(uint64_t frame, int scancode) { host_.key_press(frame, scancode); }
};

}  // namespace gameui_test
