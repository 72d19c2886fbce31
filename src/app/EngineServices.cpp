#include "app/EngineServices.h"

#include "app/GraphicsDevice.h"

void CreateEngineServices() {
  g_graphicsDevice = new GraphicsDevice();
}

void DestroyEngineServices() {
  delete g_graphicsDevice;
  g_graphicsDevice = nullptr;
}

void CreateFontManager() {}

bool StartInputServices(HINSTANCE, HWND) { return true; }
