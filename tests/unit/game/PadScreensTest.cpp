// Game controllers in the whole game: a controller steers its player exactly as the keys
// do, its Start button pauses and resumes only in the match and the standings, and the
// player setup marks the panels of the players whom a controller drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "GameHarness.h"
#include "engine/input/Mouse.h"
#include "gameplay/MatchWorld.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/dinput8/DInput8.h"
#include "platform/dinput8/DInput8Headless.h"
#include "platform/xinput/XInputHeadless.h"

namespace {

using platform::d3d9::Log;
using platform::xinput::HeadlessConnectPad;
using platform::xinput::HeadlessDisconnectPad;
using platform::xinput::HeadlessSetPadButtons;
using platform::xinput::HeadlessSetPadStick;

class PadScreensTest : public GameHarness {
 protected:
  void ToSetup(int players) {
    ASSERT_TRUE(StartGame());
    while (g_matchWorld->playerCount < players) Click(330, 340);
    Click(100, 200);
    ASSERT_EQ(game->screen, GameApp::kPlayerSetup);
  }
  void PressStart(std::int64_t pad) {
    HeadlessSetPadButtons(pad, XINPUT_GAMEPAD_START);
    Frame();
    HeadlessSetPadButtons(pad, 0);
    Frame();
  }
  // Where the controller symbol was drawn in one frame, as slots by panel position.
  int PanelsWithSymbol() {
    Log().Clear();
    Frame();
    int panels = 0;
    float x = 0, y = 0;  // the sprite's place, from the transform set before each draw
    for (const auto& r : Log().Records()) {
      if (std::string(r.name) == "ID3DXSprite::SetTransform") {
        x = r.values[12];
        y = r.values[13];
      }
      if (std::string(r.name) != "ID3DXSprite::Draw") continue;
      if (r.args[1] != 856 || r.args[2] != 240 || r.args[3] != 904 || r.args[4] != 272) continue;
      const int column = x < 400 ? 0 : 1, row = y < 250 ? 0 : 1;
      panels |= 1 << (row * 2 + column);
    }
    return panels;
  }
};

TEST_F(PadScreensTest, StartPausesAndResumesOnlyTheMatch) {
  const std::int64_t pad = HeadlessConnectPad();
  ASSERT_TRUE(StartGame());
  PressStart(pad);
  EXPECT_EQ(game->screen, GameApp::kMainMenu);
  Click(100, 200);
  PressStart(pad);
  EXPECT_EQ(game->screen, GameApp::kPlayerSetup);
  Click(500, 540);
  ASSERT_EQ(game->screen, GameApp::kMatch);
  GameMode* mode = g_matchWorld->mode;

  PressStart(pad);
  EXPECT_EQ(game->screen, GameApp::kStandings);
  PressStart(pad);
  EXPECT_EQ(game->screen, GameApp::kMatch);
  EXPECT_EQ(g_matchWorld->mode, mode);

  // With the leave question open, Start neither answers it nor resumes.
  PressStart(pad);
  Click(300, 450);
  ASSERT_TRUE(game->confirmOpen);
  PressStart(pad);
  EXPECT_TRUE(game->confirmOpen);
  EXPECT_EQ(game->screen, GameApp::kStandings);
  Click(450, 360);  // no
  PressStart(pad);
  EXPECT_EQ(game->screen, GameApp::kMatch);

  // Escape and Start let go in the same frame pause once.
  platform::dinput8::HeadlessSetKey(DIK_ESCAPE, true);
  HeadlessSetPadButtons(pad, XINPUT_GAMEPAD_START);
  Frame();
  platform::dinput8::HeadlessSetKey(DIK_ESCAPE, false);
  HeadlessSetPadButtons(pad, 0);
  Frame();
  EXPECT_EQ(game->screen, GameApp::kStandings);
}

TEST_F(PadScreensTest, SetupMarksThePanelsOfPlayersWithAController) {
  ToSetup(3);
  EXPECT_EQ(PanelsWithSymbol(), 0);
  const std::int64_t first = HeadlessConnectPad();
  EXPECT_EQ(PanelsWithSymbol(), 0b0001);
  const std::int64_t second = HeadlessConnectPad();
  HeadlessConnectPad();
  EXPECT_EQ(PanelsWithSymbol(), 0b0111);
  // A fourth controller drives no one while only three play.
  HeadlessConnectPad();
  EXPECT_EQ(PanelsWithSymbol(), 0b0111);
  HeadlessDisconnectPad(second);
  EXPECT_EQ(PanelsWithSymbol(), 0b0101);
  HeadlessDisconnectPad(first);
  EXPECT_EQ(PanelsWithSymbol(), 0b0100);
}

TEST_F(PadScreensTest, PadTapsSteerExactlyLikeKeyTaps) {
  // Player 1 on the d-pad, player 2 on the arrow keys, player 3 on the stick.
  const std::int64_t dpad = HeadlessConnectPad();
  HeadlessConnectPad();  // slot 1 stays idle: player 2 plays on keys
  const std::int64_t stick = HeadlessConnectPad();
  ToSetup(3);
  Click(500, 540);
  ASSERT_EQ(game->screen, GameApp::kMatch);
  Player* players = g_matchWorld->players;
  for (int i = 0; i < 3; ++i) {
    players[i].heading = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    players[i].speed = 0.0f;
  }
  struct Step {
    WORD buttons;  // d-pad bits; the keys and the stick follow them
    int holdFrames;
  };
  const Step steps[] = {
      {XINPUT_GAMEPAD_DPAD_LEFT, 1}, {XINPUT_GAMEPAD_DPAD_LEFT, 3},
      {XINPUT_GAMEPAD_DPAD_LEFT, 1}, {XINPUT_GAMEPAD_DPAD_DOWN, 2},
      {XINPUT_GAMEPAD_DPAD_DOWN, 1}, {XINPUT_GAMEPAD_DPAD_UP | XINPUT_GAMEPAD_DPAD_RIGHT, 2},
      {XINPUT_GAMEPAD_DPAD_UP, 1},   {XINPUT_GAMEPAD_DPAD_RIGHT, 1},
  };
  struct Map {
    WORD bit;
    BYTE key;
    SHORT x, y;
  };
  const Map maps[] = {{XINPUT_GAMEPAD_DPAD_UP, DIK_UP, 0, 32767},
                      {XINPUT_GAMEPAD_DPAD_DOWN, DIK_DOWN, 0, -32768},
                      {XINPUT_GAMEPAD_DPAD_LEFT, DIK_LEFT, -32768, 0},
                      {XINPUT_GAMEPAD_DPAD_RIGHT, DIK_RIGHT, 32767, 0}};
  float fastest = 0.0f;
  for (std::size_t s = 0; s < std::size(steps); ++s) {
    const Step& step = steps[s];
    // The stick pushes one way only: the first of the step's directions, which is the
    // one that wins when several are let go together.
    bool stickSet = false;
    for (const Map& m : maps) {
      const bool down = (step.buttons & m.bit) != 0;
      platform::dinput8::HeadlessSetKey(m.key, down);
      if (down && !stickSet) {
        HeadlessSetPadStick(stick, m.x, m.y);
        stickSet = true;
      }
    }
    HeadlessSetPadButtons(dpad, step.buttons);
    for (int f = 0; f < step.holdFrames; ++f) Frame();
    for (const Map& m : maps) platform::dinput8::HeadlessSetKey(m.key, false);
    HeadlessSetPadButtons(dpad, 0);
    HeadlessSetPadStick(stick, 0, 0);
    Frame();
    ASSERT_EQ(game->screen, GameApp::kMatch);
    fastest = std::max(fastest, players[1].speed);
    for (int i : {0, 2}) {
      EXPECT_EQ(players[i].heading, players[1].heading) << "player " << i + 1 << ", step " << s;
      EXPECT_EQ(players[i].speed, players[1].speed) << "player " << i + 1 << ", step " << s;
    }
  }
  EXPECT_GT(fastest, 0.0f);
  EXPECT_EQ(players[1].heading, D3DXVECTOR3(1.0f, 0.0f, 0.0f));
}

}  // namespace
