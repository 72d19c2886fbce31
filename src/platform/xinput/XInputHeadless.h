// Test controls of the headless controller backend: controllers plugged in and pulled
// out, and the buttons and sticks each one holds, as the next XInputGetState sees them.
#pragma once

#include <cstdint>

#include "platform/xinput/XInput.h"

namespace platform::xinput {

// Plugs in a new controller with nothing pressed; returns its id (never reused), or -1
// when sixteen are already attached.
std::int64_t HeadlessConnectPad();
void HeadlessDisconnectPad(std::int64_t id);
// The buttons (XINPUT_GAMEPAD_ bits) and left stick (XInput's signs: up is positive).
void HeadlessSetPadButtons(std::int64_t id, WORD buttons);
void HeadlessSetPadStick(std::int64_t id, SHORT x, SHORT y);

// Pulls out every controller and forgets every slot.
void HeadlessResetPads();

}  // namespace platform::xinput
