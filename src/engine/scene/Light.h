// A directional Direct3D light placed by two nodes: the light node and the target it
// points at. It is sent to the device when registered, whenever either node moves,
// and again after a device reset.
#pragma once

#include <cstdint>

#include "engine/scene/TargetedNode.h"
#include "platform/d3d9/D3D9Types.h"

class Light : public TargetedNode {
 public:
  Light();

  // Brings the target up to date and sends the light when either node may have moved.
  void OnUpdate() override;
  // Called by the scene after each update walk; nothing to do for this kind of light.
  virtual void AfterSceneUpdate() {}

  // Takes device slot i; the light starts disabled there.
  void Register(std::uint32_t i);
  void Enable();
  // Sends the light with the direction from its world position to the target's (a zero
  // vector when they coincide).
  void Send();
  // Sends again and re-enables after a device reset.
  void Restore();

  D3DLIGHT9 light;  // as sent, apart from position and direction
  std::uint32_t index = 0;
  bool registered = false;
  bool enabled = false;
};
