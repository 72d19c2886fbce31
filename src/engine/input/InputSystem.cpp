#include "engine/input/InputSystem.h"

#include "engine/input/KeyControl.h"
#include "engine/input/Keyboard.h"
#include "engine/input/Mouse.h"

InputSystem* g_inputSystem = nullptr;

InputSystem::InputSystem() = default;

InputSystem::~InputSystem() {
  for (auto& [action, control] : bindings) delete control;
  bindings.clear();
  if (directInput) directInput->Release();
  directInput = nullptr;
}

bool InputSystem::Start(HINSTANCE instance, HWND window, AppSettings settings) {
  // Starting again replaces the DirectInput object instead of leaking it; devices made
  // from the old one keep it alive until they are released.
  if (directInput) {
    directInput->Release();
    directInput = nullptr;
  }
  void* created = nullptr;
  if (FAILED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created,
                                nullptr)) ||
      !created)
    return false;
  directInput = static_cast<IDirectInput8A*>(created);
  if (!g_keyboard || !g_keyboard->Create(directInput, window)) return false;
  if (!g_mouse) return false;
  return g_mouse->Create(directInput, window, settings);
}

void InputSystem::BindKey(std::int32_t action, std::int32_t key) {
  KeyControl*& slot = bindings[action];
  delete slot;
  slot = new KeyControl(this, key);
}

void InputSystem::BindPad(std::int32_t action, int slot, int direction) {
  padBindings[action] = PadBinding{slot, direction};
}

bool InputSystem::ActionReleased(std::int32_t action) {
  KeyControl* control = Binding(action);
  if (control && control->WasReleased()) return true;
  if (padBindings.empty()) return false;
  auto pad = padBindings.find(action);
  return pad != padBindings.end() && pads.DirectionReleased(pad->second.slot, pad->second.direction);
}

KeyControl* InputSystem::Binding(std::int32_t action) const {
  auto it = bindings.find(action);
  return it == bindings.end() ? nullptr : it->second;
}
