// The application shell: the main window and the process's set-up and end.
#pragma once

#include "platform/win32/types.h"

// The main window: the owner of every message box; null while none exists.
HWND dxgetwindow();
