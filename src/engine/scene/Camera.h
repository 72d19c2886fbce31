// The camera: eye at the node's world position looking at its target's, right-handed
// with Z up. It owns the view and projection transforms it sends to the device and
// the six frustum planes that the update walk culls against.
#pragma once

#include "engine/scene/TargetedNode.h"

class Camera : public TargetedNode {
 public:
  Camera();

  // Brings the target up to date and marks the view dirty when the eye or the target
  // may have moved.
  void OnUpdate() override;
  // Sends whatever is dirty to the device and rebuilds the frustum. False when a
  // transform could not be sent (or there is no device); its flag then stays set.
  virtual bool Apply();

  // Applies first (result ignored), then tests the planes near, far, left, right, top,
  // bottom; outside as soon as the centre lies farther than radius behind one.
  bool IsSphereVisible(const D3DXVECTOR3& centre, float radius);
  void SetAspect(float a) {
    aspect = a;
    projectionDirty = true;
  }

  enum Plane { kNear = 0, kFar, kLeft, kRight, kTop, kBottom };

  D3DXVECTOR3 up;
  D3DXMATRIX viewMatrix;
  bool viewDirty = true;  // set again by the game after a device reset
  float fieldOfView = 0.7853982f;
  float aspect = 1.0f;
  float nearPlane = 100.0f;
  float farPlane = 500000.0f;
  D3DXMATRIX projectionMatrix;
  bool projectionDirty = true;  // set again by the game after a device reset
  D3DXPLANE frustum[6] = {};
};
