// Writes the data package: a file laid out like an executable with the package
// appended. Bytes 36 to 39 hold the package's offset P (little-endian); at P
// come "--PackageHeader--", the entry count and the entry headers {data
// offset, data size, name length L counting a final zero, the name's bytes
// inverted but for the final zero}, then the entries' data in table order.
// Every number is 32 bits, unsigned, little-endian, offsets from the file's start.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace packwriter {

struct Entry {
  std::string name;  // as the game asks for it: CP932, "/" separators
  std::vector<uint8_t> data;
};

// The longest name the reader takes (1023 stored bytes with the zero).
constexpr size_t kMaxName = 1022;
// Where the package begins: after the space of the header that holds its offset.
constexpr uint32_t kPackageOffset = 64;

// The package's bytes; false with a reason when a name is empty, too long or
// stored twice, or the file would pass 4 GiB.
bool Build(const std::vector<Entry>& entries, std::vector<uint8_t>& out, std::string& error);

// Every regular file under `folder`, named by the folder's own name and its path
// inside it ("data/map/map.cfg"), converted to CP932, in name order.
bool Collect(const std::filesystem::path& folder, std::vector<Entry>& entries, std::string& error);

// Builds and writes the package to `path` through a temporary file, so that a
// failed run leaves any earlier package whole.
bool Write(const std::vector<Entry>& entries, const std::filesystem::path& path, std::string& error);

}  // namespace packwriter
