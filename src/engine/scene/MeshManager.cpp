#include "engine/scene/MeshManager.h"

MeshManager* g_meshManager = nullptr;

// The entry is named before reading, as the model manager does.
bool MeshManager::Load(const std::string& key) {
  return LoadFromFolder(
      key, [](AnimatedMesh& mesh, const std::string& path) { return mesh.Load(path); }, true);
}
