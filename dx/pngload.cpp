#include "dx/pngload.h"

#include <png.h>

#include <cstdlib>
#include <cstring>

#include "dx/package.h"
#include "platform/gdi/dib.h"

namespace {

constexpr int kMaxSide = gdi::kMaxDibSide;
// Ancillary chunks (text, profiles) never need more than this.
constexpr png_alloc_size_t kMaxChunk = 8u << 20;

bool SizeAllowed(int64_t w, int64_t h) {
  return w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide && w * h <= gdi::kMaxDibPixels;
}

struct Stream {
  PngReadFn read;
  void* user;
};

void ReadData(png_structp png, png_bytep out, png_size_t n) {
  auto* s = static_cast<Stream*>(png_get_io_ptr(png));
  size_t got = 0;
  while (got < n) {
    size_t r = s->read(s->user, out + got, n - got);
    if (r == 0) break;
    got += r;
  }
  // A stream that ends early is a truncated file: leave through the jump buffer.
  if (got < n) png_error(png, "file truncated");
}

// What the decoder owns while libpng may jump out; on the heap so that a jump
// finds every pointer where it was stored.
struct Decode {
  png_structp png;
  png_infop info;
  PngImage* image;
};

void FreeRows(PngImage* image) {
  if (!image) return;
  if (image->rows) {
    for (int32_t y = 0; y < image->height; ++y) std::free(image->rows[y]);
    std::free(image->rows);
  }
  std::free(image);
}

PngImage* Run(Decode* d) {
  if (setjmp(png_jmpbuf(d->png))) {
    png_destroy_read_struct(&d->png, &d->info, nullptr);
    FreeRows(d->image);
    return nullptr;
  }
  png_set_sig_bytes(d->png, 4);
  png_set_user_limits(d->png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(d->png, kMaxChunk);
  png_read_info(d->png, d->info);
  png_uint_32 width = png_get_image_width(d->png, d->info);
  png_uint_32 height = png_get_image_height(d->png, d->info);
  if (png_get_color_type(d->png, d->info) != PNG_COLOR_TYPE_RGB || png_get_bit_depth(d->png, d->info) != 8 ||
      !SizeAllowed(width, height)) {
    png_destroy_read_struct(&d->png, &d->info, nullptr);
    return nullptr;
  }
  if (png_get_interlace_type(d->png, d->info) != PNG_INTERLACE_NONE) png_set_interlace_handling(d->png);
  png_read_update_info(d->png, d->info);
  size_t rowbytes = png_get_rowbytes(d->png, d->info);
  d->image = static_cast<PngImage*>(std::calloc(1, sizeof(PngImage)));
  if (!d->image) {
    png_destroy_read_struct(&d->png, &d->info, nullptr);
    return nullptr;
  }
  d->image->width = static_cast<int32_t>(width);
  d->image->rows = static_cast<uint8_t**>(std::calloc(height, sizeof(uint8_t*)));
  if (!d->image->rows) {
    png_destroy_read_struct(&d->png, &d->info, nullptr);
    FreeRows(d->image);
    return nullptr;
  }
  // The height counts the rows made so far, so that a failure frees exactly those.
  for (png_uint_32 y = 0; y < height; ++y) {
    d->image->rows[y] = static_cast<uint8_t*>(std::malloc(rowbytes));
    if (!d->image->rows[y]) {
      png_destroy_read_struct(&d->png, &d->info, nullptr);
      FreeRows(d->image);
      return nullptr;
    }
    d->image->height = static_cast<int32_t>(y + 1);
  }
  png_read_image(d->png, d->image->rows);
  // The reading stops after the image: what follows it (the end chunk, text)
  // is not needed, and a file that ends here is whole enough.
  png_destroy_read_struct(&d->png, &d->info, nullptr);
  return d->image;
}

struct Memory {
  const uint8_t* data;
  size_t size, pos;
};

size_t ReadMemory(void* user, void* buf, size_t n) {
  auto* m = static_cast<Memory*>(user);
  size_t k = n < m->size - m->pos ? n : m->size - m->pos;
  if (k) std::memcpy(buf, m->data + m->pos, k);
  m->pos += k;
  return k;
}

// Reads never pass the end of the package entry: the reader stops there.
size_t ReadPkg(void* user, void* buf, size_t n) {
  int32_t want = n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(n);
  int32_t got = PkgFileRead(static_cast<PkgFile*>(user), buf, want);
  return got > 0 ? static_cast<size_t>(got) : 0;
}

size_t Stride(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }

}  // namespace

PngImage* PngDecode(PngReadFn read, void* user) {
  uint8_t sig[4];
  size_t got = 0;
  while (got < 4) {
    size_t r = read(user, sig + got, 4 - got);
    if (r == 0) return nullptr;
    got += r;
  }
  if (png_sig_cmp(sig, 0, 4) != 0) return nullptr;
  Stream stream{read, user};
  auto* d = static_cast<Decode*>(std::calloc(1, sizeof(Decode)));
  if (!d) return nullptr;
  d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (d->png) d->info = png_create_info_struct(d->png);
  if (!d->png || !d->info) {
    png_destroy_read_struct(&d->png, nullptr, nullptr);
    std::free(d);
    return nullptr;
  }
  png_set_read_fn(d->png, &stream, ReadData);
  PngImage* image = Run(d);
  std::free(d);
  return image;
}

PngImage* PngDecodeMemory(const void* data, size_t size) {
  Memory m{static_cast<const uint8_t*>(data), data ? size : 0, 0};
  return PngDecode(ReadMemory, &m);
}

PngImage* PngLoadImage(const char* name) {
  if (!name) return nullptr;
  PkgFile* f = PkgFileOpen(name, "rb");
  if (!f) return nullptr;
  PngImage* image = PngDecode(ReadPkg, f);
  PkgFileClose(f);
  return image;
}

dx::bitmap* PngImageToBitmap(const PngImage* image) {
  DibImage dib;
  if (!PngImageToDib(image, &dib)) return nullptr;
  dx::bitmap* b = dxloaddib(&dib.info, dib.bits);
  std::free(dib.bits);
  return b;
}

dx::bitmap* LoadPngBitmap(const char* name) {
  PngImage* image = PngLoadImage(name);
  if (!image) return nullptr;
  dx::bitmap* b = PngImageToBitmap(image);
  PngFreeImage(image);
  return b;
}

void LoadPngDib(const char* name, DibImage* dib) {
  if (!dib) return;
  PngImage* image = PngLoadImage(name);
  if (!image) {
    dib->bits = nullptr;
    return;
  }
  PngImageToDib(image, dib);
  PngFreeImage(image);
}

PngImage* PngNewImage(int width, int height) {
  if (!SizeAllowed(width, height)) return nullptr;
  auto* image = static_cast<PngImage*>(std::calloc(1, sizeof(PngImage)));
  if (!image) return nullptr;
  image->width = width;
  image->rows = static_cast<uint8_t**>(std::calloc(static_cast<size_t>(height), sizeof(uint8_t*)));
  if (!image->rows) {
    std::free(image);
    return nullptr;
  }
  for (int y = 0; y < height; ++y) {
    image->rows[y] = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(width), 3));
    if (!image->rows[y]) {
      FreeRows(image);
      return nullptr;
    }
    image->height = y + 1;
  }
  return image;
}

void PngFreeImage(PngImage* image) { FreeRows(image); }

uint32_t GetPngPixel(const PngImage* image, int x, int y) {
  if (!image || x < 0 || y < 0 || x >= image->width || y >= image->height) return 0xFF000000;
  const uint8_t* p = image->rows[y] + 3 * x;
  return 0xFF000000u | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

void SetPngPixel(PngImage* image, int x, int y, uint8_t c0, uint8_t c1, uint8_t c2) {
  if (!image || x < 0 || y < 0 || x >= image->width || y >= image->height) return;
  uint8_t* p = image->rows[y] + 3 * x;
  p[0] = c0, p[1] = c1, p[2] = c2;
}

void BlendPngPixel(PngImage* image, int x, int y, uint8_t c0, uint8_t c1, uint8_t c2, uint8_t a) {
  if (!image || x < 0 || y < 0 || x >= image->width || y >= image->height) return;
  uint8_t* p = image->rows[y] + 3 * x;
  const uint8_t in[3] = {c0, c1, c2};
  for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>((p[i] * (255 - a) + in[i] * a) / 255);
}

uint8_t* CreateDib24(DibImage* dib, int width, int height) {
  if (!dib) return nullptr;
  dib->bits = nullptr;
  if (!SizeAllowed(width, height)) return nullptr;
  size_t size = Stride(width) * static_cast<size_t>(height);
  std::memset(&dib->info, 0, sizeof(dib->info));
  BITMAPINFOHEADER& h = dib->info.bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<DWORD>(size);
  dib->bits = static_cast<uint8_t*>(std::malloc(size));
  return dib->bits;
}

uint8_t* PngImageToDib(const PngImage* image, DibImage* dib) {
  if (!image || !dib) return nullptr;
  if (!CreateDib24(dib, image->width, image->height)) return nullptr;
  size_t stride = Stride(image->width);
  for (int32_t y = 0; y < image->height; ++y) {
    const uint8_t* in = image->rows[image->height - 1 - y];
    uint8_t* out = dib->bits + stride * static_cast<size_t>(y);
    for (int32_t x = 0; x < image->width; ++x) {
      out[3 * x] = in[3 * x + 2];
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
    std::memset(out + 3 * static_cast<size_t>(image->width), 0, stride - 3 * static_cast<size_t>(image->width));
  }
  return dib->bits;
}

uint32_t GetDibPixel(const DibImage* dib, int x, int y) {
  if (!dib || !dib->bits) return 0xFF000000;
  const BITMAPINFOHEADER& h = dib->info.bmiHeader;
  if (x < 0 || y < 0 || x >= h.biWidth || y >= h.biHeight) return 0xFF000000;
  const uint8_t* p = dib->bits + Stride(h.biWidth) * static_cast<size_t>(h.biHeight - 1 - y) + 3 * x;
  return 0xFF000000u | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

void SetDibPixel(DibImage* dib, int x, int y, const void* color) {
  if (!dib || !dib->bits || !color) return;
  const BITMAPINFOHEADER& h = dib->info.bmiHeader;
  if (x < 0 || y < 0 || x >= h.biWidth || y >= h.biHeight) return;
  uint8_t* p = dib->bits + Stride(h.biWidth) * static_cast<size_t>(h.biHeight - 1 - y) + 3 * x;
  std::memcpy(p, color, 3);
}
