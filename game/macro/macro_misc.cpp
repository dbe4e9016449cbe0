#include "game/macro/macro_misc.h"

#include <cmath>

#include "dx/effects.h"
#include "game/catalog.h"
#include "game/effect.h"
#include "game/fatal.h"
#include "game/map.h"

int macro_warn(StrList** args, StrList** stack) {
  // MsgBuf holds 1,023 bytes: a longer text is cut on a character boundary.
  const char* text = "";
  MacroArgReader(args).Text(text);
  FormatMsg("%s", text);
  ShowWarning();
  return MacroPushInt(stack, 0);
}

int macro_effect(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  const char* picture = nullptr;
  int32_t number = 0, flag = 0;
  arg.Text(picture);
  arg.Int(number);
  arg.Int(flag);
  // An empty name names no picture, as a missing one.
  if (picture && *picture) PlayEffect(picture, number, flag);
  return MacroPushInt(stack, 0);
}

int macro_catalog(StrList**, StrList** stack) {
  ShowCatalog();
  return MacroPushInt(stack, 0);
}

int macro_map2dxchg(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t entry = -1, part = -1;
  arg.Int(entry);
  arg.Int(part);
  if (entry < 0 || entry >= kChipCount || part < 0 || part >= kChipCount) return MacroPushInt(stack, 1);
  PartIndexTable[entry] = part;
  return MacroPushInt(stack, 0);
}

int macro_mosaic(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t x = 0, y = 0, w = 0, h = 0, block = 8;
  arg.Int(x);
  arg.Int(y);
  arg.Int(w);
  if (!arg.Int(h)) return MacroPushInt(stack, 1);
  arg.Int(block);
  dxmosaic(x, y, w, h, block);
  return MacroPushInt(stack, 0);
}

int macro_sqrt(StrList** args, StrList** stack) {
  double value = 0.0;
  MacroArgReader(args).Double(value);
  return MacroPushFloat(stack, std::sqrt(value));
}

int macro_pow(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  double base = 0.0, exponent = 2.0;
  arg.Double(base);
  arg.Double(exponent);
  return MacroPushFloat(stack, std::pow(base, exponent));
}

int macro_log(StrList**, StrList** stack) { return MacroPushInt(stack, 0); }

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
