// D3DXLoadMeshFromX: every Mesh of a .X file merged into one ID3DXMesh.
//
// Rules of the merge:
// - Meshes are taken in document order, at top level or inside Frames (recursively).
//   References to meshes or frames are not followed.
// - Inside a Frame, a FrameTransformMatrix applies to the meshes and child frames that
//   follow it; the running matrix is local × parent (row vectors, as the frame
//   hierarchy combines them), and a second matrix in the same frame applies on top of
//   the first. Positions go through the matrix; normals through its inverse transpose
//   and are renormalised.
// - Polygons become triangle fans (v0, vi, vi+1).
// - MeshNormals carries its own per-corner indices: the first corner to use a vertex
//   gives it its normal, a corner with a different normal uses (or appends) a copy of
//   the vertex with that normal. Copies keep the original as their point rep, so the
//   adjacency still joins faces across them.
// - The format is XYZ plus NORMAL, DIFFUSE and TEX1 if any mesh has them; vertices of
//   a mesh without them get a zero normal, opaque white and (0, 0).
// - Materials: each mesh's list is appended (attribute ids offset by the materials
//   before it). A mesh without a material list gets one default material of its own:
//   Diffuse and Specular (0.5, 0.5, 0.5, 0), everything else zero, no texture. From a
//   file Material: Diffuse = face colour, Power, Specular and Emissive with alpha 1,
//   Ambient (0, 0, 0, 1).
// - Faces are then sorted by attribute (stable), giving the attribute table; vertices
//   keep their order. 32-bit indices are used when there are more than 65535 vertices.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/FileSystem.h"
#include "platform/d3dx9/D3DX9MeshImpl.h"

namespace platform::d3dx9 {
namespace {

// Larger files are refused rather than read.
constexpr std::size_t kMaxFileBytes = 64u * 1024u * 1024u;

D3DMATERIAL9 DefaultMaterial() {
  D3DMATERIAL9 m{};
  m.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
  m.Specular = {0.5f, 0.5f, 0.5f, 0.0f};
  return m;
}

D3DMATERIAL9 FromFile(const XMaterialData& x) {
  D3DMATERIAL9 m{};
  m.Diffuse = x.faceColor;
  m.Ambient = {0.0f, 0.0f, 0.0f, 1.0f};
  m.Specular = {x.specular.r, x.specular.g, x.specular.b, 1.0f};
  m.Emissive = {x.emissive.r, x.emissive.g, x.emissive.b, 1.0f};
  m.Power = x.power;
  return m;
}

// Float colour to ARGB, each channel clamped and rounded as D3DXCOLOR does (a NaN
// channel, possible in a binary file, is 0); inline, as every vertex of a coloured
// mesh comes through here.
inline DWORD ColourChannel(float c) {
  if (c >= 1.0f) return 255;
  if (!(c > 0.0f)) return 0;
  return static_cast<DWORD>(c * 255.0f + 0.5f);
}

inline D3DCOLOR ToColour(const D3DCOLORVALUE& c) {
  return (ColourChannel(c.a) << 24) | (ColourChannel(c.r) << 16) | (ColourChannel(c.g) << 8) |
         ColourChannel(c.b);
}

// A file vertex with one normal, by value: equal normals (+0 and -0 alike) give one key.
struct NormalKey {
  DWORD vertex;
  std::uint32_t x, y, z;
  bool operator==(const NormalKey& o) const {
    return vertex == o.vertex && x == o.x && y == o.y && z == o.z;
  }
};

struct NormalKeyHash {
  std::size_t operator()(const NormalKey& k) const {
    std::uint64_t h = k.vertex * 0x9E3779B97F4A7C15ull;
    for (std::uint32_t part : {k.x, k.y, k.z}) h = (h ^ part) * 0x100000001B3ull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }
};

NormalKey MakeKey(DWORD vertex, const D3DXVECTOR3& n) {
  auto bits = [](float f) {
    if (f == 0.0f) f = 0.0f;
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
  };
  return {vertex, bits(n.x), bits(n.y), bits(n.z)};
}

// A mesh read from the file with the frame transform it sits under, if any.
struct PlacedMesh {
  XMeshData data;
  bool transformed = false;
  D3DXMATRIX transform;
};

// Collects meshes under a frame; false (with the message) on a malformed mesh.
bool WalkFrame(const XObject& frame, const D3DXMATRIX& parent, std::vector<PlacedMesh>& meshes,
               std::string* error) {
  D3DXMATRIX running = parent;
  for (const XChild& child : frame.children) {
    if (child.isReference || !child.object) continue;
    const XObject& c = *child.object;
    if (c.templateName == "FrameTransformMatrix") {
      D3DXMATRIX local;
      if (!ReadFrameTransformMatrix(c, &local)) {
        *error = "malformed frame transform";
        return false;
      }
      D3DXMatrixMultiply(&running, &local, &running);
    } else if (c.templateName == "Mesh") {
      PlacedMesh& mesh = meshes.emplace_back();
      if (!ReadMesh(c, &mesh.data, error)) return false;
      mesh.transformed = true;
      mesh.transform = running;
    } else if (c.templateName == "Frame") {
      if (!WalkFrame(c, running, meshes, error)) return false;
    }
  }
  return true;
}

void ClearOutputs(ID3DXBuffer** adjacency, ID3DXBuffer** materials, ID3DXBuffer** effects,
                  DWORD* numMaterials, ID3DXMesh** mesh) {
  if (adjacency) *adjacency = nullptr;
  if (materials) *materials = nullptr;
  if (effects) *effects = nullptr;
  if (numMaterials) *numMaterials = 0;
  if (mesh) *mesh = nullptr;
}

}  // namespace

void MeshBuilder::Append(const XMeshData& mesh, const D3DXMATRIX* transform) {
  const DWORD base = static_cast<DWORD>(positions_.size());
  const DWORD materialBase = static_cast<DWORD>(materials_.size());
  const std::size_t fileVertices = mesh.positions.size();

  D3DXMATRIX normalMatrix;
  if (transform) {
    D3DXMATRIX inverse;
    if (D3DXMatrixInverse(&inverse, nullptr, transform)) {
      D3DXMatrixTranspose(&normalMatrix, &inverse);
    } else {
      normalMatrix = *transform;
    }
  }
  auto toNormal = [&](D3DXVECTOR3 n) {
    if (!transform) return n;
    D3DXVECTOR3 out;
    D3DXVec3TransformNormal(&out, &n, &normalMatrix);
    D3DXVec3Normalize(&out, &out);
    return out;
  };

  // This mesh's vertices first, then the copies that normals force.
  const std::size_t total = base + fileVertices;
  positions_.resize(total);
  normals_.resize(total);
  colours_.resize(total, 0xFFFFFFFFu);
  texCoords_.resize(total);
  pointReps_.resize(total);
  for (std::size_t v = 0; v < fileVertices; ++v) {
    D3DXVECTOR3 p = mesh.positions[v];
    if (transform) D3DXVec3TransformCoord(&p, &p, transform);
    positions_[base + v] = p;
    pointReps_[base + v] = base + static_cast<DWORD>(v);
  }
  if (mesh.hasColours)
    for (std::size_t v = 0; v < fileVertices; ++v) colours_[base + v] = ToColour(mesh.colours[v]);
  if (mesh.hasTexCoords)
    std::copy(mesh.texCoords.begin(), mesh.texCoords.end(), texCoords_.begin() + base);
  std::size_t triangles = 0;
  for (DWORD size : mesh.faceSizes) triangles += size - 2;
  indices_.reserve(indices_.size() + triangles * 3);
  attributes_.reserve(attributes_.size() + triangles);
  anyNormals_ |= mesh.hasNormals;
  anyColours_ |= mesh.hasColours;
  anyTexCoords_ |= mesh.hasTexCoords;

  // Per file vertex, the normal index that gave it its normal (kNone until one does): a
  // corner with the same index needs no comparison of values.
  constexpr DWORD kNone = 0xFFFFFFFFu;
  std::vector<DWORD> normalOf(mesh.hasNormals ? fileVertices : 0, kNone);
  // (vertex, normal) → the copy that carries that normal; a map rather than a walk
  // along the copies, so a vertex given many normals costs no more per corner. A
  // vertex's first normal is its own and is found without the map.
  std::unordered_map<NormalKey, DWORD, NormalKeyHash> carriers;
  std::vector<D3DXVECTOR3> transformedNormals;
  if (mesh.hasNormals && transform) {
    transformedNormals.reserve(mesh.normals.size());
    for (const auto& n : mesh.normals) transformedNormals.push_back(toNormal(n));
  }
  const std::vector<D3DXVECTOR3>& fileNormals = transform ? transformedNormals : mesh.normals;

  DWORD corners[3];
  for (std::size_t f = 0; f < mesh.faceSizes.size(); ++f) {
    const DWORD size = mesh.faceSizes[f];
    const DWORD start = mesh.faceStarts[f];
    const DWORD attribute = materialBase + (mesh.hasMaterialList ? mesh.faceMaterials[f] : 0);
    for (DWORD c = 0; c < size; ++c) {
      DWORD v = mesh.faceIndices[start + c];
      if (mesh.hasNormals) {
        const DWORD ni = mesh.normalFaceIndices[start + c];
        if (normalOf[v] == kNone) {
          normalOf[v] = ni;
          normals_[base + v] = fileNormals[ni];
        } else if (normalOf[v] != ni &&
                   !(MakeKey(v, normals_[base + v]) == MakeKey(v, fileNormals[ni]))) {
          const D3DXVECTOR3 n = fileNormals[ni];
          const auto [it, added] =
              carriers.emplace(MakeKey(v, n), static_cast<DWORD>(positions_.size()) - base);
          if (added) {
            positions_.push_back(positions_[base + v]);
            normals_.push_back(n);
            colours_.push_back(colours_[base + v]);
            texCoords_.push_back(texCoords_[base + v]);
            pointReps_.push_back(base + v);
          }
          v = it->second;
        }
      }
      // Triangle fan (v0, vi, vi+1), emitted as the corners arrive.
      if (c < 2) {
        corners[c] = base + v;
      } else {
        indices_.push_back(corners[0]);
        indices_.push_back(corners[1]);
        indices_.push_back(base + v);
        attributes_.push_back(attribute);
        corners[1] = base + v;
      }
    }
  }
  if (mesh.hasMaterialList) {
    for (const XMaterialData& m : mesh.materials)
      materials_.push_back({FromFile(m), m.textureFilename, m.hasTexture, false});
  } else {
    materials_.push_back({DefaultMaterial(), std::string(), false, true});
  }
}

HRESULT MeshBuilder::Build(DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                           ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                           DWORD* numMaterials, ID3DXMesh** meshOut) {
  ClearOutputs(adjacency, materials, effectInstances, numMaterials, meshOut);
  if (!meshOut || !device) return D3DERR_INVALIDCALL;
  if (attributes_.empty()) return D3DXERR_LOADEDMESHASNODATA;
  DWORD fvf = D3DFVF_XYZ;
  if (anyNormals_) fvf |= D3DFVF_NORMAL;
  if (anyColours_) fvf |= D3DFVF_DIFFUSE;
  if (anyTexCoords_) fvf |= D3DFVF_TEX1;
  const DWORD vertices = static_cast<DWORD>(positions_.size());
  if (vertices > 0xFFFF) options |= D3DXMESH_32BIT;

  Mesh* mesh = nullptr;
  HRESULT hr = Mesh::Create(NumFaces(), vertices, options, fvf, device, &mesh);
  if (FAILED(hr)) return hr;
  FVFLayout layout;
  GetFVFLayout(fvf, &layout);
  void* data = nullptr;
  if (FAILED(hr = mesh->LockVertexBuffer(0, &data))) {
    mesh->Release();
    return hr;
  }
  auto* bytes = static_cast<BYTE*>(data);
  for (DWORD v = 0; v < vertices; ++v) {
    BYTE* out = bytes + std::size_t{v} * layout.stride;
    std::memcpy(out, &positions_[v], 12);
    if (layout.normal >= 0) std::memcpy(out + layout.normal, &normals_[v], 12);
    if (layout.diffuse >= 0) std::memcpy(out + layout.diffuse, &colours_[v], 4);
    if (layout.texCount > 0) std::memcpy(out + layout.texOffset[0], &texCoords_[v], 8);
  }
  mesh->UnlockVertexBuffer();
  // The vertex arrays live on in the buffer; the point reps are still wanted.
  std::vector<D3DXVECTOR3>().swap(positions_);
  std::vector<D3DXVECTOR3>().swap(normals_);
  std::vector<D3DCOLOR>().swap(colours_);
  std::vector<D3DXVECTOR2>().swap(texCoords_);

  // Faces sorted by attribute, stably, with a counting sort (attributes are material
  // numbers, so fewer than the materials); vertices keep their order.
  const DWORD faces = NumFaces();
  const std::size_t groups = materials_.size();
  std::vector<DWORD> groupStart(groups + 1, 0);
  for (DWORD a : attributes_) ++groupStart[a + 1];
  for (std::size_t g = 0; g < groups; ++g) groupStart[g + 1] += groupStart[g];
  {
    std::vector<DWORD> sorted(indices_.size());
    std::vector<DWORD> fill(groupStart.begin(), groupStart.end() - 1);
    for (DWORD f = 0; f < faces; ++f) {
      const DWORD to = fill[attributes_[f]]++;
      std::memcpy(&sorted[std::size_t{to} * 3], &indices_[std::size_t{f} * 3], 3 * sizeof(DWORD));
    }
    indices_.swap(sorted);
  }
  std::vector<D3DXATTRIBUTERANGE> table;
  std::vector<DWORD>& sortedAttributes = mesh->Attributes();
  for (std::size_t g = 0; g < groups; ++g) {
    const DWORD begin = groupStart[g], end = groupStart[g + 1];
    if (begin == end) continue;
    DWORD lo = D3DX_NO_NEIGHBOUR, hi = 0;
    for (std::size_t i = std::size_t{begin} * 3; i < std::size_t{end} * 3; ++i) {
      lo = std::min(lo, indices_[i]);
      hi = std::max(hi, indices_[i]);
    }
    table.push_back({static_cast<DWORD>(g), begin, end - begin, lo, hi - lo + 1});
    std::fill(sortedAttributes.begin() + begin, sortedAttributes.begin() + end,
              static_cast<DWORD>(g));
  }
  if (!mesh->WriteIndices(indices_) ||
      FAILED(hr = mesh->SetAttributeTable(table.data(), static_cast<DWORD>(table.size())))) {
    mesh->Release();
    return FAILED(hr) ? hr : E_FAIL;
  }

  ID3DXBuffer* adjacencyBuffer = nullptr;
  ID3DXBuffer* materialBuffer = nullptr;
  ID3DXBuffer* effectBuffer = nullptr;
  auto fail = [&](HRESULT result) {
    if (adjacencyBuffer) adjacencyBuffer->Release();
    if (materialBuffer) materialBuffer->Release();
    if (effectBuffer) effectBuffer->Release();
    mesh->Release();
    return result;
  };
  if (adjacency) {
    if (FAILED(D3DXCreateBuffer(faces * 3 * sizeof(DWORD), &adjacencyBuffer)))
      return fail(E_OUTOFMEMORY);
    AdjacencyFromReps(indices_.data(), faces, vertices, pointReps_.data(),
                      static_cast<DWORD*>(adjacencyBuffer->GetBufferPointer()));
  }
  const DWORD count = static_cast<DWORD>(materials_.size());
  if (materials) {
    // The array, then one stand-in flag per material, then the texture names.
    std::size_t size = count * sizeof(D3DXMATERIAL) + count;
    for (const auto& m : materials_)
      if (m.hasTexture) size += m.texture.size() + 1;
    if (size > 0xFFFFFFFFu || FAILED(D3DXCreateBuffer(static_cast<DWORD>(size), &materialBuffer)))
      return fail(E_OUTOFMEMORY);
    auto* array = static_cast<D3DXMATERIAL*>(materialBuffer->GetBufferPointer());
    char* flags = reinterpret_cast<char*>(array + count);
    char* names = flags + count;
    for (DWORD i = 0; i < count; ++i) {
      flags[i] = materials_[i].standIn ? 1 : 0;
      array[i].MatD3D = materials_[i].material;
      array[i].pTextureFilename = nullptr;
      if (materials_[i].hasTexture) {
        std::memcpy(names, materials_[i].texture.c_str(), materials_[i].texture.size() + 1);
        array[i].pTextureFilename = names;
        names += materials_[i].texture.size() + 1;
      }
    }
  }
  if (effectInstances) {
    // Zero-filled: no effect file and no defaults for any material.
    if (FAILED(D3DXCreateBuffer(count * sizeof(D3DXEFFECTINSTANCE), &effectBuffer)))
      return fail(E_OUTOFMEMORY);
  }
  if (adjacency) *adjacency = adjacencyBuffer;
  if (materials) *materials = materialBuffer;
  if (effectInstances) *effectInstances = effectBuffer;
  if (numMaterials) *numMaterials = count;
  *meshOut = mesh;
  return D3D_OK;
}

}  // namespace platform::d3dx9

namespace platform::d3dx9 {

bool IsStandInMaterial(ID3DXBuffer* materials, DWORD count, DWORD i) {
  if (!materials || i >= count) return false;
  const std::size_t flagsAt = std::size_t{count} * sizeof(D3DXMATERIAL);
  if (materials->GetBufferSize() < flagsAt + count) return false;
  return static_cast<const char*>(materials->GetBufferPointer())[flagsAt + i] != 0;
}

}  // namespace platform::d3dx9

HRESULT D3DXLoadMeshFromXInMemory(LPCVOID memory, DWORD sizeOfMemory, DWORD options,
                                  IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                                  ID3DXBuffer** materials, ID3DXBuffer** effectInstances,
                                  DWORD* numMaterials, ID3DXMesh** mesh) {
  using namespace platform::d3dx9;
  ClearOutputs(adjacency, materials, effectInstances, numMaterials, mesh);
  if (!memory || !device || !mesh) return D3DERR_INVALIDCALL;
  // The meshes are read out of the parsed file, the file is let go, and only then are
  // they merged: the file's values, the meshes and the merged arrays are never all
  // held at once.
  std::vector<PlacedMesh> meshes;
  {
    XFile file;
    if (!file.Parse(memory, sizeOfMemory)) return D3DXERR_INVALIDDATA;
    std::string error;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    for (const auto& object : file.Objects()) {
      if (object->templateName == "Mesh") {
        if (!ReadMesh(*object, &meshes.emplace_back().data, &error)) return D3DXERR_INVALIDDATA;
      } else if (object->templateName == "Frame") {
        if (!WalkFrame(*object, identity, meshes, &error)) return D3DXERR_INVALIDDATA;
      }
    }
  }
  MeshBuilder builder;
  for (PlacedMesh& placed : meshes) {
    builder.Append(placed.data, placed.transformed ? &placed.transform : nullptr);
    placed.data = XMeshData{};  // each mesh let go once merged
  }
  meshes.clear();
  return builder.Build(options, device, adjacency, materials, effectInstances, numMaterials, mesh);
}

HRESULT D3DXLoadMeshFromX(LPCSTR filename, DWORD options, IDirect3DDevice9* device,
                          ID3DXBuffer** adjacency, ID3DXBuffer** materials,
                          ID3DXBuffer** effectInstances, DWORD* numMaterials, ID3DXMesh** mesh) {
  using namespace platform::d3dx9;
  ClearOutputs(adjacency, materials, effectInstances, numMaterials, mesh);
  if (!filename || !device || !mesh) return D3DERR_INVALIDCALL;
  std::string data;
  if (!platform::ReadWholeFile(filename, &data, kMaxFileBytes)) return D3DXERR_INVALIDDATA;
  return D3DXLoadMeshFromXInMemory(data.data(), static_cast<DWORD>(data.size()), options, device,
                                   adjacency, materials, effectInstances, numMaterials, mesh);
}
