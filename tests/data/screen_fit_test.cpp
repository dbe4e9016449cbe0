// What a new player sees of the demo: every menu and yes/no text inside its
// button, the endings' lines on the screen, the item lists' page label on a
// plain band of the frame, the exploring minimap wholly on the screen, the
// hero marked on the floor map, the control hint after the name shown to
// an ordinary press of Enter, and notices over the screen they were opened
// on, with nothing of an earlier window left around them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/enemy.h"
#include "game/event.h"
#include "game/gamestate.h"
#include "game/macro/macro_menu.h"
#include "game/macro/macro_mes.h"
#include "game/map2d.h"
#include "game/position.h"
#include "game/win.h"
#include "script/script.h"
#include "script/strlist.h"
#include "tests/data/demo_play.h"

namespace {

namespace key = host::key;
using demoplay::DemoPlay;

// The arguments of a call, split at the commas outside quotes.
std::vector<std::string> Arguments(const std::string& text, size_t open) {
  std::vector<std::string> args(1);
  bool quoted = false;
  int depth = 0;
  for (size_t i = open + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '(') ++depth;
    if (!quoted && c == ')' && depth-- == 0) break;
    if (!quoted && c == ',' && depth == 0) {
      args.emplace_back();
      continue;
    }
    if (!quoted && c == ' ' && args.back().empty()) continue;
    args.back() += c;
  }
  return args;
}

// Every call of `name` in the event scripts, as (file, arguments).
std::vector<std::pair<std::string, std::vector<std::string>>> Calls(const std::string& name) {
  std::vector<std::pair<std::string, std::vector<std::string>>> out;
  for (const auto& entry : std::filesystem::directory_iterator(datacheck::Root() / "data/event")) {
    if (entry.path().extension() != ".txt") continue;
    const std::string file = "data/event/" + entry.path().filename().string();
    const std::string text = datacheck::ReadFile(file);
    for (size_t at = text.find(name + "("); at != std::string::npos; at = text.find(name + "(", at + 1)) {
      if (at > 0 && (std::isalnum(static_cast<unsigned char>(text[at - 1])) || text[at - 1] == '_')) continue;
      out.push_back({file, Arguments(text, at + name.size())});
    }
  }
  return out;
}

// The texts a menu argument can be: a quoted text, or every quoted text the
// script assigns to the variable it names.
std::vector<std::string> Choices(const std::string& script, const std::string& arg) {
  if (arg.size() >= 2 && arg.front() == '"') return {arg.substr(1, arg.size() - 2)};
  std::vector<std::string> out;
  const std::string assign = arg + " = \"";
  for (size_t at = script.find(assign); at != std::string::npos; at = script.find(assign, at + 1)) {
    if (at > 0 && (std::isalnum(static_cast<unsigned char>(script[at - 1])) || script[at - 1] == '_')) continue;
    const size_t from = at + assign.size(), to = script.find('"', from);
    if (to != std::string::npos && script.compare(to, 2, "\";") == 0) out.push_back(script.substr(from, to - from));
  }
  return out;
}

class DemoScreen : public DemoPlay {};

// The last frame at which the new game was set up and its message window
// still open: the control hint on screen.
uint64_t* g_hint_watch = nullptr;
void WatchHint(uint64_t) {
  if (g_hint_watch && GameStateBlock.gold == 60 && MesWindow.open) *g_hint_watch = host::headless()->frames_presented();
}

TEST_P(DemoScreen, EveryMenuTextStaysInsideItsButton) {
  ASSERT_TRUE(Start()) << BoxTexts();
  int menus = 0;
  for (const char* name : {"selecth", "selectw"}) {
    for (const auto& [file, args] : Calls(name)) {
      SCOPED_TRACE(file + ": " + name);
      ASSERT_GE(args.size(), 5u);
      const int x = std::stoi(args[0]), y = std::stoi(args[1]);
      const bool centred = std::stoi(args[3]) != 0;
      const std::string script = datacheck::ReadFile(file);
      // Every combination of the texts a variable can hold.
      std::vector<std::vector<std::string>> menus_texts(1);
      for (size_t a = 4; a < args.size(); ++a) {
        const std::vector<std::string> choices = Choices(script, args[a]);
        ASSERT_FALSE(choices.empty()) << args[a];
        std::vector<std::vector<std::string>> grown;
        for (const auto& texts : menus_texts)
          for (const std::string& c : choices) {
            grown.push_back(texts);
            grown.back().push_back(c);
          }
        menus_texts = grown;
      }
      for (const auto& texts : menus_texts) {
        std::vector<const char*> list;
        for (const std::string& t : texts) list.push_back(t.c_str());
        list.push_back(nullptr);
        const ChoiceMenuLayout m = std::string(name) == "selecth" ? LayoutChoiceMenuV(x, y, list.data())
                                                                 : LayoutChoiceMenuH(x, y, list.data());
        ++menus;
        for (const ChoiceMenuItem& it : m.items) {
          // The button's ends are 8-pixel caps; the text belongs between them.
          EXPECT_GE(it.TextX(centred), it.button_x + 8) << it.text;
          EXPECT_LE(it.TextX(centred) + it.width, it.button_x + it.button_w - 8) << it.text;
        }
        EXPECT_LE(x + m.frame_w, 640);
        EXPECT_LE(y + m.frame_h, 480);
      }
    }
  }
  EXPECT_GE(menus, 10);
}

TEST_P(DemoScreen, EveryYesNoCaptionStaysInsideItsButton) {
  ASSERT_TRUE(Start()) << BoxTexts();
  // The box's buttons are 64 wide; their captions are centred in the
  // buttons' own font, between 8-pixel caps.
  dxsetfont(GameFontFace, 12, 8, 0, 0, 1);
  int boxes = 0;
  for (const auto& [file, args] : Calls("yesno")) {
    SCOPED_TRACE(file);
    ASSERT_GE(args.size(), 5u);
    EXPECT_LE(std::stoi(args[0]) + 128, 640);
    EXPECT_LE(std::stoi(args[1]) + 64, 480);
    const std::string script = datacheck::ReadFile(file);
    for (size_t a = 3; a < 5; ++a) {
      const std::vector<std::string> choices = Choices(script, args[a]);
      ASSERT_FALSE(choices.empty()) << args[a];
      for (const std::string& c : choices) EXPECT_LE(dxtextwidth(c.c_str()), 64 - 16) << c;
    }
    ++boxes;
  }
  EXPECT_GE(boxes, 6);
}

TEST_P(DemoScreen, EveryMonstersLinesInTheEndingsStayOnTheScreen) {
  ASSERT_TRUE(Start()) << BoxTexts();
  int shown = 0;
  for (const MonsterRec& m : MonsterTable) {
    if (!m.pic[0] || !m.pic[0][0] || (m.demo & 2)) continue;  // not in the endings
    ++shown;
    SCOPED_TRACE(m.num);
    ASSERT_NE(m.auth, nullptr);
    ASSERT_NE(m.name, nullptr);
    // The parade's lines come to rest where their motion ends: the author
    // line right-aligned at 612 (29 moves of 28 from -200) in the 48 x 28
    // font, the name line from 60 (29 moves of 20 from 640) at 30 x 24, with
    // a defeat count of three figures.
    dxsetfont(GameFontFace, 48, 28, 1, 0, 0);
    EXPECT_GE(612 - dxtextwidth((std::string(m.auth) + " 様").c_str()), 0) << m.auth;
    dxsetfont(GameFontFace, 30, 24, 1, 0, 0);
    EXPECT_LE(60 + dxtextwidth((std::string(m.name) + "(999回)").c_str()), 640) << m.name;
    // The roll centres the author at 32 x 16 and right-aligns the name at 500
    // at 24 x 12.
    dxsetfont(GameFontFace, 32, 16, 1, 0, 1);
    EXPECT_LE(dxtextwidth(("■" + std::string(m.auth) + "■").c_str()), 640) << m.auth;
    dxsetfont(GameFontFace, 24, 12, 1, 0, 1);
    EXPECT_GE(500 - dxtextwidth(("………" + std::string(m.name)).c_str()), 0) << m.name;
  }
  EXPECT_GE(shown, 8);
}

TEST_P(DemoScreen, TheMinimapsLieWhollyOnTheScreen) {
  ASSERT_TRUE(Start()) << BoxTexts();
  InitMap2DSurface();
  const int w = dxbitmapwidth(Map2DSurface), h = dxbitmapheight(Map2DSurface);
  EXPECT_EQ(w, 352);
  int calls = 0;
  for (const auto& [file, args] : Calls("draw2d")) {
    SCOPED_TRACE(file);
    ASSERT_GE(args.size(), 2u);
    const int x = std::stoi(args[0]), y = std::stoi(args[1]);
    EXPECT_GE(x, 0);
    EXPECT_GE(y, 0);
    EXPECT_LE(x + w, 640);
    EXPECT_LE(y + h, 480);
    ++calls;
  }
  EXPECT_GE(calls, 2);
}

TEST_P(DemoScreen, TheFloorMapMarksTheHerosCellAndHeading) {
  ASSERT_TRUE(Start()) << BoxTexts();
  const auto calls = Calls("draw2dall");
  ASSERT_EQ(calls.size(), 1u);
  const int mx = std::stoi(calls[0].second[0]), my = std::stoi(calls[0].second[1]);
  Keys({key::Return, key::Return, key::Return});  // the new game's waits and its name
  NewGame();
  // 16 pixels a cell, north up.
  const int cx = mx + 16 * GetPosX(HeroPos), cy = my + 16 * (24 - GetPosY(HeroPos));
  std::vector<std::vector<uint32_t>> marks;
  for (int heading = 0; heading < 4; ++heading) {
    SCOPED_TRACE(heading);
    HeroPos.T = 90.0 * heading;
    host_.key_press(host_.frames_presented() + 30, key::Return);  // back from the map
    ASSERT_NO_THROW(eventExec(305));
    const std::vector<uint32_t> shown = host_.last_frame()->pixels;
    // The same screen with the plain map drawn over it.
    DrawFloorMap(mx, my, -1);
    dxupdate();
    const host::Frame& plain = *host_.last_frame();
    std::vector<uint32_t> mark;
    int elsewhere = 0, marked = 0;
    for (int y = my; y < my + 400; ++y)
      for (int x = mx; x < mx + 400; ++x) {
        const uint32_t px = shown[static_cast<size_t>(y) * plain.w + x];
        if (x >= cx && x < cx + 16 && y >= cy && y < cy + 16) {
          mark.push_back(px);
          marked += px != plain.at(x, y);
        } else {
          elsewhere += px != plain.at(x, y);
        }
      }
    EXPECT_GT(marked, 16 * 16 / 4);
    EXPECT_EQ(elsewhere, 0);
    marks.push_back(mark);
  }
  // Each heading its own mark.
  for (size_t i = 0; i < marks.size(); ++i)
    for (size_t j = i + 1; j < marks.size(); ++j) EXPECT_NE(marks[i], marks[j]) << i << " " << j;
  EXPECT_TRUE(host_.message_boxes().empty()) << BoxTexts();
}

TEST_P(DemoScreen, TheItemListsPageLabelSitsOnAPlainBand) {
  ASSERT_TRUE(Start()) << BoxTexts();
  // The widest label a list of the demo writes, at its place in the frame.
  dxsetfont(GameFontFace, 16, 8, 1, 0, 1);
  const int label_w = dxtextwidth("\x83\x79\x81\x5b\x83\x57[8/8]");  // "ページ[8/8]"
  dxcls(0);
  DrawWindowFrame(0, 0, 320, 294, 80);
  dxupdate();
  const host::Frame* f = host_.last_frame();
  ASSERT_NE(f, nullptr);
  // One colour, give or take the dither of a 16-bit screen.
  const uint32_t band = f->at(16, 2);
  auto near = [](uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16})
      if (std::abs(static_cast<int>(a >> shift & 255) - static_cast<int>(b >> shift & 255)) > 12) return false;
    return true;
  };
  for (int y = 2; y < 18; ++y)
    for (int x = 16; x < 16 + label_w; ++x) ASSERT_TRUE(near(f->at(x, y), band)) << x << "," << y;
  // Light, so that the black label reads on it.
  EXPECT_GT((band >> 16 & 255) + (band >> 8 & 255) + (band & 255), 3u * 180);
}

TEST_P(DemoScreen, TheControlHintWaitsThroughAnOrdinaryPressOfEnter) {
  ASSERT_TRUE(Start()) << BoxTexts();
  SetVarInt("OPENING_SEEN", 1);
  uint64_t frame = host_.frames_presented() + 60;
  host_.key_press(frame, key::Return);  // title: new game
  host_.key_press(frame += 60, key::Return);  // the prologue
  // The name as offered, taken by Enter held down for 150 ms.
  const uint64_t name = frame += 60;
  host_.key_down(name, key::Return);
  host_.key_up(name + 9, key::Return);
  // The hint is read and let go a second later; then back to the title.
  const uint64_t hint = frame += 120;
  host_.key_press(hint, key::Return);
  for (int k : {key::Escape, key::Down, key::Return, key::Left, key::Return}) host_.key_press(frame += 60, k);
  host_.close(frame + 3000);
  uint64_t hint_shown_until = 0;
  g_hint_watch = &hint_shown_until;
  host::add_clock_listener(WatchHint);
  bool returned = true;
  try {
    TitlePass();
  } catch (const host::ProcessExit&) {
    returned = false;
  }
  host::remove_clock_listener(WatchHint);
  g_hint_watch = nullptr;
  ASSERT_TRUE(returned) << "the keys went astray";
  // The hint stayed on screen well after the name's Enter was let go, until
  // the key that was meant for it.
  EXPECT_GT(hint_shown_until, name + 60);
  EXPECT_LE(hint_shown_until, hint);
  EXPECT_EQ(HeroPos.X, 11);
  EXPECT_EQ(HeroPos.Y, 12);
  EXPECT_TRUE(host_.message_boxes().empty()) << BoxTexts();
}

// What a notice is drawn over: the screen as the player saw it when a
// built-in of the script began (the start of the search, the last menu), and
// the screen under the notice of the given words as its window is drawn.
struct UnderNotice {
  UnderNotice(const char* call, const char* text) : before_call(call), words(text) {}
  const char* before_call;  // the built-in whose start shows the screen expected
  const char* words;        // the notice's words, from their start
  ScriptHandler before = nullptr, win = nullptr;
  std::vector<uint32_t> expected, under;
};
UnderNotice* g_under = nullptr;
std::vector<uint32_t> Shown() {
  dxupdate();
  const host::Frame* f = host::headless()->last_frame();
  return f ? f->pixels : std::vector<uint32_t>{};
}
int BeforeCall(StrList** args, StrList** stack) {
  g_under->expected = Shown();
  return g_under->before(args, stack);
}
int NoticeWindow(StrList** args, StrList** stack) {
  const std::string note = GetVarStr("NOTE");
  if (note.rfind(g_under->words, 0) == 0 && g_under->under.empty()) g_under->under = Shown();
  return g_under->win(args, stack);
}

class DemoNotice : public DemoPlay {
 protected:
  void TearDown() override {
    g_under = nullptr;
    DemoPlay::TearDown();
  }
  // Runs the event by its keys, watching what the notice is drawn over.
  void Watch(UnderNotice& w, int event, const std::vector<int>& keys) {
    w.before = demoplay::BuiltIn(w.before_call);
    w.win = demoplay::BuiltIn("win");
    ASSERT_TRUE(w.before && w.win);
    g_under = &w;
    ScriptRegisterFunction(&MacroList, w.before_call, BeforeCall, nullptr);
    ScriptRegisterFunction(&MacroList, "win", NoticeWindow, nullptr);
    host_.clear_script();
    for (int k : {key::Return, key::Escape, key::Down}) host_.key_up(host_.frames_presented(), k);
    Keys(keys);
    Eval("NOTE = \"\"");  // the words of a notice before
    ASSERT_NO_THROW(eventExec(event));
    ScriptRegisterFunction(&MacroList, w.before_call, w.before, nullptr);
    ScriptRegisterFunction(&MacroList, "win", w.win, nullptr);
    g_under = nullptr;
    EXPECT_EQ(BoxTexts(), "");
    ASSERT_FALSE(w.under.empty()) << "no notice of " << w.words;
    ASSERT_FALSE(w.expected.empty());
    // Where it differs, the first pixel.
    size_t at = 0;
    while (at < w.under.size() && at < w.expected.size() && w.under[at] == w.expected[at]) ++at;
    EXPECT_TRUE(w.under == w.expected) << "something else is left under the notice, first at " << at % 640 << ","
                                       << at / 640;
  }
};

// The camp's search tells of a chest nearby over the camp as the search
// began: neither the notice of what stands ahead nor a sign read there is
// left under it.
TEST_P(DemoNotice, TheChestNearbyIsToldOverTheCampAsTheSearchBegan) {
  ASSERT_TRUE(Start()) << BoxTexts();
  Keys({key::Return, key::Return, key::Return});
  NewGame();
  struct Row {
    const char* what;
    int n, x, y, heading;  // heading in quarter turns
  };
  const Row rows[] = {
      {"after what stands ahead", 0, 1, 11, 2},
      {"after a sign", 1, 23, 17, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Eval("move(" + std::to_string(row.n) + ", " + std::to_string(row.x) + ", " + std::to_string(row.y) + ", " +
         std::to_string(row.heading) + ")");
    UnderNotice w{"scan_pushevent", "近くに宝箱の気配がする。"};
    ASSERT_NO_FATAL_FAILURE(Watch(w, 10, {key::Down, key::Down, key::Down, key::Down, key::Return,  // search
                                          key::Return,     // what stands ahead, or the sign
                                          key::Return,     // the chest nearby
                                          key::Escape}));  // close the camp menu
  }
}

// Settings that cannot be kept are told over the screen the settings were
// chosen on, with nothing of their menu left around the notice.
TEST_P(DemoNotice, SettingsNotKeptAreToldWithoutTheirMenu) {
  ASSERT_TRUE(Start()) << BoxTexts();
  std::snprintf(BaseDir, sizeof BaseDir, "%s", dir_.path().c_str());
  std::filesystem::create_directories(dir_.path() / "setup.jpg" / "in the way");
  UnderNotice w{"selecth", "設定を保存できなかった。"};
  ASSERT_NO_FATAL_FAILURE(Watch(w, 2, {key::Escape, key::Return}));  // leave the menu, the notice
  std::filesystem::remove_all(dir_.path() / "setup.jpg");
}

// One depth is enough: the play tests cover the others.
INSTANTIATE_TEST_SUITE_P(Depth16, DemoScreen, ::testing::Values(16));
INSTANTIATE_TEST_SUITE_P(Depth16, DemoNotice, ::testing::Values(16));

}  // namespace
