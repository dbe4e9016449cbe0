// Helpers shared by the built-ins of the screen, sound and input families:
// reading a handler's arguments in order, pushing its one result, and the held
// key mask at the built-ins' repeat delay.
#pragma once

#include <cstdint>

#include "script/strlist.h"

// The key-repeat delay every waiting built-in reads keys with, in microseconds.
constexpr int kMacroKeyDelay = 200000;

// Key bits as menus and windows combine them.
constexpr int32_t kKeyUp = 0x11;
constexpr int32_t kKeyRight = 0x22;
constexpr int32_t kKeyDown = 0x44;
constexpr int32_t kKeyLeft = 0x88;
constexpr int32_t kKeyDecide = 0x100;
constexpr int32_t kKeyCancel = 0x200;
constexpr int32_t kKeyPeek = 0x10000;  // Tab

// Reads the arguments of one call, first to last. Each read takes the next
// argument when there is one and leaves the default otherwise; an argument
// that is present but empty still counts (its number is 0).
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

// Push the one result: tag "I" with "%d", "I" with a text, or "S" with a text.
// They return 0, or the interpreter's out-of-memory code when the push fails.
int MacroPushInt(StrList** stack, int32_t value);
int MacroPushText(StrList** stack, const char* text);
int MacroPushString(StrList** stack, const char* text);

// The held-key mask (GetKeyBits) with the built-ins' repeat delay.
int32_t MacroKeyBits();
