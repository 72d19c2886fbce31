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

  // While nothing draws the picture, its device texture can be given back: the texture
  // keeps its name, its description and the sprites that point at it, and draws nothing
  // until Restore reads the same file again with the same settings. A texture that was
  // never read from a file (or shares its device texture with another entry) is kept.
  // Restore is false, and the texture stays empty, when the file can no longer be read.
  void Unload();
  bool Restore();
  bool IsUnloaded() const { return unloaded; }

  IDirect3DTexture9* GetTexture() const { return texture; }
  const D3DSURFACE_DESC& GetDescription() const { return description; }

  IDirect3DTexture9* texture = nullptr;  // one reference owned; null in an empty texture
  std::string file;                      // the file it was read from (upper case), if any
  D3DSURFACE_DESC description{};         // level 0, filled after loading
  std::int32_t refCount = 0;

  // How the device texture was made, so that it can be made again.
  struct Source {
    std::string path;  // empty: not read from a file
    DWORD filter = 0;
    UINT mipLevels = 0;
    DWORD mipFilter = 0;
    D3DCOLOR colourKey = 0;
  };
  Source source;
  bool shared = false;  // another entry holds the same device texture

 private:
  bool unloaded = false;
};
