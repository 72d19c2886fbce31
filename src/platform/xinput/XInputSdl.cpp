// Real controller source on SDL2's game-controller interface: every attached device SDL
// knows a controller layout for is opened and read as buttons, triggers and sticks in
// XInput's terms. SDL reads the devices while the window layer pumps its events.
#include <SDL.h>

#include <algorithm>

#include "platform/xinput/XInputSource.h"

namespace platform::xinput {

namespace {

constexpr int kMaxOpen = 16;

struct ButtonBit {
  SDL_GameControllerButton button;
  WORD bit;
};

constexpr ButtonBit kButtons[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, XINPUT_GAMEPAD_DPAD_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, XINPUT_GAMEPAD_DPAD_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, XINPUT_GAMEPAD_DPAD_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, XINPUT_GAMEPAD_DPAD_RIGHT},
    {SDL_CONTROLLER_BUTTON_START, XINPUT_GAMEPAD_START},
    {SDL_CONTROLLER_BUTTON_BACK, XINPUT_GAMEPAD_BACK},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, XINPUT_GAMEPAD_LEFT_THUMB},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, XINPUT_GAMEPAD_RIGHT_THUMB},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, XINPUT_GAMEPAD_LEFT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, XINPUT_GAMEPAD_RIGHT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_A, XINPUT_GAMEPAD_A},
    {SDL_CONTROLLER_BUTTON_B, XINPUT_GAMEPAD_B},
    {SDL_CONTROLLER_BUTTON_X, XINPUT_GAMEPAD_X},
    {SDL_CONTROLLER_BUTTON_Y, XINPUT_GAMEPAD_Y},
};

SHORT Axis(SDL_GameController* pad, SDL_GameControllerAxis axis) {
  return static_cast<SHORT>(SDL_GameControllerGetAxis(pad, axis));
}

// SDL's vertical axes grow downwards, XInput's upwards; -32768 has no positive twin.
SHORT Flip(SHORT v) {
  return v == -32768 ? SHORT{32767} : static_cast<SHORT>(-v);
}

BYTE Trigger(SDL_GameController* pad, SDL_GameControllerAxis axis) {
  const int v = std::clamp<int>(SDL_GameControllerGetAxis(pad, axis), 0, 32767);
  return static_cast<BYTE>(v * 255 / 32767);
}

class SdlPadSource final : public PadSource {
 public:
  int Attached(std::int64_t* ids, int max) override {
    if (!Ready()) return 0;
    // Close what has left, then open what has arrived since the last look.
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
      if (SDL_GameControllerGetAttached(open_[i].pad)) {
        open_[kept++] = open_[i];
      } else {
        SDL_GameControllerClose(open_[i].pad);
      }
    }
    count_ = kept;
    const int devices = SDL_NumJoysticks();
    for (int d = 0; d < devices && count_ < kMaxOpen; ++d) {
      const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(d);
      if (id < 0 || Find(id) || !SDL_IsGameController(d)) continue;
      SDL_GameController* pad = SDL_GameControllerOpen(d);
      if (pad) open_[count_++] = {id, pad};
    }
    // Instance ids grow with every connection, so their order is the connection order.
    std::sort(open_, open_ + count_, [](const Open& a, const Open& b) { return a.id < b.id; });
    const int n = std::min(count_, max);
    for (int i = 0; i < n; ++i) ids[i] = open_[i].id;
    return n;
  }

  bool Read(std::int64_t id, XINPUT_GAMEPAD* out) override {
    const Open* o = Find(id);
    if (!o || !SDL_GameControllerGetAttached(o->pad)) return false;
    SDL_GameController* pad = o->pad;
    XINPUT_GAMEPAD g{};
    for (const ButtonBit& b : kButtons)
      if (SDL_GameControllerGetButton(pad, b.button)) g.wButtons |= b.bit;
    g.bLeftTrigger = Trigger(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
    g.bRightTrigger = Trigger(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    g.sThumbLX = Axis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    g.sThumbLY = Flip(Axis(pad, SDL_CONTROLLER_AXIS_LEFTY));
    g.sThumbRX = Axis(pad, SDL_CONTROLLER_AXIS_RIGHTX);
    g.sThumbRY = Flip(Axis(pad, SDL_CONTROLLER_AXIS_RIGHTY));
    *out = g;
    return true;
  }

 private:
  struct Open {
    SDL_JoystickID id;
    SDL_GameController* pad;  // owned: closed when the controller leaves
  };

  // Starts SDL's controller subsystem on first use. Should SDL have been shut down
  // since, its controllers went with it and the handles are simply forgotten.
  bool Ready() {
    if (started_ && SDL_WasInit(SDL_INIT_GAMECONTROLLER)) return true;
    count_ = 0;
    started_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    return started_;
  }

  const Open* Find(std::int64_t id) const {
    for (int i = 0; i < count_; ++i)
      if (open_[i].id == id) return &open_[i];
    return nullptr;
  }

  bool started_ = false;
  Open open_[kMaxOpen] = {};
  int count_ = 0;
};

}  // namespace

PadSource& RealPadSource() {
  static SdlPadSource source;
  return source;
}

}  // namespace platform::xinput
