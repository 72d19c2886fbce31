// Feeds arbitrary bytes to the .X reader and the mesh loader on the headless device:
// the parser, every standard-template reader, the merge, the optimiser and drawing must
// refuse what they cannot use without crashing, hanging or allocating by a corrupt count.
#include <cstddef>
#include <cstdint>

#include "FuzzDevice.h"
#include "platform/d3dx9/D3DX9Mesh.h"
#include "platform/d3dx9/XFile.h"

namespace {


// Runs every typed reader over every object, as the hierarchy loader will.
void ReadAll(const platform::d3dx9::XObject& object, int depth) {
  using namespace platform::d3dx9;
  if (depth > XFile::kMaxDepth + 1) __builtin_trap();
  XMeshData mesh;
  XMaterialData material;
  XSkinWeightsData weights;
  XAnimationKeyData key;
  XAnimationSetData set;
  D3DXMATRIX m;
  DWORD ticks;
  ReadMesh(object, &mesh);
  ReadMaterial(object, &material);
  ReadSkinWeights(object, &weights);
  ReadAnimationKey(object, &key);
  ReadAnimationSet(object, &set);
  ReadFrameTransformMatrix(object, &m);
  ReadAnimTicksPerSecond(object, &ticks);
  for (const XChild& child : object.children)
    if (!child.isReference && child.object) ReadAll(*child.object, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1u << 20) return 0;
  {
    platform::d3dx9::XFile file;
    if (file.Parse(data, size)) {
      for (const auto& object : file.Objects()) ReadAll(*object, 0);
    } else if (!file.Objects().empty() || file.Error().empty()) {
      __builtin_trap();
    }
  }

  ID3DXMesh* mesh = nullptr;
  ID3DXBuffer* adjacency = nullptr;
  ID3DXBuffer* materials = nullptr;
  DWORD count = 0;
  const HRESULT hr =
      D3DXLoadMeshFromXInMemory(data, static_cast<DWORD>(size), D3DXMESH_MANAGED, FuzzDevice(),
                                &adjacency, &materials, nullptr, &count, &mesh);
  if (FAILED(hr)) {
    if (mesh || adjacency || materials) __builtin_trap();
    return 0;
  }
  const DWORD faces = mesh->GetNumFaces();
  const DWORD vertices = mesh->GetNumVertices();
  DWORD* attributes = nullptr;
  mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes);
  for (DWORD f = 0; f < faces; ++f)
    if (attributes[f] >= count) __builtin_trap();
  mesh->UnlockAttributeBuffer();
  const auto* adj = static_cast<const DWORD*>(adjacency->GetBufferPointer());
  for (DWORD i = 0; i < faces * 3; ++i)
    if (adj[i] != D3DX_NO_NEIGHBOUR && adj[i] >= faces) __builtin_trap();
  for (DWORD i = 0; i < count; ++i) mesh->DrawSubset(i);

  void* vb = nullptr;
  if (SUCCEEDED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &vb))) {
    D3DXVECTOR3 centre;
    float radius;
    if (FAILED(D3DXComputeBoundingSphere(static_cast<const D3DXVECTOR3*>(vb), vertices,
                                         mesh->GetNumBytesPerVertex(), &centre, &radius)))
      __builtin_trap();
    mesh->UnlockVertexBuffer();
  }
  if (FAILED(mesh->OptimizeInplace(
          D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
          static_cast<const DWORD*>(adjacency->GetBufferPointer()), nullptr, nullptr, nullptr)))
    __builtin_trap();
  for (DWORD i = 0; i < count; ++i) mesh->DrawSubset(i);
  ID3DXMesh* clone = nullptr;
  if (SUCCEEDED(mesh->CloneMeshFVF(D3DXMESH_MANAGED | D3DXMESH_32BIT, D3DFVF_XYZ | D3DFVF_TEX2,
                                   nullptr, &clone)))
    clone->Release();
  mesh->Release();
  adjacency->Release();
  materials->Release();
  return 0;
}
