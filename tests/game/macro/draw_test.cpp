// Drawing commands and the mark-up text drawer.
#include "game/enemy.h"
#include "game/gamestate.h"
#include "game/win.h"
#include "tests/game/macro/fixture.h"

namespace gameui_test {
namespace {

class MarkupText : public GameUiTest {
 protected:
  // Width of a text in the message font as it is now.
  static int Width(const char* s) {
    SelectMesFont();
    return dxtextwidth(s);
  }
  static int Height() {
    SelectMesFont();
    return dxfontheight();
  }
};

TEST_F(MarkupText, PaletteColoursRunsOnOneLine) {
  DrawMarkupText("%c2AAAA%c7BBBB", 0, 0);
  const int w = Width("AAAA");
  EXPECT_GT(Count(0, 0, w, 16, 0xFF0000), 0);
  EXPECT_EQ(Count(0, 0, w, 16, 0xFFFFFF), 0);
  EXPECT_GT(Count(w, 0, Width("BBBB"), 16, 0xFFFFFF), 0);
  EXPECT_EQ(MesText.x, w + Width("BBBB"));
  EXPECT_EQ(MesText.y, 0);
  // The colour and the cursor stay for the next call; negative coordinates keep it.
  DrawMarkupText("C", -1, -1);
  EXPECT_GT(Count(2 * w, 0, Width("C"), 16, 0xFFFFFF), 0);
}

TEST_F(MarkupText, VariablesLongestNameWins) {
  SetVarInt("N", 3);
  SetVarStr("NAME", "Taro");
  DrawMarkupText("$NAME", 0, 0);
  EXPECT_EQ(MesText.x, Width("Taro"));
  DrawMarkupText("$N x", 0, 0);
  EXPECT_EQ(MesText.x, Width("3 x"));
  // A value is drawn as it is, its mark-up not read; an unknown name drops the "$" alone.
  SetVarStr("P", "%n");
  DrawMarkupText("$P$Q", 0, 0);
  EXPECT_EQ(MesText.x, Width("%nQ"));
  EXPECT_EQ(MesText.y, 0);
}

TEST_F(MarkupText, LinesAndFontSizes) {
  DrawMarkupText("AB\nC\\nD%nE", 10, 20);
  const int h = Height();
  EXPECT_EQ(MesText.y, 20 + 3 * h);
  EXPECT_EQ(MesText.x, 10 + Width("E"));
  DrawMarkupText("%h24%w12A\nB", 0, 0);
  EXPECT_EQ(MesText.font_height, 24);
  EXPECT_EQ(MesText.font_width, 12);
  EXPECT_EQ(MesText.y, Height());
  EXPECT_EQ(MesText.x, Width("B"));
  EXPECT_EQ(Width("B"), 12);
}

TEST_F(MarkupText, ColourCodesWithoutAnEntry) {
  DrawMarkupText("%c2", 0, 0);
  DrawMarkupText("%c12X", 0, 0);  // the 12 is consumed, the colour stays red
  EXPECT_EQ(MesText.x, Width("X"));
  EXPECT_EQ(MesText.r, 255);
  EXPECT_EQ(MesText.g, 0);
  DrawMarkupText("%cY%q", 0, 0);  // the letters are drawn; an unknown code drops the "%"
  EXPECT_EQ(MesText.x, Width("Yq"));
  EXPECT_EQ(MesText.r, 255);
}

TEST_F(MarkupText, ShiftJisAndBackslashes) {
  // "ソ" ends in a backslash byte: it is one character, not an escape.
  DrawMarkupText("ソn", 0, 0);
  EXPECT_EQ(MesText.x, Width("ソn"));
  EXPECT_EQ(MesText.y, 0);
  DrawMarkupText("\\%BA\\x", 0, 0);
  EXPECT_EQ(MesText.bold, 1);
  EXPECT_EQ(MesText.x, Width("Ax"));
  // A lead byte that ends the text is drawn alone.
  DrawMarkupText("A\x83", 0, 0);
  DrawMarkupText("%b", 0, 0);
  EXPECT_EQ(MesText.bold, 0);
}

TEST_F(MarkupText, LongRunsAreDrawnInPieces) {
  std::string text(3000, 'A');
  SetVarStr("LONG", std::string(2000, 'B').c_str());
  text += "$LONG";
  DrawMarkupText(text.c_str(), 0, 0);
  EXPECT_EQ(MesText.x, 5000 * Width("A"));
}

using DrawCommands = GameUiTest;

TEST_F(DrawCommands, EveryCommandRunsOnItsDefaults) {
  for (ScriptHandler h : {macro_win, macro_btn, macro_blt, macro_fill, macro_key, macro_txt, macro_txtwidth}) {
    Result r = Call(h);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.tag, "I");
  }
  EXPECT_EQ(Call(macro_txt, {"A"}).text, "");
  EXPECT_EQ(Call(macro_txtwidth, {"%cAB"}).text, std::to_string(4 * 8));
  EXPECT_EQ(Call(macro_win).text, "0");
  EXPECT_EQ(Screen(127, 127), Skin(95, 63));  // win's default 128 x 128 at (0, 0)
}

TEST_F(DrawCommands, FillNeedsAPlaceAndASize) {
  Call(macro_fill);
  EXPECT_EQ(Count(0, 0, 640, 480, 0), 640 * 480);
  Call(macro_fill, {"255", "255", "255", "0", "0", "640", "480"});
  Call(macro_fill, {"0", "0", "0", "10", "10", "20", "20"});
  EXPECT_EQ(Count(10, 10, 20, 20, 0), 400);
  EXPECT_EQ(Screen(30, 30), 0xFFFFFFu);
  Call(macro_fill, {"0", "0", "0", "100", "100", "20", "20", "50"});
  uint32_t half = Screen(105, 105);
  EXPECT_GT(half & 0xFF, 0x70u);
  EXPECT_LT(half & 0xFF, 0x90u);
  Call(macro_fill, {"0", "0", "0", "-1", "200", "20", "20"});
  EXPECT_EQ(Screen(5, 205), 0xFFFFFFu);
}

TEST_F(DrawCommands, PicturesWholeStretchedCutAndTranslucent) {
  Call(macro_blt, {"data/system/win.png", "0", "0"});
  EXPECT_EQ(Screen(127, 223), Skin(127, 223));
  dxcls(0);
  Call(macro_blt, {"data/system/win.png", "0", "0", "64", "-1"});  // the whole height, half the width
  EXPECT_EQ(Screen(63, 223), Skin(126, 223));
  EXPECT_EQ(Screen(64, 0), 0u);
  dxcls(0);
  Call(macro_blt, {"data/system/win.png", "10", "10", "4", "4", "-1", "20"});  // a part from (0, 20)
  EXPECT_EQ(Screen(10, 10), Skin(0, 20));
  EXPECT_EQ(Screen(13, 13), Skin(3, 23));
  EXPECT_EQ(Screen(14, 10), 0u);
  dxcls(0);
  Call(macro_blt, {"data/system/win.png", "0", "0", "100", "-1", "-1", "-1", "50"});
  uint32_t p = Screen(99, 223);
  EXPECT_NE(p, 0u);
  EXPECT_LT(p >> 16, Skin(127, 223) >> 16);
  EXPECT_EQ(Screen(100, 0), 0u);
  Call(macro_blt);  // no file, nothing drawn
  // An empty name is no file either: nothing drawn, nothing stopped.
  dxcls(0);
  Result r = Call(macro_blt, {"", "0", "0"});
  EXPECT_EQ(r.text, "0");
  EXPECT_TRUE(host_.message_boxes().empty());
  EXPECT_EQ(Count(0, 0, 640, 480, 0), 640 * 480);
}

TEST_F(DrawCommands, MonsterPicturesMarkWhatWasSeen) {
  MonsterTable[1].num = 2001;
  MonsterTable[1].pic[2] = "data/system/win.png";
  GameStateBlock.enemy_pic[1] = 0;
  Call(macro_mon_pic, {"2001", "8"});
  Call(macro_mon_pic, {"2000", "0"});
  Call(macro_mon_pic, {"2001", "0"});  // the monster has no PIC1
  EXPECT_EQ(GameStateBlock.enemy_pic[1], 0);
  EXPECT_EQ(Count(0, 0, 640, 480, 0), 640 * 480);
  EXPECT_EQ(Call(macro_mon_pic, {"2001", "2", "10", "10"}).text, "0");
  EXPECT_EQ(GameStateBlock.enemy_pic[1], 4);
  EXPECT_EQ(Screen(10, 10), Skin(0, 0));
  MonsterTable[1] = MonsterRec{};
  GameStateBlock.enemy_pic[1] = 0;
}

TEST_F(DrawCommands, ButtonsTakeTheirLookFromTheFlag) {
  Call(macro_btn, {"OK", "10", "10", "100"});
  EXPECT_EQ(Screen(10, 10), Skin(0, 80));
  Call(macro_btn, {"OK", "10", "50", "100", "1"});
  EXPECT_EQ(Screen(10, 50), Skin(0, 112));
}

TEST_F(DrawCommands, KeyReadsTheHeldMaskWithItsRepeatDelay) {
  Press(0, host::key::Return);
  dxupdate();
  EXPECT_EQ(Call(macro_key).text, "256");
  EXPECT_EQ(Call(macro_key).text, "0");  // held back by the repeat delay
  dxupdate();
  EXPECT_EQ(Call(macro_key).text, "0");
}

}  // namespace
}  // namespace gameui_test
