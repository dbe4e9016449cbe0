// Keyboard, mouse and joysticks through DirectInput, or the keyboard through the
// window's messages when DirectInput has none. Every key query takes a
// DirectInput key code.
#pragma once

#include <cstdint>

#include "platform/dinput/dinput.h"
#include "platform/win32/types.h"

extern IDirectInputW* dxdinput;
extern IDirectInputDeviceW* dxkeyboard;  // null: keys come from window messages
extern IDirectInputDeviceW* dxmouse;
extern IDirectInputDevice2W* dxjoysticks[16];
extern uint8_t dxjoysticksready;
// Bit 7 of entry k: key k held / went down since the last keyboard read. The
// index is the key code with a DirectInput keyboard, else the virtual key.
extern uint8_t dxkeytable[256];
extern uint8_t dxkeypressed[256];
// Keys the window's messages delivered since the last read (message path).
extern uint8_t dxkeypumped[256];
extern int dxlastkey;

bool dxinitinput();
void dxreleaseinput();
// Clears this frame's presses and reads the keyboard's events.
HRESULT dxreadkeyboard();
// Forgets every key held or pressed: a key that has done its work (closed a
// screen) is not seen again by what follows; only a later press is.
void dxclearkeys();
unsigned dxvktodik(unsigned vk);
unsigned dxdiktovk(unsigned dik);
// Held or pressed this frame.
bool dxkeystate(int dik);
// Went down since the last read.
bool dxkeydown(int dik);
// The most recently pressed key while it is held, else 0.
int dxgetlastkey();
const char* dxvkname(unsigned vk);
const char* dxgetkeyname(int dik);
void dxinitjoysticks();
BOOL dxenumjoystick(const DIDEVICEINSTANCEW* device, void* context);
bool dxgetjoystick(int index, DIJOYSTATE* state);
const char* dxgetjoystickname(int index);
const char* dxgetjoystickinfo(int index, DWORD offset);
