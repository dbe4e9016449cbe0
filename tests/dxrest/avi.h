// AVI files for the playback tests and fuzz seeds: uncompressed video frames and
// an optional PCM audio stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/riff.h"

namespace avi {

inline void U32(std::string& s, uint32_t v) { testriff::Put32(s, v); }
inline void U16(std::string& s, uint16_t v) { testriff::Put16(s, v); }
using testriff::Chunk;
inline std::string List(const char* type, const std::string& body) { return Chunk("LIST", std::string(type, 4) + body); }

inline std::string StreamHeader(const char* type, const char* handler, uint32_t scale, uint32_t rate, uint32_t length,
                                uint32_t sample_size, int w, int h) {
  std::string s(type, 4);
  s += std::string(handler, 4);
  U32(s, 0);  // flags
  U16(s, 0);
  U16(s, 0);
  U32(s, 0);  // initial frames
  U32(s, scale);
  U32(s, rate);
  U32(s, 0);  // start
  U32(s, length);
  U32(s, 0);
  U32(s, 0xFFFFFFFF);
  U32(s, sample_size);
  U16(s, 0);
  U16(s, 0);
  U16(s, static_cast<uint16_t>(w));
  U16(s, static_cast<uint16_t>(h));
  return s;
}

struct Video {
  int width = 32, height = 16, bits = 24;
  uint32_t rate = 15, scale = 1;
  uint32_t compression = 0;               // BI_RGB
  std::vector<std::string> frames;        // each the pixels of one bottom-up DIB
  std::string audio;                      // 8-bit mono PCM at 11,025 Hz, or empty
};

// A 24-bit frame of one colour.
inline std::string SolidFrame(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  const int stride = (w * 3 + 3) / 4 * 4;
  std::string f(static_cast<size_t>(stride) * h, '\0');
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      f[y * stride + x * 3] = static_cast<char>(b);
      f[y * stride + x * 3 + 1] = static_cast<char>(g);
      f[y * stride + x * 3 + 2] = static_cast<char>(r);
    }
  return f;
}

inline std::string File(const Video& v) {
  std::string bih;
  U32(bih, 40);
  U32(bih, static_cast<uint32_t>(v.width));
  U32(bih, static_cast<uint32_t>(v.height));
  U16(bih, 1);
  U16(bih, static_cast<uint16_t>(v.bits));
  U32(bih, v.compression);
  U32(bih, 0);
  U32(bih, 0);
  U32(bih, 0);
  U32(bih, 0);
  U32(bih, 0);
  std::string avih(56, '\0');
  std::string strl = List("strl", Chunk("strh", StreamHeader("vids", "DIB ", v.scale, v.rate,
                                                            static_cast<uint32_t>(v.frames.size()), 0, v.width,
                                                            v.height)) +
                                      Chunk("strf", bih));
  std::string movi;
  for (const std::string& f : v.frames) movi += Chunk("00db", f);
  if (!v.audio.empty()) {
    std::string wf;
    U16(wf, 1);
    U16(wf, 1);
    U32(wf, 11025);
    U32(wf, 11025);
    U16(wf, 1);
    U16(wf, 8);
    strl += List("strl", Chunk("strh", StreamHeader("auds", "\0\0\0\0", 1, 11025,
                                                    static_cast<uint32_t>(v.audio.size()), 1, 0, 0)) +
                             Chunk("strf", wf));
    movi += Chunk("01wb", v.audio.substr(0, v.audio.size() / 2)) + Chunk("01wb", v.audio.substr(v.audio.size() / 2));
  }
  return testriff::Form("AVI ", List("hdrl", Chunk("avih", avih) + strl) + List("movi", movi));
}

}  // namespace avi
