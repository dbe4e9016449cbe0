// Argument reading and result pushing for the built-in handlers of the
// monster, item and catalogue families.
#pragma once

#include <cstdint>

#include "game/strlist.h"

namespace macroargs {

// Reads one call's arguments first to last. Each read takes the next argument
// when there is one and leaves the caller's default otherwise; an argument
// that is present but empty still counts (its number is 0).
class Args {
 public:
  explicit Args(StrList** args) : next_(args ? *args : nullptr) {}
  bool More() const { return next_ != nullptr; }
  bool Int(int32_t& value);
  bool Double(double& value);
  bool Text(const char*& value);

 private:
  StrList* next_;
};

// One result onto the caller's stack: tag "I" with "%d", "S" with a text, "F"
// with "%f". 0, or the interpreter's out-of-memory code when the push fails.
int PushInt(StrList** stack, int32_t value);
int PushText(StrList** stack, const char* text);
int PushFloat(StrList** stack, double value);

}  // namespace macroargs
