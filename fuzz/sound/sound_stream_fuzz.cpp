// The streaming decoder over any bytes: an MP3 or WAVE file of any format is
// refused or decoded piece by piece, rewound, and closed without a leak.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/common/memfile.h"
#include "qv/qvscommon.h"
#include "qv/qvxalloc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool bound = QvxApiInitialize();
  if (!bound) __builtin_trap();
  MemFile file("stream", data, size);
  if (!file.ok()) return 0;
  const std::string name = file.name();
  PkgFile* f = PkgFileOpen(name.c_str(), "rb");
  if (f) {
    QvxMp3ReadHeader(f, nullptr);
    PkgFileClose(f);
  }
  WAVEFORMATEX pcm{};
  if (QvAcmStream* s = QvxAcmOpen(name.c_str(), 100, &pcm)) {
    if (pcm.wFormatTag != WAVE_FORMAT_PCM || pcm.nBlockAlign == 0) __builtin_trap();
    std::vector<uint8_t> out(8820);
    for (int pass = 0; pass < 2; ++pass) {
      for (int i = 0; i < 32; ++i) {
        int32_t n = QvxAcmRead(s, out.data(), static_cast<int32_t>(out.size()) - i);
        if (n < 0 || n > static_cast<int32_t>(out.size()) - i) __builtin_trap();
        if (s->ended) break;
      }
      QvxAcmRewind(s);
    }
    QvxAcmClose(s);
  }
  if (QvxAllocFirst(MEMTYPE_NORMAL)) __builtin_trap();
  return 0;
}
