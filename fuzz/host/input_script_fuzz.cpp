// The headless host's input scripts: any text is read or refused with a line
// number; what is read goes into a host's script.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/headless_host.h"
#include "platform/host/input_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<host::ScriptedEvent> events;
  std::string error;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (host::ParseInputScript(text, events, error)) {
    if (!error.empty()) __builtin_trap();
    host::HeadlessHost h;
    for (host::ScriptedEvent& e : events) {
      if (e.frame > host::kMaxScriptFrame + 1) __builtin_trap();
      h.push(e.frame, std::move(e.event));
    }
  } else if (error.compare(0, 5, "line ") != 0 || !events.empty()) {
    __builtin_trap();
  }
  return 0;
}
