// Message boxes drawn by the platform layer in the game's font: their picture,
// their keys and mouse, and what MessageBoxA hands the host.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/host/headless_host.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/msgbox_view.h"

namespace {

using host::EventType;
using host::MessageButtons;
using host::MessageIcon;
using host::MessageResult;
using win32::MessageBoxView;

constexpr uint32_t kFaceColour = 0xD4D0C8;

// The view takes UTF-8; narrow literals here are CP932.
std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

host::Event Key(EventType type, int scancode, bool repeat = false) {
  host::Event e;
  e.type = type;
  e.scancode = scancode;
  e.repeat = repeat;
  return e;
}

bool Press(MessageBoxView& v, int scancode) {
  return v.handle(Key(EventType::KeyDown, scancode)) | v.handle(Key(EventType::KeyUp, scancode));
}

host::Event Mouse(EventType type, int x, int y) {
  host::Event e;
  e.type = type;
  e.button = host::kButtonLeft;
  e.x = x;
  e.y = y;
  return e;
}

// Dark pixels (text) inside a rectangle of the box's picture.
int Ink(MessageBoxView& v, int x0, int y0, int w, int h, int* right = nullptr) {
  const uint32_t* p = v.pixels();
  int n = 0;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      uint32_t c = p[static_cast<size_t>(y) * v.width() + x];
      if ((c >> 16 & 0xFF) < 0x60 && (c >> 8 & 0xFF) < 0x60 && (c & 0xFF) < 0x60) {
        ++n;
        if (right) *right = std::max(*right, x);
      }
    }
  return n;
}

TEST(MessageBoxPicture, JapaneseLinesAreDrawnInTheGameFontAndTheButtonsFitBelow) {
  MessageBoxView v(U8(u8"色数変更"), U8(u8"ディスプレイの色数を一時的に16bitにしますか？\n色数を落とした方が速い"),
                   MessageButtons::YesNo, MessageIcon::Question, 0);
  const auto& t = v.text_rect();
  // Two lines of 16-pixel text: the first is 45 half-width columns wide.
  EXPECT_EQ(t.h, 2 * MessageBoxView::kLineHeight);
  EXPECT_EQ(t.w, 45 * 8);
  int right = 0;
  EXPECT_GT(Ink(v, t.x, t.y, t.w, MessageBoxView::kLineHeight, &right), 300);
  EXPECT_GT(right, t.x + t.w - 16);  // ink reaches the last character
  EXPECT_GT(Ink(v, t.x, t.y + MessageBoxView::kLineHeight, t.w, MessageBoxView::kLineHeight), 200);
  // Buttons: inside the box, below the text, side by side and centred.
  ASSERT_EQ(v.button_count(), 2);
  const auto& yes = v.button_rect(0);
  const auto& no = v.button_rect(1);
  EXPECT_GE(yes.y, t.y + t.h);
  EXPECT_LE(yes.y + yes.h, v.height());
  EXPECT_LT(yes.x + yes.w, no.x);
  EXPECT_NEAR(yes.x, v.width() - (no.x + no.w), 1);
  EXPECT_GT(Ink(v, no.x + 4, no.y + 4, no.w - 8, no.h - 8), 50);  // its label
  // Outside text, icon and buttons the box is plain face colour.
  EXPECT_EQ(v.pixels()[static_cast<size_t>(v.height() - 6) * v.width() + 6], kFaceColour);
}

TEST(MessageBoxPicture, LongLinesWrapInsideTheWidestBoxAndVeryLongTextsAreCut) {
  std::string word = U8(u8"とても長い行");
  std::string text;
  for (int i = 0; i < 40; ++i) text += word;
  MessageBoxView v("c", text, MessageButtons::Ok, MessageIcon::None, 0);
  EXPECT_LE(v.text_rect().w, MessageBoxView::kMaxTextWidth);
  EXPECT_GT(v.text_rect().h, MessageBoxView::kLineHeight);
  EXPECT_LE(v.width(), 640);

  std::string many;
  for (int i = 0; i < 60; ++i) many += "line\n";
  MessageBoxView tall("c", many, MessageButtons::Ok, MessageIcon::Stop, 0);
  EXPECT_EQ(tall.text_rect().h, MessageBoxView::kMaxLines * MessageBoxView::kLineHeight);
  EXPECT_LE(tall.height(), 480);
}

TEST(MessageBoxPicture, ALongCaptionIsCutAndTheBoxStaysNarrowerThanTheWindow) {
  MessageBoxView v(std::string(300, 'c'), "t", MessageButtons::OkCancel, MessageIcon::None, 0);
  EXPECT_LE(v.width(), 640);
  EXPECT_LE(v.button_rect(1).x + v.button_rect(1).w, v.width());
  // The caption's white text runs to its "…" and leaves the bar's end clear.
  const uint32_t* p = v.pixels();
  int last = 0;
  for (int y = 2; y < 22; ++y)
    for (int x = 0; x < v.width(); ++x)
      if (p[static_cast<size_t>(y) * v.width() + x] == 0xFFFFFF) last = std::max(last, x);
  EXPECT_GT(last, v.width() - 80);
  EXPECT_LT(last, v.width() - 50);
}

TEST(MessageBoxKeys, ArrowsMoveTheFocusAndEnterOrSpaceAnswerIt) {
  MessageBoxView v("c", "t", MessageButtons::YesNoCancel, MessageIcon::None, 1);
  EXPECT_EQ(v.focus(), 1);  // the call's default button
  EXPECT_EQ(v.result(), MessageResult::No);
  EXPECT_FALSE(Press(v, host::key::Right));
  EXPECT_EQ(v.focus(), 2);
  EXPECT_FALSE(Press(v, host::key::Tab));
  EXPECT_EQ(v.focus(), 0);  // wraps
  EXPECT_FALSE(v.handle(Key(EventType::KeyDown, host::key::LShift)));
  EXPECT_FALSE(Press(v, host::key::Tab));
  EXPECT_EQ(v.focus(), 2);
  EXPECT_FALSE(v.handle(Key(EventType::KeyUp, host::key::LShift)));
  EXPECT_FALSE(Press(v, host::key::Left));
  EXPECT_EQ(v.focus(), 1);
  // An Enter held down from before the box only repeats: it answers nothing.
  EXPECT_FALSE(v.handle(Key(EventType::KeyDown, host::key::Return, true)));
  // Space answers when it comes up.
  EXPECT_FALSE(v.handle(Key(EventType::KeyDown, host::key::Space)));
  EXPECT_TRUE(v.handle(Key(EventType::KeyUp, host::key::Space)));
  EXPECT_EQ(v.result(), MessageResult::No);

  MessageBoxView enter("c", "t", MessageButtons::OkCancel, MessageIcon::None, 0);
  EXPECT_TRUE(enter.handle(Key(EventType::KeyDown, host::key::Return)));
  EXPECT_EQ(enter.result(), MessageResult::Ok);

  MessageBoxView letter("c", "t", MessageButtons::YesNo, MessageIcon::None, 0);
  EXPECT_TRUE(letter.handle(Key(EventType::KeyDown, host::key::A + ('N' - 'A'))));
  EXPECT_EQ(letter.result(), MessageResult::No);
}

TEST(MessageBoxKeys, EscapeAndClosingAnswerCancelOrTheOnlyButtonAndNothingElse) {
  MessageBoxView yes_no("c", "t", MessageButtons::YesNo, MessageIcon::None, 0);
  EXPECT_FALSE(Press(yes_no, host::key::Escape));
  EXPECT_FALSE(yes_no.close());
  MessageBoxView ok_cancel("c", "t", MessageButtons::OkCancel, MessageIcon::None, 0);
  EXPECT_TRUE(ok_cancel.handle(Key(EventType::KeyDown, host::key::Escape)));
  EXPECT_EQ(ok_cancel.result(), MessageResult::Cancel);
  MessageBoxView ok("c", "t", MessageButtons::Ok, MessageIcon::None, 0);
  EXPECT_TRUE(ok.close());
  EXPECT_EQ(ok.result(), MessageResult::Ok);
}

TEST(MessageBoxMouse, AClickIsAPressAndAReleaseOnTheSameButton) {
  MessageBoxView v("c", "t", MessageButtons::AbortRetryIgnore, MessageIcon::Warning, 0);
  const auto& retry = v.button_rect(1);
  const auto& ignore = v.button_rect(2);
  // Pressed on one button and let go on another: nothing.
  EXPECT_FALSE(v.handle(Mouse(EventType::MouseDown, retry.x + 5, retry.y + 5)));
  EXPECT_EQ(v.focus(), 1);
  EXPECT_FALSE(v.handle(Mouse(EventType::MouseMove, ignore.x + 5, ignore.y + 5)));
  EXPECT_FALSE(v.handle(Mouse(EventType::MouseUp, ignore.x + 5, ignore.y + 5)));
  // Outside every button: nothing.
  EXPECT_FALSE(v.handle(Mouse(EventType::MouseDown, 1, 1)));
  EXPECT_FALSE(v.handle(Mouse(EventType::MouseUp, 1, 1)));
  EXPECT_TRUE(v.handle(Mouse(EventType::MouseDown, ignore.x + 2, ignore.y + 2)) ||
              v.handle(Mouse(EventType::MouseUp, ignore.x + 3, ignore.y + 3)));
  EXPECT_EQ(v.result(), MessageResult::Ignore);
}

TEST(MessageBoxCall, TheHostGetsTheDefaultButtonAndThePictureOfTheBox) {
  host::HeadlessHost h;
  h.set_quiet(true);
  host::set(&h);
  EXPECT_EQ(MessageBoxA(nullptr, "よろしいですか", "確認", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), IDNO);
  host::set(nullptr);
  ASSERT_EQ(h.message_boxes().size(), 1u);
  const host::MessageBoxRecord& r = h.message_boxes()[0];
  EXPECT_EQ(r.default_button, 1);
  EXPECT_EQ(r.caption, U8(u8"確認"));
  ASSERT_GT(r.picture_w, 0);
  ASSERT_EQ(r.picture.size(), static_cast<size_t>(r.picture_w) * r.picture_h);
  EXPECT_NE(std::count(r.picture.begin(), r.picture.end(), kFaceColour), static_cast<long>(r.picture.size()));
}

}  // namespace
