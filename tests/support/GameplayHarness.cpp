#include "support/GameplayHarness.h"

#include <cstdint>

#include "app/AppSettings.h"
#include "engine/input/InputSystem.h"
#include "engine/input/Keyboard.h"
#include "engine/input/Mouse.h"
#include "platform/dinput8/DInput8Headless.h"

namespace gameplay_test {

BYTE PlayerKey(int player, int direction) {
  static const BYTE kKeys[4][4] = {
      {DIK_W, DIK_S, DIK_A, DIK_D},
      {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT},
      {DIK_U, DIK_J, DIK_H, DIK_K},
      {DIK_NUMPAD8, DIK_NUMPAD5, DIK_NUMPAD4, DIK_NUMPAD6}};
  return kKeys[player & 3][direction & 3];
}

InputServices::InputServices() {
  platform::dinput8::HeadlessResetInput();
  g_keyboard = new Keyboard();
  g_mouse = new Mouse();
  g_inputSystem = new InputSystem();
  AppSettings settings;
  settings.windowed = false;
  settings.width = 800;
  settings.height = 600;
  settings.colourDepth = 32;
  started = g_inputSystem->Start(nullptr, reinterpret_cast<HWND>(std::uintptr_t{0x1000}), settings);
  for (int p = 0; p < 4; ++p)
    for (int d = 0; d < 4; ++d) g_inputSystem->BindKey(100 * p + d, PlayerKey(p, d));
}

InputServices::~InputServices() {
  delete g_inputSystem;
  g_inputSystem = nullptr;
  delete g_mouse;
  g_mouse = nullptr;
  delete g_keyboard;
  g_keyboard = nullptr;
  platform::dinput8::HeadlessResetInput();
}

void SetKey(int player, int direction, bool down) {
  platform::dinput8::HeadlessSetKey(PlayerKey(player, direction), down);
}

void ReadKeyboard() {
  if (g_keyboard) g_keyboard->Update();
}

}  // namespace gameplay_test
