// The drawn frame of a 4-player round on the real OpenGL backend, with the generated
// content: one mode on one terrain, with or without the kept layer of still scenery (the
// arguments), players running, the world's Update,
// the scene, the score display and Present. The same seed gives the same round every run,
// so content and backend changes compare where the game's own frame-time run (which
// picks terrains at random) cannot. Reports frames per second and the processor time per
// frame of the whole process, the software rasteriser's threads included, which depends
// far less on how busy the machine is. Needs a display (run it under Xvfb at 800 × 600).
// A fourth argument draws only part of the world, so that one share of the frame can be
// told from the rest: 0 everything, 1 only the animated figures and markers, 2 no 3D
// model at all (clear, interface and present).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "app/AppShell.h"
#include "app/GraphicsDevice.h"
#include "engine/materials/ModelManager.h"
#include "engine/scene/AnimatedDrawable.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "gameplay/MatchWorld.h"
#include "platform/Random.h"
#include "platform/d3dx9/D3DX9Sprite.h"
#include "ProcessTime.h"
#include "support/GLWindow.h"
#include "support/TestServices.h"

namespace {

// Shows the animated nodes only (or nothing) under node; items appear during the round,
// so this runs every frame.
void ShowOnly(SceneNode* node, int drawn) {
  for (SceneNode* child : node->children) {
    if (auto* r = dynamic_cast<RenderableNode*>(child))
      r->visible = drawn != 2 && dynamic_cast<AnimatedDrawable*>(child) != nullptr;
    ShowOnly(child, drawn);
  }
}

// The drawing of one frame, kept out of line with a twin for the measured frames, so that
// an instruction-counting profiler can count those alone, without the start-up and the
// shaders the software renderer compiles during the first frames. Counted instructions,
// unlike times, do not change with the machine's load:
// bench/frame_instructions.sh runs it so.
// The profiler's count divides by measured_frames, which adds up every run of the
// process (the benchmark library runs the function several times).
constexpr long kWarmUpFrames = 10;
long measuredFrames = 0;

[[gnu::noinline]] void DrawFrame(MatchWorld* world, GLWindow& gl, int /*drawn*/) {
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
}

[[gnu::noinline]] void MeasuredFrame(MatchWorld* world, GLWindow& gl, int drawn) {
  DrawFrame(world, gl, drawn);
  benchmark::ClobberMemory();
}

void BM_RoundFrame(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) {
    state.SkipWithError("no DISPLAY");
    return;
  }
  const int mode = static_cast<int>(state.range(0));
  const int terrain = static_cast<int>(state.range(1));
  const bool layer = state.range(2) != 0;
  const int drawn = static_cast<int>(state.range(3));
  GLWindow gl;
  if (!gl.Open(false)) {
    state.SkipWithError(gl.error().c_str());
    return;
  }
  GLEngineServices services;
  // Another content folder (YULE_BENCH_DATA) compares two versions of the content in one run.
  const char* data = std::getenv("YULE_BENCH_DATA");
  services.Start(gl.device(), std::string(data && *data ? data : YULE_BENCH_DATA_DIR) + "/");
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
    if (drawn != 0) ShowOnly(&g_scene->root, drawn);
    gl.PumpMessages();
    if (frame < kWarmUpFrames)
      DrawFrame(world, gl, drawn);
    else
      MeasuredFrame(world, gl, drawn);
    ++frame;
  }
  const double cpu = ProcessSeconds() - cpu0;
  state.counters["fps"] = benchmark::Counter(static_cast<double>(frame), benchmark::Counter::kIsRate);
  state.counters["cpu_ms"] = frame ? 1000.0 * cpu / static_cast<double>(frame) : 0.0;
  if (frame > kWarmUpFrames) measuredFrames += frame - kWarmUpFrames;
  state.counters["measured_frames"] = static_cast<double>(measuredFrames);

  world->EndRound();
  world->RemovePlayersFromScene();
  delete world;
  world = g_matchWorld = nullptr;
  g_frameTime = savedFrameTime;
  services.Stop();
}

}  // namespace

// Arguments: mode (0 bags, 1 snowman, 2 trees), terrain (0 village, 1 clearing, 2 lake),
// kept layer (0 off: everything drawn every frame, 1 on), what is drawn (0 everything,
// 1 animated models only, 2 no 3D model).
// YULE_BENCH_FRAMES=N runs exactly N frames: under the profiler a timed run would stop
// after the first.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  auto* b = benchmark::RegisterBenchmark("BM_RoundFrame", BM_RoundFrame)
                ->ArgsProduct({{0, 1, 2}, {0, 1, 2}, {0, 1}, {0}})
                ->Args({0, 0, 1, 1})
                ->Args({0, 0, 1, 2})
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
  const char* frames = std::getenv("YULE_BENCH_FRAMES");
  if (frames && std::atol(frames) > 0)
    b->Iterations(std::atol(frames));
  else
    b->MinTime(2.0);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
