// Shared set-up of the game-table fuzz targets: a headless display (the
// loaders draw progress screens), a working folder of its own with the loading
// picture, and a run that treats the designed stop as a normal end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "dx/dx.h"
#include "fuzz/common/scratch.h"
#include "platform/host/headless_host.h"

namespace gamefuzz {

inline void WriteFile(const std::string& name, const void* data, size_t size) {
  std::filesystem::path p(name);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}
inline void WriteFile(const std::string& name, const std::string& text) { WriteFile(name, text.data(), text.size()); }

// A 1 x 1 PNG: signature, IHDR, one IDAT, IEND.
inline const std::string& TinyPng() {
  static const std::string png(
      "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01\x08\x02\x00\x00\x00\x90\x77\x53\xde"
      "\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63\x10\x50\x30\x00\x00\x00\xa4\x00\x61\x34\x66\x7d\x72"
      "\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
      69);
  return png;
}

inline host::HeadlessHost& Host() {
  static host::HeadlessHost h;
  return h;
}

// The run's folder, the working folder while the run lasts. A static: the
// process's end (the replay's return from main, libFuzzer's exit() after its
// runs) goes back to the folder it left, then removes it.
class RunFolder {
 public:
  RunFolder() : caller_(std::filesystem::current_path()), folder_("gamedata_fuzz_") {
    std::filesystem::current_path(folder_.path());
  }
  ~RunFolder() {
    std::error_code ec;
    std::filesystem::current_path(caller_, ec);
  }
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

 private:
  std::filesystem::path caller_;
  ScratchFolder folder_;  // removed after the destructor's body has left it
};

// Once per process: host, display, folder.
inline void Start() {
  static bool started = false;
  if (started) return;
  started = true;
  host::HeadlessHost& h = Host();
  host::set(&h);
  h.set_catch_exits(true);
  h.set_quiet(true);
  h.set_frames_kept(0);
  if (!dxinit("fuzz", 640, 480, 32, false)) __builtin_trap();
  static RunFolder folder;
  WriteFile("data/system/loading.png", TinyPng());
  WriteFile("data/pic/a.png", TinyPng());
}

// Runs a loader; a stop through the fatal box is a designed answer.
template <typename F>
void Run(F f) {
  try {
    f();
  } catch (const host::ProcessExit&) {
  }
  Host().clear_message_boxes();  // each keeps a copy of the screen: a campaign would grow without end
}

}  // namespace gamefuzz
