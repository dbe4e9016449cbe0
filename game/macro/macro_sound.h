// Sound and music built-ins over the sound table.
#pragma once

#include "script/strlist.h"

int macro_sound(StrList** args, StrList** stack);
int macro_sound_stop(StrList** args, StrList** stack);
int macro_sound_volume(StrList** args, StrList** stack);
int macro_music(StrList** args, StrList** stack);

// Registers sound, sound_stop, sound_volume and music.
void RegisterSoundMacros();
