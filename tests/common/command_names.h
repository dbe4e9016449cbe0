// The commands the game registers for its scripts, by family, in the order
// they are registered. Shared by the tests of the registry and of the data.
#pragma once

#include <iterator>

namespace gametest {

inline constexpr const char* kCommandNames[] = {
    // drawing and text
    "win", "btn", "blt", "mon_pic", "fill", "key", "txt", "txtwidth",
    // waits, timing, settings, demos and fades
    "ref", "wait", "fps", "textcolor", "movemotion", "videomode", "fullscreen", "setupload", "setupsave", "eval",
    "opening_demo", "ending_demo", "ending_demo2", "fadeout", "fadein", "overwrite", "tick", "sleep",
    // background layers
    "bg_enable", "bg_memo", "bg_open", "bg_close", "clear", "bg_free", "bg_draw", "bg_swap", "keywait",
    // time, random and input
    "rnd", "timesec", "timehour", "timemin", "timeday", "timemon", "timeyear", "sysname", "input", "yesno",
    // sound
    "sound", "sound_stop", "sound_volume", "music",
    // message window
    "mes_open", "mes_close", "mes_home", "mes_key", "mes_ref", "mes",
    // flags and hero
    "flag", "setflag", "hero_name", "hero_hp", "hero_hp_max", "hero_dex", "hero_str", "hero_poison", "hero_gold",
    // choice menus
    "selecth", "selectw",
    // map cells
    "map_event", "map_param", "map_step_up", "map_step_down", "map_fog", "map_water", "map_warp", "map_box",
    "map_tree", "map_tower", "map_desert", "map_kind", "map_flag", "map_bg", "map_wall_img", "map_wall_door",
    "map_wall_fire", "map_wall_message", "map_wall_push_event", "map_wall_param", "map_scan",
    // items
    "item_num", "item_name", "item_comment", "item_price", "item_count_max", "item_equip", "item_str", "item_dex",
    "item_hp_max", "item_flag", "item_event_use", "item_event_battle", "item_event_defense", "item_count",
    "item_use", "item_scan", "item_push", "item_set", "item_window", "item_window_equip", "item_window_sell",
    "item_equip_window", "item_set_buff", "item_garbagecollect", "item_sel", "item_n", "item_pic",
    "item_equip_swap", "item_equip_str", "item_equip_dex", "item_equip_hp",
    // position and view
    "pos", "walk", "move", "X", "Y", "N", "T", "P", "setX", "setY", "setN", "setT", "setP", "scan_event",
    "scan_pushevent", "draw3d", "draw2d", "draw2dall",
    // objects, effects, saving
    "bill", "effect", "save", "load",
    // monsters
    "enemy_rnd", "enemy_cur", "enemy_group", "enemy_rip", "enemy_SOUND", "enemy_THEF", "enemy_META",
    "enemy_MAGIC", "enemy_SOLDIER", "enemy_SUICIDE", "enemy_POISON", "enemy_HEAL", "enemy_AWAY", "enemy_ATTACK1",
    "enemy_ATTACK2", "enemy_ITEMS", "enemy_WEAK", "enemy_NUM", "enemy_NAME", "enemy_HP", "enemy_hp",
    "enemy_hp_set", "enemy_STR", "enemy_str", "enemy_str_set", "enemy_DEX", "enemy_dex", "enemy_dex_set",
    "enemy_AUTH", "enemy_EFFECT", "enemy_PIC", "enemy_PREGIST", "enemy_MREGIST", "enemy_MSG", "enemy_GOLD",
    "enemy_DEMO",
    // others
    "warn", "catalog", "event_float", "map2dxchg", "mosaic", "sqrt", "pow", "log", "hero_clear"};
static_assert(std::size(kCommandNames) == 185);

}  // namespace gametest
