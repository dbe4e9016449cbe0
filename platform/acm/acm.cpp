#include "platform/acm/acm.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "platform/acm/codec.h"

struct HACMSTREAM__ {
  std::unique_ptr<acm::Decoder> decoder;
  WAVEFORMATEX src{}, dst{};
  int prepared = 0;  // headers prepared and not yet unprepared
  std::vector<int16_t> decoded;
  std::vector<uint8_t> pending;  // converted bytes that did not fit the last destination
  size_t pending_at = 0;
};

namespace {

std::mutex g_mutex;
std::set<HACMSTREAM> g_streams;

bool Live(HACMSTREAM s) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return s && g_streams.count(s);
}

const char* TagName(WORD tag) {
  switch (tag) {
    case WAVE_FORMAT_PCM: return "PCM";
    case WAVE_FORMAT_ADPCM: return "MS ADPCM";
    case WAVE_FORMAT_ALAW: return "A-Law";
    case WAVE_FORMAT_MULAW: return "u-Law";
    case WAVE_FORMAT_IMA_ADPCM: return "IMA ADPCM";
    case WAVE_FORMAT_MPEGLAYER3: return "MPEG Layer-3";
  }
  return "";
}

// A PCM destination we can produce from `src`: same rate and channels, 8 or 16 bits.
bool Producible(const WAVEFORMATEX& src, const WAVEFORMATEX& dst) {
  return dst.wFormatTag == WAVE_FORMAT_PCM && dst.nChannels == src.nChannels &&
         dst.nSamplesPerSec == src.nSamplesPerSec && (dst.wBitsPerSample == 8 || dst.wBitsPerSample == 16) &&
         dst.nBlockAlign == dst.nChannels * dst.wBitsPerSample / 8;
}

}  // namespace

MMRESULT acmFormatTagDetailsA(HACMDRIVER driver, ACMFORMATTAGDETAILSA* details, DWORD flags) {
  if (driver) return MMSYSERR_INVALHANDLE;
  if (!details || details->cbStruct < sizeof(ACMFORMATTAGDETAILSA)) return MMSYSERR_INVALPARAM;
  if (flags != ACM_FORMATTAGDETAILSF_FORMATTAG) return MMSYSERR_NOTSUPPORTED;
  WORD tag = static_cast<WORD>(details->dwFormatTag);
  DWORD size = details->dwFormatTag > 0xFFFF ? 0 : acm::FormatSize(tag);
  if (!size) return ACMERR_NOTPOSSIBLE;
  details->dwFormatTagIndex = 0;
  details->cbFormatSize = size;
  details->fdwSupport = tag == WAVE_FORMAT_PCM ? 0x2 : 0x1;  // converter / codec
  details->cStandardFormats = 0;
  std::snprintf(details->szFormatTag, sizeof details->szFormatTag, "%s", TagName(tag));
  return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(HACMDRIVER driver, const WAVEFORMATEX* src, WAVEFORMATEX* dst, DWORD dst_size,
                          DWORD flags) {
  if (driver) return MMSYSERR_INVALHANDLE;
  if (!src || !dst || dst_size < sizeof(PCMWAVEFORMAT)) return MMSYSERR_INVALPARAM;
  constexpr DWORD kKnown = ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                           ACM_FORMATSUGGESTF_NSAMPLESPERSEC | ACM_FORMATSUGGESTF_WBITSPERSAMPLE;
  if (flags & ~kKnown) return MMSYSERR_INVALFLAG;
  if (!acm::MakeDecoder(src)) return ACMERR_NOTPOSSIBLE;
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = src->nChannels;
  f.nSamplesPerSec = src->nSamplesPerSec;
  f.wBitsPerSample = src->wFormatTag == WAVE_FORMAT_PCM ? src->wBitsPerSample : 16;
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_NCHANNELS) && dst->nChannels != f.nChannels) return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && dst->nSamplesPerSec != f.nSamplesPerSec)
    return ACMERR_NOTPOSSIBLE;
  if (flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) {
    if (dst->wBitsPerSample != 8 && dst->wBitsPerSample != 16) return ACMERR_NOTPOSSIBLE;
    f.wBitsPerSample = dst->wBitsPerSample;
  }
  f.nBlockAlign = static_cast<WORD>(f.nChannels * f.wBitsPerSample / 8);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  // A PCM record is 16 bytes; the extra-size field only when the caller has room.
  std::memcpy(dst, &f, std::min<DWORD>(dst_size, sizeof(WAVEFORMATEX)));
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(LPHACMSTREAM stream, HACMDRIVER driver, const WAVEFORMATEX* src, const WAVEFORMATEX* dst,
                       WAVEFILTER* filter, DWORD_PTR, DWORD_PTR, DWORD flags) {
  if (stream) *stream = nullptr;
  if (driver) return MMSYSERR_INVALHANDLE;
  if (!src || !dst) return MMSYSERR_INVALPARAM;
  if (filter || (flags & ACM_STREAMOPENF_ASYNC)) return MMSYSERR_NOTSUPPORTED;
  if (!(flags & ACM_STREAMOPENF_QUERY) && !stream) return MMSYSERR_INVALPARAM;
  WAVEFORMATEX d{};
  std::memcpy(&d, dst, sizeof(PCMWAVEFORMAT));  // a PCM destination may come without its extra-size field
  if (!Producible(*src, d)) return ACMERR_NOTPOSSIBLE;
  auto decoder = acm::MakeDecoder(src);
  if (!decoder) return ACMERR_NOTPOSSIBLE;
  if (flags & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
  auto* s = new HACMSTREAM__;
  s->decoder = std::move(decoder);
  std::memcpy(&s->src, src, sizeof(WAVEFORMATEX));
  s->dst = d;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_streams.insert(s);
  *stream = s;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, DWORD flags) {
  if (!Live(stream)) return MMSYSERR_INVALHANDLE;
  if (flags) return MMSYSERR_INVALFLAG;
  if (stream->prepared) return ACMERR_BUSY;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_streams.erase(stream);
  }
  delete stream;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, DWORD input, DWORD* output, DWORD flags) {
  if (!Live(stream)) return MMSYSERR_INVALHANDLE;
  if (!output) return MMSYSERR_INVALPARAM;
  *output = 0;
  const acm::Decoder& d = *stream->decoder;
  uint64_t dst_align = stream->dst.nBlockAlign;
  uint64_t out;
  if (flags == ACM_STREAMSIZEF_SOURCE) {
    if (d.Variable()) {
      // Estimated from the rates, rounded up to whole frames of output.
      if (!stream->src.nAvgBytesPerSec) return ACMERR_NOTPOSSIBLE;
      uint64_t frame = d.BlockFrames() * dst_align;
      uint64_t bytes = (static_cast<uint64_t>(input) * stream->dst.nAvgBytesPerSec + stream->src.nAvgBytesPerSec - 1) /
                       stream->src.nAvgBytesPerSec;
      out = input ? (bytes + frame - 1) / frame * frame : 0;
    } else {
      out = input / d.BlockBytes() * d.BlockFrames() * dst_align;
    }
  } else if (flags == ACM_STREAMSIZEF_DESTINATION) {
    if (d.Variable()) {
      if (!stream->dst.nAvgBytesPerSec) return ACMERR_NOTPOSSIBLE;
      out = static_cast<uint64_t>(input) * stream->src.nAvgBytesPerSec / stream->dst.nAvgBytesPerSec;
    } else {
      out = input / (d.BlockFrames() * dst_align) * d.BlockBytes();
    }
  } else {
    return MMSYSERR_INVALFLAG;
  }
  if (out == 0 || out > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
  *output = static_cast<DWORD>(out);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD flags) {
  if (!Live(stream)) return MMSYSERR_INVALHANDLE;
  if (flags) return MMSYSERR_INVALFLAG;
  if (!h || h->cbStruct < sizeof(ACMSTREAMHEADER) || (h->cbSrcLength && !h->pbSrc) || !h->pbDst ||
      !h->cbDstLength)
    return MMSYSERR_INVALPARAM;
  if (h->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) return MMSYSERR_NOERROR;
  // The lengths given at preparation are the most that later conversions may use.
  h->dwReservedDriver[0] = h->cbSrcLength;
  h->dwReservedDriver[1] = h->cbDstLength;
  h->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
  ++stream->prepared;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD flags) {
  if (!Live(stream)) return MMSYSERR_INVALHANDLE;
  if (flags) return MMSYSERR_INVALFLAG;
  if (!h || h->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  if (!(h->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  h->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  --stream->prepared;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* h, DWORD flags) {
  if (!Live(stream)) return MMSYSERR_INVALHANDLE;
  constexpr DWORD kKnown = ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;
  if (flags & ~kKnown) return MMSYSERR_INVALFLAG;
  if (!h || h->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
  if (!(h->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
  if (h->cbSrcLength > h->dwReservedDriver[0] || h->cbDstLength > h->dwReservedDriver[1])
    return MMSYSERR_INVALPARAM;
  HACMSTREAM__& s = *stream;
  h->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
  if (flags & ACM_STREAMCONVERTF_START) {
    s.decoder->Reset();
    s.pending.clear();
    s.pending_at = 0;
  }
  DWORD src_len = h->cbSrcLength;
  if (flags & ACM_STREAMCONVERTF_BLOCKALIGN && !s.decoder->Variable())
    src_len = static_cast<DWORD>(src_len / s.decoder->BlockBytes() * s.decoder->BlockBytes());
  // A decoder stopped by damage takes nothing more: no source used tells the caller so.
  if (s.decoder->Ended()) src_len = 0;
  s.decoded.clear();
  if (src_len) s.decoder->Decode(h->pbSrc, src_len, s.decoded);
  s.pending.erase(s.pending.begin(), s.pending.begin() + static_cast<ptrdiff_t>(s.pending_at));
  s.pending_at = 0;
  if (s.dst.wBitsPerSample == 8) {
    for (int16_t v : s.decoded) s.pending.push_back(static_cast<uint8_t>((v >> 8) + 128));
  } else {
    for (int16_t v : s.decoded) {
      s.pending.push_back(static_cast<uint8_t>(v & 0xFF));
      s.pending.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
  }
  size_t n = std::min<size_t>(s.pending.size() - s.pending_at, h->cbDstLength);
  n -= n % s.dst.nBlockAlign;
  if (n) std::memcpy(h->pbDst, s.pending.data() + s.pending_at, n);
  s.pending_at += n;
  h->cbSrcLengthUsed = src_len;
  h->cbDstLengthUsed = static_cast<DWORD>(n);
  h->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  return MMSYSERR_NOERROR;
}
