// Journeys that follow one another in one run of the demo, as a player meets
// them: a new game or an older record after the rune wall was dissolved in
// another, records loaded while poisoned or on sand, a record made over one
// that holds a journey, the camp's screen kept for its question or search
// and gone once the camp is left, and the village statue in the player's way.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/explore.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "game/macro/macro.h"
#include "game/macro/macro_mes.h"
#include "game/main.h"
#include "game/map.h"
#include "game/position.h"
#include "game/savefile.h"
#include "script/script.h"
#include "tests/data/demo_play.h"

namespace {

namespace key = host::key;
using demoplay::DemoPlay;

// The game's own yes/no box, counted as it is opened.
ScriptHandler g_yesno = nullptr;
int g_questions = 0;
int CountQuestion(StrList** args, StrList** stack) {
  ++g_questions;
  return g_yesno(args, stack);
}

// The screen around the question: the last frame presented before it was
// asked, the frame that showed it answered, and the first frame that showed
// the notice after it while the notice waited for its key.
const host::HeadlessHost* g_screen = nullptr;
ScriptHandler g_key = nullptr;
std::vector<uint32_t> g_before_question, g_question, g_notice;
std::vector<uint32_t> LastFrame() {
  const host::Frame* f = g_screen->last_frame();
  return f ? f->pixels : std::vector<uint32_t>{};
}
int SeeQuestion(StrList** args, StrList** stack) {
  g_before_question = LastFrame();
  const int result = g_yesno(args, stack);
  g_question = LastFrame();
  return result;
}
int SeeNotice(StrList** args, StrList** stack) {
  if (!g_question.empty() && g_notice.empty()) g_notice = LastFrame();
  return g_key(args, stack);
}

// The first message scene watched: its screen as its window opens, and the
// frame that showed its words waiting for their key, with the window's place.
bool g_watch_scene = false;
ScriptHandler g_mes_open = nullptr, g_mes_key = nullptr;
std::vector<uint32_t> g_scene, g_words;
MesWindowState g_words_window{};
int SeeSceneOpen(StrList** args, StrList** stack) {
  if (g_watch_scene && g_scene.empty()) {
    dxupdate();
    g_scene = LastFrame();
  }
  return g_mes_open(args, stack);
}
int SeeWords(StrList** args, StrList** stack) {
  const int result = g_mes_key(args, stack);
  if (g_watch_scene && g_words.empty()) {
    g_words = LastFrame();
    g_words_window = MesWindow;
  }
  return result;
}

std::vector<char> Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The rune wall's picture and push event on both of its sides: the north face
// of (16, 13) and the south face of (16, 14) on the third floor.
std::array<int32_t, 4> RuneWall() {
  const MapCell& south = DungeonMap[2].cells[16][13];
  const MapCell& north = DungeonMap[2].cells[16][14];
  return {south.face(FACE_NORTH, FACE_TEXTURE), south.face(FACE_NORTH, FACE_PEVE),
          north.face(FACE_SOUTH, FACE_TEXTURE), north.face(FACE_SOUTH, FACE_PEVE)};
}

const std::vector<int> kNewGame = {key::Return,                             // title: new game
                                   key::Return, key::Return, key::Return};  // the prologue, the name, the last wait
const std::vector<int> kLeave = {key::Escape, key::Down, key::Return, key::Left, key::Return};  // back to the title

// Title: continue, from the record of that number (the list opens on the first).
std::vector<int> LoadKeys(int record) {
  std::vector<int> keys = {key::Down, key::Return};
  keys.insert(keys.end(), record - 1, key::Down);
  keys.push_back(key::Return);
  return keys;
}

std::vector<int> Then(std::vector<int> keys, const std::vector<int>& more) {
  keys.insert(keys.end(), more.begin(), more.end());
  return keys;
}

class DemoJourney : public DemoPlay {
 protected:
  void SetUp() override {
    DemoPlay::SetUp();
    std::snprintf(BaseDir, sizeof BaseDir, "%s", dir_.path().c_str());
  }
  void TearDown() override {
    g_yesno = g_key = nullptr;
    g_screen = nullptr;
    g_watch_scene = false;
    g_mes_open = g_mes_key = nullptr;
    g_scene.clear();
    g_words.clear();
    g_before_question.clear();
    g_question.clear();
    g_notice.clear();
    g_questions = 0;
    DemoPlay::TearDown();
  }
  // Started, at the title, with the opening already seen.
  void StartAtTheTitle() {
    ASSERT_TRUE(Start()) << BoxTexts();
    SetVarInt("OPENING_SEEN", 1);
  }
  // Keys from now on: those left from before go, and with them the release
  // of the last key taken, which is let go here.
  void KeysAfresh(const std::vector<int>& keys) {
    host_.clear_script();
    for (int k : {key::Return, key::Escape, key::Up, key::Down, key::Left, key::Right})
      host_.key_up(host_.frames_presented(), k);
    Keys(keys);
  }
  // One pass of the title with these keys.
  void Pass(const std::vector<int>& keys) {
    KeysAfresh(keys);
    ASSERT_NO_THROW(TitlePass());
    EXPECT_EQ(BoxTexts(), "");
  }
  // A new game started as the title starts it, the keys it waits for given.
  void NewGameHere() {
    KeysAfresh({key::Return, key::Return, key::Return});
    NewGame();
  }
  bool LeftByTheMenu() const { return (GetVarInt("RET") & 0x20000) != 0; }
};

// The wall dissolved in one journey stands again in the next new game and in
// a record made before it was dissolved, and is gone in a record made after;
// each is entered from a journey where the wall was the other way.
TEST_P(DemoJourney, TheRuneWallStandsInEveryJourneyThatHasNotDissolvedIt) {
  ASSERT_NO_FATAL_FAILURE(StartAtTheTitle());
  const std::array<int32_t, 4> standing = RuneWall(), gone = {0, 0, 0, 0};
  ASSERT_NE(standing, gone);
  // Before the wall, the lamp and the sand cloth worn: record 1.
  NewGameHere();
  Eval("item_set(1051, 1); item_push(106, 1); item_set(1054, 1); item_push(104, 1); pos(2, 16, 13, 0)");
  ASSERT_GE(FindItemSlot(1051, 1), 0);
  ASSERT_GE(FindItemSlot(1054, 1), 0);
  ASSERT_EQ(Eval("save(\"save1.jpg\")"), "0");
  // That record played: the wall pushed, dissolved by the lamp's light and
  // passed; the journey recorded beyond it in record 2.
  Pass(Then(LoadKeys(1), {key::Up, key::Return,                        // push it, the notice
                          key::Return,                                 // the camp menu
                          key::Down, key::Down, key::Down, key::Down, key::Down, key::Down,
                          key::Return,                                 // record the journey
                          key::Down, key::Return, key::Return,         // in record 2, the notice
                          key::Escape,                                 // close the camp menu
                          key::Escape, key::Down, key::Return, key::Left, key::Return}));  // back to the title
  ASSERT_EQ(StoryFlags[4], 1);
  ASSERT_EQ(GetPosY(HeroPos), 14) << "the wall was not passed";
  ASSERT_TRUE(std::filesystem::exists(dir_.path() / "save2.jpg"));
  struct Row {
    const char* what;
    std::vector<int> keys;
    bool stands;
  };
  const Row rows[] = {
      {"a new game", kNewGame, true},
      {"the record made after", LoadKeys(2), false},
      {"the record made before", LoadKeys(1), true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    // Entered from a journey that has the wall the other way.
    ASSERT_EQ(RuneWall(), row.stands ? gone : standing);
    Pass(Then(row.keys, kLeave));
    EXPECT_TRUE(LeftByTheMenu());
    EXPECT_EQ(StoryFlags[4], row.stands ? 0 : 1);
    EXPECT_EQ(RuneWall(), row.stands ? standing : gone);
  }
}

// Loading a record takes nothing from the hero, whatever the step onto its
// cell would take; the next step takes it as always, and so does a step back
// onto that cell.
TEST_P(DemoJourney, LoadingARecordCostsNoHitPoints) {
  ASSERT_NO_FATAL_FAILURE(StartAtTheTitle());
  ASSERT_TRUE(demoplay::RollsComeUpZero());
  struct Row {
    const char* what;
    int n, x, y, hp, poison;
    int after_step;               // the hit points after one step north
    std::vector<int> after_keys;  // what the step leads to
    int off_and_back;             // after a step north and one south again (-1: not tried)
    std::vector<int> back_keys;
  };
  const std::vector<int> kStorm = {key::Return};  // the storm's notice
  const Row rows[] = {
      {"poisoned at 30", 0, 11, 12, 30, 1, 29, kLeave, 28, Then({key::Up, key::Down}, kLeave)},
      {"poisoned at 1", 0, 11, 12, 1, 1, 0, {key::Return}, -1, {}},                // the fall's words
      {"on sand at 2", 2, 1, 15, 2, 0, 0, {key::Return, key::Return}, -1, {}},     // the storm's notice, the fall's words
      {"on sand at 10", 2, 1, 15, 10, 0, 8, Then(kStorm, kLeave), 6,
       Then(Then({key::Up}, kStorm), Then(Then({key::Down}, kStorm), kLeave))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    NewGameHere();
    Eval("pos(" + std::to_string(row.n) + ", " + std::to_string(row.x) + ", " + std::to_string(row.y) +
         ", 0); hero_hp(" + std::to_string(row.hp) + "); hero_poison(" + std::to_string(row.poison) + ")");
    ASSERT_EQ(Eval("save(\"save1.jpg\")"), "0");
    // Loaded, and left by the menu at once: the hero lived to open it.
    Pass(Then(LoadKeys(1), kLeave));
    EXPECT_TRUE(LeftByTheMenu()) << "the hero fell on loading";
    EXPECT_EQ(GameStateBlock.hp, row.hp);
    EXPECT_EQ(GameStateBlock.poison, row.poison);
    // Loaded again, and a step taken.
    Pass(Then(LoadKeys(1), Then({key::Up}, row.after_keys)));
    EXPECT_EQ(GetPosY(HeroPos), row.y + 1);
    EXPECT_EQ(GameStateBlock.hp, row.after_step);
    if (row.off_and_back < 0) continue;
    // Loaded again: off the cell and back onto it.
    Pass(Then(LoadKeys(1), row.back_keys));
    EXPECT_TRUE(LeftByTheMenu());
    EXPECT_EQ(GetPosY(HeroPos), row.y);
    EXPECT_EQ(GameStateBlock.hp, row.off_and_back) << "a step back onto the cell of the load was spared";
  }
}

// A record made over one that holds a journey asks first, on no; no keeps
// the old record, yes writes the journey. An empty record is written at
// once. Whatever happens, the journey being played stays as it was.
TEST_P(DemoJourney, ARecordOverAnotherJourneyIsWrittenOnlyWhenTheAnswerIsYes) {
  ASSERT_NO_FATAL_FAILURE(StartAtTheTitle());
  NewGameHere();
  g_yesno = demoplay::BuiltIn("yesno");
  ASSERT_NE(g_yesno, nullptr);
  ScriptRegisterFunction(&MacroList, "yesno", CountQuestion, nullptr);
  const std::filesystem::path record = dir_.path() / "save1.jpg", scratch = dir_.path() / "save_temp.jpg";
  struct Row {
    const char* what;
    bool held;             // the record holds an older journey
    bool scratch_blocked;  // the camp's scratch record cannot be written
    std::vector<int> keys;  // from the list of records on
    bool asked, written;
  };
  const Row rows[] = {
      {"Up for stop stays on record 1, Enter at the question", true, false, {key::Up, key::Return, key::Return},
       true, false},
      {"yes", true, false, {key::Return, key::Left, key::Return, key::Return}, true, true},  // and the notice
      {"an empty record", false, false, {key::Return, key::Return}, false, true},
      {"no scratch record", true, true, {key::Return, key::Return}, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::filesystem::remove(record);
    if (row.held) {
      Eval("hero_gold(111)");
      ASSERT_EQ(Eval("save(\"save1.jpg\")"), "0");
    }
    const std::vector<char> before = Bytes(record);
    if (row.scratch_blocked) {
      std::filesystem::remove(scratch);
      std::filesystem::create_directories(scratch / "in the way");
    }
    Eval("hero_gold(222)");
    const GameState journey = GameStateBlock;
    g_questions = 0;
    KeysAfresh(Then(Then({key::Down, key::Down, key::Down, key::Down, key::Down, key::Down, key::Return}, row.keys),
              {key::Escape}));  // close the camp menu
    ASSERT_NO_THROW(eventExec(10));
    EXPECT_EQ(BoxTexts(), "");
    EXPECT_EQ(g_questions, row.asked ? 1 : 0);
    EXPECT_EQ(std::memcmp(&GameStateBlock, &journey, sizeof journey), 0) << "the journey played changed";
    if (row.written) {
      uint8_t* data = nullptr;
      uint32_t length = 0;
      ASSERT_EQ(ReadSaveFile(record.c_str(), &data, &length), 0);
      EXPECT_TRUE(length == sizeof journey && std::memcmp(data, &journey, sizeof journey) == 0)
          << "the record holds another journey";
      std::free(data);
    } else {
      EXPECT_TRUE(Bytes(record) == before) << "the older record was written over";
    }
    if (row.scratch_blocked) {
      EXPECT_STREQ(GetVarStr("NOTE"), "記録をつけられなかった。");
      std::filesystem::remove_all(scratch);
    }
  }
}

// The notice that the journey was recorded over another stands over the
// screen the question was asked on: nothing of the wider question is left
// around it while it waits for its key.
TEST_P(DemoJourney, TheNoticeAfterTheQuestionLeavesNothingOfIt) {
  ASSERT_NO_FATAL_FAILURE(StartAtTheTitle());
  NewGameHere();
  g_screen = &host_;
  g_yesno = demoplay::BuiltIn("yesno");
  g_key = demoplay::BuiltIn("key");
  ASSERT_TRUE(g_yesno && g_key);
  ScriptRegisterFunction(&MacroList, "yesno", SeeQuestion, nullptr);
  ScriptRegisterFunction(&MacroList, "key", SeeNotice, nullptr);
  ASSERT_EQ(Eval("save(\"save1.jpg\")"), "0");
  KeysAfresh({key::Down, key::Down, key::Down, key::Down, key::Down, key::Down, key::Return,  // record
              key::Return, key::Left, key::Return,  // over record 1: yes
              key::Return,                          // the notice
              key::Escape});                        // close the camp menu
  ASSERT_NO_THROW(eventExec(10));
  EXPECT_EQ(BoxTexts(), "");
  EXPECT_STREQ(GetVarStr("NOTE"), "旅の記録をつけた。");
  ASSERT_FALSE(g_notice.empty()) << "no notice waited for a key after the question";
  ASSERT_EQ(g_before_question.size(), 640u * 480u);
  ASSERT_EQ(g_question.size(), g_before_question.size());
  ASSERT_EQ(g_notice.size(), g_before_question.size());
  // The notice's own window, as notice_box.txt places it.
  const int width = std::max(std::atoi(Eval("txtwidth(NOTE)").c_str()) + 48, 160);
  const int left = 320 - width / 2, top = 200;
  int question = 0, left_over = 0;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const size_t at = static_cast<size_t>(y) * 640 + x;
      if (g_question[at] == g_before_question[at]) continue;
      ++question;
      const bool in_notice = x >= left && x < left + width && y >= top && y < top + 76;
      if (!in_notice && g_notice[at] != g_before_question[at]) ++left_over;
    }
  EXPECT_GT(question, 0) << "the question was never on screen";
  EXPECT_EQ(left_over, 0) << "pixels of the question's window still on screen around the notice";
}

// The camp keeps its screen aside while it asks whether to record over a
// journey, and while it searches; once the camp is left, the sign read next
// stands over the dungeon the hero sees, not over that screen of the camp.
TEST_P(DemoJourney, TheCampsScreenIsNotLeftUnderTheSignReadAfterIt) {
  ASSERT_NO_FATAL_FAILURE(StartAtTheTitle());
  g_screen = &host_;
  g_mes_open = demoplay::BuiltIn("mes_open");
  g_mes_key = demoplay::BuiltIn("mes_key");
  ASSERT_TRUE(g_mes_open && g_mes_key);
  ScriptRegisterFunction(&MacroList, "mes_open", SeeSceneOpen, nullptr);
  ScriptRegisterFunction(&MacroList, "mes_key", SeeWords, nullptr);
  struct Row {
    const char* what;
    std::vector<int> camp;  // from the camp menu's first entry to its close
    const char* note;       // the camp's last notice
  };
  const Row rows[] = {
      {"a record over another journey",
       {key::Down, key::Down, key::Down, key::Down, key::Down, key::Down, key::Return,  // record
        key::Return, key::Left, key::Return,  // over record 1: yes
        key::Return,                          // the notice
        key::Escape},
       "旅の記録をつけた。"},
      {"a search",
       {key::Down, key::Down, key::Down, key::Down, key::Return,  // search
        key::Return,                                              // what stands ahead
        key::Escape},
       "目の前には何もない。"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    g_watch_scene = false;
    NewGameHere();
    ASSERT_EQ(Eval("save(\"save1.jpg\")"), "0");  // record 1 holds a journey: the record asks
    g_scene.clear();
    g_words.clear();
    g_watch_scene = true;
    KeysAfresh(Then(Then({key::Return}, row.camp),  // the camp
                    Then({key::Right, key::Up, key::Up,  // east to the hall's wall
                          key::Up,                       // read the sign
                          key::Return},                  // its words
                         kLeave)));
    ASSERT_NO_THROW(ExploreMainLoop());
    g_watch_scene = false;
    EXPECT_EQ(BoxTexts(), "");
    EXPECT_TRUE(LeftByTheMenu());
    EXPECT_STREQ(GetVarStr("NOTE"), row.note);
    ASSERT_EQ(GetPosX(HeroPos), 13) << "the hero did not reach the sign";
    ASSERT_FALSE(g_words.empty()) << "no words waited for a key after the camp";
    ASSERT_EQ(g_scene.size(), 640u * 480u);
    ASSERT_EQ(g_words.size(), g_scene.size());
    // Around the sign's window, the dungeon as the sign was pushed.
    const MesWindowState& w = g_words_window;
    int other = 0, first = -1;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        if (x >= w.x && x < w.x + w.width && y >= w.y && y < w.y + w.height) continue;
        const size_t at = static_cast<size_t>(y) * 640 + x;
        if (g_words[at] == g_scene[at]) continue;
        if (other++ == 0) first = static_cast<int>(at);
      }
    EXPECT_EQ(other, 0) << "another screen under the sign's words, first at " << first % 640 << "," << first / 640;
  }
}

// The statue stands by the start hall's west wall, off every way, and the
// player walks into it in vain.
TEST_P(DemoJourney, TheVillageStatueCannotBeWalkedThrough) {
  ASSERT_NO_FATAL_FAILURE(StartAtTheTitle());
  Pass(Then(kNewGame, Then({key::Right, key::Right, key::Up,  // south from the start
                            key::Right, key::Up,              // west
                            key::Up},                         // into the statue
                           kLeave)));
  EXPECT_TRUE(LeftByTheMenu());
  const ObjectRec& statue = ObjectTable[1];
  ASSERT_EQ(statue.active, 1u);
  EXPECT_EQ(statue.N, 0);
  EXPECT_EQ(statue.Y, 11);
  EXPECT_EQ(statue.X, 9);
  EXPECT_EQ(GetPosY(HeroPos), 11);
  EXPECT_EQ(GetPosX(HeroPos), 10) << "the hero walked through the statue";
}

INSTANTIATE_TEST_SUITE_P(Depths, DemoJourney, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

}  // namespace
