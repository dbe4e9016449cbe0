// The AVI file library over any bytes: a stream opens or is refused, every frame
// it gives is a whole packed DIB, and reading audio never leaves the file.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/common/memfile.h"
#include "platform/vfw/avifile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemFile file("avi", data, size);
  if (!file.ok()) return 0;
  const std::string name = file.name();
  PAVISTREAM video = nullptr;
  if (AVIStreamOpenFromFileA(&video, name.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr) == AVIERR_OK) {
    AVISTREAMINFOA info;
    AVIStreamInfoA(video, &info, sizeof(info));
    if (PGETFRAME g = AVIStreamGetFrameOpen(video, AVIGETFRAMEF_BESTDISPLAYFMT)) {
      for (LONG i = -1; i < 64; ++i) {
        // Around the stream's start, wrapping at the ends of LONG as a caller's sum would.
        const auto pos = static_cast<LONG>(info.dwStart + static_cast<DWORD>(i));
        auto* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(g, pos));
        if (!dib) continue;
        BITMAPINFOHEADER h;
        std::memcpy(&h, dib, sizeof(h));
        // Touch the last pixel byte: the frame must be whole.
        size_t table = h.biBitCount <= 8 ? size_t{4} << h.biBitCount : (h.biCompression == BI_BITFIELDS ? 12 : 0);
        volatile uint8_t last = dib[sizeof(h) + table + h.biSizeImage - 1];
        (void)last;
      }
      AVIStreamGetFrameClose(g);
    }
    AVIStreamRelease(video);
  }
  PAVISTREAM audio = nullptr;
  if (AVIStreamOpenFromFileA(&audio, name.c_str(), streamtypeAUDIO, 0, OF_READ, nullptr) == AVIERR_OK) {
    LONG fmt_size = 0;
    AVIStreamReadFormat(audio, 0, nullptr, &fmt_size);
    std::vector<uint8_t> fmt(static_cast<size_t>(fmt_size) + 1);
    AVIStreamReadFormat(audio, 0, fmt.data(), &fmt_size);
    LONG bytes = 0;
    const LONG length = AVIStreamLength(audio);
    AVIStreamRead(audio, 0, length, nullptr, 0, &bytes, nullptr);
    if (bytes > 0 && bytes < (1 << 24)) {
      std::vector<uint8_t> buf(static_cast<size_t>(bytes));
      LONG got = 0;
      AVIStreamRead(audio, 0, length, buf.data(), bytes, &got, nullptr);
      if (got > bytes) __builtin_trap();
    }
    AVIStreamRelease(audio);
  }
  if (platform::avi_stream_count() != 0) __builtin_trap();
  return 0;
}
