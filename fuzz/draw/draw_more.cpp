// The drawing fuzz target's calls beyond the layer's own fills and blits: GDI
// on the render target's device context, AVI frames, the input method's
// composition and the line editors, the palette, and bitmaps that take
// another's copies.
#include <deque>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/common/memfile.h"
#include "fuzz/draw/draw_fuzz.h"
#include "tests/dxrest/avi.h"

namespace drawfuzz {
namespace {

bool g_ime = false, g_palette = false, g_shared = false;
int g_avi = -1;  // the AVI open, by number

// A packed DIB: its header, its colour table or masks, then its rows.
struct Dib {
  std::vector<uint8_t> bytes;
  const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(bytes.data()); }
  size_t offset = 0;  // of the pixels
  const void* bits() const { return bytes.data() + offset; }
};

// A DIB of any depth GDI takes (height < 0: top-down), its pixels a pattern.
Dib MakeDib(int bits, int w, int h, uint32_t compression) {
  BITMAPINFOHEADER head{};
  head.biSize = sizeof head;
  head.biWidth = w, head.biHeight = h;
  head.biPlanes = 1, head.biBitCount = static_cast<WORD>(bits);
  head.biCompression = compression;
  std::string table;
  if (bits <= 8)
    for (int i = 0; i < (1 << bits); ++i) avi::U32(table, static_cast<uint32_t>(i * 0x010305 + 0x402010) & 0xFFFFFF);
  if (compression == BI_BITFIELDS) {
    avi::U32(table, bits == 16 ? 0xF800 : 0xFF0000);
    avi::U32(table, bits == 16 ? 0x07E0 : 0x00FF00);
    avi::U32(table, bits == 16 ? 0x001F : 0x0000FF);
  }
  const size_t stride = (static_cast<size_t>(w) * bits + 31) / 32 * 4;
  std::string all(reinterpret_cast<const char*>(&head), sizeof head);
  all += table;
  Dib d;
  d.offset = all.size();
  for (size_t i = 0; i < stride * static_cast<size_t>(h < 0 ? -h : h); ++i) all += static_cast<char>(i * 37 + 11);
  d.bytes.assign(all.begin(), all.end());
  return d;
}

const std::vector<Dib>& Dibs() {
  static const std::vector<Dib> dibs = {
      MakeDib(1, 9, 3, BI_RGB),         MakeDib(4, 5, -3, BI_RGB),         MakeDib(8, 7, 5, BI_RGB),
      MakeDib(16, 5, 4, BI_RGB),        MakeDib(16, 5, -4, BI_BITFIELDS), MakeDib(24, 7, 4, BI_RGB),
      MakeDib(32, 4, -4, BI_RGB),       MakeDib(32, 3, 3, BI_BITFIELDS),
  };
  return dibs;
}

// Uncompressed AVIs in memory files: frames of 8 bits (with their colour
// table), 16, 24 and 32 bits, one with sound; shown a second a frame, except
// one that ends at once, so that both drawing and the end are reached.
struct AviFile {
  int bits, w, h, frames;
  uint32_t rate;
  bool audio;
};
constexpr AviFile kAvis[] = {{8, 6, 4, 3, 1, false}, {16, 5, -3, 2, 1000, false}, {24, 7, 5, 3, 1, true},
                             {32, 4, 4, 3, 1, false}};

std::string AviBytes(const AviFile& a) {
  const Dib dib = MakeDib(a.bits, a.w, a.h, BI_RGB);
  const std::string format(dib.bytes.begin(), dib.bytes.begin() + static_cast<ptrdiff_t>(dib.offset));
  const std::string frame(dib.bytes.begin() + static_cast<ptrdiff_t>(dib.offset), dib.bytes.end());
  const int height = a.h < 0 ? -a.h : a.h;
  std::string strl = avi::List("strl", avi::Chunk("strh", avi::StreamHeader("vids", "DIB ", 1, a.rate,
                                                                           static_cast<uint32_t>(a.frames), 0, a.w,
                                                                           height)) +
                                           avi::Chunk("strf", format));
  std::string movi;
  for (int i = 0; i < a.frames; ++i) movi += avi::Chunk("00db", frame);
  if (a.audio) {
    std::string wf;
    avi::U16(wf, 1), avi::U16(wf, 1), avi::U32(wf, 11025), avi::U32(wf, 11025), avi::U16(wf, 1), avi::U16(wf, 8);
    const std::string samples(64, '\x80');
    strl += avi::List("strl", avi::Chunk("strh", avi::StreamHeader("auds", "\0\0\0\0", 1, 11025, 64, 1, 0, 0)) +
                                  avi::Chunk("strf", wf));
    movi += avi::Chunk("01wb", samples);
  }
  return testriff::Form("AVI ", avi::List("hdrl", avi::Chunk("avih", std::string(56, '\0')) + strl) +
                                    avi::List("movi", movi));
}

const char* AviName(size_t i) {
  static std::deque<MemFile> files;
  if (files.empty())
    for (const AviFile& a : kAvis) {
      const std::string bytes = AviBytes(a);
      files.emplace_back("draw.avi", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
  return files[i].name();
}

// The frame due of an AVI the input picks, opened when another (or none) is.
void Avi(Reader& in) {
  const int which = in.byte() % static_cast<int>(std::size(kAvis));
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32();
  if (g_avi != which || !dxaviopen()) {
    g_avi = dxopenavi(AviName(static_cast<size_t>(which))) ? which : -1;
    if (g_avi < 0) __builtin_trap();  // every one of them is a valid file
  }
  (void)dxdrawavi(x, y, w, h);
}

// GDI through the render target's device context, clipped to the clip rectangle.
void StretchDibits(Reader& in) {
  const Dib& d = Dibs()[in.byte() % Dibs().size()];
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32(), sx = in.i32(), sy = in.i32(), sw = in.i32();
  int sh = in.i32();
  const DWORD rop = in.byte() & 1 ? SRCCOPY : in.u32();
  if (HDC dc = dxgetdc()) {
    StretchDIBits(dc, x, y, w, h, sx, sy, sw, sh, d.bits(), d.info(), DIB_RGB_COLORS, rop);
    dxreleasedc(dc);
  }
}
void InvertRectDc(Reader& in) {
  RECT r;
  r.left = in.i32(), r.top = in.i32(), r.right = in.i32(), r.bottom = in.i32();
  if (HDC dc = dxgetdc()) {
    InvertRect(dc, &r);
    dxreleasedc(dc);
  }
}
void StretchBltDc(Reader& in) {
  // From a bitmap's context, or from the target's own (an overlapping copy).
  const uint8_t from = in.byte();
  dx::bitmap* b = g_bitmaps[from % kBitmaps];
  int x = in.i32(), y = in.i32(), w = in.i32(), h = in.i32(), sx = in.i32(), sy = in.i32(), sw = in.i32();
  int sh = in.i32();
  HDC src = from & 4 ? nullptr : dxgetbitmapdc(b, false);
  if (HDC dc = dxgetdc()) {
    StretchBlt(dc, x, y, w, h, src ? src : dc, sx, sy, sw, sh, SRCCOPY);
    dxreleasedc(dc);
  }
  if (src) dxreleasebitmapdc(b, src);
}

// The headless host moves its input on with the frames presented, and a
// paint rectangle off the screen presents none: the whole screen is shown
// while the host is to deliver input.
void ShowFrames() { dxsetpaintrect(0, 0, dxscreenwidth, dxscreenheight); }

// The input method: a composition the host sends, then drawn anywhere.
const char* const kCompositions[] = {"", "a", "\xe3\x81\x8b\xe3\x81\xaa",
                                     ("\xe4\xbb\x8a\xe6\x97\xa5\xe3\x81\xaf\xe8\x89\xaf\xe3\x81\x84\xe5\xa4\xa9"
                                      "\xe6\xb0\x97\xe3\x81\xa7\xe3\x81\x99\xe3\x81\xad")};
void Compose(Reader& in) {
  const char* text = kCompositions[in.byte() % std::size(kCompositions)];
  int cursor = in.i32(), length = in.i32();
  ShowFrames();
  dximeon();
  g_ime = true;
  g_host->compose(g_host->frames_presented() + 1, text, cursor, length);
  dxupdate();
}
void DrawIme(Reader& in) {
  int x = in.i32();
  dxdrawime(x, in.i32());
}
void ImeOff(Reader&) { dximeoff(); }

// A line editor, fed what the input types and ended by Enter or Escape; it
// sets the clip rectangle of its own and puts the captured screen back.
const char* const kTyped[] = {"x", "\xe3\x81\x82", "abc\xe6\xbc\xa2", "\t\x01", "0123456789"};
constexpr int kKeys[] = {host::key::Left,      host::key::Right,  host::key::Home,  host::key::End,
                         host::key::Delete,    host::key::Backspace, host::key::Return, host::key::Escape};
template <class T>
void InputLine(Reader& in) {
  int x = in.i32(), y = in.i32(), width = in.i32();
  const int size = in.byte() % 24;
  const uint8_t initial = in.byte();
  const uint32_t pixel = in.u32();
  ShowFrames();
  uint64_t f = g_host->frames_presented() + 1;
  for (int n = in.byte() % 6; n > 0; --n) {
    const uint8_t kind = in.byte();
    if (kind % 3 == 0) g_host->text(f, kTyped[kind / 3 % std::size(kTyped)]);
    if (kind % 3 == 1) g_host->key_press(f, kKeys[kind / 3 % std::size(kKeys)]);
    if (kind % 3 == 2) g_host->compose(f, kCompositions[kind / 3 % std::size(kCompositions)], kind / 12, 1);
    f += 1 + kind % 2;
  }
  // Whatever came before, a composition ends and the line is left.
  g_host->compose(f + 1, "", 0, 0);
  for (uint64_t k = 2; k <= 8; k += 3) g_host->key_press(f + k, in.byte() & 1 ? host::key::Return : host::key::Escape);
  T buffer[24];
  if constexpr (sizeof(T) == 1) {
    dxinputline(x, y, width, buffer, size, initial & 1 ? "ab\x82\xa0" : nullptr, pixel);
  } else {
    dxinputlinew(x, y, width, buffer, size, initial & 1 ? u"ab\u3042" : nullptr, pixel);
  }
  while (!g_host->script_done()) dxupdate();  // the keys go up again
  dxclearchars();
}

// The palette (8 bits; a no-op elsewhere) and its dither cells.
void SetPalette(Reader& in) {
  int i = in.i32(), r = in.i32(), g = in.i32();
  dxsetpalette(i, r, g, in.i32());
  g_palette = true;
}
void ResetPalette(Reader& in) {
  dxresetpalette(in.byte() & 1);
  g_palette = true;
}
void RealizePalette(Reader& in) {
  dxsystempaletteuse(in.byte() & 1 ? SYSPAL_STATIC : SYSPAL_NOSTATIC);
  dxrealizepalette();
  g_palette = true;
}
void DitherIndex(Reader& in) {
  int x = in.i32(), y = in.i32(), r = in.i32(), g = in.i32(), b = in.i32();
  volatile uint8_t index = dxditherindex(x, y, r, g, b);
  volatile uint8_t first = dxdithercell(r, g, b).index[0];
  volatile uint32_t rgb = dxpixelrgb(dxrgb(r, g, b));
  (void)index, (void)first, (void)rgb;
}

// A bitmap takes another's copies, or those of a capture let go at once.
void Assign(Reader& in) {
  dx::bitmap* target = Bitmap(in);
  const uint8_t from = in.byte();
  g_shared = true;
  if (from < 0x80) {
    dxassignbitmap(target, g_bitmaps[from % kBitmaps]);
    return;
  }
  int x = in.i32(), y = in.i32(), w = in.small();
  dx::bitmap* made = dxcapture(x, y, w, in.small(), from & 1);
  dxassignbitmap(target, made);
  dxdeletebitmap(made);
}

constexpr Op kOps[] = {
    {"StretchDIBits", kClipped, StretchDibits},
    {"InvertRect", kClipped, InvertRectDc},
    {"StretchBlt", kClipped, StretchBltDc},
    {"dxdrawavi", kClipped, Avi},
    {"dximeon", kNoDraw, Compose},
    {"dxdrawime", kClipped, DrawIme},
    {"dximeoff", kNoDraw, ImeOff},
    {"dxinputline", kUnclipped, InputLine<char>},
    {"dxinputlinew", kUnclipped, InputLine<char16_t>},
    {"dxsetpalette", kNoDraw, SetPalette},
    {"dxresetpalette", kNoDraw, ResetPalette},
    {"dxrealizepalette", kNoDraw, RealizePalette},
    {"dxditherindex", kNoDraw, DitherIndex},
    {"dxassignbitmap", kNoDraw, Assign},
};

}  // namespace

std::span<const Op> MoreOps() { return kOps; }

void EndMoreOps() {
  if (g_ime) dximeoff(), dxclearchars(), g_ime = false;
  if (g_palette) dxresetpalette(true), g_palette = false;
  if (g_shared) NewBitmaps(), g_shared = false;
  if (g_avi >= 0) dxcloseavi(), g_avi = -1;
}

}  // namespace drawfuzz
