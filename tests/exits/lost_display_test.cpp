// The game when its X server goes away under it (the server ends, the user
// logs out): every run has a virtual X server of its own, ended at a chosen
// moment, and the game must end at once, with status 1 and by no signal,
// printing no fault report.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/exits/child.h"

// After our headers: Xlib defines None and other short names as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

namespace fs = std::filesystem;

// Xvfb at 16 bits with a black root, on a display number it chooses itself.
class Server {
 public:
  Server() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      execl(DOLVICAR_XVFB, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x16", "-nolisten", "tcp",
            "-br", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    ready_ = fds[0];
    fcntl(ready_, F_SETFL, O_NONBLOCK);
  }
  ~Server() {
    End();
    if (ready_ >= 0) close(ready_);
  }

  // The display's name once the server takes connections, else "".
  const std::string& display() {
    char buf[16];
    ssize_t n;
    while (display_.empty() && ready_ >= 0 && (n = read(ready_, buf, sizeof buf)) > 0) {
      number_.append(buf, static_cast<size_t>(n));
      if (number_.back() == '\n') display_ = ":" + number_.substr(0, number_.size() - 1);
    }
    return display_;
  }

  // Ends the server as a logout does, and waits for it.
  void End() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int ready_ = -1;
  std::string number_, display_;
};

// Whether something other than black shows in the middle of the screen, where
// both the game's window (black in the scene with the box) and a box are
// centred.
bool BoxShown(const std::string& display) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  const int w = 64, h = 16;
  XImage* img = XGetImage(d, DefaultRootWindow(d), DisplayWidth(d, 0) / 2 - w / 2, DisplayHeight(d, 0) / 2 - h / 2,
                          w, h, AllPlanes, ZPixmap);
  bool shown = false;
  for (int y = 0; img && y < h && !shown; ++y)
    for (int x = 0; x < w && !shown; ++x) shown = XGetPixel(img, x, y) != 0;
  if (img) XDestroyImage(img);
  XCloseDisplay(d);
  return shown;
}

// The logo passed over; the title starts its music, writes the settings file
// as its sign and stays.
void WaitAtTheTitle(std::vector<packwriter::Entry>& entries) {
  child::Replace(entries, "data/event/sys_logo.txt", "RET = 0;\n");
  child::Replace(entries, "data/event/sys_title.txt", "music(1);\nsetupsave();\nsleep(20000);\nRET = 3;\n");
}

// Where the game is when its display goes. Each scene writes the settings file
// as a sign that it got there.
enum Scene { kTitle, kPlay, kBox, kScenes };
const char* const kSceneNames[kScenes] = {"at the title", "in play", "with a message box up"};

TEST(LostDisplay, TheGameEndsAtOnceWithOneAtTheTitleInPlayAndUnderABox) {
  // Music streams in every scene, so its timer and audio threads run.
  child::Folder folders[kScenes] = {child::Folder(DOLVICAR_GAME_EXE), child::Folder(DOLVICAR_GAME_EXE),
                                    child::Folder(DOLVICAR_GAME_EXE)};
  auto pack = [&](Scene scene, auto edit) {
    ASSERT_EQ(child::PackDemo(folders[scene].path(),
                              [&](auto& entries) {
                                child::Replace(entries, "data/event/sys_logo.txt", "RET = 0;\n");
                                edit(entries);
                              }),
              "");
  };
  ASSERT_NO_FATAL_FAILURE(pack(kTitle, [](auto& entries) { WaitAtTheTitle(entries); }));
  // A new game that asks nothing and walks in at once.
  ASSERT_NO_FATAL_FAILURE(pack(kPlay, [](auto& entries) {
    child::Replace(entries, "data/event/sys_title.txt", "music(1);\nRET = 0;\n");
    child::Replace(entries, "data/event/sys_newgame.txt",
                   "hero_clear();\nhero_name(\"A\");\nhero_hp_max(40);\nhero_hp(40);\nmove(0, 11, 12, 0, 0);\n");
    const std::string sign = "setupsave();\n";
    for (packwriter::Entry& e : entries)
      if (e.name == "data/event/walk_enter.txt") e.data.insert(e.data.end(), sign.begin(), sign.end());
  }));
  // A picture that is not there stops the game with a box.
  ASSERT_NO_FATAL_FAILURE(pack(kBox, [](auto& entries) {
    child::Replace(entries, "data/event/sys_title.txt",
                   "music(1);\nsetupsave();\nblt(\"data/bg/lost.png\", 0, 0);\n");
  }));

  struct Run {
    int number;
    Scene scene;
    std::unique_ptr<Server> server;
    pid_t game = -1;
    fs::path dir, log;
    int64_t start = 0, lost = 0;  // when it started, and when its server was ended
    bool ended = false;
    child::Run result;
  };
  constexpr int kRuns = 20, kAtOnce = 10;
  constexpr int64_t kArriveMs = 60000, kEndMs = 5000;
  std::vector<std::unique_ptr<Run>> running, done;
  int started = 0;
  while (started < kRuns || !running.empty()) {
    while (started < kRuns && static_cast<int>(running.size()) < kAtOnce) {
      auto r = std::make_unique<Run>();
      r->number = started;
      r->scene = static_cast<Scene>(started % kScenes);
      r->server = std::make_unique<Server>();
      r->dir = folders[r->scene].path() / ("run" + std::to_string(started));
      r->log = folders[r->scene].path() / ("run" + std::to_string(started) + ".txt");
      r->start = child::NowMs();
      fs::create_directories(r->dir);
      running.push_back(std::move(r));
      ++started;
    }
    for (size_t i = 0; i < running.size();) {
      Run& r = *running[i];
      const int64_t now = child::NowMs();
      if (r.game < 0 && !r.server->display().empty()) {
        r.game = child::Start(folders[r.scene].exe(), {r.dir.string()}, folders[r.scene].path(),
                              {"DISPLAY=" + r.server->display(), "DOLVICAR_DESKTOP_DEPTH=16", "SDL_AUDIODRIVER=dummy"},
                              r.log);
      }
      if (r.game >= 0 && child::Ended(r.game, r.result)) {
        r.ended = true;
      } else if (r.game >= 0 && !r.lost && fs::exists(r.dir / "setup.jpg") &&
                 (r.scene != kBox || BoxShown(r.server->display()))) {
        r.server->End();
        r.lost = child::NowMs();
      } else if (r.lost ? now - r.lost > kEndMs : now - r.start > kArriveMs) {
        r.result = child::Finish(r.game, r.log, 0);
        r.ended = true;
      }
      if (r.ended) {
        r.server.reset();
        r.result.output = TempDir::Read(r.log.string());
        done.push_back(std::move(running[i]));
        running.erase(running.begin() + static_cast<long>(i));
        continue;
      }
      ++i;
    }
    usleep(20000);
  }

  for (const auto& r : done) {
    const std::string what = "run " + std::to_string(r->number) + ", " + kSceneNames[r->scene] + "\n" +
                             r->result.output;
    if (!r->lost) {
      ADD_FAILURE() << "the game ended or stalled before its display was lost: " << what;
      continue;
    }
    EXPECT_FALSE(r->result.timed_out) << what;
    EXPECT_EQ(r->result.signal, 0) << what;
    EXPECT_EQ(r->result.code, 1) << what;
    EXPECT_NE(r->result.output.find("display was lost"), std::string::npos) << what;
    EXPECT_EQ(child::FaultReport(r->result.output), "") << what;
  }
}

// A write to the connection after its server has gone raises SIGPIPE in the
// writing thread, which by default ends the game before Xlib reports the lost
// connection; the runs above meet it only when a write comes before a read
// finds the connection closed. Here the signal comes before the server ends,
// so every run meets it.
TEST(LostDisplay, ABrokenPipeBeforeTheServerEndsStillEndsTheGameWithOne) {
  child::Folder folder(DOLVICAR_GAME_EXE);
  ASSERT_EQ(child::PackDemo(folder.path(), WaitAtTheTitle), "");
  Server server;
  const int64_t deadline = child::NowMs() + 60000;
  while (server.display().empty() && child::NowMs() < deadline) usleep(20000);
  ASSERT_NE(server.display(), "");

  // The game starts, as from a shell, with the signal's default action, not
  // with whatever this process has.
  struct sigaction ours {}, by_default {};
  by_default.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &by_default, &ours);
  const fs::path dir = folder.path() / "saves", log = folder.path() / "run.txt";
  fs::create_directories(dir);
  const pid_t game = child::Start(folder.exe(), {dir.string()}, folder.path(),
                                  {"DISPLAY=" + server.display(), "DOLVICAR_DESKTOP_DEPTH=16", "SDL_AUDIODRIVER=dummy"},
                                  log);
  sigaction(SIGPIPE, &ours, nullptr);
  ASSERT_GT(game, 0);

  child::Run result;
  bool ended = false;
  while (!(ended = child::Ended(game, result)) && !fs::exists(dir / "setup.jpg") && child::NowMs() < deadline)
    usleep(20000);
  if (ended || !fs::exists(dir / "setup.jpg")) {
    if (!ended) result = child::Finish(game, log, 0);
    FAIL() << "the game ended (status " << result.code << ", signal " << result.signal
           << ") or stalled before the title\n" << TempDir::Read(log.string());
  }
  kill(game, SIGPIPE);
  server.End();
  result = child::Finish(game, log, child::NowMs() + 5000);
  EXPECT_FALSE(result.timed_out) << result.output;
  EXPECT_EQ(result.signal, 0) << result.output;
  EXPECT_EQ(result.code, 1) << result.output;
  EXPECT_NE(result.output.find("display was lost"), std::string::npos) << result.output;
  EXPECT_EQ(child::FaultReport(result.output), "") << result.output;
}

}  // namespace
