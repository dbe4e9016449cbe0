// The process's real ends, as a user meets them: the built game and a small
// program of the layer run as child processes on the headless host (in the
// sanitizer build too), and each must end with its exit code and print no
// report of a memory fault. Inside a test every exit is caught, which is why
// these run whole programs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/package/temp_dir.h"
#include "tools/mkpack/packwriter.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct ChildRun {
  int code = -1;    // the exit code; -1 when a signal ended the child
  int signal = 0;
  std::string output;  // standard output and error together
};

// Runs `exe` from `folder` with the extra environment; a child that spins
// past two minutes of processor time is ended by its limit.
ChildRun RunChild(const fs::path& exe, const std::vector<std::string>& args, const fs::path& folder,
             const std::vector<std::string>& env) {
  const fs::path log = folder / "output.txt";
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DOLVICAR_", 9) != 0) envs.push_back(*e);
  envs.insert(envs.end(), env.begin(), env.end());
  std::vector<char*> envp, argv;
  for (std::string& e : envs) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string exe_text = exe.string();
  std::vector<std::string> arg_texts = {exe_text};
  arg_texts.insert(arg_texts.end(), args.begin(), args.end());
  for (std::string& a : arg_texts) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string folder_text = folder.string(), log_text = log.string();

  ChildRun run;
  pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    int fd = open(log_text.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || chdir(folder_text.c_str()) != 0) _exit(120);
    dup2(fd, 1);
    dup2(fd, 2);
    rlimit cpu{120, 120};
    setrlimit(RLIMIT_CPU, &cpu);
    execve(exe_text.c_str(), argv.data(), envp.data());
    _exit(121);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) run.code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  run.output = TempDir::Read(log_text);
  return run;
}

// Words that only a fault report prints: the sanitizers', the C library's
// heap checks and the terminate handler's.
std::string FaultReport(const std::string& output) {
  for (const char* word : {"Sanitizer", "runtime error:", "free():", "double free", "corrupted", "terminate called",
                           "Segmentation", "malloc"}) {
    if (output.find(word) != std::string::npos) return word;
  }
  return "";
}

// A place for one program: the executable linked (or copied) into a fresh
// folder, which becomes its working folder and holds its package.
class ChildFolder {
 public:
  explicit ChildFolder(const fs::path& exe) : exe_(dir_.path() / exe.filename()) {
    std::error_code ec;
    fs::create_hard_link(exe, exe_, ec);
    if (ec) fs::copy_file(exe, exe_, fs::copy_options::overwrite_existing);
  }
  const fs::path& exe() const { return exe_; }
  const fs::path& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  fs::path exe_;
};

// ---- the layer's own program ----

class LayerExit : public ::testing::Test {
 protected:
  ChildRun Start(const char* how) { return RunChild(folder_.exe(), {how}, folder_.path(), {}); }
  ChildFolder folder_{DOLVICAR_EXIT_CHILD};
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
    std::vector<packwriter::Entry> entries;
    std::string error;
    ASSERT_TRUE(packwriter::Collect(fs::path(DOLVICAR_SOURCE_DIR) / "data", entries, error)) << error;
    edit(entries);
    ASSERT_TRUE(packwriter::Write(entries, folder_.path() / "dolvicar.pak", error)) << error;
  }
  // Runs the game headless on a 16-bit desktop (nothing asked at start-up),
  // with the input script given.
  ChildRun Play(const std::string& input) {
    TempDir::Write((folder_.path() / "input.txt").string(), input);
    return RunChild(folder_.exe(), {}, folder_.path(),
                    {"DOLVICAR_HEADLESS=1", "DOLVICAR_DESKTOP_DEPTH=16",
                     "DOLVICAR_INPUT=" + (folder_.path() / "input.txt").string()});
  }
  static void Remove(std::vector<packwriter::Entry>& entries, const std::string& name) {
    std::erase_if(entries, [&](const packwriter::Entry& e) { return e.name == name; });
  }
  static void Replace(std::vector<packwriter::Entry>& entries, const std::string& name, const std::string& text) {
    for (packwriter::Entry& e : entries)
      if (e.name == name) e.data.assign(text.begin(), text.end());
  }
  ChildFolder folder_{DOLVICAR_GAME_EXE};
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
  ASSERT_NO_FATAL_FAILURE(Pack([](auto& entries) { Remove(entries, "data/item/item.csv"); }));
  ChildRun run = Play("");
  EXPECT_EQ(run.signal, 0) << run.output;
  EXPECT_EQ(run.code, 1) << run.output;
  EXPECT_NE(run.output.find("[data/item/item.csv]"), std::string::npos) << run.output;
  EXPECT_EQ(FaultReport(run.output), "") << run.output;
}

TEST_F(GameExit, AStopAfterTheNameEntryEndsWithOne) {
  // Entering the dungeon after the name shows a picture that is not there.
  ASSERT_NO_FATAL_FAILURE(Pack([](auto& entries) {
    Replace(entries, "data/event/walk_enter.txt", "blt(\"data/bg/lost.png\", 0, 0);\n");
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
