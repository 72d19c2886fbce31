#include "app/AppShell.h"

#include <cmath>
#include <cstdlib>

#include "app/EngineServices.h"
#include "platform/Random.h"

float g_frameTime = 0.0f;

namespace {

AppShell* g_shell = nullptr;
std::uint32_t g_previousTick = 0;
bool g_previousTickTaken = false;

constexpr char kClassName[] = "WC";

LRESULT CALLBACK_StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!g_shell) return DefWindowProcA(hwnd, message, wParam, lParam);
  return g_shell->WindowProc(g_shell, hwnd, message, wParam, lParam);
}

}  // namespace

AppShell::AppShell() {
  instance = GetModuleHandleA(nullptr);
  g_shell = this;
}

AppShell::~AppShell() {
  if (g_shell == this) g_shell = nullptr;
}

AppShell* AppShell::Instance() { return g_shell; }

void ResetFrameClock() {
  g_previousTick = 0;
  g_previousTickTaken = false;
}

bool AppShell::Init(AppSettings newSettings, HINSTANCE newInstance) {
  settings = newSettings;
  instance = newInstance;
  startupFailure = nullptr;

  windowClass = WNDCLASSEXA{};
  windowClass.cbSize = 48;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
  windowClass.lpfnWndProc = CALLBACK_StaticWindowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCE(101));
  windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCE(101));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExA(&windowClass)) return Fail("the window class could not be registered");

  if (settings.windowed) {
    hwnd = CreateWindowExA(0, kClassName, settings.name, settings.windowStyle, settings.x,
                           settings.y, settings.width, settings.height, nullptr, nullptr, instance,
                           nullptr);
  } else {
    hwnd = CreateWindowExA(0, kClassName, settings.name, WS_POPUP | WS_VISIBLE, 0, 0,
                           settings.width, settings.height, nullptr, nullptr, instance, nullptr);
  }
  if (!hwnd) return Fail("the window could not be created");
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);

  CoInitialize(nullptr);
  CreateFontManager();
  return OnInit();
}

LRESULT AppShell::WindowProc(AppShell*, HWND window, UINT message, WPARAM wParam,
                             LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      active = !(wParam == SIZE_MINIMIZED || wParam == SIZE_MAXHIDE);
      break;
    case WM_ACTIVATE:
      active = LOWORD(wParam) != WA_INACTIVE;
      break;
    case WM_SYSCOMMAND:
      // Compared whole: the low four bits are part of the command here.
      if (!settings.windowed &&
          (wParam == SC_SIZE || wParam == SC_MOVE || wParam == SC_MAXIMIZE ||
           wParam == SC_KEYMENU || wParam == SC_MONITORPOWER))
        return 1;
      break;
    default: break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void AppShell::Run() {
  active = true;
  MSG msg{};
  while (msg.message != WM_QUIT) {
    BOOL got;
    if (active) {
      got = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    } else {
      got = GetMessageA(&msg, nullptr, 0, 0);
    }
    if (got) {
      // A GetMessageA error (-1) counts as a message taken.
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else if (active) {
      if (!g_previousTickTaken) {
        g_previousTick = GetTickCount();
        g_previousTickTaken = true;
      }
      const std::uint32_t now = GetTickCount();
      const std::uint32_t delta = now - g_previousTick;
      g_previousTick = now;
      const float seconds = static_cast<float>(static_cast<double>(delta) * speed * 0.001);
      frameSeconds = seconds;
      g_frameTime = seconds;
      OnFrame();
    }
  }
  OnShutdown();
  CoUninitialize();
  UnregisterClassA(windowClass.lpszClassName, instance);
}

void AppShell::Quit() {
  active = false;
  PostQuitMessage(0);
}

bool AppShell::StartInput() { return StartInputServices(instance, hwnd, settings); }

std::int32_t RandomInt(std::int32_t low, std::int32_t high) {
  // An empty range would never draw a value in it.
  if (high < low) return low;
  const float span = static_cast<float>(static_cast<std::int64_t>(high) - low + 1);
  for (;;) {
    const float scaled = static_cast<float>(platform::Random()) * span * 3.0517578125e-05f;
    const std::int64_t result = low + static_cast<std::int64_t>(std::floor(scaled));
    if (result <= high) return static_cast<std::int32_t>(result);
  }
}

float RandomFloat(float low, float high) {
  if (!(high >= low)) return low;
  const float top = high + 1.0f;
  const float span = top - low;
  for (;;) {
    const float result = low + static_cast<float>(platform::Random()) * span * 3.0517578125e-05f;
    if (result <= high) return result;
  }
}
