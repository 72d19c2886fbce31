// A game action bound to one key: asks the keyboard about that key. The InputSystem
// owns one per bound action id.
#pragma once

#include <cstdint>
#include <string>

class InputSystem;

class KeyControl {
 public:
  KeyControl(InputSystem* owner, std::int32_t key) : owner(owner), key(key) {}

  // The keyboard's answers for the bound key; false / empty while there is no keyboard.
  // These three keep the first slots of the virtual table, the destructor comes after.
  virtual bool WasReleased();
  virtual bool IsDown();
  virtual std::string KeyName();
  virtual ~KeyControl() = default;

  std::int32_t Key() const { return key; }
  InputSystem* Owner() const { return owner; }

 private:
  InputSystem* owner;  // not owned: the system that holds this control
  std::int32_t key;    // DIK code
};
