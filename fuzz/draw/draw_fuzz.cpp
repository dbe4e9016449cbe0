// The layer's drawing calls listed below with numbers the input chooses,
// favouring the far edges of int and float and those of the target and its
// clip (a pixel either side of them): any position, size, colour,
// percentage, vertex or light draws its part inside the target (or nothing),
// never a fault, an overflow or a loop that grows with the numbers instead of
// the clipped area. Every call that clips must also leave each pixel outside
// the clip rectangle as it was (OutsideClip below), and every call, clipped
// or not, must leave the bytes past each surface row's pixels as they were
// (RowEnds below): the target's surfaces are made with rows longer than their
// pixels, so that a write past a row's right end shows on any row, not only
// on the last, where AddressSanitizer would see it. Under AddressSanitizer
// that padding is also poisoned while a call runs, so that a read past a
// row's end (a source rectangle one pixel too wide) stops where it happens.
//
// The first byte chooses the display: 8, 16, 24 or 32 bits, without a 3-D
// device, with the software one or with the hardware one (the effects'
// Direct3D paths), surfaces in system or video memory; 8 bits in system memory
// sit on a 32-bit desktop, so their fades move the palette. A display stays up
// while inputs ask for the same one. Then each call is a byte of operation and
// its arguments (Reader).
//
// Reached, by source: here the fills, blits, pixel effects, shapes, fades,
// text, targets, captures, locks, the software cursor and the host's paint;
// draw_more.cpp GDI's StretchDIBits, StretchBlt and InvertRect on the target's
// device context, AVI frames, the input method's composition, the line
// editors, the palette and its dither cells, and bitmaps that take another's
// copies; draw_scene.cpp meshes made from the input, billboards, indexed
// primitives, the draw queue, lights, fog, materials, render states and the
// transforms. Left out: the loaders (bitmaps, palettes and .x meshes have
// targets of their own), dxsavebmp (writes a file), dxplayavi (dxdrawavi until
// the video ends), and dxtrianglespans8/16/24/32, which write through a
// pointer and pitch the caller has already cut to the surface. Fades and line
// editors wait frames, so their length is kept to a few.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "fuzz/common/scratch.h"
#include "fuzz/draw/draw_fuzz.h"
#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/pixels.h"
#include "platform/win32/display.h"

namespace drawfuzz {

dx::bitmap* g_bitmaps[kBitmaps] = {};
host::HeadlessHost* g_host = nullptr;

namespace {

constexpr int kWidth = 160, kHeight = 120;
constexpr int kSizes[kBitmaps] = {8, 16, 8, 16};
// Bytes past every surface row's pixels: four pixels at 32 bits.
constexpr int kPadding = 16;
int g_config = -1;
bool g_font_changed = true;
int g_pushed = 0;
// Set by a call whose arguments chose a path that is unclipped by design.
bool g_plain = false;
// The call under way, for the padding checks made inside it.
const char* g_op = "";

void FillBitmap(dx::bitmap* b, int salt) {
  DDSURFACEDESC* d = dxlockbitmap(b, nullptr, DDLOCK_WAIT);
  if (!d) return;
  const int bytes = static_cast<int>(d->ddpfPixelFormat.dwRGBBitCount / 8);
  for (int y = 0; y < b->height; ++y)
    for (int x = 0; x < b->width; ++x) {
      // Every third pixel clear; the rest distinct, bright and dark.
      const uint32_t v = (x + y + salt) % 3 == 0 ? 0u : dxrgb(x * 37 + salt, y * 53, (x ^ y) * 29 + 1);
      std::memcpy(static_cast<uint8_t*>(d->lpSurface) + static_cast<ptrdiff_t>(y) * d->lPitch + x * bytes, &v,
                  static_cast<size_t>(bytes));
    }
  dxunlockbitmap(b, d);
}

void SetUp(int config) {
  if (config == g_config) return;
  dxrelease();
  soft3d::ResetForTests();
  ddraw::ResetForTests();
  ddraw::SetPitchPadding(kPadding);
  static constexpr int kDepths[4] = {8, 16, 24, 32};
  const int depth = kDepths[config & 3];
  const int device = config / 4 % 3;
  const bool vram = config >= 12;
  const int desktop = depth == 8 && !vram ? 32 : depth;
  win32::SetDesktopDepth(desktop);
  soft3d::SetHardware(device == 2);
  // A small screen: full-screen effects stay fast, and the numbers that
  // matter are those at the ends of int.
  if (!dxinit("fuzz", kWidth, kHeight, depth, false)) __builtin_trap();
  dxdesktopdepth = desktop;
  // In video memory the driver's raster operations draw some silhouettes.
  if (vram) dxusevram(true);
  if (device && !dxd3dinit()) __builtin_trap();
  for (int i = 0; i < kBitmaps; ++i) g_bitmaps[i] = dxnewbitmap(kSizes[i], kSizes[i]);
  g_config = config;
  g_font_changed = true;
}

// The render target's pixels outside the clip rectangle, kept before a call
// and compared after it: only those rows and columns are copied and compared.
class OutsideClip {
 public:
  void Take() {
    s_ = dxtarget;
    if (!s_) return;
    const platform::PixelBuffer pb = s_->pixels();
    bytes_ = pb.format.bpp / 8;
    w_ = pb.width, h_ = pb.height;
    const RECT& c = dxcliprect;
    left_ = std::clamp<LONG>(c.left, 0, w_), right_ = std::clamp<LONG>(c.right, left_, w_);
    top_ = std::clamp<LONG>(c.top, 0, h_), bottom_ = std::clamp<LONG>(c.bottom, top_, h_);
    if (left_ == right_ || top_ == bottom_) left_ = right_ = top_ = bottom_ = 0;
    if (left_ == 0 && top_ == 0 && right_ == w_ && bottom_ == h_) {
      s_ = nullptr;  // nothing lies outside
      return;
    }
    s_->AddRef();
    saved_.clear();
    Walk(pb, [this](const uint8_t* p, size_t n, int, int) { saved_.insert(saved_.end(), p, p + n); });
  }
  ~OutsideClip() {
    if (s_) s_->Release();
  }
  void Check(const char* name) {
    if (!s_) return;
    const uint8_t* kept = saved_.data();
    Walk(s_->pixels(), [&](const uint8_t* p, size_t n, int x, int y) {
      if (std::memcmp(p, kept, n) != 0) {
        x += static_cast<int>(std::mismatch(p, p + n, kept).first - p) / bytes_;
        std::fprintf(stderr, "%s changed (%d, %d), outside the clip rectangle (%ld, %ld, %ld, %ld) of %dx%d\n", name,
                     x, y, static_cast<long>(dxcliprect.left), static_cast<long>(dxcliprect.top),
                     static_cast<long>(dxcliprect.right), static_cast<long>(dxcliprect.bottom), w_, h_);
        __builtin_trap();
      }
      kept += n;
    });
  }

 private:
  // Calls f(pixels, bytes, x, y) for each run of the surface outside the clip.
  template <class F>
  void Walk(const platform::PixelBuffer& pb, F f) const {
    const size_t b = static_cast<size_t>(bytes_);
    for (int y = 0; y < h_; ++y) {
      const uint8_t* row = pb.bits + static_cast<ptrdiff_t>(y) * pb.pitch;
      if (y < top_ || y >= bottom_ || left_ == right_) {
        f(row, b * w_, 0, y);
        continue;
      }
      if (left_ > 0) f(row, b * left_, 0, y);
      if (right_ < w_) f(row + b * right_, b * (w_ - right_), right_, y);
    }
  }

  IDirectDrawSurface* s_ = nullptr;
  int bytes_ = 0, w_ = 0, h_ = 0;
  LONG left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
  std::vector<uint8_t> saved_;
};

// Under AddressSanitizer the padding is also poisoned while a call runs
// (ddraw::PoisonPadding), that of surfaces the call makes too; the byte check
// below still sees writes by code the sanitizer does not instrument
// (DDRAW_ASAN, from platform/ddraw/ddraw.h, says whether this build has it).
// The padding checks' own loops are left out of the coverage the fuzzer
// steers by (PIXELS_UNTRACED): their comparisons of the padding's bytes would
// only slow it.

// The padding past each surface row's pixels (kPadding bytes, and what the
// rows' alignment adds), which nothing may write: a write past a row's right
// end lands there on any row, where without it the next row's first pixel
// would take it unseen (AddressSanitizer sees only the last row's). Before a
// call the padding of every surface the target reaches gets a byte of its
// row's own; after the call each must still hold it. A surface the call made,
// or reached for the first time, is held to less: each row's padding must be
// all 0 (a new surface's bytes are clear) or all the byte an earlier call
// gave it.
class RowEnds {
 public:
  // Fills the padding of the surfaces reached now. Each is held until the
  // check, so that one let go during the call is still checked and no other
  // takes its address, except textures: the device lets go of one only when
  // its reference is the last.
  void Fill() {
    Reach(seen_);
    for (Seen& s : seen_) {
      s.held = !(s.s->caps() & DDSCAPS_TEXTURE);
      if (s.held) s.s->AddRef();
      FillPad(PadOf(s.s));
    }
    ddraw::PoisonPadding(true);
  }
  ~RowEnds() {
    for (const Seen& s : seen_)
      if (s.held) s.s->Release();
  }
  void Check(const char* name) const {
    ddraw::PoisonPadding(false);
    for (const Seen& s : seen_)
      if (s.held) Verify(s, name, false);
    std::vector<Seen> now;
    Reach(now);
    for (const Seen& s : now)
      if (std::none_of(seen_.begin(), seen_.end(), [&](const Seen& t) { return t.held && t.s == s.s; }))
        Verify(s, name, true);
  }
  // A bitmap the call made and lets go of before it ends.
  static void CheckMade(dx::bitmap* b, const char* name) {
#ifdef DDRAW_ASAN
    // Its padding has been poisoned since it was made: a write there has
    // already stopped, and reading it here would stop too.
    (void)b, (void)name;
#else
    std::vector<Seen> made;
    AddBitmap(made, b, -1);
    for (const Seen& s : made) Verify(s, name, true);
#endif
  }

 private:
  struct Seen {
    IDirectDrawSurface* s;
    const char* what;  // which of the display's surfaces, or which copy of a bitmap
    int bitmap;        // g_bitmaps' index; -1 another bitmap's, -2 none
    bool held;
  };
  // A surface's padding: where the first row's starts, its length, and the rows.
  struct Pad {
    uint8_t* first;
    size_t bytes;
    int pitch, rows;
  };

  static void Add(std::vector<Seen>& out, IDirectDrawSurface* s, const char* what, int bitmap) {
    if (s && std::none_of(out.begin(), out.end(), [s](const Seen& t) { return t.s == s; }))
      out.push_back({s, what, bitmap, false});
  }
  static void AddBitmap(std::vector<Seen>& out, dx::bitmap* b, int index) {
    Add(out, b->surface, "display copy", index);
    Add(out, b->syssurface, "system-memory copy", index);
    if (b->texture) Add(out, b->texture->surface(), "texture", index);
  }
  // The surfaces the calls draw into: the screen, the render target (a
  // bitmap's copy, or one pushed), the device's target and depth buffer, and
  // every copy of every bitmap. The software cursor's own two surfaces are
  // out of reach; the blits that draw into them are those checked on these.
  static void Reach(std::vector<Seen>& out) {
    Add(out, dxprimary, "the primary surface", -2);
    Add(out, dxbackbuffer, "the back buffer", -2);
    Add(out, dxtarget, "the render target", -2);
    Add(out, dxzbuffer, "the depth buffer", -2);
    if (dxd3ddevice) {
      IDirectDrawSurface* t = nullptr;
      if (dxd3ddevice->GetRenderTarget(&t) == D3D_OK && t) {
        Add(out, t, "the device's target", -2);
        t->Release();
      }
      Add(out, dxd3ddevice->depth_buffer(), "the device's depth buffer", -2);
    }
    for (dx::bitmap* b : dxlivebitmaps()) {
      const auto* i = std::find(std::begin(g_bitmaps), std::end(g_bitmaps), b);
      AddBitmap(out, b, i == std::end(g_bitmaps) ? -1 : static_cast<int>(i - std::begin(g_bitmaps)));
    }
  }

  static Pad PadOf(IDirectDrawSurface* s) {
    const platform::PixelBuffer pb = s->pixels();
    const int row = pb.width * (pb.format.bpp / 8);
    return {pb.bits + row, pb.pitch > row ? static_cast<size_t>(pb.pitch - row) : 0, pb.pitch, pb.height};
  }
  PIXELS_UNTRACED static uint8_t Byte(int y) { return static_cast<uint8_t>(0xA5 + 0x3D * y); }
  PIXELS_UNTRACED static uint8_t* Row(const Pad& p, int y) { return p.first + static_cast<ptrdiff_t>(y) * p.pitch; }
  PIXELS_UNTRACED static void FillPad(const Pad& p) {
    if (p.bytes == 0) return;
    for (int y = 0; y < p.rows; ++y) std::memset(Row(p, y), Byte(y), p.bytes);
  }
  // Whether all n bytes at q are v, eight at a time.
  PIXELS_UNTRACED static bool All(const uint8_t* q, size_t n, uint8_t v) {
    const uint64_t eight = 0x0101010101010101u * v;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      uint64_t w;
      std::memcpy(&w, q + i, 8);
      if (w != eight) return false;
    }
    for (; i < n; ++i)
      if (q[i] != v) return false;
    return true;
  }
  // The first row whose padding does not hold its byte (or all 0, where
  // that may be); -1 when none.
  PIXELS_UNTRACED static int BadRow(const Pad& p, bool clear) {
    if (p.bytes == 0) return -1;
    for (int y = 0; y < p.rows; ++y) {
      const uint8_t* q = Row(p, y);
      if (!All(q, p.bytes, clear && q[0] == 0 ? 0 : Byte(y))) return y;
    }
    return -1;
  }
  static void Verify(const Seen& s, const char* name, bool clear) {
    const Pad p = PadOf(s.s);
    const int y = BadRow(p, clear);
    if (y < 0) return;
    const uint8_t* q = Row(p, y);
    const uint8_t want = clear && q[0] == 0 ? 0 : Byte(y);
    const size_t i = static_cast<size_t>(std::find_if(q, q + p.bytes, [want](uint8_t v) { return v != want; }) - q);
    char which[64];
    if (s.bitmap == -2)
      std::snprintf(which, sizeof which, "%s", s.what);
    else if (s.bitmap == -1)
      std::snprintf(which, sizeof which, "another bitmap's %s", s.what);
    else
      std::snprintf(which, sizeof which, "bitmap %d's %s", s.bitmap, s.what);
    const platform::PixelBuffer pb = s.s->pixels();
    std::fprintf(stderr,
                 "%s changed the padding past row %d of %s (%dx%d, %d bits, rows of %d bytes %d apart): byte %zu is "
                 "0x%02x, not 0x%02x\n",
                 name, y, which, pb.width, pb.height, pb.format.bpp, pb.width * (pb.format.bpp / 8), pb.pitch, i, q[i],
                 want);
    __builtin_trap();
  }

  std::vector<Seen> seen_;
};

const char* const kTexts[] = {"", "A", "Hello, world", "\x82\xa0\x82\xa2 kana", "\x8a\xbf\x8e\x9a\n\ttab",
                              "\x82"};
const char16_t* const kWideTexts[] = {u"", u"W", u"\u3042\u3044 wide", u"\xd800 lone"};
const char* Text(Reader& in) { return kTexts[in.byte() % std::size(kTexts)]; }
const char16_t* WideText(Reader& in) { return kWideTexts[in.byte() % std::size(kWideTexts)]; }

// A bitmap the call made, drawn where the input says and let go.
void BltMade(Reader& in, dx::bitmap* made) {
  int x = in.i32();
  dxblt(made, x, in.i32());
  if (made) RowEnds::CheckMade(made, g_op);
  dxdeletebitmap(made);
}

// Calls of one shape each.
template <void (*F)(dx::bitmap*, int32_t, int32_t)>
void Blit(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int x = in.i32();
  F(b, x, in.i32());
}
template <void (*F)(dx::bitmap*, int32_t, int32_t, uint32_t)>
void BlitWith(Reader& in) {  // a percentage or a colour
  dx::bitmap* b = Bitmap(in);
  int x = in.i32(), y = in.i32();
  F(b, x, y, in.u32());
}
template <void (*F)(int32_t, int32_t, int32_t, int32_t, uint32_t)>
void Rect(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
  F(x, y, w, h, in.u32());
}
template <void (*F)(int32_t, int32_t, int32_t, int32_t, uint32_t, uint32_t)>
void RectPercent(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
  uint32_t c = in.u32();
  F(x, y, w, h, c, in.u32());
}
template <void (*F)(dx::bitmap*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t)>
void Blit6(Reader& in) {  // part blits (x, y, sx, sy, w, h) and affine ones (three corners)
  dx::bitmap* b = Bitmap(in);
  int a = in.i32(), c = in.i32(), d = in.i32(), e = in.i32(), f = in.i32();
  F(b, a, c, d, e, f, in.i32());
}
template <void (*F)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, uint32_t, uint32_t, bool)>
void Shape(Reader& in) {  // triangles and trapezoids
  const bool additive = in.byte() & 1;
  int a = in.i32(), b = in.i32(), c = in.i32(), d = in.i32(), e = in.i32(), f = in.i32();
  uint32_t pixel = in.u32();
  F(a, b, c, d, e, f, pixel, in.u32(), additive);
}
template <void (*F)(uint32_t, uint32_t)>
void Fade(Reader& in) {
  uint32_t c = in.u32();
  F(c, in.u32() % 40);  // a pass a frame: at most three
}

void Cls(Reader& in) { dxcls(in.u32()); }
void FillRgb(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32(), r = in.i32(), g = in.i32();
  dxfillrectrgb(x, y, w, h, r, g, in.i32());
}
void Frame(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
  uint32_t c = in.u32();
  dxrect(x, y, w, h, c, in.i32());
}
void SetPixel(Reader& in) {
  int x = in.i32(), y = in.i32();
  dxsetpixel(x, y, in.u32());
}
void GetPixel(Reader& in) {
  int x = in.i32();
  (void)dxgetpixel(x, in.i32());
}
void Line(Reader& in) {
  int x0 = in.i32(), y0 = in.i32(), x1 = in.i32(), y1 = in.i32();
  dxline(x0, y0, x1, y1, in.u32());
}
void Stretch(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int x = in.i32(), y = in.i32(), w = in.i32();
  dxstretchblt(b, x, y, w, in.i32());
}
void Mirror(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  const uint8_t flags = in.byte();
  int x = in.i32();
  dxbltmirror(b, x, in.i32(), flags & 1, flags & 2);
}
void Tile(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int x = in.i32(), y = in.i32(), w = in.i32();
  dxblttile(b, x, y, w, in.i32());
}
void Invert(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.i32();
  dxinvertrect(x, y, w, in.i32());
}
void InvertD3d(Reader& in) {
  int l = in.i32(), t = in.i32(), r = in.i32();
  dxinvertrectd3d(l, t, r, in.i32());
}
void Mesh(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int x = in.i32(), y = in.i32();
  uint32_t pattern[4];
  for (uint32_t& w : pattern) w = in.u32();
  dxbltmesh(b, x, y, pattern);
}
void Hue(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int x = in.i32(), y = in.i32();
  dxblthue(b, x, y, in.i32());
}
void Mask(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  dx::bitmap* m = Bitmap(in);
  int x = in.i32(), y = in.i32(), mx = in.i32();
  dxbltmask(b, x, y, m, mx, in.i32());
}
void Rotate(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int x = in.i32(), y = in.i32(), cx = in.i32(), cy = in.i32(), deg = in.i32();
  dxbltrotate(b, x, y, cx, cy, deg, in.i32());
}
void Wave(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int x = in.i32(), y = in.i32(), a = in.i32(), p = in.i32();
  dxbltwave(b, x, y, a, p, in.i32());
}
void Jitter(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int x = in.i32(), y = in.i32(), a = in.i32();
  g_plain = a < 1;  // drawn as a plain blit
  dxbltjitter(b, x, y, a);
}
void SilhouetteAlpha(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int x = in.i32(), y = in.i32();
  uint32_t c = in.u32();
  dxbltsilhouettealpha(b, x, y, c, in.u32());
}
void FillMesh(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
  uint32_t c = in.u32();
  uint32_t pattern[4];
  dxdithermask(in.i32(), pattern);
  dxfillrectmesh(x, y, w, h, c, pattern);
}
void Mosaic(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
  dxmosaic(x, y, w, h, in.i32());
}
void TextOut(Reader& in) {
  int x = in.i32(), y = in.i32();
  const char* t = Text(in);
  dxtextout(x, y, t, in.u32());
}
void TextOutW(Reader& in) {
  int x = in.i32(), y = in.i32();
  const char16_t* t = WideText(in);
  dxtextoutw(x, y, t, in.u32());
}
void Printf(Reader& in) {
  int x = in.i32(), y = in.i32();
  uint32_t c = in.u32();
  int a = in.i32();
  dxprintf(x, y, c, "%d:%s", a, Text(in));
}
void PrintfW(Reader& in) {
  int x = in.i32(), y = in.i32();
  uint32_t c = in.u32();
  int a = in.i32();
  dxprintfw(x, y, c, u"%d:%s", a, WideText(in));
}
void TextBitmap(Reader& in) {
  const char* t = Text(in);
  BltMade(in, dxtextbitmap(t, in.u32()));
  (void)dxtextwidth(t);
}
void TextBitmapW(Reader& in) {
  const char16_t* t = WideText(in);
  BltMade(in, dxtextbitmapw(t, in.u32()));
  (void)dxtextwidthw(t);
}
void Font(Reader& in) {
  const uint8_t style = in.byte();
  int h = in.small();
  dxsetfont("Gothic", h, in.small(), style & 1, style & 2, style & 4);
  g_font_changed = true;
  (void)dxfontheight();
  (void)dxtextheight();
}
void SetClip(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.i32();
  dxsetclip(x, y, w, in.i32());
}
void ResetClip(Reader&) { dxresetclip(); }
void Paint(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.i32();
  dxsetpaintrect(x, y, w, in.i32());
  dxpresent();
}
void Push(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  if (g_pushed < 8) dxpushtarget(b), ++g_pushed;
}
void PushSurface(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  if (g_pushed < 8) dxpushtargetsurface(dxgetsyssurface(b, true)), ++g_pushed;
}
void Pop(Reader& in) {
  const bool refresh = in.byte() & 1;
  if (g_pushed > 0) dxpoptarget(refresh), --g_pushed;
}
void Capture(Reader& in) {
  int x = in.i32(), y = in.i32(), w = in.small();
  int h = in.small();
  BltMade(in, dxcapture(x, y, w, h, in.byte() & 1));
}
void Lock(Reader& in) {
  RECT r;
  r.left = in.i32(), r.top = in.i32(), r.right = in.i32(), r.bottom = in.i32();
  const RECT asked = r;
  DDSURFACEDESC* d = dxlocktarget(&r, DDLOCK_WAIT);
  if (!d) return;
  // A granted lock covers the rectangle: touch its first and last pixel.
  const int bytes = static_cast<int>(d->ddpfPixelFormat.dwRGBBitCount / 8);
  const int64_t w = int64_t{asked.right} - asked.left, h = int64_t{asked.bottom} - asked.top;
  uint8_t* p = static_cast<uint8_t*>(d->lpSurface);
  if (w > 0 && h > 0) {
    volatile uint8_t first = p[0];
    volatile uint8_t last = p[(h - 1) * d->lPitch + w * bytes - 1];
    (void)first, (void)last;
  }
  dxunlocktarget(d);
}
void Cursor(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  int hx = in.i32(), hy = in.i32(), frames = in.i32(), ms = in.i32();
  host::MouseState m;
  // The host reports the mouse in window coordinates: near the window.
  m.x = static_cast<int>(in.i32() % 1024), m.y = static_cast<int>(in.i32() % 1024), m.inside = true;
  g_host->set_mouse(m);
  dxsetswcursor(b, hx, hy, frames, ms);
  dxdrawswcursorback();
  dxeraseswcursor();
  dxdrawswcursor();
}
void MirrorBitmap(Reader& in) {
  dx::bitmap* b = Bitmap(in);
  const uint8_t flags = in.byte();
  BltMade(in, dxmirrorbitmap(b, flags & 1, flags & 2));
}
void HostPaint(Reader& in) {
  // The host's own paint of the back buffer, through the paint rectangle.
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
  dxsetpaintrect(x, y, w, h);
  HDC dc = GetDC(dxmainwindow);
  x = in.i32();
  dxpaint(dc, x, in.i32());
  ReleaseDC(dxmainwindow, dc);
}

// The operations by number (draw_seeds.py reads the names in this order).
constexpr Op kOps[] = {
    {"dxcls", kClipped, Cls},
    {"dxfillrect", kClipped, Rect<dxfillrect>},
    {"dxfillrectrgb", kClipped, FillRgb},
    {"dxfillrectkey", kClipped, Rect<dxfillrectkey>},
    {"dxrect", kClipped, Frame},
    {"dxsetpixel", kClipped, SetPixel},
    {"dxgetpixel", kClipped, GetPixel},
    {"dxline", kClippedSoft, Line},
    {"dxblt", kUnclipped, Blit<dxblt>},
    {"dxbltnokey", kUnclipped, Blit<dxbltnokey>},
    {"dxbltpart", kClipped, Blit6<dxbltpart>},
    {"dxbltpartnokey", kClipped, Blit6<dxbltpartnokey>},
    {"dxstretchblt", kUnclipped, Stretch},
    {"dxbltunder", kUnclipped, Blit<dxbltunder>},
    {"dxbltmirror", kClipped, Mirror},
    {"dxblttile", kUnclipped, Tile},
    {"dxinvertrect", kClipped, Invert},
    {"dxinvertrectd3d", kUnclipped, InvertD3d},
    {"dxbltadd", kClipped, Blit<dxbltadd>},
    {"dxbltaddpct", kClipped, BlitWith<dxbltaddpct>},
    {"dxbltsub", kClipped, Blit<dxbltsub>},
    {"dxbltalpha", kClipped, BlitWith<dxbltalpha>},
    {"dxblthalf", kClipped, Blit<dxblthalf>},
    {"dxbltmesh", kClipped, Mesh},
    {"dxbltmeshpct", kClipped, BlitWith<dxbltmeshpct>},
    {"dxbltgray", kClipped, Blit<dxbltgray>},
    {"dxbltdarken", kClipped, Blit<dxbltdarken>},
    {"dxbltlighten", kClipped, Blit<dxbltlighten>},
    {"dxblthue", kClipped, Hue},
    {"dxbltmask", kClipped, Mask},
    {"dxbltaffine", kUnclipped, Blit6<dxbltaffine>},
    {"dxbltrotate", kUnclipped, Rotate},
    {"dxbltwave", kClipped, Wave},
    {"dxbltjitter", kClipped, Jitter},
    {"dxbltsilhouette", kClipped, BlitWith<dxbltsilhouette>},
    {"dxbltsilhouetteadd", kClipped, BlitWith<dxbltsilhouetteadd>},
    {"dxbltsilhouettealpha", kClipped, SilhouetteAlpha},
    {"dxfillrectalpha", kClipped, RectPercent<dxfillrectalpha>},
    {"dxfillrecthalf", kClipped, Rect<dxfillrecthalf>},
    {"dxfillrectadd", kClipped, Rect<dxfillrectadd>},
    {"dxfillrectsub", kClipped, Rect<dxfillrectsub>},
    {"dxfillrectmul", kClipped, Rect<dxfillrectmul>},
    {"dxfillrectdarken", kClipped, Rect<dxfillrectdarken>},
    {"dxfillrectlighten", kClipped, Rect<dxfillrectlighten>},
    {"dxfillrectmesh", kClipped, FillMesh},
    {"dxfillrectmeshpct", kClipped, RectPercent<dxfillrectmeshpct>},
    {"dxellipse", kClipped, Rect<dxellipse>},
    {"dxfillellipse", kClipped, Rect<dxfillellipse>},
    {"dxtriangle", kClippedSoft, Shape<dxtriangle>},
    {"dxtriangled3d", kUnclipped, Shape<dxtriangled3d>},
    {"dxtrapezoid", kClipped, Shape<dxtrapezoid>},
    {"dxmosaic", kClipped, Mosaic},
    {"dxfadeout", kUnclipped, Fade<dxfadeout>},
    {"dxfadein", kUnclipped, Fade<dxfadein>},
    {"dxtextout", kClipped, TextOut},
    {"dxtextoutw", kClipped, TextOutW},
    {"dxprintf", kClipped, Printf},
    {"dxprintfw", kClipped, PrintfW},
    {"dxtextbitmap", kUnclipped, TextBitmap},
    {"dxsetfont", kNoDraw, Font},
    {"dxsetclip", kNoDraw, SetClip},
    {"dxresetclip", kNoDraw, ResetClip},
    {"dxpresent", kNoDraw, Paint},
    {"dxpushtarget", kNoDraw, Push},
    {"dxpushtargetsurface", kNoDraw, PushSurface},
    {"dxpoptarget", kNoDraw, Pop},
    {"dxcapture", kUnclipped, Capture},
    {"dxlocktarget", kNoDraw, Lock},
    {"dxsetswcursor", kUnclipped, Cursor},
    {"dxmirrorbitmap", kUnclipped, MirrorBitmap},
    {"dxtextbitmapw", kUnclipped, TextBitmapW},
    {"dxpaint", kNoDraw, HostPaint},
};

void KeepFarEdges() {
  int32_t w = dxscreenwidth, h = dxscreenheight;
  if (dxtarget) {
    const platform::PixelBuffer pb = dxtarget->pixels();
    w = pb.width, h = pb.height;
  }
  g_far_edges[0] = w, g_far_edges[1] = h;
  g_far_edges[2] = dxcliprect.right, g_far_edges[3] = dxcliprect.bottom;
}

void Draw(Reader& in) {
  const std::span<const Op> tables[] = {kOps, MoreOps(), SceneOps()};
  size_t total = 0;
  for (const auto& t : tables) total += t.size();
  size_t n = in.byte() % total;
  for (const auto& t : tables) {
    if (n >= t.size()) {
      n -= t.size();
      continue;
    }
    const Op& op = t[n];
    KeepFarEdges();
    g_plain = false;
    g_op = op.name;
    OutsideClip outside;
    const bool check = op.clip == kClipped || (op.clip == kClippedSoft && !DevicePath());
    if (check) outside.Take();
    RowEnds ends;
    ends.Fill();
    op.run(in);
    ends.Check(op.name);
    if (check && !g_plain) outside.Check(op.name);
    return;
  }
}

}  // namespace

void NewBitmaps() {
  for (int i = 0; i < kBitmaps; ++i) {
    dxdeletebitmap(g_bitmaps[i]);
    g_bitmaps[i] = dxnewbitmap(kSizes[i], kSizes[i]);
  }
}

}  // namespace drawfuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace drawfuzz;
  host::HeadlessHost& h = InstallFuzzHost();
  g_host = &h;
  h.set_frames_kept(0);
  Reader in(data, size);
  SetUp(in.byte() % 24);
  if (g_font_changed) dxsetfont("Gothic", 12, 6, 0, 0, 0), g_font_changed = false;
  for (int i = 0; i < kBitmaps; ++i) FillBitmap(g_bitmaps[i], i);
  dxresetclip();
  dxcls(0);
  g_pushed = 0;
  // A bounded number of calls keeps each input to a few milliseconds.
  for (int calls = 0; in.more() && calls < 64; ++calls) Draw(in);
  // What the input left behind is undone, and ends a scene left open.
  RowEnds ends;
  ends.Fill();
  while (g_pushed-- > 0) dxpoptarget(false);
  dxsetswcursor(nullptr, 0, 0, 1, 1);
  EndSceneOps();
  EndMoreOps();
  dxresetclip();
  dxsetpaintrect(0, 0, dxscreenwidth, dxscreenheight);
  dxendopenscene();
  ends.Check("the end of the input");
  return 0;
}
