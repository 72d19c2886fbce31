#include "engine/materials/TextureSet.h"

#include "app/GraphicsDevice.h"
#include "engine/gui/Texture.h"

bool TextureHasAlpha(const Texture* texture) {
  if (!texture || !texture->texture) return false;
  D3DSURFACE_DESC desc{};
  if (FAILED(texture->texture->GetLevelDesc(0, &desc))) return false;
  return desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_A1R5G5B5 ||
         desc.Format == D3DFMT_A4R4G4B4;
}

void TextureSet::Set(std::size_t stage, Texture* texture) {
  if (stage >= textures.size()) textures.resize(stage + 1, nullptr);
  textures[stage] = texture;
  key.clear();
}

const std::string& TextureSet::Key() const {
  if (key.empty()) {
    for (const Texture* t : textures)
      if (t) key += t->name;
  }
  return key;
}

void TextureSet::Apply() const {
  IDirect3DDevice9* device = g_graphicsDevice ? g_graphicsDevice->GetDevice() : nullptr;
  if (!device) return;
  if (textures.empty()) {
    device->SetTexture(0, nullptr);
    return;
  }
  for (std::size_t i = 0; i < textures.size(); ++i)
    device->SetTexture(static_cast<DWORD>(i), textures[i] ? textures[i]->texture : nullptr);
}

bool TextureSet::Equals(const TextureSet* other) const {
  if (!other) return false;
  for (std::size_t i = 0; i < textures.size(); ++i)
    if (i >= other->textures.size() || other->textures[i] != textures[i]) return false;
  return true;
}

bool TextureSet::HasNoAlpha() const {
  for (const Texture* t : textures)
    if (TextureHasAlpha(t)) return false;
  return true;
}
