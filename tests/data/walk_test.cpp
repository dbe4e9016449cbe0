// The demo played through by keys alone, as a player would: from the title
// through a new game, walking cell by cell along routes found on the loaded
// map with the events' meaning, fighting what it meets, shopping, equipping,
// and on to both endings. A player bot watches the game between frames (its
// position, its purse, whether a fight is on) and presses the next key, as a
// player watching the screen would; it never runs an event itself.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <queue>
#include <string>
#include <vector>

#include "game/gamestate.h"
#include "game/item.h"
#include "game/main.h"
#include "game/map.h"
#include "game/position.h"
#include "game/savefile.h"
#include "platform/host/headless_host.h"
#include "script/strlist.h"
#include "tests/data/demo_play.h"

namespace {

namespace key = host::key;
using demoplay::DemoPlay;

constexpr int kLamp = 1051, kAxe = 1052, kBronzeKey = 1053, kHerb = 1061, kSword = 1002, kShard = 1064;
constexpr int kGuardian = 2008;
constexpr int kWoodenSword = 1001, kCoat = 1021;  // worn from the start
constexpr int kDx[4] = {0, 1, 0, -1};
constexpr int kDy[4] = {1, 0, -1, 0};

struct Cell {
  int n, x, y;
  bool operator==(const Cell&) const = default;
};

Cell Here() { return {GetPosFloor(HeroPos), GetPosX(HeroPos), GetPosY(HeroPos)}; }
int Heading() { return ((GetPosQuadrant(HeroPos) % 4) + 4) % 4; }  // 0 north, 1 east, 2 south, 3 west
bool Carried(int number) { return FindItemSlot(number, 0) >= 0; }
bool Worn(int number) { return FindItemSlot(number, 1) >= 0; }
int CountOf(int number) {
  int n = 0;
  for (const ItemSlot& s : GameStateBlock.carried)
    if (s.count > 0 && ItemTable[s.item].number == number) n += s.count;
  return n;
}
bool InBattle() { return GetVarInt("INBATTLE") == 1; }

// Events a route only enters as its goal: they ask something or carry the
// hero away (stairs, warps, shops, the bank, the inn, the shrine, the
// guardian, the altar, the crumbling floor, the spirit).
bool AsksOrCarries(int event) {
  switch (event) {
    case 100: case 101: case 104: case 105: case 106: case 107: case 110: case 111: case 112: case 113: case 116:
      return true;
    default:
      return false;
  }
}

int CellEvent(const Cell& c) {
  int event = DungeonMap[c.n].cells[c.x][c.y].w[CELL_EVNT];
  for (const ObjectRec& o : ObjectTable)
    if (o.active && o.event && o.N == c.n && o.X == c.x && o.Y == c.y) event = static_cast<int>(o.event);
  return event;
}

// Whether the hero, with what it has now, gets from c through face d, as the
// wall and tree events decide.
bool CanPass(const Cell& c, int d) {
  const Cell to{c.n, c.x + kDx[d], c.y + kDy[d]};
  if (to.x < 0 || to.y < 0 || to.x >= kMapSize || to.y >= kMapSize) return false;
  switch (DungeonMap[c.n].cells[c.x][c.y].face(d, FACE_PEVE)) {
    case 0: case 201: break;               // open, or a door
    case 202: if (!Carried(kBronzeKey)) return false; break;  // the iron door
    case 205: if (!Worn(kLamp)) return false; break;          // the rune wall
    default: return false;                 // rock, a sign
  }
  if (MapFlags[to.n][to.x][to.y] & MAPFLAG_TREE)
    return DungeonMap[to.n].cells[to.x][to.y].w[CELL_TREE] != 0 && Carried(kAxe);
  return true;
}

// The first face to leave by on a shortest way to the goal on this floor, -1
// when there is none. Chests and notice stones are passed only when no other
// way is left.
int FirstMove(const Cell& from, const Cell& goal) {
  for (int pass = 0; pass < 2; ++pass) {
    std::array<std::array<int, kMapSize>, kMapSize> first;
    for (auto& col : first) col.fill(-2);
    std::queue<Cell> todo;
    first[from.x][from.y] = -1;
    todo.push(from);
    while (!todo.empty()) {
      Cell c = todo.front();
      todo.pop();
      if (c == goal) return first[c.x][c.y];
      for (int d = 0; d < 4; ++d) {
        Cell n{c.n, c.x + kDx[d], c.y + kDy[d]};
        if (!CanPass(c, d) || first[n.x][n.y] != -2) continue;
        int event = CellEvent(n);
        if (!(n == goal) && (AsksOrCarries(event) || (pass == 0 && (event == 102 || event == 103)))) continue;
        first[n.x][n.y] = first[c.x][c.y] == -1 ? d : first[c.x][c.y];
        todo.push(n);
      }
    }
  }
  return -1;
}

// One thing the player does: a key, a walk to a cell, a wait.
struct Step {
  enum Kind { Press, Walk, Wait, Pace, Repeat, Close } kind = Press;
  std::string what;
  int key = 0;
  int hold_frames = 1;
  uint64_t gap_us = 450000;  // since the last key
  Cell goal{}, other{};      // Walk: goal; Pace: back and forth between goal and other
  std::function<bool()> until;
};

Step Press(int k, const std::string& what, uint64_t gap_us = 450000) {
  Step s;
  s.kind = Step::Press, s.key = k, s.what = what, s.gap_us = gap_us;
  return s;
}
Step WalkTo(int n, int x, int y, const std::string& what) {
  Step s;
  s.kind = Step::Walk, s.goal = {n, x, y}, s.what = what, s.gap_us = 220000;
  return s;
}
Step WaitUntil(std::function<bool()> until, const std::string& what) {
  Step s;
  s.kind = Step::Wait, s.until = std::move(until), s.what = what;
  return s;
}
// Presses a key every so often until `until`.
Step RepeatUntil(int k, std::function<bool()> until, const std::string& what) {
  Step s;
  s.kind = Step::Repeat, s.key = k, s.until = std::move(until), s.what = what, s.gap_us = 700000;
  return s;
}
// A key the dungeon walk ignores but any message or notice takes: it closes a
// notice a step may have left (the desert's sand storms come at random)
// before a menu is opened.
Step Settle() { return Press(key::PageUp, "close any notice", 1000000); }

// Closes the window, which ends the run: the end of a stage.
Step CloseWindow() {
  Step s;
  s.kind = Step::Close, s.what = "close the window", s.gap_us = 1000000;
  return s;
}

// Walks between two neighbouring cells, meeting monsters, until `until`.
Step PaceUntil(Cell a, Cell b, std::function<bool()> until, const std::string& what) {
  Step s;
  s.kind = Step::Pace, s.goal = a, s.other = b, s.until = std::move(until), s.what = what, s.gap_us = 220000;
  return s;
}

// The player: called whenever the virtual clock moves, it presses the next
// key once the game has had time to take the last one.
class Player {
 public:
  explicit Player(host::HeadlessHost& host) : host_(host) {}

  void Add(Step s) { plan_.push_back(std::move(s)); }
  void Add(std::initializer_list<Step> steps) {
    for (const Step& s : steps) plan_.push_back(s);
  }
  // Whether every step is over (a run can end before the player looks again).
  bool Done() {
    while (!plan_.empty() && Over(plan_.front())) plan_.pop_front();
    return plan_.empty();
  }
  const std::string& Failure() const { return failure_; }
  int Fights() const { return fights_; }

  void Tick(uint64_t now) {
    if (!failure_.empty()) return;
    if (GameStateBlock.hp < 1 && GameStateBlock.max_hp > 0) return Fail("the hero fell");
    // Time without a step or a fight is time stuck.
    if (InBattle() || !(Here() == last_cell_)) step_start_ = now;
    last_cell_ = Here();
    if (InBattle()) {
      if (!in_battle_) ++fights_;
      in_battle_ = true;
      if (now - last_press_ < kQuickGapUs) return;
      if (!battle_keys_.empty()) {
        PressKey(battle_keys_.front(), 1, now);
        battle_keys_.pop_front();
        return;
      }
      // Below half its strength at the command menu, or, before the guardian
      // (a blow of up to 42), below two thirds of what it can hold: a herb
      // from the belongings ("どうぐ", the second command). Otherwise every
      // question of a fight is answered with Enter: fight, and read on.
      const bool low = GetVarInt("ENEMY") == kGuardian ? GameStateBlock.hp * 3 < SumEquipHpMax() * 2
                                                       : GameStateBlock.hp * 2 < GameStateBlock.max_hp;
      if (CommandMenuShown() && low && HerbRow() > 0) {
        battle_keys_ = {key::Return};
        for (int k = 1; k < HerbRow(); ++k) battle_keys_.push_back(key::Down);  // from the first item
        battle_keys_.push_back(key::Return);
        PressKey(key::Right, 1, now);
        return;
      }
      PressKey(key::Return, 1, now);
      return;
    }
    in_battle_ = false;
    battle_keys_.clear();
    while (!plan_.empty() && Over(plan_.front())) {
      done_ = plan_.front().what;
      plan_.pop_front();
      step_start_ = now;
    }
    if (plan_.empty()) {
      if (now - step_start_ > kStepLimitUs) Fail("the plan is over but the game goes on");
      return;
    }
    Step& s = plan_.front();
    if (now - step_start_ > kStepLimitUs) return Fail("stuck: " + s.what);
    if (now - last_press_ < s.gap_us) return;
    switch (s.kind) {
      case Step::Press:
        PressKey(s.key, s.hold_frames, now);
        s.key = 0;  // done
        break;
      case Step::Walk:
        Walk(s.goal, s.what, now);
        break;
      case Step::Pace:
        if (Heal(now)) break;
        Walk(Here() == s.goal ? s.other : s.goal, s.what, now);
        break;
      case Step::Repeat:
        PressKey(s.key, 1, now);
        break;
      case Step::Wait:
        break;
      case Step::Close:
        host_.close(host_.frames_presented());
        s.key = -1;  // done
        break;
    }
  }

 private:
  static constexpr uint64_t kStepLimitUs = 120ull * 1000000;  // of virtual time
  // Just past the game's 200 ms between two reports of a key.
  static constexpr uint64_t kQuickGapUs = 220000;

  bool Over(const Step& s) {
    switch (s.kind) {
      case Step::Press: return s.key == 0;
      case Step::Close: return s.key == -1;
      case Step::Walk: return Here() == s.goal;
      case Step::Wait: return s.until();
      case Step::Pace: return s.until();
      case Step::Repeat: return s.until();
    }
    return true;
  }

  // The fight's command menu is up: its frame's two corner ornaments, alike,
  // where the menu stands.
  bool CommandMenuShown() const {
    const host::Frame* f = host_.last_frame();
    if (!f || f->w < 640) return false;
    const uint32_t left = f->at(46, 235), right = f->at(274, 235);
    return left == right && (left >> 16 & 255) > 150 && (left & 255) < 120;
  }

  // The herb's row in the list of things to use (the first row is "stop");
  // 0 without herbs.
  static int HerbRow() {
    int row = 1;
    for (const ItemSlot& s : GameStateBlock.carried) {
      if (s.count <= 0) break;
      if (ItemTable[s.item].number == kHerb) return row;
      if (ItemTable[s.item].equip == -1) ++row;
    }
    return 0;
  }

  void Walk(const Cell& goal, const std::string& what, uint64_t now) {
    if (Here() == goal) return;
    if (Heal(now)) return;
    if (Here().n != goal.n) return Fail("on another floor than " + what);
    int d = FirstMove(Here(), goal);
    if (d < 0) return Fail("no way to " + what);
    int turn = (d - Heading() + 4) % 4;
    PressKey(turn == 0 ? key::Up : turn == 3 ? key::Left : key::Right, 1, now);
  }

  // Below half its strength the hero eats a herb from the camp menu.
  bool Heal(uint64_t now) {
    if (GameStateBlock.hp * 2 >= GameStateBlock.max_hp || HerbRow() == 0) return false;
    plan_.push_front(Press(key::Escape, "close the camp menu"));
    plan_.push_front(Press(key::Return, "read the herb's words"));
    plan_.push_front(Press(key::Return, "eat the herb"));
    for (int k = 1; k < HerbRow(); ++k) plan_.push_front(Press(key::Down, "to the herb"));  // from the first item
    plan_.push_front(Press(key::Return, "the belongings"));
    plan_.push_front(Press(key::Return, "open the camp menu"));
    plan_.push_front(Settle());
    step_start_ = now;
    return true;
  }

  void PressKey(int k, int hold_frames, uint64_t now) {
    const uint64_t frame = host_.frames_presented();
    host_.key_down(frame, k);
    host_.key_up(frame + hold_frames, k);
    last_press_ = now;
  }

  void Fail(const std::string& why) {
    if (!failure_.empty()) return;
    failure_ = why + " (the last step done: " + done_ + ")";
    // Closing the window ends the run.
    host_.close(host_.frames_presented());
  }

  host::HeadlessHost& host_;
  std::deque<Step> plan_;
  std::deque<int> battle_keys_;
  uint64_t last_press_ = 0, step_start_ = 0;
  Cell last_cell_{};
  bool in_battle_ = false;
  int fights_ = 0;
  std::string failure_, done_;
};

Player* g_player = nullptr;
void OnClock(uint64_t now) {
  if (g_player) g_player->Tick(now);
}

// The walk is played in stages, so that ctest runs them side by side. Every
// stage but the first starts, by "continue" at the title, from a record that
// the stage before made by keys; those records are kept under
// tests/data/walk/. A stage that makes one checks that it holds the same game
// as the kept one, so the stages together are one game played by keys from
// the opening to both endings. When the game changes on purpose, remake the
// records in order: DOLVICAR_WALK_RECORDS=write ctest -R DemoWalk -j1.
std::filesystem::path KeptRecord(const std::string& name) { return datacheck::Root() / "tests/data/walk" / name; }

// A record's game; empty when it cannot be read.
std::vector<uint8_t> RecordedGame(const std::string& path) {
  uint8_t* data = nullptr;
  uint32_t length = 0;
  if (ReadSaveFile(path.c_str(), &data, &length) != LOAD_OK) return {};
  std::vector<uint8_t> game(data, data + length);
  std::free(data);
  return game;
}

class DemoWalk : public DemoPlay {
 protected:
  void SetUp() override {
    DemoPlay::SetUp();
    // The name offered at a new game is the login name, and records keep it.
    if (const char* user = std::getenv("USER")) user_ = user;
    setenv("USER", "kai", 1);
    player_ = std::make_unique<Player>(host_);
    g_player = player_.get();
    host::add_clock_listener(OnClock);
  }
  void TearDown() override {
    host::remove_clock_listener(OnClock);
    g_player = nullptr;
    if (user_) setenv("USER", user_->c_str(), 1);
    else unsetenv("USER");
    DemoPlay::TearDown();
  }
  // One pass of the title, as the program runs it; false when the run ended
  // the program (the window was closed).
  bool Title() {
    try {
      TitlePass();
      return true;
    } catch (const host::ProcessExit&) {
      return false;
    }
  }
  // Start-up, and the settings at the title as a player would set them: no
  // walking animation.
  void StartAtTheTitle() {
    ASSERT_TRUE(Start()) << BoxTexts();
    // The opening show has its own test; the walk starts at the title.
    SetVarInt("OPENING_SEEN", 1);
    player_->Add({Press(key::Down, "title: settings", 1000000), Press(key::Down, "title: settings"),
                  Press(key::Return, "open the settings"), Press(key::Return, "moving animation off"),
                  Press(key::Down, "to save"), Press(key::Down, "to save"), Press(key::Down, "to save"),
                  Press(key::Return, "save the settings")});
    ASSERT_TRUE(Title()) << player_->Failure();
    EXPECT_EQ(GetVarInt("MOVE_MOTION"), 1);
  }
  // Continues the journey from the kept record `name`, as record 1, which
  // leaves the hero at `at`.
  void ContinueFrom(const std::string& name, Cell at) {
    ASSERT_NO_FATAL_FAILURE(StartAtTheTitle());
    std::error_code ec;
    ASSERT_TRUE(std::filesystem::copy_file(KeptRecord(name), win32::HostPath(BaseDirPath("save1.jpg").c_str()),
                                           std::filesystem::copy_options::overwrite_existing, ec))
        << ec.message();
    player_->Add({Press(key::Down, "title: continue", 1000000), Press(key::Return, "continue"),
                  Press(key::Return, "record 1"), WaitUntil([at] { return Here() == at; }, "back where it was kept")});
  }
  // Records the journey in record 1 from the camp menu, closes the window, and
  // checks that the record holds the game the next stage starts from.
  void RecordAs(const std::string& name) {
    Player& p = *player_;
    p.Add({Settle(), Press(key::Return, "camp menu"), Press(key::Down, "to record"), Press(key::Down, "to record"),
           Press(key::Down, "to record"), Press(key::Down, "to record"), Press(key::Down, "to record"),
           Press(key::Down, "to record"), Press(key::Return, "record the journey"), Press(key::Return, "in record 1")});
    // Record 1 holds the journey this stage continued: the game asks first.
    if (std::filesystem::exists(win32::HostPath(BaseDirPath("save1.jpg").c_str())))
      p.Add({Press(key::Left, "to yes"), Press(key::Return, "write over the older record")});
    p.Add({Press(key::Return, "the notice"), Press(key::Escape, "close the camp menu"), CloseWindow()});
    EXPECT_FALSE(Title()) << "the run ends with the window";
    ASSERT_EQ(p.Failure(), "") << " at " << Here().n << "," << Here().x << "," << Here().y;
    ASSERT_TRUE(p.Done());
    EXPECT_TRUE(host_.message_boxes().empty()) << BoxTexts();
    const std::string made = win32::HostPath(BaseDirPath("save1.jpg").c_str());
    const char* mode = std::getenv("DOLVICAR_WALK_RECORDS");
    if (mode && std::string(mode) == "write") {
      std::error_code ec;
      std::filesystem::create_directories(KeptRecord(name).parent_path(), ec);
      ASSERT_TRUE(std::filesystem::copy_file(made, KeptRecord(name), std::filesystem::copy_options::overwrite_existing,
                                             ec))
          << ec.message();
    }
    const std::vector<uint8_t> game = RecordedGame(BaseDirPath("save1.jpg"));
    ASSERT_EQ(game.size(), sizeof(GameState));
    EXPECT_TRUE(game == RecordedGame(KeptRecord(name).string()))
        << "the record made differs from " << KeptRecord(name)
        << ", from which the next stage starts (remade by DOLVICAR_WALK_RECORDS=write ctest -R DemoWalk -j1)";
  }
  // Plays on to the ending and back to the title.
  void PlayToTheEnding() {
    Player& p = *player_;
    ASSERT_TRUE(Title()) << p.Failure() << " at " << Here().n << "," << Here().x << "," << Here().y;
    EXPECT_TRUE(p.Done());
    EXPECT_EQ(StoryFlags[9], 1);
    EXPECT_TRUE(host_.message_boxes().empty()) << BoxTexts();
  }
  std::unique_ptr<Player> player_;
  std::optional<std::string> user_;
};

// From the spirit's field of floor 2 up to the desert, its shop, and a night
// at its inn; then a step off the inn's cell, out of its event, on the way to
// the guardian.
void AddToTheInn(Player& p) {
  p.Add({WalkTo(1, 14, 7, "the stairs to floor 3"), Press(key::Return, "go up", 1000000),
         WaitUntil([] { return Here().n == 2; }, "floor 3"),
         WalkTo(2, 13, 12, "the desert shop"), Press(key::Return, "buy", 1500000),
         Press(key::Return, "a herb"), Press(key::Return, "a herb"), Press(key::Return, "a herb"),
         Press(key::Return, "a herb"), Press(key::Return, "a herb"), Press(key::Return, "a herb"),
         Press(key::Escape, "done buying"), Press(key::Escape, "leave the shop"),
         WalkTo(2, 23, 3, "the desert inn"), Press(key::Return, "stay the night", 1500000),
         Press(key::Return, "the night's notice"), Press(key::Escape, "no record"),
         WaitUntil([] { return GameStateBlock.hp == GameStateBlock.max_hp + 5; }, "rested"),
         WalkTo(2, 22, 3, "beside the inn")});
}

// From the inn to the guardian, and the altar's ending.
void AddToTheAltar(Player& p) {
  p.Add({WalkTo(2, 13, 22, "the guardian"), Press(key::Return, "the guardian's words", 1500000),
         WaitUntil([] { return StoryFlags[2] == 1; }, "the guardian beaten"),
         Press(key::Return, "the notice"),
         WalkTo(2, 13, 23, "the altar"),
         RepeatUntil(key::Return, [] { return StoryFlags[9] == 1; }, "the ending")});
}

constexpr Cell kBesideTheInn{2, 22, 3};

TEST_P(DemoWalk, Stage1ANewGameEarnsTheLampsPrice) {
  ASSERT_NO_FATAL_FAILURE(StartAtTheTitle());
  Player& p = *player_;
  Step name = Press(key::Return, "take the offered name");
  name.hold_frames = 9;  // an ordinary 150 ms press
  p.Add({Press(key::Return, "title: new game"), Press(key::Return, "the prologue"), name,
         WaitUntil([] { return GameStateBlock.gold == 60; }, "the new game's purse"),
         Press(key::Return, "the control hint", 1000000)});
  // Enough gold for the lamp, from the monsters of the start hall.
  p.Add(PaceUntil({0, 11, 12}, {0, 11, 13}, [] { return GameStateBlock.gold >= 110 && Here() == Cell{0, 11, 12}; },
                  "gold for the lamp"));
  RecordAs("1-gold.jpg");
  EXPECT_GT(p.Fights(), 0);
}

TEST_P(DemoWalk, Stage2TheLampTheAxeAndTheKeyLeadToTheSpirit) {
  ASSERT_NO_FATAL_FAILURE(ContinueFrom("1-gold.jpg", {0, 11, 12}));
  Player& p = *player_;
  p.Add({WalkTo(0, 10, 17, "the village shop"), Press(key::Return, "buy", 1500000),
         Press(key::Down, "herbs"), Press(key::Down, "antidote"), Press(key::Down, "feather"),
         Press(key::Return, "buy the lamp"), Press(key::Escape, "done buying"), Press(key::Escape, "leave the shop"),
         WaitUntil([] { return Carried(kLamp); }, "the lamp bought")});
  // The list opens on its first item: Enter on it wears it.
  p.Add({Press(key::Return, "camp menu", 1000000), Press(key::Down, "equipment"), Press(key::Return, "equipment"),
         Press(key::Up, "the lamp's place"), Press(key::Return, "choose for it"), Press(key::Return, "wear the lamp"),
         Press(key::Escape, "done equipping"), Press(key::Escape, "close the camp menu"),
         WaitUntil([] { return FindItemSlot(kLamp, 1) == kSelEquip + 6 && !Carried(kLamp); }, "the lamp worn"),
         WaitUntil([] { return Worn(kWoodenSword) && Worn(kCoat); }, "the gear worn from the start still worn")});
  p.Add({WalkTo(0, 10, 22, "the axe's chest"), Press(key::Return, "the chest's words", 1000000),
         WaitUntil([] { return Carried(kAxe); }, "the axe taken")});
  p.Add({WalkTo(0, 22, 2, "the stairs up"), Press(key::Return, "go up", 1000000),
         WaitUntil([] { return Here().n == 1; }, "floor 2")});
  p.Add({WalkTo(1, 23, 23, "the bronze key's chest"), Press(key::Return, "the chest's words", 1000000),
         WaitUntil([] { return Carried(kBronzeKey); }, "the key taken")});
  // Beside the spirit the journey is recorded: the two endings part here.
  p.Add(WalkTo(1, 6, 20, "beside the forest spirit"));
  RecordAs("2-spirit.jpg");
}

// Without the spirit's shard: the small light.
TEST_P(DemoWalk, Stage3SmallLightUpToTheDesertInn) {
  ASSERT_NO_FATAL_FAILURE(ContinueFrom("2-spirit.jpg", {1, 6, 20}));
  AddToTheInn(*player_);
  RecordAs("3-small-light-inn.jpg");
  EXPECT_GT(player_->Fights(), 0);
}

TEST_P(DemoWalk, Stage4SmallLightTheGuardianAndTheAltar) {
  ASSERT_NO_FATAL_FAILURE(ContinueFrom("3-small-light-inn.jpg", kBesideTheInn));
  AddToTheAltar(*player_);
  ASSERT_NO_FATAL_FAILURE(PlayToTheEnding());
  EXPECT_EQ(StoryFlags[5], 0);
  EXPECT_EQ(CountOf(kShard), 0);
}

// With the spirit's shard: the great light.
TEST_P(DemoWalk, Stage3GreatLightTheShardAndUpToTheDesertInn) {
  ASSERT_NO_FATAL_FAILURE(ContinueFrom("2-spirit.jpg", {1, 6, 20}));
  Player& p = *player_;
  p.Add({WalkTo(1, 6, 21, "the forest spirit"), Press(key::Return, "the spirit's words", 1000000),
         Press(key::Return, "the shard given"), WaitUntil([] { return Carried(kShard); }, "the shard")});
  AddToTheInn(p);
  RecordAs("3-great-light-inn.jpg");
  EXPECT_GT(p.Fights(), 0);
}

TEST_P(DemoWalk, Stage4GreatLightTheGuardianAndTheAltar) {
  ASSERT_NO_FATAL_FAILURE(ContinueFrom("3-great-light-inn.jpg", kBesideTheInn));
  AddToTheAltar(*player_);
  ASSERT_NO_FATAL_FAILURE(PlayToTheEnding());
  EXPECT_EQ(StoryFlags[5], 1);
}

// One depth is enough: the play tests cover the others.
INSTANTIATE_TEST_SUITE_P(Depth16, DemoWalk, ::testing::Values(16));

}  // namespace
