#include "engine/input/KeyControl.h"

#include "engine/input/Keyboard.h"

bool KeyControl::WasReleased() {
  return g_keyboard && g_keyboard->WasReleased(key);
}

bool KeyControl::IsDown() {
  return g_keyboard && g_keyboard->IsDown(key);
}

std::string KeyControl::KeyName() {
  return g_keyboard ? g_keyboard->KeyName(key) : std::string();
}
