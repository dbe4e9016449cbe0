#include "dx/texture.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "dx/bitmap.h"
#include "dx/d3d.h"
#include "dx/display.h"
#include "dx/error.h"
#include "dx/package.h"
#include "platform/pixels.h"

DDPIXELFORMAT dxtextureformat{};
IDirect3DDevice2* dxtextureformatdevice = nullptr;
std::map<std::string, dx::bitmap*> dxtexturecache;
std::vector<dxtextureloader> dxtextureloaders;

namespace {

constexpr const char* kPpmFailed = "ビットマップ \"%s\" のロードに失敗しました。";

bool DisplayHasPalette() { return dxscreendepth == 8 && dxddpalette; }

// Copies the source picture into the texture through GDI.
bool CopyPicture(IDirectDrawSurface* texture, IDirectDrawSurface* source, int w0, int h0, int tw, int th,
                 bool stretch) {
  if (!stretch) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0;
    texture->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  }
  HDC to = nullptr, from = nullptr;
  if (texture->GetDC(&to) != DD_OK) return false;
  if (source->GetDC(&from) != DD_OK) {
    texture->ReleaseDC(to);
    return false;
  }
  // The display's palette in both, so that 8-bit pictures keep their indices.
  if (dxscreendepth == 8 && dxgdipalette) {
    SelectPalette(to, dxgdipalette, FALSE);
    SelectPalette(from, dxgdipalette, FALSE);
  }
  if (stretch) StretchBlt(to, 0, 0, tw, th, from, 0, 0, w0, h0, SRCCOPY);
  else StretchBlt(to, 0, 0, w0, h0, from, 0, 0, w0, h0, SRCCOPY);
  source->ReleaseDC(from);
  texture->ReleaseDC(to);
  return true;
}

template <int B>
void KeyToAlpha(uint8_t* pixels, int pitch, int width, int height, uint32_t mask) {
  for (int y = 0; y < height; ++y) {
    uint8_t* p = pixels + static_cast<ptrdiff_t>(y) * pitch;
    for (int x = 0; x < width; ++x, p += B) {
      const uint32_t v = platform::LoadPixel<B>(p);
      platform::StorePixel<B>(p, v == 0 ? v & ~mask : v | mask);
    }
  }
}

}  // namespace

HRESULT dxenumtextureformat(DDSURFACEDESC* format, void* best_ptr) {
  auto* best = static_cast<DDPIXELFORMAT*>(best_ptr);
  const DDPIXELFORMAT& f = format->ddpfPixelFormat;
  if (!(f.dwFlags & DDPF_RGB) || f.dwRGBBitCount < 8) return DDENUMRET_OK;
  const bool fpal = (f.dwFlags & DDPF_PALETTEINDEXED8) != 0;
  if (fpal && !DisplayHasPalette()) return DDENUMRET_OK;
  const DWORD depth = static_cast<DWORD>(dxscreendepth);
  auto take = [&] {
    *best = f;
    return DDENUMRET_OK;
  };
  if (best->dwSize == 0) return take();
  const bool fdisp = f.dwRGBBitCount == depth, bdisp = best->dwRGBBitCount == depth;
  if (fdisp && !bdisp) return take();
  if (!fdisp && bdisp) return DDENUMRET_OK;
  const bool fcomp = (f.dwFlags & DDPF_COMPRESSED) != 0, bcomp = (best->dwFlags & DDPF_COMPRESSED) != 0;
  if (fcomp != bcomp) {
    // Compressed formats save video memory; in system memory they only cost.
    if (dxvram == fcomp) return take();
    return DDENUMRET_OK;
  }
  if (f.dwRGBBitCount < best->dwRGBBitCount) return take();
  if (f.dwRGBBitCount > best->dwRGBBitCount) return DDENUMRET_OK;
  const bool bpal = (best->dwFlags & DDPF_PALETTEINDEXED8) != 0;
  if (fpal && !bpal) return take();
  if (bpal && !fpal) return DDENUMRET_OK;
  if (!(f.dwFlags & DDPF_ALPHAPIXELS) && (best->dwFlags & DDPF_ALPHAPIXELS)) return take();
  return DDENUMRET_OK;
}

void dxtexturesize(int& width, int& height) {
  const D3DDEVICEDESC& d = dxdevicedesc;
  width = std::max<int>(width, static_cast<int>(d.dwMinTextureWidth));
  height = std::max<int>(height, static_cast<int>(d.dwMinTextureHeight));
  if (d.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_POW2) {
    auto pow2 = [](int v) {
      int p = 1;
      while (p < v && p < (1 << 30)) p <<= 1;
      return p;
    };
    width = pow2(width);
    height = pow2(height);
  }
  if (d.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) width = height = std::max(width, height);
  if (d.dwMaxTextureWidth) width = std::min<int>(width, static_cast<int>(d.dwMaxTextureWidth));
  if (d.dwMaxTextureHeight) height = std::min<int>(height, static_cast<int>(d.dwMaxTextureHeight));
}

IDirectDrawSurface* dxcreatetexture(IDirectDrawSurface* source, bool stretch) {
  if (!source || !dxdd) return nullptr;
  DDSURFACEDESC sd{};
  sd.dwSize = sizeof sd;
  if (source->GetSurfaceDesc(&sd) != DD_OK) return nullptr;
  if (!(sd.ddsCaps.dwCaps & DDSCAPS_TEXTURE)) {
    const int w0 = static_cast<int>(sd.dwWidth), h0 = static_cast<int>(sd.dwHeight);
    int tw = w0, th = h0;
    dxtexturesize(tw, th);
    if (!stretch && (w0 > tw || h0 > th)) return nullptr;
    if (dxd3ddevice != dxtextureformatdevice) {
      dxtextureformatdevice = dxd3ddevice;
      std::memset(&dxtextureformat, 0, sizeof dxtextureformat);
      if (dxd3ddevice) dxd3ddevice->EnumTextureFormats(dxenumtextureformat, &dxtextureformat);
    }
    DDSURFACEDESC td{};
    td.dwSize = sizeof td;
    td.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    td.dwWidth = static_cast<DWORD>(tw);
    td.dwHeight = static_cast<DWORD>(th);
    td.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    if (!dxhaldevice) td.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    else if (!(dxdevicedesc.dwDevCaps & D3DDEVCAPS_TLVERTEXVIDEOMEMORY)) td.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY;
    td.ddpfPixelFormat = dxtextureformat;
    IDirectDrawSurface* t = nullptr;
    if (dxdd->CreateSurface(&td, &t, nullptr) != DD_OK || !t) return nullptr;
    if (DisplayHasPalette()) t->SetPalette(dxddpalette);
    CopyPicture(t, source, w0, h0, tw, th, stretch);
    dxkeytoalpha(t);
    DDCOLORKEY key;
    if (source->GetColorKey(DDCKEY_SRCBLT, &key) == DD_OK) t->SetColorKey(DDCKEY_SRCBLT, &key);
    if (source->GetColorKey(DDCKEY_DESTBLT, &key) == DD_OK) t->SetColorKey(DDCKEY_DESTBLT, &key);
    return t;
  }
  if (!dxhaldevice || (sd.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY)) {
    source->AddRef();
    return source;
  }
  DDSURFACEDESC cd = sd;
  cd.dwFlags &= DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_CKSRCBLT | 0x80 /* alpha depth */ |
                0x20000 /* mip-map count */;
  cd.ddsCaps.dwCaps = (cd.ddsCaps.dwCaps & ~DDSCAPS_SYSTEMMEMORY) | DDSCAPS_VIDEOMEMORY | DDSCAPS_ALLOCONLOAD;
  IDirectDrawSurface* copy = nullptr;
  if (dxdd->CreateSurface(&cd, &copy, nullptr) != DD_OK || !copy) return nullptr;
  IDirect3DTexture2 *from = nullptr, *to = nullptr;
  bool loaded = SUCCEEDED(Direct3DTextureOf(source, &from)) && SUCCEEDED(Direct3DTextureOf(copy, &to)) &&
                SUCCEEDED(to->Load(from));
  if (from) from->Release();
  if (to) to->Release();
  if (!loaded) {
    copy->Release();
    return nullptr;
  }
  return copy;
}

void dxkeytoalpha8(uint8_t* p, int pitch, int w, int h, uint32_t mask) { KeyToAlpha<1>(p, pitch, w, h, mask); }
void dxkeytoalpha16(uint8_t* p, int pitch, int w, int h, uint32_t mask) { KeyToAlpha<2>(p, pitch, w, h, mask); }
void dxkeytoalpha24(uint8_t* p, int pitch, int w, int h, uint32_t mask) { KeyToAlpha<3>(p, pitch, w, h, mask); }
void dxkeytoalpha32(uint8_t* p, int pitch, int w, int h, uint32_t mask) { KeyToAlpha<4>(p, pitch, w, h, mask); }

void dxkeytoalpha(IDirectDrawSurface* texture) {
  DDSURFACEDESC d{};
  d.dwSize = sizeof d;
  if (texture->GetSurfaceDesc(&d) != DD_OK) return;
  const DDPIXELFORMAT& f = d.ddpfPixelFormat;
  if (!(f.dwFlags & DDPF_RGB) || !(f.dwFlags & DDPF_ALPHAPIXELS) || !f.dwRGBAlphaBitMask) return;
  if (texture->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return;
  auto* p = static_cast<uint8_t*>(d.lpSurface);
  const int w = static_cast<int>(d.dwWidth), h = static_cast<int>(d.dwHeight);
  switch (f.dwRGBBitCount) {
    case 8: dxkeytoalpha8(p, d.lPitch, w, h, f.dwRGBAlphaBitMask); break;
    case 16: dxkeytoalpha16(p, d.lPitch, w, h, f.dwRGBAlphaBitMask); break;
    case 24: dxkeytoalpha24(p, d.lPitch, w, h, f.dwRGBAlphaBitMask); break;
    case 32: dxkeytoalpha32(p, d.lPitch, w, h, f.dwRGBAlphaBitMask); break;
  }
  texture->Unlock(d.lpSurface);
}

dx::bitmap* dxloadtexture(const char* name) {
  const std::string key = name ? name : "";
  auto hit = dxtexturecache.find(key);
  if (hit != dxtexturecache.end()) return hit->second;
  dx::bitmap* b = nullptr;
  for (dxtextureloader hook : dxtextureloaders)
    if ((b = hook(name)) != nullptr) break;
  if (!b) {
    if (dx::file* f = dxfopen(name)) {
      const auto* d = static_cast<const char*>(dxfdata(f));
      const uint32_t n = dxfsize(f);
      if (n >= 2 && d[0] == 'B' && d[1] == 'M') b = dxloadbitmapgdi(name);
      else if (n >= 3 && d[0] == 'P' && d[1] == '6' && d[2] == '\n') b = dxloadppm(name);
      dxfclose(f);
    }
  }
  if (b) dxtexturecache[key] = b;
  return b;
}

void dxaddtextureloader(dxtextureloader hook) {
  auto it = std::find(dxtextureloaders.begin(), dxtextureloaders.end(), hook);
  if (it != dxtextureloaders.end()) dxtextureloaders.erase(it);
  dxtextureloaders.insert(dxtextureloaders.begin(), hook);
}

void dxreleasetexturecache() {
  for (auto& [name, b] : dxtexturecache) dxdeletebitmap(b);
  dxtexturecache.clear();
}

bool dxparseppm(const void* data, size_t size, BITMAPINFOHEADER& header, std::vector<uint8_t>& bits) {
  const auto* d = static_cast<const uint8_t*>(data);
  if (size < 3 || d[0] != 'P' || d[1] != '6' || d[2] != '\n') return false;
  size_t p = 3;
  auto space = [&](size_t at) { return at < size && (d[at] == ' ' || d[at] == '\t' || d[at] == '\r' || d[at] == '\n'); };
  // A decimal number and its digits; false without one.
  auto number = [&](long& v) {
    v = 0;
    size_t s = p;
    while (p < size && d[p] >= '0' && d[p] <= '9') {
      if (v < 1000000) v = v * 10 + (d[p] - '0');
      ++p;
    }
    return p > s;
  };
  // Width, one separator, height; then the separators up to the maximum value,
  // which one character ends. (Skipping a fixed five characters after the
  // height's separator would eat the first pixel byte of a plain header.)
  long w, h, max;
  if (!number(w) || !space(p++) || !number(h) || !space(p)) return false;
  while (space(p)) ++p;
  if (!number(max) || !space(p++)) return false;
  if (w <= 0 || h <= 0 || max <= 0 || max > 255 || p > size) return false;
  const size_t inrow = static_cast<size_t>(w) * 3;
  if (inrow > (size - p) / static_cast<size_t>(h)) return false;  // the pixels must all be there
  const size_t outrow = (inrow + 3) & ~static_cast<size_t>(3);
  bits.assign(outrow * static_cast<size_t>(h), 0);
  for (long y = 0; y < h; ++y) {
    const uint8_t* in = d + p + inrow * static_cast<size_t>(y);
    uint8_t* out = bits.data() + outrow * static_cast<size_t>(h - 1 - y);
    for (long x = 0; x < w; ++x) {
      out[3 * x] = in[3 * x + 2];
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
  }
  std::memset(&header, 0, sizeof header);
  header.biSize = sizeof header;
  header.biWidth = static_cast<LONG>(w);
  header.biHeight = static_cast<LONG>(h);
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = 0;
  return true;
}

dx::bitmap* dxloadppm(const char* name) {
  dx::file* f = dxfopen(name);
  if (!f) dxerror(kPpmFailed, name ? name : "");
  BITMAPINFO info{};
  std::vector<uint8_t> bits;
  if (!dxparseppm(dxfdata(f), dxfsize(f), info.bmiHeader, bits)) {
    dxfclose(f);
    dxerror(kPpmFailed, name ? name : "");
  }
  dx::bitmap* b = nullptr;
  try {
    b = dxloaddibgdi(&info, bits.data());
  } catch (...) {
    dxfclose(f);
    throw;
  }
  dxfclose(f);
  return b;
}

namespace {

// The textures made for bitmaps, each with its reference. The bitmap holds the
// same pointer as a cache; when it lets go of it (its pixels changed, its
// surfaces were dropped) the texture here is made again.
std::map<dx::bitmap*, IDirect3DTexture2*> g_bitmaptextures;
size_t g_prunesize = 64;

// Drops the textures of bitmaps that no longer exist.
void PruneBitmapTextures() {
  const std::vector<dx::bitmap*>& live = dxlivebitmaps();
  std::set<dx::bitmap*> alive(live.begin(), live.end());
  for (auto it = g_bitmaptextures.begin(); it != g_bitmaptextures.end();) {
    if (alive.count(it->first)) {
      ++it;
    } else {
      it->second->Release();
      it = g_bitmaptextures.erase(it);
    }
  }
  g_prunesize = std::max<size_t>(64, 2 * g_bitmaptextures.size());
}

}  // namespace

IDirect3DTexture2* dxbitmaptexture(dx::bitmap* b) {
  if (!b) return nullptr;
  auto it = g_bitmaptextures.find(b);
  if (it != g_bitmaptextures.end()) {
    if (b->texture == it->second) return b->texture;
    it->second->Release();
    g_bitmaptextures.erase(it);
  }
  if (g_bitmaptextures.size() >= g_prunesize) PruneBitmapTextures();
  IDirectDrawSurface* source = b->surface ? b->surface : b->syssurface;
  if (!source) source = dxbitmapsurface(b, false);
  if (!source) return nullptr;
  IDirectDrawSurface* t = dxcreatetexture(source, true);
  if (!t) return nullptr;
  IDirect3DTexture2* tex = nullptr;
  HRESULT hr = Direct3DTextureOf(t, &tex);
  t->Release();
  if (FAILED(hr)) return nullptr;
  g_bitmaptextures[b] = tex;
  b->texture = tex;
  return tex;
}

void dxsharebitmaptexture(dx::bitmap* b, IDirect3DTexture2* tex) {
  if (!b) return;
  if (tex) tex->AddRef();  // first: the texture may be the one let go below
  auto it = g_bitmaptextures.find(b);
  if (it != g_bitmaptextures.end()) {
    it->second->Release();
    g_bitmaptextures.erase(it);
  }
  b->texture = tex;
  if (tex) g_bitmaptextures[b] = tex;
}

void dxreleasebitmaptextures() {
  for (auto& [b, tex] : g_bitmaptextures) {
    for (dx::bitmap* l : dxlivebitmaps())
      if (l == b && b->texture == tex) b->texture = nullptr;
    tex->Release();
  }
  g_bitmaptextures.clear();
}
