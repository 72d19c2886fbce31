// The world's set-up and round life cycle on a scene without content: lights and the
// fixed camera, what each mode puts where, the modes never repeating, and a round's
// nodes leaving the scene with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/scene/Scene.h"
#include "gameplay/MatchWorld.h"
#include "platform/Random.h"
#include "support/Headless.h"

namespace {

class WorldTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    g_scene = new Scene();
    world = new MatchWorld();
    world->Init(800, 600);
  }
  void TearDown() override {
    world->EndRound();
    world->RemovePlayersFromScene();
    delete world;
    delete g_scene;
    g_scene = nullptr;
    HeadlessTest::TearDown();
  }
  bool InScene(const SceneNode& node) const {
    const auto& c = g_scene->root.children;
    return std::count(c.begin(), c.end(), &node) == 1;
  }
  // Starts a round of mode m directly, as NewRound does after its draw.
  void StartMode(int m) {
    world->EndRound();
    world->lastMode = world->currentMode = m;
    world->mode = m == 0   ? static_cast<GameMode*>(new BagMode(world))
                  : m == 1 ? static_cast<GameMode*>(new SnowmanMode(world))
                           : static_cast<GameMode*>(new TreeMode(world));
    world->mode->StartRound();
  }
  MatchWorld* world = nullptr;
};

TEST_F(WorldTest, InitSetsUpFourLightsAndTheFixedCamera) {
  ASSERT_EQ(g_scene->lights.size(), 4u);
  EXPECT_FLOAT_EQ(g_scene->lights[0]->light.Diffuse.g, 0.7137255f);
  EXPECT_FLOAT_EQ(g_scene->lights[1]->light.Diffuse.r, 0.50196081f);
  EXPECT_EQ(g_scene->lights[3]->target.position, D3DXVECTOR3(1, 1, -1));
  EXPECT_EQ(g_scene->camera, &world->camera);
  EXPECT_EQ(world->camera.position, D3DXVECTOR3(0, -1800, 1800));
  EXPECT_EQ(world->camera.target.position, D3DXVECTOR3(0, 0, 0));
  EXPECT_FLOAT_EQ(world->camera.aspect, 800.0f / 600.0f);
  EXPECT_TRUE(InScene(world->camera) && InScene(world->camera.target));
  for (int i = 0; i < 4; ++i)
    for (int a = 0; a < 4; ++a) EXPECT_EQ(world->players[i].actions[a], 100 * i + a);
  world->camera.viewDirty = world->camera.projectionDirty = false;
  world->InvalidateCamera();
  EXPECT_TRUE(world->camera.viewDirty && world->camera.projectionDirty);
}

TEST_F(WorldTest, EachModePlacesItsBasesItemsAndPlayers) {
  struct Case {
    int mode, players, items, lyingAtStart;
    float baseX[4];
  };
  const Case cases[] = {
      {0, 2, 8, 2, {-650, 200}},
      {0, 4, 16, 4, {-650, 200, -200, 650}},
      {2, 3, 12, 3, {-650, 200, -200}},
      {1, 4, 7, 1, {0, 0, 0, 0}},
      {1, 1, 7, 1, {0}},
  };
  platform::SeedRandom(99);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.players << " players");
    world->playerCount = c.players;
    world->CreateFigures();
    StartMode(c.mode);
    EXPECT_EQ(world->mode->ItemTotal(), c.items);
    ASSERT_EQ(int(world->mode->items.size()), c.items);
    int lying = 0;
    for (const Item& item : world->mode->items) {
      lying += item.state == Item::kLying;
      EXPECT_EQ(item.state == Item::kLying, InScene(item));
      if (item.state == Item::kLying) {
        EXPECT_TRUE(item.position.x >= -700 && item.position.x <= 700);
        EXPECT_TRUE(item.position.y >= -700 && item.position.y <= 300);
      }
      const float s = item.scale.x;
      EXPECT_FLOAT_EQ(item.PickUpRadius(), 50.0f * s);
      if (c.mode == 0) {
        EXPECT_TRUE(s >= 1.0f && s <= 1.5f);
      }
    }
    EXPECT_EQ(lying, c.lyingAtStart);
    EXPECT_EQ(InScene(world->mode->terrain), true);
    for (int i = 0; i < c.players; ++i) {
      const Player& p = world->players[i];
      EXPECT_EQ(p.base.position, D3DXVECTOR3(c.baseX[i], 800, 0));
      EXPECT_EQ(p.base.diamond.points[2], p.base.position + D3DXVECTOR3(0, 150, 0));
      // Only the snowman round leaves the other players' bases out of the scene.
      const bool shown = c.mode != 1 || i == 0;
      EXPECT_EQ(InScene(p.base.model), shown);
      EXPECT_EQ(InScene(p.base.marker), shown);
      EXPECT_EQ(p.animation, "reposo");
      EXPECT_EQ(p.figure.position, p.position);
      EXPECT_TRUE(p.position.y >= -700 && p.position.y <= 600);
      for (int j = 0; j < i; ++j) {
        const D3DXVECTOR3 d = p.position - world->players[j].position;
        EXPECT_GE(D3DXVec3Length(&d), 120.0f);
      }
    }
  }
  // The snowman counts its parts, whoever delivers.
  SnowmanMode* snowman = static_cast<SnowmanMode*>(world->mode);
  EXPECT_EQ(snowman->partsBuilt, 0);
  for (int k = 0; k < 7; ++k) snowman->OnDelivered(world->players[0]);
  EXPECT_EQ(snowman->partsBuilt, 7);
}

TEST_F(WorldTest, RoundsNeverRepeatTheirModeAndLeaveNothingBehind) {
  world->playerCount = 3;
  platform::SeedRandom(5);
  world->NewMatch();
  std::set<int> seen;
  int previous = world->currentMode;
  seen.insert(previous);
  for (int r = 0; r < 30; ++r) {
    world->EndRound();
    EXPECT_EQ(g_scene->root.children.size(), 2u + 8u + 3u);  // camera, lights, figures
    world->NewRound();
    EXPECT_NE(world->currentMode, previous);
    previous = world->currentMode;
    seen.insert(previous);
  }
  EXPECT_EQ(seen.size(), 3u);
  // A new match draws against the last round of the previous one.
  world->EndRound();
  world->RemovePlayersFromScene();
  world->NewMatch();
  EXPECT_NE(world->currentMode, previous);
  world->EndRound();
  EXPECT_EQ(g_scene->root.children.size(), 2u + 8u + 3u);  // figures added once only
}

}  // namespace
