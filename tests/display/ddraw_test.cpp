// Surfaces of the DirectDraw stand-in: fills, copies, keys, mirroring,
// stretching, clipping by failure, locks, palettes and the video-memory pool.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/host/headless_host.h"
#include "platform/win32/display.h"
#include "tests/common/surfaces.h"

#ifdef DDRAW_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace {

class DdrawTest : public testcommon::DirectDrawTest {
 protected:
  static void Fill(IDirectDrawSurface* s, RECT r, uint32_t v) {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = v;
    ASSERT_EQ(s->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
  }
};

TEST_F(DdrawTest, DestinationKeyGuardsFillsAsWellAsCopies) {
  for (int bpp : {8, 16, 24, 32}) {
    IDirectDrawSurface* s = Make(3, 1, bpp);
    Fill(s, RECT{1, 0, 2, 1}, 4);
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 7;
    RECT all{0, 0, 3, 1};
    // Without a destination key set on the surface the keyed fill is refused.
    EXPECT_EQ(s->Blt(&all, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_KEYDEST, &fx), DDERR_NOCOLORKEY);
    DDCOLORKEY key{0, 0};
    ASSERT_EQ(s->SetColorKey(DDCKEY_DESTBLT, &key), DD_OK);
    ASSERT_EQ(s->Blt(&all, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_KEYDEST, &fx), DD_OK);
    EXPECT_EQ(At(s, 0, 0), 7u) << bpp;
    EXPECT_EQ(At(s, 1, 0), 4u) << bpp;
    EXPECT_EQ(At(s, 2, 0), 7u) << bpp;
    s->Release();
  }
}

TEST_F(DdrawTest, NewSurfacesAreZeroAtEveryDepth) {
  for (int bpp : {8, 16, 24, 32}) {
    IDirectDrawSurface* s = Make(7, 5, bpp);
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    ASSERT_EQ(s->GetSurfaceDesc(&d), DD_OK);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, static_cast<DWORD>(bpp));
    EXPECT_GE(d.lPitch, 7 * bpp / 8);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(At(s, x, y), 0u);
    s->Release();
  }
}

TEST_F(DdrawTest, ColourFillCoversExactlyTheRectangleAndIsMaskedToTheDepth) {
  for (int bpp : {8, 16, 24, 32}) {
    IDirectDrawSurface* s = Make(10, 10, bpp);
    Fill(s, {2, 3, 5, 4}, 0xFFFFFFFF);
    uint32_t full = bpp == 32 ? 0xFFFFFFFF : (1u << bpp) - 1;
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x)
        EXPECT_EQ(At(s, x, y), (x >= 2 && x < 5 && y == 3) ? full : 0u) << bpp << " " << x << "," << y;
    // Many rows: each of them, and nothing beside them.
    Fill(s, {1, 5, 8, 9}, 0x5A5A5A5A);
    for (int y = 5; y < 10; ++y)
      for (int x = 0; x < 10; ++x)
        EXPECT_EQ(At(s, x, y), (x >= 1 && x < 8 && y < 9) ? 0x5A5A5A5A & full : 0u) << bpp << " " << x << "," << y;
    s->Release();
  }
}

TEST_F(DdrawTest, RectanglesLeavingASurfaceFailAndDrawNothing) {
  IDirectDrawSurface* a = Make(10, 10, 16);
  IDirectDrawSurface* b = Make(4, 4, 16);
  Fill(b, {0, 0, 4, 4}, 0x1234);
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = 7;
  RECT out{8, 8, 12, 12};
  EXPECT_EQ(a->Blt(&out, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_INVALIDRECT);
  RECT neg{-1, 0, 3, 3};
  EXPECT_EQ(a->Blt(&neg, b, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
  RECT src_out{2, 2, 6, 6};
  EXPECT_EQ(a->BltFast(0, 0, b, &src_out, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
  EXPECT_EQ(a->BltFast(7, 7, b, nullptr, DDBLTFAST_WAIT), DDERR_INVALIDRECT);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(At(a, x, y), 0u);
  EXPECT_EQ(a->BltFast(6, 6, b, nullptr, DDBLTFAST_WAIT), DD_OK);
  EXPECT_EQ(At(a, 9, 9), 0x1234u);
  a->Release();
  b->Release();
}

TEST_F(DdrawTest, SourceAndDestinationKeys) {
  IDirectDrawSurface* dst = Make(4, 1, 32);
  IDirectDrawSurface* src = Make(4, 1, 32);
  DDCOLORKEY key{0, 0};
  src->SetColorKey(DDCKEY_SRCBLT, &key);
  dst->SetColorKey(DDCKEY_DESTBLT, &key);
  Fill(src, {0, 0, 2, 1}, 0xAA);  // pixels 2 and 3 stay 0: transparent
  Fill(dst, {0, 0, 4, 1}, 0x55);
  EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
  EXPECT_EQ(At(dst, 0, 0), 0xAAu);
  EXPECT_EQ(At(dst, 3, 0), 0x55u);
  // The key is the whole 32-bit value: a pixel with only its fourth byte set is drawn.
  Fill(src, {2, 0, 3, 1}, 0);
  Fill(src, {3, 0, 4, 1}, 0xFF000000);
  Fill(dst, {0, 0, 4, 1}, 0x55);
  EXPECT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
  EXPECT_EQ(At(dst, 2, 0), 0x55u);
  EXPECT_EQ(At(dst, 3, 0), 0xFF000000u);
  // Destination key: only pixels of value 0 are written.
  Fill(dst, {0, 0, 4, 1}, 0);
  Fill(dst, {1, 0, 2, 1}, 9);
  Fill(src, {0, 0, 4, 1}, 0x77);
  EXPECT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_DESTCOLORKEY), DD_OK);
  EXPECT_EQ(At(dst, 0, 0), 0x77u);
  EXPECT_EQ(At(dst, 1, 0), 9u);
  dst->Release();
  src->Release();
}

// Keyed copies done sixteen bytes at a time: every pixel against the rule
// (the source's value unless it equals the key), for random keys, widths round
// the vector's size and places that start a row at any pixel.
TEST_F(DdrawTest, KeyedCopiesOfEveryWidthAndPlace) {
  std::mt19937 rng(77);
  for (int bpp : {16, 32}) {
    const uint32_t mask = bpp == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    IDirectDrawSurface* dst = Make(61, 5, bpp);
    IDirectDrawSurface* src = Make(61, 5, bpp);
    for (int round = 0; round < 40; ++round) {
      const uint32_t key = round % 3 == 0 ? 0 : rng() & mask;
      DDCOLORKEY k{key, key};
      src->SetColorKey(DDCKEY_SRCBLT, &k);
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 61; ++x) {
          testcommon::SetSurfacePixel(src, x, y, rng() % 3 == 0 ? key : (rng() % 4 == 0 ? key ^ 1 : rng()) & mask);
          testcommon::SetSurfacePixel(dst, x, y, rng() & mask);
        }
      const int w = 1 + static_cast<int>(rng() % 40), sx = static_cast<int>(rng() % (62 - w));
      const int dx = static_cast<int>(rng() % (62 - w));
      RECT from{sx, 1, sx + w, 4};
      std::vector<uint32_t> want;
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 61; ++x) {
          const bool inside = y >= 1 && y < 4 && x >= dx && x < dx + w;
          const uint32_t s = inside ? At(src, x - dx + sx, y) : 0;
          want.push_back(inside && s != key ? s : At(dst, x, y));
        }
      ASSERT_EQ(dst->BltFast(dx, 1, src, &from, DDBLTFAST_SRCCOLORKEY), DD_OK);
      for (int y = 0, i = 0; y < 5; ++y)
        for (int x = 0; x < 61; ++x, ++i) ASSERT_EQ(At(dst, x, y), want[i]) << bpp << " bits, " << x << ", " << y;
    }
    dst->Release();
    src->Release();
  }
}

TEST_F(DdrawTest, MirroringStretchingAndInvert) {
  IDirectDrawSurface* src = Make(3, 2, 8);
  IDirectDrawSurface* dst = Make(6, 4, 8);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) Fill(src, {x, y, x + 1, y + 1}, static_cast<uint32_t>(1 + x + 3 * y));
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwDDFX = DDBLTFX_MIRRORLEFTRIGHT | DDBLTFX_MIRRORUPDOWN;
  RECT d{0, 0, 3, 2};
  ASSERT_EQ(dst->Blt(&d, src, nullptr, DDBLT_DDFX, &fx), DD_OK);
  EXPECT_EQ(At(dst, 0, 0), 6u);
  EXPECT_EQ(At(dst, 2, 0), 4u);
  EXPECT_EQ(At(dst, 0, 1), 3u);
  // Nearest-neighbour doubling.
  ASSERT_EQ(dst->Blt(nullptr, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
  const uint32_t want[4][6] = {{1, 1, 2, 2, 3, 3}, {1, 1, 2, 2, 3, 3}, {4, 4, 5, 5, 6, 6}, {4, 4, 5, 5, 6, 6}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(At(dst, x, y), want[y][x]);
  fx.dwROP = DSTINVERT;
  RECT one{0, 0, 1, 1};
  ASSERT_EQ(dst->Blt(&one, nullptr, nullptr, DDBLT_ROP, &fx), DD_OK);
  EXPECT_EQ(At(dst, 0, 0), 0xFEu);
  dst->Release();
  src->Release();
}

// Scaled and mirrored copies, with a source key or without, of every depth:
// every pixel against the nearest-neighbour rule (target pixel x of d takes
// source column s.left + (x - d.left) * sw / dw, counted from the right when
// mirrored, and the same for rows; a pixel equal to the key leaves the target's
// own), for random rectangles that grow and shrink, rows that repeat included.
TEST_F(DdrawTest, ScaledAndMirroredCopiesOfEverySizeAndPlace) {
  std::mt19937 rng(5);
  for (int bpp : {8, 16, 24, 32}) {
    const uint32_t mask = bpp == 32 ? 0xFFFFFFFFu : (1u << bpp) - 1;
    IDirectDrawSurface* dst = Make(40, 30, bpp);
    IDirectDrawSurface* src = Make(23, 17, bpp);
    for (int round = 0; round < 60; ++round) {
      const uint32_t key = rng() % 2 ? 0 : rng() & mask;
      DDCOLORKEY k{key, key};
      src->SetColorKey(DDCKEY_SRCBLT, &k);
      for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x) testcommon::SetSurfacePixel(src, x, y, rng() % 3 == 0 ? key : rng() & mask);
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) testcommon::SetSurfacePixel(dst, x, y, rng() & mask);
      auto span = [&rng](int size) {
        const int a = static_cast<int>(rng() % static_cast<unsigned>(size));
        return std::pair<int, int>{a, a + 1 + static_cast<int>(rng() % static_cast<unsigned>(size - a))};
      };
      const auto [sl, sr] = span(23);
      const auto [st, sb] = span(17);
      const auto [dl, dr] = span(40);
      const auto [dt, db] = span(30);
      RECT s{sl, st, sr, sb}, d{dl, dt, dr, db};
      const bool keyed = rng() % 2, mirror_x = rng() % 2, mirror_y = rng() % 2;
      std::vector<uint32_t> want;
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
          uint32_t v = At(dst, x, y);
          if (x >= dl && x < dr && y >= dt && y < db) {
            const int i = (x - dl) * (sr - sl) / (dr - dl), j = (y - dt) * (sb - st) / (db - dt);
            const uint32_t from = At(src, mirror_x ? sr - 1 - i : sl + i, mirror_y ? sb - 1 - j : st + j);
            if (!keyed || from != key) v = from;
          }
          want.push_back(v);
        }
      DDBLTFX fx{};
      fx.dwSize = sizeof(fx);
      fx.dwDDFX = (mirror_x ? DDBLTFX_MIRRORLEFTRIGHT : 0) | (mirror_y ? DDBLTFX_MIRRORUPDOWN : 0);
      ASSERT_EQ(dst->Blt(&d, src, &s, DDBLT_DDFX | (keyed ? DDBLT_KEYSRC : 0), &fx), DD_OK);
      for (int y = 0, n = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x, ++n)
          ASSERT_EQ(At(dst, x, y), want[n]) << bpp << " bits, round " << round << ", " << x << ", " << y;
    }
    dst->Release();
    src->Release();
  }
}

TEST_F(DdrawTest, CopiesBetweenDepthsAreRefused) {
  IDirectDrawSurface* a = Make(2, 2, 16);
  IDirectDrawSurface* b = Make(2, 2, 32);
  EXPECT_EQ(a->Blt(nullptr, b, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDPIXELFORMAT);
  a->Release();
  b->Release();
}

TEST_F(DdrawTest, LockGivesPointerAndPitchIncludingWideRows) {
  ddraw::SetPitchPadding(12);
  IDirectDrawSurface* s = Make(5, 3, 24);
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  RECT r{1, 2, 3, 3};
  ASSERT_EQ(s->Lock(&r, &d, DDLOCK_WAIT, nullptr), DD_OK);
  EXPECT_EQ(d.lPitch, 32);  // 15 bytes rounded to 16, the padding, then to a multiple of 8
  static_cast<uint8_t*>(d.lpSurface)[0] = 0x42;
  EXPECT_EQ(s->Unlock(d.lpSurface), DD_OK);
  EXPECT_EQ(At(s, 1, 2) & 0xFF, 0x42u);
  RECT bad{4, 0, 6, 1};
  EXPECT_EQ(s->Lock(&bad, &d, DDLOCK_WAIT, nullptr), DDERR_INVALIDPARAMS);
  EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
  s->Release();
}

// Poisoned padding is every byte past a row's pixels and none of the pixels,
// whatever the row's width in bytes (odd, or no multiple of 8) and the padding
// asked for, on surfaces that existed before and those made meanwhile.
TEST_F(DdrawTest, PoisonedPaddingIsExactlyTheBytesPastEachRow) {
#ifndef DDRAW_ASAN
  GTEST_SKIP() << "poisoning needs AddressSanitizer";
#else
  struct Case {
    int width, bpp, padding;
  };
  const Case cases[] = {{3, 8, 16}, {5, 24, 12}, {7, 16, 16}, {8, 32, 16}, {13, 24, 1}, {1, 8, 3}};
  constexpr int kRows = 4;
  for (const Case& c : cases) {
    ddraw::SetPitchPadding(c.padding);
    IDirectDrawSurface* before = Make(c.width, kRows, c.bpp);
    ddraw::PoisonPadding(true);
    IDirectDrawSurface* during = Make(c.width, kRows, c.bpp);
    const int row = c.width * c.bpp / 8;
    // The first byte poisoned where it should not be, or not where it should.
    auto wrong_byte = [&](const uint8_t* bits, int pitch) {
      for (int i = 0; i < pitch * kRows; ++i)
        if ((__asan_address_is_poisoned(bits + i) != 0) != (i % pitch >= row)) return i;
      return -1;
    };
    for (IDirectDrawSurface* s : {before, during}) {
      const platform::PixelBuffer pb = s->pixels();
      EXPECT_GE(pb.pitch - row, c.padding) << c.width << "x" << c.bpp;
      const int wrong = wrong_byte(pb.bits, pb.pitch);
      EXPECT_EQ(wrong, -1) << c.width << " pixels of " << c.bpp << " bits, padding " << c.padding << ": byte "
                           << wrong % pb.pitch << " of row " << wrong / pb.pitch
                           << (s == before ? " (made before)" : " (made meanwhile)");
    }
    {
      // What a copy within the surface reads from: its padding too.
      const platform::PixelBuffer pb = during->pixels();
      ddraw::RowsCopy copy(pb.bits, pb.pitch, row, kRows);
      const int wrong = wrong_byte(copy.data(), pb.pitch);
      EXPECT_EQ(wrong, -1) << c.width << " pixels of " << c.bpp << " bits, padding " << c.padding << ": byte "
                           << wrong % pb.pitch << " of row " << wrong / pb.pitch << " of the rows' copy";
    }
    ddraw::PoisonPadding(false);
    for (IDirectDrawSurface* s : {before, during}) {
      const platform::PixelBuffer pb = s->pixels();
      EXPECT_EQ(__asan_region_is_poisoned(pb.bits, static_cast<size_t>(pb.pitch) * kRows), nullptr);
      s->Release();
    }
  }
#endif
}

// A copy within one surface reads the pixels as they were before it, and
// only the pixels: with the padding poisoned, it stops if it takes the rows'
// padding with them.
TEST_F(DdrawTest, CopiesWithinASurfaceReadOnlyItsPixels) {
  ddraw::SetPitchPadding(16);
  for (int bpp : {8, 16, 24, 32}) {
    IDirectDrawSurface* s = Make(6, 3, bpp);
    auto old = [](int x, int y) { return static_cast<uint32_t>(1 + x + 10 * y); };
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 6; ++x) testcommon::SetSurfacePixel(s, x, y, old(x, y));
    ddraw::PoisonPadding(true);
    RECT src{0, 0, 5, 3}, dst{1, 0, 6, 3};
    EXPECT_EQ(s->Blt(&dst, s, &src, DDBLT_WAIT, nullptr), DD_OK);
    ddraw::PoisonPadding(false);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 6; ++x) EXPECT_EQ(At(s, x, y), old(x == 0 ? 0 : x - 1, y)) << bpp << ": " << x << "," << y;
    s->Release();
  }
}

#ifdef DDRAW_ASAN
// What the allocator's hooks watch for on this thread: the block of `size`
// bytes that a copy within a surface reads from, and, while it lives, whether
// its padding is poisoned each time anything else is allocated or freed.
struct RowsWatch {
  size_t size = 0;  // 0: not watching
  int pitch = 0, row_bytes = 0, rows = 0;
  const volatile void* block = nullptr;
  int looks = 0, bare = 0;  // looks at the padding, and those that found a byte of it readable

  void Look() {
    ++looks;
    const auto* bits = static_cast<const uint8_t*>(const_cast<const void*>(block));
    for (int y = 0; y < rows; ++y)
      for (int i = row_bytes; i < pitch; ++i)
        if (!__asan_address_is_poisoned(bits + static_cast<ptrdiff_t>(y) * pitch + i)) {
          ++bare;
          return;
        }
  }
};
thread_local RowsWatch t_rows_watch;

}  // namespace

// AddressSanitizer calls these after every allocation and before every free
// when a program defines them.
extern "C" void __sanitizer_malloc_hook(const volatile void* p, size_t size) {
  RowsWatch& w = t_rows_watch;
  if (!w.size) return;
  if (!w.block && size == w.size)
    w.block = p;
  else if (w.block)
    w.Look();
}

extern "C" void __sanitizer_free_hook(const volatile void* p) {
  RowsWatch& w = t_rows_watch;
  if (!w.size || !w.block) return;
  if (p == w.block)
    w.block = nullptr;
  else
    w.Look();
}

namespace {
#endif

// The copy of the rows that a copy within a surface reads from has its
// padding poisoned too while the surfaces' is: a read past a row's end is
// caught there as on any surface, not served from bytes nobody drew.
TEST_F(DdrawTest, CopiesWithinASurfaceReadFromRowsWithPoisonedPadding) {
#ifndef DDRAW_ASAN
  GTEST_SKIP() << "poisoning needs AddressSanitizer";
#else
  ddraw::SetPitchPadding(16);
  for (int bpp : {8, 16, 24, 32}) {
    IDirectDrawSurface* s = Make(6, 3, bpp);
    const platform::PixelBuffer pb = s->pixels();
    ddraw::PoisonPadding(true);
    t_rows_watch = RowsWatch{static_cast<size_t>(pb.pitch) * 3, pb.pitch, 6 * bpp / 8, 3};
    RECT src{0, 0, 5, 3}, dst{1, 0, 6, 3};
    const HRESULT r = s->Blt(&dst, s, &src, DDBLT_WAIT, nullptr);
    const RowsWatch seen = t_rows_watch;
    t_rows_watch = RowsWatch{};
    ddraw::PoisonPadding(false);
    EXPECT_EQ(r, DD_OK);
    // The copy allocates beside the rows' block (its table of columns).
    EXPECT_GT(seen.looks, 0) << bpp << " bits: no block of the rows' size seen while the copy allocated";
    EXPECT_EQ(seen.bare, 0) << bpp << " bits: the rows read from have readable padding";
    s->Release();
  }
#endif
}

TEST_F(DdrawTest, LostSurfacesRefuseWorkUntilRestored) {
  IDirectDrawSurface* s = Make(2, 2, 32);
  ddraw::LoseAllSurfaces();
  EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
  EXPECT_EQ(s->GetBltStatus(DDGBS_CANBLT), DDERR_SURFACELOST);
  DDSURFACEDESC d{};
  EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
  DDBLTFX fx{};
  EXPECT_EQ(s->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACELOST);
  EXPECT_EQ(s->Restore(), DD_OK);
  EXPECT_EQ(s->IsLost(), DD_OK);
  s->Release();
}

TEST_F(DdrawTest, VideoMemoryPoolRunsOut) {
  ddraw::SetVideoMemory(100 * 100 * 4 + 10);
  IDirectDrawSurface* a = Make(100, 100, 32, DDSCAPS_VIDEOMEMORY | DDSCAPS_OFFSCREENPLAIN);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->in_video_memory());
  DDSURFACEDESC d{};
  d.dwSize = sizeof(d);
  d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  d.dwWidth = d.dwHeight = 100;
  d.ddsCaps.dwCaps = DDSCAPS_VIDEOMEMORY | DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface* b = nullptr;
  EXPECT_EQ(dd_->CreateSurface(&d, &b, nullptr), DDERR_OUTOFVIDEOMEMORY);
  // Without a memory named, the surface goes to system memory instead.
  d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  ASSERT_EQ(dd_->CreateSurface(&d, &b, nullptr), DD_OK);
  EXPECT_FALSE(b->in_video_memory());
  b->Release();
  a->Release();
  EXPECT_EQ(ddraw::VideoMemoryUsed(), 0u);
}

TEST_F(DdrawTest, PaletteColoursReachThePixelBuffer) {
  PALETTEENTRY e[256] = {};
  e[5] = {10, 20, 30, 0};
  IDirectDrawPalette* p = nullptr;
  ASSERT_EQ(dd_->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, e, &p, nullptr), DD_OK);
  IDirectDrawSurface* s = Make(2, 2, 8);
  EXPECT_EQ(s->pixels().palette[255], 0xFFFFFFu);  // 3-3-2 without a palette
  ASSERT_EQ(s->SetPalette(p), DD_OK);
  EXPECT_EQ(s->pixels().palette[5], 0x0A141Eu);
  PALETTEENTRY w{200, 100, 50, 0};
  p->SetEntries(0, 5, 1, &w);
  EXPECT_EQ(s->pixels().palette[5], 0xC86432u);
  p->Release();
  s->Release();
}

TEST_F(DdrawTest, ModesAndCapsBlock) {
  win32::SetDesktopDepth(32);
  std::vector<DWORD> seen;
  dd_->EnumDisplayModes(0, nullptr, &seen, [](DDSURFACEDESC* m, void* ctx) -> HRESULT {
    static_cast<std::vector<DWORD>*>(ctx)->push_back(m->ddpfPixelFormat.dwRGBBitCount);
    return DDENUMRET_OK;
  });
  EXPECT_EQ(seen.size(), 8u);  // 640 x 480 and the 1024 x 768 desktop, four depths each
  EXPECT_EQ(dd_->SetDisplayMode(640, 480, 16), DD_OK);
  EXPECT_EQ(win32::CurrentMode().bpp, 16);
  EXPECT_EQ(dd_->SetDisplayMode(800, 600, 16), DDERR_INVALIDMODE);
  EXPECT_EQ(dd_->RestoreDisplayMode(), DD_OK);
  EXPECT_EQ(win32::CurrentMode().bpp, 32);
  DDCAPS caps{};
  caps.dwSize = 100;
  EXPECT_NE(dd_->GetCaps(&caps, nullptr), DD_OK);
  caps.dwSize = sizeof(caps);
  EXPECT_EQ(dd_->GetCaps(&caps, nullptr), DD_OK);
  caps.dwSize = kDdcapsOldSize;
  EXPECT_EQ(dd_->GetCaps(&caps, nullptr), DD_OK);
}

}  // namespace
