// Tap-to-run steering through the real key bindings, the speed drain, the running
// animation's rate, and moves swept against walls, players and bases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/AppShell.h"
#include "gameplay/MatchWorld.h"
#include "level/Collision.h"
#include "support/GameplayHarness.h"
#include "support/Headless.h"

namespace {

using namespace gameplay_test;

class PlayerTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    input = new InputServices();
    ASSERT_TRUE(input->started);
    world = new MatchWorld();
    world->mode = new GameMode(world);
    savedFrameTime = g_frameTime;
  }
  void TearDown() override {
    g_frameTime = savedFrameTime;
    delete world;  // ends the round it was given
    delete input;
    HeadlessTest::TearDown();
  }
  // Places player i standing at p with its diamond, as a round start does.
  void Place(int i, D3DXVECTOR3 p) {
    Player& pl = world->players[i];
    pl.position = p;
    BuildDiamond(&pl.diamond, p, pl.radius);
    BuildDiamond(&pl.base.diamond, pl.base.position = D3DXVECTOR3(0, 5000 + 1000.0f * i, 0),
                 pl.base.blockRadius);
  }
  // Frames of the game in which nothing but player 0's input is read.
  void Frame() {
    ReadKeyboard();
    world->players[0].ReadInput();
  }

  InputServices* input = nullptr;
  MatchWorld* world = nullptr;
  float savedFrameTime = 0.0f;
};

TEST_F(PlayerTest, TapsTurnFirstThenAddSpeedAndHeldKeysDoNothing) {
  Player& p = world->players[0];
  struct Step {
    const char* what;
    std::initializer_list<int> press;    // keys down this frame
    std::initializer_list<int> release;  // keys let go this frame
    D3DXVECTOR3 heading;
    float speed;
  };
  const Step steps[] = {
      {"press up: nothing yet", {kUp}, {}, {1, 0, 0}, 0},
      {"hold it: still nothing", {}, {}, {1, 0, 0}, 0},
      {"first release turns", {}, {kUp}, {0, 1, 0}, 0},
      {"press again", {kUp}, {}, {0, 1, 0}, 0},
      {"second release starts the run", {}, {kUp}, {0, 1, 0}, 60},
      {"press", {kUp}, {}, {0, 1, 0}, 60},
      {"third release adds 60", {}, {kUp}, {0, 1, 0}, 120},
      {"press left", {kLeft}, {}, {0, 1, 0}, 120},
      {"a new direction keeps the speed", {}, {kLeft}, {-1, 0, 0}, 120},
      {"press right and down", {kRight, kDown}, {}, {-1, 0, 0}, 120},
      {"both released: down wins, no diagonal", {}, {kRight, kDown}, {0, -1, 0}, 120},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    for (int k : s.press) SetKey(0, k, true);
    for (int k : s.release) SetKey(0, k, false);
    Frame();
    EXPECT_EQ(p.heading, s.heading);
    EXPECT_EQ(p.speed, s.speed);
    EXPECT_EQ(p.animation, s.speed > 0 ? "correr" : "reposo");
  }
  // The other players' keys never steer player 0.
  SetKey(1, kUp, true);
  Frame();
  SetKey(1, kUp, false);
  Frame();
  EXPECT_EQ(p.speed, 120.0f);
  // The running animation's rate follows the speed before the drain.
  EXPECT_FLOAT_EQ(p.figure.speeds.at("correr"), 2.0f);
}

TEST_F(PlayerTest, MoveDrainsTurnsAndCountsDownTheCooldown) {
  Player& p = world->players[0];
  Place(0, D3DXVECTOR3(0, 0, 0));
  p.heading = D3DXVECTOR3(0, -1, 0);
  p.speed = 100.0f;
  g_frameTime = 0.1f;
  p.Move();
  EXPECT_FLOAT_EQ(p.speed, 80.0f);
  EXPECT_NEAR(p.position.y, -10.0f, 1e-5f);
  EXPECT_EQ(p.figure.position, p.position);
  EXPECT_NEAR(p.figure.rotation.z, -1.5707964f, 1e-6f);
  EXPECT_EQ(p.diamond.points[0], p.position + D3DXVECTOR3(60, 0, 0));

  // A long frame drains to exactly zero; the whole move happens first.
  g_frameTime = 0.5f;
  p.Move();
  EXPECT_EQ(p.speed, 0.0f);
  EXPECT_NEAR(p.position.y, -50.0f, 1e-4f);

  // Standing still, a new heading does not turn the figure.
  p.heading = D3DXVECTOR3(1, 0, 0);
  p.Move();
  EXPECT_NEAR(p.figure.rotation.z, -1.5707964f, 1e-6f);

  // A robbed figure blinks through its cooldown and ends visible.
  p.stealCooldown = 2.0f;
  g_frameTime = 0.03f;
  int toggles = 0;
  bool wasVisible = p.figure.visible;
  for (int f = 0; f < 100 && p.stealCooldown > 0.0f; ++f) {
    p.Move();
    toggles += p.figure.visible != wasVisible;
    wasVisible = p.figure.visible;
  }
  EXPECT_EQ(p.stealCooldown, 0.0f);
  EXPECT_TRUE(p.figure.visible);
  EXPECT_GE(toggles, 30);
}

TEST_F(PlayerTest, WallsStopAndSlideWithOneSlideAtMost) {
  // A vertical wall at x = 30, a slanted wall x + y = 30, a floor at y = −5. Moves
  // stay under 60 units, where the player's own diamond would meet them first.
  const std::vector<D3DXVECTOR3> wall = {{30, -500, 0}, {30, 500, 0}};
  const std::vector<D3DXVECTOR3> slant = {{530, -500, 0}, {-470, 500, 0}};
  const std::vector<D3DXVECTOR3> floor = {{-500, -5, 0}, {500, -5, 0}};
  struct Case {
    const char* name;
    std::vector<std::vector<D3DXVECTOR3>> walls;
    D3DXVECTOR3 start, move, allowed;
  };
  const std::vector<Case> cases = {
      {"clear of the wall", {wall}, {0, 0, 0}, {20, 0, 0}, {20, 0, 0}},
      {"straight into it", {wall}, {0, 0, 0}, {50, 0, 0}, {0, 0, 0}},
      {"0.1 in front of it", {wall}, {29.9f, 0, 0}, {10, 0, 0}, {0, 0, 0}},
      {"along it from 0.1 away", {wall}, {29.9f, 0, 0}, {0, 30, 0}, {0, 30, 0}},
      {"slides along a slanted wall", {slant}, {0, 0, 0}, {50, 0, 0}, {10, -10, 0}},
      {"a slide short of 0.5 is no move", {slant}, {0, 0, 0}, {30.6f, 0, 0}, {0, 0, 0}},
      {"the slid move meets a second wall", {slant, floor}, {0, 0, 0}, {50, 0, 0}, {0, 0, 0}},
      {"a step past the own diamond is deflected", {}, {0, 0, 0}, {80, 0, 0}, {10, -10, 0}},
  };
  Place(0, D3DXVECTOR3(0, 0, 0));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    world->mode->outlines.clear();
    for (const auto& w : c.walls) {
      CollisionOutline o;
      o.points = w;
      BuildEdges(&o);
      world->mode->outlines.push_back(o);
    }
    Player& p = world->players[0];
    Place(0, c.start);
    p.slideCount = 0;
    const D3DXVECTOR3 got = ResolveMove(*world, &p, c.start, c.move);
    EXPECT_NEAR(got.x, c.allowed.x, 1e-3f);
    EXPECT_NEAR(got.y, c.allowed.y, 1e-3f);
  }
}

TEST_F(PlayerTest, PlayersAndBasesAreNeverEntered) {
  // Two players run head-on along one line; then one runs at its base's corner. Their
  // points never get inside another diamond (|dx| + |dy| < 1.5 × radius).
  world->playerCount = 2;
  Place(0, D3DXVECTOR3(-300, 0, 0));
  Place(1, D3DXVECTOR3(300, 0, 0));
  Player& a = world->players[0];
  Player& b = world->players[1];
  a.heading = D3DXVECTOR3(1, 0, 0);
  b.heading = D3DXVECTOR3(-1, 0, 0);
  g_frameTime = 1.0f / 60.0f;
  auto inside = [](const D3DXVECTOR3& p, const D3DXVECTOR3& c, float f) {
    return std::fabs(p.x - c.x) + std::fabs(p.y - c.y) < f - 1e-3f;
  };
  float closest = 1e9f;
  for (int frame = 0; frame < 600; ++frame) {
    if (frame % 10 == 0) a.speed = b.speed = 400.0f;
    world->Update();
    ASSERT_FALSE(inside(a.position, b.position, 60.0f)) << "frame " << frame;
    ASSERT_FALSE(inside(b.position, a.position, 60.0f)) << "frame " << frame;
    const D3DXVECTOR3 gap = a.position - b.position;
    closest = std::min(closest, D3DXVec3Length(&gap));
  }
  EXPECT_LT(closest, 70.0f);  // they did meet

  // A base stops its player 150 units out along the axis.
  world->playerCount = 1;
  a.speed = 0.0f;
  Place(0, D3DXVECTOR3(0, 4000, 0));  // base at (0, 5000)
  a.heading = D3DXVECTOR3(0, 1, 0);
  for (int frame = 0; frame < 2000 && !a.IsAtBase(); ++frame) {
    a.speed = 600.0f;
    world->Update();
  }
  ASSERT_TRUE(a.IsAtBase());
  for (int frame = 0; frame < 300; ++frame) {
    a.speed = 600.0f;
    world->Update();
    ASSERT_FALSE(inside(a.position, a.base.position, 150.0f)) << "frame " << frame;
  }
}

}  // namespace
