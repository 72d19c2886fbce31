#include "engine/materials/ModelManager.h"

ModelManager* g_modelManager = nullptr;

// The entry is named before reading: each subset's name starts with the model's.
bool ModelManager::Load(const std::string& key) {
  return LoadFromFolder(
      key, [](Model& model, const std::string& path) { return model.Load(path, true); }, true);
}
