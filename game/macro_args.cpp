#include "game/macro_args.h"

#include "game/script.h"

namespace macroargs {

bool Args::Int(int32_t& value) {
  if (!next_) return false;
  value = StrToInt(ScriptValueText(next_));
  next_ = next_->next;
  return true;
}

bool Args::Double(double& value) {
  if (!next_) return false;
  value = ScriptStrtod(ScriptValueText(next_), nullptr);
  next_ = next_->next;
  return true;
}

bool Args::Text(const char*& value) {
  if (!next_) return false;
  value = ScriptValueText(next_);
  next_ = next_->next;
  return true;
}

int PushInt(StrList** stack, int32_t value) {
  char text[12];
  ScriptFormatInt(value, text);
  return StrListPush(stack, "I", text) ? 0 : SCRIPT_NOMEM;
}

int PushText(StrList** stack, const char* text) {
  return StrListPush(stack, "S", text ? text : "") ? 0 : SCRIPT_NOMEM;
}

int PushFloat(StrList** stack, double value) {
  char text[SCRIPT_NUMBER_TEXT];
  ScriptFormatDouble(value, text);
  return StrListPush(stack, "F", text) ? 0 : SCRIPT_NOMEM;
}

}  // namespace macroargs
