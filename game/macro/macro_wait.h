// Built-ins for frames, pacing and delays, the display and movement settings,
// nested events, the opening and ending demos and whole-screen fades.
#pragma once

#include "script/strlist.h"

int macro_ref(StrList** args, StrList** stack);
int macro_wait(StrList** args, StrList** stack);
int macro_fps(StrList** args, StrList** stack);
int macro_tick(StrList** args, StrList** stack);
int macro_sleep(StrList** args, StrList** stack);
int macro_textcolor(StrList** args, StrList** stack);
int macro_movemotion(StrList** args, StrList** stack);
int macro_videomode(StrList** args, StrList** stack);
int macro_fullscreen(StrList** args, StrList** stack);
int macro_eval(StrList** args, StrList** stack);
int macro_opening_demo(StrList** args, StrList** stack);
int macro_ending_demo(StrList** args, StrList** stack);
int macro_ending_demo2(StrList** args, StrList** stack);
int macro_fadeout(StrList** args, StrList** stack);
int macro_fadein(StrList** args, StrList** stack);

// Registers the commands above.
void RegisterWaitMacros();
