// A 32-bit display on the headless host with a fresh working folder, for the
// loaders of the monster, item and catalogue tables and the windows that
// draw them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "dx/dx.h"
#include "game/fatal.h"
#include "game/item.h"
#include "game/picture.h"
#include "script/script.h"
#include "platform/win32/text.h"
#include "tests/bitmaps/png_writer.h"
#include "tests/common/game_display.h"

namespace gamerpg_test {

inline std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

inline std::string Png(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> px;
  for (int i = 0; i < w * h; ++i) px.insert(px.end(), {r, g, b});
  auto v = testpng::Encode(w, h, PNG_COLOR_TYPE_RGB, 8, px);
  return std::string(v.begin(), v.end());
}

struct Result {
  std::string tag, text;
};

// Calls a handler with its arguments (first first) and takes its one result.
inline Result Call(ScriptHandler handler, std::initializer_list<std::string> args) {
  StrList* chain = nullptr;
  for (auto it = std::rbegin(args); it != std::rend(args); ++it) StrListPush(&chain, "S", it->c_str());
  StrList* stack = nullptr;
  EXPECT_EQ(handler(&chain, &stack), 0);
  StrListFree(chain);
  Result r;
  EXPECT_NE(stack, nullptr);
  if (stack) {
    EXPECT_EQ(stack->next, nullptr) << "one result";
    r.tag = stack->name;
    r.text = stack->text ? stack->text : "";
  }
  StrListFree(stack);
  return r;
}

class GameTest : public testcommon::GameDisplayTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(GameDisplayTest::SetUp());
    TempDir::Write("data/system/loading.png", Png(8, 8, 10, 20, 30));
  }
  void TearDown() override {
    // The item sheet would outlive the display that owns it.
    dxdeletebitmap(ItemPictureSheet);
    ItemPictureSheet = nullptr;
    GameDisplayTest::TearDown();
  }
  // Narrow literals are CP932 already, like the game's data files.
  static void Write(const std::string& name, const std::string& text) { TempDir::Write(name, text); }

  // Runs f, which must stop the program; the message (UTF-8) after "file:line:".
  std::string Fatal(const std::function<void()>& f) {
    size_t before = host_.message_boxes().size();
    try {
      f();
    } catch (const host::ProcessExit& e) {
      EXPECT_EQ(e.code, 1);
      EXPECT_EQ(host_.message_boxes().size(), before + 1);
      std::string text = host_.message_boxes().back().text;
      size_t colon = text.find(':', text.find(':') + 1);
      return colon == std::string::npos ? text : text.substr(colon + 1);
    }
    ADD_FAILURE() << "went on";
    return "";
  }
};

}  // namespace gamerpg_test
