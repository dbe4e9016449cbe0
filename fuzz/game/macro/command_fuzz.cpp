// Random built-in commands on the demo game: names from the real registry,
// argument lists of any length mixing extreme and ordinary numbers, floats,
// empty, long and raw texts, run on the headless host with the demo data
// loaded. Waits are answered by keys pressed every few frames; scripts run
// within a step budget and every command within a frame budget. Each input
// starts from the same game state.
//
// Input: commands, each a two-byte name index, a byte of argument count (low
// three bits) and key pattern (the rest), then its arguments, each a kind byte
// and that kind's bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/common/demo_play.h"
#include "game/macro/macro.h"
#include "script/strlist.h"

namespace {

constexpr uint64_t kStepBudget = 20000;
constexpr uint64_t kFrameBudget = 60;  // a second of game time a command
constexpr int kMaxCommands = 8;

struct Game {
  Game() {
    for (MacroEntry* e = MacroList; e; e = e->next)
      if (e->handler) names.push_back(e->name);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    // The indices the inputs use, for writing seeds.
    if (std::getenv("COMMAND_FUZZ_NAMES"))
      for (size_t i = 0; i < names.size(); ++i) std::printf("%zu %s\n", i, names[i].c_str());
  }
  demoplay::DemoGame demo{"command_fuzz_", kStepBudget, 16};
  std::vector<std::string> names;
};

// A static, so that the run's end removes the game's folder (see DemoGame).
Game& TheGame() {
  static Game game;
  return game;
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool done() const { return p_ >= end_; }
  uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
  template <typename T>
  T Raw() {
    T v{};
    size_t n = std::min<size_t>(sizeof v, static_cast<size_t>(end_ - p_));
    std::memcpy(&v, p_, n);
    p_ += n;
    return v;
  }
  std::string Text(size_t n) {
    n = std::min(n, static_cast<size_t>(end_ - p_));
    std::string s(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return s;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

const char* const kNumbers[] = {
    "0",          "1",           "-1",          "2",           "3",          "4",           "24",
    "25",         "14",          "15",          "90",          "255",        "256",         "360",
    "1000",       "2000",        "2147483647",  "-2147483648", "2147483648", "-2147483649", "4294967295",
    "65535",      "65536",       "131072",      "524288",      "1e9",        "-3e9",        "1e300",
    "-1e300",     "1e-300",      "0.5",         "-0.5",        "24.5",       "nan",         "inf",
    "-inf",       "0x7fffffff",  "0x80000000",  "0x",          "-0",         "100000000",   "99999999999",
    "1e18",       "-1e18",       "640",         "480",         "-640",       "-480",        "9999",
};

std::string Argument(Reader& in, const std::vector<std::string>& names, bool& text) {
  const uint8_t kind = in.Byte();
  text = false;
  switch (kind % 8) {
    case 0: return kNumbers[in.Byte() % std::size(kNumbers)];
    case 1: return std::to_string(static_cast<int8_t>(in.Byte()));
    case 2: return std::to_string(in.Raw<int32_t>());
    case 3: {
      char s[64];
      std::snprintf(s, sizeof s, "%.17g", in.Raw<double>());
      return s;
    }
    case 4: text = true; return "";
    case 5: {
      // Long texts: plain, two-byte characters, mark-up codes.
      static const char* const kUnits[] = {"x", "\x82\xa0", "%n", "%c1", " ", "\\n"};
      const uint8_t b = in.Byte();
      const size_t count = 64u * (b % 40 + 1);
      std::string s;
      for (size_t i = 0; i < count; ++i) s += kUnits[(b / 40 + i) % std::size(kUnits)];
      text = true;
      return s;
    }
    case 6: {
      // Raw bytes, but no folder parts: a command that writes files by name
      // stays in the run's folder.
      std::string s = in.Text(in.Byte());
      for (char& c : s)
        if (c == '/' || c == '\\' || c == '\0') c = '_';
      text = true;
      return s;
    }
    default: {
      text = true;
      const uint8_t b = in.Byte();
      if (b & 1) return names[(b >> 1) % names.size()];
      static const char* const kTexts[] = {"save1.dat", "setup.jpg", "data/system/title.png", "A", "%",
                                           "\x82", "DEBUG", "1,2,3", "a b c"};
      return kTexts[(b >> 1) % std::size(kTexts)];
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Game& g = TheGame();
  g.demo.EnterFolder();
  g.demo.Restore();
  Reader in(data, size);
  for (int n = 0; n < kMaxCommands && !in.done(); ++n) {
    const std::string& name = g.names[in.Raw<uint16_t>() % g.names.size()];
    const uint8_t head = in.Byte();
    std::vector<std::pair<std::string, bool>> args;
    for (int i = 0; i < (head & 7); ++i) {
      bool text;
      std::string a = Argument(in, g.names, text);
      args.emplace_back(std::move(a), text);
    }
    MacroEntry* entry = MacroList;
    while (entry && name != entry->name) entry = entry->next;
    if (!entry || !entry->handler) continue;
    StrList* chain = nullptr;
    StrList* stack = nullptr;
    for (auto it = args.rbegin(); it != args.rend(); ++it) StrListPush(&chain, it->second ? "S" : "I", it->first.c_str());
    g.demo.PressKeys(head >> 3);
    g.demo.Play(name.c_str(), kFrameBudget, demoplay::Stop::Throw, [&] { entry->handler(&chain, &stack); });
    StrListFree(chain);
    StrListFree(stack);
  }
  g.demo.LeaveFolder();
  return 0;
}
