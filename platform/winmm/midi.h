// MIDI output. The MIDI mapper (the one device) is a small software synthesizer
// mixed into the DirectSound output: one voice per sounding note (a square wave
// for melodic channels, a decaying noise burst on channel index 9), the same for
// every program, scaled by velocity, channel volume (controllers 7 and 39, 14
// bits) and pitch bend (two semitones). System-exclusive messages are taken and
// reported done; the GM and GS resets reset the channels.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32/types.h"
#include "platform/winmm/mmtypes.h"

struct HMIDIOUT__;
using HMIDIOUT = HMIDIOUT__*;

constexpr UINT MIDI_MAPPER = 0xFFFFFFFF;
constexpr DWORD CALLBACK_NULL = 0x0, CALLBACK_FUNCTION = 0x30000;
constexpr UINT MOM_OPEN = 0x3C7, MOM_CLOSE = 0x3C8, MOM_DONE = 0x3C9;
constexpr DWORD MHDR_DONE = 0x1, MHDR_PREPARED = 0x2, MHDR_INQUEUE = 0x4;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2, MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MIDIERR_UNPREPARED = 64, MIDIERR_STILLPLAYING = 65;

struct MIDIHDR {
  char* lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;
  MIDIHDR* lpNext;
  DWORD_PTR reserved;
  DWORD dwOffset;
  DWORD_PTR dwReserved[8];
};

using MIDIOUTPROC = void (*)(HMIDIOUT out, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

UINT midiOutGetNumDevs();
// Device 0 or MIDI_MAPPER; MMSYSERR_ALLOCATED while it is open, MMSYSERR_NODRIVER
// when no audio output can be had. With CALLBACK_FUNCTION the callback is a MIDIOUTPROC.
MMRESULT midiOutOpen(HMIDIOUT* out, UINT device, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT midiOutClose(HMIDIOUT out);
MMRESULT midiOutShortMsg(HMIDIOUT out, DWORD msg);
// Plays a prepared buffer; it is done (MOM_DONE to the callback) before the call returns.
MMRESULT midiOutLongMsg(HMIDIOUT out, MIDIHDR* header, UINT size);
MMRESULT midiOutPrepareHeader(HMIDIOUT out, MIDIHDR* header, UINT size);
MMRESULT midiOutUnprepareHeader(HMIDIOUT out, MIDIHDR* header, UINT size);
// Silences every note on every channel.
MMRESULT midiOutReset(HMIDIOUT out);

namespace platform {
// What the synthesizer was sent, stamped with the host's clock; for tests.
struct MidiMessage {
  uint64_t time_us;
  DWORD message;               // a short message; 0xF0 for a long one
  std::vector<uint8_t> bytes;  // a long message's bytes
};
std::vector<MidiMessage> midi_log();
void midi_clear_log();
int midi_voices();  // voices sounding
// The synthesizer's output volume (0 to 65535, the mixer's synthesizer line).
void midi_set_synth_volume(DWORD v);
DWORD midi_synth_volume();
}  // namespace platform
