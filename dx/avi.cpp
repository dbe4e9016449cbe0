#include "dx/avi.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "dx/display.h"
#include "dx/pump.h"
#include "dx/shell.h"
#include "dx/sound.h"
#include "dx/target.h"
#include "platform/gdi/gdi.h"
#include "platform/vfw/avifile.h"
#include "platform/winmm/time.h"

namespace {

bool g_first_open = true;
PAVISTREAM g_video = nullptr;
AVISTREAMINFOA g_info{};
int g_width = 0, g_height = 0;
LONG g_frame = 0;
LONG g_length = 0;
PGETFRAME g_getframe = nullptr;
IDirectSoundBuffer* g_audio = nullptr;
DWORD g_start = 0;
bool g_started = false;  // the start time is set (the clock may read 0)

// The first audio stream into a buffer of its own; null when anything fails.
IDirectSoundBuffer* LoadAudio(const char* name) {
  PAVISTREAM audio = nullptr;
  if (AVIStreamOpenFromFileA(&audio, name, streamtypeAUDIO, 0, OF_READ, nullptr) != AVIERR_OK) return nullptr;
  IDirectSoundBuffer* buffer = nullptr;
  WAVEFORMATEX format{};
  LONG format_size = sizeof(format);
  LONG bytes = 0;
  const LONG samples = AVIStreamLength(audio);
  if (AVIStreamReadFormat(audio, 0, &format, &format_size) == AVIERR_OK &&
      AVIStreamRead(audio, 0, samples, nullptr, 0, &bytes, nullptr) == AVIERR_OK && bytes > 0) {
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwBufferBytes = static_cast<DWORD>(bytes);
    desc.lpwfxFormat = &format;
    if (dxds->CreateSoundBuffer(&desc, &buffer, nullptr) != DS_OK) buffer = nullptr;
    if (buffer) {
      void *p1 = nullptr, *p2 = nullptr;
      DWORD n1 = 0, n2 = 0;
      if (buffer->Lock(0, static_cast<DWORD>(bytes), &p1, &n1, &p2, &n2, 0) == DS_OK) {
        AVIStreamRead(audio, 0, samples, p1, static_cast<LONG>(n1), nullptr, nullptr);
        buffer->Unlock(p1, n1, p2, n2);
      } else {
        buffer->Release();
        buffer = nullptr;
      }
    }
  }
  AVIStreamRelease(audio);
  return buffer;
}

}  // namespace

bool dxopenavi(const char* name) {
  if (g_first_open) {
    g_first_open = false;
    dxaddreleasehook(dxreleaseavi);
    AVIFileInit();
  }
  // Every time: a layer started again after a release has its sound again.
  dxinitsound();
  dxcloseavi();
  if (AVIStreamOpenFromFileA(&g_video, name, streamtypeVIDEO, 0, OF_READ, nullptr) != AVIERR_OK) {
    g_video = nullptr;
    return false;
  }
  AVIStreamInfoA(g_video, &g_info, sizeof(g_info));
  g_width = g_info.rcFrame.right - g_info.rcFrame.left;
  g_height = g_info.rcFrame.bottom - g_info.rcFrame.top;
  g_frame = 0;
  g_length = static_cast<LONG>(g_info.dwLength);
  g_getframe = AVIStreamGetFrameOpen(g_video, AVIGETFRAMEF_BESTDISPLAYFMT);
  if (!g_getframe) g_getframe = AVIStreamGetFrameOpen(g_video, nullptr);
  if (!g_getframe) {
    dxcloseavi();
    return false;
  }
  if (dxds) g_audio = LoadAudio(name);  // without it the video plays silent
  g_start = 0;
  g_started = false;
  return true;
}

bool dxdrawavi(int x, int y, int w, int h) {
  if (!g_getframe) return false;
  const DWORD now = timeGetTime();
  if (!g_started) {
    g_started = true;
    g_start = now;
    if (g_audio) g_audio->Play(0, 0, 0);
  }
  g_frame = static_cast<LONG>(static_cast<uint64_t>(now - g_start) * g_info.dwRate / g_info.dwScale / 1000 +
                              g_info.dwStart);
  const uint8_t* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(g_getframe, g_frame));
  if (!dib) {
    dxcloseavi();
    return false;
  }
  BITMAPINFOHEADER head;
  std::memcpy(&head, dib, sizeof(head));
  size_t table = 0;
  switch (head.biBitCount) {
    case 1:
    case 2:
    case 4:
    case 8: table = size_t{4} << head.biBitCount; break;
    case 16:
    case 24:
    case 32: table = head.biCompression == BI_BITFIELDS ? 12 : 0; break;
    default: return false;
  }
  const void* pixels = dib + sizeof(BITMAPINFOHEADER) + table;
  if (w == 0) w = g_width;
  if (h == 0) h = g_height;
  // Centred in 64 bits: a side of INT_MIN takes the difference past the int range.
  if (x == 0x7FFFFFFF) x = static_cast<int>((int64_t{dxscreenwidth} - w) / 2);
  if (y == 0x7FFFFFFF) y = static_cast<int>((int64_t{dxscreenheight} - h) / 2);
  HDC dc = dxgetdc();
  if (!dc) return false;
  int rows = StretchDIBits(dc, x, y, w, h, 0, 0, head.biWidth, std::abs(head.biHeight), pixels,
                           reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS, SRCCOPY);
  dxreleasedc(dc);
  return rows != GDI_ERROR;
}

void dxcloseavi() {
  if (g_audio) {
    g_audio->Stop();
    g_audio->Release();
    g_audio = nullptr;
  }
  if (g_getframe) AVIStreamGetFrameClose(g_getframe);
  g_getframe = nullptr;
  if (g_video) AVIStreamRelease(g_video);
  g_video = nullptr;
}

void dxreleaseavi() { dxcloseavi(); }

bool dxaviopen() { return g_getframe != nullptr; }

void dxplayavi(const char* name, int x, int y, int w, int h) {
  if (!dxopenavi(name)) return;
  while (dxdrawavi(x, y, w, h)) dxupdate();
  dxcloseavi();
}
