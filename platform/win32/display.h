// Display settings: the desktop is the host's screen with an emulated colour
// depth (32 unless the host, DOLVICAR_DESKTOP_DEPTH or a test says otherwise).
// Modes of 8, 16, 24 and 32 bits exist at the desktop size and at 640 x 480; a
// change lasts for the run only and is undone when the program's window goes.
#pragma once

#include <vector>

#include "platform/win32/types.h"

namespace win32 {

struct DisplayMode {
  int width = 0, height = 0, bpp = 0;
  bool operator==(const DisplayMode&) const = default;
};

// The desktop's depth; SetDesktopDepth accepts 8, 16, 24 and 32.
int DesktopDepth();
void SetDesktopDepth(int bpp);
DisplayMode DesktopMode();
// The mode the screen shows now (the desktop's unless changed).
DisplayMode CurrentMode();
// Every mode, smallest size first, then by depth.
std::vector<DisplayMode> DisplayModes();
bool IsDisplayMode(const DisplayMode& m);
// Switches to a mode of the list; false (and no change) for any other.
bool SetCurrentMode(const DisplayMode& m);
void RestoreDesktopMode();

}  // namespace win32

constexpr DWORD DM_BITSPERPEL = 0x40000;
constexpr DWORD DM_PELSWIDTH = 0x80000;
constexpr DWORD DM_PELSHEIGHT = 0x100000;
constexpr DWORD DM_DISPLAYFREQUENCY = 0x400000;

constexpr DWORD CDS_UPDATEREGISTRY = 0x1;
constexpr DWORD CDS_TEST = 0x2;
constexpr DWORD CDS_FULLSCREEN = 0x4;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_RESTART = 1;
constexpr LONG DISP_CHANGE_FAILED = -1;
constexpr LONG DISP_CHANGE_BADMODE = -2;
constexpr LONG DISP_CHANGE_BADFLAGS = -4;
constexpr DWORD ENUM_CURRENT_SETTINGS = 0xFFFFFFFF;
constexpr DWORD ENUM_REGISTRY_SETTINGS = 0xFFFFFFFE;

// The fields of a display mode the program reads or sets.
struct DEVMODEA {
  WORD dmSize;
  DWORD dmFields;
  DWORD dmBitsPerPel;
  DWORD dmPelsWidth;
  DWORD dmPelsHeight;
  DWORD dmDisplayFrequency;
};

// Mode `index` of the list (or the current one, ENUM_CURRENT_SETTINGS); FALSE past the end.
BOOL EnumDisplaySettingsA(const char* device, DWORD index, DEVMODEA* mode);
// Null restores the desktop's mode. Fields left out of dmFields keep the current values.
// Only a change for the run exists: CDS_UPDATEREGISTRY is refused.
LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);
