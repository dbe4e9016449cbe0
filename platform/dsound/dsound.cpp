#include "platform/dsound/dsound.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/host/host.h"

const GUID CLSID_DirectSound = {0x6a9d2f41, 0x3c0e, 0x4b7a, {0x9e, 0x51, 0x27, 0x0c, 0xd4, 0x88, 0x13, 0x5f}};
const GUID IID_IDirectSound = {0x6a9d2f42, 0x3c0e, 0x4b7a, {0x9e, 0x51, 0x27, 0x0c, 0xd4, 0x88, 0x13, 0x5f}};

namespace dsound {

constexpr int kOutRate = 44100;
constexpr int kOutChannels = 2;

struct Buffer {
  IDirectSoundBuffer iface{this};
  ULONG refs = 1;
  Device* device = nullptr;  // null once its device is gone
  bool primary = false;
  DWORD flags = 0;
  WAVEFORMATEX format{};
  std::shared_ptr<std::vector<uint8_t>> data;  // shared with duplicates
  DWORD bytes = 0, align = 1, frames = 0;
  DWORD frequency = 0;
  LONG volume = 0, pan = 0;
  bool playing = false, looping = false;
  DWORD pos = 0;   // play cursor in frames
  DWORD frac = 0;  // fraction of a frame, in 1/kOutRate
  // The outstanding lock: a private copy of the locked bytes.
  bool locked = false;
  DWORD lock_offset = 0, lock_bytes1 = 0, lock_bytes2 = 0;
  std::vector<uint8_t> staging;
};

struct Device {
  IDirectSound iface{this};
  ULONG refs = 1;
  bool initialized = false;
  DWORD level = 0;
  HWND window = nullptr;
  Buffer* primary = nullptr;  // not counted: it lives while anyone holds it
  std::vector<Buffer*> buffers;
};

namespace {

// Guards every device and buffer; the host's audio thread mixes under it.
std::mutex g_mutex;
// Secondary buffers of live devices. Never destroyed: the host's audio thread may
// still mix while the process runs its exit handlers.
std::vector<Buffer*>& g_mixing = *new std::vector<Buffer*>;
std::vector<std::pair<platform::MixSource, void*>> g_sources;
int g_open_devices = 0;         // initialized devices: the host's audio is open while > 0
int g_device_count = 0, g_buffer_count = 0;

double Gain(LONG hundredths_db) {
  if (hundredths_db <= DSBVOLUME_MIN) return 0.0;
  if (hundredths_db >= 0) return 1.0;
  return std::pow(10.0, hundredths_db / 2000.0);
}

// One frame of a buffer as left and right 16-bit values.
void Fetch(const Buffer& b, DWORD frame, double& l, double& r) {
  const uint8_t* p = b.data->data() + static_cast<size_t>(frame) * b.align;
  auto sample = [&](int ch) -> double {
    if (b.format.wBitsPerSample == 8) return (static_cast<int>(p[ch]) - 128) * 256.0;
    return static_cast<int16_t>(p[ch * 2] | (p[ch * 2 + 1] << 8));
  };
  l = sample(0);
  r = b.format.nChannels == 2 ? sample(1) : l;
}

void MixBuffer(Buffer& b, double* acc, int frames, bool focused) {
  double gain = Gain(b.volume);
  if (b.device && b.device->primary) gain *= Gain(b.device->primary->volume);
  if (!focused && !(b.flags & (DSBCAPS_GLOBALFOCUS | DSBCAPS_STICKYFOCUS))) gain = 0.0;  // muted, still running
  double gl = gain * (b.pan > 0 ? Gain(-b.pan) : 1.0);
  double gr = gain * (b.pan < 0 ? Gain(b.pan) : 1.0);
  for (int i = 0; i < frames && b.playing; ++i) {
    double l, r;
    Fetch(b, b.pos, l, r);
    if (b.frac) {
      DWORD next = b.pos + 1 < b.frames ? b.pos + 1 : (b.looping ? 0 : b.pos);
      double l2, r2;
      Fetch(b, next, l2, r2);
      double t = static_cast<double>(b.frac) / kOutRate;
      l += (l2 - l) * t;
      r += (r2 - r) * t;
    }
    acc[2 * i] += l * gl;
    acc[2 * i + 1] += r * gr;
    b.frac += b.frequency;
    b.pos += b.frac / kOutRate;
    b.frac %= kOutRate;
    if (b.pos >= b.frames) {
      if (b.looping) {
        b.pos %= b.frames;
      } else {
        // A one-shot buffer stops at its end and rewinds.
        b.playing = false;
        b.pos = 0;
        b.frac = 0;
      }
    }
  }
}

// On the host's audio thread: `user` is the host that opened the device. It
// lives while the device runs (closing waits for this call), which the current
// host need not (the process may already have let it go).
void Mix(void* user, int16_t* out, int frames) {
  bool focused = static_cast<host::Host*>(user)->focused();
  std::lock_guard<std::mutex> lock(g_mutex);
  constexpr int kChunk = 256;
  double acc[kChunk * kOutChannels];
  for (int done = 0; done < frames; done += kChunk) {
    int n = std::min(kChunk, frames - done);
    std::fill(acc, acc + n * kOutChannels, 0.0);
    for (Buffer* b : g_mixing)
      if (b->playing) MixBuffer(*b, acc, n, focused);
    for (auto& [fn, user] : g_sources) fn(user, acc, n);
    for (int i = 0; i < n * kOutChannels; ++i)
      out[done * kOutChannels + i] = static_cast<int16_t>(std::clamp(std::lrint(acc[i]), -32768L, 32767L));
  }
}

bool ValidPcm(const WAVEFORMATEX* f) {
  return f && f->wFormatTag == WAVE_FORMAT_PCM && (f->nChannels == 1 || f->nChannels == 2) &&
         (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) &&
         f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8 && f->nSamplesPerSec >= DSBFREQUENCY_MIN &&
         f->nSamplesPerSec <= DSBFREQUENCY_MAX;
}

void DestroyBuffer(Buffer* b) {
  // Under g_mutex.
  g_mixing.erase(std::remove(g_mixing.begin(), g_mixing.end(), b), g_mixing.end());
  if (b->device) {
    auto& list = b->device->buffers;
    list.erase(std::remove(list.begin(), list.end(), b), list.end());
    if (b->device->primary == b) b->device->primary = nullptr;
  }
  if (!b->primary) --g_buffer_count;
  delete b;
}

}  // namespace
}  // namespace dsound

using dsound::Buffer;
using dsound::Device;
using dsound::g_mutex;

// --- IDirectSoundBuffer ---

ULONG IDirectSoundBuffer::AddRef() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return ++b_->refs;
}

ULONG IDirectSoundBuffer::Release() {
  std::lock_guard<std::mutex> lock(g_mutex);
  ULONG left = --b_->refs;
  if (left == 0) dsound::DestroyBuffer(b_);
  return left;
}

HRESULT IDirectSoundBuffer::Play(DWORD, DWORD, DWORD flags) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  b_->playing = true;
  b_->looping = b_->primary || (flags & DSBPLAY_LOOPING) != 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Stop() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  b_->playing = false;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetStatus(DWORD* status) {
  if (!status) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(g_mutex);
  *status = 0;
  if (!b_->device) return DSERR_UNINITIALIZED;
  if (b_->playing) *status = DSBSTATUS_PLAYING | (b_->looping ? DSBSTATUS_LOOPING : 0);
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetCurrentPosition(DWORD* play, DWORD* write) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  // Nothing is mixed ahead of the play cursor, so writing may start right at it.
  DWORD p = b_->primary ? 0 : b_->pos * b_->align;
  if (play) *play = p;
  if (write) *write = p;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetCurrentPosition(DWORD position) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  if (b_->primary) return DSERR_INVALIDCALL;
  if (position >= b_->bytes) return DSERR_INVALIDPARAM;
  b_->pos = std::min(position / b_->align, b_->frames ? b_->frames - 1 : 0);
  b_->frac = 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Lock(DWORD offset, DWORD bytes, void** ptr1, DWORD* bytes1, void** ptr2,
                                 DWORD* bytes2, DWORD flags) {
  if (!ptr1 || !bytes1) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(g_mutex);
  *ptr1 = nullptr;
  *bytes1 = 0;
  if (ptr2) *ptr2 = nullptr;
  if (bytes2) *bytes2 = 0;
  Buffer& b = *b_;
  if (!b.device) return DSERR_UNINITIALIZED;
  if (b.primary) return DSERR_PRIOLEVELNEEDED;
  if (b.locked) return DSERR_INVALIDCALL;
  if (flags & DSBLOCK_FROMWRITECURSOR) offset = b.pos * b.align;
  if (flags & DSBLOCK_ENTIREBUFFER) {
    offset = 0;
    bytes = b.bytes;
  }
  if (offset >= b.bytes || bytes == 0 || bytes > b.bytes) return DSERR_INVALIDPARAM;
  DWORD first = std::min(bytes, b.bytes - offset);
  DWORD second = bytes - first;
  if (second && !ptr2) return DSERR_INVALIDPARAM;  // the range wraps but there is nowhere to put it
  b.staging.assign(b.data->begin() + offset, b.data->begin() + offset + first);
  b.staging.insert(b.staging.end(), b.data->begin(), b.data->begin() + second);
  b.locked = true;
  b.lock_offset = offset;
  b.lock_bytes1 = first;
  b.lock_bytes2 = second;
  *ptr1 = b.staging.data();
  *bytes1 = first;
  if (second) {
    *ptr2 = b.staging.data() + first;
    *bytes2 = second;
  }
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Unlock(void* ptr1, DWORD bytes1, void* ptr2, DWORD bytes2) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Buffer& b = *b_;
  if (!b.device) return DSERR_UNINITIALIZED;
  if (!b.locked || ptr1 != b.staging.data() || bytes1 > b.lock_bytes1 ||
      (bytes2 && (ptr2 != b.staging.data() + b.lock_bytes1 || bytes2 > b.lock_bytes2)))
    return DSERR_INVALIDPARAM;
  // Only the bytes the caller says it wrote go back.
  std::memcpy(b.data->data() + b.lock_offset, b.staging.data(), bytes1);
  if (bytes2) std::memcpy(b.data->data(), b.staging.data() + b.lock_bytes1, bytes2);
  b.locked = false;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Restore() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return b_->device ? DS_OK : DSERR_UNINITIALIZED;
}

HRESULT IDirectSoundBuffer::SetFormat(const WAVEFORMATEX* format) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Buffer& b = *b_;
  if (!b.device) return DSERR_UNINITIALIZED;
  if (!b.primary) return DSERR_INVALIDCALL;
  if (b.device->level < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
  if (!format) return DSERR_INVALIDPARAM;
  if (!dsound::ValidPcm(format)) return DSERR_BADFORMAT;
  // The host's device keeps its own format; the mixer converts every buffer to it.
  b.format = *format;
  b.format.cbSize = 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  DWORD n = std::min<DWORD>(size, sizeof(WAVEFORMATEX));
  if (format) std::memcpy(format, &b_->format, n);
  if (written) *written = format ? n : sizeof(WAVEFORMATEX);
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetVolume(LONG volume) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  if (!(b_->flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  b_->volume = volume;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetVolume(LONG* volume) {
  if (!volume) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  if (!(b_->flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  *volume = b_->volume;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetPan(LONG pan) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  if (!(b_->flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
  b_->pan = pan;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetPan(LONG* pan) {
  if (!pan) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  if (!(b_->flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  *pan = b_->pan;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetFrequency(DWORD hz) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  if (b_->primary || !(b_->flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  if (hz == DSBFREQUENCY_ORIGINAL) hz = b_->format.nSamplesPerSec;
  if (hz < DSBFREQUENCY_MIN || hz > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
  b_->frequency = hz;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetFrequency(DWORD* hz) {
  if (!hz) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!b_->device) return DSERR_UNINITIALIZED;
  if (b_->primary || !(b_->flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  *hz = b_->frequency;
  return DS_OK;
}

// --- IDirectSound ---

ULONG IDirectSound::AddRef() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return ++d_->refs;
}

ULONG IDirectSound::Release() {
  bool close = false;
  ULONG left;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    left = --d_->refs;
    if (left) return left;
    // Buffers still held by someone go silent and refuse every call but Release.
    for (Buffer* b : d_->buffers) {
      b->device = nullptr;
      b->playing = false;
      dsound::g_mixing.erase(std::remove(dsound::g_mixing.begin(), dsound::g_mixing.end(), b),
                             dsound::g_mixing.end());
    }
    if (d_->initialized) close = --dsound::g_open_devices == 0;
    --dsound::g_device_count;
    delete d_;
  }
  // Outside the lock: closing waits for a mix in progress, which takes the lock.
  if (close) host::get().close_audio();
  return 0;
}

HRESULT IDirectSound::Initialize(const GUID* device) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (d_->initialized) return DSERR_ALREADYINITIALIZED;
    if (device) return DSERR_NODRIVER;
  }
  // The first device opens the host's audio; later ones share it.
  bool first;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    first = dsound::g_open_devices == 0;
  }
  host::Host& h = host::get();
  if (first && !h.open_audio(dsound::kOutRate, dsound::kOutChannels, dsound::Mix, &h)) return DSERR_NODRIVER;
  std::lock_guard<std::mutex> lock(g_mutex);
  ++dsound::g_open_devices;
  d_->initialized = true;
  return DS_OK;
}

HRESULT IDirectSound::SetCooperativeLevel(HWND window, DWORD level) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!d_->initialized) return DSERR_UNINITIALIZED;
  if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
  d_->window = window;
  d_->level = level;
  return DS_OK;
}

HRESULT IDirectSound::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out, IUnknown* outer) {
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (outer) return DSERR_NOAGGREGATION;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!d_->initialized) return DSERR_UNINITIALIZED;
  if (!desc || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
  if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
    if (desc->dwBufferBytes || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
    if (d_->level == 0) return DSERR_PRIOLEVELNEEDED;
    if (d_->primary) {
      ++d_->primary->refs;
      *out = &d_->primary->iface;
      return DS_OK;
    }
    auto* b = new Buffer;
    b->device = d_;
    b->primary = true;
    b->flags = desc->dwFlags;
    b->format = {WAVE_FORMAT_PCM, 2, 22050, 22050 * 4, 4, 16, 0};  // until SetFormat
    d_->primary = b;
    d_->buffers.push_back(b);
    *out = &b->iface;
    return DS_OK;
  }
  if (!dsound::ValidPcm(desc->lpwfxFormat)) return DSERR_BADFORMAT;
  if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
  auto* b = new Buffer;
  b->device = d_;
  b->flags = desc->dwFlags;
  b->format = *desc->lpwfxFormat;
  b->format.cbSize = 0;
  b->align = b->format.nBlockAlign;
  b->bytes = desc->dwBufferBytes;
  b->frames = b->bytes / b->align;
  // A new buffer holds silence in its own format.
  b->data = std::make_shared<std::vector<uint8_t>>(b->bytes, b->format.wBitsPerSample == 8 ? 0x80 : 0);
  b->frequency = b->format.nSamplesPerSec;
  if (b->frames == 0) {
    delete b;
    return DSERR_INVALIDPARAM;
  }
  d_->buffers.push_back(b);
  dsound::g_mixing.push_back(b);
  ++dsound::g_buffer_count;
  *out = &b->iface;
  return DS_OK;
}

HRESULT IDirectSound::DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** out) {
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (!original) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!d_->initialized) return DSERR_UNINITIALIZED;
  const Buffer& o = *original->b_;
  if (o.primary || o.device != d_) return DSERR_INVALIDCALL;
  auto* b = new Buffer;
  b->device = d_;
  b->flags = o.flags;
  b->format = o.format;
  b->align = o.align;
  b->bytes = o.bytes;
  b->frames = o.frames;
  b->data = o.data;
  b->frequency = o.frequency;
  b->volume = o.volume;
  b->pan = o.pan;
  d_->buffers.push_back(b);
  dsound::g_mixing.push_back(b);
  ++dsound::g_buffer_count;
  *out = &b->iface;
  return DS_OK;
}

IDirectSound* DirectSoundNew() {
  std::lock_guard<std::mutex> lock(g_mutex);
  ++dsound::g_device_count;
  return &(new Device)->iface;
}

HRESULT DirectSoundCreate(const GUID* device, IDirectSound** out, IUnknown* outer) {
  if (!out) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (outer) return DSERR_NOAGGREGATION;
  IDirectSound* ds = DirectSoundNew();
  HRESULT hr = ds->Initialize(device);
  if (FAILED(hr)) {
    ds->Release();
    return hr;
  }
  *out = ds;
  return DS_OK;
}

namespace platform {
void dsound_add_source(MixSource fn, void* user) {
  std::lock_guard<std::mutex> lock(g_mutex);
  dsound::g_sources.emplace_back(fn, user);
}
void dsound_remove_source(MixSource fn, void* user) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto& v = dsound::g_sources;
  v.erase(std::remove(v.begin(), v.end(), std::make_pair(fn, user)), v.end());
}
int dsound_device_count() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return dsound::g_device_count;
}
int dsound_buffer_count() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return dsound::g_buffer_count;
}
}  // namespace platform
