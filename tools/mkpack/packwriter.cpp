#include "tools/mkpack/packwriter.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <system_error>

#include "platform/win32/text.h"

namespace packwriter {

namespace {

constexpr char kMagic[] = "--PackageHeader--";
constexpr size_t kMagicSize = sizeof kMagic - 1;

void Put32(std::vector<uint8_t>& out, size_t at, uint64_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void Append32(std::vector<uint8_t>& out, uint64_t v) {
  out.resize(out.size() + 4);
  Put32(out, out.size() - 4, v);
}

}  // namespace

bool Build(const std::vector<Entry>& entries, std::vector<uint8_t>& out, std::string& error) {
  std::set<std::string> seen;
  uint64_t index_end = kPackageOffset + kMagicSize + 4;
  uint64_t total = 0;
  for (const Entry& e : entries) {
    if (e.name.empty() || e.name.size() > kMaxName || e.name.find('\0') != std::string::npos) {
      error = "unusable name: " + win32::Cp932ToUtf8(e.name);
      return false;
    }
    if (!seen.insert(e.name).second) {
      error = "name stored twice: " + win32::Cp932ToUtf8(e.name);
      return false;
    }
    index_end += 12 + e.name.size() + 1;
    total += e.data.size();
  }
  if (index_end + total > 0xFFFFFFFFu) {
    error = "the package would pass 4 GiB";
    return false;
  }
  out.assign(kPackageOffset, 0);
  Put32(out, 36, kPackageOffset);
  out.insert(out.end(), kMagic, kMagic + kMagicSize);
  Append32(out, entries.size());
  uint64_t data_at = index_end;
  for (const Entry& e : entries) {
    Append32(out, data_at);
    Append32(out, e.data.size());
    Append32(out, e.name.size() + 1);
    for (char c : e.name) out.push_back(static_cast<uint8_t>(~static_cast<uint8_t>(c)));
    out.push_back(0);
    data_at += e.data.size();
  }
  for (const Entry& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
  return true;
}

bool Collect(const std::filesystem::path& folder, std::vector<Entry>& entries, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path root = fs::absolute(folder, ec).lexically_normal();
  if (!root.empty() && !root.has_filename()) root = root.parent_path();  // "data/" names "data"
  if (ec || !fs::is_directory(root, ec)) {
    error = "not a folder: " + folder.string();
    return false;
  }
  std::string prefix = root.filename().string();
  std::vector<Entry> found;
  for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::follow_directory_symlink, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    std::string rel = it->path().lexically_relative(root).generic_string();
    Entry e;
    e.name = win32::Utf8ToCp932(prefix + "/" + rel);
    std::ifstream in(it->path(), std::ios::binary);
    e.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
      error = "cannot read " + it->path().string();
      return false;
    }
    found.push_back(std::move(e));
  }
  if (ec) {
    error = "cannot list " + root.string() + ": " + ec.message();
    return false;
  }
  std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  entries.insert(entries.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
  return true;
}

bool Write(const std::vector<Entry>& entries, const std::filesystem::path& path, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!Build(entries, bytes, error)) return false;
  std::filesystem::path temp = path;
  temp += ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      error = "cannot write " + temp.string();
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace packwriter
