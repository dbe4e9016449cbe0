#include "dx/input.h"

#include <cstring>

#include "dx/pump.h"
#include "dx/shell.h"
#include "platform/win32/window.h"

IDirectInputW* dxdinput = nullptr;
IDirectInputDeviceW* dxkeyboard = nullptr;
IDirectInputDeviceW* dxmouse = nullptr;
IDirectInputDevice2W* dxjoysticks[16] = {};
uint8_t dxjoysticksready = 0;
uint8_t dxkeytable[256];
uint8_t dxkeypressed[256];
uint8_t dxkeypumped[256];
int dxlastkey = 0;

namespace {

constexpr uint8_t kVkToDik[][2] = {
    {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x9C}, {0x10, 0x2A}, {0x11, 0x1D}, {0x12, 0x38}, {0x13, 0xC5},
    {0x14, 0x3A}, {0x15, 0x70}, {0x19, 0x94}, {0x1B, 0x01}, {0x1C, 0x79}, {0x1D, 0x7B}, {0x20, 0x39},
    {0x21, 0xC9}, {0x22, 0xD1}, {0x23, 0xCF}, {0x24, 0xC7}, {0x25, 0xCB}, {0x26, 0xC8}, {0x27, 0xCD},
    {0x28, 0xD0}, {0x2C, 0xB7}, {0x2D, 0xD2}, {0x2E, 0xD3}, {0x30, 0x0B}, {0x31, 0x02}, {0x32, 0x03},
    {0x33, 0x04}, {0x34, 0x05}, {0x35, 0x06}, {0x36, 0x07}, {0x37, 0x08}, {0x38, 0x09}, {0x39, 0x0A},
    {0x41, 0x1E}, {0x42, 0x30}, {0x43, 0x2E}, {0x44, 0x20}, {0x45, 0x12}, {0x46, 0x21}, {0x47, 0x22},
    {0x48, 0x23}, {0x49, 0x17}, {0x4A, 0x24}, {0x4B, 0x25}, {0x4C, 0x26}, {0x4D, 0x32}, {0x4E, 0x31},
    {0x4F, 0x18}, {0x50, 0x19}, {0x51, 0x10}, {0x52, 0x13}, {0x53, 0x1F}, {0x54, 0x14}, {0x55, 0x16},
    {0x56, 0x2F}, {0x57, 0x11}, {0x58, 0x2D}, {0x59, 0x15}, {0x5A, 0x2C}, {0x5B, 0xDB}, {0x5C, 0xDC},
    {0x5D, 0xDD}, {0x60, 0x52}, {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x65, 0x4C},
    {0x66, 0x4D}, {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49}, {0x6A, 0x37}, {0x6B, 0x4E}, {0x6C, 0xB3},
    {0x6D, 0x4A}, {0x6E, 0x53}, {0x6F, 0xB5}, {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D}, {0x73, 0x3E},
    {0x74, 0x3F}, {0x75, 0x40}, {0x76, 0x41}, {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57},
    {0x7B, 0x58}, {0x7C, 0x64}, {0x7D, 0x65}, {0x7E, 0x66}, {0x90, 0x45}, {0x91, 0x46}, {0x92, 0x8D},
    {0xA0, 0x2A}, {0xA1, 0x36}, {0xA2, 0x1D}, {0xA3, 0x9D}, {0xA4, 0x38}, {0xA5, 0xB8}, {0xBA, 0x92},
    {0xBB, 0x27}, {0xBC, 0x33}, {0xBD, 0x0D}, {0xBE, 0x34}, {0xBF, 0x35}, {0xC0, 0x91}, {0xDB, 0x1A},
    {0xDC, 0x7D}, {0xDD, 0x1B}, {0xDE, 0x90}, {0xDF, 0x2B}, {0xE2, 0x93}};
static_assert(sizeof(kVkToDik) / sizeof(kVkToDik[0]) == 117);

struct Tables {
  uint32_t vktodik[256] = {};
  uint32_t diktovk[256] = {};
  const char* names[256] = {};
  Tables() {
    for (auto& e : kVkToDik) vktodik[e[0]] = e[1];
    // The inverse, except that both Enter keys give VK_RETURN and the left-hand
    // Shift, Control and Alt give the generic keys.
    for (auto& e : kVkToDik)
      if (e[0] < 0xA0 || e[0] > 0xA5 || e[1] == 0x36 || e[1] == 0x9D || e[1] == 0xB8) diktovk[e[1]] = e[0];
    diktovk[0x1C] = 0x0D;
    diktovk[0x2A] = 0x10, diktovk[0x1D] = 0x11, diktovk[0x38] = 0x12;
    const std::pair<int, const char*> fixed[] = {
        {0x01, "LButton"}, {0x02, "RButton"}, {0x03, "Break"}, {0x04, "MButton"}, {0x08, "Back"},
        {0x09, "TAB"}, {0x0C, "Clear"}, {0x0D, "Return"}, {0x10, "Shift"}, {0x11, "Ctrl"}, {0x12, "Alt"},
        {0x13, "Pause"}, {0x14, "Caps"}, {0x15, "カナ"}, {0x19, "漢字"}, {0x1B, "Esc"}, {0x1C, "変換"},
        {0x1D, "無変換"}, {0x20, "スペース"}, {0x21, "PageUp"}, {0x22, "PageDown"}, {0x23, "End"},
        {0x24, "Home"}, {0x25, "←"}, {0x26, "↑"}, {0x27, "→"}, {0x28, "↓"}, {0x29, "Select"},
        {0x2B, "Execute"}, {0x2C, "Print Screen"}, {0x2D, "Insert"}, {0x2E, "Delete"}, {0x2F, "Help"},
        {0x5B, "左Windows"}, {0x5C, "右Windows"}, {0x5D, "AppMenu"}, {0x6A, "Num *"}, {0x6B, "Num +"},
        {0x6C, "Num ,"}, {0x6D, "Num -"}, {0x6E, "Num ."}, {0x6F, "Num /"}, {0x90, "NumLock"},
        {0x91, "ScrollLock"}, {0x92, "Num ="}, {0xBA, ":"}, {0xBB, ";"}, {0xBC, "<"}, {0xBD, "-"},
        {0xBE, ">"}, {0xBF, "/"}, {0xC0, "@"}, {0xDB, "["}, {0xDC, "\\"}, {0xDD, "]"}, {0xDE, "^"},
        {0xDF, "_"}, {0xE2, "_"}};
    for (auto& [vk, name] : fixed) names[vk] = name;
    static const char* const digits[10] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    static const char* const pad[10] = {"Num 0", "Num 1", "Num 2", "Num 3", "Num 4",
                                        "Num 5", "Num 6", "Num 7", "Num 8", "Num 9"};
    for (int i = 0; i < 10; ++i) names[0x30 + i] = digits[i], names[0x60 + i] = pad[i];
    static const char* const letters[26] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                            "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};
    for (int i = 0; i < 26; ++i) names[0x41 + i] = letters[i];
    static const char* const fkeys[24] = {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",
                                          "F9",  "F10", "F11", "F12", "F13", "F14", "F15", "F16",
                                          "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24"};
    for (int i = 0; i < 24; ++i) names[0x70 + i] = fkeys[i];
  }
};
const Tables& T() {
  static const Tables t;
  return t;
}

// The data formats the devices are given.
DIOBJECTDATAFORMAT g_key_objects[256];
DIDATAFORMAT g_key_format{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 256, 256, g_key_objects};
DIOBJECTDATAFORMAT g_mouse_objects[7] = {
    {&GUID_XAxis, 0, 0x80FFFF03, 0}, {&GUID_YAxis, 4, 0x80FFFF03, 0}, {&GUID_ZAxis, 8, 0x80FFFF03, 0},
    {nullptr, 12, 0x80FFFF0C, 0},    {nullptr, 13, 0x80FFFF0C, 0},    {nullptr, 14, 0x80FFFF0C, 0},
    {nullptr, 15, 0x80FFFF0C, 0}};
DIDATAFORMAT g_mouse_format{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 16, 7, g_mouse_objects};
DIOBJECTDATAFORMAT g_joy_objects[44];
DIDATAFORMAT g_joy_format{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 80, 44, g_joy_objects};
DIJOYSTATE g_shared_joystate;

void BuildJoystickFormat() {
  const GUID* axes[8] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                         &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
  int n = 0;
  for (int i = 0; i < 8; ++i) g_joy_objects[n++] = {axes[i], static_cast<DWORD>(4 * i), 0x80FFFF03, 0};
  for (int i = 0; i < 4; ++i) g_joy_objects[n++] = {nullptr, static_cast<DWORD>(32 + 4 * i), 0x80FFFF10, 0};
  for (int i = 0; i < 32; ++i) g_joy_objects[n++] = {nullptr, static_cast<DWORD>(48 + i), 0x80FFFF0C, 0};
}

unsigned Index(int dik) {
  if (dik < 0 || dik > 255) return 256;
  return dxkeyboard ? static_cast<unsigned>(dik) : dxdiktovk(static_cast<unsigned>(dik));
}

template <class T>
void ReleaseAndNull(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace

bool dxinitinput() {
  if (!dxDirectInputCreateW) return false;
  if (dxdinput) return true;
  dxwait(100);
  if (dxDirectInputCreateW(dxinstance, 0x0500, &dxdinput, nullptr) != DI_OK &&
      dxDirectInputCreateW(dxinstance, 0x0500, &dxdinput, nullptr) != DI_OK &&
      dxDirectInputCreateW(dxinstance, 0x0300, &dxdinput, nullptr) != DI_OK) {
    dxdinput = nullptr;
    dxDirectInputCreateW = nullptr;
    return false;
  }
  for (int i = 0; i < 256; ++i) g_key_objects[i] = {nullptr, static_cast<DWORD>(i), 0x8000000Cu | (static_cast<DWORD>(i) << 8), 0};
  if (dxdinput->CreateDevice(GUID_SysKeyboard, &dxkeyboard, nullptr) == DI_OK) {
    dxkeyboard->SetCooperativeLevel(dxmainwindow, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    dxkeyboard->SetDataFormat(&g_key_format);
    DIPROPDWORD p{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 16};
    dxkeyboard->SetProperty(DIPROP_BUFFERSIZE, &p.diph);
    dxkeyboard->Acquire();
  } else {
    dxkeyboard = nullptr;
  }
  if (dxdinput->CreateDevice(GUID_SysMouse, &dxmouse, nullptr) == DI_OK) {
    dxmouse->SetCooperativeLevel(dxmainwindow, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    dxmouse->SetDataFormat(&g_mouse_format);
    dxmouse->Acquire();
  } else {
    dxmouse = nullptr;
  }
  std::memset(dxkeytable, 0, sizeof(dxkeytable));
  std::memset(dxkeypressed, 0, sizeof(dxkeypressed));
  std::memset(dxkeypumped, 0, sizeof(dxkeypumped));
  dxlastkey = 0;
  return true;
}

void dxreleaseinput() {
  for (auto*& j : dxjoysticks) ReleaseAndNull(j);
  ReleaseAndNull(dxkeyboard);
  ReleaseAndNull(dxmouse);
  ReleaseAndNull(dxdinput);
  dxjoysticksready = 0;
}

HRESULT dxreadkeyboard() {
  std::memset(dxkeypressed, 0, sizeof(dxkeypressed));
  if (!dxmainwindow || GetForegroundWindow() != dxmainwindow || (dxkeyboard && FAILED(dxkeyboard->Acquire()))) {
    std::memset(dxkeytable, 0, sizeof(dxkeytable));
    std::memset(dxkeypumped, 0, sizeof(dxkeypumped));
    return DIERR_NOTACQUIRED;
  }
  if (!dxkeyboard) {
    // The keys the messages delivered since the last read stay pressed for this frame.
    std::memcpy(dxkeypressed, dxkeypumped, sizeof(dxkeypressed));
    std::memset(dxkeypumped, 0, sizeof(dxkeypumped));
    return DI_OK;
  }
  DIDEVICEOBJECTDATA events[16];
  DWORD n = 16;
  HRESULT hr = dxkeyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events, &n, 0);
  if (FAILED(hr)) return hr;
  if (n == 16) {
    // The buffer may have overflowed: the whole state is the truth.
    hr = dxkeyboard->GetDeviceState(256, dxkeytable);
    if (FAILED(hr)) std::memset(dxkeytable, 0, sizeof(dxkeytable));
    return hr;
  }
  for (DWORD i = 0; i < n; ++i) {
    const DWORD k = events[i].dwOfs & 0xFF;
    if (events[i].dwData & 0x80) {
      dxkeytable[k] = dxkeypressed[k] = 0x80;
      dxlastkey = static_cast<int>(k);
    } else {
      dxkeytable[k] = 0;
    }
  }
  return hr;
}

void dxclearkeys() {
  std::memset(dxkeytable, 0, sizeof(dxkeytable));
  std::memset(dxkeypressed, 0, sizeof(dxkeypressed));
  std::memset(dxkeypumped, 0, sizeof(dxkeypumped));
  dxlastkey = 0;
}

unsigned dxvktodik(unsigned vk) { return vk > 255 ? 0 : T().vktodik[vk]; }
unsigned dxdiktovk(unsigned dik) { return dik > 255 ? 0 : T().diktovk[dik]; }

bool dxkeystate(int dik) {
  unsigned k = Index(dik);
  if (k > 255 || !((dxkeytable[k] | dxkeypressed[k]) & 0x80)) return false;
  dxresetcursor();
  return true;
}

bool dxkeydown(int dik) {
  unsigned k = Index(dik);
  if (k > 255 || !(dxkeypressed[k] & 0x80)) return false;
  dxresetcursor();
  return true;
}

int dxgetlastkey() {
  if (dxlastkey != 0 && dxkeystate(dxlastkey)) {
    dxresetcursor();
    return dxlastkey;
  }
  dxlastkey = 0;
  return 0;
}

const char* dxvkname(unsigned vk) { return vk > 255 ? nullptr : T().names[vk]; }

const char* dxgetkeyname(int dik) {
  if (!dxkeyboard) return dxvkname(dxdiktovk(static_cast<unsigned>(dik)));
  DIDEVICEOBJECTINSTANCEW info{};
  info.dwSize = sizeof(info);
  if (dxkeyboard->GetObjectInfo(&info, static_cast<DWORD>(dik), DIPH_BYOFFSET) != DI_OK) return nullptr;
  return dxinternstringw(info.tszName);
}

void dxinitjoysticks() {
  if (dxjoysticksready || !dxdinput) return;
  dxjoysticksready = 1;
  BuildJoystickFormat();
  dxdinput->EnumDevices(0, dxenumjoystick, nullptr, 0);
  for (IDirectInputDevice2W* j : dxjoysticks) {
    if (!j) continue;
    j->SetCooperativeLevel(dxmainwindow, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    j->SetDataFormat(&g_joy_format);
    for (DWORD ofs : {0u, 4u}) {
      DIPROPRANGE r{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), ofs, DIPH_BYOFFSET}, -10000, 10000};
      j->SetProperty(DIPROP_RANGE, &r.diph);
    }
    DIPROPDWORD dz{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 500};
    j->SetProperty(DIPROP_DEADZONE, &dz.diph);
    j->Acquire();
  }
}

BOOL dxenumjoystick(const DIDEVICEINSTANCEW* device, void*) {
  if (!device || (device->dwDevType & 0xFF) != DIDEVTYPE_JOYSTICK) return DIENUM_CONTINUE;
  IDirectInputDeviceW* dev = nullptr;
  if (dxdinput->CreateDevice(device->guidInstance, &dev, nullptr) != DI_OK) return DIENUM_CONTINUE;
  void* two = nullptr;
  if (dev->QueryInterface(IID_IDirectInputDevice2W, &two) != DI_OK) {
    dev->Release();
    return DIENUM_CONTINUE;
  }
  auto* j = static_cast<IDirectInputDevice2W*>(two);
  DIPROPDWORD id{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 0};
  int64_t slot = j->GetProperty(DIPROP_JOYSTICKID, &id.diph) == DI_OK
                     ? static_cast<int64_t>(id.dwData)
                     : static_cast<int64_t>(device->guidInstance.Data1) - 0x6F1D2B70;
  if (slot >= 0 && slot < 16 && !dxjoysticks[slot]) {
    dxjoysticks[slot] = j;
  } else {
    j->Release();
  }
  dev->Release();
  return DIENUM_CONTINUE;
}

bool dxgetjoystick(int index, DIJOYSTATE* state) {
  dxinitjoysticks();
  if (!state) state = &g_shared_joystate;
  std::memset(state, 0, sizeof(*state));
  for (DWORD& pov : state->rgdwPOV) pov = 0xFFFFFFFF;
  if (index < 0 || index > 15 || !dxjoysticks[index]) return false;
  IDirectInputDevice2W* j = dxjoysticks[index];
  j->Acquire();
  j->Poll();
  if (FAILED(j->GetDeviceState(sizeof(DIJOYSTATE), state))) return false;
  for (DWORD& pov : state->rgdwPOV)
    if ((pov & 0xFFFF) == 0xFFFF) pov = 0xFFFFFFFF;
  for (BYTE& b : state->rgbButtons) b &= 0x80;
  return true;
}

const char* dxgetjoystickname(int index) {
  dxinitjoysticks();
  if (index < 0 || index > 15 || !dxjoysticks[index]) return nullptr;
  DIDEVICEINSTANCEW info{};
  info.dwSize = sizeof(info);
  if (dxjoysticks[index]->GetDeviceInfo(&info) != DI_OK) return nullptr;
  return dxinternstringw(info.tszProductName);
}

const char* dxgetjoystickinfo(int index, DWORD offset) {
  dxinitjoysticks();
  if (index < 0 || index > 15 || !dxjoysticks[index]) return nullptr;
  DIDEVICEOBJECTINSTANCEW info{};
  info.dwSize = sizeof(info);
  if (dxjoysticks[index]->GetObjectInfo(&info, offset, DIPH_BYOFFSET) != DI_OK) return nullptr;
  return dxinternstringw(info.tszName);
}
