// ID3DXMesh and the D3DX mesh functions: meshes of indexed triangles with a flexible
// vertex format, an attribute (subset) per face and an attribute table; the .X reader
// that merges every mesh of a file into one; bounding spheres and optimisation.
#pragma once

#include "platform/d3d9/D3D9.h"
#include "platform/d3dx9/D3DX9Math.h"

// Mesh creation options (D3DXMESH).
constexpr DWORD D3DXMESH_32BIT = 0x001;
constexpr DWORD D3DXMESH_DONOTCLIP = 0x002;
constexpr DWORD D3DXMESH_POINTS = 0x004;
constexpr DWORD D3DXMESH_RTPATCHES = 0x008;
constexpr DWORD D3DXMESH_NPATCHES = 0x4000;
constexpr DWORD D3DXMESH_VB_SYSTEMMEM = 0x010;
constexpr DWORD D3DXMESH_VB_MANAGED = 0x020;
constexpr DWORD D3DXMESH_VB_WRITEONLY = 0x040;
constexpr DWORD D3DXMESH_VB_DYNAMIC = 0x080;
constexpr DWORD D3DXMESH_VB_SOFTWAREPROCESSING = 0x8000;
constexpr DWORD D3DXMESH_IB_SYSTEMMEM = 0x100;
constexpr DWORD D3DXMESH_IB_MANAGED = 0x200;
constexpr DWORD D3DXMESH_IB_WRITEONLY = 0x400;
constexpr DWORD D3DXMESH_IB_DYNAMIC = 0x800;
constexpr DWORD D3DXMESH_IB_SOFTWAREPROCESSING = 0x10000;
constexpr DWORD D3DXMESH_VB_SHARE = 0x1000;
constexpr DWORD D3DXMESH_USEHWONLY = 0x2000;
constexpr DWORD D3DXMESH_SYSTEMMEM = 0x110;
constexpr DWORD D3DXMESH_MANAGED = 0x220;
constexpr DWORD D3DXMESH_WRITEONLY = 0x440;
constexpr DWORD D3DXMESH_DYNAMIC = 0x880;
constexpr DWORD D3DXMESH_SOFTWAREPROCESSING = 0x18000;

// OptimizeInplace flags (D3DXMESHOPT).
constexpr DWORD D3DXMESHOPT_DEVICEINDEPENDENT = 0x00400000;
constexpr DWORD D3DXMESHOPT_COMPACT = 0x01000000;
constexpr DWORD D3DXMESHOPT_ATTRSORT = 0x02000000;
constexpr DWORD D3DXMESHOPT_VERTEXCACHE = 0x04000000;
constexpr DWORD D3DXMESHOPT_STRIPREORDER = 0x08000000;
constexpr DWORD D3DXMESHOPT_IGNOREVERTS = 0x10000000;
constexpr DWORD D3DXMESHOPT_DONOTSPLIT = 0x20000000;

// D3DX results beyond the Direct3D ones.
constexpr HRESULT D3DXERR_CANNOTMODIFYINDEXBUFFER = MakeD3DHResult(2900);
constexpr HRESULT D3DXERR_INVALIDMESH = MakeD3DHResult(2901);
constexpr HRESULT D3DXERR_CANNOTATTRSORT = MakeD3DHResult(2902);
constexpr HRESULT D3DXERR_LOADEDMESHASNODATA = MakeD3DHResult(2906);

// An adjacency entry with no neighbour across that edge.
constexpr DWORD D3DX_NO_NEIGHBOUR = 0xFFFFFFFFu;

// One material of a loaded mesh: the Direct3D material and the texture file name as
// written in the file (null when the material names none). The names live in the
// same buffer as the array.
struct D3DXMATERIAL {
  D3DMATERIAL9 MatD3D;
  LPSTR pTextureFilename;
};

struct D3DXEFFECTDEFAULT;
// Effect instances are not read from files: each material gets one without an effect.
struct D3DXEFFECTINSTANCE {
  LPSTR pEffectFilename;
  DWORD NumDefaults;
  D3DXEFFECTDEFAULT* pDefaults;
};

// One subset's faces and the vertices they use, as the attribute table records them.
struct D3DXATTRIBUTERANGE {
  DWORD AttribId;
  DWORD FaceStart;
  DWORD FaceCount;
  DWORD VertexStart;
  DWORD VertexCount;
};

// A block of memory with a reference count (adjacency, materials, remaps).
class ID3DXBuffer : public IUnknown {
 public:
  virtual LPVOID GetBufferPointer() = 0;
  virtual DWORD GetBufferSize() = 0;
};

class ID3DXMesh;

class ID3DXBaseMesh : public IUnknown {
 public:
  // Sets the FVF, stream 0 and indices, then draws the faces whose attribute is
  // attribId: one call over its attribute-table range, or one call per run of such
  // faces when the mesh has no table. An id with no faces draws nothing (D3D_OK).
  virtual HRESULT DrawSubset(DWORD attribId) = 0;
  virtual DWORD GetNumFaces() = 0;
  virtual DWORD GetNumVertices() = 0;
  virtual DWORD GetFVF() = 0;
  virtual DWORD GetNumBytesPerVertex() = 0;
  virtual DWORD GetOptions() = 0;
  // Adds a reference to the device.
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  // A copy with another vertex format (components both formats have are copied;
  // new normals and texture coordinates are zero, new colours opaque white) and the
  // given options (memory pools, 16/32-bit indices). Faces, attributes and the
  // attribute table are copied.
  virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device,
                               ID3DXMesh** clone) = 0;
  // The device buffers, with a reference added.
  virtual HRESULT GetVertexBuffer(IDirect3DVertexBuffer9** buffer) = 0;
  virtual HRESULT GetIndexBuffer(IDirect3DIndexBuffer9** buffer) = 0;
  virtual HRESULT LockVertexBuffer(DWORD flags, LPVOID* data) = 0;
  virtual HRESULT UnlockVertexBuffer() = 0;
  virtual HRESULT LockIndexBuffer(DWORD flags, LPVOID* data) = 0;
  virtual HRESULT UnlockIndexBuffer() = 0;
  // With table null: *size = number of ranges. Otherwise copies that many ranges.
  virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) = 0;
  // Three entries per face, one per edge (v0-v1, v1-v2, v2-v0): the face across that
  // edge or D3DX_NO_NEIGHBOUR. Point reps (one per vertex, null = each vertex its own)
  // say which vertices share a position, so split vertices still join their faces.
  virtual HRESULT ConvertPointRepsToAdjacency(const DWORD* pointReps, DWORD* adjacency) = 0;
  // As above, with vertices whose positions differ by at most epsilon in each
  // coordinate counted as one point.
  virtual HRESULT GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) = 0;
};

class ID3DXMesh : public ID3DXBaseMesh {
 public:
  // One DWORD attribute id per face. A lock without D3DLOCK_READONLY drops the
  // attribute table (the ids may change), until OptimizeInplace or SetAttributeTable.
  virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
  virtual HRESULT UnlockAttributeBuffer() = 0;
  virtual HRESULT SetAttributeTable(const D3DXATTRIBUTERANGE* table, DWORD size) = 0;
  // D3DXMESHOPT_ATTRSORT sorts faces by attribute (stable) and builds the attribute
  // table; COMPACT drops vertices no face uses; VERTEXCACHE reorders the faces of each
  // attribute for a 32-entry post-transform cache. Except with IGNOREVERTS, vertices
  // are then renumbered in order of first use. Outputs are optional: adjacencyOut (3
  // per face), faceRemap (per new face, its old index), vertexRemap (per new vertex,
  // its old index).
  virtual HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                  DWORD* faceRemap, ID3DXBuffer** vertexRemap) = 0;
};

// Fails with D3DERR_INVALIDCALL for a null out pointer; E_OUTOFMEMORY when the block
// cannot be had. The memory is zero-filled.
HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer);

// An empty mesh (zeroed buffers). D3DERR_INVALIDCALL for no device, zero faces or
// vertices, a format without a position, or more than 65535 vertices without
// D3DXMESH_32BIT.
HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                          IDirect3DDevice9* device, ID3DXMesh** mesh);

UINT D3DXGetFVFVertexSize(DWORD fvf);

// Centre = mean of the positions, radius = largest distance from it. D3DERR_INVALIDCALL
// for null pointers or numVertices 0.
HRESULT D3DXComputeBoundingSphere(const D3DXVECTOR3* firstPosition, DWORD numVertices, DWORD stride,
                                  D3DXVECTOR3* centre, FLOAT* radius);

// Reads a .X file (text or binary) and merges every Mesh in it, frame transforms
// applied, into one mesh (see D3DX9Mesh.cpp for the rules). Outputs other than mesh
// are optional: adjacency (3 DWORDs per face), materials (an array of D3DXMATERIAL),
// effect instances (one empty instance per material) and their count.
// D3DXERR_INVALIDDATA for a file that cannot be read or parsed,
// D3DXERR_LOADEDMESHASNODATA when it holds no mesh with faces.
HRESULT D3DXLoadMeshFromX(LPCSTR filename, DWORD options, IDirect3DDevice9* device,
                          ID3DXBuffer** adjacency, ID3DXBuffer** materials,
                          ID3DXBuffer** effectInstances, DWORD* numMaterials, ID3DXMesh** mesh);
namespace platform::d3dx9 {
// True when material i of a materials buffer from the loader above is the stand-in a
// mesh without a material list gets (diffuse alpha 0, as the format's readers give it),
// rather than a material written in the file. The loader marks each one explicitly.
bool IsStandInMaterial(ID3DXBuffer* materials, DWORD count, DWORD i);
}  // namespace platform::d3dx9

HRESULT D3DXLoadMeshFromXInMemory(LPCVOID memory, DWORD sizeOfMemory, DWORD options,
                                  IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                                  ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                                  DWORD* numMaterials, ID3DXMesh** mesh);
