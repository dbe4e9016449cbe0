// Argument reading, results and key reading for the built-in families.
#include "game/macro/macro_ui.h"

#include "game/explore.h"
#include "game/macro/macro.h"
#include "script/script.h"

bool MacroArgReader::Int(int32_t& value) {
  if (!next_) return false;
  value = StrToInt(GetArgText(next_));
  next_ = next_->next;
  return true;
}

bool MacroArgReader::Double(double& value) {
  if (!next_) return false;
  value = StrToDouble(GetArgText(next_));
  next_ = next_->next;
  return true;
}

bool MacroArgReader::Text(const char*& value) {
  if (!next_) return false;
  value = GetArgText(next_);
  next_ = next_->next;
  return true;
}

void MacroArgReader::Skip() {
  if (next_) next_ = next_->next;
}

int MacroPushInt(StrList** stack, int32_t value) {
  char text[12];
  ScriptFormatInt(value, text);
  return StrListPush(stack, "I", text) ? 0 : SCRIPT_NOMEM;
}

int MacroPushText(StrList** stack, const char* text) {
  return StrListPush(stack, "I", text ? text : "") ? 0 : SCRIPT_NOMEM;
}

int MacroPushString(StrList** stack, const char* text) {
  return StrListPush(stack, "S", text ? text : "") ? 0 : SCRIPT_NOMEM;
}

int32_t MacroKeyBits() { return static_cast<int32_t>(GetKeyBits(kMacroKeyDelay)); }
