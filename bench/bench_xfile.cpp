// .X reading throughput: parsing alone and the whole D3DXLoadMeshFromX merge, for the
// text and binary encodings of one generated model (a banded sphere of a few thousand
// faces with normals, texture coordinates and two materials) and of the largest models
// the content generator writes (with binary twins made here), in bytes per second, with
// the heap high-water mark of one load. Where a general-purpose importer is installed,
// its reading of the same bytes (no post-processing) runs alongside as the reference.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstring>
#include <string>
#include <vector>

#include "HeadlessDevice.h"
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

// Heap accounting for the peak of one load: every allocation of the process goes
// through these, sized by what the allocator really handed out.
struct HeapCount {
  std::atomic<std::size_t> live{0}, peak{0}, base{0};
  void Reset() {
    base = live.load();
    peak = base.load();
  }
};
HeapCount& HeapCounter() {
  static HeapCount counter;
  return counter;
}

void* CountedNew(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  HeapCount& c = HeapCounter();
  const std::size_t now = c.live += malloc_usable_size(p);
  std::size_t peak = c.peak.load();
  while (now > peak && !c.peak.compare_exchange_weak(peak, now)) {
  }
  return p;
}

void CountedDelete(void* p) {
  if (!p) return;
  HeapCounter().live -= malloc_usable_size(p);
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return CountedNew(size); }
void* operator new[](std::size_t size) { return CountedNew(size); }
void operator delete(void* p) noexcept { CountedDelete(p); }
void operator delete[](void* p) noexcept { CountedDelete(p); }
void operator delete(void* p, std::size_t) noexcept { CountedDelete(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedDelete(p); }

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

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The binary twin of a text .X file, written by a converter of its own (not our
// reader) so both readers meet the same independent bytes: names, strings and
// separators token by token, runs of numbers as integer or float lists (a number is a
// float when it is written with a point or an exponent).
std::string BinaryTwin(const std::string& text) {
  if (text.size() < 16) return std::string();
  BinaryWriter b;
  std::size_t i = 16;
  const std::size_t n = text.size();
  std::vector<DWORD> ints;
  std::vector<float> floats;
  auto flush = [&] {
    if (!ints.empty()) b.Ints(ints);
    if (!floats.empty()) b.Floats(floats);
    ints.clear();
    floats.clear();
  };
  auto isSep = [](char c) { return std::strchr("{}[]()<>,;\" \t\r\n", c) != nullptr; };
  while (i < n) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c == '#' || (c == '/' && i + 1 < n && text[i + 1] == '/')) {
      while (i < n && text[i] != '\n') ++i;
      continue;
    }
    if (c == ';' || c == ',') {
      ++i;  // implied by the list tokens; a string carries its own terminator
      continue;
    }
    if (c == '{' || c == '}') {
      flush();
      b.W(c == '{' ? 10 : 11);
      ++i;
      continue;
    }
    if (c == '"') {
      flush();
      const std::size_t close = text.find('"', i + 1);
      if (close == std::string::npos) return std::string();
      b.W(2);
      b.D(static_cast<std::uint32_t>(close - i - 1));
      b.s.append(text, i + 1, close - i - 1);
      b.W(20);
      i = close + 1;
      continue;
    }
    std::size_t end = i;
    while (end < n && !isSep(text[end])) ++end;
    const std::string word = text.substr(i, end - i);
    i = end;
    const bool numeric =
        !word.empty() && word.find_first_not_of("0123456789.-+eE") == std::string::npos &&
        (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '-' || word[0] == '.');
    if (numeric && word.find_first_of(".eE") != std::string::npos) {
      if (!ints.empty()) {
        b.Ints(ints);
        ints.clear();
      }
      floats.push_back(std::strtof(word.c_str(), nullptr));
    } else if (numeric) {
      if (!floats.empty()) {
        b.Floats(floats);
        floats.clear();
      }
      ints.push_back(static_cast<DWORD>(std::strtol(word.c_str(), nullptr, 10)));
    } else {
      flush();
      b.Name(word);
    }
  }
  flush();
  return b.s;
}

bool LoadOnce(const std::string& file, DWORD* faces) {
  ID3DXMesh* mesh = nullptr;
  ID3DXBuffer* adjacency = nullptr;
  ID3DXBuffer* materials = nullptr;
  DWORD n = 0;
  if (FAILED(D3DXLoadMeshFromXInMemory(file.data(), static_cast<DWORD>(file.size()),
                                       D3DXMESH_MANAGED, Device(), &adjacency, &materials,
                                       nullptr, &n, &mesh)))
    return false;
  *faces = mesh->GetNumFaces();
  mesh->Release();
  adjacency->Release();
  materials->Release();
  return true;
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
  if (file.empty()) {
    state.SkipWithError("no file (build datagen_run)");
    return;
  }
  if (!Device()) {
    state.SkipWithError("no headless device");
    return;
  }
  DWORD faces = 0;
  // The heap high-water mark of one load above what was live before it.
  HeapCounter().Reset();
  const bool loaded = LoadOnce(file, &faces);
  const double peak = static_cast<double>(HeapCounter().peak - HeapCounter().base);
  if (!loaded) {
    state.SkipWithError("load failed");
    return;
  }
  for (auto _ : state) {
    if (!LoadOnce(file, &faces)) {
      state.SkipWithError("load failed");
      break;
    }
  }
  state.counters["faces"] = faces;
  state.counters["peak_heap_MB"] = peak / (1024.0 * 1024.0);
  state.counters["file_MB"] = static_cast<double>(file.size()) / (1024.0 * 1024.0);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
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
#endif

void BM_ParseText(benchmark::State& state) {
  Parse(state, Text());
}
void BM_ParseBinary(benchmark::State& state) {
  Parse(state, Binary());
}

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

// The inputs measured: the sphere in both encodings, and the largest generated models
// as written and as binary twins. Our load and the reference import of each input are
// registered next to each other, so their ratio comes from one run.
void RegisterInputs() {
  static std::vector<std::pair<std::string, std::string>> inputs;
  inputs.emplace_back("Sphere/text", Text());
  inputs.emplace_back("Sphere/binary", Binary());
  for (const char* name : {"Terreno1", "ArbolDeNavidad", "Mu\xC3\xB1" "ecoArmParte6"}) {
    const std::string text = ReadFile(std::string(YULE_BENCH_DATA_DIR) + "/" + name + ".X");
    inputs.emplace_back(std::string(name) + "/text", text);
    inputs.emplace_back(std::string(name) + "/binary", BinaryTwin(text));
  }
  for (const auto& [label, bytes] : inputs) {
    const std::string* file = &bytes;
    benchmark::RegisterBenchmark(("BM_LoadMesh/" + label).c_str(),
                                 [file](benchmark::State& s) { Load(s, *file); })
        ->Unit(benchmark::kMillisecond);
#ifdef YULE_BENCH_ASSIMP
    benchmark::RegisterBenchmark(("BM_ReferenceImport/" + label).c_str(),
                                 [file](benchmark::State& s) { Import(s, *file); })
        ->Unit(benchmark::kMillisecond);
#endif
  }
}

}  // namespace

BENCHMARK(BM_ParseText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptimizeInplace)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  RegisterInputs();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
