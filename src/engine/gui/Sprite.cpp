// Sprite placement: the whole placement is in the batch transform, the quad itself is
// drawn at the origin with its centre point.
#include "engine/gui/Sprite.h"

#include "app/GraphicsDevice.h"
#include "engine/gui/Texture.h"
#include "platform/d3dx9/D3DX9Sprite.h"

bool Sprite::SetTexture(Texture* newTexture) {
  if (!newTexture) return false;
  texture = newTexture;
  width = static_cast<std::int32_t>(newTexture->description.Width);
  height = static_cast<std::int32_t>(newTexture->description.Height);
  return true;
}

bool Sprite::SetSourceRect(const ScreenRect& rect) {
  if (rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0) return false;
  sourceRect = rect;
  return true;
}

void Sprite::SetPosition(float x, float y, float z) {
  position = D3DXVECTOR3(x, y, z);
}

void Sprite::Draw() {
  if (!visible) return;
  ID3DXSprite* batch = g_graphicsDevice ? g_graphicsDevice->GetSprite() : nullptr;
  if (!batch) return;

  D3DXMATRIX s, r, t, m;
  D3DXMatrixScaling(&s, scale.x, scale.y, 0.0f);
  D3DXMatrixRotationZ(&r, angle);
  D3DXMatrixTranslation(&t, position.x, position.y, position.z);
  D3DXMatrixMultiply(&m, &s, &r);
  D3DXMatrixMultiply(&m, &m, &t);
  batch->SetTransform(&m);

  const RECT rect{sourceRect.left, sourceRect.top, sourceRect.right, sourceRect.bottom};
  const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
  batch->Draw(texture ? texture->texture : nullptr, &rect, &centre, &origin,
              static_cast<D3DCOLOR>(colour));
}
