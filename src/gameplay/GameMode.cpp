#include "gameplay/GameMode.h"

#include <string>

#include "app/AppShell.h"
#include "engine/materials/ModelManager.h"
#include "engine/scene/Scene.h"
#include "gameplay/MatchWorld.h"
#include "gameplay/Sounds.h"
#include "level/Terrain.h"

namespace {

constexpr float kTwoPi = 6.2831855f;

}  // namespace

D3DXVECTOR3 GameMode::BasePosition(std::int32_t) const { return D3DXVECTOR3(0.0f, 0.0f, 0.0f); }

void GameMode::PlacePlayersAndBases() {
  for (int i = 0; i < world->ActiveCount(); ++i) {
    Player& p = world->players[i];
    p.ResetForRound();
    p.SetAnimation("reposo");
    // At most three others to avoid on a 1400 × 1300 area: the draws end quickly.
    D3DXVECTOR3 pos;
    bool taken;
    do {
      pos.x = RandomFloat(-700.0f, 700.0f);
      pos.y = RandomFloat(-700.0f, 600.0f);
      pos.z = 0.0f;
      taken = false;
      for (int j = 0; j < i && !taken; ++j) {
        const Player& q = world->players[j];
        const D3DXVECTOR3 d = pos - q.position;
        taken = D3DXVec3Length(&d) < 1.5f * (p.radius + q.radius);
      }
    } while (taken);
    p.position = pos;
    BuildDiamond(&p.diamond, p.position, p.radius);
    p.figure.SetPosition(p.position);
    p.figure.visible = true;
    const D3DXVECTOR3 b = BasePosition(i);
    p.base.position = b;
    p.base.model.SetPosition(b);
    p.base.marker.SetPosition(b);
    BuildDiamond(&p.base.diamond, b, p.base.blockRadius);
  }
}

bool GameMode::OverlapsLyingItem(const D3DXVECTOR3& position, float radius) const {
  for (const Item& other : items) {
    if (other.state != Item::kLying) continue;
    const D3DXVECTOR3 d = position - other.position;
    if (D3DXVec3Length(&d) < 1.5f * (radius + other.PickUpRadius())) return true;
  }
  return false;
}

void GameMode::SpawnNext() {
  Item* next = nullptr;
  for (Item& item : items) {
    if (item.state == Item::kWaiting) {
      next = &item;
      break;
    }
  }
  if (!next) return;
  next->AddToScene(nullptr);
  // At most three lying items to avoid: the draws end quickly.
  D3DXVECTOR3 pos;
  do {
    pos.x = RandomFloat(-700.0f, 700.0f);
    pos.y = RandomFloat(-700.0f, 300.0f);
    pos.z = 0.0f;
  } while (OverlapsLyingItem(pos, next->PickUpRadius()));
  next->SetPosition(pos);
  // The pick-up checks of this same frame read the world position, which the scene
  // walk would only bring up to date after them.
  next->RebuildMatrices();
  next->state = Item::kLying;
  // A lying item stays put until it is picked up: it is drawn with the still scenery.
  next->mesh.still = true;
  PlayEffect(world->appearSound);
}

Item& GameMode::AddItem(const char* modelName, float s, bool scaled) {
  items.emplace_back(world);
  Item& item = items.back();
  // Its model goes under it at every spawn: the list is made now, not in a frame of play.
  item.children.reserve(1);
  item.mesh.SetModel(g_modelManager ? g_modelManager->Acquire(modelName) : nullptr);
  if (scaled) item.SetScale(D3DXVECTOR3(s, s, s));
  item.bounds.radius = kItemRadius * s;
  item.rotation.z = RandomFloat(0.0f, kTwoPi);
  item.rotationChanged = true;
  return item;
}

void GameMode::StartRound() {
  LoadTerrain(this);
  LoadOutlines(this);
  CreateItems();
  SpawnInitialItems();
  PlacePlayersAndBases();
  SetUpScoreDisplay();
}

void GameMode::Clear() {
  for (Item& item : items) item.RemoveFromScene();
  // Carriers must not keep pointers into the destroyed list until the next reset.
  for (Player& p : world->players) p.DropCarried();
  items.clear();
  outlines.clear();
  for (int i = 0; i < world->ActiveCount(); ++i) {
    if (g_scene) {
      g_scene->RemoveNode(&world->players[i].base.model);
      g_scene->RemoveNode(&world->players[i].base.marker);
    }
  }
  if (g_scene) g_scene->RemoveNode(&terrain);
}

void GameMode::SetUpScoreDisplay() { scoreDisplay.SetUp(*world, ItemTotal()); }

void GameMode::DrawScoreDisplay() { scoreDisplay.Draw(*world); }

void GameMode::PlaceOwnBases(const char* baseModel) {
  for (int i = 0; i < world->ActiveCount(); ++i) SetUpOwnBase(&world->players[i], i, baseModel);
}

// Bags and trees stand in a row at the back; with two players they sit at −650 and 200.
static D3DXVECTOR3 RowBasePosition(std::int32_t i) {
  static const float kX[4] = {-650.0f, 200.0f, -200.0f, 650.0f};
  return D3DXVECTOR3(i >= 0 && i < 4 ? kX[i] : 0.0f, 800.0f, 0.0f);
}

D3DXVECTOR3 BagMode::BasePosition(std::int32_t i) const { return RowBasePosition(i); }

void BagMode::PlacePlayersAndBases() {
  GameMode::PlacePlayersAndBases();
  PlaceOwnBases("Bolsa.X");
}

void BagMode::CreateItems() {
  for (int n = 0; n < ItemTotal(); ++n) {
    const std::string model = "Regalo" + std::to_string(RandomInt(0, 1)) + ".X";
    const float s = RandomFloat(1.0f, 1.5f);
    AddItem(model.c_str(), s, true);
  }
}

void BagMode::SpawnInitialItems() {
  for (int n = 0; n < world->ActiveCount(); ++n) SpawnNext();
}

std::int32_t BagMode::ItemTotal() const { return 4 * world->ActiveCount(); }

D3DXVECTOR3 SnowmanMode::BasePosition(std::int32_t) const {
  return D3DXVECTOR3(0.0f, 800.0f, 0.0f);
}

void SnowmanMode::PlacePlayersAndBases() {
  GameMode::PlacePlayersAndBases();
  SetUpSnowman(&world->players[0]);
  partsBuilt = 0;
}

void SnowmanMode::CreateItems() {
  for (int k = 0; k < 7; ++k) {
    const std::string model = "MuñecoEscParte" + std::to_string(k) + ".X";
    AddItem(model.c_str(), 1.0f, false);
  }
}

void SnowmanMode::SpawnInitialItems() { SpawnNext(); }

void SnowmanMode::OnDelivered(Player&) { GrowSnowman(&world->players[0], &partsBuilt); }

D3DXVECTOR3 TreeMode::BasePosition(std::int32_t i) const { return RowBasePosition(i); }

void TreeMode::PlacePlayersAndBases() {
  GameMode::PlacePlayersAndBases();
  PlaceOwnBases("ArbolDeNavidad.X");
}

void TreeMode::CreateItems() {
  for (int n = 0; n < ItemTotal(); ++n) {
    const std::string model = "Ornamenta" + std::to_string(RandomInt(0, 3)) + ".X";
    AddItem(model.c_str(), 1.0f, false);
  }
}

void TreeMode::SpawnInitialItems() {
  for (int n = 0; n < world->ActiveCount(); ++n) SpawnNext();
}

std::int32_t TreeMode::ItemTotal() const { return 4 * world->ActiveCount(); }
