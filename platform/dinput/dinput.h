// The DirectInput stand-in: the keyboard, the system mouse and up to 16
// joysticks over the host. Host keys map to DirectInput key codes; key events
// are buffered as the host delivers them to the message queue; the held keys
// are cleared when the window loses focus. Objects are reference counted, not COM.
#pragma once

#include <cstdint>
#include <deque>

#include "platform/win32/types.h"

struct IUnknown;

constexpr HRESULT DI_OK = 0;
constexpr HRESULT DI_BUFFEROVERFLOW = 1;
constexpr HRESULT DI_NOEFFECT = 1;
constexpr HRESULT DI_PROPNOEFFECT = 1;
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000C);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001E);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047E);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = static_cast<HRESULT>(0x80070481);
constexpr HRESULT DIERR_NOTFOUND = static_cast<HRESULT>(0x80070002);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005);

constexpr DWORD DISCL_EXCLUSIVE = 0x1, DISCL_NONEXCLUSIVE = 0x2, DISCL_FOREGROUND = 0x4, DISCL_BACKGROUND = 0x8;
constexpr DWORD DIPH_DEVICE = 0, DIPH_BYOFFSET = 1, DIPH_BYID = 2;
constexpr DWORD DIDEVTYPE_DEVICE = 1, DIDEVTYPE_MOUSE = 2, DIDEVTYPE_KEYBOARD = 3, DIDEVTYPE_JOYSTICK = 4;
constexpr DWORD DIEDFL_ALLDEVICES = 0, DIEDFL_ATTACHEDONLY = 1;
constexpr BOOL DIENUM_STOP = 0, DIENUM_CONTINUE = 1;
constexpr DWORD DIDFT_AXIS = 0x3, DIDFT_BUTTON = 0xC, DIDFT_POV = 0x10, DIDFT_ANYINSTANCE = 0xFFFF00,
                DIDFT_OPTIONAL = 0x80000000;
constexpr DWORD DIDF_ABSAXIS = 0x1;
constexpr int DIPROPRANGE_NOMIN = static_cast<int>(0x80000000);

// Keys by DirectInput code.
constexpr int DIK_ESCAPE = 0x01, DIK_1 = 0x02, DIK_0 = 0x0B, DIK_BACK = 0x0E, DIK_TAB = 0x0F, DIK_Q = 0x10,
              DIK_RETURN = 0x1C, DIK_LCONTROL = 0x1D, DIK_A = 0x1E, DIK_LSHIFT = 0x2A, DIK_Z = 0x2C,
              DIK_X = 0x2D, DIK_C = 0x2E, DIK_V = 0x2F, DIK_B = 0x30, DIK_RSHIFT = 0x36, DIK_LMENU = 0x38,
              DIK_SPACE = 0x39, DIK_F1 = 0x3B, DIK_NUMPAD8 = 0x48, DIK_NUMPAD4 = 0x4B, DIK_NUMPAD6 = 0x4D,
              DIK_NUMPAD2 = 0x50, DIK_NUMPADENTER = 0x9C, DIK_RCONTROL = 0x9D, DIK_RMENU = 0xB8, DIK_HOME = 0xC7,
              DIK_UP = 0xC8, DIK_PRIOR = 0xC9, DIK_LEFT = 0xCB, DIK_RIGHT = 0xCD, DIK_END = 0xCF,
              DIK_DOWN = 0xD0, DIK_NEXT = 0xD1, DIK_INSERT = 0xD2, DIK_DELETE = 0xD3;

struct DIOBJECTDATAFORMAT {
  const GUID* pguid;
  DWORD dwOfs;
  DWORD dwType;
  DWORD dwFlags;
};

struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;
  DWORD dwNumObjs;
  DIOBJECTDATAFORMAT* rgodf;
};

struct DIDEVICEOBJECTDATA {
  DWORD dwOfs;   // the key's code
  DWORD dwData;  // 0x80 pressed, 0 released
  DWORD dwTimeStamp;
  DWORD dwSequence;
};

struct DIPROPHEADER {
  DWORD dwSize;
  DWORD dwHeaderSize;
  DWORD dwObj;
  DWORD dwHow;
};
struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};
struct DIPROPRANGE {
  DIPROPHEADER diph;
  LONG lMin;
  LONG lMax;
};

struct DIDEVICEINSTANCEW {
  DWORD dwSize;
  GUID guidInstance;
  GUID guidProduct;
  DWORD dwDevType;
  char16_t tszInstanceName[260];
  char16_t tszProductName[260];
  GUID guidFFDriver;
  WORD wUsagePage;
  WORD wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCEW) == 1100);

struct DIDEVICEOBJECTINSTANCEW {
  DWORD dwSize;
  GUID guidType;
  DWORD dwOfs;
  DWORD dwType;
  DWORD dwFlags;
  char16_t tszName[260];
  DWORD dwFFMaxForce;
  DWORD dwFFForceResolution;
  WORD wCollectionNumber;
  WORD wDesignatorIndex;
  WORD wUsagePage;
  WORD wUsage;
  DWORD dwDimension;
  WORD wExponent;
  WORD wReserved;
};
static_assert(sizeof(DIDEVICEOBJECTINSTANCEW) == 576);

struct DIMOUSESTATE {
  LONG lX, lY, lZ;
  BYTE rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16);

struct DIJOYSTATE {
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];
  BYTE rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

extern const GUID GUID_SysKeyboard, GUID_SysMouse, GUID_Joystick;
extern const GUID GUID_XAxis, GUID_YAxis, GUID_ZAxis, GUID_RxAxis, GUID_RyAxis, GUID_RzAxis, GUID_Slider,
    GUID_POV, GUID_Button, GUID_Key;
extern const GUID IID_IDirectInputDeviceW, IID_IDirectInputDevice2W;
// Properties.
extern const GUID DIPROP_BUFFERSIZE, DIPROP_RANGE, DIPROP_DEADZONE, DIPROP_JOYSTICKID;

struct DiObject {
  DiObject() = default;
  DiObject(const DiObject&) = delete;
  DiObject& operator=(const DiObject&) = delete;
  ULONG AddRef() { return ++refs_; }
  ULONG Release();

 protected:
  virtual ~DiObject() = default;

 private:
  ULONG refs_ = 1;
};

// One device; the joystick's IDirectInputDevice2W is the same object.
struct IDirectInputDeviceW : DiObject {
  enum class Kind { Keyboard, Mouse, Joystick };
  IDirectInputDeviceW(Kind kind, int joystick);
  ~IDirectInputDeviceW() override;

  HRESULT QueryInterface(const GUID& iid, void** out);
  HRESULT SetCooperativeLevel(HWND window, DWORD flags);
  HRESULT SetDataFormat(const DIDATAFORMAT* format);
  HRESULT SetProperty(const GUID& prop, const DIPROPHEADER* header);
  HRESULT GetProperty(const GUID& prop, DIPROPHEADER* header);
  HRESULT Acquire();
  HRESULT Unacquire();
  HRESULT Poll();
  // Takes up to *count buffered events (*count becomes the number taken).
  HRESULT GetDeviceData(DWORD record_size, DIDEVICEOBJECTDATA* out, DWORD* count, DWORD flags);
  HRESULT GetDeviceState(DWORD size, void* out);
  HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEW* out, DWORD object, DWORD how);
  HRESULT GetDeviceInfo(DIDEVICEINSTANCEW* out);

  // The host's key events reach every keyboard device through this.
  void KeyEvent(int dik, bool down);
  void FocusLost();

 private:
  Kind kind_;
  int joystick_;
  HWND window_ = nullptr;
  DWORD coop_ = 0;
  DWORD data_size_ = 0;
  bool acquired_ = false;
  DWORD buffer_size_ = 0;
  bool overflow_ = false;
  std::deque<DIDEVICEOBJECTDATA> events_;
  DWORD sequence_ = 0;
  LONG range_min_[8], range_max_[8];
  DWORD dead_zone_ = 0;
};
using IDirectInputDevice2W = IDirectInputDeviceW;

using LPDIENUMDEVICESCALLBACKW = BOOL (*)(const DIDEVICEINSTANCEW* device, void* context);

struct IDirectInputW : DiObject {
  HRESULT CreateDevice(const GUID& guid, IDirectInputDeviceW** out, IUnknown* outer);
  HRESULT EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKW callback, void* context, DWORD flags);
};

// Versions 0x0300 to 0x0500 are offered.
HRESULT DirectInputCreateW(HINSTANCE instance, DWORD version, IDirectInputW** out, IUnknown* outer);

namespace dinput {
// Host scancode (USB HID usage) to DirectInput key code; 0 for keys without one.
int ScancodeToDik(int scancode);
}  // namespace dinput
