// The demo's first steps as a new player meets them: the hero as the camp
// shows it, the village sign's words against the village itself, and a thief
// that finds nothing to steal.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "game/event.h"
#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/macro/macro_mes.h"
#include "game/main.h"
#include "game/map.h"
#include "script/script.h"
#include "tests/data/demo_play.h"

namespace {

namespace key = host::key;
using demoplay::DemoPlay;

// The message window's lines as the scripts write them (their $ names not yet
// filled in), each with the hero's gold when it was written.
struct Said {
  std::string line;
  int gold;
};
std::vector<Said> g_said;
int KeepTheWords(StrList** args, StrList** stack) {
  const char* text = nullptr;
  if (MacroArgReader(args).Text(text)) g_said.push_back({text, GameStateBlock.gold});
  return macro_mes(args, stack);
}

class DemoVillage : public DemoPlay {
 protected:
  void SetUp() override {
    DemoPlay::SetUp();
    g_said.clear();
  }
  void TearDown() override {
    std::vector<Said>().swap(g_said);
    DemoPlay::TearDown();
  }
  // Keeps every line the message window is given (the fixture clears the
  // registry afterwards).
  static void KeepWords() { ScriptRegisterFunction(&MacroPrefixList, "mes", KeepTheWords, nullptr); }
  // The first line said after `from` that holds `text`.
  static const Said* Find(const std::string& text, size_t from = 0) {
    for (size_t i = from; i < g_said.size(); ++i)
      if (g_said[i].line.find(text) != std::string::npos) return &g_said[i];
    return nullptr;
  }
};

// The hero wears the coat from the first step, and starts with all the hit
// points it gives: the camp shows them full, before any inn.
TEST_P(DemoVillage, TheNewHeroStartsWithEveryHitPointTheCampShows) {
  ASSERT_TRUE(Start()) << BoxTexts();
  SetVarInt("OPENING_SEEN", 1);
  Keys({key::Return, key::Return, key::Return, key::Return,  // title and new game
        key::Return, key::Escape,                            // the camp menu, shut again
        key::Escape, key::Down, key::Return, key::Left, key::Return});  // back to the title
  ASSERT_NO_THROW(TitlePass());
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(GameStateBlock.max_hp, 40);  // the hero's own, the coat's 5 beside it
  EXPECT_EQ(GetVarInt("HPMAX"), 45);
  EXPECT_EQ(GetVarInt("HP"), 45) << "the camp showed the hero short of the worn maximum";
  EXPECT_EQ(GameStateBlock.hp, 45);
}

// The sign on the start hall's east wall names the side of the village where
// the monster catalogue's shrine stands; the inn is on the other side.
TEST_P(DemoVillage, TheVillageSignPointsToTheShrine) {
  ASSERT_TRUE(Start()) << BoxTexts();
  SetVarInt("OPENING_SEEN", 1);
  KeepWords();
  Keys({key::Return, key::Return, key::Return, key::Return,  // title and new game
        key::Right, key::Up, key::Up,                        // east to the hall's wall
        key::Up,                                             // read the sign
        key::Return,                                         // its words
        key::Escape, key::Down, key::Return, key::Left, key::Return});  // back to the title
  ASSERT_NO_THROW(TitlePass());
  EXPECT_EQ(BoxTexts(), "");
  ASSERT_EQ(HeroPos.X, 13);
  // Where the shrine (event 112) and the inn (107) stand on the village floor.
  int shrine = -1, inn = -1;
  for (int x = 0; x < 25; ++x)
    for (int y = 0; y < 25; ++y) {
      const int ev = DungeonMap[0].cells[x][y].w[CELL_EVNT];
      if (ev == 112) shrine = x;
      if (ev == 107) inn = x;
    }
  ASSERT_GE(shrine, 0);
  ASSERT_GE(inn, 0);
  const int sign = 13;
  ASSERT_LT(shrine, sign);
  ASSERT_GT(inn, sign);
  const Said* words = Find("魔物図鑑の祠");
  ASSERT_NE(words, nullptr) << "the sign said nothing of the shrine";
  EXPECT_NE(words->line.find("西"), std::string::npos) << "the shrine is in the west room";
  EXPECT_EQ(words->line.find("宿"), std::string::npos) << "the inn is the other way";
}

// A thief's turn: with gold to take, a fifth of it goes, and is said; with
// less than five, no theft of nothing is announced and the monster strikes
// instead.
int g_thefts = 0;
int StealOnce(StrList**, StrList** stack) { return MacroPushInt(stack, g_thefts++ == 0 ? 1 : 0); }

TEST_P(DemoVillage, AThiefTakesAFifthOfTheGoldOrStrikesWhenThereIsNone) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Keys({key::Return, key::Return, key::Return});  // the new game
  NewGame();
  KeepWords();
  struct Row {
    int gold, left;     // before the theft, and right after it
    const char* said;   // the monster's turn
  };
  const Row rows[] = {
      {50, 40, "ゴールドをかすめとった"},
      {3, 3, "$ENAMEの"},  // its blow, plain or heavy
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.gold << " gold");
    Eval("hero_hp(item_equip_hp()); hero_gold(" + std::to_string(row.gold) + ")");
    // The jewel beetle steals at its first turn and never again.
    g_thefts = 0;
    ScriptRegisterFunction(&MacroList, "enemy_THEF", StealOnce, nullptr);
    host_.clear_script();
    Keys(std::vector<int>(40, key::Return));  // the fight fought to its end
    g_said.clear();
    SetVarInt("ENEMY", 2007);
    ASSERT_NO_THROW(eventExec(300));
    EXPECT_EQ(BoxTexts(), "");
    ASSERT_GE(g_thefts, 1) << "the monster never had its turn";
    // The first turn of the monster follows the hero's first blow.
    const Said* blow = Find("$ENAMEに");
    ASSERT_NE(blow, nullptr);
    const Said* turn = Find(row.said, blow - g_said.data() + 1);
    ASSERT_NE(turn, nullptr) << "the monster's turn did not say " << row.said;
    EXPECT_EQ(turn->gold, row.left);
    if (row.gold < 5) {
      EXPECT_EQ(Find("かすめとった"), nullptr) << "a theft of nothing was announced";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, DemoVillage, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

}  // namespace
