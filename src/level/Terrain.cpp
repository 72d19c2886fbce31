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
  mode->terrain.still = true;
  AddToScene(&mode->terrain);
}

bool LoadOutlines(GameMode* mode) { return LoadOutlineFile(&mode->outlines); }

void SetUpOwnBase(Player* player, std::int32_t slot, const char* baseModel) {
  player->base.model.SetModel(AcquireModel(baseModel));
  player->base.model.still = true;  // changes only when something is delivered
  AddToScene(&player->base.model);
  SetUpMarker(&player->base.marker, "Marcador" + std::to_string(slot) + ".X");
}

void SetUpSnowman(Player* first) {
  first->base.model.SetModel(AcquireModel("MuñecoArm.X"));
  first->base.model.still = true;  // changes only when a part is added
  AddToScene(&first->base.model);
  SetUpMarker(&first->base.marker, "Marcador.X");
}

void GrowSnowman(Player* first, std::int32_t* partsBuilt) {
  first->base.model.SetModel(AcquireModel("MuñecoArmParte" + std::to_string(*partsBuilt) + ".X"));
  *partsBuilt += 1;
}
