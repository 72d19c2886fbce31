#include "app/EngineServices.h"

#include "app/GraphicsDevice.h"
#include "engine/input/InputSystem.h"
#include "engine/input/Keyboard.h"
#include "engine/input/Mouse.h"
#include "engine/materials/MaterialManager.h"
#include "engine/materials/ModelManager.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/AnimatedMesh.h"
#include "engine/scene/MeshManager.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "engine/sound/SoundManagers.h"
#include "engine/sound/SoundSystem.h"

namespace {

template <class T>
void Destroy(T*& service) {
  delete service;
  service = nullptr;
}

void RestoreSceneAfterReset() {
  if (g_scene) g_scene->RestoreLights();
}

}  // namespace

void CreateEngineServices() {
  g_graphicsDevice = new GraphicsDevice();
  g_graphicsDevice->SetResetListener(&RestoreSceneAfterReset);
  g_textureManager = new TextureManager();
  g_materialManager = new MaterialManager();
  g_renderStateManager = new RenderStateManager();
  g_modelManager = new ModelManager();
  g_meshManager = new MeshManager();
  g_renderQueue = new RenderQueue();
  g_scene = new Scene();
  g_keyboard = new Keyboard();
  g_mouse = new Mouse();
  g_inputSystem = new InputSystem();
  g_soundSystem = new SoundSystem();
  g_waveSoundManager = new WaveSoundManager();
  g_waveSound3DManager = new WaveSound3DManager();
  g_musicManager = new MusicManager();
}

void DestroyEngineServices() {
  Destroy(g_fontManager);
  Destroy(g_inputSystem);
  Destroy(g_mouse);
  Destroy(g_keyboard);
  Destroy(g_scene);
  Destroy(g_renderQueue);
  Destroy(g_modelManager);
  Destroy(g_meshManager);
  Destroy(g_renderStateManager);
  Destroy(g_materialManager);
  Destroy(g_textureManager);
  Destroy(g_graphicsDevice);
  Destroy(g_waveSoundManager);
  Destroy(g_waveSound3DManager);
  // The music manager outlives the game's last frame in the original order, and nothing
  // plays after the message loop ends, so it goes here, while the performance its
  // pieces were downloaded to is still there to unload them from.
  Destroy(g_musicManager);
  Destroy(g_soundSystem);
  FreeBoneScratch();
}

void CreateFontManager() {
  // A second start-up replaces the manager rather than leaking the first.
  Destroy(g_fontManager);
  g_fontManager = new FontManager();
}

bool StartInputServices(HINSTANCE instance, HWND window, const AppSettings& settings) {
  return g_inputSystem && g_inputSystem->Start(instance, window, settings);
}
