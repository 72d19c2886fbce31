// The two player orders with their exchange sort and ties, the round result, and the
// score display's rectangles and icon sizes.
#include <gtest/gtest.h>

#include <vector>

#include "gameplay/MatchWorld.h"
#include "support/Headless.h"

namespace {

class ScoreTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    world = new MatchWorld();
  }
  void TearDown() override {
    delete world;
    HeadlessTest::TearDown();
  }
  std::vector<int> Order(Player* const* list) const {
    std::vector<int> slots;
    for (int i = 0; i < world->playerCount; ++i) slots.push_back(int(list[i] - world->players));
    return slots;
  }
  MatchWorld* world = nullptr;
};

TEST_F(ScoreTest, ExchangeSortIsDescendingButNotStable) {
  struct Case {
    std::vector<int> scores;  // by slot
    std::vector<int> order;   // slots, best first
  };
  const Case cases[] = {
      {{1, 3, 3, 2}, {2, 1, 3, 0}},  // the tied pair swaps places through the exchange
      {{0, 0, 0, 0}, {0, 1, 2, 3}},
      {{0, 5}, {1, 0}},
      {{2, 2, 1}, {0, 1, 2}},
      {{1, 2, 3, 4}, {3, 2, 1, 0}},
      {{7}, {0}},
  };
  for (const Case& c : cases) {
    world->playerCount = int(c.scores.size());
    for (int i = 0; i < world->playerCount; ++i) {
      world->players[i].roundScore = c.scores[i];
      world->players[i].wins = c.scores[i];
      world->byRoundScore[i] = world->byWins[i] = &world->players[i];
    }
    world->SortByRoundScore();
    world->SortByWins();
    EXPECT_EQ(Order(world->byRoundScore), c.order);
    EXPECT_EQ(Order(world->byWins), c.order);
  }
}

TEST_F(ScoreTest, EveryPlayerWithTheBestRoundScoreWins) {
  world->playerCount = 3;
  const int scores[3] = {2, 4, 4};
  for (int i = 0; i < 3; ++i) {
    world->players[i].roundScore = scores[i];
    world->players[i].wins = 0;
    world->byRoundScore[i] = world->byWins[i] = &world->players[i];
  }
  world->players[3].roundScore = 9;  // not taking part
  world->SortByRoundScore();
  world->AwardRoundWins();
  EXPECT_EQ(world->players[0].wins, 0);
  EXPECT_EQ(world->players[1].wins, 1);
  EXPECT_EQ(world->players[2].wins, 1);
  EXPECT_EQ(world->players[3].wins, 0);
  EXPECT_NE(world->byWins[0], &world->players[0]);
  EXPECT_EQ(world->byWins[2], &world->players[0]);
}

TEST_F(ScoreTest, DisplayLaysOutTheBarMarkersAndIcons) {
  world->playerCount = 2;
  world->players[1].figureIndex = 1;
  world->CreateFigures();  // the delivery colours
  ScoreDisplay d;
  d.SetUp(*world, 8);
  EXPECT_EQ(d.bar.sourceRect.left, 0);
  EXPECT_EQ(d.bar.sourceRect.top, 530);
  EXPECT_EQ(d.bar.sourceRect.right, 160);
  EXPECT_EQ(d.bar.sourceRect.bottom, 555);
  EXPECT_EQ(d.bar.centre, D3DXVECTOR3(80, 0, 0));  // 160 wide, centred on 400: 320 … 480
  EXPECT_EQ(d.bar.position, D3DXVECTOR3(400, 10, 0));
  EXPECT_EQ(d.markers[0].position, D3DXVECTOR3(321, 14, 0));
  EXPECT_EQ(d.markers[19].position, D3DXVECTOR3(701, 14, 0));
  EXPECT_EQ(d.icons[1].sourceRect.left, 115);
  EXPECT_EQ(d.icons[1].sourceRect.right, 230);
  EXPECT_EQ(d.icons[3].position, D3DXVECTOR3(30, 280, 0));
  EXPECT_EQ(d.icons[0].centre, D3DXVECTOR3(56, 37, 0));

  // An odd total rounds the half-width down: 7 items start at 401 − 70.
  ScoreDisplay seven;
  seven.SetUp(*world, 7);
  EXPECT_EQ(seven.markers[0].position.x, 331.0f);

  // Markers take the deliverer's cell in delivery order; a full bar takes no more.
  d.ShowDelivery(world->players[1]);
  d.ShowDelivery(world->players[0]);
  EXPECT_EQ(d.delivered, 2);
  EXPECT_EQ(d.markers[0].sourceRect.left, 359);
  EXPECT_EQ(d.markers[0].sourceRect.top, 503);
  EXPECT_EQ(d.markers[0].sourceRect.right, 377);
  EXPECT_EQ(d.markers[1].sourceRect.left, 331);
  for (int k = 0; k < 30; ++k) d.ShowDelivery(world->players[0]);
  EXPECT_EQ(d.delivered, ScoreDisplay::kMarkerCount);
}

TEST_F(ScoreTest, IconsOfTheLeadersAreFullSize) {
  struct Case {
    int count;
    std::vector<int> scores;
    std::vector<float> sizes;
  };
  const Case cases[] = {
      {4, {0, 0, 0, 0}, {1, 1, 1, 1}},
      {4, {1, 3, 3, 0}, {0.6f, 1, 1, 0.6f}},
      {1, {0}, {1}},
      {2, {2, 5}, {0.6f, 1}},
  };
  for (const Case& c : cases) {
    world->playerCount = c.count;
    for (int i = 0; i < c.count; ++i) {
      world->players[i].roundScore = c.scores[i];
      world->byRoundScore[i] = &world->players[i];
    }
    world->SortByRoundScore();
    ScoreDisplay d;
    d.SetUp(*world, 4 * c.count);
    d.Draw(*world);
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(d.icons[i].scale.x, c.sizes[i]);
      EXPECT_EQ(d.icons[i].scale.y, c.sizes[i]);
    }
  }
}

}  // namespace
