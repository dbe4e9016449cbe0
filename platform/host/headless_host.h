// A host without a window: a virtual clock, input scripted frame by frame, every
// presented frame kept for inspection, a null audio device that tests pull from,
// and message boxes that are recorded and answered from a script.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "platform/host/host.h"

namespace host {

struct Frame {
  int w = 0, h = 0;
  uint64_t time_us = 0;  // the clock when it was presented
  uint64_t index = 0;    // 0 for the first frame presented
  std::vector<uint32_t> pixels;  // w * h, 0x00RRGGBB
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * w + x]; }
};

struct MessageBoxRecord {
  std::string caption, text;  // UTF-8
  MessageButtons buttons;
  MessageIcon icon;
  MessageResult answer;
  int default_button = 0;
  int picture_w = 0, picture_h = 0;
  std::vector<uint32_t> picture;  // the box as drawn, 0x00RRGGBB (empty without a view)
};

class HeadlessHost : public Host {
 public:
  HeadlessHost();
  ~HeadlessHost() override;

  const char* name() const override { return "headless"; }
  bool headless() const override { return true; }

  uint64_t now_us() override;
  uint64_t coarse_now_us() override { return clock_us_; }
  void sleep_us(uint64_t us) override;
  void wait_vblank() override;

  void desktop_size(int& w, int& h) override;
  bool open_window(const std::string& title_utf8, int w, int h, bool fullscreen) override;
  void close_window() override;
  void resize_window(int w, int h) override { win_w_ = w, win_h_ = h; }
  bool window_open() const override { return window_open_; }
  void set_title(const std::string& title_utf8) override { title_ = title_utf8; }
  void set_icon(const uint32_t* argb, int w, int h) override;
  void set_fullscreen(bool fullscreen) override { fullscreen_ = fullscreen; }
  void show_window(bool shown) override { shown_ = shown; }
  bool focused() const override { return focused_; }
  bool minimized() const override { return minimized_; }
  void present(const uint32_t* pixels, int w, int h, int pitch) override;
  void show_cursor(bool shown) override { cursor_shown_ = shown; }

  bool poll_event(Event& e) override;
  void wait_event(Event& e) override;
  MouseState mouse() override { return mouse_; }
  int joystick_count() override;
  JoystickState joystick(int index) override;
  void start_text_input() override { text_input_ = true; }
  void stop_text_input() override { text_input_ = false; }
  void set_text_input_rect(int x, int y, int w, int h) override { text_rect_ = {x, y, w, h}; }

  bool open_audio(int rate, int channels, AudioCallback cb, void* user) override;
  void close_audio() override;
  void lock_audio() override { audio_mutex_.lock(); }
  void unlock_audio() override { audio_mutex_.unlock(); }

  MessageResult message_box(const std::string& caption, const std::string& text, MessageButtons buttons,
                            MessageIcon icon, int default_button = 0, MessageView* view = nullptr) override;
  [[noreturn]] void exit_process(int code, bool run_handlers) override;

  // --- Test controls ---
  // The clock, in microseconds.
  void set_clock(uint64_t us);
  void advance_clock(uint64_t us);
  void set_desktop_size(int w, int h) { desktop_w_ = w, desktop_h_ = h; }

  // Scripted input: the event is delivered once `frame` frames have been
  // presented (0 = at once). Events of one frame keep their order.
  void push(uint64_t frame, Event e);
  void key_down(uint64_t frame, int scancode);
  void key_up(uint64_t frame, int scancode);
  void key_press(uint64_t frame, int scancode);  // down at frame, up at frame + 1
  void text(uint64_t frame, const std::string& utf8);
  // The input method's composition (empty ends it), its caret and the characters
  // selected from the caret on, in code points.
  void compose(uint64_t frame, const std::string& utf8, int cursor, int length = 0);
  void close(uint64_t frame);
  bool script_done() const { return script_.empty(); }
  void clear_script() { script_.clear(); }  // drops input not yet delivered
  void set_mouse(const MouseState& m) { mouse_ = m; }
  void set_joystick(int index, const JoystickState& s);

  // Frames: the last `kept` presented are kept (default 16; 0 keeps none).
  void set_frames_kept(size_t kept) { frames_kept_ = kept; }
  uint64_t frames_presented() const { return presented_; }
  const std::deque<Frame>& frames() const { return frames_; }
  const Frame* last_frame() const { return frames_.empty() ? nullptr : &frames_.back(); }

  // Audio: runs the device's callback for `frames` frames (zeros without one).
  std::vector<int16_t> pull_audio(int frames);
  bool audio_open() const { return audio_cb_ != nullptr; }
  int audio_rate() const { return audio_rate_; }
  int audio_channels() const { return audio_channels_; }

  // Message boxes: answers are taken in order; without one, the first button.
  void answer_next(MessageResult r) { answers_.push_back(r); }
  const std::vector<MessageBoxRecord>& message_boxes() const { return boxes_; }
  void clear_message_boxes() { boxes_.clear(); }  // long runs keep only what they look at
  void set_quiet(bool quiet) { quiet_ = quiet; }  // no copy of boxes on stderr

  // With catching on, exit_process throws ProcessExit instead of ending.
  void set_catch_exits(bool on) { catch_exits_ = on; }

  const std::string& title() const { return title_; }
  // The icon last set (empty, 0 x 0, when none was).
  const std::vector<uint32_t>& icon() const { return icon_; }
  int icon_width() const { return icon_w_; }
  int icon_height() const { return icon_h_; }
  bool fullscreen() const { return fullscreen_; }
  // The window's logical size as last opened or resized.
  int window_width() const { return win_w_; }
  int window_height() const { return win_h_; }
  bool text_input_active() const { return text_input_; }
  struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect&) const = default;
  };
  // The rectangle last given for the candidate list (all 0 until one is).
  Rect text_input_rect() const { return text_rect_; }
  bool cursor_shown() const { return cursor_shown_; }
  bool shown() const { return shown_; }

 private:
  void Track(const Event& e);

  std::atomic<uint64_t> clock_us_{0};  // read by timer threads in tests
  int desktop_w_ = 1024, desktop_h_ = 768;
  bool window_open_ = false, fullscreen_ = false, shown_ = true;
  bool focused_ = true, minimized_ = false, cursor_shown_ = true, text_input_ = false;
  std::string title_;
  std::vector<uint32_t> icon_;
  int icon_w_ = 0, icon_h_ = 0;
  int win_w_ = 0, win_h_ = 0;
  Rect text_rect_;

  std::multimap<uint64_t, Event> script_;
  MouseState mouse_;
  std::map<int, JoystickState> joysticks_;

  uint64_t presented_ = 0;
  size_t frames_kept_ = 16;
  std::deque<Frame> frames_;

  std::mutex audio_mutex_;
  AudioCallback audio_cb_ = nullptr;
  void* audio_user_ = nullptr;
  int audio_rate_ = 0, audio_channels_ = 0;

  std::deque<MessageResult> answers_;
  std::vector<MessageBoxRecord> boxes_;
  bool quiet_ = false;
  bool catch_exits_ = false;
};

// The current host as a headless one (null when the current host is not headless).
HeadlessHost* headless();

// Called, on the thread that moved it, after the clock of any headless host moved
// forward (sleep, vertical-blank wait, set or advance): this is how work that is
// due at a time (multimedia timers) runs deterministically on the virtual clock.
using ClockListener = void (*)(uint64_t now_us);
void add_clock_listener(ClockListener fn);     // once; adding it again does nothing
void remove_clock_listener(ClockListener fn);

}  // namespace host
