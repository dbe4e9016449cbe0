#include "dx/capture.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "dx/display.h"
#include "dx/shell.h"
#include "dx/target.h"
#include "platform/ddraw/ddraw.h"
#include "platform/win32/file.h"

dx::bitmap* dxcapture(int x, int y, int w, int h, bool system_copy) {
  dx::bitmap* b = dxnewbitmap(w, h);
  IDirectDrawSurface* s = dxgetsurface(b, true);
  RECT from, to;
  if (s && dxtarget && dxclip(x, y, w, h, 0, 0, &from, &to)) s->Blt(&to, dxtarget, &from, DDBLT_WAIT | DDBLT_ASYNC, nullptr);
  if (system_copy) dxgetsyssurface(b, false);
  return b;
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

bool dxsavebmp(const char* name, int x, int y, int w, int h) {
  if (!dxtarget || !name || w <= 0 || h <= 0) return false;
  RECT r = dxrectat(x, y, w, h);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  if (dxtarget->Lock(&r, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK) return false;
  std::FILE* f = win32::fopen(name, "wb");
  if (!f) {
    dxtarget->Unlock(desc.lpSurface);
    return false;
  }
  platform::PixelFormat format = dxtarget->pixels().format;
  int bpp = format.bpp, bytes = bpp / 8;
  uint32_t stride = (static_cast<uint32_t>(w) * bytes + 3) & ~3u;
  uint32_t image = stride * static_cast<uint32_t>(h);
  bool fields = (bpp == 16 && !(format.rmask == 0x7C00 && format.gmask == 0x03E0 && format.bmask == 0x001F)) ||
                (bpp == 32 && !(format.rmask == 0xFF0000 && format.gmask == 0xFF00 && format.bmask == 0xFF));
  uint32_t offset = bpp == 8 ? 1078 : fields ? 66 : 54;
  HDC screen = GetDC(dxgetwindow());
  auto per_metre = [screen](int res, int size) {
    int px = GetDeviceCaps(screen, res), mm = GetDeviceCaps(screen, size);
    return mm > 0 ? px * 1000 / mm : 0;
  };
  std::vector<uint8_t> head;
  head.push_back('B'), head.push_back('M');
  Put32(head, offset + image);
  Put32(head, 0);
  Put32(head, offset);
  Put32(head, 40);
  Put32(head, static_cast<uint32_t>(w));
  Put32(head, static_cast<uint32_t>(h));
  Put16(head, 1);
  Put16(head, static_cast<uint32_t>(bpp));
  Put32(head, fields ? BI_BITFIELDS : BI_RGB);
  Put32(head, image);
  Put32(head, static_cast<uint32_t>(per_metre(HORZRES, HORZSIZE)));
  Put32(head, static_cast<uint32_t>(per_metre(VERTRES, VERTSIZE)));
  Put32(head, 0);
  Put32(head, 0);
  ReleaseDC(dxgetwindow(), screen);
  if (bpp == 8) {
    for (const PALETTEENTRY& e : dxpalette) head.insert(head.end(), {e.peBlue, e.peGreen, e.peRed, 0});
  } else if (fields) {
    for (uint32_t m : {format.rmask, format.gmask, format.bmask}) Put32(head, bpp == 16 ? (m & 0xFFFF) : m);
  }
  bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
  // At 24 bits a surface that keeps R, G, B in memory order is written as B, G, R.
  bool swap = bpp == 24 && format.rmask == 0xFF && format.bmask == 0xFF0000;
  std::vector<uint8_t> row(stride, 0);
  const auto* bits = static_cast<const uint8_t*>(desc.lpSurface);
  for (int i = h - 1; ok && i >= 0; --i) {
    const uint8_t* in = bits + static_cast<ptrdiff_t>(i) * desc.lPitch;
    std::memcpy(row.data(), in, static_cast<size_t>(w) * bytes);
    if (swap)
      for (int k = 0; k < w; ++k) std::swap(row[3 * k], row[3 * k + 2]);
    ok = std::fwrite(row.data(), 1, stride, f) == stride;
  }
  dxtarget->Unlock(desc.lpSurface);
  if (std::fclose(f) != 0) ok = false;
  return ok;
}
