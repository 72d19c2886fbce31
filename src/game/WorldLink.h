// The match world as the screens see it. Until the gameplay module is part of the build
// this supplies the player records the menus edit (count, names, figures) and a world
// whose rounds never start, so the interface screens run on their own.
#pragma once

#if __has_include("gameplay/MatchWorld.h")
#include "gameplay/MatchWorld.h"
#else
#include <string>

struct Player {
  std::string name;
  int figureIndex = 0;
  int roundScore = 0;
  int wins = 0;
  std::string animation;
  void SetAnimation(const std::string& newAnimation) { animation = newAnimation; }
};

struct GameMode {
  void DrawScoreDisplay() {}
};

class MatchWorld {
 public:
  MatchWorld() {
    for (int i = 0; i < 4; ++i) byWins[i] = byRoundScore[i] = &players[i];
  }
  void Init(unsigned, unsigned) {}
  void NewMatch() {
    for (int i = 0; i < playerCount; ++i) players[i].wins = 0;
    NewRound();
    for (int i = 0; i < 4; ++i) byWins[i] = &players[i];
  }
  void NewRound() {
    delete mode;
    mode = new GameMode();
  }
  void EndRound() {
    delete mode;
    mode = nullptr;
  }
  void RemovePlayersFromScene() {}
  void Update() {}
  bool IsRoundOver() const { return false; }
  void InvalidateCamera() { ++cameraInvalidations; }
  void SortByWins() {}
  ~MatchWorld() { delete mode; }

  GameMode* mode = nullptr;
  Player players[4];
  int playerCount = 2;
  Player* byRoundScore[4];
  Player* byWins[4];
  int cameraInvalidations = 0;
};

inline MatchWorld* g_matchWorld = nullptr;
#endif
