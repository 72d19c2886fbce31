// The game controllers read once per frame, one per player slot (the controller in user
// slot k drives player k): which of its four directions and its Start button were let go
// this frame. A direction is let go when its d-pad button goes up, or when the left stick,
// having been pushed past half-way that way, comes back to rest; so steering by pad taps
// works exactly like steering by key taps. Owned by the InputSystem.
#pragma once

#include <cstdint>

#include "platform/xinput/XInput.h"

class GamePads {
 public:
  static constexpr int kSlots = static_cast<int>(XUSER_MAX_COUNT);
  // Directions in the order of a player's four actions.
  enum Direction { kUp = 0, kDown = 1, kLeft = 2, kRight = 3, kDirections = 4 };

  // A stick reading beyond this along a direction pushes it; back within the rest zone
  // along that direction lets it go. The gap between the two keeps a stick that wavers
  // around either line from tapping.
  static constexpr int kStickPush = 16384;
  static constexpr int kStickRest = XINPUT_GAMEPAD_LEFT_THUMB_DEADZONE;

  // Once per frame, after the keyboard and the mouse. A slot whose controller leaves or
  // arrives reports no edges in that frame, so unplugging never counts as a release.
  void Update();

  // Whether a controller drives the slot (as of the last Update).
  bool Connected(int slot) const;
  // Whether the slot's direction was let go this frame; false for a slot or direction
  // out of range.
  bool DirectionReleased(int slot, int direction) const;
  // Whether the Start button of any controller went up this frame.
  bool StartReleased() const;

 private:
  struct Slot {
    bool connected = false;
    XINPUT_GAMEPAD current{};   // this frame's state (zero when not connected)
    XINPUT_GAMEPAD previous{};  // the last frame's
    int pushed = -1;            // the direction the left stick is pushed, -1 at rest
    std::uint8_t released = 0;  // bit d: direction d let go this frame
    bool startReleased = false;
  };

  static void ReadStick(Slot& slot);

  Slot slots[kSlots];
};
