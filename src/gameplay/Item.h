// What the players collect: a model in the scene that waits unseen, lies on the field,
// rides above its carrier's figure and is finally delivered. Its per-frame rule is the
// pick-up check.
#pragma once

#include <cstdint>

#include "gameplay/GameObject.h"

class MatchWorld;

class Item : public MeshObject {
 public:
  enum State : std::int32_t { kWaiting = 0, kLying = 1, kCarried = 2, kDelivered = 3 };

  explicit Item(MatchWorld* world = nullptr) : world(world) {}
  // The pick-up check: the lowest-numbered empty-handed player in reach takes the item
  // and carries it above its figure.
  void Tick() override;
  float PickUpRadius() const { return bounds.radius; }

  static constexpr float kCarryHeight = 150.0f;

  std::int32_t value = 1;
  std::int32_t state = kWaiting;
  MatchWorld* world = nullptr;  // not owned: whose players may pick the item up
};
