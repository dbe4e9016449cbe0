#include "platform/host/headless_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace host {

namespace {

const char* ButtonsName(MessageButtons b) {
  switch (b) {
    case MessageButtons::Ok: return "OK";
    case MessageButtons::OkCancel: return "OK/Cancel";
    case MessageButtons::YesNo: return "Yes/No";
    case MessageButtons::YesNoCancel: return "Yes/No/Cancel";
    case MessageButtons::RetryCancel: return "Retry/Cancel";
    case MessageButtons::AbortRetryIgnore: return "Abort/Retry/Ignore";
  }
  return "?";
}

const char* IconName(MessageIcon i) {
  switch (i) {
    case MessageIcon::None: return "none";
    case MessageIcon::Stop: return "stop";
    case MessageIcon::Warning: return "warning";
    case MessageIcon::Information: return "information";
    case MessageIcon::Question: return "question";
  }
  return "?";
}

}  // namespace

HeadlessHost::HeadlessHost() = default;
HeadlessHost::~HeadlessHost() = default;

namespace {

std::mutex g_listeners_mutex;
std::vector<ClockListener> g_listeners;

void NotifyClock(uint64_t now) {
  std::vector<ClockListener> copy;
  {
    std::lock_guard<std::mutex> lock(g_listeners_mutex);
    copy = g_listeners;
  }
  for (ClockListener fn : copy) fn(now);
}

}  // namespace

void add_clock_listener(ClockListener fn) {
  std::lock_guard<std::mutex> lock(g_listeners_mutex);
  if (fn && std::find(g_listeners.begin(), g_listeners.end(), fn) == g_listeners.end())
    g_listeners.push_back(fn);
}

void remove_clock_listener(ClockListener fn) {
  std::lock_guard<std::mutex> lock(g_listeners_mutex);
  g_listeners.erase(std::remove(g_listeners.begin(), g_listeners.end(), fn), g_listeners.end());
}

uint64_t HeadlessHost::now_us() { return clock_us_; }

void HeadlessHost::set_clock(uint64_t us) {
  bool forward = us > clock_us_;
  clock_us_ = us;
  if (forward) NotifyClock(clock_us_);
}

void HeadlessHost::advance_clock(uint64_t us) {
  clock_us_ += us;
  if (us) NotifyClock(clock_us_);
}

void HeadlessHost::sleep_us(uint64_t us) { advance_clock(us); }

void HeadlessHost::wait_vblank() {
  // Ticks fall at k * 1,000,000 / 60 microseconds, rounded up.
  uint64_t tick = clock_us_ * 60 / 1000000 + 1;
  clock_us_ = (tick * 1000000 + 59) / 60;
  NotifyClock(clock_us_);
}

void HeadlessHost::desktop_size(int& w, int& h) {
  w = desktop_w_;
  h = desktop_h_;
}

bool HeadlessHost::open_window(const std::string& title_utf8, int w, int h, bool fullscreen) {
  title_ = title_utf8;
  win_w_ = w;
  win_h_ = h;
  fullscreen_ = fullscreen;
  window_open_ = true;
  shown_ = true;
  return true;
}

void HeadlessHost::close_window() { window_open_ = false; }

void HeadlessHost::present(const uint32_t* pixels, int w, int h, int pitch) {
  ++presented_;
  if (frames_kept_ == 0 || !pixels || w <= 0 || h <= 0) return;
  Frame f;
  f.w = w;
  f.h = h;
  f.time_us = clock_us_;
  f.index = presented_ - 1;
  f.pixels.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(pixels) +
                                                            static_cast<size_t>(y) * pitch);
    std::copy(row, row + w, f.pixels.begin() + static_cast<size_t>(y) * w);
  }
  frames_.push_back(std::move(f));
  while (frames_.size() > frames_kept_) frames_.pop_front();
}

void HeadlessHost::Track(const Event& e) {
  switch (e.type) {
    case EventType::FocusGained: focused_ = true; break;
    case EventType::FocusLost: focused_ = false; break;
    case EventType::Minimized: minimized_ = true; break;
    case EventType::Restored: minimized_ = false; break;
    case EventType::MouseMove:
      mouse_.x = e.x, mouse_.y = e.y;
      mouse_.inside = e.x >= 0 && e.y >= 0 && e.x < win_w_ && e.y < win_h_;
      break;
    case EventType::MouseDown:
      mouse_.x = e.x, mouse_.y = e.y;
      mouse_.buttons |= 1u << (e.button - 1);
      break;
    case EventType::MouseUp:
      mouse_.x = e.x, mouse_.y = e.y;
      mouse_.buttons &= ~(1u << (e.button - 1));
      break;
    default: break;
  }
}

bool HeadlessHost::poll_event(Event& e) {
  auto it = script_.begin();
  if (it == script_.end() || it->first > presented_) return false;
  e = std::move(it->second);
  script_.erase(it);
  Track(e);
  return true;
}

void HeadlessHost::wait_event(Event& e) {
  if (poll_event(e)) return;
  auto it = script_.begin();
  if (it == script_.end()) {
    // Nothing more will ever come: ask the program to close rather than hang.
    e = Event{};
    e.type = EventType::Close;
    return;
  }
  // Nothing to present while waiting, so the script moves on to its next frame.
  presented_ = it->first;
  poll_event(e);
}

void HeadlessHost::push(uint64_t frame, Event e) { script_.emplace(frame, std::move(e)); }

void HeadlessHost::key_down(uint64_t frame, int scancode) {
  Event e;
  e.type = EventType::KeyDown;
  e.scancode = scancode;
  push(frame, e);
}

void HeadlessHost::key_up(uint64_t frame, int scancode) {
  Event e;
  e.type = EventType::KeyUp;
  e.scancode = scancode;
  push(frame, e);
}

void HeadlessHost::key_press(uint64_t frame, int scancode) {
  key_down(frame, scancode);
  key_up(frame + 1, scancode);
}

void HeadlessHost::text(uint64_t frame, const std::string& utf8) {
  Event e;
  e.type = EventType::Text;
  e.text = utf8;
  push(frame, e);
}

void HeadlessHost::compose(uint64_t frame, const std::string& utf8, int cursor, int length) {
  Event e;
  e.type = EventType::Composition;
  e.text = utf8;
  e.cursor = cursor;
  e.length = length;
  push(frame, e);
}

void HeadlessHost::close(uint64_t frame) {
  Event e;
  e.type = EventType::Close;
  push(frame, e);
}

int HeadlessHost::joystick_count() {
  int n = 0;
  for (auto& [i, s] : joysticks_) n = s.present ? std::max(n, i + 1) : n;
  return n;
}

JoystickState HeadlessHost::joystick(int index) {
  auto it = joysticks_.find(index);
  return it == joysticks_.end() ? JoystickState{} : it->second;
}

void HeadlessHost::set_joystick(int index, const JoystickState& s) {
  if (index >= 0 && index < kMaxJoysticks) joysticks_[index] = s;
}

bool HeadlessHost::open_audio(int rate, int channels, AudioCallback cb, void* user) {
  std::lock_guard<std::mutex> lock(audio_mutex_);
  audio_cb_ = cb;
  audio_user_ = user;
  audio_rate_ = rate;
  audio_channels_ = channels;
  return cb != nullptr;
}

void HeadlessHost::close_audio() {
  std::lock_guard<std::mutex> lock(audio_mutex_);
  audio_cb_ = nullptr;
  audio_user_ = nullptr;
}

std::vector<int16_t> HeadlessHost::pull_audio(int frames) {
  std::lock_guard<std::mutex> lock(audio_mutex_);
  int channels = audio_channels_ > 0 ? audio_channels_ : 2;
  std::vector<int16_t> out(static_cast<size_t>(std::max(frames, 0)) * channels, 0);
  if (audio_cb_ && frames > 0) audio_cb_(audio_user_, out.data(), frames);
  return out;
}

MessageResult HeadlessHost::message_box(const std::string& caption, const std::string& text,
                                        MessageButtons buttons, MessageIcon icon, int default_button,
                                        MessageView* view) {
  MessageResult r = ButtonResult(buttons, default_button);
  if (!answers_.empty()) {
    r = answers_.front();
    answers_.pop_front();
  }
  MessageBoxRecord record{caption, text, buttons, icon, r, default_button, 0, 0, {}};
  // What a window would have shown, kept for the tests that look at it.
  if (view && view->width() > 0 && view->height() > 0) {
    record.picture_w = view->width();
    record.picture_h = view->height();
    const uint32_t* p = view->pixels();
    record.picture.assign(p, p + static_cast<size_t>(record.picture_w) * record.picture_h);
  }
  boxes_.push_back(std::move(record));
  if (!quiet_)
    std::fprintf(stderr, "[message box] %s (%s, %s): %s\n", caption.c_str(), ButtonsName(buttons),
                 IconName(icon), text.c_str());
  return r;
}

void HeadlessHost::exit_process(int code, bool run_handlers) {
  if (catch_exits_) throw ProcessExit{code, run_handlers};
  std::fflush(nullptr);
  if (run_handlers) std::exit(code);
  _exit(code);
}

void HeadlessHost::set_icon(const uint32_t* argb, int w, int h) {
  if (!argb || w <= 0 || h <= 0) w = h = 0;
  icon_.assign(argb, argb + static_cast<size_t>(w) * h);
  icon_w_ = w, icon_h_ = h;
}

HeadlessHost* headless() { return get().headless() ? static_cast<HeadlessHost*>(&get()) : nullptr; }

}  // namespace host
