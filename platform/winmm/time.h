// The multimedia clock.
#pragma once

#include "platform/win32/types.h"

// Milliseconds since the host started, wrapping at 2^32.
DWORD timeGetTime();
