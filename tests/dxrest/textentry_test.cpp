// Typed text through the window's queues, the input method's composition and
// results, and the one-line editors, on the headless host.
#include <string>
#include <vector>

#include "../display/fixture.h"

namespace {

class TextEntry : public DxTest {
 protected:
  // The first frame number still to come.
  uint64_t Next() { return host_.frames_presented() + 1; }
  void Composition(uint64_t frame, const char* cp932, int cursor) {
    host::Event e;
    e.type = host::EventType::Composition;
    e.text = U8(cp932);
    e.cursor = cursor;
    host_.push(frame, e);
  }
  std::string Drain() {
    std::string s;
    for (char c = dxgetchar(); c; c = dxgetchar()) s += c;
    return s;
  }
};

TEST_F(TextEntry, TypedTextArrivesInEitherEncoding) {
  Start();
  host_.text(0, U8("aあ"));
  dxupdate();
  EXPECT_EQ(Drain(), "aあ");  // a double-byte character as two bytes, lead byte first
  host_.text(Next(), U8("bい"));
  dxupdate();
  EXPECT_EQ(dxgetwchar(), u'b');
  EXPECT_EQ(dxgetwchar(), u'い');
  EXPECT_EQ(dxgetwchar(), 0);
  // Bytes waiting are converted for the wide reader and the other way round.
  dxcharqueue.assign({0x82, 0xA4});
  EXPECT_EQ(dxgetwchar(), u'う');
  dxwcharqueue.assign({u'え', u'c'});
  EXPECT_EQ(Drain(), "えc");
  dxcharqueue.push_back('x');
  dxwcharqueue.push_back(u'y');
  dxclearchars();
  EXPECT_EQ(dxgetchar(), 0);
  EXPECT_EQ(dxgetwchar(), 0);
}

TEST_F(TextEntry, QueueHoldsSixtyFourTypedCharactersButWholeResults) {
  Start();
  host_.text(0, std::string(70, 'k'));
  dxupdate();
  EXPECT_EQ(dxcharqueue.size() + dxwcharqueue.size(), 64u);
  dxclearchars();

  dximeon();
  EXPECT_TRUE(host_.text_input_active());
  Composition(Next(), "かんじ", 3);
  dxupdate();
  EXPECT_TRUE(dximecomposing());
  EXPECT_TRUE(dxcharqueue.empty() && dxwcharqueue.empty());
  std::string result;
  for (int i = 0; i < 35; ++i) result += "漢字";
  host_.text(Next(), U8(result.c_str()));
  Composition(Next() - 1, "", 0);
  dxupdate();
  EXPECT_FALSE(dximecomposing());
  EXPECT_EQ(dxwcharqueue.size(), 70u);  // the result is queued whole, once
  EXPECT_EQ(Drain(), result);
  dximeoff();
}

TEST_F(TextEntry, CompositionIsDrawnWithFrameUnderlineAndCaret) {
  Start();
  dxsetfont("ＭＳ ゴシック", 16, 0, 0, 0, 0);
  const int h = dxfontheight();
  dxdrawime(100, 100);  // no context yet: nothing
  EXPECT_EQ(Back(98, 98), 0u);
  dximeon();
  Composition(0, "かな", 1);
  dxupdate();
  dxcls(0);
  dxdrawime(100, 100);
  const uint32_t white = dxrgb(255, 255, 255), black = dxrgb(0, 0, 0);
  const int w = dxtextwidth("かな");
  EXPECT_EQ(Back(98, 98), dxrgb(192, 192, 192));   // the outer frame
  EXPECT_EQ(Back(99, 99), white);                  // the inner frame
  EXPECT_EQ(Back(100 + w + 4 - 2, 100), white);    // room of 4 per clause
  EXPECT_EQ(Back(100 + w / 4, 100 + h - 1), black); // the underline
  const int caret = 100 + dxtextwidth("か");
  EXPECT_EQ(Back(caret, 100) & 0xFFFFFFu, 0u);     // white inverted
  EXPECT_EQ(Back(caret + 2, 100), white);
  dximeoff();
  EXPECT_FALSE(dximecomposing());  // leaving text entry cancels the composition
}

TEST_F(TextEntry, InputMethodsSelectionIsTheClauseBeingConverted) {
  Start();
  dxsetfont("ＭＳ ゴシック", 16, 0, 0, 0, 0);
  const int h = dxfontheight();
  dximeon();
  // 22 characters, 66 bytes of UTF-8: more than the host's short editing event holds.
  const char* text = "今日はとても良い天気ですね散歩に行きましょう";
  host_.compose(0, U8(text), 5, 4);  // "良い天気" selected
  dxupdate();
  char16_t wide[64];
  ASSERT_EQ(ImmGetCompositionStringW(dximecontext, GCS_COMPSTR, wide, sizeof wide), 44);
  DWORD clause[8];
  ASSERT_EQ(ImmGetCompositionStringW(dximecontext, GCS_COMPCLAUSE, clause, sizeof clause), 16);
  EXPECT_EQ((std::vector<DWORD>(clause, clause + 4)), (std::vector<DWORD>{0, 5, 9, 22}));
  uint8_t attr[64];
  ASSERT_EQ(ImmGetCompositionStringW(dximecontext, GCS_COMPATTR, attr, sizeof attr), 22);
  EXPECT_EQ(attr[4], ATTR_INPUT);
  EXPECT_EQ(attr[5], ATTR_TARGET_CONVERTED);
  EXPECT_EQ(attr[8], ATTR_TARGET_CONVERTED);
  EXPECT_EQ(attr[9], ATTR_INPUT);
  // The narrow form counts CP932 bytes.
  ASSERT_EQ(ImmGetCompositionStringA(dximecontext, GCS_COMPCLAUSE, clause, sizeof clause), 16);
  EXPECT_EQ((std::vector<DWORD>(clause, clause + 4)), (std::vector<DWORD>{0, 10, 18, 44}));
  ASSERT_EQ(ImmGetCompositionStringA(dximecontext, GCS_COMPATTR, attr, sizeof attr), 44);
  EXPECT_EQ(attr[9], ATTR_INPUT);
  EXPECT_EQ(attr[10], ATTR_TARGET_CONVERTED);
  EXPECT_EQ(attr[17], ATTR_TARGET_CONVERTED);
  EXPECT_EQ(attr[18], ATTR_INPUT);

  // Drawn: the selection white on blue, and the candidate list placed under it.
  dxcls(0);
  dxdrawime(20, 100);
  const uint32_t white = dxrgb(255, 255, 255), black = dxrgb(0, 0, 0), blue = dxrgb(0, 0, 255);
  const int first = dxtextwidth("今日はとて"), target = dxtextwidth("良い天気");
  const int tx = 20 + first + 4;
  EXPECT_EQ(Back(20, 100 + h - 1), black);  // plain input: black underline
  EXPECT_EQ(Back(tx, 100 + h - 1), white);  // the target: white underline
  int blues = 0;
  for (int y = 100; y < 100 + h - 1; ++y)
    for (int x = tx; x < tx + target; ++x) {
      uint32_t p = Back(x, y);
      EXPECT_TRUE(p == blue || p == white) << x << "," << y;
      blues += p == blue;
    }
  EXPECT_GT(blues, target * (h - 1) / 2);
  EXPECT_EQ(Back(tx - 2, 100), white);  // the room between clauses
  EXPECT_EQ(host_.text_input_rect(), (host::HeadlessHost::Rect{tx, 100, 1, h}));

  // Without a selection the whole is one plain clause with the caret in it.
  host_.compose(Next(), U8(text), 3);
  dxupdate();
  ASSERT_EQ(ImmGetCompositionStringW(dximecontext, GCS_COMPCLAUSE, clause, sizeof clause), 8);
  EXPECT_EQ((std::vector<DWORD>(clause, clause + 2)), (std::vector<DWORD>{0, 22}));
  dxcls(0);
  dxdrawime(20, 100);
  EXPECT_EQ(Back(20 + dxtextwidth("今日は"), 100) & 0xFFFFFFu, 0u);  // the caret inverts white
  EXPECT_EQ(host_.text_input_rect(), (host::HeadlessHost::Rect{20, 100, 1, h}));

  // A selection as long as the host can say runs to the end of the text.
  host_.compose(Next(), U8(text), 5, INT32_MAX);
  dxupdate();
  ASSERT_EQ(ImmGetCompositionStringW(dximecontext, GCS_COMPCLAUSE, clause, sizeof clause), 12);
  EXPECT_EQ((std::vector<DWORD>(clause, clause + 3)), (std::vector<DWORD>{0, 5, 22}));
  dximeoff();
}

TEST_F(TextEntry, LineIsTypedAndAccepted) {
  Start();
  char buf[32];
  host_.text(Next(), "abc");
  host_.key_press(Next() + 1, host::key::Return);
  EXPECT_TRUE(dxinputline(10, 10, 200, buf, sizeof(buf), nullptr, dxrgb(255, 255, 255)));
  EXPECT_STREQ(buf, "abc");
  EXPECT_FALSE(host_.text_input_active() && ImmGetContext(dxmainwindow));  // the context is detached again

  char16_t wbuf[8];
  host_.text(Next(), U8("テスト"));
  host_.key_press(Next() + 1, host::key::Return);
  EXPECT_TRUE(dxinputlinew(10, 10, 200, wbuf, 8, u"x", dxrgb(255, 255, 255)));
  EXPECT_EQ(std::u16string(wbuf), u"xテスト");
}

TEST_F(TextEntry, WhatDoesNotFitIsDropped) {
  Start();
  char buf[5];
  host_.text(Next(), U8("あd"));
  host_.key_press(Next() + 1, host::key::Return);
  EXPECT_TRUE(dxinputline(0, 0, 100, buf, sizeof(buf), "abc", 0xFFFFFF));
  EXPECT_STREQ(buf, "abcd");
  // An initial text too long is cut without splitting a character.
  host_.key_press(Next(), host::key::Return);
  EXPECT_TRUE(dxinputline(0, 0, 100, buf, sizeof(buf), "abcあ", 0xFFFFFF));
  EXPECT_STREQ(buf, "abc");
}

TEST_F(TextEntry, EscapeRestoresTheInitialText) {
  Start();
  char buf[16];
  host_.text(Next(), "q");
  host_.key_press(Next() + 1, host::key::Escape);
  EXPECT_FALSE(dxinputline(0, 0, 100, buf, sizeof(buf), "xyz", 0xFFFFFF));
  EXPECT_STREQ(buf, "xyz");
  host_.text(Next(), "q");
  host_.key_press(Next() + 1, host::key::Escape);
  EXPECT_FALSE(dxinputline(0, 0, 100, buf, sizeof(buf), nullptr, 0xFFFFFF));
  EXPECT_STREQ(buf, "");
}

TEST_F(TextEntry, CursorMovesByWholeCharacters) {
  Start();
  char buf[16];
  uint64_t f = Next();
  host_.key_press(f, host::key::Left);  // from after あ to after a
  host_.text(f + 2, "b");
  host_.key_press(f + 3, host::key::Return);
  EXPECT_TRUE(dxinputline(0, 0, 100, buf, sizeof(buf), "aあ", 0xFFFFFF));
  EXPECT_STREQ(buf, "abあ");
  // The trail byte of を (F0) looks like a lead byte: Left still steps over "a" alone.
  f = Next();
  host_.key_press(f, host::key::Left);
  host_.text(f + 2, "b");
  host_.key_press(f + 3, host::key::Return);
  EXPECT_TRUE(dxinputline(0, 0, 100, buf, sizeof(buf), "をa", 0xFFFFFF));
  EXPECT_STREQ(buf, "をba");
  // Backspace and Delete remove whole characters.
  f = Next();
  host_.key_press(f, host::key::Home);
  host_.key_press(f + 2, host::key::Delete);
  host_.key_press(f + 4, host::key::End);
  host_.key_press(f + 6, host::key::Backspace);
  host_.key_press(f + 8, host::key::Return);
  EXPECT_TRUE(dxinputline(0, 0, 100, buf, sizeof(buf), "あxを", 0xFFFFFF));
  EXPECT_STREQ(buf, "x");
}

TEST_F(TextEntry, HeldBackspaceRepeatsAfterTheDelay) {
  Start();
  char buf[80];
  const std::string initial(60, 'z');
  auto removed_after = [&](int frames) {
    uint64_t f = Next();
    host_.key_down(f, host::key::Backspace);
    host_.key_up(f + frames, host::key::Backspace);
    host_.key_press(f + frames + 1, host::key::Return);
    EXPECT_TRUE(dxinputline(0, 0, 600, buf, sizeof(buf), initial.c_str(), 0xFFFFFF));
    return static_cast<int>(initial.size() - std::string(buf).size());
  };
  EXPECT_EQ(removed_after(25), 1);  // under the 500 ms delay: once
  // One at once, one after 500 ms, then one every 33 ms: at 60 frames a second
  // that is every other frame after frame 30.
  int n = removed_after(50);
  EXPECT_GE(n, 10);
  EXPECT_LE(n, 12);
}

TEST_F(TextEntry, EnterThatConfirmsACompositionDoesNotAcceptTheLine) {
  Start();
  char buf[16];
  uint64_t f = Next();
  Composition(f, "か", 1);
  host_.key_down(f + 1, host::key::Return);
  host_.text(f + 1, U8("か"));
  Composition(f + 1, "", 0);
  host_.key_up(f + 2, host::key::Return);
  host_.text(f + 3, "!");
  host_.key_press(f + 4, host::key::Return);
  EXPECT_TRUE(dxinputline(0, 0, 100, buf, sizeof(buf), nullptr, 0xFFFFFF));
  EXPECT_STREQ(buf, "か!");
}

TEST_F(TextEntry, CompositionOutsideTextEntryIsPlainTyping) {
  Start();
  // No context in the window: the host's committed text is typed characters.
  Composition(0, "か", 1);
  host_.text(0, U8("か"));
  dxupdate();
  EXPECT_FALSE(dximecomposing());
  EXPECT_EQ(Drain(), "か");
}

}  // namespace
