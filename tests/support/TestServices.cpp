#include "support/TestServices.h"

#include "app/GraphicsDevice.h"
#include "engine/materials/MaterialManager.h"
#include "engine/materials/ModelManager.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/AnimatedMesh.h"
#include "engine/scene/MeshManager.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"

namespace {

std::string* const kFolders[6] = {&dataRoot,          &textureFolder, &materialFolder,
                                  &renderStateFolder, &modelFolder,   &meshFolder};

template <class T>
void Destroy(T*& service) {
  delete service;
  service = nullptr;
}

}  // namespace

void ResourceServices::Start(const std::string& folder) {
  Stop();
  for (int i = 0; i < 6; ++i) {
    saved_[i] = *kFolders[i];
    if (!folder.empty()) *kFolders[i] = folder;
  }
  g_textureManager = new TextureManager;
  g_renderStateManager = new RenderStateManager;
  g_materialManager = new MaterialManager;
  g_modelManager = new ModelManager;
  g_meshManager = new MeshManager;
  started_ = true;
}

void ResourceServices::Stop() {
  if (!started_) return;
  started_ = false;
  Destroy(g_meshManager);
  Destroy(g_modelManager);
  Destroy(g_materialManager);
  Destroy(g_renderStateManager);
  Destroy(g_textureManager);
  FreeBoneScratch();
  for (int i = 0; i < 6; ++i) *kFolders[i] = saved_[i];
}

void GLEngineServices::Start(IDirect3DDevice9* device, const std::string& folder) {
  Stop();
  g_graphicsDevice = new GraphicsDevice();
  g_graphicsDevice->device = device;
  device->AddRef();
  g_graphicsDevice->stateCache.Apply(true);
  resources_.Start(folder);
  g_renderQueue = new RenderQueue;
  g_scene = new Scene;
  started_ = true;
}

void GLEngineServices::Stop() {
  if (!started_) return;
  started_ = false;
  Destroy(g_scene);
  Destroy(g_renderQueue);
  resources_.Stop();
  Destroy(g_graphicsDevice);
}
