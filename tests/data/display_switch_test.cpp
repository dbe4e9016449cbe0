// Changes of the display in the middle of play, as a player or the desktop
// makes them: full screen and video memory from the pause menu's settings,
// surfaces lost and given back, a window over the game. After each the
// dungeon is drawn as it was before it, the 3-D view above all.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/macro/macro.h"
#include "platform/ddraw/ddraw.h"
#include "script/script.h"
#include "tests/data/demo_play.h"

namespace {

namespace key = host::key;
using demoplay::DemoPlay;

// The screen as the pause menu is opened over it. The pause menu draws the
// view again before its menu, so the last frame presented before that is the
// dungeon as the player left it.
const host::HeadlessHost* g_screen = nullptr;
ScriptHandler g_draw3d = nullptr;
std::vector<std::vector<uint32_t>> g_paused;
int SeePause(StrList** args, StrList** stack) {
  if (const host::Frame* f = g_screen->last_frame()) g_paused.push_back(f->pixels);
  return g_draw3d(args, stack);
}

// Every surface is lost once the frame counter reaches this frame.
uint64_t g_lose_at = 0;
void LoseSurfacesOnTime(uint64_t) {
  if (g_lose_at && g_screen->frames_presented() >= g_lose_at) {
    g_lose_at = 0;
    ddraw::LoseAllSurfaces();
  }
}

// One thing a player or the desktop does: a key, or a window event, or every
// surface lost.
struct Act {
  int key = 0;
  host::EventType event = host::EventType::Exposed;
  bool window_event = false, lose_surfaces = false;
};
std::vector<Act> Press(std::initializer_list<int> keys) {
  std::vector<Act> out;
  for (int k : keys) out.push_back({k});
  return out;
}
std::vector<Act> operator+(std::vector<Act> a, const std::vector<Act>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<Act> kPause = Press({key::Escape});
const std::vector<Act> kSettings = Press({key::Escape, key::Return});  // the pause menu's 設定
const std::vector<Act> kToggleScreen = Press({key::Down, key::Down, key::Return});  // 表示：
const std::vector<Act> kToggleMemory = Press({key::Down, key::Return});             // 画像：
// 保存してもどる: the menu opens again on the row chosen.
const std::vector<Act> kScreenSaveAndBack = Press({key::Down, key::Return});
const std::vector<Act> kMemorySaveAndBack = Press({key::Down, key::Down, key::Return});
const std::vector<Act> kResume = Press({key::Escape, key::Down, key::Down, key::Return});  // pause: とじる
const std::vector<Act> kScreenSwitch = kSettings + kToggleScreen + kScreenSaveAndBack;
const std::vector<Act> kMemorySwitch = kSettings + kToggleMemory + kMemorySaveAndBack;

class DemoDisplay : public DemoPlay {
 protected:
  void TearDown() override {
    host::remove_clock_listener(LoseSurfacesOnTime);
    g_lose_at = 0;
    g_screen = nullptr;
    g_draw3d = nullptr;
    g_paused.clear();
    SetupRecord = {};
    DemoPlay::TearDown();
  }
  // Plays from the title, `title` there first, then a new game and `acts` in
  // the dungeon a second apart, each pause seen; back at the title at the end.
  void Play(const std::vector<Act>& title, const std::vector<Act>& acts) {
    g_screen = &host_;
    g_draw3d = demoplay::BuiltIn("draw3d");
    ASSERT_NE(g_draw3d, nullptr);
    ScriptRegisterFunction(&MacroList, "draw3d", SeePause, nullptr);
    host::add_clock_listener(LoseSurfacesOnTime);
    SetVarInt("OPENING_SEEN", 1);
    const std::vector<Act> all = title + Press({key::Return, key::Return, key::Return, key::Return}) + acts +
                                 Press({key::Escape, key::Down, key::Return, key::Left, key::Return});
    uint64_t frame = host_.frames_presented() + 60;
    for (const Act& a : all) {
      if (a.key) {
        host_.key_press(frame, a.key);
      } else if (a.window_event) {
        host::Event e;
        e.type = a.event;
        host_.push(frame, e);
      } else if (a.lose_surfaces) {
        // Set when the script is laid out: the frame it stands for is ahead.
        g_lose_at = frame;
      }
      frame += 60;
    }
    host_.close(frame + 3000);
    ASSERT_NO_THROW(TitlePass());
    if (!title.empty()) {
      ASSERT_NO_THROW(TitlePass());  // the title's choice was not the game
    }
    ScriptRegisterFunction(&MacroList, "draw3d", g_draw3d, nullptr);
    EXPECT_EQ(BoxTexts(), "");
  }
  // Pixels of two screens that differ.
  static size_t Differ(const std::vector<uint32_t>& got, const std::vector<uint32_t>& want) {
    size_t differ = got.size() != want.size();
    for (size_t i = 0; i < got.size() && i < want.size(); ++i) differ += (got[i] & 0xFFFFFF) != (want[i] & 0xFFFFFF);
    return differ;
  }
  // Pixels of the 3-D view's band left of the minimap that are far from black.
  static size_t Lit(const std::vector<uint32_t>& screen) {
    size_t lit = 0;
    for (int y = 40; y < 480; ++y)
      for (int x = 0; x < 270; ++x) {
        const uint32_t px = screen[static_cast<size_t>(y) * 640 + x];
        lit += ((px >> 16) & 0xFF) + ((px >> 8) & 0xFF) + (px & 0xFF) > 48;
      }
    return lit;
  }
  // Every pause after the first shows the dungeon exactly as the first did.
  void ExpectEveryPauseAsTheFirst(size_t pauses) {
    ASSERT_EQ(g_paused.size(), pauses);
    EXPECT_GT(Lit(g_paused[0]), 270u * 440 / 2) << "the view before any change is not drawn";
    for (size_t i = 1; i < g_paused.size(); ++i) EXPECT_EQ(Differ(g_paused[i], g_paused[0]), 0u) << "pause " << i;
  }
};

// To full screen and back again, from the dungeon's pause menu; at the last
// pause nothing was changed.
TEST_P(DemoDisplay, TheViewIsDrawnAfterEverySwitchBetweenWindowAndFullScreen) {
  ASSERT_TRUE(Start()) << BoxTexts();
  ASSERT_NO_FATAL_FAILURE(Play({}, kScreenSwitch + kScreenSwitch + kResume));
  EXPECT_FALSE(dxfullscreen);
  ExpectEveryPauseAsTheFirst(4);
}

// Full screen chosen at the title, then the window and full screen again in
// the dungeon.
TEST_P(DemoDisplay, TheViewIsDrawnAfterASwitchFromAFullScreenChosenAtTheTitle) {
  ASSERT_TRUE(Start()) << BoxTexts();
  const std::vector<Act> title = Press({key::Down, key::Down, key::Return}) + kToggleScreen + kScreenSaveAndBack;
  ASSERT_NO_FATAL_FAILURE(Play(title, kScreenSwitch + kScreenSwitch + kResume));
  EXPECT_TRUE(dxfullscreen);
  ExpectEveryPauseAsTheFirst(4);
}

// Video memory on draws the fog to other distances; off again, the view is
// the one it was, and on again, the one it was on.
TEST_P(DemoDisplay, TheViewIsDrawnAfterVideoMemoryIsTurnedOnAndOff) {
  ASSERT_TRUE(Start()) << BoxTexts();
  ASSERT_NO_FATAL_FAILURE(Play({}, kMemorySwitch + kMemorySwitch + kMemorySwitch + kMemorySwitch));
  ASSERT_EQ(g_paused.size(), 5u);
  for (size_t i = 0; i < g_paused.size(); ++i)
    EXPECT_GT(Lit(g_paused[i]), 270u * 440 / 2) << "pause " << i << " has no view";
  EXPECT_EQ(Differ(g_paused[2], g_paused[0]), 0u);
  EXPECT_EQ(Differ(g_paused[4], g_paused[0]), 0u);
  EXPECT_EQ(Differ(g_paused[3], g_paused[1]), 0u);
}

// Surfaces lost while the dungeon is shown, once in the window and once in
// full screen, are given back by the next pump, and the next frame is whole.
TEST_P(DemoDisplay, TheViewIsDrawnAfterTheSurfacesAreLostAndGivenBack) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Act lose;
  lose.lose_surfaces = true;
  ASSERT_NO_FATAL_FAILURE(Play({}, std::vector<Act>{lose} + kScreenSwitch + std::vector<Act>{lose} + kResume));
  ExpectEveryPauseAsTheFirst(3);
}

// A window over the game's, focus taken and given back, the game's window
// made an icon and opened again.
TEST_P(DemoDisplay, TheViewIsDrawnAfterAnotherWindowCoversTheGame) {
  ASSERT_TRUE(Start()) << BoxTexts();
  auto event = [](host::EventType t) {
    Act a;
    a.window_event = true;
    a.event = t;
    return std::vector<Act>{a};
  };
  const std::vector<Act> covered =
      event(host::EventType::FocusLost) + event(host::EventType::Exposed) + event(host::EventType::FocusGained);
  const std::vector<Act> iconic = event(host::EventType::FocusLost) + event(host::EventType::Minimized) +
                                  event(host::EventType::Restored) + event(host::EventType::FocusGained);
  ASSERT_NO_FATAL_FAILURE(Play({}, covered + kResume + kScreenSwitch + iconic + kScreenSwitch + kResume));
  ExpectEveryPauseAsTheFirst(5);
}

INSTANTIATE_TEST_SUITE_P(Depths, DemoDisplay, ::testing::Values(16, 24, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

}  // namespace
