// A player bot for whole rounds on the headless backends: it steers every player toward
// the nearest lying item, or home while carrying, with the players' real keys.
#pragma once

#include <cmath>

#include "gameplay/Item.h"
#include "gameplay/MatchWorld.h"
#include "platform/dinput8/DInput8.h"
#include "platform/dinput8/DInput8Headless.h"

// Steers every player toward the nearest lying item, or home while carrying, by tapping:
// a key goes down in one frame and up in the next, which is when it acts.
class Bot {
 public:
  static constexpr BYTE kKeys[4][4] = {{DIK_W, DIK_S, DIK_A, DIK_D},
                                       {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT},
                                       {DIK_U, DIK_J, DIK_H, DIK_K},
                                       {DIK_NUMPAD8, DIK_NUMPAD5, DIK_NUMPAD4, DIK_NUMPAD6}};

  void Step() {
    MatchWorld& world = *g_matchWorld;
    for (int p = 0; p < world.playerCount; ++p) {
      if (held[p] >= 0) {
        platform::dinput8::HeadlessSetKey(kKeys[p][held[p]], false);
        held[p] = -1;
        continue;
      }
      const Player& player = world.players[p];
      // Home from below: along the row of bases the others' bases stand in the way.
      D3DXVECTOR3 target = player.base.position;
      if (std::fabs(player.position.x - target.x) > 60.0f) target.y -= 200.0f;
      if (!player.IsCarrying()) {
        float best = 1e30f;
        bool found = false;
        for (const Item& item : world.mode->items) {
          if (item.state != Item::kLying) continue;
          const D3DXVECTOR3 d = item.WorldPosition() - player.position;
          const float dist = d.x * d.x + d.y * d.y;
          if (dist < best) {
            best = dist;
            target = item.WorldPosition();
            found = true;
          }
        }
        // Nothing to fetch: wait below the own base, out of the others' way.
        if (!found) target = player.base.position - D3DXVECTOR3(0.0f, 400.0f, 0.0f);
      }
      const float dx = target.x - player.position.x;
      const float dy = target.y - player.position.y;
      const bool alongX = std::fabs(dx) > std::fabs(dy);
      int action = alongX ? (dx > 0 ? 3 : 2) : (dy > 0 ? 0 : 1);
      // Blocked (a base or a player in the way): step aside toward the middle of the
      // field for a while, then try again.
      if (detour[p] > 0) {
        --detour[p];
        action = detourAction[p];
      } else if (++checkFrames[p] >= 30) {
        const D3DXVECTOR3 moved = player.position - lastPosition[p];
        if (moved.x * moved.x + moved.y * moved.y < 25.0f) {
          detour[p] = 60;
          detourAction[p] = alongX ? 1 : (player.position.x < 0 ? 3 : 2);
        }
        lastPosition[p] = player.position;
        checkFrames[p] = 0;
      }
      const D3DXVECTOR3 dir[4] = {{0, 1, 0}, {0, -1, 0}, {-1, 0, 0}, {1, 0, 0}};
      const bool turning = dir[action] != player.heading;
      // Enough speed to get there, not so much that it overshoots by far.
      if (!turning && player.speed > 250.0f) continue;
      ++taps;
      platform::dinput8::HeadlessSetKey(kKeys[p][action], true);
      held[p] = action;
    }
  }
  void ReleaseAll() {
    for (int p = 0; p < 4; ++p) {
      if (held[p] < 0) continue;
      platform::dinput8::HeadlessSetKey(kKeys[p][held[p]], false);
      held[p] = -1;
    }
  }
  int held[4] = {-1, -1, -1, -1};
  int taps = 0;
  int checkFrames[4] = {};
  int detour[4] = {};
  int detourAction[4] = {};
  D3DXVECTOR3 lastPosition[4];
};
