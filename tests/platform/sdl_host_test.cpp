// The SDL2 host on SDL's dummy video and audio drivers: everything short of a
// real display works, so the host's own logic runs on any machine.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host/sdl_host.h"

#include "platform/win32/msgbox_view.h"

// With a display named, SDL's video start loads D-Bus, whose connection keeps
// a buffer for the life of the process; the leak checker reports it from
// D-Bus's own frames only, so our code's leaks are still reported.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

const char* U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

class SdlHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
};

TEST_F(SdlHostTest, OpensAWindowAndPresents) {
  auto h = host::MakeSdlHost();
  EXPECT_FALSE(h->headless());
  int w = 0, hh = 0;
  h->desktop_size(w, hh);
  EXPECT_GT(w, 0);
  EXPECT_GT(hh, 0);
  std::vector<uint32_t> icon(32 * 32, 0xFF2040A0);
  h->set_icon(icon.data(), 32, 32);  // kept for the window to come
  ASSERT_TRUE(h->open_window("dolvicar テスト", 640, 480, false));
  EXPECT_TRUE(h->window_open());
  h->set_icon(icon.data(), 32, 32);
  h->set_icon(nullptr, 0, 0);
  std::vector<uint32_t> frame(640 * 480, 0x00336699);
  h->present(frame.data(), 640, 480, 640 * 4);
  h->set_fullscreen(true);
  h->present(frame.data(), 640, 480, 640 * 4);
  h->set_fullscreen(false);
  host::Event e;
  while (h->poll_event(e)) {
  }
  h->start_text_input();
  h->set_text_input_rect(10, 10, 100, 20);
  h->stop_text_input();
  EXPECT_EQ(h->joystick_count(), 0);
  EXPECT_FALSE(h->joystick(0).present);
  h->close_window();
  EXPECT_FALSE(h->window_open());
}

void PushKey(Uint32 type, SDL_Scancode code) {
  SDL_Event e{};
  e.type = type;
  e.key.keysym.scancode = code;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  SDL_PushEvent(&e);
}

void PushClick(int x, int y) {
  for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
    SDL_Event e{};
    e.type = type;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }
}

TEST_F(SdlHostTest, MessageBoxesAreDrawnByTheGameAndAnsweredByKeysOrTheMouse) {
  auto h = host::MakeSdlHost();
  int w = 0, hh = 0;
  h->desktop_size(w, hh);  // starts the video

  // No game window yet: the box has a window of its own. A key let go while
  // it is up still reaches the game afterwards.
  win32::MessageBoxView ask("c", "t", host::MessageButtons::YesNo, host::MessageIcon::Question, 0);
  PushKey(SDL_KEYUP, SDL_SCANCODE_LEFT);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_RIGHT);
  PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN);
  EXPECT_EQ(h->message_box("c", "t", host::MessageButtons::YesNo, host::MessageIcon::Question, 0, &ask),
            host::MessageResult::No);
  host::Event e;
  bool left_up = false;
  // Events that come back after a poll began arrive at the next poll.
  for (int poll = 0; poll < 2; ++poll)
    while (h->poll_event(e)) left_up |= e.type == host::EventType::KeyUp && e.scancode == host::key::Left;
  EXPECT_TRUE(left_up);

  // Over the game's window, centred in its picture: a click on Cancel.
  ASSERT_TRUE(h->open_window("game", 640, 480, false));
  std::vector<uint32_t> frame(640 * 480, 0x00336699);
  h->present(frame.data(), 640, 480, 640 * 4);
  win32::MessageBoxView sure("c", "t", host::MessageButtons::OkCancel, host::MessageIcon::Warning, 0);
  const auto& cancel = sure.button_rect(1);
  PushClick((640 - sure.width()) / 2 + cancel.x + 4, (480 - sure.height()) / 2 + cancel.y + 4);
  EXPECT_EQ(h->message_box("c", "t", host::MessageButtons::OkCancel, host::MessageIcon::Warning, 0, &sure),
            host::MessageResult::Cancel);
  h->close_window();
}

// Without a display SDL would fall back to a driver that shows nothing, and the
// game would run unseen: the window is refused instead.
TEST_F(SdlHostTest, WithoutADisplayNoWindowOpensAndBoxesGoToTheTerminal) {
  std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
  std::string wayland = getenv("WAYLAND_DISPLAY") ? getenv("WAYLAND_DISPLAY") : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  {
    auto h = host::MakeSdlHost();
    EXPECT_FALSE(h->open_window("game", 640, 480, false));
    win32::MessageBoxView view("c", "t", host::MessageButtons::YesNo, host::MessageIcon::None, 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(h->message_box("c", "t", host::MessageButtons::YesNo, host::MessageIcon::None, 1, &view),
              host::MessageResult::No);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("c: t"), std::string::npos);
  }
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
}

// A display that is named but cannot be reached is what the refusal tells,
// not that none is set.
TEST_F(SdlHostTest, ADisplayThatCannotBeReachedIsNamedWhenTheWindowIsRefused) {
  std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
  std::string wayland = getenv("WAYLAND_DISPLAY") ? getenv("WAYLAND_DISPLAY") : "";
  setenv("DISPLAY", ":32767", 1);
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("SDL_VIDEODRIVER");
  {
    auto h = host::MakeSdlHost();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(h->open_window("game", 640, 480, false));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot connect to DISPLAY=:32767"), std::string::npos);
  }
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (display.empty())
    unsetenv("DISPLAY");
  else
    setenv("DISPLAY", display.c_str(), 1);
  if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
}

TEST_F(SdlHostTest, LongCompositionsArriveWholeWithTheirSelection) {
  auto h = host::MakeSdlHost();
  ASSERT_TRUE(h->open_window("ime", 640, 480, false));
  host::Event e;
  while (h->poll_event(e)) {
  }
  // SDL sends a composition of more than 31 bytes only in the extended event,
  // and only when asked to.
  EXPECT_TRUE(SDL_GetHintBoolean(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, SDL_FALSE));
  const std::string text = U8(u8"今日はとても良い天気ですね散歩に行きましょう");
  SDL_Event ev{};
  ev.type = SDL_TEXTEDITING_EXT;
  ev.editExt.text = SDL_strdup(text.c_str());  // the host frees it
  ev.editExt.start = 5;
  ev.editExt.length = 4;
  ASSERT_EQ(SDL_PushEvent(&ev), 1);
  ev = SDL_Event{};
  ev.type = SDL_TEXTEDITING;
  std::strcpy(ev.edit.text, U8(u8"かな"));
  ev.edit.start = 1;
  ev.edit.length = 1;
  ASSERT_EQ(SDL_PushEvent(&ev), 1);
  std::vector<host::Event> got;
  while (h->poll_event(e))
    if (e.type == host::EventType::Composition) got.push_back(e);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].text, text);
  EXPECT_EQ(got[0].cursor, 5);
  EXPECT_EQ(got[0].length, 4);
  EXPECT_EQ(got[1].text, U8(u8"かな"));
  EXPECT_EQ(got[1].cursor, 1);
  EXPECT_EQ(got[1].length, 1);
}

// SDL's memory, freed through a wrapper that notes one pointer going, while
// a watch is set.
SDL_free_func g_sdl_free = nullptr;
const void* g_watched = nullptr;
bool g_watched_freed = false;
void WatchingFree(void* p) {
  if (p && p == g_watched) g_watched_freed = true;
  g_sdl_free(p);
}

struct FreeWatch {
  SDL_malloc_func m;
  SDL_calloc_func c;
  SDL_realloc_func r;
  FreeWatch() {
    SDL_GetMemoryFunctions(&m, &c, &r, &g_sdl_free);
    SDL_SetMemoryFunctions(m, c, r, WatchingFree);
  }
  // Text of SDL's own making, to be watched.
  char* Text(const char* text) {
    g_watched_freed = false;
    char* p = SDL_strdup(text);
    g_watched = p;
    return p;
  }
  ~FreeWatch() {
    SDL_SetMemoryFunctions(m, c, r, g_sdl_free);
    g_watched = nullptr;
  }
};

TEST_F(SdlHostTest, ACompositionTypedWhileABoxIsUpIsFreed) {
  auto h = host::MakeSdlHost();
  ASSERT_TRUE(h->open_window("ime", 640, 480, false));
  {
    FreeWatch watch;
    SDL_Event ev{};
    ev.type = SDL_TEXTEDITING_EXT;
    ev.editExt.text = watch.Text(U8(u8"今日はとても良い天気ですね散歩に行きましょう"));
    ASSERT_EQ(SDL_PushEvent(&ev), 1);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN);
    win32::MessageBoxView ok("c", "t", host::MessageButtons::Ok, host::MessageIcon::None, 0);
    EXPECT_EQ(h->message_box("c", "t", host::MessageButtons::Ok, host::MessageIcon::None, 0, &ok),
              host::MessageResult::Ok);
    EXPECT_TRUE(g_watched_freed);
  }
  h->close_window();
}

TEST_F(SdlHostTest, AFileDroppedOnTheWindowLeavesNoNameBehind) {
  auto h = host::MakeSdlHost();
  ASSERT_TRUE(h->open_window("drop", 640, 480, false));
  {
    FreeWatch watch;
    SDL_Event ev{};
    ev.type = SDL_DROPFILE;
    ev.drop.file = watch.Text("/tmp/dropped.txt");
    ASSERT_EQ(SDL_PushEvent(&ev), 1);
    host::Event e;
    while (h->poll_event(e)) {
    }
    EXPECT_TRUE(g_watched_freed);
  }
  h->close_window();
}

TEST_F(SdlHostTest, CandidateListGoesWhereTheScaledPictureShowsIt) {
  auto h = host::MakeSdlHost();
  int x = 0, y = 0, w = 0, hh = 0;
  // In a window the logical picture is the window.
  ASSERT_TRUE(h->open_window("ime", 640, 480, false));
  h->set_text_input_rect(100, 200, 10, 20);
  host::SdlTextInputRect(x, y, w, hh);
  EXPECT_EQ((std::vector<int>{x, y, w, hh}), (std::vector<int>{100, 200, 10, 20}));
  // Full screen on the 1024 x 768 desktop scales it by 1.6.
  int dw = 0, dh = 0;
  h->desktop_size(dw, dh);
  ASSERT_EQ(dw, 1024);
  ASSERT_EQ(dh, 768);
  h->set_fullscreen(true);
  h->set_text_input_rect(100, 200, 10, 20);
  host::SdlTextInputRect(x, y, w, hh);
  EXPECT_EQ((std::vector<int>{x, y, w, hh}), (std::vector<int>{160, 320, 16, 32}));
  // A picture of another shape is centred between bars as well.
  h->close_window();
  ASSERT_TRUE(h->open_window("ime", 640, 400, true));
  h->set_text_input_rect(100, 200, 10, 20);
  host::SdlTextInputRect(x, y, w, hh);
  EXPECT_EQ((std::vector<int>{x, y, w, hh}), (std::vector<int>{160, 64 + 320, 16, 32}));
}

TEST_F(SdlHostTest, AWindowThatGrowsForAMenuBarShowsItsPictureUnscaled) {
  auto h = host::MakeSdlHost();
  ASSERT_TRUE(h->open_window("menu", 640, 480, false));
  h->resize_window(640, 500);
  std::vector<uint32_t> frame(640 * 500, 0x00336699);
  h->present(frame.data(), 640, 500, 640 * 4);
  // Logical and window coordinates still agree: the window grew, not the scale.
  int x = 0, y = 0, w = 0, hh = 0;
  h->set_text_input_rect(100, 490, 10, 10);
  host::SdlTextInputRect(x, y, w, hh);
  EXPECT_EQ((std::vector<int>{x, y, w, hh}), (std::vector<int>{100, 490, 10, 10}));
}

TEST_F(SdlHostTest, ClockIsMonotonicAndVblankAdvancesIt) {
  auto h = host::MakeSdlHost();
  uint64_t a = h->now_us();
  h->wait_vblank();
  uint64_t b = h->now_us();
  // The wait ends in a later 60 Hz tick than the one it started in.
  EXPECT_GT(b * 60 / 1000000, a * 60 / 1000000);
}

TEST_F(SdlHostTest, AudioDeviceOpensAndCloses) {
  auto h = host::MakeSdlHost();
  auto cb = [](void*, int16_t* out, int frames) {
    for (int i = 0; i < frames * 2; ++i) out[i] = 0;
  };
  if (!h->open_audio(44100, 2, cb, nullptr)) GTEST_SKIP() << "no audio driver";
  h->lock_audio();
  h->unlock_audio();
  h->close_audio();
}

TEST_F(SdlHostTest, NoSoundOutputFallsBackToSilence) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  auto h = host::MakeSdlHost();
  auto cb = [](void*, int16_t* out, int frames) {
    for (int i = 0; i < frames * 2; ++i) out[i] = 0;
  };
  EXPECT_TRUE(h->open_audio(44100, 2, cb, nullptr));
  h->close_audio();
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
