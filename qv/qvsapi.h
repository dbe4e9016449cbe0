// qv/: the sound library, over the platform's DirectSound and audio
// compression stand-ins: qvxalloc (its tracked memory), qvxwave (WAVE and
// MP3 parsing), qvxacm (decoding for streamed slots through the compression
// manager), qvscommon (its state, slots and DirectSound objects) and this
// interface.
//
// The sound library's public interface: a device of its own on DirectSound, and
// numbered slots into which sounds are loaded, then played, paused, stopped and
// adjusted. Units are DirectSound's: hundredths of a decibel, Hz, milliseconds.
// Only the start reports failures; afterwards a bad or empty slot gets a neutral
// result (0 for most, 1 for a volume read, -2147483648 for a pan read).
#pragma once

#include <cstdint>

#include "platform/win32/types.h"

struct QvSoundState;

constexpr int32_t QVS_VERSION = 368;
constexpr int32_t QVS_NO_PAN = INT32_MIN;

int32_t QvxSoundVersion();
int32_t QvxSoundInitialize(HWND window, int32_t rate, int32_t bits, int32_t channels, int32_t slots);
void QvxSoundTerminate();
// Stream milliseconds 0 loads the whole sound (PCM WAVE); otherwise the slot
// streams a WAVE or MP3 file through a buffer of that length (at least 50).
int32_t QvxSoundLoad(int32_t slot, const char* name, int32_t stream_ms);
void QvxSoundUnload(int32_t slot);
void QvxSoundUnloadAll();
int32_t QvxSoundPlay(int32_t slot, int32_t loop);
int32_t QvxSoundPause(int32_t slot);
int32_t QvxSoundStop(int32_t slot);
int32_t QvxSoundGetPan(int32_t slot);
int32_t QvxSoundSetPan(int32_t slot, int32_t pan);
int32_t QvxSoundGetFrequency(int32_t slot);
int32_t QvxSoundSetFrequency(int32_t slot, int32_t hz);
int32_t QvxSoundGetVolume(int32_t slot);
int32_t QvxSoundSetVolume(int32_t slot, int32_t volume);
int32_t QvxSoundGetMasterVolume();
int32_t QvxSoundSetMasterVolume(int32_t volume);
int32_t QvxSoundGetPosition(int32_t slot);
int32_t QvxSoundSetPosition(int32_t slot, int32_t ms);
int32_t QvxSoundGetLength(int32_t slot);
int32_t QvxSoundSetGlobalFocus(int32_t flag);

// The 21 entry points above, in this order.
struct QvxSoundApi {
  int32_t (*Version)();
  int32_t (*Initialize)(HWND, int32_t, int32_t, int32_t, int32_t);
  void (*Terminate)();
  int32_t (*Load)(int32_t, const char*, int32_t);
  void (*Unload)(int32_t);
  void (*UnloadAll)();
  int32_t (*Play)(int32_t, int32_t);
  int32_t (*Pause)(int32_t);
  int32_t (*Stop)(int32_t);
  int32_t (*GetPan)(int32_t);
  int32_t (*SetPan)(int32_t, int32_t);
  int32_t (*GetFrequency)(int32_t);
  int32_t (*SetFrequency)(int32_t, int32_t);
  int32_t (*GetVolume)(int32_t);
  int32_t (*SetVolume)(int32_t, int32_t);
  int32_t (*GetMasterVolume)();
  int32_t (*SetMasterVolume)(int32_t);
  int32_t (*GetPosition)(int32_t);
  int32_t (*SetPosition)(int32_t, int32_t);
  int32_t (*GetLength)(int32_t);
  int32_t (*SetGlobalFocus)(int32_t);
};
void QvxSoundGetApi(QvxSoundApi* api);

// The game's start: 44,100 Hz, 16 bits, stereo, 255 slots, global focus. 0 or -1.
int32_t QvxSoundStartDefault(HWND window);

QvSoundState* QvsGetState();
