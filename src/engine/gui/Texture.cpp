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
  source = Source{path, filter, mipLevels, mipFilter, colourKey};
  unloaded = false;
  return true;
}

void Texture::Unload() {
  // A device texture that another entry shares would stay in memory all the same, and
  // reading it again would make a second copy.
  if (!texture || source.path.empty() || shared) return;
  texture->Release();
  texture = nullptr;
  unloaded = true;
}

bool Texture::Restore() {
  if (!unloaded) return texture != nullptr;
  const Source from = source;  // LoadFromFile rewrites it
  return LoadFromFile(from.path, from.filter, from.mipLevels, from.mipFilter, from.colourKey);
}
