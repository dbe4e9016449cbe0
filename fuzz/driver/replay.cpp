// Replays a fuzz target over files and folders given on the command line, so that
// a GCC build (which has no libFuzzer) runs every target over its seeds as a test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

int RunFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", p.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A copy of exactly the input's size, so that reads past the end are caught.
  std::vector<uint8_t> exact(bytes);
  LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // With no path there is nothing to replay: a run that tests nothing fails.
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n  replays each file, and every file under each folder\n",
                 argv[0]);
    return 1;
  }
  // Every input is found before the target first runs: a target that starts the
  // layer moves the working folder to the program's own, and the paths must
  // mean what they meant where the run was started.
  std::vector<fs::path> files;
  int failures = 0;
  bool empty = false;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    const fs::path arg = argv[i][0] ? fs::absolute(argv[i], ec) : fs::path();
    if (arg.empty() || ec || !fs::exists(arg, ec)) {
      std::fprintf(stderr, "no such file or folder: '%s'\n", argv[i]);
      return 1;
    }
    if (!fs::is_directory(arg, ec)) {
      files.push_back(arg);
      continue;
    }
    std::vector<fs::path> found;
    for (fs::recursive_directory_iterator it(arg, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_regular_file(ec)) found.push_back(it->path());
    if (ec) {
      std::fprintf(stderr, "cannot list %s: %s\n", arg.c_str(), ec.message().c_str());
      ++failures;
    } else if (found.empty()) {
      // A folder that holds nothing tests nothing, even beside a full one: a
      // corpus that was never copied or generated must not pass unseen.
      std::fprintf(stderr, "no input in '%s'\n", argv[i]);
      empty = true;
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  if (empty) return 1;
  // The empty input is always worth a run.
  LLVMFuzzerTestOneInput(nullptr, 0);
  int replayed = 0;
  for (const fs::path& f : files) {
    const int failed = RunFile(f);
    failures += failed, replayed += !failed;
  }
  std::printf("replayed %d inputs\n", replayed);
  return failures ? 1 : 0;
}
