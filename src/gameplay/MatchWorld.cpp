#include "gameplay/MatchWorld.h"

#include <string>

#include "app/AppShell.h"
#include "engine/scene/Light.h"
#include "engine/scene/MeshManager.h"
#include "engine/scene/Scene.h"
#include "gameplay/Sounds.h"

MatchWorld* g_matchWorld = nullptr;

MatchWorld::MatchWorld() {
  for (int i = 0; i < 4; ++i) {
    players[i].world = this;
    for (int a = 0; a < 4; ++a) players[i].actions[a] = 100 * i + a;
  }
  appearSound = AcquireWaveSound("AparecerItem.wav");
}

MatchWorld::~MatchWorld() {
  // The scene holds plain pointers to the world's nodes; none may outlive it there.
  EndRound();
  if (g_scene) {
    for (Player& p : players) g_scene->RemoveNode(&p.figure);
    g_scene->RemoveNode(&camera);
    g_scene->RemoveNode(&camera.target);
    if (g_scene->camera == &camera) g_scene->camera = nullptr;
  }
}

std::int32_t MatchWorld::ActiveCount() const {
  return playerCount < 0 ? 0 : playerCount > 4 ? 4 : playerCount;
}

void MatchWorld::Init(std::uint32_t width, std::uint32_t height) {
  if (!g_scene) return;
  g_scene->SetBackgroundColour(0.0f, 0.0f, 0.0f, 1.0f);
  struct LightSetup {
    float r, g, b;
    D3DXVECTOR3 offset;
  };
  static const LightSetup kLights[4] = {
      {0.44313729f, 0.7137255f, 0.83921576f, {-1.0f, 1.0f, -1.0f}},
      {0.50196081f, 0.50196081f, 0.50196081f, {1.0f, -1.0f, -1.0f}},
      {0.50196081f, 0.50196081f, 0.50196081f, {-1.0f, -1.0f, -1.0f}},
      {0.44313729f, 0.7137255f, 0.83921576f, {1.0f, 1.0f, -1.0f}}};
  for (const LightSetup& setup : kLights) {
    Light* light = g_scene->CreateLight(nullptr);
    if (!light) continue;
    light->light.Diffuse = D3DCOLORVALUE{setup.r, setup.g, setup.b, 1.0f};
    light->target.position = light->position + setup.offset;
    light->target.positionChanged = true;
    light->Send();
  }
  camera.SetAspect(static_cast<float>(width) / static_cast<float>(height));
  camera.target.SetPosition(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
  camera.SetPosition(D3DXVECTOR3(0.0f, -1800.0f, 1800.0f));
  g_scene->AddTargetedNode(&camera, nullptr);
  g_scene->SetCamera(&camera);
}

void MatchWorld::NewMatch() {
  for (int i = 0; i < ActiveCount(); ++i) players[i].wins = 0;
  CreateFigures();
  NewRound();
  for (int i = 0; i < ActiveCount(); ++i) byWins[i] = &players[i];
}

void MatchWorld::NewRound() {
  // A round still running would otherwise be lost with its nodes in the scene.
  if (mode) EndRound();
  std::int32_t m;
  do {
    m = RandomInt(0, 2);
  } while (m == lastMode);
  currentMode = m;
  lastMode = m;
  if (m == 0)
    mode = new BagMode(this);
  else if (m == 1)
    mode = new SnowmanMode(this);
  else
    mode = new TreeMode(this);
  mode->StartRound();
  for (int i = 0; i < ActiveCount(); ++i) byRoundScore[i] = &players[i];
}

void MatchWorld::EndRound() {
  if (!mode) return;
  mode->Clear();
  delete mode;
  mode = nullptr;
}

void MatchWorld::RemovePlayersFromScene() {
  if (!g_scene) return;
  for (int i = 0; i < ActiveCount(); ++i) g_scene->RemoveNode(&players[i].figure);
}

void MatchWorld::Update() {
  if (!mode) return;
  const std::int32_t count = ActiveCount();
  for (int i = 0; i < count; ++i) {
    Player& p = players[i];
    p.ReadInput();
    p.Move();
    if (p.IsCarrying() && p.IsAtBase()) {
      Deliver(p);
      mode->OnDelivered(p);
      mode->ShowDelivery(p);
      mode->SpawnNext();
    }
  }
  for (Item& item : mode->items)
    if (item.IsActive() && item.state == Item::kLying) item.Tick();
  CheckSteals(players, count);
}

bool MatchWorld::IsRoundOver() const {
  if (!mode) return true;
  for (const Item& item : mode->items)
    if (item.state == Item::kWaiting || item.state == Item::kLying ||
        item.state == Item::kCarried)
      return false;
  return true;
}

void MatchWorld::InvalidateCamera() {
  camera.viewDirty = true;
  camera.projectionDirty = true;
}

void MatchWorld::CreateFigures() {
  for (int i = 0; i < ActiveCount(); ++i) {
    Player& p = players[i];
    const std::string name =
        "Jugador" + std::to_string(i) + "_Figura" + std::to_string(p.figureIndex) + ".X";
    p.figure.SetMesh(g_meshManager ? g_meshManager->Acquire(name) : nullptr);
    p.figure.SetScale(D3DXVECTOR3(1.7f, 1.7f, 1.7f));
    // A second match must not put the same node twice into the scene's child list.
    if (g_scene) {
      g_scene->RemoveNode(&p.figure);
      g_scene->AddNode(&p.figure, nullptr);
    }
  }
  static const std::int32_t kCells[4][2] = {{331, 503}, {359, 503}, {331, 483}, {359, 483}};
  for (int i = 0; i < 4; ++i) players[i].markerRect = MakeScreenRect(kCells[i][0], kCells[i][1], 18, 16);
}

void MatchWorld::Deliver(Player& p) {
  Item* item = p.carried;
  p.roundScore += item->value;
  p.DropCarried();
  SortByRoundScore();
  item->state = Item::kDelivered;
  item->Deactivate();
  item->RemoveFromScene();
  p.base.deliveries += 1;
  PlayEffect(p.deliverSound);
}

void MatchWorld::CheckSteals(Player* list, std::int32_t count) {
  for (int a = 0; a < count; ++a) {
    for (int b = a + 1; b < count; ++b) {
      Player& pa = list[a];
      Player& pb = list[b];
      if (pa.stealCooldown != 0.0f || pb.stealCooldown != 0.0f) continue;
      if (pa.IsCarrying() == pb.IsCarrying()) continue;
      Player& r = pa.IsCarrying() ? pa : pb;
      Player& q = pa.IsCarrying() ? pb : pa;
      const float reach = r.radius + q.radius;
      const D3DXVECTOR3 d = r.position - q.position;
      if (reach * reach < D3DXVec3LengthSq(&d)) continue;
      Item* item = r.carried;
      item->RemoveFromScene();
      q.TakeStolen(item);
      r.DropCarried();
      r.stealCooldown = Player::kStealCooldown;
      r.blinkPhase = 0.0f;
      item->AddToScene(&q.figure);
      item->SetPosition(D3DXVECTOR3(0.0f, 0.0f, Item::kCarryHeight));
    }
  }
}

namespace {

template <typename Key>
void ExchangeSort(Player** a, std::int32_t n, Key key) {
  for (int i = 0; i < n; ++i)
    for (int j = n - 1; j > i; --j)
      if (key(*a[j]) > key(*a[i])) std::swap(a[i], a[j]);
}

}  // namespace

void MatchWorld::SortByRoundScore() {
  ExchangeSort(byRoundScore, ActiveCount(), [](const Player& p) { return p.roundScore; });
}

void MatchWorld::SortByWins() {
  ExchangeSort(byWins, ActiveCount(), [](const Player& p) { return p.wins; });
}

void MatchWorld::AwardRoundWins() {
  if (!byRoundScore[0]) return;
  const std::int32_t best = byRoundScore[0]->roundScore;
  for (int i = 0; i < ActiveCount(); ++i)
    if (players[i].roundScore == best) players[i].wins += 1;
  SortByWins();
}
