#include "game/effect.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dx/dx.h"
#include "game/dibpixels.h"
#include "game/fatal.h"
#include "game/gamestate.h"
#include "game/position.h"
#include "game/sound.h"

namespace {

// Loaded on first use and kept for the run.
std::unique_ptr<uint8_t[]> EffectTables[kEffectTables];

void RestoreVideoMemory() {
  if (!SetupRecord.video_mode) return;
  dxusevram(true);
  ResetRenderState();
}

}  // namespace

const uint8_t* EffectTable(int n) {
  if (n < 0 || n >= kEffectTables) return nullptr;
  return EffectTables[n].get();
}

void LoadEffector(uint8_t* buffer, const char* name) {
  PkgFile* f = PkgFileOpen(name, "rb");
  if (!f) GAME_FATAL("[%s]:エラー:エフェクターのロードに失敗しました", name);
  size_t done = 0;
  while (done < kEffectTableBytes) {
    const int32_t want = static_cast<int32_t>(std::min<size_t>(kEffectTableBytes - done, 1 << 20));
    const int32_t got = PkgFileRead(f, buffer + done, want);
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  PkgFileClose(f);
}

int LoadEffectTable(int n) {
  if (n < 0 || n >= kEffectTables) return -1;
  if (EffectTables[n]) return 0;
  std::unique_ptr<uint8_t[]> table(new uint8_t[kEffectTableBytes]());
  char name[64];
  std::snprintf(name, sizeof name, "data/system/effect%d.dat", n + 1);
  LoadEffector(table.get(), name);
  EffectTables[n] = std::move(table);
  return 0;
}

void FreeEffectTables() {
  for (auto& t : EffectTables) t.reset();
}

void EffectOffset(const uint8_t* table, int frame, int x, int y, int* dx, int* dy) {
  const uint8_t* e = table + static_cast<size_t>(frame) * kEffectFrameBytes + static_cast<size_t>(x) * 960 +
                     static_cast<size_t>(y) * 4;
  *dx = static_cast<int16_t>(e[0] | e[1] << 8);
  *dy = static_cast<int16_t>(e[2] | e[3] << 8);
}

void WarpFrame(const uint8_t* table, int frame, bool half, const DibImage& in, DibImage& out) {
  DibClear(out);
  if (frame < 0 || frame >= kEffectFrames) return;
  for (int y = 0; y < kEffectHeight; ++y) {
    for (int x = 0; x < kEffectWidth; ++x) {
      const uint8_t* p = DibAt(in, x, y);
      if (!p || DibPixelEmpty(p)) continue;
      int dx, dy;
      EffectOffset(table, frame, x, y, &dx, &dy);
      if (half) dx /= 2, dy /= 2;
      if (uint8_t* q = DibAt(out, x + dx, y + dy)) std::memcpy(q, p, 3);
    }
  }
}

void ZoomTransition(int kind, int flag) {
  if (kind != 0) return;
  dx::bitmap* screen = dxcapture(0, 0, 640, 480, false);
  for (int i = 0; i < 80; ++i) {
    const int s = flag >= 1 ? i : 79 - i;
    const int w = 640 + 100 * s * s, h = 480 + 20 * s;
    dxstretchblt(screen, -(w - 640) / 2, -(h - 480) / 2, w, h);
    dxfillrectalpha(0, 0, 640, 480, dxrgb(1, 1, 1), static_cast<uint32_t>(s * 100 / 80));
    dxupdate();
  }
  dxdeletebitmap(screen);
}

void PlayEffect(const char* picture, int n, int flag) {
  if (n < 0) return;
  if (n >= 10) {
    ZoomTransition(n - 10, flag);
    return;
  }
  dx::bitmap* old = dxcapture(0, 0, 640, 480, false);
  if (SetupRecord.video_mode) {
    // The software blends work on system memory: take the old screen there.
    dxusevram(false);
    dxbltnokey(old, 0, 0);
    dxdeletebitmap(old);
    old = dxcapture(0, 0, 640, 480, false);
  }
  if (LoadEffectTable(n) != 0) {
    dxdeletebitmap(old);
    RestoreVideoMemory();
    return;
  }
  const uint8_t* table = EffectTable(n);
  dx::bitmap* blend = dxnewbitmap(640, 480);
  Dib half, warp, pic;
  CreateDib24(&half.d, kEffectWidth, kEffectHeight);
  CreateDib24(&warp.d, kEffectWidth, kEffectHeight);
  DibClear(half.d);
  LoadPngDib(picture, &pic.d);
  if (!pic.d.bits || !half.d.bits || !warp.d.bits) GAME_FATAL("[%s]:エラー:PNGのロードに失敗", picture);

  // Each half-size pixel keeps the last pixel of its 2 x 2 block.
  for (int y = 0; y < DibHeight(pic.d); ++y)
    for (int x = 0; x < DibWidth(pic.d); ++x)
      if (uint8_t* q = DibAt(half.d, x / 2, y / 2)) std::memcpy(q, DibAt(pic.d, x, y), 3);

  for (int k = 19; k >= -1; --k) {
    PlayMusic(-1);
    const int f = flag >= 1 ? k : 18 - k;
    dx::bitmap* frame;
    if (f >= 0) {
      WarpFrame(table, f, n == 4, half.d, warp.d);
      frame = dxloaddib(&warp.d.info, warp.d.bits);
      dxbltnokey(old, 0, 0);
      dxpushtarget(blend);
      dxcls(0);
      dxstretchblt(frame, 0, 0, 640, 480);
      dxpoptarget(false);
      dxbltalpha(blend, 0, 0, static_cast<uint32_t>((20 - f) * 100 / 20));
    } else {
      frame = dxloaddib(&pic.d.info, pic.d.bits);
      dxbltnokey(old, 0, 0);
      dxblt(frame, 0, 0);
    }
    dxupdate();
    while (!dxtick(15000)) dxupdate();
    dxdeletebitmap(frame);
  }
  dxdeletebitmap(blend);
  dxdeletebitmap(old);
  RestoreVideoMemory();
}
