// The game's ends on a real (virtual) X server, as a player meets them on the
// SDL host (CTest runs this under xvfb-run): there streamed music is refilled
// by the timer thread and mixed on the audio thread, and the player closes the
// window through the window system. Each child must end with its exit code and
// print no fault report.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/exits/child.h"

// After our headers: Xlib defines None and other short names as macros.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;

// Asks every window of process `pid` to close, as a window manager's close
// button does.
class WindowCloser {
 public:
  WindowCloser() : d_(XOpenDisplay(nullptr)) {
    if (!d_) return;
    // A window may go away while it is looked at: that is no error here.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    pid_ = XInternAtom(d_, "_NET_WM_PID", False);
    protocols_ = XInternAtom(d_, "WM_PROTOCOLS", False);
    delete_ = XInternAtom(d_, "WM_DELETE_WINDOW", False);
  }
  ~WindowCloser() {
    if (d_) XCloseDisplay(d_);
  }
  bool ok() const { return d_ != nullptr; }

  void Close(pid_t pid) {
    Walk(DefaultRootWindow(d_), pid);
    XSync(d_, False);
  }

 private:
  void Walk(Window w, pid_t pid) {
    if (PidOf(w) == pid) {
      XEvent e{};
      e.xclient.type = ClientMessage;
      e.xclient.window = w;
      e.xclient.message_type = protocols_;
      e.xclient.format = 32;
      e.xclient.data.l[0] = static_cast<long>(delete_);
      e.xclient.data.l[1] = CurrentTime;
      XSendEvent(d_, w, False, NoEventMask, &e);
    }
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d_, w, &root, &parent, &children, &n)) return;
    std::vector<Window> list(children, children + n);
    if (children) XFree(children);
    for (Window c : list) Walk(c, pid);
  }

  long PidOf(Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(d_, w, pid_, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data && format == 32 && count == 1)
      pid = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return pid;
  }

  Display* d_;
  Atom pid_ = 0, protocols_ = 0, delete_ = 0;
};

class DesktopExit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "no X server (CTest runs this under xvfb-run)";
    ASSERT_TRUE(closer_.ok());
  }

  // The demo with the opening's logo left out (it only takes time) and the
  // title's event replaced.
  void PackWithTitle(const std::string& title) {
    ASSERT_EQ(child::PackDemo(folder_.path(),
                              [&](auto& entries) {
                                child::Replace(entries, "data/event/sys_logo.txt", "RET = 0;\n");
                                child::Replace(entries, "data/event/sys_title.txt", title);
                              }),
              "");
  }

  struct Outcome {
    child::Run run;
    int number;
    int64_t closing_ms = 0;  // from the first request to close to the end
  };

  // Runs the game `count` times, a few at a time, each with a settings folder
  // of its own as its argument. Once a run's settings file appears (written
  // by the script as a sign that it got there), its windows are asked to
  // close, again and again, until it ends.
  std::vector<Outcome> PlayMany(int count, bool close_when_saved, int64_t deadline_ms) {
    struct Running {
      pid_t pid;
      int number;
      fs::path dir, log;
      int64_t start, closed;
    };
    constexpr int kAtOnce = 6;
    std::vector<Outcome> done;
    std::vector<Running> running;
    int started = 0;
    while (started < count || !running.empty()) {
      while (started < count && static_cast<int>(running.size()) < kAtOnce) {
        Running r{-1, started, folder_.path() / ("run" + std::to_string(started)),
                  folder_.path() / ("run" + std::to_string(started) + ".txt"), child::NowMs(), 0};
        fs::create_directories(r.dir);
        r.pid = child::Start(folder_.exe(), {r.dir.string()}, folder_.path(),
                             {"DOLVICAR_DESKTOP_DEPTH=16", "SDL_AUDIODRIVER=dummy"}, r.log);
        running.push_back(r);
        ++started;
      }
      for (size_t i = 0; i < running.size();) {
        Running& r = running[i];
        child::Run run;
        bool late = child::NowMs() - r.start > deadline_ms;
        if (late || child::Ended(r.pid, run)) {
          if (late) run = child::Finish(r.pid, r.log, 0);
          run.output = TempDir::Read(r.log.string());
          done.push_back({run, r.number, r.closed ? child::NowMs() - r.closed : 0});
          running.erase(running.begin() + static_cast<long>(i));
          continue;
        }
        if (close_when_saved && fs::exists(r.dir / "setup.jpg")) {
          if (!r.closed) r.closed = child::NowMs();
          closer_.Close(r.pid);
        }
        ++i;
      }
      usleep(50000);
    }
    std::sort(done.begin(), done.end(), [](const Outcome& a, const Outcome& b) { return a.number < b.number; });
    return done;
  }

  // Runs the game once. Once its settings file appears (written by the script
  // as a sign that it got there), its windows are asked to close, one time
  // only, as a player clicks the close button once.
  Outcome PlayClosedOnce(int64_t deadline_ms) {
    const fs::path dir = folder_.path() / "once", log = folder_.path() / "once.txt";
    fs::create_directories(dir);
    const int64_t start = child::NowMs();
    const pid_t pid = child::Start(folder_.exe(), {dir.string()}, folder_.path(),
                                   {"DOLVICAR_DESKTOP_DEPTH=16", "SDL_AUDIODRIVER=dummy"}, log);
    Outcome o{{}, 0};
    int64_t closed = 0;
    while (!child::Ended(pid, o.run)) {
      if (child::NowMs() - start > deadline_ms) {
        o.run = child::Finish(pid, log, 0);
        break;
      }
      if (!closed && fs::exists(dir / "setup.jpg")) {
        closed = child::NowMs();
        closer_.Close(pid);
      }
      usleep(10000);
    }
    o.run.output = TempDir::Read(log.string());
    o.closing_ms = closed ? child::NowMs() - closed : -1;
    return o;
  }

  // A logo event that saves the settings and then loops without waiting: one
  // close ends the game with 0 soon after, however long each step takes.
  void ExpectOneCloseEnds(const std::string& loop) {
    ASSERT_EQ(child::PackDemo(folder_.path(),
                              [&](auto& entries) {
                                child::Replace(entries, "data/event/sys_logo.txt", "setupsave();\n" + loop);
                              }),
              "");
    const Outcome o = PlayClosedOnce(20000);
    EXPECT_FALSE(o.run.timed_out) << o.run.output;
    EXPECT_EQ(o.run.signal, 0) << o.run.output;
    EXPECT_EQ(o.run.code, 0) << o.run.output;
    EXPECT_GE(o.closing_ms, 0) << o.run.output;
    EXPECT_LT(o.closing_ms, 2000) << o.run.output;
    EXPECT_EQ(child::FaultReport(o.run.output), "") << o.run.output;
  }

  child::Folder folder_{DOLVICAR_GAME_EXE};
  WindowCloser closer_;
};

// Music streams from the title until the game ends: the timer thread that
// refills it must not outlive the host it asks for the time. The runs of a
// case are shared among batches, each a test of its own on an X server of its
// own, so that ctest runs them side by side.
constexpr int kBatches = 3;
const int kRunsPerBatch = child::Runs(10);
constexpr int64_t kRunDeadlineMs = 90000;

class DesktopExitBatch : public DesktopExit, public ::testing::WithParamInterface<int> {};

TEST_P(DesktopExitBatch, QuittingFromTheTitleWhileMusicPlaysEndsWithZeroEveryTime) {
  ASSERT_NO_FATAL_FAILURE(PackWithTitle("music(1);\nsleep(300);\nRET = 3;\n"));
  for (const Outcome& o : PlayMany(kRunsPerBatch, false, kRunDeadlineMs)) {
    EXPECT_FALSE(o.run.timed_out) << "run " << o.number << "\n" << o.run.output;
    EXPECT_EQ(o.run.signal, 0) << "run " << o.number << "\n" << o.run.output;
    EXPECT_EQ(o.run.code, 0) << "run " << o.number << "\n" << o.run.output;
    EXPECT_EQ(child::FaultReport(o.run.output), "") << "run " << o.number << "\n" << o.run.output;
  }
}

TEST_P(DesktopExitBatch, AFatalStopWhileMusicPlaysEndsWithOneEveryTime) {
  // The stop's box is closed with the window.
  ASSERT_NO_FATAL_FAILURE(
      PackWithTitle("music(1);\nsleep(300);\nsetupsave();\nblt(\"data/bg/lost.png\", 0, 0);\n"));
  for (const Outcome& o : PlayMany(kRunsPerBatch, true, kRunDeadlineMs)) {
    EXPECT_FALSE(o.run.timed_out) << "run " << o.number << "\n" << o.run.output;
    EXPECT_EQ(o.run.signal, 0) << "run " << o.number << "\n" << o.run.output;
    EXPECT_EQ(o.run.code, 1) << "run " << o.number << "\n" << o.run.output;
    EXPECT_EQ(child::FaultReport(o.run.output), "") << "run " << o.number << "\n" << o.run.output;
  }
}

INSTANTIATE_TEST_SUITE_P(Batches, DesktopExitBatch, ::testing::Range(0, kBatches));

// A script that loops without a waiting built-in never reaches the message
// pump; closing the window must end the game all the same.
TEST_F(DesktopExit, ClosingTheWindowEndsAScriptThatNeverWaits) {
  ASSERT_EQ(child::PackDemo(folder_.path(),
                            [](auto& entries) {
                              child::Replace(entries, "data/event/sys_logo.txt",
                                             "setupsave();\nwhile (1) { N = N + 1; }\n");
                            }),
            "");
  std::vector<Outcome> runs = PlayMany(1, true, 30000);
  ASSERT_EQ(runs.size(), 1u);
  const child::Run& run = runs[0].run;
  EXPECT_FALSE(run.timed_out) << run.output;
  EXPECT_EQ(run.signal, 0) << run.output;
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_LT(runs[0].closing_ms, 10000) << run.output;
  EXPECT_EQ(child::FaultReport(run.output), "") << run.output;
}

// Each step of these loops costs much more than a counter's: the close is
// looked for by the time that passed, not by a count of steps.
TEST_F(DesktopExit, OneCloseEndsAScriptThatFillsTheScreenWithoutWaiting) {
  ExpectOneCloseEnds("while (1) { fill(1, 1, 1, 0, 0, 640, 480, 60); }\n");
}

TEST_F(DesktopExit, OneCloseEndsAScriptThatSavesWithoutWaiting) {
  ExpectOneCloseEnds("while (1) { setupsave(); }\n");
}

}  // namespace
