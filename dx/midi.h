// The MIDI player: Standard MIDI Files (an intro played once and a loop played
// forever after it) merged into one time-sorted event list and sent to the MIDI
// mapper by a player thread every 20 ms, with tempo, transposition, a master
// volume and per-channel volume scales applied on the way. The device is given
// up while the application is inactive and the song resumes where it was.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/winmm/midi.h"

namespace dx {
struct midievent {
  uint32_t time;     // 1/100,000 of a quarter note from the song's start
  uint32_t message;  // status | data1 << 8 | data2 << 16; 0x51000000 | tempo; 0x2F000000; 0xF0
  int32_t track;     // within its file, from 0
  int32_t blob;      // index of a system-exclusive message, -1 for none
};
// By time only, for the stable sort.
bool operator<(const midievent& a, const midievent& b);

// Appends the events of a file image to the song (times after the song's end so
// far); a malformed image stops the program with the load message for `name`.
void parsemidi(const uint8_t* data, size_t size, const char* name);
}  // namespace dx

// The MIDI output (null while none is open).
extern HMIDIOUT dxmidiout;

// Stops any song; loads the intro and the loop (either may be null; both null
// only stops) and plays from `start` (0: the first note), or holds it paused
// when `play` is 0.
void dxplaymidi(const char* intro, const char* loop, uint32_t start, int play);
void dxstopmidi();
void dxreleasemidi();
void dxclosemidi();
void dxresumemidi();
void dxpausemidi();
void dxloadmidi(const char* name);
void dxresetmidi();
DWORD dxmidithread(void* param);
void dxmidiupdate();
void dxmidiproc(HMIDIOUT out, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
void dxsetmidivolume(int volume);
int dxgetmidivolume();
void dxsetmidichannelvolume(int channel, int volume);
int dxgetmidichannelvolume(int channel);
void dxsetmiditempo(int percent);
void dxsetmiditranspose(int semitones);
uint32_t dxgetmidiposition();
uint32_t dxgetmidilength();
bool dxmidiplaying();
bool dxmidipaused();
// Blocks while the master volume falls to 0 over `ms`, then stops the song.
void dxfadeoutmidi(int ms);
bool dxinitmixer();
DWORD dxgetsynthvolume();
void dxsetsynthvolume(DWORD volume);
