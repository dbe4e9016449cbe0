#include "qv/qvsapi.h"

#include "qv/qvscommon.h"

namespace {

// The slot, or null for a bad number.
QvSoundSlot* Slot(int32_t n) {
  QvSoundState* st = QvsGetState();
  if (!st->slots || static_cast<uint32_t>(n) >= st->slot_count) return nullptr;
  return &st->slots[n];
}

// The slot when it holds a buffer.
IDirectSoundBuffer* Buffer(int32_t n) {
  QvSoundSlot* s = Slot(n);
  return s && s->type != QVS_FREE ? s->buffer : nullptr;
}

void UnloadSlot(QvSoundSlot* s) {
  if (s->type == QVS_STATIC)
    QvsStaticUnload(s);
  else if (s->type == QVS_STREAM)
    QvsStreamClose(s);
}

}  // namespace

int32_t QvxSoundVersion() { return QVS_VERSION; }

int32_t QvxSoundInitialize(HWND window, int32_t rate, int32_t bits, int32_t channels, int32_t slots) {
  return QvsInitialize(window, rate, bits, channels, slots);
}

void QvxSoundTerminate() { QvsTerminate(); }

int32_t QvxSoundLoad(int32_t slot, const char* name, int32_t stream_ms) {
  QvSoundSlot* s = Slot(slot);
  if (!s || s->type != QVS_FREE || !name) return 0;
  return stream_ms == 0 ? QvsStaticLoad(s, name) : QvsStreamOpen(s, name, stream_ms);
}

void QvxSoundUnload(int32_t slot) {
  if (QvSoundSlot* s = Slot(slot)) UnloadSlot(s);
}

void QvxSoundUnloadAll() {
  QvSoundState* st = QvsGetState();
  for (uint32_t i = 0; st->slots && i < st->slot_count; ++i) UnloadSlot(&st->slots[i]);
}

int32_t QvxSoundPlay(int32_t slot, int32_t loop) {
  QvSoundSlot* s = Slot(slot);
  if (!s) return 0;
  if (s->type == QVS_STATIC) return QvsStaticPlay(s, loop);
  if (s->type == QVS_STREAM) return QvsStreamPlay(s, loop);
  return 0;
}

int32_t QvxSoundPause(int32_t slot) {
  QvSoundSlot* s = Slot(slot);
  if (!s) return 0;
  if (s->type == QVS_STATIC) return QvsStaticPause(s);
  if (s->type == QVS_STREAM) return QvsStreamPause(s);
  return 0;
}

int32_t QvxSoundStop(int32_t slot) {
  QvSoundSlot* s = Slot(slot);
  if (!s) return 0;
  if (s->type == QVS_STATIC) return QvsStaticStop(s);
  if (s->type == QVS_STREAM) return QvsStreamStop(s);
  return 0;
}

int32_t QvxSoundGetPan(int32_t slot) {
  IDirectSoundBuffer* b = Buffer(slot);
  LONG pan = 0;
  return b && b->GetPan(&pan) == DS_OK ? pan : QVS_NO_PAN;
}

int32_t QvxSoundSetPan(int32_t slot, int32_t pan) {
  IDirectSoundBuffer* b = Buffer(slot);
  if (!b) return 0;
  b->SetPan(pan);
  return 1;
}

int32_t QvxSoundGetFrequency(int32_t slot) {
  IDirectSoundBuffer* b = Buffer(slot);
  DWORD hz = 0;
  return b && b->GetFrequency(&hz) == DS_OK ? static_cast<int32_t>(hz) : 0;
}

int32_t QvxSoundSetFrequency(int32_t slot, int32_t hz) {
  IDirectSoundBuffer* b = Buffer(slot);
  if (!b) return 0;
  b->SetFrequency(static_cast<DWORD>(hz));
  return 1;
}

int32_t QvxSoundGetVolume(int32_t slot) {
  IDirectSoundBuffer* b = Buffer(slot);
  LONG volume = 0;
  return b && b->GetVolume(&volume) == DS_OK ? volume : 1;
}

int32_t QvxSoundSetVolume(int32_t slot, int32_t volume) {
  IDirectSoundBuffer* b = Buffer(slot);
  if (!b) return 0;
  b->SetVolume(volume);
  return 1;
}

int32_t QvxSoundGetMasterVolume() {
  IDirectSoundBuffer* p = QvsGetState()->primary;
  LONG volume = 0;
  return p && p->GetVolume(&volume) == DS_OK ? volume : 1;
}

int32_t QvxSoundSetMasterVolume(int32_t volume) {
  IDirectSoundBuffer* p = QvsGetState()->primary;
  if (!p) return 0;
  p->SetVolume(volume);
  return 1;
}

int32_t QvxSoundGetPosition(int32_t slot) {
  QvSoundSlot* s = Slot(slot);
  int32_t ms = 0;
  if (s && s->type == QVS_STATIC) QvsStaticGetPosition(s, &ms);
  return ms;
}

int32_t QvxSoundSetPosition(int32_t slot, int32_t ms) {
  QvSoundSlot* s = Slot(slot);
  return s && s->type == QVS_STATIC ? QvsStaticSetPosition(s, ms) : 0;
}

int32_t QvxSoundGetLength(int32_t slot) {
  QvSoundSlot* s = Slot(slot);
  int32_t ms = 0;
  if (s && s->type == QVS_STATIC) QvsStaticGetLength(s, &ms);
  return ms;
}

int32_t QvxSoundSetGlobalFocus(int32_t flag) {
  QvSoundState* st = QvsGetState();
  if (!st->device) return 0;
  // Buffers get the focus flag when they are made, so the ones there are go.
  QvxSoundUnloadAll();
  st->global_focus = flag;
  return 1;
}

void QvxSoundGetApi(QvxSoundApi* api) {
  if (!api) return;
  *api = {QvxSoundVersion,      QvxSoundInitialize,   QvxSoundTerminate,       QvxSoundLoad,
          QvxSoundUnload,       QvxSoundUnloadAll,    QvxSoundPlay,            QvxSoundPause,
          QvxSoundStop,         QvxSoundGetPan,       QvxSoundSetPan,          QvxSoundGetFrequency,
          QvxSoundSetFrequency, QvxSoundGetVolume,    QvxSoundSetVolume,       QvxSoundGetMasterVolume,
          QvxSoundSetMasterVolume, QvxSoundGetPosition, QvxSoundSetPosition,   QvxSoundGetLength,
          QvxSoundSetGlobalFocus};
}

int32_t QvxSoundStartDefault(HWND window) {
  if (!QvxSoundInitialize(window, 44100, 16, 2, 255)) return -1;
  QvxSoundSetGlobalFocus(1);
  return 0;
}
