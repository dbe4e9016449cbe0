// The AVI file library: streams of RIFF AVI files, read whole. Video frames are
// handed out as packed DIBs; only uncompressed frames (BI_RGB or BI_BITFIELDS
// DIBs of 1 to 32 bits) can be decoded, so a frame getter for any other codec is
// refused. Audio streams are read as the bytes of their chunks.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/win32/types.h"

struct AVISTREAM__;
using PAVISTREAM = AVISTREAM__*;
struct GETFRAME__;
using PGETFRAME = GETFRAME__*;

constexpr DWORD MakeFourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<uint8_t>(a)) | static_cast<DWORD>(static_cast<uint8_t>(b)) << 8 |
         static_cast<DWORD>(static_cast<uint8_t>(c)) << 16 | static_cast<DWORD>(static_cast<uint8_t>(d)) << 24;
}
constexpr DWORD streamtypeVIDEO = MakeFourCC('v', 'i', 'd', 's');
constexpr DWORD streamtypeAUDIO = MakeFourCC('a', 'u', 'd', 's');
constexpr UINT OF_READ = 0x0;
constexpr LONG AVISTREAMREAD_CONVENIENT = -1;
inline BITMAPINFOHEADER* const AVIGETFRAMEF_BESTDISPLAYFMT = reinterpret_cast<BITMAPINFOHEADER*>(1);

constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_BADFORMAT = static_cast<HRESULT>(0x80044066);
constexpr HRESULT AVIERR_FILEREAD = static_cast<HRESULT>(0x8004406D);
constexpr HRESULT AVIERR_FILEOPEN = static_cast<HRESULT>(0x8004406E);
constexpr HRESULT AVIERR_NODATA = static_cast<HRESULT>(0x80044070);
constexpr HRESULT AVIERR_BUFFERTOOSMALL = static_cast<HRESULT>(0x80044074);
constexpr HRESULT AVIERR_BADPARAM = static_cast<HRESULT>(0x80044076);

struct AVISTREAMINFOA {
  DWORD fccType;
  DWORD fccHandler;
  DWORD dwFlags;
  DWORD dwCaps;
  WORD wPriority;
  WORD wLanguage;
  DWORD dwScale;
  DWORD dwRate;  // dwRate / dwScale samples (frames) a second
  DWORD dwStart;
  DWORD dwLength;
  DWORD dwInitialFrames;
  DWORD dwSuggestedBufferSize;
  DWORD dwQuality;
  DWORD dwSampleSize;
  RECT rcFrame;
  DWORD dwEditCount;
  DWORD dwFormatChangeCount;
  char szName[64];
};
static_assert(sizeof(AVISTREAMINFOA) == 140);

void AVIFileInit();
void AVIFileExit();
// The `index`-th stream of that type in the file; AVIERR_FILEOPEN when it cannot
// be read, AVIERR_BADFORMAT for a file that is not AVI or a stream without a
// rate, AVIERR_NODATA when there is no such stream.
HRESULT AVIStreamOpenFromFileA(PAVISTREAM* out, const char* file, DWORD type, LONG index, UINT mode, void* handler);
ULONG AVIStreamAddRef(PAVISTREAM s);
ULONG AVIStreamRelease(PAVISTREAM s);
HRESULT AVIStreamInfoA(PAVISTREAM s, AVISTREAMINFOA* info, LONG size);
// Samples (frames of video, blocks of audio) in the stream.
LONG AVIStreamLength(PAVISTREAM s);
LONG AVIStreamStart(PAVISTREAM s);
// The stream's format record; without a buffer, its size in `*size`.
HRESULT AVIStreamReadFormat(PAVISTREAM s, LONG pos, void* format, LONG* size);
// Samples from `start` (AVISTREAMREAD_CONVENIENT: all that follow); without a
// buffer only the byte count.
HRESULT AVIStreamRead(PAVISTREAM s, LONG start, LONG samples, void* buffer, LONG size, LONG* bytes,
                      LONG* samples_read);
// Null for a stream that is not uncompressed video, or a format that cannot be given.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM s, BITMAPINFOHEADER* wanted);
// The frame at a stream position as a packed DIB (header, colour table or
// masks, pixels), valid until the next call; null past the ends or for a frame
// whose data is short.
void* AVIStreamGetFrame(PGETFRAME g, LONG pos);
HRESULT AVIStreamGetFrameClose(PGETFRAME g);

namespace platform {
int avi_stream_count();  // streams open, for tests
}  // namespace platform
