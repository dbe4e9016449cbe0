// The monster commands of the event scripts: encounter group and monster
// choice, the monsters' values and the rolls of their behaviours.
#pragma once

#include "game/macro/macro.h"

// Registers the family into MacroList, in the order the command set lists it.
void RegisterMonsterMacros();

int macro_enemy_rnd(StrList** args, StrList** stack);
int macro_enemy_cur(StrList** args, StrList** stack);
int macro_enemy_group(StrList** args, StrList** stack);
int macro_enemy_rip(StrList** args, StrList** stack);
int macro_enemy_SOUND(StrList** args, StrList** stack);
int macro_enemy_THEF(StrList** args, StrList** stack);
int macro_enemy_META(StrList** args, StrList** stack);
int macro_enemy_MAGIC(StrList** args, StrList** stack);
int macro_enemy_SOLDIER(StrList** args, StrList** stack);
int macro_enemy_SUICIDE(StrList** args, StrList** stack);
int macro_enemy_POISON(StrList** args, StrList** stack);
int macro_enemy_HEAL(StrList** args, StrList** stack);
int macro_enemy_AWAY(StrList** args, StrList** stack);
int macro_enemy_ATTACK1(StrList** args, StrList** stack);
int macro_enemy_ATTACK2(StrList** args, StrList** stack);
int macro_enemy_ITEMS(StrList** args, StrList** stack);
int macro_enemy_WEAK(StrList** args, StrList** stack);
int macro_enemy_NUM(StrList** args, StrList** stack);
int macro_enemy_NAME(StrList** args, StrList** stack);
int macro_enemy_HP(StrList** args, StrList** stack);
int macro_enemy_hp(StrList** args, StrList** stack);
int macro_enemy_STR(StrList** args, StrList** stack);
int macro_enemy_str(StrList** args, StrList** stack);
int macro_enemy_DEX(StrList** args, StrList** stack);
int macro_enemy_dex(StrList** args, StrList** stack);
int macro_enemy_AUTH(StrList** args, StrList** stack);
int macro_enemy_EFFECT(StrList** args, StrList** stack);
int macro_enemy_PREGIST(StrList** args, StrList** stack);
int macro_enemy_MREGIST(StrList** args, StrList** stack);
int macro_enemy_GOLD(StrList** args, StrList** stack);
int macro_enemy_DEMO(StrList** args, StrList** stack);
int macro_enemy_PIC(StrList** args, StrList** stack);
int macro_enemy_MSG(StrList** args, StrList** stack);
