#include "platform/ddraw/ddraw.h"

#include <emmintrin.h>

#ifdef DDRAW_ASAN
#include <sanitizer/asan_interface.h>
#endif

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>

#include "platform/host/host.h"
#include "platform/win32/display.h"
#include "platform/win32/window.h"

namespace {

constexpr size_t kDefaultVideoMemory = 32u << 20;
constexpr DWORD kSrcCopy = 0x00CC0020;  // the raster operation of a plain copy
// Every raster operation Blt performs, as the capabilities list them.
constexpr DWORD kRops[] = {kSrcCopy, DSTINVERT, BLACKNESS, WHITENESS, SRCINVERT, NOTSRCCOPY, SRCAND, MERGEPAINT,
                           SRCPAINT};

size_t g_vram_size = kDefaultVideoMemory;
size_t g_vram_used = 0;
int g_pitch_padding = 0;
bool g_poison_padding = false;
bool g_refuse_primary = false;
bool g_refuse_fullscreen = false;
std::set<IDirectDrawSurface*> g_surfaces;
IDirectDrawSurface* g_primary = nullptr;
std::vector<uint32_t> g_present_buffer;

// The 3-3-2 colours an 8-bit surface shows when no palette is set anywhere.
const uint32_t* Default332() {
  static uint32_t table[256];
  static bool made = false;
  if (!made) {
    for (int i = 0; i < 256; ++i) table[i] = platform::Rgb332(static_cast<uint32_t>(i));
    made = true;
  }
  return table;
}

uint32_t DepthMask(int bpp) { return bpp >= 32 ? 0xFFFFFFFFu : (1u << bpp) - 1; }

bool ValidRect(const RECT& r, int w, int h) {
  return r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h && r.left < r.right && r.top < r.bottom;
}

// Marks the bytes past each row's pixels (the padding) as out of bounds for
// AddressSanitizer, or in bounds again; nothing without it. The sanitizer
// tracks memory in 8-byte granules and can poison only a granule's end: the
// buffer starts a heap block and padded rows start a multiple of 8 bytes
// apart, so each row's padding runs to a granule's end and every byte of it is
// poisoned, none of the pixels, whatever the row's width.
void PoisonRows(uint8_t* bits, int pitch, int row_bytes, int rows, bool on) {
#ifdef DDRAW_ASAN
  if (pitch <= row_bytes) return;
  const size_t pad = static_cast<size_t>(pitch - row_bytes);
  for (int y = 0; y < rows; ++y) {
    uint8_t* p = bits + static_cast<ptrdiff_t>(y) * pitch + row_bytes;
    if (on)
      ASAN_POISON_MEMORY_REGION(p, pad);
    else
      ASAN_UNPOISON_MEMORY_REGION(p, pad);
  }
#else
  (void)bits, (void)pitch, (void)row_bytes, (void)rows, (void)on;
#endif
}

using platform::LoadPixel;
using platform::StorePixel;

struct Surface {
  uint8_t* bits;
  int pitch;
};

// How a copied source pixel meets the target pixel under it.
enum class Combine { Copy, Xor, NotSource, And, OrNotSource, Or };

inline uint32_t Apply(Combine op, uint32_t t, uint32_t s) {
  switch (op) {
    case Combine::Copy: return s;
    case Combine::Xor: return t ^ s;
    case Combine::NotSource: return ~s;
    case Combine::And: return t & s;
    case Combine::OrNotSource: return t | ~s;
    case Combine::Or: return t | s;
  }
  return s;
}

// What a copy does with every pixel, chosen once per blit.
struct CopyMode {
  bool src_key = false, dst_key = false, mirror_x = false, mirror_y = false;
  uint32_t src_key_value = 0, dst_key_value = 0;
  Combine op = Combine::Copy;
  uint32_t colour_bits = 0xFFFFFFFFu;  // what a combined pixel keeps
};

// One row of a same-size copy with a source key at 2 or 4 bytes a pixel:
// sixteen bytes at a time, pixels equal to the key taking the target's own
// value back, then pixel by pixel.
template <int B>
void KeyedRow(uint8_t* d, const uint8_t* s, int n, uint32_t key) {
  int x = 0;
  if constexpr (B == 2 || B == 4) {
    const __m128i k = B == 2 ? _mm_set1_epi16(static_cast<short>(key)) : _mm_set1_epi32(static_cast<int>(key));
    for (; x + 16 / B <= n; x += 16 / B) {
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + B * x));
      const __m128i clear = B == 2 ? _mm_cmpeq_epi16(sv, k) : _mm_cmpeq_epi32(sv, k);
      const int bits = _mm_movemask_epi8(clear);
      if (bits == 0xFFFF) continue;
      __m128i* dp = reinterpret_cast<__m128i*>(d + B * x);
      if (bits == 0) {
        _mm_storeu_si128(dp, sv);
        continue;
      }
      const __m128i tv = _mm_loadu_si128(dp);
      _mm_storeu_si128(dp, _mm_or_si128(_mm_and_si128(clear, tv), _mm_andnot_si128(clear, sv)));
    }
  }
  for (; x < n; ++x) {
    const uint32_t v = LoadPixel<B>(s + B * x);
    if (v != key) StorePixel<B>(d + B * x, v);
  }
}

// The pixels of a source row at the byte offsets xs[0..n), in that order, into
// out: eight at a time, then one by one.
template <int B>
void GatherRow(uint8_t* out, const uint8_t* row, const int* xs, int n) {
  int k = 0;
  for (; k + 8 <= n; k += 8)
    for (int j = 0; j < 8; ++j) StorePixel<B>(out + B * (k + j), LoadPixel<B>(row + xs[k + j]));
  for (; k < n; ++k) StorePixel<B>(out + B * k, LoadPixel<B>(row + xs[k]));
}

// Copies src rect s onto dst rect d (sizes may differ: nearest neighbour),
// writing only pixels inside the clip rectangle c (part of d).
template <int B>
void CopyRect(Surface dst, const RECT& d, Surface src, const RECT& s, const RECT& c, const CopyMode& m) {
  const int dw = d.right - d.left, dh = d.bottom - d.top;
  const int sw = s.right - s.left, sh = s.bottom - s.top;
  std::vector<int> xs(static_cast<size_t>(c.right - c.left));
  for (int x = c.left; x < c.right; ++x) {
    int i = static_cast<int>(static_cast<int64_t>(x - d.left) * sw / dw);
    xs[static_cast<size_t>(x - c.left)] = (m.mirror_x ? s.right - 1 - i : s.left + i) * B;
  }
  // A copy whose pixels take their source pixel (or, with a source key, keep
  // the target's where the source holds the key): same-size rows straight from
  // the source; scaled or mirrored ones from a line of the source row's pixels
  // gathered once in the target's order.
  const bool copy = !m.dst_key && m.op == Combine::Copy;
  const bool same = copy && !m.mirror_x && sw == dw;
  const bool plain = same && !m.src_key, keyed = same && m.src_key, gather = copy && !same;
  const int n = c.right - c.left;
  const size_t row_bytes = static_cast<size_t>(n) * B;
  std::vector<uint8_t> line(gather ? row_bytes : 0);
  int last_sy = -1;
  for (int y = c.top; y < c.bottom; ++y) {
    int i = static_cast<int>(static_cast<int64_t>(y - d.top) * sh / dh);
    int sy = m.mirror_y ? s.bottom - 1 - i : s.top + i;
    const uint8_t* srow = src.bits + static_cast<ptrdiff_t>(sy) * src.pitch;
    uint8_t* drow = dst.bits + static_cast<ptrdiff_t>(y) * dst.pitch + static_cast<ptrdiff_t>(c.left) * B;
    if (plain) {
      std::memmove(drow, srow + xs[0], row_bytes);
      continue;
    }
    if (keyed) {
      KeyedRow<B>(drow, srow + xs[0], n, m.src_key_value);
      continue;
    }
    if (gather) {
      if (sy != last_sy) GatherRow<B>(line.data(), srow, xs.data(), n);
      last_sy = sy;
      if (m.src_key)
        KeyedRow<B>(drow, line.data(), n, m.src_key_value);
      else
        std::memcpy(drow, line.data(), row_bytes);
      continue;
    }
    for (size_t k = 0; k < xs.size(); ++k, drow += B) {
      uint32_t v = LoadPixel<B>(srow + xs[k]);
      if (m.src_key && v == m.src_key_value) continue;
      if (m.dst_key && LoadPixel<B>(drow) != m.dst_key_value) continue;
      if (m.op != Combine::Copy) v = Apply(m.op, LoadPixel<B>(drow), v) & m.colour_bits;
      StorePixel<B>(drow, v);
    }
  }
}

template <int B>
void FillRect(Surface dst, const RECT& c, uint32_t value, bool invert, uint32_t mask, const uint32_t* dst_key) {
  if (!dst_key && !invert) {
    // Every pixel takes the value.
    platform::FillArea<B>(dst.bits + static_cast<ptrdiff_t>(c.top) * dst.pitch + static_cast<ptrdiff_t>(c.left) * B,
                          dst.pitch, c.right - c.left, c.bottom - c.top, value);
    return;
  }
  for (int y = c.top; y < c.bottom; ++y) {
    uint8_t* p = dst.bits + static_cast<ptrdiff_t>(y) * dst.pitch + static_cast<ptrdiff_t>(c.left) * B;
    for (int x = c.left; x < c.right; ++x, p += B) {
      uint32_t old = LoadPixel<B>(p);
      if (dst_key && old != *dst_key) continue;  // a destination key protects every other value
      StorePixel<B>(p, invert ? ~old & mask : value);
    }
  }
}

void Copy(int bytes, Surface dst, const RECT& d, Surface src, const RECT& s, const RECT& c, const CopyMode& m) {
  switch (bytes) {
    case 1: CopyRect<1>(dst, d, src, s, c, m); break;
    case 2: CopyRect<2>(dst, d, src, s, c, m); break;
    case 3: CopyRect<3>(dst, d, src, s, c, m); break;
    default: CopyRect<4>(dst, d, src, s, c, m); break;
  }
}

void Fill(int bytes, Surface dst, const RECT& c, uint32_t value, bool invert, uint32_t mask,
          const uint32_t* dst_key = nullptr) {
  switch (bytes) {
    case 1: FillRect<1>(dst, c, value, invert, mask, dst_key); break;
    case 2: FillRect<2>(dst, c, value, invert, mask, dst_key); break;
    case 3: FillRect<3>(dst, c, value, invert, mask, dst_key); break;
    default: FillRect<4>(dst, c, value, invert, mask, dst_key); break;
  }
}

// The source raster operations as the copy combines them; false for others.
bool SourceRop(DWORD rop, Combine* op) {
  switch (rop) {
    case kSrcCopy: *op = Combine::Copy; return true;
    case SRCINVERT: *op = Combine::Xor; return true;
    case NOTSRCCOPY: *op = Combine::NotSource; return true;
    case SRCAND: *op = Combine::And; return true;
    case MERGEPAINT: *op = Combine::OrNotSource; return true;
    case SRCPAINT: *op = Combine::Or; return true;
    default: return false;
  }
}

// The colours of n pixels of B = 3 or 4 bytes: an 8-8-8 pixel is its colour
// already (a fourth byte dropped), others go by their masks.
template <int B>
PIXELS_UNTRACED void DeepRowColours(const uint8_t* p, int n, bool plain, const platform::PixelFormat& format,
                                    uint32_t* out) {
  if (plain) {
    for (int x = 0; x < n; ++x, p += B) out[x] = LoadPixel<B>(p) & 0x00FFFFFF;
  } else {
    for (int x = 0; x < n; ++x, p += B) out[x] = platform::PixelColour(LoadPixel<B>(p), format);
  }
}

// The colours of the screen's pixels in `area` (which may reach past the
// screen: those pixels are black), row by row into out.
PIXELS_UNTRACED void AreaColours(const platform::PixelBuffer& pb, const RECT& area, uint32_t* out) {
  const int aw = area.right - area.left, hgt = area.bottom - area.top;
  const int bytes = pb.format.bpp / 8;
  const bool plain = pb.format.rmask == 0x00FF0000 && pb.format.gmask == 0xFF00 && pb.format.bmask == 0xFF;
  // 16-bit pixels go through a table; deeper ones as above.
  const uint32_t* const colours16 = bytes == 2 ? platform::Colours16(pb.format) : nullptr;
  const uint32_t* const palette = pb.palette;
  const platform::PixelFormat format = pb.format;
  // The columns of the area that lie on the screen.
  const int x0 = std::max<LONG>(0, -area.left), x1 = std::min<LONG>(aw, pb.width - area.left);
  for (int y = 0; y < hgt; ++y, out += aw) {
    int sy = area.top + y;
    if (sy < 0 || sy >= pb.height || x0 >= x1) {
      std::fill(out, out + aw, 0u);
      continue;
    }
    std::fill(out, out + x0, 0u);
    std::fill(out + x1, out + aw, 0u);
    const uint8_t* p = pb.bits + static_cast<ptrdiff_t>(sy) * pb.pitch + static_cast<ptrdiff_t>(area.left + x0) * bytes;
    switch (bytes) {
      case 1:
        for (int x = x0; x < x1; ++x, ++p) out[x] = palette[*p];
        break;
      case 2:
        for (int x = x0; x < x1; ++x, p += 2) out[x] = colours16[LoadPixel<2>(p)];
        break;
      case 3: DeepRowColours<3>(p, x1 - x0, plain, format, out + x0); break;
      default: DeepRowColours<4>(p, x1 - x0, plain, format, out + x0); break;
    }
  }
}

// Shows what the screen holds where the window is: the whole primary surface
// in full screen, else the window's client area and menu bar (which the window
// draws over it).
void ShowPrimary(IDirectDrawSurface* primary, bool full_screen) {
  host::Host& h = host::get();
  if (!h.window_open()) return;
  platform::PixelBuffer pb = primary->pixels();
  RECT area{0, 0, pb.width, pb.height};
  HWND w = win32::HostWindow();
  if (!full_screen && !win32::WindowArea(w, &area)) return;
  const int aw = area.right - area.left, hgt = area.bottom - area.top;
  if (aw <= 0 || hgt <= 0) return;
  g_present_buffer.resize(static_cast<size_t>(aw) * hgt);
  AreaColours(pb, area, g_present_buffer.data());
  win32::ShowArea(w, g_present_buffer.data(), aw, hgt);
}

}  // namespace

// --- DdObject ---

ULONG DdObject::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

// --- Palette ---

IDirectDrawPalette::IDirectDrawPalette(DWORD caps, const PALETTEENTRY* entries) : caps_(caps) {
  for (int i = 0; i < 256; ++i) {
    entries_[i] = entries ? entries[i] : PALETTEENTRY{0, 0, 0, 0};
    rgb_[i] = static_cast<uint32_t>(entries_[i].peRed) << 16 | entries_[i].peGreen << 8 | entries_[i].peBlue;
  }
}

HRESULT IDirectDrawPalette::GetCaps(DWORD* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = caps_;
  return DD_OK;
}

HRESULT IDirectDrawPalette::GetEntries(DWORD, DWORD start, DWORD count, PALETTEENTRY* out) {
  if (!out || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
  std::copy(entries_ + start, entries_ + start + count, out);
  return DD_OK;
}

HRESULT IDirectDrawPalette::SetEntries(DWORD, DWORD start, DWORD count, const PALETTEENTRY* in) {
  if (!in || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
  for (DWORD i = 0; i < count; ++i) {
    entries_[start + i] = in[i];
    rgb_[start + i] = static_cast<uint32_t>(in[i].peRed) << 16 | in[i].peGreen << 8 | in[i].peBlue;
  }
  // New colours change what the screen shows when they belong to it.
  IDirectDrawPalette* shown = nullptr;
  if (g_primary && g_primary->GetPalette(&shown) == DD_OK) {
    if (shown == this) g_primary->changed(nullptr);
    shown->Release();
  }
  return DD_OK;
}

// --- Clipper ---

HRESULT IDirectDrawClipper::SetHWnd(DWORD, HWND window) {
  window_ = window;
  return DD_OK;
}

HRESULT IDirectDrawClipper::GetHWnd(HWND* window) {
  if (!window) return DDERR_INVALIDPARAMS;
  *window = window_;
  return DD_OK;
}

// --- Surface ---

IDirectDrawSurface::IDirectDrawSurface(IDirectDraw* owner, int w, int h, const platform::PixelFormat& f,
                                       DWORD caps, int pitch)
    : owner_(owner), width_(w), height_(h), pitch_(pitch), format_(f), caps_(caps) {
  bits_.assign(static_cast<size_t>(pitch) * h, 0);
  if (owner_) owner_->AddRef();
  g_surfaces.insert(this);
  if (g_poison_padding) poison_padding(true);
}

IDirectDrawSurface::~IDirectDrawSurface() {
  poison_padding(false);
  g_surfaces.erase(this);
  if (g_primary == this) g_primary = nullptr;
  g_vram_used -= std::min(g_vram_used, vram_bytes_);
  if (palette_) palette_->Release();
  if (clipper_) clipper_->Release();
  if (attached_) attached_->Release();
  if (owner_) owner_->Release();
}

void IDirectDrawSurface::poison_padding(bool on) {
  PoisonRows(bits_.data(), pitch_, width_ * (format_.bpp / 8), height_, on);
}

HRESULT IDirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC* desc) {
  if (!desc) return DDERR_INVALIDPARAMS;
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(DDSURFACEDESC);
  desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = static_cast<DWORD>(width_);
  desc->dwHeight = static_cast<DWORD>(height_);
  desc->lPitch = pitch_;
  desc->ddsCaps.dwCaps = caps_;
  if (has_src_key_) desc->dwFlags |= DDSD_CKSRCBLT, desc->ddckCKSrcBlt = src_key_;
  if (has_dst_key_) desc->dwFlags |= DDSD_CKDESTBLT, desc->ddckCKDestBlt = dst_key_;
  if (caps_ & DDSCAPS_ZBUFFER) {
    desc->dwFlags |= DDSD_ZBUFFERBITDEPTH;
    desc->dwZBufferBitDepth = static_cast<DWORD>(format_.bpp);
  }
  return GetPixelFormat(&desc->ddpfPixelFormat);
}

HRESULT IDirectDrawSurface::GetPixelFormat(DDPIXELFORMAT* format) {
  if (!format) return DDERR_INVALIDPARAMS;
  ddraw::ToDdPixelFormat(format_, format);
  if (caps_ & DDSCAPS_ZBUFFER) {
    format->dwFlags = DDPF_ZBUFFER;
    format->dwRBitMask = format->dwGBitMask = format->dwBBitMask = 0;
  }
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetCaps(DDSCAPS* caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  caps->dwCaps = caps_;
  return DD_OK;
}

HRESULT IDirectDrawSurface::Lock(RECT* rect, DDSURFACEDESC* desc, DWORD, HANDLE) {
  if (!desc) return DDERR_INVALIDPARAMS;
  if (lost_) return DDERR_SURFACELOST;
  RECT r = rect ? *rect : RECT{0, 0, width_, height_};
  if (!ValidRect(r, width_, height_)) return DDERR_INVALIDPARAMS;
  GetSurfaceDesc(desc);
  desc->dwFlags |= DDSD_LPSURFACE;
  desc->lpSurface = bits_.data() + static_cast<ptrdiff_t>(r.top) * pitch_ +
                    static_cast<ptrdiff_t>(r.left) * (format_.bpp / 8);
  ++locks_;
  return DD_OK;
}

HRESULT IDirectDrawSurface::Unlock(void*) {
  if (locks_ == 0) return DDERR_NOTLOCKED;
  --locks_;
  changed(nullptr);
  return DD_OK;
}

void IDirectDrawSurface::changed(const RECT*) {
  if (this == g_primary && !lost_) ShowPrimary(this, owner_ && owner_->exclusive());
}

bool IDirectDrawSurface::ClipToWindow(RECT& dst, RECT&) const {
  // The visible part of the clipper's window, on the screen; the copy keeps its
  // scale, so only the destination is cut (the source follows pixel by pixel).
  RECT clip{0, 0, width_, height_};
  HWND w = nullptr;
  if (clipper_ && clipper_->GetHWnd(&w) == DD_OK && w) {
    RECT client;
    POINT origin{0, 0};
    if (GetClientRect(w, &client) && ClientToScreen(w, &origin)) {
      clip.left = std::max<LONG>(clip.left, origin.x);
      clip.top = std::max<LONG>(clip.top, origin.y);
      clip.right = std::min<LONG>(clip.right, origin.x + client.right);
      clip.bottom = std::min<LONG>(clip.bottom, origin.y + client.bottom);
    }
  }
  dst.left = std::max(dst.left, clip.left);
  dst.top = std::max(dst.top, clip.top);
  dst.right = std::min(dst.right, clip.right);
  dst.bottom = std::min(dst.bottom, clip.bottom);
  return dst.left < dst.right && dst.top < dst.bottom;
}

HRESULT IDirectDrawSurface::Blt(RECT* dst, IDirectDrawSurface* src, RECT* src_rect, DWORD flags, DDBLTFX* fx) {
  RECT d = dst ? *dst : RECT{0, 0, width_, height_};
  RECT s{0, 0, 0, 0};
  if (src) s = src_rect ? *src_rect : RECT{0, 0, src->width_, src->height_};
  return Transfer(d, src, s, flags, fx);
}

HRESULT IDirectDrawSurface::BltFast(DWORD x, DWORD y, IDirectDrawSurface* src, RECT* src_rect, DWORD flags) {
  if (!src) return DDERR_INVALIDPARAMS;
  RECT s = src_rect ? *src_rect : RECT{0, 0, src->width_, src->height_};
  // Worked out wide: a destination whose far edge passes the 32-bit range
  // leaves the surface, which fails as any rectangle outside it does.
  const int64_t right = int64_t{static_cast<LONG>(x)} + (int64_t{s.right} - s.left);
  const int64_t bottom = int64_t{static_cast<LONG>(y)} + (int64_t{s.bottom} - s.top);
  if (right > INT32_MAX || bottom > INT32_MAX || right < INT32_MIN || bottom < INT32_MIN) return DDERR_INVALIDRECT;
  RECT d{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(right), static_cast<LONG>(bottom)};
  DWORD bflags = 0;
  if (flags & DDBLTFAST_SRCCOLORKEY) bflags |= DDBLT_KEYSRC;
  if (flags & DDBLTFAST_DESTCOLORKEY) bflags |= DDBLT_KEYDEST;
  return Transfer(d, src, s, bflags, nullptr);
}

HRESULT IDirectDrawSurface::Transfer(const RECT& dst, IDirectDrawSurface* src, const RECT& srect, DWORD flags,
                                     const DDBLTFX* fx) {
  if (lost_ || (src && src->lost_)) return DDERR_SURFACELOST;
  if ((flags & (DDBLT_COLORFILL | DDBLT_ROP | DDBLT_DDFX | DDBLT_KEYSRCOVERRIDE | DDBLT_KEYDESTOVERRIDE)) && !fx)
    return DDERR_INVALIDPARAMS;
  RECT clip = dst;
  const bool clipped = clipper_ != nullptr;
  if (clipped) {
    if (dst.left >= dst.right || dst.top >= dst.bottom) return DDERR_INVALIDRECT;
    RECT unused;
    if (!ClipToWindow(clip, unused)) return DD_OK;
  } else if (!ValidRect(dst, width_, height_)) {
    return DDERR_INVALIDRECT;
  }
  const uint32_t mask = DepthMask(format_.bpp);
  const int bytes = format_.bpp / 8;
  Surface out{bits_.data(), pitch_};
  DWORD rop = (flags & DDBLT_ROP) ? fx->dwROP : kSrcCopy;
  // A destination key limits fills and copies alike to the pixels that hold it.
  bool dst_key = false;
  uint32_t dst_key_value = 0;
  if (flags & DDBLT_KEYDESTOVERRIDE) {
    dst_key = true, dst_key_value = fx->ddckDestColorkey.dwColorSpaceLowValue & mask;
  } else if (flags & DDBLT_KEYDEST) {
    if (!has_dst_key_) return DDERR_NOCOLORKEY;
    dst_key = true, dst_key_value = dst_key_.dwColorSpaceLowValue & mask;
  }
  const uint32_t* fill_key = dst_key ? &dst_key_value : nullptr;
  if (flags & DDBLT_COLORFILL) {
    Fill(bytes, out, clip, fx->dwFillColor & mask, false, mask, fill_key);
  } else if (rop == DSTINVERT || rop == BLACKNESS || rop == WHITENESS) {
    Fill(bytes, out, clip, rop == WHITENESS ? mask : 0, rop == DSTINVERT, mask, fill_key);
  } else if (Combine op = Combine::Copy; !SourceRop(rop, &op)) {
    return DDERR_NORASTEROPHW;
  } else {
    if (!src) return DDERR_INVALIDPARAMS;
    if (!ValidRect(srect, src->width_, src->height_)) return DDERR_INVALIDRECT;
    if (src->format_.bpp != format_.bpp) return DDERR_INVALIDPIXELFORMAT;
    CopyMode m;
    if (flags & DDBLT_KEYSRCOVERRIDE) {
      m.src_key = true, m.src_key_value = fx->ddckSrcColorkey.dwColorSpaceLowValue & mask;
    } else if (flags & DDBLT_KEYSRC) {
      if (!src->has_src_key_) return DDERR_NOCOLORKEY;
      m.src_key = true, m.src_key_value = src->src_key_.dwColorSpaceLowValue & mask;
    }
    m.dst_key = dst_key, m.dst_key_value = dst_key_value;
    m.op = op;
    const uint32_t channels = format_.rmask | format_.gmask | format_.bmask;
    m.colour_bits = format_.bpp == 8 || channels == 0 ? mask : channels;
    if (flags & DDBLT_DDFX) {
      m.mirror_x = (fx->dwDDFX & DDBLTFX_MIRRORLEFTRIGHT) != 0;
      m.mirror_y = (fx->dwDDFX & DDBLTFX_MIRRORUPDOWN) != 0;
    }
    Surface in{src->bits_.data(), src->pitch_};
    // Overlapping copies within one surface read the pixels as they were.
    std::optional<ddraw::RowsCopy> copy;
    if (src == this) {
      copy.emplace(bits_.data(), pitch_, width_ * bytes, height_);
      in.bits = copy->data();
    }
    Copy(bytes, out, dst, in, srect, clip, m);
  }
  changed(&clip);
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetBltStatus(DWORD) { return lost_ ? DDERR_SURFACELOST : DD_OK; }

HRESULT IDirectDrawSurface::SetColorKey(DWORD flags, DDCOLORKEY* key) {
  if (flags & DDCKEY_SRCBLT) {
    has_src_key_ = key != nullptr;
    if (key) src_key_ = *key;
  }
  if (flags & DDCKEY_DESTBLT) {
    has_dst_key_ = key != nullptr;
    if (key) dst_key_ = *key;
  }
  return (flags & (DDCKEY_SRCBLT | DDCKEY_DESTBLT)) ? DD_OK : DDERR_INVALIDPARAMS;
}

HRESULT IDirectDrawSurface::GetColorKey(DWORD flags, DDCOLORKEY* key) {
  if (!key) return DDERR_INVALIDPARAMS;
  if (flags & DDCKEY_SRCBLT) {
    if (!has_src_key_) return DDERR_NOCOLORKEY;
    *key = src_key_;
    return DD_OK;
  }
  if (flags & DDCKEY_DESTBLT) {
    if (!has_dst_key_) return DDERR_NOCOLORKEY;
    *key = dst_key_;
    return DD_OK;
  }
  return DDERR_INVALIDPARAMS;
}

HRESULT IDirectDrawSurface::SetPalette(IDirectDrawPalette* palette) {
  if (palette && format_.bpp != 8) return DDERR_INVALIDPIXELFORMAT;
  if (palette) palette->AddRef();
  if (palette_) palette_->Release();
  palette_ = palette;
  changed(nullptr);
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetPalette(IDirectDrawPalette** palette) {
  if (!palette_) return DDERR_NOPALETTEATTACHED;
  if (palette) {
    palette_->AddRef();
    *palette = palette_;
  }
  return DD_OK;
}

HRESULT IDirectDrawSurface::SetClipper(IDirectDrawClipper* clipper) {
  if (clipper) clipper->AddRef();
  if (clipper_) clipper_->Release();
  clipper_ = clipper;
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetClipper(IDirectDrawClipper** clipper) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  if (!clipper_) return DDERR_INVALIDOBJECT;
  clipper_->AddRef();
  *clipper = clipper_;
  return DD_OK;
}

HRESULT IDirectDrawSurface::AddAttachedSurface(IDirectDrawSurface* surface) {
  if (!surface || surface == this) return DDERR_INVALIDPARAMS;
  if (attached_) return DDERR_SURFACEALREADYATTACHED;
  surface->AddRef();
  attached_ = surface;
  return DD_OK;
}

HRESULT IDirectDrawSurface::DeleteAttachedSurface(DWORD, IDirectDrawSurface* surface) {
  if (!attached_ || (surface && surface != attached_)) return DDERR_SURFACENOTATTACHED;
  attached_->Release();
  attached_ = nullptr;
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** out) {
  if (!caps || !out) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (!attached_ || (attached_->caps() & caps->dwCaps) != caps->dwCaps) return DDERR_NOTFOUND;
  attached_->AddRef();
  *out = attached_;
  return DD_OK;
}

HRESULT IDirectDrawSurface::IsLost() { return lost_ ? DDERR_SURFACELOST : DD_OK; }

HRESULT IDirectDrawSurface::Restore() {
  if (!lost_) return DD_OK;
  if (this == g_primary && g_refuse_primary) return DDERR_WRONGMODE;
  lost_ = false;
  return DD_OK;
}

platform::PixelBuffer IDirectDrawSurface::pixels() {
  platform::PixelBuffer pb;
  pb.bits = bits_.data();
  pb.width = width_;
  pb.height = height_;
  pb.pitch = pitch_;
  pb.format = format_;
  if (format_.bpp == 8) {
    IDirectDrawPalette* p = palette_;
    if (!p && g_primary && g_primary != this) p = g_primary->palette_;
    pb.palette = p ? p->colors() : Default332();
  }
  return pb;
}

// --- DirectDraw ---

IDirectDraw::~IDirectDraw() {
  if (mode_set_) win32::RestoreDesktopMode();
}

HRESULT IDirectDraw::GetCaps(DDCAPS* driver, DDCAPS* emulation) {
  for (DDCAPS* c : {driver, emulation}) {
    if (!c) continue;
    if (c->dwSize != sizeof(DDCAPS) && c->dwSize != kDdcapsOldSize) return DDERR_INVALIDPARAMS;
    DWORD size = c->dwSize;
    std::memset(c, 0, size);
    c->dwSize = size;
    c->dwCaps = DDCAPS_BLT | DDCAPS_BLTCOLORFILL | DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY | DDCAPS_PALETTE;
    c->dwVidMemTotal = static_cast<DWORD>(g_vram_size);
    c->dwVidMemFree = static_cast<DWORD>(g_vram_size - std::min(g_vram_size, g_vram_used));
    for (DWORD rop : kRops) {
      const DWORD b = rop >> 16 & 0xFF;
      c->dwRops[b / 32] |= 1u << (b % 32);
    }
  }
  return DD_OK;
}

HRESULT IDirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
  const bool exclusive = (flags & DDSCL_EXCLUSIVE) && (flags & DDSCL_FULLSCREEN);
  if (exclusive && (!window || g_refuse_fullscreen)) return DDERR_NOEXCLUSIVEMODE;
  if (!exclusive && !(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
  window_ = window;
  exclusive_ = exclusive;
  host::get().set_fullscreen(exclusive);
  return DD_OK;
}

HRESULT IDirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bpp) {
  if (g_refuse_fullscreen) return DDERR_NOEXCLUSIVEMODE;
  win32::DisplayMode m{static_cast<int>(width), static_cast<int>(height), static_cast<int>(bpp)};
  if (!win32::SetCurrentMode(m)) return DDERR_INVALIDMODE;
  mode_set_ = true;
  // The window that owns the screen covers it, wherever it stood as a window:
  // the primary surface is clipped to its client area.
  if (exclusive_ && window_) MoveWindow(window_, 0, 0, m.width, m.height, TRUE);
  return DD_OK;
}

HRESULT IDirectDraw::RestoreDisplayMode() {
  if (mode_set_) win32::RestoreDesktopMode();
  mode_set_ = false;
  return DD_OK;
}

HRESULT IDirectDraw::GetDisplayMode(DDSURFACEDESC* desc) {
  if (!desc) return DDERR_INVALIDPARAMS;
  win32::DisplayMode m = win32::CurrentMode();
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(DDSURFACEDESC);
  desc->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_PITCH;
  desc->dwWidth = static_cast<DWORD>(m.width);
  desc->dwHeight = static_cast<DWORD>(m.height);
  desc->lPitch = m.width * (m.bpp / 8);
  ddraw::ToDdPixelFormat(ddraw::FormatOfDepth(m.bpp), &desc->ddpfPixelFormat);
  return DD_OK;
}

HRESULT IDirectDraw::EnumDisplayModes(DWORD, DDSURFACEDESC* match, void* context, LPDDENUMMODESCALLBACK callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  for (const win32::DisplayMode& m : win32::DisplayModes()) {
    if (match) {
      if ((match->dwFlags & DDSD_WIDTH) && match->dwWidth != static_cast<DWORD>(m.width)) continue;
      if ((match->dwFlags & DDSD_HEIGHT) && match->dwHeight != static_cast<DWORD>(m.height)) continue;
      if ((match->dwFlags & DDSD_PIXELFORMAT) &&
          match->ddpfPixelFormat.dwRGBBitCount != static_cast<DWORD>(m.bpp))
        continue;
    }
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    d.dwWidth = static_cast<DWORD>(m.width);
    d.dwHeight = static_cast<DWORD>(m.height);
    d.lPitch = m.width * (m.bpp / 8);
    ddraw::ToDdPixelFormat(ddraw::FormatOfDepth(m.bpp), &d.ddpfPixelFormat);
    if (callback(&d, context) == DDENUMRET_CANCEL) break;
  }
  return DD_OK;
}

HRESULT IDirectDraw::CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, IUnknown*) {
  if (!desc || !out || !(desc->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  DWORD caps = desc->ddsCaps.dwCaps;
  int w, h;
  platform::PixelFormat f;
  if (caps & DDSCAPS_PRIMARYSURFACE) {
    if (g_refuse_primary) return DDERR_GENERIC;
    if (g_primary) return DDERR_PRIMARYSURFACEALREADYEXISTS;
    win32::DisplayMode m = win32::CurrentMode();
    w = m.width, h = m.height;
    f = ddraw::FormatOfDepth(m.bpp);
    caps |= DDSCAPS_VIDEOMEMORY;
  } else {
    if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
    w = static_cast<int>(desc->dwWidth), h = static_cast<int>(desc->dwHeight);
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return DDERR_INVALIDPARAMS;
    if (caps & DDSCAPS_ZBUFFER) {
      int depth = (desc->dwFlags & DDSD_ZBUFFERBITDEPTH) ? static_cast<int>(desc->dwZBufferBitDepth) : 16;
      if (depth != 16 && depth != 24 && depth != 32) return DDERR_INVALIDPIXELFORMAT;
      f.bpp = depth == 16 ? 16 : 32;
      f.rmask = f.gmask = f.bmask = 0;
    } else if (desc->dwFlags & DDSD_PIXELFORMAT) {
      if (!ddraw::FromDdPixelFormat(desc->ddpfPixelFormat, &f)) return DDERR_INVALIDPIXELFORMAT;
    } else {
      f = ddraw::FormatOfDepth(win32::CurrentMode().bpp);
    }
  }
  if ((caps & DDSCAPS_VIDEOMEMORY) && (caps & DDSCAPS_SYSTEMMEMORY)) return DDERR_INVALIDCAPS;
  const int row = w * (f.bpp / 8);
  // Rows padded for tests start 8 bytes apart at least, so that their padding
  // can be poisoned exactly (PoisonRows).
  int pitch = (row + 3) & ~3;
  if (g_pitch_padding > 0) pitch = (pitch + g_pitch_padding + 7) & ~7;
  const size_t bytes = static_cast<size_t>(pitch) * h;
  size_t vram = 0;
  if (!(caps & DDSCAPS_SYSTEMMEMORY) && !(caps & DDSCAPS_PRIMARYSURFACE)) {
    if (g_vram_used + bytes <= g_vram_size) {
      vram = bytes;
      caps |= DDSCAPS_VIDEOMEMORY;
    } else if (caps & DDSCAPS_VIDEOMEMORY) {
      return DDERR_OUTOFVIDEOMEMORY;
    } else {
      caps |= DDSCAPS_SYSTEMMEMORY;
    }
  }
  auto* s = new IDirectDrawSurface(this, w, h, f, caps, pitch);
  s->vram_bytes_ = vram;
  g_vram_used += vram;
  if (desc->dwFlags & DDSD_CKSRCBLT) s->SetColorKey(DDCKEY_SRCBLT, &desc->ddckCKSrcBlt);
  if (desc->dwFlags & DDSD_CKDESTBLT) s->SetColorKey(DDCKEY_DESTBLT, &desc->ddckCKDestBlt);
  if (caps & DDSCAPS_PRIMARYSURFACE) g_primary = s;
  *out = s;
  return DD_OK;
}

HRESULT IDirectDraw::CreatePalette(DWORD caps, PALETTEENTRY* entries, IDirectDrawPalette** out, IUnknown*) {
  if (!out || !(caps & DDPCAPS_8BIT)) return DDERR_INVALIDPARAMS;
  *out = new IDirectDrawPalette(caps, entries);
  return DD_OK;
}

HRESULT IDirectDraw::CreateClipper(DWORD, IDirectDrawClipper** out, IUnknown*) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = new IDirectDrawClipper();
  return DD_OK;
}

HRESULT IDirectDraw::WaitForVerticalBlank(DWORD, HANDLE) {
  host::get().wait_vblank();
  return DD_OK;
}

HRESULT IDirectDraw::FlipToGDISurface() { return DD_OK; }

HRESULT IDirectDraw::GetAvailableVidMem(DDSCAPS*, DWORD* total, DWORD* free) {
  if (total) *total = static_cast<DWORD>(g_vram_size);
  if (free) *free = static_cast<DWORD>(g_vram_size - std::min(g_vram_size, g_vram_used));
  return DD_OK;
}

HRESULT DirectDrawCreate(GUID*, IDirectDraw** out, IUnknown*) {
  if (!out) return DDERR_INVALIDPARAMS;
  *out = new IDirectDraw();
  return DD_OK;
}

namespace ddraw {

platform::PixelFormat FormatOfDepth(int bpp) {
  platform::PixelFormat f;
  f.bpp = bpp;
  switch (bpp) {
    case 8: f.rmask = f.gmask = f.bmask = 0; break;
    case 16: f.rmask = 0xF800, f.gmask = 0x07E0, f.bmask = 0x001F; break;
    default: f.rmask = 0xFF0000, f.gmask = 0xFF00, f.bmask = 0xFF; break;
  }
  return f;
}

void ToDdPixelFormat(const platform::PixelFormat& f, DDPIXELFORMAT* out) {
  std::memset(out, 0, sizeof(*out));
  out->dwSize = sizeof(DDPIXELFORMAT);
  out->dwFlags = f.bpp == 8 ? (DDPF_RGB | DDPF_PALETTEINDEXED8) : DDPF_RGB;
  out->dwRGBBitCount = static_cast<DWORD>(f.bpp);
  out->dwRBitMask = f.rmask;
  out->dwGBitMask = f.gmask;
  out->dwBBitMask = f.bmask;
}

bool FromDdPixelFormat(const DDPIXELFORMAT& pf, platform::PixelFormat* out) {
  platform::PixelFormat f;
  f.bpp = static_cast<int>(pf.dwRGBBitCount);
  if (pf.dwFlags & DDPF_PALETTEINDEXED8) {
    if (f.bpp != 8) return false;
    f.rmask = f.gmask = f.bmask = 0;
  } else {
    if (!(pf.dwFlags & DDPF_RGB) || (f.bpp != 16 && f.bpp != 24 && f.bpp != 32)) return false;
    f.rmask = pf.dwRBitMask, f.gmask = pf.dwGBitMask, f.bmask = pf.dwBBitMask;
    uint32_t limit = DepthMask(f.bpp);
    if (!f.rmask || !f.gmask || !f.bmask || ((f.rmask | f.gmask | f.bmask) & ~limit)) return false;
  }
  *out = f;
  return true;
}

IDirectDrawSurface* Primary() { return g_primary; }

void SetVideoMemory(size_t bytes) { g_vram_size = bytes; }
size_t VideoMemoryUsed() { return g_vram_used; }
void SetPitchPadding(int bytes) { g_pitch_padding = std::max(0, bytes); }

RowsCopy::RowsCopy(const uint8_t* bits, int pitch, int row_bytes, int rows)
    : bytes_(static_cast<size_t>(pitch) * rows), pitch_(pitch), row_bytes_(row_bytes), rows_(rows) {
  for (int y = 0; y < rows; ++y)
    std::memcpy(bytes_.data() + static_cast<ptrdiff_t>(y) * pitch, bits + static_cast<ptrdiff_t>(y) * pitch,
                static_cast<size_t>(row_bytes));
  if (g_poison_padding) PoisonRows(bytes_.data(), pitch_, row_bytes_, rows_, true);
}

RowsCopy::~RowsCopy() { PoisonRows(bytes_.data(), pitch_, row_bytes_, rows_, false); }

void PoisonPadding(bool on) {
  g_poison_padding = on;
  for (IDirectDrawSurface* s : g_surfaces) s->poison_padding(on);
}
void LoseAllSurfaces() {
  for (IDirectDrawSurface* s : g_surfaces) s->lose();
}
void RefusePrimary(bool refuse) { g_refuse_primary = refuse; }
void RefuseFullScreen(bool refuse) { g_refuse_fullscreen = refuse; }
int LiveSurfaces() { return static_cast<int>(g_surfaces.size()); }
void ResetForTests() {
  g_vram_size = kDefaultVideoMemory;
  g_pitch_padding = 0;
  if (g_poison_padding) PoisonPadding(false);
  g_refuse_primary = false;
  g_refuse_fullscreen = false;
}

}  // namespace ddraw
