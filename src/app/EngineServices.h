// The engine's global services: created by the process entry before anything else and
// torn down in a fixed order after the message loop ends.
#pragma once

#include "app/AppSettings.h"
#include "platform/win32/Win32Types.h"

// Creates every engine service in start-up order.
void CreateEngineServices();
// Destroys the services in teardown order, skipping those that are null. The music
// manager goes just before the sound system, once nothing can play any more.
void DestroyEngineServices();
// Creates the font manager (after the window exists); it loads its default font.
void CreateFontManager();
// Starts keyboard, mouse and the input system on the window; false on failure.
bool StartInputServices(HINSTANCE instance, HWND window, const AppSettings& settings);
