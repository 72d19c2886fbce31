#include "gameplay/GameObject.h"

#include <cmath>

#include "engine/scene/Scene.h"

void GameObject::AddToScene(SceneNode* parent) {
  if (g_scene) g_scene->AddNode(this, parent);
}

void GameObject::RemoveFromScene() {
  if (g_scene) g_scene->RemoveNode(this);
}

bool GameObject::HitTest(const D3DXVECTOR3& start, const D3DXVECTOR3& end, float radius,
                         D3DXVECTOR3* point, float* distance) const {
  // Sweeping a sphere against a sphere is a ray against the sphere of both radii.
  const D3DXVECTOR3 centre = WorldPosition();
  const float r = bounds.radius + radius;
  const D3DXVECTOR3 d = end - start;
  const D3DXVECTOR3 f = start - centre;
  const float a = D3DXVec3Dot(&d, &d);
  const float c = D3DXVec3Dot(&f, &f) - r * r;
  float t = 0.0f;
  if (c > 0.0f) {
    if (a == 0.0f) return false;
    const float b = D3DXVec3Dot(&f, &d);
    const float disc = b * b - a * c;
    if (b >= 0.0f || disc < 0.0f) return false;
    t = (-b - std::sqrt(disc)) / a;
    if (t > 1.0f) return false;
  }
  if (point) *point = start + d * t;
  if (distance) *distance = std::sqrt(a) * t;
  return true;
}

void MeshObject::AddToScene(SceneNode* parent) {
  GameObject::AddToScene(parent);
  if (g_scene) g_scene->AddNode(&mesh, this);
}

void MeshObject::RemoveFromScene() {
  GameObject::RemoveFromScene();
  if (g_scene) g_scene->RemoveNode(&mesh);
}
