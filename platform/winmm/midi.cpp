#include "platform/winmm/midi.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/dsound/dsound.h"
#include "platform/host/host.h"

struct HMIDIOUT__ {
  DWORD_PTR callback = 0;
  DWORD_PTR instance = 0;
  DWORD flags = 0;
  IDirectSound* ds = nullptr;  // keeps the output device open
};

namespace {

constexpr int kRate = 44100;
constexpr int kMaxVoices = 32;
constexpr double kVoiceLevel = 4000.0;  // a full-velocity note at full volume

struct Voice {
  int channel = 0, note = 0;
  double amplitude = 0;  // velocity's share
  double phase = 0;      // in cycles
  bool held = true;
  double release = 1.0;  // 1 while held, falling to 0 after the note-off
  double decay = 1.0;    // percussion fades by itself
  uint32_t noise = 1;
  uint64_t age = 0;
};

struct Channel {
  int volume = 100 << 7;  // 14 bits
  int bend = 8192;
};

std::mutex g_mutex;  // the synthesizer's state; taken inside the mixer's lock
HMIDIOUT g_open = nullptr;
Voice g_voices[kMaxVoices];
int g_voice_count = 0;
Channel g_channels[16];
uint64_t g_age = 0;
DWORD g_synth_volume = 65535;
std::vector<platform::MidiMessage> g_log;

void ResetChannels() {
  for (Channel& c : g_channels) c = Channel{};
  g_voice_count = 0;
}

void NoteOff(int channel, int note) {
  for (int i = 0; i < g_voice_count; ++i)
    if (g_voices[i].channel == channel && g_voices[i].note == note && g_voices[i].held) g_voices[i].held = false;
}

void NoteOn(int channel, int note, int velocity) {
  NoteOff(channel, note);
  int slot = g_voice_count < kMaxVoices ? g_voice_count++ : 0;
  if (slot == 0 && g_voice_count == kMaxVoices) {
    // Full: the oldest voice gives way.
    for (int i = 1; i < kMaxVoices; ++i)
      if (g_voices[i].age < g_voices[slot].age) slot = i;
  }
  Voice v;
  v.channel = channel;
  v.note = note;
  v.amplitude = velocity / 127.0;
  v.age = ++g_age;
  v.noise = 0x12345u + static_cast<uint32_t>(note);
  g_voices[slot] = v;
}

void ChannelOff(int channel, bool at_once) {
  for (int i = 0; i < g_voice_count; ++i)
    if (g_voices[i].channel == channel) {
      g_voices[i].held = false;
      if (at_once) g_voices[i].release = 0;
    }
}

void Short(DWORD msg) {
  const int status = msg & 0xF0, channel = msg & 0x0F;
  const int d1 = (msg >> 8) & 0x7F, d2 = (msg >> 16) & 0x7F;
  Channel& c = g_channels[channel];
  switch (status) {
    case 0x80: NoteOff(channel, d1); break;
    case 0x90:
      if (d2)
        NoteOn(channel, d1, d2);
      else
        NoteOff(channel, d1);
      break;
    case 0xB0:
      switch (d1) {
        case 7: c.volume = d2 << 7; break;
        case 39: c.volume = (c.volume & ~0x7F) | d2; break;
        case 120: ChannelOff(channel, true); break;
        case 121: c.bend = 8192; break;
        case 123: ChannelOff(channel, false); break;
        default: break;
      }
      break;
    case 0xE0: c.bend = d1 | d2 << 7; break;
    default: break;  // programs and pressure: one sound for all
  }
}

void Render(void*, double* acc, int frames) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const double master = g_synth_volume / 65535.0;
  const double release_step = 1.0 / (0.01 * kRate);  // 10 ms, so a note-off does not click
  const double drum_decay = std::exp(-1.0 / (0.15 * kRate));
  for (int i = 0; i < g_voice_count;) {
    Voice& v = g_voices[i];
    const Channel& c = g_channels[v.channel];
    const bool drum = v.channel == 9;
    const double semis = v.note - 69 + (c.bend - 8192) * 2.0 / 8192.0;
    const double step = 440.0 * std::pow(2.0, semis / 12.0) / kRate;
    const double gain = kVoiceLevel * v.amplitude * (c.volume / 16383.0) * master;
    for (int f = 0; f < frames; ++f) {
      double s;
      if (drum) {
        v.noise = v.noise * 1103515245u + 12345u;
        s = ((v.noise >> 16) & 0x7FFF) / 16383.5 - 1.0;
        v.decay *= drum_decay;
      } else {
        s = v.phase < 0.5 ? 1.0 : -1.0;
        v.phase += step;
        v.phase -= std::floor(v.phase);
      }
      const double out = s * gain * v.release * v.decay;
      acc[2 * f] += out;
      acc[2 * f + 1] += out;
      if (!v.held) v.release = std::max(0.0, v.release - release_step);
    }
    if (v.release <= 0.0 || v.decay < 1e-3)
      v = g_voices[--g_voice_count];
    else
      ++i;
  }
}

void Notify(HMIDIOUT out, UINT msg, DWORD_PTR p1) {
  if ((out->flags & 0x70000) == CALLBACK_FUNCTION && out->callback)
    reinterpret_cast<MIDIOUTPROC>(out->callback)(out, msg, out->instance, p1, 0);
}

uint64_t Now() { return host::get().now_us(); }

// Under g_mutex. The log is for tests; a long session keeps only its recent part.
void Log(platform::MidiMessage m) {
  if (g_log.size() >= 65536) g_log.erase(g_log.begin(), g_log.begin() + 32768);
  g_log.push_back(std::move(m));
}

}  // namespace

UINT midiOutGetNumDevs() { return 1; }

MMRESULT midiOutOpen(HMIDIOUT* out, UINT device, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
  if (!out) return MMSYSERR_INVALPARAM;
  *out = nullptr;
  if (device != 0 && device != MIDI_MAPPER) return MMSYSERR_BADDEVICEID;
  const DWORD kind = flags & 0x70000;
  if (kind != CALLBACK_NULL && kind != CALLBACK_FUNCTION) return MMSYSERR_INVALFLAG;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_open) return MMSYSERR_ALLOCATED;
  }
  IDirectSound* ds = nullptr;
  if (DirectSoundCreate(nullptr, &ds, nullptr) != DS_OK || !ds) return MMSYSERR_NODRIVER;
  auto* h = new HMIDIOUT__{callback, instance, flags, ds};
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_open = h;
    ResetChannels();
  }
  platform::dsound_add_source(Render, nullptr);
  *out = h;
  Notify(h, MOM_OPEN, 0);
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutClose(HMIDIOUT out) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!out || out != g_open) return MMSYSERR_INVALHANDLE;
    g_open = nullptr;
    g_voice_count = 0;
  }
  platform::dsound_remove_source(Render, nullptr);
  Notify(out, MOM_CLOSE, 0);
  out->ds->Release();
  delete out;
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutShortMsg(HMIDIOUT out, DWORD msg) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!out || out != g_open) return MMSYSERR_INVALHANDLE;
  if (!(msg & 0x80)) return MMSYSERR_INVALPARAM;  // running status is not taken here
  Log({Now(), msg, {}});
  Short(msg);
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutPrepareHeader(HMIDIOUT out, MIDIHDR* header, UINT size) {
  if (!out || !header || size < sizeof(MIDIHDR) || (!header->lpData && header->dwBufferLength))
    return MMSYSERR_INVALPARAM;
  header->dwFlags |= MHDR_PREPARED;
  header->dwFlags &= ~(MHDR_DONE | MHDR_INQUEUE);
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutUnprepareHeader(HMIDIOUT out, MIDIHDR* header, UINT size) {
  if (!out || !header || size < sizeof(MIDIHDR)) return MMSYSERR_INVALPARAM;
  if (header->dwFlags & MHDR_INQUEUE) return MIDIERR_STILLPLAYING;
  header->dwFlags &= ~MHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutLongMsg(HMIDIOUT out, MIDIHDR* header, UINT size) {
  if (!header || size < sizeof(MIDIHDR)) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & MHDR_PREPARED)) return MIDIERR_UNPREPARED;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!out || out != g_open) return MMSYSERR_INVALHANDLE;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(header->lpData);
    std::vector<uint8_t> bytes(p, p + header->dwBufferLength);
    static const uint8_t kGmOn[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    static const uint8_t kGsReset[] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    auto is = [&](const uint8_t* m, size_t n) { return bytes.size() == n && std::memcmp(bytes.data(), m, n) == 0; };
    if (is(kGmOn, sizeof kGmOn) || is(kGsReset, sizeof kGsReset)) ResetChannels();
    Log({Now(), 0xF0, std::move(bytes)});
  }
  header->dwFlags |= MHDR_DONE;
  // The callback may free the header: it is not touched after this.
  Notify(out, MOM_DONE, reinterpret_cast<DWORD_PTR>(header));
  return MMSYSERR_NOERROR;
}

MMRESULT midiOutReset(HMIDIOUT out) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!out || out != g_open) return MMSYSERR_INVALHANDLE;
  g_voice_count = 0;
  return MMSYSERR_NOERROR;
}

namespace platform {
std::vector<MidiMessage> midi_log() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_log;
}
void midi_clear_log() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_log.clear();
}
int midi_voices() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_voice_count;
}
void midi_set_synth_volume(DWORD v) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_synth_volume = std::min<DWORD>(v, 65535);
}
DWORD midi_synth_volume() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_synth_volume;
}
}  // namespace platform
