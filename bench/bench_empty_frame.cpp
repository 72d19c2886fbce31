// The frame's fixed cost on the real OpenGL backend: a full-screen 800 × 600 device that
// each frame clears, begins the scene, opens and closes an empty sprite batch, ends the
// scene and presents. Needs a display (run it under Xvfb at the screen size to study,
// beside the floor program); without one it reports an error and measures nothing.
#include <benchmark/benchmark.h>


#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/d3d9/D3D9.h"
#include "platform/d3dx9/D3DX9Sprite.h"
#include "ProcessTime.h"
#include "support/GLWindow.h"

namespace {

void BM_EmptyFrame(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) {
    state.SkipWithError("no DISPLAY");
    return;
  }
  GLWindow gl;
  if (!gl.Open(false)) {
    state.SkipWithError(gl.error().c_str());
    return;
  }
  IDirect3DDevice9* d = gl.device();
  ID3DXSprite* sprite = nullptr;
  if (FAILED(D3DXCreateSprite(d, &sprite))) {
    state.SkipWithError("no sprite batch");
    return;
  }
  const double cpu0 = ProcessSeconds();
  for (auto _ : state) {
    gl.PumpMessages();
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    sprite->Begin(D3DXSPRITE_ALPHABLEND);
    sprite->End();
    d->EndScene();
    d->Present(nullptr, nullptr, nullptr, nullptr);
  }
  state.counters["cpu_ms"] =
      1000.0 * (ProcessSeconds() - cpu0) / static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate);
  sprite->Release();
}

}  // namespace

BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK_MAIN();
