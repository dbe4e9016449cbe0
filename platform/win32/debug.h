// The debugger output: text that only a developer reads.
#pragma once

#include <string>

#include "platform/win32/types.h"

// Writes CP932 text to standard error (as UTF-8), and to the capture when one is set.
void OutputDebugStringA(const char* text);

namespace platform {
// While a capture is set, debugger output is appended to it (the raw CP932 bytes)
// and not echoed; null ends the capture. For tests.
void set_debug_capture(std::string* sink);
}  // namespace platform
