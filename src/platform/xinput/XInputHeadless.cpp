// Headless controller source: controllers and their states as the tests script them.
#include "platform/xinput/XInputHeadless.h"

#include "platform/xinput/XInputSource.h"

namespace platform::xinput {

namespace {

constexpr int kMaxPads = 16;

class ScriptedPads final : public PadSource {
 public:
  struct Pad {
    std::int64_t id;
    XINPUT_GAMEPAD state;
  };
  Pad pads[kMaxPads] = {};  // attached, oldest first
  int count = 0;
  std::int64_t nextId = 1;

  int Attached(std::int64_t* ids, int max) override {
    int n = 0;
    for (; n < count && n < max; ++n) ids[n] = pads[n].id;
    return n;
  }

  bool Read(std::int64_t id, XINPUT_GAMEPAD* out) override {
    const Pad* p = Find(id);
    if (!p) return false;
    *out = p->state;
    return true;
  }

  Pad* Find(std::int64_t id) {
    for (int i = 0; i < count; ++i)
      if (pads[i].id == id) return &pads[i];
    return nullptr;
  }
};

ScriptedPads& Scripted() {
  static ScriptedPads pads;
  return pads;
}

}  // namespace

PadSource& HeadlessPadSource() {
  return Scripted();
}

std::int64_t HeadlessConnectPad() {
  ScriptedPads& s = Scripted();
  if (s.count == kMaxPads) return -1;
  s.pads[s.count] = {s.nextId++, XINPUT_GAMEPAD{}};
  return s.pads[s.count++].id;
}

void HeadlessDisconnectPad(std::int64_t id) {
  ScriptedPads& s = Scripted();
  for (int i = 0; i < s.count; ++i) {
    if (s.pads[i].id != id) continue;
    for (int j = i + 1; j < s.count; ++j) s.pads[j - 1] = s.pads[j];
    --s.count;
    return;
  }
}

void HeadlessSetPadButtons(std::int64_t id, WORD buttons) {
  if (auto* p = Scripted().Find(id)) p->state.wButtons = buttons;
}

void HeadlessSetPadStick(std::int64_t id, SHORT x, SHORT y) {
  if (auto* p = Scripted().Find(id)) {
    p->state.sThumbLX = x;
    p->state.sThumbLY = y;
  }
}

void HeadlessResetPads() {
  Scripted().count = 0;
  ResetSlots();
}

}  // namespace platform::xinput
