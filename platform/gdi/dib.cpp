// The DIB decoder, DIB sections and StretchDIBits.
#include "platform/gdi/dib.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/gdi/dc.h"

namespace {

// The APIs that take no length trust their caller, as GDI does; the checks of
// the decoder still bound every size.
constexpr size_t kTrusted = size_t{1} << 40;

uint32_t Get32(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool ContiguousMask(uint32_t m, int bpp) {
  if (m == 0) return true;
  if (bpp == 16 && m > 0xFFFF) return false;
  uint32_t shifted = m >> std::countr_zero(m);
  return (shifted & (shifted + 1)) == 0;
}

using platform::ChannelTo8;

struct Section : HBITMAP__ {
  std::vector<uint8_t> data;
  std::vector<uint32_t> palette;
  platform::PixelBuffer buffer;
};

}  // namespace

namespace gdi {

uint32_t Dib::Pixel(int x, int y) const {
  const uint8_t* row = Row(y);
  uint32_t index;
  switch (bpp) {
    case 1: index = (row[x >> 3] >> (7 - (x & 7))) & 1; break;
    case 4: index = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15; break;
    case 8: index = row[x]; break;
    case 16: {
      uint32_t p = Get16(row + 2 * x);
      return ChannelTo8(p, masks[0]) << 16 | ChannelTo8(p, masks[1]) << 8 | ChannelTo8(p, masks[2]);
    }
    case 24: {
      const uint8_t* p = row + 3 * x;
      return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
    }
    default: {
      uint32_t p = Get32(row + 4 * x);
      return ChannelTo8(p, masks[0]) << 16 | ChannelTo8(p, masks[1]) << 8 | ChannelTo8(p, masks[2]);
    }
  }
  // An index beyond the colour table is black.
  if (static_cast<int>(index) >= color_count) return 0;
  const uint8_t* c = colors + static_cast<size_t>(index) * color_size;
  return static_cast<uint32_t>(c[2]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[0];
}

bool ParseDibHeader(const void* header, size_t size, bool full_color_table, Dib& out) {
  out = Dib{};
  const auto* h = static_cast<const uint8_t*>(header);
  if (!h || size < 4) return false;
  uint32_t hsize = Get32(h);
  int64_t width, height;
  uint32_t compression = BI_RGB, clr_used = 0;
  bool core = hsize == 12;
  if (core) {
    if (size < 12) return false;
    width = Get16(h + 4);
    height = Get16(h + 6);
    if (Get16(h + 8) != 1) return false;
    out.bpp = Get16(h + 10);
    out.color_size = 3;
    if (out.bpp != 1 && out.bpp != 4 && out.bpp != 8 && out.bpp != 24) return false;
  } else {
    if (hsize < 40 || hsize > 1024 || size < hsize) return false;
    width = static_cast<int32_t>(Get32(h + 4));
    height = static_cast<int32_t>(Get32(h + 8));
    if (Get16(h + 12) != 1) return false;
    out.bpp = Get16(h + 14);
    compression = Get32(h + 16);
    clr_used = Get32(h + 32);
    if (out.bpp != 1 && out.bpp != 4 && out.bpp != 8 && out.bpp != 16 && out.bpp != 24 && out.bpp != 32)
      return false;
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && (out.bpp == 16 || out.bpp == 32)))
      return false;
  }
  out.top_down = height < 0;
  if (height < 0) height = -height;
  if (width < 1 || width > kMaxDibSide || height < 1 || height > kMaxDibSide || width * height > kMaxDibPixels)
    return false;
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.stride = ((static_cast<size_t>(out.width) * out.bpp + 31) / 32) * 4;
  size_t pos = hsize;
  if (out.bpp >= 16) {
    if (compression == BI_BITFIELDS) {
      // A 40-byte header is followed by the three masks; longer ones hold them.
      const uint8_t* m = h + 40;
      if (hsize == 40) {
        if (size < 52) return false;
        pos = 52;
      } else if (hsize < 52) {
        return false;  // too short to hold the masks it says it has
      }
      for (int i = 0; i < 3; ++i) {
        out.masks[i] = Get32(m + 4 * i);
        if (!ContiguousMask(out.masks[i], out.bpp)) return false;
      }
    } else if (out.bpp == 16) {
      out.masks[0] = 0x7C00, out.masks[1] = 0x03E0, out.masks[2] = 0x001F;
    } else {
      out.masks[0] = 0xFF0000, out.masks[1] = 0xFF00, out.masks[2] = 0xFF;
    }
  } else if (out.bpp <= 8) {
    int full = 1 << out.bpp;
    int count = full;
    if (!full_color_table && clr_used != 0) {
      if (clr_used > static_cast<uint32_t>(full)) return false;
      count = static_cast<int>(clr_used);
    }
    size_t table = static_cast<size_t>(count) * out.color_size;
    if (size < pos || size - pos < table) return false;
    out.colors = h + pos;
    out.color_count = count;
    pos += table;
  }
  out.header_size = pos;
  return true;
}

bool AttachDibBits(Dib& dib, const void* bits, size_t size) {
  if (!bits || dib.stride == 0) return false;
  if (size / dib.stride < static_cast<size_t>(dib.height)) return false;
  dib.bits = static_cast<const uint8_t*>(bits);
  return true;
}

const platform::PixelBuffer* SectionBuffer(HBITMAP bitmap) {
  auto* s = dynamic_cast<Section*>(static_cast<HGDIOBJ>(bitmap));
  return s && ValidObject(s) ? &s->buffer : nullptr;
}

}  // namespace gdi

int StretchDIBits(HDC dc, int x_dest, int y_dest, int dest_width, int dest_height, int x_src, int y_src,
                  int src_width, int src_height, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop) {
  gdi::Dib dib;
  if (!gdi::ValidDC(dc) || rop != SRCCOPY || usage != DIB_RGB_COLORS) return GDI_ERROR;
  if (!gdi::ParseDibHeader(info, kTrusted, false, dib) || !gdi::AttachDibBits(dib, bits, kTrusted))
    return GDI_ERROR;
  const platform::PixelBuffer& b = dc->buffer;
  if (!b.bits || dest_width == 0 || dest_height == 0 || src_width == 0 || src_height == 0) return 0;
  gdi::Stretch k =
      gdi::NormaliseStretch(x_dest, y_dest, dest_width, dest_height, x_src, y_src, src_width, src_height);
  // For a bottom-up DIB the source rectangle is measured from the bottom row.
  if (!dib.top_down) k.st = dib.height - k.st - k.sh;
  uint32_t last_rgb = 0xFFFFFFFF, last_pixel = 0;
  gdi::WalkStretch(k, gdi::DrawArea(*dc), dib.width, dib.height, [&](int x, int y, int sx, int sy) {
    uint32_t rgb = dib.Pixel(sx, sy);
    if (rgb != last_rgb) last_rgb = rgb, last_pixel = gdi::RgbToPixel(b, rgb);
    gdi::WritePixel(b, x, y, last_pixel);
  });
  // The destination's rows; a height of INT_MIN has one more than an int holds.
  return static_cast<int>(std::min<int64_t>(k.dh, INT_MAX));
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  gdi::Dib dib;
  if (usage != DIB_RGB_COLORS || section || !gdi::ParseDibHeader(info, kTrusted, false, dib)) return nullptr;
  if (dib.bpp != 8 && dib.bpp != 16 && dib.bpp != 24 && dib.bpp != 32) return nullptr;
  auto* s = new Section;
  s->data.assign(dib.stride * static_cast<size_t>(dib.height), 0);
  platform::PixelBuffer& b = s->buffer;
  b.width = dib.width, b.height = dib.height;
  b.format.bpp = dib.bpp;
  if (dib.bpp == 8) {
    b.format.rmask = b.format.gmask = b.format.bmask = 0;
    s->palette.assign(256, 0);
    for (int i = 0; i < dib.color_count; ++i) {
      const uint8_t* c = dib.colors + static_cast<size_t>(i) * dib.color_size;
      s->palette[static_cast<size_t>(i)] = static_cast<uint32_t>(c[2]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[0];
    }
    b.palette = s->palette.data();
  } else {
    b.format.rmask = dib.masks[0], b.format.gmask = dib.masks[1], b.format.bmask = dib.masks[2];
  }
  // Rows run top to bottom in the buffer whatever the storage order.
  int pitch = static_cast<int>(dib.stride);
  if (dib.top_down) {
    b.bits = s->data.data();
    b.pitch = pitch;
  } else {
    b.bits = s->data.data() + dib.stride * static_cast<size_t>(dib.height - 1);
    b.pitch = -pitch;
  }
  gdi::RegisterObject(s);
  if (bits) *bits = s->data.data();
  return s;
}
