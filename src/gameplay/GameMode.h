// A round: what is collected and where it goes. The base class holds the round's items,
// the terrain with its obstacle outlines and the score display; the three modes fill in
// the bases, the items and what a delivery changes.
#pragma once

#include <cstdint>
#include <list>
#include <vector>

#include "engine/scene/ModelNode.h"
#include "gameplay/Item.h"
#include "gameplay/ScoreDisplay.h"
#include "level/CollisionOutline.h"

class MatchWorld;
class Player;

class GameMode {
 public:
  explicit GameMode(MatchWorld* world) : world(world) {}
  GameMode(const GameMode&) = delete;
  GameMode& operator=(const GameMode&) = delete;
  virtual ~GameMode() = default;

  virtual D3DXVECTOR3 BasePosition(std::int32_t playerIndex) const;
  // Resets the taking-part players, places them apart at random and sets up their bases.
  virtual void PlacePlayersAndBases();
  virtual void CreateItems() {}
  virtual void SpawnInitialItems() {}
  virtual void OnDelivered(Player& player) { (void)player; }
  virtual std::int32_t ItemTotal() const { return 0; }

  // Puts the first waiting item on the field at a random free place; nothing when none
  // is waiting.
  void SpawnNext();
  // The whole start of a round: terrain and outlines, items, players and bases, display.
  void StartRound();
  // Takes everything of the round out of the scene and destroys the items.
  void Clear();
  // Whether the item at position with the given pick-up radius would overlap a lying one.
  bool OverlapsLyingItem(const D3DXVECTOR3& position, float radius) const;

  void SetUpScoreDisplay();
  void ShowDelivery(const Player& player) { scoreDisplay.ShowDelivery(player); }
  void DrawScoreDisplay();

  static constexpr float kItemRadius = 50.0f;

  std::list<Item> items;  // creation order; owned; nodes must not move
  std::vector<CollisionOutline> outlines;
  ModelNode terrain;
  ScoreDisplay scoreDisplay;
  MatchWorld* world = nullptr;  // not owned

 protected:
  // Creates an item with the model of that name, the given uniform scale and pick-up
  // radius, and a random roll (drawn last).
  Item& AddItem(const char* modelName, float scale, bool scaled);
  // Bag and tree rounds: each taking-part player's base gets the model and its marker.
  void PlaceOwnBases(const char* baseModel);
};

class BagMode : public GameMode {
 public:
  using GameMode::GameMode;
  D3DXVECTOR3 BasePosition(std::int32_t playerIndex) const override;
  void PlacePlayersAndBases() override;
  void CreateItems() override;
  void SpawnInitialItems() override;
  std::int32_t ItemTotal() const override;
};

class SnowmanMode : public GameMode {
 public:
  using GameMode::GameMode;
  D3DXVECTOR3 BasePosition(std::int32_t playerIndex) const override;
  void PlacePlayersAndBases() override;
  void CreateItems() override;
  void SpawnInitialItems() override;
  // The shared snowman shows one more part, whoever delivered.
  void OnDelivered(Player& player) override;
  std::int32_t ItemTotal() const override { return 7; }

  std::int32_t partsBuilt = 0;
};

class TreeMode : public GameMode {
 public:
  using GameMode::GameMode;
  D3DXVECTOR3 BasePosition(std::int32_t playerIndex) const override;
  void PlacePlayersAndBases() override;
  void CreateItems() override;
  void SpawnInitialItems() override;
  std::int32_t ItemTotal() const override;
};
