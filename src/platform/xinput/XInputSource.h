// What a controller backend supplies to the shared slot code: which controllers are
// attached, in the order they were connected, and each one's state. One real source
// (SDL2's game controllers) and one headless source (scripted by tests).
#pragma once

#include <cstdint>

#include "platform/xinput/XInput.h"

namespace platform::xinput {

class PadSource {
 public:
  virtual ~PadSource() = default;

  // Writes the ids of up to max attached controllers, oldest connection first, and
  // returns how many it wrote. Ids are never reused, so a controller that is pulled out
  // and plugged back in comes back as a new one.
  virtual int Attached(std::int64_t* ids, int max) = 0;
  // The controller's buttons, triggers and sticks; false when it is no longer attached.
  virtual bool Read(std::int64_t id, XINPUT_GAMEPAD* pad) = 0;
};

PadSource& RealPadSource();
PadSource& HeadlessPadSource();

// Forgets every slot (for the headless reset between tests).
void ResetSlots();

}  // namespace platform::xinput
