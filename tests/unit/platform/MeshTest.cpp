// ID3DXMesh and D3DXLoadMeshFromX on the recording device: merging, normals and
// materials, both encodings, optimisation, cloning, drawing and bounding spheres.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3dx9/D3DX9Mesh.h"
#include "platform/d3dx9/D3DX9MeshImpl.h"
#include "support/HeadlessDevice.h"
#include "support/XFileWriter.h"

using namespace testsupport;
using platform::d3d9::Log;

namespace {

constexpr DWORD kCubeFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Vertex {
  D3DXVECTOR3 position;
  D3DXVECTOR3 normal;
  DWORD colour;
  float u, v;
};
static_assert(sizeof(Vertex) == 36);

// Everything a load returns, copied out of its buffers.
struct Loaded {
  HRESULT hr = E_FAIL;
  ID3DXMesh* mesh = nullptr;
  std::vector<BYTE> vertices;
  std::vector<DWORD> indices;
  std::vector<DWORD> attributes;
  std::vector<DWORD> adjacency;
  std::vector<D3DXMATERIAL> materials;
  std::vector<std::string> textures;  // "" where pTextureFilename is null
  std::vector<D3DXATTRIBUTERANGE> table;
  DWORD numMaterials = 0;

  ~Loaded() {
    if (mesh) mesh->Release();
  }
  const Vertex& V(DWORD i) const { return reinterpret_cast<const Vertex*>(vertices.data())[i]; }
  D3DXVECTOR3 P(DWORD i) const {
    D3DXVECTOR3 p;
    std::memcpy(&p, vertices.data() + i * mesh->GetNumBytesPerVertex(), 12);
    return p;
  }
};

std::vector<DWORD> ReadIndices(ID3DXMesh* mesh) {
  void* data = nullptr;
  EXPECT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
  std::vector<DWORD> out(mesh->GetNumFaces() * 3);
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = (mesh->GetOptions() & D3DXMESH_32BIT) ? static_cast<const DWORD*>(data)[i]
                                                   : static_cast<const WORD*>(data)[i];
  mesh->UnlockIndexBuffer();
  return out;
}

std::vector<BYTE> ReadVertices(ID3DXMesh* mesh) {
  void* data = nullptr;
  EXPECT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
  const auto* p = static_cast<const BYTE*>(data);
  std::vector<BYTE> out(p, p + mesh->GetNumVertices() * mesh->GetNumBytesPerVertex());
  mesh->UnlockVertexBuffer();
  return out;
}

std::vector<DWORD> ReadAttributes(ID3DXMesh* mesh) {
  DWORD* data = nullptr;
  EXPECT_EQ(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &data), D3D_OK);
  std::vector<DWORD> out(data, data + mesh->GetNumFaces());
  mesh->UnlockAttributeBuffer();
  return out;
}

std::vector<D3DXATTRIBUTERANGE> ReadTable(ID3DXMesh* mesh) {
  DWORD n = 0;
  EXPECT_EQ(mesh->GetAttributeTable(nullptr, &n), D3D_OK);
  std::vector<D3DXATTRIBUTERANGE> table(n);
  if (n) {
    EXPECT_EQ(mesh->GetAttributeTable(table.data(), &n), D3D_OK);
  }
  return table;
}

void Load(const std::string& file, Loaded* out, DWORD options = D3DXMESH_MANAGED) {
  ID3DXBuffer* adjacency = nullptr;
  ID3DXBuffer* materials = nullptr;
  out->hr = D3DXLoadMeshFromXInMemory(file.data(), static_cast<DWORD>(file.size()), options,
                                      g_graphicsDevice->GetDevice(), &adjacency, &materials,
                                      nullptr, &out->numMaterials, &out->mesh);
  if (FAILED(out->hr)) {
    EXPECT_EQ(out->mesh, nullptr);
    EXPECT_EQ(adjacency, nullptr);
    EXPECT_EQ(materials, nullptr);
    return;
  }
  out->vertices = ReadVertices(out->mesh);
  out->indices = ReadIndices(out->mesh);
  out->attributes = ReadAttributes(out->mesh);
  out->table = ReadTable(out->mesh);
  const auto* adj = static_cast<const DWORD*>(adjacency->GetBufferPointer());
  EXPECT_EQ(adjacency->GetBufferSize(), out->mesh->GetNumFaces() * 3 * sizeof(DWORD));
  out->adjacency.assign(adj, adj + out->mesh->GetNumFaces() * 3);
  const auto* m = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
  out->materials.assign(m, m + out->numMaterials);
  for (const auto& mat : out->materials)
    out->textures.push_back(mat.pTextureFilename ? mat.pTextureFilename : "");
  adjacency->Release();
  materials->Release();
}

std::string Text(const std::vector<XNode>& objects) {
  return WriteXFile(objects, XWriteOptions{});
}

// Every edge has a neighbour that names this face back and shares the edge's points.
void ExpectClosedAdjacency(const Loaded& l) {
  const DWORD faces = l.mesh->GetNumFaces();
  for (DWORD f = 0; f < faces; ++f) {
    for (DWORD e = 0; e < 3; ++e) {
      const DWORD g = l.adjacency[f * 3 + e];
      ASSERT_LT(g, faces) << "face " << f << " edge " << e;
      EXPECT_NE(std::find(&l.adjacency[g * 3], &l.adjacency[g * 3] + 3, f),
                &l.adjacency[g * 3] + 3);
      const D3DXVECTOR3 a = l.P(l.indices[f * 3 + e]), b = l.P(l.indices[f * 3 + (e + 1) % 3]);
      int shared = 0;
      for (int c = 0; c < 3; ++c) {
        const D3DXVECTOR3 q = l.P(l.indices[g * 3 + c]);
        shared += (q == a) + (q == b);
      }
      EXPECT_EQ(shared, 2);
    }
  }
}

XNode Triangle(const std::string& name, float x = 0) {
  return MeshNode(name, {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}}, {{0, 1, 2}});
}

class MeshTest : public HeadlessDeviceTest {
 protected:
  IDirect3DDevice9* Device() { return g_graphicsDevice->GetDevice(); }
};

}  // namespace

TEST_F(MeshTest, CubeSplitsVerticesByNormalAndKeepsMaterials) {
  Loaded l;
  Load(Text({CubeMesh()}), &l);
  ASSERT_EQ(l.hr, D3D_OK);
  EXPECT_EQ(l.mesh->GetFVF(), kCubeFVF);
  EXPECT_EQ(l.mesh->GetNumBytesPerVertex(), 36u);
  EXPECT_EQ(l.mesh->GetNumFaces(), 12u);
  ASSERT_EQ(l.mesh->GetNumVertices(), 24u);  // 8 corners × 3 face normals
  EXPECT_EQ(l.mesh->GetOptions() & D3DXMESH_32BIT, 0u);

  std::set<std::tuple<float, float, float, float, float, float>> seen;
  for (DWORD v = 0; v < 24; ++v) {
    const Vertex& x = l.V(v);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&x.position, &x.normal), 1.0f) << v;  // outward normal
    seen.insert({x.position.x, x.position.y, x.position.z, x.normal.x, x.normal.y, x.normal.z});
    // Vertex colours: corner 0 red, corner 7 (0.1, 0.5, 0.7) rounded, the rest white.
    if (x.position == D3DXVECTOR3(-1, -1, -1)) {
      EXPECT_EQ(x.colour, 0xFFFF0000u);
    } else if (x.position == D3DXVECTOR3(-1, 1, 1)) {
      EXPECT_EQ(x.colour, 0xFF1A80B3u);
    } else {
      EXPECT_EQ(x.colour, 0xFFFFFFFFu);
    }
    // Copies keep their texture coordinates.
    EXPECT_EQ(x.u, x.position.x > 0 ? 1.0f : 0.0f);
    EXPECT_EQ(x.v, x.position.y > 0 ? 1.0f : 0.0f);
  }
  EXPECT_EQ(seen.size(), 24u);
  for (DWORD f = 0; f < 12; ++f) {
    const D3DXVECTOR3& n = l.V(l.indices[f * 3]).normal;
    EXPECT_EQ(l.V(l.indices[f * 3 + 1]).normal, n);
    EXPECT_EQ(l.V(l.indices[f * 3 + 2]).normal, n);
  }

  ASSERT_EQ(l.numMaterials, 2u);
  const D3DMATERIAL9& red = l.materials[0].MatD3D;
  EXPECT_FLOAT_EQ(red.Diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(red.Diffuse.a, 1.0f);
  EXPECT_FLOAT_EQ(red.Power, 8.0f);
  EXPECT_FLOAT_EQ(red.Specular.g, 1.0f);
  EXPECT_FLOAT_EQ(red.Specular.a, 1.0f);
  EXPECT_FLOAT_EQ(red.Emissive.r, 0.0f);
  EXPECT_FLOAT_EQ(red.Emissive.a, 1.0f);
  EXPECT_FLOAT_EQ(red.Ambient.r, 0.0f);
  EXPECT_FLOAT_EQ(red.Ambient.a, 1.0f);
  EXPECT_EQ(l.textures[0], "snow.png");
  EXPECT_EQ(l.materials[1].pTextureFilename, nullptr);
  EXPECT_FLOAT_EQ(l.materials[1].MatD3D.Diffuse.a, 0.5f);

  // Quads alternate materials; the load sorts faces so each material is one range.
  EXPECT_EQ(l.attributes, (std::vector<DWORD>{0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1}));
  ASSERT_EQ(l.table.size(), 2u);
  EXPECT_EQ(l.table[0].AttribId, 0u);
  EXPECT_EQ(l.table[0].FaceStart, 0u);
  EXPECT_EQ(l.table[0].FaceCount, 6u);
  EXPECT_EQ(l.table[1].AttribId, 1u);
  EXPECT_EQ(l.table[1].FaceStart, 6u);
  EXPECT_EQ(l.table[1].FaceCount, 6u);
  for (const auto& r : l.table)
    for (DWORD i = r.FaceStart * 3; i < (r.FaceStart + r.FaceCount) * 3; ++i) {
      EXPECT_GE(l.indices[i], r.VertexStart);
      EXPECT_LT(l.indices[i], r.VertexStart + r.VertexCount);
    }

  // The split copies still join their faces: a closed cube has a neighbour everywhere,
  // and the loader's adjacency matches one generated from positions.
  ExpectClosedAdjacency(l);
  std::vector<DWORD> generated(36);
  ASSERT_EQ(l.mesh->GenerateAdjacency(0.0f, generated.data()), D3D_OK);
  EXPECT_EQ(generated, l.adjacency);
}

TEST_F(MeshTest, TextBinaryAndCompressedEncodingsLoadToIdenticalBuffers) {
  XNode frame = FrameNode("Root");
  frame.Add(MatrixNode(Translation(0, 0, 5)));
  frame.Add(CubeMesh());
  const std::vector<XNode> model = {frame, Triangle("Extra", 4)};
  Loaded reference;
  Load(Text(model), &reference);
  ASSERT_EQ(reference.hr, D3D_OK);
  struct Variant {
    bool binary, doubles, templates;
    std::size_t split;
  } variants[] = {{false, false, true, 0},
                  {true, false, false, 0},
                  {true, true, false, 0},
                  {true, false, true, 3},
                  {true, true, true, 1}};
  std::vector<std::pair<std::string, std::string>> files;  // label, bytes
  for (const auto& v : variants) {
    XWriteOptions o;
    o.binary = v.binary;
    o.doubles = v.doubles;
    o.templates = v.templates;
    o.maxListLength = v.split;
    const std::string label = std::to_string(v.binary) + std::to_string(v.doubles) +
                              std::to_string(v.templates) + std::to_string(v.split);
    const std::string plain = WriteXFile(model, o);
    files.emplace_back(label, plain);
    // Compressed twins: one block, and small blocks that refer back across blocks.
    files.emplace_back(label + " compressed", CompressXFile(plain));
    files.emplace_back(label + " compressed in small blocks", CompressXFile(plain, 200));
  }
  for (const auto& [label, file] : files) {
    Loaded l;
    Load(file, &l);
    ASSERT_EQ(l.hr, D3D_OK) << label;
    EXPECT_EQ(l.mesh->GetFVF(), reference.mesh->GetFVF());
    EXPECT_EQ(l.vertices, reference.vertices);
    EXPECT_EQ(l.indices, reference.indices);
    EXPECT_EQ(l.attributes, reference.attributes);
    EXPECT_EQ(l.adjacency, reference.adjacency);
    ASSERT_EQ(l.numMaterials, reference.numMaterials);
    EXPECT_EQ(
        std::memcmp(&l.materials[0].MatD3D, &reference.materials[0].MatD3D, sizeof(D3DMATERIAL9)),
        0);
    EXPECT_EQ(l.textures, reference.textures);
  }
}

TEST_F(MeshTest, MeshesMergeWithTheFrameTransformsBeforeThem) {
  XNode inner = FrameNode("Inner");
  inner.Add(MatrixNode(Translation(0, 3, 0)));
  XNode d = MeshNode("D", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {1, 3, 2}});
  XTestMaterial white, green;
  green.colour = {0, 1, 0, 1};
  green.texture = "grass.png";
  d.Add(MaterialListNode(2, {1, 0}, {white, green}));
  inner.Add(d);
  XNode outer = FrameNode("Outer");
  outer.Add(Triangle("B"));  // before the matrix: untransformed
  outer.Add(MatrixNode(Translation(2, 0, 0)));
  outer.Add(Triangle("C"));
  outer.Add(inner);
  Loaded l;
  Load(Text({Triangle("A"), outer}), &l);
  ASSERT_EQ(l.hr, D3D_OK);
  EXPECT_EQ(l.mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ));
  ASSERT_EQ(l.mesh->GetNumVertices(), 13u);
  ASSERT_EQ(l.mesh->GetNumFaces(), 5u);
  EXPECT_EQ(l.P(0), D3DXVECTOR3(0, 0, 0));  // A
  EXPECT_EQ(l.P(3), D3DXVECTOR3(0, 0, 0));  // B
  EXPECT_EQ(l.P(6), D3DXVECTOR3(2, 0, 0));  // C
  EXPECT_EQ(l.P(9), D3DXVECTOR3(2, 3, 0));  // D, both matrices
  EXPECT_EQ(l.P(12), D3DXVECTOR3(3, 4, 0));

  // One default material for each mesh without a list, then D's two; ids offset.
  ASSERT_EQ(l.numMaterials, 5u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(l.materials[i].MatD3D.Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(l.materials[i].MatD3D.Diffuse.a, 0.0f);
    EXPECT_FLOAT_EQ(l.materials[i].MatD3D.Specular.b, 0.5f);
    EXPECT_FLOAT_EQ(l.materials[i].MatD3D.Ambient.a, 0.0f);
    EXPECT_EQ(l.materials[i].pTextureFilename, nullptr);
  }
  EXPECT_EQ(l.textures[4], "grass.png");
  EXPECT_EQ(l.attributes, (std::vector<DWORD>{0, 1, 2, 3, 4}));
  // D's second triangle (material 0 of its list) now comes before its first.
  EXPECT_EQ(std::vector<DWORD>(l.indices.begin() + 9, l.indices.end()),
            (std::vector<DWORD>{10, 12, 11, 9, 10, 11}));
  ASSERT_EQ(l.table.size(), 5u);
  EXPECT_EQ(l.table[3].AttribId, 3u);
  EXPECT_EQ(l.table[3].FaceStart, 3u);
}

TEST_F(MeshTest, ChildFrameMatrixAppliesBeforeItsParents) {
  D3DXMATRIX rotation;
  D3DXMatrixRotationZ(&rotation, D3DX_PI / 2);
  std::array<float, 16> r;
  std::memcpy(r.data(), &rotation.m[0][0], sizeof(float) * 16);
  XNode mesh = Triangle("M");
  mesh.Add(NormalsNode({{1, 0, 0}}, {{0, 0, 0}}));
  XNode child = FrameNode("Child");
  child.Add(MatrixNode(Translation(1, 0, 0)));
  child.Add(mesh);
  XNode parent = FrameNode("Parent");
  parent.Add(MatrixNode(r));
  parent.Add(child);
  Loaded l;
  Load(Text({parent}), &l);
  ASSERT_EQ(l.hr, D3D_OK);
  // Translate by (1, 0, 0) first, then turn a quarter about z: the origin lands on +y.
  EXPECT_NEAR(l.P(0).x, 0.0f, 1e-6f);
  EXPECT_NEAR(l.P(0).y, 1.0f, 1e-6f);
  // Normals turn with the frame but are not moved by the translation.
  D3DXVECTOR3 n;
  std::memcpy(&n, l.vertices.data() + 12, 12);
  EXPECT_NEAR(n.x, 0.0f, 1e-6f);
  EXPECT_NEAR(n.y, 1.0f, 1e-6f);
  EXPECT_NEAR(n.z, 0.0f, 1e-6f);
}

TEST_F(MeshTest, PolygonsBecomeFansAndMissingMaterialsGetTheDefault) {
  Loaded l;
  Load(Text({MeshNode("P", {{0, 0, 0}, {2, 0, 0}, {3, 2, 0}, {1, 3, 0}, {-1, 2, 0}},
                      {{0, 1, 2, 3, 4}})}),
       &l);
  ASSERT_EQ(l.hr, D3D_OK);
  EXPECT_EQ(l.indices, (std::vector<DWORD>{0, 1, 2, 0, 2, 3, 0, 3, 4}));
  ASSERT_EQ(l.numMaterials, 1u);
  const D3DMATERIAL9& m = l.materials[0].MatD3D;
  EXPECT_FLOAT_EQ(m.Diffuse.g, 0.5f);
  EXPECT_FLOAT_EQ(m.Diffuse.a, 0.0f);
  EXPECT_FLOAT_EQ(m.Specular.r, 0.5f);
  EXPECT_FLOAT_EQ(m.Specular.a, 0.0f);
  EXPECT_FLOAT_EQ(m.Emissive.a, 0.0f);
  EXPECT_FLOAT_EQ(m.Power, 0.0f);
  EXPECT_EQ(l.materials[0].pTextureFilename, nullptr);
  EXPECT_EQ(l.attributes, (std::vector<DWORD>{0, 0, 0}));
}

TEST_F(MeshTest, ManyVerticesGetThirtyTwoBitIndicesAndManagedBuffersStayManaged) {
  std::vector<Vec3> positions(70000);
  for (std::size_t i = 0; i < positions.size(); ++i)
    positions[i] = {static_cast<float>(i), 0, static_cast<float>(i % 7)};
  Loaded l;
  Load(Text({MeshNode("Big", positions, {{0, 69999, 35000}})}), &l);
  ASSERT_EQ(l.hr, D3D_OK);
  EXPECT_NE(l.mesh->GetOptions() & D3DXMESH_32BIT, 0u);
  EXPECT_EQ(l.indices, (std::vector<DWORD>{0, 69999, 35000}));
  IDirect3DIndexBuffer9* ib = nullptr;
  IDirect3DVertexBuffer9* vb = nullptr;
  ASSERT_EQ(l.mesh->GetIndexBuffer(&ib), D3D_OK);
  ASSERT_EQ(l.mesh->GetVertexBuffer(&vb), D3D_OK);
  D3DINDEXBUFFER_DESC id;
  D3DVERTEXBUFFER_DESC vd;
  ib->GetDesc(&id);
  vb->GetDesc(&vd);
  EXPECT_EQ(id.Format, D3DFMT_INDEX32);
  EXPECT_EQ(id.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(vd.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(vd.FVF, static_cast<DWORD>(D3DFVF_XYZ));
  ib->Release();
  vb->Release();

  Loaded small;
  Load(Text({Triangle("T")}), &small, D3DXMESH_SYSTEMMEM);
  ASSERT_EQ(small.hr, D3D_OK);
  ASSERT_EQ(small.mesh->GetIndexBuffer(&ib), D3D_OK);
  ib->GetDesc(&id);
  EXPECT_EQ(id.Format, D3DFMT_INDEX16);
  EXPECT_EQ(id.Pool, D3DPOOL_SYSTEMMEM);
  ib->Release();
}

TEST_F(MeshTest, FilesWithoutUsableMeshesFail) {
  struct Case {
    std::string file;
    HRESULT hr;
  } cases[] = {
      {"xof 0303txt 0032\n", D3DXERR_LOADEDMESHASNODATA},
      {"xof 0303txt 0032\nFrame F { }\nMaterial M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }",
       D3DXERR_LOADEDMESHASNODATA},
      {"xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 0; ; }", D3DXERR_LOADEDMESHASNODATA},
      {"xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }", D3DXERR_INVALIDDATA},
      {"xof 0303txt 0032\nFrame { Mesh { 3; 0;0;0;; } }", D3DXERR_INVALIDDATA},
      {"xof 0303tzip0032\0\0\0\0", D3DXERR_INVALIDDATA},
      {"not an x file at all", D3DXERR_INVALIDDATA},
  };
  for (const auto& c : cases) {
    Loaded l;
    Load(c.file, &l);
    EXPECT_EQ(l.hr, c.hr) << c.file;
  }
  ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(1);
  EXPECT_EQ(D3DXLoadMeshFromX("./no/such/file.x", D3DXMESH_MANAGED, Device(), nullptr, nullptr,
                              nullptr, nullptr, &mesh),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(mesh, nullptr);
  EXPECT_EQ(
      D3DXLoadMeshFromXInMemory("x", 1, 0, nullptr, nullptr, nullptr, nullptr, nullptr, &mesh),
      D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, LoadsFromAFileWhateverTheCaseOfItsName) {
  char dir[] = "/tmp/yule-mesh-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/Regalo0.X";
  const std::string file = Text({CubeMesh()});
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);

  ID3DXMesh* mesh = nullptr;
  ID3DXBuffer* materials = nullptr;
  ID3DXBuffer* effects = nullptr;
  DWORD n = 0;
  ASSERT_EQ(D3DXLoadMeshFromX((std::string(dir) + "/REGALO0.x").c_str(), D3DXMESH_MANAGED, Device(),
                              nullptr, &materials, &effects, &n, &mesh),
            D3D_OK);
  EXPECT_EQ(mesh->GetNumFaces(), 12u);
  EXPECT_EQ(n, 2u);
  ASSERT_NE(effects, nullptr);
  EXPECT_EQ(effects->GetBufferSize(), 2 * sizeof(D3DXEFFECTINSTANCE));
  EXPECT_EQ(static_cast<D3DXEFFECTINSTANCE*>(effects->GetBufferPointer())[1].pEffectFilename,
            nullptr);
  mesh->Release();
  materials->Release();
  effects->Release();
  std::remove(path.c_str());
  rmdir(dir);
}

namespace {

// A mesh of positions (i, i², 0) built directly, with the given faces and attributes.
ID3DXMesh* MakeMesh(IDirect3DDevice9* device, DWORD vertices, const std::vector<DWORD>& indices,
                    const std::vector<DWORD>& attributes, DWORD fvf = D3DFVF_XYZ) {
  ID3DXMesh* mesh = nullptr;
  EXPECT_EQ(D3DXCreateMeshFVF(static_cast<DWORD>(attributes.size()), vertices, D3DXMESH_MANAGED,
                              fvf, device, &mesh),
            D3D_OK);
  void* data = nullptr;
  mesh->LockVertexBuffer(0, &data);
  for (DWORD v = 0; v < vertices; ++v) {
    const float p[3] = {static_cast<float>(v), static_cast<float>(v * v), 0};
    std::memcpy(static_cast<BYTE*>(data) + v * mesh->GetNumBytesPerVertex(), p, 12);
  }
  mesh->UnlockVertexBuffer();
  mesh->LockIndexBuffer(0, &data);
  for (std::size_t i = 0; i < indices.size(); ++i)
    static_cast<WORD*>(data)[i] = static_cast<WORD>(indices[i]);
  mesh->UnlockIndexBuffer();
  DWORD* attr = nullptr;
  mesh->LockAttributeBuffer(0, &attr);
  std::copy(attributes.begin(), attributes.end(), attr);
  mesh->UnlockAttributeBuffer();
  return mesh;
}

std::vector<D3DXVECTOR3> Positions(ID3DXMesh* mesh) {
  const std::vector<BYTE> bytes = ReadVertices(mesh);
  std::vector<D3DXVECTOR3> out(mesh->GetNumVertices());
  for (std::size_t v = 0; v < out.size(); ++v)
    std::memcpy(&out[v], bytes.data() + v * mesh->GetNumBytesPerVertex(), 12);
  return out;
}

// Average cache misses per triangle with a 16-entry FIFO cache.
double MissesPerTriangle(const std::vector<DWORD>& indices) {
  std::vector<DWORD> fifo;
  int misses = 0;
  for (DWORD i : indices) {
    if (std::find(fifo.begin(), fifo.end(), i) != fifo.end()) continue;
    ++misses;
    fifo.push_back(i);
    if (fifo.size() > 16) fifo.erase(fifo.begin());
  }
  return static_cast<double>(misses) / (indices.size() / 3);
}

}  // namespace

TEST_F(MeshTest, OptimizeSortsCompactsAndKeepsEveryTriangle) {
  const std::vector<DWORD> indices = {0, 1, 2, 2, 1, 3, 3, 4, 5, 5, 4, 6, 0, 2, 6};
  const std::vector<DWORD> attributes = {1, 0, 1, 0, 2};
  ID3DXMesh* mesh = MakeMesh(Device(), 8, indices, attributes);  // vertex 7 unused
  const std::vector<D3DXVECTOR3> before = Positions(mesh);
  std::vector<DWORD> adjacency(15), adjacencyOut(15), faceRemap(5);
  ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adjacency.data()), D3D_OK);
  ID3DXBuffer* vertexRemap = nullptr;
  ASSERT_EQ(
      mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_COMPACT | D3DXMESHOPT_VERTEXCACHE,
                            adjacency.data(), adjacencyOut.data(), faceRemap.data(), &vertexRemap),
      D3D_OK);
  EXPECT_EQ(mesh->GetNumVertices(), 7u);
  EXPECT_EQ(mesh->GetNumFaces(), 5u);
  ASSERT_NE(vertexRemap, nullptr);
  ASSERT_EQ(vertexRemap->GetBufferSize(), 7 * sizeof(DWORD));
  const auto* oldOfNew = static_cast<const DWORD*>(vertexRemap->GetBufferPointer());

  const std::vector<D3DXVECTOR3> after = Positions(mesh);
  for (DWORD v = 0; v < 7; ++v) {
    EXPECT_NE(oldOfNew[v], 7u);
    EXPECT_EQ(after[v], before[oldOfNew[v]]);
  }
  const std::vector<DWORD> newIndices = ReadIndices(mesh);
  const std::vector<DWORD> newAttributes = ReadAttributes(mesh);
  EXPECT_EQ(newAttributes, (std::vector<DWORD>{0, 0, 1, 1, 2}));
  std::multiset<DWORD> remapped(faceRemap.begin(), faceRemap.end());
  EXPECT_EQ(remapped, (std::multiset<DWORD>{0, 1, 2, 3, 4}));
  for (DWORD f = 0; f < 5; ++f) {
    const DWORD old = faceRemap[f];
    EXPECT_EQ(newAttributes[f], attributes[old]);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(after[newIndices[f * 3 + c]], before[indices[old * 3 + c]]);
  }

  const auto table = ReadTable(mesh);
  ASSERT_EQ(table.size(), 3u);
  const DWORD starts[3] = {0, 2, 4}, counts[3] = {2, 2, 1};
  for (DWORD a = 0; a < 3; ++a) {
    EXPECT_EQ(table[a].AttribId, a);
    EXPECT_EQ(table[a].FaceStart, starts[a]);
    EXPECT_EQ(table[a].FaceCount, counts[a]);
    for (DWORD i = starts[a] * 3; i < (starts[a] + counts[a]) * 3; ++i) {
      EXPECT_GE(newIndices[i], table[a].VertexStart);
      EXPECT_LT(newIndices[i], table[a].VertexStart + table[a].VertexCount);
    }
  }
  // The remapped adjacency describes the new mesh.
  std::vector<DWORD> fresh(15);
  ASSERT_EQ(mesh->GenerateAdjacency(0.0f, fresh.data()), D3D_OK);
  EXPECT_EQ(adjacencyOut, fresh);
  vertexRemap->Release();
  mesh->Release();
}

TEST_F(MeshTest, VertexCacheOrderCutsMissesOnAShuffledGrid) {
  const DWORD side = 24;  // quads per side
  std::vector<DWORD> indices;
  for (DWORD y = 0; y < side; ++y)
    for (DWORD x = 0; x < side; ++x) {
      const DWORD a = y * (side + 1) + x, b = a + 1, c = a + side + 1, d = c + 1;
      indices.insert(indices.end(), {a, b, c, b, d, c});
    }
  // Shuffle the triangles deterministically.
  const DWORD faces = static_cast<DWORD>(indices.size() / 3);
  std::uint32_t seed = 12345;
  for (DWORD f = faces - 1; f > 0; --f) {
    seed = seed * 1664525u + 1013904223u;
    const DWORD g = seed % (f + 1);
    for (int c = 0; c < 3; ++c) std::swap(indices[f * 3 + c], indices[g * 3 + c]);
  }
  ID3DXMesh* mesh =
      MakeMesh(Device(), (side + 1) * (side + 1), indices, std::vector<DWORD>(faces, 0));
  const double shuffled = MissesPerTriangle(indices);
  ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_VERTEXCACHE, nullptr, nullptr, nullptr, nullptr),
            D3D_OK);
  const std::vector<DWORD> optimised = ReadIndices(mesh);
  const double ordered = MissesPerTriangle(optimised);
  EXPECT_GT(shuffled, 1.5);
  EXPECT_LT(ordered, 0.9) << "shuffled " << shuffled;
  // Vertices were renumbered in order of first use.
  DWORD next = 0;
  for (DWORD i : optimised) {
    ASSERT_LE(i, next);
    if (i == next) ++next;
  }
  mesh->Release();
}

TEST_F(MeshTest, CloneConvertsBetweenVertexFormats) {
  Loaded l;
  Load(Text({CubeMesh()}), &l);
  ASSERT_EQ(l.hr, D3D_OK);

  ID3DXMesh* slim = nullptr;
  ASSERT_EQ(l.mesh->CloneMeshFVF(D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_TEX1, nullptr, &slim),
            D3D_OK);
  EXPECT_EQ(slim->GetNumBytesPerVertex(), 20u);
  const std::vector<BYTE> slimBytes = ReadVertices(slim);
  for (DWORD v = 0; v < 24; ++v) {
    EXPECT_EQ(std::memcmp(slimBytes.data() + v * 20, &l.V(v).position, 12), 0);
    EXPECT_EQ(std::memcmp(slimBytes.data() + v * 20 + 12, &l.V(v).u, 8), 0);
  }
  EXPECT_EQ(ReadIndices(slim), l.indices);
  EXPECT_EQ(ReadAttributes(slim), l.attributes);
  EXPECT_EQ(ReadTable(slim).size(), 2u);

  ID3DXMesh* wide = nullptr;
  ASSERT_EQ(slim->CloneMeshFVF(D3DXMESH_MANAGED | D3DXMESH_32BIT,
                               D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2, Device(),
                               &wide),
            D3D_OK);
  EXPECT_EQ(wide->GetNumBytesPerVertex(), 12u + 12u + 4u + 16u);
  EXPECT_NE(wide->GetOptions() & D3DXMESH_32BIT, 0u);
  EXPECT_EQ(ReadIndices(wide), l.indices);
  const std::vector<BYTE> wideBytes = ReadVertices(wide);
  for (DWORD v = 0; v < 24; ++v) {
    const BYTE* p = wideBytes.data() + v * 44;
    float normal[3], uv0[2], uv1[2];
    DWORD colour;
    std::memcpy(normal, p + 12, 12);
    std::memcpy(&colour, p + 24, 4);
    std::memcpy(uv0, p + 28, 8);
    std::memcpy(uv1, p + 36, 8);
    EXPECT_EQ(normal[0], 0.0f);
    EXPECT_EQ(normal[1], 0.0f);
    EXPECT_EQ(normal[2], 0.0f);
    EXPECT_EQ(colour, 0xFFFFFFFFu);
    EXPECT_EQ(uv0[0], l.V(v).u);
    EXPECT_EQ(uv0[1], l.V(v).v);
    EXPECT_EQ(uv1[0], 0.0f);
    EXPECT_EQ(uv1[1], 0.0f);
  }
  wide->Release();
  slim->Release();

  ID3DXMesh* bad = reinterpret_cast<ID3DXMesh*>(1);
  EXPECT_EQ(l.mesh->CloneMeshFVF(D3DXMESH_MANAGED, D3DFVF_NORMAL, nullptr, &bad),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(bad, nullptr);
}

TEST_F(MeshTest, DrawSubsetDrawsTheAttributeRangeOrEachRunOfFaces) {
  Loaded l;
  Load(Text({CubeMesh()}), &l);
  ASSERT_EQ(l.hr, D3D_OK);
  IDirect3DVertexBuffer9* vb = nullptr;
  IDirect3DIndexBuffer9* ib = nullptr;
  l.mesh->GetVertexBuffer(&vb);
  l.mesh->GetIndexBuffer(&ib);

  Log().Clear();
  ASSERT_EQ(l.mesh->DrawSubset(1), D3D_OK);
  const auto& r = Log().Records();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_STREQ(r[0].name, "SetFVF");
  EXPECT_EQ(r[0].args[0], kCubeFVF);
  EXPECT_STREQ(r[1].name, "SetStreamSource");
  EXPECT_EQ(r[1].object, vb);
  EXPECT_EQ(r[1].args[0], 0u);
  EXPECT_EQ(r[1].args[1], 0u);
  EXPECT_EQ(r[1].args[2], 36u);
  EXPECT_STREQ(r[2].name, "SetIndices");
  EXPECT_EQ(r[2].object, ib);
  EXPECT_STREQ(r[3].name, "DrawIndexedPrimitive");
  const DWORD expected[6] = {D3DPT_TRIANGLELIST,     0,  l.table[1].VertexStart,
                             l.table[1].VertexCount, 18, 6};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(r[3].args[i], expected[i]) << i;

  Log().Clear();
  EXPECT_EQ(l.mesh->DrawSubset(9), D3D_OK);
  EXPECT_EQ(Log().Count("DrawIndexedPrimitive"), 0);

  // Rewriting the attributes drops the table: each run of faces is drawn on its own.
  DWORD* attr = nullptr;
  ASSERT_EQ(l.mesh->LockAttributeBuffer(0, &attr), D3D_OK);
  const DWORD pattern[12] = {1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, 1};
  std::copy(pattern, pattern + 12, attr);
  l.mesh->UnlockAttributeBuffer();
  EXPECT_TRUE(ReadTable(l.mesh).empty());
  Log().Clear();
  ASSERT_EQ(l.mesh->DrawSubset(1), D3D_OK);
  const auto draws = Log().Named("DrawIndexedPrimitive");
  ASSERT_EQ(draws.size(), 3u);
  const DWORD runs[3][2] = {{0, 2}, {12, 1}, {27, 3}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(draws[i].args[2], 0u);
    EXPECT_EQ(draws[i].args[3], 24u);
    EXPECT_EQ(draws[i].args[4], runs[i][0]);
    EXPECT_EQ(draws[i].args[5], runs[i][1]);
  }
  // The device holds what it last drew from; let go of it before the device goes.
  Device()->SetStreamSource(0, nullptr, 0, 0);
  Device()->SetIndices(nullptr);
  vb->Release();
  ib->Release();
}

TEST_F(MeshTest, AdjacencyJoinsNearbyPointsWithinEpsilon) {
  // Two triangles over one edge, the second with its own copies of the shared corners.
  ID3DXMesh* mesh = nullptr;
  ASSERT_EQ(D3DXCreateMeshFVF(2, 6, D3DXMESH_MANAGED, D3DFVF_XYZ, Device(), &mesh), D3D_OK);
  const float p[6][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 1e-5f}, {1, 1, 0}, {0, 1, 0}};
  void* data = nullptr;
  mesh->LockVertexBuffer(0, &data);
  std::memcpy(data, p, sizeof p);
  mesh->UnlockVertexBuffer();
  const WORD idx[6] = {0, 1, 2, 3, 4, 5};
  mesh->LockIndexBuffer(0, &data);
  std::memcpy(data, idx, sizeof idx);
  mesh->UnlockIndexBuffer();
  std::vector<DWORD> adj(6);
  ASSERT_EQ(mesh->GenerateAdjacency(0.0f, adj.data()), D3D_OK);
  EXPECT_EQ(adj, std::vector<DWORD>(6, D3DX_NO_NEIGHBOUR));
  ASSERT_EQ(mesh->GenerateAdjacency(1e-3f, adj.data()), D3D_OK);
  EXPECT_EQ(adj, (std::vector<DWORD>{D3DX_NO_NEIGHBOUR, 1, D3DX_NO_NEIGHBOUR, D3DX_NO_NEIGHBOUR,
                                     D3DX_NO_NEIGHBOUR, 0}));
  const DWORD reps[6] = {0, 1, 2, 1, 4, 2};
  ASSERT_EQ(mesh->ConvertPointRepsToAdjacency(reps, adj.data()), D3D_OK);
  EXPECT_EQ(adj[1], 1u);
  EXPECT_EQ(adj[5], 0u);
  const DWORD badReps[6] = {0, 1, 2, 1, 4, 99};
  EXPECT_EQ(mesh->ConvertPointRepsToAdjacency(badReps, adj.data()), D3DERR_INVALIDCALL);
  mesh->Release();
}

TEST_F(MeshTest, CreateMeshRefusesWhatCannotBeBuilt) {
  ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(1);
  EXPECT_EQ(D3DXCreateMeshFVF(1, 3, 0, D3DFVF_XYZ, nullptr, &mesh), D3DERR_INVALIDCALL);
  EXPECT_EQ(mesh, nullptr);
  EXPECT_EQ(D3DXCreateMeshFVF(0, 3, 0, D3DFVF_XYZ, Device(), &mesh), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateMeshFVF(1, 0, 0, D3DFVF_XYZ, Device(), &mesh), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateMeshFVF(1, 3, 0, D3DFVF_NORMAL, Device(), &mesh), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateMeshFVF(1, 70000, 0, D3DFVF_XYZ, Device(), &mesh), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateMeshFVF(0x7FFFFFFF, 3, D3DXMESH_32BIT, D3DFVF_XYZ, Device(), &mesh),
            E_OUTOFMEMORY);
  ASSERT_EQ(D3DXCreateMeshFVF(1, 70000, D3DXMESH_32BIT, D3DFVF_XYZ, Device(), &mesh), D3D_OK);
  IDirect3DDevice9* device = nullptr;
  ASSERT_EQ(mesh->GetDevice(&device), D3D_OK);
  EXPECT_EQ(device, Device());
  device->Release();
  // Indices the caller left out of range make the optimiser refuse rather than read past.
  void* data = nullptr;
  mesh->LockIndexBuffer(0, &data);
  static_cast<DWORD*>(data)[2] = 70000;
  mesh->UnlockIndexBuffer();
  EXPECT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_COMPACT, nullptr, nullptr, nullptr, nullptr),
            D3DERR_INVALIDCALL);
  mesh->Release();
  EXPECT_EQ(D3DXGetFVFVertexSize(kCubeFVF), 36u);
}

TEST(MeshBoundsTest, BoundingSphereIsTheMeanCentreAndFarthestVertex) {
  struct V {
    D3DXVECTOR3 p;
    float pad[2];
  };
  const V v[4] = {
      {{0, 0, 0}, {9, 9}}, {{2, 0, 0}, {9, 9}}, {{0, 4, 0}, {9, 9}}, {{-2, 0, 0}, {9, 9}}};
  D3DXVECTOR3 centre;
  float radius = -1;
  ASSERT_EQ(D3DXComputeBoundingSphere(&v[0].p, 4, sizeof(V), &centre, &radius), D3D_OK);
  EXPECT_EQ(centre, D3DXVECTOR3(0, 1, 0));
  EXPECT_FLOAT_EQ(radius, 3.0f);
  EXPECT_EQ(D3DXComputeBoundingSphere(&v[0].p, 0, sizeof(V), &centre, &radius), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXComputeBoundingSphere(nullptr, 4, sizeof(V), &centre, &radius), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXComputeBoundingSphere(&v[0].p, 4, sizeof(V), nullptr, &radius), D3DERR_INVALIDCALL);

  ID3DXBuffer* b = nullptr;
  ASSERT_EQ(D3DXCreateBuffer(12, &b), D3D_OK);
  EXPECT_EQ(b->GetBufferSize(), 12u);
  EXPECT_EQ(static_cast<BYTE*>(b->GetBufferPointer())[11], 0);
  b->Release();
  EXPECT_EQ(D3DXCreateBuffer(4, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(MeshTest, HugeFansAndManyNormalsPerVertexStayLinear) {
  // One polygon of many corners: every triangle of its fan shares corner 0.
  const std::uint32_t corners = 100000;
  std::vector<Vec3> ring(corners);
  Face polygon(corners);
  for (std::uint32_t i = 0; i < corners; ++i) {
    ring[i] = {std::cos(i * 1e-4f), std::sin(i * 1e-4f), 0};
    polygon[i] = i;
  }
  XWriteOptions binary;
  binary.binary = true;
  Loaded fan;
  Load(WriteXFile({MeshNode("Fan", ring, {polygon})}, binary), &fan);
  ASSERT_EQ(fan.hr, D3D_OK);
  ASSERT_EQ(fan.mesh->GetNumFaces(), corners - 2);
  using Corners = std::tuple<float, float, float, float, float, float>;
  std::multiset<Corners> before, after;
  for (DWORD f = 0; f < corners - 2; ++f) {
    const D3DXVECTOR3 a = fan.P(fan.indices[f * 3]), b = fan.P(fan.indices[f * 3 + 1]),
                      c = fan.P(fan.indices[f * 3 + 2]);
    before.insert({a.x, a.y, b.x, b.y, c.x, c.y});
  }
  ASSERT_EQ(fan.mesh->OptimizeInplace(
                D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                fan.adjacency.data(), nullptr, nullptr, nullptr),
            D3D_OK);
  const std::vector<DWORD> indices = ReadIndices(fan.mesh);
  const std::vector<D3DXVECTOR3> positions = Positions(fan.mesh);
  for (DWORD f = 0; f < corners - 2; ++f) {
    const D3DXVECTOR3 &a = positions[indices[f * 3]], &b = positions[indices[f * 3 + 1]],
                      &c = positions[indices[f * 3 + 2]];
    after.insert({a.x, a.y, b.x, b.y, c.x, c.y});
  }
  EXPECT_TRUE(before == after);

  // One triangle's corners written many times, each time with a normal of its own.
  const std::uint32_t faces = 60000;
  std::vector<Vec3> normals(faces);
  std::vector<Face> faceList(faces, Face{0, 1, 2}), normalFaces(faces);
  for (std::uint32_t f = 0; f < faces; ++f) {
    normals[f] = {0, 0, 1.0f + static_cast<float>(f)};
    normalFaces[f] = {f, f, f};
  }
  XNode mesh = MeshNode("Many", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, faceList);
  mesh.Add(NormalsNode(normals, normalFaces));
  Loaded many;
  Load(WriteXFile({mesh}, binary), &many);
  ASSERT_EQ(many.hr, D3D_OK);
  EXPECT_EQ(many.mesh->GetNumVertices(), 3 * faces);
  EXPECT_NE(many.mesh->GetOptions() & D3DXMESH_32BIT, 0u);
  EXPECT_EQ(many.indices[3 * 12345], 3 * 12345u);
}

TEST_F(MeshTest, ColoursRoundAndANotANumberChannelBecomesZero) {
  XNode mesh = Triangle("T");
  mesh.Add(ColoursNode({{0, {0.1f, 0.5f, 0.7f, 1.0f}}, {1, {std::nanf(""), 2.0f, -1.0f, 0.5f}}}));
  XWriteOptions binary;
  binary.binary = true;
  Loaded l;
  Load(WriteXFile({mesh}, binary), &l);
  ASSERT_EQ(l.hr, D3D_OK);
  ASSERT_EQ(l.mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_DIFFUSE));
  DWORD colours[3];
  for (int v = 0; v < 3; ++v) std::memcpy(&colours[v], l.vertices.data() + v * 16 + 12, 4);
  EXPECT_EQ(colours[0], 0xFF1A80B3u);
  EXPECT_EQ(colours[1], 0x8000FF00u);
  EXPECT_EQ(colours[2], 0xFFFFFFFFu);  // no colour given: opaque white
}

TEST(AdjacencyTest, MatchesTheLowestOtherFaceRuleOnTangledMeshes) {
  // Few vertices and many faces: edges shared by three or more faces, faces that
  // repeat an edge, collapsed edges, and reps that merge vertices. Every slot must be
  // the lowest-numbered other face on that pair of reps, and the first such face's
  // slots the second one (none when no other face has the edge).
  std::uint32_t seed = 12345;
  auto next = [&seed](DWORD n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  for (int round = 0; round < 40; ++round) {
    const DWORD vertices = 3 + next(12);
    const std::size_t faces = 1 + next(60);
    std::vector<DWORD> reps(vertices), indices(faces * 3);
    for (DWORD v = 0; v < vertices; ++v) reps[v] = next(4) == 0 ? next(vertices) : v;
    for (DWORD& i : indices) i = next(vertices);
    std::vector<DWORD> adjacency(faces * 3, 0xABCD);
    platform::d3dx9::AdjacencyFromReps(indices.data(), faces, vertices, reps.data(),
                                       adjacency.data());
    auto edge = [&](std::size_t f, int e) {
      const DWORD x = reps[indices[f * 3 + e]], y = reps[indices[f * 3 + (e + 1) % 3]];
      return std::pair(std::min(x, y), std::max(x, y));
    };
    for (std::size_t f = 0; f < faces; ++f)
      for (int e = 0; e < 3; ++e) {
        const auto key = edge(f, e);
        DWORD first = D3DX_NO_NEIGHBOUR, second = D3DX_NO_NEIGHBOUR;
        for (std::size_t g = 0; g < faces && key.first != key.second; ++g)
          for (int k = 0; k < 3; ++k)
            if (edge(g, k) == key) {
              if (first == D3DX_NO_NEIGHBOUR) first = static_cast<DWORD>(g);
              else if (second == D3DX_NO_NEIGHBOUR && g != first) second = static_cast<DWORD>(g);
            }
        const DWORD expected = first == f ? second : first;
        EXPECT_EQ(adjacency[f * 3 + e], expected) << "round " << round << " face " << f << " edge " << e;
      }
  }
}
