// Message window and background layer built-ins.
#include "game/macro/macro_mes.h"

#include <cstring>
#include <utility>

#include "dx/dx.h"
#include "game/fatal.h"
#include "game/macro/macro_draw.h"
#include "game/macro/macro_ui.h"
#include "game/picture.h"
#include "script/script.h"
#include "game/sound.h"
#include "game/win.h"

BgLayer BgLayers[kBgLayers];

namespace {

constexpr MesWindowState kWindowStart{0, 32, 270, 400, 200, 80, 255, 255, 255, 0};
constexpr size_t kMesBuffer = 1024;
constexpr uint32_t kKeyMarkFrameUs = 80000;

// The layer-number faults name the place of the check in the game's built-ins.
constexpr char kMacroSource[] = "game/macro.cpp";

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF); }

// Clears layer 3's surface to black, when it has one.
void ClearTextLayer() {
  dx::bitmap* text = BgLayers[kMesTextLayer].picture;
  if (!text) return;
  dxpushtarget(text);
  dxcls(dxrgb(0, 0, 0));
  dxpoptarget(true);
}

}  // namespace

MesWindowState MesWindow = kWindowStart;

void InitBgLayers() {
  for (BgLayer& l : BgLayers) {
    l.picture = nullptr;
    l.enabled = 1;
  }
}

void ResetMesWindow() {
  for (BgLayer& l : BgLayers) {
    dxdeletebitmap(l.picture);
    l = BgLayer{nullptr, 0, 0, 1};
  }
  MesWindow = kWindowStart;
}

void OpenMesWindow(int32_t x, int32_t y, int32_t w, int32_t h, int32_t opacity, int32_t r, int32_t g, int32_t b) {
  MesWindow.x = x, MesWindow.y = y, MesWindow.width = w, MesWindow.height = h;
  MesWindow.opacity = opacity, MesWindow.r = r, MesWindow.g = g, MesWindow.b = b;
  MesWindow.open = 1;
  BgLayer& text = BgLayers[kMesTextLayer];
  dxdeletebitmap(text.picture);
  text.picture = dxnewbitmap(HeldPlace(int64_t{w} - 8), HeldPlace(int64_t{h} - 8));
  if (!text.picture || !dxgetsyssurface(text.picture, false)) {
    dxdeletebitmap(text.picture);
    text.picture = nullptr;
    GAME_WARNING("メッセージwindow用メモリ確保に失敗");
  } else {
    ClearTextLayer();
    text.x = HeldPlace(int64_t{x} + 4);
    text.y = HeldPlace(int64_t{y} + 4);
  }
  MesWindow.line_y = 0;
}

void RedrawMesScene(bool fill) {
  for (int i = 0; i < kMesTextLayer; ++i)
    if (BgLayers[i].picture && BgLayers[i].enabled) dxbltnokey(BgLayers[i].picture, BgLayers[i].x, BgLayers[i].y);
  if (fill)
    dxfillrectalpha(MesWindow.x, MesWindow.y, MesWindow.width, MesWindow.height,
                    dxrgb(MesWindow.r, MesWindow.g, MesWindow.b), static_cast<uint32_t>(MesWindow.opacity));
  const BgLayer& text = BgLayers[kMesTextLayer];
  if (text.picture && text.enabled) dxblt(text.picture, text.x, text.y);
}

int32_t CheckMesKeys() {
  dxclearchars();
  const int32_t keys = MacroKeyBits();
  if (!keys)
    for (int i = 0; i < 10; ++i) {
      PlayMusic(-1);
      dxtick(1);
    }
  PlayMusic(-1);
  if (!(keys & kKeyPeek)) return keys;
  // Tab: layer 0 alone until the next key.
  const BgLayer& back = BgLayers[0];
  if (back.picture && back.enabled) dxbltnokey(back.picture, back.x, back.y);
  dxupdate();
  dxclearchars();
  while (MacroKeyBits()) {
    dxupdate();
    dxtick(1);
  }
  while (!MacroKeyBits()) {
    PlayMusic(-1);
    dxtick(1);
    dxupdate();
  }
  while (MacroKeyBits()) {
    dxupdate();
    dxtick(1);
  }
  dxclearchars();
  RedrawMesScene(true);
  dxupdate();
  return keys;
}

int macro_mes_open(StrList** args, StrList** stack) {
  if (!MesWindow.open) {
    MacroArgReader a(args);
    MesWindowState s = MesWindow;
    a.Int(s.x), a.Int(s.y), a.Int(s.width), a.Int(s.height), a.Int(s.opacity), a.Int(s.r), a.Int(s.g), a.Int(s.b);
    OpenMesWindow(s.x, s.y, s.width, s.height, s.opacity, s.r, s.g, s.b);
  }
  return MacroPushInt(stack, 0);
}

int macro_mes_close(StrList**, StrList** stack) {
  MesWindow.open = 0;
  return MacroPushInt(stack, 0);
}

int macro_mes_home(StrList**, StrList** stack) {
  // Without a text surface the screen itself is cleared; only a push is popped.
  if (BgLayers[kMesTextLayer].picture)
    ClearTextLayer();
  else
    dxcls(dxrgb(0, 0, 0));
  MesWindow.line_y = 0;
  return MacroPushInt(stack, 0);
}

int macro_mes(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  const char* text = nullptr;
  if (a.Text(text) && MesWindow.open) {
    // The text and its line feed in one buffer, cut on a character boundary.
    char buffer[kMesBuffer];
    size_t len = 0;
    while (text[len]) {
      size_t step = IsLeadByte(static_cast<unsigned char>(text[len])) && text[len + 1] ? 2 : 1;
      if (len + step > kMesBuffer - 2) break;
      len += step;
    }
    std::memcpy(buffer, text, len);
    buffer[len] = '\n';
    buffer[len + 1] = '\0';
    MesText.x = 4;
    MesText.y = MesWindow.line_y;
    if (dx::bitmap* layer = BgLayers[kMesTextLayer].picture) {
      dxpushtarget(layer);
      DrawMarkupText(buffer, -1, -1);
      dxpoptarget(true);
      MesWindow.line_y = MesText.y;
    }
    RedrawMesScene(true);
    dxupdate();
  }
  return MacroPushInt(stack, 0);
}

int macro_mes_ref(StrList**, StrList** stack) {
  RedrawMesScene(MesWindow.open != 0);
  return MacroPushInt(stack, 0);
}

int macro_mes_key(StrList**, StrList** stack) {
  if (!MesWindow.open) return MacroPushInt(stack, 0);
  int32_t frame = 0;
  bool have_time = false;
  DWORD frame_time = 0;
  int32_t keys;
  for (;;) {
    if (frame >= 8) frame = 0;
    RedrawMesScene(true);
    // The key mark swings back and forth over eight frames.
    const int32_t f = frame < 4 ? frame : 7 - frame;
    dxbltpart(readIMG(kWindowSkin), HeldPlace(int64_t{MesWindow.x} + 4),
              HeldPlace(int64_t{MesWindow.y} + MesWindow.line_y + 4), 32 * f, 176, 32, 32);
    dxupdate();
    keys = CheckMesKeys() & ~kKeyPeek;
    if (keys) break;
    const DWORD now = dxgettime();
    if (!have_time) {
      frame_time = now;
      have_time = true;
    }
    if (now - frame_time > kKeyMarkFrameUs) {
      frame_time = now;
      ++frame;
    }
    PlayMusic(-1);
  }
  MesWindow.line_y = 0;
  ClearTextLayer();
  return MacroPushInt(stack, keys);
}

int macro_keywait(StrList**, StrList** stack) { return MacroPushInt(stack, CheckMesKeys()); }

int macro_bg_enable(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t layer = -1, on = -1;
  a.Int(layer), a.Int(on);
  if (layer >= 0 && layer < kBgLayers && on >= 0) BgLayers[layer].enabled = on;
  return MacroPushInt(stack, 0);
}

int macro_bg_memo(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t layer = 0, x = 0, y = 0, w = 640, h = 480;
  a.Int(layer), a.Int(x), a.Int(y), a.Int(w), a.Int(h);
  if (layer >= kBgLayers) {
    FormatMsg("macro_bg_memoのBACK_BUFFがオーバーフロー");
    FatalError(kMacroSource, __LINE__);
  }
  // A negative layer names none: nothing is touched.
  if (layer >= 0) {
    BgLayer& l = BgLayers[layer];
    dxdeletebitmap(l.picture);
    l.picture = dxcapture(x, y, w, h, true);
    l.x = x;
    l.y = y;
    l.enabled = 1;
  }
  return MacroPushInt(stack, 0);
}

int macro_bg_open(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t layer = 0;
  a.Int(layer);
  if (layer >= 0 && layer < kBgLayers && BgLayers[layer].picture) dxpushtarget(BgLayers[layer].picture);
  return MacroPushInt(stack, 0);
}

int macro_bg_close(StrList**, StrList** stack) {
  dxpoptarget(true);
  return MacroPushInt(stack, 0);
}

int macro_clear(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t r = 0, g = 0, b = 0;
  a.Int(r), a.Int(g), a.Int(b);
  dxcls(dxrgb(r, g, b));
  return MacroPushInt(stack, 0);
}

int macro_bg_free(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t layer = -1;
  a.Int(layer);
  for (int i = 0; i < kBgLayers; ++i) {
    if (layer >= 0 && i != layer) continue;
    dxdeletebitmap(BgLayers[i].picture);
    BgLayers[i].picture = nullptr;
    BgLayers[i].x = 0;
    BgLayers[i].y = 0;
  }
  return MacroPushInt(stack, 0);
}

int macro_bg_draw(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t layer = -1, percent = -1, mode = 0;
  a.Int(layer);
  if (layer >= kBgLayers) {
    FormatMsg("macro_bg_drawのBACK_BUFFがオーバーフロー");
    FatalError(kMacroSource, __LINE__);
  }
  if (layer >= 0) {
    BgLayer& l = BgLayers[layer];
    int32_t x = l.x, y = l.y;
    a.Int(x), a.Int(y);
    if (l.picture) dxbltnokey(l.picture, x, y);
    return MacroPushInt(stack, 0);
  }
  a.Skip(), a.Skip();
  a.Int(percent), a.Int(mode);
  for (BgLayer& l : BgLayers) {
    if (!l.picture || !l.enabled) continue;
    if (percent < 0) {
      if (mode == 0) dxbltnokey(l.picture, l.x, l.y);
    } else if (mode == 0) {
      dxbltalpha(l.picture, l.x, l.y, static_cast<uint32_t>(percent));
    } else if (mode == 1) {
      dxbltadd(l.picture, l.x, l.y);
    } else if (mode == 2) {
      dxbltaddpct(l.picture, l.x, l.y, static_cast<uint32_t>(percent));
    }
  }
  return MacroPushInt(stack, 0);
}

int macro_bg_swap(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t p = -1, q = -1;
  a.Int(p), a.Int(q);
  if (p >= 0 && p < kBgLayers && q >= 0 && q < kBgLayers) {
    std::swap(BgLayers[p].picture, BgLayers[q].picture);
    std::swap(BgLayers[p].x, BgLayers[q].x);
    std::swap(BgLayers[p].y, BgLayers[q].y);
  }
  return MacroPushInt(stack, 0);
}

int macro_overwrite(StrList**, StrList** stack) {
  // A cross-fade from layer 1 to layer 0 in ten frames and a last one.
  for (uint32_t pct = 0; pct < 100; pct += 10) {
    if (BgLayers[1].picture) dxbltnokey(BgLayers[1].picture, 0, 0);
    if (BgLayers[0].picture) dxbltalpha(BgLayers[0].picture, 0, 0, pct);
    dxupdate();
  }
  if (BgLayers[0].picture) dxblt(BgLayers[0].picture, 0, 0);
  dxupdate();
  return MacroPushText(stack, "");
}

void RegisterMesMacros() {
  ScriptRegisterFunction(&MacroList, "overwrite", macro_overwrite, nullptr);
  ScriptRegisterFunction(&MacroList, "bg_enable", macro_bg_enable, nullptr);
  ScriptRegisterFunction(&MacroList, "bg_memo", macro_bg_memo, nullptr);
  ScriptRegisterFunction(&MacroList, "bg_open", macro_bg_open, nullptr);
  ScriptRegisterFunction(&MacroList, "bg_close", macro_bg_close, nullptr);
  ScriptRegisterFunction(&MacroList, "clear", macro_clear, nullptr);
  ScriptRegisterFunction(&MacroList, "bg_free", macro_bg_free, nullptr);
  ScriptRegisterFunction(&MacroList, "bg_draw", macro_bg_draw, nullptr);
  ScriptRegisterFunction(&MacroList, "bg_swap", macro_bg_swap, nullptr);
  ScriptRegisterFunction(&MacroList, "keywait", macro_keywait, nullptr);
  ScriptRegisterFunction(&MacroList, "mes_open", macro_mes_open, nullptr);
  ScriptRegisterFunction(&MacroList, "mes_close", macro_mes_close, nullptr);
  ScriptRegisterFunction(&MacroList, "mes_home", macro_mes_home, nullptr);
  ScriptRegisterFunction(&MacroList, "mes_key", macro_mes_key, nullptr);
  ScriptRegisterFunction(&MacroList, "mes_ref", macro_mes_ref, nullptr);
  ScriptRegisterFunction(&MacroPrefixList, "mes", macro_mes, nullptr);
  ScriptRegisterFunction(&MacroList, "mes", macro_mes, nullptr);
}
