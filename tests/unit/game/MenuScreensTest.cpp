// Start-up, the language file, the main menu and the player setup, through the real game
// object on the headless backends with a scripted mouse and keyboard.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "GameHarness.h"
#include "engine/gui/Texture.h"
#include "engine/input/InputSystem.h"
#include "engine/input/KeyControl.h"
#include "engine/resources/ResourceManagers.h"
#include "gameplay/MatchWorld.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/dinput8/DInput8.h"
#include "platform/dinput8/DInput8Headless.h"
#include "platform/dmusic/DMusicHeadless.h"
#include "engine/input/Mouse.h"

namespace {

using GameStartTest = GameHarness;
using MainMenuTest = GameHarness;

std::string Int32(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  return std::string{static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24)};
}

bool SameRect(const ScreenRect& a, const ScreenRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

Texture* Atlas(const char* name) { return g_textureManager->Find(dataRoot + name); }

TEST_F(GameStartTest, BindsTheSixteenKeysCreatesTheFontAndOpensTheMainMenu) {
  ASSERT_TRUE(StartGame());
  const int keys[4][4] = {{DIK_W, DIK_S, DIK_A, DIK_D},
                          {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT},
                          {DIK_U, DIK_J, DIK_H, DIK_K},
                          {DIK_NUMPAD8, DIK_NUMPAD5, DIK_NUMPAD4, DIK_NUMPAD6}};
  for (int p = 0; p < 4; ++p)
    for (int a = 0; a < 4; ++a) {
      KeyControl* control = g_inputSystem->Binding(100 * p + a);
      ASSERT_NE(control, nullptr) << p << " " << a;
      EXPECT_EQ(control->Key(), keys[p][a]);
    }
  ASSERT_NE(game->font, nullptr);
  EXPECT_NE(game->font->font, nullptr);
  EXPECT_EQ(game->font->colour, 0xFF0000FFu);
  EXPECT_EQ(game->screen, GameApp::kMainMenu);
  EXPECT_FLOAT_EQ(g_mouse->sensitivity, 1.2f);
  ASSERT_NE(g_matchWorld, nullptr);
  EXPECT_EQ(g_matchWorld->playerCount, 2);
}

TEST_F(GameStartTest, DeviceFailureFailsStartUp) {
  platform::d3d9::HeadlessFailDirect3DCreate(true);
  EXPECT_FALSE(StartGame());
}

// A start-up that fails names the step that failed (the process prints it for bug
// reports); one that goes through names none.
TEST_F(GameStartTest, FailedStartUpNamesItsStep) {
  struct Case {
    const char* what;
    void (*arrange)();
    const char* step;  // null: start-up succeeds
  };
  const Case cases[] = {
      {"all well", [] {}, nullptr},
      {"no Direct3D", [] { platform::d3d9::HeadlessFailDirect3DCreate(true); },
       "the graphics device could not start"},
      {"no audio", [] { platform::dmusic::AudioLog().FailCall("InitAudio"); },
       "the sound system could not start"},
      {"window not in front",
       [] { platform::dinput8::InputLog().FailCall("Acquire"); },
       "the keyboard or the mouse could not be acquired"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StopGame();
    ResetHeadlessPlatform();
    c.arrange();
    EXPECT_EQ(StartGame(), c.step == nullptr);
    ASSERT_NE(game, nullptr);
    if (c.step)
      EXPECT_STREQ(game->GetStartupFailure(), c.step);
    else
      EXPECT_EQ(game->GetStartupFailure(), nullptr);
  }
}

// What the file holds → the language the game starts in. Anything but a whole 0 or 1
// counts as no file: Spanish.
TEST_F(GameStartTest, LanguageFileDecidesTheAtlas) {
  struct Case {
    const char* what;
    bool write;
    std::string bytes;
    std::int32_t language;
  };
  const Case cases[] = {
      {"missing", false, "", 0},
      {"English", true, Int32(1), 1},
      {"Spanish", true, Int32(0), 0},
      {"short", true, std::string("\1\0\0", 3), 0},
      {"empty", true, "", 0},
      {"unknown value", true, Int32(7), 0},
      {"negative", true, Int32(-1), 0},
      {"trailing bytes ignored", true, Int32(1) + "xyz", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(DataPath("Idioma").c_str());
    if (c.write) WriteLanguageFile(c.bytes);
    ASSERT_TRUE(StartGame());
    EXPECT_EQ(game->language, c.language);
    Texture* atlas = Atlas(c.language == 1 ? "GUI_00_EN.png" : "GUI_00_ES.png");
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(game->startButton.sprite.texture, atlas);
    EXPECT_EQ(game->standingsPanel.texture, atlas);
    StopGame();
  }
}

TEST_F(MainMenuTest, LanguageSwitchWritesFourBytesAndSwapsEveryTextSprite) {
  WriteLanguageFile(Int32(1));
  ASSERT_TRUE(StartGame());
  Texture* english = Atlas("GUI_00_EN.png");
  ASSERT_EQ(game->countStrip.texture, english);

  Click(100, 440);
  EXPECT_EQ(game->language, 0);
  EXPECT_EQ(ReadLanguageFile(), Int32(0));
  Texture* spanish = Atlas("GUI_00_ES.png");
  ASSERT_NE(spanish, nullptr);
  ASSERT_NE(spanish, english);
  const Sprite* textSprites[] = {&game->startButton.sprite, &game->countStrip,
                                 &game->languageButton.sprite, &game->bottomBar[1],
                                 &game->caption[3], &game->figureSwitch[2].sprite,
                                 &game->panel[0], &game->cover[2], &game->playButton.sprite,
                                 &game->continueButton.sprite, &game->rowHighlight[3],
                                 &game->confirmPanel, &game->yesHighlight};
  for (const Sprite* s : textSprites) EXPECT_EQ(s->texture, spanish);
  // The pictures without text keep theirs; looks and rectangles stay.
  EXPECT_NE(game->cursor.texture, spanish);
  EXPECT_NE(game->menuBackground.texture, spanish);
  EXPECT_NE(game->figure[0].texture, spanish);
  EXPECT_TRUE(SameRect(game->languageButton.sprite.sourceRect, game->languageButton.highlighted));

  Click(100, 440);
  EXPECT_EQ(game->language, 1);
  EXPECT_EQ(ReadLanguageFile(), Int32(1));
  EXPECT_EQ(game->countStrip.texture, english);
}

TEST_F(MainMenuTest, FailedLanguageWriteKeepsTheOldFileButStillSwitches) {
  WriteLanguageFile(Int32(0));
  // The replacement is written beside the file first; a folder in its way stops it.
  ASSERT_EQ(mkdir(DataPath("Idioma.new").c_str(), 0755), 0);
  ASSERT_TRUE(StartGame());
  Click(100, 440);
  EXPECT_EQ(game->language, 1);
  EXPECT_EQ(game->countStrip.texture, Atlas("GUI_00_EN.png"));
  EXPECT_EQ(ReadLanguageFile(), Int32(0));
}

TEST_F(MainMenuTest, CountButtonsStopAtTheirLimitsAndSizeTheStrip) {
  ASSERT_TRUE(StartGame());
  struct Step {
    int x, y;  // a point of the more (inside the hit rectangle only) or fewer button
    int count;
    int stripWidth;
  };
  // The hit rectangles reach 8 pixels left of and above their sprites, and the fewer
  // button's 31 pixels below it.
  const Step steps[] = {
      {320, 316, 3, 154}, {370, 360, 4, 206}, {340, 330, 4, 206},
      {64, 330, 3, 154},  {100, 384, 2, 102}, {90, 350, 1, 50},  {90, 350, 1, 50},
      {330, 340, 2, 102},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.x << "," << s.y);
    Click(s.x, s.y);
    EXPECT_EQ(g_matchWorld->playerCount, s.count);
    EXPECT_EQ(game->countStrip.sourceRect.right - game->countStrip.sourceRect.left,
              s.stripWidth);
    EXPECT_EQ(game->screen, GameApp::kMainMenu);
  }
}

TEST_F(MainMenuTest, HoverShowsOneHighlightAndStartResetsNamesAndFiguresNotTheCount) {
  ASSERT_TRUE(StartGame());
  MoveTo(64, 192);
  EXPECT_TRUE(SameRect(game->startButton.sprite.sourceRect, game->startButton.highlighted));
  EXPECT_TRUE(SameRect(game->quitButton.sprite.sourceRect, game->quitButton.normal));
  MoveTo(384, 534);
  EXPECT_TRUE(SameRect(game->startButton.sprite.sourceRect, game->startButton.normal));
  EXPECT_TRUE(SameRect(game->quitButton.sprite.sourceRect, game->quitButton.highlighted));
  MoveTo(385, 534);  // right edges are exclusive
  EXPECT_TRUE(SameRect(game->quitButton.sprite.sourceRect, game->quitButton.normal));

  Click(330, 340);  // three players
  g_matchWorld->players[0].name = "OLD";
  g_matchWorld->players[2].figureIndex = 1;
  Click(100, 200);
  EXPECT_EQ(game->screen, GameApp::kPlayerSetup);
  const char* names[] = {"WINKY", "DINKY", "PLINKY", "TINKY"};
  const int figures[] = {0, 0, 2, 3};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(g_matchWorld->players[i].name, names[i]);
    EXPECT_EQ(g_matchWorld->players[i].figureIndex, figures[i]);
    EXPECT_EQ(game->figureChoice[i], figures[i]);
  }
  EXPECT_EQ(g_matchWorld->playerCount, 3);
}

TEST_F(MainMenuTest, EscapeAndQuitEndTheLoop) {
  ASSERT_TRUE(StartGame());
  Tap(DIK_ESCAPE);
  EXPECT_FALSE(game->IsActive());
  StopGame();
  ASSERT_TRUE(StartGame());
  Click(200, 500);
  EXPECT_FALSE(game->IsActive());
}

class PlayerSetupFixture : public GameHarness {
 protected:
  void Open(int players) {
    ASSERT_TRUE(StartGame());
    while (g_matchWorld->playerCount < players) Click(330, 340);
    while (g_matchWorld->playerCount > players) Click(90, 350);
    Click(100, 200);
    ASSERT_EQ(game->screen, GameApp::kPlayerSetup);
  }
  std::string Name(int i) { return g_matchWorld->players[i].name; }
};

TEST_F(PlayerSetupFixture, CoveredPlayersIgnoreClicksAndAreCovered) {
  Open(2);
  platform::d3d9::Log().Clear();
  Frame();
  // Two players: the covers of players 3 and 4 are drawn, player 2's is not.
  int covers = 0;
  for (const auto& r : platform::d3d9::Log().Named("ID3DXSprite::Draw"))
    if (r.args[1] == 400 && r.args[2] == 774) ++covers;
  EXPECT_EQ(covers, 2);

  Click(100, 350);  // player 3's figure
  Click(250, 320);  // player 3's name
  EXPECT_EQ(g_matchWorld->players[2].figureIndex, 2);
  EXPECT_EQ(game->editingPlayer, -1);
  EXPECT_EQ(Name(2), "PLINKY");
  MoveTo(100, 350);
  EXPECT_TRUE(SameRect(game->figureSwitch[2].sprite.sourceRect, game->figureSwitch[2].normal));

  Click(500, 100);  // player 2's figure switches
  EXPECT_EQ(g_matchWorld->players[1].figureIndex, 1);
  EXPECT_TRUE(SameRect(game->figureSwitch[1].sprite.sourceRect, game->figureSwitch[1].highlighted));
}

TEST_F(PlayerSetupFixture, FigureSwitchTakesTwoAndThreeToOneAndZero) {
  Open(4);
  const int after[4][2] = {{1, 0}, {1, 0}, {1, 0}, {0, 1}};  // from 0, 0, 2, 3
  const int x[4] = {100, 500, 100, 500};
  const int y[4] = {100, 100, 350, 350};
  for (int click = 0; click < 2; ++click)
    for (int p = 0; p < 4; ++p) {
      Click(x[p], y[p]);
      EXPECT_EQ(g_matchWorld->players[p].figureIndex, after[p][click]) << p << " " << click;
      EXPECT_EQ(game->figureChoice[p], after[p][click]);
    }
  Frame();
  EXPECT_EQ(game->figure[3].sourceRect.left, 115);
  EXPECT_EQ(game->figure[3].sourceRect.right, 230);
  EXPECT_EQ(game->figure[3].sourceRect.bottom, 160);
}

TEST_F(PlayerSetupFixture, NameTyping) {
  Open(2);
  // Six letters at most, one per frame, digits ignored.
  Click(200, 60);
  EXPECT_EQ(game->editingPlayer, 0);
  EXPECT_EQ(Name(0), "");
  for (unsigned char k : {DIK_A, DIK_1, DIK_B, DIK_C, DIK_SPACE, DIK_D, DIK_E, DIK_F, DIK_G})
    Tap(k);
  EXPECT_EQ(Name(0), "ABCDEF");
  // While typing the buttons are dead: the click only ends the typing.
  Click(500, 540);
  EXPECT_EQ(game->screen, GameApp::kPlayerSetup);
  EXPECT_EQ(game->editingPlayer, -1);
  EXPECT_EQ(Name(0), "ABCDEF");

  // Two letters in one frame: the first in the alphabet wins.
  Click(600, 60);
  platform::dinput8::HeadlessSetKey(DIK_Z, true);
  platform::dinput8::HeadlessSetKey(DIK_M, true);
  Frame();
  platform::dinput8::HeadlessSetKey(DIK_Z, false);
  platform::dinput8::HeadlessSetKey(DIK_M, false);
  Frame();
  EXPECT_EQ(Name(1), "M");
  Tap(DIK_BACK);
  Tap(DIK_BACK);
  EXPECT_EQ(Name(1), "");
  Tap(DIK_RETURN);  // empty: the old name comes back
  EXPECT_EQ(Name(1), "DINKY");

  // Escape restores even a name that was typed.
  Click(600, 60);
  Tap(DIK_Q);
  Tap(DIK_ESCAPE);
  EXPECT_EQ(Name(1), "DINKY");
  EXPECT_EQ(game->screen, GameApp::kPlayerSetup);
  // Clicking the name, typing nothing, clicking again: restored.
  Click(600, 60);
  Click(600, 60);
  EXPECT_EQ(Name(1), "DINKY");
  EXPECT_EQ(game->editingPlayer, -1);
}

TEST_F(PlayerSetupFixture, BackEscapeAndPlay) {
  Open(3);
  Tap(DIK_ESCAPE);
  EXPECT_EQ(game->screen, GameApp::kMainMenu);
  Click(100, 200);
  Click(100, 540);  // back
  EXPECT_EQ(game->screen, GameApp::kMainMenu);
  Click(100, 200);
  Click(500, 540);  // play
  EXPECT_EQ(game->screen, GameApp::kMatch);
  EXPECT_NE(g_matchWorld->mode, nullptr);
  EXPECT_EQ(g_matchWorld->playerCount, 3);
}

}  // namespace
