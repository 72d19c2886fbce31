// The mesh manager: animated meshes by name, read from .X files in its folder. It has no
// default entry: a mesh that cannot be read is handed out as null.
#pragma once

#include <string>

#include "engine/resources/ResourceManager.h"
#include "engine/scene/AnimatedMesh.h"

extern std::string meshFolder;  // "Meshes\" until the game points it at its data

class MeshManager : public ResourceManager<AnimatedMesh> {
 public:
  MeshManager() : ResourceManager<AnimatedMesh>(false) {}
  bool Load(const std::string& key) override;
  std::string Folder() const override { return meshFolder; }
};

extern MeshManager* g_meshManager;
