// The fuzz input as a file for the readers that open one by name: an anonymous
// memory file, named through /proc and closed with the object.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class MemFile {
 public:
  MemFile(const char* label, const uint8_t* data, size_t size) : fd_(memfd_create(label, MFD_CLOEXEC)) {
    if (fd_ < 0) return;
    if (size && write(fd_, data, size) != static_cast<ssize_t>(size)) {
      close(fd_);
      fd_ = -1;
      return;
    }
    name_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemFile() {
    if (fd_ >= 0) close(fd_);
  }
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;

  // False when the file could not be made (the input is then skipped).
  bool ok() const { return fd_ >= 0; }
  const char* name() const { return name_.c_str(); }

 private:
  int fd_;
  std::string name_;
};
