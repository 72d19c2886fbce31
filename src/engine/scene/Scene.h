// The 3D world's root: owns the root node and the lights, knows the current camera,
// and runs the per-frame update walk (which fills the render queue) and the render
// (camera transforms, then the queue's flush). One engine-wide instance.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/scene/Light.h"
#include "engine/scene/SceneNode.h"

class Camera;
class TargetedNode;

class Scene {
 public:
  Scene();  // root at the origin with its matrices built
  ~Scene();

  // Adds the node under parent (the root when parent is null). False for a null node.
  bool AddNode(SceneNode* node, SceneNode* parent = nullptr);
  // Adds the object and, beside it under the same parent, its target.
  bool AddTargetedNode(TargetedNode* object, SceneNode* parent = nullptr);
  // Detaches the node from its parent, if any. False for null.
  bool RemoveNode(SceneNode* node);
  bool SetCamera(Camera* newCamera);  // not owned; false for null
  // A directional light on the next device index, enabled, added under parent (the
  // root when null). The scene owns it.
  Light* CreateLight(SceneNode* parent = nullptr);
  // The graphics device's clear colour, channels in 0 … 1.
  void SetBackgroundColour(float red, float green, float blue, float alpha);

  // The update walk from the root, which submits the visible nodes to the render queue.
  void Update();
  // The camera's transforms (when there is a camera), then the render queue's flush.
  void Render();
  // Sends every light again; the graphics device calls it after a reset.
  void RestoreLights();

  SceneNode root;
  std::vector<std::unique_ptr<Light>> lights;  // owned, creation order
  std::uint32_t lightCount = 0;                // next device light index
  Camera* camera = nullptr;                    // not owned
};

extern Scene* g_scene;
