// Animated meshes on the recording device: software skinning of one figure (vertices per
// second), and a match frame of four running figures and a turning marker through the
// scene walk and the render queue (controller, frame matrices, skinning and draws). The
// generated figures are used when the data folder exists, else a test figure of similar
// size. The call log is off, so only the engine's work and the device's state keeping
// are measured.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "app/GraphicsDevice.h"
#include "engine/materials/MaterialManager.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/AnimatedMesh.h"
#include "engine/scene/AnimatedMeshNode.h"
#include "engine/scene/Camera.h"
#include "engine/scene/MeshManager.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "platform/Platform.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/win32/Win32.h"
#include "support/AnimatedTestFiles.h"
#include "support/TestImages.h"

namespace {

LRESULT BenchProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return DefWindowProcA(h, m, w, l);
}

// The headless device and the managers, once for the whole run.
struct World {
  World() {
    platform::SetBackend(platform::Backend::Headless);
    WNDCLASSEXA wc{};
    wc.lpszClassName = "AnimationBench";
    wc.lpfnWndProc = BenchProc;
    RegisterClassExA(&wc);
    HWND w = CreateWindowExA(0, "AnimationBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600,
                             nullptr, nullptr, nullptr, nullptr);
    AppSettings s;
    s.windowed = false;
    s.colourDepth = 32;
    g_graphicsDevice = new GraphicsDevice();
    if (!w || !g_graphicsDevice->Init(w, s)) return;
    platform::d3d9::Log().Clear();
    platform::d3d9::Log().enabled = false;

    const std::string data = std::string(YULE_BUILD_DIR) + "/Data/";
    if (std::filesystem::exists(data + "Jugador0_Figura0.X") &&
        std::filesystem::exists(data + "Marcador0.X")) {
      folder = data;
      figures = {"Jugador0_Figura0.X", "Jugador1_Figura1.X", "Jugador2_Figura2.X",
                 "Jugador3_Figura3.X"};
      marker = "Marcador0.X";
      source = "generated figures";
    } else {
      folder = scratch.Path() + "/";
      WriteBytes(folder + "Figura.X", testsupport::WriteXFile(testsupport::FigureFile(4), {}));
      WriteBytes(folder + "Marcador.X", testsupport::WriteXFile(testsupport::MarkerFile(), {}));
      figures = {"Figura.X", "Figura.X", "Figura.X", "Figura.X"};
      marker = "Marcador.X";
      source = "test figure";
    }
    textureFolder = materialFolder = renderStateFolder = meshFolder = folder;
    g_textureManager = new TextureManager;
    g_renderStateManager = new RenderStateManager;
    g_materialManager = new MaterialManager;
    g_meshManager = new MeshManager;
    ready = true;
  }
  TempDir scratch;
  std::string folder, marker, source;
  std::vector<std::string> figures;
  bool ready = false;
};

World& TheWorld() {
  static World world;
  return world;
}

// The skinned containers of a mesh.
void SkinnedContainers(MeshFrame* f, std::vector<MeshContainer*>* out) {
  for (; f; f = static_cast<MeshFrame*>(f->pFrameSibling)) {
    for (auto* c = static_cast<MeshContainer*>(f->pMeshContainer); c;
         c = static_cast<MeshContainer*>(c->pNextMeshContainer))
      if (c->pSkinInfo) out->push_back(c);
    SkinnedContainers(static_cast<MeshFrame*>(f->pFrameFirstChild), out);
  }
}

void BM_Skinning(benchmark::State& state) {
  World& world = TheWorld();
  AnimatedMesh* mesh = world.ready ? g_meshManager->Acquire(world.figures[0]) : nullptr;
  std::vector<MeshContainer*> skinned;
  if (mesh) SkinnedContainers(mesh->frameRoot, &skinned);
  if (skinned.empty()) {
    state.SkipWithError("no skinned figure");
    return;
  }
  AnimatedMeshNode node;
  node.SetMesh(mesh);
  node.SetAnimation("correr", true);
  g_frameTime = 0.3f;
  node.AdvanceAndRefresh();
  std::int64_t vertices = 0;
  for (MeshContainer* c : skinned) vertices += c->MeshData.pMesh->GetNumVertices();
  std::vector<D3DXMATRIX> bones;
  for (auto _ : state) {
    for (MeshContainer* c : skinned) {
      const std::size_t n = c->boneMatrixPointers.size();
      bones.resize(n);
      for (std::size_t i = 0; i < n; ++i) bones[i] = c->boneOffsets[i] * *c->boneMatrixPointers[i];
      void* src = nullptr;
      void* dst = nullptr;
      c->originalMesh->LockVertexBuffer(D3DLOCK_READONLY, &src);
      c->MeshData.pMesh->LockVertexBuffer(0, &dst);
      c->pSkinInfo->UpdateSkinnedMesh(bones.data(), nullptr, src, dst);
      c->MeshData.pMesh->UnlockVertexBuffer();
      c->originalMesh->UnlockVertexBuffer();
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * vertices);
  state.SetLabel(world.source + ", " + std::to_string(vertices) + " vertices");
}
BENCHMARK(BM_Skinning);

void BM_MatchFrameFourFiguresAndMarker(benchmark::State& state) {
  World& world = TheWorld();
  if (!world.ready) {
    state.SkipWithError("no headless device");
    return;
  }
  Scene scene;
  RenderQueue queue;
  g_scene = &scene;
  g_renderQueue = &queue;
  Camera camera;
  camera.SetPosition({0, -1800, 1800});
  camera.target.SetPosition({0, 0, 0});
  camera.SetAspect(800.0f / 600.0f);
  scene.AddTargetedNode(&camera);
  scene.SetCamera(&camera);
  std::vector<std::unique_ptr<AnimatedMeshNode>> nodes;
  for (int i = 0; i <= 4; ++i) {
    AnimatedMesh* mesh = g_meshManager->Acquire(i < 4 ? world.figures[i] : world.marker);
    if (!mesh) {
      state.SkipWithError("a figure or the marker did not load");
      break;
    }
    nodes.push_back(std::make_unique<AnimatedMeshNode>());
    AnimatedMeshNode* node = nodes.back().get();
    node->SetMesh(mesh);
    node->SetPosition({-450.0f + 300.0f * i, 0, 0});
    if (i < 4) {
      node->SetScale({1.7f, 1.7f, 1.7f});
      node->SetAnimationSpeed("correr", 1.0f + 0.5f * i);
      node->SetAnimation("correr", true);
    } else {
      node->SetAnimation("rotar", true);
    }
    scene.AddNode(node);
  }
  if (nodes.size() == 5) {
    g_frameTime = 1.0f / 60.0f;
    for (auto _ : state) {
      scene.Update();
      scene.Render();
    }
    state.SetLabel(world.source);
  }
  for (auto& n : nodes) scene.RemoveNode(n.get());
  scene.RemoveNode(&camera);
  scene.RemoveNode(&camera.target);
  g_scene = nullptr;
  g_renderQueue = nullptr;
}
BENCHMARK(BM_MatchFrameFourFiguresAndMarker)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
