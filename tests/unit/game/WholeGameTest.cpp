// Rounds played to their end through the real game object: the round result with ties,
// the standings rows, Escape after a round, the camera after a device reset, and a whole
// game from the main menu to the end of the process with a bot at the keys.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <vector>

#include "GameBot.h"
#include "GameHarness.h"
#include "engine/input/Mouse.h"
#include "gameplay/Item.h"
#include "gameplay/MatchWorld.h"
#include "platform/Random.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/dinput8/DInput8.h"
#include "platform/dinput8/DInput8Headless.h"

namespace {

using platform::d3d9::Log;

// Where everything stands, for a round that does not end.
std::string Describe(const MatchWorld& world) {
  std::ostringstream out;
  out << "\nmode " << world.currentMode;
  for (int i = 0; i < world.playerCount; ++i) {
    const Player& p = world.players[i];
    out << "\nplayer " << i << " at " << p.position.x << "," << p.position.y << " speed "
        << p.speed << " carrying " << p.IsCarrying() << " base " << p.base.position.x << ","
        << p.base.position.y;
  }
  for (const Item& item : world.mode->items) {
    const D3DXVECTOR3 at = item.WorldPosition();
    out << "\nitem state " << item.state << " at " << at.x << "," << at.y;
  }
  return out.str();
}

class RoundsTest : public GameHarness {
 protected:
  void StartMatch(int players) {
    ASSERT_TRUE(StartGame());
    while (g_matchWorld->playerCount < players) Click(330, 340);
    while (g_matchWorld->playerCount > players) Click(90, 350);
    Click(100, 200);
    Click(500, 540);
    ASSERT_EQ(game->screen, GameApp::kMatch);
  }
  // Plays until the standings screen appears; false when the round does not end.
  bool PlayRound(Bot& bot, int maxFrames = 60 * 600) {
    for (int f = 0; f < maxFrames && game->screen == GameApp::kMatch; ++f) {
      bot.Step();
      Frame();
    }
    bot.ReleaseAll();
    return game->screen == GameApp::kStandings;
  }
  static int RedTexts() {
    int n = 0;
    for (const auto& r : Log().Named("ID3DXFont::DrawTextA"))
      if (r.args[3] == 0xFFC80000u) ++n;
    return n;
  }
  static int RowHighlights() {
    int n = 0;
    for (const auto& r : Log().Named("ID3DXSprite::Draw"))
      if (r.args[1] == 345 && r.args[2] == 225 && r.args[3] == 375) ++n;
    return n;
  }
};

TEST_F(RoundsTest, TieGivesBothAWinBothRowsRedAndEscapeWaitsForContinue) {
  StartMatch(3);
  Frame();
  MatchWorld& world = *g_matchWorld;
  const int firstMode = world.currentMode;
  // The round as it stands at its end: everything delivered, players 1 and 3 level.
  for (Item& item : world.mode->items) item.state = Item::kDelivered;
  world.players[0].roundScore = 4;
  world.players[1].roundScore = 1;
  world.players[2].roundScore = 4;
  world.SortByRoundScore();
  Frame();
  ASSERT_EQ(game->screen, GameApp::kStandings);
  EXPECT_EQ(world.players[0].wins, 1);
  EXPECT_EQ(world.players[1].wins, 0);
  EXPECT_EQ(world.players[2].wins, 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(world.players[i].animation, "reposo");
  EXPECT_EQ(world.byWins[2], &world.players[1]);

  Log().Clear();
  Frame();
  EXPECT_EQ(RedTexts(), 4);  // two rows, name and wins each
  EXPECT_EQ(RowHighlights(), 2);

  Tap(DIK_ESCAPE);
  EXPECT_EQ(game->screen, GameApp::kStandings) << "Escape after a round does nothing";
  Click(300, 400);
  EXPECT_EQ(game->screen, GameApp::kMatch);
  ASSERT_NE(world.mode, nullptr);
  EXPECT_NE(world.currentMode, firstMode);
  EXPECT_FALSE(world.IsRoundOver());
  EXPECT_EQ(world.players[0].wins, 1) << "wins last the match";
}

TEST_F(RoundsTest, DeviceResetInTheMatchSendsTheCameraAgain) {
  StartMatch(2);
  Frame();
  Frame();
  platform::d3d9::HeadlessLoseDevice();
  Frame();
  platform::d3d9::HeadlessMakeDeviceResettable();
  Log().Clear();
  Frame();
  ASSERT_EQ(Log().Count("Reset"), 1);
  // The camera's sends come before the sprite batch (which sets its own transforms).
  int view = 0, projection = 0;
  for (const auto& r : Log().Records()) {
    if (std::string(r.name) == "ID3DXSprite::Begin") break;
    if (std::string(r.name) != "SetTransform") continue;
    if (r.args[0] == D3DTS_VIEW) ++view;
    if (r.args[0] == D3DTS_PROJECTION) ++projection;
  }
  EXPECT_EQ(view, 1);
  EXPECT_EQ(projection, 1);
}

TEST_F(RoundsTest, WholeGame) {
  ASSERT_TRUE(StartGame());
  // A fixed draw, so a failure can be replayed; WHOLE_GAME_SEED explores others. (The bot
  // is simple: with some layouts two carriers can block each other for good.)
  const char* seed = std::getenv("WHOLE_GAME_SEED");
  platform::SeedRandom(seed ? static_cast<std::uint32_t>(std::atoi(seed)) : 1u);
  Click(330, 340);  // three players
  Click(100, 440);  // language: English
  Click(100, 200);  // start
  Click(600, 60);   // rename player 2
  for (BYTE k : {DIK_R, DIK_U, DIK_D, DIK_O, DIK_L, DIK_F}) Tap(k);
  Tap(DIK_RETURN);
  EXPECT_EQ(g_matchWorld->players[1].name, "RUDOLF");
  EXPECT_TRUE(OnePieceOf(PlayingPieces(*game), kMenuPieces));
  Click(500, 540);  // play
  ASSERT_EQ(game->screen, GameApp::kMatch);
  Frame();
  EXPECT_TRUE(OnePieceOf(PlayingPieces(*game), kMatchPieces));
  MatchWorld& world = *g_matchWorld;

  Bot bot;
  std::set<int> modes;
  int totalWins = 0;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    modes.insert(world.currentMode);
    if (round == 1) {
      // Pause and resume early in the round: it goes on where it was.
      for (int f = 0; f < 240 && game->screen == GameApp::kMatch; ++f) bot.Step(), Frame();
      bot.ReleaseAll();
      ASSERT_EQ(game->screen, GameApp::kMatch) << "the round ended before the pause";
      Tap(DIK_ESCAPE);
      ASSERT_EQ(game->screen, GameApp::kStandings);
      auto snapshot = [&world] {
        std::vector<float> state;
        for (int i = 0; i < 3; ++i)
          state.insert(state.end(), {world.players[i].position.x, world.players[i].position.y,
                                     static_cast<float>(world.players[i].roundScore)});
        for (const Item& item : world.mode->items) state.push_back(static_cast<float>(item.state));
        return state;
      };
      const std::vector<float> paused = snapshot();
      for (int f = 0; f < 30; ++f) Frame();
      Tap(DIK_ESCAPE);
      ASSERT_EQ(game->screen, GameApp::kMatch);
      EXPECT_EQ(snapshot(), paused);
    }
    ASSERT_TRUE(PlayRound(bot)) << "the round did not end" << Describe(world);
    ASSERT_TRUE(world.IsRoundOver());
    int best = 0, total = 0;
    for (int i = 0; i < 3; ++i) {
      best = std::max(best, world.players[i].roundScore);
      total += world.players[i].roundScore;
    }
    EXPECT_EQ(total, world.mode->ItemTotal());
    int winners = 0;
    for (int i = 0; i < 3; ++i) winners += world.players[i].roundScore == best;
    totalWins += winners;
    int wins = 0;
    for (int i = 0; i < 3; ++i) wins += world.players[i].wins;
    EXPECT_EQ(wins, totalWins);
    for (int i = 0; i + 1 < 3; ++i) EXPECT_GE(world.byWins[i]->wins, world.byWins[i + 1]->wins);
    Frame();
    EXPECT_TRUE(OnePieceOf(PlayingPieces(*game), kMatchPieces)) << "standings";
    if (round < 2) {
      const int last = world.currentMode;
      Click(300, 400);  // continue
      ASSERT_EQ(game->screen, GameApp::kMatch);
      EXPECT_NE(world.currentMode, last);
    }
  }
  EXPECT_GE(modes.size(), 2u);
  EXPECT_GT(bot.taps, 100);

  Click(300, 450);  // leave
  Click(300, 360);  // yes
  EXPECT_EQ(game->screen, GameApp::kMainMenu);
  EXPECT_EQ(world.mode, nullptr);
  Frame();
  EXPECT_TRUE(OnePieceOf(PlayingPieces(*game), kMenuPieces));
  Tap(DIK_ESCAPE);
  EXPECT_FALSE(game->IsActive());
  StopGame();
  EXPECT_EQ(ReadLanguageFile(), std::string("\1\0\0\0", 4));
}

}  // namespace
