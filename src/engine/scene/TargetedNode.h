// A node that points at a second node, its target (the camera's look-at point, a
// light's aim). The target is embedded here but lives in the tree as a sibling of its
// owner; the owner's update brings the target up to date first.
#pragma once

#include "engine/scene/SceneNode.h"

class TargetedNode : public SceneNode {
 public:
  void OnUpdate() override;

  SceneNode target;  // owned, embedded; the scene adds it beside this node
};
