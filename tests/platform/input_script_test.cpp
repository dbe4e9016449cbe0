// The headless host's input scripts: what each line becomes, and the line a
// bad script is refused at.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/host/headless_host.h"
#include "platform/host/input_script.h"

namespace {

using host::EventType;
using host::ParseInputScript;
using host::ScriptedEvent;

// Scripts are UTF-8; the program's own narrow literals are CP932.
std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

std::vector<ScriptedEvent> Parse(const std::string& text) {
  std::vector<ScriptedEvent> out;
  std::string error;
  EXPECT_TRUE(ParseInputScript(text, out, error)) << error;
  return out;
}

std::string Error(const std::string& text) {
  std::vector<ScriptedEvent> out;
  std::string error;
  EXPECT_FALSE(ParseInputScript(text, out, error)) << text;
  EXPECT_TRUE(out.empty());
  return error;
}

TEST(InputScript, EachLineIsOneEventAtItsFrame) {
  auto e = Parse(
      "# the opening\n"
      "\n"
      "10 press Return\r\n"
      "+5 down Up\n"
      "  +0 up Up  \n"
      "40 text " +
      U8(u8"かな A") + "\n"
      "41 down 0\n"
      "41 down F12\n"
      "41 down 225\n"
      "50 close\n");
  ASSERT_EQ(e.size(), 9u);
  EXPECT_EQ(e[0].frame, 10u);
  EXPECT_EQ(e[0].event.type, EventType::KeyDown);
  EXPECT_EQ(e[0].event.scancode, host::key::Return);
  EXPECT_EQ(e[1].frame, 11u);  // a press lets go one frame later
  EXPECT_EQ(e[1].event.type, EventType::KeyUp);
  EXPECT_EQ(e[2].frame, 15u);  // relative to the line before, not to the release
  EXPECT_EQ(e[2].event.scancode, host::key::Up);
  EXPECT_EQ(e[3].frame, 15u);
  EXPECT_EQ(e[3].event.type, EventType::KeyUp);
  EXPECT_EQ(e[4].event.type, EventType::Text);
  EXPECT_EQ(e[4].event.text, U8(u8"かな A"));
  EXPECT_EQ(e[5].event.scancode, host::key::N0);
  EXPECT_EQ(e[6].event.scancode, host::key::F12);
  EXPECT_EQ(e[7].event.scancode, host::key::LShift);
  EXPECT_EQ(e[8].frame, 50u);
  EXPECT_EQ(e[8].event.type, EventType::Close);
}

TEST(InputScript, BadLinesAreRefusedWithTheirNumber) {
  EXPECT_EQ(Error("1 press Return\nx press Return\n"), "line 2: a frame number was expected");
  EXPECT_EQ(Error("1 press Enter"), "line 1: unknown key \"Enter\"");
  EXPECT_EQ(Error("1 press"), "line 1: unknown key \"\"");
  EXPECT_EQ(Error("1 press 512"), "line 1: unknown key \"512\"");
  EXPECT_EQ(Error("1 press F13"), "line 1: unknown key \"F13\"");
  EXPECT_EQ(Error("1 press a"), "line 1: unknown key \"a\"");
  EXPECT_EQ(Error("1 press A B"), "line 1: one key a line");
  EXPECT_EQ(Error("1 jump"), "line 1: unknown action \"jump\"");
  EXPECT_EQ(Error("1 close now"), "line 1: close takes nothing");
  EXPECT_EQ(Error("1 text   "), "line 1: text needs characters");
  EXPECT_EQ(Error("1 text \xFF"), "line 1: text is not UTF-8");
  EXPECT_EQ(Error("1 text \xC0\x80"), "line 1: text is not UTF-8");  // an overlong zero
  EXPECT_EQ(Error("-1 close"), "line 1: a frame number was expected");
  EXPECT_EQ(Error("99999999999999999999 close"), "line 1: a frame number was expected");
  EXPECT_EQ(Error("10000000000000 close\n+10000000000000 close"), "line 2: the frame is too far");
}

TEST(InputScript, AFileFeedsTheHost) {
  const std::string path = std::filesystem::temp_directory_path() / "dolvicar_input_script_test.txt";
  std::ofstream(path) << "0 press A\n2 close\n";
  host::HeadlessHost h;
  std::string error;
  ASSERT_TRUE(host::LoadInputScript(h, path, error)) << error;
  host::Event e;
  ASSERT_TRUE(h.poll_event(e));
  EXPECT_EQ(e.type, EventType::KeyDown);
  EXPECT_FALSE(h.poll_event(e));  // the release comes with frame 1
  std::ofstream(path) << "0 press A\nbad\n";
  EXPECT_FALSE(host::LoadInputScript(h, path, error));
  EXPECT_EQ(error, path + ": line 2: a frame number was expected");
  std::remove(path.c_str());
  EXPECT_FALSE(host::LoadInputScript(h, path, error));
  EXPECT_EQ(error, "cannot read " + path);
}

}  // namespace
