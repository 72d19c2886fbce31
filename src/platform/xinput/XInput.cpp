// The user slots shared by both controller backends: a controller takes the lowest free
// slot when it first shows up and keeps it until it leaves, so pulling one controller out
// never moves another player's; the packet number of each slot counts state changes.
#include "platform/xinput/XInput.h"

#include <cstring>

#include "platform/Platform.h"
#include "platform/xinput/XInputSource.h"

namespace platform::xinput {

namespace {

// More controllers than slots may be attached; the extra ones wait, oldest first.
constexpr int kMaxAttached = 16;
constexpr std::int64_t kFree = -1;

struct Slots {
  PadSource* source = nullptr;  // the backend the slots were filled from
  std::int64_t id[XUSER_MAX_COUNT] = {kFree, kFree, kFree, kFree};
  XINPUT_GAMEPAD last[XUSER_MAX_COUNT] = {};
  DWORD packet[XUSER_MAX_COUNT] = {};
};

Slots& S() {
  static Slots slots;
  return slots;
}

PadSource& CurrentSource() {
  return GetBackend() == Backend::Headless ? HeadlessPadSource() : RealPadSource();
}

void FreeSlot(Slots& s, DWORD slot) {
  s.id[slot] = kFree;
  s.last[slot] = XINPUT_GAMEPAD{};
  ++s.packet[slot];
}

// Brings the slots in line with the attached controllers: the departed free their slots
// first, then newcomers take the lowest free ones in the order they were connected.
void Sync(Slots& s, PadSource& source) {
  if (s.source != &source) {
    for (DWORD i = 0; i < XUSER_MAX_COUNT; ++i) FreeSlot(s, i);
    s.source = &source;
  }
  std::int64_t attached[kMaxAttached];
  const int count = source.Attached(attached, kMaxAttached);
  for (DWORD i = 0; i < XUSER_MAX_COUNT; ++i) {
    if (s.id[i] == kFree) continue;
    bool present = false;
    for (int a = 0; a < count && !present; ++a) present = attached[a] == s.id[i];
    if (!present) FreeSlot(s, i);
  }
  for (int a = 0; a < count; ++a) {
    bool seated = false;
    for (DWORD i = 0; i < XUSER_MAX_COUNT && !seated; ++i) seated = s.id[i] == attached[a];
    if (seated) continue;
    DWORD slot = 0;
    while (slot < XUSER_MAX_COUNT && s.id[slot] != kFree) ++slot;
    if (slot == XUSER_MAX_COUNT) break;
    s.id[slot] = attached[a];
    s.last[slot] = XINPUT_GAMEPAD{};
    ++s.packet[slot];
  }
}

}  // namespace

void ResetSlots() {
  Slots& s = S();
  for (DWORD i = 0; i < XUSER_MAX_COUNT; ++i) FreeSlot(s, i);
  s.source = nullptr;
}

}  // namespace platform::xinput

DWORD XInputGetState(DWORD userIndex, XINPUT_STATE* state) {
  using namespace platform::xinput;
  if (!state || userIndex >= XUSER_MAX_COUNT) return ERROR_BAD_ARGUMENTS;
  Slots& s = S();
  PadSource& source = CurrentSource();
  Sync(s, source);
  XINPUT_GAMEPAD pad{};
  if (s.id[userIndex] != kFree && !source.Read(s.id[userIndex], &pad)) {
    FreeSlot(s, userIndex);
    pad = XINPUT_GAMEPAD{};
  }
  if (s.id[userIndex] == kFree) {
    *state = XINPUT_STATE{};
    return ERROR_DEVICE_NOT_CONNECTED;
  }
  if (std::memcmp(&pad, &s.last[userIndex], sizeof pad) != 0) {
    s.last[userIndex] = pad;
    ++s.packet[userIndex];
  }
  state->dwPacketNumber = s.packet[userIndex];
  state->Gamepad = pad;
  return ERROR_SUCCESS;
}
