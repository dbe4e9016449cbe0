// The DirectDraw stand-in: surfaces are memory buffers of 8, 16 (5-6-5 or 5-5-5),
// 24 or 32 bits per pixel. The primary surface is the emulated screen: its
// pixels reach the host's window when something is drawn into it. "Video memory"
// is a second pool of limited size, so creating there can fail; surfaces are lost
// only when a test says so. Objects are reference counted (AddRef / Release) but
// are plain classes, not COM.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/pixels.h"
#include "platform/win32/types.h"

// Set in builds with AddressSanitizer (clang's feature test, or GCC's macro),
// where the padding past surface rows can be poisoned (ddraw::PoisonPadding).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DDRAW_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(DDRAW_ASAN)
#define DDRAW_ASAN 1
#endif

struct GUID;
struct IUnknown;

// --- Results ---
constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDENUMRET_CANCEL = 0;
constexpr HRESULT DDENUMRET_OK = 1;
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DDERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091);
constexpr HRESULT DDERR_INVALIDCAPS = static_cast<HRESULT>(0x88760064);
constexpr HRESULT DDERR_INVALIDMODE = static_cast<HRESULT>(0x88760078);
constexpr HRESULT DDERR_INVALIDOBJECT = static_cast<HRESULT>(0x88760082);
constexpr HRESULT DDERR_NOCOLORKEY = static_cast<HRESULT>(0x887600D7);
constexpr HRESULT DDERR_NOPALETTEATTACHED = static_cast<HRESULT>(0x88760231);
constexpr HRESULT DDERR_NORASTEROPHW = static_cast<HRESULT>(0x88760118);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = static_cast<HRESULT>(0x887600E1);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017C);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<HRESULT>(0x88760234);
constexpr HRESULT DDERR_SURFACEALREADYATTACHED = static_cast<HRESULT>(0x8876019A);
constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AE);
constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2);
constexpr HRESULT DDERR_SURFACENOTATTACHED = static_cast<HRESULT>(0x887601CC);
constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x887602A0);
constexpr HRESULT DDERR_NOTFOUND = static_cast<HRESULT>(0x887600FF);
constexpr HRESULT DDERR_WASSTILLDRAWING = static_cast<HRESULT>(0x8876021C);
constexpr HRESULT DDERR_WRONGMODE = static_cast<HRESULT>(0x8876025F);
constexpr HRESULT DDERR_NODC = static_cast<HRESULT>(0x88760246);
constexpr HRESULT DDERR_DCALREADYCREATED = static_cast<HRESULT>(0x8876026C);
constexpr HRESULT DDERR_CANTCREATEDC = static_cast<HRESULT>(0x88760241);

// --- Surface capabilities (DDSCAPS) ---
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PALETTE = 0x100;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x20000;
constexpr DWORD DDSCAPS_OWNDC = 0x40000;
constexpr DWORD DDSCAPS_ALLOCONLOAD = 0x4000000;

// --- Surface description flags (DDSD) ---
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_ZBUFFERBITDEPTH = 0x40;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_CKDESTBLT = 0x4000;
constexpr DWORD DDSD_CKSRCBLT = 0x10000;
constexpr DWORD DDSD_ALL = 0xFFF9EE;

// --- Pixel format flags (DDPF) ---
constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_FOURCC = 0x4;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD DDPF_RGB = 0x40;
constexpr DWORD DDPF_COMPRESSED = 0x80;
constexpr DWORD DDPF_ZBUFFER = 0x400;

// --- Blt flags (DDBLT), BltFast flags (DDBLTFAST), effects (DDBLTFX) ---
constexpr DWORD DDBLT_ASYNC = 0x200;
constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_DDFX = 0x800;
constexpr DWORD DDBLT_KEYDEST = 0x2000;
constexpr DWORD DDBLT_KEYDESTOVERRIDE = 0x4000;
constexpr DWORD DDBLT_KEYSRC = 0x8000;
constexpr DWORD DDBLT_KEYSRCOVERRIDE = 0x10000;
constexpr DWORD DDBLT_ROP = 0x20000;
constexpr DWORD DDBLT_WAIT = 0x1000000;
constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr DWORD DDBLTFAST_DESTCOLORKEY = 0x2;
constexpr DWORD DDBLTFAST_WAIT = 0x10;
constexpr DWORD DDBLTFX_MIRRORLEFTRIGHT = 0x2;
constexpr DWORD DDBLTFX_MIRRORUPDOWN = 0x4;

// --- Colour keys (SetColorKey) ---
constexpr DWORD DDCKEY_DESTBLT = 0x2;
constexpr DWORD DDCKEY_SRCBLT = 0x8;

// --- Lock flags ---
constexpr DWORD DDLOCK_SURFACEMEMORYPTR = 0x0;
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;
constexpr DWORD DDLOCK_NOSYSLOCK = 0x800;

// --- Blit status, vertical blank ---
constexpr DWORD DDGBS_CANBLT = 0x1;
constexpr DWORD DDGBS_ISBLTDONE = 0x2;
constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x1;

// --- Cooperative levels ---
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x2;
constexpr DWORD DDSCL_NOWINDOWCHANGES = 0x4;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;

// --- Palettes ---
constexpr DWORD DDPCAPS_8BIT = 0x4;
constexpr DWORD DDPCAPS_ALLOW256 = 0x40;

// --- Driver capabilities ---
constexpr DWORD DDCAPS_BLT = 0x40;
constexpr DWORD DDCAPS_BLTCOLORFILL = 0x4000000;
constexpr DWORD DDCAPS_BLTSTRETCH = 0x200;
constexpr DWORD DDCAPS_COLORKEY = 0x400000;
constexpr DWORD DDCAPS_PALETTE = 0x8000;
constexpr DWORD DDCAPS2_NO2DDURING3DSCENE = 0x2;

// --- Display-mode enumeration ---
constexpr DWORD DDEDM_REFRESHRATES = 0x1;

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};

struct DDSCAPS {
  DWORD dwCaps;
};

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  DWORD dwRGBBitCount;  // also the z-buffer's depth
  DWORD dwRBitMask;
  DWORD dwGBitMask;
  DWORD dwBBitMask;
  DWORD dwRGBAlphaBitMask;
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

struct DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  LONG lPitch;
  DWORD dwBackBufferCount;
  DWORD dwZBufferBitDepth;
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  void* lpSurface;  // set by Lock
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};

struct DDBLTFX {
  DWORD dwSize;
  DWORD dwDDFX;  // DDBLTFX_ mirroring, with DDBLT_DDFX
  DWORD dwROP;   // raster operation (those set in DDCAPS::dwRops), with DDBLT_ROP
  DWORD dwFillColor;  // pixel value, with DDBLT_COLORFILL
  DDCOLORKEY ddckDestColorkey;  // with DDBLT_KEYDESTOVERRIDE
  DDCOLORKEY ddckSrcColorkey;   // with DDBLT_KEYSRCOVERRIDE
};

// The driver's capabilities. The block is 364 bytes; a caller that knows only
// the older 316-byte layout passes that size and gets the fields that fit.
struct DDCAPS {
  DWORD dwSize;
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCKeyCaps;
  DWORD dwFXCaps;
  DWORD dwPalCaps;
  DWORD dwVidMemTotal;
  DWORD dwVidMemFree;
  // The raster operations Blt performs: operation byte b (bits 16-23 of its
  // code) is supported when bit b % 32 of word b / 32 is set.
  DWORD dwRops[8];
  DWORD dwReserved[75];
};
static_assert(sizeof(DDCAPS) == 364);
constexpr DWORD kDdcapsOldSize = 316;

struct IDirectDrawSurface;
struct IDirectDrawPalette;
struct IDirectDrawClipper;
struct IDirectDraw;
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;
using LPDIRECTDRAWPALETTE = IDirectDrawPalette*;
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;
using LPDIRECTDRAW = IDirectDraw*;
using LPDDSURFACEDESC = DDSURFACEDESC*;
using LPDDENUMMODESCALLBACK = HRESULT (*)(DDSURFACEDESC* mode, void* context);

// A reference count shared by the DirectDraw objects.
struct DdObject {
  DdObject() = default;
  DdObject(const DdObject&) = delete;
  DdObject& operator=(const DdObject&) = delete;
  ULONG AddRef() { return ++refs_; }
  ULONG Release();

 protected:
  virtual ~DdObject() = default;

 private:
  ULONG refs_ = 1;
};

// 256 colours for 8-bit surfaces.
struct IDirectDrawPalette : public DdObject {
  IDirectDrawPalette(DWORD caps, const PALETTEENTRY* entries);
  HRESULT GetCaps(DWORD* caps);
  HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* out);
  HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* in);
  // The colours as 0x00RRGGBB, the form platform::PixelBuffer carries.
  const uint32_t* colors() const { return rgb_; }

 private:
  DWORD caps_;
  PALETTEENTRY entries_[256];
  uint32_t rgb_[256];
};

// Clips blits to the primary surface to a window's client area.
struct IDirectDrawClipper : public DdObject {
  HRESULT SetHWnd(DWORD flags, HWND window);
  HRESULT GetHWnd(HWND* window);

 private:
  HWND window_ = nullptr;
};

struct IDirectDrawSurface : public DdObject {
  HRESULT GetSurfaceDesc(DDSURFACEDESC* desc);
  HRESULT GetPixelFormat(DDPIXELFORMAT* format);
  HRESULT GetCaps(DDSCAPS* caps);

  // Locks a rectangle (null = all): desc gets the pointer to its first pixel and
  // the pitch. Fails with DDERR_INVALIDPARAMS when the rectangle leaves the surface.
  HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event);
  HRESULT Unlock(void* bits);

  // Copies, stretches (nearest neighbour), mirrors, keys, fills or inverts. A
  // rectangle that leaves either surface fails with DDERR_INVALIDRECT and draws
  // nothing, except on a surface with a clipper, where the copy is cut to the
  // clipper's window. Both surfaces must have the same depth. With DDBLT_ROP the
  // raster operations of DDCAPS::dwRops work (others fail with
  // DDERR_NORASTEROPHW); those that combine the source with the target work on
  // the colour bits only, so bits outside the channel masks (the unused byte at
  // 32 bits, the top bit at 5-5-5) come out clear.
  HRESULT Blt(RECT* dst, IDirectDrawSurface* src, RECT* src_rect, DWORD flags, DDBLTFX* fx);
  HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface* src, RECT* src_rect, DWORD flags);
  HRESULT GetBltStatus(DWORD flags);

  HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key);
  HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key);
  HRESULT SetPalette(IDirectDrawPalette* palette);
  HRESULT GetPalette(IDirectDrawPalette** palette);
  HRESULT SetClipper(IDirectDrawClipper* clipper);
  HRESULT GetClipper(IDirectDrawClipper** clipper);
  HRESULT AddAttachedSurface(IDirectDrawSurface* surface);
  HRESULT DeleteAttachedSurface(DWORD flags, IDirectDrawSurface* surface);
  // The attached surface whose capabilities include all of caps' (a new reference).
  HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** out);

  HRESULT IsLost();
  HRESULT Restore();

  // A GDI device context that draws into the surface's pixels; the GDI stand-in
  // provides both.
  HRESULT GetDC(HDC* dc);
  HRESULT ReleaseDC(HDC dc);

  // --- For the other stand-ins (GDI, Direct3D) and tests ---
  // The pixels, with the palette at 8 bits (the surface's own, else the one on
  // the primary surface, else the 3-3-2 colours).
  platform::PixelBuffer pixels();
  int width() const { return width_; }
  int height() const { return height_; }
  int bpp() const { return format_.bpp; }
  DWORD caps() const { return caps_; }
  bool in_video_memory() const { return (caps_ & DDSCAPS_VIDEOMEMORY) != 0; }
  // The device context the GDI stand-in has handed out (null when none).
  HDC dc() const { return dc_; }
  void set_dc(HDC dc) { dc_ = dc; }
  // Marks the surface lost (as a mode change by another program would).
  void lose() { lost_ = true; }
  // The surface's pixels changed outside a blit (a GDI call, an unlock): shows
  // them when this is the primary surface.
  void changed(const RECT* area);
  // Poisons the padding past the rows for AddressSanitizer, or lifts that
  // (ddraw::PoisonPadding).
  void poison_padding(bool on);

  IDirectDrawSurface(IDirectDraw* owner, int w, int h, const platform::PixelFormat& f, DWORD caps, int pitch);

 protected:
  ~IDirectDrawSurface() override;

 private:
  friend struct IDirectDraw;
  HRESULT Transfer(const RECT& dst, IDirectDrawSurface* src, const RECT& srect, DWORD flags,
                   const DDBLTFX* fx);
  bool ClipToWindow(RECT& dst, RECT& srect) const;

  IDirectDraw* owner_;
  int width_, height_, pitch_;
  platform::PixelFormat format_;
  DWORD caps_;
  std::vector<uint8_t> bits_;
  DDCOLORKEY src_key_{0, 0}, dst_key_{0, 0};
  bool has_src_key_ = false, has_dst_key_ = false;
  bool lost_ = false;
  int locks_ = 0;
  HDC dc_ = nullptr;
  IDirectDrawPalette* palette_ = nullptr;
  IDirectDrawClipper* clipper_ = nullptr;
  IDirectDrawSurface* attached_ = nullptr;
  size_t vram_bytes_ = 0;
};

struct IDirectDraw : public DdObject {
  HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation);
  HRESULT SetCooperativeLevel(HWND window, DWORD flags);
  // Modes of 8, 16 (5-6-5), 24 and 32 bits exist at the desktop size and at 640 x 480.
  // With the exclusive level, the cooperative window is moved to cover the new screen.
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bpp);
  HRESULT RestoreDisplayMode();
  HRESULT GetDisplayMode(DDSURFACEDESC* desc);
  HRESULT EnumDisplayModes(DWORD flags, DDSURFACEDESC* match, void* context, LPDDENUMMODESCALLBACK callback);
  HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** out, IUnknown* outer);
  HRESULT CreatePalette(DWORD caps, PALETTEENTRY* entries, IDirectDrawPalette** out, IUnknown* outer);
  HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** out, IUnknown* outer);
  HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event);
  HRESULT FlipToGDISurface();
  HRESULT GetAvailableVidMem(DDSCAPS* caps, DWORD* total, DWORD* free);

  HWND cooperative_window() const { return window_; }
  bool exclusive() const { return exclusive_; }

 protected:
  ~IDirectDraw() override;

 private:
  HWND window_ = nullptr;
  bool exclusive_ = false;
  bool mode_set_ = false;
};

HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** out, IUnknown* outer);

namespace ddraw {

// The pixel format of a depth: 8 (palette), 16 (5-6-5), 24, 32 (8-8-8).
platform::PixelFormat FormatOfDepth(int bpp);
void ToDdPixelFormat(const platform::PixelFormat& f, DDPIXELFORMAT* out);
// Null when the description is no format the stand-in has.
bool FromDdPixelFormat(const DDPIXELFORMAT& pf, platform::PixelFormat* out);

// The current primary surface (null when none).
IDirectDrawSurface* Primary();

// --- Settings for tests ---
// Size of the emulated video-memory pool in bytes (default 32 MiB) and its use.
void SetVideoMemory(size_t bytes);
size_t VideoMemoryUsed();
// Extra bytes at the end of every row of surfaces made from now on (at least
// that many: padded rows start a multiple of 8 bytes apart).
void SetPitchPadding(int bytes);
// In builds with AddressSanitizer, while on, the padding past every surface's
// rows is poisoned, that of surfaces made meanwhile too, so that a read or a
// write past a row's end stops where it happens. Off lifts it again.
void PoisonPadding(bool on);
// The rows of a surface copied, their pixels only, at the surface's pitch: what
// a copy within one surface reads, so that it reads the pixels as they were.
// While the padding is poisoned, the copy's is too, for as long as it lives.
class RowsCopy {
 public:
  RowsCopy(const uint8_t* bits, int pitch, int row_bytes, int rows);
  ~RowsCopy();
  RowsCopy(const RowsCopy&) = delete;
  RowsCopy& operator=(const RowsCopy&) = delete;
  uint8_t* data() { return bytes_.data(); }

 private:
  std::vector<uint8_t> bytes_;
  int pitch_, row_bytes_, rows_;
};
// Every surface that exists becomes lost.
void LoseAllSurfaces();
// While set, creating a primary surface is refused, and so is restoring one.
void RefusePrimary(bool refuse);
// While set, SetDisplayMode and the exclusive cooperative level are refused.
void RefuseFullScreen(bool refuse);
// Number of surfaces alive (leak checks).
int LiveSurfaces();
// Every setting back to its default.
void ResetForTests();

}  // namespace ddraw
