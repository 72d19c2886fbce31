// A four-player round that loses its full-screen device a hundred times, as a player who
// keeps minimising or switching away does, against its twin that is never lost: same
// draw, same bot at the keys, same frame times for every frame that is played. The round
// must not notice: after every spell away and at every played frame, everything in it
// stands exactly where the twin's does.
#include <gtest/gtest.h>

#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "GameBot.h"
#include "GameHarness.h"
#include "app/GraphicsDevice.h"
#include "gameplay/Item.h"
#include "gameplay/MatchWorld.h"
#include "platform/Random.h"
#include "platform/d3d9/D3D9Headless.h"

namespace {

using platform::d3d9::Log;

// Everything a round is made of, exactly (floats to the last bit), in words, so that a
// difference reads as what moved.
std::string RoundState(const MatchWorld& world) {
  std::ostringstream out;
  out << std::setprecision(9) << "mode " << world.currentMode
      << (world.IsRoundOver() ? " over" : "");
  std::vector<const Item*> items;
  if (world.mode)
    for (const Item& item : world.mode->items) items.push_back(&item);
  auto indexOf = [&items](const Item* item) {
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i] == item) return static_cast<int>(i);
    return -1;
  };
  for (int i = 0; i < world.playerCount; ++i) {
    const Player& p = world.players[i];
    out << "\nplayer " << i << " at " << p.position.x << "," << p.position.y << "," << p.position.z
        << " heading " << p.heading.x << "," << p.heading.y << " speed " << p.speed << " score "
        << p.roundScore << " wins " << p.wins << " carries " << indexOf(p.carried) << " cooldown "
        << p.stealCooldown << " blink " << p.blinkPhase << " visible " << p.figure.visible << " "
        << p.animation << " deliveries " << p.base.deliveries << " slides " << p.slideCount
        << " clocks " << p.figure.clock << "," << p.base.marker.clock;
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    const D3DXVECTOR3 at = items[i]->WorldPosition();
    out << "\nitem " << i << " state " << items[i]->state << " value " << items[i]->value << " at "
        << at.x << "," << at.y << "," << at.z;
  }
  out << "\norder";
  for (int i = 0; i < world.playerCount; ++i)
    out << " " << (world.byRoundScore[i] ? world.byRoundScore[i] - world.players : -1);
  return out.str();
}

class DeviceLossTest : public GameHarness {
 protected:
  static constexpr std::uint32_t kSeed = 7;
  static constexpr int kLosses = 100;

  // A new game with a fixed draw, taken to a four-player round.
  void StartRound() {
    ASSERT_TRUE(StartGame());
    platform::SeedRandom(kSeed);
    while (g_matchWorld->playerCount < 4) Click(330, 340);
    Click(100, 200);
    Click(500, 540);
    ASSERT_EQ(game->screen, GameApp::kMatch);
    bot = Bot();
  }
  // One played frame: the bot's keys, then 1/60 s on every clock.
  void Played() {
    bot.Step();
    Frame();
  }
  // A frame of the time around a loss. The music runs on its own clock, held still here so
  // that its random choice of the next piece falls on the same played frames in both runs.
  void Unplayed(float seconds) {
    g_frameTime = seconds;
    game->OnFrame();
  }

  Bot bot;
};

// How one spell away goes: frames the game gets while its device is lost, the frame time
// that the first frame back carries, and whether the first reset fails.
struct Spell {
  int lostFrames;
  float lostFrameSeconds;
  float backSeconds;
  bool resetFails;
};

constexpr Spell kSpells[] = {
    // Minimised and restored with the message loop asleep in between: no frame saw the
    // loss, and the first one back carries the whole time away.
    {0, 0.0f, 2.5f, false},
    {0, 0.0f, 0.004f, false},
    // Frames while lost (focus gone but the loop still running), short and long.
    {1, 1.0f / 60, 1.0f / 60, false},
    {3, 0.5f, 30.0f, false},
    // Back, but the reset fails once and is tried again on the next frame.
    {2, 1.0f / 60, 1.0f, true},
    {0, 0.0f, 0.3f, true},
};

TEST_F(DeviceLossTest, HundredLossesDuringARoundChangeNothingInIt) {
  // The twin, never lost: the round's state after each played frame, to its end.
  StartRound();
  std::vector<std::string> twin{RoundState(*g_matchWorld)};
  while (game->screen == GameApp::kMatch && twin.size() < 60 * 300) {
    Played();
    twin.push_back(RoundState(*g_matchWorld));
  }
  ASSERT_EQ(game->screen, GameApp::kStandings) << "the twin's round did not end";
  const int roundFrames = static_cast<int>(twin.size()) - 1;
  ASSERT_GT(roundFrames, 2 * kLosses) << "too short a round to spread the losses over";
  int pickUps = 0;
  for (const std::string& s : twin) pickUps += s.find("state 2") != std::string::npos;
  ASSERT_GT(pickUps, 0) << "the bot never carried anything: the round shows too little";
  StopGame();

  // The same round, lost a hundred times at evenly spread played frames.
  StartRound();
  ASSERT_EQ(RoundState(*g_matchWorld), twin[0]);
  int played = 0;
  for (int loss = 0; loss < kLosses; ++loss) {
    const Spell& spell = kSpells[loss % std::size(kSpells)];
    SCOPED_TRACE(::testing::Message()
                 << "loss " << loss << ", spell " << loss % std::size(kSpells));
    const int at = (loss + 1) * roundFrames / (kLosses + 1);
    while (played < at) {
      Played();
      ++played;
      ASSERT_EQ(RoundState(*g_matchWorld), twin[played]) << "at played frame " << played;
    }
    ASSERT_EQ(game->screen, GameApp::kMatch);

    Log().Clear();
    platform::d3d9::HeadlessLoseDevice();
    for (int f = 0; f < spell.lostFrames; ++f) Unplayed(spell.lostFrameSeconds);
    EXPECT_EQ(Log().Count("BeginScene"), 0);
    EXPECT_EQ(Log().Count("Present"), 0);
    platform::d3d9::HeadlessMakeDeviceResettable();
    if (spell.resetFails) Log().FailCall("Reset");
    // Back: frames until one is shown again; none of them may play the round.
    Unplayed(spell.backSeconds);
    int backFrames = 1;
    while (Log().Count("Present") == 0 && backFrames < 5) {
      Unplayed(1.0f / 60);
      ++backFrames;
    }
    EXPECT_EQ(Log().Count("Present"), 1) << "drawing resumes";
    EXPECT_EQ(Log().Count("Reset"), spell.resetFails ? 2 : 1);
    EXPECT_EQ(RoundState(*g_matchWorld), twin[played]) << "after the spell away";
    ASSERT_EQ(game->screen, GameApp::kMatch);
  }
  // The rest of the round, to the same end.
  while (game->screen == GameApp::kMatch && played < roundFrames) {
    Played();
    ++played;
    ASSERT_EQ(RoundState(*g_matchWorld), twin[played]) << "at played frame " << played;
  }
  EXPECT_EQ(played, roundFrames);
  EXPECT_EQ(game->screen, GameApp::kStandings);
}

}  // namespace
