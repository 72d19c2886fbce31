// A 4-player round of each mode with the generated content, seen through the fixed match
// camera on the OpenGL device: items lying, one carried, one delivered, and the score
// display on top. The pictures go to the artefacts folder under gameplay/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/AppShell.h"
#include "app/GraphicsDevice.h"
#include "engine/materials/MaterialManager.h"
#include "engine/materials/ModelManager.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/MeshManager.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "gameplay/MatchWorld.h"
#include "platform/Random.h"
#include "platform/d3d9/Device9.h"
#include "platform/d3d9/gl/GLBackend.h"
#include "platform/d3dx9/D3DX9Sprite.h"
#include "platform/win32/Win32.h"
#include "support/TestServices.h"
#include "support/GLWindow.h"

namespace {

class MatchGLTest : public GLDeviceTest {
 protected:
  void SetUp() override {
    GLDeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    services.Start(gl_.device(), DataFolder());
    ASSERT_EQ(D3DXCreateSprite(gl_.device(), &g_graphicsDevice->sprite), D3D_OK);
    savedFrameTime = g_frameTime;
    g_frameTime = 1.0f / 30.0f;
  }
  void TearDown() override {
    if (g_graphicsDevice) {
      g_frameTime = savedFrameTime;
      delete world;
      world = g_matchWorld = nullptr;
      services.Stop();
    }
    GLDeviceTest::TearDown();
  }
  static std::string DataFolder() { return std::string(YULE_BUILD_DIR) + "/Data/"; }

  // Stands player i on the spot (its diamond and figure follow), as a move would.
  void Put(int i, const D3DXVECTOR3& p) {
    Player& pl = world->players[i];
    pl.position = p;
    BuildDiamond(&pl.diamond, p, pl.radius);
    pl.figure.SetPosition(p);
  }
  // Ends the round in play and starts one of the mode (0 bags, 1 snowman, 2 trees).
  void StartRound(int mode, std::uint32_t seed) {
    platform::SeedRandom(seed);
    world->EndRound();
    world->currentMode = world->lastMode = mode;
    world->mode = mode == 0   ? static_cast<GameMode*>(new BagMode(world))
                  : mode == 1 ? static_cast<GameMode*>(new SnowmanMode(world))
                              : static_cast<GameMode*>(new TreeMode(world));
    world->mode->StartRound();
    for (int i = 0; i < 4; ++i) world->byRoundScore[i] = &world->players[i];
  }
  Item* FirstLying() {
    for (Item& item : world->mode->items)
      if (item.state == Item::kLying) return &item;
    return nullptr;
  }

  void Draw() {
    g_graphicsDevice->Clear();
    ASSERT_TRUE(g_graphicsDevice->BeginScene());
    g_scene->Update();
    g_scene->Render();
    ASSERT_TRUE(g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND));
    world->mode->DrawScoreDisplay();
    g_graphicsDevice->EndSprites();
    ASSERT_EQ(gl_.device()->EndScene(), D3D_OK);
  }

  MatchWorld* world = nullptr;
  GLEngineServices services;
  float savedFrameTime = 0.0f;
};

TEST_F(MatchGLTest, EachModeShowsTheFieldItemsBasesAndScoreDisplay) {
  if (std::filesystem::is_regular_file(DataFolder() + "Terreno0.X") == false)
    GTEST_SKIP() << "no generated content in " << DataFolder();
  world = g_matchWorld = new MatchWorld();
  world->Init(800, 600);
  world->playerCount = 4;
  for (int i = 0; i < 4; ++i) world->players[i].figureIndex = i % 2;
  world->CreateFigures();
  const char* names[3] = {"gameplay/bags", "gameplay/snowman", "gameplay/trees"};
  const char* artefacts = std::getenv("YULE_ARTIFACTS");
  std::filesystem::create_directories(
      std::filesystem::path(artefacts && *artefacts ? artefacts : YULE_BUILD_DIR "/artifacts") /
      "gameplay");
  for (int m = 0; m < 3; ++m) {
    SCOPED_TRACE(names[m]);
    StartRound(m, 1000 + m);

    // Player 1 fetches an item and delivers it; player 0 picks up the next one.
    Item* item = FirstLying();
    ASSERT_NE(item, nullptr);
    Put(1, item->position);
    world->Update();
    ASSERT_TRUE(world->players[1].IsCarrying());
    Put(1, world->players[1].base.position - D3DXVECTOR3(0, 160, 0));
    world->Update();
    EXPECT_EQ(world->players[1].roundScore, 1);
    item = FirstLying();
    ASSERT_NE(item, nullptr);
    Put(0, item->position + D3DXVECTOR3(30, 0, 0));
    world->players[0].heading = D3DXVECTOR3(0, -1, 0);
    world->players[0].speed = 30.0f;  // turns the figure toward the camera, running
    world->Update();
    ASSERT_TRUE(world->players[0].IsCarrying());
    world->players[2].speed = 60.0f;
    for (int f = 0; f < 10; ++f) {
      world->Update();
      Draw();
    }
    ASSERT_TRUE(gl_.ReadBack());
    // The field fills the middle of the picture; the score bar sits on the black top edge.
    int lit = 0;
    for (int y = 100; y < 600; y += 10)
      for (int x = 0; x < 800; x += 10) lit += (gl_.At(x, y) & 0xFFFFFF) != 0;
    EXPECT_GT(lit, 2000) << "field mostly black";
    EXPECT_NE(gl_.At(400, 20) & 0xFFFFFF, 0u) << "no score bar";
    EXPECT_NE(gl_.At(30, 40) & 0xFFFFFF, 0u) << "no icon of player 0";
    EXPECT_FALSE(gl_.SaveArtifact(names[m]).empty());
    ASSERT_EQ(gl_.device()->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  }
  world->EndRound();
  world->RemovePlayersFromScene();
}

// The scenery kept in the device's layer and copied back looks as drawing everything each
// frame does: a round of each mode played for a stretch with players running about,
// carrying and delivering, every eighth frame drawn both ways and compared pixel for pixel
// (a depth that did not come back would let a figure show through a tree, or hide it; a
// part drawn over and not put back would leave a trail). The layer holds colour and depth
// bit for bit, so not one pixel may differ. The background changes once part-way, so the
// layer is filled again. Each mode plays on another terrain, the first on the frozen lake
// whose see-through ice is kept with the scenery. The last mode runs in a larger window,
// drawn off-screen, where the layer is copied the other way.
TEST_F(MatchGLTest, KeptSceneryLooksAsDrawingItEveryFrame) {
  if (std::filesystem::is_regular_file(DataFolder() + "Terreno0.X") == false)
    GTEST_SKIP() << "no generated content in " << DataFolder();
  world = g_matchWorld = new MatchWorld();
  world->Init(800, 600);
  world->playerCount = 4;
  for (int i = 0; i < 4; ++i) world->players[i].figureIndex = i;
  world->CreateFigures();
  RenderQueue* layered = g_renderQueue;
  RenderQueue everyFrame;
  everyFrame.useLayer = false;
  constexpr int kFrames = 40, kCompareEvery = 8;
  auto AsGL = [&] {
    return platform::d3d9::gl::AsGLBackend(
        &static_cast<platform::d3d9::Device9*>(gl_.device())->Backend());
  };
  auto drawsIntoWindow = [&] { return AsGL()->DrawsIntoWindow(); };
  for (int m = 0; m < 3; ++m) {
    SCOPED_TRACE("mode " + std::to_string(m));
    if (m == 2) {
      RECT r{};
      GetWindowRect(gl_.window(), &r);
      SetWindowPos(gl_.window(), nullptr, 0, 0, r.right - r.left + 100, r.bottom - r.top + 100,
                   SWP_NOMOVE | SWP_NOZORDER);
      gl_.PumpMessages();
    }
    StartRound(m, 2000 + m);
    // Each terrain once, the frozen lake (see-through ice kept with the scenery) first.
    world->mode->terrain.SetModel(
        g_modelManager->Acquire("Terreno" + std::to_string((m + 2) % 3) + ".X"));
    // A still bag between the camera and player 0, who stands behind it: the figure
    // shows above it only if the depth under the figure came back from the layer.
    ModelNode screen;
    screen.SetModel(g_modelManager->Acquire("Bolsa.X"));
    screen.still = true;
    const D3DXVECTOR3 eye = g_scene->camera->WorldPosition();
    const D3DXVECTOR3 spot = world->players[0].position;
    screen.SetPosition(spot + (eye - spot) * 0.12f);
    g_scene->AddNode(&screen);
    const auto saves = layered->layerSaves, restored = layered->layerFrames;
    int differing = 0, worstFrame = -1, partlyRestored = 0;
    for (int f = 0; f < kFrames; ++f) {
      // Each player heads for an item, or home once carrying; the first one taken
      // is carried and delivered within the stretch.
      for (int i = 0; i < 4; ++i) {
        Player& p = world->players[i];
        Item* item = FirstLying();
        D3DXVECTOR3 goal = p.IsCarrying() || !item ? p.base.position : item->position;
        D3DXVECTOR3 d = goal - p.position;
        d.z = 0;
        if (D3DXVec3Length(&d) > 1e-3f) D3DXVec3Normalize(&p.heading, &d);
        p.speed = i == 0 ? 0.0f : 30.0f + 10.0f * i;
      }
      if (f == kFrames / 2) g_scene->SetBackgroundColour(0.1f, 0.2f, 0.3f, 1.0f);
      g_frameTime = 1.0f / 30.0f;
      world->Update();
      const auto framesBefore = layered->layerFrames;
      Draw();
      // Drawing the frame again in full draws over the whole back buffer, after which the
      // next frame puts the whole layer back; in between, frames put back only what the
      // last one drew over, and anything missed would be left behind (a figure's trail).
      if (f % kCompareEvery != kCompareEvery - 1 && f != kFrames / 2) {
        ASSERT_EQ(gl_.device()->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        if (layered->layerFrames > framesBefore) {
          partlyRestored +=
              AsGL()->LastRestoredPixels() < static_cast<long long>(gl_.pixels().size()) ? 1 : 0;
        }
        continue;
      }
      ASSERT_TRUE(gl_.ReadBack());
      const std::vector<std::uint32_t> kept = gl_.pixels();
      // The same frame again, everything drawn: no time passes, so the poses stand.
      g_frameTime = 0.0f;
      g_renderQueue = &everyFrame;
      Draw();
      g_renderQueue = layered;
      ASSERT_TRUE(gl_.ReadBack());
      int diff = 0;
      for (std::size_t k = 0; k < kept.size(); ++k) diff += (kept[k] & 0xFFFFFF) != (gl_.pixels()[k] & 0xFFFFFF);
      if (diff > differing) {
        differing = diff;
        worstFrame = f;
      }
      ASSERT_EQ(gl_.device()->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    EXPECT_EQ(differing, 0) << "pixels differ, worst at frame " << worstFrame;
    EXPECT_EQ(drawsIntoWindow(), m < 2);
    // The window here keeps its back buffer through the swap, and an off-screen target
    // always does: most frames put back a part only.
    EXPECT_GE(partlyRestored, kFrames / 3) << "frames that put back less than the whole";
    // Filled when the round's scenery settled and again after the background changed;
    // nearly every other frame started from the layer.
    EXPECT_LE(layered->layerSaves - saves, 3u);
    EXPECT_GE(layered->layerFrames - restored, static_cast<std::uint64_t>(kFrames - 6));
    g_scene->RemoveNode(&screen);
    if (m == 0) {
      EXPECT_FALSE(gl_.SaveArtifact("gameplay/kept_scenery").empty());
    }
  }
  g_frameTime = 1.0f / 30.0f;
  world->EndRound();
  world->RemovePlayersFromScene();
}

}  // namespace
