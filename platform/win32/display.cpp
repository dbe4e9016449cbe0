#include "platform/win32/display.h"

#include <cstdlib>

#include "platform/host/host.h"

namespace {

int g_desktop_depth = 0;  // 0 until first asked
bool g_mode_changed = false;
win32::DisplayMode g_mode;

bool ValidDepth(int bpp) { return bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

}  // namespace

namespace win32 {

int DesktopDepth() {
  if (!g_desktop_depth) {
    const char* env = std::getenv("DOLVICAR_DESKTOP_DEPTH");
    int bpp = env ? std::atoi(env) : 32;
    g_desktop_depth = ValidDepth(bpp) ? bpp : 32;
  }
  return g_desktop_depth;
}

void SetDesktopDepth(int bpp) {
  // A test may also ask for a depth no mode has (15 bits), to see it refused.
  if (bpp > 0 && bpp <= 32) g_desktop_depth = bpp;
}

DisplayMode DesktopMode() {
  DisplayMode m;
  host::get().desktop_size(m.width, m.height);
  m.bpp = DesktopDepth();
  return m;
}

DisplayMode CurrentMode() { return g_mode_changed ? g_mode : DesktopMode(); }

std::vector<DisplayMode> DisplayModes() {
  DisplayMode desk = DesktopMode();
  std::vector<DisplayMode> modes;
  for (int bpp : {8, 16, 24, 32}) modes.push_back({640, 480, bpp});
  if (desk.width != 640 || desk.height != 480)
    for (int bpp : {8, 16, 24, 32}) modes.push_back({desk.width, desk.height, bpp});
  return modes;
}

bool IsDisplayMode(const DisplayMode& m) {
  for (const DisplayMode& d : DisplayModes())
    if (d == m) return true;
  return false;
}

bool SetCurrentMode(const DisplayMode& m) {
  if (!IsDisplayMode(m)) return false;
  g_mode = m;
  g_mode_changed = !(m == DesktopMode());
  return true;
}

void RestoreDesktopMode() { g_mode_changed = false; }

}  // namespace win32

BOOL EnumDisplaySettingsA(const char*, DWORD index, DEVMODEA* mode) {
  if (!mode) return FALSE;
  win32::DisplayMode m;
  if (index == ENUM_CURRENT_SETTINGS || index == ENUM_REGISTRY_SETTINGS) {
    m = index == ENUM_CURRENT_SETTINGS ? win32::CurrentMode() : win32::DesktopMode();
  } else {
    std::vector<win32::DisplayMode> modes = win32::DisplayModes();
    if (index >= modes.size()) return FALSE;
    m = modes[index];
  }
  mode->dmSize = sizeof(DEVMODEA);
  mode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  mode->dmBitsPerPel = static_cast<DWORD>(m.bpp);
  mode->dmPelsWidth = static_cast<DWORD>(m.width);
  mode->dmPelsHeight = static_cast<DWORD>(m.height);
  mode->dmDisplayFrequency = 60;
  return TRUE;
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
  if (!mode) {
    win32::RestoreDesktopMode();
    return DISP_CHANGE_SUCCESSFUL;
  }
  if (flags & CDS_UPDATEREGISTRY) return DISP_CHANGE_BADFLAGS;
  win32::DisplayMode m = win32::CurrentMode();
  if (mode->dmFields & DM_BITSPERPEL) m.bpp = static_cast<int>(mode->dmBitsPerPel);
  if (mode->dmFields & DM_PELSWIDTH) m.width = static_cast<int>(mode->dmPelsWidth);
  if (mode->dmFields & DM_PELSHEIGHT) m.height = static_cast<int>(mode->dmPelsHeight);
  if ((mode->dmFields & DM_DISPLAYFREQUENCY) && mode->dmDisplayFrequency != 60 && mode->dmDisplayFrequency > 1)
    return DISP_CHANGE_BADMODE;
  if (!win32::IsDisplayMode(m)) return DISP_CHANGE_BADMODE;
  if (flags & CDS_TEST) return DISP_CHANGE_SUCCESSFUL;
  win32::SetCurrentMode(m);
  return DISP_CHANGE_SUCCESSFUL;
}
