// Render-queue throughput on the recording device: a frame's worth of model nodes
// submitted and flushed (grouping, sorting, state application, subset draws), reported
// as draw items per second. The call log is switched off so only the engine's work and
// the device's state keeping are measured.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/gui/Texture.h"
#include "engine/materials/Material.h"
#include "engine/materials/Model.h"
#include "engine/materials/RenderStateSet.h"
#include "engine/scene/Camera.h"
#include "engine/scene/ModelNode.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "platform/Platform.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3dx9/D3DX9Mesh.h"
#include "platform/win32/Win32.h"

namespace {

LRESULT BenchProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  return DefWindowProcA(h, m, w, l);
}

bool CreateDevice() {
  platform::SetBackend(platform::Backend::Headless);
  WNDCLASSEXA wc{};
  wc.lpszClassName = "RenderQueueBench";
  wc.lpfnWndProc = BenchProc;
  RegisterClassExA(&wc);
  HWND w = CreateWindowExA(0, "RenderQueueBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600,
                           nullptr, nullptr, nullptr, nullptr);
  if (!w) return false;
  AppSettings s;
  s.windowed = false;
  s.colourDepth = 32;
  g_graphicsDevice = new GraphicsDevice();
  if (!g_graphicsDevice->Init(w, s)) return false;
  platform::d3d9::Log().Clear();
  platform::d3d9::Log().enabled = false;
  return true;
}

// A frame's content: `nodes` nodes of three-subset models over a handful of state sets,
// materials and textures; one model in five is see-through.
struct Frame {
  explicit Frame(int nodes) {
    IDirect3DDevice9* device = g_graphicsDevice->GetDevice();
    states[0].name = "__DEFAULT__";
    states[1].name = "__DEFAULT_TRANSPARENT__";
    states[1].Set(D3DRS_ALPHABLENDENABLE, 1);
    states[2].name = "AUTO_NOCULL";
    states[2].Set(D3DRS_CULLMODE, D3DCULL_NONE);
    for (int i = 0; i < 8; ++i) {
      materials[i].name = "AUTO_MAT_" + std::to_string(i);
      materials[i].material.Diffuse.r = i / 8.0f;
      textures[i].name = "TEX" + std::to_string(i) + ".PNG";
      device->CreateTexture(16, 16, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &textures[i].texture,
                            nullptr);
    }
    for (int m = 0; m < 10; ++m) {
      auto model = std::make_unique<Model>();
      D3DXCreateMeshFVF(12, 24, D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_NORMAL, device, &model->mesh);
      DWORD* attributes = nullptr;
      if (model->mesh && SUCCEEDED(model->mesh->LockAttributeBuffer(0, &attributes))) {
        for (DWORD f = 0; f < 12; ++f) attributes[f] = f / 4;
        model->mesh->UnlockAttributeBuffer();
        model->mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr);
      }
      model->subsets.resize(3);
      for (int s = 0; s < 3; ++s) {
        MeshSubset& subset = model->subsets[s];
        subset.owner = model.get();
        subset.index = static_cast<std::uint32_t>(s);
        subset.renderStates = &states[m % 5 == 4 ? 1 : (s == 2 ? 2 : 0)];
        subset.material = &materials[(m + s) % 8];
        subset.textures.Set(0, &textures[(m * 3 + s) % 8]);
      }
      if (m % 5 == 4) materials[m % 8].opaque = false;
      models.push_back(std::move(model));
    }
    for (int n = 0; n < nodes; ++n) {
      auto node = std::make_unique<ModelNode>();
      node->SetPosition(
          {static_cast<float>(n % 20) * 50.0f, static_cast<float>(n / 20) * 50.0f, 0});
      node->RebuildMatrices();
      node->SetModel(models[n % models.size()].get());
      items += static_cast<std::int64_t>(node->items.size());
      this->nodes.push_back(std::move(node));
    }
  }
  ~Frame() {
    for (Texture& t : textures)
      if (t.texture) t.texture->Release();
    for (Texture& t : textures) t.texture = nullptr;
  }
  RenderStateSet states[3];
  Material materials[8];
  Texture textures[8];
  std::vector<std::unique_ptr<Model>> models;
  std::vector<std::unique_ptr<ModelNode>> nodes;
  std::int64_t items = 0;
};

void BM_SubmitAndFlush(benchmark::State& state) {
  if (!g_graphicsDevice && !CreateDevice()) {
    state.SkipWithError("no headless device");
    return;
  }
  Scene scene;
  RenderQueue queue;
  g_scene = &scene;
  g_renderQueue = &queue;
  Camera camera;
  camera.SetPosition({500, -800, 400});
  camera.target.SetPosition({500, 200, 0});
  scene.AddTargetedNode(&camera);
  scene.SetCamera(&camera);
  {
    Frame frame(static_cast<int>(state.range(0)));
    for (auto _ : state) {
      for (auto& node : frame.nodes) queue.SubmitModel(node.get());
      queue.Flush();
    }
    state.SetItemsProcessed(state.iterations() * frame.items);
  }
  scene.RemoveNode(&camera);
  scene.RemoveNode(&camera.target);
  g_scene = nullptr;
  g_renderQueue = nullptr;
}
BENCHMARK(BM_SubmitAndFlush)->Arg(50)->Arg(400);

}  // namespace

BENCHMARK_MAIN();
