// The built-in commands of the event scripts: their registration and the
// helpers every handler reads its arguments and writes its result with.
//
// A handler takes the argument chain and the caller's stack, reads its
// arguments in order (a missing one keeps its default; a present but empty
// one reads as 0), pushes exactly one result and returns 0: failures are
// results, never error codes.
#pragma once

#include <cstdint>

#include "script/script.h"
#include "script/strlist.h"

// Fills MacroList with the engine's own functions and every family of
// built-ins. Called once at start-up.
int RegisterMacros();

// Each family registers its commands through one function of its own file;
// RegisterMacros calls them in order.
void RegisterFlagMacros();
void RegisterMapMacros();
void RegisterPositionMacros();
void RegisterObjectMacros();
void RegisterSaveMacros();

// Registers a built-in into MacroList.
void RegisterMacro(const char* name, ScriptHandler handler);

// A value's text, following a "V" value to its variable once; "" when none.
const char* GetArgText(StrList* value);
// The leading floating-point number of a text; 0.0 when there is none.
double StrToDouble(const char* text);

// Argument n (0 for the first), or null when the chain is shorter.
StrList* MacroArg(StrList** args, int n);
// Argument n read as a number into `out`; false (out unchanged) when missing.
bool ArgInt(StrList** args, int n, int32_t& out);
bool ArgDouble(StrList** args, int n, double& out);

// Pushes the one result: a text with its tag, a "%d" or a "%f" number (tag "I").
int PushResult(StrList** stack, const char* tag, const char* text);
int PushInt(StrList** stack, int32_t value);
int PushDouble(StrList** stack, double value);
