// The DirectInput stand-in's own rules, which the input layer relies on: creation checks,
// cooperative levels, acquisition in front only, loss of input with the focus, state
// sizes, object names, reference counts, and the physical-key table of the real backend.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/dinput8/DInput8.h"
#include "platform/dinput8/DInput8Headless.h"
#include "platform/dinput8/DInput8Source.h"
#include "support/Headless.h"

namespace {

using platform::dinput8::HeadlessMoveMouse;
using platform::dinput8::HeadlessSetForeground;
using platform::dinput8::HeadlessSetKey;
using platform::dinput8::InputLog;

HWND TestWindow() {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x2000));
}

class DInput8Test : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    platform::dinput8::HeadlessResetInput();
    ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                 reinterpret_cast<void**>(&di), nullptr),
              DI_OK);
  }
  void TearDown() override {
    if (di) di->Release();
    HeadlessTest::TearDown();
  }

  // A device with its format set, not yet acquired.
  IDirectInputDevice8A* MakeDevice(REFGUID which, DWORD level) {
    IDirectInputDevice8A* device = nullptr;
    EXPECT_EQ(di->CreateDevice(which, &device, nullptr), DI_OK);
    if (!device) return nullptr;
    const DIDATAFORMAT* format =
        IsEqualGUID(which, GUID_SysKeyboard) ? &c_dfDIKeyboard : &c_dfDIMouse;
    EXPECT_EQ(device->SetDataFormat(format), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(TestWindow(), level), DI_OK);
    return device;
  }

  IDirectInput8A* di = nullptr;
};

TEST_F(DInput8Test, CreateChecksVersionInterfaceAndOutPointer) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, &out, nullptr),
            DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0900, IID_IDirectInput8A, &out, nullptr),
            DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0800, GUID_SysKeyboard, &out, nullptr),
            DIERR_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(FAILED(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, nullptr, nullptr)));

  IDirectInputDevice8A* device = reinterpret_cast<IDirectInputDevice8A*>(1);
  EXPECT_EQ(di->CreateDevice(IID_IDirectInput8A, &device, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(device, nullptr);
}

TEST_F(DInput8Test, DataFormatMustMatchTheDevice) {
  IDirectInputDevice8A* keyboard = nullptr;
  ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
  // Without a format there is nothing to acquire.
  EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  // Format and level are fixed while acquired.
  EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
  EXPECT_EQ(keyboard->SetCooperativeLevel(TestWindow(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_ACQUIRED);
  keyboard->Release();
}

TEST_F(DInput8Test, CooperativeLevelNeedsOneOfEachPair) {
  IDirectInputDevice8A* keyboard = nullptr;
  ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
  EXPECT_EQ(keyboard->SetCooperativeLevel(TestWindow(), DISCL_FOREGROUND), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(TestWindow(),
                                          DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(TestWindow(), DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(TestWindow(),
                                          DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(keyboard->SetCooperativeLevel(TestWindow(), DISCL_EXCLUSIVE | DISCL_BACKGROUND),
            DIERR_UNSUPPORTED);
  EXPECT_EQ(keyboard->SetCooperativeLevel(TestWindow(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DI_OK);
  keyboard->Release();
}

TEST_F(DInput8Test, ForegroundDeviceAcquiresOnlyWhileTheWindowIsInFront) {
  IDirectInputDevice8A* keyboard =
      MakeDevice(GUID_SysKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  IDirectInputDevice8A* background =
      MakeDevice(GUID_SysKeyboard, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
  HeadlessSetForeground(false);
  EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
  EXPECT_EQ(background->Acquire(), DI_OK);
  BYTE keys[256];
  EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
  EXPECT_EQ(background->GetDeviceState(256, keys), DI_OK);

  HeadlessSetForeground(true);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
  EXPECT_EQ(keyboard->Unacquire(), DI_OK);
  EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
  keyboard->Release();
  background->Release();
}

TEST_F(DInput8Test, FocusLossReportsInputLostOnceThenNotAcquired) {
  IDirectInputDevice8A* keyboard =
      MakeDevice(GUID_SysKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  HeadlessSetKey(DIK_A, true);
  BYTE keys[256];
  ASSERT_EQ(keyboard->GetDeviceState(256, keys), DI_OK);
  EXPECT_EQ(keys[DIK_A], 0x80);
  EXPECT_EQ(keys[DIK_S], 0);

  // Away and back again between two reads: the input was still lost.
  HeadlessSetForeground(false);
  HeadlessSetForeground(true);
  HeadlessSetKey(DIK_A, false);
  std::memset(keys, 0x55, sizeof keys);
  EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_INPUTLOST);
  EXPECT_EQ(keys[DIK_A], 0x55);  // a failed read leaves the buffer alone
  EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->GetDeviceState(256, keys), DI_OK);
  EXPECT_EQ(keys[DIK_A], 0);
  keyboard->Release();
}

TEST_F(DInput8Test, StateSizeMustBeTheFormats) {
  IDirectInputDevice8A* mouse = MakeDevice(GUID_SysMouse, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  BYTE buffer[256];
  EXPECT_EQ(mouse->GetDeviceState(256, buffer), DIERR_INVALIDPARAM);
  EXPECT_EQ(mouse->GetDeviceState(20, buffer), DIERR_INVALIDPARAM);  // DIMOUSESTATE2
  EXPECT_TRUE(FAILED(mouse->GetDeviceState(16, nullptr)));
  DIMOUSESTATE state;
  EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  mouse->Release();
}

TEST_F(DInput8Test, MouseReportsMotionSinceItsLastReadOnly) {
  HeadlessMoveMouse(500, 500, 120);  // before the device exists
  IDirectInputDevice8A* mouse = MakeDevice(GUID_SysMouse, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  HeadlessMoveMouse(7, 7);  // before it is acquired
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  DIMOUSESTATE state;
  ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, 0);
  EXPECT_EQ(state.lY, 0);
  EXPECT_EQ(state.lZ, 0);

  HeadlessMoveMouse(3, -4, 240);
  HeadlessMoveMouse(2, 1, -120);
  ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, 5);
  EXPECT_EQ(state.lY, -3);
  EXPECT_EQ(state.lZ, 120);
  ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
  EXPECT_EQ(state.lX, 0);
  EXPECT_EQ(state.lZ, 0);
  mouse->Release();
}

TEST_F(DInput8Test, ExclusiveMouseHoldsTheCursorOnlyWhileAcquired) {
  IDirectInputDevice8A* shared = MakeDevice(GUID_SysMouse, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_EQ(shared->Acquire(), DI_OK);
  EXPECT_FALSE(platform::dinput8::HeadlessMouseCaptured());
  shared->Release();

  IDirectInputDevice8A* mouse = MakeDevice(GUID_SysMouse, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  EXPECT_TRUE(platform::dinput8::HeadlessMouseCaptured());
  mouse->Unacquire();
  EXPECT_FALSE(platform::dinput8::HeadlessMouseCaptured());
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  mouse->Release();  // releasing an acquired device gives the cursor back
  EXPECT_FALSE(platform::dinput8::HeadlessMouseCaptured());
}

TEST_F(DInput8Test, ObjectInfoNamesKeysAndRespectsTheRecordSize) {
  IDirectInputDevice8A* keyboard =
      MakeDevice(GUID_SysKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  DIDEVICEOBJECTINSTANCEA info{};
  info.dwSize = sizeof info;
  ASSERT_EQ(keyboard->GetObjectInfo(&info, DIK_NUMPAD5, DIPH_BYOFFSET), DI_OK);
  EXPECT_STREQ(info.tszName, "Num 5");
  EXPECT_EQ(info.dwOfs, static_cast<DWORD>(DIK_NUMPAD5));
  EXPECT_TRUE(IsEqualGUID(info.guidType, GUID_Key));
  // The same object by its identifier.
  DIDEVICEOBJECTINSTANCEA byId{};
  byId.dwSize = sizeof byId;
  ASSERT_EQ(keyboard->GetObjectInfo(&byId, info.dwType, DIPH_BYID), DI_OK);
  EXPECT_STREQ(byId.tszName, "Num 5");

  // The older, shorter record is filled only as far as it reaches.
  DIDEVICEOBJECTINSTANCEA old;
  std::memset(&old, 0x7E, sizeof old);
  old.dwSize = kDiDeviceObjectInstanceDx3Size;
  ASSERT_EQ(keyboard->GetObjectInfo(&old, DIK_ESCAPE, DIPH_BYOFFSET), DI_OK);
  EXPECT_STREQ(old.tszName, "Esc");
  EXPECT_EQ(old.dwFFMaxForce, 0x7E7E7E7Eu);

  info.dwSize = 100;
  EXPECT_EQ(keyboard->GetObjectInfo(&info, DIK_W, DIPH_BYOFFSET), DIERR_INVALIDPARAM);
  info.dwSize = sizeof info;
  EXPECT_EQ(keyboard->GetObjectInfo(&info, 0x54, DIPH_BYOFFSET), DIERR_OBJECTNOTFOUND);
  EXPECT_EQ(keyboard->GetObjectInfo(&info, 256, DIPH_BYOFFSET), DIERR_OBJECTNOTFOUND);
  EXPECT_EQ(keyboard->GetObjectInfo(&info, DIK_W, 7), DIERR_INVALIDPARAM);
  EXPECT_TRUE(FAILED(keyboard->GetObjectInfo(nullptr, DIK_W, DIPH_BYOFFSET)));
  keyboard->Release();
}

TEST_F(DInput8Test, ObjectInfoNamesTheMouseAxesAndButtons) {
  IDirectInputDevice8A* mouse = MakeDevice(GUID_SysMouse, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
  DIDEVICEOBJECTINSTANCEA info{};
  info.dwSize = sizeof info;
  ASSERT_EQ(mouse->GetObjectInfo(&info, 8, DIPH_BYOFFSET), DI_OK);
  EXPECT_STREQ(info.tszName, "Wheel");
  ASSERT_EQ(mouse->GetObjectInfo(&info, 15, DIPH_BYOFFSET), DI_OK);
  EXPECT_STREQ(info.tszName, "Button 3");
  EXPECT_EQ(mouse->GetObjectInfo(&info, 16, DIPH_BYOFFSET), DIERR_OBJECTNOTFOUND);
  EXPECT_EQ(mouse->GetObjectInfo(&info, 2, DIPH_BYOFFSET), DIERR_OBJECTNOTFOUND);
  mouse->Release();
}

TEST_F(DInput8Test, DeviceOutlivesTheDirectInputObject) {
  IDirectInputDevice8A* keyboard =
      MakeDevice(GUID_SysKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  // The device holds a reference: releasing ours leaves one.
  EXPECT_EQ(di->Release(), 1u);
  di = nullptr;
  HeadlessSetKey(DIK_K, true);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  BYTE keys[256];
  ASSERT_EQ(keyboard->GetDeviceState(256, keys), DI_OK);
  EXPECT_EQ(keys[DIK_K], 0x80);
  EXPECT_EQ(keyboard->Release(), 0u);
}

// The physical keys the game binds for its four players, and Escape, sit where the
// keyboard has them whatever the national layout: SDL names positions by USB usage.
TEST(DInput8KeyTable, PlayerKeysAndEscapeMapFromTheirPhysicalPositions) {
  using platform::dinput8::DikFromSdlScancode;
  struct Case {
    int usage;  // USB HID keyboard usage = SDL scancode
    BYTE key;
  };
  const Case cases[] = {
      {26, DIK_W},       {22, DIK_S},      {4, DIK_A},        {7, DIK_D},        {82, DIK_UP},
      {81, DIK_DOWN},    {80, DIK_LEFT},   {79, DIK_RIGHT},   {24, DIK_U},       {13, DIK_J},
      {11, DIK_H},       {14, DIK_K},      {96, DIK_NUMPAD8}, {93, DIK_NUMPAD5}, {92, DIK_NUMPAD4},
      {94, DIK_NUMPAD6}, {41, DIK_ESCAPE}, {40, DIK_RETURN},  {42, DIK_BACK},
  };
  for (const Case& c : cases) EXPECT_EQ(DikFromSdlScancode(c.usage), c.key) << c.usage;
  // Positions with no key of their own, and numbers out of range, give no code.
  EXPECT_EQ(DikFromSdlScancode(0), 0);
  EXPECT_EQ(DikFromSdlScancode(-1), 0);
  EXPECT_EQ(DikFromSdlScancode(512), 0);
  EXPECT_EQ(DikFromSdlScancode(100000), 0);
}

TEST(DInput8KeyTable, EveryReportedKeyHasAName) {
  // A key the keyboard can report down must also be nameable, or KeyName would be empty.
  for (int sc = 0; sc < 512; ++sc) {
    const BYTE key = platform::dinput8::DikFromSdlScancode(sc);
    if (key) {
      EXPECT_NE(platform::dinput8::DefaultKeyName(key), nullptr) << sc;
    }
  }
  // Distinct keys, distinct codes: the letters all map to different DIK codes.
  bool seen[256] = {};
  for (int sc = 4; sc <= 29; ++sc) {  // A..Z
    const BYTE key = platform::dinput8::DikFromSdlScancode(sc);
    ASSERT_NE(key, 0) << sc;
    EXPECT_FALSE(seen[key]) << sc;
    seen[key] = true;
  }
}

}  // namespace
