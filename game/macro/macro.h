// game/macro/: the built-in commands the event scripts call, one file per
// family (flags, map cells, position, objects, saving, monsters, items,
// messages, menus, drawing, sound, waiting, input, the rest), registered into
// the script engine's MacroList. This header holds their registration and the
// one argument reader and result pushes every handler is written with.
//
// A handler takes the argument chain and the caller's stack, reads its
// arguments in order with a MacroArgReader (a missing one keeps its default; a
// present but empty one reads as 0), pushes exactly one result and returns what
// the push returned: a command's failures are results, never error codes; only
// running out of memory for the result stops the script.
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

// Reads the arguments of one call, first to last. Each read takes the next
// argument when there is one and leaves the default otherwise; an argument
// that is present but empty still counts (its number is 0). A "V" value is
// followed to its variable once.
class MacroArgReader {
 public:
  explicit MacroArgReader(StrList** args) : next_(args ? *args : nullptr) {}
  bool More() const { return next_ != nullptr; }
  bool Int(int32_t& value);
  bool Double(double& value);
  bool Text(const char*& value);
  // Skips one argument, read but not used.
  void Skip();

 private:
  StrList* next_;
};

// Push the one result: tag "I" with "%d", "I" with a text, "S" with a text,
// and a floating-point number tagged "I" (a plain number) or "F" (a float).
// They return 0, or the interpreter's out-of-memory code when the push fails.
int MacroPushInt(StrList** stack, int32_t value);
int MacroPushText(StrList** stack, const char* text);
int MacroPushString(StrList** stack, const char* text);
int MacroPushDouble(StrList** stack, double value);
int MacroPushFloat(StrList** stack, double value);
