// One frame of a 4-player, 16-item round on the recording device with the generated
// content: keyboard read, the world's Update, the scene's update walk and the render
// queue's flush. Reports the time per frame and the heap allocations per frame, which
// should be none once the round is under way. A second run leaves the scene out, to
// show the gameplay's own share of the frame.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>

#include "app/AppShell.h"
#include "app/EngineServices.h"
#include "app/GraphicsDevice.h"
#include "engine/input/InputSystem.h"
#include "engine/input/Keyboard.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/Scene.h"
#include "engine/sound/SoundSystem.h"
#include "gameplay/MatchWorld.h"
#include "platform/Platform.h"
#include "platform/Random.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/dinput8/DInput8Headless.h"
#include "platform/win32/Win32.h"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

// Every allocation of the program passes here to be counted; these replace the global
// pair, so the compiler's new/free pairing warning does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

LRESULT BenchProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

const BYTE kKeys[4][4] = {{DIK_W, DIK_S, DIK_A, DIK_D},
                          {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT},
                          {DIK_U, DIK_J, DIK_H, DIK_K},
                          {DIK_NUMPAD8, DIK_NUMPAD5, DIK_NUMPAD4, DIK_NUMPAD6}};

bool StartServices() {
  platform::SetBackend(platform::Backend::Headless);
  dataRoot = std::string(YULE_BENCH_DATA_DIR) + "/";
  textureFolder = materialFolder = renderStateFolder = modelFolder = meshFolder =
      waveSoundFolder = waveSound3DFolder = musicFolder = dataRoot;
  CreateEngineServices();
  WNDCLASSEXA wc{};
  wc.lpszClassName = "MatchFrameBench";
  wc.lpfnWndProc = BenchProc;
  RegisterClassExA(&wc);
  HWND w = CreateWindowExA(0, "MatchFrameBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600,
                           nullptr, nullptr, nullptr, nullptr);
  AppSettings s;
  s.windowed = false;
  s.colourDepth = 32;
  if (!w || !g_graphicsDevice->Init(w, s)) return false;
  platform::d3d9::Log().Clear();
  platform::d3d9::Log().enabled = false;
  g_soundSystem->Init(w, 44100);
  if (!StartInputServices(nullptr, w, s)) return false;
  for (int p = 0; p < 4; ++p)
    for (int d = 0; d < 4; ++d) g_inputSystem->BindKey(100 * p + d, kKeys[p][d]);
  return true;
}

void BM_MatchFrame(benchmark::State& state) {
  if (!StartServices()) {
    state.SkipWithError("services could not start");
    return;
  }
  // Argument 1: the whole frame; 0: only the keyboard and the world's Update, which is
  // the gameplay's own share (the figures' skinning dominates the drawn frame).
  const bool draw = state.range(0) != 0;
  platform::SeedRandom(7);
  g_frameTime = 1.0f / 60.0f;
  MatchWorld* world = g_matchWorld = new MatchWorld();
  world->Init(800, 600);
  world->playerCount = 4;
  world->CreateFigures();
  auto startRound = [&] {
    world->EndRound();
    world->mode = new BagMode(world);  // 4 × 4 gifts
    world->mode->StartRound();
    for (int i = 0; i < 4; ++i) world->byRoundScore[i] = world->byWins[i] = &world->players[i];
  };
  startRound();

  // Each player taps toward the nearest lying item, or its base when carrying, so that
  // pick-ups, deliveries, spawns and steals all happen while the frames are measured.
  long frame = 0;
  int held[4] = {-1, -1, -1, -1};
  auto steer = [&](int p) {
    Player& pl = world->players[p];
    if (held[p] >= 0) {
      platform::dinput8::HeadlessSetKey(kKeys[p][held[p]], false);
      held[p] = -1;
      return;
    }
    D3DXVECTOR3 goal = pl.base.position;
    if (!pl.IsCarrying()) {
      float best = 1e30f;
      for (const Item& item : world->mode->items) {
        if (item.state != Item::kLying) continue;
        const D3DXVECTOR3 d = item.position - pl.position;
        if (D3DXVec3LengthSq(&d) < best) best = D3DXVec3LengthSq(&d), goal = item.position;
      }
    }
    const D3DXVECTOR3 d = goal - pl.position;
    const bool alongX = std::fabs(d.x) > std::fabs(d.y);
    const int dir = alongX ? (d.x < 0 ? 2 : 3) : (d.y < 0 ? 1 : 0);
    const D3DXVECTOR3 want = dir == 0 ? D3DXVECTOR3(0, 1, 0) : dir == 1 ? D3DXVECTOR3(0, -1, 0)
                             : dir == 2 ? D3DXVECTOR3(-1, 0, 0) : D3DXVECTOR3(1, 0, 0);
    if (pl.heading != want || pl.speed < 120.0f) {
      platform::dinput8::HeadlessSetKey(kKeys[p][dir], true);
      held[p] = dir;
    }
  };
  auto step = [&] {
    for (int p = 0; p < 4; ++p) steer(p);
    g_keyboard->Update();
    world->Update();
    if (draw) {
      g_scene->Update();
      g_scene->Render();
    }
    ++frame;
  };
  for (int warm = 0; warm < 600; ++warm) step();  // every item model and path in use

  // A finished round is replaced, untimed and uncounted, so that every measured frame
  // belongs to a round in play.
  long excluded = 0, rounds = 0;
  const long before = g_allocations.load();
  for (auto _ : state) {
    if (world->IsRoundOver()) {
      state.PauseTiming();
      const long setUp = g_allocations.load();
      startRound();
      ++rounds;
      excluded += g_allocations.load() - setUp;
      state.ResumeTiming();
    }
    step();
  }
  const long allocations = g_allocations.load() - before - excluded;
  state.counters["rounds"] = static_cast<double>(rounds);
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
  int lying = 0, carried = 0, delivered = 0;
  for (const Item& item : world->mode->items) {
    lying += item.state == Item::kLying;
    carried += item.state == Item::kCarried;
    delivered += item.state == Item::kDelivered;
  }
  state.counters["delivered"] = delivered;
  state.counters["lying"] = lying;
  state.counters["carried"] = carried;

  world->EndRound();
  world->RemovePlayersFromScene();
  delete world;
  g_matchWorld = nullptr;
  DestroyEngineServices();
}
BENCHMARK(BM_MatchFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
