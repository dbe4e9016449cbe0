// Sound and music built-ins.
#include "game/macro/macro_sound.h"

#include "game/macro/macro_ui.h"
#include "script/script.h"
#include "game/sound.h"

int macro_sound(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t entry = -1;
  a.Int(entry);
  if (entry >= 0) PlaySE(entry);
  return MacroPushInt(stack, 0);
}

int macro_sound_stop(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t entry = -1;
  a.Int(entry);
  if (entry >= 0) StopSound(entry);
  return MacroPushInt(stack, 0);
}

int macro_sound_volume(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t entry = 0, volume = -1;
  if (!a.Int(entry)) return MacroPushInt(stack, 0);
  const int32_t old = SetSoundVolume(entry, -1);
  if (!a.Int(volume)) return MacroPushInt(stack, old);
  SetSoundVolume(entry, volume);
  return MacroPushInt(stack, volume);
}

int macro_music(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t number = -1;
  a.Int(number);
  if (number < 0) return MacroPushInt(stack, GetMusicNo());
  PlayMusic(number);
  return MacroPushInt(stack, 0);
}

void RegisterSoundMacros() {
  ScriptRegisterFunction(&MacroList, "sound", macro_sound, nullptr);
  ScriptRegisterFunction(&MacroList, "sound_stop", macro_sound_stop, nullptr);
  ScriptRegisterFunction(&MacroList, "sound_volume", macro_sound_volume, nullptr);
  ScriptRegisterFunction(&MacroList, "music", macro_music, nullptr);
}
