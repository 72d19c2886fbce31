// The input layer's front: creates DirectInput and hands it to the keyboard and the
// mouse, and maps the game's numbered actions to keys. One engine-wide instance,
// reached through g_inputSystem, created empty with the other services.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "app/AppSettings.h"
#include "platform/dinput8/DInput8.h"

class KeyControl;

class InputSystem {
 public:
  InputSystem();
  // Deletes the bound controls and releases DirectInput (devices still alive keep it).
  ~InputSystem();

  // Creates DirectInput, then g_keyboard's and g_mouse's devices for the window; the
  // mouse's cursor is clipped to the settings' width × height. False on the first
  // failure, or when the keyboard or the mouse object does not exist.
  bool Start(HINSTANCE instance, HWND window, AppSettings settings);
  // Binds the action to the key, replacing (and deleting) any earlier binding.
  void BindKey(std::int32_t action, std::int32_t key);
  // Whether the action's key was released this frame; false for an unbound action.
  bool ActionReleased(std::int32_t action);
  // The control bound to the action, or null.
  KeyControl* Binding(std::int32_t action) const;

  InputSystem(const InputSystem&) = delete;
  InputSystem& operator=(const InputSystem&) = delete;

 private:
  IDirectInput8A* directInput = nullptr;                   // owned: one reference
  std::unordered_map<std::int32_t, KeyControl*> bindings;  // owned controls
};

extern InputSystem* g_inputSystem;
