#include "engine/input/Keyboard.h"

#include <cstring>

Keyboard* g_keyboard = nullptr;

namespace {

bool IsKeyCode(std::int32_t key) {
  return key >= 0 && key < 256;
}

}  // namespace

Keyboard::Keyboard() = default;

Keyboard::~Keyboard() {
  Destroy();
}

bool Keyboard::Create(IDirectInput8A* directInputObject, HWND window) {
  // A second Create replaces the device instead of leaking it.
  Destroy();
  directInput = directInputObject;
  if (directInput && SUCCEEDED(directInput->CreateDevice(GUID_SysKeyboard, &device, nullptr)) &&
      device) {
    device->SetDataFormat(&c_dfDIKeyboard);
    device->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    if (SUCCEEDED(device->Acquire())) {
      std::memset(current, 0, sizeof current);
      std::memset(previous, 0, sizeof previous);
      return true;
    }
  }
  Destroy();
  return false;
}

void Keyboard::Update() {
  std::memcpy(previous, current, sizeof previous);
  if (!device) return;
  if (FAILED(device->GetDeviceState(stateSize, current))) device->Acquire();
}

bool Keyboard::IsDown(std::int32_t key) const {
  return IsKeyCode(key) && (current[key] & 0x80) != 0;
}

bool Keyboard::WasReleased(std::int32_t key) const {
  return IsKeyCode(key) && (previous[key] & 0x80) != 0 && (current[key] & 0x80) == 0;
}

std::string Keyboard::KeyName(std::int32_t key) const {
  if (!device || !IsKeyCode(key)) return std::string();
  DIDEVICEOBJECTINSTANCEA info{};
  info.dwSize = sizeof info;
  if (FAILED(device->GetObjectInfo(&info, static_cast<DWORD>(key), DIPH_BYOFFSET)))
    return std::string();
  // The name is bounded by its buffer even if the device left it unterminated.
  return std::string(info.tszName, strnlen(info.tszName, sizeof info.tszName));
}

void Keyboard::Destroy() {
  if (!device) return;
  device->Unacquire();
  device->Release();
  device = nullptr;
}
