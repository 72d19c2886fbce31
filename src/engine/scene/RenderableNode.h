// A scene node that can be drawn: during the update walk it tests its bounding sphere
// against the current camera's view frustum and, when seen and visible, hands itself
// to the render queue through Submit.
#pragma once

#include "engine/scene/SceneNode.h"

class DrawListener;

class RenderableNode : public SceneNode {
 public:
  // The visibility test and submission; with no camera in the scene every node counts
  // as inside the frustum.
  void OnUpdate() override;

  // Hands the node to the render queue.
  virtual void Submit() = 0;
  virtual void SetDrawListener(DrawListener* listener) { drawListener = listener; }

  bool visible = true;                   // false: never drawn
  DrawListener* drawListener = nullptr;  // not owned
  bool culled = false;                   // the last test found the sphere outside
};
