// Decoding a WAVE file of any format, or an MPEG audio file, to PCM piece by
// piece through the audio compression manager, for streamed slots.
#pragma once

#include <cstdint>

#include "dx/package.h"
#include "platform/acm/acm.h"
#include "platform/winmm/mmtypes.h"

// One allocation: the record, then the source buffer, then the destination buffer.
struct QvAcmStream {
  PkgFile* file;
  HACMSTREAM stream;
  WAVEFORMATEX* src_format;
  WAVEFORMATEX* dst_format;
  ACMSTREAMHEADER header;
  uint32_t src_size;     // size of the source buffer
  uint32_t data_offset;  // of the first data byte in the file
  uint32_t data_size;
  uint32_t read;         // source bytes read so far
  uint32_t leftover;     // decoded bytes of the last conversion not yet delivered
  int32_t restart;       // the next conversion starts the data afresh
  int32_t ended;         // the data ran out or the codec stopped: nothing more until a rewind
};

WAVEFORMATEX* QvxAcmSuggestPcm(const WAVEFORMATEX* src, WORD tag, DWORD rate, WORD bits, WORD channels);
QvAcmStream* QvxAcmOpen(const char* name, int32_t ms, WAVEFORMATEX* pcm);
// Fewer bytes than asked at the end of the data (`ended` set), or when a run of
// source that decodes to nothing passes the most one call reads; the next call
// goes on from there.
int32_t QvxAcmRead(QvAcmStream* s, void* dst, int32_t count);
void QvxAcmRewind(QvAcmStream* s);
void QvxAcmClose(QvAcmStream* s);
