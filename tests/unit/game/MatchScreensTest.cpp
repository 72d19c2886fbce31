// The match and standings screens through the real game object: pause and resume, the
// leave confirmation, device loss, and frames that could not render.
#include <gtest/gtest.h>

#include "GameHarness.h"
#include "engine/input/Mouse.h"
#include "engine/scene/AnimatedDrawable.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "engine/sound/Sound.h"
#include "gameplay/MatchWorld.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/dinput8/DInput8.h"
#include "platform/dmusic/DMusicHeadless.h"

namespace {

using platform::d3d9::Log;

class MatchScreensTest : public GameHarness {
 protected:
  // Main menu → setup with `players` → play.
  void StartMatch(int players) {
    ASSERT_TRUE(StartGame());
    while (g_matchWorld->playerCount < players) Click(330, 340);
    Click(100, 200);
    Click(500, 540);
    ASSERT_EQ(game->screen, GameApp::kMatch);
  }
};

TEST_F(MatchScreensTest, PauseResumeAndTheLeaveConfirmation) {
  StartMatch(3);
  Frame();
  // No cursor in the match: nothing from "GUI.png"'s cursor cut-out is drawn.
  Log().Clear();
  Frame();
  for (const auto& r : Log().Named("ID3DXSprite::Draw"))
    EXPECT_FALSE(r.args[3] == 88 && r.args[4] == 126) << "cursor drawn in the match";

  GameMode* mode = g_matchWorld->mode;
  Tap(DIK_ESCAPE);
  EXPECT_EQ(game->screen, GameApp::kStandings);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(g_matchWorld->players[i].animation, "reposo");
  Tap(DIK_ESCAPE);
  EXPECT_EQ(game->screen, GameApp::kMatch);
  EXPECT_EQ(g_matchWorld->mode, mode) << "resuming keeps the round";

  Tap(DIK_ESCAPE);
  Click(300, 400);  // continue during a paused round: the same round goes on
  EXPECT_EQ(game->screen, GameApp::kMatch);
  EXPECT_EQ(g_matchWorld->mode, mode);

  Tap(DIK_ESCAPE);
  Click(300, 450);  // leave
  EXPECT_TRUE(game->confirmOpen);
  MoveTo(300, 360);
  EXPECT_TRUE(game->yesHighlight.visible);
  EXPECT_FALSE(game->noHighlight.visible);
  Click(300, 400);  // continue is dead while the confirmation is open
  EXPECT_EQ(game->screen, GameApp::kStandings);
  Tap(DIK_ESCAPE);  // closes the confirmation only
  EXPECT_FALSE(game->confirmOpen);
  EXPECT_EQ(game->screen, GameApp::kStandings);
  Click(300, 450);
  Click(450, 360);  // no
  EXPECT_FALSE(game->confirmOpen);
  EXPECT_EQ(game->screen, GameApp::kStandings);
  Click(300, 450);
  Click(300, 360);  // yes
  EXPECT_EQ(game->screen, GameApp::kMainMenu);
  EXPECT_FALSE(game->confirmOpen);
  EXPECT_EQ(g_matchWorld->mode, nullptr);
}

// A node that counts what the queue does with it.
class CountingNode : public AnimatedDrawable {
 public:
  void Submit() override { g_renderQueue->SubmitAnimated(this); }
  bool HasAlphaTexture() const override { return false; }
  RenderStateSet* MeshRenderStates() override { return nullptr; }
  void DrawMesh() override { ++draws; }
  void AdvanceAnimation() override {}
  void RefreshPose() override {}
  void AdvanceAndRefresh() override {}
  int draws = 0;
};

TEST_F(MatchScreensTest, AFrameThatCannotBeginLeavesNothingQueued) {
  StartMatch(2);
  Tap(DIK_ESCAPE);
  ASSERT_EQ(game->screen, GameApp::kStandings);
  auto* node = new CountingNode();
  g_scene->AddNode(node);
  Frame();
  EXPECT_EQ(node->draws, 1);

  Log().FailCall("BeginScene");
  Frame();
  EXPECT_EQ(node->draws, 1);
  EXPECT_TRUE(g_renderQueue->opaqueAnimated.empty());
  // The node goes away between frames, as an item does when a round ends.
  g_scene->RemoveNode(node);
  delete node;
  Log().Clear();
  Frame();
  EXPECT_EQ(Log().Count("Present"), 1);
}

TEST_F(MatchScreensTest, LostDeviceFreezesTheMatchUntilReset) {
  StartMatch(2);
  // Player 1 on the run.
  for (int i = 0; i < 3; ++i) Tap(DIK_D);
  Player& runner = g_matchWorld->players[0];
  ASSERT_GT(runner.speed, 0.0f);
  platform::d3d9::HeadlessLoseDevice();
  Log().Clear();
  const D3DXVECTOR3 before = runner.position;
  for (int i = 0; i < 3; ++i) Frame();
  EXPECT_EQ(Log().Count("Present"), 0);
  EXPECT_EQ(Log().Count("BeginScene"), 0);
  EXPECT_EQ(runner.position, before);
  // Back after half a minute away: that frame is drawn but not played.
  platform::d3d9::HeadlessMakeDeviceResettable();
  g_frameTime = 30.0f;
  game->OnFrame();
  EXPECT_EQ(Log().Count("Reset"), 1);
  EXPECT_EQ(Log().Count("Present"), 1);
  EXPECT_EQ(runner.position, before);
  Frame();
  EXPECT_NE(runner.position, before) << "play goes on after the reset";
  EXPECT_EQ(game->screen, GameApp::kMatch);
}

TEST_F(MatchScreensTest, MusicFollowsTheScreenWithinOneFrame) {
  ASSERT_TRUE(StartGame());
  Frame();
  const int menuPiece = PlayingPieces(*game);
  EXPECT_TRUE(OnePieceOf(menuPiece, kMenuPieces)) << menuPiece;
  Click(100, 200);
  Frame();
  EXPECT_EQ(PlayingPieces(*game), menuPiece) << "the setup keeps the menu piece going";
  Click(500, 540);  // play: the frame of the click still belongs to the setup
  ASSERT_EQ(game->screen, GameApp::kMatch);
  Frame();
  const int matchPiece = PlayingPieces(*game);
  EXPECT_TRUE(OnePieceOf(matchPiece, kMatchPieces)) << matchPiece;
  Tap(DIK_ESCAPE);
  EXPECT_EQ(PlayingPieces(*game), matchPiece) << "the standings keep the match piece";
  // When the piece ends, the next frame starts another of the same group.
  const int startsBefore = platform::dmusic::AudioLog().Count("PlaySegmentEx");
  for (int f = 0; f < static_cast<int>(kPieceSeconds * 1000 / 16) + 2; ++f) {
    Frame();
    ASSERT_TRUE(OnePieceOf(PlayingPieces(*game), kMatchPieces)) << "frame " << f;
  }
  EXPECT_EQ(platform::dmusic::AudioLog().Count("PlaySegmentEx"), startsBefore + 1);
  Click(300, 450);
  Click(300, 360);  // leave, yes
  ASSERT_EQ(game->screen, GameApp::kMainMenu);
  Frame();
  EXPECT_TRUE(OnePieceOf(PlayingPieces(*game), kMenuPieces));
  game->OnShutdown();
  EXPECT_EQ(PlayingPieces(*game), 0);
}

}  // namespace
