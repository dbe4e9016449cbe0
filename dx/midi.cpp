#include "dx/midi.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "dx/error.h"
#include "dx/package.h"
#include "dx/pump.h"
#include "dx/shell.h"
#include "platform/win32/handle.h"
#include "platform/win32/thread.h"
#include "platform/win32/time.h"
#include "platform/winmm/mixer.h"
#include "platform/winmm/time.h"

HMIDIOUT dxmidiout = nullptr;

namespace {

constexpr const char* kLoadFailed = "MIDIデータ \"%s\" のロードに失敗しました。";
constexpr uint32_t kNoNote = 0x7FFFFFFF;

// The player's state. The player thread takes the lock for a whole pass and
// skips the pass when the main thread holds it (changing volumes, resuming):
// that is also what keeps two passes from overlapping.
std::mutex g_state;
HANDLE g_thread = nullptr;
std::atomic<bool> g_stop{false};
std::atomic<bool> g_paused{false};

std::vector<dx::midievent> g_events;
std::vector<std::string> g_blobs;
uint32_t g_tempo = 500000;
int g_tempo_percent = 100;
int g_transpose = 0;
int g_master = 65535;
int g_channel_volume[16] = {16383, 16383, 16383, 16383, 16383, 16383, 16383, 16383,
                            16383, 16383, 16383, 16383, 16383, 16383, 16383, 16383};
int g_channel_scale[16] = {65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535,
                           65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535};
int g_loudest = 0;
uint32_t g_first_note = kNoNote;
uint32_t g_position = 0;
size_t g_index = 0;
uint32_t g_pending = 0;
DWORD g_clock = 0;
uint32_t g_song_end = 0;
int64_t g_loop_index = -1;
int64_t g_loop_time = -1;
uint8_t g_notes[16][128];

bool g_mixer_ready = false;
DWORD g_mixer_control = 0;

void ClearNotes() { std::fill(&g_notes[0][0], &g_notes[0][0] + sizeof(g_notes), 0); }

void Send(DWORD msg) {
  if (dxmidiout) midiOutShortMsg(dxmidiout, msg);
}
void Controller(int channel, int number, int value) {
  Send(static_cast<DWORD>(0xB0 | channel) | static_cast<DWORD>(number) << 8 | static_cast<DWORD>(value) << 16);
}

// A system-exclusive message through a header that dxmidiproc frees when done.
void SendLong(const uint8_t* data, size_t size) {
  if (!dxmidiout) return;
  auto* h = new MIDIHDR{};
  h->lpData = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
  h->dwBufferLength = h->dwBytesRecorded = static_cast<DWORD>(size);
  if (midiOutPrepareHeader(dxmidiout, h, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) {
    delete h;
    return;
  }
  if (midiOutLongMsg(dxmidiout, h, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) {
    midiOutUnprepareHeader(dxmidiout, h, sizeof(MIDIHDR));
    delete h;
  }
}

// Under g_state: the channel's volume after the song's loudest, the caller's
// scale and the master, as controllers 7 and 39.
void SendVolume(int channel) {
  uint64_t v = static_cast<uint64_t>(g_channel_volume[channel]) * 16383 / std::max(1, g_loudest);
  v = v * static_cast<uint64_t>(g_channel_scale[channel]) / 65535;
  v = v * static_cast<uint64_t>(g_master) / 65535;
  v = std::min<uint64_t>(v, 16383);  // a controller holds 7 bits
  Controller(channel, 7, static_cast<int>(v >> 7));
  Controller(channel, 39, static_cast<int>(v & 127));
}

void Silence() {
  for (int c = 0; c < 16; ++c) {
    Controller(c, 120, 0);
    Controller(c, 123, 0);
  }
  ClearNotes();
  if (dxmidiout) midiOutReset(dxmidiout);
}

void StopThread() {
  if (!g_thread) return;
  g_stop = true;
  WaitForSingleObject(g_thread, INFINITE);
  CloseHandle(g_thread);
  g_thread = nullptr;
}

// Under g_state: one event of the song.
void Handle(const dx::midievent& e, bool catch_up) {
  const uint32_t m = e.message;
  if (m == 0xF0) {
    if (e.blob >= 0 && static_cast<size_t>(e.blob) < g_blobs.size()) {
      const std::string& b = g_blobs[static_cast<size_t>(e.blob)];
      SendLong(reinterpret_cast<const uint8_t*>(b.data()), b.size());
    }
    return;
  }
  if ((m & 0xFF000000) == 0x51000000) {
    // A tempo of 0 would stop the clock's division: the last tempo stays.
    if (m & 0xFFFFFF) g_tempo = m & 0xFFFFFF;
    return;
  }
  if (m == 0x2F000000) return;
  const int status = m & 0xF0, channel = m & 0x0F;
  int d1 = (m >> 8) & 0x7F;
  const int d2 = (m >> 16) & 0x7F;
  if (status == 0xB0 && (d1 == 7 || d1 == 39)) {
    int& v = g_channel_volume[channel];
    v = d1 == 7 ? d2 * 128 : (v & ~127) | d2;
    SendVolume(channel);
    return;
  }
  if (catch_up && status == 0x90) return;
  if (status == 0x80 || status == 0x90 || status == 0xA0) {
    if (g_transpose && channel != 9) d1 = std::clamp(d1 + g_transpose, 0, 127);
    if (status == 0x90 && d2 > 0)
      g_notes[channel][d1] = 1;
    else if (status != 0xA0)
      g_notes[channel][d1] = 0;
  }
  Send((m & 0xFF) | static_cast<DWORD>(d1) << 8 | static_cast<DWORD>(d2) << 16);
}

void ReleaseHook() { dxreleasemidi(); }

// --- The file reader ---

struct Reader {
  const uint8_t* p;
  const uint8_t* end;
  const char* name;
  [[noreturn]] void Fail() const { dxerror(kLoadFailed, name); }
  uint8_t Byte() {
    if (p >= end) Fail();
    return *p++;
  }
  uint32_t Var() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b = Byte();
      v = v << 7 | (b & 0x7F);
      if (!(b & 0x80)) return v;
    }
    Fail();  // more than four bytes
  }
  const uint8_t* Take(size_t n) {
    if (static_cast<size_t>(end - p) < n) Fail();
    const uint8_t* at = p;
    p += n;
    return at;
  }
};

uint32_t Be32(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

}  // namespace

bool dx::operator<(const midievent& a, const midievent& b) { return a.time < b.time; }

void dx::parsemidi(const uint8_t* data, size_t size, const char* name) {
  Reader file{data, data + size, name};
  const uint8_t* head = file.Take(14);
  if (std::string(reinterpret_cast<const char*>(head), 4) != "MThd" || Be32(head + 4) != 6) file.Fail();
  const int tracks = Be16(head + 10);
  const uint32_t division = Be16(head + 12);
  if (division == 0) file.Fail();  // no ticks per quarter note to count in
  const uint64_t base = g_song_end;
  if (g_events.capacity() < g_events.size() + 1000) g_events.reserve(g_events.size() + 1000);
  for (int track = 0; track < tracks; ++track) {
    const uint8_t* chunk = file.Take(8);
    if (std::string(reinterpret_cast<const char*>(chunk), 4) != "MTrk") file.Fail();
    Reader r{nullptr, nullptr, name};
    r.p = file.Take(Be32(chunk + 4));
    r.end = file.p;
    uint64_t ticks = 0;
    uint8_t running = 0;
    while (r.p < r.end) {
      ticks += r.Var();
      uint64_t t = (ticks * 100000 + division / 2) / division + base;
      const uint32_t time = static_cast<uint32_t>(std::min<uint64_t>(t, 0xFFFFFFFF));
      dx::midievent e{time, 0, track, -1};
      uint8_t b = r.Byte();
      if (b == 0xFF) {
        const uint8_t type = r.Byte();
        const uint32_t n = r.Var();
        const uint8_t* body = r.Take(n);
        if (type == 0x2F) {
          if (n != 0) r.Fail();
          e.message = 0x2F000000;
        } else if (type == 0x51) {
          if (n != 3) r.Fail();
          e.message = 0x51000000 | static_cast<uint32_t>(body[0]) << 16 | body[1] << 8 | body[2];
        } else {
          continue;
        }
      } else if (b == 0xF0 || b == 0xF7) {
        const uint32_t n = r.Var();
        const uint8_t* body = r.Take(n);
        std::string blob;
        if (b == 0xF0) blob += '\xF0';
        blob.append(reinterpret_cast<const char*>(body), n);
        e.message = 0xF0;
        e.blob = static_cast<int32_t>(g_blobs.size());
        g_blobs.push_back(std::move(blob));
      } else {
        uint8_t d1;
        if (b >= 0x80) {
          if (b >= 0xF0) r.Fail();  // no system messages in a track
          running = b;
          d1 = r.Byte();
        } else {
          if (!running) r.Fail();  // data without a status
          d1 = b;
        }
        const int status = running & 0xF0;
        uint8_t d2 = 0;
        if (status != 0xC0 && status != 0xD0) d2 = r.Byte();
        d1 &= 0x7F;
        d2 &= 0x7F;
        e.message = running | static_cast<uint32_t>(d1) << 8 | static_cast<uint32_t>(d2) << 16;
        if (status == 0x90) g_first_note = std::min(g_first_note, time);
        if (status == 0xB0 && d1 == 7) g_loudest = std::max(g_loudest, d2 * 128);
        if (status == 0xB0 && d1 == 39) g_loudest = std::max(g_loudest, (g_loudest & ~127) | d2);
      }
      if (g_events.size() == g_events.capacity()) g_events.reserve(g_events.size() * 2);
      g_events.push_back(e);
    }
  }
  std::stable_sort(g_events.begin(), g_events.end());
  g_song_end = g_events.empty() ? 0 : g_events.back().time;
  if (g_loudest == 0) g_loudest = 16383;
}

void dxloadmidi(const char* name) {
  dx::file* f = name ? dxfopenres(nullptr, name, "MIDI") : nullptr;
  if (!f && name) f = dxfopen(name);
  if (!f) dxerror(kLoadFailed, name ? name : "");
  try {
    dx::parsemidi(static_cast<const uint8_t*>(dxfdata(f)), dxfsize(f), name);
  } catch (...) {
    dxfclose(f);
    throw;
  }
  dxfclose(f);
}

void dxplaymidi(const char* intro, const char* loop, uint32_t start, int play) {
  dxstopmidi();
  if (!intro && !loop) return;
  dxaddreleasehook(ReleaseHook);
  g_first_note = kNoNote;
  g_loudest = 0;
  g_events.clear();
  g_blobs.clear();
  g_song_end = 0;
  if (intro) dxloadmidi(intro);
  if (loop) {
    g_loop_index = static_cast<int64_t>(g_events.size());
    g_loop_time = g_song_end;
    dxloadmidi(loop);
  } else {
    g_loop_index = g_loop_time = -1;
  }
  if (g_first_note == kNoNote) g_first_note = 0;
  if (start == 0) start = g_first_note;  // leading silence is skipped
  g_tempo = 500000;
  g_index = 0;
  g_position = 0;
  g_paused = play == 0;
  g_pending = start;
  g_clock = timeGetTime();
  ClearNotes();
  if (!dxmidiout &&
      midiOutOpen(&dxmidiout, MIDI_MAPPER, reinterpret_cast<DWORD_PTR>(dxmidiproc), 0, CALLBACK_FUNCTION) !=
          MMSYSERR_NOERROR) {
    dxmidiout = nullptr;
    g_events.clear();
    g_blobs.clear();
    g_song_end = 0;
    return;
  }
  dxresetmidi();
  g_stop = false;
  g_thread = CreateThread(nullptr, 0, dxmidithread, nullptr, 0, nullptr);
}

void dxresetmidi() {
  if (dxmidiout) {
    for (int c = 0; c < 16; ++c) {
      Controller(c, 121, 0);
      Controller(c, 123, 0);
      Controller(c, 120, 0);
      Controller(c, 0, 0);
      Controller(c, 32, 0);
      Send(static_cast<DWORD>(0xC0 | c));
    }
    midiOutReset(dxmidiout);
    static const uint8_t kGmOn[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    static const uint8_t kGsReset[] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    SendLong(kGmOn, sizeof kGmOn);
    dxwait(100);
    SendLong(kGsReset, sizeof kGsReset);
    dxwait(100);
  }
  std::lock_guard<std::mutex> lock(g_state);
  g_tempo_percent = 100;
  g_transpose = 0;
  g_master = 65535;
  std::fill(std::begin(g_channel_volume), std::end(g_channel_volume), 16383);
  std::fill(std::begin(g_channel_scale), std::end(g_channel_scale), 65535);
  ClearNotes();
}

DWORD dxmidithread(void*) {
  while (!g_stop) {
    Sleep(20);
    dxmidiupdate();
  }
  return 0;
}

void dxmidiupdate() {
  if (!dxmidiout) return;
  std::unique_lock<std::mutex> lock(g_state, std::try_to_lock);
  if (!lock) return;  // the main thread is changing the state, or a pass runs
  if (g_paused) {
    g_clock = timeGetTime();
    return;
  }
  const bool catch_up = g_pending != 0;
  if (!catch_up) {
    const DWORD now = timeGetTime();
    DWORD elapsed = now - g_clock;
    if (elapsed > 200) elapsed = 0;  // a stall does not make the song jump
    g_position += static_cast<uint32_t>(
        (static_cast<int64_t>(elapsed) * g_tempo_percent * 1000000 + g_tempo / 2) / g_tempo);
    g_clock = now;
  } else {
    g_position = g_pending;
    g_index = 0;
  }
  while (g_index < g_events.size() && g_events[g_index].time < g_position) Handle(g_events[g_index++], catch_up);
  if (g_song_end < g_position) {
    if (g_loop_index < 0) {
      g_stop = true;
    } else {
      g_index = static_cast<size_t>(g_loop_index);
      g_position = static_cast<uint32_t>(g_loop_time);
    }
  }
  if (catch_up) {
    g_pending = 0;
    g_clock = timeGetTime();
  }
}

void dxmidiproc(HMIDIOUT out, UINT msg, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
  if (msg != MOM_DONE || !param1) return;
  auto* h = reinterpret_cast<MIDIHDR*>(param1);
  midiOutUnprepareHeader(out, h, sizeof(MIDIHDR));
  delete h;
}

void dxstopmidi() {
  StopThread();
  if (dxmidiout) Silence();
  std::lock_guard<std::mutex> lock(g_state);
  g_events.clear();
  g_blobs.clear();
  g_song_end = 0;
  g_position = 0;
  g_index = 0;
  g_pending = 0;
  g_loop_index = g_loop_time = -1;
  g_paused = false;
  ClearNotes();
}

void dxreleasemidi() {
  dxstopmidi();
  if (dxmidiout) midiOutClose(dxmidiout);
  dxmidiout = nullptr;
}

void dxclosemidi() {
  StopThread();
  if (!dxmidiout) return;
  Silence();
  midiOutClose(dxmidiout);
  dxmidiout = nullptr;
}

void dxresumemidi() {
  if (g_events.empty()) return;
  {
    std::lock_guard<std::mutex> lock(g_state);
    g_pending = g_position;
    g_index = 0;
    g_position = 0;
    g_paused = false;
  }
  // Reopened with the callback, which frees the headers of long messages.
  if (!dxmidiout &&
      midiOutOpen(&dxmidiout, MIDI_MAPPER, reinterpret_cast<DWORD_PTR>(dxmidiproc), 0, CALLBACK_FUNCTION) !=
          MMSYSERR_NOERROR) {
    dxmidiout = nullptr;
    return;
  }
  dxwait(100);
  if (g_thread && WaitForSingleObject(g_thread, 0) == WAIT_OBJECT_0) {
    CloseHandle(g_thread);
    g_thread = nullptr;
  }
  if (g_thread) return;  // the player still runs (after a pause): no second one
  g_stop = false;
  g_thread = CreateThread(nullptr, 0, dxmidithread, nullptr, 0, nullptr);
}

void dxpausemidi() {
  if (g_events.empty()) return;
  std::lock_guard<std::mutex> lock(g_state);
  g_paused = true;
  if (!dxmidiout) return;
  for (int c = 0; c < 16; ++c) {
    Controller(c, 121, 0);
    Controller(c, 120, 0);
    Controller(c, 123, 0);
  }
  midiOutReset(dxmidiout);
}

void dxsetmidivolume(int volume) {
  std::lock_guard<std::mutex> lock(g_state);
  g_master = std::clamp(volume, 0, 65535);
  if (dxmidiout)
    for (int c = 0; c < 16; ++c) SendVolume(c);
}

int dxgetmidivolume() { return g_master; }

void dxsetmidichannelvolume(int channel, int volume) {
  if (channel < 0 || channel > 15) return;
  std::lock_guard<std::mutex> lock(g_state);
  g_channel_scale[channel] = std::clamp(volume, 0, 65535);
  if (dxmidiout) SendVolume(channel);
}

int dxgetmidichannelvolume(int channel) { return channel < 0 || channel > 15 ? 0 : g_channel_scale[channel]; }

void dxsetmiditempo(int percent) {
  std::lock_guard<std::mutex> lock(g_state);
  g_tempo_percent = std::max(0, percent);
}

void dxsetmiditranspose(int semitones) {
  std::lock_guard<std::mutex> lock(g_state);
  g_transpose = semitones;
  for (int c = 0; c < 16; ++c) Controller(c, 123, 0);
}

uint32_t dxgetmidiposition() {
  std::lock_guard<std::mutex> lock(g_state);
  return g_position;
}

uint32_t dxgetmidilength() { return g_song_end; }

bool dxmidiplaying() { return g_thread && WaitForSingleObject(g_thread, 0) == WAIT_TIMEOUT; }

bool dxmidipaused() { return g_paused; }

void dxfadeoutmidi(int ms) {
  if (!dxmidiout) {
    dxwait(ms);
    return;
  }
  const int original = g_master;
  const int steps = ms / 50;
  for (int i = 1; i <= steps; ++i) {
    dxsetmidivolume(static_cast<int>(static_cast<int64_t>(original) * (steps - i) / steps));
    dxwait(50);
  }
  dxstopmidi();
  g_master = original;
}

bool dxinitmixer() {
  MIXERLINEA line{};
  line.cbStruct = sizeof(line);
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;
  if (mixerGetLineInfoA(nullptr, &line, MIXER_OBJECTF_MIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
      MMSYSERR_NOERROR)
    return false;
  MIXERCONTROLA control{};
  MIXERLINECONTROLSA controls{};
  controls.cbStruct = sizeof(controls);
  controls.dwLineID = line.dwLineID;
  controls.dwControl = MIXERCONTROL_CONTROLTYPE_VOLUME;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof(control);
  controls.pamxctrl = &control;
  if (mixerGetLineControlsA(nullptr, &controls, MIXER_OBJECTF_MIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
      MMSYSERR_NOERROR)
    return false;
  g_mixer_control = control.dwControlID;
  g_mixer_ready = true;
  return true;
}

namespace {
MIXERCONTROLDETAILS Details(MIXERCONTROLDETAILS_UNSIGNED* value) {
  MIXERCONTROLDETAILS d{};
  d.cbStruct = sizeof(d);
  d.dwControlID = g_mixer_control;
  d.cChannels = 1;
  d.cbDetails = sizeof(*value);
  d.paDetails = value;
  return d;
}
}  // namespace

DWORD dxgetsynthvolume() {
  if (!g_mixer_ready && !dxinitmixer()) return 65535;
  MIXERCONTROLDETAILS_UNSIGNED value{0};
  MIXERCONTROLDETAILS d = Details(&value);
  if (mixerGetControlDetailsA(nullptr, &d, MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) return 65535;
  return value.dwValue;
}

void dxsetsynthvolume(DWORD volume) {
  if (!g_mixer_ready && !dxinitmixer()) return;
  MIXERCONTROLDETAILS_UNSIGNED value{volume};
  MIXERCONTROLDETAILS d = Details(&value);
  mixerSetControlDetails(nullptr, &d, MIXER_SETCONTROLDETAILSF_VALUE);
}
