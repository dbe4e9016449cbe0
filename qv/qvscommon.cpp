#include "qv/qvscommon.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/ole32/com.h"
#include "platform/win32/debug.h"
#include "platform/win32/file.h"
#include "platform/win32/msgbox.h"
#include "qv/qvsapi.h"
#include "qv/qvxalloc.h"

namespace {

QvSoundState g_state;
QvxOle32Api g_ole32;
QvxWinmmApi g_winmm;
QvxAcmApi g_acm;

// Streamed slots are refilled on the timer thread while the caller's thread may
// play, pause, stop or close them: both sides hold this lock while they touch a
// stream, and a refill whose timer is no longer the slot's does nothing. Timers
// are killed only with the lock released, since the kill waits for a refill.
std::mutex g_stream_lock;

template <typename F>
bool Bind(HMODULE module, const char* name, F& fn) {
  FARPROC p = nullptr;
  if (!QvxGetProc(module, name, &p)) return false;
  fn = reinterpret_cast<F>(p);
  return true;
}

bool BindOle32() {
  if (g_ole32.refs > 0) return ++g_ole32.refs, true;
  QvxOle32Api t{};
  t.module = LoadLibraryA("ole32.dll");
  if (!t.module) return false;
  if (!Bind(t.module, "CoInitialize", t.CoInitialize) || !Bind(t.module, "CoUninitialize", t.CoUninitialize) ||
      !Bind(t.module, "CoCreateInstance", t.CoCreateInstance) || FAILED(t.CoInitialize(nullptr))) {
    FreeLibrary(t.module);
    return false;
  }
  t.refs = 1;
  g_ole32 = t;
  return true;
}

bool BindWinmm() {
  if (g_winmm.refs > 0) return ++g_winmm.refs, true;
  QvxWinmmApi t{};
  t.module = LoadLibraryA("winmm.dll");
  if (!t.module) return false;
  if (!Bind(t.module, "timeGetTime", t.timeGetTime) || !Bind(t.module, "timeBeginPeriod", t.timeBeginPeriod) ||
      !Bind(t.module, "timeEndPeriod", t.timeEndPeriod) || !Bind(t.module, "timeGetDevCaps", t.timeGetDevCaps) ||
      !Bind(t.module, "timeSetEvent", t.timeSetEvent) || !Bind(t.module, "timeKillEvent", t.timeKillEvent)) {
    FreeLibrary(t.module);
    return false;
  }
  // The refill timer runs at the finest resolution while the library is started.
  if (t.timeGetDevCaps(&t.caps, sizeof(TIMECAPS)) == TIMERR_NOERROR)
    t.period_raised = t.timeBeginPeriod(t.caps.wPeriodMin) == TIMERR_NOERROR;
  t.refs = 1;
  g_winmm = t;
  return true;
}

bool BindAcm() {
  if (g_acm.refs > 0) return ++g_acm.refs, true;
  QvxAcmApi t{};
  t.module = LoadLibraryA("msacm32.dll");
  if (!t.module) return false;
  if (!Bind(t.module, "acmFormatSuggest", t.acmFormatSuggest) ||
      !Bind(t.module, "acmFormatTagDetailsA", t.acmFormatTagDetailsA) ||
      !Bind(t.module, "acmStreamOpen", t.acmStreamOpen) || !Bind(t.module, "acmStreamClose", t.acmStreamClose) ||
      !Bind(t.module, "acmStreamConvert", t.acmStreamConvert) ||
      !Bind(t.module, "acmStreamPrepareHeader", t.acmStreamPrepareHeader) ||
      !Bind(t.module, "acmStreamUnprepareHeader", t.acmStreamUnprepareHeader) ||
      !Bind(t.module, "acmStreamSize", t.acmStreamSize)) {
    FreeLibrary(t.module);
    return false;
  }
  t.refs = 1;
  g_acm = t;
  return true;
}

void UnbindAcm() {
  if (g_acm.refs <= 0 || --g_acm.refs > 0) return;
  FreeLibrary(g_acm.module);
  g_acm = {};
}

void UnbindWinmm() {
  if (g_winmm.refs <= 0 || --g_winmm.refs > 0) return;
  if (g_winmm.period_raised) g_winmm.timeEndPeriod(g_winmm.caps.wPeriodMin);
  FreeLibrary(g_winmm.module);
  g_winmm = {};
}

void UnbindOle32() {
  if (g_ole32.refs <= 0 || --g_ole32.refs > 0) return;
  g_ole32.CoUninitialize();
  FreeLibrary(g_ole32.module);
  g_ole32 = {};
}

UINT SetTimer(QvSoundSlot* slot) {
  const QvxWinmmApi* mm = QvxWinmmTable();
  return mm ? mm->timeSetEvent(10, 0, QvsStreamRefill, reinterpret_cast<DWORD_PTR>(slot), TIME_PERIODIC) : 0;
}

void KillTimer(UINT timer) {
  const QvxWinmmApi* mm = QvxWinmmTable();
  if (timer && mm) mm->timeKillEvent(timer);
}

// Fills the half of the ring buffer that is not playing, once per half. Runs with g_stream_lock held.
void Refill(QvSoundSlot* slot) {
  WAVEFORMATEX pcm = slot->pcm;
  IDirectSoundBuffer* b = slot->buffer;
  b->Restore();
  DWORD play = 0;
  b->GetCurrentPosition(&play, nullptr);
  DWORD half = slot->buffer_bytes / 2;
  DWORD offset;
  if (play < half) {
    if (slot->second_half) return;
    offset = half;
    slot->second_half = 1;
  } else {
    if (!slot->second_half) return;
    offset = 0;
    slot->second_half = 0;
  }
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  if (b->Lock(offset, half, &p1, &n1, &p2, &n2, 0) != DS_OK) return;
  int32_t n;
  if (!slot->end_reached) {
    n = static_cast<int32_t>(n1);
    if (!slot->render(p1, &n, &pcm, slot)) slot->end_reached = 1;
  } else {
    // The last data went in last time: let the buffer run out once, then stop.
    n = 0;
    b->Play(0, 0, 0);
    slot->end_reached = 0;
    UINT timer = slot->timer;
    slot->timer = 0;
    KillTimer(timer);  // from inside its own callback: returns at once
  }
  if (n < 0 || static_cast<DWORD>(n) > n1) {
    OutputDebugStringA("QVSound Report - ストリームレンダリング関数の動作が不正です。\n");
    n = 0;
  }
  std::memset(static_cast<uint8_t*>(p1) + n, (pcm.wBitsPerSample & 15) * 16, n1 - static_cast<DWORD>(n));
  b->Unlock(p1, n1, p2, n2);
}

// Milliseconds to bytes at the buffer's current frequency; 0 when it has none.
double BytesPerMs(const QvSoundSlot* slot) {
  DWORD hz = 0;
  if (slot->buffer->GetFrequency(&hz) != DS_OK || hz == 0) return 0.0;
  return slot->wave.format.nBlockAlign / 1000.0 * hz;
}

int32_t ToInt(double v) { return v >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(v); }

}  // namespace

// --- Binding ---

bool QvxGetProc(HMODULE module, const char* name, FARPROC* out) {
  *out = GetProcAddress(module, name);
  return *out != nullptr;
}

bool QvxApiInitialize() { return BindOle32() && BindWinmm() && BindAcm(); }

void QvxApiTerminate() {
  UnbindAcm();
  UnbindWinmm();
  UnbindOle32();
  QvxDumpAlloc();
}

const QvxOle32Api* QvxOle32Table() { return g_ole32.refs > 0 ? &g_ole32 : nullptr; }
const QvxWinmmApi* QvxWinmmTable() { return g_winmm.refs > 0 ? &g_winmm : nullptr; }
const QvxAcmApi* QvxAcmTable() { return g_acm.refs > 0 ? &g_acm : nullptr; }

// --- DirectSound objects ---

IDirectSound* QvxCreateDirectSound(const GUID* device) {
  const QvxOle32Api* ole = QvxOle32Table();
  if (!ole) return nullptr;
  void* p = nullptr;
  if (FAILED(ole->CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, &p)) || !p)
    return nullptr;
  auto* ds = static_cast<IDirectSound*>(p);
  if (FAILED(ds->Initialize(device))) {
    ds->Release();
    return nullptr;
  }
  return ds;
}

IDirectSoundBuffer* QvxCreatePrimaryBuffer(IDirectSound* device, const WAVEFORMATEX* format) {
  if (!device) return nullptr;
  DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME, 0, 0, nullptr};
  IDirectSoundBuffer* b = nullptr;
  if (FAILED(device->CreateSoundBuffer(&desc, &b, nullptr)) || !b) return nullptr;
  if (FAILED(b->SetFormat(format))) {
    b->Release();
    return nullptr;
  }
  return b;
}

IDirectSoundBuffer* QvxCreateSecondaryBuffer(IDirectSound* device, const WAVEFORMATEX* format, uint32_t bytes,
                                             int32_t global_focus) {
  if (!device || !format || !bytes) return nullptr;
  DWORD flags = DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                DSBCAPS_GETCURRENTPOSITION2;
  if (global_focus) flags |= DSBCAPS_GLOBALFOCUS;
  WAVEFORMATEX f = *format;
  DSBUFFERDESC desc{sizeof(DSBUFFERDESC), flags, bytes, 0, &f};
  IDirectSoundBuffer* b = nullptr;
  if (FAILED(device->CreateSoundBuffer(&desc, &b, nullptr))) return nullptr;
  return b;
}

// --- State ---

QvSoundState* QvsGetState() { return &g_state; }

int32_t QvsInitialize(HWND window, int32_t rate, int32_t bits, int32_t channels, int32_t slots) {
  QvsTerminate();
  g_state.window = window;
  if (!QvxApiInitialize()) return QvsError("QVXAPI Initialize Failed");
  g_state.device = QvxCreateDirectSound(nullptr);
  if (!g_state.device) return QvsError("CreateDirectSound Failed");
  if (g_state.device->SetCooperativeLevel(window, DSSCL_PRIORITY) != DS_OK)
    return QvsError("Set CooperativeLevel Failed");
  WAVEFORMATEX& f = g_state.format;
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<WORD>(channels);
  f.nSamplesPerSec = static_cast<DWORD>(rate);
  f.wBitsPerSample = static_cast<WORD>(bits);
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  f.cbSize = 0;
  g_state.rate = rate;
  g_state.bits = bits;
  g_state.channels = channels;
  g_state.primary = QvxCreatePrimaryBuffer(g_state.device, &f);
  if (!g_state.primary) return QvsError("Create PrimaryBuffer Failed");
  g_state.slots = static_cast<QvSoundSlot*>(QVX_CALLOC(static_cast<uint32_t>(slots), sizeof(QvSoundSlot)));
  if (!g_state.slots) return QvsError("Get StreamArrayMemory Failed");
  g_state.slot_count = static_cast<uint32_t>(slots);
  return 1;
}

int32_t QvsError(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  QvsTerminate();
  MessageBoxA(nullptr, text, "QVSound Error", MB_OK);
  return 0;
}

void QvsTerminate() {
  g_state.window = nullptr;
  QvxSoundUnloadAll();
  QVX_FREE(g_state.slots);
  g_state.slots = nullptr;
  g_state.slot_count = 0;
  if (g_state.primary) g_state.primary->Release();
  g_state.primary = nullptr;
  if (g_state.device) g_state.device->Release();
  g_state.device = nullptr;
  g_state = {};
  QvxApiTerminate();
}

// --- Static slots ---

int32_t QvsStaticLoad(QvSoundSlot* slot, const char* name) {
  QvWaveBlock* w = FindResourceA(nullptr, name, "WAVE") ? QvxWaveFromResource(nullptr, name) : QvxWaveFromFile(name);
  if (!w) return 0;
  IDirectSoundBuffer* b = QvxCreateSecondaryBuffer(g_state.device, &w->info.format, w->info.size, g_state.global_focus);
  if (b) {
    QvsStaticFill(b, w->data, w->info.size);
    slot->buffer = b;
    slot->wave = w->info;
    slot->type = QVS_STATIC;
  } else {
    std::memset(slot, 0, sizeof *slot);
  }
  QvxWaveFree(w);
  // A sound that got no buffer cannot play: the slot is free, and the load failed.
  return b ? 1 : 0;
}

void QvsStaticUnload(QvSoundSlot* slot) {
  if (slot->buffer) {
    slot->buffer->Stop();
    slot->buffer->Release();
  }
  std::memset(slot, 0, sizeof *slot);
}

int32_t QvsStaticPlay(QvSoundSlot* slot, int32_t loop) {
  slot->buffer->Play(0, 0, loop ? DSBPLAY_LOOPING : 0);
  return 1;
}

int32_t QvsStaticPause(QvSoundSlot* slot) {
  slot->buffer->Stop();
  return 1;
}

int32_t QvsStaticStop(QvSoundSlot* slot) {
  slot->buffer->Stop();
  slot->buffer->SetCurrentPosition(0);
  return 1;
}

int32_t QvsStaticGetPosition(QvSoundSlot* slot, int32_t* ms) {
  DWORD play = 0;
  slot->buffer->GetCurrentPosition(&play, nullptr);
  double per_ms = BytesPerMs(slot);
  *ms = per_ms > 0 ? ToInt(play / per_ms) : 0;
  return 1;
}

int32_t QvsStaticSetPosition(QvSoundSlot* slot, int32_t ms) {
  double bytes = ms * BytesPerMs(slot);
  // A position that no buffer can hold is refused by the buffer; it must not wrap on the way.
  if (bytes >= 0 && bytes < 4294967296.0) slot->buffer->SetCurrentPosition(static_cast<DWORD>(bytes));
  return 1;
}

int32_t QvsStaticGetLength(QvSoundSlot* slot, int32_t* ms) {
  double per_ms = BytesPerMs(slot);
  *ms = per_ms > 0 ? ToInt(slot->wave.size / per_ms) : 0;
  return 1;
}

void QvsStaticFill(IDirectSoundBuffer* buffer, const void* data, uint32_t size) {
  buffer->Restore();
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  if (buffer->Lock(0, size, &p1, &n1, &p2, &n2, 0) != DS_OK) return;
  std::memcpy(p1, data, n1);
  if (p2) std::memcpy(p2, static_cast<const uint8_t*>(data) + n1, std::min<DWORD>(n2, size - n1));
  buffer->Unlock(p1, n1, p2, n2);
}

// --- Streamed slots ---

int32_t QvsStreamOpen(QvSoundSlot* slot, const char* name, int32_t ms) {
  if (ms < 50) return 0;
  std::lock_guard<std::mutex> lock(g_stream_lock);
  slot->decoder = QvxAcmOpen(name, ms, &slot->pcm);
  double bytes = 0;
  if (slot->decoder) {
    bytes = static_cast<double>(slot->pcm.nBlockAlign) * slot->pcm.nSamplesPerSec * 0.001 * ms;
    // Each half holds whole frames: the buffer keeps its cursor on frame
    // boundaries, so a half that split a frame would never be seen to begin.
    uint32_t pair = 2u * slot->pcm.nBlockAlign;
    if (bytes < 4294967296.0 && pair) slot->buffer_bytes = static_cast<uint32_t>(bytes) / pair * pair;
    slot->buffer = QvxCreateSecondaryBuffer(g_state.device, &slot->pcm, slot->buffer_bytes, g_state.global_focus);
  }
  if (!slot->buffer) {
    QvxAcmClose(slot->decoder);
    std::memset(slot, 0, sizeof *slot);
    return 0;
  }
  slot->render = QvsStreamRender;
  slot->type = QVS_STREAM;
  return 1;
}

void QvsStreamClose(QvSoundSlot* slot) {
  if (!slot->buffer) return;
  QvsStreamStop(slot);
  std::lock_guard<std::mutex> lock(g_stream_lock);
  slot->buffer->Release();
  QvxAcmClose(slot->decoder);
  std::memset(slot, 0, sizeof *slot);
}

int32_t QvsStreamPlay(QvSoundSlot* slot, int32_t loop) {
  std::lock_guard<std::mutex> lock(g_stream_lock);
  slot->loop = loop;
  if (slot->timer) return 1;  // playing: only the loop flag changes
  IDirectSoundBuffer* b = slot->buffer;
  b->Stop();
  // Only a pause keeps the place. The play cursor cannot tell: a pause after whole
  // laps of the buffer leaves it at 0, and a one-shot that has finished may still
  // be running out its buffer.
  if (!slot->paused) {
    // A fresh, stopped or finished stream: the data starts again, and the first
    // half is filled now so that sound starts at once.
    QvxAcmRewind(slot->decoder);
    slot->end_reached = 0;
    slot->second_half = 1;
    b->SetCurrentPosition(slot->buffer_bytes / 2);
    Refill(slot);
    b->SetCurrentPosition(0);
  }
  slot->paused = 0;
  slot->timer = SetTimer(slot);
  b->Play(0, 0, DSBPLAY_LOOPING);
  return 1;
}

int32_t QvsStreamPause(QvSoundSlot* slot) {
  UINT timer;
  {
    std::lock_guard<std::mutex> lock(g_stream_lock);
    slot->buffer->Stop();
    timer = slot->timer;
    slot->timer = 0;
    // A stream that has finished, or was never started, has no place to keep.
    if (timer) slot->paused = 1;
  }
  KillTimer(timer);  // waits for a refill that is running now
  return 1;
}

int32_t QvsStreamStop(QvSoundSlot* slot) {
  QvsStreamPause(slot);
  std::lock_guard<std::mutex> lock(g_stream_lock);
  QvxAcmRewind(slot->decoder);
  // Nothing of the earlier sound stays in the buffer: the next play starts clean.
  IDirectSoundBuffer* b = slot->buffer;
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  if (b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER) == DS_OK) {
    std::memset(p1, (slot->pcm.wBitsPerSample & 15) * 16, n1);
    b->Unlock(p1, n1, p2, n2);
  }
  b->SetCurrentPosition(0);
  slot->second_half = 0;
  slot->end_reached = 0;
  slot->paused = 0;
  return 1;
}

void QvsStreamRefill(UINT timer, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* slot = reinterpret_cast<QvSoundSlot*>(user);
  std::lock_guard<std::mutex> lock(g_stream_lock);
  // Paused, stopped or closed since this tick was due.
  if (slot->type != QVS_STREAM || slot->timer != timer) return;
  Refill(slot);
}

int32_t QvsStreamRender(void* dst, int32_t* count, const WAVEFORMATEX*, QvSoundSlot* slot) {
  int32_t want = *count;
  int32_t n = QvxAcmRead(slot->decoder, dst, want);
  int32_t go = 1;
  // Short before the end: the read stopped inside a run that decodes to nothing,
  // and the rest of this half stays silent while later refills go on through it.
  if (n < want && slot->decoder->ended) {
    if (slot->loop) {
      // One rewind per call: a sound shorter than the space leaves the rest to silence.
      QvxAcmRewind(slot->decoder);
      n += QvxAcmRead(slot->decoder, static_cast<uint8_t*>(dst) + n, want - n);
    } else {
      go = 0;
    }
  }
  *count = n;
  return go;
}
