#include "engine/input/Mouse.h"

#include <cmath>
#include <limits>

Mouse* g_mouse = nullptr;

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// raw × sensitivity truncated toward zero. The product is formed in float, as the
// sensitivity is (3 × 1.2f is 3.6000001), and held inside int32 even when absurd.
std::int32_t Scale(LONG raw, float sensitivity) {
  const float product = static_cast<float>(raw) * sensitivity;
  if (std::isnan(product)) return 0;
  if (product >= 2147483648.0f) return static_cast<std::int32_t>(kInt32Max);
  if (product < -2147483648.0f) return static_cast<std::int32_t>(kInt32Min);
  return static_cast<std::int32_t>(product);
}

// An empty clip (no device yet, or a zero-sized screen) pins the cursor to its corner
// instead of to the pixel before it.
std::int32_t Clamp(std::int64_t value, std::int32_t low, std::int32_t highExclusive) {
  if (value < low || highExclusive <= low) return low;
  if (value >= highExclusive) return highExclusive - 1;
  return static_cast<std::int32_t>(value);
}

}  // namespace

Mouse::Mouse() = default;

Mouse::~Mouse() {
  Destroy();
}

bool Mouse::Create(IDirectInput8A* directInputObject, HWND window, AppSettings settings) {
  Destroy();
  directInput = directInputObject;
  if (directInput && SUCCEEDED(directInput->CreateDevice(GUID_SysMouse, &device, nullptr)) &&
      device) {
    device->SetDataFormat(&c_dfDIMouse);
    device->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    if (SUCCEEDED(device->Acquire())) {
      clip = MakeScreenRect(0, 0, settings.width, settings.height);
      return true;
    }
  }
  Destroy();
  return false;
}

void Mouse::Update() {
  for (int i = 0; i < 4; ++i) previousButtons[i] = rawState.rgbButtons[i];
  previousX = x;
  previousY = y;
  previousZ = z;

  if (!device || FAILED(device->GetDeviceState(sizeof rawState, &rawState))) {
    if (device) device->Acquire();
    // Relative axes of an old read describe movement that was already applied; only the
    // buttons carry over, so the frame shows neither motion nor a click.
    rawState.lX = 0;
    rawState.lY = 0;
    rawState.lZ = 0;
  }

  dx = Scale(rawState.lX, sensitivity);
  dy = Scale(rawState.lY, sensitivity);
  z = static_cast<std::int32_t>(static_cast<std::uint32_t>(z) +
                                static_cast<std::uint32_t>(rawState.lZ));
  dz = rawState.lZ;

  // The sums are formed in 64 bits, so a huge step cannot wrap past the clip.
  const std::int64_t newX = static_cast<std::int64_t>(x) + dx;
  const std::int64_t newY = static_cast<std::int64_t>(y) + dy;
  x = Clamp(newX, clip.left, clip.right);
  y = Clamp(newY, clip.top, clip.bottom);

  for (int i = 0; i < 3; ++i) {
    const bool wasDown = (previousButtons[i] & 0x80) != 0;
    const bool isDown = (rawState.rgbButtons[i] & 0x80) != 0;
    if (!wasDown && isDown) pressPosition[i] = Position{x, y};
  }
}

bool Mouse::IsInside(std::int32_t left, std::int32_t top, std::int32_t right,
                     std::int32_t bottom) const {
  return PointInRect(x, y, left, top, right, bottom);
}

bool Mouse::ButtonClicked(std::int32_t button) const {
  if (button < 0 || button > 3) return false;
  return (previousButtons[button] & 0x80) != 0 && (rawState.rgbButtons[button] & 0x80) == 0;
}

void Mouse::Destroy() {
  if (!device) return;
  device->Unacquire();
  device->Release();
  device = nullptr;
}
