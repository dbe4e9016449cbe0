// Keys through DirectInput and through window messages, the mouse and joysticks.
#include "fixture.h"

namespace {

TEST_F(DxTest, KeyHeldPressedAndLast) {
  Start();
  ASSERT_NE(dxkeyboard, nullptr);
  host_.key_down(0, host::key::Return);
  dxupdate();
  EXPECT_TRUE(dxkeystate(DIK_RETURN));
  EXPECT_TRUE(dxkeydown(DIK_RETURN));
  EXPECT_EQ(dxgetlastkey(), DIK_RETURN);
  dxupdate();
  EXPECT_TRUE(dxkeystate(DIK_RETURN));
  EXPECT_FALSE(dxkeydown(DIK_RETURN));  // an edge, only in its frame
  host_.key_down(2, host::key::Left);
  host_.key_up(3, host::key::Return);
  dxupdate();
  dxupdate();
  EXPECT_FALSE(dxkeystate(DIK_RETURN));
  EXPECT_TRUE(dxkeystate(DIK_LEFT));
  EXPECT_EQ(dxgetlastkey(), DIK_LEFT);
  host_.key_up(4, host::key::Left);
  host_.key_down(4, host::key::Up);
  host_.key_up(4, host::key::Up);
  host_.key_down(4, host::key::Left);
  dxupdate();
  EXPECT_TRUE(dxkeystate(DIK_UP));  // down and up within one frame still counts
  host_.key_up(5, host::key::Left);
  dxupdate();
  EXPECT_FALSE(dxkeystate(DIK_UP));
  host_.key_down(6, host::key::Down);
  host_.key_down(6, host::key::Right);
  host_.key_up(7, host::key::Right);
  dxupdate();
  dxupdate();
  EXPECT_EQ(dxgetlastkey(), 0);  // the last key went up, though another is held
  EXPECT_TRUE(dxkeystate(DIK_DOWN));
}

TEST_F(DxTest, KeysTheGameReads) {
  Start();
  const std::pair<int, int> keys[] = {
      {host::key::Escape, 1},    {host::key::Backspace, 14}, {host::key::Tab, 15}, {host::key::Return, 28},
      {host::key::A + 2, 46},    {host::key::A + 21, 47},    {host::key::A + 1, 48}, {96, 72},
      {92, 75},                  {94, 77},                   {90, 80},             {host::key::KpEnter, 156},
      {host::key::Home, 199},    {host::key::Up, 200},       {host::key::PageUp, 201},
      {host::key::Left, 203},    {host::key::Right, 205},    {host::key::End, 207},
      {host::key::Down, 208},    {host::key::PageDown, 209}, {host::key::Insert, 210},
      {host::key::Delete, 211}};
  for (auto& [sc, dik] : keys) EXPECT_EQ(dinput::ScancodeToDik(sc), dik) << sc;
}

TEST_F(DxTest, FocusLossClearsHeldKeys) {
  Start();
  host_.key_down(0, host::key::Left);
  dxupdate();
  EXPECT_TRUE(dxkeystate(DIK_LEFT));
  host::Event e;
  e.type = host::EventType::FocusLost;
  host_.push(1, e);
  dxupdate();
  EXPECT_FALSE(dxkeystate(DIK_LEFT));
  e.type = host::EventType::FocusGained;
  host_.push(2, e);
  dxupdate();
  dxupdate();
  EXPECT_FALSE(dxkeystate(DIK_LEFT));
}

TEST_F(DxTest, FullBufferReadsTheWholeState) {
  Start();
  for (int i = 0; i < 10; ++i) host_.key_press(0, host::key::A + i);
  host_.key_down(0, host::key::Space);
  dxupdate();
  EXPECT_TRUE(dxkeystate(DIK_SPACE));
  EXPECT_FALSE(dxkeydown(DIK_SPACE));  // the state has no presses in it
}

TEST_F(DxTest, MessageKeysStayPressedForTheFrame) {
  Start();
  dxkeyboard->Release();
  dxkeyboard = nullptr;
  host_.key_down(0, host::key::Return);
  dxupdate();
  // Without a DirectInput keyboard the tables are indexed by virtual key.
  EXPECT_TRUE(dxkeydown(DIK_RETURN));
  EXPECT_TRUE(dxkeystate(DIK_RETURN));
  EXPECT_EQ(dxgetlastkey(), 0x9C);
  host_.key_up(1, host::key::Return);
  dxupdate();
  EXPECT_EQ(dxgetlastkey(), 0);
}

TEST(InputTablesTest, KeyCodeTables) {
  EXPECT_EQ(dxvktodik(0x0D), 0x9Cu);
  EXPECT_EQ(dxvktodik(0xBD), 0x0Du);
  EXPECT_EQ(dxvktodik(0xA0), 0x2Au);
  EXPECT_EQ(dxvktodik(256), 0u);
  EXPECT_EQ(dxdiktovk(0x1C), 0x0Du);
  EXPECT_EQ(dxdiktovk(0x9C), 0x0Du);
  EXPECT_EQ(dxdiktovk(0x2A), 0x10u);
  EXPECT_EQ(dxdiktovk(0x1D), 0x11u);
  EXPECT_EQ(dxdiktovk(0x38), 0x12u);
  EXPECT_EQ(dxdiktovk(0x36), 0xA1u);
  EXPECT_EQ(dxdiktovk(300), 0u);
  int mapped = 0;
  for (unsigned k = 0; k < 256; ++k) mapped += dxdiktovk(k) != 0;
  EXPECT_EQ(mapped, 115);
  EXPECT_STREQ(dxvkname(0x41), "A");
  EXPECT_STREQ(dxvkname(0x87), "F24");
  EXPECT_STREQ(dxvkname(0x15), "カナ");
  EXPECT_EQ(dxvkname(0x0A), nullptr);
}

TEST_F(DxTest, MouseWheelAndButtons) {
  Start();
  host::Event e;
  e.type = host::EventType::MouseMove;
  e.x = 100, e.y = 50;
  host_.push(0, e);
  e.type = host::EventType::MouseWheel;
  e.wheel = 2;
  host_.push(0, e);
  e.type = host::EventType::MouseDown;
  e.button = host::kButtonLeft;
  host_.push(0, e);
  dxupdate();
  int x, y, left, wheel;
  dxgetmouse(&x, &y, &left, nullptr, nullptr, &wheel, nullptr, nullptr);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  EXPECT_EQ(left, 1);
  EXPECT_EQ(wheel, 240);
  dxupdate();
  dxgetmouse(nullptr, nullptr, nullptr, nullptr, nullptr, &wheel, nullptr, nullptr);
  EXPECT_EQ(wheel, 0);
}

TEST_F(DxTest, Joysticks) {
  host::JoystickState j;
  j.present = true;
  j.name = "Pad";
  j.num_axes = 2, j.num_buttons = 4, j.num_hats = 1;
  j.axes[0] = 32767;
  j.buttons = 0x5;
  j.hat = 9000;
  host_.set_joystick(1, j);
  Start();
  DIJOYSTATE s;
  EXPECT_FALSE(dxgetjoystick(0, &s));
  EXPECT_EQ(s.rgdwPOV[3], 0xFFFFFFFFu);
  EXPECT_EQ(s.lX, 0);
  ASSERT_TRUE(dxgetjoystick(1, &s));
  EXPECT_EQ(s.lX, 10000);
  EXPECT_EQ(s.lY, 0);  // centre, inside the dead zone
  EXPECT_EQ(s.rgbButtons[0], 0x80);
  EXPECT_EQ(s.rgbButtons[1], 0);
  EXPECT_EQ(s.rgdwPOV[0], 9000u);
  EXPECT_EQ(s.rgdwPOV[1], 0xFFFFFFFFu);
  EXPECT_STREQ(dxgetjoystickname(1), "Pad");
  EXPECT_STREQ(dxgetjoystickinfo(1, 48), "Button 1");
  EXPECT_EQ(dxgetjoystickname(16), nullptr);
}

}  // namespace

namespace {

TEST(DinputTest, DevicesOverTheHost) {
  host::HeadlessHost h;
  host::set(&h);
  IDirectInputW* di = nullptr;
  EXPECT_EQ(DirectInputCreateW(nullptr, 0x0700, &di, nullptr), DIERR_BETADIRECTINPUTVERSION);
  ASSERT_EQ(DirectInputCreateW(nullptr, 0x0500, &di, nullptr), DI_OK);
  IDirectInputDeviceW* kb = nullptr;
  ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &kb, nullptr), DI_OK);
  EXPECT_EQ(kb->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
  DIOBJECTDATAFORMAT objs[256] = {};
  DIDATAFORMAT f{sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 256, 256, objs};
  ASSERT_EQ(kb->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
  ASSERT_EQ(kb->SetDataFormat(&f), DI_OK);
  DIPROPDWORD p{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 4};
  ASSERT_EQ(kb->SetProperty(DIPROP_BUFFERSIZE, &p.diph), DI_OK);
  ASSERT_EQ(kb->Acquire(), DI_OK);
  // Keys reach the device as the host's events are taken by the message queue.
  for (int i = 0; i < 6; ++i) h.key_press(0, host::key::A + i);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  DIDEVICEOBJECTDATA ev[8];
  DWORD n = 8;
  EXPECT_EQ(kb->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), ev, &n, 0), DI_BUFFEROVERFLOW);
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(ev[0].dwOfs, 0x1Eu);
  EXPECT_EQ(ev[0].dwData, 0x80u);
  uint8_t state[256];
  EXPECT_EQ(kb->GetDeviceState(100, state), DIERR_INVALIDPARAM);
  EXPECT_EQ(kb->GetDeviceState(256, state), DI_OK);
  EXPECT_EQ(state[0x1E], 0x80);  // held: its release comes a frame later
  // Focus loss empties the held table and the buffer, and the device must be acquired again.
  host::Event e;
  e.type = host::EventType::FocusLost;
  h.push(0, e);
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  EXPECT_EQ(kb->GetDeviceState(256, state), DIERR_NOTACQUIRED);
  EXPECT_EQ(kb->Acquire(), DIERR_OTHERAPPHASPRIO);
  e.type = host::EventType::FocusGained;
  h.push(0, e);
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  ASSERT_EQ(kb->Acquire(), DI_OK);
  EXPECT_EQ(kb->GetDeviceState(256, state), DI_OK);
  EXPECT_EQ(state[0x1E], 0);
  DIDEVICEOBJECTINSTANCEW info{};
  info.dwSize = sizeof(info);
  ASSERT_EQ(kb->GetObjectInfo(&info, DIK_RETURN, DIPH_BYOFFSET), DI_OK);
  EXPECT_EQ(std::u16string(info.tszName), u"Enter");
  kb->Release();
  di->Release();
  host::set(nullptr);
}

}  // namespace
