// A long game of seeded random keys: the demo game started as the program
// starts it and played from its opening through menus, walks, fights, shops,
// saves and loads, with no crash, no hang, no message box, and memory that
// stays flat once the game is warmed up.
//
// The short run (3,000 frames) is part of the suite; DOLVICAR_SOAK_FRAMES sets
// the length (the long run is 100,000) and DOLVICAR_SOAK_SEED the keys.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/fatal.h"
#include "game/main.h"
#include "game/sound.h"
#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/win32/display.h"
#include "platform/win32/process.h"
#include "qv/qvsapi.h"
#include "script/memory.h"
#include "tests/game/game_fixture.h"
#include "tools/mkpack/packwriter.h"

// GCC names its sanitizers with macros, clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define DOLVICAR_SOAK_ASAN 1
#endif
#if defined(__SANITIZE_THREAD__)
#define DOLVICAR_SOAK_OTHER_SANITIZER 1
#endif
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DOLVICAR_SOAK_ASAN 1
#endif
#if __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define DOLVICAR_SOAK_OTHER_SANITIZER 1
#endif
#endif

#if defined(DOLVICAR_SOAK_ASAN)
// The window's close ends the run wherever the game is, often inside an
// event: the caught exit unwinds through the script engine, whose values of
// that moment stay behind (a real exit ends the process there). The engine's
// own memory is checked by its tracked allocator's count instead.
extern "C" const char* __lsan_default_suppressions() { return "leak:VMalloc\n"; }
#endif
#if defined(DOLVICAR_SOAK_ASAN) || defined(DOLVICAR_SOAK_OTHER_SANITIZER)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

namespace {

namespace key = host::key;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  char* end = nullptr;
  unsigned long long n = std::strtoull(v, &end, 10);
  return end && *end == '\0' ? n : fallback;
}

size_t ResidentBytes() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  unsigned long size = 0, resident = 0;
  if (std::fscanf(f, "%lu %lu", &size, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

struct Sample {
  uint64_t frame;
  int32_t blocks;  // live blocks of the script engine's tracked allocator
  size_t resident;
};

// What the clock sees while the game runs: memory every second of frames, and
// a game that keeps the clock moving without presenting anything.
struct Watch {
  host::HeadlessHost* host = nullptr;
  std::vector<Sample> samples;
  uint64_t last_frame = 0, last_frame_time = 0, next_sample = 0;
  bool stalled = false;
  std::set<int> events;  // the events seen running (from the trace in MsgBuf)
};
Watch* g_watch = nullptr;

struct Stalled {};

// Virtual time without a frame after which the game counts as hung: longer
// than any wait of the demo (a closing picture waits up to 800 s).
constexpr uint64_t kStallUs = 1200ull * 1000000;

void OnClock(uint64_t now) {
  Watch& w = *g_watch;
  const uint64_t frame = w.host->frames_presented();
  if (frame != w.last_frame || w.last_frame_time == 0) {
    w.last_frame = frame;
    w.last_frame_time = now;
  } else if (now - w.last_frame_time > kStallUs && !w.stalled) {
    w.stalled = true;
    throw Stalled{};
  }
  int event = 0;
  if (std::sscanf(MsgBuf, "eventExec(EventNumber%d)", &event) == 1) w.events.insert(event);
  if (frame >= w.next_sample) {
    w.samples.push_back({frame, VMallocCount(), ResidentBytes()});
    w.next_sample = frame + 60;
  }
}

class Soak : public gametest::GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    char* argv[] = {const_cast<char*>("dolvicar")};
    win32::SetProcessArgs(1, argv);
    // Saves go to the test's folder.
    std::snprintf(BaseDir, sizeof BaseDir, "%s", dir_.path().c_str());
    win32::SetDesktopDepth(16);  // nothing asked at start-up
    host_.set_frames_kept(0);
    std::vector<packwriter::Entry> entries;
    std::string error;
    ASSERT_TRUE(packwriter::Collect(std::filesystem::path(DOLVICAR_SOURCE_DIR) / "data", entries, error)) << error;
    // The title's "quit" ends the process; here it stays at the title, so that
    // one run of the game takes all the keys.
    for (packwriter::Entry& e : entries)
      if (e.name == "data/event/sys_title.txt") {
        const std::string stay = "\nif (RET == 3) { RET = 7; }\n";
        e.data.insert(e.data.end(), stay.begin(), stay.end());
      }
    pak_ = win32::HostPath(PackageFileName().c_str());
    ASSERT_TRUE(packwriter::Write(entries, pak_, error)) << error;
  }
  void TearDown() override {
    dxrelease();
    soft3d::ResetForTests();
    ddraw::ResetForTests();
    QvxSoundTerminate();
    ClearSoundData();
    PackageOpen("");
    std::error_code ec;
    if (!pak_.empty()) std::filesystem::remove(pak_, ec);
    win32::RestoreDesktopMode();
    win32::SetDesktopDepth(32);
    BaseDir[0] = '\0';
    std::filesystem::current_path(dir_.path());
    GameTest::TearDown();
  }

  // Random keys from frame 1 to `frames`, then the window closes.
  void ScriptKeys(uint64_t frames, uint32_t seed) {
    struct Choice {
      int key;
      int weight;
    };
    static constexpr Choice kKeys[] = {
        {key::Up, 24},      {key::Down, 14},   {key::Left, 8},     {key::Right, 8},  {key::Return, 24},
        {key::Escape, 10},  {key::PageUp, 1},  {key::PageDown, 1}, {key::Tab, 1},    {key::A + 2, 1},  // C
        {key::A + 21, 1},   {key::A + 1, 1},   {key::Home, 1},     {key::End, 1},    {key::Insert, 1},  // V, B
        {key::Space, 1},    {key::Backspace, 1}, {0, 2},  // 0: typed text
        {-1, 2},  // -1: one of the phrases below
    };
    // Paths a player takes on purpose, which single random keys seldom find:
    // while walking, the camp menu's record into the first record; back to the
    // title through the pause menu; at the title, "continue" from record one.
    static const std::vector<std::vector<int>> kPhrases = {
        {key::Return, key::Down, key::Down, key::Down, key::Down, key::Down, key::Down, key::Return, key::Return,
         key::Return, key::Escape},
        {key::Escape, key::Down, key::Return, key::Left, key::Return},
        {key::Down, key::Return, key::Return},
    };
    std::uniform_int_distribution<size_t> phrase(0, kPhrases.size() - 1);
    std::vector<int> weights;
    for (const Choice& c : kKeys) weights.push_back(c.weight);
    std::mt19937 rng(seed);
    std::discrete_distribution<int> pick(weights.begin(), weights.end());
    std::uniform_int_distribution<int> hold(1, 4), gap(2, 30), letter(0, 25);
    uint64_t frame = 1;
    while (frame < frames) {
      const Choice& c = kKeys[pick(rng)];
      if (c.key == -1) {
        for (int k : kPhrases[phrase(rng)]) {
          host_.key_press(frame, k);
          frame += 20;
        }
        continue;
      }
      if (c.key == 0) {
        host_.text(frame, std::string(1, static_cast<char>('a' + letter(rng))));
        frame += static_cast<uint64_t>(gap(rng));
        continue;
      }
      const uint64_t up = frame + static_cast<uint64_t>(hold(rng));
      host_.key_down(frame, c.key);
      host_.key_up(up, c.key);
      frame = up + static_cast<uint64_t>(gap(rng));
    }
    host_.close(frames);
  }

  std::string BoxTexts() const {
    std::string out;
    for (const auto& box : host_.message_boxes()) out += box.caption + ": " + box.text + "\n";
    return out;
  }

  std::string pak_;
};

TEST_F(Soak, RandomKeysFromTheOpening) {
  const uint64_t frames = std::max<uint64_t>(EnvNumber("DOLVICAR_SOAK_FRAMES", 3000), 600);
  const uint32_t seed = static_cast<uint32_t>(EnvNumber("DOLVICAR_SOAK_SEED", 20261207));
  ScriptKeys(frames, seed);

  Watch watch;
  watch.host = &host_;
  g_watch = &watch;
  host::add_clock_listener(OnClock);
  int code = -1;
  bool stalled = false;
  try {
    InitGame();
    srand(seed);  // start-up seeds the rolls from the time of day
    TitleLoop();
  } catch (const host::ProcessExit& e) {
    code = e.code;
  } catch (const Stalled&) {
    stalled = true;
  }
  host::remove_clock_listener(OnClock);
  g_watch = nullptr;

  ASSERT_FALSE(stalled) << "no frame for " << kStallUs / 1000000 << " s of the clock after frame "
                        << host_.frames_presented();
  EXPECT_EQ(code, 0) << BoxTexts();
  EXPECT_GE(host_.frames_presented(), frames);  // it ran to the window's close
  EXPECT_TRUE(host_.message_boxes().empty()) << BoxTexts();

  // Flat after warm-up: the last third of the run needs no more than the
  // middle third did, but for a little slack.
  ASSERT_GE(watch.samples.size(), 9u);
  auto peak = [&](size_t from, size_t to, auto field) {
    decltype(field(watch.samples[0])) top = 0;
    for (size_t i = from; i < to; ++i) top = std::max(top, field(watch.samples[i]));
    return top;
  };
  const size_t n = watch.samples.size();
  auto blocks = [](const Sample& s) { return s.blocks; };
  auto resident = [](const Sample& s) { return s.resident; };
  const int32_t middle_blocks = peak(n / 3, 2 * n / 3, blocks), last_blocks = peak(2 * n / 3, n, blocks);
  const size_t middle_resident = peak(n / 3, 2 * n / 3, resident), last_resident = peak(2 * n / 3, n, resident);
  std::string seen;
  for (int e : watch.events) seen += " " + std::to_string(e);
  int saves = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    saves += entry.path().filename().string().rfind("save", 0) == 0;
  std::printf("soak: %llu frames, seed %u; script blocks %d then %d; resident %zu then %zu KiB; %d saved records; "
              "events seen%s\n",
              static_cast<unsigned long long>(host_.frames_presented()), seed, middle_blocks, last_blocks,
              middle_resident / 1024, last_resident / 1024, saves, seen.c_str());
  EXPECT_LE(last_blocks, middle_blocks + 64);
  // The sanitizers' memory grows by design (freed blocks wait in quarantine).
  if (!kSanitized) {
    EXPECT_LE(last_resident, middle_resident + 16u * 1024 * 1024);
  }
}

}  // namespace
