// The match and standings screens through the real game object: pause and resume, the
// leave confirmation, device loss, and frames that could not render.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "GameHarness.h"
#include "engine/gui/Texture.h"
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

// Every level of a device texture, as the loader wrote it.
std::vector<std::vector<BYTE>> Levels(IDirect3DTexture9* texture) {
  std::vector<std::vector<BYTE>> levels;
  for (DWORD i = 0; texture && i < texture->GetLevelCount(); ++i) {
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->GetLevelDesc(i, &desc)) ||
        FAILED(texture->LockRect(i, &locked, nullptr, D3DLOCK_READONLY)))
      return {};
    const auto* bytes = static_cast<const BYTE*>(locked.pBits);
    levels.emplace_back(bytes, bytes + static_cast<std::size_t>(locked.Pitch) * desc.Height);
    texture->UnlockRect(i);
  }
  return levels;
}

// The menu background is drawn by the main menu alone: a match gives its device memory
// back, and it returns intact on the way back, through a device reset in between, a file
// gone missing meanwhile (the menu then shows no background, as at start-up) and a
// second match.
TEST_F(MatchScreensTest, TheMenuBackgroundIsGivenBackDuringAMatchAndReturnsIntact) {
  std::vector<std::uint32_t> gradient(40 * 30);
  for (std::size_t i = 0; i < gradient.size(); ++i)
    gradient[i] = 0xFF000000u | static_cast<std::uint32_t>(i % 40 * 6) << 16 |
                  static_cast<std::uint32_t>(i / 40 * 8) << 8 | static_cast<std::uint32_t>(i % 7 * 30);
  const std::string jpeg = EncodeJpeg(40, 30, gradient);
  ASSERT_TRUE(WriteBytes(DataPath("GUI_Fondo.jpg"), jpeg));
  ASSERT_TRUE(StartGame());
  Texture* background = game->menuBackground.texture;
  ASSERT_TRUE(background && background->texture);
  const D3DSURFACE_DESC desc = background->description;
  const auto pixels = Levels(background->texture);
  ASSERT_EQ(pixels.size(), 7u);  // 64 × 32 and its mip chain

  auto backToMenu = [this] {
    Tap(DIK_ESCAPE);
    Click(300, 450);
    Click(300, 360);
    ASSERT_EQ(game->screen, GameApp::kMainMenu);
    Frame();  // the menu's first frame
  };
  auto backgroundDrawn = [this, &background] {
    Log().Clear();
    Frame();
    for (const auto& r : Log().Named("ID3DXSprite::Draw"))
      if (r.object == background->texture && background->texture) return true;
    return false;
  };
  ASSERT_TRUE(backgroundDrawn());

  for (int trip = 0; trip < 3; ++trip) {
    SCOPED_TRACE(trip);
    Click(100, 200);
    Click(500, 540);
    ASSERT_EQ(game->screen, GameApp::kMatch);
    EXPECT_EQ(background->texture, nullptr);
    EXPECT_TRUE(background->IsUnloaded());
    // The match's own pictures stay: the atlas and the portraits of the score display.
    EXPECT_NE(game->startButton.sprite.texture->texture, nullptr);
    for (const Sprite& f : game->figure) EXPECT_NE(f.texture->texture, nullptr);
    EXPECT_EQ(game->menuBackground.width, static_cast<std::int32_t>(desc.Width));
    Frame();
    // Lost and reset while the picture is away.
    platform::d3d9::HeadlessLoseDevice();
    Frame();
    platform::d3d9::HeadlessMakeDeviceResettable();
    Log().Clear();
    Frame();
    EXPECT_EQ(Log().Count("Reset"), 1);

    if (trip == 1) {
      ASSERT_EQ(std::remove(DataPath("GUI_Fondo.jpg").c_str()), 0);
    }
    backToMenu();
    if (trip == 1) {
      EXPECT_EQ(background->texture, nullptr);
      EXPECT_FALSE(backgroundDrawn());
      ASSERT_TRUE(WriteBytes(DataPath("GUI_Fondo.jpg"), jpeg));
      continue;
    }
    ASSERT_NE(background->texture, nullptr);
    EXPECT_FALSE(background->IsUnloaded());
    EXPECT_EQ(background->description.Width, desc.Width);
    EXPECT_EQ(background->description.Height, desc.Height);
    EXPECT_EQ(background->description.Format, desc.Format);
    EXPECT_TRUE(Levels(background->texture) == pixels);
    EXPECT_TRUE(backgroundDrawn());
  }
}

}  // namespace
