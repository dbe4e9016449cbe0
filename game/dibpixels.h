// Pixel access to the 24-bit bottom-up DibImage that the transitions and the
// set pieces compose their frames in. y counts from the top row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dx/pngload.h"

inline int DibWidth(const DibImage& d) { return d.info.bmiHeader.biWidth; }
inline int DibHeight(const DibImage& d) { return d.info.bmiHeader.biHeight; }
inline size_t DibStride(const DibImage& d) { return (static_cast<size_t>(DibWidth(d)) * 3 + 3) & ~size_t{3}; }
// Null outside the image.
inline uint8_t* DibAt(const DibImage& d, int x, int y) {
  if (!d.bits || x < 0 || y < 0 || x >= DibWidth(d) || y >= DibHeight(d)) return nullptr;
  return d.bits + DibStride(d) * static_cast<size_t>(DibHeight(d) - 1 - y) + 3 * static_cast<size_t>(x);
}
inline void DibClear(DibImage& d) {
  if (d.bits) std::memset(d.bits, 0, DibStride(d) * static_cast<size_t>(DibHeight(d)));
}
inline bool DibPixelEmpty(const uint8_t* p) { return p[0] == 0 && p[1] == 0 && p[2] == 0; }

// A DibImage that frees its pixels when it goes.
struct Dib {
  DibImage d{};
  Dib() = default;
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;
  ~Dib() { std::free(d.bits); }
  // A new black image of w x h in place of the old.
  void Make(int w, int h) {
    std::free(d.bits);
    CreateDib24(&d, w, h);
    DibClear(d);
  }
};
