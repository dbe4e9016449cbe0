// The message window, its key waits and the background layers.
#include <cstdlib>

#include "tests/game/macro/fixture.h"

namespace gameui_test {
namespace {

std::string U8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

class MessageWindow : public GameUiTest {
 protected:
  void Open() { Call(macro_mes_open, {"32", "270", "400", "200", "100", "255", "255", "255"}); }
};

TEST_F(MessageWindow, MessagesStackInLayerThreeAndHomeStartsAgain) {
  const uint64_t base = host_.frames_presented();
  Result r = Call(macro_mes, {"A"});  // closed: nothing drawn
  EXPECT_EQ(r.text, "0");
  EXPECT_EQ(host_.frames_presented(), base);
  Open();
  ASSERT_NE(BgLayers[3].picture, nullptr);
  EXPECT_EQ(dxbitmapwidth(BgLayers[3].picture), 392);
  EXPECT_EQ(BgLayers[3].x, 36);
  Call(macro_mes);  // no argument: nothing
  EXPECT_EQ(host_.frames_presented(), base);
  Call(macro_mes, {"%c2A"});
  const int line = MesWindow.line_y;
  EXPECT_GT(line, 0);
  EXPECT_EQ(host_.frames_presented(), base + 1);
  Call(macro_mes, {""});  // an empty line still counts
  EXPECT_EQ(MesWindow.line_y, 2 * line);
  EXPECT_EQ(host_.frames_presented(), base + 2);
  // The red text on the white window fill.
  EXPECT_GT(Count(36, 274, 16, line, 0xFF0000), 0);
  EXPECT_EQ(Screen(100, 400), 0xFFFFFFu);
  Call(macro_mes_home);
  EXPECT_EQ(MesWindow.line_y, 0);
  EXPECT_EQ(Pixel(BgLayers[3].picture, 4, 5), 0u);
}

TEST_F(MessageWindow, ClosedWindowsRedrawTheTextWithoutTheFill) {
  Open();
  Call(macro_mes, {"%c2AAAA"});
  Call(macro_mes_close);
  dxcls(0);
  Call(macro_mes_ref);
  EXPECT_GT(Count(36, 274, 40, 20, 0xFF0000), 0);
  EXPECT_EQ(Screen(300, 400), 0u);
  // Opening again while open reads nothing.
  Open();
  Call(macro_mes_open, {"0", "0", "100", "100"});
  EXPECT_EQ(MesWindow.x, 32);
}

TEST_F(MessageWindow, WithoutATextSurfaceItWarnsAndStillFills) {
  // Wider than any surface can be: no text surface for the window.
  Result r = Call(macro_mes_open, {"0", "0", "20000", "100", "100", "0", "255", "0"});
  EXPECT_EQ(r.text, "0");
  ASSERT_EQ(host_.message_boxes().size(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].caption, U8(u8"警告"));
  EXPECT_NE(host_.message_boxes()[0].text.find(U8(u8"メッセージwindow用メモリ確保に失敗")), std::string::npos);
  EXPECT_EQ(MesWindow.open, 1);
  EXPECT_EQ(BgLayers[3].picture, nullptr);
  EXPECT_EQ(MesWindow.line_y, 0);
  // Messages draw no text but the window fill.
  const uint64_t base = host_.frames_presented();
  Call(macro_mes, {"A"});
  EXPECT_EQ(host_.frames_presented(), base + 1);
  EXPECT_EQ(Count(0, 0, 640, 100, 0x00FF00), 640 * 100);
  EXPECT_EQ(MesWindow.line_y, 0);
}

TEST_F(MessageWindow, KeyWaitEndsOnEnterAndClearsTheText) {
  Open();
  Call(macro_mes, {"A"});
  const int line = MesWindow.line_y;
  Press(10, host::key::Return);
  Result r = Call(macro_mes_key);
  EXPECT_EQ(r.text, "256");
  EXPECT_EQ(MesWindow.line_y, 0);
  EXPECT_GE(host_.frames_presented(), 10u);
  EXPECT_EQ(Pixel(BgLayers[3].picture, 5, 5), 0u);
  // The key mark, from the skin's row 176, below the last line.
  EXPECT_EQ(Screen(36, 274 + line) >> 8 & 0xFF, 177u);
  EXPECT_EQ((Screen(36, 274 + line) >> 16) % 32, 1u);
  Call(macro_mes_close);
  EXPECT_EQ(Call(macro_mes_key).text, "0");
}

TEST_F(MessageWindow, KeywaitPollsOnceAndTabPeeksAtLayerZero) {
  const uint64_t base = host_.frames_presented();
  EXPECT_EQ(Call(macro_keywait).text, "0");
  EXPECT_EQ(host_.frames_presented(), base);
  // Layer 0: a red screen; then a message window over black.
  Call(macro_clear, {"255", "0", "0"});
  Call(macro_bg_memo);
  Call(macro_clear);
  Open();
  host_.key_down(0, host::key::Tab);
  host_.key_up(2, host::key::Tab);
  host_.key_press(30, host::key::Space);
  Press(40, host::key::Escape);
  dxupdate();
  Result r = Call(macro_keywait);
  EXPECT_EQ(r.text, std::to_string(0x10000));
  // The peek showed layer 0 alone, and ended with the scene drawn again.
  bool peeked = false;
  for (const host::Frame& f : host_.frames()) peeked |= f.at(100, 400) == 0xFF0000;
  EXPECT_TRUE(peeked);
  EXPECT_EQ(Screen(100, 400), 0xFFFFFFu);
  EXPECT_EQ(Screen(100, 100), 0xFF0000u);
}

using Layers = GameUiTest;

TEST_F(Layers, MemoCapturesAndDrawPutsBack) {
  Call(macro_fill, {"0", "255", "0", "0", "0", "640", "480"});
  Call(macro_bg_memo);
  ASSERT_NE(BgLayers[0].picture, nullptr);
  EXPECT_EQ(dxbitmapwidth(BgLayers[0].picture), 640);
  EXPECT_EQ(dxbitmapheight(BgLayers[0].picture), 480);
  Call(macro_bg_memo, {"2", "10", "20", "30", "40"});
  EXPECT_EQ(BgLayers[2].x, 10);
  EXPECT_EQ(BgLayers[2].y, 20);
  Call(macro_clear);
  Call(macro_bg_enable, {"0", "0"});
  Call(macro_bg_draw);  // enabled layers only
  EXPECT_EQ(Screen(0, 0), 0u);
  EXPECT_EQ(Screen(10, 20), 0x00FF00u);
  Call(macro_clear);
  Call(macro_bg_draw, {"0", "5"});  // one layer: drawn even while disabled, y its own
  EXPECT_EQ(Screen(4, 0), 0u);
  EXPECT_EQ(Screen(5, 0), 0x00FF00u);
  Call(macro_clear);
  Call(macro_bg_draw, {"-1", "0", "0", "-1", "1"});  // no percentage with mode 1: nothing
  EXPECT_EQ(Screen(10, 20), 0u);
  Call(macro_clear, {"0", "0", "255"});
  Call(macro_bg_draw, {"-1", "0", "0", "50", "1"});  // additive
  EXPECT_EQ(Screen(10, 20), 0x00FFFFu);
  Call(macro_bg_memo, {"-1"});  // no such layer
  EXPECT_EQ(BgLayers[0].x, 0);
}

TEST_F(Layers, DrawAllBlendsAtAPercentageOrAddsAPartOfIt) {
  Call(macro_fill, {"200", "100", "0", "0", "0", "640", "480"});
  Call(macro_bg_memo, {"1", "10", "20", "30", "40"});
  auto near = [](uint32_t got, int r, int g, int b) {
    return std::abs(static_cast<int>(got >> 16 & 0xFF) - r) <= 2 &&
           std::abs(static_cast<int>(got >> 8 & 0xFF) - g) <= 2 && std::abs(static_cast<int>(got & 0xFF) - b) <= 2;
  };
  // Mode 0 with a percentage: translucent over what is there.
  Call(macro_clear, {"0", "0", "200"});
  Call(macro_bg_draw, {"-1", "0", "0", "50", "0"});
  EXPECT_TRUE(near(Screen(10, 20), 100, 50, 100)) << std::hex << Screen(10, 20);
  EXPECT_EQ(Screen(9, 20), 0x0000C8u);
  // Mode 2: that part of it added.
  Call(macro_clear, {"0", "0", "200"});
  Call(macro_bg_draw, {"-1", "0", "0", "50", "2"});
  EXPECT_TRUE(near(Screen(39, 59), 100, 50, 200)) << std::hex << Screen(39, 59);
  EXPECT_EQ(Screen(40, 60), 0x0000C8u);
  // Mode 2 without a percentage, and modes without a meaning: nothing.
  Call(macro_clear, {"0", "0", "200"});
  Call(macro_bg_draw, {"-1", "0", "0", "-1", "2"});
  Call(macro_bg_draw, {"-1", "0", "0", "50", "3"});
  Call(macro_bg_draw, {"-1", "0", "0", "-1", "3"});
  EXPECT_EQ(Count(0, 0, 640, 480, 0x0000C8), 640 * 480);
}

TEST_F(Layers, SwapFreeAndOpen) {
  Call(macro_fill, {"0", "0", "255", "0", "0", "640", "480"});
  Call(macro_bg_memo, {"1", "5", "6", "10", "10"});
  Call(macro_mes_open);
  dx::bitmap* text = BgLayers[3].picture;
  Call(macro_bg_swap, {"1", "3"});
  EXPECT_EQ(BgLayers[1].picture, text);
  EXPECT_EQ(BgLayers[3].x, 5);
  Call(macro_bg_swap, {"1", "4"});
  EXPECT_EQ(BgLayers[1].picture, text);
  // Drawing into a layer.
  Call(macro_bg_open, {"3"});
  Call(macro_clear, {"255", "255", "0"});
  Call(macro_bg_close);
  EXPECT_EQ(Pixel(BgLayers[3].picture, 0, 0), 0xFFFF00u);
  EXPECT_EQ(Screen(0, 0), 0x0000FFu);
  Call(macro_bg_free, {"3"});
  EXPECT_EQ(BgLayers[3].picture, nullptr);
  EXPECT_NE(BgLayers[1].picture, nullptr);
  Call(macro_bg_free);
  for (const BgLayer& l : BgLayers) EXPECT_EQ(l.picture, nullptr);
  Call(macro_clear);
  Call(macro_bg_draw);
  EXPECT_EQ(Count(0, 0, 640, 480, 0), 640 * 480);
}

TEST_F(Layers, HomeWithoutATextSurfaceLeavesTheTargetStackAlone) {
  Call(macro_clear, {"0", "0", "255"});
  Call(macro_bg_memo, {"1", "0", "0", "8", "8"});
  Call(macro_bg_open, {"1"});
  const size_t depth = dxtargetdepth();
  Call(macro_mes_home);  // no layer 3: the current target is cleared, nothing popped
  EXPECT_EQ(dxtargetdepth(), depth);
  EXPECT_EQ(Pixel(BgLayers[1].picture, 0, 0), 0u);
  Call(macro_bg_close);
  EXPECT_EQ(Screen(0, 0), 0x0000FFu);
}

TEST_F(Layers, OverwriteCrossFadesInElevenFrames) {
  Call(macro_clear, {"0", "0", "200"});
  Call(macro_bg_memo, {"1"});
  Call(macro_clear, {"200", "0", "0"});
  Call(macro_bg_memo, {"0"});
  const uint64_t base = host_.frames_presented();
  Result r = Call(macro_overwrite);
  EXPECT_EQ(r.text, "");
  ASSERT_EQ(host_.frames_presented(), base + 11);
  const auto& f = host_.frames();
  EXPECT_EQ(f[f.size() - 11].at(0, 0), 0x0000C8u);  // 0 percent of layer 0
  EXPECT_EQ(f.back().at(0, 0), 0xC80000u);
}

TEST_F(Layers, LayerNumbersBeyondThreeStopTheProgram) {
  EXPECT_THROW(Call(macro_bg_draw, {"4"}), host::ProcessExit);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_NE(host_.message_boxes().back().text.find("game/macro:"), std::string::npos);
  EXPECT_THROW(Call(macro_bg_memo, {"9"}), host::ProcessExit);
}

TEST_F(Layers, MesIsFoundByNameAndAsALinePrefix) {
  Call(macro_mes_open);
  const uint64_t base = host_.frames_presented();
  EXPECT_EQ(RunScript("#mes first line\nmes(\"second\");\n"), 0);
  EXPECT_EQ(host_.frames_presented(), base + 2);
  EXPECT_GT(MesWindow.line_y, 16);
}

}  // namespace
}  // namespace gameui_test
