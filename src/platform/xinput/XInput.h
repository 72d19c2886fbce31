// The XInput calls the input layer makes for game controllers: up to four controllers,
// each in the user slot it took when it was connected, read as immediate state.
// Real backend: SDL2's game-controller interface (XInputSdl.cpp); headless backend:
// scripted controllers (XInputHeadless.h). Layouts and values are XInput's own.
#pragma once

#include <cstdint>

#include "platform/win32/Win32Types.h"

using SHORT = std::int16_t;

// User slots. A controller takes the lowest free slot when it is connected and keeps it
// until it leaves; a controller that finds every slot taken waits for one to free.
constexpr DWORD XUSER_MAX_COUNT = 4;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_BAD_ARGUMENTS = 160;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

// Bits of XINPUT_GAMEPAD::wButtons.
constexpr WORD XINPUT_GAMEPAD_DPAD_UP = 0x0001;
constexpr WORD XINPUT_GAMEPAD_DPAD_DOWN = 0x0002;
constexpr WORD XINPUT_GAMEPAD_DPAD_LEFT = 0x0004;
constexpr WORD XINPUT_GAMEPAD_DPAD_RIGHT = 0x0008;
constexpr WORD XINPUT_GAMEPAD_START = 0x0010;
constexpr WORD XINPUT_GAMEPAD_BACK = 0x0020;
constexpr WORD XINPUT_GAMEPAD_LEFT_THUMB = 0x0040;
constexpr WORD XINPUT_GAMEPAD_RIGHT_THUMB = 0x0080;
constexpr WORD XINPUT_GAMEPAD_LEFT_SHOULDER = 0x0100;
constexpr WORD XINPUT_GAMEPAD_RIGHT_SHOULDER = 0x0200;
constexpr WORD XINPUT_GAMEPAD_A = 0x1000;
constexpr WORD XINPUT_GAMEPAD_B = 0x2000;
constexpr WORD XINPUT_GAMEPAD_X = 0x4000;
constexpr WORD XINPUT_GAMEPAD_Y = 0x8000;

// Thumb-stick readings inside these radii are the stick at rest.
constexpr SHORT XINPUT_GAMEPAD_LEFT_THUMB_DEADZONE = 7849;
constexpr SHORT XINPUT_GAMEPAD_RIGHT_THUMB_DEADZONE = 8689;
constexpr BYTE XINPUT_GAMEPAD_TRIGGER_THRESHOLD = 30;

struct XINPUT_GAMEPAD {
  WORD wButtons;
  BYTE bLeftTrigger;  // 0 released .. 255 fully pulled
  BYTE bRightTrigger;
  SHORT sThumbLX;  // -32768 left .. 32767 right
  SHORT sThumbLY;  // -32768 down .. 32767 up
  SHORT sThumbRX;
  SHORT sThumbRY;
};
static_assert(sizeof(XINPUT_GAMEPAD) == 12);

struct XINPUT_STATE {
  DWORD dwPacketNumber;  // changes whenever the controller's state changes
  XINPUT_GAMEPAD Gamepad;
};
static_assert(sizeof(XINPUT_STATE) == 16);

// The state of the controller in the slot: ERROR_SUCCESS, ERROR_DEVICE_NOT_CONNECTED for
// an empty slot (state zeroed), ERROR_BAD_ARGUMENTS for a slot past the last or no state.
DWORD XInputGetState(DWORD userIndex, XINPUT_STATE* state);
