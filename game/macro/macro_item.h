// The item commands of the event scripts: record queries, the current slot,
// moves between containers, equipping and the item windows.
#pragma once

#include "game/macro/macro.h"

// Registers the family into MacroList, in the order the command set lists it.
void RegisterItemMacros();

int macro_item_num(StrList** args, StrList** stack);
int macro_item_name(StrList** args, StrList** stack);
int macro_item_comment(StrList** args, StrList** stack);
int macro_item_price(StrList** args, StrList** stack);
int macro_item_count_max(StrList** args, StrList** stack);
int macro_item_equip(StrList** args, StrList** stack);
int macro_item_str(StrList** args, StrList** stack);
int macro_item_dex(StrList** args, StrList** stack);
int macro_item_hp_max(StrList** args, StrList** stack);
int macro_item_flag(StrList** args, StrList** stack);
int macro_item_event_use(StrList** args, StrList** stack);
int macro_item_event_battle(StrList** args, StrList** stack);
int macro_item_event_defense(StrList** args, StrList** stack);
int macro_item_count(StrList** args, StrList** stack);
int macro_item_use(StrList** args, StrList** stack);
int macro_item_scan(StrList** args, StrList** stack);
int macro_item_push(StrList** args, StrList** stack);
int macro_item_set(StrList** args, StrList** stack);
int macro_item_window(StrList** args, StrList** stack);
int macro_item_window_equip(StrList** args, StrList** stack);
int macro_item_window_sell(StrList** args, StrList** stack);
int macro_item_equip_window(StrList** args, StrList** stack);
int macro_item_set_buff(StrList** args, StrList** stack);
int macro_item_garbagecollect(StrList** args, StrList** stack);
int macro_item_sel(StrList** args, StrList** stack);
int macro_item_n(StrList** args, StrList** stack);
int macro_item_pic(StrList** args, StrList** stack);
int macro_item_equip_swap(StrList** args, StrList** stack);
int macro_item_equip_str(StrList** args, StrList** stack);
int macro_item_equip_dex(StrList** args, StrList** stack);
int macro_item_equip_hp(StrList** args, StrList** stack);
