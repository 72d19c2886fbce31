#include "engine/scene/RenderableNode.h"

#include <algorithm>

#include "engine/scene/Camera.h"
#include "engine/scene/DrawListener.h"
#include "engine/scene/Scene.h"

void RenderableNode::OnUpdate() {
  // The centre offset is added unrotated and unscaled; only the radius follows the
  // largest scale factor.
  const float s = std::max({scale.x, scale.y, scale.z});
  const D3DXVECTOR3 centre = WorldPosition() + bounds.centre;
  const float radius = s * bounds.radius;
  Camera* camera = g_scene ? g_scene->camera : nullptr;
  const bool inside = camera ? camera->IsSphereVisible(centre, radius) : true;
  culled = !inside;
  if (visible && inside) {
    Submit();
    return;
  }
  if (drawListener) drawListener->OnCulled();
}
