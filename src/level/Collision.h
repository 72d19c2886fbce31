// The players' moves against every obstacle of the match: the terrain's outlines, the
// players' diamonds and the bases' diamonds. A move that meets one is slid along it
// once; a second meeting stops it.
#pragma once

#include "level/CollisionOutline.h"

class MatchWorld;
class Player;

// The nearest obstacle between P and Q. The diamonds of players and bases count only
// when met beyond P itself, so a player standing on one can still leave it.
bool Sweep(const MatchWorld& world, const D3DXVECTOR3& P, const D3DXVECTOR3& Q,
           SweepResult* result);
// The part of the move from P by M that is allowed (uses and advances the player's
// slideCount, which the caller zeroes first).
D3DXVECTOR3 ResolveMove(const MatchWorld& world, Player* player, const D3DXVECTOR3& P,
                        const D3DXVECTOR3& M);
