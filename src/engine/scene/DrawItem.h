// One subset of one drawable node as the render queue sees it: where it is, what it is
// drawn with, and how to draw it. Model nodes build one per subset of their model.
#pragma once

#include "platform/d3dx9/D3DX9Math.h"

class DrawListener;
class Material;
class MeshSubset;
class RenderStateSet;
class TextureSet;

// Anything the queue can draw after setting the world transform and the states.
class QueuedDraw {
 public:
  virtual ~QueuedDraw() = default;
  virtual void Draw() const = 0;
};

class DrawItem : public QueuedDraw {
 public:
  // Draws the subset through its model.
  void Draw() const override;

  const D3DXMATRIX* worldMatrix = nullptr;  // the owning node's worldMatrix
  RenderStateSet* renderStates = nullptr;   // not owned (render-state manager)
  Material* material = nullptr;             // not owned (material manager)
  const TextureSet* textures = nullptr;     // the subset's own set
  bool opaque = true;                       // the subset's test when the item was made
  DrawListener* drawListener = nullptr;     // not owned
  const MeshSubset* subset = nullptr;       // not owned (the model owns it)
};
