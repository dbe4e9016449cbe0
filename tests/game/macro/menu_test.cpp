// Choice menus and the yes/no box, chosen with scripted keys.
#include "tests/game/macro/fixture.h"

namespace gameui_test {
namespace {

class Menus : public GameUiTest {
 protected:
  // Presses the keys 20 frames apart, beyond the key-repeat delay of the last
  // report (a shorter press inside it would go unseen).
  void Keys(std::initializer_list<int> keys) {
    uint64_t at = host_.frames_presented() + 20;
    for (int k : keys) {
      Press(at, k);
      at += 20;
    }
  }
};

TEST_F(Menus, SideBySideStopsAtTheLastItem) {
  Keys({host::key::Escape});
  EXPECT_EQ(Call(macro_selectw, {"10", "10", "-1", "0", "Yes", "No"}).text, "-1");
  Keys({host::key::Right, host::key::Right, host::key::Right, host::key::Return});
  Result r = Call(macro_selectw, {"10", "10", "-1", "0", "Yes", "No"});
  EXPECT_EQ(r.tag, "I");
  EXPECT_EQ(r.text, "1");
  // The menu stays on the screen: the second button selected, at x + 8 + 32.
  EXPECT_EQ(Screen(18, 29), Skin(0, 112));
  EXPECT_EQ(Screen(50, 29), Skin(0, 80));
  Keys({host::key::Return});
  EXPECT_EQ(Call(macro_selectw, {"10", "10", "-1", "0", "Yes", "No"}).text, "-1");
}

TEST_F(Menus, StackedShowsTheFirstSelectionAndMovesUp) {
  host_.set_frames_kept(200);
  Keys({host::key::Up, host::key::Return});
  const uint64_t base = host_.frames_presented();
  EXPECT_EQ(Call(macro_selecth, {"0", "0", "2", "1", "A", "BB", "CCC"}).text, "1");
  const auto& frames = host_.frames();
  const host::Frame& first = frames[frames.size() - (host_.frames_presented() - base)];
  EXPECT_EQ(first.at(8, 17 + 56), Skin(0, 80));  // the third row chosen at first
  EXPECT_EQ(first.at(8, 17 + 28), Skin(0, 112));
  EXPECT_EQ(Screen(8, 17 + 28), Skin(0, 80));
  // Rows are 48 wide at least: the frame is 64 wide.
  EXPECT_EQ(Screen(63, 0), Skin(95, 0));
}

TEST_F(Menus, EmptyMenusAndTheThirtyThirdText) {
  Keys({host::key::Return});
  EXPECT_EQ(Call(macro_selecth, {"0", "0", "7"}).text, "7");
  Keys({host::key::Escape});
  EXPECT_EQ(Call(macro_selecth, {"0", "0", "7"}).text, "-1");
  EXPECT_EQ(RunChoiceMenuV(0, 0, 0, 0, nullptr), -1);
  std::vector<std::string> names;
  std::vector<const char*> texts;
  for (int i = 0; i < 33; ++i) names.push_back("T" + std::to_string(i));
  for (const std::string& n : names) texts.push_back(n.c_str());
  texts.push_back(nullptr);
  Keys({host::key::Down, host::key::Down, host::key::Return});
  EXPECT_EQ(RunChoiceMenuV(0, 0, 30, 0, texts.data()), 31);
}

TEST_F(Menus, YesNoBox) {
  Keys({host::key::Escape});
  Result r = Call(macro_yesno);
  EXPECT_EQ(r.tag, "S");
  EXPECT_EQ(r.text, "1");
  Keys({host::key::Return});
  EXPECT_EQ(Call(macro_yesno).text, "0");
  Keys({host::key::Right, host::key::Right, host::key::Return});
  EXPECT_EQ(Call(macro_yesno).text, "1");
  Keys({host::key::Return});
  EXPECT_EQ(Call(macro_yesno, {"300", "200", "5"}).text, "1");
  // Left with Enter on the first button ends at -1.
  uint64_t at = host_.frames_presented() + 20;
  host_.key_down(at, host::key::Left);
  host_.key_down(at, host::key::Return);
  host_.key_up(at + 1, host::key::Left);
  host_.key_up(at + 1, host::key::Return);
  EXPECT_EQ(Call(macro_yesno).text, "1");
  // The box leaves what was under it.
  EXPECT_EQ(Count(300, 200, 128, 64, 0), 128 * 64);
}

TEST_F(Menus, InputLinesAcceptOrCancel) {
  uint64_t at = host_.frames_presented() + 2;
  host_.text(at, "abc");
  Press(at + 2, host::key::Return);
  Result r = Call(macro_input, {"0", "0", "256", "x"});
  EXPECT_EQ(r.tag, "S");
  EXPECT_EQ(r.text, "xabc");
  at = host_.frames_presented() + 2;
  host_.text(at, "def");
  Press(at + 2, host::key::Escape);
  EXPECT_EQ(Call(macro_input, {"0", "0", "256", "init"}).text, "init");
  at = host_.frames_presented() + 2;
  host_.text(at, std::string(40, 'z'));
  Press(at + 2, host::key::Return);
  EXPECT_EQ(Call(macro_input, {"0", "0", "2000"}).text, std::string(31, 'z'));
}

}  // namespace
}  // namespace gameui_test
