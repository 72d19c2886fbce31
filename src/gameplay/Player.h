// One of the four player slots of the match world: the animated figure, its tap-to-run
// steering and motion with collision, its delivery base, scores and sounds.
#pragma once

#include <cstdint>
#include <string>

#include "engine/input/ScreenRect.h"
#include "engine/scene/AnimatedMeshNode.h"
#include "engine/scene/ModelNode.h"
#include "level/CollisionOutline.h"

class Item;
class MatchWorld;
class WaveSound;

struct PlayerBase {
  D3DXVECTOR3 position;
  float reach = 130.0f;  // delivery within reach + the player's radius of position
  CollisionOutline diamond;
  float blockRadius = 100.0f;
  std::int32_t deliveries = 0;
  ModelNode model;            // bag, tree or snowman
  AnimatedMeshNode marker;    // the turning marker above the base
};

class Player {
 public:
  // world: the owner, whose obstacles the moves are swept against. Not owned.
  explicit Player(MatchWorld* world = nullptr);
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  void ResetForRound();
  // Sets the figure's animation (looping) unless it is the one already set.
  void SetAnimation(const std::string& name);
  // Turns or speeds up on the first direction key released this frame, then picks the
  // running or resting animation from the speed.
  void ReadInput();
  // Moves by speed × frame time (swept against the obstacles), drains the speed, turns
  // the figure and counts the steal cooldown down.
  void Move();
  bool IsCarrying() const { return carried != nullptr; }
  bool IsAtBase() const;
  void PickUp(Item* item);
  void TakeStolen(Item* item);
  void DropCarried() { carried = nullptr; }

  static constexpr float kTapSpeed = 60.0f;    // units per second added by one tap
  static constexpr float kDrain = 200.0f;      // units per second per second
  static constexpr float kStealCooldown = 2.0f;
  static constexpr float kBlinkPhase = 0.05f;  // robbed figures blink at this period

  std::uint32_t slideCount = 0;
  std::string animation;
  D3DXVECTOR3 position;
  D3DXVECTOR3 heading{1.0f, 0.0f, 0.0f};
  float speed = 0.0f;
  float radius = 40.0f;
  std::string name;
  AnimatedMeshNode figure;
  std::int32_t roundScore = 0;
  std::int32_t wins = 0;
  ScreenRect markerRect;
  WaveSound* pickSound = nullptr;     // not owned: the wave-sound manager owns them
  WaveSound* stealSound = nullptr;
  WaveSound* deliverSound = nullptr;
  std::int32_t actions[4] = {};       // up, down, left, right
  Item* carried = nullptr;            // points into the mode's item list; not owned
  CollisionOutline diamond;
  float stealCooldown = 0.0f;
  float blinkPhase = 0.0f;            // wraps every kBlinkPhase while the cooldown runs
  std::int32_t figureIndex = 0;
  PlayerBase base;
  MatchWorld* world = nullptr;        // not owned: the world holds this player
};
