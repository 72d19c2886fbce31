// What the render queue needs from a node that draws an animated mesh: its pose is
// advanced and refreshed by the queue right before it is drawn, with the mesh's
// render-state set. The animated mesh node implements it.
#pragma once

#include "engine/scene/RenderableNode.h"

class RenderStateSet;

class AnimatedDrawable : public RenderableNode {
 public:
  // Some texture of the mesh has an alpha channel: drawn in the see-through passes.
  virtual bool HasAlphaTexture() const = 0;
  // The mesh's shared render-state set; the see-through passes write its cull mode.
  virtual RenderStateSet* MeshRenderStates() = 0;
  // Draws every mesh container of the mesh in the current pose.
  virtual void DrawMesh() = 0;
  // Advances the animation controller by this frame's (scaled) time.
  virtual void AdvanceAnimation() = 0;
  // Re-evaluates the controller at its current time and rebuilds the frame matrices
  // from this node's world matrix.
  virtual void RefreshPose() = 0;
  virtual void AdvanceAndRefresh() = 0;
};
