// libFuzzer's start for every fuzz target. The layer's start moves the working
// folder to the program's own, after which libFuzzer still opens the inputs,
// dictionaries and artifacts it was given: so before it reads its flags, every
// path on the command line is made absolute against the folder the run was
// started in, and crash files are written there unless the run says where.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// libFuzzer's (14) flags whose value names a file or folder, besides
// artifact_prefix and the list seed_inputs, which are taken apart below.
constexpr const char* kPathFlags[] = {"exact_artifact_path", "dict",        "merge_control_file",
                                      "features_dir",        "stop_file",   "mutation_graph_file",
                                      "data_flow_trace",     "collect_data_flow"};

// An empty value names nothing and stays as it is (libFuzzer refuses it).
std::string Absolute(const std::string& p) { return p.empty() ? p : fs::absolute(p).string(); }

// The value of "-name=value" in `arg`, or null.
const char* FlagValue(const char* arg, const char* name) {
  const size_t n = std::strlen(name);
  if (arg[0] != '-' || std::strncmp(arg + 1, name, n) != 0 || arg[1 + n] != '=') return nullptr;
  return arg + 2 + n;
}

// A comma-separated list of files, or "@" and a file holding one: the files
// are read later, so the list is given inline with each of them absolute.
std::string SeedInputs(const char* value) {
  std::string list = value;
  if (value[0] == '@') {
    std::ifstream in(value + 1, std::ios::binary);
    // libFuzzer reports a list it cannot read; it must look in the same place.
    if (!in) return "@" + Absolute(value + 1);
    list.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string out;
  size_t start = 0;
  while (true) {
    const size_t comma = list.find(',', start);
    out += Absolute(list.substr(start, comma - start));
    if (comma == std::string::npos) break;
    out += ',';
    start = comma + 1;
  }
  return out;
}

std::string Rewrite(const char* arg) {
  if (arg[0] != '-') return Absolute(arg);  // an input, or a corpus folder
  if (const char* v = FlagValue(arg, "seed_inputs")) return std::string("-seed_inputs=") + SeedInputs(v);
  // An empty prefix means the starting folder itself.
  if (const char* v = FlagValue(arg, "artifact_prefix"))
    return "-artifact_prefix=" + (*v ? fs::absolute(v) : fs::current_path() / "").string();
  for (const char* name : kPathFlags)
    if (const char* v = FlagValue(arg, name)) return "-" + std::string(name) + "=" + Absolute(v);
  return arg;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // libFuzzer keeps using argv: what it points to must outlive the run.
  static std::vector<std::string> args;
  static std::vector<char*> pointers;
  args.clear();
  bool prefixed = false, rest_is_the_targets = false;
  for (int i = 1; i < *argc; ++i) {
    const char* arg = (*argv)[i];
    if (rest_is_the_targets) {
      args.push_back(arg);
      continue;
    }
    if (FlagValue(arg, "artifact_prefix")) prefixed = true;
    if (const char* v = FlagValue(arg, "ignore_remaining_args")) rest_is_the_targets = std::atoi(v) != 0;
    args.push_back(Rewrite(arg));
  }
  // First, as libFuzzer reads no flag after -ignore_remaining_args=1.
  if (!prefixed) args.insert(args.begin(), "-artifact_prefix=" + (fs::current_path() / "").string());
  // libFuzzer refuses a changed argv[0]. The modes that start it again (jobs,
  // fork, merge) do so before an input runs in this process, from the start.
  pointers.assign(1, (*argv)[0]);
  for (std::string& a : args) pointers.push_back(a.data());
  *argc = static_cast<int>(pointers.size());
  pointers.push_back(nullptr);
  *argv = pointers.data();
  return 0;
}
