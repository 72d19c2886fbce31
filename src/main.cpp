// Process entry: engine services first, then the game object, the shell's start-up and
// the message loop; services are torn down before the game object is destroyed.
#include <cstdio>
#include <cstdlib>

#include "app/EngineServices.h"
#include "game/GameApp.h"
#include "platform/win32/Win32.h"

int main() {
  CreateEngineServices();

  AppSettings settings;
  settings.windowed = false;
  settings.width = 800;
  settings.height = 600;
  settings.colourDepth = 32;

  GameApp* game = new GameApp();
  if (!game->Init(settings, GetModuleHandleA(nullptr))) {
    // The box says only that start-up failed; this line says which step, for bug reports.
    const char* step = game->GetStartupFailure();
    const char* why = platform::win32::LastWindowFailure();
    std::fprintf(stderr, "yulerush: %s%s%s%s\n", step ? step : "start-up failed", *why ? " (" : "",
                 why, *why ? ")" : "");
    MessageBoxA(nullptr, "Hubo un error al inicializar.\nLa aplicación se cerrará.", "Error",
                MB_ICONERROR);
    DestroyEngineServices();
    std::exit(1);
  }
  game->Run();
  DestroyEngineServices();
  delete game;
  return 0;
}
