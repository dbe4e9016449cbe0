// The picture and the keyboard and mouse handling of a message box, drawn with
// the game's own font so that Japanese reads the same on every desktop. The host
// shows it; the headless host keeps its picture for inspection.
#pragma once

#include <string>
#include <vector>

#include "platform/host/host.h"

namespace win32 {

class MessageBoxView : public host::MessageView {
 public:
  // Texts in UTF-8; lines break at "\n" and where they pass the widest text
  // line a box may have.
  MessageBoxView(const std::string& caption, const std::string& text, host::MessageButtons buttons,
                 host::MessageIcon icon, int default_button);

  int width() const override { return width_; }
  int height() const override { return height_; }
  const uint32_t* pixels() override;
  bool handle(const host::Event& e) override;
  bool close() override;
  host::MessageResult result() const override { return result_; }

  // Layout, for the tests and the host: button n's rectangle in the box.
  struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
  };
  int button_count() const { return static_cast<int>(buttons_.size()); }
  const Rect& button_rect(int n) const { return buttons_[n].rect; }
  int focus() const { return focus_; }
  const Rect& text_rect() const { return text_rect_; }

  static constexpr int kLineHeight = 18;
  static constexpr int kMaxTextWidth = 520;  // inside the 640-pixel window with room to spare
  static constexpr int kMaxLines = 18;
  // The widest box: the widest text beside an icon. It fits the 640-pixel
  // window and any screen; a longer caption is cut to fit.
  static constexpr int kMaxWidth = 600;

 private:
  struct Button {
    std::u16string label;
    host::MessageResult result;
    Rect rect;
  };
  void Layout();
  void Draw();
  bool Finish(int n);
  int Escape() const;  // the button that Esc and closing press, or -1
  int HitButton(int x, int y) const;

  std::u16string caption_;
  std::vector<std::u16string> lines_;
  host::MessageIcon icon_;
  std::vector<Button> buttons_;
  int focus_ = 0;
  int pressed_ = -1;  // the button under a held left mouse button
  bool pointer_on_pressed_ = false;
  bool shift_ = false, space_down_ = false;
  bool dirty_ = true;
  host::MessageResult result_;
  int width_ = 0, height_ = 0;
  Rect text_rect_;
  std::vector<uint32_t> pixels_;
};

}  // namespace win32
