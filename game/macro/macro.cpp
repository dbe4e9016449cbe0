#include "game/macro/macro.h"

#include "game/macro/macro_draw.h"
#include "game/macro/macro_input.h"
#include "game/macro/macro_item.h"
#include "game/macro/macro_menu.h"
#include "game/macro/macro_mes.h"
#include "game/macro/macro_misc.h"
#include "game/macro/macro_monster.h"
#include "game/macro/macro_sound.h"
#include "game/macro/macro_wait.h"

int RegisterMacros() {
  InitBgLayers();
  ScriptInitFunctions();
  // In the registry's order; later entries are found first.
  static void (*const families[])() = {
      RegisterDrawMacros,
      RegisterWaitMacros,
      RegisterMesMacros,
      RegisterInputMacros,
      RegisterSoundMacros,
      RegisterFlagMacros,
      RegisterMenuMacros,
      RegisterMapMacros,
      RegisterItemMacros,
      RegisterPositionMacros,
      RegisterObjectMacros,
      RegisterSaveMacros,
      RegisterMonsterMacros,
      RegisterMiscMacros,
  };
  for (auto family : families) family();
  return 0;
}

void RegisterMacro(const char* name, ScriptHandler handler) {
  ScriptRegisterFunction(&MacroList, name, handler, nullptr);
}

namespace {

// A value's text, following a "V" value to its variable once; "" when none.
const char* ArgText(const StrList* value) {
  if (value->name && value->name[0] == 'V' && value->name[1] == '\0' && value->ref) value = value->ref;
  return value->text ? value->text : "";
}

int Push(StrList** stack, const char* tag, const char* text) {
  return StrListPush(stack, tag, text ? text : "") ? 0 : SCRIPT_NOMEM;
}

}  // namespace

bool MacroArgReader::Int(int32_t& value) {
  if (!next_) return false;
  value = StrToInt(ArgText(next_));
  next_ = next_->next;
  return true;
}

bool MacroArgReader::Double(double& value) {
  if (!next_) return false;
  value = ScriptStrtod(ArgText(next_), nullptr);
  next_ = next_->next;
  return true;
}

bool MacroArgReader::Text(const char*& value) {
  if (!next_) return false;
  value = ArgText(next_);
  next_ = next_->next;
  return true;
}

void MacroArgReader::Skip() {
  if (next_) next_ = next_->next;
}

int MacroPushInt(StrList** stack, int32_t value) {
  char text[12];
  ScriptFormatInt(value, text);
  return Push(stack, "I", text);
}

int MacroPushText(StrList** stack, const char* text) { return Push(stack, "I", text); }

int MacroPushString(StrList** stack, const char* text) { return Push(stack, "S", text); }

int MacroPushDouble(StrList** stack, double value) {
  char text[SCRIPT_NUMBER_TEXT];
  ScriptFormatDouble(value, text);
  return Push(stack, "I", text);
}

int MacroPushFloat(StrList** stack, double value) {
  char text[SCRIPT_NUMBER_TEXT];
  ScriptFormatDouble(value, text);
  return Push(stack, "F", text);
}
