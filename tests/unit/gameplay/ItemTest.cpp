// Pick-up, delivery, steals and the end of a round, run through the world's frame so
// that the order of its steps is what is tested.
#include <gtest/gtest.h>

#include "app/AppShell.h"
#include "engine/scene/Scene.h"
#include "gameplay/MatchWorld.h"
#include "platform/Random.h"
#include "support/Headless.h"

namespace {

class ItemTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    g_scene = new Scene();
    world = new MatchWorld();
    world->playerCount = 4;
    world->mode = new GameMode(world);
    for (int i = 0; i < 4; ++i) {
      world->byRoundScore[i] = &world->players[i];
      // Players far apart and far from their bases unless a test moves them.
      Put(i, D3DXVECTOR3(-600.0f + 400.0f * i, -600, 0));
      Player& p = world->players[i];
      p.base.position = D3DXVECTOR3(-600.0f + 400.0f * i, 800, 0);
      BuildDiamond(&p.base.diamond, p.base.position, p.base.blockRadius);
      p.figure.SetScale(D3DXVECTOR3(1.7f, 1.7f, 1.7f));
      g_scene->AddNode(&p.figure, nullptr);
    }
    savedFrameTime = g_frameTime;
    g_frameTime = 1.0f / 60.0f;
  }
  void TearDown() override {
    g_frameTime = savedFrameTime;
    delete world;
    delete g_scene;
    g_scene = nullptr;
    HeadlessTest::TearDown();
  }
  void Put(int i, D3DXVECTOR3 p) {
    Player& pl = world->players[i];
    pl.position = p;
    BuildDiamond(&pl.diamond, p, pl.radius);
  }
  // An item of the round in the given state; lying items are placed in the scene.
  Item& AddItem(int state, D3DXVECTOR3 at = D3DXVECTOR3(0, 0, 0)) {
    Item& item = world->mode->items.emplace_back(world);
    item.bounds.radius = 50.0f;
    item.state = state;
    if (state == Item::kLying) {
      item.AddToScene(nullptr);
      item.SetPosition(at);
      item.RebuildMatrices();
    }
    return item;
  }
  // Gives player i the item as a pick-up does.
  void Carry(int i, Item& item) {
    item.state = Item::kCarried;
    world->players[i].carried = &item;
    item.AddToScene(&world->players[i].figure);
  }

  MatchWorld* world = nullptr;
  float savedFrameTime = 0.0f;
};

TEST_F(ItemTest, LowestSlotInReachPicksUpAndCarriersNeverDo) {
  Item& first = AddItem(Item::kLying, D3DXVECTOR3(0, 0, 0));
  first.SetScale(D3DXVECTOR3(1.2f, 1.2f, 1.2f));
  Put(3, D3DXVECTOR3(30, 0, 0));
  Put(1, D3DXVECTOR3(-89, 0, 0));   // reach is 40 + 50 = 90
  Put(2, D3DXVECTOR3(0, 90.5f, 0));  // just out of reach
  world->Update();
  EXPECT_EQ(world->players[1].carried, &first);
  EXPECT_EQ(first.state, Item::kCarried);
  EXPECT_EQ(first.parent, &world->players[1].figure);
  EXPECT_EQ(first.position, D3DXVECTOR3(0, 0, 150));
  EXPECT_NEAR(first.scale.x, 1.2f / 1.7f, 1e-6f);

  // Player 1, now carrying, stands on a second item: player 3 takes it.
  Item& second = AddItem(Item::kLying, D3DXVECTOR3(0, 0, 0));
  world->Update();
  EXPECT_EQ(world->players[1].carried, &first);
  EXPECT_EQ(world->players[3].carried, &second);
}

TEST_F(ItemTest, DeliveryScoresSpawnsTheNextItemAndItCanBePickedUpAtOnce) {
  Item& carried = AddItem(Item::kCarried);
  Carry(0, carried);
  Item& next = AddItem(Item::kWaiting);
  AddItem(Item::kWaiting);
  // Learn where the next spawn lands, then stand player 2 there.
  platform::SeedRandom(1234);
  const float x = RandomFloat(-700.0f, 700.0f);
  const float y = RandomFloat(-700.0f, 300.0f);
  platform::SeedRandom(1234);
  Put(2, D3DXVECTOR3(x, y + 20.0f, 0));
  Put(0, world->players[0].base.position - D3DXVECTOR3(0, 170, 0));  // exactly on the limit

  world->Update();
  EXPECT_EQ(carried.state, Item::kDelivered);
  EXPECT_FALSE(carried.IsActive());
  EXPECT_EQ(carried.parent, nullptr);
  EXPECT_EQ(world->players[0].roundScore, 1);
  EXPECT_EQ(world->players[0].base.deliveries, 1);
  EXPECT_FALSE(world->players[0].IsCarrying());
  EXPECT_EQ(world->byRoundScore[0], &world->players[0]);
  EXPECT_EQ(world->mode->scoreDisplay.delivered, 1);
  EXPECT_EQ(next.state, Item::kCarried);
  EXPECT_EQ(world->players[2].carried, &next);
  EXPECT_FALSE(world->IsRoundOver());
}

TEST_F(ItemTest, StealsFollowPairOrderCooldownsAndDeliveriesComeFirst) {
  // Player 1 carries; 0 and 2 touch it and each other: 0 robs 1, then 2 robs 0.
  Item& item = AddItem(Item::kCarried);
  Carry(1, item);
  Put(0, D3DXVECTOR3(0, 0, 0));
  Put(1, D3DXVECTOR3(40, 0, 0));
  Put(2, D3DXVECTOR3(20, 60, 0));
  world->Update();
  EXPECT_EQ(world->players[2].carried, &item);
  EXPECT_FALSE(world->players[0].IsCarrying());
  EXPECT_FALSE(world->players[1].IsCarrying());
  EXPECT_EQ(world->players[0].stealCooldown, 2.0f);
  EXPECT_EQ(world->players[1].stealCooldown, 2.0f);
  EXPECT_EQ(world->players[2].stealCooldown, 0.0f);
  EXPECT_EQ(item.parent, &world->players[2].figure);
  EXPECT_EQ(item.position, D3DXVECTOR3(0, 0, 150));

  // The robbed players stay out while their cooldown runs, then can steal back.
  int frames = 0;
  while (!world->players[0].IsCarrying() && frames < 1000) {
    world->Update();
    ++frames;
  }
  EXPECT_EQ(world->players[0].carried, &item);
  EXPECT_GE(frames * g_frameTime, 2.0f - 2 * g_frameTime);
  EXPECT_LE(frames * g_frameTime, 2.0f + 2 * g_frameTime);

  // A carrier that reaches its base as a thief reaches it delivers first.
  Player& carrier = world->players[0];
  Put(0, carrier.base.position - D3DXVECTOR3(0, 160, 0));
  Put(3, carrier.position + D3DXVECTOR3(30, 0, 0));
  world->players[3].stealCooldown = 0.0f;
  world->Update();
  EXPECT_EQ(carrier.roundScore, 1);
  EXPECT_FALSE(world->players[3].IsCarrying());
  EXPECT_EQ(item.state, Item::kDelivered);
  EXPECT_TRUE(world->IsRoundOver());  // the last item: nothing waits to spawn
  world->Update();
  EXPECT_TRUE(world->IsRoundOver());
}

TEST_F(ItemTest, TwoCarriersTouchingKeepTheirItems) {
  Item& a = AddItem(Item::kCarried);
  Item& b = AddItem(Item::kCarried);
  Carry(0, a);
  Carry(1, b);
  Put(0, D3DXVECTOR3(0, 0, 0));
  Put(1, D3DXVECTOR3(10, 0, 0));
  world->Update();
  EXPECT_EQ(world->players[0].carried, &a);
  EXPECT_EQ(world->players[1].carried, &b);
  EXPECT_EQ(world->players[0].stealCooldown, 0.0f);
}

}  // namespace

TEST_F(ItemTest, ALyingItemIsStillSceneryUntilPickedUp) {
  Item& item = AddItem(Item::kWaiting);
  for (int i = 0; i < 4; ++i) Put(i, D3DXVECTOR3(5000, 5000, 0));  // far from every spawn
  world->mode->SpawnNext();
  ASSERT_EQ(item.state, Item::kLying);
  EXPECT_TRUE(item.mesh.still);
  world->Update();
  EXPECT_TRUE(item.mesh.still);
  Put(0, item.WorldPosition());
  world->Update();
  ASSERT_EQ(item.state, Item::kCarried);
  EXPECT_FALSE(item.mesh.still) << "a carried item moves with its carrier";
}
