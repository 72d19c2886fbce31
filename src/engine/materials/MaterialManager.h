// The material manager: material records by name, read from material files in its
// folder, or created empty for "AUTO_" names that the mesh and model readers fill.
// Its "__DEFAULT__" record is mid grey and opaque.
#pragma once

#include <string>

#include "engine/materials/Material.h"
#include "engine/resources/ResourceManager.h"

extern std::string materialFolder;  // "Materials\" until the game points it at its data

class MaterialManager : public ResourceManager<Material> {
 public:
  bool Load(const std::string& key) override;
  std::string Folder() const override { return materialFolder; }
};

extern MaterialManager* g_materialManager;
