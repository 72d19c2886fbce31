// The input layer's front: creates DirectInput and hands it to the keyboard and the
// mouse, holds the game controllers, and maps the game's numbered actions to keys and to
// controller directions. One engine-wide instance, reached through g_inputSystem,
// created empty with the other services.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "app/AppSettings.h"
#include "engine/input/GamePads.h"
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
  // Also binds the action to a direction of the controller in a player slot; an action
  // may have a key and a controller direction at once. Replaces an earlier such binding.
  void BindPad(std::int32_t action, int slot, int direction);
  // Whether the action's key, or its controller direction, was released this frame;
  // false for an unbound action.
  bool ActionReleased(std::int32_t action);
  // Reads the controllers; once per frame, after the keyboard and the mouse.
  void UpdatePads() { pads.Update(); }
  const GamePads& Pads() const { return pads; }
  // The control bound to the action, or null.
  KeyControl* Binding(std::int32_t action) const;

  InputSystem(const InputSystem&) = delete;
  InputSystem& operator=(const InputSystem&) = delete;

 private:
  IDirectInput8A* directInput = nullptr;                   // owned: one reference
  std::unordered_map<std::int32_t, KeyControl*> bindings;  // owned controls
  struct PadBinding {
    int slot;
    int direction;
  };
  std::unordered_map<std::int32_t, PadBinding> padBindings;
  GamePads pads;
};

extern InputSystem* g_inputSystem;
