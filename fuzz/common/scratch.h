// What the fuzz targets that read files by name share: a folder of the run's
// own (removed when the run ends) and the headless host, catching the program's
// stops so that a refused input returns to the fuzzer.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/host/headless_host.h"

class ScratchFolder {
 public:
  explicit ScratchFolder(const char* prefix) {
    std::string tmpl = (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) std::abort();
    path_ = tmpl;
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `name` (relative to the folder), making its folders.
  void Write(const std::string& name, const void* data, size_t size) const {
    std::filesystem::path p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

 private:
  std::filesystem::path path_;
};

// The run's headless host, installed as the current one.
inline host::HeadlessHost& InstallFuzzHost() {
  static host::HeadlessHost h;
  h.set_catch_exits(true);
  h.set_quiet(true);
  h.clear_message_boxes();  // each keeps a copy of the screen: a campaign would grow without end
  host::set(&h);
  return h;
}
