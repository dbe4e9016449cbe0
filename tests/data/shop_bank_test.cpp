// The village shop and the bank as a player meets them: keys pressed a second
// apart from the row each list opens on, the belongings and the purse after,
// and the words that stood in the message window while a key was awaited.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "game/event.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "game/macro/macro.h"
#include "game/macro/macro_mes.h"
#include "script/script.h"
#include "script/strlist.h"
#include "tests/data/demo_play.h"

namespace {

namespace key = host::key;
using demoplay::BuiltIn;
using demoplay::DemoPlay;

constexpr int kHerb = 1061, kAntidote = 1062, kFeather = 1063, kAxe = 1052, kBronzeKey = 1053, kShard = 1064;

// Item number → units held.
using Holding = std::map<int, int>;

// The message window as the player sees it: the lines written since it was
// last cleared, with the scripts' values put in; and every line that stood
// there when the script took a key.
std::vector<std::string> g_shown, g_read;
ScriptHandler g_mes_home = nullptr, g_mes_key = nullptr, g_key = nullptr, g_selecth = nullptr,
              g_yesno = nullptr, g_sell = nullptr;

void Read() { g_read.insert(g_read.end(), g_shown.begin(), g_shown.end()); }

std::string WithValues(const char* text) {
  std::string out;
  for (const char* p = text; *p;) {
    if (*p != '$') {
      out += *p++;
      continue;
    }
    const char* name = ++p;
    while (std::isupper(static_cast<unsigned char>(*p)) || std::isdigit(static_cast<unsigned char>(*p)) || *p == '_') ++p;
    out += GetVarStr(std::string(name, p).c_str());
  }
  return out;
}

int Said(StrList** args, StrList** stack) {
  const char* text = nullptr;
  if (MacroArgReader(args).Text(text)) g_shown.push_back(WithValues(text));
  return macro_mes(args, stack);
}
int Cleared(StrList** args, StrList** stack) {
  g_shown.clear();
  return g_mes_home(args, stack);
}
// The key wait clears the window once a key has ended it.
int KeyWait(StrList** args, StrList** stack) {
  Read();
  const int rc = g_mes_key(args, stack);
  g_shown.clear();
  return rc;
}
int KeyPoll(StrList** args, StrList** stack) {
  const int rc = g_key(args, stack);
  if (*stack && ScriptValueDouble(*stack) != 0) Read();
  return rc;
}
// Menus and lists wait for their keys over the window as it stands.
int Menu(StrList** args, StrList** stack) {
  Read();
  return g_selecth(args, stack);
}
int YesNo(StrList** args, StrList** stack) {
  Read();
  return g_yesno(args, stack);
}
int SellList(StrList** args, StrList** stack) {
  Read();
  return g_sell(args, stack);
}

struct Case {
  const char* what;
  Holding pack, bank;  // before
  std::vector<int> keys;
  Holding pack_after, bank_after;
  int gold_after;
  const char* read;  // words the player had on screen at a key (none: nullptr)
};

class DemoShopBank : public DemoPlay {
 protected:
  void TearDown() override {
    std::vector<std::string>().swap(g_shown);
    std::vector<std::string>().swap(g_read);
    g_mes_home = g_mes_key = g_key = g_selecth = g_yesno = g_sell = nullptr;
    DemoPlay::TearDown();
  }
  // A new game (60 gold, the wooden sword and the coat worn), kept to start
  // every case from; a restart registers the built-ins afresh, so the window
  // is watched again each time.
  void Begin() {
    ASSERT_TRUE(Start()) << BoxTexts();
    Keys({key::Return, key::Return, key::Return});
    NewGame();
    start_ = GameStateBlock;
    Watch();
  }
  void Watch() {
    g_mes_home = BuiltIn("mes_home"), g_mes_key = BuiltIn("mes_key"), g_key = BuiltIn("key");
    g_selecth = BuiltIn("selecth"), g_yesno = BuiltIn("yesno"), g_sell = BuiltIn("item_window_sell");
    ASSERT_TRUE(g_mes_home && g_mes_key && g_key && g_selecth && g_yesno && g_sell);
    // The fixture clears the registry afterwards.
    ScriptRegisterFunction(&MacroPrefixList, "mes", Said, nullptr);
    ScriptRegisterFunction(&MacroList, "mes_home", Cleared, nullptr);
    ScriptRegisterFunction(&MacroList, "mes_key", KeyWait, nullptr);
    ScriptRegisterFunction(&MacroList, "key", KeyPoll, nullptr);
    ScriptRegisterFunction(&MacroList, "selecth", Menu, nullptr);
    ScriptRegisterFunction(&MacroList, "yesno", YesNo, nullptr);
    ScriptRegisterFunction(&MacroList, "item_window_sell", SellList, nullptr);
  }
  // Fills a container as the game keeps it: a stack for a stacking item,
  // a slot a unit for any other.
  static void Fill(ItemSlot* slots, int size, const Holding& holding) {
    std::fill(slots, slots + size, ItemSlot{});
    int k = 0;
    for (const auto& [number, count] : holding) {
      const int index = FindItemSlot(number, 3);
      ASSERT_GE(index, 0) << number;
      const bool stacks = ItemTable[index].count > 0;
      for (int left = count; left > 0 && k < size; left -= stacks ? left : 1)
        slots[k++] = ItemSlot{stacks ? left : 1, 0, 0, index};
    }
  }
  static Holding Held(const ItemSlot* slots, int size) {
    Holding out;
    for (int k = 0; k < size; ++k)
      if (slots[k].count > 0) out[ItemTable[slots[k].item].number] += slots[k].count;
    return out;
  }
  // One case from the kept game: the event played by its keys. A run that
  // waits for more keys than the case has ends with the window; the game is
  // started again for the next case.
  void Play(int event, const Case& c) {
    SCOPED_TRACE(c.what);
    GameStateBlock = start_;
    ASSERT_NO_FATAL_FAILURE(Fill(CarriedItems, kCarriedSlots, c.pack));
    ASSERT_NO_FATAL_FAILURE(Fill(BankItems, kBankSlots, c.bank));
    // What the case before left undelivered goes, its keys let go.
    host_.clear_script();
    for (int k : {key::Return, key::Escape, key::Down, key::Right}) host_.key_up(host_.frames_presented(), k);
    Keys(c.keys);
    g_shown.clear();
    g_read.clear();
    SetVarInt("PARAM", 1);  // the village shop
    bool ended = true;
    try {
      eventExec(event);
    } catch (const host::ProcessExit&) {
      ended = false;
    }
    EXPECT_TRUE(ended) << "the keys did not lead out";
    EXPECT_EQ(BoxTexts(), "");
    EXPECT_EQ(Held(CarriedItems, kCarriedSlots), c.pack_after);
    EXPECT_EQ(Held(BankItems, kBankSlots), c.bank_after);
    EXPECT_EQ(GameStateBlock.gold, c.gold_after);
    if (c.read) {
      const bool read = std::any_of(g_read.begin(), g_read.end(),
                                    [&](const std::string& line) { return line.find(c.read) != std::string::npos; });
      EXPECT_TRUE(read) << "not on screen while a key was awaited: " << c.read;
    }
    if (!ended) {
      host_.clear_script();
      ASSERT_TRUE(Restart()) << BoxTexts();
      Watch();
    }
  }
  GameState start_{};
};

TEST_P(DemoShopBank, TheVillageShopBuysAndSellsFromTheRowItsListsOpenOn) {
  ASSERT_NO_FATAL_FAILURE(Begin());
  const Holding herbs{{kHerb, 3}};
  const Case cases[] = {
      {"buying the first ware", herbs, {},
       {key::Return, key::Return, key::Escape, key::Escape},  // buy, the herbs, done, out
       {{kHerb, 4}}, {}, 50, "まいど！　薬草だよ。"},
      {"selling the first row", herbs, {},
       {key::Down, key::Return, key::Return, key::Return, key::Escape},  // sell, the herbs, 売る, out
       {{kHerb, 2}}, {}, 65, "薬草を5ゴールドで買い取ったよ。"},
      {"the offer stands at the question", herbs, {},
       {key::Down, key::Return, key::Return, key::Right, key::Return, key::Escape},  // やめる
       herbs, {}, 60, "薬草なら5ゴールドで買い取るよ。"},
      {"keeping it after all", herbs, {},
       {key::Down, key::Return, key::Return, key::Right, key::Return, key::Escape},  // やめる
       herbs, {}, 60, "そうかい。"},
      {"leaving the list", herbs, {},
       {key::Down, key::Return, key::Escape, key::Escape},
       herbs, {}, 60, "ほかに何か？"},
      {"nothing that sells", {{kAxe, 1}, {kShard, 1}}, {},
       {key::Down, key::Return, key::Return, key::Escape},  // the empty list
       {{kAxe, 1}, {kShard, 1}}, {}, 60, "ほかに何か？"},
  };
  for (const Case& c : cases) ASSERT_NO_FATAL_FAILURE(Play(105, c));
}

TEST_P(DemoShopBank, TheBankMovesItemsAndSaysWhenItCannot) {
  ASSERT_NO_FATAL_FAILURE(Begin());
  const Holding herbs{{kHerb, 3}};
  const Holding full_pack{{kHerb, 3}, {kAxe, 31}};
  const Case cases[] = {
      {"depositing", {{kHerb, 3}, {kAntidote, 2}}, {},
       {key::Return, key::Return, key::Escape, key::Escape},  // deposit, the herbs, done, out
       {{kAntidote, 2}}, herbs, 60, nullptr},
      {"withdrawing", herbs, {{kAntidote, 2}, {kFeather, 1}},
       {key::Down, key::Return, key::Return, key::Escape, key::Escape},
       {{kHerb, 3}, {kAntidote, 2}}, {{kFeather, 1}}, 60, nullptr},
      // The words stay until a key: then the menu again, left with Escape.
      {"an empty bank", herbs, {},
       {key::Down, key::Return, key::Return, key::Escape},
       herbs, {}, 60, "品物がありません。"},
      {"the last item withdrawn", herbs, {{kAntidote, 2}},
       {key::Down, key::Return, key::Return, key::Return, key::Escape},
       {{kHerb, 3}, {kAntidote, 2}}, {}, 60, "品物がありません。"},
      {"onto a full stack", {{kHerb, 9}}, {{kHerb, 2}},
       {key::Down, key::Return, key::Return, key::Escape, key::Escape},
       {{kHerb, 9}}, {{kHerb, 2}}, 60, "薬草はもう持ちきれないようです。"},
      {"onto a stack with room for some", {{kHerb, 7}}, {{kHerb, 5}},
       {key::Down, key::Return, key::Return, key::Escape, key::Escape},
       {{kHerb, 9}}, {{kHerb, 3}}, 60, "薬草はもう持ちきれないようです。"},
      {"into a full pack", full_pack, {{kAntidote, 1}},
       {key::Down, key::Return, key::Return, key::Escape, key::Escape},
       full_pack, {{kAntidote, 1}}, 60, "毒消し草はもう持ちきれないようです。"},
      {"into a full bank", {{kHerb, 3}, {kAntidote, 2}}, {{kBronzeKey, kBankSlots}},
       {key::Return, key::Return, key::Escape, key::Escape},
       {{kHerb, 3}, {kAntidote, 2}}, {{kBronzeKey, kBankSlots}}, 60, "預かり所がいっぱいで、薬草はもうお預かりできません。"},
  };
  for (const Case& c : cases) ASSERT_NO_FATAL_FAILURE(Play(106, c));
}

INSTANTIATE_TEST_SUITE_P(Depths, DemoShopBank, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

}  // namespace
