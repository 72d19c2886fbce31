// The textures a subset draws with, one per texture stage (stage 0 the surface, stage 1
// a reflection). Its key, the concatenated texture names, lets the render queue group
// subsets that use the same textures.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class Texture;

// Whether a texture has an alpha channel: its level-0 format is A8R8G8B8, A1R5G5B5 or
// A4R4G4B4. A texture without a device texture has none.
bool TextureHasAlpha(const Texture* texture);

class TextureSet {
 public:
  std::size_t Size() const { return textures.size(); }
  void Resize(std::size_t count) {
    textures.resize(count, nullptr);
    key.clear();
  }
  Texture* Get(std::size_t stage) const {
    return stage < textures.size() ? textures[stage] : nullptr;
  }
  // Stores a texture at a stage, growing the set when needed.
  void Set(std::size_t stage, Texture* texture);

  // The textures' names in stage order, computed on first use after a change.
  const std::string& Key() const;

  // Sets each stage's device texture in order; an empty set clears stage 0. Stages
  // above the set's size are not touched.
  void Apply() const;
  // Same texture at every stage of this set; a stage that other lacks is a difference.
  bool Equals(const TextureSet* other) const;
  bool HasNoAlpha() const;

  std::vector<Texture*> textures;  // not owned: the texture manager owns them

 private:
  mutable std::string key;
};
