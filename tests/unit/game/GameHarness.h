// The real game object on the headless backends, in a private working folder with a
// Data folder of small stand-in pictures, driven frame by frame by a scripted mouse and
// keyboard.
#pragma once

#include <memory>
#include <string>

#include "game/GameApp.h"
#include "support/Headless.h"
#include "support/TestImages.h"

// Which music pieces sound: bit i for piece i.
int PlayingPieces(const GameApp& game);
// Exactly one piece sounds, and it belongs to the group (a bit mask).
bool OnePieceOf(int bits, int group);
constexpr int kMenuPieces = 0b00011;
constexpr int kMatchPieces = 0b11100;

class GameHarness : public HeadlessTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the services and the game and runs OnInit; false when start-up failed.
  bool StartGame();
  void StopGame();

  // One OnFrame with a frame time of 1/60 s.
  void Frame();
  // Moves the cursor to the pixel (it may take a few frames: motion is scaled).
  void MoveTo(int x, int y);
  // Moves there, presses and releases button 0: the click acts in the release frame.
  void Click(int x, int y);
  // Presses and releases a key (two frames).
  void Tap(unsigned char key);
  // Writes the language file with raw bytes.
  void WriteLanguageFile(const std::string& bytes);
  std::string ReadLanguageFile();
  std::string DataPath(const std::string& file) const;

  // Each music piece in the Data folder is one note this long.
  static constexpr double kPieceSeconds = 2.0;

  std::unique_ptr<TempDir> folder;
  std::string previousDirectory;
  GameApp* game = nullptr;
};
