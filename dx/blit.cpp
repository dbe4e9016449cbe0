#include "dx/blit.h"

#include <algorithm>
#include <bit>

#include "dx/bitmap.h"
#include "dx/capture.h"
#include "dx/d3d.h"
#include "dx/color.h"
#include "dx/display.h"
#include "dx/dither.h"
#include "dx/target.h"
#include "platform/ddraw/ddraw.h"

namespace {

// Scripts can ask for any position and size: the far edge is worked out wide.
RECT Rect(int x, int y, int w, int h) { return dxrectat(x, y, w, h); }

HRESULT Fill(RECT* r, uint32_t pixel, DWORD extra) {
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = pixel;
  return dxtarget->Blt(r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT | extra, &fx);
}

HRESULT Fast(int x, int y, IDirectDrawSurface* s, RECT* src, DWORD flags) {
  // A negative position is no place on the target: the blit fails, as the
  // callers expect of a picture that leaves it.
  if (x < 0 || y < 0) return DDERR_INVALIDRECT;
  return dxtarget->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), s, src, flags | DDBLTFAST_WAIT);
}

void BltWhole(dx::bitmap* b, int x, int y, DWORD key) {
  if (!b || !dxtarget) return;
  IDirectDrawSurface* s = dxgetsurface(b, false);
  if (!s) return;
  RECT src{0, 0, b->width, b->height};
  if (Fast(x, y, s, &src, key) == DD_OK) return;
  RECT dst;
  if (dxclip(x, y, b->width, b->height, 0, 0, &dst, &src)) Fast(dst.left, dst.top, s, &src, key);
}

void BltPart(dx::bitmap* b, int x, int y, int sx, int sy, int w, int h, DWORD key) {
  if (!b || !dxtarget) return;
  IDirectDrawSurface* s = dxgetsurface(b, false);
  if (!s) return;
  RECT dst, src;
  if (dxclip(x, y, w, h, sx, sy, &dst, &src)) Fast(dst.left, dst.top, s, &src, key);
}

// The 4 x 4 pattern of pixel values that stands for an RGB colour at 8 and 16 bits.
void Pattern(int r, int g, int b, const platform::PixelFormat& format, uint32_t out[4][4]) {
  if (format.bpp == 16) {
    const uint32_t masks[3] = {format.rmask, format.gmask, format.bmask};
    const int values[3] = {r, g, b};
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) {
        uint32_t p = 0;
        int t = dx::dither_threshold[i][j];
        for (int c = 0; c < 3; ++c) {
          if (!masks[c]) continue;
          int shift = std::countr_zero(masks[c]);
          int m = static_cast<int>(masks[c] >> shift);
          int level = (values[c] * m) >> 8, fraction = (values[c] * m) & 255;
          p |= static_cast<uint32_t>(level + (fraction >= t ? 1 : 0)) << shift;
        }
        out[i][j] = p;
      }
    return;
  }
  if (dxdefaultpaletteflag) {
    uint32_t base = static_cast<uint32_t>(((r * 7) >> 8) << 5 | ((g * 7) >> 8) << 2 | (b * 3) >> 8);
    int fr = (r * 7) & 255, fg = (g * 7) & 255, fb = (b * 3) & 255;
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j) {
        int t = dx::dither_threshold[i][j];
        out[i][j] = base + (fr >= t ? 32 : 0) + (fg >= t ? 4 : 0) + (fb >= t ? 1 : 0);
      }
    return;
  }
  // A changed palette: carry the error from cell to cell, nearest entry each time.
  int ar = 0, ag = 0, ab = 0;
  for (int k = 0; k < 16; ++k) {
    ar += r, ag += g, ab += b;
    int best = 0;
    long best_d = -1;
    for (int e = 0; e < 256; ++e) {
      long dr = ar - dxpalette[e].peRed, dg = ag - dxpalette[e].peGreen, db = ab - dxpalette[e].peBlue;
      long d = dr * dr + dg * dg + db * db;
      if (best_d < 0 || d < best_d) best_d = d, best = e;
    }
    ar -= dxpalette[best].peRed, ag -= dxpalette[best].peGreen, ab -= dxpalette[best].peBlue;
    // The walk goes row by row; the pattern takes it transposed.
    out[k % 4][k / 4] = static_cast<uint32_t>(best);
  }
}

template <typename Pixel>
void FillPattern(uint8_t* bits, int pitch, int w, int h, const uint32_t pattern[4][4]) {
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = pattern[3 - ((h - y) & 3)];
    auto* out = reinterpret_cast<Pixel*>(bits + static_cast<ptrdiff_t>(y) * pitch);
    for (int x = 0; x < w; ++x) out[x] = static_cast<Pixel>(row[x & 3]);
  }
}

}  // namespace

void dxfillrect(int x, int y, int w, int h, uint32_t pixel) {
  if (!dxtarget) return;
  RECT r = Rect(x, y, w, h);
  if (dxcliptest(&r)) Fill(&r, pixel, 0);
}

void dxfillrectrgb(int x, int y, int w, int h, int r, int g, int b) {
  if (!dxtarget) return;
  RECT rect = Rect(x, y, w, h);
  if (!dxcliptest(&rect)) return;
  platform::PixelBuffer pb = dxtarget->pixels();
  if (pb.format.bpp >= 24) {
    Fill(&rect, dxrgb(r, g, b), 0);
    return;
  }
  r = std::clamp(r, 0, 255), g = std::clamp(g, 0, 255), b = std::clamp(b, 0, 255);
  uint32_t pattern[4][4];
  Pattern(r, g, b, pb.format, pattern);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  if (dxtarget->Lock(&rect, &desc, DDLOCK_WAIT, nullptr) != DD_OK) return;
  auto* bits = static_cast<uint8_t*>(desc.lpSurface);
  int pitch = static_cast<int>(desc.lPitch);
  int rw = rect.right - rect.left, rh = rect.bottom - rect.top;
  if (pb.format.bpp == 8)
    FillPattern<uint8_t>(bits, pitch, rw, rh, pattern);
  else
    FillPattern<uint16_t>(bits, pitch, rw, rh, pattern);
  dxtarget->Unlock(desc.lpSurface);
}

void dxfillrectkey(int x, int y, int w, int h, uint32_t pixel) {
  if (!dxtarget) return;
  RECT r = Rect(x, y, w, h);
  if (!dxcliptest(&r)) return;
  if (Fill(&r, pixel, DDBLT_KEYDEST) == DD_OK) return;
  // The driver cannot key a fill: fill, then put back what was not 0.
  int rw = r.right - r.left, rh = r.bottom - r.top;
  dx::bitmap* saved = dxcapture(r.left, r.top, rw, rh, false);
  Fill(&r, pixel, 0);
  IDirectDrawSurface* s = dxgetsurface(saved, false);
  RECT all{0, 0, rw, rh};
  if (s) Fast(r.left, r.top, s, &all, DDBLTFAST_SRCCOLORKEY);
  dxdeletebitmap(saved);
}

void dxdithermask(int percent, uint32_t masks[4]) {
  // In 64 bits: past 100 covers everything, below 0 nothing.
  const int64_t level = int64_t{percent} * 255 / 100;
  for (int r = 0; r < 4; ++r) {
    masks[r] = 0;
    for (int c = 0; c < 4; ++c)
      if (dx::dither_threshold[r][c] + level >= 256) masks[r] |= 0xFFu << (8 * c);
  }
}

void dxblt(dx::bitmap* b, int x, int y) { BltWhole(b, x, y, DDBLTFAST_SRCCOLORKEY); }
void dxbltnokey(dx::bitmap* b, int x, int y) { BltWhole(b, x, y, DDBLTFAST_NOCOLORKEY); }

void dxbltpart(dx::bitmap* b, int x, int y, int sx, int sy, int w, int h) {
  BltPart(b, x, y, sx, sy, w, h, DDBLTFAST_SRCCOLORKEY);
}
void dxbltpartnokey(dx::bitmap* b, int x, int y, int sx, int sy, int w, int h) {
  BltPart(b, x, y, sx, sy, w, h, DDBLTFAST_NOCOLORKEY);
}

void dxstretchblt(dx::bitmap* b, int x, int y, int w, int h) {
  // An empty or inverted destination draws nothing (and the retry below would
  // divide by its size).
  if (!b || !dxtarget || w <= 0 || h <= 0) return;
  IDirectDrawSurface* s = dxgetsurface(b, false);
  if (!s) return;
  int bw = b->width, bh = b->height;
  RECT src{0, 0, bw, bh};
  RECT dst = Rect(x, y, w, h);
  if (dxtarget->Blt(&dst, s, &src, DDBLT_KEYSRC | DDBLT_WAIT, nullptr) == DD_OK) return;
  int sw = dxscreenwidth, sh = dxscreenheight;
  auto scale = [](int64_t a, int64_t n, int64_t d) { return static_cast<LONG>(a * n / d); };
  if (dst.right > sw) src.right = scale(int64_t{sw} - x, bw, w), dst.right = sw;
  if (dst.bottom > sh) src.bottom = scale(int64_t{sh} - y, bh, h), dst.bottom = sh;
  if (x < 0) src.left = scale(-static_cast<int64_t>(x), bw, w), dst.left = 0;
  if (y < 0) src.top = scale(-static_cast<int64_t>(y), bh, h), dst.top = 0;
  if (dst.left >= dst.right || dst.top >= dst.bottom || src.left >= src.right || src.top >= src.bottom) return;
  dxtarget->Blt(&dst, s, &src, DDBLT_KEYSRC | DDBLT_WAIT, nullptr);
}

void dxbltunder(dx::bitmap* b, int x, int y) {
  if (!b || !dxtarget) return;
  IDirectDrawSurface* s = dxgetsurface(b, false);
  if (!s) return;
  RECT src{0, 0, b->width, b->height};
  if (Fast(x, y, s, &src, DDBLTFAST_DESTCOLORKEY) == DD_OK) return;
  RECT dst;
  if (!dxclip(x, y, b->width, b->height, 0, 0, &dst, &src)) return;
  if (Fast(dst.left, dst.top, s, &src, DDBLTFAST_DESTCOLORKEY) == DD_OK) return;
  // No destination keys: draw the picture over the area, then put back on top
  // everything of the area that was not 0.
  int w = dst.right - dst.left, h = dst.bottom - dst.top;
  dx::bitmap* saved = dxcapture(dst.left, dst.top, w, h, false);
  Fast(dst.left, dst.top, s, &src, DDBLTFAST_SRCCOLORKEY);
  IDirectDrawSurface* back = dxgetsurface(saved, false);
  RECT all{0, 0, w, h};
  if (back) Fast(dst.left, dst.top, back, &all, DDBLTFAST_SRCCOLORKEY);
  dxdeletebitmap(saved);
}

void dxbltmirror(dx::bitmap* b, int x, int y, bool left_right, bool up_down) {
  if (!b || !dxtarget) return;
  IDirectDrawSurface* s = dxgetsurface(b, false);
  if (!s) return;
  int w = b->width, h = b->height;
  RECT dst, src;
  const RECT& clip = dxcliprect;
  // Axis by axis: on a mirrored axis the columns cut at one edge of the
  // destination come from the opposite side of the source. Wide, as the
  // position may be anywhere.
  auto trim = [](int64_t d0, int64_t size, LONG c0, LONG c1, bool mirrored, LONG& out0, LONG& out1, LONG& src0,
                 LONG& src1) {
    int64_t d1 = d0 + size, s0 = 0, s1 = size;
    if (d1 > c1) {
      const int64_t cut = d1 - c1;
      d1 = c1;
      if (mirrored) s0 += cut; else s1 -= cut;
    }
    if (d0 < c0) {
      const int64_t cut = c0 - d0;
      d0 = c0;
      if (mirrored) s1 -= cut; else s0 += cut;
    }
    if (!(d0 < d1 && s0 < s1)) return false;
    out0 = static_cast<LONG>(d0), out1 = static_cast<LONG>(d1);
    src0 = static_cast<LONG>(s0), src1 = static_cast<LONG>(s1);
    return true;
  };
  if (!trim(x, w, clip.left, clip.right, left_right, dst.left, dst.right, src.left, src.right)) return;
  if (!trim(y, h, clip.top, clip.bottom, up_down, dst.top, dst.bottom, src.top, src.bottom)) return;
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwDDFX = (left_right ? DDBLTFX_MIRRORLEFTRIGHT : 0) | (up_down ? DDBLTFX_MIRRORUPDOWN : 0);
  if (dxtarget->Blt(&dst, s, &src, DDBLT_DDFX | DDBLT_KEYSRC | DDBLT_WAIT, &fx) == DD_OK) return;
  dx::bitmap* m = dxmirrorbitmap(b, left_right, up_down);
  dxblt(m, x, y);
  dxdeletebitmap(m);
}

void dxblttile(dx::bitmap* b, int x, int y, int w, int h) {
  if (!b || !dxtarget) return;
  IDirectDrawSurface* s = dxgetsurface(b, false);
  int bw = b->width, bh = b->height;
  // Every step advances by at least one pixel, so a degenerate tile cannot stall.
  if (!s || bw <= 0 || bh <= 0) return;
  // A piece that leaves the target fails, so only the bands and columns
  // that can lie on it are walked, in 64 bits: any position and size is a
  // short loop.
  DDSURFACEDESC d{};
  d.dwSize = sizeof d;
  if (dxtarget->GetSurfaceDesc(&d) != DD_OK) return;
  auto first = [](int64_t at, int64_t tile) { return at < 0 ? (-at + tile - 1) / tile * tile : int64_t{0}; };
  for (int64_t ty = first(y, bh); ty < h && y + ty < int64_t{d.dwHeight}; ty += bh) {
    const int64_t th = std::min<int64_t>(bh, h - ty);
    for (int64_t tx = first(x, bw); tx < w && x + tx < int64_t{d.dwWidth}; tx += bw) {
      RECT piece{0, 0, static_cast<LONG>(std::min<int64_t>(bw, w - tx)), static_cast<LONG>(th)};
      Fast(static_cast<int>(x + tx), static_cast<int>(y + ty), s, &piece, DDBLTFAST_SRCCOLORKEY);
    }
  }
}

void dxinvertrectd3d(int l, int t, int r, int b) {
  if (!dxd3ddevice) return;
  auto corner = [](int x, int y) {
    return D3DTLVERTEX{static_cast<D3DVALUE>(x), static_cast<D3DVALUE>(y), 0.5f, 0.5f, 0xFFFFFFFF, 0, 0, 0};
  };
  D3DTLVERTEX v[4] = {corner(l, t), corner(r, t), corner(r, b), corner(l, b)};
  dxd3ddevice->BeginScene();
  dxsetrenderstate(D3DRENDERSTATE_ZENABLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_ZWRITEENABLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_TEXTUREHANDLE, 0);
  dxsetrenderstate(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
  dxsetrenderstate(D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVDESTCOLOR);
  dxsetrenderstate(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO);
  dxd3ddevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DVT_TLVERTEX, v, 4, D3DDP_DONOTCLIP);
  if (dxddcaps.dwCaps2 & DDCAPS2_NO2DDURING3DSCENE) dxd3ddevice->EndScene();
}

void dxinvertrect(int x, int y, int w, int h) {
  if (!dxtarget) return;
  RECT r = Rect(x, y, w, h);
  if (!dxcliptest(&r)) return;
  if (dxeffectcaps[DXFX_INVERT] && dxtarget == dxbackbuffer) {
    dxinvertrectd3d(r.left, r.top, r.right, r.bottom);
    return;
  }
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwROP = DSTINVERT;
  if (dxtarget->Blt(&r, nullptr, nullptr, DDBLT_ROP | DDBLT_WAIT, &fx) == DD_OK) return;
  HDC dc = dxgetdc();
  if (!dc) return;
  InvertRect(dc, &r);
  dxreleasedc(dc);
}
