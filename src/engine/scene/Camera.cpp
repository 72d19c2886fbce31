#include "engine/scene/Camera.h"

#include "app/GraphicsDevice.h"

namespace {

D3DXPLANE Column(const D3DXMATRIX& m, int j) {
  return {m.m[0][j], m.m[1][j], m.m[2][j], m.m[3][j]};
}

D3DXPLANE Add(const D3DXPLANE& p, const D3DXPLANE& q) {
  return {p.a + q.a, p.b + q.b, p.c + q.c, p.d + q.d};
}

D3DXPLANE Sub(const D3DXPLANE& p, const D3DXPLANE& q) {
  return {p.a - q.a, p.b - q.b, p.c - q.c, p.d - q.d};
}

}  // namespace

Camera::Camera() : up(0, 0, 1) {
  position = D3DXVECTOR3(0, -100, 0);
  target.position = D3DXVECTOR3(0, 0, 0);
  target.positionChanged = true;
  D3DXMatrixIdentity(&viewMatrix);
  D3DXMatrixIdentity(&projectionMatrix);
}

void Camera::OnUpdate() {
  // The target's own walk clears its flags, so whether it was moved is read first.
  const bool targetMoved = target.HasMoved();
  TargetedNode::OnUpdate();
  viewDirty = viewDirty || HasMoved() || targetMoved || target.HasMoved();
}

bool Camera::Apply() {
  if (!viewDirty && !projectionDirty) return true;
  IDirect3DDevice9* device = g_graphicsDevice ? g_graphicsDevice->GetDevice() : nullptr;
  if (!device) return false;
  if (viewDirty) {
    const D3DXVECTOR3 eye = WorldPosition();
    const D3DXVECTOR3 at = target.WorldPosition();
    D3DXMatrixLookAtRH(&viewMatrix, &eye, &at, &up);
    if (FAILED(device->SetTransform(D3DTS_VIEW, &viewMatrix))) return false;
    viewDirty = false;
  }
  if (projectionDirty) {
    D3DXMatrixPerspectiveFovRH(&projectionMatrix, fieldOfView, aspect, nearPlane, farPlane);
    if (FAILED(device->SetTransform(D3DTS_PROJECTION, &projectionMatrix))) return false;
    projectionDirty = false;
  }
  D3DXMATRIX m;
  D3DXMatrixMultiply(&m, &viewMatrix, &projectionMatrix);
  const D3DXPLANE c1 = Column(m, 0), c2 = Column(m, 1), c3 = Column(m, 2), c4 = Column(m, 3);
  frustum[kNear] = Add(c3, c4);
  frustum[kFar] = Sub(c4, c3);
  frustum[kLeft] = Add(c1, c4);
  frustum[kRight] = Sub(c4, c1);
  frustum[kTop] = Sub(c4, c2);
  frustum[kBottom] = Add(c2, c4);
  for (D3DXPLANE& p : frustum) D3DXPlaneNormalize(&p, &p);
  return true;
}

bool Camera::IsSphereVisible(const D3DXVECTOR3& centre, float radius) {
  Apply();
  for (const D3DXPLANE& p : frustum)
    if (p.a * centre.x + p.b * centre.y + p.c * centre.z + p.d < -radius) return false;
  return true;
}
