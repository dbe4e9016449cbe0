#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/main.h"
#include "game/sound.h"
#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/win32/display.h"
#include "platform/win32/file.h"
#include "platform/win32/process.h"
#include "qv/qvsapi.h"
#include "tests/bitmaps/png_writer.h"
#include "tests/game/game_fixture.h"
#include "tools/mkpack/packwriter.h"

namespace {

using gametest::GameTest;
using gametest::U8;

class StartupTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    char* argv[] = {const_cast<char*>("dolvicar")};
    win32::SetProcessArgs(1, argv);
    BaseDir[0] = '\0';
  }
  void TearDown() override {
    dxrelease();
    soft3d::ResetForTests();  // depth buffers the 3-D stand-in still keeps
    ddraw::ResetForTests();
    QvxSoundTerminate();
    ClearSoundData();
    PackageOpen("");  // no package
    win32::RestoreDesktopMode();
    win32::SetDesktopDepth(32);
    std::filesystem::current_path(dir_.path());
    GameTest::TearDown();
  }
  // Runs start-up and the title loop to the program's end; its exit code.
  int RunGame() {
    try {
      InitGame();
      TitleLoop();
    } catch (const host::ProcessExit& e) {
      return e.code;
    }
  }
};


std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string Bmp() {
  std::string b = "BM";
  auto le = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b += static_cast<char>(v >> (8 * i));
  };
  le(54 + 16, 4), le(0, 4), le(54, 4), le(40, 4), le(2, 4), le(2, 4), le(1, 2), le(24, 2);
  le(0, 4), le(16, 4), le(0, 4), le(0, 4), le(0, 4), le(0, 4);
  return b + std::string(16, '\x40');
}

std::string Log(int n, const std::string& more = "") {
  return "LOG = LOG . \"" + std::to_string(n) + ",\"; " + more;
}

// Writes a small package beside the program: the files start-up reads, and
// the given events; its path.
std::string WritePackage(const std::vector<std::pair<int, std::string>>& events) {
  std::vector<packwriter::Entry> entries = {
      {"data/sound/sound.cfg", Bytes("# no sounds\n")},
      {"data/system/loading.png", testpng::Encode(8, 8, 2, 8, std::vector<uint8_t>(192, 30))},
      {"data/map/map.cfg", Bytes("0 MAP\n0 2 2 6 FLAG 16\n")},
      {"data/map_chip/chip.cfg", Bytes("1 a.bmp\n")},
      {"data/map_chip/a.bmp", Bytes(Bmp())},
      {"data/map/chip.cfg", Bytes("1 w.png\n")},
      {"data/map/w.png", testpng::Encode(2, 2, 2, 8, std::vector<uint8_t>(12, 50))},
      {"data/item/item.csv", {}},
      {"data/mon_cfg/_mon.csv", {}},
      {"data/mon_cfg/group.csv", {}},
      {"data/system/cata.txt", {}},
  };
  std::string table;
  for (const auto& [n, script] : events) {
    table += std::to_string(n) + ",e" + std::to_string(n) + ".txt\n";
    entries.push_back({"data/event/e" + std::to_string(n) + ".txt", Bytes(script)});
  }
  entries.push_back({"data/event/event.csv", Bytes(table)});
  std::string pak = win32::HostPath(PackageFileName().c_str());
  std::string error;
  EXPECT_TRUE(packwriter::Write(entries, pak, error)) << error;
  return pak;
}

// A whole start from a small package beside the program, through every
// choice of the title event to the end.
TEST_F(StartupTest, StartsFromThePackageAndRunsTheTitleLoop) {
  std::vector<std::pair<int, std::string>> events = {
      {1, Log(1, "MOVE_MOTION = 1;")},
      {3, Log(3)},
      {4, Log(4, "PASSES = PASSES + 1; if (PASSES == 1) { RET = 7; } if (PASSES == 2) { RET = 0; } "
                 "if (PASSES == 3) { RET = 1; } if (PASSES == 4) { RET = 2; } if (PASSES == 5) { RET = 3; }")},
      {2, Log(2)},
      {5, Log(5, "hero_hp(10);")},
      {6, Log(6)},
      {8, Log(8, "FLAG = map_flag(2, 2, 0); RET = 131072;")},
      {12, Log(12, "RET = 1;")},
      {15, Log(15)},
      {51, Log(51)},
  };
  const std::string pak = WritePackage(events);

  win32::SetDesktopDepth(16);
  char* argv[] = {const_cast<char*>("dolvicar"), const_cast<char*>("save dir")};
  win32::SetProcessArgs(2, argv);
  // The save folder is found from the program's folder, where start-up goes:
  // only the process's first start goes there, so an earlier test's start may
  // have taken that step already.
  std::filesystem::path saves = std::filesystem::path(pak).parent_path() / "save dir";
  std::filesystem::create_directory(saves);
  std::filesystem::current_path(saves.parent_path());
  SetVarStr("LOG", "");
  int code = RunGame();
  std::filesystem::remove(pak);
  std::filesystem::remove(saves);

  EXPECT_EQ(code, 0);
  EXPECT_EQ(GetVarStr("LOG"), std::string("1,3,4,4,6,5,51,8,4,6,12,4,2,4,15,"));
  EXPECT_STREQ(BaseDir, "save dir");
  EXPECT_EQ(SetupRecord.move_motion, 1);
  EXPECT_EQ(GetVarInt("FLAG"), 16);  // the map's flags were set for the new game
  EXPECT_EQ(host_.message_boxes().size(), 0u);
}

// A full-screen setting, applied after the start-up event, shows the whole
// frame on the screen.
TEST_F(StartupTest, AFullScreenSettingShowsTheWholeFrame) {
  const std::string pak =
      WritePackage({{1, "FULL_SCREEN = 1;"}, {4, "fill(0, 0, 255, 0, 0, 640, 480); ref(); RET = 3;"}});
  win32::SetDesktopDepth(16);
  EXPECT_EQ(RunGame(), 0);
  std::filesystem::remove(pak);
  const host::Frame* f = host_.last_frame();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->w, 640);
  ASSERT_EQ(f->h, 480);
  int blue = 0;
  for (uint32_t p : f->pixels) blue += p == 0x0000FF;
  EXPECT_EQ(blue, 640 * 480);
}

TEST_F(StartupTest, ADesktopBelowSixteenBitsStops) {
  win32::SetDesktopDepth(8);
  EXPECT_EQ(RunGame(), 1);
  ASSERT_GE(Boxes(), 1u);
  EXPECT_NE(host_.message_boxes()[0].text.find(
                U8(u8"ディスプレイの色数が16bit(HiColor)以上でなくては、ゲームを起動できません")),
            std::string::npos);
}

TEST_F(StartupTest, ADeeperDesktopIsOfferedSixteenBits) {
  win32::SetDesktopDepth(32);
  host_.answer_next(host::MessageResult::Yes);
  RunGame();  // how far it gets depends on the files beside the program
  ASSERT_GE(Boxes(), 1u);
  const host::MessageBoxRecord& ask = host_.message_boxes()[0];
  EXPECT_EQ(ask.caption, U8(u8"色数変更"));
  EXPECT_EQ(ask.buttons, host::MessageButtons::YesNo);
  EXPECT_EQ(ask.icon, host::MessageIcon::Question);
  EXPECT_EQ(win32::CurrentMode().bpp, 16);
  // The display layer starts on the switched screen: it draws at 16 bits.
  EXPECT_EQ(dxscreendepth, 16);
}

TEST_F(StartupTest, SixteenBitsAskNothing) {
  win32::SetDesktopDepth(16);
  RunGame();
  for (const host::MessageBoxRecord& box : host_.message_boxes()) EXPECT_NE(box.caption, U8(u8"色数変更"));
}

// The texts of the warnings start-up showed.
std::vector<std::string> Warnings(const host::HeadlessHost& h) {
  std::vector<std::string> out;
  for (const host::MessageBoxRecord& box : h.message_boxes())
    if (box.caption == U8(u8"警告")) out.push_back(box.text);
  return out;
}

TEST_F(StartupTest, AMissingPackageIsToldWithThePathAsOnDisk) {
  win32::SetDesktopDepth(16);
  std::string pak = win32::HostPath(PackageFileName().c_str());
  std::filesystem::remove(pak);
  RunGame();
  std::vector<std::string> missing = Warnings(host_);
  ASSERT_GE(missing.size(), 1u);
  EXPECT_EQ(missing[0], "[" + pak + U8(u8"]はありません"));
}

TEST_F(StartupTest, ADamagedPackageIsNotCalledMissing) {
  win32::SetDesktopDepth(16);
  std::string pak = win32::HostPath(PackageFileName().c_str());
  TempDir::Write(pak, "not a package at all, only some bytes");
  RunGame();
  std::filesystem::remove(pak);
  std::vector<std::string> damaged = Warnings(host_);
  ASSERT_GE(damaged.size(), 1u);
  EXPECT_EQ(damaged[0], "[" + pak + U8(u8"]は壊れています"));
}

TEST_F(StartupTest, ASaveFolderThatIsNotThereIsToldAtOnceAndTheGameGoesOn) {
  win32::SetDesktopDepth(16);
  char* argv[] = {const_cast<char*>("dolvicar"), const_cast<char*>("no such folder")};
  win32::SetProcessArgs(2, argv);
  std::filesystem::remove(win32::HostPath(PackageFileName().c_str()));
  RunGame();
  // After the word that the package is missing.
  std::vector<std::string> warnings = Warnings(host_);
  ASSERT_GE(warnings.size(), 2u);
  EXPECT_EQ(warnings[1], U8(u8"記録の保存先[no such folder]がありません\n記録と設定は保存できません"));
}

TEST_F(StartupTest, DeleteSetupFileRemovesTheSettings) {
  TempDir::Write("setup.jpg", "x");
  DeleteSetupFile();
  EXPECT_FALSE(std::filesystem::exists("setup.jpg"));
  DeleteSetupFile();  // a missing file is no error
}

}  // namespace
