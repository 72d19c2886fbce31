// The input layer over the headless DirectInput backend: release edges of keys and
// buttons, the cursor with its sensitivity and clip, hit rectangles, action bindings,
// start-up and its failures, and what a failed read or a lost focus does to a frame.
#include <gtest/gtest.h>

#include <memory>

#include "engine/input/InputSystem.h"
#include "engine/input/KeyControl.h"
#include "engine/input/Keyboard.h"
#include "engine/input/Mouse.h"
#include "engine/input/ScreenRect.h"
#include "platform/dinput8/DInput8Headless.h"
#include "support/Headless.h"

namespace {

using platform::dinput8::HeadlessMouseCaptured;
using platform::dinput8::HeadlessMoveMouse;
using platform::dinput8::HeadlessSetForeground;
using platform::dinput8::HeadlessSetKey;
using platform::dinput8::HeadlessSetMouseButton;
using platform::dinput8::InputLog;

HWND TestWindow() {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1000));
}

AppSettings GameSettings() {
  AppSettings s;
  s.windowed = false;
  s.width = 800;
  s.height = 600;
  s.colourDepth = 32;
  return s;
}

// The engine's three input services, created and torn down in the shell's order.
class InputTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    platform::dinput8::HeadlessResetInput();
    g_keyboard = new Keyboard();
    g_mouse = new Mouse();
    g_inputSystem = new InputSystem();
  }
  void TearDown() override {
    delete g_inputSystem;
    g_inputSystem = nullptr;
    delete g_mouse;
    g_mouse = nullptr;
    delete g_keyboard;
    g_keyboard = nullptr;
    platform::dinput8::HeadlessResetInput();
    HeadlessTest::TearDown();
  }

  bool Start(AppSettings settings = GameSettings()) {
    return g_inputSystem->Start(nullptr, TestWindow(), settings);
  }
  void StartOrFail() { ASSERT_TRUE(Start()); }

  // One frame of the game: keyboard first, then mouse.
  void Frame() {
    g_keyboard->Update();
    g_mouse->Update();
  }
};

TEST(ScreenRectTest, MakeScreenRectTurnsSizeIntoExclusiveEdges) {
  ScreenRect r = MakeScreenRect(100, 50, 10, 20);
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.top, 50);
  EXPECT_EQ(r.right, 110);
  EXPECT_EQ(r.bottom, 70);
}

TEST(ScreenRectTest, PointInRectHoldsLeftAndTopEdgesButNotRightAndBottom) {
  // A 10-pixel-wide button at x = 100 is hit by x = 100..109, and likewise in y.
  EXPECT_FALSE(PointInRect(99, 55, 100, 50, 110, 70));
  EXPECT_TRUE(PointInRect(100, 55, 100, 50, 110, 70));
  EXPECT_TRUE(PointInRect(109, 55, 100, 50, 110, 70));
  EXPECT_FALSE(PointInRect(110, 55, 100, 50, 110, 70));
  EXPECT_FALSE(PointInRect(105, 49, 100, 50, 110, 70));
  EXPECT_TRUE(PointInRect(105, 50, 100, 50, 110, 70));
  EXPECT_TRUE(PointInRect(105, 69, 100, 50, 110, 70));
  EXPECT_FALSE(PointInRect(105, 70, 100, 50, 110, 70));
  // An empty rectangle holds nothing.
  EXPECT_FALSE(PointInRect(5, 5, 5, 5, 5, 5));
}

TEST_F(InputTest, StartCreatesBothDevicesWithTheirFormatsAndLevels) {
  StartOrFail();
  const auto& log = InputLog();
  ASSERT_EQ(log.Count("DirectInput8Create"), 1);
  EXPECT_EQ(log.Named("DirectInput8Create")[0].args[0], 0x0800u);

  const auto formats = log.Named("SetDataFormat");
  ASSERT_EQ(formats.size(), 2u);
  EXPECT_EQ(formats[0].args[0], 256u);  // keyboard first
  EXPECT_EQ(formats[1].args[0], 16u);   // then the mouse
  const auto levels = log.Named("SetCooperativeLevel");
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[0].args[0], 6u);  // non-exclusive, foreground
  EXPECT_EQ(levels[1].args[0], 5u);  // exclusive, foreground
  EXPECT_EQ(log.Count("Acquire"), 2);
  EXPECT_TRUE(HeadlessMouseCaptured());
}

TEST_F(InputTest, StartClipsTheCursorToTheSettingsSize) {
  AppSettings s = GameSettings();
  s.width = 1024;
  s.height = 768;
  ASSERT_TRUE(Start(s));
  EXPECT_EQ(g_mouse->clip.left, 0);
  EXPECT_EQ(g_mouse->clip.top, 0);
  EXPECT_EQ(g_mouse->clip.right, 1024);
  EXPECT_EQ(g_mouse->clip.bottom, 768);
  g_mouse->sensitivity = 1.0f;
  HeadlessMoveMouse(5000, 5000);
  Frame();
  EXPECT_EQ(g_mouse->x, 1023);
  EXPECT_EQ(g_mouse->y, 767);
}

TEST_F(InputTest, StartFailsWhileTheWindowIsNotInFront) {
  HeadlessSetForeground(false);
  EXPECT_FALSE(Start());
  // The keyboard that could not be acquired was released again.
  EXPECT_EQ(InputLog().Count("Unacquire"), 1);
  EXPECT_EQ(g_keyboard->KeyName(DIK_W), "");
  HeadlessSetKey(DIK_W, true);
  Frame();
  EXPECT_FALSE(g_keyboard->IsDown(DIK_W));
}

TEST_F(InputTest, StartFailsWhenDirectInputOrAServiceIsMissing) {
  InputLog().FailCall("DirectInput8Create");
  EXPECT_FALSE(Start());
  EXPECT_EQ(InputLog().Count("CreateDevice"), 0);

  delete g_mouse;
  g_mouse = nullptr;
  EXPECT_FALSE(Start());
}

TEST_F(InputTest, MouseThatCannotBeAcquiredFailsItsCreate) {
  // The data format is refused, so the acquisition that needs it fails.
  InputLog().FailCall("SetDataFormat");
  Mouse mouse;
  IDirectInput8A* di = nullptr;
  ASSERT_EQ(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, reinterpret_cast<void**>(&di),
                               nullptr),
            DI_OK);
  EXPECT_FALSE(mouse.Create(di, TestWindow(), GameSettings()));
  EXPECT_FALSE(HeadlessMouseCaptured());
  // Without a device the mouse stays where it is.
  HeadlessMoveMouse(50, 50);
  mouse.Update();
  EXPECT_EQ(mouse.x, 0);
  di->Release();
}

TEST_F(InputTest, HeldKeyIsDownEveryFrameAndReleasedOnlyOnTheFrameItGoesUp) {
  StartOrFail();
  HeadlessSetKey(DIK_W, true);
  for (int frame = 0; frame < 5; ++frame) {
    Frame();
    EXPECT_TRUE(g_keyboard->IsDown(DIK_W)) << frame;
    EXPECT_FALSE(g_keyboard->WasReleased(DIK_W)) << frame;
  }
  HeadlessSetKey(DIK_W, false);
  Frame();
  EXPECT_FALSE(g_keyboard->IsDown(DIK_W));
  EXPECT_TRUE(g_keyboard->WasReleased(DIK_W));
  Frame();
  EXPECT_FALSE(g_keyboard->WasReleased(DIK_W));
  // Other keys were never involved.
  EXPECT_FALSE(g_keyboard->WasReleased(DIK_S));
}

TEST_F(InputTest, KeyPressedAndReleasedBetweenTwoFramesIsNeverSeen) {
  StartOrFail();
  Frame();
  HeadlessSetKey(DIK_ESCAPE, true);
  HeadlessSetKey(DIK_ESCAPE, false);
  Frame();
  Frame();
  EXPECT_FALSE(g_keyboard->IsDown(DIK_ESCAPE));
  EXPECT_FALSE(g_keyboard->WasReleased(DIK_ESCAPE));
}

TEST_F(InputTest, KeyCodesOutsideTheTableAreNeverDownOrReleased) {
  StartOrFail();
  HeadlessSetKey(0xFF, true);
  Frame();
  HeadlessSetKey(0xFF, false);
  Frame();
  EXPECT_TRUE(g_keyboard->WasReleased(0xFF));  // the last code is still a key
  for (int key : {-1, 256, 1000, -100000}) {
    EXPECT_FALSE(g_keyboard->IsDown(key)) << key;
    EXPECT_FALSE(g_keyboard->WasReleased(key)) << key;
    EXPECT_EQ(g_keyboard->KeyName(key), "") << key;
  }
}

TEST_F(InputTest, FailedKeyboardReadReportsNoEdgeAndReacquires) {
  StartOrFail();
  HeadlessSetKey(DIK_RETURN, true);
  Frame();
  const int acquiresBefore = InputLog().Count("Acquire");

  HeadlessSetKey(DIK_RETURN, false);
  InputLog().FailCall("GetDeviceState");  // the keyboard's read this frame
  Frame();
  EXPECT_FALSE(g_keyboard->WasReleased(DIK_RETURN));
  EXPECT_TRUE(g_keyboard->IsDown(DIK_RETURN));  // the last good state stands
  EXPECT_EQ(InputLog().Count("Acquire"), acquiresBefore + 1);

  // The next good read delivers the release.
  Frame();
  EXPECT_TRUE(g_keyboard->WasReleased(DIK_RETURN));
}

TEST_F(InputTest, LostFocusFreezesInputUntilTheWindowIsInFrontAgain) {
  StartOrFail();
  HeadlessSetKey(DIK_UP, true);
  HeadlessSetMouseButton(0, true);
  Frame();

  HeadlessSetForeground(false);
  HeadlessSetKey(DIK_UP, false);
  HeadlessSetMouseButton(0, false);
  HeadlessMoveMouse(40, 40);
  for (int frame = 0; frame < 3; ++frame) {
    Frame();
    EXPECT_FALSE(g_keyboard->WasReleased(DIK_UP)) << frame;
    EXPECT_FALSE(g_mouse->ButtonClicked(0)) << frame;
  }
  EXPECT_EQ(g_mouse->x, 0);
  EXPECT_FALSE(HeadlessMouseCaptured());  // the cursor was given back

  HeadlessSetForeground(true);
  Frame();  // the reads fail once more and both devices are acquired again
  EXPECT_TRUE(HeadlessMouseCaptured());
  Frame();
  EXPECT_TRUE(g_keyboard->WasReleased(DIK_UP));
  EXPECT_TRUE(g_mouse->ButtonClicked(0));
  // Motion made while the window was away does not move the cursor.
  EXPECT_EQ(g_mouse->x, 0);
}

TEST_F(InputTest, MouseStartsAtTheOriginWithSensitivityTwo) {
  Mouse mouse;
  EXPECT_EQ(mouse.x, 0);
  EXPECT_EQ(mouse.y, 0);
  EXPECT_EQ(mouse.z, 0);
  EXPECT_FLOAT_EQ(mouse.sensitivity, 2.0f);
  StartOrFail();
  HeadlessMoveMouse(10, 7);
  Frame();
  EXPECT_EQ(g_mouse->x, 20);
  EXPECT_EQ(g_mouse->y, 14);
}

TEST_F(InputTest, SensitivityTruncatesTowardZeroInBothDirections) {
  StartOrFail();
  g_mouse->sensitivity = 1.2f;
  HeadlessMoveMouse(200, 200);
  Frame();
  ASSERT_EQ(g_mouse->x, 240);
  ASSERT_EQ(g_mouse->y, 240);

  HeadlessMoveMouse(3, -3);  // 3.6 and -3.6
  Frame();
  EXPECT_EQ(g_mouse->dx, 3);
  EXPECT_EQ(g_mouse->dy, -3);
  EXPECT_EQ(g_mouse->x, 243);
  EXPECT_EQ(g_mouse->y, 237);
  EXPECT_EQ(g_mouse->previousX, 240);
  EXPECT_EQ(g_mouse->previousY, 240);

  HeadlessMoveMouse(-3, 3);
  Frame();
  EXPECT_EQ(g_mouse->dx, -3);
  EXPECT_EQ(g_mouse->dy, 3);
  EXPECT_EQ(g_mouse->x, 240);
  EXPECT_EQ(g_mouse->y, 240);

  // A single count is lost either way (1.2 and -1.2).
  HeadlessMoveMouse(1, -1);
  Frame();
  EXPECT_EQ(g_mouse->dx, 1);
  EXPECT_EQ(g_mouse->dy, -1);
}

TEST_F(InputTest, CursorStaysInsideTheScreen) {
  StartOrFail();
  g_mouse->sensitivity = 1.2f;
  HeadlessMoveMouse(100000, 100000);
  Frame();
  EXPECT_EQ(g_mouse->x, 799);
  EXPECT_EQ(g_mouse->y, 599);
  EXPECT_EQ(g_mouse->dx, 120000);  // the movement itself is not clipped

  HeadlessMoveMouse(-100000, -100000);
  Frame();
  EXPECT_EQ(g_mouse->x, 0);
  EXPECT_EQ(g_mouse->y, 0);

  // Movements too large for 32 bits once scaled still end at the edge.
  HeadlessMoveMouse(2147483647, -2147483647);
  Frame();
  EXPECT_EQ(g_mouse->x, 799);
  EXPECT_EQ(g_mouse->y, 0);
  HeadlessMoveMouse(-2147483647, 2147483647);
  Frame();
  EXPECT_EQ(g_mouse->x, 0);
  EXPECT_EQ(g_mouse->y, 599);
}

TEST_F(InputTest, WheelAddsUpAndReportsThisFramesMovement) {
  StartOrFail();
  HeadlessMoveMouse(0, 0, 120);
  Frame();
  EXPECT_EQ(g_mouse->z, 120);
  EXPECT_EQ(g_mouse->dz, 120);
  HeadlessMoveMouse(0, 0, -360);
  Frame();
  EXPECT_EQ(g_mouse->z, -240);
  EXPECT_EQ(g_mouse->dz, -360);
  EXPECT_EQ(g_mouse->previousZ, 120);
  Frame();
  EXPECT_EQ(g_mouse->dz, 0);
  EXPECT_EQ(g_mouse->z, -240);
  EXPECT_EQ(g_mouse->x, 0);  // the wheel does not move the cursor
}

TEST_F(InputTest, ButtonClickFiresOnReleaseOnly) {
  StartOrFail();
  HeadlessSetMouseButton(0, true);
  Frame();
  EXPECT_FALSE(g_mouse->ButtonClicked(0));
  Frame();
  EXPECT_FALSE(g_mouse->ButtonClicked(0));
  HeadlessSetMouseButton(0, false);
  Frame();
  EXPECT_TRUE(g_mouse->ButtonClicked(0));
  EXPECT_FALSE(g_mouse->ButtonClicked(1));
  Frame();
  EXPECT_FALSE(g_mouse->ButtonClicked(0));

  // The fourth button clicks too; numbers outside 0..3 never do.
  HeadlessSetMouseButton(3, true);
  Frame();
  HeadlessSetMouseButton(3, false);
  Frame();
  EXPECT_TRUE(g_mouse->ButtonClicked(3));
  EXPECT_FALSE(g_mouse->ButtonClicked(4));
  EXPECT_FALSE(g_mouse->ButtonClicked(-1));
}

TEST_F(InputTest, ClickBetweenTwoFramesIsNeverSeen) {
  StartOrFail();
  Frame();
  HeadlessSetMouseButton(0, true);
  HeadlessSetMouseButton(0, false);
  Frame();
  Frame();
  EXPECT_FALSE(g_mouse->ButtonClicked(0));
}

TEST_F(InputTest, PressPositionIsWhereTheButtonWentDown) {
  StartOrFail();
  g_mouse->sensitivity = 1.0f;
  HeadlessMoveMouse(30, 40);
  Frame();
  HeadlessSetMouseButton(1, true);
  HeadlessMoveMouse(5, 5);
  Frame();
  EXPECT_EQ(g_mouse->pressPosition[1].x, 35);
  EXPECT_EQ(g_mouse->pressPosition[1].y, 45);
  HeadlessMoveMouse(100, 100);  // dragging does not move it
  Frame();
  EXPECT_EQ(g_mouse->pressPosition[1].x, 35);
  EXPECT_EQ(g_mouse->pressPosition[0].x, 0);  // other buttons untouched
}

TEST_F(InputTest, MenuButtonIsHitByAClickInsideItsRectangle) {
  StartOrFail();
  g_mouse->sensitivity = 1.0f;
  const ScreenRect button = MakeScreenRect(100, 100, 10, 10);
  HeadlessMoveMouse(110, 105);  // just right of the button
  Frame();
  HeadlessSetMouseButton(0, true);
  Frame();
  HeadlessSetMouseButton(0, false);
  Frame();
  EXPECT_TRUE(g_mouse->ButtonClicked(0));
  EXPECT_FALSE(g_mouse->IsInside(button.left, button.top, button.right, button.bottom));

  HeadlessMoveMouse(-1, 0);
  Frame();
  EXPECT_TRUE(g_mouse->IsInside(button.left, button.top, button.right, button.bottom));
}

TEST_F(InputTest, FailedMouseReadNeitherRepeatsMotionNorClicks) {
  StartOrFail();
  g_mouse->sensitivity = 1.0f;
  HeadlessSetMouseButton(0, true);
  HeadlessMoveMouse(50, 20, 120);
  Frame();
  ASSERT_EQ(g_mouse->x, 50);
  ASSERT_EQ(g_mouse->z, 120);

  HeadlessSetMouseButton(0, false);
  g_keyboard->Update();
  InputLog().FailCall("GetDeviceState");
  g_mouse->Update();
  EXPECT_EQ(g_mouse->dx, 0);
  EXPECT_EQ(g_mouse->dy, 0);
  EXPECT_EQ(g_mouse->dz, 0);
  EXPECT_EQ(g_mouse->x, 50);
  EXPECT_EQ(g_mouse->y, 20);
  EXPECT_EQ(g_mouse->z, 120);
  EXPECT_FALSE(g_mouse->ButtonClicked(0));

  Frame();  // re-acquired: the release arrives now
  EXPECT_TRUE(g_mouse->ButtonClicked(0));
}

TEST_F(InputTest, BoundActionFollowsItsKey) {
  StartOrFail();
  g_inputSystem->BindKey(0, DIK_W);
  g_inputSystem->BindKey(4, DIK_UP);
  HeadlessSetKey(DIK_W, true);
  Frame();
  EXPECT_FALSE(g_inputSystem->ActionReleased(0));
  EXPECT_TRUE(g_inputSystem->Binding(0)->IsDown());
  HeadlessSetKey(DIK_W, false);
  Frame();
  EXPECT_TRUE(g_inputSystem->ActionReleased(0));
  EXPECT_FALSE(g_inputSystem->ActionReleased(4));
  EXPECT_EQ(g_inputSystem->Binding(4)->KeyName(), "Up");
}

TEST_F(InputTest, BindingAnActionAgainKeepsOnlyTheSecondKey) {
  StartOrFail();
  g_inputSystem->BindKey(7, DIK_A);
  g_inputSystem->BindKey(7, DIK_D);
  ASSERT_NE(g_inputSystem->Binding(7), nullptr);
  EXPECT_EQ(g_inputSystem->Binding(7)->Key(), DIK_D);

  HeadlessSetKey(DIK_A, true);
  Frame();
  HeadlessSetKey(DIK_A, false);
  Frame();
  EXPECT_FALSE(g_inputSystem->ActionReleased(7));

  HeadlessSetKey(DIK_D, true);
  Frame();
  HeadlessSetKey(DIK_D, false);
  Frame();
  EXPECT_TRUE(g_inputSystem->ActionReleased(7));
}

TEST_F(InputTest, UnboundActionIsNeverReleased) {
  StartOrFail();
  EXPECT_FALSE(g_inputSystem->ActionReleased(42));
  EXPECT_EQ(g_inputSystem->Binding(42), nullptr);  // asking does not bind it
  // Controls answer safely while no keyboard exists.
  KeyControl control(g_inputSystem, DIK_W);
  Keyboard* keyboard = g_keyboard;
  g_keyboard = nullptr;
  EXPECT_FALSE(control.WasReleased());
  EXPECT_FALSE(control.IsDown());
  EXPECT_EQ(control.KeyName(), "");
  g_keyboard = keyboard;
}

TEST_F(InputTest, KeyNamesOfPlayerKeysAndEscape) {
  StartOrFail();
  EXPECT_EQ(g_keyboard->KeyName(DIK_W), "W");
  EXPECT_EQ(g_keyboard->KeyName(DIK_ESCAPE), "Esc");
  EXPECT_EQ(g_keyboard->KeyName(DIK_LEFT), "Left");
  EXPECT_EQ(g_keyboard->KeyName(DIK_NUMPAD8), "Num 8");
  EXPECT_EQ(g_keyboard->KeyName(DIK_RETURN), "Enter");
  // A code with no key, and a failing device, give an empty name.
  EXPECT_EQ(g_keyboard->KeyName(0x54), "");
  InputLog().FailCall("GetObjectInfo");
  EXPECT_EQ(g_keyboard->KeyName(DIK_W), "");
  const auto calls = InputLog().Named("GetObjectInfo");
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].args[0], static_cast<DWORD>(DIK_W));
  EXPECT_EQ(calls[0].args[1], DIPH_BYOFFSET);
}

TEST_F(InputTest, TeardownReleasesBothDevicesInAnyOrder) {
  StartOrFail();
  // The shell destroys the input system first; the devices must still work and release.
  delete g_inputSystem;
  g_inputSystem = nullptr;
  HeadlessSetKey(DIK_S, true);
  Frame();
  EXPECT_TRUE(g_keyboard->IsDown(DIK_S));
  delete g_mouse;
  g_mouse = nullptr;
  EXPECT_FALSE(HeadlessMouseCaptured());
  delete g_keyboard;
  g_keyboard = nullptr;
  EXPECT_EQ(InputLog().Count("Unacquire"), 2);
}

TEST_F(InputTest, StartingTwiceReplacesTheDevices) {
  StartOrFail();
  StartOrFail();
  EXPECT_EQ(InputLog().Count("CreateDevice"), 4);
  EXPECT_EQ(InputLog().Count("Unacquire"), 2);  // the first pair went away
  HeadlessSetKey(DIK_H, true);
  Frame();
  EXPECT_TRUE(g_keyboard->IsDown(DIK_H));
}

}  // namespace
