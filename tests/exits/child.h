// Whole programs run as child processes: started in a folder of their own with
// the environment a test gives, their exit and their output collected.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/package/temp_dir.h"
#include "tools/mkpack/packwriter.h"

extern char** environ;

namespace child {

namespace fs = std::filesystem;

// Milliseconds on a monotonic clock. (<chrono> does not build with our
// execution character set.)
inline int64_t NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
constexpr int64_t kNoDeadline = INT64_MAX;

// How many times a test repeats a run: `usual`, or DOLVICAR_EXIT_RUNS where a
// run costs more (the ThreadSanitizer build makes a few).
inline int Runs(int usual) {
  const char* s = std::getenv("DOLVICAR_EXIT_RUNS");
  const int n = s ? std::atoi(s) : 0;
  return n > 0 ? n : usual;
}

struct Run {
  int code = -1;    // the exit code; -1 when a signal ended the child
  int signal = 0;
  bool timed_out = false;  // still running at the deadline, and killed
  std::string output;  // standard output and error together
};

// Starts `exe` in `folder` with the extra environment (our own variables are
// not inherited, nor others that it sets), its output into `log`; a child that
// spins past two minutes of processor time is ended by its limit. Returns its
// process id, or -1.
inline pid_t Start(const fs::path& exe, const std::vector<std::string>& args, const fs::path& folder,
                   const std::vector<std::string>& env, const fs::path& log) {
  auto set_here = [&](const char* e) {
    for (const std::string& mine : env) {
      size_t eq = mine.find('=');
      if (eq != std::string::npos && std::strncmp(e, mine.c_str(), eq + 1) == 0) return true;
    }
    return false;
  };
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DOLVICAR_", 9) != 0 && !set_here(*e)) envs.push_back(*e);
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

  pid_t pid = fork();
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
  return pid < 0 ? -1 : pid;
}

// Whether the child has ended; fills `run` when it has.
inline bool Ended(pid_t pid, Run& run) {
  int status = 0;
  pid_t r = waitpid(pid, &status, WNOHANG);
  if (r == 0 || (r < 0 && errno == EINTR)) return false;
  if (r == pid && WIFEXITED(status)) run.code = WEXITSTATUS(status);
  if (r == pid && WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  return true;
}

// Waits for the child's end, killing it at the deadline (NowMs time), and
// reads its output.
inline Run Finish(pid_t pid, const fs::path& log, int64_t deadline = kNoDeadline) {
  Run run;
  if (pid < 0) return run;
  while (!Ended(pid, run)) {
    if (NowMs() > deadline) {
      run.timed_out = true;
      kill(pid, SIGKILL);
      while (!Ended(pid, run)) usleep(10000);
      break;
    }
    usleep(10000);
  }
  run.output = TempDir::Read(log.string());
  return run;
}

// Runs `exe` from `folder` to its end, its output in the folder's "output.txt".
inline Run RunToEnd(const fs::path& exe, const std::vector<std::string>& args, const fs::path& folder,
                    const std::vector<std::string>& env) {
  const fs::path log = folder / "output.txt";
  return Finish(Start(exe, args, folder, env, log), log);
}

// Words that only a fault report prints: the sanitizers', the C library's
// heap checks and the terminate handler's.
inline std::string FaultReport(const std::string& output) {
  for (const char* word : {"Sanitizer", "runtime error:", "free():", "double free", "corrupted", "terminate called",
                           "Segmentation", "malloc"}) {
    if (output.find(word) != std::string::npos) return word;
  }
  return "";
}

// A place for one program: the executable linked (or copied) into a fresh
// folder, which becomes its working folder and holds its package.
class Folder {
 public:
  explicit Folder(const fs::path& exe) : exe_(dir_.path() / exe.filename()) {
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

// The demo data as tools/play.sh packs it, changed by `edit`, as the package
// in `folder`. An empty answer means it is there.
template <typename Edit>
std::string PackDemo(const fs::path& folder, Edit edit) {
  std::vector<packwriter::Entry> entries;
  std::string error;
  if (!packwriter::Collect(fs::path(DOLVICAR_SOURCE_DIR) / "data", entries, error)) return error;
  edit(entries);
  if (!packwriter::Write(entries, folder / "dolvicar.pak", error)) return error;
  return "";
}

inline void Remove(std::vector<packwriter::Entry>& entries, const std::string& name) {
  std::erase_if(entries, [&](const packwriter::Entry& e) { return e.name == name; });
}

inline void Replace(std::vector<packwriter::Entry>& entries, const std::string& name, const std::string& text) {
  for (packwriter::Entry& e : entries)
    if (e.name == name) e.data.assign(text.begin(), text.end());
}

}  // namespace child
