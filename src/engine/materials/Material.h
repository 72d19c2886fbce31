// A material record: the Direct3D material a subset is lit with, and whether its
// alphas make the subset see-through. Held by the material manager; models and animated
// meshes fill "AUTO_" records from their files, other names come from material files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/resources/Resource.h"
#include "platform/d3d9/D3D9Types.h"

class Material : public Resource {
 public:
  // Diffuse, ambient and specular mid grey, emissive black, power 0 (unlit highlights).
  Material();

  // Copies the material; an alpha other than 1 in any of its four colours makes the
  // record see-through for good (never set back to opaque).
  void Assign(const D3DMATERIAL9& source);
  void Apply() const;

  // Reads a material file: a raw little-endian D3DMATERIAL9 of 68 bytes. False when the
  // file cannot be opened. A short file sets the whole fields it holds and leaves the
  // rest as they were. The opaque flag is not recomputed.
  bool Load(const std::string& path);
  // The same from bytes in memory; never fails.
  void LoadFromMemory(const void* data, std::size_t size);

  static constexpr std::size_t kFileSize = 68;

  D3DMATERIAL9 material;
  bool opaque = true;
  std::int32_t refCount = 0;
};
