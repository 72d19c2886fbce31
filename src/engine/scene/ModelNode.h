// A static model placed in the world: a drawable node with one draw item per usable
// subset of its model. Visible model nodes submit their items to the render queue.
#pragma once

#include <vector>

#include "engine/scene/DrawItem.h"
#include "engine/scene/RenderableNode.h"

class Model;

class ModelNode : public RenderableNode {
 public:
  // Hands the node's items to the render queue.
  void Submit() override;
  // Stores the listener in every item; the node's own drawListener is left as it was.
  void SetDrawListener(DrawListener* listener) override;

  // Stores the model, rebuilds the items and copies the model's bounding sphere. Subsets
  // without a material or a render-state set (those a ".srf" marker left empty) get no
  // item. Null leaves the node without a model or items and gives false.
  bool SetModel(Model* model);

  Model* model = nullptr;  // not owned: the model manager owns it
  // Scenery that stays put: its opaque items go into the layer the device keeps, drawn
  // again only when something about them (or the camera, lights, ...) changed.
  bool still = false;
  std::vector<DrawItem>
      items;  // point at this node's worldMatrix: the node must not move in memory
};
