// The one ID3DXMesh implementation, shared by the mesh functions, the optimiser and
// the .X loaders. Vertices and indices live in device buffers; attributes in memory.
#pragma once

#include <string>
#include <vector>

#include "platform/d3dx9/D3DX9Mesh.h"
#include "platform/d3dx9/XFile.h"

namespace platform::d3dx9 {

// Byte offsets of each component of one vertex of a flexible vertex format.
struct FVFLayout {
  UINT stride = 0;
  UINT positionSize = 0;  // bytes of position and blend data
  int normal = -1;
  int pointSize = -1;
  int diffuse = -1;
  int specular = -1;
  UINT texCount = 0;
  int texOffset[8] = {};
  UINT texSize[8] = {};
};

// False for a format without a known position type.
bool GetFVFLayout(DWORD fvf, FVFLayout* layout);

// Three neighbours per triangle (D3DX_NO_NEIGHBOUR where none) from triangle indices
// and a point rep per vertex; every index and rep must be below `vertices`.
void AdjacencyFromReps(const DWORD* indices, std::size_t faces, DWORD vertices, const DWORD* reps,
                       DWORD* adjacency);

class Mesh final : public RefCounted<ID3DXMesh> {
 public:
  static HRESULT Create(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                        IDirect3DDevice9* device, Mesh** out);

  HRESULT DrawSubset(DWORD attribId) override;
  DWORD GetNumFaces() override { return faces_; }
  DWORD GetNumVertices() override { return vertices_; }
  DWORD GetFVF() override { return fvf_; }
  DWORD GetNumBytesPerVertex() override { return stride_; }
  DWORD GetOptions() override { return options_; }
  HRESULT GetDevice(IDirect3DDevice9** device) override;
  HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device,
                       ID3DXMesh** clone) override;
  HRESULT GetVertexBuffer(IDirect3DVertexBuffer9** buffer) override;
  HRESULT GetIndexBuffer(IDirect3DIndexBuffer9** buffer) override;
  HRESULT LockVertexBuffer(DWORD flags, LPVOID* data) override;
  HRESULT UnlockVertexBuffer() override;
  HRESULT LockIndexBuffer(DWORD flags, LPVOID* data) override;
  HRESULT UnlockIndexBuffer() override;
  HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override;
  HRESULT ConvertPointRepsToAdjacency(const DWORD* pointReps, DWORD* adjacency) override;
  HRESULT GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) override;
  HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) override;
  HRESULT UnlockAttributeBuffer() override;
  HRESULT SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) override;
  HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                          DWORD* faceRemap, ID3DXBuffer** vertexRemap) override;

  // Whole-buffer copies for the loaders and the optimiser (not for the frame path).
  bool ReadIndices(std::vector<DWORD>* out);
  bool WriteIndices(const std::vector<DWORD>& indices);
  bool Is32Bit() const { return (options_ & D3DXMESH_32BIT) != 0; }
  std::vector<DWORD>& Attributes() { return attributes_; }

 private:
  Mesh() = default;
  ~Mesh() override;

  IDirect3DDevice9* device_ = nullptr;              // reference held
  IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;  // owned reference
  IDirect3DIndexBuffer9* indexBuffer_ = nullptr;    // owned reference
  std::vector<DWORD> attributes_;                   // one per face
  std::vector<D3DXATTRIBUTERANGE> table_;           // empty: no attribute table
  DWORD faces_ = 0;
  DWORD vertices_ = 0;
  DWORD options_ = 0;
  DWORD fvf_ = 0;
  DWORD stride_ = 0;
  bool attributesLocked_ = false;
};

// Gathers the meshes of a .X file into one set of vertices, triangles and materials
// and turns it into an ID3DXMesh; the static loader feeds it every mesh of a file,
// a hierarchy loader one mesh at a time.
class MeshBuilder {
 public:
  // Adds a mesh with its positions (and normals) transformed; null means untransformed.
  void Append(const XMeshData& mesh, const D3DXMATRIX* transform);
  DWORD NumFaces() const { return static_cast<DWORD>(attributes_.size()); }
  // Per built vertex, the appended vertex it was split from (vertex order survives Build).
  const std::vector<DWORD>& PointReps() const { return pointReps_; }
  // Creates the mesh, attribute-sorted with its table, and the optional outputs. Once
  // per builder: the vertex arrays are let go into the mesh's buffer.
  HRESULT Build(DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                ID3DXBuffer** materials, ID3DXBuffer** effectInstances, DWORD* numMaterials,
                ID3DXMesh** mesh);

 private:
  struct Material {
    D3DMATERIAL9 material;
    std::string texture;
    bool hasTexture;
    bool standIn;  // given to a mesh without a material list, not read from the file
  };
  bool anyNormals_ = false;
  bool anyColours_ = false;
  bool anyTexCoords_ = false;
  std::vector<D3DXVECTOR3> positions_;
  std::vector<D3DXVECTOR3> normals_;
  std::vector<D3DCOLOR> colours_;
  std::vector<D3DXVECTOR2> texCoords_;
  std::vector<DWORD> pointReps_;  // per vertex: the file vertex it was split from
  std::vector<DWORD> indices_;    // three per triangle
  std::vector<DWORD> attributes_;
  std::vector<Material> materials_;
};

}  // namespace platform::d3dx9
