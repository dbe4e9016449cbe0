#include "tools/datagen/sounds.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "platform/acm/ima.h"
#include "tools/datagen/bytes.h"


namespace datagen {

namespace {

using acm::kImaIndex;
using acm::kImaStep;

void PutTag(std::vector<uint8_t>& v, const char* t) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(t[i]));
}

enum class Wave { Square, Triangle, Saw, Sine, Noise };

double Osc(Wave w, double phase, uint32_t& noise) {
  double p = phase - std::floor(phase);
  switch (w) {
    case Wave::Square: return p < 0.5 ? 1.0 : -1.0;
    case Wave::Triangle: return p < 0.5 ? 4 * p - 1 : 3 - 4 * p;
    case Wave::Saw: return 2 * p - 1;
    case Wave::Sine: return std::sin(2 * M_PI * p);
    case Wave::Noise:
      noise = noise * 1664525u + 1013904223u;
      return ((noise >> 16) & 0xFFFF) / 32768.0 - 1.0;
  }
  return 0;
}

double NoteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// Parses "C4 D#4 - A3" style note names; "-" is a rest (-1).
int ParseNote(const std::string& s) {
  if (s == "-" || s.empty()) return -1;
  static const int base[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  int n = base[s[0] - 'A'];
  size_t i = 1;
  if (i < s.size() && s[i] == '#') { ++n; ++i; }
  if (i < s.size() && s[i] == 'b') { --n; ++i; }
  int octave = std::stoi(s.substr(i));
  return 12 * (octave + 1) + n;
}

// One voice: notes of equal length (in beats); a note followed by "~" lasts longer.
void AddVoice(std::vector<double>& mix, const std::string& score, double beat, Wave w, double volume,
              double attack, double release) {
  std::istringstream in(score);
  std::string tok;
  std::vector<std::pair<int, double>> notes;
  while (in >> tok) {
    if (tok == "~" && !notes.empty()) {
      notes.back().second += 1;
      continue;
    }
    notes.push_back({ParseNote(tok), 1});
  }
  size_t at = 0;
  uint32_t noise = 12345;
  for (auto& [midi, len] : notes) {
    size_t n = static_cast<size_t>(len * beat * kSampleRate);
    if (midi >= 0) {
      double hz = NoteHz(midi);
      for (size_t i = 0; i < n && at + i < mix.size(); ++i) {
        double t = i / static_cast<double>(kSampleRate);
        double env = std::min(1.0, t / attack);
        double left = (n - i) / static_cast<double>(kSampleRate);
        env *= std::min(1.0, left / release);
        env *= 0.75 + 0.25 * std::exp(-t * 3);
        mix[at + i] += Osc(w, hz * t, noise) * volume * env;
      }
    }
    at += n;
  }
}

size_t ScoreBeats(const std::string& score) {
  std::istringstream in(score);
  std::string tok;
  size_t n = 0;
  while (in >> tok) ++n;
  return n;
}

std::vector<int16_t> ToPcm(const std::vector<double>& mix) {
  std::vector<int16_t> out(mix.size());
  for (size_t i = 0; i < mix.size(); ++i)
    out[i] = static_cast<int16_t>(std::clamp(mix[i], -1.0, 1.0) * 30000);
  return out;
}

// The lead voices of the tunes stored as IMA-ADPCM avoid the saw wave: its
// jumps are steeper than the coder's step can follow.
struct Tune {
  const char* name;
  double beat;  // seconds per step
  const char* melody;
  const char* bass;
  const char* harmony;  // may be empty
  Wave lead;
};

// Our own little pieces, all in minor modes; each score is a loop.
const Tune kTunes[] = {
    {"title", 0.25,
     "A4 ~ C5 E5 D5 ~ C5 B4 A4 ~ ~ E4 A4 B4 C5 D5 E5 ~ G5 F5 E5 ~ D5 C5 B4 ~ ~ ~ - - - - "
     "F5 ~ E5 D5 C5 ~ D5 E5 A4 ~ B4 C5 B4 ~ G4 ~ A4 ~ C5 E5 A5 ~ G5 E5 D5 ~ C5 B4 A4 ~ ~ ~",
     "A2 ~ ~ ~ A2 ~ ~ ~ F2 ~ ~ ~ F2 ~ ~ ~ C3 ~ ~ ~ C3 ~ ~ ~ G2 ~ ~ ~ E2 ~ ~ ~ "
     "D3 ~ ~ ~ D3 ~ ~ ~ F2 ~ ~ ~ G2 ~ ~ ~ A2 ~ ~ ~ F2 ~ ~ ~ E2 ~ ~ ~ A2 ~ ~ ~",
     "E4 ~ ~ ~ E4 ~ ~ ~ C4 ~ ~ ~ C4 ~ ~ ~ G4 ~ ~ ~ G4 ~ ~ ~ D4 ~ ~ ~ B3 ~ ~ ~ "
     "A3 ~ ~ ~ A3 ~ ~ ~ C4 ~ ~ ~ D4 ~ ~ ~ E4 ~ ~ ~ C4 ~ ~ ~ B3 ~ ~ ~ C4 ~ ~ ~",
     Wave::Square},
    {"cave", 0.3,
     "D4 - F4 - A4 ~ G4 F4 E4 - C4 - D4 ~ ~ ~ F4 - A4 - C5 ~ A4 G4 A4 ~ ~ ~ - - - - "
     "Bb4 ~ A4 G4 F4 ~ E4 F4 D4 ~ E4 F4 E4 ~ C4 ~ D4 ~ ~ ~ - - - - A3 ~ D4 ~ ~ ~ - -",
     "D2 ~ D2 ~ D2 ~ D2 ~ C2 ~ C2 ~ D2 ~ D2 ~ F2 ~ F2 ~ F2 ~ F2 ~ A2 ~ A2 ~ D2 ~ D2 ~ "
     "Bb1 ~ Bb1 ~ Bb1 ~ Bb1 ~ C2 ~ C2 ~ C2 ~ C2 ~ D2 ~ D2 ~ D2 ~ D2 ~ A1 ~ A1 ~ D2 ~ D2 ~",
     "", Wave::Triangle},
    {"forest", 0.22,
     "E4 G4 B4 G4 E4 G4 B4 G4 C4 E4 A4 E4 C4 E4 A4 E4 D4 F#4 A4 F#4 D4 F#4 A4 F#4 B3 D#4 F#4 D#4 B3 D#4 F#4 B4 "
     "E5 ~ D5 ~ B4 ~ G4 ~ A4 ~ C5 ~ B4 ~ ~ ~ G4 ~ F#4 ~ E4 ~ D#4 ~ E4 ~ ~ ~ - - - -",
     "E2 ~ ~ ~ E2 ~ ~ ~ A2 ~ ~ ~ A2 ~ ~ ~ D2 ~ ~ ~ D2 ~ ~ ~ B1 ~ ~ ~ B1 ~ ~ ~ "
     "C2 ~ ~ ~ C2 ~ ~ ~ A1 ~ ~ ~ B1 ~ ~ ~ E2 ~ ~ ~ B1 ~ ~ ~ E2 ~ ~ ~ E2 ~ ~ ~",
     "", Wave::Sine},
    {"desert", 0.28,
     "D4 Eb4 F#4 G4 A4 ~ G4 F#4 Eb4 ~ D4 ~ ~ ~ - - A4 Bb4 A4 G4 F#4 ~ G4 A4 D4 ~ ~ ~ - - - - "
     "G4 ~ A4 Bb4 C5 ~ Bb4 A4 G4 ~ F#4 ~ Eb4 ~ D4 ~ F#4 G4 A4 ~ Eb4 ~ D4 ~ ~ ~ - - - - - -",
     "D2 ~ A2 ~ D2 ~ A2 ~ D2 ~ A2 ~ D2 ~ A2 ~ D2 ~ A2 ~ D2 ~ A2 ~ D2 ~ A2 ~ D2 ~ A2 ~ "
     "G2 ~ D3 ~ G2 ~ D3 ~ C2 ~ G2 ~ C2 ~ G2 ~ D2 ~ A2 ~ D2 ~ A2 ~ D2 ~ A2 ~ D2 ~ A2 ~",
     "", Wave::Triangle},
    {"battle", 0.14,
     "E4 E4 G4 E4 A4 E4 B4 A4 G4 G4 E4 G4 F#4 D4 E4 ~ E4 E4 G4 E4 C5 B4 A4 G4 A4 ~ B4 ~ E5 ~ ~ ~ "
     "D5 C5 B4 A4 C5 B4 A4 G4 B4 A4 G4 F#4 E4 ~ D#4 ~ E4 G4 B4 E5 D5 B4 G4 E4 F#4 ~ D#4 ~ E4 ~ ~ ~",
     "E2 E3 E2 E3 E2 E3 E2 E3 C2 C3 C2 C3 D2 D3 D2 D3 E2 E3 E2 E3 A1 A2 A1 A2 B1 B2 B1 B2 E2 E3 E2 E3 "
     "A1 A2 A1 A2 F1 F2 F1 F2 G1 G2 G1 G2 B1 B2 B1 B2 E2 E3 E2 E3 C2 C3 C2 C3 B1 B2 B1 B2 E2 E3 E2 E3",
     "", Wave::Square},
    {"opening", 0.3,
     "A4 ~ ~ ~ E5 ~ ~ ~ D5 ~ C5 ~ B4 ~ ~ ~ C5 ~ ~ ~ A4 ~ ~ ~ B4 ~ G4 ~ A4 ~ ~ ~",
     "A2 ~ ~ ~ ~ ~ ~ ~ F2 ~ ~ ~ ~ ~ ~ ~ C2 ~ ~ ~ ~ ~ ~ ~ E2 ~ ~ ~ A2 ~ ~ ~",
     "C4 ~ ~ ~ C4 ~ ~ ~ A3 ~ ~ ~ A3 ~ ~ ~ G3 ~ ~ ~ E3 ~ ~ ~ G#3 ~ ~ ~ A3 ~ ~ ~", Wave::Triangle},
    {"ending", 0.35,
     "C5 ~ B4 ~ A4 ~ G4 ~ F4 ~ E4 ~ F4 ~ G4 ~ A4 ~ ~ ~ G4 ~ ~ ~ C4 ~ ~ ~ - - - - "
     "F4 ~ G4 ~ A4 ~ C5 ~ B4 ~ A4 ~ G4 ~ E4 ~ F4 ~ E4 ~ D4 ~ G4 ~ C4 ~ ~ ~ ~ ~ - -",
     "C2 ~ ~ ~ G2 ~ ~ ~ F2 ~ ~ ~ C2 ~ ~ ~ F2 ~ ~ ~ G2 ~ ~ ~ C2 ~ ~ ~ C2 ~ ~ ~ "
     "F2 ~ ~ ~ F2 ~ ~ ~ G2 ~ ~ ~ E2 ~ ~ ~ D2 ~ ~ ~ G2 ~ ~ ~ C2 ~ ~ ~ C2 ~ ~ ~",
     "E4 ~ ~ ~ D4 ~ ~ ~ C4 ~ ~ ~ C4 ~ ~ ~ C4 ~ ~ ~ B3 ~ ~ ~ G3 ~ ~ ~ G3 ~ ~ ~ "
     "A3 ~ ~ ~ C4 ~ ~ ~ D4 ~ ~ ~ C4 ~ ~ ~ A3 ~ ~ ~ B3 ~ ~ ~ G3 ~ ~ ~ G3 ~ ~ ~", Wave::Sine},
};

std::vector<double> Buffer(double seconds) { return std::vector<double>(static_cast<size_t>(seconds * kSampleRate), 0.0); }

// Sweep from one pitch to another with a decay: the material of the effects.
void Sweep(std::vector<double>& mix, double start, double seconds, double hz0, double hz1, Wave w, double vol,
           double decay) {
  uint32_t noise = 777;
  size_t from = static_cast<size_t>(start * kSampleRate);
  size_t n = static_cast<size_t>(seconds * kSampleRate);
  double phase = 0;
  for (size_t i = 0; i < n && from + i < mix.size(); ++i) {
    double t = i / static_cast<double>(kSampleRate);
    double hz = hz0 + (hz1 - hz0) * (t / seconds);
    phase += hz / kSampleRate;
    double env = std::exp(-t * decay) * std::min(1.0, (seconds - t) * 200);
    mix[from + i] += Osc(w, phase, noise) * vol * env;
  }
}

std::vector<int16_t> Effect(const std::string& name) {
  std::vector<double> m;
  if (name == "cursor") {
    m = Buffer(0.06);
    Sweep(m, 0, 0.06, 1320, 1320, Wave::Square, 0.3, 30);
  } else if (name == "decide") {
    m = Buffer(0.18);
    Sweep(m, 0, 0.08, 880, 880, Wave::Square, 0.3, 10);
    Sweep(m, 0.08, 0.1, 1320, 1320, Wave::Square, 0.3, 10);
  } else if (name == "cancel") {
    m = Buffer(0.16);
    Sweep(m, 0, 0.16, 660, 330, Wave::Square, 0.3, 8);
  } else if (name == "hit") {
    m = Buffer(0.25);
    Sweep(m, 0, 0.25, 400, 80, Wave::Noise, 0.6, 14);
    Sweep(m, 0, 0.12, 220, 60, Wave::Square, 0.3, 20);
  } else if (name == "damage") {
    m = Buffer(0.35);
    Sweep(m, 0, 0.35, 160, 40, Wave::Saw, 0.5, 8);
    Sweep(m, 0, 0.2, 300, 100, Wave::Noise, 0.3, 12);
  } else if (name == "door") {
    m = Buffer(0.5);
    Sweep(m, 0, 0.4, 90, 60, Wave::Saw, 0.4, 5);
    Sweep(m, 0.38, 0.12, 200, 100, Wave::Noise, 0.5, 25);
  } else if (name == "chest") {
    m = Buffer(0.6);
    const double notes[] = {784, 988, 1175, 1568};
    for (int i = 0; i < 4; ++i) Sweep(m, i * 0.1, 0.2, notes[i], notes[i], Wave::Triangle, 0.4, 6);
  } else if (name == "stairs") {
    m = Buffer(0.6);
    for (int i = 0; i < 4; ++i) Sweep(m, i * 0.14, 0.1, 150, 120, Wave::Noise, 0.35, 20);
  } else if (name == "warp") {
    m = Buffer(0.9);
    Sweep(m, 0, 0.9, 200, 1600, Wave::Sine, 0.4, 1.5);
    Sweep(m, 0, 0.9, 203, 1610, Wave::Triangle, 0.2, 1.5);
  } else if (name == "heal") {
    m = Buffer(0.7);
    const double notes[] = {523, 659, 784, 1047};
    for (int i = 0; i < 4; ++i) Sweep(m, i * 0.12, 0.3, notes[i], notes[i], Wave::Sine, 0.35, 4);
  } else if (name == "bump") {
    m = Buffer(0.12);
    Sweep(m, 0, 0.12, 120, 70, Wave::Square, 0.35, 25);
  } else if (name == "fanfare") {
    m = Buffer(1.4);
    const double notes[] = {523, 523, 523, 659, 784, 0, 659, 784};
    const double len[] = {0.1, 0.1, 0.1, 0.3, 0.2, 0.1, 0.15, 0.45};
    double t = 0;
    for (int i = 0; i < 8; ++i) {
      if (notes[i] > 0) Sweep(m, t, len[i], notes[i], notes[i], Wave::Square, 0.3, 2);
      t += len[i];
    }
  } else if (name == "cry1") {
    m = Buffer(0.5);
    Sweep(m, 0, 0.5, 300, 180, Wave::Saw, 0.4, 4);
    Sweep(m, 0, 0.5, 310, 170, Wave::Square, 0.2, 4);
  } else if (name == "cry2") {
    m = Buffer(0.8);
    Sweep(m, 0, 0.8, 90, 140, Wave::Saw, 0.5, 2);
    Sweep(m, 0, 0.8, 400, 120, Wave::Noise, 0.3, 3);
  } else if (name == "gameover") {
    m = Buffer(1.6);
    const double notes[] = {440, 415, 392, 370};
    for (int i = 0; i < 4; ++i) Sweep(m, i * 0.35, 0.45, notes[i], notes[i] * 0.98, Wave::Triangle, 0.4, 2);
  }
  return ToPcm(m);
}

}  // namespace

std::vector<int16_t> RenderTune(const std::string& name) {
  for (const Tune& t : kTunes) {
    if (name != t.name) continue;
    size_t beats = ScoreBeats(t.melody);
    std::vector<double> mix = Buffer(beats * t.beat);
    AddVoice(mix, t.melody, t.beat, t.lead, 0.22, 0.01, 0.03);
    AddVoice(mix, t.bass, t.beat, Wave::Triangle, 0.3, 0.01, 0.05);
    if (*t.harmony) AddVoice(mix, t.harmony, t.beat, Wave::Sine, 0.12, 0.05, 0.1);
    return ToPcm(mix);
  }
  return {};
}

std::vector<uint8_t> EncodeWavPcm(const std::vector<int16_t>& s, int rate) {
  std::vector<uint8_t> v;
  uint32_t bytes = static_cast<uint32_t>(s.size() * 2);
  PutTag(v, "RIFF");
  Put32(v, 36 + bytes);
  PutTag(v, "WAVE");
  PutTag(v, "fmt ");
  Put32(v, 16);
  Put16(v, 1);
  Put16(v, 1);
  Put32(v, static_cast<uint32_t>(rate));
  Put32(v, static_cast<uint32_t>(rate * 2));
  Put16(v, 2);
  Put16(v, 16);
  PutTag(v, "data");
  Put32(v, bytes);
  for (int16_t x : s) Put16(v, static_cast<uint16_t>(x));
  return v;
}

std::vector<uint8_t> EncodeWavImaAdpcm(const std::vector<int16_t>& s, int rate) {
  constexpr int kBlockAlign = 256;
  constexpr int kPerBlock = (kBlockAlign - 4) * 2 + 1;  // 505
  size_t blocks = (s.size() + kPerBlock - 1) / kPerBlock;
  std::vector<uint8_t> data;
  int index = 0;
  for (size_t b = 0; b < blocks; ++b) {
    auto sample = [&](size_t i) -> int { size_t at = b * kPerBlock + i; return at < s.size() ? s[at] : 0; };
    int pred = sample(0);
    Put16(data, static_cast<uint16_t>(static_cast<int16_t>(pred)));
    data.push_back(static_cast<uint8_t>(index));
    data.push_back(0);
    uint8_t byte = 0;
    for (int i = 1; i < kPerBlock; ++i) {
      int step = kImaStep[index];
      int diff = sample(i) - pred;
      int nib = 0;
      if (diff < 0) { nib = 8; diff = -diff; }
      int delta = step >> 3;
      if (diff >= step) { nib |= 4; diff -= step; delta += step; }
      if (diff >= step >> 1) { nib |= 2; diff -= step >> 1; delta += step >> 1; }
      if (diff >= step >> 2) { nib |= 1; delta += step >> 2; }
      pred = std::clamp(pred + ((nib & 8) ? -delta : delta), -32768, 32767);
      index = std::clamp(index + kImaIndex[nib], 0, 88);
      if ((i - 1) % 2 == 0) byte = static_cast<uint8_t>(nib);
      else data.push_back(static_cast<uint8_t>(byte | nib << 4));
    }
  }
  std::vector<uint8_t> v;
  PutTag(v, "RIFF");
  Put32(v, static_cast<uint32_t>(4 + 8 + 20 + 8 + 4 + 8 + data.size()));
  PutTag(v, "WAVE");
  PutTag(v, "fmt ");
  Put32(v, 20);
  Put16(v, 0x11);
  Put16(v, 1);
  Put32(v, static_cast<uint32_t>(rate));
  Put32(v, static_cast<uint32_t>(static_cast<long long>(rate) * kBlockAlign / kPerBlock));
  Put16(v, kBlockAlign);
  Put16(v, 4);
  Put16(v, 2);
  Put16(v, kPerBlock);
  PutTag(v, "fact");
  Put32(v, 4);
  Put32(v, static_cast<uint32_t>(s.size()));
  PutTag(v, "data");
  Put32(v, static_cast<uint32_t>(data.size()));
  v.insert(v.end(), data.begin(), data.end());
  return v;
}

std::vector<SoundFile> MakeSounds() {
  std::vector<SoundFile> out;
  const char* pcmEffects[] = {"cursor", "decide", "cancel", "hit",   "damage", "door",     "chest", "stairs",
                              "warp",   "heal",   "bump",   "fanfare", "cry1", "cry2", "gameover"};
  for (const char* e : pcmEffects) out.push_back({std::string("se_") + e + ".wav", EncodeWavPcm(Effect(e), kSampleRate)});
  // The dungeon tunes are IMA-ADPCM streams; the battle and opening tunes PCM streams.
  out.push_back({"bgm_cave.wav", EncodeWavImaAdpcm(RenderTune("cave"), kSampleRate)});
  out.push_back({"bgm_forest.wav", EncodeWavImaAdpcm(RenderTune("forest"), kSampleRate)});
  out.push_back({"bgm_desert.wav", EncodeWavImaAdpcm(RenderTune("desert"), kSampleRate)});
  out.push_back({"bgm_ending.wav", EncodeWavImaAdpcm(RenderTune("ending"), kSampleRate)});
  out.push_back({"bgm_battle.wav", EncodeWavPcm(RenderTune("battle"), kSampleRate)});
  out.push_back({"bgm_opening.wav", EncodeWavPcm(RenderTune("opening"), kSampleRate)});
  return out;
}

}  // namespace datagen
