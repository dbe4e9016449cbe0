// Shared helpers of the demo-data checks: the data folder, whole files, CP932
// text, and the tables that name other files.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "game/csvfile.h"

namespace datacheck {

// The program names its files relative to the folder that holds data/.
inline const std::filesystem::path& Root() {
  static const std::filesystem::path root = DOLVICAR_SOURCE_DIR;
  return root;
}

// Makes the source folder the working directory for the life of the object.
class InRoot {
 public:
  InRoot() : old_(std::filesystem::current_path()) { std::filesystem::current_path(Root()); }
  ~InRoot() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

inline bool Exists(const std::string& name) { return std::filesystem::is_regular_file(Root() / name); }

inline std::string ReadFile(const std::string& name) {
  std::ifstream in(Root() / name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Rows of a CSV file as the game's reader gives them; each row up to its first
// empty field.
inline std::vector<std::vector<std::string>> Csv(const std::string& name) {
  InRoot here;
  std::vector<std::vector<std::string>> out;
  char*** rows = ReadCsv(name.c_str());
  if (!rows) return out;
  for (char*** r = rows; *r; ++r) {
    std::vector<std::string> row;
    for (char** f = *r; *f; ++f) row.push_back(*f);
    out.push_back(row);
  }
  FreeCsv(rows);
  return out;
}

// The lines of a line-table file ("%d %s ..."), comments skipped.
inline std::vector<std::string> Lines(const std::string& name) {
  std::istringstream in(ReadFile(name));
  std::vector<std::string> out;
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') out.push_back(line);
  return out;
}

// Number to file name of a "n name" table.
inline std::map<int, std::string> NumberedTable(const std::string& name) {
  std::map<int, std::string> out;
  for (const std::string& line : Lines(name)) {
    std::istringstream in(line);
    int n;
    std::string file;
    if (in >> n >> file) out[n] = file;
  }
  return out;
}

// Empty when the text is well-formed CP932 with LF line ends; else what is wrong.
inline std::string Cp932Problem(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(text[i]);
    if (c == '\r') return "a CR at byte " + std::to_string(i);
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      if (i + 1 >= text.size()) return "a lead byte at the end";
      uint8_t t = static_cast<uint8_t>(text[i + 1]);
      if (t < 0x40 || t == 0x7F || t > 0xFC) return "a bad second byte at byte " + std::to_string(i + 1);
      ++i;
    } else if (c >= 0x80 && !(c >= 0xA1 && c <= 0xDF)) {
      return "a byte that starts no character at byte " + std::to_string(i);
    }
  }
  return "";
}


}  // namespace datacheck
