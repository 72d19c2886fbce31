// Real DirectInput source on SDL2: the keyboard by physical key position (SDL scancodes
// mapped to DIK codes, so the players' keys sit in the same places on every national
// layout), the mouse's relative motion and wheel gathered from the events the window
// layer pumps, and the window's input focus.
#include <SDL.h>
#include <SDL_syswm.h>

#include <cstring>

#include "platform/dinput8/DInput8Source.h"
#include "platform/win32/Win32Sdl.h"

namespace platform::dinput8 {

namespace {

struct ScancodeKey {
  SDL_Scancode scancode;
  BYTE key;
};

// SDL scancodes are USB usage positions and DIK codes are PC scan codes; both name the
// physical key, so the table is fixed. The keypad maps to the keypad keys whatever the
// state of Num Lock, as DirectInput reports them.
constexpr ScancodeKey kScancodeKeys[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
    {SDL_SCANCODE_1, DIK_1},
    {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3},
    {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5},
    {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7},
    {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9},
    {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q},
    {SDL_SCANCODE_W, DIK_W},
    {SDL_SCANCODE_E, DIK_E},
    {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_Y, DIK_Y},
    {SDL_SCANCODE_U, DIK_U},
    {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O},
    {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
    {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A},
    {SDL_SCANCODE_S, DIK_S},
    {SDL_SCANCODE_D, DIK_D},
    {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G},
    {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_J, DIK_J},
    {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L},
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH},  // the same position on ISO keyboards
    {SDL_SCANCODE_Z, DIK_Z},
    {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_C, DIK_C},
    {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_B, DIK_B},
    {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M},
    {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_SPACE, DIK_SPACE},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1},
    {SDL_SCANCODE_F2, DIK_F2},
    {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5},
    {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7},
    {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
    {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_F13, DIK_F13},
    {SDL_SCANCODE_F14, DIK_F14},
    {SDL_SCANCODE_F15, DIK_F15},
    {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA},
    {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1},
    {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT},
    {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN},
    {SDL_SCANCODE_KP_COMMA, DIK_ABNT_C2},  // Brazilian keypad '.'; the commoner of the two
    {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK},
    {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
    {SDL_SCANCODE_AUDIOMUTE, DIK_MUTE},
    {SDL_SCANCODE_MUTE, DIK_MUTE},
    {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR},
    {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE},
    {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP},
    {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
    {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP},
    {SDL_SCANCODE_AC_HOME, DIK_WEBHOME},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
    {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE},
    {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_END, DIK_END},
    {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_INSERT, DIK_INSERT},
    {SDL_SCANCODE_DELETE, DIK_DELETE},
    {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_APPLICATION, DIK_APPS},
    {SDL_SCANCODE_POWER, DIK_POWER},
    {SDL_SCANCODE_SLEEP, DIK_SLEEP},
    {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH},
    {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES},
    {SDL_SCANCODE_AC_REFRESH, DIK_WEBREFRESH},
    {SDL_SCANCODE_AC_STOP, DIK_WEBSTOP},
    {SDL_SCANCODE_AC_FORWARD, DIK_WEBFORWARD},
    {SDL_SCANCODE_AC_BACK, DIK_WEBBACK},
    {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER},
    {SDL_SCANCODE_MAIL, DIK_MAIL},
    {SDL_SCANCODE_MEDIASELECT, DIK_MEDIASELECT},
};

struct ScancodeTable {
  BYTE keyOf[SDL_NUM_SCANCODES] = {};
  constexpr ScancodeTable() {
    for (const ScancodeKey& k : kScancodeKeys) keyOf[k.scancode] = k.key;
  }
};

constexpr ScancodeTable kScancodes;

// How long a device's first acquisition waits for a window that was just shown to get
// the focus from a window manager, which hands it over in its own time (without one, a
// round trip to the X server settles it; see WindowInFront).
constexpr Uint32 kFirstFocusWaitMs = 1000;

class SdlSource final : public InputSource {
 public:
  bool Open() override {
    if (!platform::win32::EnsureSdlVideo()) return false;
    if (!hooked_) {
      platform::win32::AddSdlEventHook(&SdlSource::OnEvent);
      hooked_ = true;
    }
    return true;
  }

  bool WindowInFront(HWND window, bool firstTry) override {
    SDL_Window* sdl = platform::win32::SdlWindowOf(window);
    if (!sdl) return false;
    if (HasFocus(sdl)) return true;
    SDL_PumpEvents();
    if (HasFocus(sdl)) return true;
    if (!firstTry) return false;
    // The window asked for the focus when it was shown. Without a window manager the X
    // server hands it over as it handles that request, so once a round trip has brought
    // in every event the server sent before it, the answer no longer depends on how
    // busy the machine is.
    if (SyncWithWindowSystem(sdl)) {
      SDL_PumpEvents();
      if (HasFocus(sdl)) return true;
    }
    const Uint32 flags = SDL_GetWindowFlags(sdl);
    if (!(flags & SDL_WINDOW_SHOWN) || (flags & SDL_WINDOW_MINIMIZED)) return false;
    const Uint32 start = SDL_GetTicks();
    while (SDL_GetTicks() - start < kFirstFocusWaitMs) {
      SDL_Delay(10);
      SDL_PumpEvents();
      if (HasFocus(sdl)) return true;
    }
    return false;
  }

  bool IsWindowHandle(HWND window) override {
    return platform::win32::SdlWindowOf(window) != nullptr;
  }

  std::uint64_t FocusLosses() override { return focusLosses_; }

  void ReadKeys(BYTE keys[256]) override {
    std::memset(keys, 0, 256);
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    if (!state) return;
    if (count > SDL_NUM_SCANCODES) count = SDL_NUM_SCANCODES;
    for (int sc = 0; sc < count; ++sc) {
      const BYTE key = kScancodes.keyOf[sc];
      if (key && state[sc]) keys[key] = 0x80;
    }
  }

  void MouseTotals(std::int64_t* x, std::int64_t* y, std::int64_t* z) override {
    *x = motionX_;
    *y = motionY_;
    *z = wheel_;
  }

  void MouseButtons(BYTE buttons[4]) override {
    const Uint32 mask = SDL_GetMouseState(nullptr, nullptr);
    buttons[0] = (mask & SDL_BUTTON_LMASK) ? 0x80 : 0;
    buttons[1] = (mask & SDL_BUTTON_RMASK) ? 0x80 : 0;
    buttons[2] = (mask & SDL_BUTTON_MMASK) ? 0x80 : 0;
    buttons[3] = (mask & SDL_BUTTON_X1MASK) ? 0x80 : 0;
  }

  void CaptureMouse(HWND, bool capture) override {
    // Relative mode hides the system cursor and keeps reporting motion at the screen's
    // edges; the game draws its own cursor.
    SDL_SetRelativeMouseMode(capture ? SDL_TRUE : SDL_FALSE);
  }

  bool KeyName(BYTE key, char* out, std::size_t size) override {
    const char* name = DefaultKeyName(key);
    if (!name || size == 0) return false;
    // Keys that type a character are named after what the user's layout prints on them.
    if (std::strlen(name) == 1) {
      for (const ScancodeKey& k : kScancodeKeys) {
        if (k.key != key) continue;
        const SDL_Keycode code = SDL_GetKeyFromScancode(k.scancode);
        const bool printable = code > 0x20 && code != 0x7F && !(code & SDLK_SCANCODE_MASK);
        if (printable) {
          const char* layoutName = SDL_GetKeyName(code);
          if (layoutName && *layoutName) name = layoutName;
        }
        break;
      }
    }
    std::size_t n = std::strlen(name);
    if (n >= size) n = size - 1;
    std::memcpy(out, name, n);
    out[n] = '\0';
    return true;
  }

 private:
  // Waits until the window system has handled every request made so far and its events
  // are queued; false where there is no such round trip to make.
  static bool SyncWithWindowSystem(SDL_Window* sdl) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(sdl, &info) || info.subsystem != SDL_SYSWM_X11 ||
        !info.info.x11.display)
      return false;
    XSync(info.info.x11.display, False);
    return true;
  }

  static bool HasFocus(SDL_Window* sdl) {
    return (SDL_GetWindowFlags(sdl) & SDL_WINDOW_INPUT_FOCUS) != 0;
  }

  static void OnEvent(const SDL_Event& e);

  bool hooked_ = false;
  std::uint64_t focusLosses_ = 0;
  std::int64_t motionX_ = 0, motionY_ = 0, wheel_ = 0;
};

SdlSource& Sdl() {
  static SdlSource source;
  return source;
}

void SdlSource::OnEvent(const SDL_Event& e) {
  SdlSource& s = Sdl();
  switch (e.type) {
    case SDL_MOUSEMOTION:
      if (e.motion.which == SDL_TOUCH_MOUSEID) break;
      s.motionX_ += e.motion.xrel;
      s.motionY_ += e.motion.yrel;
      break;
    case SDL_MOUSEWHEEL: {
      if (e.wheel.which == SDL_TOUCH_MOUSEID) break;
      std::int64_t notches = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      s.wheel_ += notches * 120;  // one notch away from the user is +120
      break;
    }
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) ++s.focusLosses_;
      break;
    default:
      break;
  }
}

}  // namespace

InputSource& RealSource() {
  return Sdl();
}

BYTE DikFromSdlScancode(int scancode) {
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  return kScancodes.keyOf[scancode];
}

}  // namespace platform::dinput8
