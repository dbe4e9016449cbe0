#include "platform/winmm/time.h"

#include "platform/host/host.h"

DWORD timeGetTime() { return static_cast<DWORD>(host::get().now_us() / 1000); }
