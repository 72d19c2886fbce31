#include "support/GameplayHarness.h"

#include <cstdint>

#include "app/AppSettings.h"
#include "app/EngineServices.h"
#include "app/GraphicsDevice.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/Scene.h"
#include "engine/sound/SoundSystem.h"
#include "gameplay/MatchWorld.h"
#include "platform/FileSystem.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3dx9/D3DX9Sprite.h"
#include "platform/win32/Win32.h"
#include "engine/input/InputSystem.h"
#include "engine/input/Keyboard.h"
#include "engine/input/Mouse.h"
#include "platform/dinput8/DInput8Headless.h"

namespace gameplay_test {

BYTE PlayerKey(int player, int direction) {
  static const BYTE kKeys[4][4] = {
      {DIK_W, DIK_S, DIK_A, DIK_D},
      {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT},
      {DIK_U, DIK_J, DIK_H, DIK_K},
      {DIK_NUMPAD8, DIK_NUMPAD5, DIK_NUMPAD4, DIK_NUMPAD6}};
  return kKeys[player & 3][direction & 3];
}

InputServices::InputServices() {
  platform::dinput8::HeadlessResetInput();
  g_keyboard = new Keyboard();
  g_mouse = new Mouse();
  g_inputSystem = new InputSystem();
  AppSettings settings;
  settings.windowed = false;
  settings.width = 800;
  settings.height = 600;
  settings.colourDepth = 32;
  started = g_inputSystem->Start(nullptr, reinterpret_cast<HWND>(std::uintptr_t{0x1000}), settings);
  for (int p = 0; p < 4; ++p)
    for (int d = 0; d < 4; ++d) g_inputSystem->BindKey(100 * p + d, PlayerKey(p, d));
}

InputServices::~InputServices() {
  delete g_inputSystem;
  g_inputSystem = nullptr;
  delete g_mouse;
  g_mouse = nullptr;
  delete g_keyboard;
  g_keyboard = nullptr;
  platform::dinput8::HeadlessResetInput();
}

namespace {

LRESULT MatchProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

const std::string& DataFolder() {
  static const std::string folder = std::string(YULE_BUILD_DIR) + "/Data/";
  return folder;
}

}  // namespace

bool MatchServices::ContentPresent(const char* fileName) {
  return !platform::ResolvePath(DataFolder() + fileName).empty();
}

MatchServices::MatchServices() {
  platform::dinput8::HeadlessResetInput();
  std::string* folders[9] = {&dataRoot,         &textureFolder,   &materialFolder,
                             &renderStateFolder, &modelFolder,     &meshFolder,
                             &waveSoundFolder,   &waveSound3DFolder, &musicFolder};
  for (int i = 0; i < 9; ++i) savedFolders[i] = *folders[i];
  dataRoot = DataFolder();
  textureFolder = materialFolder = renderStateFolder = modelFolder = meshFolder =
      waveSoundFolder = waveSound3DFolder = musicFolder = dataRoot;
  CreateEngineServices();
  WNDCLASSEXA wc{};
  wc.lpszClassName = "MatchServices";
  wc.lpfnWndProc = MatchProc;
  RegisterClassExA(&wc);
  HWND window = CreateWindowExA(0, "MatchServices", "match", WS_POPUP | WS_VISIBLE, 0, 0, 800,
                                600, nullptr, nullptr, nullptr, nullptr);
  AppSettings settings;
  settings.windowed = false;
  settings.width = 800;
  settings.height = 600;
  settings.colourDepth = 32;
  if (!window || !g_graphicsDevice->Init(window, settings)) return;
  platform::d3d9::Log().Clear();
  platform::d3d9::Log().enabled = false;
  if (!g_soundSystem || !g_soundSystem->Init(window, 44100)) return;
  if (!StartInputServices(nullptr, window, settings)) return;
  for (int p = 0; p < 4; ++p)
    for (int d = 0; d < 4; ++d) g_inputSystem->BindKey(100 * p + d, PlayerKey(p, d));
  g_matchWorld = new MatchWorld();
  g_matchWorld->Init(800, 600);
  ready = true;
}

MatchServices::~MatchServices() {
  if (g_matchWorld) {
    g_matchWorld->EndRound();
    g_matchWorld->RemovePlayersFromScene();
  }
  delete g_matchWorld;
  g_matchWorld = nullptr;
  DestroyEngineServices();
  platform::d3d9::Log().enabled = true;
  platform::dinput8::HeadlessResetInput();
  std::string* folders[9] = {&dataRoot,         &textureFolder,   &materialFolder,
                             &renderStateFolder, &modelFolder,     &meshFolder,
                             &waveSoundFolder,   &waveSound3DFolder, &musicFolder};
  for (int i = 0; i < 9; ++i) *folders[i] = savedFolders[i];
}

void MatchServices::DrawFrame() {
  g_graphicsDevice->Clear();
  g_graphicsDevice->BeginScene();
  g_scene->Update();
  g_scene->Render();
  if (g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND)) {
    if (g_matchWorld && g_matchWorld->mode) g_matchWorld->mode->DrawScoreDisplay();
    g_graphicsDevice->EndSprites();
  }
  g_graphicsDevice->EndSceneAndPresent();
}

void SetKey(int player, int direction, bool down) {
  platform::dinput8::HeadlessSetKey(PlayerKey(player, direction), down);
}

void ReadKeyboard() {
  if (g_keyboard) g_keyboard->Update();
}

}  // namespace gameplay_test
