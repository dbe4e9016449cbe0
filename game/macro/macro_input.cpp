// Time, random numbers, the logon name and the yes/no box.
#include "game/macro/macro_input.h"

#include <ctime>

#include "dx/dx.h"
#include "game/macro/macro_draw.h"
#include "game/macro/macro_ui.h"
#include "script/script.h"
#include "game/sound.h"
#include "game/win.h"
#include "platform/win32/registry.h"
#include "platform/win32/text.h"

namespace {

constexpr int32_t kSoundMove = 100;
constexpr int kInputChars = 32;  // the editor's buffer: 31 characters and the end
constexpr int kInputRoom = 64;   // for the texts on either side of the editor

// The local calendar time now, read anew for every command.
std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

}  // namespace

int macro_rnd(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t bound = 1000;
  a.Int(bound);
  return MacroPushInt(stack, bound > 0 ? dxrand(bound) : 0);
}

int macro_timesec(StrList**, StrList** stack) { return MacroPushInt(stack, LocalNow().tm_sec); }
int macro_timemin(StrList**, StrList** stack) { return MacroPushInt(stack, LocalNow().tm_min); }
int macro_timehour(StrList**, StrList** stack) { return MacroPushInt(stack, LocalNow().tm_hour); }
int macro_timeday(StrList**, StrList** stack) { return MacroPushInt(stack, LocalNow().tm_mday); }
int macro_timemon(StrList**, StrList** stack) { return MacroPushInt(stack, LocalNow().tm_mon + 1); }
int macro_timeyear(StrList**, StrList** stack) { return MacroPushInt(stack, LocalNow().tm_year + 1900); }

int macro_sysname(StrList**, StrList** stack) {
  char name[1000] = "";
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", 0,
                    KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    DWORD size = 999;
    DWORD type = 0;
    if (RegQueryValueExA(key, "Logon User Name", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) ==
        ERROR_SUCCESS) {
      // The text ends where the size read ends.
      name[size < 999 ? size : 999] = '\0';
    } else {
      name[0] = '\0';
    }
    RegCloseKey(key);
  }
  return MacroPushString(stack, name);
}

int macro_input(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t x = 0, y = 0, width = 256, r = 1, g = 1, b = 1;
  const char* initial = "";
  a.Int(x), a.Int(y), a.Int(width), a.Text(initial), a.Int(r), a.Int(g), a.Int(b);
  // An initial text that does not fit starts the editor empty.
  char16_t start[kInputRoom] = {};
  if (MultiByteToWideChar(CP_ACP, 0, initial, -1, start, kInputRoom) == 0) start[0] = u'\0';
  SelectMesFont();
  char16_t typed[kInputRoom] = {};
  dxinputlinew(x, y, width, typed, kInputChars, start, dxrgb(r, g, b));
  char text[kInputRoom] = "";
  if (WideCharToMultiByte(CP_ACP, 0, typed, -1, text, kInputRoom, nullptr, nullptr) == 0) text[0] = '\0';
  return MacroPushString(stack, text);
}

int macro_yesno(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t x = 300, y = 200, selection = 0;
  const char* first = "Yes";
  const char* second = "No";
  a.Int(x), a.Int(y), a.Int(selection), a.Text(first), a.Text(second);
  dx::bitmap* under = dxcapture(x, y, 128, 64, true);
  dxclearchars();
  while (MacroKeyBits()) {
    dxupdate();
    dxtick(1);
  }
  for (;;) {
    PlayMusic(-1);
    dxbltnokey(under, x, y);
    DrawWindowFrame(x, y, 128, 64, 40);
    DrawTextButton(HeldPlace(int64_t{x} + 2), HeldPlace(int64_t{y} + 16), 64, first, selection != 0);
    DrawTextButton(HeldPlace(int64_t{x} + 62), HeldPlace(int64_t{y} + 16), 64, second, selection != 1);
    dxupdate();
    const int32_t keys = MacroKeyBits();
    if (keys & kKeyRight) {
      ++selection;
      PlaySE(kSoundMove);
    }
    if (keys & kKeyLeft) {
      --selection;
      PlaySE(kSoundMove);
    }
    if (keys & kKeyDecide) break;
    if (keys & kKeyCancel) {
      selection = 1;
      break;
    }
    if (selection < 0) selection = 0;
    if (selection > 1) selection = 1;
    dxtick(1);
  }
  dxbltnokey(under, x, y);
  dxdeletebitmap(under);
  dxclearchars();
  return MacroPushString(stack, selection == 0 ? "0" : "1");
}

void RegisterInputMacros() {
  ScriptRegisterFunction(&MacroList, "rnd", macro_rnd, nullptr);
  ScriptRegisterFunction(&MacroList, "timesec", macro_timesec, nullptr);
  ScriptRegisterFunction(&MacroList, "timehour", macro_timehour, nullptr);
  ScriptRegisterFunction(&MacroList, "timemin", macro_timemin, nullptr);
  ScriptRegisterFunction(&MacroList, "timeday", macro_timeday, nullptr);
  ScriptRegisterFunction(&MacroList, "timemon", macro_timemon, nullptr);
  ScriptRegisterFunction(&MacroList, "timeyear", macro_timeyear, nullptr);
  ScriptRegisterFunction(&MacroList, "sysname", macro_sysname, nullptr);
  ScriptRegisterFunction(&MacroList, "input", macro_input, nullptr);
  ScriptRegisterFunction(&MacroList, "yesno", macro_yesno, nullptr);
}
