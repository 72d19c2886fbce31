// The system keyboard read once per frame through DirectInput: which keys are down and
// which went up this frame (every key action in the game fires on release), and the
// names of keys. One engine-wide instance, reached through g_keyboard.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dinput8/DInput8.h"

class Keyboard {
 public:
  Keyboard();   // no device yet; both state arrays clear
  ~Keyboard();  // releases the device if it still exists

  // Creates and acquires the system keyboard for the window. False (and no device)
  // when it cannot be created or acquired, e.g. when the window is not in front.
  bool Create(IDirectInput8A* directInput, HWND window);
  // Once per frame. A failed read re-acquires and keeps the last state, so no key
  // changes (and no edges) are reported in that frame.
  void Update();
  // Key codes are DIK codes; codes outside 0..255 are never down and never released.
  bool IsDown(std::int32_t key) const;
  // True in the frame in which the key went up after having been down.
  bool WasReleased(std::int32_t key) const;
  // The device's name for the key; empty when there is no device or no such key.
  std::string KeyName(std::int32_t key) const;
  void Destroy();

 private:
  IDirectInput8A* directInput = nullptr;   // not owned: the InputSystem holds it
  IDirectInputDevice8A* device = nullptr;  // owned; null when not created
  BYTE current[256] = {};                  // this frame's key states, bit 7 = down
  BYTE previous[256] = {};                 // the previous frame's
  std::uint32_t stateSize = 256;           // bytes asked of GetDeviceState
};

extern Keyboard* g_keyboard;
