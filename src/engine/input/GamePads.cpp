#include "engine/input/GamePads.h"

namespace {

constexpr WORD kDpadBits[GamePads::kDirections] = {XINPUT_GAMEPAD_DPAD_UP, XINPUT_GAMEPAD_DPAD_DOWN,
                                                   XINPUT_GAMEPAD_DPAD_LEFT,
                                                   XINPUT_GAMEPAD_DPAD_RIGHT};

// How far the stick points in a direction (negative when it points the other way).
int Along(const XINPUT_GAMEPAD& pad, int direction) {
  switch (direction) {
    case GamePads::kUp:
      return pad.sThumbLY;
    case GamePads::kDown:
      return -pad.sThumbLY;
    case GamePads::kLeft:
      return -pad.sThumbLX;
    default:
      return pad.sThumbLX;
  }
}

}  // namespace

void GamePads::ReadStick(Slot& slot) {
  const XINPUT_GAMEPAD& pad = slot.current;
  // A pushed direction is let go once the stick is back at rest along it, which also
  // happens when the stick rolls over to another direction, as a thumb rolls on a d-pad.
  if (slot.pushed >= 0 && Along(pad, slot.pushed) < kStickRest) {
    slot.released |= static_cast<std::uint8_t>(1u << slot.pushed);
    slot.pushed = -1;
  }
  if (slot.pushed >= 0) return;
  int best = -1;
  int bestValue = kStickPush;
  for (int d = 0; d < kDirections; ++d) {
    const int v = Along(pad, d);
    if (v > bestValue) {
      best = d;
      bestValue = v;
    }
  }
  slot.pushed = best;
}

void GamePads::Update() {
  for (int i = 0; i < kSlots; ++i) {
    Slot& slot = slots[i];
    XINPUT_STATE state{};
    const bool connected = XInputGetState(static_cast<DWORD>(i), &state) == ERROR_SUCCESS;
    slot.released = 0;
    slot.startReleased = false;
    if (connected != slot.connected) {
      // A controller came or went: start from its state as it is, with no edges.
      slot = Slot{};
      slot.connected = connected;
      slot.current = slot.previous = state.Gamepad;
      if (connected) ReadStick(slot);
      slot.released = 0;
      continue;
    }
    if (!connected) continue;
    slot.previous = slot.current;
    slot.current = state.Gamepad;
    const WORD up = slot.previous.wButtons & ~slot.current.wButtons;
    for (int d = 0; d < kDirections; ++d)
      if (up & kDpadBits[d]) slot.released |= static_cast<std::uint8_t>(1u << d);
    slot.startReleased = (up & XINPUT_GAMEPAD_START) != 0;
    ReadStick(slot);
  }
}

bool GamePads::Connected(int slot) const {
  return slot >= 0 && slot < kSlots && slots[slot].connected;
}

bool GamePads::DirectionReleased(int slot, int direction) const {
  if (slot < 0 || slot >= kSlots || direction < 0 || direction >= kDirections) return false;
  return (slots[slot].released >> direction) & 1u;
}

bool GamePads::StartReleased() const {
  for (const Slot& slot : slots)
    if (slot.startReleased) return true;
  return false;
}
