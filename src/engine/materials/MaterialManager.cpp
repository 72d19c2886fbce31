#include "engine/materials/MaterialManager.h"

MaterialManager* g_materialManager = nullptr;

bool MaterialManager::Load(const std::string& key) {
  if (IsAutoName(key)) {
    CreateEmptyEntry(key);
    return true;
  }
  return LoadFromFolder(
      key, [](Material& material, const std::string& path) { return material.Load(path); });
}
