#include "level/Terrain.h"

#include <string>

#include "app/AppShell.h"
#include "engine/materials/ModelManager.h"
#include "engine/scene/MeshManager.h"
#include "engine/scene/Scene.h"
#include "gameplay/GameMode.h"
#include "gameplay/Player.h"

namespace {

Model* AcquireModel(const std::string& name) {
  return g_modelManager ? g_modelManager->Acquire(name) : nullptr;
}

AnimatedMesh* AcquireMesh(const std::string& name) {
  return g_meshManager ? g_meshManager->Acquire(name) : nullptr;
}

void AddToScene(SceneNode* node) {
  if (g_scene) g_scene->AddNode(node, nullptr);
}

void SetUpMarker(AnimatedMeshNode* marker, const std::string& meshName) {
  marker->SetMesh(AcquireMesh(meshName));
  marker->SetAnimation("rotar", true);
  AddToScene(marker);
}

}  // namespace

void LoadTerrain(GameMode* mode) {
  const std::int32_t k = RandomInt(0, 2);
  mode->terrain.SetModel(AcquireModel("Terreno" + std::to_string(k) + ".X"));
  AddToScene(&mode->terrain);
}

bool LoadOutlines(GameMode* mode) { return LoadOutlineFile(&mode->outlines); }

void SetUpOwnBase(Player* player, std::int32_t slot, const char* baseModel) {
  player->base.model.SetModel(AcquireModel(baseModel));
  AddToScene(&player->base.model);
  SetUpMarker(&player->base.marker, "Marcador" + std::to_string(slot) + ".X");
}

void SetUpSnowman(Player* first) {
  first->base.model.SetModel(AcquireModel("MuñecoArm.X"));
  AddToScene(&first->base.model);
  SetUpMarker(&first->base.marker, "Marcador.X");
}

void GrowSnowman(Player* first, std::int32_t* partsBuilt) {
  first->base.model.SetModel(AcquireModel("MuñecoArmParte" + std::to_string(*partsBuilt) + ".X"));
  *partsBuilt += 1;
}

bool InsideClosedOutline(const std::vector<CollisionOutline>& outlines, const D3DXVECTOR3& p) {
  for (const CollisionOutline& outline : outlines) {
    const std::vector<D3DXVECTOR3>& pts = outline.points;
    if (pts.size() < 4 || pts.front().x != pts.back().x || pts.front().y != pts.back().y)
      continue;
    bool inside = false;
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
      const D3DXVECTOR3& a = pts[i];
      const D3DXVECTOR3& b = pts[i + 1];
      if ((a.y > p.y) == (b.y > p.y)) continue;
      const float x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
      if (p.x < x) inside = !inside;
    }
    if (inside) return true;
  }
  return false;
}
