// Bounding volumes for the visibility test of drawable nodes: a sphere given by a
// centre offset and a radius, in the node's own space before its scale.
#pragma once

#include "platform/d3dx9/D3DX9Math.h"

// What every bounding volume answers.
class BoundingVolume {
 public:
  virtual ~BoundingVolume() = default;
  virtual bool Contains(const D3DXVECTOR3& point) const = 0;
};

class BoundingSphere : public BoundingVolume {
 public:
  // A point on the surface counts as inside.
  bool Contains(const D3DXVECTOR3& point) const override {
    const D3DXVECTOR3 d = point - centre;
    return radius * radius >= D3DXVec3LengthSq(&d);
  }

  D3DXVECTOR3 centre;
  float radius = 0.0f;
};
