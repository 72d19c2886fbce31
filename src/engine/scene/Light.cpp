#include "engine/scene/Light.h"

#include <cstring>

#include "app/GraphicsDevice.h"

namespace {

IDirect3DDevice9* Device() {
  return g_graphicsDevice ? g_graphicsDevice->GetDevice() : nullptr;
}

}  // namespace

Light::Light() {
  std::memset(&light, 0, sizeof light);
  light.Diffuse = {1, 1, 1, 0};
  light.Position = {position.x, position.y, position.z};
  light.Direction = {0, 0, -1};
  light.Range = 100.0f;
  light.Falloff = 1.0f;
  light.Attenuation0 = 0.0f;
  light.Attenuation1 = 0.5f;
  light.Attenuation2 = 0.0f;
  light.Theta = 0.3926991f;
  light.Phi = 0.5890486f;
}

void Light::Register(std::uint32_t i) {
  index = i;
  if (IDirect3DDevice9* device = Device()) {
    if (registered) device->LightEnable(i, FALSE);
    device->SetLight(i, &light);
  }
  registered = true;
  enabled = false;
}

void Light::Enable() {
  enabled = true;
  if (registered)
    if (IDirect3DDevice9* device = Device()) device->LightEnable(index, TRUE);
}

void Light::Send() {
  if (!registered) return;
  RebuildMatrices();
  target.RebuildMatrices();
  const D3DXVECTOR3 from = WorldPosition();
  const D3DXVECTOR3 to = target.WorldPosition();
  D3DXVECTOR3 direction = to - from;
  D3DXVec3Normalize(&direction, &direction);
  D3DLIGHT9 sent = light;
  sent.Direction = direction;
  sent.Position = from;
  if (IDirect3DDevice9* device = Device()) device->SetLight(index, &sent);
}

void Light::Restore() {
  Send();
  if (enabled) Enable();
}

void Light::OnUpdate() {
  // The target's own walk clears its flags, so whether it was moved is read first.
  const bool targetMoved = target.HasMoved();
  TargetedNode::OnUpdate();
  if (HasMoved() || targetMoved || target.HasMoved()) Send();
}
