#include "engine/scene/SceneNode.h"

#include <algorithm>

SceneNode::SceneNode() : position(0, 0, 0), rotation(0, 0, 0), scale(1, 1, 1) {
  D3DXMatrixIdentity(&scaleMatrix);
  D3DXMatrixIdentity(&rotationMatrix);
  D3DXMatrixIdentity(&translationMatrix);
  D3DXMatrixIdentity(&localMatrix);
  D3DXMatrixIdentity(&worldMatrix);
}

void SceneNode::RebuildMatrices() {
  if (positionChanged)
    D3DXMatrixTranslation(&translationMatrix, position.x, position.y, position.z);
  if (rotationChanged)
    D3DXMatrixRotationYawPitchRoll(&rotationMatrix, rotation.x, rotation.y, rotation.z);
  if (scaleChanged) D3DXMatrixScaling(&scaleMatrix, scale.x, scale.y, scale.z);
  D3DXMatrixMultiply(&localMatrix, &scaleMatrix, &rotationMatrix);
  D3DXMatrixMultiply(&localMatrix, &localMatrix, &translationMatrix);
  // Composed afresh from the ancestors' local matrices, so a node rebuilt out of walk
  // order (AddChild, a light's Send) still sees its parents' latest local transforms.
  worldMatrix = localMatrix;
  for (const SceneNode* p = parent; p; p = p->parent)
    D3DXMatrixMultiply(&worldMatrix, &worldMatrix, &p->localMatrix);
}

void SceneNode::Update() {
  RebuildMatrices();
  OnUpdate();
  // By index rather than iterator: a hook below may add or remove children of this
  // node, and RemoveChild moves the index back over what it takes out. Children added
  // during the walk are visited by it.
  std::size_t* const outer = walkIndex_;
  std::size_t i = 0;
  walkIndex_ = &i;
  for (; i < children.size(); ++i) {
    SceneNode* child = children[i];
    if (!child->manualUpdate) child->Update();
  }
  walkIndex_ = outer;
  // Cleared only now, so that the children's HasMoved saw this node's changes.
  ClearFlags();
  ClearFlagsBelow();
}

void SceneNode::ClearFlags() {
  positionChanged = rotationChanged = scaleChanged = false;
}

void SceneNode::ClearFlagsBelow() {
  for (SceneNode* child : children) {
    child->ClearFlags();
    child->ClearFlagsBelow();
  }
}

void SceneNode::AddChild(SceneNode* child) {
  children.push_back(child);
  child->parent = this;
  child->RebuildMatrices();
}

void SceneNode::EmptyChildListsBelow() {
  for (SceneNode* child : children) child->EmptyChildListsBelow();
  children.clear();
}

void SceneNode::RemoveChild(SceneNode* child) {
  child->EmptyChildListsBelow();
  child->parent = nullptr;
  for (std::size_t k = children.size(); k-- > 0;) {
    if (children[k] != child) continue;
    children.erase(children.begin() + static_cast<std::ptrdiff_t>(k));
    // Unsigned wrap at zero is undone by the walk's own increment.
    if (walkIndex_ && k <= *walkIndex_) --*walkIndex_;
  }
}

D3DXVECTOR3 SceneNode::WorldPosition() const {
  const D3DXVECTOR3 origin(0, 0, 0);
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &origin, &worldMatrix);
  return out;
}

bool SceneNode::HasMoved() const {
  if (positionChanged) return true;
  for (const SceneNode* p = parent; p; p = p->parent)
    if (p->positionChanged || p->rotationChanged || p->scaleChanged) return true;
  return false;
}
