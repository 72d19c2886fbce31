#include "engine/scene/ModelNode.h"

#include "engine/materials/Model.h"
#include "engine/scene/RenderQueue.h"

void DrawItem::Draw() const {
  if (subset && subset->owner) subset->owner->DrawSubset(subset->index);
}

void ModelNode::Submit() {
  if (g_renderQueue) g_renderQueue->SubmitModel(this);
}

void ModelNode::SetDrawListener(DrawListener* listener) {
  for (DrawItem& item : items) item.drawListener = listener;
}

bool ModelNode::SetModel(Model* newModel) {
  model = newModel;
  items.clear();  // a node left without a model draws nothing
  if (!model) return false;
  items.reserve(model->subsets.size());
  for (const MeshSubset& subset : model->subsets) {
    if (!subset.material || !subset.renderStates) continue;
    DrawItem item;
    item.worldMatrix = &worldMatrix;
    item.renderStates = subset.renderStates;
    item.material = subset.material;
    item.textures = &subset.textures;
    item.opaque = subset.IsOpaque();
    item.subset = &subset;
    items.push_back(item);
  }
  bounds.centre = model->boundsCentre;
  bounds.radius = model->boundsRadius;
  return true;
}
