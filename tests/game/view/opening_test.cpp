// The set pieces: who takes part, how they end and what they leave on screen.
#include "game/opening.h"

#include <filesystem>

#include "game/effect.h"
#include "game/enemy.h"
#include "tests/game/view/fixture.h"

namespace gameview_test {
namespace {

class SetPieces : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    std::memset(static_cast<void*>(MonsterTable), 0, sizeof MonsterTable);
    host_.set_frames_kept(4);
    for (const char* t : {"data/system/effect3.dat", "data/system/effect6.dat"})
      TempDir::Write(t, std::string(kEffectTableBytes, '\0'));
    TempDir::Write("data/system/title.png", SolidPng(640, 480, 0x3060C0));
    TempDir::Write("data/system/hitanykey.png", SolidPng(200, 40, 0xFFFFFF));
    TempDir::Write("data/system/grad.png", SolidPng(640, 480, 0x000000));
    for (int i = 1; i <= 6; ++i)
      TempDir::Write("data/system/end" + std::to_string(i) + ".png", SolidPng(640, 480, 0x102030));
    TempDir::Write("data/mon/a.png", SolidPng(64, 48, 0xC02020));
  }
  void TearDown() override {
    std::memset(static_cast<void*>(MonsterTable), 0, sizeof MonsterTable);
    ViewTest::TearDown();
  }
  static void Monster(int number, int demo, const char* name, const char* auth) {
    MonsterRec& m = MonsterTable[number - 2000];
    m.num = number, m.demo = demo, m.name = name, m.auth = auth;
    m.pic[0] = "data/mon/a.png";
  }
  int Bright(const host::Frame& f, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < 640; ++x) n += (f.at(x, y) & 0xFF) > 0x80;
    return n;
  }
};

TEST_F(SetPieces, AKeyInTheFirstFrameEndsTheOpeningAndLiftsTheVeil) {
  Monster(2001, 0, "a", "A");
  host_.key_press(0, host::key::Return);
  const uint64_t before = host_.frames_presented();
  PlayOpeningDemo();
  EXPECT_EQ(host_.frames_presented() - before, 8u);
  EXPECT_EQ(Screen(5, 5), 0x3060C0u);  // the plain title, not yet presented
}

TEST_F(SetPieces, ADebugNumberOutsideTheListStartsAtItsFirstEntryAndGoesInOrder) {
  TempDir::Write("data/mon/b.png", SolidPng(64, 48, 0x20C020));
  Monster(2001, 2, "a", "A");
  Monster(2002, 0, "b", "B");
  MonsterTable[2].pic[0] = "data/mon/b.png";
  Monster(2003, 1, "c", "C");  // not in the opening
  SetVarInt("OPENING_DEBUG", 2999);
  host_.set_frames_kept(16);
  // 50 frames a monster, the plain picture from the 21st: the key ends the
  // second show after its 25th frame; seven frames lift the veil.
  const uint64_t start = host_.frames_presented();
  host_.key_press(start + 75, host::key::Return);
  PlayOpeningDemo();
  ASSERT_EQ(host_.frames_presented() - start, 82u);
  const host::Frame& shown = host_.frames()[host_.frames().size() - 8];
  EXPECT_EQ(shown.at(190, 70), 0x20C020u);
  EXPECT_NEAR(static_cast<int>(shown.at(5, 5) & 0xFF), 0xC0 * 3 / 10, 2);  // the title under its veil
}

TEST_F(SetPieces, CharactersTypedBeforeTheOpeningDoNotEndIt) {
  Monster(2001, 0, "a", "A");
  host_.text(0, "typed while the game started");
  dxupdate();
  ASSERT_NE(dxcharqueue.size() + dxwcharqueue.size(), 0u);
  const uint64_t start = host_.frames_presented();
  host_.key_press(start + 30, host::key::Return);
  PlayOpeningDemo();
  EXPECT_EQ(host_.frames_presented() - start, 37u);  // to the key, then the veil's seven frames
}

TEST_F(SetPieces, TheOpeningWithoutMonstersStillWaitsForAKey) {
  Monster(2001, 1, "a", "A");  // kept out of the opening
  host_.key_press(30, host::key::Escape);
  PlayOpeningDemo();
  EXPECT_EQ(Screen(5, 5), 0x3060C0u);
}

TEST_F(SetPieces, AMissingTitleStops) {
  std::filesystem::remove("data/system/title.png");
  EXPECT_THROW(PlayOpeningDemo(), host::ProcessExit);
  EXPECT_NE(host_.message_boxes().back().text.find(U8("[data/system/title.png]:エラー:PNGのロードに失敗")),
            std::string::npos);
}

TEST_F(SetPieces, TheEndingShowsEveryMonsterNotKeptOutForFiftyFrames) {
  Monster(2001, 0, "a", nullptr);  // only its name line
  Monster(2002, 1, nullptr, "B");  // only its author line
  Monster(2003, 2, "c", "C");      // the opening's only
  Monster(2004, 3, "d", "D");      // nobody's
  GameStateBlock.enemy_rip[1] = 5;
  const uint64_t before = host_.frames_presented();
  PlayEndingDemo();  // no closing pictures here: they are passed over
  EXPECT_EQ(host_.frames_presented() - before, 100u);
  // The last frame: the monster's picture in place over a background.
  EXPECT_EQ(Screen(90 + 10, 80 + 10), 0xC02020u);
  EXPECT_EQ(Screen(5, 470), 0x102030u);
}

TEST_F(SetPieces, OneCreditRisesToTheMiddleStaysAndTheRollEnds) {
  Monster(2002, 1, "b", "B");
  Monster(2003, 2, "c", "C");
  dxcls(0);
  const uint64_t before = host_.frames_presented();
  PlayStaffCredits();
  // 96 pixels a place at 4 a frame: the entry is counted for six places.
  EXPECT_EQ(host_.frames_presented() - before, 144u);
  const host::Frame* last = host_.last_frame();
  ASSERT_NE(last, nullptr);
  EXPECT_GT(Bright(*last, 192, 250), 0);
  EXPECT_EQ(Bright(*last, 0, 190), 0);
  EXPECT_EQ(Bright(*last, 252, 480), 0);
}

TEST_F(SetPieces, AnEmptyRollGoesStraightToTheClosingPictures) {
  TempDir::Write("data/system/credit.png", SolidPng(640, 480, 0x00FF00));
  host_.text(40, "a");
  PlayStaffCredits();
  EXPECT_EQ(Screen(100, 100), 0x00FF00u);
}

TEST_F(SetPieces, TheFirstClosingPictureWaitsWholeNotOverTheScreenItFadedInOver) {
  TempDir::Write("data/system/credit2.png", SolidPng(640, 480, 0x00FF00));
  dxcls(dxrgb(255, 0, 0));
  PlayStaffCredits();
  const host::Frame* last = host_.last_frame();
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->at(100, 100), 0x00FF00u);
}

TEST_F(SetPieces, AClosingPictureWaitsForWhatIsTypedWhileItIsShown) {
  TempDir::Write("data/system/credit.png", SolidPng(640, 480, 0x00FF00));
  host_.text(0, "typed during the roll");
  dxupdate();
  const uint64_t start = host_.frames_presented();
  host_.text(start + 40, "a");
  PlayStaffCredits();
  EXPECT_GE(host_.frames_presented() - start, 40u);
  EXPECT_EQ(Screen(100, 100), 0x00FF00u);
}

}  // namespace
}  // namespace gameview_test
