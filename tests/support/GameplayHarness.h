// Test helpers for the match world: the headless keyboard with the sixteen player keys
// bound as the game binds them, and taps of a player's direction keys.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dinput8/DInput8.h"

namespace gameplay_test {

enum Direction { kUp = 0, kDown = 1, kLeft = 2, kRight = 3 };

// The key of player i's direction (W/S/A/D, arrows, U/J/H/K, keypad 8/5/4/6).
BYTE PlayerKey(int player, int direction);

// Keyboard, mouse and input system on the headless backend, started, with every
// player's four actions bound. Destroys them again in the shell's order.
class InputServices {
 public:
  InputServices();
  ~InputServices();
  InputServices(const InputServices&) = delete;
  InputServices& operator=(const InputServices&) = delete;
  bool started = false;
};

// Every engine service the match needs, on the recording device, reading the generated
// content from build/Data, with the world created and initialised as the game does it.
// The device's call log is off: a whole match would only grow it.
class MatchServices {
 public:
  MatchServices();
  ~MatchServices();
  MatchServices(const MatchServices&) = delete;
  MatchServices& operator=(const MatchServices&) = delete;
  // The content generator has written this file into the data folder.
  static bool ContentPresent(const char* fileName);
  // One drawn frame as the match screen draws it: scene update and render, then the
  // score display in the sprite batch.
  void DrawFrame();
  bool ready = false;

 private:
  std::string savedFolders[9];  // the folder strings as they were, put back at the end
};

// Holds or lets go of a player's direction key; the keyboard reads it on its next Update.
void SetKey(int player, int direction, bool down);
// Reads the keyboard as one frame of the game does.
void ReadKeyboard();

}  // namespace gameplay_test
