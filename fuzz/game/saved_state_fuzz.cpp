// Saved games with a correct sum over any state: the input changes a new
// game's block, which is written as a real save file and loaded into the
// running demo game by its "load" command, as the title's load does; then the
// game goes on from it for a few frames of the view, with keys that walk,
// turn and open the menus, so that the loaded position, objects, items, flags
// and tables are drawn and used. A load keeps what the player owns and every
// place and size a float can carry, and mends the rest once and for all.
//
// Input: a byte choosing the keys, then changes to the block, each a
// three-byte offset (little-endian, taken modulo the block's size), a byte of
// length and that many bytes.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/common/demo_play.h"
#include "game/event.h"
#include "game/explore.h"
#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/savefile.h"
#include "script/script.h"
#include "script/strlist.h"

namespace {

constexpr uint64_t kStepBudget = 20000;
constexpr uint64_t kFrames = 30;
constexpr const char* kSave = "state";

// What the player does after the load, one key every five frames: walks and
// turns, opens the camp menu's lists (items, equipment, the map) or the
// system menu.
const std::vector<int> kPlays[] = {
    {host::key::Up, host::key::Up, host::key::Right, host::key::Up, host::key::Left, host::key::Up},
    {host::key::Down, host::key::Left, host::key::Up, host::key::Up, host::key::Right, host::key::Down},
    {host::key::Return, host::key::Return, host::key::Down, host::key::Return, host::key::Escape, host::key::Escape},
    {host::key::Return, host::key::Down, host::key::Return, host::key::Return, host::key::Escape, host::key::Escape},
    {host::key::Return, host::key::Down, host::key::Down, host::key::Return, host::key::Escape, host::key::Up},
    {host::key::Return, host::key::Down, host::key::Down, host::key::Down, host::key::Return, host::key::Escape},
    {host::key::Escape, host::key::Return, host::key::Escape, host::key::Escape, host::key::Right, host::key::Up},
    {host::key::Right, host::key::Right, host::key::Up, host::key::Return, host::key::Escape, host::key::Up},
};

// A new game as the demo starts one, with objects and a bank besides.
constexpr const char* kNewGame =
    "move(0, 11, 12, 0, 0); hero_name(\"Kai\"); hero_hp_max(40); hero_hp(40); hero_str(4); hero_dex(4); hero_gold(60);"
    "item_set(1001, 1); item_push(103, 1); item_set(1021, 1); item_push(101, 1);"
    "item_set(1061, 3); item_push(0, 0); item_set(1002, 1); item_push(200, 0);"
    "bill(5, 44, 0, 11, 13, 0, 1, 2, 255); event_float(6, 116, 43, 21, 12, 12, 0, 1, 2, 200); 0";

void Run(const char* script) {
  std::string text = script;
  ScriptNode* program = nullptr;
  ScriptError error;
  StrList* result = nullptr;
  if (ScriptCompile(text.data(), &program, &error) != 0 ||
      ScriptExec(program, nullptr, nullptr, &result, &error, 0, 0) != 0)
    __builtin_trap();
  StrListFree(result);
  ScriptFreeProgram(program);
}

struct Game {
  Game() {
    demo.EnterFolder();
    demo.Restore();
    Run(kNewGame);
    base = GameStateBlock;
    for (MacroEntry* e = MacroList; e && !load; e = e->next)
      if (e->handler && std::strcmp(e->name, "load") == 0) load = e;
    if (!load) __builtin_trap();
    demo.LeaveFolder();
  }
  // At 32 bits a frame is shown without converting its pixels, which takes
  // most of the time of a run at 16.
  demoplay::DemoGame demo{"saved_state_fuzz_", kStepBudget, 32};
  GameState base{};
  MacroEntry* load = nullptr;
};

// A static, so that the run's end removes the game's folder (see DemoGame).
Game& TheGame() {
  static Game game;
  return game;
}

// The bytes from `from` up to `to` are the same in both blocks.
bool Same(const GameState& a, const GameState& b, size_t from, size_t to) {
  return std::memcmp(reinterpret_cast<const char*>(&a) + from, reinterpret_cast<const char*>(&b) + from, to - from) ==
         0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Game& g = TheGame();
  g.demo.EnterFolder();
  g.demo.Restore();

  GameState saved = g.base;
  uint8_t* block = reinterpret_cast<uint8_t*>(&saved);
  const uint8_t keys = size ? data[0] : 0;
  for (size_t i = 1; i + 4 <= size;) {
    const size_t offset = (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % sizeof saved;
    const size_t length = std::min<size_t>({data[i + 3], size - i - 4, sizeof saved - offset});
    std::memcpy(block + offset, data + i + 4, length);
    i += 4 + length;
  }
  const std::string path = (g.demo.folder() / "saves" / kSave).string();
  if (WriteSaveFile(path.c_str(), "data/save_jpg/cover1.jpg", &saved, sizeof saved) != SAVE_OK) __builtin_trap();

  // As the title loads: the block cleared, then the save read over it.
  std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
  StrList* args = nullptr;
  StrList* result = nullptr;
  StrListPush(&args, "S", kSave);
  g.load->handler(&args, &result);
  if (!result || std::strcmp(ScriptValueText(result), "0") != 0) __builtin_trap();
  StrListFree(args);
  StrListFree(result);

  // What the player owns comes back as it was saved...
  const GameState& loaded = GameStateBlock;
  if (!Same(loaded, saved, offsetof(GameState, hp), offsetof(GameState, hero_pos)) ||
      !Same(loaded, saved, offsetof(GameState, reserved1), offsetof(GameState, objects)) ||
      !Same(loaded, saved, offsetof(GameState, group), sizeof(GameState)))
    __builtin_trap();
  // ...and so does every place and size a float can carry, on the map or off
  // it; one past the float range, infinity included, is held at its end on its
  // own side, and only a value that is no number becomes 0...
  auto kept = [](double was, double is) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::isnan(was)) return is == 0.0;
    if (std::fabs(was) > kMax) return is == std::copysign(kMax, was);
    return std::memcmp(&was, &is, sizeof was) == 0;
  };
  const ViewPos &hs = saved.hero_pos, &hl = loaded.hero_pos;
  if (!kept(hs.X, hl.X) || !kept(hs.Y, hl.Y) || !kept(hs.N, hl.N) || !kept(hs.T, hl.T) || !kept(hs.P, hl.P))
    __builtin_trap();
  for (size_t i = 0; i < std::size(saved.objects); ++i) {
    const ObjectRec &s = saved.objects[i], &l = loaded.objects[i];
    if (!kept(s.X, l.X) || !kept(s.Y, l.Y) || !kept(s.N, l.N) || !kept(s.width, l.width) ||
        !kept(s.height, l.height) || l.active != s.active || l.picture != s.picture || l.part != s.part ||
        l.event != s.event || l.alpha != s.alpha || l.reserved != s.reserved)
      __builtin_trap();
  }
  // ...and what was mended needs no second mending.
  GameState again = loaded;
  BringSavedStateIntoRange(again);
  if (!Same(again, loaded, 0, sizeof(GameState))) __builtin_trap();

  g.demo.PressKeys(kPlays[keys % std::size(kPlays)], 5);
  g.demo.Play("the play after the load", kFrames, demoplay::Stop::WindDown, [] {
    eventExec(51);
    ExploreMainLoop();
  });
  g.demo.LeaveFolder();
  return 0;
}
