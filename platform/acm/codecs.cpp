#include <algorithm>

#include "platform/acm/codec.h"
#include "platform/acm/ima.h"

namespace acm {

namespace {

constexpr DWORD kMaxRate = 192000;

int16_t Read16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

class PcmDecoder : public Decoder {
 public:
  explicit PcmDecoder(const WAVEFORMATEX& f) : bits_(f.wBitsPerSample), align_(f.nBlockAlign) {}
  void Decode(const uint8_t* src, size_t n, std::vector<int16_t>& out) override {
    size_t samples = n / align_ * align_ / (bits_ / 8);
    for (size_t i = 0; i < samples; ++i)
      out.push_back(bits_ == 8 ? static_cast<int16_t>((src[i] - 128) * 256) : Read16(src + 2 * i));
  }
  size_t BlockBytes() const override { return align_; }
  size_t BlockFrames() const override { return 1; }

 private:
  int bits_;
  size_t align_;
};

class LawDecoder : public Decoder {
 public:
  LawDecoder(const WAVEFORMATEX& f, bool alaw) : align_(f.nBlockAlign), alaw_(alaw) {}
  void Decode(const uint8_t* src, size_t n, std::vector<int16_t>& out) override {
    n = n / align_ * align_;
    for (size_t i = 0; i < n; ++i) out.push_back(alaw_ ? AlawToLinear(src[i]) : MulawToLinear(src[i]));
  }
  size_t BlockBytes() const override { return align_; }
  size_t BlockFrames() const override { return 1; }

 private:
  size_t align_;
  bool alaw_;
};

// Block decoders: whole blocks, then what a cut block holds.
class BlockDecoder : public Decoder {
 public:
  BlockDecoder(size_t block, size_t frames, int channels) : block_(block), frames_(frames), ch_(channels) {}
  void Decode(const uint8_t* src, size_t n, std::vector<int16_t>& out) override {
    for (size_t off = 0; off < n; off += block_) DecodeBlock(src + off, std::min(block_, n - off), out);
  }
  size_t BlockBytes() const override { return block_; }
  size_t BlockFrames() const override { return frames_; }

 protected:
  virtual void DecodeBlock(const uint8_t* p, size_t n, std::vector<int16_t>& out) = 0;
  size_t block_, frames_;
  int ch_;
};

constexpr int kMaxMsDelta = INT32_MAX / 768;
constexpr int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

class MsAdpcmDecoder : public BlockDecoder {
 public:
  MsAdpcmDecoder(const ADPCMWAVEFORMAT& f, size_t frames)
      : BlockDecoder(f.wfx.nBlockAlign, frames, f.wfx.nChannels), coefs_(f.aCoef, f.aCoef + f.wNumCoef) {}

 protected:
  void DecodeBlock(const uint8_t* p, size_t n, std::vector<int16_t>& out) override {
    size_t head = 7 * ch_;
    if (n < head) return;
    int c1[2], c2[2], delta[2], s1[2], s2[2];
    for (int c = 0; c < ch_; ++c) {
      // A predictor beyond the table is damaged data: decode it with the first pair.
      size_t pred = p[c] < coefs_.size() ? p[c] : 0;
      c1[c] = coefs_[pred].iCoef1;
      c2[c] = coefs_[pred].iCoef2;
      delta[c] = Read16(p + ch_ + 2 * c);
      s1[c] = Read16(p + 3 * ch_ + 2 * c);
      s2[c] = Read16(p + 5 * ch_ + 2 * c);
    }
    for (int c = 0; c < ch_; ++c) out.push_back(static_cast<int16_t>(s2[c]));
    if (frames_ < 2) return;
    for (int c = 0; c < ch_; ++c) out.push_back(static_cast<int16_t>(s1[c]));
    // Nibbles follow, high nibble first, channels alternating.
    size_t nibbles = std::min((frames_ - 2) * ch_, (n - head) * 2);
    nibbles -= nibbles % ch_;
    for (size_t i = 0; i < nibbles; ++i) {
      int c = static_cast<int>(i % ch_);
      uint8_t byte = p[head + i / 2];
      int nib = (i & 1) ? (byte & 0x0F) : (byte >> 4);
      int signed_nib = nib >= 8 ? nib - 16 : nib;
      int64_t predicted = (int64_t{s1[c]} * c1[c] + int64_t{s2[c]} * c2[c]) / 256;
      int s = static_cast<int>(std::clamp<int64_t>(predicted + int64_t{signed_nib} * delta[c], -32768, 32767));
      s2[c] = s1[c];
      s1[c] = s;
      // Damaged data can grow the step without end: it stops where the next growth would overflow.
      delta[c] = std::clamp(kMsAdaptation[nib] * delta[c] / 256, 16, kMaxMsDelta);
      out.push_back(static_cast<int16_t>(s));
    }
  }

 private:
  std::vector<ADPCMCOEFSET> coefs_;
};

class ImaAdpcmDecoder : public BlockDecoder {
 public:
  ImaAdpcmDecoder(const WAVEFORMATEX& f, size_t frames) : BlockDecoder(f.nBlockAlign, frames, f.nChannels) {}

 protected:
  void DecodeBlock(const uint8_t* p, size_t n, std::vector<int16_t>& out) override {
    size_t head = 4 * ch_;
    if (n < head) return;
    int pred[2], index[2];
    for (int c = 0; c < ch_; ++c) {
      pred[c] = Read16(p + 4 * c);
      index[c] = std::clamp<int>(p[4 * c + 2], 0, 88);
    }
    size_t first = out.size();
    for (int c = 0; c < ch_; ++c) out.push_back(static_cast<int16_t>(pred[c]));
    // Then groups of 4 bytes (8 samples) per channel in turn, low nibble first.
    size_t groups = std::min((frames_ - 1) / 8, (n - head) / (4 * ch_));
    out.resize(first + (1 + groups * 8) * ch_);
    const uint8_t* d = p + head;
    for (size_t g = 0; g < groups; ++g) {
      for (int c = 0; c < ch_; ++c, d += 4) {
        for (int k = 0; k < 8; ++k) {
          int nib = (k & 1) ? (d[k / 2] >> 4) : (d[k / 2] & 0x0F);
          int step = kImaStep[index[c]];
          int diff = step >> 3;
          if (nib & 1) diff += step >> 2;
          if (nib & 2) diff += step >> 1;
          if (nib & 4) diff += step;
          pred[c] = std::clamp(pred[c] + ((nib & 8) ? -diff : diff), -32768, 32767);
          index[c] = std::clamp(index[c] + kImaIndex[nib], 0, 88);
          out[first + (1 + g * 8 + k) * ch_ + c] = static_cast<int16_t>(pred[c]);
        }
      }
    }
  }
};

}  // namespace

int16_t AlawToLinear(uint8_t a) {
  a ^= 0x55;
  int t = (a & 0x0F) << 4;
  int seg = (a & 0x70) >> 4;
  if (seg == 0)
    t += 8;
  else
    t = (t + 0x108) << (seg - 1);
  return static_cast<int16_t>((a & 0x80) ? t : -t);
}

int16_t MulawToLinear(uint8_t u) {
  u = static_cast<uint8_t>(~u);
  int t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4);
  return static_cast<int16_t>((u & 0x80) ? 0x84 - t : t - 0x84);
}

DWORD FormatSize(WORD tag) {
  switch (tag) {
    case WAVE_FORMAT_PCM: return sizeof(PCMWAVEFORMAT);
    case WAVE_FORMAT_ADPCM: return sizeof(WAVEFORMATEX) + 4 + 7 * sizeof(ADPCMCOEFSET);
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW: return sizeof(WAVEFORMATEX);
    case WAVE_FORMAT_IMA_ADPCM: return sizeof(IMAADPCMWAVEFORMAT);
    case WAVE_FORMAT_MPEGLAYER3: return sizeof(MPEGLAYER3WAVEFORMAT);
  }
  return 0;
}

namespace {

std::unique_ptr<Decoder> Make(const WAVEFORMATEX* f);

}  // namespace

std::unique_ptr<Decoder> MakeDecoder(const WAVEFORMATEX* f) {
  if (!f || f->nChannels < 1 || f->nChannels > 2 || f->nSamplesPerSec == 0 || f->nSamplesPerSec > kMaxRate ||
      f->nBlockAlign == 0)
    return nullptr;
  auto d = Make(f);
  // Buffers are sized from the average rate: one far above what the format can
  // carry is damage, and would ask for huge buffers.
  if (d) {
    uint64_t most = d->Variable() ? 64000
                                  : 2ull * f->nSamplesPerSec * d->BlockBytes() / d->BlockFrames() + d->BlockBytes();
    if (f->nAvgBytesPerSec > most) return nullptr;
  }
  return d;
}

namespace {

std::unique_ptr<Decoder> Make(const WAVEFORMATEX* f) {
  int ch = f->nChannels;
  switch (f->wFormatTag) {
    case WAVE_FORMAT_PCM:
      if ((f->wBitsPerSample != 8 && f->wBitsPerSample != 16) || f->nBlockAlign != ch * f->wBitsPerSample / 8)
        return nullptr;
      return std::make_unique<PcmDecoder>(*f);
    case WAVE_FORMAT_ALAW:
    case WAVE_FORMAT_MULAW:
      if (f->wBitsPerSample != 8 || f->nBlockAlign != ch) return nullptr;
      return std::make_unique<LawDecoder>(*f, f->wFormatTag == WAVE_FORMAT_ALAW);
    case WAVE_FORMAT_ADPCM: {
      if (f->wBitsPerSample != 4 || f->cbSize < 4 || f->nBlockAlign < 7 * ch) return nullptr;
      auto* ad = reinterpret_cast<const ADPCMWAVEFORMAT*>(f);
      if (ad->wNumCoef < 1 || f->cbSize < 4 + 4 * ad->wNumCoef) return nullptr;
      size_t most = (f->nBlockAlign - 7 * ch) * 2 / ch + 2;
      size_t frames = ad->wSamplesPerBlock;
      if (frames < 2 || frames > most) return nullptr;
      return std::make_unique<MsAdpcmDecoder>(*ad, frames);
    }
    case WAVE_FORMAT_IMA_ADPCM: {
      if (f->wBitsPerSample != 4 || f->nBlockAlign < 4 * ch || (f->nBlockAlign - 4 * ch) % (4 * ch)) return nullptr;
      size_t most = (f->nBlockAlign - 4 * ch) * 2 / ch + 1;
      size_t frames = most;
      if (f->cbSize >= 2) frames = reinterpret_cast<const IMAADPCMWAVEFORMAT*>(f)->wSamplesPerBlock;
      if (frames < 1 || frames > most || (frames - 1) % 8) return nullptr;
      return std::make_unique<ImaAdpcmDecoder>(*f, frames);
    }
    case WAVE_FORMAT_MPEGLAYER3: return MakeMpegDecoder(f);
  }
  return nullptr;
}

}  // namespace

}  // namespace acm
