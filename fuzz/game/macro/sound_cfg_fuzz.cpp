// The sound table over any bytes: lines that do not parse are skipped, and a
// bad number, a missing file or a refused slot stops the program through the
// fatal path (caught here), never a crash. Two sound files exist.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "game/sound.h"
#include "fuzz/common/scratch.h"
#include "qv/qvsapi.h"

namespace {

// A PCM WAVE file of 64 silent stereo frames.
std::string Wave() {
  std::string s = "RIFF";
  auto put32 = [&s](uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [&s](uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); };
  put32(36 + 256);
  s += "WAVEfmt ";
  put32(16);
  put16(1), put16(2), put32(44100), put32(44100 * 4), put16(4), put16(16);
  s += "data";
  put32(256);
  s.append(256, '\0');
  return s;
}

// The folder, with the two sounds the fuzzed tables may name.
const ScratchFolder& Folder() {
  static const ScratchFolder folder("sound_cfg_fuzz_");
  static const bool seeded = [] {
    const std::string wave = Wave();
    folder.Write("data/sound/a.wav", wave.data(), wave.size());
    folder.Write("data/sound/b.wav", wave.data(), wave.size());
    return true;
  }();
  (void)seeded;
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InstallFuzzHost();
  static const bool started = QvxSoundStartDefault(nullptr) == 0;
  if (!started) __builtin_trap();
  std::filesystem::current_path(Folder().path());
  Folder().Write("data/sound/sound.cfg", data, size);
  try {
    ReadSoundData();
    for (int n = 0; n < kSoundEntries; ++n)
      if (SoundTable[n].file && std::string(SoundTable[n].file).rfind("data/sound/", 0) != 0) __builtin_trap();
    PlayMusic(1);
    PlayMusic(-1);
    PlaySE(2);
    SetSoundVolume(3, 1000);
  } catch (const host::ProcessExit&) {
  }
  ClearSoundData();
  QvxSoundUnloadAll();
  host::set(nullptr);
  return 0;
}
