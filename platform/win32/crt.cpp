#include "platform/win32/crt.h"

#include <cstdint>

namespace {
uint32_t g_rand_state = 1;
}  // namespace

extern "C" int rand(void) noexcept {
  g_rand_state = g_rand_state * 214013u + 2531011u;
  return static_cast<int>((g_rand_state >> 16) & 0x7FFF);
}

extern "C" void srand(unsigned int seed) noexcept { g_rand_state = seed; }

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  int64_t p = static_cast<int64_t>(a) * b;
  // Round half away from zero: add half the divisor in the direction of the result.
  int64_t half = (c < 0 ? -static_cast<int64_t>(c) : c) / 2;
  bool negative = (p < 0) != (c < 0);
  int64_t mag = (p < 0 ? -p : p) + half;
  int64_t q = mag / (c < 0 ? -static_cast<int64_t>(c) : c);
  if (negative) q = -q;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<int>(q);
}
