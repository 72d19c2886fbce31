#include "engine/scene/AnimatedMesh.h"

#include <cstring>
#include <new>

#include "app/GraphicsDevice.h"
#include "engine/materials/Material.h"
#include "engine/materials/MaterialManager.h"
#include "engine/resources/ResourceManagers.h"

std::string currentMeshPath;
D3DXMATRIX* boneScratchMatrices = nullptr;
std::uint32_t boneScratchCapacity = 0;

void FreeBoneScratch() {
  delete[] boneScratchMatrices;
  boneScratchMatrices = nullptr;
  boneScratchCapacity = 0;
}

namespace {

// The number the next material of the mesh being loaded gets in its generated name.
// Counting through the whole file, rather than within each container, keeps two
// containers from writing their colours into one shared record.
DWORD nextMaterialNumber = 0;

IDirect3DDevice9* Device() {
  return g_graphicsDevice ? g_graphicsDevice->GetDevice() : nullptr;
}

char* CopyName(LPCSTR name) {
  const char* source = name ? name : "UNNAMED";
  const std::size_t length = std::strlen(source);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy) std::memcpy(copy, source, length + 1);
  return copy;
}

template <typename T>
void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// The drawable copy of a skinned container, rewritten by every draw, and its attribute
// table; the shared bone scratch grows to the container's bone count.
bool SetUpSkinning(MeshContainer* c) {
  IDirect3DDevice9* device = nullptr;
  if (FAILED(c->originalMesh->GetDevice(&device))) return false;
  Release(c->MeshData.pMesh);
  const HRESULT hr = c->originalMesh->CloneMeshFVF(D3DXMESH_MANAGED, c->originalMesh->GetFVF(),
                                                   device, &c->MeshData.pMesh);
  device->Release();
  if (FAILED(hr)) return false;
  DWORD count = 0;
  if (FAILED(c->MeshData.pMesh->GetAttributeTable(nullptr, &count))) return false;
  delete[] c->attributeTable;
  c->attributeTable = new (std::nothrow) D3DXATTRIBUTERANGE[count > 0 ? count : 1];
  if (!c->attributeTable) return false;
  if (FAILED(c->MeshData.pMesh->GetAttributeTable(c->attributeTable, &count))) return false;
  c->numAttributeGroups = count;
  const DWORD bones = c->pSkinInfo->GetNumBones();
  if (boneScratchCapacity < bones) {
    boneScratchCapacity = bones;
    delete[] boneScratchMatrices;
    boneScratchMatrices = new (std::nothrow) D3DXMATRIX[bones];
  }
  return true;
}

void ApplyMaterial(const MeshContainer* c, DWORD i) {
  if (i < c->materials.size() && c->materials[i]) c->materials[i]->Apply();
  if (i < c->textureSets.size()) c->textureSets[i].Apply();
}

void DrawContainer(const MeshFrame* frame, MeshContainer* c) {
  IDirect3DDevice9* device = Device();
  ID3DXMesh* mesh = c->MeshData.pMesh;
  if (!device || !mesh) return;
  if (!c->pSkinInfo) {
    device->SetTransform(D3DTS_WORLD, &frame->combinedMatrix);
    for (DWORD i = 0; i < c->NumMaterials; ++i) {
      ApplyMaterial(c, i);
      mesh->DrawSubset(i);
    }
    return;
  }
  const DWORD bones = static_cast<DWORD>(c->boneMatrixPointers.size());
  // Unbound bones or a scratch that failed to grow: the pose cannot be built.
  if (bones != c->pSkinInfo->GetNumBones() || !boneScratchMatrices ||
      boneScratchCapacity < bones)
    return;
  for (DWORD i = 0; i < bones; ++i)
    D3DXMatrixMultiply(&boneScratchMatrices[i], &c->boneOffsets[i], c->boneMatrixPointers[i]);
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  device->SetTransform(D3DTS_WORLD, &identity);
  void* source = nullptr;
  void* target = nullptr;
  if (SUCCEEDED(c->originalMesh->LockVertexBuffer(D3DLOCK_READONLY, &source))) {
    if (SUCCEEDED(mesh->LockVertexBuffer(0, &target))) {
      c->pSkinInfo->UpdateSkinnedMesh(boneScratchMatrices, nullptr, source, target);
      mesh->UnlockVertexBuffer();
    }
    c->originalMesh->UnlockVertexBuffer();
  }
  for (DWORD i = 0; i < c->numAttributeGroups; ++i) {
    const DWORD id = c->attributeTable[i].AttribId;
    ApplyMaterial(c, id);
    mesh->DrawSubset(id);
  }
}

void DrawFrame(MeshFrame* frame) {
  for (; frame; frame = static_cast<MeshFrame*>(frame->pFrameSibling)) {
    for (auto* c = static_cast<MeshContainer*>(frame->pMeshContainer); c;
         c = static_cast<MeshContainer*>(c->pNextMeshContainer))
      DrawContainer(frame, c);
    DrawFrame(static_cast<MeshFrame*>(frame->pFrameFirstChild));
  }
}

// Points every skinned container's bones at the combined matrices of their frames. Every
// container of a frame's chain is bound, not only the first: an unbound skinned container
// would be posed from whatever the shared scratch held.
HRESULT BindBones(MeshFrame* root, MeshFrame* frame) {
  for (; frame; frame = static_cast<MeshFrame*>(frame->pFrameSibling)) {
    for (auto* c = static_cast<MeshContainer*>(frame->pMeshContainer); c;
         c = static_cast<MeshContainer*>(c->pNextMeshContainer)) {
      if (!c->pSkinInfo) continue;
      const DWORD bones = c->pSkinInfo->GetNumBones();
      c->boneMatrixPointers.assign(bones, nullptr);
      for (DWORD i = 0; i < bones; ++i) {
        auto* bone = static_cast<MeshFrame*>(D3DXFrameFind(root, c->pSkinInfo->GetBoneName(i)));
        if (!bone) return E_FAIL;
        c->boneMatrixPointers[i] = &bone->combinedMatrix;
      }
    }
    const HRESULT hr = BindBones(root, static_cast<MeshFrame*>(frame->pFrameFirstChild));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

bool AnyAlphaTexture(const MeshFrame* frame) {
  for (; frame; frame = static_cast<const MeshFrame*>(frame->pFrameSibling)) {
    for (auto* c = static_cast<const MeshContainer*>(frame->pMeshContainer); c;
         c = static_cast<const MeshContainer*>(c->pNextMeshContainer)) {
      for (const TextureSet& set : c->textureSets)
        for (const Texture* t : set.textures)
          if (TextureHasAlpha(t)) return true;
    }
    if (AnyAlphaTexture(static_cast<const MeshFrame*>(frame->pFrameFirstChild))) return true;
  }
  return false;
}

FrameAllocator g_frameAllocator;

}  // namespace

HRESULT FrameAllocator::CreateFrame(LPCSTR name, D3DXFRAME** newFrame) {
  if (!newFrame) return E_INVALIDARG;
  *newFrame = nullptr;
  auto* frame = new (std::nothrow) MeshFrame();
  if (!frame) return E_OUTOFMEMORY;
  frame->Name = CopyName(name);
  if (!frame->Name) {
    delete frame;
    return E_OUTOFMEMORY;
  }
  D3DXMatrixIdentity(&frame->TransformationMatrix);
  D3DXMatrixIdentity(&frame->combinedMatrix);
  *newFrame = frame;
  return S_OK;
}

HRESULT FrameAllocator::CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                            const D3DXMATERIAL* fileMaterials,
                                            const D3DXEFFECTINSTANCE*, DWORD numMaterials,
                                            const DWORD* adjacency, ID3DXSkinInfo* skinInfo,
                                            D3DXMESHCONTAINER** newMeshContainer) {
  if (!newMeshContainer) return E_INVALIDARG;
  *newMeshContainer = nullptr;
  if (!meshData || meshData->Type != D3DXMESHTYPE_MESH || !meshData->pMesh) return E_FAIL;
  if (numMaterials > 0 && !fileMaterials) return E_FAIL;
  auto* c = new (std::nothrow) MeshContainer();
  if (!c) return E_OUTOFMEMORY;
  ID3DXMesh* mesh = meshData->pMesh;
  c->Name = CopyName(name);
  c->MeshData.Type = D3DXMESHTYPE_MESH;
  c->MeshData.pMesh = mesh;
  mesh->AddRef();
  c->NumMaterials = numMaterials > 0 ? numMaterials : 1;
  const DWORD adjacencyCount = mesh->GetNumFaces() * 3;
  c->pAdjacency = new (std::nothrow) DWORD[adjacencyCount];
  if (!c->Name || !c->pAdjacency) {
    DestroyMeshContainer(c);
    return E_OUTOFMEMORY;
  }
  if (adjacency) {
    std::memcpy(c->pAdjacency, adjacency, adjacencyCount * sizeof(DWORD));
  } else {
    std::memset(c->pAdjacency, 0xFF, adjacencyCount * sizeof(DWORD));
  }
  c->materials.assign(c->NumMaterials, nullptr);
  c->textureSets.resize(c->NumMaterials);
  if (numMaterials == 0) {
    if (g_materialManager) c->materials[0] = g_materialManager->Acquire("__DEFAULT__");
  } else {
    for (DWORD i = 0; i < numMaterials; ++i) {
      if (g_materialManager) {
        Material* m = g_materialManager->Acquire("AUTO_" + currentMeshPath + "_" +
                                                 std::to_string(nextMaterialNumber + i));
        if (m) m->Assign(fileMaterials[i].MatD3D);
        c->materials[i] = m;
      }
      if (fileMaterials[i].pTextureFilename && g_textureManager)
        c->textureSets[i].Set(0, g_textureManager->Acquire(fileMaterials[i].pTextureFilename));
    }
  }
  if (skinInfo) {
    c->pSkinInfo = skinInfo;
    skinInfo->AddRef();
    c->originalMesh = mesh;
    mesh->AddRef();
    const DWORD bones = skinInfo->GetNumBones();
    c->boneOffsets.resize(bones);
    for (DWORD i = 0; i < bones; ++i) c->boneOffsets[i] = *skinInfo->GetBoneOffsetMatrix(i);
    if (!SetUpSkinning(c)) {
      DestroyMeshContainer(c);
      return E_FAIL;
    }
  }
  nextMaterialNumber += numMaterials;
  *newMeshContainer = c;
  return S_OK;
}

HRESULT FrameAllocator::DestroyFrame(D3DXFRAME* frameToFree) {
  auto* frame = static_cast<MeshFrame*>(frameToFree);
  if (!frame) return S_OK;
  delete[] frame->Name;
  delete frame;
  return S_OK;
}

HRESULT FrameAllocator::DestroyMeshContainer(D3DXMESHCONTAINER* containerToFree) {
  auto* c = static_cast<MeshContainer*>(containerToFree);
  if (!c) return S_OK;
  delete[] c->Name;
  delete[] c->pAdjacency;
  delete[] c->attributeTable;
  Release(c->MeshData.pMesh);
  Release(c->pSkinInfo);
  Release(c->originalMesh);
  delete c;
  return S_OK;
}

AnimatedMesh::~AnimatedMesh() {
  if (frameRoot) D3DXFrameDestroy(frameRoot, &g_frameAllocator);
  frameRoot = nullptr;
  Release(animController);
}

bool AnimatedMesh::Load(const std::string& path) {
  currentMeshPath = path;
  nextMaterialNumber = 0;
  IDirect3DDevice9* device = Device();
  D3DXFRAME* root = nullptr;
  HRESULT hr = D3DXLoadMeshHierarchyFromX(path.c_str(), D3DXMESH_MANAGED, device,
                                          &g_frameAllocator, nullptr, &root, &animController);
  frameRoot = static_cast<MeshFrame*>(root);
  if (SUCCEEDED(hr)) hr = BindBones(frameRoot, frameRoot);
  if (FAILED(hr)) {
    // A failed load leaves an empty mesh: nothing of the file is kept.
    if (frameRoot) D3DXFrameDestroy(frameRoot, &g_frameAllocator);
    frameRoot = nullptr;
    Release(animController);
    currentMeshPath.clear();
    return false;
  }
  D3DXFrameCalculateBoundingSphere(frameRoot, &boundsCentre, &boundsRadius);
  hasAlphaTexture = AnyAlphaTexture(frameRoot);
  if (g_renderStateManager)
    renderStates = g_renderStateManager->Acquire(
        hasAlphaTexture ? RenderStateManager::kTransparentDefaultName : "__DEFAULT__");
  currentMeshPath.clear();
  return true;
}

void AnimatedMesh::Draw() { DrawFrame(frameRoot); }

void AnimatedMesh::UpdateMatrices(MeshFrame* frame, const D3DXMATRIX* parentMatrix) {
  for (; frame; frame = static_cast<MeshFrame*>(frame->pFrameSibling)) {
    if (parentMatrix) {
      D3DXMatrixMultiply(&frame->combinedMatrix, &frame->TransformationMatrix, parentMatrix);
    } else {
      frame->combinedMatrix = frame->TransformationMatrix;
    }
    UpdateMatrices(static_cast<MeshFrame*>(frame->pFrameFirstChild), &frame->combinedMatrix);
  }
}
