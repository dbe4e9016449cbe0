// The demo game played by the game itself on the headless host: packed as
// tools/play.sh packs it, started, and walked from the title through a new
// game into the dungeon and back, with no warning from any event on the way,
// on a desktop of each depth the game runs on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/enemy.h"
#include "game/event.h"
#include "game/explore.h"
#include "game/item.h"
#include "game/item_window.h"
#include "game/macro/macro.h"
#include "game/macro/macro_mes.h"
#include "game/main.h"
#include "game/map.h"
#include "game/gamestate.h"
#include "game/position.h"
#include "game/sound.h"
#include "game/view3d.h"
#include "game/viewframe.h"
#include "platform/d3d/raster.h"
#include "platform/win32/display.h"
#include "platform/win32/file.h"
#include "platform/win32/process.h"
#include "qv/qvsapi.h"
#include "script/script.h"
#include "tests/data/data_files.h"
#include "tests/common/surfaces.h"
#include "tests/data/demo_play.h"
#include "tests/game/game_fixture.h"
#include "tools/mkpack/packwriter.h"

namespace {

namespace key = host::key;
using demoplay::DemoPlay;

// The endings as the player sees them: the screen a set piece starts from, and
// whether each closing picture was ever shown as it is drawn alone.
struct EndingWatch {
  ScriptHandler piece = nullptr;
  bool piece_started = false, screen_clear = false;
  std::vector<uint32_t> alone[2];  // credit2.png, credit.png
  bool shown[2] = {false, false};
  uint64_t last_frame = ~uint64_t{0};
  // Enter as a player presses it (held 150 ms) on the first closing picture
  // once it stands alone, and again a second later; then, after two seconds,
  // the keys that choose the title menu's last entry (the end).
  bool press_on_pictures = false;
  int presses = 0;
  uint64_t first_press_us = 0;
  std::vector<uint32_t> title;  // title.png alone
  bool title_shown = false;     // above the menu, after the second Enter
  // Enter on the first closing picture, and on the last one held down until
  // `release_frame`, long after the ending is over.
  bool hold_on_last = false;
  uint64_t release_frame = 0;
};
EndingWatch* g_ending = nullptr;

int WatchPieceStart(StrList** args, StrList** stack) {
  g_ending->piece_started = true;
  platform::PixelBuffer pb = dxbackbuffer->pixels();
  const size_t row = static_cast<size_t>(pb.width) * (pb.format.bpp / 8);
  g_ending->screen_clear = true;
  for (int y = 0; y < pb.height; ++y)
    for (size_t i = 0; i < row; ++i) g_ending->screen_clear &= pb.bits[y * pb.pitch + i] == 0;
  return g_ending->piece(args, stack);
}

void WatchClosingPictures(uint64_t now) {
  host::HeadlessHost* host = host::headless();
  const host::Frame* f = host->last_frame();
  if (!g_ending || !f) return;
  EndingWatch& w = *g_ending;
  if (f->index != w.last_frame) {
    w.last_frame = f->index;
    for (int i = 0; i < 2; ++i) w.shown[i] |= f->pixels == w.alone[i];
    if (w.presses == 2 && f->pixels.size() == w.title.size())
      w.title_shown |= std::equal(w.title.begin(), w.title.begin() + 640 * 250, f->pixels.begin());
  }
  if (w.hold_on_last && w.presses < 2 && w.shown[w.presses]) {
    // The first picture presents nothing while it waits; the last one
    // presents a frame a second, and a key on its first frame would be
    // cleared with what was typed before it.
    const uint64_t frame = host->frames_presented() + w.presses;
    host->key_down(frame, key::Return);
    w.release_frame = w.presses == 0 ? frame + 9 : frame + 600;
    host->key_up(w.release_frame, key::Return);
    ++w.presses;
    return;
  }
  if (!w.press_on_pictures || w.presses >= 2 || !w.shown[0]) return;
  if (w.presses == 1 && now < w.first_press_us + 1000000) return;
  if (w.presses == 0) w.first_press_us = now;
  ++w.presses;
  const uint64_t frame = host->frames_presented();
  host->key_down(frame, key::Return);
  host->key_up(frame + 9, key::Return);
  if (w.presses == 2) {
    for (int k = 0; k < 3; ++k) host->key_press(frame + 120 + 20 * k, key::Down);
    host->key_press(frame + 180, key::Return);
  }
}

class DemoEnding : public DemoPlay {
 protected:
  // Watches the set piece the altar starts and the frames after it; call
  // before the keys are scheduled (it presents two frames of its own).
  void Watch(const char* piece) {
    g_ending = &watch_;
    for (MacroEntry* e = MacroList; e; e = e->next)
      if (std::strcmp(e->name, piece) == 0 && !watch_.piece) watch_.piece = e->handler;
    ASSERT_NE(watch_.piece, nullptr);
    // The fixture clears the registry afterwards.
    ScriptRegisterFunction(&MacroList, piece, WatchPieceStart, nullptr);
    const char* files[2] = {"data/system/credit2.png", "data/system/credit.png"};
    for (int i = 0; i < 2; ++i) {
      dx::bitmap* pic = LoadPngBitmap(files[i]);
      ASSERT_NE(pic, nullptr);
      dxcls(0);
      dxblt(pic, 0, 0);
      dxdeletebitmap(pic);
      dxupdate();
      watch_.alone[i] = host_.last_frame()->pixels;
    }
    // The pictures drawn here are not the ending's.
    watch_.last_frame = host_.last_frame()->index;
    host::add_clock_listener(WatchClosingPictures);
  }
  void TearDown() override {
    host::remove_clock_listener(WatchClosingPictures);
    g_ending = nullptr;
    DemoPlay::TearDown();
  }
  void ExpectCleanEnding() {
    EXPECT_TRUE(watch_.piece_started);
    EXPECT_TRUE(watch_.screen_clear) << "the set piece starts over the altar's scene";
    EXPECT_TRUE(watch_.shown[0]) << "the first closing picture is not shown alone";
    EXPECT_TRUE(watch_.shown[1]) << "the last closing picture is not shown alone";
  }
  EndingWatch watch_;
};


TEST_P(DemoPlay, StartsWithEveryTableLoaded) {
  ASSERT_TRUE(Start()) << BoxTexts();
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(ItemTable[0].number, 1001);
  EXPECT_EQ(MonsterTable[8].num, 2008);
  EXPECT_NE(SoundTable[1].file, nullptr);
  EXPECT_STREQ(GetVarStr("PREV"), "\x82\xdc\x82\xa6\x82\xd6");  // the catalogue's button caption
}

TEST_P(DemoPlay, ANewGameWalksIntoTheDungeonAndBackToTheTitle) {
  ASSERT_TRUE(Start()) << BoxTexts();
  // The walk starts at the title menu; the opening show before it waits for a
  // key of its own.
  SetVarInt("OPENING_SEEN", 1);
  Keys({key::Return,                       // title: new game
        key::Return,                       // the prologue's key wait
        key::Return,                       // the name as offered
        key::Return,                       // the last key wait
        key::Up, key::Up,                  // two steps north from the start
        key::Escape, key::Down, key::Return,  // the pause menu: back to the title
        key::Left, key::Return});          // yes
  bool returned = true;
  try {
    TitlePass();
  } catch (const host::ProcessExit&) {
    returned = false;
  }
  ASSERT_TRUE(returned) << "the run did not come back to the title";
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_GT(std::strlen(GameStateBlock.name), 0u);
  EXPECT_EQ(GameStateBlock.max_hp, 40);
  EXPECT_EQ(GameStateBlock.gold, 60);
  // The starting weapon and coat are worn, the herbs carried.
  EXPECT_EQ(ItemTable[EquipSlots[3].item].number, 1001);
  EXPECT_EQ(ItemTable[EquipSlots[1].item].number, 1021);
  EXPECT_EQ(GameStateBlock.carried[0].count, 3);
  EXPECT_EQ(HeroPos.N, 0);
  EXPECT_EQ(HeroPos.X, 11);
  EXPECT_EQ(HeroPos.Y, 14);
  EXPECT_EQ(GetVarInt("RET") & 0x20000, 0x20000);
}

TEST_P(DemoPlay, ASavedJourneyLoadsAgain) {
  ASSERT_TRUE(Start()) << BoxTexts();
  SetVarInt("OPENING_SEEN", 1);
  std::snprintf(BaseDir, sizeof BaseDir, "%s", dir_.path().c_str());
  const std::vector<int> leave = {key::Escape, key::Down, key::Return, key::Left, key::Return};
  std::vector<int> keys = {key::Return, key::Return, key::Return, key::Return,  // new game, as above
                           key::Up, key::Up,
                           key::Return,                                   // the camp menu
                           key::Down, key::Down, key::Down, key::Down, key::Down, key::Down,
                           key::Return,                                   // record the journey
                           key::Return,                                   // in record 1
                           key::Return,                                   // the notice
                           key::Escape};                                  // close the camp menu
  keys.insert(keys.end(), leave.begin(), leave.end());
  Keys(keys);
  ASSERT_NO_THROW(TitlePass());
  EXPECT_EQ(BoxTexts(), "");
  ASSERT_TRUE(std::filesystem::exists(dir_.path() / "save1.jpg"));
  const std::string name = GameStateBlock.name;

  keys = {key::Down, key::Return,  // title: continue
          key::Return};            // record 1
  keys.insert(keys.end(), leave.begin(), leave.end());
  Keys(keys);
  ASSERT_NO_THROW(TitlePass());
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(GameStateBlock.name, name);
  EXPECT_EQ(HeroPos.X, 11);
  EXPECT_EQ(HeroPos.Y, 14);
  EXPECT_EQ(GameStateBlock.carried[0].count, 3);
}

TEST_P(DemoPlay, AFightWithASlimeIsWon) {
  ASSERT_TRUE(Start()) << BoxTexts();
  std::vector<int> keys(3, key::Return);  // the new game's waits and its name
  keys.insert(keys.end(), 30, key::Return);  // every wait and every "fight" of the battle
  Keys(keys);
  ASSERT_NO_THROW(eventExec(5));
  ASSERT_NO_THROW(eventExec(51));
  SetVarInt("ENEMY", 2001);
  ASSERT_NO_THROW(eventExec(300));
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(GetVarInt("RESULT"), 1);
  EXPECT_EQ(GameStateBlock.enemy_rip[1], 1);  // counted for the ending
  EXPECT_NE(GameStateBlock.enemy_pic[1], 0);  // seen, for the catalogue
  EXPECT_GE(GameStateBlock.gold, 66);
  EXPECT_EQ(GameStateBlock.max_hp, 41);
}

// The message window's lines as the scripts write them.
std::vector<std::string> g_words;
int KeepTheWords(StrList** args, StrList** stack) {
  const char* text = nullptr;
  if (MacroArgReader(args).Text(text)) g_words.push_back(text);
  return macro_mes(args, stack);
}

// Every item the fight's item list shows, chosen there against a monster one
// may flee and against the guardian, who allows no flight. The herb and the
// antidote work, one of the kind chosen is used up, and the monster takes its
// turn; the feather (it is for the walk) and the shard are refused as
// anything of no use there is, kept, and cost no turn. Nothing carries the
// hero off, and the fight goes on.
TEST_P(DemoPlay, EveryItemOfTheFightsListIsUsedOrRefused) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Keys({key::Return, key::Return, key::Return});  // the new game
  NewGame();
  ScriptRegisterFunction(&MacroPrefixList, "mes", KeepTheWords, nullptr);  // the fixture clears the registry
  struct Off {
    ~Off() { std::vector<std::string>().swap(g_words); }
  } off;
  struct Row {
    int item, count;   // how many are carried before the fight
    const char* said;  // what choosing it says
    bool turn;         // whether the monster has its turn next
    int left;          // carried after the fight
  };
  // In the list's order: it opens on the first of them, under "やめる".
  const Row rows[] = {
      {1061, 3, "薬草を使った。HPが回復した。", true, 2},
      {1062, 2, "毒消し草を使った。毒が消えた。", true, 1},
      {1063, 1, "いまは使えない。", false, 1},
      {1064, 1, "いまは使えない。", false, 1},
  };
  for (size_t downs = 0; downs < std::size(rows); ++downs) {
    const Row& row = rows[downs];
    for (int enemy : {2001, 2008}) {
      SCOPED_TRACE(::testing::Message() << "item " << row.item << " against " << enemy);
      // The hero whole, far from the start hall, with the same pack before
      // every fight.
      Eval("pos(0, 10, 22, 0); hero_hp(item_equip_hp()); hero_poison(0)");
      for (ItemSlot& slot : CarriedItems) slot = ItemSlot{};
      for (const Row& r : rows)
        Eval("item_set(" + std::to_string(r.item) + ", " + std::to_string(r.count) + "); item_push(0, 0)");
      for (size_t k = 0; k < std::size(rows); ++k) ASSERT_EQ(ItemTable[CarriedItems[k].item].number, rows[k].item);
      std::vector<int> keys = {key::Return,               // the monster's words
                               key::Right, key::Return};  // "どうぐ"
      keys.insert(keys.end(), downs, key::Down);
      keys.insert(keys.end(), {key::Return,    // the item
                               key::Return});  // what is said to it
      keys.insert(keys.end(), 40, key::Return);  // the fight fought on to its end
      // The keys left over go, and with them the release of the last one
      // taken: it is let go here.
      host_.clear_script();
      host_.key_up(host_.frames_presented(), key::Return);
      Keys(keys);
      g_words.clear();
      SetVarInt("ENEMY", enemy);
      ASSERT_NO_THROW(eventExec(300));
      EXPECT_EQ(BoxTexts(), "");
      EXPECT_EQ(GetPosFloor(HeroPos), 0);
      EXPECT_EQ(GetPosX(HeroPos), 10);
      EXPECT_EQ(GetPosY(HeroPos), 22);
      const int slot = FindItemSlot(row.item, 0);
      EXPECT_EQ(slot >= 0 ? CarriedItems[slot].count : 0, row.left) << "carried after the fight";
      const auto said = std::find_if(g_words.begin(), g_words.end(), [&](const std::string& line) {
        return line.find(row.said) != std::string::npos;
      });
      if (said == g_words.end()) {
        ADD_FAILURE() << "choosing it said nothing";
        continue;
      }
      // The command menu again, under the hero's strength, when the monster
      // had no turn.
      ASSERT_TRUE(said + 1 != g_words.end());
      EXPECT_EQ(said[1].find("HP $HP") == std::string::npos, row.turn) << "after the item: " << said[1];
    }
  }
}

// A fight met on a chest's step and fought with Enter; the chest's box, once
// it has waited half a second, is kept with the fight's last frame before it,
// and the window is closed.
struct ChestStep {
  bool met = false, matched = false, arrived = false;  // matched: the warp's; arrived: the warp's, the other boxes'
  uint64_t last_press_us = 0, box_from = 0;
  std::vector<uint32_t> fight, box;
};
ChestStep* g_chest = nullptr;

// The step onto the chest meets a slime; no later step meets anything.
int MeetOnce(StrList**, StrList** stack) {
  const bool first = !g_chest->met;
  g_chest->met = true;
  return MacroPushInt(stack, first ? 2001 : 0);
}

// While the fight lasts: Enter every half second, its last frame kept.
bool Fighting(ChestStep& w, uint64_t now) {
  if (GetVarInt("INBATTLE") != 1) return false;
  host::HeadlessHost* host = host::headless();
  w.fight = host->last_frame()->pixels;
  if (now - w.last_press_us >= 500000) {
    host->key_press(host->frames_presented(), key::Return);
    w.last_press_us = now;
  }
  return true;
}

void PlayTheChestStep(uint64_t now) {
  host::HeadlessHost* host = host::headless();
  const host::Frame* f = host->last_frame();
  if (!g_chest || !f) return;
  ChestStep& w = *g_chest;
  if (Fighting(w, now)) return;
  if (!w.met || FindItemSlot(1052, 0) < 0 || !w.box.empty()) return;  // the axe
  if (!w.box_from) w.box_from = host->frames_presented();
  if (host->frames_presented() < w.box_from + 30) return;
  w.box = f->pixels;
  host->close(host->frames_presented());
}

// The same fight on a warp's step, until the warp has carried the hero off
// the floor and its event has ended.
void PlayTheWarpStep(uint64_t now) {
  host::HeadlessHost* host = host::headless();
  if (!g_chest || !host->last_frame()) return;
  ChestStep& w = *g_chest;
  if (Fighting(w, now)) return;
  // Closed back in the walk, where no script holds values.
  if (w.arrived && GetPosFloor(HeroPos) != 1) host->close(host->frames_presented());
}

// The arrival event's choice of monsters, which ends the step's events.
int ArriveThere(StrList**, StrList** stack) {
  g_chest->arrived = true;
  return MacroPushInt(stack, 0);
}

// The built-in another cell event's box waits in, as the game has it; the box
// is up once the event waits in it after the fight.
ScriptHandler g_box_wait = nullptr;
int WaitOnTheBox(StrList** args, StrList** stack) {
  if (g_chest->met && GetVarInt("INBATTLE") == 0 && !g_chest->box_from)
    g_chest->box_from = host::headless()->frames_presented();
  return g_box_wait(args, stack);
}


// The same fight before another box, with Enter also for the words before a
// fight of the event's own (the guardian's). The box, once its event has
// waited in it half a second, is kept and put away with Escape; the window is
// closed once the step's events are over, back in the walk.
void PlayTheBoxStep(uint64_t now) {
  host::HeadlessHost* host = host::headless();
  const host::Frame* f = host->last_frame();
  if (!g_chest || !f) return;
  ChestStep& w = *g_chest;
  if (Fighting(w, now)) return;
  if (!w.box_from) {
    if (w.met && now - w.last_press_us >= 500000) {
      host->key_press(host->frames_presented(), key::Return);
      w.last_press_us = now;
    }
    return;
  }
  if (w.box.empty()) {
    if (host->frames_presented() < w.box_from + 30) return;
    w.box = f->pixels;
    host->key_press(host->frames_presented(), key::Escape);
    return;
  }
  if (w.arrived) host->close(host->frames_presented());
}

// The top of the screen, above where a fight's window may stand.
std::vector<uint32_t> ScreenTop() {
  std::vector<uint32_t> top;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 640; ++x) top.push_back(testcommon::SurfacePixel(dxbackbuffer, x, y));
  return top;
}

// The warp's mosaic, which first notes whether what it breaks up is the
// dungeon's view, drawn again at that very moment (but for the warp's own
// swirl, which turns at every drawing: a few thousand pixels).
int MosaicOverTheView(StrList** args, StrList** stack) {
  const std::vector<uint32_t> before = ScreenTop();
  Draw3D(HeroPos, 0);
  g_chest->box = ScreenTop();
  size_t differ = 0;
  for (size_t i = 0; i < before.size(); ++i) differ += before[i] != g_chest->box[i];
  g_chest->matched = differ < before.size() / 20;
  MacroArgReader arg(args);
  int32_t x = 0, y = 0, w = 0, h = 0, block = 8;
  arg.Int(x), arg.Int(y), arg.Int(w), arg.Int(h), arg.Int(block);
  dxmosaic(x, y, w, h, block);
  return MacroPushInt(stack, 0);
}

class DemoChest : public DemoPlay {
 protected:
  void TearDown() override {
    host::remove_clock_listener(PlayTheChestStep);
    host::remove_clock_listener(PlayTheWarpStep);
    host::remove_clock_listener(PlayTheBoxStep);
    g_chest = nullptr;
    g_box_wait = nullptr;
    DemoPlay::TearDown();
  }
  // A new game with the hero on (x, y) of floor n, where the first step meets
  // a slime.
  void NewGameOn(int n, int x, int y) {
    Keys({key::Return, key::Return, key::Return});  // the new game
    NewGame();
    Eval("pos(" + std::to_string(n) + ", " + std::to_string(x) + ", " + std::to_string(y) + ", 0)");
    SetVarInt("SAFE_STEPS", 0);
    g_chest = &chest_;
    ScriptRegisterFunction(&MacroList, "enemy_rnd", MeetOnce, nullptr);  // the fixture clears the registry
  }
  // The view the walk draws where the hero stands; its first look loads its
  // pictures. `still`, when asked for, marks the pixels that stay as they are
  // while a torch's flame steps through its seven pictures, a step a look.
  std::vector<uint32_t> ViewHere(std::vector<bool>* still = nullptr) {
    InitMap2DSurface();
    Draw3D(HeroPos, 0);
    Draw3D(HeroPos, 0);
    dxupdate();
    std::vector<uint32_t> view = host_.last_frame()->pixels;
    if (still) {
      still->assign(view.size(), true);
      for (int look = 0; look < 7; ++look) {
        Draw3D(HeroPos, 0);
        dxupdate();
        const std::vector<uint32_t>& again = host_.last_frame()->pixels;
        for (size_t i = 0; i < view.size(); ++i) (*still)[i] = (*still)[i] && again[i] == view[i];
      }
    }
    return view;
  }
  // The walk from there, until the listener closes the window: the exit code.
  static int Walk(void (*listener)(uint64_t)) {
    host::add_clock_listener(listener);
    int code = -1;
    try {
      ExploreMainLoop();
    } catch (const host::ProcessExit& e) {
      code = e.code;
    }
    host::remove_clock_listener(listener);
    return code;
  }
  // How many pixels above row `rows` (of those `still` marks, when given) a
  // frame shares with the view.
  static size_t AsView(const std::vector<uint32_t>& frame, const std::vector<uint32_t>& view, int rows,
                       const std::vector<bool>* still = nullptr) {
    size_t alike = 0;
    for (size_t i = 0; i < 640u * rows && i < frame.size() && i < view.size(); ++i)
      alike += frame[i] == view[i] && (!still || (*still)[i]);
    return alike;
  }
  ChestStep chest_;
};

// The fight leaves its monster on the screen; the chest's box, opened on the
// same step, stands over the dungeon as it is drawn there.
TEST_P(DemoChest, AChestAfterAFightOnItsStepOpensOverTheDungeon) {
  ASSERT_TRUE(Start()) << BoxTexts();
  NewGameOn(0, 10, 22);  // on the axe's chest
  ASSERT_EQ(GetPosX(HeroPos), 10);
  ASSERT_EQ(GetPosY(HeroPos), 22);
  const std::vector<uint32_t> view = ViewHere();
  EXPECT_EQ(Walk(PlayTheChestStep), 0);
  EXPECT_EQ(BoxTexts(), "");
  ASSERT_TRUE(chest_.met);
  ASSERT_EQ(chest_.box.size(), view.size());
  ASSERT_EQ(chest_.fight.size(), view.size());
  // Above the box (it starts at row 300) the screen is the dungeon's view,
  // where the fight's last frame showed its own picture.
  const size_t above = 640 * 300;
  ASSERT_LT(AsView(chest_.fight, view, 300), above / 2);
  EXPECT_EQ(AsView(chest_.box, view, 300), above);
}

// The other boxes a cell event opens: where, the built-in the box waits in,
// its top row, and what makes the event open it.
struct BoxStep {
  const char* what;
  int n, x, y, event;
  const char* waits;
  int top;
  const char* before;
  // The storm: it comes at one step in four, here at this one, and the
  // desert's shimmer, which moves with the clock, is left out of the view.
  bool storm;
};
const BoxStep kBoxSteps[] = {
    {"notice stone", 0, 14, 14, 103, "mes_key", 280, "", false},
    {"stairs up", 0, 22, 2, 100, "yesno", 200, "", false},
    {"stairs down", 1, 22, 2, 101, "yesno", 200, "", false},
    {"spirit", 1, 6, 21, 116, "mes_key", 300, "", false},
    {"crumbling floor", 1, 5, 4, 113, "key", 200, "", false},
    {"sand storm", 2, 1, 15, 114, "key", 200, "", true},
    {"spring", 0, 8, 7, 115, "key", 200, "hero_poison(1)", false},
    {"altar notice", 2, 13, 23, 111, "key", 200, "", false},
    {"guardian notice", 2, 13, 22, 110, "key", 200, "hero_str(250); hero_hp_max(500); hero_hp(500)", false},  // wins
};

// Each of them, like the chest's, stands over the dungeon drawn again after
// the fight on its step (the guardian's: after the guardian's own fight).
TEST_P(DemoChest, EveryOtherBoxAfterAFightOnItsStepOpensOverTheDungeon) {
  for (const BoxStep& c : kBoxSteps) {
    SCOPED_TRACE(c.what);
    // The walk before ended with the window.
    ASSERT_TRUE(&c == kBoxSteps ? Start() : Restart()) << BoxTexts();
    chest_ = {};
    NewGameOn(c.n, c.x, c.y);
    ASSERT_EQ(ScanEvent(HeroPos), c.event);
    if (*c.before) Eval(c.before);
    g_box_wait = demoplay::BuiltIn(c.waits);
    ASSERT_TRUE(g_box_wait);
    ScriptRegisterFunction(&MacroList, c.waits, WaitOnTheBox, nullptr);
    ScriptRegisterFunction(&MacroList, "enemy_group", ArriveThere, nullptr);
    if (c.storm) {
      ASSERT_TRUE(demoplay::RollsComeUpZero());
      DungeonMap[c.n].cells[c.x][c.y].w[CELL_DESERT] = 0;
    }
    std::vector<bool> still;
    const std::vector<uint32_t> view = ViewHere(&still);
    EXPECT_EQ(Walk(PlayTheBoxStep), 0);
    EXPECT_EQ(BoxTexts(), "");
    ASSERT_FALSE(chest_.fight.empty()) << "no fight";
    ASSERT_FALSE(chest_.box.empty()) << "no box";
    // Above the box, all but the flames is the dungeon's view, where the
    // fight's last frame showed its own picture.
    const size_t above = 640u * c.top, unmoved = AsView(view, view, c.top, &still);
    ASSERT_GT(unmoved, above * 3 / 4);
    EXPECT_LT(AsView(chest_.fight, view, c.top, &still), unmoved / 2);
    EXPECT_EQ(AsView(chest_.box, view, c.top, &still), unmoved);
  }
}

// A warp met on the step of a fight breaks up the dungeon, not the monster.
TEST_P(DemoChest, AWarpAfterAFightOnItsStepBreaksUpTheDungeon) {
  ASSERT_TRUE(Start()) << BoxTexts();
  int wx = -1, wy = -1;
  for (int x = 0; x < kMapSize && wx < 0; ++x)
    for (int y = 0; y < kMapSize && wx < 0; ++y)
      if (DungeonMap[1].cells[x][y].w[CELL_EVNT] == 104) wx = x, wy = y;
  ASSERT_GE(wx, 0) << "no warp on the second floor";
  NewGameOn(1, wx, wy);
  ScriptRegisterFunction(&MacroList, "mosaic", MosaicOverTheView, nullptr);
  ScriptRegisterFunction(&MacroList, "enemy_group", ArriveThere, nullptr);
  EXPECT_EQ(Walk(PlayTheWarpStep), 0);
  EXPECT_EQ(BoxTexts(), "");
  ASSERT_TRUE(chest_.met);
  EXPECT_NE(GetPosFloor(HeroPos), 1) << "the warp did not carry the hero";
  ASSERT_FALSE(chest_.box.empty()) << "no mosaic";
  EXPECT_TRUE(chest_.matched) << "the mosaic broke up something other than the dungeon";
}

TEST_P(DemoPlay, TheBelongingsOpenOnTheFirstItem) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Keys({key::Return, key::Return, key::Return,  // the new game
        key::Return,                            // camp: the belongings
        key::Return,                            // the first item, the herbs
        key::Return,                            // the herb's words
        key::Escape});                          // close the camp menu
  NewGame();
  GameStateBlock.hp = 7;
  ASSERT_NO_THROW(eventExec(10));
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(GameStateBlock.carried[0].count, 2);
  EXPECT_EQ(GameStateBlock.hp, 37);
}

// The frame on the screen a few frames before `g_list_frame`: the list as it
// opened, before the key that closes it.
uint64_t g_list_frame = 0;
std::vector<uint32_t> g_list_shown;
void KeepTheOpenList(uint64_t) {
  host::HeadlessHost* host = host::headless();
  if (g_list_shown.empty() && host->frames_presented() + 5 >= g_list_frame && host->last_frame())
    g_list_shown = host->last_frame()->pixels;
}

TEST_P(DemoPlay, TheEmptyBelongingsOpenOnStop) {
  ASSERT_TRUE(Start()) << BoxTexts();
  const uint64_t start = host_.frames_presented();
  Keys({key::Return, key::Return, key::Return,  // the new game
        key::Return,                            // camp: the belongings
        key::Return,                            // the list's only entry, stop
        key::Escape});                          // close the camp menu
  g_list_frame = start + 5 * 60;
  g_list_shown.clear();
  host::add_clock_listener(KeepTheOpenList);
  struct Off {
    ~Off() {
      host::remove_clock_listener(KeepTheOpenList);
      std::vector<uint32_t>().swap(g_list_shown);
    }
  } off;
  NewGame();
  for (ItemSlot& slot : GameStateBlock.carried) slot = ItemSlot{};
  ASSERT_NO_THROW(eventExec(10));
  EXPECT_EQ(BoxTexts(), "");
  ASSERT_EQ(g_list_shown.size(), 640u * 480u);
  // The stop row (the list stands at 320, 16; its first row at 35 to 65) has
  // the chosen row's half red fill, where another row's faint blue one
  // leaves the window's pale blue.
  const int x = 320 + EquipListLayout.width - 12;
  for (int y : {37, 50, 64}) {
    const uint32_t px = g_list_shown[y * 640 + x];
    EXPECT_GT(px >> 16 & 255, (px & 255) + 64) << "at " << x << ", " << y;
  }
}

TEST_P(DemoPlay, TheOpeningLeadsToTheTitleAndANewGameShopsInTheVillage) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Keys({key::Return,                            // ends the opening show
        key::Return,                            // title: new game
        key::Return, key::Return, key::Return,  // the prologue, the name, the last wait
        key::Up, key::Up, key::Up, key::Up, key::Up,  // north up the hall to the shop's door
        key::Left, key::Up,                     // west into the shop
        key::Return,                            // buy
        key::Return,                            // the first ware: herbs
        key::Escape,                            // done buying
        key::Escape,                            // out of the shop
        key::Escape, key::Down, key::Return, key::Left, key::Return});  // back to the title
  ASSERT_NO_THROW(TitlePass());
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(GetVarInt("OPENING_SEEN"), 1);
  EXPECT_EQ(HeroPos.X, 10);
  EXPECT_EQ(HeroPos.Y, 17);
  EXPECT_EQ(GameStateBlock.gold, 50);
  EXPECT_EQ(ItemTable[GameStateBlock.carried[0].item].number, 1061);
  EXPECT_EQ(GameStateBlock.carried[0].count, 4);
  EXPECT_EQ(GetVarInt("RET") & 0x20000, 0x20000);
}

TEST_P(DemoPlay, TheInnRestoresForItsPriceAndTheShrineOpensTheCatalogue) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Keys({key::Return, key::Return, key::Return,  // the new game
        key::Return,                            // the inn: stay
        key::Return,                            // the night's notice
        key::Escape,                            // no record
        key::Return,                            // the shrine's words
        key::Escape});                          // out of the catalogue
  NewGame();
  GameStateBlock.hp = 7;
  ASSERT_NO_THROW(eventExec(107));
  EXPECT_EQ(GameStateBlock.gold, 50);
  EXPECT_EQ(GameStateBlock.hp, 45);  // 40 and the coat's 5
  ASSERT_NO_THROW(eventExec(112));
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_TRUE(LastFrameLit());
}

TEST_P(DemoPlay, AWarpFadesThroughTheLoadingPictureIntoTheFogMaze) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Keys({key::Return, key::Return, key::Return});
  NewGame();
  SetVarInt("PARAM", 1 * 10000 + 3 * 100 + 14);
  const uint64_t before = host_.frames_presented();
  ASSERT_NO_THROW(eventExec(104));
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_GT(host_.frames_presented(), before + 2);
  EXPECT_EQ(HeroPos.N, 1);
  EXPECT_EQ(HeroPos.X, 3);
  EXPECT_EQ(HeroPos.Y, 14);
  EXPECT_TRUE(LastFrameLit());  // faded back in, not left on black
}

TEST_P(DemoEnding, TheSpiritsShardLightsTheLighthouseAndTheParadeEndsTheGame) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Watch("ending_demo");
  std::vector<int> keys = {key::Return, key::Return, key::Return,  // the new game
                           key::Return,                          // the shop: buy
                           key::Down, key::Down, key::Down,      // the lamp
                           key::Return, key::Escape, key::Escape,
                           key::Up, key::Return,                 // equip: the place for the lamp
                           key::Return, key::Escape,             // the list opens on the lamp
                           key::Return, key::Return,             // the spirit's two waits
                           key::Return, key::Return};            // the altar's two waits
  keys.insert(keys.end(), 20, key::Return);                     // through the parade and the closing pictures
  Keys(keys);
  NewGame();
  GameStateBlock.gold = 200;  // as if earned on the way
  SetVarInt("PARAM", 1);
  ASSERT_NO_THROW(eventExec(105));
  EXPECT_EQ(GameStateBlock.gold, 100);
  // The spirit shows itself only to a lamp that is worn.
  ASSERT_NO_THROW(eventExec(303));
  EXPECT_EQ(FindItemSlot(1051, 1), kSelEquip + 6);
  ASSERT_NO_THROW(eventExec(116));
  EXPECT_EQ(StoryFlags[5], 1);
  EXPECT_EQ(StoryFlags[1], 1);
  bool shard = false;
  for (const ItemSlot& slot : GameStateBlock.carried)
    if (slot.count > 0 && ItemTable[slot.item].number == 1064) shard = true;
  EXPECT_TRUE(shard);
  StoryFlags[2] = 1;  // the guardian is beaten
  ASSERT_NO_THROW(eventExec(111));
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(StoryFlags[9], 1);
  EXPECT_EQ(GetVarInt("RET"), 0x20000);
  ExpectCleanEnding();
}

TEST_P(DemoEnding, WithoutTheShardTheSmallLightEndsWithTheCredits) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Watch("ending_demo2");
  std::vector<int> keys = {key::Return, key::Return, key::Return,  // the new game
                           key::Return, key::Return};            // the altar's two waits
  keys.insert(keys.end(), 20, key::Return);                     // through the roll and the closing pictures
  Keys(keys);
  NewGame();
  StoryFlags[2] = 1;
  ASSERT_NO_THROW(eventExec(111));
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(StoryFlags[5], 0);
  EXPECT_EQ(StoryFlags[9], 1);
  EXPECT_EQ(GetVarInt("RET"), 0x20000);
  ExpectCleanEnding();
}

// A second Enter on the closing pictures, while the first still closes its
// picture, is not a choice of the title that follows.
TEST_P(DemoEnding, TheTitleAfterTheEndingWaitsForAKeyOfItsOwn) {
  ASSERT_TRUE(Start()) << BoxTexts();
  SetVarInt("OPENING_SEEN", 1);
  std::snprintf(BaseDir, sizeof BaseDir, "%s", dir_.path().c_str());
  // A record beside the altar, the guardian beaten, facing it.
  Keys({key::Return, key::Return, key::Return});  // the new game
  NewGame();
  ASSERT_EQ(Eval("setflag(2, 1); pos(2, 13, 22, 0); save(\"save1.jpg\")"), "0");
  dx::bitmap* title = LoadPngBitmap("data/system/title.png");
  ASSERT_NE(title, nullptr);
  dxcls(0);
  dxblt(title, 0, 0);
  dxdeletebitmap(title);
  dxupdate();
  watch_.title = host_.last_frame()->pixels;
  Watch("ending_demo2");
  watch_.press_on_pictures = true;
  Keys({key::Down, key::Return, key::Return,  // title: continue, record 1
        key::Up,                              // onto the altar
        key::Return, key::Return});           // the altar's two waits
  ASSERT_NO_THROW(TitlePass());
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(StoryFlags[9], 1);
  EXPECT_EQ(watch_.presses, 2);
  ExpectCleanEnding();
  // The next pass shows the title, which waits for keys of its own: they end
  // the game from its menu.
  int code = -1;
  try {
    TitlePass();
  } catch (const host::ProcessExit& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 0);
  EXPECT_EQ(StoryFlags[9], 1) << "a new game was started";
  EXPECT_TRUE(watch_.title_shown);
}

// The ending uses up the key that closed its last picture: still held when
// the ending is over, it is not a choice of the menu that comes next.
TEST_P(DemoEnding, AKeyStillHeldOnTheLastPictureIsUsedUpThere) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Keys({key::Return, key::Return, key::Return});  // the new game
  NewGame();
  Watch("ending_demo2");
  watch_.hold_on_last = true;
  Keys({key::Return, key::Return});  // the altar's two waits
  StoryFlags[2] = 1;
  ASSERT_NO_THROW(eventExec(111));
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(watch_.presses, 2);
  ExpectCleanEnding();
  ASSERT_LT(host_.frames_presented(), watch_.release_frame) << "Enter is no longer held";
  Keys({key::Escape});
  EXPECT_EQ(Eval("selecth(256, 260, 0, 1, \"a\", \"b\")"), "-1") << "the held Enter chose";
}

// Enter still held after the pause menu's yes, through the fade, is not a
// choice of the title that follows.
TEST_P(DemoPlay, TheTitleAfterLeavingTheDungeonWaitsForAKeyOfItsOwn) {
  ASSERT_TRUE(Start()) << BoxTexts();
  SetVarInt("OPENING_SEEN", 1);
  const uint64_t start = host_.frames_presented();
  Keys({key::Return, key::Return, key::Return, key::Return,  // title and new game
        key::Escape, key::Down, key::Return,                 // the pause menu: back to the title
        key::Left});                                         // to yes
  const uint64_t yes = start + 9 * 60, release = yes + 120;
  host_.key_down(yes, key::Return);
  host_.key_up(release, key::Return);
  ASSERT_NO_THROW(TitlePass());
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(GetVarInt("RET") & 0x20000, 0x20000);
  ASSERT_LT(host_.frames_presented(), release) << "Enter is no longer held";
  Keys({key::Down, key::Down, key::Down, key::Return});  // the title's last entry: the end
  ASSERT_NO_THROW(eventExec(4));
  EXPECT_EQ(GetVarInt("RET"), 3) << "the held Enter chose";
}

TEST_P(DemoPlay, TheWalkAlongTheSouthCorridorReachesTheInn) {
  ASSERT_TRUE(Start()) << BoxTexts();
  SetVarInt("OPENING_SEEN", 1);
  Keys({key::Return, key::Return, key::Return, key::Return,  // title and new game
        key::Up,                                             // north, into the south corridor
        key::Right, key::Up, key::Up, key::Up, key::Up,      // east along it
        key::Left, key::Up,                                  // north round the notice stone
        key::Right, key::Up, key::Up, key::Up, key::Up,      // east to the inn's passage
        key::Left, key::Up, key::Up,                         // north into the inn
        key::Return, key::Return,                            // stay, and the night's notice
        key::Escape,                                         // no record
        key::Escape, key::Down, key::Return, key::Left, key::Return});  // back to the title
  ASSERT_NO_THROW(TitlePass());
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(HeroPos.X, 19);
  EXPECT_EQ(HeroPos.Y, 16);
  EXPECT_EQ(GameStateBlock.gold, 50);
  EXPECT_EQ(GetVarInt("RET") & 0x20000, 0x20000);
}

// The settings as the settings screen keeps them, and the game started again
// as a new program would start: only the files on disk are left.
uint64_t g_turned_at = 0;  // the frame the hero stood turned east
void WatchTurn(uint64_t) {
  if (!g_turned_at && HeroPos.T == 90) g_turned_at = host::headless()->frames_presented();
}

class DemoSettings : public DemoPlay {
 protected:
  void TearDown() override {
    host::remove_clock_listener(WatchTurn);
    g_turned_at = 0;
    SetupRecord = {};
    DemoPlay::TearDown();
  }
};

TEST_P(DemoSettings, EverySettingIsInForceAfterARestart) {
  ASSERT_TRUE(Start()) << BoxTexts();
  SetVarInt("OPENING_SEEN", 1);
  Keys({key::Down, key::Down, key::Return,  // title: settings
        key::Return,                        // no movement animation
        key::Down, key::Return,             // pictures in video memory
        key::Down, key::Return,             // full screen
        key::Down, key::Return});           // save and go back
  ASSERT_NO_THROW(TitlePass());
  ASSERT_TRUE(Restart()) << BoxTexts();
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_EQ(SetupRecord.move_motion, 1);
  EXPECT_EQ(SetupRecord.video_mode, 1);
  EXPECT_EQ(SetupRecord.full_screen, 1);
  EXPECT_TRUE(dxvram);
  EXPECT_TRUE(dxfullscreen);
  // A turn in the dungeon is drawn at once, with no frames of its motion.
  SetVarInt("OPENING_SEEN", 1);
  const uint64_t turn = host_.frames_presented() + 60 * 5;
  Keys({key::Return, key::Return, key::Return, key::Return,  // title and new game
        key::Right,                                          // turn east
        key::Escape, key::Down, key::Return, key::Left, key::Return});  // back to the title
  host::add_clock_listener(WatchTurn);
  ASSERT_NO_THROW(TitlePass());
  ASSERT_NE(g_turned_at, 0u);
  EXPECT_LT(g_turned_at, turn + 5);
}

INSTANTIATE_TEST_SUITE_P(Depths, DemoSettings, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

INSTANTIATE_TEST_SUITE_P(Depths, DemoPlay, ::testing::Values(16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });
// One depth is enough: the other play tests cover the rest.
INSTANTIATE_TEST_SUITE_P(Depth16, DemoChest, ::testing::Values(16));
INSTANTIATE_TEST_SUITE_P(Depths, DemoEnding, ::testing::Values(16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

// The dungeon's first views, turned to every side, drawn by the fast spans and
// by the plain per-pixel reference: the whole screen alike at both depths the
// game runs at.
class DemoView : public DemoPlay {
 protected:
  static std::vector<uint8_t> Screen() {
    platform::PixelBuffer pb = dxbackbuffer->pixels();
    std::vector<uint8_t> out;
    const size_t row = static_cast<size_t>(pb.width) * (pb.format.bpp / 8);
    for (int y = 0; y < pb.height; ++y) out.insert(out.end(), pb.bits + y * pb.pitch, pb.bits + y * pb.pitch + row);
    return out;
  }
};

TEST_P(DemoView, EveryPixelAsTheReferenceRasteriserDrawsIt) {
  ASSERT_TRUE(Start()) << BoxTexts();
  ASSERT_EQ(dxscreendepth, GetParam());
  Keys({key::Return, key::Return, key::Return});  // the new game's waits and its name
  NewGame();
  InitMap2DSurface();  // the render state the walk starts from
  // Torches step a picture at each draw: both draws of a view start from the
  // same map and fog phase.
  std::vector<MapFloor> map(std::begin(DungeonMap), std::end(DungeonMap));
  for (int step = 0; step < 8; ++step) {
    ViewPos pos = HeroPos;
    pos.T = 45.0 * step + 10;
    if (step >= 4) pos.Y -= 1;  // a cell further north
    Draw3D(pos, 0);  // the first look at a side loads its pictures
    std::copy(map.begin(), map.end(), DungeonMap);
    FogPhase = 0;
    soft3d::UseReferenceSpans(true);
    Draw3D(pos, 0);
    const std::vector<uint8_t> want = Screen();
    std::copy(map.begin(), map.end(), DungeonMap);
    FogPhase = 0;
    soft3d::UseReferenceSpans(false);
    Draw3D(pos, 0);
    const std::vector<uint8_t> got = Screen();
    ASSERT_EQ(got.size(), want.size());
    size_t differ = 0, lit = 0;
    for (size_t i = 0; i < got.size(); ++i) differ += got[i] != want[i], lit += want[i] > 1;
    EXPECT_EQ(differ, 0u) << "heading " << pos.T << " at " << pos.X << ", " << pos.Y;
    EXPECT_GT(lit, got.size() / 4) << "heading " << pos.T << " at " << pos.X << ", " << pos.Y;
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, DemoView, ::testing::Values(32, 16));

}  // namespace
