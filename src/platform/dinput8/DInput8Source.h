// What a DirectInput backend supplies to the shared device code: where the keys, the
// mouse and the window focus come from. One real source (SDL2) and one headless source
// (scripted by tests); the devices hold the acquisition and data-format rules themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/dinput8/DInput8.h"

namespace platform::dinput8 {

class InputSource {
 public:
  virtual ~InputSource() = default;

  // Called once by DirectInput8Create; false when the source cannot run (no display).
  virtual bool Open() = 0;
  // Whether the window is the one that receives keyboard and mouse input. firstTry is
  // true on a device's first acquisition, when a window that was just shown may still be
  // waiting for its focus.
  virtual bool WindowInFront(HWND window, bool firstTry) = 0;
  // Whether the handle names a live window.
  virtual bool IsWindowHandle(HWND window) = 0;
  // Counts every focus loss so far; a change since acquisition means the input was lost.
  virtual std::uint64_t FocusLosses() = 0;
  // Fills 256 bytes indexed by DIK code, 0x80 for keys down and 0 otherwise.
  virtual void ReadKeys(BYTE keys[256]) = 0;
  // Running totals of relative motion and wheel (120 per notch) since the source opened.
  virtual void MouseTotals(std::int64_t* x, std::int64_t* y, std::int64_t* z) = 0;
  // 0x80 for each of buttons 0 (left), 1 (right), 2 (middle), 3 (fourth) that is down.
  virtual void MouseButtons(BYTE buttons[4]) = 0;
  // Exclusive mouse: the system cursor hidden and motion relative while captured.
  virtual void CaptureMouse(HWND window, bool capture) = 0;
  // The key's name as the user's keyboard labels it; false for a code with no key.
  virtual bool KeyName(BYTE key, char* out, std::size_t size) = 0;
};

InputSource& RealSource();
InputSource& HeadlessSource();

// English name of the key at a DIK position on a standard keyboard, or null.
const char* DefaultKeyName(BYTE key);

// The DIK code of the key at an SDL scancode position (0 when it has none).
BYTE DikFromSdlScancode(int scancode);

}  // namespace platform::dinput8
