// The mark-up text drawer over any bytes: codes, numbers, variable names,
// Shift-JIS pairs cut at the end and runs longer than its buffer, drawn on a
// 32-bit display; the cursor must stay where the text could have moved it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dx/dx.h"
#include "game/macro/macro_draw.h"
#include "script/strlist.h"
#include "platform/host/headless_host.h"
#include "platform/win32/display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static host::HeadlessHost h;
  static const bool ready = [] {
    host::set(&h);
    h.set_catch_exits(true);
    h.set_quiet(true);
    h.set_frames_kept(0);
    win32::SetDesktopDepth(32);
    if (!dxinit("fuzz", 640, 480, 32, false)) return false;
    SetVarStr("N", "3");
    SetVarStr("NAME", "%c2Taro\\n");
    SetVarStr("LONG", std::string(1500, 'x').c_str());
    return true;
  }();
  if (!ready) __builtin_trap();
  host::set(&h);
  ResetMesText();
  // Font sizes stay small so that the fuzzer spends its time on the parser.
  std::string text(reinterpret_cast<const char*>(data), size);
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '%' && (text[i + 1] == 'h' || text[i + 1] == 'w')) text[i + 1] = 'n';
  DrawMarkupText(text.c_str(), 10, 10);
  if (MesText.bold > 1) __builtin_trap();
  if (MesText.y < 10) __builtin_trap();
  return 0;
}
