// Whole matches on the recording device with the generated content: small bots tap each
// player's keys toward the nearest lying item or, when carrying, toward their base.
// Every frame checks that items are conserved and that no player is inside an obstacle;
// every round must end within its frame cap with scores adding up to the item total,
// the best players winning and the mode differing from the previous round's.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "engine/materials/Model.h"
#include "engine/scene/Scene.h"
#include "gameplay/MatchWorld.h"
#include "platform/Random.h"
#include "support/GameplayHarness.h"
#include "support/Headless.h"

namespace {

using namespace gameplay_test;

constexpr int kRoundFrameCap = 60 * 60 * 10;  // ten minutes of play at 60 frames a second

struct Bot {
  int held = -1;         // direction key held this frame, let go next frame
  float bestDistance = 1e9f;
  int framesWithoutProgress = 0;
  int asideFrames = 0;   // frames left of a sidestep
  int asideDirection = 0;
  int sidesteps = 0;
  const void* target = nullptr;
};

// How many closed outlines (first point repeated last) hold the point, in x and y. A
// player stays in the region of the field's free centre: the same count as there.
int ClosedOutlinesAround(const std::vector<CollisionOutline>& outlines, const D3DXVECTOR3& p) {
  int count = 0;
  for (const CollisionOutline& outline : outlines) {
    const std::vector<D3DXVECTOR3>& pts = outline.points;
    if (pts.size() < 4 || pts.front().x != pts.back().x || pts.front().y != pts.back().y)
      continue;
    bool inside = false;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
      const D3DXVECTOR3& a = pts[i];
      const D3DXVECTOR3& b = pts[i + 1];
      if ((a.y > p.y) == (b.y > p.y)) continue;
      if (p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
    }
    count += inside;
  }
  return count;
}

const D3DXVECTOR3 kDirections[4] = {{0, 1, 0}, {0, -1, 0}, {-1, 0, 0}, {1, 0, 0}};

int DirectionToward(const D3DXVECTOR3& delta) {
  if (std::fabs(delta.x) > std::fabs(delta.y)) return delta.x < 0 ? kLeft : kRight;
  return delta.y < 0 ? kDown : kUp;
}

class MatchBotTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    services = new MatchServices();
    ASSERT_TRUE(services->ready);
    savedFrameTime = g_frameTime;
    g_frameTime = 1.0f / 60.0f;
  }
  void TearDown() override {
    g_frameTime = savedFrameTime;
    delete services;
    HeadlessTest::TearDown();
  }

  MatchWorld& W() { return *g_matchWorld; }

  // One bot's key for this frame: a held key is let go (that is the tap), otherwise a
  // key is pressed when the player must turn or wants more speed.
  void Steer(int i, Bot& bot) {
    Player& p = W().players[i];
    if (bot.held >= 0) {
      SetKey(i, bot.held, false);
      bot.held = -1;
      return;
    }
    D3DXVECTOR3 goal;
    const void* target = nullptr;
    if (p.IsCarrying()) {
      goal = p.base.position;
      target = &p.base;
    } else {
      float best = 1e9f;
      for (const Item& item : W().mode->items) {
        if (item.state != Item::kLying) continue;
        const D3DXVECTOR3 d = item.position - p.position;
        const float len = D3DXVec3Length(&d);
        if (len < best) {
          best = len;
          goal = item.position;
          target = &item;
        }
      }
      if (!target) return;  // nothing to fetch: wait
    }
    const D3DXVECTOR3 delta = goal - p.position;
    const float distance = D3DXVec3Length(&delta);
    if (target != bot.target || distance < bot.bestDistance - 5.0f) {
      bot.target = target;
      bot.bestDistance = distance;
      bot.framesWithoutProgress = 0;
    } else if (++bot.framesWithoutProgress > 120 && bot.asideFrames == 0) {
      // Stuck against something: step aside at right angles for a while.
      const int toward = DirectionToward(delta);
      const bool vertical = toward == kUp || toward == kDown;
      bot.asideDirection = vertical ? ((bot.sidesteps & 1) ? kLeft : kRight)
                                    : ((bot.sidesteps & 1) ? kDown : kUp);
      bot.asideFrames = 50;
      ++bot.sidesteps;
      bot.framesWithoutProgress = 0;
    }
    int direction = DirectionToward(delta);
    float along = std::fabs(direction == kUp || direction == kDown ? delta.y : delta.x);
    if (bot.asideFrames > 0) {
      --bot.asideFrames;
      direction = bot.asideDirection;
      along = 200.0f;
    }
    const bool turn = p.heading != kDirections[direction];
    // Stop tapping in time: a speed v drains over v² / 400 units.
    const bool faster = !turn && p.speed < 150.0f && p.speed * p.speed / 400.0f < along;
    if (turn || faster) {
      SetKey(i, direction, true);
      bot.held = direction;
    }
  }

  std::string State() {
    std::ostringstream s;
    s << "mode " << W().currentMode << ", " << W().playerCount << " players\n";
    for (int i = 0; i < W().playerCount; ++i) {
      const Player& p = W().players[i];
      s << "  player " << i << " at (" << p.position.x << ", " << p.position.y << ") speed "
        << p.speed << " score " << p.roundScore << (p.IsCarrying() ? " carrying" : "")
        << " cooldown " << p.stealCooldown << "\n";
    }
    int k = 0;
    for (const Item& item : W().mode->items)
      s << "  item " << k++ << " state " << item.state << " at (" << item.position.x << ", "
        << item.position.y << ")\n";
    return s.str();
  }

  // Items conserved, players outside every obstacle.
  void CheckFrame() {
    MatchWorld& w = W();
    const int n = w.playerCount;
    const int freeCount = ClosedOutlinesAround(w.mode->outlines, D3DXVECTOR3(0, 0, 0));
    int carriedItems = 0;
    for (const Item& item : w.mode->items) {
      int carriers = 0;
      const Player* carrier = nullptr;
      for (int i = 0; i < n; ++i)
        if (w.players[i].carried == &item) ++carriers, carrier = &w.players[i];
      ASSERT_EQ(carriers, item.state == Item::kCarried ? 1 : 0) << State();
      if (item.state == Item::kCarried) {
        ++carriedItems;
        ASSERT_EQ(item.parent, &carrier->figure) << State();
      } else if (item.state == Item::kLying) {
        ASSERT_EQ(item.parent, &g_scene->root) << State();
      } else {
        ASSERT_TRUE(item.state == Item::kWaiting || item.state == Item::kDelivered) << State();
        ASSERT_EQ(item.parent, nullptr) << State();
      }
    }
    int carrying = 0;
    for (int i = 0; i < n; ++i) carrying += w.players[i].IsCarrying();
    ASSERT_EQ(carrying, carriedItems) << State();

    auto inside = [](const D3DXVECTOR3& p, const D3DXVECTOR3& c, float f) {
      return std::fabs(p.x - c.x) + std::fabs(p.y - c.y) < f - 0.01f;
    };
    for (int i = 0; i < n; ++i) {
      const Player& p = w.players[i];
      ASSERT_EQ(ClosedOutlinesAround(w.mode->outlines, p.position), freeCount)
          << "player " << i << "\n" << State();
      for (int j = 0; j < n; ++j) {
        if (j != i) {
          ASSERT_FALSE(inside(p.position, w.players[j].position, 60.0f)) << State();
        }
        ASSERT_FALSE(inside(p.position, w.players[j].base.position, 150.0f)) << State();
      }
    }
  }

  // Plays the current round to its end with bots; false when the frame cap is reached.
  void PlayRound() {
    Bot bots[4];
    MatchWorld& w = W();
    int frame = 0;
    for (; frame < kRoundFrameCap && !w.IsRoundOver(); ++frame) {
      for (int i = 0; i < w.playerCount; ++i) Steer(i, bots[i]);
      ReadKeyboard();
      w.Update();
      // Skinning every figure on the processor is the costly part of a drawn frame;
      // drawing one frame in eight still walks every node through a whole round.
      if (frame % 8 == 0) services->DrawFrame();
      CheckFrame();
      if (HasFatalFailure()) return;
    }
    ASSERT_TRUE(w.IsRoundOver()) << "frame cap reached\n" << State();
    for (int i = 0; i < 4; ++i)
      if (bots[i].held >= 0) SetKey(i, bots[i].held, false);
    ReadKeyboard();
    framesPlayed += frame;
  }

  // Only the camera, the lights and the figures stay in the scene between rounds.
  void CheckSceneAfterRound() {
    std::set<const SceneNode*> allowed = {&W().camera, &W().camera.target};
    for (const auto& light : g_scene->lights) allowed.insert(light.get()), allowed.insert(&light->target);
    for (int i = 0; i < W().playerCount; ++i) allowed.insert(&W().players[i].figure);
    for (const SceneNode* child : g_scene->root.children) EXPECT_TRUE(allowed.count(child));
    for (int i = 0; i < W().playerCount; ++i) EXPECT_TRUE(W().players[i].figure.children.empty());
  }

  MatchServices* services = nullptr;
  float savedFrameTime = 0.0f;
  long framesPlayed = 0;
};

TEST_F(MatchBotTest, BotsPlayEveryModeWithOneToFourPlayers) {
  platform::SeedRandom(20261209);
  const bool outlines = MatchServices::ContentPresent("Terreno_0.cln");
  const bool figures = MatchServices::ContentPresent("Jugador0_Figura0.X");
  for (int count = 1; count <= 4; ++count) {
    SCOPED_TRACE(testing::Message() << count << " players");
    W().playerCount = count;
    for (int i = 0; i < count; ++i) W().players[i].figureIndex = i % 2;
    const int lastOfPreviousMatch = W().lastMode;
    W().NewMatch();
    EXPECT_NE(W().currentMode, lastOfPreviousMatch);
    std::set<int> modes;
    int previous = -1;
    for (int round = 0; round < 12 && (modes.size() < 3 || round < 3); ++round) {
      MatchWorld& w = W();
      ASSERT_NE(w.currentMode, previous);
      previous = w.currentMode;
      modes.insert(w.currentMode);
      const int total = w.mode->ItemTotal();
      EXPECT_EQ(total, w.currentMode == 1 ? 7 : 4 * count);
      if (outlines) {
        EXPECT_FALSE(w.mode->outlines.empty());
      }
      if (figures) {
        EXPECT_NE(w.players[0].figure.mesh, nullptr);
      }
      int winsBefore[4];
      for (int i = 0; i < 4; ++i) winsBefore[i] = w.players[i].wins;

      PlayRound();
      if (HasFatalFailure()) return;

      int scores = 0, deliveries = 0, best = 0;
      for (int i = 0; i < count; ++i) {
        scores += w.players[i].roundScore;
        deliveries += w.players[i].base.deliveries;
        best = std::max(best, w.players[i].roundScore);
      }
      EXPECT_EQ(scores, total);
      EXPECT_EQ(deliveries, total);
      EXPECT_EQ(w.mode->scoreDisplay.delivered, total);
      EXPECT_EQ(w.byRoundScore[0]->roundScore, best);
      w.AwardRoundWins();
      for (int i = 0; i < count; ++i)
        EXPECT_EQ(w.players[i].wins, winsBefore[i] + (w.players[i].roundScore == best ? 1 : 0));
      for (int i = 0; i + 1 < count; ++i) EXPECT_GE(w.byWins[i]->wins, w.byWins[i + 1]->wins);

      if (outlines && w.currentMode == 1) {
        ASSERT_NE(w.players[0].base.model.model, nullptr);
        EXPECT_EQ(w.players[0].base.model.model->name, "MU\xC3\xB1" "ECOARMPARTE6.X");
      }
      w.EndRound();
      CheckSceneAfterRound();
      w.NewRound();
    }
    EXPECT_EQ(modes.size(), 3u);
    EXPECT_EQ(W().camera.position, D3DXVECTOR3(0, -1800, 1800));  // whatever the players did
    W().EndRound();
    W().RemovePlayersFromScene();
  }
  std::printf("bots played %ld frames%s%s\n", framesPlayed, outlines ? "" : " (no outline file)",
              figures ? "" : " (no figures)");
}

}  // namespace
