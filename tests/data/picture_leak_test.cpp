// The pictures of the demo game's menus, windows and scenes, opened and closed
// by keys round after round: at the same resting point after every round, as
// many pictures are live as after the first, which warmed the caches up. A
// window that keeps one picture it does not give back is seen at once, where
// the soak's memory would not notice a small one for a long time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "dx/dx.h"
#include "game/event.h"
#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/main.h"
#include "game/map.h"
#include "script/script.h"
#include "tests/data/demo_play.h"

namespace {

namespace key = host::key;
using demoplay::BuiltIn;
using demoplay::DemoPlay;

// The built-ins that open a menu, a window or a scene, and how often each was
// opened: a round's keys must lead through what it is meant to open.
struct Opener {
  const char* name;
  ScriptHandler game;
  int opened;
};
Opener g_openers[] = {
    {"selecth", nullptr, 0}, {"selectw", nullptr, 0},     {"yesno", nullptr, 0},
    {"input", nullptr, 0},   {"mes_open", nullptr, 0},    {"win", nullptr, 0},
    {"effect", nullptr, 0},  {"catalog", nullptr, 0},     {"item_window", nullptr, 0},
    {"item_window_sell", nullptr, 0},                      {"item_window_equip", nullptr, 0},
};

template <size_t I>
int Open(StrList** args, StrList** stack) {
  ++g_openers[I].opened;
  return g_openers[I].game(args, stack);
}

template <size_t... I>
void WatchOpeners(std::index_sequence<I...>) {
  ((g_openers[I].game = BuiltIn(g_openers[I].name), g_openers[I].opened = 0), ...);
  // The fixture clears the registry afterwards.
  (ScriptRegisterFunction(&MacroList, g_openers[I].name, Open<I>, nullptr), ...);
}

// The live pictures but the walls': those seen on a floor stay loaded until
// the floor changes, and a torch's flame loads its next picture at each look.
size_t LivePictures() {
  size_t n = dxlivebitmaps().size();
  for (const WallTexture& t : WallTextureTable) n -= t.picture != nullptr;
  return n;
}

int Opened(const char* name) {
  for (const Opener& o : g_openers)
    if (std::strcmp(o.name, name) == 0) return o.opened;
  return -1;
}

// What a round plays: the title's pass (event 0) or an event run from the
// dungeon, with script run before it and the keys a player presses in it.
struct Scene {
  const char* what;
  int event;
  const char* before;
  std::vector<int> keys;
  std::vector<const char*> opens;
};

class DemoPictures : public DemoPlay {
 protected:
  void TearDown() override {
    for (Opener& o : g_openers) o.game = nullptr, o.opened = 0;
    DemoPlay::TearDown();
  }

  // A new game, in the dungeon, kept for every round to start from.
  void Begin() {
    ASSERT_TRUE(Start()) << BoxTexts();
    SetVarInt("OPENING_SEEN", 1);
    std::snprintf(BaseDir, sizeof BaseDir, "%s", dir_.path().c_str());
    Keys({key::Return, key::Return, key::Return});
    NewGame();
    start_ = GameStateBlock;
    WatchOpeners(std::make_index_sequence<std::size(g_openers)>());
  }

  // One round of every scene; false when one did not come back.
  bool Round(const std::vector<Scene>& scenes) {
    for (const Scene& s : scenes) {
      SCOPED_TRACE(s.what);
      GameStateBlock = start_;
      srand(5);
      // What the scene before left undelivered goes, its keys let go.
      host_.clear_script();
      for (int k : {key::Return, key::Escape, key::Down, key::Up, key::Left, key::Right})
        host_.key_up(host_.frames_presented(), k);
      if (*s.before) Eval(s.before);
      std::vector<int> before;
      for (const char* name : s.opens) before.push_back(Opened(name));
      Keys(s.keys);
      try {
        if (s.event)
          eventExec(s.event);
        else
          TitlePass();
      } catch (const host::ProcessExit&) {
        ADD_FAILURE() << "the keys did not lead out";
        return false;
      }
      EXPECT_EQ(BoxTexts(), "");
      for (size_t i = 0; i < s.opens.size(); ++i)
        EXPECT_GT(Opened(s.opens[i]), before[i]) << s.opens[i] << " was not opened";
    }
    host_.clear_script();
    return true;
  }

  // The first round warms the caches up; every round after it ends with as
  // many pictures live.
  void ExpectNoPictureLeft(const std::vector<Scene>& scenes, int rounds) {
    ASSERT_NO_FATAL_FAILURE(Begin());
    ASSERT_TRUE(Round(scenes));
    const size_t warm = LivePictures();
    for (int r = 2; r <= rounds; ++r) {
      ASSERT_TRUE(Round(scenes));
      const size_t live = LivePictures();
      ASSERT_EQ(live, warm) << "the game leaked pictures: " << warm << " live after the first round, " << live
                            << " after round " << r;
    }
  }

  GameState start_{};
};

constexpr int kRounds = 4;

// The camp menu that Enter opens in the dungeon, every entry chosen in turn:
// the pack's list, the equipment and its list, the hero's strength, the map,
// a look around, the catalogue of monsters, the records' list; and the pause
// menu that Escape opens: its settings, the way back to the title declined.
TEST_P(DemoPictures, TheCampAndPauseMenusLeaveNoPicture) {
  ExpectNoPictureLeft(
      {
          {"camp", 10, "",
           {key::Return, key::Escape,                                      // the pack, left
            key::Down, key::Return, key::Return, key::Escape, key::Escape,  // equipment, its list, left
            key::Down, key::Return, key::Return,                            // strength
            key::Down, key::Return, key::Return,                            // the map
            key::Down, key::Return, key::Return,                            // a look around
            key::Down, key::Return, key::Escape,                            // the catalogue
            key::Down, key::Return, key::Escape,                            // records, none chosen
            key::Down, key::Return},                                        // close
           {"selecth", "mes_open", "item_window_equip", "win", "catalog"}},
          {"pause: settings", 11, "",
           {key::Return,                                     // settings
            key::Return, key::Return,                        // movement, and back
            key::Down, key::Down, key::Down, key::Return},   // save and go back
           {"selecth"}},
          {"pause: to the title, declined", 11, "", {key::Down, key::Return, key::Return}, {"selecth", "yesno"}},
          {"pause, closed", 11, "", {key::Escape}, {"selecth"}},
      },
      kRounds);
}

// In the village: the shop's buying and selling lists, the bank's lists, the
// inn's questions, the shrine's catalogue, the notice stone's words.
TEST_P(DemoPictures, TheVillagesWindowsLeaveNoPicture) {
  ExpectNoPictureLeft(
      {
          {"shop: buying", 105, "PARAM = 1", {key::Return, key::Return, key::Escape, key::Escape},
           {"effect", "mes_open", "selecth", "item_window"}},
          {"shop: selling, declined", 105, "PARAM = 1",
           {key::Down, key::Return, key::Return, key::Right, key::Return, key::Escape},
           {"selecth", "item_window_sell", "yesno"}},
          {"bank: depositing", 106, "", {key::Return, key::Return, key::Escape, key::Escape},
           {"selecth", "item_window"}},
          {"bank: nothing to withdraw", 106, "", {key::Down, key::Return, key::Return, key::Escape}, {"selecth"}},
          {"inn: a night, no record", 107, "", {key::Return, key::Return, key::Escape}, {"effect", "yesno"}},
          {"shrine", 112, "", {key::Return, key::Escape}, {"effect", "catalog"}},
          {"notice stone", 103, "PARAM = 1", {key::Return}, {"mes_open"}},
      },
      kRounds);
}

// A fight with a slime: the command menu, the item list chosen and left, then
// fought to its end.
TEST_P(DemoPictures, AFightLeavesNoPicture) {
  std::vector<int> keys = {key::Return,                           // the monster's words
                           key::Right, key::Return, key::Escape};  // items, the list left
  keys.insert(keys.end(), 30, key::Return);                        // fought to the end
  ExpectNoPictureLeft({{"fight", 300, "ENEMY = 2001", keys, {"selectw", "mes_open", "item_window_equip"}}}, kRounds);
}

// The title's menu: the settings, each changed and changed back and kept; the
// records' list, left; a new game, the name offered taken, walked into the
// dungeon and left for the title through the pause menu.
TEST_P(DemoPictures, TheTitlesMenusLeaveNoPicture) {
  ExpectNoPictureLeft(
      {
          {"settings", 0, "",
           {key::Down, key::Down, key::Return,    // title: settings
            key::Return, key::Return,             // movement, and back
            key::Down, key::Return, key::Return,  // pictures' place, and back
            key::Down, key::Return, key::Return,  // full screen, and back
            key::Down, key::Return},              // save and go back
           {"selecth"}},
          {"records", 0, "", {key::Down, key::Return, key::Escape}, {"selecth"}},
          {"new game", 0, "",
           {key::Return,                                                   // title: new game
            key::Return, key::Return, key::Return,                         // the prologue, the name, the last wait
            key::Up,                                                       // a step north
            key::Escape, key::Down, key::Return, key::Left, key::Return},  // back to the title
           {"selecth", "input", "mes_open", "yesno"}},
      },
      kRounds);
}

INSTANTIATE_TEST_SUITE_P(Depth16, DemoPictures, ::testing::Values(16));

}  // namespace
