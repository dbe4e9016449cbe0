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

struct MenuItem {
  const char* text;
  int32_t width;  // of the text
  int32_t slot;   // the text's width rounded up to 32
};

// Where one item goes: its button frame, and its text for both alignments.
struct MenuLayout {
  int32_t frame_w, frame_h, capture_w, capture_h;
  int32_t prev_keys, next_keys;
  std::vector<int32_t> button_x, button_y, slot_w, text_x_left, text_top;
};

int32_t RunMenu(int32_t x, int32_t y, int32_t selection, int32_t centred, const std::vector<MenuItem>& items,
                const MenuLayout& m) {
  const int32_t last = static_cast<int32_t>(items.size()) - 1;
  dx::bitmap* under = dxcapture(x, y, m.capture_w, m.capture_h, true);
  for (;;) {
    dxbltnokey(under, x, y);
    DrawWindowFrame(x, y, m.frame_w, m.frame_h, 50);
    for (size_t k = 0; k < items.size(); ++k) {
      if (static_cast<int32_t>(k) == selection)
        DrawWindowSel(m.button_x[k], m.button_y[k], m.slot_w[k]);
      else
        DrawWindowNormal(m.button_x[k], m.button_y[k], m.slot_w[k]);
      int32_t tx = centred ? m.button_x[k] + (m.slot_w[k] - items[k].width) / 2 : m.text_x_left[k];
      dxtextout(tx, m.text_top[k], items[k].text, dxrgb(1, 1, 1));
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

std::vector<MenuItem> MeasureItems(const char* const* texts) {
  dxsetfont(GameFontFace, 16, 8, 1, 0, 1);
  std::vector<MenuItem> items;
  for (; texts[0] && texts[0][0] && items.size() < kMenuMaxItems; ++texts) {
    int32_t w = dxtextwidth(texts[0]);
    items.push_back({texts[0], w, RoundUp32(w)});
  }
  return items;
}

}  // namespace

int32_t RunChoiceMenuH(int32_t x, int32_t y, int32_t selection, int32_t centred, const char* const* texts) {
  if (!texts) return -1;
  std::vector<MenuItem> items = MeasureItems(texts);
  const int32_t th = dxfontheight();
  MenuLayout m{};
  int32_t left = x + 8;
  for (const MenuItem& it : items) {
    m.button_x.push_back(left);
    m.button_y.push_back(y + 19);
    m.slot_w.push_back(it.slot);
    m.text_x_left.push_back(left + 8);
    m.text_top.push_back(y + 19 + (32 - th) / 2);
    left += it.slot;
  }
  m.frame_w = 16 + (left - (x + 8));
  m.frame_h = 70;
  m.capture_w = RoundUp32(m.frame_w);
  m.capture_h = 96;
  m.prev_keys = kKeyLeft;
  m.next_keys = kKeyRight;
  return RunMenu(x, y, selection, centred, items, m);
}

int32_t RunChoiceMenuV(int32_t x, int32_t y, int32_t selection, int32_t centred, const char* const* texts) {
  if (!texts) return -1;
  std::vector<MenuItem> items = MeasureItems(texts);
  const int32_t th = dxfontheight();
  int32_t slot = 48;
  for (const MenuItem& it : items) slot = std::max(slot, it.slot);
  MenuLayout m{};
  for (size_t k = 0; k < items.size(); ++k) {
    const int32_t row = static_cast<int32_t>(k) * 28;
    m.button_x.push_back(x + 8);
    m.button_y.push_back(y + 17 + row);
    m.slot_w.push_back(slot);
    m.text_x_left.push_back(x + 16);
    m.text_top.push_back(y + 19 + row + (28 - th) / 2);
  }
  m.frame_w = 16 + slot;
  m.frame_h = 28 * static_cast<int32_t>(items.size()) + 38;
  m.capture_w = RoundUp32(m.frame_w);
  m.capture_h = RoundUp32(m.frame_h);
  m.prev_keys = kKeyUp;
  m.next_keys = kKeyDown;
  return RunMenu(x, y, selection, centred, items, m);
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
