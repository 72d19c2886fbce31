// The game's own objects in the scene: a scene node that can be switched off
// (GameObject), and one that carries a static model under it (MeshObject). Items build
// on them.
#pragma once

#include "engine/scene/ModelNode.h"
#include "engine/scene/SceneNode.h"

class GameObject : public SceneNode {
 public:
  void OnUpdate() override {}
  ~GameObject() override = default;
  virtual bool IsActive() const { return active; }
  virtual void Deactivate() { active = false; }
  // Adds the object under parent, or under the scene's root when parent is null.
  virtual void AddToScene(SceneNode* parent);
  virtual void RemoveFromScene();
  // Brings the node's matrices up to date; kinds with a per-frame rule replace it.
  virtual void Tick() { RebuildMatrices(); }

  bool active = true;
};

class MeshObject : public GameObject {
 public:
  // The object goes under parent and the mesh under the object, so the model follows
  // the object's position, rotation and scale.
  void AddToScene(SceneNode* parent) override;
  void RemoveFromScene() override;

  ModelNode mesh;
};
