#include "dx/shell.h"

namespace {
HWND g_main_window = nullptr;
}  // namespace

HWND dxgetwindow() { return g_main_window; }
