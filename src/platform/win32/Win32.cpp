// The Win32 stand-in. Real backend: one SDL window per window handle, SDL events
// translated into the window messages the shell handles. Headless backend: windows are
// records only; the queue is fed by tests and the clock is scripted.
#include "platform/win32/Win32.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/GlxConfig.h"
#include "platform/win32/Win32Headless.h"
#include "platform/win32/Win32Sdl.h"

struct HWND__ {
  std::string className;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  RECT outer{};   // screen rectangle including the frame
  RECT frame{};   // frame thickness: left, top, right, bottom
  SDL_Window* sdl = nullptr;
  bool visible = false;
  bool destroyed = false;
};

namespace {

using platform::Backend;
using platform::GetBackend;

struct Win32State {
  std::map<std::string, WNDCLASSEXA> classes;
  std::vector<std::unique_ptr<HWND__>> windows;
  std::deque<MSG> queue;
  bool quitPosted = false;
  int quitCode = 0;
  int comDepth = 0;
  // headless
  DWORD ticks = 0;
  RECT headlessFrame{3, 26, 3, 3};
  platform::win32::IdleHook idleHook = nullptr;
  void* idleUser = nullptr;
  std::vector<platform::win32::MessageBoxRecord> boxes;
  // real
  std::vector<platform::win32::SdlEventHook> hooks;
  bool altDown = false;
  bool altUsed = false;
};

Win32State& S() {
  static Win32State state;
  return state;
}

bool IsLive(HWND hwnd) {
  if (!hwnd) return false;
  for (const auto& w : S().windows)
    if (w.get() == hwnd) return !w->destroyed;
  return false;
}

HWND WindowFromSdl(Uint32 windowId) {
  for (const auto& w : S().windows)
    if (!w->destroyed && w->sdl && SDL_GetWindowID(w->sdl) == windowId) return w.get();
  return nullptr;
}

HWND FirstWindow() {
  for (const auto& w : S().windows)
    if (!w->destroyed) return w.get();
  return nullptr;
}

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = GetTickCount();
  S().queue.push_back(m);
}

LPARAM PackSize(int w, int h) {
  return static_cast<LPARAM>((static_cast<unsigned>(h) & 0xFFFF) << 16 |
                             (static_cast<unsigned>(w) & 0xFFFF));
}

// Turns one SDL event into the window messages Windows would have produced.
void Translate(const SDL_Event& e) {
  for (auto hook : S().hooks) hook(e);
  switch (e.type) {
    case SDL_QUIT: {
      // An interrupt or the session asking to end: close the main window as its close
      // button would.
      if (HWND w = FirstWindow()) Post(w, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    }
    case SDL_WINDOWEVENT: {
      HWND w = WindowFromSdl(e.window.windowID);
      if (!w) break;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: Post(w, WM_ACTIVATE, WA_ACTIVE, 0); break;
        case SDL_WINDOWEVENT_FOCUS_LOST: Post(w, WM_ACTIVATE, WA_INACTIVE, 0); break;
        case SDL_WINDOWEVENT_MINIMIZED: Post(w, WM_SIZE, SIZE_MINIMIZED, 0); break;
        case SDL_WINDOWEVENT_MAXIMIZED: {
          int cw = 0, ch = 0;
          SDL_GetWindowSize(w->sdl, &cw, &ch);
          Post(w, WM_SIZE, SIZE_MAXIMIZED, PackSize(cw, ch));
          break;
        }
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
          int cw = 0, ch = 0;
          SDL_GetWindowSize(w->sdl, &cw, &ch);
          Post(w, WM_SIZE, SIZE_RESTORED, PackSize(cw, ch));
          break;
        }
        case SDL_WINDOWEVENT_CLOSE: Post(w, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        default: break;
      }
      break;
    }
    case SDL_KEYDOWN:
      // Alt pressed and released on its own opens the window menu on Windows.
      if (e.key.keysym.sym == SDLK_LALT || e.key.keysym.sym == SDLK_RALT) {
        if (!e.key.repeat) {
          S().altDown = true;
          S().altUsed = false;
        }
      } else {
        S().altUsed = true;
      }
      break;
    case SDL_KEYUP:
      if ((e.key.keysym.sym == SDLK_LALT || e.key.keysym.sym == SDLK_RALT) && S().altDown) {
        S().altDown = false;
        if (!S().altUsed) {
          if (HWND w = WindowFromSdl(e.key.windowID) ? WindowFromSdl(e.key.windowID) : FirstWindow())
            Post(w, WM_SYSCOMMAND, SC_KEYMENU, 0);
        }
      }
      break;
    default: break;
  }
}

// A shown window comes to the front with the keyboard focus, as a newly shown window does
// on Windows. Without a window manager nobody else would give it the focus.
void TakeFocus(SDL_Window* sdl) {
  SDL_RaiseWindow(sdl);
  SDL_SetWindowInputFocus(sdl);
}

void PumpSdl() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) Translate(e);
}

bool MatchesFilter(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
  if (hwnd && m.hwnd != hwnd) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

// Takes the first queued message that passes the filter, or WM_QUIT once the queue
// holds nothing else. False when there is none.
bool Take(MSG* msg, HWND hwnd, UINT lo, UINT hi, bool remove) {
  auto& q = S().queue;
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (MatchesFilter(*it, hwnd, lo, hi)) {
      *msg = *it;
      if (remove) q.erase(it);
      return true;
    }
  }
  if (S().quitPosted) {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(S().quitCode);
    msg->time = GetTickCount();
    if (remove) S().quitPosted = false;
    return true;
  }
  return false;
}

}  // namespace

namespace platform::win32 {

SDL_Window* SdlWindowOf(HWND hwnd) { return IsLive(hwnd) ? hwnd->sdl : nullptr; }

void AddSdlEventHook(SdlEventHook hook) {
  auto& h = S().hooks;
  if (std::find(h.begin(), h.end(), hook) == h.end()) h.push_back(hook);
}

void RemoveSdlEventHook(SdlEventHook hook) {
  auto& h = S().hooks;
  h.erase(std::remove(h.begin(), h.end(), hook), h.end());
}

namespace {
std::string windowFailure;
}  // namespace

const char* LastWindowFailure() { return windowFailure.c_str(); }

bool EnsureSdlVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  // Only a real display will do: without one SDL would fall back to an off-screen
  // driver and the game would run with nobody able to see it.
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11,wayland", SDL_HINT_DEFAULT);
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void HeadlessSetTickCount(DWORD ticks) { S().ticks = ticks; }
void HeadlessAdvanceTicks(DWORD ms) { S().ticks += ms; }
void HeadlessSetFrame(int left, int top, int right, int bottom) {
  S().headlessFrame = RECT{left, top, right, bottom};
}
void HeadlessSetIdleHook(IdleHook hook, void* user) {
  S().idleHook = hook;
  S().idleUser = user;
}
const std::vector<MessageBoxRecord>& HeadlessMessageBoxes() { return S().boxes; }
int HeadlessComDepth() { return S().comDepth; }

void HeadlessReset() {
  auto& s = S();
  s.classes.clear();
  s.windows.clear();
  s.queue.clear();
  s.quitPosted = false;
  s.quitCode = 0;
  s.comDepth = 0;
  s.ticks = 0;
  s.headlessFrame = RECT{3, 26, 3, 3};
  s.idleHook = nullptr;
  s.idleUser = nullptr;
  s.boxes.clear();
}

}  // namespace platform::win32

// Handles that nothing draws with: distinct non-null values.
HMODULE GetModuleHandleA(LPCSTR) { return reinterpret_cast<HMODULE>(0x400000); }
HICON LoadIconA(HINSTANCE, LPCSTR) { return reinterpret_cast<HICON>(0x10001); }
HCURSOR LoadCursorA(HINSTANCE, LPCSTR) { return reinterpret_cast<HCURSOR>(0x10003); }
HGDIOBJ GetStockObject(int object) {
  return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x20000 + object));
}

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  auto& classes = S().classes;
  if (classes.count(wc->lpszClassName)) return 0;  // already registered
  classes[wc->lpszClassName] = *wc;
  return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (!className) return FALSE;
  auto& classes = S().classes;
  auto it = classes.find(className);
  if (it == classes.end()) return FALSE;
  for (const auto& w : S().windows)
    if (!w->destroyed && w->className == className) return FALSE;  // still in use
  classes.erase(it);
  return TRUE;
}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
  if (!className) return nullptr;
  auto it = S().classes.find(className);
  if (it == S().classes.end()) return nullptr;
  if (width <= 0 || height <= 0) return nullptr;

  auto w = std::make_unique<HWND__>();
  w->className = className;
  w->proc = it->second.lpfnWndProc;
  w->style = style;
  const bool captioned = (style & WS_CAPTION) == WS_CAPTION;
  const bool popup = (style & WS_POPUP) != 0;

  if (GetBackend() == platform::Backend::Headless) {
    // A captioned window's outer size is what was asked for; the client area is smaller.
    w->frame = captioned ? S().headlessFrame : RECT{0, 0, 0, 0};
    w->outer = RECT{x, y, x + width, y + height};
    w->visible = (style & WS_VISIBLE) != 0;
  } else {
    platform::win32::windowFailure.clear();
    if (!platform::win32::EnsureSdlVideo()) {
      platform::win32::windowFailure = SDL_GetError();
      return nullptr;
    }
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The depth the game asks of the device, and no stencil (a device asked for more
    // draws off-screen): fewer bytes per pixel make the software renderer's depth tests
    // and the kept layer's copies cheaper. On X the configuration is chosen here, since
    // SDL's own choice takes the deepest depth buffer and ignores whether the back
    // buffer survives a swap, which lets a device put back only what a frame drew over.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "x11") == 0) {
      if (const unsigned long visual = platform::win32::PreferredGlxVisual(16)) {
        char id[24];
        std::snprintf(id, sizeof id, "0x%lx", visual);
        SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, id);
      }
    }
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    int sx = x, sy = y;
    int sw = width, sh = height;
    if (popup && !captioned) {
      flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
      sx = sy = SDL_WINDOWPOS_UNDEFINED;
      // Without a window manager the X window keeps the size it is created with, whatever
      // the full-screen flag says: create it at the desktop's size.
      SDL_DisplayMode desktop{};
      if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
        sw = desktop.w;
        sh = desktop.h;
      }
    }
    SDL_Window* sdl = SDL_CreateWindow(windowName ? windowName : "", sx, sy, sw, sh, flags);
    if (!sdl) {
      platform::win32::windowFailure = SDL_GetError();
      return nullptr;
    }
    w->sdl = sdl;
    int top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowBordersSize(sdl, &top, &left, &bottom, &right);
    w->frame = RECT{left, top, right, bottom};
    w->outer = RECT{x - left, y - top, x + width + right, y + height + bottom};
    if (style & WS_VISIBLE) {
      SDL_ShowWindow(sdl);
      TakeFocus(sdl);
      w->visible = true;
    }
  }
  HWND handle = w.get();
  S().windows.push_back(std::move(w));
  return handle;
}

BOOL DestroyWindow(HWND hwnd) {
  if (!IsLive(hwnd)) return FALSE;
  SendMessageA(hwnd, WM_DESTROY, 0, 0);
  hwnd->destroyed = true;
  hwnd->visible = false;
  if (hwnd->sdl) {
    // The SDL window stays allocated (hidden): a device may still hold a GL context on it
    // until the engine's services are torn down.
    SDL_HideWindow(hwnd->sdl);
  }
  // Messages for a window that is gone are dropped.
  auto& q = S().queue;
  q.erase(std::remove_if(q.begin(), q.end(), [hwnd](const MSG& m) { return m.hwnd == hwnd; }),
          q.end());
  return TRUE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
  if (!IsLive(hwnd)) return FALSE;
  const BOOL wasVisible = hwnd->visible ? TRUE : FALSE;
  hwnd->visible = cmdShow != SW_HIDE;
  if (hwnd->sdl) {
    if (hwnd->visible) {
      SDL_ShowWindow(hwnd->sdl);
      TakeFocus(hwnd->sdl);
    } else {
      SDL_HideWindow(hwnd->sdl);
    }
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND hwnd) { return IsLive(hwnd) ? TRUE : FALSE; }
BOOL IsWindow(HWND hwnd) { return IsLive(hwnd) ? TRUE : FALSE; }

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  if (!IsLive(hwnd) || !rect) return FALSE;
  if (hwnd->sdl) {
    int x = 0, y = 0, w = 0, h = 0, top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowPosition(hwnd->sdl, &x, &y);
    SDL_GetWindowSize(hwnd->sdl, &w, &h);
    SDL_GetWindowBordersSize(hwnd->sdl, &top, &left, &bottom, &right);
    *rect = RECT{x - left, y - top, x + w + right, y + h + bottom};
    return TRUE;
  }
  *rect = hwnd->outer;
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (!IsLive(hwnd) || !rect) return FALSE;
  if (hwnd->sdl) {
    int w = 0, h = 0;
    SDL_GetWindowSize(hwnd->sdl, &w, &h);
    *rect = RECT{0, 0, w, h};
    return TRUE;
  }
  const RECT& o = hwnd->outer;
  const RECT& f = hwnd->frame;
  *rect = RECT{0, 0, std::max<LONG>(0, o.right - o.left - f.left - f.right),
               std::max<LONG>(0, o.bottom - o.top - f.top - f.bottom)};
  return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
  if (!IsLive(hwnd)) return FALSE;
  RECT outer;
  GetWindowRect(hwnd, &outer);
  if (!(flags & SWP_NOMOVE)) {
    const LONG w = outer.right - outer.left, h = outer.bottom - outer.top;
    outer = RECT{x, y, x + w, y + h};
  }
  if (!(flags & SWP_NOSIZE)) {
    outer.right = outer.left + cx;
    outer.bottom = outer.top + cy;
  }
  if (hwnd->sdl) {
    int top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowBordersSize(hwnd->sdl, &top, &left, &bottom, &right);
    if (!(flags & SWP_NOSIZE)) {
      const int cw = std::max(1, static_cast<int>(outer.right - outer.left) - left - right);
      const int ch = std::max(1, static_cast<int>(outer.bottom - outer.top) - top - bottom);
      SDL_SetWindowSize(hwnd->sdl, cw, ch);
    }
    if (!(flags & SWP_NOMOVE)) SDL_SetWindowPosition(hwnd->sdl, outer.left + left, outer.top + top);
  }
  hwnd->outer = outer;
  return TRUE;
}

HWND GetForegroundWindow() {
  for (const auto& w : S().windows) {
    if (w->destroyed) continue;
    if (!w->sdl) return w.get();
    if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_INPUT_FOCUS) return w.get();
  }
  return nullptr;
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT removeMsg) {
  if (!msg) return FALSE;
  const bool remove = (removeMsg & PM_REMOVE) != 0;
  if (GetBackend() == platform::Backend::Real) {
    PumpSdl();
    return Take(msg, hwnd, lo, hi, remove) ? TRUE : FALSE;
  }
  if (Take(msg, hwnd, lo, hi, remove)) return TRUE;
  if (S().idleHook) {
    S().idleHook(S().idleUser);
    if (Take(msg, hwnd, lo, hi, remove)) return TRUE;
  }
  return FALSE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi) {
  if (!msg) return -1;
  if (GetBackend() == platform::Backend::Real) {
    for (;;) {
      PumpSdl();
      if (Take(msg, hwnd, lo, hi, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
      if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        // Nothing can ever arrive: behave as Windows does with an empty queue forever
        // would not; report an error instead of blocking for good.
        return -1;
      }
      SDL_Event e;
      if (SDL_WaitEventTimeout(&e, 100)) Translate(e);
    }
  }
  if (!Take(msg, hwnd, lo, hi, true)) {
    if (S().idleHook) S().idleHook(S().idleUser);
    if (!Take(msg, hwnd, lo, hi, true)) {
      // A scripted queue with nothing left: hand back an empty message rather than block.
      *msg = MSG{};
      return TRUE;
    }
  }
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* msg) { return msg ? TRUE : FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !IsLive(msg->hwnd) || !msg->hwnd->proc) return 0;
  return msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsLive(hwnd) || !hwnd->proc) return 0;
  return hwnd->proc(hwnd, message, wParam, lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !IsLive(hwnd)) return FALSE;
  Post(hwnd, message, wParam, lParam);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  S().quitPosted = true;
  S().quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  if (!IsLive(hwnd)) return 0;
  switch (message) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE:
          if (hwnd->sdl) SDL_MinimizeWindow(hwnd->sdl);
          else Post(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
          break;
        case SC_MAXIMIZE:
          if (hwnd->sdl) SDL_MaximizeWindow(hwnd->sdl);
          break;
        case SC_RESTORE:
          if (hwnd->sdl) SDL_RestoreWindow(hwnd->sdl);
          else Post(hwnd, WM_SIZE, SIZE_RESTORED, 0);
          break;
        default: break;
      }
      return 0;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    default: return 0;
  }
}

DWORD GetTickCount() {
  if (GetBackend() == platform::Backend::Headless) return S().ticks;
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point start = Clock::now();
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  return static_cast<DWORD>(static_cast<std::uint64_t>(ms));
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  const char* t = text ? text : "";
  const char* c = caption ? caption : "";
  if (GetBackend() == platform::Backend::Headless) {
    S().boxes.push_back({t, c, type});
    return 1;  // IDOK
  }
  std::fprintf(stderr, "%s: %s\n", c, t);
  std::fflush(stderr);
  if (platform::win32::EnsureSdlVideo()) {
    const Uint32 kind = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    SDL_ShowSimpleMessageBox(kind, c, t, owner && IsLive(owner) ? owner->sdl : nullptr);
  }
  return 1;  // IDOK
}

HRESULT CoInitialize(LPVOID) {
  return S().comDepth++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (S().comDepth > 0) --S().comDepth;
}
