// Headless DirectInput source: keys, buttons, motion and focus as the tests script them.
#include "platform/dinput8/DInput8Headless.h"

#include <cstring>

#include "platform/dinput8/DInput8Source.h"

namespace platform::dinput8 {

namespace {

class ScriptedSource final : public InputSource {
 public:
  BYTE keys[256] = {};
  BYTE buttons[4] = {};
  std::int64_t x = 0, y = 0, z = 0;
  bool inFront = true;
  std::uint64_t focusLosses = 0;
  bool captured = false;

  bool Open() override { return true; }
  bool WindowInFront(HWND window, bool) override { return window && inFront; }
  bool IsWindowHandle(HWND window) override { return window != nullptr; }
  std::uint64_t FocusLosses() override { return focusLosses; }
  void ReadKeys(BYTE out[256]) override { std::memcpy(out, keys, sizeof keys); }
  void MouseTotals(std::int64_t* outX, std::int64_t* outY, std::int64_t* outZ) override {
    *outX = x;
    *outY = y;
    *outZ = z;
  }
  void MouseButtons(BYTE out[4]) override { std::memcpy(out, buttons, sizeof buttons); }
  void CaptureMouse(HWND, bool capture) override { captured = capture; }
  bool KeyName(BYTE key, char* out, std::size_t size) override {
    const char* name = DefaultKeyName(key);
    if (!name || size == 0) return false;
    std::size_t n = std::strlen(name);
    if (n >= size) n = size - 1;
    std::memcpy(out, name, n);
    out[n] = '\0';
    return true;
  }
};

ScriptedSource& Scripted() {
  static ScriptedSource source;
  return source;
}

}  // namespace

InputSource& HeadlessSource() {
  return Scripted();
}

void HeadlessSetKey(BYTE key, bool down) {
  Scripted().keys[key] = down ? 0x80 : 0;
}

void HeadlessReleaseAllKeys() {
  std::memset(Scripted().keys, 0, sizeof Scripted().keys);
}

void HeadlessSetMouseButton(int button, bool down) {
  if (button < 0 || button > 3) return;
  Scripted().buttons[button] = down ? 0x80 : 0;
}

void HeadlessMoveMouse(LONG dx, LONG dy, LONG dz) {
  Scripted().x += dx;
  Scripted().y += dy;
  Scripted().z += dz;
}

void HeadlessSetForeground(bool inFront) {
  ScriptedSource& s = Scripted();
  if (s.inFront && !inFront) {
    ++s.focusLosses;
    // The window that loses the focus gives the cursor back, as the real one does.
    s.captured = false;
  }
  s.inFront = inFront;
}

bool HeadlessMouseCaptured() {
  return Scripted().captured;
}

void HeadlessResetInput() {
  ScriptedSource& s = Scripted();
  std::memset(s.keys, 0, sizeof s.keys);
  std::memset(s.buttons, 0, sizeof s.buttons);
  s.inFront = true;
  s.captured = false;
  // Totals keep running: devices measure motion as differences, so only new motion counts.
  InputLog().Clear();
  InputLog().ClearFailures();
  InputLog().enabled = true;
}

}  // namespace platform::dinput8
