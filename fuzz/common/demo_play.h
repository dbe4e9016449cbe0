// The demo game running on the headless host for the fuzz targets that play
// it: started once in a folder of the run's own (its data linked in, its saves
// beside it), brought back to the state after its start before every input,
// and played within a budget of frames with keys pressed every few frames.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dx/dx.h"
#include "dx/shell.h"
#include "fuzz/common/scratch.h"
#include "game/event.h"
#include "game/explore.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "game/macro/macro.h"
#include "game/macro/macro_draw.h"
#include "game/macro/macro_mes.h"
#include "game/main.h"
#include "game/map.h"
#include "game/map2d.h"
#include "game/picture.h"
#include "game/view3d.h"
#include "platform/host/headless_host.h"
#include "platform/win32/display.h"
#include "qv/qvsapi.h"
#include "script/script.h"
#include "script/strlist.h"
#include "tests/common/demo_game.h"

namespace demoplay {

namespace fs = std::filesystem;

// Thrown from the clock when a run has used up its frames.
struct FrameBudgetSpent {};

// How a run ends once its frames are used up.
enum class Stop {
  Throw,  // at once, from the clock
  // Through the game's own paths, so that no script is cut off with its
  // values still held: every script stops at its next step, the hero's hit
  // points run out (which ends the exploration loop), and Return and Escape
  // answer whatever waits. Only a run still going after that is thrown out.
  WindDown,
};

// Keep it in a static: the process's end (the replay's return from main,
// libFuzzer's exit() after its runs) destroys it, which removes the run's
// folder; the demo data there are links (the map a copy), removed and not
// followed. The game it started runs on to the end: the layer's exit handlers,
// set as it started, release it after. Only a crash leaves the folder.
class DemoGame {
 public:
  // Starts the game on the demo data, on a desktop of `depth` bits, with
  // scripts held to `step_budget` steps.
  DemoGame(const char* prefix, uint64_t step_budget, int depth)
      : folder_(prefix), depth_(depth), step_budget_(step_budget) {
    caller_ = fs::current_path();
    host_ = &InstallFuzzHost();
    host_->set_frames_kept(0);
    testcommon::LinkDemoData(folder_.path());
    fs::create_directories(folder_.path() / "saves");
    std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
    RegisterMacros();
    try {
      Start();
    } catch (const host::ProcessExit&) {
      std::fprintf(stderr, "the demo game did not start\n");
      __builtin_trap();
    }
    // A new game stands on the first floor, at the stairs of the demo map.
    HeroPos = ViewPos{2, 22, 0, 0, 0};
    state_ = GameStateBlock;
    map_.assign(DungeonMap, DungeonMap + kFloors);
    for (StrList* v = ScriptVars; v; v = v->next)
      if (v->name) vars_.emplace_back(v->name, v->text ? v->text : "");
    ScriptSetLimits({step_budget, SCRIPT_DEFAULT_MAX_DEPTH});
    ScriptSetOutput([](const char*, size_t, void*) {}, nullptr);
    host::add_clock_listener(WatchFrames);
    CountAfterStart();
    fs::current_path(caller_);
  }

  host::HeadlessHost& host() { return *host_; }
  const fs::path& folder() const { return folder_.path(); }
  // The saved block as it stood after the start.
  const GameState& state() const { return state_; }

  // The game's files are found from the run's folder; the fuzzer's from its own.
  void EnterFolder() { fs::current_path(folder_.path()); }
  void LeaveFolder() { fs::current_path(caller_); }

  // The saved block, the map, the script variables and their limits, the
  // events, the drawing targets, the message window, keys and the random
  // numbers as they were after the start.
  void Restore() {
    GameStateBlock = state_;
    ScriptSetLimits({step_budget_, SCRIPT_DEFAULT_MAX_DEPTH});
    LastFailedEvent = 0;
    std::copy(map_.begin(), map_.end(), DungeonMap);
    StrListFree(ScriptVars);
    ScriptVars = nullptr;
    for (auto it = vars_.rbegin(); it != vars_.rend(); ++it) SetVarStr(it->first.c_str(), it->second.c_str());
    while (dxtargetdepth() > 0) dxpoptarget(false);
    dxresetclip();
    ResetMesWindow();
    ResetMesText();
    ResetKeyBits();
    host_->clear_message_boxes();
    // Keys meant for the last input's waits are not this one's.
    host_->clear_script();
    srand(1);
  }

  // Presses `keys` in turn, one every `every` frames from the next but one.
  void PressKeys(const std::vector<int>& keys, uint64_t every) {
    const uint64_t f = host_->frames_presented();
    for (size_t i = 0; i < keys.size(); ++i) host_->key_press(f + 2 + every * i, keys[i]);
  }
  // Twenty keys of one of eight patterns of three, one every three frames.
  void PressKeys(uint8_t pattern) {
    namespace key = host::key;
    static const int kPatterns[][3] = {
        {key::Return, key::Return, key::Return}, {key::Escape, key::Escape, key::Escape},
        {key::Return, key::Escape, key::Return}, {key::Down, key::Return, key::Escape},
        {key::Up, key::Escape, key::Return},     {key::Right, key::Return, key::Escape},
        {key::Space, key::Escape, key::Return},  {key::Z, key::A + 23, key::Escape},
    };
    const int* keys = kPatterns[pattern % std::size(kPatterns)];
    std::vector<int> presses;
    for (int i = 0; i < 20; ++i) presses.push_back(keys[i % 3]);
    PressKeys(presses, 3);
  }

  // Runs `what` (`play`) for `frames` frames, then stops it as `stop` says.
  // A designed stop (a fatal box, the program's end) ends the run too; the
  // end also released the display, so the game starts again. A run that
  // ends as designed must leave no picture behind but those the game keeps
  // on purpose: one more stops the target, naming the game's leak.
  template <typename Fn>
  void Play(const char* what, uint64_t frames, Stop stop, Fn&& play) {
    limit_ = host_->frames_presented() + frames;
    wind_down_ = stop == Stop::WindDown;
    bool cut = false, ended_program = false;
    try {
      play();
    } catch (const host::ProcessExit&) {
      cut = true;
      ended_program = dxexiting;
    } catch (const FrameBudgetSpent&) {
      cut = true;
    }
    limit_ = UINT64_MAX;
    wind_down_ = false;
    if (ended_program) {
      dxexiting = false;
      dxquit = false;
      StartAgain();
      return;
    }
    const size_t excess = Excess(in_hand_ + once_made_);
    if (cut) {
      // A run cut off loses the pictures it held in hand, which stay live:
      // once there are too many, the layer is released, which deletes them
      // all, and the game started again, so that a long campaign does not
      // grow without end.
      if (excess > in_hand_ + once_made_) in_hand_ = excess - once_made_;
      if (in_hand_ > kMostInHand) {
        dxrelease();
        StartAgain();
      }
    } else if (excess > in_hand_ + once_made_) {
      // A run that ended as designed gives back what it made, but for what
      // the game makes once and keeps: anything more is the game's leak.
      once_made_ = excess - in_hand_;
      if (once_made_ > kMostMadeOnce) {
        std::fprintf(stderr,
                     "the game leaks pictures: after %s ran to its end, %zu more are live than after the start "
                     "that nothing of the game holds, where runs cut off left %zu in hand and the game makes at "
                     "most %zu once; made since the start:%s\n",
                     what, in_hand_ + once_made_, in_hand_, kMostMadeOnce, Sizes().c_str());
        __builtin_trap();
      }
    }
  }

 private:
  // What InitGame loads, read from the run's folder instead of a package.
  void Start() {
    win32::SetDesktopDepth(depth_);
    if (!dxinit(GameTitle, 640, 480, 0, false)) __builtin_trap();
    fs::current_path(folder_.path());
    std::snprintf(BaseDir, sizeof BaseDir, "%s", (folder_.path() / "saves").c_str());
    if (!testcommon::ReadDemoData()) __builtin_trap();
  }

  // After the layer was released (the program's end, or a run cut off with
  // too much left in hand): the events and the sound go too, and the game
  // starts as at first. Reading the map again freed what the kept map points
  // to: the map read now is kept instead.
  void StartAgain() {
    FreeEventData();
    QvxSoundTerminate();
    try {
      Start();
    } catch (const host::ProcessExit&) {
      __builtin_trap();
    }
    map_.assign(DungeonMap, DungeonMap + kFloors);
    CountAfterStart();
  }

  // Counts what is live once the game has started: nothing is in hand or
  // made since.
  void CountAfterStart() {
    LetDroppedGo();
    unheld_after_start_ = Unheld();
    live_at_start_.assign(dxlivebitmaps().begin(), dxlivebitmaps().end());
    std::sort(live_at_start_.begin(), live_at_start_.end());
    in_hand_ = once_made_ = 0;
  }

  // The pictures the game keeps on purpose from one command to the next: the
  // picture cache's eight, the four background layers (those bg_memo made and
  // the message window's text), the view's capture, the minimap, the item
  // pictures' sheet, the map chips and the walls' pictures of the floor, and
  // the layer's textures of meshes. Those the cache dropped wait, at most 64,
  // for a frame to be presented and the cache read again (LetDroppedGo).
  static std::vector<const dx::bitmap*> KeptOnPurpose() {
    std::vector<const dx::bitmap*> kept;
    for (const ImageCacheEntry& e : ImageCache) kept.push_back(e.picture);
    for (const BgLayer& l : BgLayers) kept.push_back(l.picture);
    kept.insert(kept.end(), {ViewCapture, Map2DSurface, ItemPictureSheet});
    kept.insert(kept.end(), std::begin(MapPartTable), std::end(MapPartTable));
    for (const WallTexture& t : WallTextureTable) kept.push_back(t.picture);
    for (const auto& entry : dxtexturecache) kept.push_back(entry.second);
    std::sort(kept.begin(), kept.end());
    return kept;
  }
  // The live pictures that nothing kept on purpose holds.
  static size_t Unheld() {
    const std::vector<const dx::bitmap*> kept = KeptOnPurpose();
    size_t n = 0;
    for (const dx::bitmap* b : dxlivebitmaps()) n += !std::binary_search(kept.begin(), kept.end(), b);
    return n;
  }
  // How many of each size were made since the start, for the report of a leak.
  std::string Sizes() const {
    const std::vector<const dx::bitmap*> kept = KeptOnPurpose();
    std::map<std::pair<int, int>, int> made;
    for (const dx::bitmap* b : dxlivebitmaps())
      if (!std::binary_search(kept.begin(), kept.end(), b) &&
          !std::binary_search(live_at_start_.begin(), live_at_start_.end(), b))
        ++made[{b->width, b->height}];
    std::string out;
    for (const auto& [size, n] : made)
      out += " " + std::to_string(n) + " of " + std::to_string(size.first) + "x" + std::to_string(size.second);
    return out;
  }
  // The pictures the cache dropped are deleted once a frame has been
  // presented since and the cache is read again: both, now.
  static void LetDroppedGo() {
    if (!ImageCache[0].name) return;
    dxpresent();
    readIMG(ImageCache[0].name);
  }
  // How many more pictures than after the start nothing kept on purpose
  // holds; the dropped ones are let go first when there are more than
  // `expected`.
  size_t Excess(size_t expected) {
    if (Unheld() > unheld_after_start_ + expected) LetDroppedGo();
    const size_t n = Unheld();
    return n > unheld_after_start_ ? n - unheld_after_start_ : 0;
  }

  static void WatchFrames(uint64_t) {
    host::HeadlessHost* h = host::headless();
    if (!h || h->frames_presented() <= limit_) return;
    if (wind_down_) {
      constexpr uint64_t kGrace = 600;
      wind_down_ = false;
      ScriptSetLimits({1, SCRIPT_DEFAULT_MAX_DEPTH});
      GameStateBlock.hp = 0;
      const uint64_t f = h->frames_presented();
      for (uint64_t i = 1; i < kGrace; ++i) h->key_press(f + i, i % 2 ? host::key::Return : host::key::Escape);
      limit_ = f + kGrace;
      return;
    }
    limit_ = UINT64_MAX;
    throw FrameBudgetSpent{};
  }

  // The game makes a few pictures once a start, in its debug mode, and keeps
  // them where nothing here sees them: the cell inspector's and the map
  // editor's two grids.
  static constexpr size_t kMostMadeOnce = 3;
  // Pictures left in hand by runs cut off before the game starts again.
  static constexpr size_t kMostInHand = 64;
  static inline uint64_t limit_ = UINT64_MAX;
  static inline bool wind_down_ = false;
  host::HeadlessHost* host_ = nullptr;
  fs::path caller_;  // the fuzzer's own folder, which its paths are relative to
  ScratchFolder folder_;
  int depth_;
  uint64_t step_budget_;
  size_t unheld_after_start_ = 0;  // live after the start, none kept on purpose
  std::vector<const dx::bitmap*> live_at_start_;  // sorted
  size_t in_hand_ = 0;    // left by runs cut off
  size_t once_made_ = 0;  // left by runs that ended as designed
  GameState state_{};
  std::vector<MapFloor> map_;
  std::vector<std::pair<std::string, std::string>> vars_;
};

}  // namespace demoplay
