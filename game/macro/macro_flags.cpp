// Story flags and the hero's values.
#include <cstring>

#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/map.h"
#include "platform/win32/text.h"

namespace {

int macro_flag(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t n = -1;
  arg.Int(n);
  return MacroPushInt(stack, n >= 0 && n < kStoryFlags ? StoryFlags[n] : 0);
}

int macro_setflag(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t n = -1, value = 0;
  arg.Int(n);
  arg.Int(value);
  if (n < 0 || n >= kStoryFlags) return MacroPushInt(stack, 0);
  StoryFlags[n] = value;
  return MacroPushInt(stack, StoryFlags[n]);
}

int macro_hero_name(StrList** args, StrList** stack) {
  const char* text;
  if (MacroArgReader(args).Text(text)) {
    // The field holds 255 bytes and its terminator: a longer name is cut
    // before the character that would not fit.
    size_t len = std::strlen(text), keep = 0;
    while (keep < len) {
      size_t step = win32::IsLeadByte(static_cast<uint8_t>(text[keep])) && keep + 1 < len ? 2 : 1;
      if (keep + step > sizeof GameStateBlock.name - 1) break;
      keep += step;
    }
    std::memcpy(GameStateBlock.name, text, keep);
    std::memset(GameStateBlock.name + keep, 0, sizeof GameStateBlock.name - keep);
  }
  return MacroPushText(stack, GameStateBlock.name);
}

// A hero value: set from the argument when there is one, then shown.
int HeroValue(StrList** args, StrList** stack, int32_t& value) {
  MacroArgReader(args).Int(value);
  return MacroPushInt(stack, value);
}

int macro_hero_hp(StrList** args, StrList** stack) { return HeroValue(args, stack, GameStateBlock.hp); }
int macro_hero_hp_max(StrList** args, StrList** stack) { return HeroValue(args, stack, GameStateBlock.max_hp); }
int macro_hero_dex(StrList** args, StrList** stack) { return HeroValue(args, stack, GameStateBlock.dexterity); }
int macro_hero_str(StrList** args, StrList** stack) { return HeroValue(args, stack, GameStateBlock.strength); }
int macro_hero_poison(StrList** args, StrList** stack) { return HeroValue(args, stack, GameStateBlock.poison); }
int macro_hero_gold(StrList** args, StrList** stack) { return HeroValue(args, stack, GameStateBlock.gold); }

int macro_hero_clear(StrList** args, StrList** stack) {
  const char* key;
  if (!MacroArgReader(args).Text(key)) {
    std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
    return MacroPushInt(stack, 0);
  }
  if (std::strcmp(key, "QEUIP") == 0) {
    std::memset(static_cast<void*>(EquipSlots), 0, sizeof EquipSlots);
  } else if (std::strcmp(key, "ITEMS") == 0) {
    std::memset(static_cast<void*>(CarriedItems), 0, sizeof CarriedItems);
  } else if (std::strcmp(key, "BANK") == 0) {
    std::memset(static_cast<void*>(BankItems), 0, sizeof BankItems);
  } else if (std::strcmp(key, "EVENT") == 0) {
    std::memset(StoryFlags, 0, sizeof StoryFlags);
    std::memset(static_cast<void*>(ObjectTable), 0, sizeof ObjectTable);
  } else if (std::strcmp(key, "ENEMY_RIP") == 0) {
    std::memset(GameStateBlock.enemy_rip, 0, sizeof GameStateBlock.enemy_rip);
  } else if (std::strcmp(key, "ENEMY_PIC") == 0) {
    std::memset(GameStateBlock.enemy_pic, 0, sizeof GameStateBlock.enemy_pic);
  } else if (std::strcmp(key, "MAP") == 0) {
    ResetMapFlags();
  }
  return MacroPushInt(stack, 0);
}

}  // namespace

void RegisterFlagMacros() {
  RegisterMacro("flag", macro_flag);
  RegisterMacro("setflag", macro_setflag);
  RegisterMacro("hero_name", macro_hero_name);
  RegisterMacro("hero_hp", macro_hero_hp);
  RegisterMacro("hero_hp_max", macro_hero_hp_max);
  RegisterMacro("hero_dex", macro_hero_dex);
  RegisterMacro("hero_str", macro_hero_str);
  RegisterMacro("hero_poison", macro_hero_poison);
  RegisterMacro("hero_gold", macro_hero_gold);
  RegisterMacro("hero_clear", macro_hero_clear);
}
