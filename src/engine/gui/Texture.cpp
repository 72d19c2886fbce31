// Texture loading on the graphics device, with the single-level retry.
#include "engine/gui/Texture.h"

#include "app/GraphicsDevice.h"
#include "platform/d3dx9/D3DX9Texture.h"

Texture::~Texture() {
  if (texture) texture->Release();
}

bool Texture::LoadFromFile(const std::string& path, DWORD filter, UINT mipLevels, DWORD mipFilter,
                           D3DCOLOR colourKey) {
  IDirect3DDevice9* device = g_graphicsDevice ? g_graphicsDevice->GetDevice() : nullptr;
  IDirect3DTexture9* created = nullptr;
  HRESULT hr = D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                            mipLevels, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, filter,
                                            mipFilter, colourKey, nullptr, nullptr, &created);
  if (FAILED(hr) && mipLevels != 1)
    hr = D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                      D3DFMT_UNKNOWN, D3DPOOL_MANAGED, filter, mipFilter, colourKey,
                                      nullptr, nullptr, &created);
  if (FAILED(hr)) return false;
  // A reload replaces the earlier device texture instead of leaking it.
  if (texture) texture->Release();
  texture = created;
  texture->GetLevelDesc(0, &description);
  return true;
}
