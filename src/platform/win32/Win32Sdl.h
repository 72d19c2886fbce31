// What the SDL-backed Win32 layer offers the other real backends: the SDL window behind a
// window handle, and a look at every SDL event it pumps (for input devices).
#pragma once

#include "platform/win32/Win32Types.h"

struct SDL_Window;
union SDL_Event;

namespace platform::win32 {

// Null for a headless window, a destroyed one, or null.
SDL_Window* SdlWindowOf(HWND hwnd);

// Called for every SDL event that the message functions pump, before translation.
using SdlEventHook = void (*)(const SDL_Event& event);
void AddSdlEventHook(SdlEventHook hook);
void RemoveSdlEventHook(SdlEventHook hook);

// Initialises SDL's video once per process (reference counted by SDL); false when no
// display can be opened.
bool EnsureSdlVideo();

}  // namespace platform::win32
