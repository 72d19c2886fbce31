// The game object that the shell drives: starts the devices, binds the players' keys,
// loads the font, the interface sprites and the music in OnInit, then runs the four
// screens (main menu, player setup, match, standings) one frame at a time.
#pragma once

#include <cstdint>
#include <string>

#include "app/AppShell.h"
#include "engine/gui/Sprite.h"
#include "engine/input/ScreenRect.h"

class Font;
class Sound;

class GameApp : public AppShell {
 public:
  enum Screen { kMainMenu = 1, kPlayerSetup = 2, kStandings = 3, kMatch = 4 };
  enum MusicMode { kInterfaceMusic = 0, kActionMusic = 1, kSilence = 2 };

  // A sprite with a normal and a highlighted look; the hover test picks one.
  struct Button {
    Sprite sprite;
    ScreenRect normal{};
    ScreenRect highlighted{};
    void Highlight(bool on) { sprite.SetSourceRect(on ? highlighted : normal); }
  };

  GameApp();
  ~GameApp() override;

  bool OnInit() override;
  void OnFrame() override;
  void OnShutdown() override;

  // The language file: ".\Data\Idioma", one little-endian int32 (0 Spanish, 1 English).
  // Read: false when the file cannot be opened or holds no valid language; `language`
  // then keeps its value. Write: replaces the file only once the new one is complete,
  // so a failed write leaves the old file intact; false on failure.
  bool ReadLanguage();
  bool WriteLanguage();
  // Gives every text sprite the atlas of the current language.
  void ApplyLanguage();
  // 0 ↔ 1, then write and apply; any other value is left alone.
  void SwitchLanguage();
  static std::string LanguageFilePath();
  static const char* AtlasName(std::int32_t language);

  // Screen state, open to the tests.
  std::int32_t screen = kMainMenu;
  std::int32_t language = 0;
  std::int32_t musicMode = kInterfaceMusic;
  Sound* music[5] = {};  // not owned: the music manager owns them
  Font* font = nullptr;  // not owned: the font manager owns it
  std::int32_t figureChoice[4] = {0, 0, 2, 3};
  std::int32_t editingPlayer = -1;
  std::string savedName;
  bool confirmOpen = false;
  bool menuPicturesAway = false;  // given back for a match, not yet read again

  // Shared.
  Sprite cursor;
  // Main menu.
  Sprite menuBackground;
  Button startButton, quitButton;
  Sprite countCaption;
  Button moreButton, fewerButton;
  Sprite countStrip;
  Button languageButton;
  // Player setup.
  Sprite bottomBar[2];
  Sprite panel[4];
  Sprite figure[4];
  Sprite caption[4];  // players 1, 3, 2, 4 in drawing order
  Button figureSwitch[4];
  Sprite padIcon[4];  // shown while a controller drives the player
  Sprite cover[3];  // players 2, 3, 4
  Button playButton, backButton;
  // Standings.
  Sprite standingsPanel;
  Button continueButton, leaveButton;
  Sprite rowHighlight[4];
  Sprite confirmPanel;
  Sprite noHighlight, yesHighlight;

 private:
  void CreateSprites();
  void MoveCursor();
  void UpdateMusic();
  // Checks the device: false when the frame must be skipped (lost, or a reset failed).
  // A successful reset marks the match camera's transforms to be sent again, zeroes the
  // frame's time and is reported through wasReset.
  bool PrepareDevice(bool* wasReset = nullptr);
  // Clears, begins the scene (rendering the world when asked), draws the screen's
  // sprites through drawSprites, ends and presents. The device check comes first.
  void DrawFrame(bool withWorld, void (GameApp::*drawSprites)());

  void MainMenuFrame();
  void PlayerSetupFrame();
  void MatchFrame();
  void StandingsFrame();
  void DrawMainMenu();
  void DrawPlayerSetup();
  void DrawMatch();
  void DrawStandings();
  void DrawText(const std::string& text, int x, int y, bool red);

  bool PlayerTakesPart(int player) const;
  void SetStripWidth();
  // The pictures that only the main menu draws give their device memory back while a
  // match runs (its models load into that memory) and are read again on the way back.
  void UnloadMenuPictures();
  void RestoreMenuPictures();
  void TypeName();
  void EndOfRound();
};
