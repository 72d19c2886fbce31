// The drawn frame of a 4-player round on the real OpenGL backend, with the generated
// content: one mode on one terrain, with or without the kept layer of still scenery (the
// arguments), players running, the world's Update,
// the scene, the score display and Present. The same seed gives the same round every run,
// so content and backend changes compare where the game's own frame-time run (which
// picks terrains at random) cannot. Reports frames per second and the processor time per
// frame of the whole process, the software rasteriser's threads included, which depends
// far less on how busy the machine is. Needs a display (run it under Xvfb at 800 × 600).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/AppShell.h"
#include "app/GraphicsDevice.h"
#include "engine/materials/ModelManager.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "gameplay/MatchWorld.h"
#include "platform/Random.h"
#include "platform/d3dx9/D3DX9Sprite.h"
#include "ProcessTime.h"
#include "support/GLWindow.h"
#include "support/TestServices.h"

namespace {

void BM_RoundFrame(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) {
    state.SkipWithError("no DISPLAY");
    return;
  }
  const int mode = static_cast<int>(state.range(0));
  const int terrain = static_cast<int>(state.range(1));
  const bool layer = state.range(2) != 0;
  GLWindow gl;
  if (!gl.Open(false)) {
    state.SkipWithError(gl.error().c_str());
    return;
  }
  GLEngineServices services;
  services.Start(gl.device(), std::string(YULE_BENCH_DATA_DIR) + "/");
  if (FAILED(D3DXCreateSprite(gl.device(), &g_graphicsDevice->sprite))) {
    state.SkipWithError("no sprite batch");
    return;
  }
  const float savedFrameTime = g_frameTime;
  g_frameTime = 1.0f / 60.0f;
  platform::SeedRandom(2024 + mode);
  MatchWorld* world = g_matchWorld = new MatchWorld();
  world->Init(800, 600);
  world->playerCount = 4;
  for (int i = 0; i < 4; ++i) world->players[i].figureIndex = i;
  world->CreateFigures();
  world->currentMode = world->lastMode = mode;
  world->mode = mode == 0   ? static_cast<GameMode*>(new BagMode(world))
                : mode == 1 ? static_cast<GameMode*>(new SnowmanMode(world))
                            : static_cast<GameMode*>(new TreeMode(world));
  world->mode->StartRound();
  world->mode->terrain.SetModel(g_modelManager->Acquire("Terreno" + std::to_string(terrain) + ".X"));
  for (int i = 0; i < 4; ++i) world->byRoundScore[i] = world->byWins[i] = &world->players[i];
  g_renderQueue->useLayer = layer;

  // Each player runs round a square of its own, so the figures animate and move about.
  static const D3DXVECTOR3 kHeadings[4] = {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}};
  long frame = 0;
  const double cpu0 = ProcessSeconds();
  for (auto _ : state) {
    for (int i = 0; i < 4; ++i) {
      world->players[i].heading = kHeadings[(frame / 90 + i) % 4];
      world->players[i].speed = 30.0f;
    }
    world->Update();
    gl.PumpMessages();
    g_graphicsDevice->Clear();
    if (g_graphicsDevice->BeginScene()) {
      g_scene->Update();
      g_scene->Render();
      if (g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND)) {
        world->mode->DrawScoreDisplay();
        g_graphicsDevice->EndSprites();
      }
      gl.device()->EndScene();
    }
    gl.device()->Present(nullptr, nullptr, nullptr, nullptr);
    ++frame;
  }
  const double cpu = ProcessSeconds() - cpu0;
  state.counters["fps"] = benchmark::Counter(static_cast<double>(frame), benchmark::Counter::kIsRate);
  state.counters["cpu_ms"] = frame ? 1000.0 * cpu / static_cast<double>(frame) : 0.0;

  world->EndRound();
  world->RemovePlayersFromScene();
  delete world;
  world = g_matchWorld = nullptr;
  g_frameTime = savedFrameTime;
  services.Stop();
}

}  // namespace

// Arguments: mode (0 bags, 1 snowman, 2 trees), terrain (0 village, 1 clearing, 2 lake),
// kept layer (0 off: everything drawn every frame, 1 on).
BENCHMARK(BM_RoundFrame)
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();
BENCHMARK_MAIN();
