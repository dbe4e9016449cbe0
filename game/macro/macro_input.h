// Built-ins for the clock, random numbers, the user's logon name, a line of
// typed text and the yes/no box.
#pragma once

#include "script/strlist.h"

int macro_rnd(StrList** args, StrList** stack);
int macro_timesec(StrList** args, StrList** stack);
int macro_timemin(StrList** args, StrList** stack);
int macro_timehour(StrList** args, StrList** stack);
int macro_timeday(StrList** args, StrList** stack);
int macro_timemon(StrList** args, StrList** stack);
int macro_timeyear(StrList** args, StrList** stack);
int macro_sysname(StrList** args, StrList** stack);
int macro_input(StrList** args, StrList** stack);
int macro_yesno(StrList** args, StrList** stack);

// Registers the commands above.
void RegisterInputMacros();
