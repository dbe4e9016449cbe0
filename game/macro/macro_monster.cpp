#include "game/macro/macro_monster.h"

#include "dx/pump.h"
#include "game/enemy.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "script/script.h"
#include "game/sound.h"

namespace {

// The monster a command works on: CurrentEnemy when the arguments have ended,
// else a loaded monster of the next argument's number; null for any other number.
const MonsterRec* Target(MacroArgReader& arg) {
  int32_t number = 0;
  if (!arg.Int(number)) return &CurrentEnemy;
  return FindMonster(number);
}

// The same, named by the first argument.
const MonsterRec* Target(StrList** args) {
  MacroArgReader arg(args);
  return Target(arg);
}

// A roll "below" c: dxrand(100) < c; "at most" c: dxrand(100) <= c.
bool RollBelow(int32_t c) { return dxrand(100) < c; }
bool RollAtMost(int32_t c) { return dxrand(100) <= c; }

// Two-stage rolls: 1 when both pass, -1 when only the first does.
int32_t TwoRolls(int32_t first, int32_t second, bool (*roll)(int32_t)) {
  if (first <= 0 || !roll(first)) return 0;
  return roll(second) ? 1 : -1;
}

template <int32_t MonsterRec::*Field>
int NumberField(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  return MacroPushInt(stack, m ? m->*Field : 0);
}

template <const char* MonsterRec::*Field>
int TextField(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  return MacroPushString(stack, m ? m->*Field : "");
}

}  // namespace

int macro_enemy_rnd(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t percent = 10, group = -1;
  arg.Int(percent);
  arg.Int(group);
  return MacroPushInt(stack, PickRandomEnemy(group, percent));
}

int macro_enemy_cur(StrList** args, StrList** stack) {
  int32_t number = -1;
  MacroArgReader(args).Int(number);
  return MacroPushInt(stack, SetCurrentEnemy(number));
}

int macro_enemy_group(StrList** args, StrList** stack) {
  int32_t group = -1;
  MacroArgReader(args).Int(group);
  return MacroPushInt(stack, SelectEnemyGroup(group));
}

int macro_enemy_rip(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t number = 0, value = 0;
  if (!arg.Int(number) || !FindMonster(number)) return MacroPushInt(stack, 0);
  int32_t& word = GameStateBlock.enemy_rip[number - kMonsterBase];
  if (arg.Int(value)) word = value;
  return MacroPushInt(stack, word);
}

int macro_enemy_SOUND(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  return MacroPushInt(stack, m && m->sound ? FindSoundNo(m->sound) : 0);
}

int macro_enemy_THEF(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  return MacroPushInt(stack, m ? TwoRolls(m->thief[0], m->thief[1], RollBelow) : 0);
}

int macro_enemy_META(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  if (!m || m->meta[0] == 0 || !RollAtMost(m->meta[0])) return MacroPushInt(stack, 0);
  int count = 0;
  while (count < kMonsterMeta - 1 && m->meta[count + 1] != 0) ++count;
  if (count == 0) return MacroPushInt(stack, -1);
  int32_t called = m->meta[1 + dxrand(count)];
  return MacroPushInt(stack, called > kMonsterBase && FindMonster(called) ? called : -1);
}

int macro_enemy_MAGIC(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  if (!m || m->magic[0] <= 0 || !RollAtMost(m->magic[0])) return MacroPushInt(stack, 0);
  // In 32 bits, wrapping as the scripts' numbers do.
  return MacroPushInt(stack, static_cast<int32_t>(static_cast<uint32_t>(m->magic[2]) * 16u + (m->magic[1] & 15)));
}

int macro_enemy_SOLDIER(StrList** args, StrList** stack) { return NumberField<&MonsterRec::soldier>(args, stack); }

int macro_enemy_SUICIDE(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  return MacroPushInt(stack, m && m->suicide > 0 && RollAtMost(m->suicide) ? 1 : 0);
}

int macro_enemy_POISON(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  return MacroPushInt(stack, m ? TwoRolls(m->poison[0], m->poison[1], RollAtMost) : 0);
}

int macro_enemy_HEAL(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  return MacroPushInt(stack, m && m->heal[0] > 0 && RollAtMost(m->heal[0]) ? m->heal[1] : 0);
}

int macro_enemy_AWAY(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  return MacroPushInt(stack, m ? TwoRolls(m->away[0], m->away[1], RollAtMost) : 0);
}

// A chance of one in the first word: the second word, else 0.
static int OneIn(StrList** stack, const MonsterRec* m, const int32_t (MonsterRec::*attack)[2]) {
  if (!m) return MacroPushInt(stack, 0);
  const int32_t* w = m->*attack;
  return MacroPushInt(stack, w[0] > 0 && dxrand(w[0]) == 0 ? w[1] : 0);
}

int macro_enemy_ATTACK1(StrList** args, StrList** stack) {
  return OneIn(stack, Target(args), &MonsterRec::attack1);
}

int macro_enemy_ATTACK2(StrList** args, StrList** stack) {
  return OneIn(stack, Target(args), &MonsterRec::attack2);
}

int macro_enemy_ITEMS(StrList** args, StrList** stack) {
  const MonsterRec* m = Target(args);
  if (!m) return MacroPushInt(stack, 0);
  int64_t sum = 0;
  for (const auto& t : m->treasure) sum += t.chance;
  if (sum <= 0) return MacroPushInt(stack, 0);
  int64_t rest = dxrand(100);
  if (rest >= sum) return MacroPushInt(stack, 0);
  for (const auto& t : m->treasure) {
    rest -= t.chance;
    if (rest < 1) return MacroPushInt(stack, t.item >= 1000 && FindItemSlot(t.item, 3) >= 0 ? t.item : -1);
  }
  return MacroPushInt(stack, -1);
}

int macro_enemy_WEAK(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t value = -1;
  arg.Int(value);
  const MonsterRec* m = Target(arg);
  if (m)
    for (const auto& w : m->weak)
      if (w.point == value) return MacroPushInt(stack, w.cg);
  return MacroPushInt(stack, -1);
}

int macro_enemy_NUM(StrList** args, StrList** stack) { return NumberField<&MonsterRec::num>(args, stack); }
int macro_enemy_NAME(StrList** args, StrList** stack) { return TextField<&MonsterRec::name>(args, stack); }
int macro_enemy_HP(StrList** args, StrList** stack) { return NumberField<&MonsterRec::hp_max>(args, stack); }
int macro_enemy_hp(StrList** args, StrList** stack) { return NumberField<&MonsterRec::hp>(args, stack); }
int macro_enemy_STR(StrList** args, StrList** stack) { return NumberField<&MonsterRec::str_max>(args, stack); }
int macro_enemy_str(StrList** args, StrList** stack) { return NumberField<&MonsterRec::str>(args, stack); }
int macro_enemy_DEX(StrList** args, StrList** stack) { return NumberField<&MonsterRec::dex_max>(args, stack); }
int macro_enemy_dex(StrList** args, StrList** stack) { return NumberField<&MonsterRec::dex>(args, stack); }
int macro_enemy_AUTH(StrList** args, StrList** stack) { return TextField<&MonsterRec::auth>(args, stack); }
int macro_enemy_EFFECT(StrList** args, StrList** stack) { return NumberField<&MonsterRec::effect>(args, stack); }
int macro_enemy_PREGIST(StrList** args, StrList** stack) { return NumberField<&MonsterRec::pregist>(args, stack); }
int macro_enemy_MREGIST(StrList** args, StrList** stack) { return NumberField<&MonsterRec::mregist>(args, stack); }
int macro_enemy_GOLD(StrList** args, StrList** stack) { return NumberField<&MonsterRec::gold>(args, stack); }
int macro_enemy_DEMO(StrList** args, StrList** stack) { return NumberField<&MonsterRec::demo>(args, stack); }

int macro_enemy_PIC(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t n = 0;
  arg.Int(n);
  if (n < 0 || n >= kMonsterPictures) return MacroPushString(stack, "");
  const MonsterRec* m = Target(arg);
  return MacroPushString(stack, m ? m->pic[n] : "");
}

int macro_enemy_MSG(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t n = 0;
  arg.Int(n);
  if (n < 0 || n >= kMonsterMessages) return MacroPushString(stack, "");
  const MonsterRec* m = Target(arg);
  return MacroPushString(stack, m ? m->msg[n] : "");
}

void RegisterMonsterMacros() {
  struct Entry {
    const char* name;
    ScriptHandler handler;
  };
  static const Entry kEntries[] = {
      {"enemy_rnd", macro_enemy_rnd},         {"enemy_cur", macro_enemy_cur},
      {"enemy_group", macro_enemy_group},     {"enemy_rip", macro_enemy_rip},
      {"enemy_SOUND", macro_enemy_SOUND},     {"enemy_THEF", macro_enemy_THEF},
      {"enemy_META", macro_enemy_META},       {"enemy_MAGIC", macro_enemy_MAGIC},
      {"enemy_SOLDIER", macro_enemy_SOLDIER}, {"enemy_SUICIDE", macro_enemy_SUICIDE},
      {"enemy_POISON", macro_enemy_POISON},   {"enemy_HEAL", macro_enemy_HEAL},
      {"enemy_AWAY", macro_enemy_AWAY},       {"enemy_ATTACK1", macro_enemy_ATTACK1},
      {"enemy_ATTACK2", macro_enemy_ATTACK2}, {"enemy_ITEMS", macro_enemy_ITEMS},
      {"enemy_WEAK", macro_enemy_WEAK},       {"enemy_NUM", macro_enemy_NUM},
      {"enemy_NAME", macro_enemy_NAME},       {"enemy_HP", macro_enemy_HP},
      {"enemy_hp", macro_enemy_hp},           {"enemy_hp_set", macro_enemy_hp},
      {"enemy_STR", macro_enemy_STR},         {"enemy_str", macro_enemy_str},
      {"enemy_str_set", macro_enemy_str},     {"enemy_DEX", macro_enemy_DEX},
      {"enemy_dex", macro_enemy_dex},         {"enemy_dex_set", macro_enemy_dex},
      {"enemy_AUTH", macro_enemy_AUTH},       {"enemy_EFFECT", macro_enemy_EFFECT},
      {"enemy_PIC", macro_enemy_PIC},         {"enemy_PREGIST", macro_enemy_PREGIST},
      {"enemy_MREGIST", macro_enemy_MREGIST}, {"enemy_MSG", macro_enemy_MSG},
      {"enemy_GOLD", macro_enemy_GOLD},       {"enemy_DEMO", macro_enemy_DEMO},
  };
  for (const Entry& e : kEntries) RegisterMacro(e.name, e.handler);
}
