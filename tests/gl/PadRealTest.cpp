// Game controllers on the real backend, with SDL's virtual controllers standing in for
// hardware: a controller attached through SDL takes a player slot, its d-pad and stick
// taps arrive as that player's action releases, its Start button as the pause button,
// and controllers that come and go leave the others' slots alone.
#include <SDL.h>
#include <gtest/gtest.h>

#include <functional>

#include "engine/input/InputSystem.h"
#include "engine/input/Keyboard.h"
#include "engine/input/Mouse.h"
#include "support/GLWindow.h"

namespace {

// One virtual controller with the standard layout: button i is SDL's controller button i,
// axis i its controller axis i.
class VirtualPad {
 public:
  bool Attach() {
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Virtual test pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) return false;
    joystick_ = SDL_JoystickOpen(index);
    return joystick_ != nullptr;
  }
  void Detach() {
    if (!joystick_) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) == id) {
        SDL_JoystickDetachVirtual(i);
        break;
      }
    }
  }
  ~VirtualPad() { Detach(); }

  void Button(SDL_GameControllerButton button, bool down) {
    SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0);
  }
  void Axis(SDL_GameControllerAxis axis, Sint16 value) {
    SDL_JoystickSetVirtualAxis(joystick_, axis, value);
  }

 private:
  SDL_Joystick* joystick_ = nullptr;  // owned while attached
};

class PadRealTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    ASSERT_TRUE(window_.Open(false)) << window_.error();
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    g_keyboard = new Keyboard();
    g_mouse = new Mouse();
    g_inputSystem = new InputSystem();
    AppSettings settings;
    settings.windowed = false;
    ASSERT_TRUE(g_inputSystem->Start(nullptr, window_.window(), settings));
    for (int p = 0; p < 4; ++p)
      for (int d = 0; d < 4; ++d) g_inputSystem->BindPad(100 * p + d, p, d);
  }
  void TearDown() override {
    first_.Detach();
    second_.Detach();
    delete g_inputSystem;
    g_inputSystem = nullptr;
    delete g_mouse;
    g_mouse = nullptr;
    delete g_keyboard;
    g_keyboard = nullptr;
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    window_.Close();
  }

  // One frame of the game's input: messages, keyboard, mouse, controllers.
  void Frame() {
    window_.PumpMessages();
    g_keyboard->Update();
    g_mouse->Update();
    g_inputSystem->UpdatePads();
  }

  // Runs frames until done() holds (about 2 s at most); counts every action released
  // on the way that is not the awaited one.
  bool RunFramesUntil(const std::function<bool()>& done, int awaited = -1) {
    for (int frame = 0; frame < 200; ++frame) {
      Frame();
      for (int p = 0; p < 4; ++p)
        for (int d = 0; d < 4; ++d)
          if (100 * p + d != awaited && g_inputSystem->ActionReleased(100 * p + d)) ++stray_;
      if (done()) return true;
      SDL_Delay(10);
    }
    return false;
  }

  // Presses, holds for a few frames and lets go; true once the action is released.
  bool Tap(const std::function<void(bool)>& press, int action) {
    press(true);
    for (int i = 0; i < 5; ++i) {
      Frame();
      if (g_inputSystem->ActionReleased(action)) return false;  // never on press
    }
    press(false);
    return RunFramesUntil([&] { return g_inputSystem->ActionReleased(action); }, action);
  }

  GLWindow window_;
  VirtualPad first_, second_;
  int stray_ = 0;
};

TEST_F(PadRealTest, VirtualControllerTapsReachItsPlayersActions) {
  ASSERT_TRUE(first_.Attach()) << SDL_GetError();
  ASSERT_TRUE(RunFramesUntil([] { return g_inputSystem->Pads().Connected(0); }));
  EXPECT_FALSE(g_inputSystem->Pads().Connected(1));

  EXPECT_TRUE(Tap([&](bool down) { first_.Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, down); }, 1));
  EXPECT_TRUE(Tap([&](bool down) { first_.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, down); }, 2));
  // SDL's stick grows downwards; pushed up it is the player's up.
  EXPECT_TRUE(
      Tap([&](bool down) { first_.Axis(SDL_CONTROLLER_AXIS_LEFTY, down ? -30000 : 0); }, 0));
  EXPECT_TRUE(Tap([&](bool down) { first_.Axis(SDL_CONTROLLER_AXIS_LEFTX, down ? 30000 : 0); }, 3));
  EXPECT_EQ(stray_, 0);

  first_.Button(SDL_CONTROLLER_BUTTON_START, true);
  RunFramesUntil([] { return false; });  // Start is not released while held
  EXPECT_FALSE(g_inputSystem->Pads().StartReleased());
  first_.Button(SDL_CONTROLLER_BUTTON_START, false);
  EXPECT_TRUE(RunFramesUntil([] { return g_inputSystem->Pads().StartReleased(); }));
  EXPECT_EQ(stray_, 0);
}

TEST_F(PadRealTest, ControllersComingAndGoingKeepTheOthersSlots) {
  ASSERT_TRUE(first_.Attach()) << SDL_GetError();
  ASSERT_TRUE(RunFramesUntil([] { return g_inputSystem->Pads().Connected(0); }));
  ASSERT_TRUE(second_.Attach()) << SDL_GetError();
  ASSERT_TRUE(RunFramesUntil([] { return g_inputSystem->Pads().Connected(1); }));

  first_.Detach();
  ASSERT_TRUE(RunFramesUntil([] { return !g_inputSystem->Pads().Connected(0); }));
  EXPECT_TRUE(g_inputSystem->Pads().Connected(1));
  // The second controller still steers player 2 (actions 100..103).
  EXPECT_TRUE(Tap([&](bool down) { second_.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, down); }, 100));
  EXPECT_EQ(stray_, 0);

  // A new one takes the slot the first left.
  ASSERT_TRUE(first_.Attach()) << SDL_GetError();
  ASSERT_TRUE(RunFramesUntil([] { return g_inputSystem->Pads().Connected(0); }));
  EXPECT_TRUE(Tap([&](bool down) { first_.Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, down); }, 3));
  EXPECT_EQ(stray_, 0);
}

}  // namespace
