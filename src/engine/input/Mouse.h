// The system mouse read once per frame through DirectInput, turned into a cursor kept in
// back-buffer pixels inside a clip rectangle, a wheel total, and button clicks that fire
// on release. One engine-wide instance, reached through g_mouse.
#pragma once

#include <cstdint>

#include "app/AppSettings.h"
#include "engine/input/ScreenRect.h"
#include "platform/dinput8/DInput8.h"

class Mouse {
 public:
  struct Position {
    std::int32_t x = 0;
    std::int32_t y = 0;
  };

  Mouse();   // cursor at (0, 0), sensitivity 2.0, no device
  ~Mouse();  // releases the device if it still exists

  // Creates and acquires the system mouse in exclusive mode (the system cursor hidden)
  // and clips the cursor to the settings' width × height. False (and no device) when it
  // cannot be created or acquired, e.g. when the window is not in front.
  bool Create(IDirectInput8A* directInput, HWND window, AppSettings settings);
  // Once per frame: moves the cursor by the scaled motion and keeps it inside clip. A
  // failed read re-acquires; that frame has no motion, no wheel and no button change.
  void Update();
  bool IsInside(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) const;
  // True in the frame in which button 0..3 went up after having been down; false for
  // any other button number.
  bool ButtonClicked(std::int32_t button) const;
  void Destroy();

  // State, readable by the game (it draws its cursor at x, y and sets sensitivity).
  DIMOUSESTATE rawState{};       // the last successful read
  BYTE previousButtons[4] = {};  // rgbButtons of the previous frame
  std::int32_t x = 0;            // cursor, in back-buffer pixels
  std::int32_t y = 0;
  std::int32_t z = 0;  // sum of all wheel movement (wraps around)
  std::int32_t previousX = 0;
  std::int32_t previousY = 0;
  std::int32_t previousZ = 0;
  std::int32_t dx = 0;        // this frame: scaled lX
  std::int32_t dy = 0;        // scaled lY
  std::int32_t dz = 0;        // raw lZ
  float sensitivity = 2.0f;   // raw counts × sensitivity = pixels, truncated toward 0
  ScreenRect clip;            // the cursor stays in [left, right) × [top, bottom)
  Position pressPosition[3];  // cursor when each of buttons 0, 1, 2 last went down

 private:
  IDirectInput8A* directInput = nullptr;   // not owned: the InputSystem holds it
  IDirectInputDevice8A* device = nullptr;  // owned; null when not created
};

extern Mouse* g_mouse;
