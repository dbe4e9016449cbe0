// Every drawing call of the layer with ints the input chooses, favouring the
// far edges of int: any position, size, colour or percentage draws its part
// inside the target (or nothing), never a fault, an overflow or a loop that
// grows with the numbers instead of the clipped area.
//
// The first byte chooses the display: 16 or 32 bits, without a 3-D device,
// with the software one, or with the hardware one (the effects' Direct3D
// paths), surfaces in system or video memory. A display stays up while inputs
// ask for the same one. Then each call is a byte of operation and its
// arguments (Reader below).
//
// Left out, as they are not drawing: the 3-D scene calls (meshes, billboards,
// lights, fog take floats and meshes, fuzzed by the .x target), dxsavebmp
// (writes a file), device contexts (GDI's drawing, reached through text here),
// and dxtrianglespans8/16/24/32, which write through a pointer and pitch the
// caller has already cut to the surface. Fades wait a frame per pass, so their
// duration is kept to a few frames.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

#include "dx/dx.h"
#include "fuzz/common/scratch.h"
#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/win32/display.h"

namespace {

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool more() const { return p_ < end_; }
  uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
  // One tag byte: 0x00-0x3F small (-16..47), 0x40-0x5F an edge value,
  // 0x60-0x7F an edge value moved by a signed byte, 0x80-0xBF 16 bits,
  // 0xC0-0xFF 32 bits.
  int32_t i32() {
    // Small values have tags of their own; these are the screen's edges
    // (this one's and the game's), percentages, 16-bit and int limits.
    static constexpr int32_t kEdges[32] = {
        0,       1,           -1,          119,         120,         159,         160,     8,
        15,      16,          100,         255,         256,         320,         479,     480,
        639,     640,         1000,        65535,       65536,       1 << 20,     INT_MAX, INT_MIN,
        INT_MAX - 1, INT_MIN + 1, INT_MIN / 2, INT_MAX / 2, -640,       -480,        1536,    101};
    const uint8_t t = byte();
    if (t < 0x40) return t - 16;
    if (t < 0x60) return kEdges[t & 31];
    if (t < 0x80) return static_cast<int32_t>(static_cast<uint32_t>(kEdges[t & 31]) +
                                              static_cast<uint32_t>(static_cast<int8_t>(byte())));
    uint32_t v = 0;
    const int n = t < 0xC0 ? 2 : 4;
    for (int i = 0; i < n; ++i) v |= static_cast<uint32_t>(byte()) << (8 * i);
    return n == 2 ? static_cast<int16_t>(v) : static_cast<int32_t>(v);
  }
  uint32_t u32() { return static_cast<uint32_t>(i32()); }
  // Sizes of things the call makes (fonts, captured bitmaps): small either way.
  int32_t small() { return static_cast<int32_t>(static_cast<int64_t>(i32()) % 65); }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

constexpr int kWidth = 160, kHeight = 120;
host::HeadlessHost* g_host = nullptr;
int g_config = -1;
bool g_font_changed = true;
// Source bitmaps with clear (0) pixels, a mask and a canvas to draw into.
dx::bitmap* g_bitmaps[4] = {};
constexpr int kSizes[4] = {8, 16, 8, 16};

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
  const int depth = config & 1 ? 32 : 16;
  const int device = config / 2 % 3;
  const bool vram = config >= 6;
  win32::SetDesktopDepth(depth);
  soft3d::SetHardware(device == 2);
  // A small screen: full-screen effects stay fast, and the numbers that
  // matter are those at the ends of int.
  if (!dxinit("fuzz", kWidth, kHeight, depth, false)) __builtin_trap();
  dxdesktopdepth = depth;
  // In video memory the driver's raster operations draw some silhouettes.
  if (vram) dxusevram(true);
  if (device && !dxd3dinit()) __builtin_trap();
  for (int i = 0; i < 4; ++i) g_bitmaps[i] = dxnewbitmap(kSizes[i], kSizes[i]);
  g_config = config;
  g_font_changed = true;
}

const char* const kTexts[] = {"", "A", "Hello, world", "\x82\xa0\x82\xa2 kana", "\x8a\xbf\x8e\x9a\n\ttab",
                              "\x82"};
const char16_t* const kWideTexts[] = {u"", u"W", u"\u3042\u3044 wide", u"\xd800 lone"};

void Draw(Reader& in, int& pushed) {
  auto bmp = [&in] { return g_bitmaps[in.byte() & 3]; };
  auto pct = [&in] { return in.u32(); };
  // A bitmap the call made, drawn where the input says and let go.
  auto blt_made = [&in](dx::bitmap* made) {
    int x = in.i32();
    dxblt(made, x, in.i32());
    dxdeletebitmap(made);
  };
  const uint8_t op = in.byte();
  // The blits that take a bitmap and a place, and those that add a percentage.
  static constexpr std::pair<int, void (*)(dx::bitmap*, int, int)> kBlits[] = {
      {8, dxblt},     {9, dxbltnokey}, {13, dxbltunder}, {18, dxbltadd},     {20, dxbltsub},
      {22, dxblthalf}, {25, dxbltgray}, {26, dxbltdarken}, {27, dxbltlighten}};
  static constexpr std::pair<int, void (*)(dx::bitmap*, int, int, uint32_t)> kPercentBlits[] = {
      {19, dxbltaddpct}, {21, dxbltalpha}, {24, dxbltmeshpct}};
  for (const auto& [n, blit] : kBlits)
    if (op % 72 == n) {
      dx::bitmap* b = bmp();
      int x = in.i32();
      blit(b, x, in.i32());
      return;
    }
  for (const auto& [n, blit] : kPercentBlits)
    if (op % 72 == n) {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32();
      blit(b, x, y, pct());
      return;
    }
  switch (op % 72) {
    default:
    case 0: dxcls(in.u32()); break;
    case 1: {
      int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
      dxfillrect(x, y, w, h, in.u32());
      break;
    }
    case 2: {
      int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32(), r = in.i32(), g = in.i32();
      dxfillrectrgb(x, y, w, h, r, g, in.i32());
      break;
    }
    case 3: {
      int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
      dxfillrectkey(x, y, w, h, in.u32());
      break;
    }
    case 4: {
      int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
      uint32_t c = in.u32();
      dxrect(x, y, w, h, c, in.i32());
      break;
    }
    case 5: {
      int x = in.i32(), y = in.i32();
      dxsetpixel(x, y, in.u32());
      break;
    }
    case 6: {
      int x = in.i32();
      (void)dxgetpixel(x, in.i32());
      break;
    }
    case 7: {
      int x0 = in.i32(), y0 = in.i32(), x1 = in.i32(), y1 = in.i32();
      dxline(x0, y0, x1, y1, in.u32());
      break;
    }
    case 10:
    case 11: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32(), sx = in.i32(), sy = in.i32(), w = in.i32(), h = in.i32();
      if (op % 72 == 10)
        dxbltpart(b, x, y, sx, sy, w, h);
      else
        dxbltpartnokey(b, x, y, sx, sy, w, h);
      break;
    }
    case 12: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32(), w = in.i32();
      dxstretchblt(b, x, y, w, in.i32());
      break;
    }
    case 14: {
      dx::bitmap* b = bmp();
      const uint8_t flags = in.byte();
      int x = in.i32();
      dxbltmirror(b, x, in.i32(), flags & 1, flags & 2);
      break;
    }
    case 15: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32(), w = in.i32();
      dxblttile(b, x, y, w, in.i32());
      break;
    }
    case 16: {
      int x = in.i32(), y = in.i32(), w = in.i32();
      dxinvertrect(x, y, w, in.i32());
      break;
    }
    case 17: {
      int l = in.i32(), t = in.i32(), r = in.i32();
      dxinvertrectd3d(l, t, r, in.i32());
      break;
    }
    case 23: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32();
      uint32_t pattern[4];
      for (uint32_t& w : pattern) w = in.u32();
      dxbltmesh(b, x, y, pattern);
      break;
    }
    case 28: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32();
      dxblthue(b, x, y, in.i32());
      break;
    }
    case 29: {
      dx::bitmap* b = bmp();
      dx::bitmap* m = bmp();
      int x = in.i32(), y = in.i32(), mx = in.i32();
      dxbltmask(b, x, y, m, mx, in.i32());
      break;
    }
    case 30: {
      dx::bitmap* b = bmp();
      int x0 = in.i32(), y0 = in.i32(), x1 = in.i32(), y1 = in.i32(), x2 = in.i32();
      dxbltaffine(b, x0, y0, x1, y1, x2, in.i32());
      break;
    }
    case 31: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32(), cx = in.i32(), cy = in.i32(), deg = in.i32();
      dxbltrotate(b, x, y, cx, cy, deg, in.i32());
      break;
    }
    case 32: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32(), a = in.i32(), p = in.i32();
      dxbltwave(b, x, y, a, p, in.i32());
      break;
    }
    case 33: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32();
      dxbltjitter(b, x, y, in.i32());
      break;
    }
    case 34: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32();
      dxbltsilhouette(b, x, y, in.u32());
      break;
    }
    case 35: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32();
      dxbltsilhouetteadd(b, x, y, in.u32());
      break;
    }
    case 36: {
      dx::bitmap* b = bmp();
      int x = in.i32(), y = in.i32();
      uint32_t c = in.u32();
      dxbltsilhouettealpha(b, x, y, c, pct());
      break;
    }
    case 37:
    case 38:
    case 39:
    case 40:
    case 41:
    case 42:
    case 43:
    case 44:
    case 45: {
      int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
      uint32_t c = in.u32();
      switch (op % 72) {
        case 37: dxfillrectalpha(x, y, w, h, c, pct()); break;
        case 38: dxfillrecthalf(x, y, w, h, c); break;
        case 39: dxfillrectadd(x, y, w, h, c); break;
        case 40: dxfillrectsub(x, y, w, h, c); break;
        case 41: dxfillrectmul(x, y, w, h, c); break;
        case 42: dxfillrectdarken(x, y, w, h, c); break;
        case 43: dxfillrectlighten(x, y, w, h, c); break;
        case 44: {
          uint32_t pattern[4];
          dxdithermask(in.i32(), pattern);
          dxfillrectmesh(x, y, w, h, c, pattern);
          break;
        }
        default: dxfillrectmeshpct(x, y, w, h, c, pct()); break;
      }
      break;
    }
    case 46:
    case 47: {
      int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
      if (op % 72 == 46)
        dxellipse(x, y, w, h, in.u32());
      else
        dxfillellipse(x, y, w, h, in.u32());
      break;
    }
    case 48:
    case 49: {
      const uint8_t additive = in.byte() & 1;
      int x0 = in.i32(), y0 = in.i32(), x1 = in.i32(), y1 = in.i32(), x2 = in.i32(), y2 = in.i32();
      uint32_t c = in.u32();
      if (op % 72 == 48)
        dxtriangle(x0, y0, x1, y1, x2, y2, c, pct(), additive);
      else
        dxtriangled3d(x0, y0, x1, y1, x2, y2, c, pct(), additive);
      break;
    }
    case 50: {
      const uint8_t additive = in.byte() & 1;
      int tl = in.i32(), tr = in.i32(), bl = in.i32(), br = in.i32(), ty = in.i32(), by = in.i32();
      uint32_t c = in.u32();
      dxtrapezoid(tl, tr, bl, br, ty, by, c, pct(), additive);
      break;
    }
    case 51: {
      int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
      dxmosaic(x, y, w, h, in.i32());
      break;
    }
    case 52:
    case 53: {
      uint32_t c = in.u32();
      const uint32_t ms = in.u32() % 40;  // a pass a frame: at most three
      if (op % 72 == 52)
        dxfadeout(c, ms);
      else
        dxfadein(c, ms);
      break;
    }
    case 54: {
      int x = in.i32(), y = in.i32();
      const char* t = kTexts[in.byte() % std::size(kTexts)];
      dxtextout(x, y, t, in.u32());
      break;
    }
    case 55: {
      int x = in.i32(), y = in.i32();
      const char16_t* t = kWideTexts[in.byte() % std::size(kWideTexts)];
      dxtextoutw(x, y, t, in.u32());
      break;
    }
    case 56: {
      int x = in.i32(), y = in.i32();
      uint32_t c = in.u32();
      int a = in.i32();
      dxprintf(x, y, c, "%d:%s", a, kTexts[in.byte() % std::size(kTexts)]);
      break;
    }
    case 57: {
      int x = in.i32(), y = in.i32();
      uint32_t c = in.u32();
      int a = in.i32();
      dxprintfw(x, y, c, u"%d:%s", a, kWideTexts[in.byte() % std::size(kWideTexts)]);
      break;
    }
    case 58: {
      const char* t = kTexts[in.byte() % std::size(kTexts)];
      blt_made(dxtextbitmap(t, in.u32()));
      (void)dxtextwidth(t);
      break;
    }
    case 59: {
      const uint8_t style = in.byte();
      int h = in.small();
      dxsetfont("Gothic", h, in.small(), style & 1, style & 2, style & 4);
      g_font_changed = true;
      (void)dxfontheight();
      (void)dxtextheight();
      break;
    }
    case 60: {
      int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
      dxsetclip(x, y, w, h);
      break;
    }
    case 61: dxresetclip(); break;
    case 62: {
      int x = in.i32(), y = in.i32(), w = in.i32();
      dxsetpaintrect(x, y, w, in.i32());
      dxpresent();
      break;
    }
    case 63: {
      dx::bitmap* b = bmp();
      if (pushed < 8) dxpushtarget(b), ++pushed;
      break;
    }
    case 64: {
      dx::bitmap* b = bmp();
      if (pushed < 8) dxpushtargetsurface(dxgetsyssurface(b, true)), ++pushed;
      break;
    }
    case 65: {
      const bool refresh = in.byte() & 1;
      if (pushed > 0) dxpoptarget(refresh), --pushed;
      break;
    }
    case 66: {
      int x = in.i32(), y = in.i32(), w = in.small();
      int h = in.small();
      dx::bitmap* b = dxcapture(x, y, w, h, in.byte() & 1);
      x = in.i32();
      dxblt(b, x, in.i32());
      dxdeletebitmap(b);
      break;
    }
    case 67: {
      RECT r;
      r.left = in.i32(), r.top = in.i32(), r.right = in.i32(), r.bottom = in.i32();
      const RECT asked = r;
      DDSURFACEDESC* d = dxlocktarget(&r, DDLOCK_WAIT);
      if (d) {
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
      break;
    }
    case 68: {
      dx::bitmap* b = bmp();
      int hx = in.i32(), hy = in.i32(), frames = in.i32(), ms = in.i32();
      host::MouseState m;
      // The host reports the mouse in window coordinates: near the window.
      m.x = static_cast<int>(in.i32() % 1024), m.y = static_cast<int>(in.i32() % 1024), m.inside = true;
      g_host->set_mouse(m);
      dxsetswcursor(b, hx, hy, frames, ms);
      dxdrawswcursorback();
      dxeraseswcursor();
      dxdrawswcursor();
      break;
    }
    case 69: {
      dx::bitmap* b = bmp();
      const uint8_t flags = in.byte();
      blt_made(dxmirrorbitmap(b, flags & 1, flags & 2));
      break;
    }
    case 70: {
      const char16_t* t = kWideTexts[in.byte() % std::size(kWideTexts)];
      blt_made(dxtextbitmapw(t, in.u32()));
      (void)dxtextwidthw(t);
      break;
    }
    case 71: {
      // The host's own paint of the back buffer, through the paint rectangle.
      int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
      dxsetpaintrect(x, y, w, h);
      HDC dc = GetDC(dxmainwindow);
      x = in.i32();
      dxpaint(dc, x, in.i32());
      ReleaseDC(dxmainwindow, dc);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  host::HeadlessHost& h = InstallFuzzHost();
  g_host = &h;
  h.set_frames_kept(0);
  Reader in(data, size);
  SetUp(in.byte() % 12);
  if (g_font_changed) dxsetfont("Gothic", 12, 6, 0, 0, 0), g_font_changed = false;
  for (int i = 0; i < 4; ++i) FillBitmap(g_bitmaps[i], i);
  dxresetclip();
  dxcls(0);
  int pushed = 0;
  // A bounded number of calls keeps each input to a few milliseconds.
  for (int calls = 0; in.more() && calls < 64; ++calls) Draw(in, pushed);
  while (pushed-- > 0) dxpoptarget(false);
  dxsetswcursor(nullptr, 0, 0, 1, 1);
  dxresetclip();
  dxsetpaintrect(0, 0, dxscreenwidth, dxscreenheight);
  dxendopenscene();
  return 0;
}
