// .X reading throughput: parsing alone and the whole D3DXLoadMeshFromX merge, for the
// text and binary encodings of one generated model (a banded sphere of a few thousand
// faces with normals, texture coordinates and two materials) and for the largest model
// the content generator writes, in bytes per second. Where a general-purpose importer
// is installed, its reading of the same bytes (no post-processing) runs alongside as
// the reference.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/d3d9/D3D9.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3dx9/D3DX9Mesh.h"
#include "platform/d3dx9/XFile.h"

#ifdef YULE_BENCH_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace {

constexpr int kRings = 48;
constexpr int kSegments = 64;  // 48 × 64 quads = 6144 triangles

struct Model {
  std::vector<float> positions;  // xyz per vertex
  std::vector<float> uvs;
  std::vector<std::vector<DWORD>> quads;
};

Model MakeSphere() {
  Model m;
  for (int r = 0; r <= kRings; ++r) {
    const float phi = 3.14159265f * r / kRings;
    for (int s = 0; s <= kSegments; ++s) {
      const float theta = 2 * 3.14159265f * s / kSegments;
      m.positions.insert(m.positions.end(), {std::sin(phi) * std::cos(theta),
                                             std::sin(phi) * std::sin(theta), std::cos(phi)});
      m.uvs.insert(m.uvs.end(),
                   {static_cast<float>(s) / kSegments, static_cast<float>(r) / kRings});
    }
  }
  for (int r = 0; r < kRings; ++r)
    for (int s = 0; s < kSegments; ++s) {
      const DWORD a = r * (kSegments + 1) + s, b = a + 1, c = a + kSegments + 1, d = c + 1;
      m.quads.push_back({a, b, d, c});
    }
  return m;
}

std::string TextFile(const Model& m) {
  std::string out =
      "xof 0303txt 0032\nFrame Root {\n FrameTransformMatrix { 1.0,0.0,0.0,0.0, "
      "0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; }\n Mesh Sphere {\n";
  char buf[96];
  auto vectors = [&](const std::vector<float>& v, int group) {
    out += std::to_string(v.size() / group) + ";\n";
    for (std::size_t i = 0; i < v.size(); i += group) {
      for (int k = 0; k < group; ++k) {
        std::snprintf(buf, sizeof buf, "%.6f;", static_cast<double>(v[i + k]));
        out += buf;
      }
      out += i + group < v.size() ? ",\n" : ";\n";
    }
  };
  auto faces = [&] {
    out += std::to_string(m.quads.size()) + ";\n";
    for (std::size_t f = 0; f < m.quads.size(); ++f) {
      out += "4;";
      for (int k = 0; k < 4; ++k) {
        out += std::to_string(m.quads[f][k]);
        out += k < 3 ? "," : ";";
      }
      out += f + 1 < m.quads.size() ? ",\n" : ";\n";
    }
  };
  vectors(m.positions, 3);
  faces();
  out += "MeshNormals {\n";
  vectors(m.positions, 3);  // a unit sphere's normals are its positions
  faces();
  out += "}\nMeshTextureCoords {\n";
  vectors(m.uvs, 2);
  out += "}\nMeshMaterialList { 2; " + std::to_string(m.quads.size()) + ";\n";
  for (std::size_t f = 0; f < m.quads.size(); ++f) {
    out += f % 2 ? "1" : "0";
    out += f + 1 < m.quads.size() ? "," : ";;\n";
  }
  out +=
      "Material { 1.0;1.0;1.0;1.0;; 8.0; 1.0;1.0;1.0;; 0.0;0.0;0.0;; TextureFilename { "
      "\"snow.png\"; } }\n";
  out += "Material { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n}\n";
  out += " }\n}\n";
  return out;
}

struct BinaryWriter {
  std::string s = "xof 0303bin 0032";
  void W(std::uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); }
  void D(std::uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }
  void Name(const std::string& n) {
    W(1);
    D(static_cast<std::uint32_t>(n.size()));
    s += n;
  }
  void Ints(const std::vector<DWORD>& v) {
    W(6);
    D(static_cast<std::uint32_t>(v.size()));
    for (DWORD x : v) D(x);
  }
  void Floats(const std::vector<float>& v) {
    W(7);
    D(static_cast<std::uint32_t>(v.size()));
    s.append(reinterpret_cast<const char*>(v.data()), v.size() * 4);
  }
};

std::string BinaryFile(const Model& m) {
  BinaryWriter b;
  std::vector<DWORD> faceInts = {static_cast<DWORD>(m.quads.size())};
  for (const auto& q : m.quads) {
    faceInts.push_back(4);
    faceInts.insert(faceInts.end(), q.begin(), q.end());
  }
  const DWORD n = static_cast<DWORD>(m.positions.size() / 3);
  b.Name("Frame");
  b.Name("Root");
  b.W(10);
  b.Name("FrameTransformMatrix");
  b.W(10);
  b.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
  b.W(11);
  b.Name("Mesh");
  b.Name("Sphere");
  b.W(10);
  b.Ints({n});
  b.Floats(m.positions);
  b.Ints(faceInts);
  b.Name("MeshNormals");
  b.W(10);
  b.Ints({n});
  b.Floats(m.positions);
  b.Ints(faceInts);
  b.W(11);
  b.Name("MeshTextureCoords");
  b.W(10);
  b.Ints({n});
  b.Floats(m.uvs);
  b.W(11);
  b.Name("MeshMaterialList");
  b.W(10);
  std::vector<DWORD> materials = {2, static_cast<DWORD>(m.quads.size())};
  for (std::size_t f = 0; f < m.quads.size(); ++f) materials.push_back(f % 2);
  b.Ints(materials);
  for (int i = 0; i < 2; ++i) {
    b.Name("Material");
    b.W(10);
    b.Floats({1, 1, 1, 1, 8, 1, 1, 1, 0, 0, 0});
    b.W(11);
  }
  b.W(11);
  b.W(11);
  b.W(11);
  return b.s;
}

const std::string& Text() {
  static const std::string s = TextFile(MakeSphere());
  return s;
}
const std::string& Binary() {
  static const std::string s = BinaryFile(MakeSphere());
  return s;
}

// The largest .X file in the generated content folder, or empty when there is none.
const std::string& LargestGenerated() {
  static const std::string s = [] {
    namespace fs = std::filesystem;
    std::string best;
    std::uintmax_t bestSize = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(YULE_BENCH_DATA_DIR, ec)) {
      const std::string ext = e.path().extension().string();
      if ((ext == ".X" || ext == ".x") && e.file_size(ec) > bestSize) {
        bestSize = e.file_size(ec);
        best = e.path().string();
      }
    }
    if (best.empty()) return std::string();
    std::ifstream in(best, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }();
  return s;
}

IDirect3DDevice9* Device() {
  static IDirect3DDevice9* device = [] {
    platform::SetBackend(platform::Backend::Headless);
    platform::d3d9::HeadlessResetD3D();
    platform::d3d9::Log().enabled = false;
    return platform::d3d9::HeadlessCreateDevice();
  }();
  return device;
}

void Parse(benchmark::State& state, const std::string& file) {
  for (auto _ : state) {
    platform::d3dx9::XFile x;
    if (!x.Parse(file.data(), file.size())) state.SkipWithError(x.Error().c_str());
    benchmark::DoNotOptimize(x.Objects().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
  state.counters["file_bytes"] = static_cast<double>(file.size());
}

void Load(benchmark::State& state, const std::string& file) {
  IDirect3DDevice9* device = Device();
  if (!device) {
    state.SkipWithError("no headless device");
    return;
  }
  for (auto _ : state) {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD n = 0;
    if (FAILED(D3DXLoadMeshFromXInMemory(file.data(), static_cast<DWORD>(file.size()),
                                         D3DXMESH_MANAGED, device, &adjacency, &materials, nullptr,
                                         &n, &mesh))) {
      state.SkipWithError("load failed");
      break;
    }
    state.counters["faces"] = mesh->GetNumFaces();
    mesh->Release();
    adjacency->Release();
    materials->Release();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}

void BM_ParseText(benchmark::State& state) {
  Parse(state, Text());
}
void BM_ParseBinary(benchmark::State& state) {
  Parse(state, Binary());
}
void BM_LoadMeshText(benchmark::State& state) {
  Load(state, Text());
}
void BM_LoadMeshBinary(benchmark::State& state) {
  Load(state, Binary());
}

void BM_LoadMeshLargestGenerated(benchmark::State& state) {
  if (LargestGenerated().empty()) {
    state.SkipWithError("no generated content (build datagen_run)");
    return;
  }
  Load(state, LargestGenerated());
}

#ifdef YULE_BENCH_ASSIMP
void Import(benchmark::State& state, const std::string& file) {
  if (file.empty()) {
    state.SkipWithError("no file");
    return;
  }
  for (auto _ : state) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFileFromMemory(file.data(), file.size(), 0, "x");
    if (!scene) {
      state.SkipWithError(importer.GetErrorString());
      break;
    }
    benchmark::DoNotOptimize(scene->mNumMeshes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
void BM_ReferenceImportText(benchmark::State& state) {
  Import(state, Text());
}
void BM_ReferenceImportBinary(benchmark::State& state) {
  Import(state, Binary());
}
void BM_ReferenceImportLargestGenerated(benchmark::State& state) {
  Import(state, LargestGenerated());
}
BENCHMARK(BM_ReferenceImportText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceImportBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceImportLargestGenerated)->Unit(benchmark::kMillisecond);
#endif

void BM_OptimizeInplace(benchmark::State& state) {
  IDirect3DDevice9* device = Device();
  const std::string& file = Binary();
  for (auto _ : state) {
    state.PauseTiming();
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    D3DXLoadMeshFromXInMemory(file.data(), static_cast<DWORD>(file.size()), D3DXMESH_MANAGED,
                              device, &adjacency, nullptr, nullptr, nullptr, &mesh);
    state.ResumeTiming();
    mesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                          static_cast<const DWORD*>(adjacency->GetBufferPointer()), nullptr,
                          nullptr, nullptr);
    state.PauseTiming();
    mesh->Release();
    adjacency->Release();
    state.ResumeTiming();
  }
}

}  // namespace

BENCHMARK(BM_ParseText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMeshText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMeshBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMeshLargestGenerated)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptimizeInplace)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
