#include "engine/materials/Material.h"

#include <cstdio>
#include <cstring>

#include "app/GraphicsDevice.h"
#include "platform/FileSystem.h"

static_assert(sizeof(D3DMATERIAL9) == Material::kFileSize, "material files are raw D3DMATERIAL9");

Material::Material() {
  material.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
  material.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
  material.Specular = {0.5f, 0.5f, 0.5f, 1.0f};
  material.Emissive = {0.0f, 0.0f, 0.0f, 0.0f};
  material.Power = 0.0f;
}

void Material::Assign(const D3DMATERIAL9& source) {
  material = source;
  if (material.Diffuse.a != 1.0f || material.Ambient.a != 1.0f || material.Specular.a != 1.0f ||
      material.Emissive.a != 1.0f)
    opaque = false;
}

void Material::Apply() const {
  if (g_graphicsDevice && g_graphicsDevice->GetDevice())
    g_graphicsDevice->GetDevice()->SetMaterial(&material);
}

void Material::LoadFromMemory(const void* data, std::size_t size) {
  // Only whole 4-byte fields are taken: a float cut in the middle would be garbage.
  const std::size_t whole = (size < kFileSize ? size : kFileSize) / 4 * 4;
  std::memcpy(&material, data, whole);
}

bool Material::Load(const std::string& path) {
  std::FILE* f = platform::OpenFile(path, "rb");
  if (!f) return false;
  unsigned char bytes[kFileSize];
  const std::size_t got = std::fread(bytes, 1, kFileSize, f);
  std::fclose(f);
  LoadFromMemory(bytes, got);
  return true;
}
