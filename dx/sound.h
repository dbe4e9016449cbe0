// The layer's own small sound facility: WAVE sounds loaded whole into DirectSound
// buffers, played once on up to 16 overlapping duplicates or looped on their own
// buffer, with volume and pan in hundredths of a decibel and a playback-rate
// percentage. DirectSound starts with the first load.
#pragma once

#include <string>

#include "platform/dsound/dsound.h"

namespace dx {
struct sound {
  IDirectSoundBuffer* buffer = nullptr;
  IDirectSoundBuffer* duplicates[16] = {};
  std::string pcm;       // kept to refill a lost buffer
  DWORD frequency = 0;   // the buffer's own rate in Hz
};
}  // namespace dx

extern IDirectSound* dxds;
extern IDirectSoundBuffer* dxdsprimary;

// Starts DirectSound once; false when it cannot be had.
bool dxinitsound();
// Deletes every sound and stops DirectSound.
void dxreleasesound();
// A sound from the executable's WAVE or WAV resource or the file of that name;
// null without DirectSound or for data that is not a usable WAVE. A name that
// opens nothing, or data that cannot be converted, stops the program.
dx::sound* dxloadwave(const char* name);
void dxrestoresound(dx::sound* s);
void dxplaysound(dx::sound* s, LONG volume, LONG pan, DWORD percent);
void dxloopsound(dx::sound* s, LONG volume, LONG pan, DWORD percent);
void dxstopsound(dx::sound* s);
void dxstopallsounds();
void dxdeletesound(dx::sound* s);
bool dxsoundplaying();
