// Animated meshes: a frame hierarchy read from a .X file with rigid or skinned mesh
// containers and an animation controller that the mesh nodes clone. Skinning runs on
// the processor: every draw of a skinned container rewrites its drawable copy from the
// bind-pose mesh and the bones' current matrices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/materials/TextureSet.h"
#include "engine/resources/Resource.h"
#include "platform/d3dx9/D3DX9Anim.h"

class Material;
class RenderStateSet;

// A frame with its matrix in world space, rebuilt for each node right before it draws.
struct MeshFrame : D3DXFRAME {
  D3DXMATRIX combinedMatrix;
};

// A mesh of one frame with what drawing it needs.
struct MeshContainer : D3DXMESHCONTAINER {
  std::vector<Material*> materials;    // one per material; the material manager owns them
  std::vector<TextureSet> textureSets;  // one per material: stage 0's texture, or empty
  ID3DXMesh* originalMesh = nullptr;    // skinned only: the bind pose (reference held)
  std::vector<D3DXMATRIX> boneOffsets;  // skinned only: one per bone
  std::vector<D3DXMATRIX*> boneMatrixPointers;  // one per bone: a frame's combinedMatrix
  D3DXATTRIBUTERANGE* attributeTable = nullptr;  // of the drawable copy; owned
  DWORD numAttributeGroups = 0;
};

// The loader's callbacks: frames and containers as MeshFrame and MeshContainer, the
// materials and textures taken from their managers. No state.
class FrameAllocator : public ID3DXAllocateHierarchy {
 public:
  HRESULT CreateFrame(LPCSTR name, D3DXFRAME** newFrame) override;
  // Refuses anything but plain meshes; a skinned container whose drawable copy cannot
  // be prepared fails too.
  HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                              const D3DXMATERIAL* materials,
                              const D3DXEFFECTINSTANCE* effectInstances, DWORD numMaterials,
                              const DWORD* adjacency, ID3DXSkinInfo* skinInfo,
                              D3DXMESHCONTAINER** newMeshContainer) override;
  HRESULT DestroyFrame(D3DXFRAME* frameToFree) override;
  // The materials and textures it acquired stay in their managers.
  HRESULT DestroyMeshContainer(D3DXMESHCONTAINER* meshContainerToFree) override;
};

// The path of the mesh being loaded, for the generated material names; empty otherwise.
extern std::string currentMeshPath;

// Shared scratch for the bone matrices of every skinned draw: grown to the largest bone
// count loaded so far, never shrunk, freed at engine teardown.
extern D3DXMATRIX* boneScratchMatrices;
extern std::uint32_t boneScratchCapacity;
void FreeBoneScratch();

class AnimatedMesh : public Resource {
 public:
  AnimatedMesh() = default;
  AnimatedMesh(const AnimatedMesh&) = delete;
  AnimatedMesh& operator=(const AnimatedMesh&) = delete;
  ~AnimatedMesh() override;

  // Reads the hierarchy, binds every skinned container's bones to their frames and takes
  // the render-state set. False when the file cannot be read, a container is not a plain
  // mesh, a bone has no frame of its name or skinning cannot be set up; the mesh is then
  // left empty.
  bool Load(const std::string& path);
  // Draws every mesh container in the frames' current combined matrices; the caller has
  // applied renderStates.
  void Draw();
  // Rebuilds combinedMatrix of frame, its children and its later siblings; a null parent
  // matrix means the frame's own matrix is already in world space.
  void UpdateMatrices(MeshFrame* frame, const D3DXMATRIX* parentMatrix);

  MeshFrame* frameRoot = nullptr;                      // owned
  ID3DXAnimationController* animController = nullptr;  // owned; null when the file has no sets
  RenderStateSet* renderStates = nullptr;  // "__DEFAULT__" or "__DEFAULT_TRANSPARENT__"
  D3DXVECTOR3 boundsCentre;
  float boundsRadius = 0.0f;
  bool hasAlphaTexture = false;
  std::int32_t refCount = 0;
};
