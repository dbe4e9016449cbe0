// The item windows of the scripts: the shop list (drawn once), the choosing
// lists for equipping and for selling (their own key loop), and the
// equipment window with the hero's values (drawn once).
#pragma once

#include <cstdint>

// A window's layout, computed on its first use from the item names.
struct ItemWindowLayout {
  int width = -1;  // -1: not yet computed
  int height = 0;
  int row_height = 0;
  int text_offset = 0;
};
extern ItemWindowLayout ShopWindowLayout;
extern ItemWindowLayout EquipListLayout;
extern ItemWindowLayout SellListLayout;
extern ItemWindowLayout EquipmentWindowLayout;

// List 0 the carried items, 1 the bank, other the buffer; list 2 with prices.
int32_t ShowItemShopWindow(int32_t list, int x, int y, int32_t cursor);
// List 0 carried (with the take-off entry first), 1 equipment, 2 bank, other
// the buffer; only items of equip class `kind` (a kind below -1: classes above
// 5). The chosen container index, -1 for the take-off entry or an empty list,
// -2 when cancelled. `mark` names the current enemy's weak items in red.
int32_t ShowItemEquipList(int32_t list, int x, int y, int32_t cursor, int32_t kind, int32_t mark);
// List 0 carried, other the bank; items with a price above 0, each with its
// price / divisor. The chosen slot, -1 for an empty list, -2 when cancelled.
int32_t ShowItemSellList(int32_t list, int x, int y, int32_t cursor, int32_t divisor);
// Draws the equipment with the hero's values; highlight 0-5 names the main
// positions in display order, others the position of that number. The
// position named.
int32_t ShowEquipmentWindow(int32_t unused, int x, int y, int32_t highlight);
