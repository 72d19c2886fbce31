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
#include "platform/d3dx9/D3DX9Sprite.h"
#include "support/GLWindow.h"

namespace {

class MatchGLTest : public GLDeviceTest {
 protected:
  void SetUp() override {
    GLDeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    g_graphicsDevice = new GraphicsDevice();
    g_graphicsDevice->device = gl_.device();
    gl_.device()->AddRef();
    g_graphicsDevice->stateCache.Apply(true);
    ASSERT_EQ(D3DXCreateSprite(gl_.device(), &g_graphicsDevice->sprite), D3D_OK);
    std::string* folders[6] = {&dataRoot,    &textureFolder, &materialFolder, &renderStateFolder,
                               &modelFolder, &meshFolder};
    for (int i = 0; i < 6; ++i) saved[i] = *folders[i], *folders[i] = DataFolder();
    g_textureManager = new TextureManager;
    g_renderStateManager = new RenderStateManager;
    g_materialManager = new MaterialManager;
    g_modelManager = new ModelManager;
    g_meshManager = new MeshManager;
    g_renderQueue = new RenderQueue;
    g_scene = new Scene;
    savedFrameTime = g_frameTime;
    g_frameTime = 1.0f / 30.0f;
  }
  void TearDown() override {
    if (g_graphicsDevice) {
      g_frameTime = savedFrameTime;
      delete world;
      world = g_matchWorld = nullptr;
      delete g_scene;
      delete g_renderQueue;
      delete g_meshManager;
      delete g_modelManager;
      delete g_materialManager;
      delete g_renderStateManager;
      delete g_textureManager;
      g_scene = nullptr;
      g_renderQueue = nullptr;
      g_meshManager = nullptr;
      g_modelManager = nullptr;
      g_materialManager = nullptr;
      g_renderStateManager = nullptr;
      g_textureManager = nullptr;
      std::string* folders[6] = {&dataRoot,    &textureFolder, &materialFolder,
                                 &renderStateFolder, &modelFolder, &meshFolder};
      for (int i = 0; i < 6; ++i) *folders[i] = saved[i];
      delete g_graphicsDevice;
      g_graphicsDevice = nullptr;
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
  std::string saved[6];
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
    platform::SeedRandom(1000 + m);
    world->EndRound();
    world->currentMode = world->lastMode = m;
    world->mode = m == 0   ? static_cast<GameMode*>(new BagMode(world))
                  : m == 1 ? static_cast<GameMode*>(new SnowmanMode(world))
                           : static_cast<GameMode*>(new TreeMode(world));
    world->mode->StartRound();
    for (int i = 0; i < 4; ++i) world->byRoundScore[i] = &world->players[i];

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

}  // namespace
