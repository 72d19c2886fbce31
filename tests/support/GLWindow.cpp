#include "support/GLWindow.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/Platform.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3d9/D3D9Readback.h"
#include "platform/win32/Win32.h"

namespace {

constexpr const char* kClassName = "GLWindowTest";

LRESULT TestProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return DefWindowProcA(h, m, w, l);
}

}  // namespace

bool GLWindow::Open(bool windowed, UINT width, UINT height) {
  Close();
  platform::SetBackend(platform::Backend::Real);
  platform::d3d9::HeadlessResetD3D();  // leaves the call log off for the real backend
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = TestProc;
  wc.lpszClassName = kClassName;
  RegisterClassExA(&wc);  // fails harmlessly when an earlier test registered it
  const DWORD style = windowed ? (WS_OVERLAPPEDWINDOW | WS_VISIBLE) : (WS_POPUP | WS_VISIBLE);
  window_ = CreateWindowExA(0, kClassName, "gl test", style, 0, 0, static_cast<int>(width),
                            static_cast<int>(height), nullptr, nullptr, nullptr, nullptr);
  if (!window_) {
    error_ = "CreateWindowExA failed (no display?)";
    return false;
  }
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d_) {
    error_ = "Direct3DCreate9 failed";
    return false;
  }
  params_ = D3DPRESENT_PARAMETERS{};
  params_.BackBufferWidth = width;
  params_.BackBufferHeight = height;
  params_.BackBufferFormat = D3DFMT_X8R8G8B8;
  params_.BackBufferCount = 1;
  params_.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params_.hDeviceWindow = window_;
  params_.Windowed = windowed ? TRUE : FALSE;
  params_.EnableAutoDepthStencil = TRUE;
  params_.AutoDepthStencilFormat = D3DFMT_D16;
  params_.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  const HRESULT hr = d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                        D3DCREATE_HARDWARE_VERTEXPROCESSING, &params_, &device_);
  if (hr != D3D_OK || !device_) {
    error_ = "CreateDevice failed";
    return false;
  }
  PumpMessages();
  return true;
}

void GLWindow::Close() {
  if (device_) device_->Release();
  device_ = nullptr;
  if (d3d_) d3d_->Release();
  d3d_ = nullptr;
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  PumpMessages();
}

void GLWindow::PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool GLWindow::ReadBack() {
  return platform::d3d9::ReadBackBuffer(device_, &pixels_, &readWidth_, &readHeight_);
}

std::uint32_t GLWindow::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= static_cast<int>(readWidth_) || y >= static_cast<int>(readHeight_))
    return 0;
  return pixels_[static_cast<std::size_t>(y) * readWidth_ + static_cast<std::size_t>(x)];
}

std::string GLWindow::SaveArtifact(const char* name) {
  const char* env = std::getenv("YULE_ARTIFACTS");
  const std::filesystem::path dir = env && *env
                                        ? std::filesystem::path(env)
                                        : std::filesystem::path(YULE_BUILD_DIR) / "artifacts";
  // A name may carry a sub-folder ("anim/pose"): it is made along with the folder.
  const std::filesystem::path file = dir / (std::string(name) + ".png");
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const std::string path = file.string();
  return platform::d3d9::SaveBackBufferPNG(device_, path.c_str()) ? path : std::string();
}

::testing::AssertionResult ColourNear(std::uint32_t actual, std::uint32_t expected, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = static_cast<int>((actual >> shift) & 0xFF);
    const int e = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - e) > tolerance) {
      char text[96];
      std::snprintf(text, sizeof text, "colour %08X, expected %08X (±%d)", actual, expected,
                    tolerance);
      return ::testing::AssertionFailure() << text;
    }
  }
  return ::testing::AssertionSuccess();
}

void GLDeviceTest::SetUp() {
  // Without a display there is nothing to test against; with one, failing to open is a fault.
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no DISPLAY";
  ASSERT_TRUE(gl_.Open()) << gl_.error();
}

void GLDeviceTest::TearDown() {
  gl_.Close();
}
