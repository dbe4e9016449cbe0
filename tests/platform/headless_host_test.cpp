#include <gtest/gtest.h>

#include <vector>

#include "platform/host/headless_host.h"

namespace {

using host::Event;
using host::EventType;
using host::HeadlessHost;

TEST(HeadlessClock, VerticalBlankTicksAtSixtyHertz) {
  HeadlessHost h;
  h.wait_vblank();
  EXPECT_EQ(h.now_us(), 16667u);  // ceil(1,000,000 / 60)
  h.wait_vblank();
  EXPECT_EQ(h.now_us(), 33334u);
  h.wait_vblank();
  EXPECT_EQ(h.now_us(), 50000u);  // ticks stay on the 60 Hz grid, no drift
  // Sixty waits make exactly one second from a tick.
  for (int i = 0; i < 57; ++i) h.wait_vblank();
  EXPECT_EQ(h.now_us(), 1000000u);
  // From between two ticks a wait reaches the next one.
  h.sleep_us(5000);
  h.wait_vblank();
  EXPECT_EQ(h.now_us(), 1016667u);
}

TEST(HeadlessInput, EventsArriveAtTheirFrame) {
  HeadlessHost h;
  h.key_down(0, host::key::Return);
  h.key_press(2, host::key::Escape);
  h.text(2, "あ");
  Event e;
  ASSERT_TRUE(h.poll_event(e));
  EXPECT_EQ(e.type, EventType::KeyDown);
  EXPECT_EQ(e.scancode, host::key::Return);
  EXPECT_FALSE(h.poll_event(e));  // the rest belongs to later frames
  uint32_t px = 0;
  h.present(&px, 1, 1, 4);
  EXPECT_FALSE(h.poll_event(e));
  h.present(&px, 1, 1, 4);
  ASSERT_TRUE(h.poll_event(e));
  EXPECT_EQ(e.type, EventType::KeyDown);
  EXPECT_EQ(e.scancode, host::key::Escape);
  ASSERT_TRUE(h.poll_event(e));  // same frame: kept in order
  EXPECT_EQ(e.type, EventType::Text);
  EXPECT_FALSE(h.poll_event(e));
  h.present(&px, 1, 1, 4);
  ASSERT_TRUE(h.poll_event(e));
  EXPECT_EQ(e.type, EventType::KeyUp);
  EXPECT_TRUE(h.script_done());
}

TEST(HeadlessInput, FocusMinimiseAndMouseFollowTheEvents) {
  HeadlessHost h;
  h.open_window("t", 640, 480, false);
  EXPECT_TRUE(h.focused());
  auto make = [](EventType t) {
    Event ev;
    ev.type = t;
    return ev;
  };
  Event lost = make(EventType::FocusLost), mini = make(EventType::Minimized), move = make(EventType::MouseMove);
  move.x = 100, move.y = 200;
  Event down = make(EventType::MouseDown);
  down.button = host::kButtonRight, down.x = 101, down.y = 201;
  for (const Event& ev : {lost, mini, move, down}) h.push(0, ev);
  Event e;
  while (h.poll_event(e)) {
  }
  EXPECT_FALSE(h.focused());
  EXPECT_TRUE(h.minimized());
  EXPECT_EQ(h.mouse().x, 101);
  EXPECT_EQ(h.mouse().buttons, 1u << (host::kButtonRight - 1));
  EXPECT_TRUE(h.mouse().inside);
}

TEST(HeadlessInput, WaitingNeverBlocks) {
  HeadlessHost h;
  h.key_down(5, host::key::A);
  Event e;
  h.wait_event(e);  // jumps ahead to frame 5
  EXPECT_EQ(e.type, EventType::KeyDown);
  h.wait_event(e);  // nothing left: the program is asked to close
  EXPECT_EQ(e.type, EventType::Close);
}

TEST(HeadlessFrames, KeepsTheLastFramesWithTheirPixels) {
  HeadlessHost h;
  h.set_frames_kept(2);
  // A 2 x 2 frame with a padded pitch of 3 pixels.
  std::vector<uint32_t> px = {1, 2, 0xDEAD, 3, 4, 0xBEEF};
  for (uint32_t k = 0; k < 3; ++k) {
    px[0] = 10 + k;
    h.present(px.data(), 2, 2, 3 * 4);
    h.wait_vblank();
  }
  EXPECT_EQ(h.frames_presented(), 3u);
  ASSERT_EQ(h.frames().size(), 2u);
  const host::Frame* f = h.last_frame();
  EXPECT_EQ(f->index, 2u);
  EXPECT_EQ(f->at(0, 0), 12u);
  EXPECT_EQ(f->at(1, 0), 2u);
  EXPECT_EQ(f->at(0, 1), 3u);
  EXPECT_EQ(f->at(1, 1), 4u);
  EXPECT_EQ(f->time_us, 33334u);
}

TEST(HeadlessMessageBoxes, RecordedAndAnsweredFromTheScript) {
  HeadlessHost h;
  h.set_quiet(true);
  h.answer_next(host::MessageResult::No);
  EXPECT_EQ(h.message_box("c", "t", host::MessageButtons::YesNo, host::MessageIcon::Question),
            host::MessageResult::No);
  EXPECT_EQ(h.message_box("c", "t", host::MessageButtons::YesNo, host::MessageIcon::Question),
            host::MessageResult::Yes);  // unscripted: the first button
  ASSERT_EQ(h.message_boxes().size(), 2u);
  EXPECT_EQ(h.message_boxes()[0].answer, host::MessageResult::No);
}

TEST(HeadlessAudio, TestsPullFromTheDevice) {
  HeadlessHost h;
  EXPECT_EQ(h.pull_audio(4), std::vector<int16_t>(8, 0));  // no device: silence
  int calls = 0;
  auto cb = [](void* user, int16_t* out, int frames) {
    ++*static_cast<int*>(user);
    for (int i = 0; i < frames * 2; ++i) out[i] = static_cast<int16_t>(i);
  };
  ASSERT_TRUE(h.open_audio(44100, 2, cb, &calls));
  std::vector<int16_t> s = h.pull_audio(3);
  EXPECT_EQ(s, (std::vector<int16_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(calls, 1);
  h.close_audio();
  EXPECT_FALSE(h.audio_open());
}

TEST(HeadlessExit, CaughtWhenAsked) {
  HeadlessHost h;
  h.set_catch_exits(true);
  try {
    h.exit_process(3, true);
    FAIL();
  } catch (const host::ProcessExit& e) {
    EXPECT_EQ(e.code, 3);
    EXPECT_TRUE(e.handlers);
  }
}

TEST(HostSelection, DefaultsToHeadless) {
  host::set(nullptr);
  EXPECT_TRUE(host::get().headless());
  HeadlessHost mine;
  host::set(&mine);
  EXPECT_EQ(host::headless(), &mine);
  host::set(nullptr);
}

}  // namespace
