#include "game/opening.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dx/dx.h"
#include "game/dibpixels.h"
#include "game/effect.h"
#include "game/enemy.h"
#include "game/explore.h"
#include "game/fatal.h"
#include "game/gamestate.h"
#include "game/main.h"
#include "game/win.h"
#include "game/picture.h"
#include "game/position.h"
#include "game/sound.h"
#include "script/strlist.h"

namespace {

constexpr int kDemoNotOpening = 0x1;
constexpr int kDemoNotEnding = 0x2;
constexpr uint32_t kKeyRepeatDelay = 200000;

// The monsters of a set piece, in table order: PIC1 set and the DEMO bit clear.
std::vector<int> DemoMonsters(int excluded) {
  std::vector<int> list;
  for (int i = 0; i < 1024; ++i) {
    const MonsterRec& m = MonsterTable[i];
    if (m.pic[0] && m.pic[0][0] && !(m.demo & excluded)) list.push_back(i);
  }
  return list;
}

dx::bitmap* LoadPictureOrStop(const char* name) {
  dx::bitmap* b = LoadPngBitmap(name);
  if (!b) GAME_FATAL("[%s]:エラー:PNGのロードに失敗", name);
  return b;
}

// The monster's PIC1 scaled by nearest neighbour into `out` (w x h).
void LoadMonsterPicture(const MonsterRec& m, Dib& out, int w, int h) {
  Dib src;
  LoadPngDib(m.pic[0], &src.d);
  if (!src.d.bits) GAME_FATAL("[%s]:エラー:PNGのロードに失敗", m.pic[0]);
  out.Make(w, h);
  const int sw = DibWidth(src.d), sh = DibHeight(src.d);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::copy_n(DibAt(src.d, x * sw / w, y * sh / h), 3, DibAt(out.d, x, y));
}

// Frame t of the warp: every second pixel of the picture moved by the table's
// offset at its grid point, placed at (ox, oy) of the 320 x 240 warp image.
void WarpPicture(const uint8_t* table, int t, const Dib& pic, int ox, int oy, bool halve, Dib& warp) {
  DibClear(warp.d);
  const int w = DibWidth(pic.d), h = DibHeight(pic.d);
  for (int y = 0; y < h / 2; ++y) {
    for (int x = 0; x < w / 2; ++x) {
      const uint8_t* p = DibAt(pic.d, 2 * x, 2 * y);
      if (!p || DibPixelEmpty(p)) continue;
      int dx = 0, dy = 0;
      if (table) EffectOffset(table, t, 2 * x * kEffectWidth / w, 2 * y * kEffectHeight / h, &dx, &dy);
      if (halve) dx /= 2, dy /= 2;
      if (uint8_t* q = DibAt(warp.d, x + ox + dx, y + oy + dy)) std::copy_n(p, 3, q);
    }
  }
}

// The 640 x 480 screen image with the picture's non-empty pixels at (px, py).
void PlacePicture(const Dib& pic, int px, int py, Dib& screen) {
  DibClear(screen.d);
  for (int y = 0; y < DibHeight(pic.d); ++y)
    for (int x = 0; x < DibWidth(pic.d); ++x) {
      const uint8_t* p = DibAt(pic.d, x, y);
      if (DibPixelEmpty(p)) continue;
      if (uint8_t* q = DibAt(screen.d, px + x, py + y)) std::copy_n(p, 3, q);
    }
}

dx::bitmap* ToBitmap(const Dib& d) { return dxloaddib(&d.d.info, d.d.bits); }

bool KeyTyped() {
  const bool typed = dxgetchar() != 0;
  return GetKeyBits(kKeyRepeatDelay) != 0 || typed;
}

// Fades a picture in over a capture of the screen in ten presented steps and
// ends on the picture itself: the last step still shows a tenth of the old
// screen, which would stay under the picture's text while it waits.
void FadeInOverScreen(dx::bitmap* pic) {
  dx::bitmap* screen = dxcapture(0, 0, 640, 480, false);
  for (int op = 0; op <= 90; op += 10) {
    dxbltnokey(screen, 0, 0);
    dxbltalpha(pic, 0, 0, static_cast<uint32_t>(op));
    dxupdate();
  }
  dxblt(pic, 0, 0);
  dxupdate();
  dxdeletebitmap(screen);
}

// The key that closed a picture is used up there: the picture waits for its
// character only now and then, so a player presses again, and that key, still
// held or typed, would close the next picture unseen or choose on the title.
void UseUpKeys() {
  dxclearchars();
  dxclearkeys();
}

// The two closing pictures, each until a typed character. A missing picture
// is passed over, so the ending still reaches its end.
void ShowClosingPictures() {
  if (dx::bitmap* pic = LoadPngBitmap("data/system/credit2.png")) {
    FadeInOverScreen(pic);
    // Only what is typed while a picture waits closes it: characters typed
    // before (during the parade, or the one that closed the picture before)
    // would close it unseen.
    dxclearchars();
    for (int round = 0; round < 1000; ++round) {
      dxwait(800);
      if (dxgetchar() != 0) break;
    }
    UseUpKeys();
    dxdeletebitmap(pic);
  }
  if (dx::bitmap* pic = LoadPngBitmap("data/system/credit.png")) {
    FadeInOverScreen(pic);
    dxclearchars();
    for (;;) {
      dxblt(pic, 0, 0);
      dxupdate();
      dxwait(1000);
      if (dxgetchar() != 0) break;
    }
    UseUpKeys();
    dxdeletebitmap(pic);
  }
}

void CopyFrameOnBlack(dx::bitmap* crossfade, dx::bitmap* frame) {
  dxpushtarget(crossfade);
  dxcls(0);
  dxblt(frame, 0, 0);
  dxpoptarget(false);
}

}  // namespace

void PlayOpeningDemo() {
  LoadEffectTable(5);
  const uint8_t* table = EffectTable(5);
  const std::vector<int> list = DemoMonsters(kDemoNotOpening);
  const int n = static_cast<int>(list.size());

  dx::bitmap* prompt = LoadPictureOrStop("data/system/hitanykey.png");
  dx::bitmap* title = LoadPictureOrStop("data/system/title.png");
  dx::bitmap* backdrop = dxnewbitmap(640, 480);
  dxpushtarget(backdrop);
  dxbltnokey(title, 0, 0);
  dxfillrectalpha(0, 0, 640, 480, dxrgb(0, 0, 0), 70);
  dxpoptarget(false);
  dx::bitmap* crossfade = dxnewbitmap(640, 480);

  ChangeMusicFade(21);
  int phase = 0;
  int history[10];
  std::fill(std::begin(history), std::end(history), -1);

  const int debug = GetVarInt("OPENING_DEBUG");
  int next = n;
  if (debug != 0)
    for (int i = 0; i < n; ++i)
      if (MonsterTable[list[i]].num == debug) {
        next = i;
        break;
      }

  Dib pic, warp, screen;
  pic.Make(320, 240);
  warp.Make(320, 240);
  screen.Make(640, 480);
  // Characters typed before the opening (during start-up, in the title) do not end it.
  dxclearchars();
  bool key = false;
  while (!key) {
    // Without monsters the backdrop and the prompt still wait for a key.
    if (n > 0) {
      int shown;
      if (debug == 0) {
        shown = 0;
        for (int i = 0; i < 10; ++i) {
          shown = dxrand(n);
          if (std::find(std::begin(history), std::end(history), shown) == std::end(history)) {
            std::copy_backward(history, history + 9, history + 10);
            history[0] = shown;
          }
        }
      } else {
        if (next >= n) next = 0;
        shown = next++;
      }
      LoadMonsterPicture(MonsterTable[list[shown]], pic, 320, 240);
    }
    dxtick(1);
    int fade = 100;
    dx::bitmap* frame = nullptr;
    for (int t = 19; t >= -30; --t) {
      if (t >= 0)
        WarpPicture(table, t, pic, 90, 30, true, warp);
      else
        PlacePicture(pic, 180, 60, screen);
      dxdeletebitmap(frame);
      frame = ToBitmap(t >= 0 ? warp : screen);
      dxbltnokey(backdrop, 0, 0);
      if (fade > 0) {
        dxbltalpha(crossfade, 0, 0, static_cast<uint32_t>(fade));
        fade -= 5;
      }
      if (t >= 0)
        dxstretchblt(frame, 0, 0, 640, 480);
      else
        dxblt(frame, 0, 0);
      phase += 5;
      if (phase <= 200)
        dxbltalpha(prompt, 180, 340, static_cast<uint32_t>(phase <= 100 ? phase : 200 - phase));
      else
        phase = 0;
      phase += 5;
      dxupdate();
      if (KeyTyped()) {
        key = true;
        break;
      }
      while (!dxtick(15000)) dxupdate();
    }
    if (!key) CopyFrameOnBlack(crossfade, frame);
    dxdeletebitmap(frame);
  }

  for (int pct = 70; pct >= 10; pct -= 10) {
    dxbltnokey(title, 0, 0);
    dxfillrectalpha(0, 0, 640, 480, dxrgb(0, 0, 0), static_cast<uint32_t>(pct));
    dxupdate();
  }
  dxbltnokey(title, 0, 0);
  dxdeletebitmap(crossfade);
  dxdeletebitmap(backdrop);
  dxdeletebitmap(title);
  dxdeletebitmap(prompt);
}

void PlayEndingDemo() {
  if (SetupRecord.video_mode) dxusevram(false);
  LoadEffectTable(2);
  const uint8_t* table = EffectTable(2);
  const std::vector<int> list = DemoMonsters(kDemoNotEnding);
  dx::bitmap* backgrounds[6];
  for (int i = 0; i < 6; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "data/system/end%d.png", i + 1);
    backgrounds[i] = LoadPictureOrStop(name);
  }
  dx::bitmap* crossfade = dxnewbitmap(640, 480);
  dx::bitmap* text = dxnewbitmap(640, 480);
  ChangeMusicFade(41);

  Dib pic, warp, screen;
  warp.Make(320, 240);
  screen.Make(640, 480);
  int bg = -1;
  for (const int index : list) {
    const MonsterRec& m = MonsterTable[index];
    LoadMonsterPicture(m, pic, 480, 360);
    const int old_bg = bg;
    bg = dxrand(6);
    int auth_x = -200, auth_y = 480, name_x = 640;
    const int name_y = 440;
    int text_opacity = 0, fade = 100;
    dx::bitmap* frame = nullptr;
    for (int t = 19; t >= -30; --t) {
      if (t >= 0) {
        WarpPicture(table, t, pic, 45, 40, false, warp);
        dxdeletebitmap(frame);
        frame = ToBitmap(warp);
      } else if (t == -1) {
        PlacePicture(pic, 90, 80, screen);
        dxdeletebitmap(frame);
        frame = ToBitmap(screen);
      } else {
        dxsync(20);
      }
      dxbltnokey(backgrounds[bg], 0, 0);
      if (fade > 0) {
        if (old_bg >= 0) dxbltalpha(backgrounds[old_bg], 0, 0, static_cast<uint32_t>(fade));
        dxbltalpha(crossfade, 0, 0, static_cast<uint32_t>(fade));
        fade -= 5;
      }
      if (t >= 0)
        dxstretchblt(frame, 0, 0, 640, 480);
      else
        dxblt(frame, 0, 0);

      if (t <= 9) {
        dxpushtarget(text);
        dxcls(0);
        dxsetfont(GameFontFace, 30, 24, 1, 0, 0);
        if (m.name) dxprintf(name_x, name_y, dxrgb(255, 255, 255), "%s(%d回)", m.name, GameStateBlock.enemy_rip[index]);
        if (m.auth) {
          char line[1024];
          std::snprintf(line, sizeof line, "%s 様", m.auth);
          dxsetfont(GameFontFace, 48, 28, 1, 0, 0);
          const int width = dxtextwidth(line);
          const int s = t >= -19 ? t + 20 : 0;
          dxsetfont(GameFontFace, 48 + s, 28 + s, 1, 0, 0);
          dxtextout(auth_x - width, auth_y, line, dxrgb(255, 255, 255));
        }
        dxpoptarget(false);
        if (t > -20) auth_x += 28, auth_y -= 15, name_x -= 20;
        dxbltalpha(text, 0, 0, static_cast<uint32_t>(text_opacity));
        text_opacity = std::min(text_opacity + 5, 100);
      }
      dxupdate();
    }
    CopyFrameOnBlack(crossfade, frame);
    dxdeletebitmap(frame);
  }
  dxdeletebitmap(text);
  dxdeletebitmap(crossfade);
  for (dx::bitmap* b : backgrounds) dxdeletebitmap(b);

  ShowClosingPictures();
  if (SetupRecord.video_mode) {
    dxusevram(true);
    ResetRenderState();
  }
}

void PlayStaffCredits() {
  const std::vector<int> list = DemoMonsters(kDemoNotEnding);
  const int count = static_cast<int>(list.size());
  if (SetupRecord.video_mode) {
    // The screen survives the move out of video memory through a capture.
    dx::bitmap* keep = dxcapture(0, 0, 640, 480, false);
    dxusevram(false);
    dxbltnokey(keep, 0, 0);
    dxdeletebitmap(keep);
  }
  dx::bitmap* backdrop = dxcapture(0, 0, 640, 480, false);
  dx::bitmap* grad = readIMG("data/system/grad.png");
  dx::bitmap* layer = dxnewbitmap(640, 480);

  constexpr int kPlaces = 20, kSpacing = 96;
  int places[kPlaces];
  std::fill(std::begin(places), std::end(places), -1);
  int next = 0, scroll = kSpacing, last = -1;
  const uint32_t white = dxrgb(255, 255, 255), green = dxrgb(80, 255, 200);
  for (;;) {
    PlayMusic(-1);
    if (scroll >= kSpacing) {
      scroll = 0;
      last = -1;
      for (int k = 0; k < kPlaces - 1; ++k) {
        places[k] = places[k + 1];
        if (places[k] >= 0) last = k;
      }
      if (next < count) {
        places[kPlaces - 1] = next++;
        last = kPlaces - 1;
      } else {
        places[kPlaces - 1] = -1;
      }
    }
    dxpushtarget(layer);
    dxcls(0);
    int shown = 0;
    for (int p = kPlaces - 1, top = 480 - scroll; p >= 0 && top > -kSpacing; --p, top -= kSpacing) {
      if (places[p] < 0) continue;
      ++shown;
      int line_top = top;
      if (next >= count && p == last && line_top < 240 - kSpacing / 2) line_top = 240 - kSpacing / 2;
      const MonsterRec& m = MonsterTable[list[places[p]]];
      char auth[1024], name[1024];
      std::snprintf(auth, sizeof auth, "■%s■", m.auth ? m.auth : "");
      std::snprintf(name, sizeof name, "………%s", m.name ? m.name : "");
      dxsetfont(GameFontFace, 32, 16, 1, 0, 1);
      const int aw = dxtextwidth(auth), ax = (640 - aw) / 2;
      dxtextout(ax, line_top, auth, white);
      dxsetfont(GameFontFace, 24, 12, 1, 0, 1);
      const int nw = dxtextwidth(name), nx = 500 - nw;
      dxtextout(nx, line_top + 32, name, green);
      const int block = (line_top - 240) * 32 / 240;
      if (block > 1) {
        const int left = std::min(ax, nx), right = std::max(ax + aw, nx + nw);
        dxmosaic(left, line_top, right - left, 56, block);
      }
    }
    dxbltsub(grad, 0, 0);
    dxpoptarget(false);
    if (shown == 0) break;
    dxbltnokey(backdrop, 0, 0);
    dxbltaddpct(layer, 0, 0, 80);
    dxupdate();
    scroll += 4;
  }
  dxdeletebitmap(layer);
  dxdeletebitmap(backdrop);

  ShowClosingPictures();
  dx::bitmap* screen = dxcapture(0, 0, 640, 480, false);
  if (SetupRecord.video_mode) {
    dxusevram(true);
    ResetRenderState();
  }
  dxbltnokey(screen, 0, 0);
  dxdeletebitmap(screen);
}
