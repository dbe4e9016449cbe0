// The music and sound table.
#include "game/sound.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dx/dx.h"
#include "game/csvfile.h"
#include "game/fatal.h"
#include "qv/qvsapi.h"

SoundEntry SoundTable[kSoundEntries];

namespace {

constexpr char kSoundDir[] = "data/sound/";
constexpr int32_t kStreamMs = 200;
constexpr int32_t kFadeStep = 800;  // per fade step of PlayMusic
constexpr int32_t kCrossFadeStep = 30;
constexpr int32_t kCrossFadeFloor = -1500;

int32_t g_music = 0;
int32_t g_prev_music = 0;
int32_t g_music_volume = 0;
int32_t g_prev_volume = kSilentVolume;

bool IsSet(int32_t n) { return n >= 0 && n < kSoundEntries && SoundTable[n].file; }

// Numbers that name no entry fall back to entry 0.
int32_t Usable(int32_t n) { return (n < 0 || n >= kSoundEntries || !SoundTable[n].file) ? 0 : n; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One "%d" field: blanks, a sign and digits. Numbers beyond 32 bits saturate.
bool ScanInt(const char*& p, int64_t& value) {
  while (IsBlank(*p)) ++p;
  const char* q = p;
  bool negative = false;
  if (*q == '+' || *q == '-') negative = *q++ == '-';
  if (*q < '0' || *q > '9') return false;
  int64_t v = 0;
  for (; *q >= '0' && *q <= '9'; ++q)
    if (v < INT64_C(1) << 40) v = v * 10 + (*q - '0');
  value = negative ? -v : v;
  p = q;
  return true;
}

// One "%s" field: a word without blanks.
bool ScanWord(const char*& p, std::string& word) {
  while (IsBlank(*p)) ++p;
  const char* q = p;
  while (*q && !IsBlank(*q)) ++q;
  if (q == p) return false;
  word.assign(p, q);
  p = q;
  return true;
}

// A line of "number file stream loop"; false when it does not give all four.
bool ParseSoundLine(const char* line, int64_t& number, std::string& file, int64_t& stream, int64_t& loop) {
  const char* p = line;
  return ScanInt(p, number) && ScanWord(p, file) && ScanInt(p, stream) && ScanInt(p, loop);
}

}  // namespace

void ClearSoundData() {
  for (SoundEntry& e : SoundTable) {
    std::free(e.file);
    e = SoundEntry{};
  }
  g_music = 0;
  g_prev_music = 0;
  g_music_volume = 0;
  g_prev_volume = kSilentVolume;
}

void ReadSoundData() {
  for (SoundEntry& e : SoundTable) {
    std::free(e.file);
    e = SoundEntry{};
  }
  const std::string cfg = std::string(kSoundDir) + "sound.cfg";
  PkgFile* f = PkgFileOpen(cfg.c_str(), "rb");
  if (!f) GAME_FATAL("音楽設定が読み込めません\n[%s]", cfg.c_str());
  char line[1024];
  while (ReadPackLine(line, sizeof line, f) >= 0) {
    if (line[0] == '#') continue;
    int64_t number, stream, loop;
    std::string name;
    if (!ParseSoundLine(line, number, name, stream, loop)) continue;
    if (number < 0 || number >= kSoundEntries) {
      PkgFileClose(f);
      GAME_FATAL("音楽設定の以下の部分に問題があります\n[%s]\n%s", cfg.c_str(), line);
    }
    const int32_t n = static_cast<int32_t>(number);
    const std::string path = kSoundDir + name;
    SoundEntry& e = SoundTable[n];
    std::free(e.file);
    e.file = strdup(path.c_str());
    // "%d" keeps the low 32 bits of a flag: any non-zero bits count.
    e.stream = stream != 0;
    e.loop = loop != 0;
    if (!PkgFileExists(path.c_str())) {
      PkgFileClose(f);
      GAME_FATAL("音楽ナンバー[%d]ファイル[%s]が設定できませんでした", n, path.c_str());
    }
    if (!QvxSoundLoad(n, path.c_str(), e.stream ? kStreamMs : 0)) {
      PkgFileClose(f);
      GAME_FATAL("音楽ナンバー[%d]ファイル[%s]が初期化できませんでした", n, path.c_str());
    }
  }
  PkgFileClose(f);
}

void PlayMusic(int32_t n) {
  if (n < 0) {
    // One step of the cross-fade, at most one every 10 microseconds.
    if (!dxtick(10)) return;
    if (g_music_volume < 0) {
      g_music_volume = std::min(g_music_volume + kFadeStep, 0);
      if (IsSet(g_music)) QvxSoundSetVolume(g_music, g_music_volume);
    }
    if (g_prev_volume > kSilentVolume) {
      g_prev_volume = std::max(g_prev_volume - kFadeStep, kSilentVolume);
      // The piece fading out may have come back as the current one: its slot
      // is then the current music's and is not faded or stopped.
      if (IsSet(g_prev_music) && g_prev_music != g_music) {
        if (g_prev_volume > kSilentVolume)
          QvxSoundSetVolume(g_prev_music, g_prev_volume);
        else
          QvxSoundStop(g_prev_music);
      }
    }
    return;
  }
  if (n == g_music) return;
  n = Usable(n);
  // A piece still fading out is cut off.
  if (IsSet(g_prev_music) && g_prev_music != g_music) QvxSoundStop(g_prev_music);
  g_prev_music = g_music;
  g_prev_volume = g_music_volume;
  g_music = n;
  g_music_volume = kSilentVolume;
  if (IsSet(g_music)) QvxSoundSetVolume(g_music, kSilentVolume);
  if (IsSet(g_prev_music) && g_prev_music != g_music) QvxSoundSetVolume(g_prev_music, g_prev_volume);
  if (IsSet(g_music)) QvxSoundPlay(g_music, SoundTable[g_music].loop);
}

void ChangeMusicFade(int32_t n) {
  if (n == g_music) return;
  n = Usable(n);
  // An unset number falls back to what may already be the music: no switch.
  if (n == g_music) return;
  if (!IsSet(n)) {
    // No music to switch to: the old one stops rather than play on untracked.
    if (IsSet(g_music)) QvxSoundStop(g_music);
    g_music = 0;
    return;
  }
  QvxSoundSetVolume(n, kSilentVolume);
  QvxSoundPlay(n, SoundTable[n].loop);
  const bool old_set = IsSet(g_music);
  int32_t out = g_music > 0 ? g_music_volume : kCrossFadeFloor;
  int32_t in = QvxSoundGetVolume(n);
  while (out > kCrossFadeFloor || in < 0) {
    dxwait(10);
    if (out >= kCrossFadeFloor && old_set) QvxSoundSetVolume(g_music, out);
    if (in < 0) QvxSoundSetVolume(n, in);
    out -= kCrossFadeStep;
    in += kCrossFadeStep;
  }
  QvxSoundSetVolume(n, 0);
  g_music_volume = 0;
  if (old_set) QvxSoundStop(g_music);
  g_music = n;
}

void PlaySE(int32_t n) {
  if (n == g_music) return;
  n = Usable(n);
  if (!IsSet(n)) return;
  QvxSoundSetVolume(n, 0);
  QvxSoundPlay(n, 0);
}

void StopSound(int32_t n) {
  if (n == g_music) return;
  if (n < 0 || n >= kSoundEntries) n = 0;
  if (IsSet(n)) QvxSoundStop(n);
}

int32_t SetSoundVolume(int32_t n, int32_t v) {
  if (n < 0 || n >= kSoundEntries) n = 0;
  if (!IsSet(n)) return 0;
  const int32_t old = QvxSoundGetVolume(n) - kSilentVolume;
  if (v > 0) {
    QvxSoundSetVolume(n, v + kSilentVolume);
    QvxSoundPlay(n, 0);
  } else if (v == 0) {
    QvxSoundSetVolume(n, kSilentVolume);
    QvxSoundStop(n);
  }
  return old;
}

int32_t FindSoundNo(const char* file) {
  if (!file) return 0;
  for (int32_t n = 0; n < kSoundEntries; ++n)
    if (SoundTable[n].file && std::strcmp(SoundTable[n].file, file) == 0) return n;
  return 0;
}

int32_t GetMusicNo() { return g_music; }
int32_t GetPrevMusicNo() { return g_prev_music; }
int32_t GetMusicVolume() { return g_music_volume; }
int32_t GetPrevMusicVolume() { return g_prev_volume; }
