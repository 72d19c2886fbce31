// A static model: one mesh read from a .X file and cut into subsets, one per material,
// each drawn with a material record, a texture set and a render-state set from the
// managers. Companion files beside the model steer the subsets (see Model::Load).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/materials/TextureSet.h"
#include "engine/resources/Resource.h"
#include "platform/d3dx9/D3DX9Math.h"

class ID3DXMesh;
class Material;
class Model;
class RenderStateSet;

// What a subset's draw goes through.
class SubsetMesh {
 public:
  virtual ~SubsetMesh() = default;
  virtual void DrawSubset(std::uint32_t index) = 0;
};

// How the reader wants a subset set up: names for the managers.
struct SubsetDescription {
  std::string renderStatesName;
  std::string materialName;
  std::vector<std::string> textureNames;  // stage order
};

class MeshSubset {
 public:
  MeshSubset() = default;
  // Moving hands the references over; the moved-from subset releases nothing.
  MeshSubset(MeshSubset&& other) noexcept;
  MeshSubset& operator=(MeshSubset&&) = delete;
  MeshSubset(const MeshSubset&) = delete;
  MeshSubset& operator=(const MeshSubset&) = delete;
  // Releases, by name, the render-state set, the material and each texture.
  ~MeshSubset();

  // Acquires the material, textures and render states that d names. With
  // useDefaultStates the subset shares "__DEFAULT__" or "__DEFAULT_TRANSPARENT__" (by
  // its opaque test); otherwise the named set is made a private copy of that default.
  // False when the material or the render-state set cannot be had.
  bool Init(Model* model, std::uint32_t i, SubsetDescription& d, bool useDefaultStates);
  // Opaque material and no texture with an alpha channel.
  bool IsOpaque() const;

  std::string name;                        // the model's name and the subset number
  Model* owner = nullptr;                  // not owned
  std::uint32_t index = 0;                 // attribute id
  RenderStateSet* renderStates = nullptr;  // one reference held (render-state manager)
  Material* material = nullptr;            // one reference held (material manager)
  TextureSet textures;                     // one reference held on each (texture manager)
  // The box around the vertices of the faces the subset draws, in the model's space;
  // hasBox false when it draws none or the mesh could not be read.
  bool hasBox = false;
  D3DXVECTOR3 boxMin{0, 0, 0}, boxMax{0, 0, 0};
};

class Model : public Resource, public SubsetMesh {
 public:
  Model() = default;
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;
  ~Model() override;

  void DrawSubset(std::uint32_t index) override;

  // The model reader. path is a Windows-style path to the .X file; its companion files
  // are looked for in the material manager's folder: base + ".MP" (no subsets), base +
  // i + ".srf" (subset i left empty), base + ".ush" (private render states), texture +
  // ".rfx" (one line naming a sphere-mapped reflection texture for stage 1). False when
  // the mesh cannot be read.
  bool Load(const std::string& path, bool optimise);
  // Fills each subset's box from the mesh's faces (vertices: its locked vertex buffer).
  void ComputeSubsetBoxes(const BYTE* vertices);

  D3DXVECTOR3 boundsCentre;
  float boundsRadius = 0.0f;
  std::vector<MeshSubset> subsets;
  ID3DXMesh* mesh = nullptr;  // owned
  std::int32_t refCount = 0;
};
