#include "game/GameApp.h"

#include <cstdlib>
#include <ctime>

#include "app/GraphicsDevice.h"
#include "engine/input/Keyboard.h"
#include "engine/input/Mouse.h"
#include "engine/resources/ResourceManagers.h"
#include "platform/Random.h"
#include "platform/d3dx9/D3DX9Sprite.h"

GameApp::GameApp() {
  // Every asset is read straight from the data folder.
  dataRoot = ".\\Data\\";
  textureFolder = materialFolder = renderStateFolder = modelFolder = meshFolder =
      waveSoundFolder = waveSound3DFolder = musicFolder = dataRoot;
}
GameApp::~GameApp() = default;

bool GameApp::OnInit() {
  platform::SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
  if (!g_graphicsDevice || !g_graphicsDevice->Init(hwnd, settings)) return false;
  if (!StartInput()) return false;
  return true;
}

bool GameApp::PrepareDevice() {
  switch (g_graphicsDevice->GetState()) {
    case GraphicsDevice::kUsable: return true;
    case GraphicsDevice::kReadyToReset:
      return g_graphicsDevice->Reset() == GraphicsDevice::kResetDone;
    default: return false;
  }
}

void GameApp::OnFrame() {
  g_keyboard->Update();
  g_mouse->Update();
  if (!PrepareDevice()) return;
  g_graphicsDevice->Clear();
  if (!g_graphicsDevice->BeginScene()) return;
  if (g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND)) g_graphicsDevice->EndSprites();
  g_graphicsDevice->EndSceneAndPresent();
}

void GameApp::OnShutdown() {}
