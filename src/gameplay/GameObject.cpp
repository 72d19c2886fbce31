#include "gameplay/GameObject.h"

#include "engine/scene/Scene.h"

void GameObject::AddToScene(SceneNode* parent) {
  if (g_scene) g_scene->AddNode(this, parent);
}

void GameObject::RemoveFromScene() {
  if (g_scene) g_scene->RemoveNode(this);
}

void MeshObject::AddToScene(SceneNode* parent) {
  GameObject::AddToScene(parent);
  if (g_scene) g_scene->AddNode(&mesh, this);
}

void MeshObject::RemoveFromScene() {
  GameObject::RemoveFromScene();
  if (g_scene) g_scene->RemoveNode(&mesh);
}
