// The match: the fixed camera and lights, the four player slots and the current round's
// mode. The screens drive it round by round; it runs one frame of play per Update.
#pragma once

#include <cstdint>

#include "engine/scene/Camera.h"
#include "gameplay/GameMode.h"
#include "gameplay/Player.h"

class WaveSound;

class MatchWorld {
 public:
  MatchWorld();
  ~MatchWorld();
  MatchWorld(const MatchWorld&) = delete;
  MatchWorld& operator=(const MatchWorld&) = delete;

  // Background, the four lights and the fixed camera, on the global scene.
  void Init(std::uint32_t width, std::uint32_t height);
  // Wins to zero, figures for the current choices, then the first round.
  void NewMatch();
  // A round in a mode other than the last one.
  void NewRound();
  // Takes the round out of the scene and destroys its mode; nothing when there is none.
  void EndRound();
  void RemovePlayersFromScene();
  // One frame of play: each player's input, move and delivery in slot order, then the
  // pick-up checks, then the steals.
  void Update();
  // True once no item is waiting, lying or carried (and when there is no round).
  bool IsRoundOver() const;
  // Both camera transforms are sent again on the next frame (after a device reset).
  void InvalidateCamera();

  // The figure models for each player's figure choice, and the four delivery colours.
  void CreateFigures();
  // Carrier p hands its item in at its base.
  void Deliver(Player& p);
  // Empty-handed players take the item from carriers they touch (pairs in slot order).
  void CheckSteals(Player* list, std::int32_t count);
  void SortByRoundScore();
  void SortByWins();
  // Every player with the best round score wins the round (ties all win).
  void AwardRoundWins();
  // playerCount kept within the four slots.
  std::int32_t ActiveCount() const;

  std::int32_t lastMode = -1;
  Camera camera;
  GameMode* mode = nullptr;  // owned; null outside a round
  Player players[4];
  std::int32_t playerCount = 2;
  WaveSound* appearSound = nullptr;  // not owned: the wave-sound manager owns it
  std::int32_t currentMode = 0;
  Player* byRoundScore[4] = {};
  Player* byWins[4] = {};
};

extern MatchWorld* g_matchWorld;
