// The model manager: static models by name, read from .X files in its folder with the
// model reader (optimised). It has no default entry: a model that cannot be read is
// handed out as null.
#pragma once

#include <string>

#include "engine/materials/Model.h"
#include "engine/resources/ResourceManager.h"

extern std::string modelFolder;  // "Meshes\" until the game points it at its data

class ModelManager : public ResourceManager<Model> {
 public:
  ModelManager() : ResourceManager<Model>(false) {}
  bool Load(const std::string& key) override;
  std::string Folder() const override { return modelFolder; }
};

extern ModelManager* g_modelManager;
