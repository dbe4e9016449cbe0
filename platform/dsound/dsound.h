// DirectSound: a software mixer with the buffer model of DirectSound. Secondary
// buffers hold PCM (8 or 16 bits, mono or stereo, any rate); each plays from its
// play cursor, once or looping, at its own frequency, volume and pan, and all of
// them are mixed into the host's audio device (44,100 Hz, 16-bit stereo) when the
// host pulls samples. The primary buffer stands for the output: its volume scales
// everything its device plays. Objects are reference counted (AddRef / Release).
#pragma once

#include <cstddef>

#include "platform/win32/types.h"
#include "platform/winmm/mmtypes.h"

struct IUnknown;

constexpr DWORD DSSCL_NORMAL = 1, DSSCL_PRIORITY = 2, DSSCL_EXCLUSIVE = 3, DSSCL_WRITEPRIMARY = 4;

constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr DWORD DSBCAPS_STATIC = 0x2;
constexpr DWORD DSBCAPS_LOCHARDWARE = 0x4;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x8;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
constexpr DWORD DSBCAPS_STICKYFOCUS = 0x4000;
constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x8000;
constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;

constexpr DWORD DSBPLAY_LOOPING = 0x1;

constexpr DWORD DSBSTATUS_PLAYING = 0x1;
constexpr DWORD DSBSTATUS_BUFFERLOST = 0x2;
constexpr DWORD DSBSTATUS_LOOPING = 0x4;

constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x1;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x2;

constexpr LONG DSBVOLUME_MIN = -10000, DSBVOLUME_MAX = 0;
constexpr LONG DSBPAN_LEFT = -10000, DSBPAN_CENTER = 0, DSBPAN_RIGHT = 10000;
constexpr DWORD DSBFREQUENCY_ORIGINAL = 0, DSBFREQUENCY_MIN = 100, DSBFREQUENCY_MAX = 100000;
constexpr DWORD DSBSIZE_MIN = 4, DSBSIZE_MAX = 0x0FFFFFFF;

constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000A);
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001E);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078);
constexpr HRESULT DSERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88780082);
constexpr HRESULT DSERR_BUFFERLOST = static_cast<HRESULT>(0x88780096);
constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AA);
constexpr HRESULT DSERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110);

struct DSBUFFERDESC {
  DWORD dwSize;  // sizeof(DSBUFFERDESC)
  DWORD dwFlags;
  DWORD dwBufferBytes;  // 0 for the primary buffer
  DWORD dwReserved;
  WAVEFORMATEX* lpwfxFormat;  // null for the primary buffer
};

namespace dsound {
struct Buffer;
struct Device;
}  // namespace dsound

class IDirectSoundBuffer {
 public:
  ULONG AddRef();
  ULONG Release();

  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags);
  HRESULT Stop();
  HRESULT GetStatus(DWORD* status);
  HRESULT GetCurrentPosition(DWORD* play, DWORD* write);
  HRESULT SetCurrentPosition(DWORD position);
  // Gives one region, or two when the range wraps past the end of the buffer.
  // The regions are private copies written back by Unlock.
  HRESULT Lock(DWORD offset, DWORD bytes, void** ptr1, DWORD* bytes1, void** ptr2, DWORD* bytes2,
               DWORD flags);
  HRESULT Unlock(void* ptr1, DWORD bytes1, void* ptr2, DWORD bytes2);
  HRESULT Restore();
  HRESULT SetFormat(const WAVEFORMATEX* format);  // primary buffer only
  HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written);
  HRESULT SetVolume(LONG volume);
  HRESULT GetVolume(LONG* volume);
  HRESULT SetPan(LONG pan);
  HRESULT GetPan(LONG* pan);
  HRESULT SetFrequency(DWORD hz);
  HRESULT GetFrequency(DWORD* hz);

 private:
  friend struct dsound::Buffer;
  friend class IDirectSound;
  explicit IDirectSoundBuffer(dsound::Buffer* b) : b_(b) {}
  ~IDirectSoundBuffer() = default;
  dsound::Buffer* b_;
};

class IDirectSound {
 public:
  ULONG AddRef();
  ULONG Release();

  // Opens the host's audio device. A GUID other than null names a device that does not exist.
  HRESULT Initialize(const GUID* device);
  HRESULT SetCooperativeLevel(HWND window, DWORD level);
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out, IUnknown* outer);
  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** out);

 private:
  friend struct dsound::Device;
  friend IDirectSound* DirectSoundNew();
  explicit IDirectSound(dsound::Device* d) : d_(d) {}
  ~IDirectSound() = default;
  dsound::Device* d_;
};

// The class of the DirectSound object and its one interface, for CoCreateInstance.
extern const GUID CLSID_DirectSound;
extern const GUID IID_IDirectSound;

// A new DirectSound object that still needs Initialize (what creating the class gives).
IDirectSound* DirectSoundNew();
// A new, initialized DirectSound object on the default device.
HRESULT DirectSoundCreate(const GUID* device, IDirectSound** out, IUnknown* outer);

namespace platform {
// A generator mixed into the output beside the buffers (the MIDI synthesizer):
// adds `frames` interleaved stereo frames at 44,100 Hz to `acc`, 16-bit scale.
// Called on the mixing thread with the mixer's lock held.
using MixSource = void (*)(void* user, double* acc, int frames);
void dsound_add_source(MixSource fn, void* user);
void dsound_remove_source(MixSource fn, void* user);
// The number of DirectSound objects and of secondary buffers alive; for tests.
int dsound_device_count();
int dsound_buffer_count();
}  // namespace platform
