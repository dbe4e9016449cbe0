// Named string lists: the one node type that holds every script value, every
// script variable and every argument and result of a built-in, with the text
// form of numbers and the accessors through which the game reads and writes
// script variables.
#pragma once

#include <cstddef>
#include <cstdint>

struct StrList {
  StrList* next;
  char* name;        // variable name, or in a value chain the type tag ("I", "D", "F", "S", "s", "b", "V")
  char* text;        // value text; none reads as ""
  int32_t capacity;  // bytes of text's buffer
  StrList* ref;      // the variable a "V" value refers to
  int32_t depth;     // block depth at which a local was made
  // The node's own block also holds its name and its first text buffer, so a
  // value costs one allocation; text moves out only when it outgrows that.
  char* inlineText;
  int32_t inlineCapacity;
  // What the text reads as a number (ScriptParseNumber's kind, with the
  // readers' integer and double), kept so that arithmetic does not parse the
  // same text again. numberKind 0: not read since the text last changed;
  // every writer below clears it. Write text only through these functions.
  int32_t numberKind;
  int32_t integer;
  double number;
  // Inside a run only: 'I' or 'D' while the text is not written yet; it is
  // then the "%d" or "%f" text of number, and is written before anything
  // outside the interpreter sees the value or variable.
  char pending;
  char listed;  // a variable on the run's list of texts to write
};

// The global variables. Never cleared.
extern StrList* ScriptVars;

// Results of ScriptParseNumber.
constexpr int SCRIPT_NUM_INT = 64;
constexpr int SCRIPT_NUM_FLOAT = 65;
constexpr int SCRIPT_NUM_NONE = 1;
constexpr int SCRIPT_NUM_EMPTY = -1;

// The longest value text; longer ones fail as out of memory.
constexpr size_t SCRIPT_MAX_TEXT = size_t{16} << 20;

// Room for the "%f" text of any double, sign and terminator included.
constexpr size_t SCRIPT_NUMBER_TEXT = 336;

int StrListFree(StrList* first);
int StrListRemove(StrList** head, const char* name);
StrList* StrListPop(StrList** head);
StrList* StrListPush(StrList** head, const char* name, const char* value);
int StrListAppend(StrList* node, const char* text);
int StrListSet(StrList* node, const char* text);
StrList* StrListSetByName(StrList** head, const char* name, const char* value);
StrList* StrListFind(StrList* first, const char* name);
// Replaces the value with a followed by b, sized once (the interpreter's ".").
int StrListSetJoined(StrList* node, const char* a, const char* b);
StrList* StrListNth(StrList* first, int n);

// Number text: the original runtime's rules (32-bit saturating strtol, "0x"
// alone converts nothing, decimal-only strtod), written out rather than
// borrowed from this C library where it differs.
int32_t ScriptStrtol(const char* text, const char** end, int base);
double ScriptStrtod(const char* text, const char** end);
int32_t ScriptAtoi(const char* text);
double ScriptAtof(const char* text);
int32_t ScriptDoubleToInt(double v);  // truncates; saturates; NaN gives 0
int ScriptFormatInt(int32_t v, char* out);  // "%d"; out holds at least 12 bytes
int ScriptFormatDouble(double v, char* out);  // "%f"; out holds SCRIPT_NUMBER_TEXT bytes
int ScriptParseNumber(const char* text, int32_t* intOut, double* doubleOut);

int32_t StrToInt(const char* text);
int32_t GetVarInt(const char* name);
const char* GetVarStr(const char* name);
StrList* SetVarInt(const char* name, int32_t value);
StrList* SetVarStr(const char* name, const char* text);

int32_t ScriptValueInt(StrList* node);
double ScriptValueDouble(StrList* node);
const char* ScriptValueText(StrList* node);
int ScriptSetInt(StrList* node, int32_t value);
int ScriptSetDouble(StrList* node, double value);
int ScriptCopyValue(StrList* dest, StrList* src);
int ScriptAppendText(StrList* node, const char* text);
StrList* ScriptLookupVar(StrList* locals, const char* name);
int ScriptAssignVar(StrList* locals, const char* name, const char* text);
