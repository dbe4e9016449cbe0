// Window frames and buttons.
#include "game/win.h"

#include <algorithm>
#include <cstdint>

#include "dx/dx.h"
#include "game/picture.h"

const char GameFontFace[] = "ＭＳ ゴシック";

int HeldPlace(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
int NearScreen(int v) { return std::clamp(v, -(1 << 30), 1 << 30); }
const char kWindowSkin[] = "data/system/win.png";

namespace {

constexpr int kBorderHeight = 19;
constexpr int kButtonHeight = 32;

int Held(int64_t v) { return HeldPlace(v); }

// The first and last steps of a row of `step`-wide pieces at x + off (off from
// `first` while below `end`) that can reach into the clip rectangle: the
// others draw nothing, and a far-off or huge window would take ages to skip
// piece by piece.
void VisibleSteps(int64_t x, int64_t first, int64_t end, int64_t step, int64_t& from, int64_t& to) {
  from = first, to = end;
  const int64_t lead = int64_t{dxcliprect.left} - step - x;  // pieces at off <= lead end left of the clip
  if (lead >= from) from += (lead - from) / step * step;
  const int64_t past = int64_t{dxcliprect.right} - x;  // pieces at off >= past start right of it
  if (past < to) to = std::max(from, past);
}

// One border row: corners at both ends, edge pieces between, the last gap
// filled by a narrower cut of the edge piece.
void DrawBorder(dx::bitmap* skin, int x, int y, int w, int sy) {
  dxbltpart(skin, x, y, 0, sy, 32, kBorderHeight);
  int64_t off, end;
  VisibleSteps(x, 32, int64_t{w} - 64, 32, off, end);
  for (; off < end; off += 32) dxbltpart(skin, Held(x + off), y, 32, sy, 32, kBorderHeight);
  // Where the whole row would have stopped.
  off = int64_t{w} - 64 > 32 ? 32 + (int64_t{w} - 64 - 32 + 31) / 32 * 32 : 32;
  if (off < int64_t{w} - 32) dxbltpart(skin, Held(x + off), y, 32, sy, Held(int64_t{w} - 32 - off), kBorderHeight);
  dxbltpart(skin, Held(int64_t{x} + w - 32), y, 64, sy, 32, kBorderHeight);
}

void DrawButtonFrame(int x, int y, int w, int sy) {
  dx::bitmap* skin = readIMG(kWindowSkin);
  if (w < 32) w = 32;
  dxbltpart(skin, x, y, 0, sy, 16, kButtonHeight);
  int64_t off, end;
  VisibleSteps(x, 16, int64_t{w} - 16, 16, off, end);
  for (; off < end; off += 16) dxbltpart(skin, Held(x + off), y, 32, sy, 16, kButtonHeight);
  off = int64_t{w} - 16 > 16 ? 16 + (int64_t{w} - 16 - 16 + 15) / 16 * 16 : 16;
  dxbltpart(skin, Held(x + off), y, 80, sy, 16, kButtonHeight);
}

// A new bitmap holding `source` stretched to w x h (cleared to 0 first).
dx::bitmap* StretchedCopy(dx::bitmap* source, int w, int h) {
  dx::bitmap* b = dxnewbitmap(w, h);
  dxpushtarget(b);
  dxcls(0);
  dxstretchblt(source, 0, 0, w, h);
  dxpoptarget(true);
  return b;
}

NinePieces g_frame_outer{};
NinePieces g_frame_inner{};
bool g_nine_loaded = false;

}  // namespace

void DrawWindowFrame(int x, int y, int w, int h, int percent) {
  if (w < 64) w = 64;
  if (h < 64) h = 64;
  dx::bitmap* skin = readIMG(kWindowSkin);
  DrawBorder(skin, x, y, w, 0);
  dxfillrectalpha(x, Held(int64_t{y} + kBorderHeight), w, h - 2 * kBorderHeight, dxrgb(255, 255, 255),
                  static_cast<uint32_t>(percent));
  DrawBorder(skin, x, Held(int64_t{y} + h - kBorderHeight), w, 45);
}

void DrawWindowSel(int x, int y, int w) { DrawButtonFrame(x, y, w, 80); }
void DrawWindowNormal(int x, int y, int w) { DrawButtonFrame(x, y, w, 112); }

void DrawTextButton(int x, int y, int w, const char* caption, int normal) {
  if (!caption) caption = "";
  dxsetfont(GameFontFace, 12, 8, 0, 0, 1);
  if (normal)
    DrawWindowNormal(x, y, w);
  else
    DrawWindowSel(x, y, w);
  int tw = dxtextwidth(caption);
  int fh = dxfontheight();
  if (int64_t{tw} + 8 < w && fh < 16) {
    dxtextout(Held(x + (int64_t{w} - tw) / 2), Held(int64_t{y} + (kButtonHeight - fh) / 2), caption, dxrgb(0, 0, 0));
    return;
  }
  // Too wide: squeeze it into the button's inner band.
  dx::bitmap* text = dxnewbitmap(tw, fh);
  dxpushtarget(text);
  dxtextout(0, 0, caption, dxrgb(1, 1, 1));
  dxpoptarget(true);
  dxstretchblt(text, Held(int64_t{x} + 8), Held(int64_t{y} + 8), Held(int64_t{w} - 16), 16);
  dxdeletebitmap(text);
}

void LoadNinePieces(NinePieces* pieces, const char* file, int pw, int ph) {
  for (dx::bitmap*& p : pieces->piece) p = nullptr;
  dx::bitmap* picture = LoadPngBitmap(file);
  if (!picture) return;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) {
      dx::bitmap* p = dxnewbitmap(pw, ph);
      dxpushtarget(p);
      dxbltpartnokey(picture, 0, 0, col * pw, row * ph, pw, ph);
      dxpoptarget(true);
      pieces->piece[row * 3 + col] = p;
    }
  dxdeletebitmap(picture);
}

dx::bitmap* BuildNineFrame(const NinePieces* pieces, int w, int h) {
  dx::bitmap* frame = dxnewbitmap(w, h);
  dxpushtarget(frame);
  dxcls(0);
  dx::bitmap* const* p = pieces->piece;
  if (p[0]) {
    int pw = dxbitmapwidth(p[0]);
    int ph = dxbitmapheight(p[0]);
    if (p[2]) dxbltnokey(p[2], w - pw, 0);
    if (p[6]) dxbltnokey(p[6], 0, h - ph);
    if (p[8]) dxbltnokey(p[8], w - pw, h - ph);
    dxbltnokey(p[0], 0, 0);
    if (p[1]) dxstretchblt(p[1], pw, 0, w - 2 * pw, ph);
    if (p[3]) dxstretchblt(p[3], 0, ph, pw, h - 2 * ph);
    if (p[4]) dxstretchblt(p[4], pw, ph, w - 2 * pw, h - 2 * ph);
    if (p[5]) dxstretchblt(p[5], w - pw, ph, pw, h - 2 * ph);
    if (p[7]) dxstretchblt(p[7], pw, h - ph, w - 2 * pw, ph);
  }
  dxpoptarget(true);
  return frame;
}

void DrawNineFrameWindow(NineFrameCache* cache, int x, int y, int w, int h, int p) {
  if (!g_nine_loaded) {
    LoadNinePieces(&g_frame_outer, "data/system/w1.png", 32, 32);
    LoadNinePieces(&g_frame_inner, "data/system/w2.png", 32, 32);
    g_nine_loaded = true;
  }
  if (!cache->outer) cache->outer = BuildNineFrame(&g_frame_outer, w, h);
  if (!cache->inner) cache->inner = BuildNineFrame(&g_frame_inner, w, h);
  int w1 = w - w * p * 2 / 100, h1 = h - h * p * 2 / 100;
  int w2 = w - w * p / 100, h2 = h - h * p / 100;
  if (w1 > 0 && h1 > 0) {
    int ox = x + (w - w1) / 2, oy = y + (h - h1) / 2;
    dx::bitmap* outer = StretchedCopy(cache->outer, w1, h1);
    dxfillrectalpha(ox - 2, oy - 2, w1 + 4, h1 + 4, dxrgb(0, 0, 0), 30);
    dxfillrectalpha(ox - 1, oy - 1, w1 + 2, h1 + 2, dxrgb(0, 0, 0), 50);
    dxbltaddpct(outer, ox, oy, 255);
    dxdeletebitmap(outer);
  }
  if (w2 > 0 && h2 > 0) {
    dx::bitmap* inner = StretchedCopy(cache->inner, w2, h2);
    dxbltalpha(inner, x + (w - w2) / 2, y + (h - h2) / 2, static_cast<uint32_t>((100 - p) * 80 / 100));
    dxdeletebitmap(inner);
  }
}

void FreeNineFrame(NineFrameCache* cache) {
  dxdeletebitmap(cache->outer);
  dxdeletebitmap(cache->inner);
  cache->outer = nullptr;
  cache->inner = nullptr;
}
