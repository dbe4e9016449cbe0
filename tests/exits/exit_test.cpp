// The process's real ends, as a user meets them: the built game and a small
// program of the layer run as child processes on the headless host (in the
// sanitizer build too), and each must end with its exit code and print no
// report of a memory fault. Inside a test every exit is caught, which is why
// these run whole programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/exits/child.h"

namespace {

using child::FaultReport;
using ChildRun = child::Run;

// ---- the layer's own program ----

class LayerExit : public ::testing::Test {
 protected:
  ChildRun Start(const char* how) { return child::RunToEnd(folder_.exe(), {how}, folder_.path(), {}); }
  child::Folder folder_{DOLVICAR_EXIT_CHILD};
};

TEST_F(LayerExit, ReturningFromMainAfterTheThreeDDeviceAndTextEntryReleasesCleanly) {
  ChildRun run = Start("return");
  EXPECT_EQ(run.signal, 0) << run.output;
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(FaultReport(run.output), "") << run.output;
}

TEST_F(LayerExit, TheLayersExitReleasesCleanly) {
  ChildRun run = Start("exit");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(FaultReport(run.output), "") << run.output;
}

TEST_F(LayerExit, AFatalStopShowsItsBoxAndEndsAtOnce) {
  ChildRun run = Start("fatal");
  EXPECT_EQ(run.code, 3) << run.output;
  EXPECT_NE(run.output.find("stopped 1"), std::string::npos) << run.output;
  EXPECT_EQ(FaultReport(run.output), "") << run.output;
}

// ---- the game ----

class GameExit : public ::testing::Test {
 protected:
  // The demo data as tools/play.sh packs it, changed by `edit`, beside the game.
  template <typename Edit>
  void Pack(Edit edit) {
    ASSERT_EQ(child::PackDemo(folder_.path(), edit), "");
  }
  // Runs the game headless on a 16-bit desktop (nothing asked at start-up),
  // with the input script given.
  ChildRun Play(const std::string& input) {
    TempDir::Write((folder_.path() / "input.txt").string(), input);
    return child::RunToEnd(folder_.exe(), {}, folder_.path(),
                           {"DOLVICAR_HEADLESS=1", "DOLVICAR_DESKTOP_DEPTH=16",
                            "DOLVICAR_INPUT=" + (folder_.path() / "input.txt").string()});
  }
  child::Folder folder_{DOLVICAR_GAME_EXE};
};

// Start-up takes some 180 frames; the opening then waits for a key. The
// title's menu runs top to bottom: new game, continue, settings, quit.
constexpr char kQuitFromTheTitle[] =
    "600 press Return\n"
    "+60 press Down\n+30 press Down\n+30 press Down\n"
    "+30 press Return\n";

TEST_F(GameExit, QuittingFromTheTitleEndsWithZero) {
  ASSERT_NO_FATAL_FAILURE(Pack([](auto&) {}));
  ChildRun run = Play(kQuitFromTheTitle);
  EXPECT_EQ(run.signal, 0) << run.output;
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(FaultReport(run.output), "") << run.output;
  EXPECT_EQ(run.output.find("[message box]"), std::string::npos) << run.output;
}

TEST_F(GameExit, AMissingDataFileStopsWithOne) {
  ASSERT_NO_FATAL_FAILURE(Pack([](auto& entries) { child::Remove(entries, "data/item/item.csv"); }));
  ChildRun run = Play("");
  EXPECT_EQ(run.signal, 0) << run.output;
  EXPECT_EQ(run.code, 1) << run.output;
  EXPECT_NE(run.output.find("[data/item/item.csv]"), std::string::npos) << run.output;
  EXPECT_EQ(FaultReport(run.output), "") << run.output;
}

TEST_F(GameExit, AStopAfterTheNameEntryEndsWithOne) {
  // Entering the dungeon after the name shows a picture that is not there.
  ASSERT_NO_FATAL_FAILURE(Pack([](auto& entries) {
    child::Replace(entries, "data/event/walk_enter.txt", "blt(\"data/bg/lost.png\", 0, 0);\n");
  }));
  ChildRun run = Play(
      "600 press Return\n"   // the opening
      "+60 press Return\n"   // the title: new game
      "+60 press Return\n"   // the prologue's wait
      "+60 text Kai\n"       // the name typed
      "+30 press Return\n"   // and accepted
      "+60 press Return\n"   // the last wait
      "+600 close\n");
  EXPECT_EQ(run.signal, 0) << run.output;
  EXPECT_EQ(run.code, 1) << run.output;
  EXPECT_NE(run.output.find("data/bg/lost.png"), std::string::npos) << run.output;
  EXPECT_EQ(FaultReport(run.output), "") << run.output;
}

}  // namespace
