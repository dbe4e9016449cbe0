// mkpack FOLDER OUTPUT: packs every file under FOLDER into the data package
// OUTPUT, each named as the game asks for it ("data/map/map.cfg").
#include <cstdio>

#include "tools/mkpack/packwriter.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FOLDER OUTPUT\n", argc > 0 ? argv[0] : "mkpack");
    return 2;
  }
  std::vector<packwriter::Entry> entries;
  std::string error;
  if (!packwriter::Collect(argv[1], entries, error) || !packwriter::Write(entries, argv[2], error)) {
    std::fprintf(stderr, "mkpack: %s\n", error.c_str());
    return 1;
  }
  size_t bytes = 0;
  for (auto& e : entries) bytes += e.data.size();
  std::printf("mkpack: %zu files, %zu bytes of data in %s\n", entries.size(), bytes, argv[2]);
  return 0;
}
