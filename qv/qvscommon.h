// The sound library's state, its slots, the system libraries it binds by name
// when it starts, and its DirectSound objects.
#pragma once

#include <cstdint>

#include "platform/acm/acm.h"
#include "platform/dsound/dsound.h"
#include "platform/win32/module.h"
#include "platform/winmm/mmtypes.h"
#include "platform/winmm/timer.h"
#include "qv/qvxacm.h"
#include "qv/qvxwave.h"

struct IUnknown;

enum QvSlotType : int32_t { QVS_FREE = 0, QVS_STATIC = 1, QVS_STREAM = 2 };

struct QvSoundSlot;
// Fills a PCM block: destination, in/out byte count, the PCM format, the slot → continue flag.
using QvsRenderFn = int32_t (*)(void* dst, int32_t* count, const WAVEFORMATEX* pcm, QvSoundSlot* slot);

// A zeroed record is a free slot.
struct QvSoundSlot {
  int32_t type;
  IDirectSoundBuffer* buffer;
  QvWaveInfo wave;        // static
  UINT timer;             // stream: the running periodic timer, 0 when none
  int32_t second_half;    // stream: the half last filled is the second
  int32_t loop;           // stream: the loop flag of the last play
  uint32_t buffer_bytes;  // stream: the ring buffer; each half is buffer_bytes / 2
  int32_t end_reached;    // stream: the decoder delivered its last data
  int32_t paused;         // stream: paused while playing; the next play goes on from there
  QvAcmStream* decoder;   // stream
  WAVEFORMATEX pcm;       // stream: what the decoder delivers; the buffer's format
  QvsRenderFn render;     // stream
};

struct QvSoundState {
  IDirectSound* device;
  IDirectSoundBuffer* primary;
  HWND window;
  uint32_t slot_count;
  QvSoundSlot* slots;
  WAVEFORMATEX format;
  int32_t rate;
  int32_t bits;
  int32_t channels;
  int32_t global_focus;
};

// --- Libraries bound by name ---

struct QvxOle32Api {
  HMODULE module;
  int32_t refs;
  HRESULT (*CoInitialize)(void*);
  void (*CoUninitialize)();
  HRESULT (*CoCreateInstance)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
};

struct QvxWinmmApi {
  HMODULE module;
  int32_t refs;
  DWORD (*timeGetTime)();
  MMRESULT (*timeBeginPeriod)(UINT);
  MMRESULT (*timeEndPeriod)(UINT);
  MMRESULT (*timeGetDevCaps)(TIMECAPS*, UINT);
  MMRESULT (*timeSetEvent)(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT);
  MMRESULT (*timeKillEvent)(UINT);
  TIMECAPS caps;
  int32_t period_raised;
};

struct QvxAcmApi {
  HMODULE module;
  int32_t refs;
  MMRESULT (*acmFormatSuggest)(HACMDRIVER, const WAVEFORMATEX*, WAVEFORMATEX*, DWORD, DWORD);
  MMRESULT (*acmFormatTagDetailsA)(HACMDRIVER, ACMFORMATTAGDETAILSA*, DWORD);
  MMRESULT (*acmStreamOpen)(LPHACMSTREAM, HACMDRIVER, const WAVEFORMATEX*, const WAVEFORMATEX*, WAVEFILTER*,
                            DWORD_PTR, DWORD_PTR, DWORD);
  MMRESULT (*acmStreamClose)(HACMSTREAM, DWORD);
  MMRESULT (*acmStreamConvert)(HACMSTREAM, ACMSTREAMHEADER*, DWORD);
  MMRESULT (*acmStreamPrepareHeader)(HACMSTREAM, ACMSTREAMHEADER*, DWORD);
  MMRESULT (*acmStreamUnprepareHeader)(HACMSTREAM, ACMSTREAMHEADER*, DWORD);
  MMRESULT (*acmStreamSize)(HACMSTREAM, DWORD, DWORD*, DWORD);
};

bool QvxApiInitialize();
void QvxApiTerminate();
// The bound table, or null while its library is not bound.
const QvxOle32Api* QvxOle32Table();
const QvxWinmmApi* QvxWinmmTable();
const QvxAcmApi* QvxAcmTable();
bool QvxGetProc(HMODULE module, const char* name, FARPROC* out);

// --- DirectSound objects ---

IDirectSound* QvxCreateDirectSound(const GUID* device);
IDirectSoundBuffer* QvxCreatePrimaryBuffer(IDirectSound* device, const WAVEFORMATEX* format);
IDirectSoundBuffer* QvxCreateSecondaryBuffer(IDirectSound* device, const WAVEFORMATEX* format, uint32_t bytes,
                                             int32_t global_focus);

// --- State, start and stop ---

QvSoundState* QvsGetState();
int32_t QvsInitialize(HWND window, int32_t rate, int32_t bits, int32_t channels, int32_t slots);
void QvsTerminate();
// Reports a failed start: stops the library, shows the message, and gives 0.
int32_t QvsError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// --- Static slots ---

int32_t QvsStaticLoad(QvSoundSlot* slot, const char* name);
void QvsStaticUnload(QvSoundSlot* slot);
int32_t QvsStaticPlay(QvSoundSlot* slot, int32_t loop);
int32_t QvsStaticPause(QvSoundSlot* slot);
int32_t QvsStaticStop(QvSoundSlot* slot);
int32_t QvsStaticGetPosition(QvSoundSlot* slot, int32_t* ms);
int32_t QvsStaticSetPosition(QvSoundSlot* slot, int32_t ms);
int32_t QvsStaticGetLength(QvSoundSlot* slot, int32_t* ms);
void QvsStaticFill(IDirectSoundBuffer* buffer, const void* data, uint32_t size);

// --- Streamed slots ---

int32_t QvsStreamOpen(QvSoundSlot* slot, const char* name, int32_t ms);
void QvsStreamClose(QvSoundSlot* slot);
int32_t QvsStreamPlay(QvSoundSlot* slot, int32_t loop);
int32_t QvsStreamPause(QvSoundSlot* slot);
int32_t QvsStreamStop(QvSoundSlot* slot);
void QvsStreamRefill(UINT timer, UINT msg, DWORD_PTR slot, DWORD_PTR, DWORD_PTR);
int32_t QvsStreamRender(void* dst, int32_t* count, const WAVEFORMATEX* pcm, QvSoundSlot* slot);
