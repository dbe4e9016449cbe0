// The host: the one porting interface between the platform layer and the machine.
// The platform layer asks the host for video, audio, input, the clock and message
// boxes, and nothing else. Two hosts exist: SDL2 (a real window) and headless
// (a virtual clock and scripted input, for tests and replays).
#pragma once

#include <cstdint>
#include <string>

namespace host {

enum class EventType : uint8_t {
  KeyDown,      // scancode, repeat
  KeyUp,        // scancode
  Text,         // text: committed UTF-8 text
  Composition,  // text: UTF-8 composition string (empty when it ends), cursor, length
  MouseMove,    // x, y
  MouseDown,    // button, x, y
  MouseUp,      // button, x, y
  MouseWheel,   // wheel: notches, positive away from the user
  FocusGained,
  FocusLost,
  Minimized,
  Restored,
  Exposed,      // the window needs painting
  Close,        // the user asked to close the window
  JoyAdded,     // joystick
  JoyRemoved,   // joystick
};

// Keys are USB HID usage codes (the numbering SDL's scancodes use).
namespace key {
constexpr int A = 4, Z = 29, N1 = 30, N0 = 39, Return = 40, Escape = 41, Backspace = 42, Tab = 43,
              Space = 44, F1 = 58, F12 = 69, Insert = 73, Home = 74, PageUp = 75, Delete = 76,
              End = 77, PageDown = 78, Right = 79, Left = 80, Down = 81, Up = 82, KpEnter = 88,
              LCtrl = 224, LShift = 225, LAlt = 226, RCtrl = 228, RShift = 229, RAlt = 230;
}

enum MouseButton : int { kButtonLeft = 1, kButtonMiddle = 2, kButtonRight = 3, kButtonX1 = 4, kButtonX2 = 5 };

struct Event {
  EventType type = EventType::Exposed;
  int scancode = 0;
  bool repeat = false;
  std::string text;
  // Composition: the caret, and the characters from it that the input method
  // has selected (the part it converts), both in code points.
  int cursor = 0;
  int length = 0;
  int x = 0, y = 0;  // logical window coordinates (the size given to open_window)
  int button = 0;
  int wheel = 0;
  int joystick = 0;
};

struct MouseState {
  int x = 0, y = 0;       // logical window coordinates
  uint32_t buttons = 0;   // bit (button - 1) set while held
  bool inside = false;    // the pointer is over the window
};

constexpr int kMaxJoysticks = 16;
constexpr int kMaxJoyAxes = 8;
constexpr int kMaxJoyButtons = 32;

struct JoystickState {
  bool present = false;
  std::string name;
  int num_axes = 0, num_buttons = 0, num_hats = 0;
  int axes[kMaxJoyAxes] = {};  // -32768 .. 32767
  uint32_t buttons = 0;        // bit n set while button n is held
  int hat = -1;                // -1 centred, else 0..35999 hundredths of a degree
};

enum class MessageButtons : uint8_t { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MessageIcon : uint8_t { None, Stop, Warning, Information, Question };
enum class MessageResult : uint8_t { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

// Pulls interleaved signed 16-bit frames; called from the host's audio thread
// (SDL) or from the test that pulls them (headless).
using AudioCallback = void (*)(void* user, int16_t* out, int frames);

// The buttons of a box, left to right: how many, and what the n-th answers
// (n is clamped to the buttons there are).
int ButtonCount(MessageButtons b);
MessageResult ButtonResult(MessageButtons b, int n);

// A message box that the platform layer draws itself (in the game's font) and
// the host shows modally: over its window when one is open, else in a window of
// its own. The host feeds it input until it is finished.
class MessageView {
 public:
  virtual ~MessageView() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // The picture as it stands: width() x height() pixels of 0x00RRGGBB.
  virtual const uint32_t* pixels() = 0;
  // Keys, typed text and the mouse (coordinates relative to the box). Returns
  // true once the box is finished.
  virtual bool handle(const Event& e) = 0;
  // The window holding the box was closed: true when that finishes it.
  virtual bool close() = 0;
  // The answer, once finished.
  virtual MessageResult result() const = 0;
};

// Thrown by a headless host in catch mode in place of ending the process.
struct ProcessExit {
  int code;
  bool handlers;  // the exit handlers would have run
};

class Host {
 public:
  virtual ~Host() = default;
  virtual const char* name() const = 0;
  virtual bool headless() const = 0;

  // Clock: microseconds since the host started; monotonic.
  virtual uint64_t now_us() = 0;
  // The same clock read cheaply, a few milliseconds coarse: for code that
  // looks at the time very often.
  virtual uint64_t coarse_now_us() = 0;
  virtual void sleep_us(uint64_t us) = 0;
  // Waits for the next tick of the 60 Hz vertical-blank clock.
  virtual void wait_vblank() = 0;

  // Display. The desktop's size; the window shows frames of the logical size
  // given to open_window, scaled to fit when full screen.
  virtual void desktop_size(int& w, int& h) = 0;
  virtual bool open_window(const std::string& title_utf8, int w, int h, bool fullscreen) = 0;
  virtual void close_window() = 0;
  // The window's logical size changes (a menu bar came or went); it keeps its
  // place, and a full-screen window stays full screen.
  virtual void resize_window(int w, int h) = 0;
  virtual bool window_open() const = 0;
  virtual void set_title(const std::string& title_utf8) = 0;
  // The window's icon: w x h pixels of 0xAARRGGBB, rows top to bottom. It is
  // kept, so a window opened later shows it too.
  virtual void set_icon(const uint32_t* argb, int w, int h) = 0;
  virtual void set_fullscreen(bool fullscreen) = 0;
  virtual void show_window(bool shown) = 0;
  virtual bool focused() const = 0;
  virtual bool minimized() const = 0;
  // Shows a frame: rows of 0x00RRGGBB pixels, pitch in bytes.
  virtual void present(const uint32_t* pixels, int w, int h, int pitch) = 0;
  virtual void show_cursor(bool shown) = 0;

  // Input.
  virtual bool poll_event(Event& e) = 0;
  // Blocks until an event arrives. A headless host never blocks: it moves on to
  // the next scripted frame, and answers Close when its script is used up.
  virtual void wait_event(Event& e) = 0;
  virtual MouseState mouse() = 0;
  virtual int joystick_count() = 0;
  virtual JoystickState joystick(int index) = 0;
  virtual void start_text_input() = 0;
  virtual void stop_text_input() = 0;
  // Where the input method's candidate list goes: under this rectangle of the
  // window, in logical coordinates.
  virtual void set_text_input_rect(int x, int y, int w, int h) = 0;

  // Audio: 16-bit signed, interleaved.
  virtual bool open_audio(int rate, int channels, AudioCallback cb, void* user) = 0;
  virtual void close_audio() = 0;
  virtual void lock_audio() = 0;
  virtual void unlock_audio() = 0;

  // Message boxes: texts in UTF-8; default_button counts from 0. When `view`
  // is given and the host can show pictures, the box is that view and its input
  // decides the answer.
  virtual MessageResult message_box(const std::string& caption, const std::string& text,
                                    MessageButtons buttons, MessageIcon icon, int default_button = 0,
                                    MessageView* view = nullptr) = 0;

  // Ends the process: with the exit handlers (exit) or at once (_exit).
  [[noreturn]] virtual void exit_process(int code, bool run_handlers) = 0;
};

// The host the platform layer talks to. Until one is installed, a headless host
// with default settings is created on first use.
Host& get();
// Installs h (not owned) as the current host; null goes back to the default.
void set(Host* h);

}  // namespace host
