// The GDI stand-in: device contexts over pixel buffers, fonts and text through
// FreeType, device-independent bitmaps and the few drawing calls the layer uses.
// Every face name maps to IPA Gothic. Half-width characters advance exactly the
// font's width and full-width ones twice it; bold is synthesised by widening.
#pragma once

#include "platform/pixels.h"
#include "platform/win32/types.h"

// GDI objects share one base so that SelectObject and DeleteObject take any kind.
struct HGDIOBJ__ {
  virtual ~HGDIOBJ__() = default;
  bool stock = false;  // stock objects are never deleted
};
using HGDIOBJ = HGDIOBJ__*;
struct HFONT__ : HGDIOBJ__ {};
using HFONT = HFONT__*;
struct HBITMAP__ : HGDIOBJ__ {};
using HBITMAP = HBITMAP__*;
struct HRGN__ : HGDIOBJ__ {};
using HRGN = HRGN__*;
struct HPALETTE__ : HGDIOBJ__ {};
using HPALETTE = HPALETTE__*;
struct HPEN__ : HGDIOBJ__ {};
using HPEN = HPEN__*;
struct HBRUSH__ : HGDIOBJ__ {};  // declared with the basic types
using HBRUSH = HBRUSH__*;

struct LOGPALETTE {
  WORD palVersion;  // 0x300
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPCOREHEADER {
  DWORD bcSize;
  WORD bcWidth;
  WORD bcHeight;
  WORD bcPlanes;
  WORD bcBitCount;
};
static_assert(sizeof(BITMAPCOREHEADER) == 12);

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr int GDI_ERROR = -1;

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

constexpr int FW_DONTCARE = 0;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD SHIFTJIS_CHARSET = 128;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD DEFAULT_QUALITY = 0;
constexpr DWORD NONANTIALIASED_QUALITY = 3;
constexpr DWORD ANTIALIASED_QUALITY = 4;
constexpr DWORD DEFAULT_PITCH = 0;
constexpr DWORD FIXED_PITCH = 1;
constexpr DWORD FF_DONTCARE = 0;
constexpr DWORD FF_MODERN = 0x30;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
// A colour that names a palette entry directly (used at 8 bits per pixel).
constexpr COLORREF PALETTEINDEX(WORD i) { return 0x01000000u | i; }

constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;

constexpr UINT SYSPAL_ERROR = 0;
constexpr UINT SYSPAL_STATIC = 1;
constexpr UINT SYSPAL_NOSTATIC = 2;

constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;

// --- Objects ---
// Height: above 0 the cell height, below 0 the character (em) height, 0 the
// default of 16. Width: the advance of a half-width character, 0 for the face's
// own proportion. Null when the face file cannot be read or a size is absurd.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeout, DWORD charset, DWORD out_precision, DWORD clip_precision,
                  DWORD quality, DWORD pitch_and_family, const char* face);
BOOL DeleteObject(HGDIOBJ obj);
// Returns the object it replaces, or null when the handle or the context is bad.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);

// The stock pens and brushes; null for another index.
HGDIOBJ GetStockObject(int index);

// --- Device contexts ---
// A window's context: it measures text; drawing through it changes nothing,
// since windows are shown only through the display's frames.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
// A memory context: it draws into the DIB section selected into it.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
int SetBkMode(HDC dc, int mode);
// Clipping: one rectangle per context. Selecting no region removes it.
int SelectClipRgn(HDC dc, HRGN region);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);

// --- Palettes ---
// Palettes of up to 256 entries. A context with a palette selected matches RGB
// colours against it at 8 bits per pixel (PALETTEINDEX colours name its entries).
HPALETTE CreatePalette(const LOGPALETTE* palette);
// 256 entries: the 20 static colours at both ends and a 6 x 6 x 6 colour cube
// between them.
HPALETTE CreateHalftonePalette(HDC dc);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* out);
UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* in);
// Changes entries in place (only those marked PC_RESERVED, as on Windows).
BOOL AnimatePalette(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* in);
// The previous palette; null for a bad handle or context.
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL force_background);
// The number of entries mapped (GDI_ERROR without a palette).
UINT RealizePalette(HDC dc);
// Whether the static colours are reserved; the previous setting.
UINT SetSystemPaletteUse(HDC dc, UINT use);
UINT GetSystemPaletteUse(HDC dc);

// --- Text ---
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* tm);
BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);
BOOL TextOutW(HDC dc, int x, int y, const char16_t* text, int length);
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);
BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int length, SIZE* size);

// --- Device-independent bitmaps ---
// Draws a DIB (1, 4, 8, 16, 24 or 32 bits, bottom-up or top-down, BI_RGB or
// BI_BITFIELDS) with nearest-neighbour stretching. The source rectangle counts
// rows from the bottom for a bottom-up DIB, as GDI does. Returns the rows drawn,
// or GDI_ERROR for a malformed DIB or an operation other than SRCCOPY.
int StretchDIBits(HDC dc, int x_dest, int y_dest, int dest_width, int dest_height, int x_src, int y_src,
                  int src_width, int src_height, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop);
// A DIB section: a bitmap whose bits the caller reads and writes. 24 and 32 bits
// (BI_RGB) and 16 bits (BI_RGB 5-5-5 or BI_BITFIELDS) are offered; the bits are
// zero-filled.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
BOOL InvertRect(HDC dc, const RECT* rect);
// The ellipse inscribed in (left, top) - (right, bottom), the right and bottom
// edges excluded: filled with the brush, outlined one pixel wide with the pen.
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
// Copies between contexts with nearest-neighbour stretching; a negative extent
// mirrors that axis. Only SRCCOPY.
BOOL StretchBlt(HDC dest, int x_dest, int y_dest, int dest_width, int dest_height, HDC src, int x_src,
                int y_src, int src_width, int src_height, DWORD rop);

namespace gdi {

// A context that draws into a pixel buffer owned by someone else (a DirectDraw
// surface, while it is locked for the context). Freed with DeleteBufferDC.
HDC CreateBufferDC(const platform::PixelBuffer& buffer);
void DeleteBufferDC(HDC dc);
// A DIB section's pixels, rows top to bottom (the pitch is negative for a
// bottom-up section); null for a bad handle.
const platform::PixelBuffer* SectionBuffer(HBITMAP bitmap);
// The buffer a context draws into; null for a window's context.
const platform::PixelBuffer* DCBuffer(HDC dc);

}  // namespace gdi
