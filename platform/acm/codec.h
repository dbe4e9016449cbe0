// The decoders behind the audio compression manager: each turns source bytes of
// one wave format into interleaved signed 16-bit samples at the source's rate and
// channel count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/winmm/mmtypes.h"

namespace acm {

class Decoder {
 public:
  virtual ~Decoder() = default;
  // Appends what `n` source bytes decode to. Whole blocks decode fully; a block
  // cut short (the end of the data) gives the samples its bytes hold.
  virtual void Decode(const uint8_t* src, size_t n, std::vector<int16_t>& out) = 0;
  // Forgets everything decoded so far (a new start of the data).
  virtual void Reset() {}
  // The data met something the decoder cannot go on from: it takes no more
  // source until the next Reset.
  virtual bool Ended() const { return false; }
  // Source bytes of one block and the frames one block gives; for a variable
  // rate format these are typical values and sizes are estimated from the rates.
  virtual size_t BlockBytes() const = 0;
  virtual size_t BlockFrames() const = 0;
  virtual bool Variable() const { return false; }
};

// A decoder for the format, or null when the format is not one we decode or is
// inconsistent. `src` must hold 18 + cbSize bytes.
std::unique_ptr<Decoder> MakeDecoder(const WAVEFORMATEX* src);
std::unique_ptr<Decoder> MakeMpegDecoder(const WAVEFORMATEX* src);

// The largest format record of a tag, 0 for a tag we do not decode.
DWORD FormatSize(WORD tag);

// Single samples, for the decoders and their tests.
int16_t AlawToLinear(uint8_t a);
int16_t MulawToLinear(uint8_t u);

}  // namespace acm
