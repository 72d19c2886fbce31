// The in-round score display: a bar with one cell per item that fills in delivery order
// with the deliverer's colour, and the players' figure pictures, full size for the
// leaders and smaller for the rest.
#pragma once

#include <cstdint>

#include "engine/gui/Sprite.h"

class MatchWorld;
class Player;

struct ScoreDisplay {
  // Lays the display out for a round of itemTotal items and the four players' figures.
  void SetUp(const MatchWorld& world, std::int32_t itemTotal);
  // Shows the player's colour in the next free cell; a full bar takes nothing more.
  void ShowDelivery(const Player& player);
  // Inside the sprite batch: bar, shown markers, then the taking-part players' icons.
  void Draw(const MatchWorld& world);

  static constexpr int kMarkerCount = 20;

  Sprite bar;
  Sprite markers[kMarkerCount];
  std::int32_t delivered = 0;
  Sprite icons[4];
};
