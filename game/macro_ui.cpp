// Argument reading, results and key reading for the built-in families.
#include "game/macro_ui.h"

#include <cstring>

#include "dx/dx.h"
#include "game/script.h"

const char* MacroArgText(StrList* value) {
  if (!value) return "";
  // A "V" value stands for the variable it refers to.
  if (value->name && std::strcmp(value->name, "V") == 0 && value->ref) value = value->ref;
  return value->text ? value->text : "";
}

bool MacroArgReader::Int(int32_t& value) {
  if (!next_) return false;
  value = StrToInt(MacroArgText(next_));
  next_ = next_->next;
  return true;
}

bool MacroArgReader::Double(double& value) {
  if (!next_) return false;
  value = ScriptStrtod(MacroArgText(next_), nullptr);
  next_ = next_->next;
  return true;
}

bool MacroArgReader::Text(const char*& value) {
  if (!next_) return false;
  value = MacroArgText(next_);
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

namespace {

struct KeyBit {
  int dik;
  int32_t bit;
};

constexpr KeyBit kKeyTable[] = {
    {72, 0x1},     {77, 0x2},     {80, 0x4},     {75, 0x8},      {200, 0x10},    {205, 0x20},    {208, 0x40},
    {203, 0x80},   {28, 0x100},   {156, 0x100},  {1, 0x200},     {201, 0x400},   {209, 0x800},   {46, 0x1000},
    {47, 0x2000},  {48, 0x4000},  {15, 0x10000}, {199, 0x20000}, {207, 0x40000}, {210, 0x80000},
};

bool g_have_report = false;
DWORD g_last_report = 0;

}  // namespace

int32_t MacroKeyBits(int delay) {
  DWORD now = dxgettime();
  if (g_have_report) {
    // The clock may have wrapped: a time before the last report does not hold keys back.
    int64_t since = static_cast<int64_t>(static_cast<int32_t>(now - g_last_report));
    if (since >= 0 && since < delay) return 0;
  }
  int32_t bits = 0;
  for (const KeyBit& k : kKeyTable)
    if (dxkeystate(k.dik)) bits |= k.bit;
  if (bits) {
    g_have_report = true;
    g_last_report = now;
  }
  return bits;
}

void MacroResetKeyBits() { g_have_report = false; }
