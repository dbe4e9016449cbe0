#include "qv/qvxacm.h"

#include <algorithm>
#include <cstring>

#include "qv/qvscommon.h"
#include "qv/qvxalloc.h"

namespace {
constexpr uint32_t kData = QvFourCC('d', 'a', 't', 'a');
// The most source bytes one read goes through without decoding anything. Reads
// run on the refill timer with the streams' lock held, so a long run of bytes
// that are not sound (a large tag, or damage the codec skips) is spread over
// several reads. Far more than a codec needs to find its next frame.
constexpr uint32_t kMaxQuietRead = 64 * 1024;
}

WAVEFORMATEX* QvxAcmSuggestPcm(const WAVEFORMATEX* src, WORD tag, DWORD rate, WORD bits, WORD channels) {
  const QvxAcmApi* acm = QvxAcmTable();
  if (!acm || !src) return nullptr;
  ACMFORMATTAGDETAILSA details{};
  details.cbStruct = sizeof details;
  details.dwFormatTag = tag;
  if (acm->acmFormatTagDetailsA(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG) != MMSYSERR_NOERROR)
    return nullptr;
  // The largest PCM record is 16 bytes, without the extra-size field that the
  // stream reads: always room for a whole WAVEFORMATEX.
  DWORD size = std::max<DWORD>(details.cbFormatSize, sizeof(WAVEFORMATEX));
  auto* dst = static_cast<WAVEFORMATEX*>(QVX_CALLOC(1, size));
  if (!dst) return nullptr;
  dst->wFormatTag = tag;
  dst->cbSize = 0;
  DWORD flags = ACM_FORMATSUGGESTF_WFORMATTAG;
  if (rate) dst->nSamplesPerSec = rate, flags |= ACM_FORMATSUGGESTF_NSAMPLESPERSEC;
  if (bits) dst->wBitsPerSample = bits, flags |= ACM_FORMATSUGGESTF_WBITSPERSAMPLE;
  if (channels) dst->nChannels = channels, flags |= ACM_FORMATSUGGESTF_NCHANNELS;
  if (acm->acmFormatSuggest(nullptr, src, dst, size, flags) != MMSYSERR_NOERROR) {
    QVX_FREE(dst);
    return nullptr;
  }
  return dst;
}

QvAcmStream* QvxAcmOpen(const char* name, int32_t ms, WAVEFORMATEX* pcm) {
  const QvxAcmApi* acm = QvxAcmTable();
  if (!acm || !name || ms <= 0) return nullptr;
  PkgFile* f = PkgFileOpen(name, "rb");
  if (!f) return nullptr;
  WAVEFORMATEX* src = nullptr;
  WAVEFORMATEX* dst = nullptr;
  HACMSTREAM h = nullptr;
  QvAcmStream* s = nullptr;
  uint32_t offset = 0, size = 0;
  DWORD dst_bytes = 0, src_bytes = 0;
  double want;

  QvMp3Info mp3;
  if (QvxMp3ReadHeader(f, &mp3)) {
    src = static_cast<WAVEFORMATEX*>(QVX_ALLOC(sizeof(MPEGLAYER3WAVEFORMAT)));
    if (!src) goto fail;
    std::memcpy(src, &mp3.format, sizeof(MPEGLAYER3WAVEFORMAT));
    offset = mp3.offset;
    size = mp3.length;
  } else {
    QvChunkHeader chunk;
    if (!QvxFindChunk(f, kData, &chunk)) goto fail;
    int32_t at = PkgFileTell(f);
    if (at < 0) goto fail;
    offset = static_cast<uint32_t>(at);
    size = chunk.size;
    src = QvxReadFmtChunk(f);
    if (!src) goto fail;
  }
  dst = QvxAcmSuggestPcm(src, WAVE_FORMAT_PCM, 0, 0, 0);
  if (!dst) goto fail;
  if (PkgFileSeek(f, static_cast<int32_t>(offset), 0) != 0) goto fail;
  if (acm->acmStreamOpen(&h, nullptr, src, dst, nullptr, 0, 0, 0) != MMSYSERR_NOERROR) goto fail;
  want = static_cast<double>(src->nAvgBytesPerSec) * ms * 0.001;
  if (want >= 4294967295.0) goto fail;
  if (acm->acmStreamSize(h, static_cast<DWORD>(want), &dst_bytes, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR ||
      !dst_bytes)
    goto fail;
  if (acm->acmStreamSize(h, dst_bytes, &src_bytes, ACM_STREAMSIZEF_DESTINATION) != MMSYSERR_NOERROR || !src_bytes)
    goto fail;
  s = static_cast<QvAcmStream*>(QVX_CALLOC(1, sizeof(QvAcmStream) + static_cast<size_t>(src_bytes) + dst_bytes));
  if (!s) goto fail;
  s->header.cbStruct = sizeof(ACMSTREAMHEADER);
  s->header.pbSrc = reinterpret_cast<BYTE*>(s + 1);
  s->header.cbSrcLength = src_bytes;
  s->header.pbDst = s->header.pbSrc + src_bytes;
  s->header.cbDstLength = dst_bytes;
  if (acm->acmStreamPrepareHeader(h, &s->header, 0) != MMSYSERR_NOERROR) goto fail;
  s->file = f;
  s->stream = h;
  s->src_format = src;
  s->dst_format = dst;
  s->src_size = src_bytes;
  s->data_offset = offset;
  s->data_size = size;
  s->read = 0;
  s->leftover = 0;
  s->restart = 0;
  s->ended = 0;
  std::memcpy(pcm, dst, sizeof(WAVEFORMATEX));
  return s;

fail:
  if (h) acm->acmStreamClose(h, 0);
  QVX_FREE(s);
  QVX_FREE(dst);
  QVX_FREE(src);
  PkgFileClose(f);
  return nullptr;
}

int32_t QvxAcmRead(QvAcmStream* s, void* dst, int32_t count) {
  const QvxAcmApi* acm = QvxAcmTable();
  if (!s || !acm || count < 0) return 0;
  auto* out = static_cast<uint8_t*>(dst);
  ACMSTREAMHEADER& h = s->header;
  uint32_t delivered = 0;
  uint32_t wanted = static_cast<uint32_t>(count);
  if (s->leftover) {
    uint32_t n = std::min(s->leftover, wanted);
    std::memcpy(out, h.pbDst + h.cbDstLengthUsed - s->leftover, n);
    s->leftover -= n;
    delivered = n;
    if (s->leftover || delivered == wanted) return static_cast<int32_t>(delivered);
  }
  uint32_t quiet = 0;  // source bytes read since the last output
  while (delivered < wanted && !s->ended) {
    uint32_t ask = std::min(s->src_size, s->data_size - s->read);
    int32_t got = ask ? PkgFileRead(s->file, h.pbSrc, static_cast<int32_t>(ask)) : 0;
    if (got < 0) got = 0;
    h.cbSrcLength = static_cast<DWORD>(got);
    s->read += static_cast<uint32_t>(got);
    // After a rewind the codec drops what it held from before.
    DWORD flags = s->restart ? ACM_STREAMCONVERTF_START : 0;
    s->restart = 0;
    MMRESULT r = acm->acmStreamConvert(s->stream, &h, flags);
    if (r != MMSYSERR_NOERROR) h.cbDstLengthUsed = 0;
    if (h.cbDstLengthUsed == 0) {
      // A variable-rate codec keeps a frame that these bytes only began for the
      // next conversion, so a conversion that gives nothing ends the data only
      // when there was nothing left to read, the codec failed, or it took none
      // of the bytes (it cannot go on).
      s->leftover = 0;
      if (r != MMSYSERR_NOERROR || got == 0 || h.cbSrcLengthUsed == 0) {
        s->ended = 1;
        break;
      }
      quiet += static_cast<uint32_t>(got);
      if (quiet >= kMaxQuietRead) break;
      continue;
    }
    quiet = 0;
    uint32_t n = std::min(wanted - delivered, static_cast<uint32_t>(h.cbDstLengthUsed));
    std::memcpy(out + delivered, h.pbDst, n);
    delivered += n;
    s->leftover = h.cbDstLengthUsed - n;
  }
  return static_cast<int32_t>(delivered);
}

void QvxAcmRewind(QvAcmStream* s) {
  const QvxAcmApi* acm = QvxAcmTable();
  if (!s || !acm) return;
  acm->acmStreamUnprepareHeader(s->stream, &s->header, 0);
  s->header.cbSrcLength = s->src_size;
  acm->acmStreamPrepareHeader(s->stream, &s->header, 0);
  PkgFileSeek(s->file, static_cast<int32_t>(s->data_offset), 0);
  s->read = 0;
  s->leftover = 0;
  s->restart = 1;
  s->ended = 0;
}

void QvxAcmClose(QvAcmStream* s) {
  if (!s) return;
  const QvxAcmApi* acm = QvxAcmTable();
  if (s->stream && acm) {
    acm->acmStreamUnprepareHeader(s->stream, &s->header, 0);
    acm->acmStreamClose(s->stream, 0);
  }
  PkgFileClose(s->file);
  QVX_FREE(s->src_format);
  QVX_FREE(s->dst_format);
  QVX_FREE(s);
}
