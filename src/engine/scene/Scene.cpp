#include "engine/scene/Scene.h"

#include "app/GraphicsDevice.h"
#include "engine/scene/Camera.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/TargetedNode.h"

Scene* g_scene = nullptr;

Scene::Scene() {
  root.RebuildMatrices();
}

// Lights are children of the root or of game nodes; the root dies with the scene and
// owners remove their nodes before that, so nothing below points at a destroyed light.
Scene::~Scene() = default;

bool Scene::AddNode(SceneNode* node, SceneNode* parent) {
  if (!node) return false;
  (parent ? parent : &root)->AddChild(node);
  return true;
}

bool Scene::AddTargetedNode(TargetedNode* object, SceneNode* parent) {
  if (!object) return false;
  AddNode(object, parent);
  AddNode(&object->target, parent);
  return true;
}

bool Scene::RemoveNode(SceneNode* node) {
  if (!node) return false;
  if (node->parent) node->parent->RemoveChild(node);
  return true;
}

bool Scene::SetCamera(Camera* newCamera) {
  if (!newCamera) return false;
  camera = newCamera;
  return true;
}

Light* Scene::CreateLight(SceneNode* parent) {
  auto light = std::make_unique<Light>();
  light->light.Type = D3DLIGHT_DIRECTIONAL;
  Light* raw = light.get();
  lights.push_back(std::move(light));
  raw->Register(lightCount);
  ++lightCount;
  raw->Enable();
  return AddTargetedNode(raw, parent) ? raw : nullptr;
}

void Scene::SetBackgroundColour(float red, float green, float blue, float alpha) {
  if (!g_graphicsDevice) return;
  g_graphicsDevice->clearColour[0] = red;
  g_graphicsDevice->clearColour[1] = green;
  g_graphicsDevice->clearColour[2] = blue;
  g_graphicsDevice->clearColour[3] = alpha;
}

void Scene::Update() {
  root.Update();
  for (auto& light : lights) light->AfterSceneUpdate();
}

void Scene::Render() {
  if (camera) camera->Apply();
  if (g_renderQueue) g_renderQueue->Flush();
}

void Scene::RestoreLights() {
  for (auto& light : lights) light->Restore();
}
