#include "game/macro/macro_misc.h"

#include <cmath>

#include "dx/effects.h"
#include "game/catalog.h"
#include "game/effect.h"
#include "game/fatal.h"
#include "game/map.h"

namespace {

int PushFloat(StrList** stack, double value) {
  char text[SCRIPT_NUMBER_TEXT];
  ScriptFormatDouble(value, text);
  return PushResult(stack, "F", text);
}

}  // namespace

int macro_warn(StrList** args, StrList** stack) {
  // MsgBuf holds 1,023 bytes: a longer text is cut on a character boundary.
  FormatMsg("%s", GetArgText(MacroArg(args, 0)));
  ShowWarning();
  return PushInt(stack, 0);
}

int macro_effect(StrList** args, StrList** stack) {
  int32_t number = 0, flag = 0;
  StrList* picture = MacroArg(args, 0);
  ArgInt(args, 1, number);
  ArgInt(args, 2, flag);
  if (picture) PlayEffect(GetArgText(picture), number, flag);
  return PushInt(stack, 0);
}

int macro_catalog(StrList**, StrList** stack) {
  ShowCatalog();
  return PushInt(stack, 0);
}

int macro_map2dxchg(StrList** args, StrList** stack) {
  int32_t entry = -1, part = -1;
  ArgInt(args, 0, entry);
  ArgInt(args, 1, part);
  if (entry < 0 || entry >= kChipCount || part < 0 || part >= kChipCount) return PushInt(stack, 1);
  PartIndexTable[entry] = part;
  return PushInt(stack, 0);
}

int macro_mosaic(StrList** args, StrList** stack) {
  int32_t x = 0, y = 0, w = 0, h = 0, block = 8;
  ArgInt(args, 0, x);
  ArgInt(args, 1, y);
  ArgInt(args, 2, w);
  if (!ArgInt(args, 3, h)) return PushInt(stack, 1);
  ArgInt(args, 4, block);
  dxmosaic(x, y, w, h, block);
  return PushInt(stack, 0);
}

int macro_sqrt(StrList** args, StrList** stack) {
  double value = 0.0;
  ArgDouble(args, 0, value);
  return PushFloat(stack, std::sqrt(value));
}

int macro_pow(StrList** args, StrList** stack) {
  double base = 0.0, exponent = 2.0;
  ArgDouble(args, 0, base);
  ArgDouble(args, 1, exponent);
  return PushFloat(stack, std::pow(base, exponent));
}

int macro_log(StrList**, StrList** stack) { return PushInt(stack, 0); }

void RegisterMiscMacros() {
  RegisterMacro("effect", macro_effect);
  RegisterMacro("warn", macro_warn);
  RegisterMacro("catalog", macro_catalog);
  RegisterMacro("map2dxchg", macro_map2dxchg);
  RegisterMacro("mosaic", macro_mosaic);
  RegisterMacro("sqrt", macro_sqrt);
  RegisterMacro("pow", macro_pow);
  RegisterMacro("log", macro_log);
}
