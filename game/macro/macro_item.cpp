#include "game/macro/macro_item.h"

#include "game/item.h"
#include "game/item_window.h"
#include "script/script.h"

namespace {

// The item a record query reads: the current slot's entry, replaced by the
// last table entry with the number given; null when there is none.
const ItemRecord* QueryItem(StrList** args) {
  int32_t index = CurrentItemSlot ? CurrentItemSlot->item : -1;
  int32_t number = 0;
  if (MacroArgReader(args).Int(number))
    for (int32_t i = 0; i < kItemRecords; ++i)
      if (ItemTable[i].number == number) index = i;
  return index >= 0 && index < kItemRecords ? &ItemTable[index] : nullptr;
}

template <int32_t ItemRecord::*Field>
int NumberQuery(StrList** args, StrList** stack) {
  const ItemRecord* item = QueryItem(args);
  return MacroPushInt(stack, item ? item->*Field : -1);
}

template <const char* ItemRecord::*Field>
int TextQuery(StrList** args, StrList** stack) {
  const ItemRecord* item = QueryItem(args);
  return MacroPushString(stack, item ? item->*Field : "");
}

}  // namespace

int macro_item_num(StrList** args, StrList** stack) { return NumberQuery<&ItemRecord::number>(args, stack); }
int macro_item_name(StrList** args, StrList** stack) { return TextQuery<&ItemRecord::name>(args, stack); }
int macro_item_comment(StrList** args, StrList** stack) { return TextQuery<&ItemRecord::comment>(args, stack); }
int macro_item_price(StrList** args, StrList** stack) { return NumberQuery<&ItemRecord::price>(args, stack); }
int macro_item_count_max(StrList** args, StrList** stack) { return NumberQuery<&ItemRecord::count>(args, stack); }
int macro_item_equip(StrList** args, StrList** stack) { return NumberQuery<&ItemRecord::equip>(args, stack); }
int macro_item_str(StrList** args, StrList** stack) { return NumberQuery<&ItemRecord::str>(args, stack); }
int macro_item_dex(StrList** args, StrList** stack) { return NumberQuery<&ItemRecord::dex>(args, stack); }
int macro_item_hp_max(StrList** args, StrList** stack) { return NumberQuery<&ItemRecord::hp>(args, stack); }
int macro_item_flag(StrList** args, StrList** stack) { return NumberQuery<&ItemRecord::flag>(args, stack); }
int macro_item_event_use(StrList** args, StrList** stack) {
  return NumberQuery<&ItemRecord::event_use>(args, stack);
}
int macro_item_event_battle(StrList** args, StrList** stack) {
  return NumberQuery<&ItemRecord::event_battle>(args, stack);
}
int macro_item_event_defense(StrList** args, StrList** stack) {
  return NumberQuery<&ItemRecord::event_defense>(args, stack);
}

int macro_item_count(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t count = -1;
  arg.Int(count);
  if (!CurrentItemSlot) return MacroPushInt(stack, -1);
  if (count >= 0) CurrentItemSlot->count = count;
  return MacroPushInt(stack, CurrentItemSlot->count);
}

int macro_item_use(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t value = -1;
  arg.Int(value);
  if (!CurrentItemSlot) return MacroPushInt(stack, -1);
  if (value >= 0) CurrentItemSlot->use = value;
  return MacroPushInt(stack, CurrentItemSlot->use);
}

int macro_item_scan(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t number = 0, kind = 0;
  arg.Int(number);
  arg.Int(kind);
  return MacroPushInt(stack, number >= 0 ? FindItemSlot(number, kind) : -1);
}

int macro_item_push(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t selector = 0, n = 0;
  arg.Int(selector);
  arg.Int(n);
  return MacroPushInt(stack, AddItemToList(selector, n));
}

int macro_item_set(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t number = 0, count = 0;
  arg.Int(number);
  arg.Int(count);
  if (number < 0) return MacroPushInt(stack, -1);
  SetTempItem(number, count);
  return MacroPushInt(stack, 0);
}

int macro_item_window(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t list = 0, x = 0, y = 0, cursor = -1;
  arg.Int(list);
  arg.Int(x);
  arg.Int(y);
  arg.Int(cursor);
  return MacroPushInt(stack, ShowItemShopWindow(list, x, y, cursor));
}

int macro_item_window_equip(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t list = 0, x = 0, y = 0, cursor = -1, kind = 0, mark = 0;
  arg.Int(list);
  arg.Int(x);
  arg.Int(y);
  arg.Int(cursor);
  arg.Int(kind);
  arg.Int(mark);
  return MacroPushInt(stack, ShowItemEquipList(list, x, y, cursor, kind, mark));
}

int macro_item_window_sell(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t list = 0, x = 0, y = 0, cursor = -1, divisor = 2;
  arg.Int(list);
  arg.Int(x);
  arg.Int(y);
  arg.Int(cursor);
  arg.Int(divisor);
  return MacroPushInt(stack, ShowItemSellList(list, x, y, cursor, divisor));
}

int macro_item_equip_window(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t x = 0, y = 0, highlight = -1;
  arg.Int(x);
  arg.Int(y);
  arg.Int(highlight);
  return MacroPushInt(stack, ShowEquipmentWindow(0, x, y, highlight));
}

int macro_item_set_buff(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t selector = 0;
  arg.Int(selector);
  return MacroPushInt(stack, SelectItemSlot(selector));
}

int macro_item_garbagecollect(StrList**, StrList** stack) { return MacroPushInt(stack, CompactItemLists()); }

int macro_item_sel(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t list = 0, page = 0, row = -1;
  arg.Int(list);
  arg.Int(page);
  arg.Int(row);
  return MacroPushInt(stack, ClampItemCursor(list, page, row));
}

int macro_item_n(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t list = 0;
  arg.Int(list);
  return MacroPushInt(stack, CountItemList(list));
}

int macro_item_pic(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t number = 0, x = 0, y = 0;
  arg.Int(number);
  arg.Int(x);
  arg.Int(y);
  DrawItemPicture(number, x, y);
  return MacroPushInt(stack, 0);
}

int macro_item_equip_swap(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t list = 2, index = 0, position = 0;
  arg.Int(list);
  arg.Int(index);
  arg.Int(position);
  return MacroPushInt(stack, SwapEquipItem(list, index, position));
}

int macro_item_equip_str(StrList**, StrList** stack) { return MacroPushInt(stack, SumEquipStr()); }
int macro_item_equip_dex(StrList**, StrList** stack) { return MacroPushInt(stack, SumEquipDex()); }
int macro_item_equip_hp(StrList**, StrList** stack) { return MacroPushInt(stack, SumEquipHpMax()); }

void RegisterItemMacros() {
  struct Entry {
    const char* name;
    ScriptHandler handler;
  };
  static const Entry kEntries[] = {
      {"item_num", macro_item_num},
      {"item_name", macro_item_name},
      {"item_comment", macro_item_comment},
      {"item_price", macro_item_price},
      {"item_count_max", macro_item_count_max},
      {"item_equip", macro_item_equip},
      {"item_str", macro_item_str},
      {"item_dex", macro_item_dex},
      {"item_hp_max", macro_item_hp_max},
      {"item_flag", macro_item_flag},
      {"item_event_use", macro_item_event_use},
      {"item_event_battle", macro_item_event_battle},
      {"item_event_defense", macro_item_event_defense},
      {"item_count", macro_item_count},
      {"item_use", macro_item_use},
      {"item_scan", macro_item_scan},
      {"item_push", macro_item_push},
      {"item_set", macro_item_set},
      {"item_window", macro_item_window},
      {"item_window_equip", macro_item_window_equip},
      {"item_window_sell", macro_item_window_sell},
      {"item_equip_window", macro_item_equip_window},
      {"item_set_buff", macro_item_set_buff},
      {"item_garbagecollect", macro_item_garbagecollect},
      {"item_sel", macro_item_sel},
      {"item_n", macro_item_n},
      {"item_pic", macro_item_pic},
      {"item_equip_swap", macro_item_equip_swap},
      {"item_equip_str", macro_item_equip_str},
      {"item_equip_dex", macro_item_equip_dex},
      {"item_equip_hp", macro_item_equip_hp},
  };
  for (const Entry& e : kEntries) RegisterMacro(e.name, e.handler);
}
