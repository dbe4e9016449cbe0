#include "platform/win32/icon.h"

#include <cmath>

namespace {

struct Icon {
  win32::IconImage image;  // empty for stock icons
};

// The emblem: a sword, point up, on a blue disc with a gold rim. (u, v) runs
// over the picture from 0 to 1; the colour of the topmost part there, or 0
// (clear) outside the disc.
uint32_t Emblem(double u, double v) {
  constexpr uint32_t kGold = 0xFFD8A83A, kBlue = 0xFF1F3C88, kDeepBlue = 0xFF142A66, kSteel = 0xFFE6E9F0,
                     kGrip = 0xFF7A4A22;
  const double dx = u - 0.5, dy = v - 0.5, ax = std::fabs(dx);
  const double r = std::sqrt(dx * dx + dy * dy);
  if (std::hypot(dx, v - 0.855) <= 0.05) return kGold;                   // pommel
  if (v > 0.72 && v <= 0.82 && ax <= 0.035) return kGrip;               // grip
  if (v >= 0.66 && v <= 0.72 && ax <= 0.17) return kGold;               // guard
  if (v >= 0.16 && v < 0.66 && ax <= 0.045 * std::fmin(1.0, (v - 0.16) / 0.08)) return kSteel;  // blade
  if (r > 0.47) return 0;
  if (r > 0.40) return kGold;
  return v < 0.5 ? kBlue : kDeepBlue;
}

// The emblem at size x size, each pixel the average of 4 x 4 samples (colours
// weighted by their cover, so the rim's edge fades out).
win32::IconImage Draw(int size) {
  win32::IconImage img;
  img.width = img.height = size;
  img.argb.resize(static_cast<size_t>(size) * size);
  constexpr int kSub = 4;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double a = 0, r = 0, g = 0, b = 0;
      for (int j = 0; j < kSub; ++j)
        for (int i = 0; i < kSub; ++i) {
          const uint32_t c = Emblem((x + (i + 0.5) / kSub) / size, (y + (j + 0.5) / kSub) / size);
          const double ca = (c >> 24) / 255.0;
          a += ca, r += ca * (c >> 16 & 0xFF), g += ca * (c >> 8 & 0xFF), b += ca * (c & 0xFF);
        }
      uint32_t out = 0;
      if (a > 0) {
        auto channel = [a](double v) { return static_cast<uint32_t>(std::lround(v / a)); };
        const auto alpha = static_cast<uint32_t>(std::lround(a * 255.0 / (kSub * kSub)));
        out = alpha << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
      }
      img.argb[static_cast<size_t>(y) * size + x] = out;
    }
  return img;
}

// Icons live for the whole run, like a module's resources.
Icon* Large() {
  static Icon* icon = new Icon{Draw(32)};
  return icon;
}
Icon* Small() {
  static Icon* icon = new Icon{Draw(16)};
  return icon;
}
Icon* Stock() {
  static Icon* icon = new Icon{};
  return icon;
}

}  // namespace

namespace win32 {

HICON ProgramIcon(int id, bool small) {
  if (id != kProgramIconId) return nullptr;
  return reinterpret_cast<HICON>(small ? Small() : Large());
}

HICON StockApplicationIcon() { return reinterpret_cast<HICON>(Stock()); }

const IconImage* IconPicture(HICON icon) {
  if (!icon) return nullptr;
  for (Icon* known : {Large(), Small()})
    if (reinterpret_cast<HICON>(known) == icon) return &known->image;
  return nullptr;
}

}  // namespace win32
