#include <mpg123.h>

#include "platform/acm/codec.h"

namespace acm {

namespace {

// MPEG audio through libmpg123 in feed mode: bytes go in as they come, frames come
// out once complete, so a conversion may give nothing or more than one frame.
class MpegDecoder : public Decoder {
 public:
  MpegDecoder(const WAVEFORMATEX& f) : channels_(f.nChannels), rate_(f.nSamplesPerSec) {
    auto* m = reinterpret_cast<const MPEGLAYER3WAVEFORMAT*>(&f);
    block_ = f.cbSize >= 12 && m->nBlockSize ? m->nBlockSize : 418;
  }
  ~MpegDecoder() override {
    if (h_) {
      mpg123_close(h_);
      mpg123_delete(h_);
    }
  }

  bool Open() {
    // Once for the process; a library that failed to start makes no decoder.
    static const bool started = mpg123_init() == MPG123_OK;
    if (!started) return false;
    int err = MPG123_OK;
    h_ = mpg123_new(nullptr, &err);
    if (!h_ || err != MPG123_OK) return false;
    // Damaged data is reported through the return codes alone. A damaged header
    // may name another sample rate: resampling it to ours keeps the output format
    // fixed, where refusing it would print a complaint however quiet we ask it to be.
    // A stream that changes its channel mode keeps the format it started with.
    long flags = MPG123_QUIET | MPG123_AUTO_RESAMPLE | (channels_ == 1 ? MPG123_MONO_MIX : MPG123_FORCE_STEREO);
    if (mpg123_param(h_, MPG123_FLAGS, flags, 0) != MPG123_OK) return false;
    if (mpg123_format_none(h_) != MPG123_OK) return false;
    if (mpg123_format(h_, static_cast<long>(rate_), channels_ == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK)
      return false;
    open_ = mpg123_open_feed(h_) == MPG123_OK;
    return open_;
  }

  void Decode(const uint8_t* src, size_t n, std::vector<int16_t>& out) override {
    if (!open_ || ended_) return;
    if (n && mpg123_feed(h_, src, n) != MPG123_OK) return;
    for (;;) {
      unsigned char buf[8192];
      size_t done = 0;
      int r = mpg123_read(h_, buf, sizeof buf, &done);
      const int16_t* s = reinterpret_cast<const int16_t*>(buf);
      out.insert(out.end(), s, s + done / 2);
      if (r == MPG123_OK || r == MPG123_NEW_FORMAT) continue;
      // Damage it cannot resync over ends the data, as it ends a decode of the
      // whole file: fed on, the library would take up again inside the damage
      // and play it as noise.
      if (r != MPG123_NEED_MORE) ended_ = true;
      break;
    }
  }

  void Reset() override {
    mpg123_close(h_);
    open_ = mpg123_open_feed(h_) == MPG123_OK;
    ended_ = false;
  }

  bool Ended() const override { return ended_; }

  size_t BlockBytes() const override { return block_; }
  size_t BlockFrames() const override { return 1152; }
  bool Variable() const override { return true; }

 private:
  mpg123_handle* h_ = nullptr;
  bool open_ = false;
  bool ended_ = false;
  int channels_;
  DWORD rate_;
  size_t block_;
};

}  // namespace

std::unique_ptr<Decoder> MakeMpegDecoder(const WAVEFORMATEX* f) {
  static const DWORD kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
  bool rate_ok = false;
  for (DWORD r : kRates) rate_ok |= f->nSamplesPerSec == r;
  if (!rate_ok) return nullptr;
  auto d = std::make_unique<MpegDecoder>(*f);
  if (!d->Open()) return nullptr;
  return d;
}

}  // namespace acm
