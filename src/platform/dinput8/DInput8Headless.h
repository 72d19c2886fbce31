// Test controls of the headless DirectInput backend: scripted key and button states,
// relative mouse motion, the window's focus, and the log of every DirectInput call
// (with failure injection by call name, as for the Direct3D log).
#pragma once

#include "platform/d3d9/D3D9Headless.h"
#include "platform/dinput8/DInput8.h"

namespace platform::dinput8 {

// Every DirectInput call made while the headless backend is active: DirectInput8Create,
// CreateDevice, SetDataFormat, SetCooperativeLevel, Acquire, Unacquire, GetDeviceState,
// GetObjectInfo. FailCall(name) makes the next such call fail (DIERR_GENERIC, or the
// error the call would give in the field: DIERR_INPUTLOST for GetDeviceState).
platform::d3d9::CallLog& InputLog();

// Key state seen by the next GetDeviceState of a keyboard.
void HeadlessSetKey(BYTE key, bool down);
void HeadlessReleaseAllKeys();

// Mouse: button 0..3 up or down; motion and wheel add up until a mouse reads them.
void HeadlessSetMouseButton(int button, bool down);
void HeadlessMoveMouse(LONG dx, LONG dy, LONG dz = 0);

// The window's focus (default: in front). Losing it makes every acquired foreground
// device report DIERR_INPUTLOST on its next read; Acquire fails while it is away.
void HeadlessSetForeground(bool inFront);
// Whether an exclusive mouse holds the cursor (hidden, relative) right now.
bool HeadlessMouseCaptured();

// Releases every key and button, puts the window in front, empties the log and its
// failures, and enables the log. (A mouse reports only motion made after its Acquire.)
void HeadlessResetInput();

}  // namespace platform::dinput8
