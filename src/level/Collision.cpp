#include "level/Collision.h"

#include "gameplay/GameMode.h"
#include "gameplay/MatchWorld.h"
#include "gameplay/Player.h"

bool Sweep(const MatchWorld& world, const D3DXVECTOR3& P, const D3DXVECTOR3& Q,
           SweepResult* result) {
  const D3DXVECTOR3 M = Q - P;
  float best = 3.4028235e38f;
  bool found = false;
  SweepResult hit;
  if (world.mode) {
    for (const CollisionOutline& outline : world.mode->outlines) {
      if (OutlineHit(outline, P, M, &hit) && hit.distance < best) {
        *result = hit;
        best = hit.distance;
        found = true;
      }
    }
  }
  for (int i = 0; i < world.ActiveCount(); ++i) {
    if (OutlineHit(world.players[i].diamond, P, M, &hit) && hit.distance > 0.0f &&
        hit.distance < best) {
      *result = hit;
      best = hit.distance;
      found = true;
    }
  }
  for (int i = 0; i < world.ActiveCount(); ++i) {
    if (OutlineHit(world.players[i].base.diamond, P, M, &hit) && hit.distance > 0.0f &&
        hit.distance < best) {
      *result = hit;
      best = hit.distance;
      found = true;
    }
  }
  return found;
}

D3DXVECTOR3 ResolveMove(const MatchWorld& world, Player* player, const D3DXVECTOR3& P,
                        const D3DXVECTOR3& M) {
  const D3DXVECTOR3 none(0.0f, 0.0f, 0.0f);
  if (player->slideCount > 1) return none;
  SweepResult hit;
  if (!Sweep(world, P, P + M, &hit)) return M;
  if (hit.distance >= 0.0f && hit.distance <= 0.1f) return none;
  const D3DXVECTOR3 T = P + M;
  const float s = D3DXVec3Dot(&hit.normal, &T) - D3DXVec3Dot(&hit.normal, &hit.point);
  const D3DXVECTOR3 projected = T - hit.normal * s;
  const D3DXVECTOR3 slide = projected - hit.point;
  if (D3DXVec3Length(&slide) <= 0.5f) return none;
  ++player->slideCount;
  return ResolveMove(world, player, P, slide);
}
