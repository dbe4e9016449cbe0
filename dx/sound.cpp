#include "dx/sound.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "dx/error.h"
#include "dx/package.h"
#include "dx/pump.h"
#include "dx/shell.h"
#include "platform/acm/acm.h"
#include "platform/win32/module.h"

IDirectSound* dxds = nullptr;
IDirectSoundBuffer* dxdsprimary = nullptr;

namespace {

constexpr const char* kLoadFailed = "サウンド \"%s\" のロードに失敗しました。";

// "dsound.dll", bound once; cleared when DirectSound cannot start on it.
HMODULE g_dsound_dll = nullptr;
HRESULT (*g_DirectSoundCreate)(const GUID*, IDirectSound**, IUnknown*) = nullptr;
bool g_dll_tried = false;

std::vector<dx::sound*> g_sounds;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void BindLibrary() {
  if (g_dll_tried) return;
  g_dll_tried = true;
  g_dsound_dll = LoadLibraryA("dsound.dll");
  if (g_dsound_dll)
    g_DirectSoundCreate = reinterpret_cast<decltype(g_DirectSoundCreate)>(
        GetProcAddress(g_dsound_dll, "DirectSoundCreate"));
  if (g_dsound_dll && !g_DirectSoundCreate) {
    FreeLibrary(g_dsound_dll);
    g_dsound_dll = nullptr;
  }
}

void DropLibrary() {
  if (g_dsound_dll) FreeLibrary(g_dsound_dll);
  g_dsound_dll = nullptr;
  g_DirectSoundCreate = nullptr;
}

// Copies the data into the whole buffer (each region held to the data's size).
bool Fill(IDirectSoundBuffer* b, const std::string& pcm) {
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  if (b->Lock(0, static_cast<DWORD>(pcm.size()), &p1, &n1, &p2, &n2, 0) != DS_OK) return false;
  size_t k1 = std::min<size_t>(n1, pcm.size());
  if (p1 && k1) std::memcpy(p1, pcm.data(), k1);
  size_t k2 = std::min<size_t>(n2, pcm.size() - k1);
  if (p2 && k2) std::memcpy(p2, pcm.data() + k1, k2);
  b->Unlock(p1, n1, p2, n2);
  return true;
}

bool Lost(IDirectSoundBuffer* b) {
  DWORD status = 0;
  return b && b->GetStatus(&status) == DS_OK && (status & DSBSTATUS_BUFFERLOST);
}

void ReleaseDuplicates(dx::sound* s) {
  for (IDirectSoundBuffer*& d : s->duplicates) {
    if (!d) continue;
    d->Stop();
    d->Release();
    d = nullptr;
  }
}

// Compressed data to 16-bit PCM of the same channels and rate through the audio
// compression manager; stops the program when the manager refuses it.
std::string ToPcm(const char* name, const std::string& format, const uint8_t* data, size_t size) {
  WAVEFORMATEX src_header;
  std::memcpy(&src_header, format.data(), 16);
  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.nChannels = src_header.nChannels;
  pcm.nSamplesPerSec = src_header.nSamplesPerSec;
  pcm.wBitsPerSample = 16;
  pcm.nBlockAlign = static_cast<WORD>(pcm.nChannels * 2);
  pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
  HACMSTREAM stream = nullptr;
  if (acmStreamOpen(&stream, nullptr, reinterpret_cast<const WAVEFORMATEX*>(format.data()), &pcm, nullptr, 0, 0,
                    ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
    dxerror(kLoadFailed, name);
  DWORD out_size = 0;
  if (acmStreamSize(stream, static_cast<DWORD>(size), &out_size, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR ||
      out_size == 0)
    out_size = 4096;
  std::vector<uint8_t> out(out_size);
  std::string result;
  size_t done = 0;
  while (done < size) {
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof(h);
    h.pbSrc = const_cast<uint8_t*>(data + done);
    h.cbSrcLength = static_cast<DWORD>(size - done);
    h.pbDst = out.data();
    h.cbDstLength = static_cast<DWORD>(out.size());
    if (acmStreamPrepareHeader(stream, &h, 0) != MMSYSERR_NOERROR ||
        acmStreamConvert(stream, &h, ACM_STREAMCONVERTF_BLOCKALIGN) != MMSYSERR_NOERROR) {
      acmStreamClose(stream, 0);
      dxerror(kLoadFailed, name);
    }
    acmStreamUnprepareHeader(stream, &h, 0);
    result.append(reinterpret_cast<const char*>(out.data()), std::min<size_t>(h.cbDstLengthUsed, out.size()));
    if (h.cbSrcLengthUsed == 0) break;
    done += std::min<size_t>(h.cbSrcLengthUsed, size - done);
  }
  acmStreamClose(stream, 0);
  return result;
}

// The sound of a WAVE image; null when it is not one or no buffer can hold it.
dx::sound* FromWave(const char* name, const uint8_t* p, size_t n) {
  if (n < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return nullptr;
  const size_t end = std::min<size_t>(n, static_cast<size_t>(Le32(p + 4)) + 8);
  const uint8_t* fmt = nullptr;
  size_t fmt_size = 0;
  const uint8_t* data = nullptr;
  size_t data_size = 0;
  for (size_t at = 12; at + 8 <= end;) {
    const size_t size = Le32(p + at + 4);
    const uint8_t* body = p + at + 8;
    const size_t room = end - (at + 8);
    if (std::memcmp(p + at, "fmt ", 4) == 0) {
      fmt = body;
      fmt_size = std::min(size, room);
    } else if (std::memcmp(p + at, "data", 4) == 0) {
      // A data chunk cut short by the end of the file keeps what is there.
      data = body;
      data_size = std::min(size, room);
    }
    if (size > room) break;
    at += 8 + size;
  }
  if (!fmt || !data || fmt_size < 16) return nullptr;

  std::string pcm(reinterpret_cast<const char*>(data), data_size);
  WAVEFORMATEX format{};
  std::memcpy(&format, fmt, 16);
  format.cbSize = 0;
  if (format.wFormatTag != WAVE_FORMAT_PCM) {
    // The codec gets its whole format record: ADPCM needs what follows the 16 bytes.
    std::string full(reinterpret_cast<const char*>(fmt), fmt_size);
    if (fmt_size < sizeof(WAVEFORMATEX)) full.resize(sizeof(WAVEFORMATEX), '\0');
    const size_t extra = Le16(reinterpret_cast<const uint8_t*>(full.data()) + 16);
    if (sizeof(WAVEFORMATEX) + extra > full.size()) {
      full.resize(sizeof(WAVEFORMATEX));
      full[16] = full[17] = 0;
    }
    pcm = ToPcm(name, full, data, data_size);
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * 2);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  }

  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_STICKYFOCUS;
  desc.dwBufferBytes = static_cast<DWORD>(pcm.size());
  desc.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  if (dxds->CreateSoundBuffer(&desc, &buffer, nullptr) != DS_OK || !buffer) return nullptr;
  if (!Fill(buffer, pcm)) {
    buffer->Release();
    return nullptr;
  }
  auto* s = new dx::sound;
  s->buffer = buffer;
  s->pcm = std::move(pcm);
  buffer->GetFrequency(&s->frequency);
  g_sounds.push_back(s);
  return s;
}

DWORD Rate(const dx::sound* s, DWORD percent) {
  return static_cast<DWORD>(static_cast<uint64_t>(s->frequency) * percent / 100);
}

}  // namespace

bool dxinitsound() {
  BindLibrary();
  if (!g_dsound_dll) return false;
  if (dxds) return true;
  if (g_DirectSoundCreate(nullptr, &dxds, nullptr) != DS_OK || !dxds) {
    dxds = nullptr;
    DropLibrary();
    return false;
  }
  if (dxds->SetCooperativeLevel(dxmainwindow, DSSCL_NORMAL) != DS_OK) {
    dxds->Release();
    dxds = nullptr;
    DropLibrary();
    return false;
  }
  dxaddreleasehook(dxreleasesound);
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
  if (dxds->CreateSoundBuffer(&desc, &dxdsprimary, nullptr) != DS_OK) dxdsprimary = nullptr;
  // The primary buffer keeps playing so that the mixer runs.
  if (dxdsprimary) dxdsprimary->Play(0, 0, DSBPLAY_LOOPING);
  dxwait(100);
  return true;
}

void dxreleasesound() {
  while (!g_sounds.empty()) dxdeletesound(g_sounds.front());
  if (dxdsprimary) {
    dxdsprimary->Stop();
    dxdsprimary->Release();
    dxdsprimary = nullptr;
  }
  if (dxds) {
    dxds->Release();
    dxds = nullptr;
  }
  // The library is bound again by the next start.
  DropLibrary();
  g_dll_tried = false;
}

dx::sound* dxloadwave(const char* name) {
  if (!dxinitsound() || !name) return nullptr;
  dx::file* f = dxfopenres(nullptr, name, "WAVE");
  if (!f) f = dxfopenres(nullptr, name, "WAV");
  if (!f) f = dxfopen(name);
  if (!f) dxerror(kLoadFailed, name);
  dx::sound* s = nullptr;
  try {
    s = FromWave(name, static_cast<const uint8_t*>(dxfdata(f)), dxfsize(f));
  } catch (...) {
    dxfclose(f);  // a refused conversion in the layer's exception mode
    throw;
  }
  dxfclose(f);
  return s;
}

void dxrestoresound(dx::sound* s) {
  if (!s) return;
  if (dxdsprimary) dxdsprimary->Restore();
  if (!Lost(s->buffer)) return;
  ReleaseDuplicates(s);
  if (s->buffer->Restore() == DS_OK) Fill(s->buffer, s->pcm);
}

void dxplaysound(dx::sound* s, LONG volume, LONG pan, DWORD percent) {
  if (!s) return;
  dxrestoresound(s);
  IDirectSoundBuffer* chosen = nullptr;
  for (IDirectSoundBuffer*& d : s->duplicates) {
    if (!d) continue;
    DWORD status = 0;
    d->GetStatus(&status);
    if (status == DSBSTATUS_BUFFERLOST) {
      d->Release();
      d = nullptr;
      continue;
    }
    if (status & DSBSTATUS_PLAYING) continue;
    chosen = d;
    break;
  }
  if (!chosen) {
    for (IDirectSoundBuffer*& d : s->duplicates) {
      if (d) continue;
      if (dxds && dxds->DuplicateSoundBuffer(s->buffer, &d) != DS_OK) d = nullptr;
      chosen = d;
      break;
    }
  }
  if (!chosen) return;  // all 16 are playing
  chosen->SetVolume(volume);
  chosen->SetPan(pan);
  chosen->SetFrequency(Rate(s, percent));
  chosen->SetCurrentPosition(0);
  chosen->Play(0, 0, 0);
}

void dxloopsound(dx::sound* s, LONG volume, LONG pan, DWORD percent) {
  if (!s) return;
  if (Lost(s->buffer)) dxrestoresound(s);
  s->buffer->SetFrequency(Rate(s, percent));
  s->buffer->SetVolume(volume);
  s->buffer->SetPan(pan);
  s->buffer->Play(0, 0, DSBPLAY_LOOPING);
}

void dxstopsound(dx::sound* s) {
  if (!s) return;
  s->buffer->Stop();
  s->buffer->SetCurrentPosition(0);
  ReleaseDuplicates(s);
}

void dxstopallsounds() {
  for (dx::sound* s : g_sounds) {
    ReleaseDuplicates(s);
    s->buffer->Stop();
  }
}

void dxdeletesound(dx::sound* s) {
  auto it = std::find(g_sounds.begin(), g_sounds.end(), s);
  if (it == g_sounds.end()) return;
  g_sounds.erase(it);
  dxstopsound(s);
  s->buffer->Stop();
  s->buffer->Release();
  delete s;
}

bool dxsoundplaying() {
  for (dx::sound* s : g_sounds) {
    DWORD status = 0;
    if (s->buffer->GetStatus(&status) == DS_OK && (status & DSBSTATUS_PLAYING)) return true;
    for (IDirectSoundBuffer* d : s->duplicates)
      if (d && d->GetStatus(&status) == DS_OK && (status & DSBSTATUS_PLAYING)) return true;
  }
  return false;
}
