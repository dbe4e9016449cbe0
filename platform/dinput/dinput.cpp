#include "platform/dinput/dinput.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/win32/text.h"
#include "platform/win32/window.h"
#include "platform/winmm/time.h"

const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_Joystick = {0x6F1D2B70, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_XAxis = {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_YAxis = {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_ZAxis = {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_RxAxis = {0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_RyAxis = {0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_RzAxis = {0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_Slider = {0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_POV = {0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_Button = {0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID IID_IDirectInputDeviceW = {0x5944E681, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID IID_IDirectInputDevice2W = {0x5944E683, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0, 0}};
const GUID DIPROP_BUFFERSIZE = {1, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const GUID DIPROP_RANGE = {4, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const GUID DIPROP_DEADZONE = {5, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const GUID DIPROP_JOYSTICKID = {0x0F, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace {

uint8_t g_held[256];  // 0x80 while a key is down, by key code
std::set<IDirectInputDeviceW*> g_keyboards;
bool g_listening = false;

// Names of the keys, by key code.
const char* KeyName(int dik) {
  static const char* const names[256] = {
      nullptr, "Esc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "^", "Backspace", "Tab",
      "Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P", "[", "]", "Enter", "Ctrl", "A", "S",
      "D", "F", "G", "H", "J", "K", "L", ";", ":", "`", "Shift", "]", "Z", "X", "C", "V",
      "B", "N", "M", ",", ".", "/", "Right Shift", "Num *", "Alt", "Space", "Caps Lock", "F1", "F2", "F3", "F4",
      "F5", "F6", "F7", "F8", "F9", "F10", "Num Lock", "Scroll Lock", "Num 7", "Num 8", "Num 9", "Num -",
      "Num 4", "Num 5", "Num 6", "Num +", "Num 1", "Num 2", "Num 3", "Num 0", "Num .", nullptr, nullptr,
      nullptr, "F11", "F12"};
  static const std::pair<int, const char*> high[] = {
      {0x70, "Kana"}, {0x73, "_"}, {0x79, "Convert"}, {0x7B, "No Convert"}, {0x7D, "Yen"},
      {0x90, "^"}, {0x91, "@"}, {0x92, ":"}, {0x9C, "Num Enter"}, {0x9D, "Right Ctrl"}, {0xB5, "Num /"},
      {0xB7, "Print Screen"}, {0xB8, "Right Alt"}, {0xC5, "Pause"}, {0xC7, "Home"}, {0xC8, "Up"},
      {0xC9, "Page Up"}, {0xCB, "Left"}, {0xCD, "Right"}, {0xCF, "End"}, {0xD0, "Down"}, {0xD1, "Page Down"},
      {0xD2, "Insert"}, {0xD3, "Delete"}, {0xDB, "Left Windows"}, {0xDC, "Right Windows"}, {0xDD, "Application"}};
  if (dik < 0 || dik > 255) return nullptr;
  if (names[dik]) return names[dik];
  for (auto& [code, name] : high)
    if (code == dik) return name;
  return nullptr;
}

void OnHostEvent(const host::Event& e) {
  if (e.type == host::EventType::KeyDown || e.type == host::EventType::KeyUp) {
    int dik = dinput::ScancodeToDik(e.scancode);
    if (!dik) return;
    const bool down = e.type == host::EventType::KeyDown;
    if (down && e.repeat) return;  // a held key is one press
    g_held[dik] = down ? 0x80 : 0;
    for (IDirectInputDeviceW* k : g_keyboards) k->KeyEvent(dik, down);
  } else if (e.type == host::EventType::FocusLost) {
    std::memset(g_held, 0, sizeof(g_held));
    for (IDirectInputDeviceW* k : g_keyboards) k->FocusLost();
  }
}

void Utf8Name(char16_t* out, size_t size, const std::string& utf8) {
  std::u16string w = win32::Utf8ToUtf16(utf8);
  if (w.size() >= size) w.resize(size - 1);
  std::copy(w.begin(), w.end(), out);
  out[w.size()] = 0;
}

GUID JoystickGuid(int index) {
  GUID g = GUID_Joystick;
  g.Data1 += static_cast<uint32_t>(index);
  return g;
}

}  // namespace

ULONG DiObject::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

IDirectInputDeviceW::IDirectInputDeviceW(Kind kind, int joystick) : kind_(kind), joystick_(joystick) {
  for (int i = 0; i < 8; ++i) range_min_[i] = 0, range_max_[i] = 65535;
  if (kind_ == Kind::Keyboard) g_keyboards.insert(this);
}

IDirectInputDeviceW::~IDirectInputDeviceW() { g_keyboards.erase(this); }

HRESULT IDirectInputDeviceW::QueryInterface(const GUID& iid, void** out) {
  if (!out) return DIERR_INVALIDPARAM;
  if (iid == IID_IDirectInputDeviceW || iid == IID_IDirectInputDevice2W) {
    AddRef();
    *out = this;
    return DI_OK;
  }
  *out = nullptr;
  return DIERR_NOINTERFACE;
}

HRESULT IDirectInputDeviceW::SetCooperativeLevel(HWND window, DWORD flags) {
  if ((flags & DISCL_EXCLUSIVE) == (flags & DISCL_NONEXCLUSIVE) ||
      (flags & DISCL_FOREGROUND) == (flags & DISCL_BACKGROUND))
    return DIERR_INVALIDPARAM;
  window_ = window;
  coop_ = flags;
  return DI_OK;
}

HRESULT IDirectInputDeviceW::SetDataFormat(const DIDATAFORMAT* format) {
  if (!format || acquired_) return DIERR_INVALIDPARAM;
  const DWORD want = kind_ == Kind::Keyboard ? 256 : kind_ == Kind::Mouse ? 16 : 80;
  if (format->dwDataSize != want || format->dwObjSize != sizeof(DIOBJECTDATAFORMAT)) return DIERR_INVALIDPARAM;
  data_size_ = format->dwDataSize;
  return DI_OK;
}

HRESULT IDirectInputDeviceW::SetProperty(const GUID& prop, const DIPROPHEADER* h) {
  if (!h || h->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
  if (prop == DIPROP_BUFFERSIZE) {
    if (h->dwSize != sizeof(DIPROPDWORD) || h->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
    buffer_size_ = reinterpret_cast<const DIPROPDWORD*>(h)->dwData;
    while (events_.size() > buffer_size_) events_.pop_front();
    return DI_OK;
  }
  if (kind_ != Kind::Joystick) return DIERR_INVALIDPARAM;
  if (prop == DIPROP_RANGE) {
    auto* r = reinterpret_cast<const DIPROPRANGE*>(h);
    if (h->dwSize != sizeof(DIPROPRANGE) || r->lMin >= r->lMax) return DIERR_INVALIDPARAM;
    if (h->dwHow == DIPH_DEVICE) {
      for (int i = 0; i < 8; ++i) range_min_[i] = r->lMin, range_max_[i] = r->lMax;
    } else if (h->dwHow == DIPH_BYOFFSET && h->dwObj < 32 && h->dwObj % 4 == 0) {
      range_min_[h->dwObj / 4] = r->lMin, range_max_[h->dwObj / 4] = r->lMax;
    } else {
      return DIERR_NOTFOUND;
    }
    return DI_OK;
  }
  if (prop == DIPROP_DEADZONE) {
    if (h->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
    dead_zone_ = std::min<DWORD>(reinterpret_cast<const DIPROPDWORD*>(h)->dwData, 10000);
    return DI_OK;
  }
  return DIERR_INVALIDPARAM;
}

HRESULT IDirectInputDeviceW::GetProperty(const GUID& prop, DIPROPHEADER* h) {
  if (!h || h->dwHeaderSize != sizeof(DIPROPHEADER) || h->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
  auto* d = reinterpret_cast<DIPROPDWORD*>(h);
  if (prop == DIPROP_BUFFERSIZE) {
    d->dwData = buffer_size_;
    return DI_OK;
  }
  if (prop == DIPROP_JOYSTICKID && kind_ == Kind::Joystick) {
    d->dwData = static_cast<DWORD>(joystick_);
    return DI_OK;
  }
  if (prop == DIPROP_DEADZONE && kind_ == Kind::Joystick) {
    d->dwData = dead_zone_;
    return DI_OK;
  }
  return DIERR_INVALIDPARAM;
}

HRESULT IDirectInputDeviceW::Acquire() {
  if (!data_size_) return DIERR_INVALIDPARAM;
  if ((coop_ & DISCL_FOREGROUND) && !host::get().focused()) return DIERR_OTHERAPPHASPRIO;
  if (kind_ == Kind::Joystick && !host::get().joystick(joystick_).present) return DIERR_INPUTLOST;
  if (acquired_) return DI_NOEFFECT;
  acquired_ = true;
  return DI_OK;
}

HRESULT IDirectInputDeviceW::Unacquire() {
  if (!acquired_) return DI_NOEFFECT;
  acquired_ = false;
  return DI_OK;
}

HRESULT IDirectInputDeviceW::Poll() {
  if (!acquired_) return DIERR_NOTACQUIRED;
  return DI_NOEFFECT;
}

void IDirectInputDeviceW::KeyEvent(int dik, bool down) {
  if (!acquired_ || buffer_size_ == 0) return;
  if (events_.size() >= buffer_size_) {
    overflow_ = true;
    return;
  }
  events_.push_back({static_cast<DWORD>(dik), down ? 0x80u : 0u, timeGetTime(), sequence_++});
}

void IDirectInputDeviceW::FocusLost() {
  if (coop_ & DISCL_FOREGROUND) acquired_ = false;
  events_.clear();
  overflow_ = false;
}

HRESULT IDirectInputDeviceW::GetDeviceData(DWORD record_size, DIDEVICEOBJECTDATA* out, DWORD* count, DWORD) {
  if (!count || record_size != sizeof(DIDEVICEOBJECTDATA)) return DIERR_INVALIDPARAM;
  if (!acquired_) return DIERR_NOTACQUIRED;
  if (buffer_size_ == 0) return DIERR_INVALIDPARAM;
  DWORD n = 0;
  while (n < *count && !events_.empty()) {
    if (out) out[n] = events_.front();
    events_.pop_front();
    ++n;
  }
  *count = n;
  HRESULT hr = overflow_ ? DI_BUFFEROVERFLOW : DI_OK;
  overflow_ = false;
  return hr;
}

HRESULT IDirectInputDeviceW::GetDeviceState(DWORD size, void* out) {
  if (!out || size != data_size_) return DIERR_INVALIDPARAM;
  if (!acquired_) return DIERR_NOTACQUIRED;
  std::memset(out, 0, size);
  if (kind_ == Kind::Keyboard) {
    std::memcpy(out, g_held, 256);
  } else if (kind_ == Kind::Mouse) {
    auto* m = static_cast<DIMOUSESTATE*>(out);
    host::MouseState s = host::get().mouse();
    for (int i = 0; i < 4; ++i) m->rgbButtons[i] = (s.buttons >> i) & 1 ? 0x80 : 0;
  } else {
    host::JoystickState j = host::get().joystick(joystick_);
    if (!j.present) {
      acquired_ = false;
      return DIERR_INPUTLOST;
    }
    auto* st = static_cast<DIJOYSTATE*>(out);
    LONG* axes[8] = {&st->lX, &st->lY, &st->lZ, &st->lRx, &st->lRy, &st->lRz, &st->rglSlider[0], &st->rglSlider[1]};
    for (int i = 0; i < 8; ++i) {
      int64_t v = i < j.num_axes ? j.axes[i] : 0;
      // The dead zone is a share of the half range around the centre.
      if (std::abs(v) * 10000 < static_cast<int64_t>(dead_zone_) * 32768) v = 0;
      const int64_t lo = range_min_[i], hi = range_max_[i];
      *axes[i] = static_cast<LONG>(lo + (v + 32768) * (hi - lo) / 65535);
    }
    for (int i = 0; i < 4; ++i) st->rgdwPOV[i] = 0xFFFFFFFF;
    if (j.num_hats > 0 && j.hat >= 0) st->rgdwPOV[0] = static_cast<DWORD>(j.hat);
    for (int i = 0; i < 32 && i < j.num_buttons; ++i) st->rgbButtons[i] = (j.buttons >> i) & 1 ? 0x80 : 0;
  }
  return DI_OK;
}

HRESULT IDirectInputDeviceW::GetObjectInfo(DIDEVICEOBJECTINSTANCEW* out, DWORD object, DWORD how) {
  if (!out || out->dwSize != sizeof(DIDEVICEOBJECTINSTANCEW) || how != DIPH_BYOFFSET) return DIERR_INVALIDPARAM;
  const DWORD size = out->dwSize;
  std::memset(out, 0, size);
  out->dwSize = size;
  out->dwOfs = object;
  std::string name;
  if (kind_ == Kind::Keyboard) {
    const char* n = object < 256 ? KeyName(static_cast<int>(object)) : nullptr;
    if (!n) return DIERR_NOTFOUND;
    name = n;
    out->guidType = GUID_Key;
    out->dwType = DIDFT_BUTTON | (object << 8);
  } else if (kind_ == Kind::Joystick) {
    host::JoystickState j = host::get().joystick(joystick_);
    static const char* const axes[8] = {"X Axis", "Y Axis", "Z Axis", "X Rotation", "Y Rotation", "Z Rotation",
                                        "Slider", "Slider"};
    static const GUID* const axis_guids[8] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                                              &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
    if (object < 32 && object % 4 == 0 && static_cast<int>(object / 4) < j.num_axes) {
      name = axes[object / 4];
      out->guidType = *axis_guids[object / 4];
      out->dwType = DIDFT_AXIS | ((object / 4) << 8);
    } else if (object >= 32 && object < 48 && object % 4 == 0 && static_cast<int>((object - 32) / 4) < j.num_hats) {
      name = "POV " + std::to_string((object - 32) / 4 + 1);
      out->guidType = GUID_POV;
      out->dwType = DIDFT_POV | (((object - 32) / 4) << 8);
    } else if (object >= 48 && object < 80 && static_cast<int>(object - 48) < j.num_buttons) {
      name = "Button " + std::to_string(object - 48 + 1);
      out->guidType = GUID_Button;
      out->dwType = DIDFT_BUTTON | ((object - 48) << 8);
    } else {
      return DIERR_NOTFOUND;
    }
  } else {
    static const char* const parts[7] = {"X Axis", "Y Axis", "Wheel", "Button 0", "Button 1", "Button 2",
                                         "Button 3"};
    int i = object < 12 ? (object % 4 ? -1 : static_cast<int>(object / 4)) : object < 16 ? static_cast<int>(object - 9) : -1;
    if (i < 0) return DIERR_NOTFOUND;
    name = parts[i];
  }
  Utf8Name(out->tszName, 260, name);
  return DI_OK;
}

HRESULT IDirectInputDeviceW::GetDeviceInfo(DIDEVICEINSTANCEW* out) {
  if (!out || out->dwSize != sizeof(DIDEVICEINSTANCEW)) return DIERR_INVALIDPARAM;
  std::memset(out, 0, sizeof(*out));
  out->dwSize = sizeof(*out);
  std::string name;
  switch (kind_) {
    case Kind::Keyboard:
      out->guidInstance = out->guidProduct = GUID_SysKeyboard;
      out->dwDevType = DIDEVTYPE_KEYBOARD;
      name = "Keyboard";
      break;
    case Kind::Mouse:
      out->guidInstance = out->guidProduct = GUID_SysMouse;
      out->dwDevType = DIDEVTYPE_MOUSE;
      name = "Mouse";
      break;
    case Kind::Joystick: {
      host::JoystickState j = host::get().joystick(joystick_);
      if (!j.present) return DIERR_INPUTLOST;
      out->guidInstance = out->guidProduct = JoystickGuid(joystick_);
      out->dwDevType = DIDEVTYPE_JOYSTICK;
      name = j.name.empty() ? "Joystick" : j.name;
      break;
    }
  }
  Utf8Name(out->tszInstanceName, 260, name);
  Utf8Name(out->tszProductName, 260, name);
  return DI_OK;
}

HRESULT IDirectInputW::CreateDevice(const GUID& guid, IDirectInputDeviceW** out, IUnknown*) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (guid == GUID_SysKeyboard) {
    *out = new IDirectInputDeviceW(IDirectInputDeviceW::Kind::Keyboard, 0);
  } else if (guid == GUID_SysMouse) {
    *out = new IDirectInputDeviceW(IDirectInputDeviceW::Kind::Mouse, 0);
  } else {
    GUID base = guid;
    int index = static_cast<int>(guid.Data1 - GUID_Joystick.Data1);
    base.Data1 = GUID_Joystick.Data1;
    if (!(base == GUID_Joystick) || index < 0 || index >= host::kMaxJoysticks ||
        !host::get().joystick(index).present)
      return DIERR_DEVICENOTREG;
    *out = new IDirectInputDeviceW(IDirectInputDeviceW::Kind::Joystick, index);
  }
  return DI_OK;
}

HRESULT IDirectInputW::EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKW callback, void* context, DWORD) {
  if (!callback) return DIERR_INVALIDPARAM;
  std::vector<DIDEVICEINSTANCEW> list;
  auto add = [&](const GUID& g, DWORD dev_type, const std::string& name) {
    if (type != 0 && type != dev_type) return;
    DIDEVICEINSTANCEW d{};
    d.dwSize = sizeof(d);
    d.guidInstance = d.guidProduct = g;
    d.dwDevType = dev_type;
    Utf8Name(d.tszInstanceName, 260, name);
    Utf8Name(d.tszProductName, 260, name);
    list.push_back(d);
  };
  add(GUID_SysMouse, DIDEVTYPE_MOUSE, "Mouse");
  add(GUID_SysKeyboard, DIDEVTYPE_KEYBOARD, "Keyboard");
  for (int i = 0; i < host::kMaxJoysticks; ++i) {
    host::JoystickState j = host::get().joystick(i);
    if (j.present) add(JoystickGuid(i), DIDEVTYPE_JOYSTICK, j.name.empty() ? "Joystick" : j.name);
  }
  for (const DIDEVICEINSTANCEW& d : list)
    if (callback(&d, context) == DIENUM_STOP) break;
  return DI_OK;
}

HRESULT DirectInputCreateW(HINSTANCE, DWORD version, IDirectInputW** out, IUnknown*) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (version < 0x0300) return DIERR_OLDDIRECTINPUTVERSION;
  if (version > 0x0500) return DIERR_BETADIRECTINPUTVERSION;
  if (!g_listening) {
    win32::AddHostEventListener(OnHostEvent);
    g_listening = true;
  }
  *out = new IDirectInputW();
  return DI_OK;
}

namespace dinput {

int ScancodeToDik(int sc) {
  static const int letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                  0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  if (sc >= host::key::A && sc <= host::key::Z) return letters[sc - host::key::A];
  if (sc >= host::key::N1 && sc <= host::key::N0) return 0x02 + (sc - host::key::N1);
  if (sc >= 58 && sc <= 67) return 0x3B + (sc - 58);  // F1-F10
  static const std::pair<int, int> keys[] = {
      {40, 0x1C}, {41, 0x01}, {42, 0x0E}, {43, 0x0F}, {44, 0x39}, {45, 0x0C}, {46, 0x90}, {47, 0x91},
      {48, 0x1A}, {49, 0x7D}, {50, 0x1B}, {51, 0x27}, {52, 0x92}, {53, 0x29}, {54, 0x33}, {55, 0x34},
      {56, 0x35}, {57, 0x3A}, {68, 0x57}, {69, 0x58}, {70, 0xB7}, {71, 0x46}, {72, 0xC5}, {73, 0xD2},
      {74, 0xC7}, {75, 0xC9}, {76, 0xD3}, {77, 0xCF}, {78, 0xD1}, {79, 0xCD}, {80, 0xCB}, {81, 0xD0},
      {82, 0xC8}, {83, 0x45}, {84, 0xB5}, {85, 0x37}, {86, 0x4A}, {87, 0x4E}, {88, 0x9C}, {89, 0x4F},
      {90, 0x50}, {91, 0x51}, {92, 0x4B}, {93, 0x4C}, {94, 0x4D}, {95, 0x47}, {96, 0x48}, {97, 0x49},
      {98, 0x52}, {99, 0x53}, {101, 0xDD}, {135, 0x73}, {136, 0x70}, {137, 0x7D}, {138, 0x79}, {139, 0x7B},
      {224, 0x1D}, {225, 0x2A}, {226, 0x38}, {227, 0xDB}, {228, 0x9D}, {229, 0x36}, {230, 0xB8}, {231, 0xDC}};
  for (auto& [s, d] : keys)
    if (s == sc) return d;
  return 0;
}

}  // namespace dinput
