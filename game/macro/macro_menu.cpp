// Choice menus.
#include "game/macro/macro_menu.h"

#include <algorithm>
#include <vector>

#include "dx/dx.h"
#include "game/macro/macro_mes.h"
#include "game/macro/macro_ui.h"
#include "script/script.h"
#include "game/sound.h"
#include "game/win.h"

namespace {

constexpr int32_t kSoundMove = 100;
constexpr int32_t kSoundDecide = 101;
constexpr int32_t kSoundCancel = 102;

int32_t RoundUp32(int32_t v) { return (v + 31) / 32 * 32; }

int32_t RunMenu(int32_t x, int32_t y, int32_t selection, int32_t centred, const ChoiceMenuLayout& m) {
  const std::vector<ChoiceMenuItem>& items = m.items;
  const int32_t last = static_cast<int32_t>(items.size()) - 1;
  dx::bitmap* under = dxcapture(x, y, m.capture_w, m.capture_h, true);
  for (;;) {
    dxbltnokey(under, x, y);
    DrawWindowFrame(x, y, m.frame_w, m.frame_h, 50);
    for (size_t k = 0; k < items.size(); ++k) {
      const ChoiceMenuItem& it = items[k];
      if (static_cast<int32_t>(k) == selection)
        DrawWindowSel(it.button_x, it.button_y, it.button_w);
      else
        DrawWindowNormal(it.button_x, it.button_y, it.button_w);
      dxtextout(it.TextX(centred != 0), it.text_top, it.text, dxrgb(1, 1, 1));
    }
    dxupdate();
    const int32_t keys = CheckMesKeys();
    if ((keys & m.prev_keys) && selection >= 1) {
      --selection;
      PlaySE(kSoundMove);
    }
    if ((keys & m.next_keys) && selection < last) {
      ++selection;
      PlaySE(kSoundMove);
    }
    if (keys & kKeyDecide) {
      PlaySE(kSoundDecide);
      break;
    }
    if (keys & kKeyCancel) {
      PlaySE(kSoundCancel);
      selection = -1;
      break;
    }
    dxtick(1);
  }
  // The menu's last picture stays until the script draws over it.
  dxdeletebitmap(under);
  return selection;
}

// The texts with their widths in the menu font; the font stays set.
std::vector<ChoiceMenuItem> MeasureItems(const char* const* texts) {
  dxsetfont(GameFontFace, 16, 8, 1, 0, 1);
  std::vector<ChoiceMenuItem> items;
  for (; texts[0] && texts[0][0] && items.size() < kMenuMaxItems; ++texts) {
    ChoiceMenuItem it{};
    it.text = texts[0];
    it.width = dxtextwidth(texts[0]);
    items.push_back(it);
  }
  return items;
}

}  // namespace

ChoiceMenuLayout LayoutChoiceMenuH(int32_t x, int32_t y, const char* const* texts) {
  ChoiceMenuLayout m{};
  m.items = MeasureItems(texts);
  const int32_t th = dxfontheight();
  x = NearScreen(x), y = NearScreen(y);
  int32_t left = x + 8;
  for (ChoiceMenuItem& it : m.items) {
    it.button_x = left;
    it.button_y = y + 19;
    it.button_w = RoundUp32(it.width);
    it.text_left = left + 8;
    it.text_top = y + 19 + (32 - th) / 2;
    left += it.button_w;
  }
  m.frame_w = 16 + (left - (x + 8));
  m.frame_h = 70;
  m.capture_w = RoundUp32(m.frame_w);
  m.capture_h = 96;
  m.prev_keys = kKeyLeft;
  m.next_keys = kKeyRight;
  return m;
}

ChoiceMenuLayout LayoutChoiceMenuV(int32_t x, int32_t y, const char* const* texts) {
  ChoiceMenuLayout m{};
  m.items = MeasureItems(texts);
  const int32_t th = dxfontheight();
  x = NearScreen(x), y = NearScreen(y);
  int32_t slot = 48;
  for (const ChoiceMenuItem& it : m.items) slot = std::max(slot, RoundUp32(it.width));
  for (size_t k = 0; k < m.items.size(); ++k) {
    ChoiceMenuItem& it = m.items[k];
    const int32_t row = static_cast<int32_t>(k) * 28;
    it.button_x = x + 8;
    it.button_y = y + 17 + row;
    it.button_w = slot;
    it.text_left = x + 16;
    it.text_top = y + 19 + row + (28 - th) / 2;
  }
  m.frame_w = 16 + slot;
  m.frame_h = 28 * static_cast<int32_t>(m.items.size()) + 38;
  m.capture_w = RoundUp32(m.frame_w);
  m.capture_h = RoundUp32(m.frame_h);
  m.prev_keys = kKeyUp;
  m.next_keys = kKeyDown;
  return m;
}

int32_t RunChoiceMenuH(int32_t x, int32_t y, int32_t selection, int32_t centred, const char* const* texts) {
  if (!texts) return -1;
  x = NearScreen(x), y = NearScreen(y);
  return RunMenu(x, y, selection, centred, LayoutChoiceMenuH(x, y, texts));
}

int32_t RunChoiceMenuV(int32_t x, int32_t y, int32_t selection, int32_t centred, const char* const* texts) {
  if (!texts) return -1;
  x = NearScreen(x), y = NearScreen(y);
  return RunMenu(x, y, selection, centred, LayoutChoiceMenuV(x, y, texts));
}

namespace {

using MenuRunner = int32_t (*)(int32_t, int32_t, int32_t, int32_t, const char* const*);

int RunMenuMacro(MenuRunner run, StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t x = 0, y = 0, selection = -1, centred = 0;
  a.Int(x), a.Int(y), a.Int(selection), a.Int(centred);
  const char* texts[kMenuMaxItems + 1] = {};
  for (int n = 0; n < kMenuMaxItems && a.Text(texts[n]); ++n) {
  }
  return MacroPushInt(stack, run(x, y, selection, centred, texts));
}

}  // namespace

int macro_selectw(StrList** args, StrList** stack) { return RunMenuMacro(RunChoiceMenuH, args, stack); }
int macro_selecth(StrList** args, StrList** stack) { return RunMenuMacro(RunChoiceMenuV, args, stack); }

void RegisterMenuMacros() {
  ScriptRegisterFunction(&MacroList, "selecth", macro_selecth, nullptr);
  ScriptRegisterFunction(&MacroList, "selectw", macro_selectw, nullptr);
}
