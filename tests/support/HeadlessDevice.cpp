#include "support/HeadlessDevice.h"

#include "app/GraphicsDevice.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/win32/Win32.h"

namespace {
LRESULT TestProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }
}  // namespace

bool CreateHeadlessGraphicsDevice() {
  WNDCLASSEXA wc{};
  wc.lpszClassName = "HeadlessDeviceTest";
  wc.lpfnWndProc = TestProc;
  RegisterClassExA(&wc);
  HWND w = CreateWindowExA(0, "HeadlessDeviceTest", "test", WS_POPUP | WS_VISIBLE, 0, 0, 800,
                           600, nullptr, nullptr, nullptr, nullptr);
  if (!w) return false;
  AppSettings s;
  s.windowed = false;
  s.colourDepth = 32;
  g_graphicsDevice = new GraphicsDevice();
  if (!g_graphicsDevice->Init(w, s)) return false;
  platform::d3d9::Log().Clear();
  return true;
}

void DestroyHeadlessGraphicsDevice() {
  delete g_graphicsDevice;
  g_graphicsDevice = nullptr;
}

void HeadlessDeviceTest::SetUp() {
  HeadlessTest::SetUp();
  ASSERT_TRUE(CreateHeadlessGraphicsDevice());
}

void HeadlessDeviceTest::TearDown() {
  DestroyHeadlessGraphicsDevice();
  HeadlessTest::TearDown();
}
