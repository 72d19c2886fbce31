#include "gameplay/Item.h"

#include "gameplay/MatchWorld.h"

void Item::Tick() {
  if (!world) return;
  const D3DXVECTOR3 w = WorldPosition();
  for (int i = 0; i < world->ActiveCount(); ++i) {
    Player& p = world->players[i];
    const float reach = p.radius + PickUpRadius();
    const D3DXVECTOR3 d = p.position - w;
    if (reach * reach < D3DXVec3LengthSq(&d) || p.IsCarrying()) continue;
    const D3DXVECTOR3& fs = p.figure.scale;
    SetScale(D3DXVECTOR3(scale.x / fs.x, scale.y / fs.y, scale.z / fs.z));
    p.PickUp(this);
    state = kCarried;
    mesh.still = false;  // it moves with its carrier from now on
    RemoveFromScene();
    AddToScene(&p.figure);
    SetPosition(D3DXVECTOR3(0.0f, 0.0f, kCarryHeight));
    return;
  }
}
