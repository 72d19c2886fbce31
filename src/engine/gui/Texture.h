// An image on the device: a resource of the texture manager, loaded from a PNG or JPEG
// file. Sprites cut rectangles out of it; the mesh and model readers use its device
// texture.
#pragma once

#include <cstdint>
#include <string>

#include "engine/resources/Resource.h"
#include "platform/d3d9/D3D9.h"

class Texture : public Resource {
 public:
  Texture() = default;
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;
  ~Texture() override;

  // Creates the device texture from an image file on the graphics device. When a mip
  // chain cannot be made, retries once with a single level. False leaves the texture empty.
  bool LoadFromFile(const std::string& path, DWORD filter, UINT mipLevels, DWORD mipFilter,
                    D3DCOLOR colourKey);

  IDirect3DTexture9* GetTexture() const { return texture; }
  const D3DSURFACE_DESC& GetDescription() const { return description; }

  IDirect3DTexture9* texture = nullptr;  // one reference owned; null in an empty texture
  std::string file;                      // the file it was read from (upper case), if any
  D3DSURFACE_DESC description{};         // level 0, filled after loading
  std::int32_t refCount = 0;
};
