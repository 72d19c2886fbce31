// A node of the scene graph: position, rotation and scale relative to a parent, with
// the matrices derived from them cached. The scene walks the tree once per frame;
// each node rebuilds its matrices, runs its per-kind hook, then walks its children.
#pragma once

#include <vector>

#include "engine/scene/BoundingSphere.h"
#include "platform/d3dx9/D3DX9Math.h"

class SceneNode {
 public:
  SceneNode();
  SceneNode(const SceneNode&) = delete;
  SceneNode& operator=(const SceneNode&) = delete;

  // The virtual operations are declared in their table order: hook, destructor, walk.
  // Per-kind hook, called by Update right after the matrices were rebuilt.
  virtual void OnUpdate() {}
  virtual ~SceneNode() = default;
  // The update walk of this node and its subtree: rebuild, hook, children (those
  // without manualUpdate), then clear the change flags of the whole subtree.
  virtual void Update();

  // Appends the child and rebuilds its matrices at once. Does not check for duplicates.
  void AddChild(SceneNode* child);
  // Detaches the child; the child lists of its whole subtree are emptied, while the
  // nodes below it keep their parent pointers. Safe from a hook during this node's walk:
  // the walk carries on with the children that remain and never touches the removed one.
  void RemoveChild(SceneNode* child);

  D3DXVECTOR3 WorldPosition() const;
  // Whether this node's world position may have changed since the last walk: its own
  // position flag or any flag of any ancestor.
  bool HasMoved() const;

  // Rebuilds the partial matrices whose flag is set, then the local and world matrices.
  // The flags are left as they are.
  void RebuildMatrices();

  // Write a field and raise its flag.
  void SetPosition(const D3DXVECTOR3& p) {
    position = p;
    positionChanged = true;
  }
  void SetRotation(const D3DXVECTOR3& r) {
    rotation = r;
    rotationChanged = true;
  }
  void SetScale(const D3DXVECTOR3& s) {
    scale = s;
    scaleChanged = true;
  }

  D3DXVECTOR3 position;  // relative to the parent
  D3DXVECTOR3 rotation;  // yaw, pitch, roll in radians
  D3DXVECTOR3 scale;
  bool positionChanged = true;
  bool rotationChanged = true;
  bool scaleChanged = true;
  D3DXMATRIX scaleMatrix;
  D3DXMATRIX rotationMatrix;
  D3DXMATRIX translationMatrix;
  D3DXMATRIX localMatrix;  // scale × rotation × translation
  D3DXMATRIX worldMatrix;  // local × the ancestors' local matrices up to the root
  BoundingSphere bounds;
  SceneNode* parent = nullptr;       // not owned
  std::vector<SceneNode*> children;  // not owned; insertion order
  bool manualUpdate = false;         // the parent's walk does not descend into this node

 private:
  void ClearFlags();
  void ClearFlagsBelow();
  void EmptyChildListsBelow();

  // The position of this node's walk over `children` while one runs (null otherwise), so
  // a removal during the walk can keep it on the next child.
  std::size_t* walkIndex_ = nullptr;
};
