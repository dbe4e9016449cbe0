#include "platform/win32/msgbox_view.h"

#include <algorithm>

#include "platform/win32/paint.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {

using paint::Canvas;
using paint::Edge;
using paint::Fill;
using paint::kDark;
using paint::kFaceColour;
using paint::kFontHeight;
using paint::kFontWidth;
using paint::kText;
using paint::WithoutAmpersand;

constexpr int kBorder = 2, kCaptionHeight = 20, kPad = 14, kIcon = 32;
constexpr int kButtonHeight = 24, kButtonMinWidth = 80, kButtonGap = 8;
// The caption bar keeps this much room right of its text.
constexpr int kCaptionRoom = 60;
static_assert(MessageBoxView::kMaxWidth ==
              kBorder + kPad + kIcon + 12 + MessageBoxView::kMaxTextWidth + kPad + 4 + kBorder);

constexpr uint32_t kCaptionColour = paint::kHighlight;

std::u16string Label(host::MessageResult r) {
  switch (r) {
    case host::MessageResult::Ok: return u"OK";
    case host::MessageResult::Cancel: return u"キャンセル";
    case host::MessageResult::Yes: return u"はい(&Y)";
    case host::MessageResult::No: return u"いいえ(&N)";
    case host::MessageResult::Retry: return u"再試行(&R)";
    case host::MessageResult::Abort: return u"中止(&A)";
    case host::MessageResult::Ignore: return u"無視(&I)";
  }
  return u"OK";
}

// The key that presses a button labelled "...(&X)".
int Mnemonic(const std::u16string& label) {
  size_t at = label.find(u'&');
  if (at == std::u16string::npos || at + 1 >= label.size()) return 0;
  char16_t c = label[at + 1];
  if (c >= u'A' && c <= u'Z') return host::key::A + (c - u'A');
  return 0;
}

}  // namespace

MessageBoxView::MessageBoxView(const std::string& caption, const std::string& text,
                               host::MessageButtons buttons, host::MessageIcon icon, int default_button)
    : caption_(Utf8ToUtf16(caption)), icon_(icon) {
  int count = host::ButtonCount(buttons);
  for (int i = 0; i < count; ++i) {
    host::MessageResult r = host::ButtonResult(buttons, i);
    buttons_.push_back({Label(r), r, {}});
  }
  focus_ = std::clamp(default_button, 0, count - 1);
  result_ = buttons_[focus_].result;

  // Lines: broken at line ends, then wherever a line grows past the widest
  // a box may be, between characters.
  uint32_t scratch = 0;
  Canvas measure(&scratch, 1, 1, kFontHeight, kFontWidth, false);
  std::u16string all = Utf8ToUtf16(text);
  std::u16string line;
  auto flush = [&] {
    lines_.push_back(line);
    line.clear();
  };
  for (size_t i = 0; i < all.size(); ++i) {
    char16_t c = all[i];
    if (c == u'\r') continue;
    if (c == u'\n') {
      flush();
      continue;
    }
    std::u16string next = line + c;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < all.size()) next += all[++i];
    if (!line.empty() && measure.Width(next) > kMaxTextWidth) {
      std::u16string rest = next.substr(line.size());
      flush();
      next = rest;
    }
    line = next;
  }
  flush();
  if (static_cast<int>(lines_.size()) > kMaxLines) {
    lines_.resize(kMaxLines);
    lines_.back() += u"…";
  }
  // A caption that would make the box wider than the widest box is cut, with
  // "…" to say so.
  const int caption_w = kMaxWidth - kCaptionRoom;
  if (measure.Width(caption_) > caption_w) {
    const int room = caption_w - measure.Width(u"…");
    std::u16string cut;
    int w = 0;
    for (size_t i = 0; i < caption_.size();) {
      const bool pair = caption_[i] >= 0xD800 && caption_[i] < 0xDC00 && i + 1 < caption_.size();
      const std::u16string c = caption_.substr(i, pair ? 2 : 1);
      w += measure.Width(c);
      if (w > room) break;
      cut += c;
      i += c.size();
    }
    caption_ = cut + u"…";
  }
  Layout();
}

void MessageBoxView::Layout() {
  uint32_t scratch = 0;
  Canvas measure(&scratch, 1, 1, kFontHeight, kFontWidth, false);
  int text_w = 0;
  for (const auto& l : lines_) text_w = std::max(text_w, measure.Width(l));
  int text_h = static_cast<int>(lines_.size()) * kLineHeight;
  bool has_icon = icon_ != host::MessageIcon::None;
  int body_top = kBorder + kCaptionHeight + kPad;
  int text_x = kBorder + kPad + (has_icon ? kIcon + 12 : 4);
  int text_y = body_top + (has_icon && text_h < kIcon ? (kIcon - text_h) / 2 : 0);
  text_rect_ = {text_x, text_y, text_w, text_h};

  int row_w = 0;
  for (auto& b : buttons_) {
    b.rect.w = std::max(kButtonMinWidth, measure.Width(WithoutAmpersand(b.label)) + 24);
    b.rect.h = kButtonHeight;
    row_w += b.rect.w;
  }
  row_w += kButtonGap * (static_cast<int>(buttons_.size()) - 1);
  int caption_w = measure.Width(caption_);

  width_ = std::max(
      {text_x + text_w + kPad + 4 + kBorder, row_w + 2 * (kPad + kBorder), caption_w + kCaptionRoom, 240});
  int row_y = std::max(text_y + text_h, has_icon ? body_top + kIcon : 0) + 16;
  height_ = row_y + kButtonHeight + 12 + kBorder;
  int x = (width_ - row_w) / 2;
  for (auto& b : buttons_) {
    b.rect.x = x;
    b.rect.y = row_y;
    x += b.rect.w + kButtonGap;
  }
  pixels_.assign(static_cast<size_t>(width_) * height_, kFaceColour);
  dirty_ = true;
}

namespace {

void DottedFrame(std::vector<uint32_t>& p, int pw, int x, int y, int w, int h) {
  for (int i = 0; i < w; i += 2) {
    p[static_cast<size_t>(y) * pw + x + i] = kText;
    p[static_cast<size_t>(y + h - 1) * pw + x + i] = kText;
  }
  for (int i = 0; i < h; i += 2) {
    p[static_cast<size_t>(y + i) * pw + x] = kText;
    p[static_cast<size_t>(y + i) * pw + x + w - 1] = kText;
  }
}

// The icon's disc or triangle; its sign is drawn as text over it.
void IconShape(std::vector<uint32_t>& p, int pw, int x0, int y0, host::MessageIcon icon) {
  for (int y = 0; y < kIcon; ++y)
    for (int x = 0; x < kIcon; ++x) {
      double fx = x + 0.5, fy = y + 0.5;
      bool inside = false, rim = false;
      uint32_t fill = 0;
      if (icon == host::MessageIcon::Warning) {
        // A triangle standing on its base.
        double half = (fy - 1) * 0.55;
        inside = fy >= 1 && fy <= 31 && fx >= 16 - half && fx <= 16 + half;
        rim = inside && (fy > 29.5 || fx < 16 - half + 1.5 || fx > 16 + half - 1.5);
        fill = 0xF8D030;
      } else {
        double d = (fx - 16) * (fx - 16) + (fy - 16) * (fy - 16);
        inside = d <= 15.5 * 15.5;
        rim = inside && d > 14 * 14;
        fill = icon == host::MessageIcon::Stop ? 0xD02020 : 0x2058C8;
      }
      if (inside) p[static_cast<size_t>(y0 + y) * pw + x0 + x] = rim ? kDark : fill;
    }
}

}  // namespace

void MessageBoxView::Draw() {
  std::vector<uint32_t>& p = pixels_;
  const int w = width_;
  Fill(p, w, 0, 0, width_, height_, kFaceColour);
  Edge(p, w, 0, 0, width_, height_, false);
  Fill(p, w, kBorder + 1, kBorder + 1, width_ - 2 * kBorder - 2, kCaptionHeight, kCaptionColour);
  if (icon_ != host::MessageIcon::None) IconShape(p, w, kBorder + kPad, kBorder + kCaptionHeight + kPad, icon_);
  for (const auto& b : buttons_) {
    bool sunken = pressed_ >= 0 && pointer_on_pressed_ && &b == &buttons_[pressed_];
    const Rect& r = b.rect;
    bool focused = &b == &buttons_[focus_];
    if (focused) {
      // The default frame: a black line around the raised edge.
      Fill(p, w, r.x, r.y, r.w, 1, kText);
      Fill(p, w, r.x, r.y + r.h - 1, r.w, 1, kText);
      Fill(p, w, r.x, r.y, 1, r.h, kText);
      Fill(p, w, r.x + r.w - 1, r.y, 1, r.h, kText);
      Edge(p, w, r.x + 1, r.y + 1, r.w - 2, r.h - 2, sunken);
      DottedFrame(p, w, r.x + 4, r.y + 4, r.w - 8, r.h - 8);
    } else {
      Edge(p, w, r.x, r.y, r.w, r.h, sunken);
    }
  }

  Canvas canvas(p.data(), width_, height_, kFontHeight, kFontWidth, false);
  for (size_t i = 0; i < lines_.size(); ++i)
    canvas.Text(text_rect_.x, text_rect_.y + static_cast<int>(i) * kLineHeight + 1, lines_[i], kText);
  for (size_t i = 0; i < buttons_.size(); ++i) {
    const Button& b = buttons_[i];
    std::u16string label = WithoutAmpersand(b.label);
    int shift = pressed_ == static_cast<int>(i) && pointer_on_pressed_ ? 1 : 0;
    canvas.Text(b.rect.x + (b.rect.w - canvas.Width(label)) / 2 + shift,
                b.rect.y + (b.rect.h - kFontHeight) / 2 + shift, label, kText);
  }
  Canvas bold(p.data(), width_, height_, kFontHeight, kFontWidth, true);
  bold.Text(kBorder + 6, kBorder + 3, caption_, 0xFFFFFF);
  if (icon_ != host::MessageIcon::None) {
    static const std::u16string kSigns[] = {u"", u"×", u"!", u"i", u"?"};
    const std::u16string& sign = kSigns[static_cast<int>(icon_)];
    Canvas big(p.data(), width_, height_, 24, 12, true);
    int sx = kBorder + kPad + (kIcon - big.Width(sign)) / 2;
    int sy = kBorder + kCaptionHeight + kPad + (icon_ == host::MessageIcon::Warning ? 7 : 4);
    big.Text(sx, sy, sign, icon_ == host::MessageIcon::Warning ? kText : 0xFFFFFF);
  }
  dirty_ = false;
}

const uint32_t* MessageBoxView::pixels() {
  if (dirty_) Draw();
  return pixels_.data();
}

int MessageBoxView::Escape() const {
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i].result == host::MessageResult::Cancel) return static_cast<int>(i);
  return buttons_.size() == 1 ? 0 : -1;
}

int MessageBoxView::HitButton(int x, int y) const {
  for (size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i].rect.contains(x, y)) return static_cast<int>(i);
  return -1;
}

bool MessageBoxView::Finish(int n) {
  result_ = buttons_[n].result;
  return true;
}

bool MessageBoxView::handle(const host::Event& e) {
  const int n = static_cast<int>(buttons_.size());
  switch (e.type) {
    case host::EventType::KeyDown: {
      int k = e.scancode;
      if (k == host::key::LShift || k == host::key::RShift) shift_ = true;
      if (k == host::key::Left || k == host::key::Up || (k == host::key::Tab && shift_)) {
        focus_ = (focus_ + n - 1) % n;
        dirty_ = true;
      } else if (k == host::key::Right || k == host::key::Down || k == host::key::Tab) {
        focus_ = (focus_ + 1) % n;
        dirty_ = true;
      } else if (e.repeat) {
        // A key held since before the box answers nothing.
      } else if (k == host::key::Return || k == host::key::KpEnter) {
        return Finish(focus_);
      } else if (k == host::key::Space) {
        space_down_ = true;
      } else if (k == host::key::Escape) {
        int esc = Escape();
        if (esc >= 0) return Finish(esc);
      } else {
        for (int i = 0; i < n; ++i)
          if (k != 0 && Mnemonic(buttons_[i].label) == k) return Finish(i);
      }
      return false;
    }
    case host::EventType::KeyUp:
      if (e.scancode == host::key::LShift || e.scancode == host::key::RShift) shift_ = false;
      // Space presses the focused button when it comes up, as a click does.
      if (e.scancode == host::key::Space && space_down_) return Finish(focus_);
      return false;
    case host::EventType::MouseDown:
      if (e.button == host::kButtonLeft) {
        pressed_ = HitButton(e.x, e.y);
        pointer_on_pressed_ = pressed_ >= 0;
        if (pressed_ >= 0) focus_ = pressed_;
        dirty_ = true;
      }
      return false;
    case host::EventType::MouseMove:
      if (pressed_ >= 0) {
        bool on = buttons_[pressed_].rect.contains(e.x, e.y);
        if (on != pointer_on_pressed_) dirty_ = true;
        pointer_on_pressed_ = on;
      }
      return false;
    case host::EventType::MouseUp:
      if (e.button == host::kButtonLeft && pressed_ >= 0) {
        int hit = HitButton(e.x, e.y);
        int was = pressed_;
        pressed_ = -1;
        dirty_ = true;
        if (hit == was) return Finish(was);
      }
      return false;
    default:
      return false;
  }
}

bool MessageBoxView::close() {
  int esc = Escape();
  return esc >= 0 && Finish(esc);
}

}  // namespace win32
