#include "game/item_window.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "dx/dx.h"
#include "game/enemy.h"
#include "game/explore.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "game/picture.h"
#include "script/strlist.h"
#include "game/win.h"

ItemWindowLayout ShopWindowLayout;
ItemWindowLayout EquipListLayout;
ItemWindowLayout SellListLayout;
ItemWindowLayout EquipmentWindowLayout;

namespace {

constexpr int kListHeight = 294;
constexpr int kRowHeight = 32;
constexpr int kRows = 8;
constexpr uint32_t kKeyDelay = 200000;

void WindowFont() { dxsetfont(GameFontFace, 16, 8, 1, 0, 1); }

// The widest item name in the window font, at least 64.
int NameWidth() {
  int width = 64;
  for (const ItemRecord& r : ItemTable)
    if (r.number != 0 && r.name) width = std::max(width, dxtextwidth(r.name));
  return width;
}

// `extra` is what the window adds to the name width; `height` its height.
ItemWindowLayout& Layout(ItemWindowLayout& layout, int extra, bool with_count, int height) {
  WindowFont();
  if (layout.width < 0) {
    int names = NameWidth();
    layout.width = (with_count ? names + extra + dxtextwidth("--(100)") : 3 * names + extra);
    layout.height = height;
    layout.row_height = kRowHeight;
    layout.text_offset = (kRowHeight - dxfontheight()) / 2;
  }
  return layout;
}

int RowTop(int y, int r) { return y + 19 + kRowHeight * r; }

// The row every list shares: its background, the picture, the name and, for
// a stacking item, its count at `count_x` (none when count_x is kNoCount).
constexpr int kNoCount = INT32_MIN;
void DrawListRow(const ItemWindowLayout& l, int x, int y, int r, bool cursor, const ItemSlot& slot, int count_x,
                 uint32_t name_colour) {
  int top = RowTop(y, r);
  if (cursor)
    dxfillrectalpha(x + 8, top, l.width - 16, 31, dxrgb(255, 1, 50), 50);
  else
    dxfillrectalpha(x + 8, top, l.width - 16, 31, dxrgb(1, 1, 255), 10);
  const ItemRecord* item = SlotItem(slot);
  if (!item) return;
  if (ItemPictureSheet)
    dxbltpart(ItemPictureSheet, x + 8, top, (slot.item % 20) * 32, (slot.item / 20) * 32, 32, 32);
  if (item->name) dxtextout(x + 40, top + l.text_offset, item->name, name_colour);
  if (item->count > 0 && count_x != kNoCount)
    dxprintf(count_x, top + l.text_offset, dxrgb(1, 1, 1), "(%d)", slot.count);
}

void RightAligned(int right, int y, uint32_t colour, const char* text) {
  dxtextout(right - dxtextwidth(text), y, text, colour);
}

struct Entry {
  ItemSlot slot;
  int32_t index;  // in the container; -1 for the take-off entry
};

// The key loop of the choosing lists. Returns the chosen entry number, -1
// for none, -2 when cancelled.
template <typename Draw>
int32_t ChooseEntry(const ItemWindowLayout& l, int x, int y, int32_t cursor, int32_t total, Draw draw_row) {
  // A start cursor is held to the list: before it, it stands on no entry (-1).
  cursor = std::clamp(cursor, int32_t{-1}, total - 1);
  int32_t page = cursor / kRows, row = cursor % kRows;
  const int32_t last_page = total / kRows;  // P
  dx::bitmap* saved = dxcapture(x, y, l.width, l.height, false);
  for (;;) {
    dxbltnokey(saved, x, y);
    DrawWindowFrame(x, y, l.width, l.height, 80);
    WindowFont();
    dxprintf(x + 16, y + 2, dxrgb(0, 0, 0), "Page[%d/%d]", page + 1, last_page + 1);
    if (total == 0) row = -1;
    for (int r = 0; r < kRows; ++r) {
      int64_t e = int64_t{page} * kRows + r;
      if (e < 0 || e >= total) continue;
      draw_row(static_cast<int32_t>(e), r, r == row);
    }
    dxupdate();
    uint32_t keys = GetKeyBits(kKeyDelay);
    if (keys & 0x11) {
      if (--row < 0) {
        --page;
        row = 7;
      }
      if (page < 0) {
        page = last_page;
        row = 7;
      }
    }
    if (keys & 0x22) {
      if (++page > last_page) page = 0;
    }
    if (keys & 0x44) {
      ++row;
      if (int64_t{page} * kRows + row >= total) {
        page = 0;
        row = 0;
      } else if (row > 7) {
        ++page;
        row = 0;
      }
      if (page > last_page) {
        page = 0;
        row = 0;
      }
    }
    if (keys & 0x88) {
      // A list of one page has no page before the first to go to.
      if (--page < 0) page = std::max(last_page - 1, 0);
    }
    {
      cursor = page * kRows + row;
      if (cursor >= total) {
        cursor = total - 1;
        page = cursor / kRows;
        row = cursor % kRows;
      }
    }
    if (keys & 0x100) break;
    if (keys & 0x200) {
      cursor = -2;
      break;
    }
  }
  dxbltnokey(saved, x, y);
  dxdeletebitmap(saved);
  return cursor;
}

}  // namespace

int32_t ShowItemShopWindow(int32_t list, int x, int y, int32_t cursor) {
  x = NearScreen(x), y = NearScreen(y);
  dx::bitmap* skin = readIMG("data/system/win.png");
  const ItemWindowLayout& l = Layout(ShopWindowLayout, 64, true, kListHeight);
  ItemSlot* slots = list == 0 ? CarriedItems : list == 1 ? BankItems : ItemBuffer;
  int32_t size = list == 0 ? kCarriedSlots : list == 1 ? kBankSlots : kItemBufferSlots;
  int32_t entries = 0;
  while (entries < size && slots[entries].count != 0) ++entries;
  int32_t page = cursor / kRows;

  DrawWindowFrame(x, y, l.width, l.height, 80);
  WindowFont();
  dxprintf(x + 16, y + 2, dxrgb(0, 0, 0), "ページ[%d/%d]", page + 1, entries / kRows + 1);
  for (int r = 0; r < kRows; ++r) {
    int64_t e = int64_t{page} * kRows + r;
    if (e < 0 || e >= size || slots[e].count <= 0) break;
    const ItemSlot& slot = slots[e];
    int top = RowTop(y, r);
    // The price list has its prices where the counts would stand.
    DrawListRow(l, x, y, r, e == cursor, slot, list == 0 || list == 1 ? x + l.width - 56 : kNoCount, dxrgb(1, 1, 1));
    const ItemRecord* item = SlotItem(slot);
    if (!item) continue;
    if (item->price < 0) dxbltpart(skin, x + 8, top, 32, 208, 32, 32);
    if (list == 2) {
      if (item->price < 0) {
        RightAligned(x + l.width - 8, top + l.text_offset, dxrgb(255, 1, 1), "SoldOut");
      } else {
        char text[16];
        std::snprintf(text, sizeof text, "%dG", item->price);
        RightAligned(x + l.width - 8, top + l.text_offset, dxrgb(1, 1, 1), text);
      }
    }
  }
  return 0;
}

int32_t ShowItemEquipList(int32_t list, int x, int y, int32_t cursor, int32_t kind, int32_t mark) {
  x = NearScreen(x), y = NearScreen(y);
  const ItemWindowLayout& l = Layout(EquipListLayout, 64, true, kListHeight);
  std::vector<Entry> entries;
  if (list == 0) entries.push_back({ItemSlot{1, 0, 0, -1}, -1});
  ItemSlot* slots = list == 0 ? CarriedItems : list == 1 ? EquipSlots : list == 2 ? BankItems : ItemBuffer;
  int32_t size = list == 0 ? kCarriedSlots : list == 1 ? kEquipSlots : list == 2 ? kBankSlots : kItemBufferSlots;
  for (int32_t k = 0; k < size; ++k) {
    if (slots[k].count <= 0) {
      if (list == 1) continue;
      break;
    }
    const ItemRecord* item = SlotItem(slots[k]);
    if (item && (item->equip == kind || (kind < -1 && item->equip > 5))) entries.push_back({slots[k], k});
  }
  const bool weak = mark != 0 && CurrentEnemy.num != 0;
  auto draw = [&](int32_t e, int r, bool is_cursor) {
    const Entry& entry = entries[e];
    uint32_t colour = dxrgb(1, 1, 1);
    if (const ItemRecord* item = SlotItem(entry.slot); weak && item)
      for (const auto& w : CurrentEnemy.weak)
        if (item->number == w.point) colour = dxrgb(255, 1, 1);
    DrawListRow(l, x, y, r, is_cursor, entry.slot, x + l.width - 56, colour);
    if (entry.index < 0)
      dxtextout(x + 40, RowTop(y, r) + l.text_offset, GetVarStr("DEEQUIP"), dxrgb(255, 1, 1));
  };
  int32_t chosen = ChooseEntry(l, x, y, cursor, static_cast<int32_t>(entries.size()), draw);
  return chosen >= 0 ? entries[chosen].index : chosen;
}

int32_t ShowItemSellList(int32_t list, int x, int y, int32_t cursor, int32_t divisor) {
  x = NearScreen(x), y = NearScreen(y);
  const ItemWindowLayout& l = Layout(SellListLayout, 96, true, kListHeight);
  std::vector<Entry> entries;
  ItemSlot* slots = list == 0 ? CarriedItems : BankItems;
  int32_t size = list == 0 ? kCarriedSlots : kBankSlots;
  for (int32_t k = 0; k < size && slots[k].count > 0; ++k) {
    const ItemRecord* item = SlotItem(slots[k]);
    if (item && item->price > 0) entries.push_back({slots[k], k});
  }
  auto draw = [&](int32_t e, int r, bool is_cursor) {
    const Entry& entry = entries[e];
    DrawListRow(l, x, y, r, is_cursor, entry.slot, x + l.width - 104, dxrgb(1, 1, 1));
    // Without a divisor there is no selling price to show.
    if (divisor == 0) return;
    char text[24];
    std::snprintf(text, sizeof text, "%4dG", SlotItem(entry.slot)->price / divisor);
    RightAligned(x + l.width - 8, RowTop(y, r) + l.text_offset, dxrgb(255, 1, 1), text);
  };
  int32_t chosen = ChooseEntry(l, x, y, cursor, static_cast<int32_t>(entries.size()), draw);
  return chosen >= 0 ? entries[chosen].index : chosen;
}

int32_t ShowEquipmentWindow(int32_t, int x, int y, int32_t highlight) {
  x = NearScreen(x), y = NearScreen(y);
  static const int32_t kMainOrder[6] = {3, 2, 1, 0, 4, 5};
  int32_t position = highlight >= 0 && highlight < 6 ? kMainOrder[highlight] : highlight;
  const ItemWindowLayout& l = Layout(EquipmentWindowLayout, 116, false, 344);
  const int w = (l.width - 116) / 3;
  const uint32_t black = dxrgb(0, 0, 0);

  DrawWindowFrame(x, y, l.width, l.height, 80);
  WindowFont();
  dxfillrectalpha(x + 8, y + 19, w + 32, 16, dxrgb(0, 0, 255), 30);
  dxtextout(x + 40, y + 20, GetVarStr("SOUBI"), black);
  dxfillrectalpha(x + 42 + w, y + 19, 2 * w + 66, 16, dxrgb(128, 0, 255), 30);
  dxtextout(x + 106 + w, y + 22, GetVarStr("HITEM"), black);

  dxfillrectalpha(x + 8, y + 37, w + 32, 288, dxrgb(0, 0, 255), 30);
  dxfillrectalpha(x + 42 + w, y + 37, w + 32, 288, dxrgb(128, 0, 255), 30);
  dxfillrectalpha(x + 2 * w + 76, y + 37, w + 32, 128, dxrgb(128, 0, 255), 30);

  static const char* const kLabels[6] = {"BUKI", "TATE", "YOROI", "KABUTO", "ACCE1", "ACCE1"};
  for (int k = 0; k < 6; ++k) {
    int32_t p = kMainOrder[k];
    int top = y + 37 + 48 * k;
    if (p == position) dxfillrectalpha(x + 8, top, w + 32, 48, dxrgb(0, 255, 0), 50);
    dxfillrectalpha(x + 8, top, w + 32, 16, dxrgb(0, 0, 255), 20);
    dxtextout(x + 8, top, GetVarStr(kLabels[k]), black);
    dxtextout(x + 40, top + 16 + l.text_offset, EquipSlotItemName(p), black);
    DrawEquipSlotPicture(p, x + 8, top + 16);
  }
  for (int32_t p = 6; p < kEquipSlots; ++p) {
    int column_x = p < 15 ? x + 42 + w : x + 2 * w + 76;
    int top = y + 37 + kRowHeight * (p < 15 ? p - 6 : p - 15);
    if (p == position) dxfillrectalpha(column_x, top, w + 32, 32, dxrgb(0, 255, 0), 50);
    dxtextout(column_x + 32, top, EquipSlotItemName(p), black);
    DrawEquipSlotPicture(p, column_x, top);
  }

  dxfillrectalpha(x + 2 * w + 76, y + 167, w + 32, 160, dxrgb(0, 128, 128), 10);
  const int vx = x + 2 * w + 84;
  const uint32_t ink = dxrgb(1, 1, 1);
  dxprintf(vx, y + 167, ink, "現在HP %d/%d", GameStateBlock.hp, GameStateBlock.max_hp);
  dxprintf(vx, y + 199, ink, "最大HP %3d=>%3d", GameStateBlock.max_hp, SumEquipHpMax());
  dxprintf(vx, y + 231, ink, "攻撃力 %3d=>%3d", GameStateBlock.strength, SumEquipStr());
  dxprintf(vx, y + 263, ink, "防御力 %3d=>%3d", GameStateBlock.dexterity, SumEquipDex());
  return position;
}
