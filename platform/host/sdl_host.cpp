#include "platform/host/sdl_host.h"

#include "platform/host/sdl_x11.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

namespace host {

namespace {


SDL_Rect g_text_input_rect{};

struct WindowDeleter {
  void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};
struct RendererDeleter {
  void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
};
struct TextureDeleter {
  void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};
struct JoystickDeleter {
  void operator()(SDL_Joystick* j) const { SDL_JoystickClose(j); }
};

class SdlHost : public Host {
 public:
  SdlHost() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
    // Compositions too long for the editing event's 32 bytes arrive whole in the
    // extended one.
    SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS);
    freq_ = SDL_GetPerformanceFrequency();
    base_ = SDL_GetPerformanceCounter();
    coarse_base_ = CoarseUs();
  }
  ~SdlHost() override {
    close_audio();
    for (auto& j : joysticks_) j.reset();
    texture_.reset();
    renderer_.reset();
    window_.reset();
    SDL_Quit();
  }

  // The kernel's tick clock: no hardware counter is read.
  static uint64_t CoarseUs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000 + static_cast<uint64_t>(t.tv_nsec) / 1000;
  }

  const char* name() const override { return "sdl2"; }
  bool headless() const override { return false; }

  uint64_t now_us() override {
    uint64_t ticks = SDL_GetPerformanceCounter() - base_;
    return ticks / freq_ * 1000000 + ticks % freq_ * 1000000 / freq_;
  }

  uint64_t coarse_now_us() override { return CoarseUs() - coarse_base_; }

  void sleep_us(uint64_t us) override {
    if (us == 0) {
      sched_yield();
      return;
    }
    usleep(static_cast<useconds_t>(std::min<uint64_t>(us, 1000000000)));
  }

  void wait_vblank() override {
    uint64_t now = now_us();
    uint64_t tick = now * 60 / 1000000 + 1;
    uint64_t target = (tick * 1000000 + 59) / 60;
    // Sleep most of the way, then spin the last stretch for an even pace.
    if (target > now + 2000) sleep_us(target - now - 1500);
    while (now_us() < target) sched_yield();
  }

  bool InitVideo() {
    if (video_) return true;
    if (video_failed_) return false;
    bool failed = false;
    std::string reason;
    IgnoreBrokenPipes();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      failed = true;
      reason = SDL_GetError();
    } else {
      // Without a display SDL falls back to drivers that show nothing; the game
      // would run unseen. Only a test that asks for one by name gets it.
      const char* driver = SDL_GetCurrentVideoDriver();
      const char* asked = SDL_getenv("SDL_VIDEODRIVER");
      bool invisible = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                                  std::strcmp(driver, "evdev") == 0);
      if (invisible && !(asked && std::strcmp(asked, driver) == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        // A display that is named but cannot be reached (its server ended,
        // or is not ours to use) is told apart from none at all.
        std::string named;
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
          if (const char* value = SDL_getenv(name); value && *value)
            named += std::string(named.empty() ? "" : " or ") + name + "=" + value;
        failed = true;
        reason = "no display to show a window on (" +
                 (named.empty() ? std::string("DISPLAY and WAYLAND_DISPLAY are not set") : "cannot connect to " + named) +
                 ")";
      }
    }
    if (failed) {
      video_failed_ = true;
      std::fprintf(stderr, "dolvicar: cannot open a window: %s\n", reason.c_str());
      return false;
    }
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    // The window system's own events tell when a window manager changes the
    // window's full-screen state.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    EndOnLostDisplay();
    video_ = true;
    return true;
  }

  void desktop_size(int& w, int& h) override {
    SDL_DisplayMode m;
    if (InitVideo() && SDL_GetDesktopDisplayMode(0, &m) == 0) {
      w = m.w;
      h = m.h;
    } else {
      w = 640;
      h = 480;
    }
  }

  bool open_window(const std::string& title_utf8, int w, int h, bool fullscreen) override {
    if (!InitVideo()) return false;
    close_window();
    logical_w_ = w;
    logical_h_ = h;
    window_.reset(SDL_CreateWindow(title_utf8.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   w, h, SDL_WINDOW_SHOWN));
    if (!window_) return false;
    fullscreen_ = false;
    renderer_.reset(SDL_CreateRenderer(window_.get(), -1, 0));
    if (!renderer_) renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE));
    if (!renderer_) {
      window_.reset();
      return false;
    }
    SDL_RenderSetLogicalSize(renderer_.get(), w, h);
    texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888,
                                     SDL_TEXTUREACCESS_STREAMING, w, h));
    if (!texture_) {
      renderer_.reset();
      window_.reset();
      return false;
    }
    focused_ = true;
    minimized_ = false;
    SDL_StopTextInput();
    ShowIcon();
    if (fullscreen) set_fullscreen(true);
    return true;
  }

  void close_window() override {
    focused_ = false;
    texture_.reset();
    renderer_.reset();
    window_.reset();
  }

  void resize_window(int w, int h) override {
    if (!window_ || w <= 0 || h <= 0 || (w == logical_w_ && h == logical_h_)) return;
    // A full-screen window keeps covering the desktop, with or without a window
    // manager (without one it is only a borderless desktop-sized window).
    if (!fullscreen_) SDL_SetWindowSize(window_.get(), w, h);
    // The picture and the mouse take the new size at once.
    texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, w, h));
    SDL_RenderSetLogicalSize(renderer_.get(), w, h);
    logical_w_ = w;
    logical_h_ = h;
  }

  bool window_open() const override { return window_ != nullptr; }

  void set_title(const std::string& title_utf8) override {
    if (window_) SDL_SetWindowTitle(window_.get(), title_utf8.c_str());
  }

  void set_icon(const uint32_t* argb, int w, int h) override {
    if (!argb || w <= 0 || h <= 0) w = h = 0;
    icon_.assign(argb, argb + static_cast<size_t>(w) * h);
    icon_w_ = w, icon_h_ = h;
    ShowIcon();
  }

  void ShowIcon() {
    if (!window_ || icon_.empty()) return;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(icon_.data(), icon_w_, icon_h_, 32, icon_w_ * 4,
                                                        SDL_PIXELFORMAT_ARGB8888);
    if (!s) return;
    SDL_SetWindowIcon(window_.get(), s);
    SDL_FreeSurface(s);
  }

  // Full screen covers the desktop. A window manager does it on request; a
  // bare X server has nobody to ask, and SDL would then draw for the desktop's
  // size into the unchanged window (a shifted, cut picture that stays so after
  // going back), so there the window is made borderless and desktop-sized.
  void set_fullscreen(bool fullscreen) override {
    if (!window_ || fullscreen == fullscreen_) return;
    SDL_Window* w = window_.get();
    if (HasWindowManager(w)) {
      SDL_SetWindowFullscreen(w, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    } else if (fullscreen) {
      int display = std::max(0, SDL_GetWindowDisplayIndex(w));
      SDL_Rect desk{0, 0, logical_w_, logical_h_};
      SDL_GetDisplayBounds(display, &desk);
      SDL_GetWindowPosition(w, &windowed_x_, &windowed_y_);
      SDL_SetWindowBordered(w, SDL_FALSE);
      SDL_SetWindowSize(w, desk.w, desk.h);
      SDL_SetWindowPosition(w, desk.x, desk.y);
    } else {
      SDL_SetWindowBordered(w, SDL_TRUE);
      SDL_SetWindowSize(w, logical_w_, logical_h_);
      SDL_SetWindowPosition(w, windowed_x_, windowed_y_);
    }
    fullscreen_ = fullscreen;
  }

  // Full screen is the game's setting and the window's size is fixed: a window
  // manager's own full-screen action (its key or menu) is undone, either way.
  void KeepFullScreenState(const SDL_SysWMmsg* message) {
    if (!window_ || (SDL_GetWindowFlags(window_.get()) & SDL_WINDOW_HIDDEN)) return;
    int state = FullScreenStateIn(window_.get(), message);
    if (state < 0 || (state != 0) == fullscreen_ || !HasWindowManager(window_.get())) return;
    AskFullScreen(window_.get(), fullscreen_);
  }

  void show_window(bool shown) override {
    if (!window_) return;
    if (shown)
      SDL_ShowWindow(window_.get());
    else
      SDL_HideWindow(window_.get());
  }

  // Asked by the mixer on the audio thread: only the atomic flag, which is
  // false while no window is open.
  bool focused() const override { return focused_; }
  bool minimized() const override { return window_ && minimized_; }

  void present(const uint32_t* pixels, int w, int h, int pitch) override {
    if (!window_ || !pixels) return;
    if (w != logical_w_ || h != logical_h_) {
      texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888,
                                       SDL_TEXTUREACCESS_STREAMING, w, h));
      SDL_RenderSetLogicalSize(renderer_.get(), w, h);
      logical_w_ = w;
      logical_h_ = h;
      if (!texture_) return;
    }
    SDL_UpdateTexture(texture_.get(), nullptr, pixels, pitch);
    SDL_SetRenderDrawColor(renderer_.get(), 0, 0, 0, 255);
    SDL_RenderClear(renderer_.get());
    SDL_RenderCopy(renderer_.get(), texture_.get(), nullptr, nullptr);
    SDL_RenderPresent(renderer_.get());
  }

  void show_cursor(bool shown) override { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

  bool Translate(const SDL_Event& s, Event& e) {
    e = Event{};
    switch (s.type) {
      case SDL_QUIT:
        e.type = EventType::Close;
        return true;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        e.type = s.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
        e.scancode = s.key.keysym.scancode;
        e.repeat = s.key.repeat != 0;
        return true;
      case SDL_TEXTINPUT:
        e.type = EventType::Text;
        e.text = s.text.text;
        return true;
      case SDL_TEXTEDITING:
        e.type = EventType::Composition;
        e.text = s.edit.text;
        e.cursor = s.edit.start;
        e.length = s.edit.length;
        return true;
      case SDL_TEXTEDITING_EXT:
        // The text is ours to free.
        e.type = EventType::Composition;
        e.text = s.editExt.text ? s.editExt.text : "";
        e.cursor = s.editExt.start;
        e.length = s.editExt.length;
        SDL_free(s.editExt.text);
        return true;
      case SDL_DROPFILE:
      case SDL_DROPTEXT:
        SDL_free(s.drop.file);  // the game takes no drops; the name is ours to free
        return false;
      case SDL_MOUSEMOTION:
        e.type = EventType::MouseMove;
        e.x = s.motion.x, e.y = s.motion.y;
        return true;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        e.type = s.type == SDL_MOUSEBUTTONDOWN ? EventType::MouseDown : EventType::MouseUp;
        e.button = s.button.button;  // SDL numbers left, middle, right, X1, X2 as we do
        e.x = s.button.x, e.y = s.button.y;
        return true;
      case SDL_MOUSEWHEEL:
        e.type = EventType::MouseWheel;
        e.wheel = s.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -s.wheel.y : s.wheel.y;
        return true;
      case SDL_JOYDEVICEADDED: {
        SDL_Joystick* j = SDL_JoystickOpen(s.jdevice.which);
        if (!j) return false;
        int slot = -1;
        for (int i = 0; i < kMaxJoysticks; ++i)
          if (!joysticks_[i]) {
            slot = i;
            break;
          }
        if (slot < 0) {
          SDL_JoystickClose(j);
          return false;
        }
        joysticks_[slot].reset(j);
        e.type = EventType::JoyAdded;
        e.joystick = slot;
        return true;
      }
      case SDL_JOYDEVICEREMOVED:
        for (int i = 0; i < kMaxJoysticks; ++i)
          if (joysticks_[i] && SDL_JoystickInstanceID(joysticks_[i].get()) == s.jdevice.which) {
            joysticks_[i].reset();
            e.type = EventType::JoyRemoved;
            e.joystick = i;
            return true;
          }
        return false;
      case SDL_SYSWMEVENT:
        KeepFullScreenState(s.syswm.msg);
        return false;
      case SDL_WINDOWEVENT:
        switch (s.window.event) {
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            focused_ = window_ != nullptr;
            e.type = EventType::FocusGained;
            return true;
          case SDL_WINDOWEVENT_FOCUS_LOST: focused_ = false; e.type = EventType::FocusLost; return true;
          case SDL_WINDOWEVENT_MINIMIZED: minimized_ = true; e.type = EventType::Minimized; return true;
          case SDL_WINDOWEVENT_RESTORED:
          case SDL_WINDOWEVENT_MAXIMIZED:
            if (!minimized_) return false;
            minimized_ = false;
            e.type = EventType::Restored;
            return true;
          case SDL_WINDOWEVENT_EXPOSED: e.type = EventType::Exposed; return true;
          case SDL_WINDOWEVENT_CLOSE: e.type = EventType::Close; return true;
          default: return false;
        }
      default:
        return false;
    }
  }

  bool poll_event(Event& e) override {
    SDL_Event s;
    while (SDL_PollEvent(&s))
      if (Translate(s, e)) return true;
    return false;
  }

  void wait_event(Event& e) override {
    SDL_Event s;
    for (;;) {
      if (!SDL_WaitEvent(&s)) {
        e = Event{};
        e.type = EventType::Close;
        return;
      }
      if (Translate(s, e)) return;
    }
  }

  MouseState mouse() override {
    MouseState m;
    if (!window_) return m;
    int x = 0, y = 0;
    Uint32 b = SDL_GetMouseState(&x, &y);
    // Window pixels to logical coordinates, through the renderer's scale.
    float lx = 0, ly = 0;
    SDL_RenderWindowToLogical(renderer_.get(), x, y, &lx, &ly);
    m.x = static_cast<int>(lx);
    m.y = static_cast<int>(ly);
    m.buttons = b & 0x1f;
    m.inside = SDL_GetMouseFocus() == window_.get();
    return m;
  }

  int joystick_count() override {
    int n = 0;
    for (int i = 0; i < kMaxJoysticks; ++i)
      if (joysticks_[i]) n = i + 1;
    return n;
  }

  JoystickState joystick(int index) override {
    JoystickState st;
    if (index < 0 || index >= kMaxJoysticks || !joysticks_[index]) return st;
    SDL_Joystick* j = joysticks_[index].get();
    st.present = true;
    const char* name = SDL_JoystickName(j);
    st.name = name ? name : "";
    st.num_axes = std::min(SDL_JoystickNumAxes(j), kMaxJoyAxes);
    st.num_buttons = std::min(SDL_JoystickNumButtons(j), kMaxJoyButtons);
    st.num_hats = SDL_JoystickNumHats(j);
    for (int a = 0; a < st.num_axes; ++a) st.axes[a] = SDL_JoystickGetAxis(j, a);
    for (int b = 0; b < st.num_buttons; ++b)
      if (SDL_JoystickGetButton(j, b)) st.buttons |= 1u << b;
    if (st.num_hats > 0) {
      static const int kHat[16] = {-1, 0, 9000, 4500, 18000, -1, 13500, -1, 27000, 31500, -1, -1, 22500, -1, -1, -1};
      st.hat = kHat[SDL_JoystickGetHat(j, 0) & 15];
    }
    return st;
  }

  void start_text_input() override { SDL_StartTextInput(); }
  void stop_text_input() override { SDL_StopTextInput(); }
  void set_text_input_rect(int x, int y, int w, int h) override {
    // The input method places its list in window coordinates, and a full-screen
    // window shows the logical picture scaled and centred.
    SDL_Rect r{x, y, w, h};
    if (renderer_) {
      int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
      SDL_RenderLogicalToWindow(renderer_.get(), static_cast<float>(x), static_cast<float>(y), &x0, &y0);
      SDL_RenderLogicalToWindow(renderer_.get(), static_cast<float>(x + w), static_cast<float>(y + h), &x1, &y1);
      r = {x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0)};
    }
    g_text_input_rect = r;
    SDL_SetTextInputRect(&r);
  }

  static void AudioThunk(void* self, Uint8* stream, int len) {
    auto* h = static_cast<SdlHost*>(self);
    int frames = len / (2 * h->audio_channels_);
    if (h->audio_cb_)
      h->audio_cb_(h->audio_user_, reinterpret_cast<int16_t*>(stream), frames);
    else
      std::memset(stream, 0, len);
  }

  bool open_audio(int rate, int channels, AudioCallback cb, void* user) override {
    close_audio();
    audio_cb_ = cb;
    audio_user_ = user;
    audio_channels_ = channels;
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = 1024;
    want.callback = &SdlHost::AudioThunk;
    want.userdata = this;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) audio_dev_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (audio_dev_ == 0) {
      // A machine with no sound output still plays, silently: SDL's null
      // driver pulls the mix at the real rate, so streams and timers run on.
      std::fprintf(stderr, "no audio device (%s): sound is silent\n", SDL_GetError());
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      if (SDL_AudioInit("dummy") == 0) audio_dev_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (audio_dev_ == 0) {
      audio_cb_ = nullptr;
      return false;
    }
    SDL_PauseAudioDevice(audio_dev_, 0);
    return true;
  }

  void close_audio() override {
    if (audio_dev_) {
      SDL_CloseAudioDevice(audio_dev_);
      audio_dev_ = 0;
    }
    audio_cb_ = nullptr;
  }

  void lock_audio() override {
    if (audio_dev_) SDL_LockAudioDevice(audio_dev_);
  }
  void unlock_audio() override {
    if (audio_dev_) SDL_UnlockAudioDevice(audio_dev_);
  }

  MessageResult message_box(const std::string& caption, const std::string& text, MessageButtons buttons,
                            MessageIcon, int default_button, MessageView* view) override {
    if (view && InitVideo() && RunBox(caption, *view)) return view->result();
    // No display to show it on: say it on the terminal and take the default.
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return ButtonResult(buttons, default_button);
  }

  // Shows the box modally: over the last frame in the window when one is
  // shown, else in a window of its own. False when it cannot be shown.
  bool RunBox(const std::string& caption, MessageView& view) {
    const int bw = view.width(), bh = view.height();
    std::unique_ptr<SDL_Window, WindowDeleter> own_window;
    std::unique_ptr<SDL_Renderer, RendererDeleter> own_renderer;
    SDL_Renderer* r = nullptr;
    int ox = 0, oy = 0;  // the box's place in the renderer's logical picture
    bool in_window = window_ && !(SDL_GetWindowFlags(window_.get()) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED));
    if (in_window) {
      r = renderer_.get();
      ox = std::max(0, (logical_w_ - bw) / 2);
      oy = std::max(0, (logical_h_ - bh) / 2);
    } else {
      own_window.reset(SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, bw, bh,
                                        SDL_WINDOW_SHOWN));
      if (!own_window) return false;
      own_renderer.reset(SDL_CreateRenderer(own_window.get(), -1, 0));
      if (!own_renderer) own_renderer.reset(SDL_CreateRenderer(own_window.get(), -1, SDL_RENDERER_SOFTWARE));
      if (!own_renderer) return false;
      r = own_renderer.get();
      SDL_RaiseWindow(own_window.get());
    }
    std::unique_ptr<SDL_Texture, TextureDeleter> box(
        SDL_CreateTexture(r, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, bw, bh));
    if (!box) return false;
    SDL_Window* shown = in_window ? window_.get() : own_window.get();
    Uint32 shown_id = SDL_GetWindowID(shown);

    auto draw = [&] {
      SDL_UpdateTexture(box.get(), nullptr, view.pixels(), bw * 4);
      SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
      SDL_RenderClear(r);
      if (in_window && texture_) SDL_RenderCopy(r, texture_.get(), nullptr, nullptr);
      SDL_Rect at{ox, oy, bw, bh};
      SDL_RenderCopy(r, box.get(), nullptr, &at);
      SDL_RenderPresent(r);
    };
    // What the box takes from the queue but the game must still see after it:
    // keys let go and requests to quit.
    std::vector<SDL_Event> keep;
    bool done = false;
    draw();
    while (!done) {
      SDL_Event s;
      if (!SDL_WaitEventTimeout(&s, 100)) continue;
      Event e;
      bool changed = false;
      switch (s.type) {
        case SDL_QUIT:
          keep.push_back(s);
          done = view.close();
          break;
        case SDL_WINDOWEVENT:
          if (s.window.windowID == shown_id && s.window.event == SDL_WINDOWEVENT_CLOSE)
            done = view.close();
          else if (s.window.event == SDL_WINDOWEVENT_EXPOSED || s.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            changed = true;
          else if (in_window)
            Translate(s, e);  // keep the window's focus and state current
          break;
        case SDL_SYSWMEVENT:
          if (in_window) Translate(s, e);
          break;
        case SDL_KEYUP:
          keep.push_back(s);
          [[fallthrough]];
        case SDL_KEYDOWN:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEMOTION:
          if (Translate(s, e)) {
            e.x -= ox;
            e.y -= oy;
            done = view.handle(e);
            changed = true;
          }
          break;
        case SDL_TEXTEDITING_EXT:
          SDL_free(s.editExt.text);  // no answer to the box, and its text is ours to free
          break;
        case SDL_DROPFILE:
        case SDL_DROPTEXT:
          SDL_free(s.drop.file);
          break;
        default:
          break;
      }
      if (!done && changed) draw();
    }
    own_renderer.reset();
    own_window.reset();
    for (SDL_Event& k : keep) SDL_PushEvent(&k);
    return true;
  }

  void exit_process(int code, bool run_handlers) override {
    std::fflush(nullptr);
    if (run_handlers) std::exit(code);
    _exit(code);
  }

 private:
  uint64_t freq_ = 1, base_ = 0;
  uint64_t coarse_base_ = 0;
  bool video_ = false, video_failed_ = false;
  std::unique_ptr<SDL_Window, WindowDeleter> window_;
  std::unique_ptr<SDL_Renderer, RendererDeleter> renderer_;
  std::unique_ptr<SDL_Texture, TextureDeleter> texture_;
  std::unique_ptr<SDL_Joystick, JoystickDeleter> joysticks_[kMaxJoysticks];
  int logical_w_ = 0, logical_h_ = 0;
  std::vector<uint32_t> icon_;  // 0xAARRGGBB, shown by every window opened
  int icon_w_ = 0, icon_h_ = 0;
  std::atomic<bool> focused_{false};
  bool minimized_ = false;
  bool fullscreen_ = false;
  int windowed_x_ = SDL_WINDOWPOS_CENTERED, windowed_y_ = SDL_WINDOWPOS_CENTERED;
  SDL_AudioDeviceID audio_dev_ = 0;
  AudioCallback audio_cb_ = nullptr;
  void* audio_user_ = nullptr;
  int audio_channels_ = 2;
};

}  // namespace

std::unique_ptr<Host> MakeSdlHost() { return std::make_unique<SdlHost>(); }

void SdlTextInputRect(int& x, int& y, int& w, int& h) {
  x = g_text_input_rect.x, y = g_text_input_rect.y, w = g_text_input_rect.w, h = g_text_input_rect.h;
}

}  // namespace host
